"""The Processing provider and its algorithm "Convert river export"."""
import os

from qgis.core import (QgsProcessing, QgsProcessingAlgorithm, QgsProcessingContext,
                       QgsProcessingException,
                       QgsProcessingOutputMultipleLayers, QgsProcessingParameterBoolean,
                       QgsProcessingParameterCrs, QgsProcessingParameterEnum,
                       QgsProcessingParameterFolderDestination,
                       QgsProcessingParameterMultipleLayers, QgsProcessingProvider)
from qgis.PyQt.QtGui import QIcon

from . import exports

ICON = os.path.join(os.path.dirname(__file__), "icon.png")


class ConvertRiverExport(QgsProcessingAlgorithm):
    INPUT, FORMAT, RESULTS, REPORT, CRS = "INPUT", "FORMAT", "RESULTS", "REPORT", "CRS"
    OUTPUT, LAYERS = "OUTPUT", "LAYERS"

    def name(self):
        return "convertriverexport"

    def displayName(self):
        return "Convert river export"

    def shortHelpString(self):
        return ("Converts river-model spatial data exports (.sdf) into GIS layers: centrelines, "
                "cut lines, surface lines and points, end and levee points, and with the model's "
                "results the water-surface lines, bank points, flood boundaries and storage "
                "areas; a CSV table per cross-section, and with Report the conversion report "
                "page. The export's warnings are written to the log with their line.")

    def icon(self):
        return QIcon(ICON)

    def createInstance(self):
        return ConvertRiverExport()

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterMultipleLayers(
            self.INPUT, "River exports (.sdf)", QgsProcessing.TypeFile))
        self.addParameter(QgsProcessingParameterEnum(
            self.FORMAT, "Format", [f[1] for f in exports.FORMATS], defaultValue=0))
        self.addParameter(QgsProcessingParameterBoolean(
            self.RESULTS, "The model's results (water surface, banks, flood boundaries)",
            defaultValue=True))
        self.addParameter(QgsProcessingParameterBoolean(
            self.REPORT, "Conversion report (HTML)", defaultValue=False))
        self.addParameter(QgsProcessingParameterCrs(
            self.CRS, "Coordinate system (none: the projection template beside the export)",
            optional=True))
        self.addParameter(QgsProcessingParameterFolderDestination(self.OUTPUT, "Output folder"))
        self.addOutput(QgsProcessingOutputMultipleLayers(self.LAYERS, "Layers"))

    def processAlgorithm(self, parameters, context, feedback):
        paths = self.parameterAsFileList(parameters, self.INPUT, context)
        if not paths:
            raise QgsProcessingException("No river export given")
        format = exports.FORMATS[self.parameterAsEnum(parameters, self.FORMAT, context)][0]
        folder = self.parameterAsString(parameters, self.OUTPUT, context)
        crs = self.parameterAsCrs(parameters, self.CRS, context)
        options = dict(format=format, out=folder,
                       results=self.parameterAsBoolean(parameters, self.RESULTS, context),
                       report=self.parameterAsBoolean(parameters, self.REPORT, context),
                       crs=(crs.authid() or crs.toWkt()) if crs.isValid() else None)
        layers = []

        def converted(record):  # its warnings and layers as each export is done
            for line, text in record.warnings:
                feedback.pushWarning(f"{record.input}:{line}: {text}" if line else
                                     f"{record.input}: {text}")
            written = exports.written_layers(record.input, folder, format)
            feedback.pushInfo(f"{record.input}: " + ", ".join(
                f"{key} {record.counts.get(exports.SUMMARY_COUNTS.get(key), '')}".rstrip()
                for key, _ in written))
            layers.extend(source for _, source in written)
            for key, source in written if context.project() is not None else ():
                name = f"{exports.base_name(record.input)} {key}"  # added when the run is done
                context.addLayerToLoadOnCompletion(
                    source, QgsProcessingContext.LayerDetails(name, context.project(), self.LAYERS))
        import varnokline
        try:
            exports.convert(paths, feedback.isCanceled, feedback.setProgress, converted, **options)
        except exports.Canceled as canceled:
            raise QgsProcessingException(str(canceled))
        except (varnokline.ExportError, OSError, ValueError) as failure:
            raise QgsProcessingException(str(failure))
        return {self.OUTPUT: folder, self.LAYERS: layers}


class Provider(QgsProcessingProvider):
    def id(self):
        return "varnokline"

    def name(self):
        return "River exports"

    def icon(self):
        return QIcon(ICON)

    def loadAlgorithms(self):
        self.addAlgorithm(ConvertRiverExport())
