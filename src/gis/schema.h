// The attribute schema of a layer, given when the layer is opened: its fields in order, each with
// the type word every format knows it by and how a value of it is written as text.
#pragma once

#include <array>
#include <string>

namespace vk {

struct GisAttribute {
    std::string name;  // field name as it appears in the MIF column list (up to 32 characters)
    std::string type;  // type word: "Char", "Float", "Integer", "Decimal", "Logical"
    int width = 0;     // 0 for types without a width
    // A real value is written in fixed point, right-aligned in valueWidth characters (more when
    // it needs them) with `decimals` digits after the point: in a .mid line and as the digits of
    // a .dbf number alike.
    int valueWidth = 0;
    int decimals = 0;
    // A text value goes into a .mid line as it is, without the quotes of other texts.
    bool bare = false;
};

struct GisSchema {
    static constexpr int kMaxFields = 256;
    int fieldCount = 0;
    std::array<GisAttribute, kMaxFields> fields;  // entries 0 .. fieldCount-1 are used
    int initialRecordCount = 0;
};

// The projection texts taken from the template: the first line of the .prj template, and the
// first CoordSys line of the MIF template; or those of a known system (-crs, the header's hints,
// -t_srs). Blank until the driver sets them.
struct GisProjections {
    std::string shp;
    std::string mif;
    // The EPSG code of the system when it is known with full confidence (0: none); a GeoPackage
    // stores the system under it.
    int epsg = 0;
    // A GeoPackage's definition of the system when it is not the .prj text (the OGC WKT of a
    // known system); empty: the .prj text.
    std::string packageWkt;
};

}  // namespace vk
