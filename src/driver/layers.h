// The six output layers of a conversion: their file names.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "driver/settings.h"
#include "gis/dataset.h"

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
using SectionLayers = std::array<std::unique_ptr<GisLayer>, kSectionLayerCount>;

// A field of a layer: a text field of `width` characters, or a real written in `valueWidth`
// characters with `decimals` digits after the point.
struct FieldLayout {
    std::string_view name;
    std::string_view type;
    int width = 0;
    int valueWidth = 0;
    int decimals = 0;
    bool bare = false;  // a text written without quotes in a .mid line
};

constexpr FieldLayout text(std::string_view name, int width) { return {name, "Char", width}; }
constexpr FieldLayout real(std::string_view name, int valueWidth, int decimals) {
    return {name, "Float", 0, valueWidth, decimals};
}

// Creates a layer of the dataset with its schema and heads it.
std::unique_ptr<GisLayer> createLayer(GisDataset& dataset, const std::string& name,
                                      std::string_view kind, std::span<const FieldLayout> fields);
// The same for a table without geometry: nullptr for a dataset whose tables are files of their own.
std::unique_ptr<GisLayer> createTable(GisDataset& dataset, const std::string& name,
                                      std::span<const FieldLayout> fields);

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

// Closes the layer when there is one, and lets it go.
void closeLayer(std::unique_ptr<GisLayer>& layer);

// The folder part of a path: everything up to and including its last "/" or "\" (empty when
// there is none).
std::string_view folderPart(std::string_view path);

}  // namespace vk
