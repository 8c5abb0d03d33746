// The GIS layer writer's public operations: a table of up to 100 open layers, each a MIF/MID pair
// or a set of Shapefiles chosen by the name's extension. They work on the GisState in use
// (gis/state.h); they create and close the layers' files, with the opener's dialogue when one
// cannot be created, and a failure of a layer's files is reported on the console and ends the run.
//
//   GisSchema schema;
//   schema.fieldCount = 1;
//   schema.fields[0] = {"Name", "Char", 20};
//   int id = gisOpenLayer("river.shp", "L", "O ", schema);  // river_L.shp/.shx/.prj/.dbf
//   gisWriteHeader(id);                                     // the schema and the projections
//   GisObject line;
//   gisInitialiseObject(line);
//   line.kind = GisKind::Pline;                 // then n, X, Y and the values
//   line.setValues({textValue("Alder Creek")});
//   gisWriteObject(id, line);
//   gisWriteRecord(id, line);
//   gisCloseLayer(id);                          // totals patched in, files closed, id 0
#pragma once

#include <string_view>

#include "gis/object.h"
#include "gis/schema.h"
#include "gis/state.h"
#include "gis/status.h"

namespace vk {

// Opens a layer for writing ("O ") with its schema and returns its gisID (lowest free of 1..100).
// kinds: the Shapefile sets to create, one letter each ("P" points, "L" lines, "R" regions);
// ignored for MIF.
int gisOpenLayer(std::string_view name, std::string_view kinds, std::string_view mode,
                 const GisSchema& schema);
void gisInitialiseLayer(int gisID);
// Completes and closes the layer's files; sets gisID to 0 when the layer was closed.
void gisCloseLayer(int& gisID);

// Writes the layer's header from its schema (and the run's projection text).
void gisWriteHeader(int gisID);

// Makes the object kindless with one part starting at vertex 1; vertices and attributes stay.
void gisInitialiseObject(GisObject& object);
void gisWriteObject(int gisID, GisObject& object);
void gisWriteRecord(int gisID, GisObject& object);
// Close-out of a layer opened for writing: final totals of a Shapefile layer; nothing for MIF.
void gisWriteEoF(int gisID);

// Returns the state in use to its start-of-run state (every table entry free, buffers blank, the
// projections reset).
void gisResetAll();

// Claims the name of the run's GeoPackage (GisState::packagePath) before anything is written:
// while something other than an ordinary file has it or another run holds it (or is writing it),
// the opener's "Can't Open" dialogue, and without console input the end of the run. A temporary
// package left by a run that was killed is removed.
void gisClaimPackage();

// Puts the run's GeoPackage, when it has one, in its place with every table in it (the end of a
// finished run); a failure is reported and ends the run. A name held by another program at that
// moment is asked about as an output that cannot be opened; without console input the finished
// package is kept under its temporary name, named in the error. False when the run has none.
bool gisCommitPackage();

}  // namespace vk
