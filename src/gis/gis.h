// The GIS layer writer's public operations: a table of up to 100 open layers, each a MIF/MID pair
// or a set of Shapefiles chosen by the name's extension.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "gis/object.h"
#include "gis/schema.h"
#include "gis/status.h"

namespace vk {

inline constexpr int kMaxGisLayers = 100;

// Opens a layer for writing ("O ") and returns its gisID (lowest free of 1..100). kinds: the
// Shapefile sets to create, one letter each ("P" points, "L" lines, "R" regions); ignored for MIF.
int gisOpenLayer(std::string_view name, std::string_view kinds, std::string_view mode);
void gisInitialiseLayer(int gisID);
// Completes and closes the layer's files; sets gisID to 0 when the layer was closed.
void gisCloseLayer(int& gisID);

// Writes the layer's header from gisSchema (and the run's projection text).
void gisWriteHeader(int gisID);

void gisInitialiseObject(GisObject& object);
void gisWriteObject(int gisID, GisObject& object);
void gisWriteRecord(int gisID, GisObject& object);
// Close-out of a layer opened for writing: final totals of a Shapefile layer; nothing for MIF.
void gisWriteEoF(int gisID);


// Returns the whole library to its start-of-run state (every table entry free, buffers blank,
// gisO_ and gisSchema reset). Called at the start of every run.
void gisResetAll();

}  // namespace vk
