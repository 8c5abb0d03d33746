"""River-model spatial data exports (.sdf) in Python, read and converted by varnokline's own code.

    frames = varnokline.read("river.sdf")          # {"streams": GeoDataFrame, ..., "tables": ...}
    varnokline.convert(["a.sdf", "b.sdf"], format="shp", out="layers")

Warnings of an export come as varnokline.ExportWarning through the warnings module, each with the
export's line; an export that cannot be read raises ExportError, a failed write OSError.
"""
import errno as _errno
import os
import re
import sys
import warnings
from dataclasses import dataclass, field

import numpy as np
import pandas as pd

from . import _varnokline

__all__ = ["read", "convert", "ExportError", "ExportWarning", "Conversion", "FORMATS"]

FORMATS = ("shp", "mif", "gpkg")


class ExportWarning(UserWarning):
    """A warning of the program about an export; .line is the export's line (None: no line)."""

    def __init__(self, text, line=None):
        super().__init__(text)
        self.line = line


class ExportError(Exception):
    """An export that could not be read: .file, .line (None where the program names none), .text."""

    def __init__(self, file, line, text):
        super().__init__(f"{file}:{line}: {text}" if line is not None else f"{file}: {text}")
        self.file, self.line, self.text = file, line, text


@dataclass
class Conversion:
    """What converting one input did."""
    input: str
    finished: bool
    counts: dict = field(default_factory=dict)  # the summary's "Written:" counts, by name
    warnings: list = field(default_factory=list)  # (line or None, text), in order


# A warning or error line; its place, as a quiet run adds it, ends with the export's line.
_ALERT = re.compile(r"^(WARNING|Warning|ERROR|Error)\b")
_PLACE_LINE = re.compile(r" \(([^()]*\bline (\d+))\)$")
_LINE_IN_TEXT = re.compile(r"\b[Ll]ine(?: number)?:? (\d+)")
# Messages of a write or read of a file that failed, the system's reason in them.
_FILE_FAILURES = ("Cannot write file", "Cannot read file", "Can't create output folder",
                  "Cannot write GeoPackage", "Unable to open file", "Unable to put the GeoPackage",
                  "Can't Open", "Can't find input file")


def _lines(console):
    return console.decode("utf-8", "replace").splitlines()


def _alert(text):
    """(line or None, text) of a warning or error line."""
    place = _PLACE_LINE.search(text)
    if place:
        return int(place.group(2)), text
    found = _LINE_IN_TEXT.search(text)
    return (int(found.group(1)) if found else None), text


def _warnings_of(lines):
    return [_alert(t) for t in lines if _ALERT.match(t) and not t.startswith(("ERROR", "Error"))]


def _warn(path, found):
    for line, text in found:
        warnings.warn_explicit(ExportWarning(text, line), ExportWarning, path, line or 0,
                               module="varnokline")


def _system_error(path, text, console_text):
    """The OSError of a failed file operation, with the errno whose reason the console gives."""
    if "Can't find input file" in text:
        return FileNotFoundError(_errno.ENOENT, os.strerror(_errno.ENOENT), path)
    for code in sorted(_errno.errorcode):
        reason = os.strerror(code)
        if reason and reason in console_text:
            return OSError(code, f"{reason} ({text})")
    return OSError(text)


def _fail(path, status, lines):
    """Raises what a run that did not finish means."""
    errors = [t for t in lines if t.startswith(("ERROR", "Error"))]
    text = errors[0] if errors else (lines[-1] if lines else f"exit status {status}")
    if any(word in t for t in errors for word in _FILE_FAILURES):
        failure = next(t for t in errors if any(word in t for word in _FILE_FAILURES))
        raise _system_error(path, failure, "\n".join(lines))
    if text.startswith("ERROR - -crs: "):  # a definition the program does not take
        raise ValueError(text[len("ERROR - "):])
    line, _ = _alert(text)
    raise ExportError(path, line, text)


def _argument(path):
    """A path as the command line takes it: one beginning with a switch character is no option."""
    path = os.fspath(path)
    return "." + os.sep + path if path.startswith("-") else path


def _layer_key(name, base):
    """A layer's name without its base name: "streams", "surf_pts", "tables", ..."""
    for prefix in ("2d_zsh_", "1d_xs_"):
        if name.startswith(prefix + base + "_"):
            name = name[len(prefix):]
    if name.startswith(base + "_"):
        return name[len(base) + 1:]
    return "streams" if name.endswith("_streams") else name


def _values(column):
    """A column's values: its numbers, or its texts (None where missing) from their codes."""
    if len(column) == 2:
        return column[1]
    _, codes, texts = column
    lookup = np.empty(len(texts) + 1, dtype=object)
    lookup[:-1] = texts
    lookup[-1] = None  # code -1: missing
    return lookup[codes]


