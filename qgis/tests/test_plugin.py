import json
import os
import shutil
import subprocess
import xml.etree.ElementTree as ElementTree

import pytest
from qgis.PyQt import sip
from conftest import EXAMPLE, EXPORTS, copy_export

from qgis.core import (QgsCoordinateReferenceSystem, QgsMapRendererSequentialJob, QgsMapSettings,
                       QgsProcessingContext, QgsProcessingFeedback, QgsRectangle,
                       QgsVectorLayer)
from qgis.PyQt.QtCore import QSize
from qgis.PyQt.QtGui import QColor


@pytest.fixture
def plugin(qgis):
    import varnokline_qgis
    from varnokline_qgis import exports, opening, plugin, processing
    return varnokline_qgis, exports, opening, plugin, processing


def expected_records(exports, paths, folder, **options):
    return exports.convert(paths, format="gpkg", out=folder, results=True, **options)


def layer_name(source):
    """A package layer's name, a file's name without its extension."""
    if "|layername=" in source:
        return source.split("|layername=")[1]
    return os.path.splitext(os.path.basename(source))[0]


GEOMETRY_LAYERS = ["levee_pts", "bank_pts", "end_pts", "surf_pts", "streams", "cut_line",
                   "surf_line", "ws_lines", "storage_areas", "profile_limits"]


@pytest.mark.parametrize("format,index,exports_in,keys", [
    ("gpkg", 0, EXPORTS, GEOMETRY_LAYERS + ["water_surface", "tables"]),
    ("shp", 1, [EXAMPLE], GEOMETRY_LAYERS),
    ("mif", 2, [EXAMPLE], GEOMETRY_LAYERS),
])
def test_algorithm_through_qgis_process(format, index, exports_in, keys, plugins, plugin,
                                        tmp_path):
    _, exports, *_ = plugin
    command = shutil.which("qgis_process.bin") or shutil.which("qgis_process")
    if not command:
        pytest.skip("qgis_process is not installed")
    inputs = []
    for export in exports_in:
        (tmp_path / export.stem).mkdir()
        inputs.append(copy_export(export, tmp_path / export.stem))
    env = dict(os.environ, QGIS_PLUGINPATH=str(plugins / "plugins"),
               QGIS_CUSTOM_CONFIG_PATH=str(plugins / "config"))
    ran = subprocess.run([command, "run", "varnokline:convertriverexport", "--json",
                          *(f"--INPUT={p}" for p in inputs), f"--FORMAT={index}",
                          f"--OUTPUT={tmp_path / 'out'}"],
                         capture_output=True, text=True, env=env, timeout=300)
    assert ran.returncode == 0, ran.stderr
    output = json.loads(ran.stdout)
    layers = output["results"]["LAYERS"]
    records = expected_records(exports, inputs, tmp_path / "expected")
    for path, record in zip(inputs, records):
        mine = [s for s in layers if exports.layer_key(layer_name(s), path)]
        assert [exports.layer_key(layer_name(s), path) for s in mine] == keys, path
        for source, key in zip(mine, keys):
            layer = QgsVectorLayer(source, key, "ogr")
            assert layer.isValid(), source
            if key in exports.SUMMARY_COUNTS:
                assert layer.featureCount() == record.counts[exports.SUMMARY_COUNTS[key]], source
        for line, text in record.warnings:
            place = f"{path}:{line}" if line else str(path)
            assert f"{place}: {text}" in output["log"]["warning"]


# cancel_at: canceled once the progress says that many of the 20 sections are written (0: before
# the run); the section being written then is the last.
@pytest.mark.parametrize("cancel_at,sections", [(None, 20), (0, 0), (1, 2), (7, 8)])
def test_algorithm_progress_and_cancel(cancel_at, sections, plugin, tmp_path):
    *_, processing = plugin
    source = copy_export(EXAMPLE, tmp_path)
    algorithm = processing.ConvertRiverExport().create()
    feedback, steps = QgsProcessingFeedback(), []

    def step(percent):
        steps.append(percent)
        if cancel_at is not None and percent >= 5 * cancel_at:
            feedback.cancel()
    feedback.progressChanged.connect(step)
    if cancel_at == 0:
        feedback.cancel()
    results, ok = algorithm.run({"INPUT": [str(source)], "OUTPUT": str(tmp_path / "out")},
                                QgsProcessingContext(), feedback)
    assert steps == sorted(steps) and steps[-1:] == ([100] if ok else [5 * cancel_at][:cancel_at])
    assert ok == (cancel_at is None)
    assert len(list((tmp_path / "out").glob("Alder*.csv"))) == sections


def qml_renderer(path):
    """The type and first colour of a style file's renderer."""
    renderer = ElementTree.parse(path).getroot().find("renderer-v2")
    colour = next(o.get("value") for o in renderer.iter("Option")
                  if o.get("name") in ("color", "line_color"))
    return renderer.get("type"), QColor(*map(int, colour.split(",")[:4]))


