"""The plugin as installed from its zip (scripts/qgis-plugin), in a QGIS without a window."""
import json
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zipfile
from pathlib import Path

import pytest

PROJECT = Path(__file__).resolve().parents[2]
ZIP = PROJECT / "build" / "varnokline_qgis.zip"
EXAMPLE = PROJECT / "examples" / "river.sdf"
EXPORTS = [EXAMPLE] + sorted((PROJECT.parent / "shared" / "realdata").glob("*.sdf"))
os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
if not ZIP.exists():
    pytest.skip(f"{ZIP} is not there (scripts/qgis-plugin makes it)", allow_module_level=True)
pytest.importorskip("qgis.core", reason="QGIS's Python (python3-qgis) is not installed")
from qgis.core import (QgsApplication, QgsCoordinateReferenceSystem,  # noqa: E402
                       QgsMapRendererSequentialJob, QgsMapSettings, QgsProcessingContext,
                       QgsProcessingFeedback, QgsProject, QgsVectorLayer)
from qgis.gui import QgsMessageBar  # noqa: E402
from qgis.PyQt import QtCore, QtGui, QtWidgets, sip  # noqa: E402


@pytest.fixture(scope="session")
def home(tmp_path_factory):
    """QGIS's settings (the plugin enabled) and plugins folder, the zip installed there."""
    home = tmp_path_factory.mktemp("qgis")
    zipfile.ZipFile(ZIP).extractall(home / "plugins")
    (home / "profiles" / "default" / "QGIS").mkdir(parents=True)
    (home / "profiles" / "default" / "QGIS" / "QGIS3.ini").write_text(
        "[PythonPlugins]\nvarnokline_qgis=true\n")
    os.environ.update(QGIS_CUSTOM_CONFIG_PATH=str(home), QGIS_PLUGINPATH=str(home / "plugins"))
    sys.path.insert(0, str(home / "plugins"))
    app = QgsApplication([], False)
    app.initQgis()
    yield home


@pytest.fixture
def project(home):
    QgsProject.instance().clear()
    yield QgsProject.instance()
    QgsProject.instance().clear()


def copy_export(export, folder):  # in a folder of its own, the example with its templates
    folder.mkdir(exist_ok=True)
    shutil.copy(export, folder)
    for template in ("Header.prj", "Header.mif") if export == EXAMPLE else ():
        shutil.copy(EXAMPLE.parent / template, folder)
    return folder / export.name


def name_of(source):  # a package layer's name, a layer file's without its extension
    return source.split("|layername=")[1] if "|" in source else Path(source).stem


GEOMETRY = ["levee_pts", "bank_pts", "end_pts", "surf_pts", "streams", "cut_line", "surf_line",
            "ws_lines", "storage_areas", "profile_limits"]


@pytest.mark.parametrize("index,inputs,keys", [(0, EXPORTS, GEOMETRY + ["water_surface", "tables"]),
                                               (1, [EXAMPLE], GEOMETRY), (2, [EXAMPLE], GEOMETRY)])
def test_algorithm_through_qgis_process(index, inputs, keys, home, tmp_path):
    from varnokline_qgis import exports
    command = (shutil.which("qgis_process.bin") or shutil.which("qgis_process") or
               pytest.skip("qgis_process is not installed"))
    inputs = [copy_export(e, tmp_path / e.stem) for e in inputs]
    ran = subprocess.run([command, "run", "varnokline:convertriverexport", "--json",
                          *(f"--INPUT={p}" for p in inputs), f"--FORMAT={index}",
                          f"--OUTPUT={tmp_path / 'out'}"], capture_output=True, text=True,
                         timeout=300)
    assert ran.returncode == 0, ran.stderr
    output = json.loads(ran.stdout)
    records = exports.convert(inputs, format="gpkg", out=tmp_path / "expected", results=True)
    for path, record in zip(inputs, records):
        mine = [s for s in output["results"]["LAYERS"] if exports.layer_key(name_of(s), path)]
        assert [exports.layer_key(name_of(s), path) for s in mine] == keys, path
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
def test_algorithm_progress_and_cancel(cancel_at, sections, project, tmp_path):
    from varnokline_qgis.processing import ConvertRiverExport
    feedback, steps = QgsProcessingFeedback(), []
    feedback.progressChanged.connect(lambda p: steps.append(p) or (
        cancel_at is not None and p >= 5 * cancel_at and feedback.cancel()))
    if cancel_at == 0:
        feedback.cancel()
    context = QgsProcessingContext()
    context.setProject(project)
    _, ok = ConvertRiverExport().create().run(
        {"INPUT": [str(copy_export(EXAMPLE, tmp_path))], "OUTPUT": str(tmp_path / "out")},
        context, feedback)
    assert steps == sorted(steps) and steps[-1:] == ([100] if ok else [5 * cancel_at][:cancel_at])
    assert ok == (cancel_at is None) and len(context.layersToLoadOnCompletion()) == 12 * ok
    assert len(list((tmp_path / "out").glob("Alder*.csv"))) == sections


