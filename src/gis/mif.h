// The MIF/MID writer: a layer of format 1 is a MapInfo interchange pair, the .mif file with the
// header and the geometry and the .mid file with one attribute line per object.
#pragma once

#include <string_view>

#include "gis/object.h"
#include "gis/schema.h"

namespace vk {

// Creates NAME.mif and NAME.mid for writing, where NAME is the layer name without blanks around
// it and without a ".mif" or ".mid" extension. Both units are 0 until opened.
void OpenmifFile(std::string_view layerName, int& mifUnit, int& midUnit, std::string_view mode);

// The header: version, character set, delimiter, the run's CoordSys line, the column list and
// "Data" followed by an empty line.
void mifWriteHeader(const GisSchema& schema, int mifUnit);

// One object in MIF syntax, by its kind. The object must have passed gisWriteObject's checks
// (parts in order and inside the vertex count, vertex count inside the arrays).
void mifWriteObject(const GisObject& object, int mifUnit);

} // namespace vk