@pytest.mark.parametrize("export", EXPORTS, ids=lambda e: e.name)
@pytest.mark.parametrize("read_only", [False, True])
def test_open_adds_a_group_of_styled_layers(export, read_only, plugin, project, tmp_path,
                                            monkeypatch):
    _, exports, opening, *_ = plugin
    if read_only and export != EXAMPLE:
        pytest.skip("one export is enough for the read-only folder")
    source = copy_export(export, tmp_path)
    if read_only:
        monkeypatch.setattr(os, "access", lambda path, mode: False)
    project.setCrs(QgsCoordinateReferenceSystem("EPSG:4326"))
    opened = opening.open_export(source, project)
    assert (opened.folder == str(tmp_path)) != read_only
    assert (tmp_path / "river.gpkg").exists() != read_only or export != EXAMPLE
    assert project.layerTreeRoot().children()[0] is opened.group
    assert opened.group.name() == export.name
    names = [node.layer().name() for node in opened.group.findLayers()]
    assert names == [opening.TITLES[k] for k in exports.LAYER_ORDER if opening.TITLES[k] in names]
    assert {"Centrelines", "Cut lines"} <= set(names)
    for layer in opened.layers:
        assert layer.isValid() and layer.featureCount() > 0
        if not layer.isSpatial():
            continue
        key = next(k for k, title in opening.TITLES.items() if title == layer.name())
        kind, colour = qml_renderer(os.path.join(opening.STYLES, key + ".qml"))
        assert layer.renderer().type() == kind, key
        if kind == "RuleRenderer":
            rules = layer.renderer().rootRule().children()
            assert [r.label() for r in rules] == opening.profiles_in_order(layer) != []
            assert all(r.symbol().color().blue() > r.symbol().color().red() for r in rules)
        else:
            assert layer.renderer().symbol().color().name() == colour.name(), key
    crs = opened.layers[0].crs()
    assert (opened.offered_crs == crs) if crs.isValid() else opened.offered_crs is None
    labels = next(l for l in opened.layers if l.name() == "Cut lines").labeling().settings()
    assert labels.scaleVisibility and labels.minimumScale > 0


def test_rendered_map_of_the_example(plugin, project, tmp_path):
    *_, opening, _, _ = plugin
    opened = opening.open_export(copy_export(EXAMPLE, tmp_path), project)
    spatial = [l for l in opened.layers if l.isSpatial()]
    extent = QgsRectangle()
    for layer in spatial:
        extent.combineExtentWith(layer.extent())
    settings = QgsMapSettings()
    settings.setLayers(spatial)
    settings.setDestinationCrs(spatial[0].crs())
    settings.setOutputSize(QSize(900, 600))
    settings.setBackgroundColor(QColor("white"))
    settings.setExtent(extent.buffered(extent.width() / 20))
    job = QgsMapRendererSequentialJob(settings)
    job.start()
    job.waitForFinished()
    image = job.renderedImage()
    image.save(str(tmp_path / "river.png"))
    if os.environ.get("VARNOKLINE_QGIS_PNG"):
        image.save(os.environ["VARNOKLINE_QGIS_PNG"])
    pixels = [QColor(image.pixel(x, y)) for x in range(0, 900, 3) for y in range(0, 600, 3)]
    drawn = [c for c in pixels if c.name() != "#ffffff"]
    blue = [c for c in drawn if c.blue() > c.red() + 60]
    assert len(drawn) > len(pixels) // 100 and len(blue) > len(pixels) // 1000


@pytest.mark.parametrize("file,taken", [("a/river.sdf", True), ("B.SDF", True),
                                        ("river.shp", False), ("sdf", False)])
def test_dropped_files(file, taken, plugin):
    *_, plugin_module, _ = plugin
    opened = []
    assert plugin_module.DropHandler(opened.extend).handleFileDrop(file) == taken
    assert opened == ([file] if taken else [])


class Iface:
    """What of QGIS's window the plugin uses: its Layer menu, message bar and drop handlers."""
    def __init__(self):
        from qgis.gui import QgsMessageBar
        from qgis.PyQt.QtWidgets import QMainWindow, QMenu
        self.window, self.menu, self.bar, self.drops = QMainWindow(), QMenu("Layer"), QgsMessageBar(), []
        self.add_menu = self.menu.addMenu("Add Layer")
        self.menu.addAction("Embed Layers and Groups…")
        self.mainWindow, self.layerMenu, self.messageBar = (lambda: self.window, lambda: self.menu,
                                                            lambda: self.bar)
        self.addLayerMenu = lambda: self.add_menu
        self.registerCustomDropHandler = self.drops.append
        self.unregisterCustomDropHandler = self.drops.remove


def test_menu_drop_warnings_and_crs_offer(plugin, project, tmp_path):
    from qgis.core import QgsApplication
    from qgis.PyQt.QtWidgets import QPushButton
    *_, plugin_module, _ = plugin
    iface = Iface()
    gui = plugin_module.Plugin(iface)
    gui.initGui()
    assert iface.menu.actions()[1].text() == "Open River Export…"
    assert QgsApplication.processingRegistry().providerById("varnokline") is not None
    project.setCrs(QgsCoordinateReferenceSystem("EPSG:4326"))
    assert iface.drops[0].handleFileDrop(str(copy_export(EXAMPLE, tmp_path)))
    assert project.layerTreeRoot().children()[0].name() == "river.sdf"
    texts = [item.text() for item in iface.bar.items()]
    assert texts[0].startswith("The layers are in EPSG:5677")  # the offer, shown last
    assert sorted(texts[1:])[0].startswith("river.sdf:161: WARNING") and len(texts) == 4
    iface.bar.items()[0].findChild(QPushButton).click()
    assert project.crs().authid() == "EPSG:5677"
    gui.unload()
    assert len(iface.menu.actions()) == 2 and iface.drops == []
    assert QgsApplication.processingRegistry().providerById("varnokline") is None
    project.clear()
    iface.bar.clearWidgets()
    for widget in (iface.menu, iface.bar, iface.window):  # gone before QGIS is
        sip.delete(widget)