@pytest.mark.parametrize("export,read_only", [(e, False) for e in EXPORTS] + [(EXAMPLE, True)],
                         ids=lambda v: getattr(v, "name", str(v)))
def test_open_adds_a_group_of_styled_layers(export, read_only, project, tmp_path, monkeypatch):
    from varnokline_qgis import exports, opening
    source = copy_export(export, tmp_path)
    monkeypatch.setattr(os, "access", lambda path, mode: not read_only)
    project.setCrs(QgsCoordinateReferenceSystem("EPSG:4326"))
    opened = opening.open_export(source, project)
    assert (opened.folder == str(tmp_path)) != read_only
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
        style = ElementTree.parse(os.path.join(opening.STYLES, key + ".qml")).find("renderer-v2")
        assert layer.renderer().type() == style.get("type"), key
        if style.get("type") == "RuleRenderer":
            rules = layer.renderer().rootRule().children()
            assert [r.label() for r in rules] == opening.profiles_in_order(layer) != []
            assert all(r.symbol().color().blue() > r.symbol().color().red() for r in rules)
        else:  # the style's colour, not a default's random one
            colour = next(o.get("value") for o in style.iter("Option")
                          if o.get("name") in ("color", "line_color"))
            assert layer.renderer().symbol().color().getRgb() == tuple(
                map(int, colour.split(","))), key
    crs = opened.layers[0].crs()
    assert (opened.offered_crs == crs) if crs.isValid() else opened.offered_crs is None
    labels = next(l for l in opened.layers if l.name() == "Cut lines").labeling().settings()
    assert labels.scaleVisibility and labels.minimumScale > 0


class Iface:  # what of QGIS's window the plugin uses: Layer menu, message bar, drop handlers
    def __init__(self):
        self.window, self.menu = QtWidgets.QMainWindow(), QtWidgets.QMenu()
        self.bar, self.drops = QgsMessageBar(), []
        add_menu, _ = self.menu.addMenu("Add Layer"), self.menu.addAction("Embed Layers…")
        self.mainWindow, self.layerMenu, self.messageBar, self.addLayerMenu = (
            lambda: self.window, lambda: self.menu, lambda: self.bar, lambda: add_menu)
        self.registerCustomDropHandler = self.drops.append
        self.unregisterCustomDropHandler = self.drops.remove


def test_menu_drop_warnings_crs_offer_and_map(project, tmp_path):
    from varnokline_qgis.plugin import Plugin
    iface = Iface()
    plugin = Plugin(iface)
    plugin.initGui()
    registry = QgsApplication.processingRegistry()
    assert iface.menu.actions()[1].text() == "Open River Export…"
    assert registry.providerById("varnokline")
    project.setCrs(QgsCoordinateReferenceSystem("EPSG:4326"))
    assert not iface.drops[0].handleFileDrop(str(tmp_path / "river.shp"))
    dropped = str(copy_export(EXAMPLE, tmp_path).rename(tmp_path / "river.SDF"))
    assert iface.drops[0].handleFileDrop(dropped) and iface.drops[0].handleFileDrop(dropped)
    assert [g.name() for g in project.layerTreeRoot().children()] == ["river.SDF"]
    texts = sorted({item.text() for item in iface.bar.items()})  # the offer and the warnings
    assert texts[0].startswith("The layers are in EPSG:5677") and len(texts) == 2
    assert texts[1].startswith("river.SDF:161: WARNING") and texts[1].endswith("2 more in the log)")
    offer = next(i for i in iface.bar.items() if i.text().startswith("The layers are in EPSG:5677"))
    offer.findChild(QtWidgets.QPushButton).click()
    assert project.crs().authid() == "EPSG:5677"
    settings = QgsMapSettings()  # the map drawn with the styles: not blank, water in blue
    settings.setLayers([n.layer() for n in project.layerTreeRoot().findLayers()])
    settings.setDestinationCrs(project.crs())
    settings.setOutputSize(QtCore.QSize(900, 600))
    settings.setExtent(settings.fullExtent().buffered(settings.fullExtent().width() / 20))
    job = QgsMapRendererSequentialJob(settings)
    job.start()
    job.waitForFinished()
    image = job.renderedImage()
    image.save(os.environ.get("VARNOKLINE_QGIS_PNG", str(tmp_path / "river.png")))  # to look at
    pixels = [QtGui.QColor(image.pixel(x, y)) for x in range(0, 900, 3) for y in range(0, 600, 3)]
    drawn = [c for c in pixels if c.name() != "#ffffff"]
    assert len(drawn) > len(pixels) // 100 and any(c.blue() > c.red() + 60 for c in drawn)
    plugin.unload()
    assert len(iface.menu.actions()) == 2 and iface.drops == []
    assert not registry.providerById("varnokline")
    project.clear()
    for widget in (iface.menu, iface.bar, iface.window):  # gone before QGIS is
        sip.delete(widget)
