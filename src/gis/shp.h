// The Shapefile writer: the .shp, .shx and .prj of each geometry family (set) of a layer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gis/dbf.h"
#include "gis/object.h"
#include "gis/status.h"

namespace vk {

struct ShapeSet {
    int shpLittle = 0;  // .shp, mode "SB"
    int shpBig = 0;     // the same .shp, mode "SE"
    int shxLittle = 0;  // .shx, mode "SB"; released right after the header
    int shxBig = 0;     // the same .shx, mode "SE"
    int prj = 0;        // .prj, mode "O "; released right after its line
    std::int32_t fileCode = 0;
    std::int32_t shpFileLength = 0;  // 16-bit words
    std::int32_t version = 0;
    std::int32_t fileShapeType = 0;  // 1, 3 or 5
    std::int32_t recordShapeType = 0;
    std::int32_t recordCount = 0;
    std::int32_t nextRecordOffset = 0;  // 16-bit words
    double xmin = 0, ymin = 0, xmax = -1, ymax = -1;
    // The record being written; reused so that a record costs no allocation once the buffer has
    // grown to the largest record of the set.
    std::string record;
};

// Creates the four files of one set: base + "_" + letter + ".shp", ".shx", ".prj", ".dbf".
GisStatus OpenshpFile(std::string_view layerName, char letter, DbfTable& table, ShapeSet& set,
                      std::string_view mode);
// Writes the 100-byte main-file header through the given little- and big-endian units.
GisStatus shpWriteHeader(ShapeSet& set, int littleUnit, int bigUnit);
// Appends one record to the .shp and its entry to the .shx; updates counters and box.
GisStatus shpWriteObject(const GisObject& object, ShapeSet& set);
// Patches the final file length and box into the .shp and .shx of a set with records.
GisStatus shpWriteEoF(ShapeSet& set);

}  // namespace vk
