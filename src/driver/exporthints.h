// The coordinate system an export's header speaks of (MAP PROJECTION, PROJECTION ZONE, DATUM,
// UNITS) and the extent of its coordinates, for checking the one against the other before any
// layer is written: a pass over the file of its own, made only when the header names a projection
// or a zone (and the extent only when the header does not give it in a SPATIAL EXTENT block).
#pragma once

#include <optional>
#include <string>

#include "gis/crs.h"

namespace vk {

struct ExportHints {
    HeaderHints hints;
    bool named = false;            // the header names a map projection or a zone
    std::optional<Extent> extent;  // none: no coordinate found
};

// The hints of the export `path`, an ordinary file; none named when it cannot be read.
ExportHints readExportHints(const std::string& path);

} // namespace vk
