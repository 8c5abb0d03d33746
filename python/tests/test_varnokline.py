import errno
import os
import shutil
import subprocess
import sys
import warnings
from pathlib import Path

import fiona
import geopandas as gpd
import pandas as pd
import pyproj
import pytest

import varnokline

PROJECT = Path(__file__).resolve().parents[2]
REALDATA = PROJECT.parent / "shared" / "realdata"
EXAMPLE = PROJECT / "examples" / "river.sdf"
# With profile limits (heights, one crossing itself) and storage areas: polygons.
BOUNDS = Path(__file__).with_name("bounds.sdf")
EXPORTS = sorted(REALDATA.glob("*.sdf")) + [EXAMPLE, BOUNDS]


def copy(source, folder, with_templates=False):
    target = folder / source.name
    shutil.copy(source, target)
    if with_templates:
        shutil.copy(source.parent / "Header.prj", folder)
    return target


def crs_of(frame):  # a package without a system has GDAL's undefined one
    undefined = frame.crs is None or frame.crs.name == "Undefined Cartesian SRS"
    return None if undefined else frame.crs


def wkb(series):
    return [None if g is None else g.wkb_hex for g in series]


@pytest.mark.parametrize("export,trim", [(e, True) for e in EXPORTS] + [(EXPORTS[0], False)],
                         ids=lambda v: getattr(v, "name", str(v)))
def test_read_agrees_with_the_programs_geopackage(export, trim, tmp_path):
    if not export.exists():
        pytest.skip(f"{export} is not here")
    source = copy(export, tmp_path, export == EXAMPLE)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", varnokline.ExportWarning)
        frames = varnokline.read(source, results=True, trim=trim)
        assert sorted(p.name for p in tmp_path.iterdir()) == ["Header.prj", source.name][
            export != EXAMPLE:], "read() writes nothing"
        [record] = varnokline.convert(source, results=True, trim=trim, out=tmp_path / "out")
    package = tmp_path / "out" / (source.stem + ".gpkg")
    base = source.name.split(".")[0]
    names = fiona.listlayers(package)
    assert sorted(varnokline._layer_key(n, base) for n in names) == sorted(frames)
    assert record.counts["surface points"] == len(frames["surf_pts"])
    for name in names:
        ours = frames[varnokline._layer_key(name, base)]
        theirs = gpd.read_file(package, layer=name)
        assert len(ours) == len(theirs), name
        if isinstance(ours, gpd.GeoDataFrame):
            assert wkb(ours.geometry) == wkb(theirs.geometry), name
            assert crs_of(ours) == crs_of(theirs), name
        values = [c for c in theirs.columns if c != "geometry"]
        assert [c for c in ours.columns if c != "geometry"] == values, name
        pd.testing.assert_frame_equal(pd.DataFrame(ours[values]), pd.DataFrame(theirs[values]),
                                      check_dtype=False, check_index_type=False, obj=name)


def hinted(folder):  # Bald Eagle's header naming a State Plane zone that holds its coordinates
    source = REALDATA / "baldeagle-export-crlf.sdf"
    if not source.exists():
        pytest.skip("no real export here")
    (folder / source.name).write_bytes(source.read_bytes().replace(b"ZONE: 5126", b"ZONE: 3701"))
    return folder / source.name


@pytest.mark.parametrize("make,crs,epsg", [
    (lambda d: copy(EXAMPLE, d), "EPSG:31467", 31467),
    (lambda d: copy(EXAMPLE, d, True), pyproj.CRS.from_epsg(32632), 32632),  # not the template's
    (hinted, None, 2271),
    (hinted, "EPSG:32618", 32618),
])
def test_frames_have_the_system_the_run_resolves(make, crs, epsg, tmp_path):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", varnokline.ExportWarning)
        frames = varnokline.read(make(tmp_path), crs=crs)
    assert {f.crs.to_epsg() for f in frames.values() if isinstance(f, gpd.GeoDataFrame)} == {epsg}


