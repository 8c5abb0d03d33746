// The output formats, one row each: everything the command line, the help text, the projection
// template, the layer names, the report and the layer table know of a format. A new format is a
// LayerWriter class and one row here.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "gis/schema.h"
#include "gis/writer.h"

namespace vk {

// Which line of a projection template holds the projection.
enum class ProjectionLine {
    First,    // the whole first line, whatever it holds (a .prj template)
    CoordSys, // the first line holding "CoordSys" in any case (a MIF template)
};

struct OutputFormat {
    // What the report calls it: "<name> layers".
    std::string_view name;
    // The command-line option without its switch ("shp": -shp); also the word before
    // "Projection:" on the console and in the refusal of two formats.
    std::string_view option;
    // The help text's words after the option.
    std::string_view help;
    // Layer names with any of these extensions are written in this format; the first is the one
    // the run gives its layer names. An empty one stands for a name without extension.
    std::span<const std::string_view> extensions;
    // A layer is a set of files per geometry family, each named with "_" and the family's letter
    // ("river_P.shp"); otherwise its files carry the layer's name alone.
    bool setPerFamily;
    // The projection templates looked for in the input's folder, the first preferred.
    std::array<std::string_view, 2> templates;
    ProjectionLine projectionLine;
    // Where the template's projection is kept for the writer's header.
    std::string GisProjections::*projection;
    std::unique_ptr<LayerWriter> (*makeWriter)();
    // A run without a template writes this format all the same (without a coordinate system).
    bool templateOptional = false;
    // The headers of a layer's files hold totals patched when it is closed: a layer still open
    // when the run ends early is closed out, or removed where that fails, never left looking
    // whole with its totals of none.
    bool totalsPatched = false;
    // Every layer of a run goes into one file, named as the run's base name with this extension;
    // empty for a format whose layers have files of their own.
    std::string_view packageExtension = {};
};

// Every format, in the order the help text lists them. The first is the format of a run that
// names none (which then reads no projection template).
std::span<const OutputFormat> outputFormats();
const OutputFormat& defaultOutputFormat();

// The format of a layer name's extension (cut at 16 characters, as FILEEXT gives it); nullptr
// when no format has it.
const OutputFormat* outputFormatOfExtension(std::string_view extension);

} // namespace vk
