// The projection templates: the coordinate system of the outputs is taken from Header.prj or
// Projection.prj (Shapefile output), or from Header.mif or Projection.mif (MIF output), looked for
// in the folder of the input file.
#pragma once

#include <string>
#include <string_view>

#include "driver/settings.h"
#include "files/context.h"

namespace vk {

// The template to use: `first`, else `second`, joined to the folder of inputName; empty when
// neither exists.
std::string findProjectionTemplate(std::string_view inputName, std::string_view first,
                                   std::string_view second);

// Reads the template of the chosen format and stores its projection text in the run's
// projections (RunSettings::projections) where the format's row says; with no format option
// nothing is read. A missing
// template, a MIF template without a CoordSys line, an empty .prj template and a read error end
// the run through EXITS.
void readProjectionTemplate(RunContext& run, RunSettings& settings);

} // namespace vk
