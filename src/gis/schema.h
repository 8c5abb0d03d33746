// The attribute schema of the layer about to be headed: one record of the run's GisState, filled
// by the caller immediately before gisWriteHeader.
#pragma once

#include <array>
#include <string>

namespace vk {

struct GisAttribute {
    std::string name;  // field name as it appears in the MIF column list (up to 32 characters)
    std::string type;  // type word: "Char", "Float", "Integer", "Decimal", "Logical"
    int width = 0;     // 0 for types without a width
};

struct GisSchema {
    static constexpr int kMaxFields = 256;
    int fieldCount = 0;
    std::array<GisAttribute, kMaxFields> fields;  // entries 0 .. fieldCount-1 are used
    int initialRecordCount = 0;
};

// The projection texts taken from the template: the first line of the .prj template, and the
// first CoordSys line of the MIF template. Blank until the driver sets them.
struct GisProjections {
    std::string shp;
    std::string mif;
};

}  // namespace vk
