// The six output layers of a conversion: their file names and the pieces of their attribute
// lines that every layer shares.
#pragma once

#include <array>
#include <string>
#include <string_view>

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

// Attribute lines are cut at this length before they are handed to the layer writer.
inline constexpr std::size_t kMaxAttributeLine = 1000;

// The layer extension of the run: ".mif" for MIF/MID output, ".shp" otherwise.
std::string_view layerExtension(bool mifOutput);

// The stream layer: the whole input name (extension included) + "_streams" + extension.
std::string streamLayerName(std::string_view inputName, bool mifOutput);

// The five cross-section layer names, in order of creation. The base name is the input's folder
// part (up to and including its last "/" or "\") followed by its file-name part up to the first
// "." (nothing when the file-name part holds no "."); the "2d_zsh_" and "1d_xs_" prefixes stand in
// front of the file-name part, so every layer lands in the input's folder.
std::array<std::string, kSectionLayerCount> sectionLayerNames(std::string_view inputName,
                                                              bool mifOutput);

// The folder part of a path: everything up to and including its last "/" or "\" (empty when
// there is none).
std::string_view folderPart(std::string_view path);

// Appends a text value of an attribute line: trailing blanks removed, leading blanks kept, every
// double quote doubled, the whole enclosed in double quotes.
void appendQuoted(std::string& line, std::string_view text);

// Cuts an attribute line to kMaxAttributeLine characters.
void cutAttributeLine(std::string& line);

}  // namespace vk
