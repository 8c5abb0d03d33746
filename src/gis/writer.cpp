// The one place where a layer's format is chosen.
#include "gis/writer.h"

#include "gis/mif.h"
#include "gis/shapefile.h"

namespace vk {

std::unique_ptr<LayerWriter> makeLayerWriter(std::string_view extension) {
    if (extension.empty() || extension == ".mif" || extension == ".mid")
        return std::make_unique<MifLayerWriter>();
    if (extension == ".shp") return std::make_unique<ShapefileLayerWriter>();
    return nullptr;
}

} // namespace vk
