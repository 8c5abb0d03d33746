// Console texts that the command-line tests expect, in-process and from the binary alike.
#pragma once

#include <string>

namespace vktest {

// The start of every run: the build line and the count of command-line words.
inline std::string banner(int count) {
    return "\nBuild 2013-09-AA\n\n\nFound" + std::string(count < 10 ? "  " : " ") +
           std::to_string(count) + " arguments\n";
}

}  // namespace vktest
