// The Shapefile writer: the .shp, .shx and .prj of each geometry family (set) of a layer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "files/units.h"
#include "gis/dbf.h"
#include "gis/object.h"
#include "gis/status.h"

namespace vk {

struct ShapeSet {
    // The set's files, owned by the layer's writer; none while the set is not created.
    OutputFile* shp = nullptr;
    OutputFile* shx = nullptr;
    OutputFile* prj = nullptr;
    std::int32_t fileCode = 0;
    std::int32_t shpFileLength = 0;  // 16-bit words
    std::int32_t version = 0;
    std::int32_t fileShapeType = 0;  // 1, 3 or 5
    std::int32_t recordShapeType = 0;
    std::int32_t recordCount = 0;
    std::int32_t nextRecordOffset = 0;  // 16-bit words
    double xmin = 0, ymin = 0, xmax = -1, ymax = -1;
    // A set of lines or polygons whose first record has a height per vertex is one of
    // PolyLineZ or PolygonZ: its records hold each vertex's Z (0 for an object without any).
    bool hasZ = false;
    double zmin = 0, zmax = 0;
    // The record being written; reused so that a record costs no allocation once the buffer has
    // grown to the largest record of the set.
    std::string record;

    bool isOpen() const { return shp != nullptr && shp->isOpen(); }
};

// The names of the four files of one set: base + "_" + letter + ".shp", ".shx", ".prj", ".dbf"
// (in that order into `paths`).
GisStatus OpenshpFile(std::string_view layerName, char letter, std::array<std::string, 4>& paths);
// Writes the 100-byte main-file header of the .shp or the .shx, each field in its byte order.
GisStatus shpWriteHeader(ShapeSet& set, OutputFile& file);
// Appends one record to the .shp and its entry to the .shx; updates counters and box.
GisStatus shpWriteObject(const GisObject& object, ShapeSet& set);
// Patches the final file length, box (and shape type and Z range of a set with Z) into the .shp
// and .shx of a set with records.
GisStatus shpWriteEoF(ShapeSet& set);

}  // namespace vk
