"""Shapely geometries around the GEOS geometries the module made of a layer's coordinates.

Each object is made as shapely makes one for a geometry it got from GEOS (its geom_factory),
without a call through ctypes per feature; it owns its geometry and destroys it when it goes.
"""
import gc

import numpy as np
from shapely.geometry import LineString, Point, Polygon

_CLASSES = {"P": Point, "L": LineString, "R": Polygon}


def geometries(layer):
    """One geometry per feature, None for a feature without."""
    cls = _CLASSES[layer["geometry"]]
    ndim = 3 if layer["has_z"] and cls is not Point else 2
    made = cls.__new__
    out = np.empty(layer["count"], dtype=object)  # item by item: numpy asks no geometry
    enabled = gc.isenabled()
    gc.disable()  # millions of new objects, none in a cycle
    try:
        addresses = layer.pop("geos")
        for start in range(0, len(addresses), 65536):  # as Python's ints a block at a time
            for i, address in enumerate(addresses[start:start + 65536].tolist(), start):
                if address:
                    shape = made(cls)
                    state = shape.__dict__
                    state["__geom__"] = address
                    state["_is_empty"] = False
                    state["_ndim"] = ndim
                    out[i] = shape
    finally:
        if enabled:
            gc.enable()
    return out
