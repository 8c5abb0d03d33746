"""Shapely geometries from a memory layer's coordinate arrays."""
import numpy as np
from shapely.geometry import LineString, Point, Polygon


def geometries(layer):
    """One geometry per feature: feature i's parts are part_starts[parts[i]:parts[i + 1] + 1]."""
    kind = layer["geometry"]
    parts = layer["parts"]
    starts = layer["part_starts"]
    count = len(parts) - 1
    out = np.empty(count, dtype=object)
    if kind == "P":
        first = starts[parts[:-1]]
        has = parts[1:] > parts[:-1]
        xs, ys = layer["x"], layer["y"]
        out[:] = [Point(x, y) if h else None
                  for x, y, h in zip(xs[np.minimum(first, len(xs) - 1)].tolist() if len(xs) else [],
                                     ys[np.minimum(first, len(ys) - 1)].tolist() if len(ys) else [],
                                     has.tolist())] if len(xs) else [None] * count
        return out
    coords = np.column_stack([layer["x"], layer["y"]] + ([layer["z"]] if layer["has_z"] else []))
    for i in range(count):
        rings = [coords[starts[k]:starts[k + 1]] for k in range(parts[i], parts[i + 1])]
        out[i] = _shape(kind, rings)
    return out


def _shape(kind, rings):
    if not rings:
        return None
    if kind == "L":
        line = rings[0]
        return LineString(line) if len(line) != 1 else LineString([line[0], line[0]])
    return Polygon(rings[0], rings[1:])
