// Fuzz target: the path utilities. Two paths are taken from the input, split at its first NUL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t cut = all.find('\0');
    std::string_view a = all.substr(0, cut);
    std::string_view b = cut == std::string_view::npos ? std::string_view() : all.substr(cut + 1);

    std::string ext = vk::FILEEXT(a);
    if (!ext.empty() && ext[0] != '.') std::abort();
    for (char c : ext)
        if (c >= 'A' && c <= 'Z') std::abort();
    std::string name = vk::FILENAME(a);
    std::string stem = vk::FILENAMEPATH(a);
    std::string folder = vk::FILEFOLDERPATH(a);
    if (folder.size() > a.size() || stem.size() > a.size() || name.size() > a.size()) std::abort();
    std::string joined = vk::ADDFOLDER(a, b);
    std::string dots = vk::REMOVEDOTDOT(a);
    if (dots.size() > a.size()) std::abort();
    std::string clean(a);
    std::string cleaned = vk::CLEANPATH(clean);
    if (cleaned.size() > a.size()) std::abort();
    return static_cast<int>(joined.size() & 0);
}
