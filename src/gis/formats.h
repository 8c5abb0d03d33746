// The output formats, one row each: everything the command line, the help text, the projection
// template, the layer names and the report know of a format, and the dataset it opens. A new
// format is a LayerWriter class (and a GisDataset class when its layers share one file) and one
// row here.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "gis/dataset.h"
#include "gis/schema.h"

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
    // The extension the run gives its layer names (and a package's file).
    std::string_view extension;
    // The projection templates looked for in the input's folder, the first preferred.
    std::array<std::string_view, 2> templates;
    ProjectionLine projectionLine;
    // Where the template's projection is kept for the writer's header.
    std::string GisProjections::*projection;
    // Opens the run's dataset in this format: files per layer, or one package.
    std::unique_ptr<GisDataset> (*openDataset)(RunContext& run, const OutputFormat& format,
                                               DatasetPlace place);
    // A run without a template writes this format all the same (without a coordinate system).
    bool templateOptional = false;
    // The headers of a layer's files hold totals patched when it is closed: a layer still open
    // when the run ends early is closed out, or removed where that fails, never left looking
    // whole with its totals of none.
    bool totalsPatched = false;
};

// Every format, in the order the help text lists them. The first is the format of a run that
// names none (which then reads no projection template).
std::span<const OutputFormat> outputFormats();
const OutputFormat& defaultOutputFormat();

} // namespace vk
