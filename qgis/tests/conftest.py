"""The plugin as QGIS installs it from its zip (scripts/qgis-plugin), in a QGIS without a window and
with a settings folder of its own."""
import os
import shutil
import sys
import zipfile
from pathlib import Path

import pytest

PROJECT = Path(__file__).resolve().parents[2]
ZIP = PROJECT / "build" / "varnokline_qgis.zip"
REALDATA = PROJECT.parent / "shared" / "realdata"
EXAMPLE = PROJECT / "examples" / "river.sdf"
EXPORTS = [EXAMPLE] + sorted(REALDATA.glob("*.sdf"))

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
if not ZIP.exists():
    pytest.skip(f"{ZIP} is not there (scripts/qgis-plugin makes it)", allow_module_level=True)
qgis_core = pytest.importorskip("qgis.core", reason="QGIS's Python (python3-qgis) is not installed")


@pytest.fixture(scope="session")
def plugins(tmp_path_factory):
    """The plugins folder the zip was installed into; its settings say the plugin is enabled."""
    home = tmp_path_factory.mktemp("qgis")
    with zipfile.ZipFile(ZIP) as archive:
        archive.extractall(home / "plugins")
    settings = home / "config" / "profiles" / "default" / "QGIS"
    settings.mkdir(parents=True)
    (settings / "QGIS3.ini").write_text("[PythonPlugins]\nvarnokline_qgis=true\n")
    sys.path.insert(0, str(home / "plugins"))
    return home


@pytest.fixture(scope="session")
def qgis(plugins):
    os.environ["QGIS_CUSTOM_CONFIG_PATH"] = str(plugins / "config")
    app = qgis_core.QgsApplication([], False)
    app.initQgis()
    yield app


@pytest.fixture
def project(qgis):
    project = qgis_core.QgsProject.instance()
    project.clear()
    yield project
    project.clear()


def copy_export(export, folder):
    """The export in a folder of its own, with the example's projection templates beside it."""
    target = Path(folder) / export.name
    shutil.copy(export, target)
    if export == EXAMPLE:
        for template in ("Header.prj", "Header.mif"):
            shutil.copy(EXAMPLE.parent / template, folder)
    return target
