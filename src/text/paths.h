// Path utilities: extension, name, folder, a path without its extension, a file resolved against
// a folder, and the clean-up of doubled separators and of "\..\" and "\.\" steps.
// Both "\" and "/" separate folders when a path is taken apart; only "\" is inserted by ADDFOLDER
// and only "\" takes part in REMOVEDOTDOT. A path's root is its folder part at the least: a drive
// alone ("C:name" is "name" in the current folder of C:, so its folder is "C:") and a network
// share's root ("\\server\share"), never taken for a file name.
#pragma once

#include <string>
#include <string_view>

namespace vk {

// The length of the path's root: "C:" (2), "C:\" (3), "\\server\share" and "\\server\share\", with
// "\" or "/"; 0 for a path without one (a relative path, or a POSIX one).
std::size_t PATHROOTLENGTH(std::string_view path);
std::string ADDFOLDER(std::string_view folder, std::string_view file);
std::string REMOVEDOTDOT(std::string_view path);
std::string FILEEXT(std::string_view path);         // ".ext" in small letters, or empty
std::string FILENAME(std::string_view path);        // name without folder and extension
std::string FILENAMEPATH(std::string_view path);    // path without its extension
std::string FILEFOLDERPATH(std::string_view path);  // folder part with its last separator, or empty
std::string CLEANPATH(std::string& path);           // rewrites path; returns it without trailing blanks

}  // namespace vk
