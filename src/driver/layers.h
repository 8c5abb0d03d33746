// The six output layers of a conversion: their file names.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "driver/settings.h"

namespace vk {

// Positions of the five cross-section layers in ConversionOutput's table, in order of creation.
enum SectionLayer : std::size_t {
    kSurfacePointsLayer = 0,
    kEndPointsLayer = 1,
    kSurfaceLinesLayer = 2,
    kCutLinesLayer = 3,
    kLeveePointsLayer = 4,
};
inline constexpr std::size_t kSectionLayerCount = 5;
using SectionLayerIds = std::array<int, kSectionLayerCount>;

// The extension the format gives layer names (".shp", ".mif").
std::string_view layerExtension(const OutputFormat& format);

// The stream layer: the whole input name (extension included) + "_streams" + extension.
std::string streamLayerName(std::string_view inputName, const OutputFormat& format);

// The output folder and base name of an input name (trailing blanks removed first).
OutputNames outputNamesOf(std::string_view inputName);
// Sets the run's input name (trailing blanks removed) and the output names derived from it; with
// an output folder (-out) that folder is theirs.
void setInputName(RunSettings& settings, std::string_view inputName);

// The five cross-section layer names, in order of creation: the output folder, then the base name
// with the "2d_zsh_" and "1d_xs_" prefixes in front of it, so every layer lands in the input's
// folder.
std::array<std::string, kSectionLayerCount> sectionLayerNames(const OutputNames& output,
                                                              const OutputFormat& format);

// The folder part of a path: everything up to and including its last "/" or "\" (empty when
// there is none).
std::string_view folderPart(std::string_view path);

}  // namespace vk
