// The "\\?\" form of a path: plain text, built the same on every system so that its tests run
// everywhere; only the Windows source gives it to the system.
#include "files/platform.h"

namespace vk::sys {

std::string extendedLengthPath(std::string_view fullPath) {
    const auto prefixed = [&](char kind) {
        return fullPath.size() >= 4 && (fullPath[0] == '\\' || fullPath[0] == '/') &&
               (fullPath[1] == '\\' || fullPath[1] == '/') && fullPath[2] == kind &&
               (fullPath[3] == '\\' || fullPath[3] == '/');
    };
    if (prefixed('?') || prefixed('.')) return std::string(fullPath);
    // The form takes the name as it stands: only "\" separates.
    std::string name(fullPath);
    for (char& c : name)
        if (c == '/') c = '\\';
    if (name.starts_with("\\\\")) return "\\\\?\\UNC\\" + name.substr(2);
    return "\\\\?\\" + name;
}

}  // namespace vk::sys
