// The writer of one layer's files, one class per format behind one interface. The layer table
// holds a layer's writer; the format is chosen once, when the layer is opened, from its name's
// extension. Writers deal only in files and bytes and return a status; they never end the run.
//
//   std::unique_ptr<LayerWriter> writer = makeLayerWriter(".shp");
//   GisStatus status = writer->open("river.shp", "PL");
//   status = writer->header(schema, projections);
//   status = writer->object(object);   // then record(object), for every object
//   status = writer->finish();         // the close-out totals
//   status = writer->close();          // every file released
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "gis/object.h"
#include "gis/schema.h"
#include "gis/status.h"

namespace vk {

enum class GisFormat { Mif, Shapefile };

class LayerWriter {
  public:
    virtual ~LayerWriter() = default;

    virtual GisFormat format() const = 0;
    // Creates the layer's files. kinds: the geometry families to create, one letter each ("P"
    // points, "L" lines, "R" regions), for formats that keep them apart.
    virtual GisStatus open(std::string_view name, std::string_view kinds) = 0;
    virtual GisStatus header(const GisSchema& schema, const GisProjections& projections) = 0;
    // The object's geometry; it may take the object's kind as the format stores it (a
    // Shapefile's text is its point).
    virtual GisStatus object(GisObject& object) = 0;
    // The object's attribute line.
    virtual GisStatus record(const GisObject& object) = 0;
    // Final totals, written once every object is.
    virtual GisStatus finish() = 0;
    // Everything still buffered reaches its file, and every file is released.
    virtual GisStatus close() = 0;
};

// The writer for a layer whose name has this extension (cut at 16 characters), of the format
// that lists it (gis/formats.h): none, ".mif" or ".mid" a MIF/MID pair, ".shp" a Shapefile set;
// nullptr for any other.
std::unique_ptr<LayerWriter> makeLayerWriter(std::string_view extension);

}  // namespace vk
