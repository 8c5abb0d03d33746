"""Shapely geometries from a memory layer's coordinate arrays."""
import numpy as np
from shapely.geometry import LineString, Point, Polygon


def geometries(layer):
    """One geometry per feature (None for a feature without): feature i's parts are parts[i] ..
    parts[i + 1], part k's vertices part_starts[k] .. part_starts[k + 1]."""
    kind = layer["geometry"]
    parts = layer["parts"]
    starts = layer["part_starts"]
    count = len(parts) - 1
    out = np.empty(count, dtype=object)  # filled item by item: numpy asks no geometry for an array
    if kind == "P":
        xs, ys = layer["x"].tolist(), layer["y"].tolist()
        firsts = starts[parts[:-1]].tolist()
        has = (parts[1:] > parts[:-1]).tolist()
        for i in range(count):
            if has[i]:
                out[i] = Point(xs[firsts[i]], ys[firsts[i]])
        return out
    coords = np.column_stack([layer["x"], layer["y"]] + ([layer["z"]] if layer["has_z"] else []))
    for i in range(count):
        rings = [coords[starts[k]:starts[k + 1]] for k in range(parts[i], parts[i + 1])]
        if rings:
            out[i] = _shape(kind, rings)
    return out


def _shape(kind, rings):
    if kind == "L":
        line = rings[0]
        return LineString(line) if len(line) != 1 else LineString([line[0], line[0]])
    return Polygon(rings[0], rings[1:])
