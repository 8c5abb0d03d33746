// The whole program as a testable routine: scans the arguments, converts, and returns the process
// exit status (0 only for a run that finished).
#pragma once

#include <string>
#include <vector>

namespace vk {

int run(int argc, char** argv);
// args[0] is the program name, as in argv.
int run(const std::vector<std::string>& args);

}  // namespace vk
