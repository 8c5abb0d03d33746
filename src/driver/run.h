// The whole program as a testable routine: scans the arguments, converts, and returns the process
// exit status (0 only for a run that finished).
#pragma once

#include <string>
#include <vector>

#include "driver/settings.h"

namespace vk {

int run(int argc, char** argv);
// args[0] is the program name, as in argv.
int run(const std::vector<std::string>& args);
// The same with each input's dataset opened by `openDataset` (the layers taken in memory by a
// caller in the same process) instead of by the format's row, and `betweenSections` called
// between two sections (RunSettings::betweenSections).
int run(const std::vector<std::string>& args,
        const decltype(RunSettings::openDataset)& openDataset,
        const decltype(RunSettings::betweenSections)& betweenSections = {});

}  // namespace vk
