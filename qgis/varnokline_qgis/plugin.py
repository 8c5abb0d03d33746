"""The plugin: its Processing provider, the Layer menu's "Open river export" and the drop of an
.sdf onto the map."""
import os

from qgis.core import Qgis, QgsApplication, QgsMessageLog, QgsProject
from qgis.gui import QgsCustomDropHandler
from qgis.PyQt.QtCore import Qt
from qgis.PyQt.QtGui import QIcon
from qgis.PyQt.QtWidgets import (QAction, QApplication, QFileDialog, QProgressDialog,
                                 QPushButton)

from . import exports, opening
from .processing import ICON, Provider


class DropHandler(QgsCustomDropHandler):
    def __init__(self, open_files):
        super().__init__()
        self._open = open_files

    def handleFileDrop(self, file):
        if not file.lower().endswith(".sdf"):
            return False
        self._open([file])
        return True


class Plugin:
    def __init__(self, iface):
        self.iface = iface  # None under qgis_process: Processing alone
        self.provider = None
        self.action = None
        self.drop = None

    def initProcessing(self):
        self.provider = Provider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):
        self.initProcessing()
        self.action = QAction(QIcon(ICON), "Open River Export…", self.iface.mainWindow())
        self.action.setObjectName("varnoklineOpenRiverExport")
        self.action.triggered.connect(self.choose)
        menu = self.iface.layerMenu()
        after = self.iface.addLayerMenu().menuAction()
        following = menu.actions()[menu.actions().index(after) + 1:]
        menu.insertAction(following[0] if following else None, self.action)
        self.drop = DropHandler(self.open)
        self.iface.registerCustomDropHandler(self.drop)

    def unload(self):
        if self.action:
            self.iface.layerMenu().removeAction(self.action)
        if self.drop:
            self.iface.unregisterCustomDropHandler(self.drop)
        if self.provider:
            QgsApplication.processingRegistry().removeProvider(self.provider)

    def choose(self):
        paths, _ = QFileDialog.getOpenFileNames(self.iface.mainWindow(), "Open River Export", "",
                                                "River exports (*.sdf *.SDF);;All files (*)")
        self.open(paths)

    def open(self, paths):
        bar = self.iface.messageBar()
        for path in paths:
            # Modal: nothing else is opened or dropped while the export converts.
            dialog = QProgressDialog(f"Converting {os.path.basename(path)}…", "Cancel", 0, 100,
                                     self.iface.mainWindow())
            dialog.setWindowModality(Qt.WindowModal)
            dialog.setMinimumDuration(500)

            def progress(percent):
                dialog.setValue(int(percent))
                QApplication.processEvents()
            try:
                opened = opening.open_export(path, QgsProject.instance(), progress=progress,
                                             canceled=dialog.wasCanceled)
            except exports.Canceled:
                continue
            except Exception as failure:  # the export's or the system's reason, to its user
                bar.pushCritical("Open river export", f"{os.path.basename(path)}: {failure}")
                continue
            finally:
                dialog.close()
            # Every warning in the log, with its line; the bar names the first and how many.
            shown = [f"{os.path.basename(path)}:{line}: {text}" if line else
                     f"{os.path.basename(path)}: {text}" for line, text in opened.warnings]
            for text in shown:
                QgsMessageLog.logMessage(text, "River exports", Qgis.Warning)
            if shown:
                more = f" (and {len(shown) - 1} more in the log)" if len(shown) > 1 else ""
                bar.pushWarning("River export", shown[0] + more)
            if opened.offered_crs is not None:
                self.offer_crs(opened.offered_crs)

    def offer_crs(self, crs):
        """A message with a button that sets the project's coordinate system to the layers'."""
        bar = self.iface.messageBar()
        message = bar.createMessage("River export",
                                    f"The layers are in {crs.userFriendlyIdentifier()}.")
        button = QPushButton("Use it for the project")
        button.clicked.connect(lambda: (QgsProject.instance().setCrs(crs),
                                        bar.popWidget(message)))
        message.layout().addWidget(button)
        bar.pushWidget(message)
