"""Opening a river export: converted into a GeoPackage, its layers added in a group of their own,
each with the plugin's style."""
import errno
import os
import tempfile
from dataclasses import dataclass, field

from qgis.core import (QgsCoordinateReferenceSystem, QgsFeatureRequest, QgsGradientColorRamp,
                       QgsRuleBasedRenderer, QgsVectorLayer)
from qgis.PyQt.QtGui import QColor

from . import exports

STYLES = os.path.join(os.path.dirname(__file__), "styles")
TITLES = {"levee_pts": "Levee points", "bank_pts": "Bank points", "end_pts": "End points",
          "surf_pts": "Surface points", "streams": "Centrelines", "cut_line": "Cut lines",
          "surf_line": "Surface lines", "ws_lines": "Water-surface lines",
          "storage_areas": "Storage areas", "profile_limits": "Flood boundaries",
          "water_surface": "Water surface", "tables": "Section tables"}
# Light to dark: the first profile (the smallest flood, as exports list them) the lightest.
BLUES = QgsGradientColorRamp(QColor("#9ecae1"), QColor("#08306b"))


@dataclass
class Opened:
    group: object                 # the layer tree group holding the export's layers
    layers: list                  # its QgsVectorLayers, top to bottom
    folder: str                   # where the GeoPackage was written
    warnings: list = field(default_factory=list)  # (line or None, text) of the export
    offered_crs: object = None    # the layers' coordinate system where the project's differs


def _read_only(failure):
    return failure.errno in (errno.EACCES, errno.EPERM, errno.EROFS)


def _convert(path, project, **progress):
    """The conversion into the export's folder, or into a temporary one when that is read-only."""
    folder = os.path.dirname(os.path.abspath(path))
    if os.access(folder, os.W_OK):
        _close_package(project, os.path.join(folder, exports.base_name(path) + ".gpkg"))
        try:
            return folder, exports.convert([path], format="gpkg", out=folder, results=True,
                                           **progress)[0]
        except OSError as failure:
            if not _read_only(failure):
                raise
    folder = tempfile.mkdtemp(prefix="varnokline-")
    return folder, exports.convert([path], format="gpkg", out=folder, results=True, **progress)[0]


def _close_package(project, package):
    """The layers of an earlier opening of the export leave the project, and the groups they leave
    empty go, before the package they read is written again (a package still open cannot be
    replaced everywhere)."""
    package = os.path.normcase(os.path.abspath(package))
    held = [layer.id() for layer in project.mapLayers().values()
            if os.path.normcase(os.path.abspath(layer.source().split("|")[0])) == package]
    if not held:
        return
    for id in held:  # found again each time: removing a group removes its nodes
        node = project.layerTreeRoot().findLayer(id)
        group = node.parent() if node is not None else None
        if group is not None and group.parent() is not None and all(
                getattr(child, "layerId", lambda: None)() in held for child in group.children()):
            group.parent().removeChildNode(group)
    project.removeMapLayers(held)


def profiles_in_order(layer):
    """The layer's profiles in the order of their first feature."""
    index = layer.fields().indexOf("Profile")
    if index < 0:
        return []
    request = QgsFeatureRequest().setFlags(QgsFeatureRequest.NoGeometry)
    request.setSubsetOfAttributes([index])
    seen = {}
    for feature in layer.getFeatures(request):
        seen.setdefault(feature[index], None)
    return [p for p in seen if p is not None]


def rule_per_profile(layer):
    """The style's one rule made a rule per profile, each in a blue of its own."""
    renderer = layer.renderer()
    if not isinstance(renderer, QgsRuleBasedRenderer) or not renderer.rootRule().children():
        return
    root = renderer.rootRule()
    template = root.children()[0].symbol().clone()  # the rule goes, and its symbol with it
    profiles = profiles_in_order(layer)
    if not profiles:
        return
    root.removeChildAt(0)
    for k, profile in enumerate(profiles):
        symbol = template.clone()
        colour = BLUES.color(k / (len(profiles) - 1) if len(profiles) > 1 else 0.5)
        symbol.setColor(colour)
        for part in range(symbol.symbolLayerCount()):  # outlines a shade darker than the fill
            symbol.symbolLayer(part).setStrokeColor(colour.darker(130))
        quoted = profile.replace("'", "''")
        root.appendChild(QgsRuleBasedRenderer.Rule(symbol, 0, 0, f"\"Profile\" = '{quoted}'",
                                                   profile))


def styled_layer(key, source, name):
    layer = QgsVectorLayer(source, name, "ogr")
    style = os.path.join(STYLES, key + ".qml")
    if layer.isValid() and layer.isSpatial() and os.path.exists(style):
        message, loaded = layer.loadNamedStyle(style)
        if not loaded:
            raise RuntimeError(f"The style {style} was not loaded: {message}")
        rule_per_profile(layer)
    return layer


def open_export(path, project, **progress):
    """Converts the export and adds its layers (those with features) to the project, in a group
    named after it at the top of the layer tree, in place of those of an earlier opening.
    progress: canceled= and progress= as exports.convert takes them."""
    path = os.fspath(path)
    folder, record = _convert(path, project, **progress)
    group = project.layerTreeRoot().insertGroup(0, os.path.basename(path))
    layers = []
    for key, source in exports.written_layers(path, folder, "gpkg"):
        layer = styled_layer(key, source, TITLES[key])
        if not layer.isValid() or layer.featureCount() == 0:
            continue
        project.addMapLayer(layer, False)
        group.addLayer(layer)
        layers.append(layer)
    crs = next((l.crs() for l in layers if l.isSpatial() and l.crs().isValid()),
               QgsCoordinateReferenceSystem())
    offered = crs if crs.isValid() and crs != project.crs() else None
    return Opened(group, layers, folder, record.warnings, offered)