def test_convert_takes_a_crs_for_every_format_and_refuses_an_unknown_one(tmp_path):
    source = copy(EXAMPLE, tmp_path)
    varnokline.convert(source, format="mif", out=tmp_path / "mif", crs="EPSG:31467")
    mif = (tmp_path / "mif" / "river.sdf_streams.mif").read_text()
    assert 'CoordSys Earth Projection 8, 104, "m", 9, 0, 1, 3500000, 0\n' in mif  # no template
    for call in (varnokline.read, varnokline.convert):
        with pytest.raises(ValueError, match="EPSG:99999"):
            call(source, crs="EPSG:99999")


def truncated(folder):
    lines = EXAMPLE.read_text().splitlines(keepends=True)
    (folder / "cut.sdf").write_text("".join(lines[:40]))
    return folder / "cut.sdf"


@pytest.mark.parametrize("make,call,expected", [
    (truncated, varnokline.read, varnokline.ExportError),
    (truncated, varnokline.convert, varnokline.ExportError),
    (lambda d: d / "missing.sdf", varnokline.read, FileNotFoundError),
    (lambda d: d / "missing.sdf", varnokline.convert, FileNotFoundError),
])
def test_failures_raise_and_never_prompt(make, call, expected, tmp_path):
    path = make(tmp_path)
    with pytest.raises(expected) as raised:
        call(path)
    if expected is varnokline.ExportError:
        assert raised.value.file == os.fspath(path)
        assert raised.value.line == 40 and "Unexpected end of file" in raised.value.text


def test_failed_write_is_an_oserror_with_the_systems_reason(tmp_path):
    (tmp_path / "file").write_text("")
    with pytest.raises(OSError) as raised:
        varnokline.convert(copy(EXAMPLE, tmp_path), out=tmp_path / "file" / "sub")
    assert raised.value.errno == errno.ENOTDIR


def test_warnings_carry_the_exports_line_and_can_be_errors(tmp_path):
    source = copy(REALDATA / "gisplugin-structures-import.sdf", tmp_path)
    if not (REALDATA / source.name).exists():
        pytest.skip("no real export here")
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        [record] = varnokline.convert(source, out=tmp_path / "out")
    shown = [(w.lineno, str(w.message)) for w in caught if w.category is varnokline.ExportWarning]
    assert shown == [(line or 0, text) for line, text in record.warnings]
    assert shown[0][0] == 106 and shown[0][1].endswith("line 106)")
    with warnings.catch_warnings():
        warnings.simplefilter("error", varnokline.ExportWarning)
        with pytest.raises(varnokline.ExportWarning):
            varnokline.read(source)


@pytest.mark.parametrize("args,status,output", [
    (["--version"], 0, "varnokline 1.0"),
    (["-nosuchoption"], 1, "ERROR - Unrecognised command line option"),
])
def test_module_runs_the_command_line(args, status, output):
    ran = subprocess.run([sys.executable, "-m", "varnokline", *args], capture_output=True,
                         text=True, stdin=subprocess.DEVNULL, timeout=60)
    assert ran.returncode == status and output in ran.stdout


def test_progress_is_called_between_sections_and_its_exception_ends_the_run(tmp_path):
    source = copy(EXAMPLE, tmp_path)
    seen = []
    varnokline.convert(source, out=tmp_path / "all", progress=lambda p, n: seen.append((p, n)))
    assert seen == [(os.fspath(source), n) for n in range(20)]

    def stop_at_five(path, written):
        if written == 5:
            raise KeyboardInterrupt
    with pytest.raises(KeyboardInterrupt):
        varnokline.convert(source, out=tmp_path / "cut", progress=stop_at_five)
    assert len(list((tmp_path / "cut").glob("*.csv"))) == 5
    assert not (tmp_path / "cut" / "river.gpkg").exists()  # an unfinished package is not put in place


def test_runs_on_threads_keep_their_own_consoles_and_layers(tmp_path):
    from concurrent.futures import ThreadPoolExecutor
    args = [["varnokline", "-gpkg", "-results", os.fspath(copy(e, tmp_path))]
            for e in (EXAMPLE, BOUNDS)] * 3

    def ran(a):
        status, console, *_, layers = varnokline._varnokline.read(a)
        return status, console, [(layer["name"], layer["count"]) for layer in layers]
    alone = [ran(a) for a in args[:2]]
    with ThreadPoolExecutor(len(args)) as pool:
        together = list(pool.map(ran, args))
    assert together == alone * 3 and all(status == 0 for status, _, _ in alone)
