// The one place where a layer's format is chosen: by the format table.
#include "gis/writer.h"

#include "gis/formats.h"

namespace vk {

std::unique_ptr<LayerWriter> makeLayerWriter(std::string_view extension) {
    const OutputFormat* format = outputFormatOfExtension(extension);
    return format ? format->makeWriter() : nullptr;
}

} // namespace vk