def _frame(layer, crs):
    """A layer's frame, built a column at a time, each column's arrays let go once it holds them,
    so that no more than one column is ever held twice."""
    import geopandas as gpd
    from ._geometry import geometries
    index = pd.RangeIndex(layer["count"])
    frame = gpd.GeoDataFrame(index=index) if layer["geometry"] else pd.DataFrame(index=index)
    columns = layer.pop("columns")
    while columns:
        column = columns.pop(0)
        frame[column[0]] = _values(column)
        del column
    if layer["geometry"]:
        frame["geometry"] = gpd.array.GeometryArray(geometries(layer), crs=crs)
    return frame


def read(path, results=True, trim=True, crs=None):
    """Reads an export into a dict of frames, one per layer the program writes, named as the layers
    without the base name ("streams", "surf_pts", "cut_line", ..., with results "ws_lines",
    "bank_pts", ...), plus "tables" (every section's distance, elevation and n rows) and, with
    results, "water_surface". trim=False keeps the points outside the levees (-notrim). The frames'
    coordinate system is the one the program resolves for the run: crs (as -crs: "EPSG:n", WKT,
    PROJJSON, a PROJ string or a file naming one; or a pyproj CRS), else the projection template
    beside the export (Header.prj), else the export header's hints where they fit its coordinates.
    """
    path = os.fspath(path)
    args = ["varnokline", "-gpkg", "-quiet", *_crs_option(crs)]
    if results:
        args.append("-results")
    if not trim:
        args.append("-notrim")
    args.append(_argument(path))
    status, console, epsg, projection, folder, base, layers = _varnokline.read(args)
    lines = _lines(console)
    if status != 0:
        _fail(path, status, lines)
    _warn(path, _warnings_of(lines))
    crs = (f"EPSG:{epsg}" if epsg else projection.decode("utf-8", "replace").strip()) or None
    base = os.fsdecode(base)
    folder = os.fsdecode(folder)
    frames = {}
    while layers:
        layer = layers.pop(0)  # each layer's arrays go once its frame holds them
        name = os.path.splitext(os.fsdecode(layer["name"])[len(folder):])[0]
        frames[_layer_key(name, base)] = _frame(layer, crs)
        del layer
    return frames


def _crs_option(crs):
    """-crs and its definition, for a crs given (a pyproj CRS as its WKT)."""
    if crs is None:
        return []
    return ["-crs", crs if isinstance(crs, str) else crs.to_wkt()]


_COUNT = re.compile(r"^(.*\D) (\d+)$")


def _counts(lines):
    for text in lines:
        if text.startswith("Written: "):
            pairs = (_COUNT.match(part) for part in text[len("Written: "):].rstrip(".").split(", "))
            return {m.group(1): int(m.group(2)) for m in pairs if m}
    return {}


def convert(paths, format="gpkg", out=None, results=False, report=False, quiet=True, crs=None,
            trim=True, progress=None):
    """Converts each export in turn as the program does, returning a Conversion per input.

    format: "gpkg", "shp" or "mif"; out: the folder every output goes into (made when missing;
    default beside each export); results: the model's results as layers and a table; report: the
    conversion report page; trim=False keeps the points outside the levees; quiet=False prints the
    program's whole console; crs: the exports' coordinate system as -crs takes it (see read()), in
    place of a projection template or the header's hints.
    progress: called as progress(path, sections_written) before each cross-section is written;
    an exception it raises ends that input's run as an interruption does (its outputs hold the
    sections written before) and comes out of convert().
    Never prompts or pauses. Raises ExportError for an export that cannot be read, OSError for an
    output that cannot be written; the inputs converted before it stay converted.
    """
    if format not in FORMATS:
        raise ValueError(f"format must be one of {FORMATS}, not {format!r}")
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    records = []
    options = ["-" + format]
    if out is not None:
        options += ["-out", _argument(out)]
    options += _crs_option(crs)
    if results:
        options.append("-results")
    if report:
        options.append("-report")
    if not trim:
        options.append("-notrim")
    if quiet:
        options.append("-quiet")
    for path in paths:
        path = os.fspath(path)
        between = None if progress is None else (lambda written, p=path: progress(p, written))
        status, console = _varnokline.convert(["varnokline", *options, _argument(path)],
                                              between)
        lines = _lines(console)
        if not quiet:
            # Its closing pause does not wait here: its prompt is left out.
            shown = console.decode("utf-8", "replace")
            sys.stdout.write(shown.removesuffix("Press Enter to Close\n").rstrip("\n") + "\n")
            sys.stdout.flush()
        if status != 0:
            _fail(path, status, lines)
        found = _warnings_of(lines)
        _warn(path, found)
        records.append(Conversion(path, True, _counts(lines), found))
    return records
