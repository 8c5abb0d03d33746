// The layer table behind the GIS layer writer's operations.
#pragma once

#include <memory>
#include <string>

#include "gis/writer.h"

namespace vk {

struct GisLayer {
    bool open = false;
    bool writeMode = false;
    std::string name;  // trailing blanks removed
    std::unique_ptr<LayerWriter> writer;  // chosen at open; none while the entry is free
    std::unique_ptr<GisSchema> schema;    // given at open
};

// The entry of a gisID from 1 to 100.
GisLayer& gisLayer(int gisID);

}  // namespace vk
