// The layer table behind the GIS layer writer's operations.
#pragma once

#include <array>
#include <string>

#include "gis/dbf.h"
#include "gis/shp.h"

namespace vk {

enum GisFormat { kFormatNone = 0, kFormatMif = 1, kFormatShapefile = 2 };

struct GisLayer {
    bool open = false;
    int format = kFormatNone;
    bool writeMode = false;
    std::string name;  // trailing blanks removed
    int mifUnit = 0;
    int midUnit = 0;
    std::array<ShapeSet, 3> sets{};   // points "P", lines "L", regions "R"
    std::array<DbfTable, 3> tables{};
};

// The entry of a gisID from 1 to 100.
GisLayer& gisLayer(int gisID);

// "Should not be here <where> - please contact <address>." straight to the console, then EXITS.
[[noreturn]] void gisShouldNotBeHere(std::string_view where);
// Composes `message` into line 1 of the error text buffer, reports it with one empty line, EXITS.
[[noreturn]] void gisFail(std::string_view message);

}  // namespace vk
