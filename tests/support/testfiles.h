// Test helpers: a private temporary folder per test, and whole-file reads and writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vktest {

// What only a POSIX system lets a test express (sockets, fork, user switching, /dev/full, a shell
// and the tools it finds): such tests are skipped elsewhere, with the reason.
#ifdef _WIN32
inline constexpr bool kPosixSystem = false;
#else
inline constexpr bool kPosixSystem = true;
#endif

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// Changes the current folder for the lifetime of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& folder);
    ~ScopedCwd();

private:
    std::string previous_;
};

void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);  // fails the test when the file cannot be read
bool fileExists(const std::string& path);
// The names of the entries of a folder, sorted.
std::vector<std::string> filesIn(const std::string& folder);
// Replaces every "\n" with "\r\n".
std::string toCrLf(std::string_view text);
// The last n characters of text, or all of it when it is shorter: the end of a long output, for a
// failure message.
std::string tailOf(std::string_view text, std::size_t n);
// The folder holding the real exports (../shared/realdata beside the project), or empty.
std::string realDataDir();

}  // namespace vktest
