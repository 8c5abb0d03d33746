// The whole program as a testable routine: scans the arguments, converts, and returns the process
// exit status (0 only for a run that finished).
#pragma once

#include <string>
#include <vector>

#include "driver/settings.h"

namespace vk {

class Console;  // files/console.h

// The program's entry: its console is standard output and input.
int run(int argc, char** argv);
// args[0] is the program name, as in argv. Everything the run writes goes to `console`'s
// terminal (a caller's sink, for a conversion embedded in another program: no prompt waits and
// nothing ends the process); what the run sets on it goes with the run. `hooks`: what a caller
// in the same process adds (each input's dataset opened by the caller, e.g. the layers taken in
// memory; a call between two sections), RunHooks in driver/settings.h.
int run(const std::vector<std::string>& args, Console& console, const RunHooks& hooks = {});

}  // namespace vk
