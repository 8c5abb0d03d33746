"""River exports in QGIS: the Processing algorithm "Convert river export", and "Open river export"
(Layer menu, or an .sdf dropped on the map) adding an export's layers styled, in a group."""
import os
import sys

# The varnokline package built with the plugin, for a QGIS whose Python has none of its own.
_BUNDLED = os.path.join(os.path.dirname(__file__), "lib")
if os.path.isdir(_BUNDLED) and _BUNDLED not in sys.path:
    sys.path.append(_BUNDLED)


def classFactory(iface):
    from .plugin import Plugin
    return Plugin(iface)
