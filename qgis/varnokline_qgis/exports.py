"""River exports converted with the varnokline package, and the layers a conversion wrote."""
import os
import re
import warnings

# The layers a conversion writes, by the name they have without the export's base name, in the
# order they stand in a layer tree from top to bottom: points over centrelines over cut lines
# over water lines over flood boundaries; the tables (no geometry) last.
LAYER_ORDER = ("levee_pts", "bank_pts", "end_pts", "surf_pts", "streams", "cut_line",
               "surf_line", "ws_lines", "storage_areas", "profile_limits", "water_surface",
               "tables")
# Each layer's count in a conversion's summary.
SUMMARY_COUNTS = {"streams": "centrelines", "cut_line": "cut lines", "surf_line": "surface lines",
                  "surf_pts": "surface points", "end_pts": "end points",
                  "levee_pts": "levee points", "ws_lines": "water-surface lines",
                  "bank_pts": "bank points", "profile_limits": "profile limits",
                  "storage_areas": "storage areas", "water_surface": "water-surface rows"}
FORMATS = (("gpkg", "GeoPackage", ".gpkg"), ("shp", "Shapefile", ".shp"),
           ("mif", "MapInfo MIF/MID", ".mif"))
_PREFIXES = ("2d_zsh_", "1d_xs_")
_DECLARED_SECTIONS = re.compile(rb"NUMBER\s*OF\s*CROSS-SECTIONS\s*:\s*(\d+)", re.IGNORECASE)


def base_name(path):
    """The name a conversion gives its outputs: the export's file name up to the first "." after
    its first character, a ":" as "_"."""
    name = os.path.basename(os.fspath(path).rstrip())
    dot = name.find(".", 1)
    return (name if dot < 0 else name[:dot]).replace(":", "_")


def declared_sections(path):
    """The number of cross-sections an export's header declares; None without one."""
    try:
        with open(path, "rb") as export:
            found = _DECLARED_SECTIONS.search(export.read(1 << 16))
    except OSError:
        return None
    return int(found.group(1)) or None if found else None


def layer_key(stem, path):
    """The layer a file or package layer named `stem` is of a conversion of `path`; None for one of
    another export or none of ours."""
    base, file = base_name(path), os.path.basename(os.fspath(path).rstrip())
    stem = re.sub(r"_[LPR]$", "", stem)  # a shapefile's kind
    if stem == file.replace(":", "_") + "_streams":
        return "streams"
    for prefix in ("",) + _PREFIXES:
        if stem.startswith(prefix + base + "_"):
            key = stem[len(prefix + base) + 1:]
            return key if key in LAYER_ORDER and key != "streams" else None
    return None


def written_layers(path, folder, format):
    """(key, source) of each layer the conversion of `path` into `folder` wrote, in LAYER_ORDER;
    a GeoPackage's layers as "package|layername=name"."""
    found = {}
    if format == "gpkg":
        from osgeo import ogr
        package = os.path.join(folder, base_name(path) + ".gpkg")
        source = ogr.Open(package) if os.path.exists(package) else None
        count = source.GetLayerCount() if source else 0
        names = [source.GetLayer(i).GetName() for i in range(count)]
        source = None
        for name in names:
            key = layer_key(name, path)
            if key:
                found[key] = f"{package}|layername={name}"
    else:
        extension = dict((f[0], f[2]) for f in FORMATS)[format]
        for entry in sorted(os.listdir(folder)):
            stem, ext = os.path.splitext(entry)
            key = layer_key(stem, path) if ext.lower() == extension else None
            if key:
                found[key] = os.path.join(folder, entry)
    return [(key, found[key]) for key in LAYER_ORDER if key in found]


class Canceled(Exception):
    """A conversion stopped by its user between two sections."""


def convert(paths, canceled=lambda: False, progress=lambda percent: None,
            converted=lambda record: None, **options):
    """varnokline.convert() of each export, reporting progress in percent over all of them,
    raising Canceled between two sections once canceled() is true and handing each record to
    converted() as its export is done. The export's warnings are left to the records (each
    .warnings as (line, text)), not shown by Python."""
    import varnokline
    paths = [os.fspath(p) for p in paths]
    totals = [declared_sections(p) for p in paths]
    records = []

    def between(path, written):
        if canceled():
            raise Canceled(f"Canceled at section {written + 1} of {path}")
        total = totals[len(records)]
        share = min(written / total, 1.0) if total else 0.0
        progress(100.0 * (len(records) + share) / len(paths))

    with warnings.catch_warnings():
        warnings.simplefilter("ignore", varnokline.ExportWarning)
        for path in paths:
            records += varnokline.convert([path], progress=between, **options)
            converted(records[-1])
            progress(100.0 * len(records) / len(paths))
    return records
