// The writer of one layer's files, one class per format behind one interface. A layer
// (gis/dataset.h) holds its writer, made by its dataset. A writer names its files (OutputFile)
// and deals only in them: it never writes to the console, asks the user or ends the run, but
// returns a status. Creating and closing the files, with the dialogue when one cannot be created,
// is the layer's part.
//
//   ShapefileLayerWriter shapefile(units);
//   LayerWriter* writer = &shapefile;
//   GisStatus status = writer->open("river.shp", "PL");   // names its files
//   for (OutputFile& file : writer->files()) file.create(units);
//   status = writer->header(schema, projections);
//   status = writer->object(object);   // then record(object), for every object
//   status = writer->finish();         // the close-out totals, every byte written
//   for (OutputFile& file : writer->files()) file.close();
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "files/units.h"

#include "gis/object.h"
#include "gis/schema.h"
#include "gis/status.h"

namespace vk {

class LayerWriter {
  public:
    virtual ~LayerWriter() = default;

    // Names the layer's files from the layer's name (files()); creates none. kinds: the geometry
    // families to create, one letter each ("P" points, "L" lines, "R" regions), for formats that
    // keep them apart.
    virtual GisStatus open(std::string_view name, std::string_view kinds) = 0;
    // The layer's files, in the order in which they are created and closed.
    virtual std::span<OutputFile> files() = 0;
    // The layer's schema, kept for its records, and the headers of its files.
    virtual GisStatus header(const GisSchema& schema, const GisProjections& projections) = 0;
    // The object's geometry; it may take the object's kind as the format stores it (a
    // Shapefile's text is its point).
    virtual GisStatus object(GisObject& object) = 0;
    // The object's attribute values.
    virtual GisStatus record(const GisObject& object) = 0;
    // Final totals, written once every object is, into the files still held; then everything
    // still buffered reaches its file, so that closing them has nothing left to fail on.
    virtual GisStatus finish() = 0;
};

}  // namespace vk
