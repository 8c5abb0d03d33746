#include "support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace vktest {

namespace {

// A file's name as the bytes the program gave when it made the file: UTF-8, on Windows too.
std::string nameBytes(const fs::path& name) {
#ifdef _WIN32
    const std::wstring& wide = name.native();
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
#else
    return name.string();
#endif
}

#ifdef _WIN32
// Removes a folder and everything in it by its "\\?\" form, which reaches names longer than the
// old limit of 260 characters; the standard library's calls do not.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            const DWORD kind = found.dwFileAttributes;
            if ((kind & FILE_ATTRIBUTE_DIRECTORY) && !(kind & FILE_ATTRIBUTE_REPARSE_POINT))
                removeTree(path);
            else if (kind & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(path.c_str());
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}
#endif

}  // namespace

TempDir::TempDir() {
    // A name nobody else has: created here, or another is tried (tests run in parallel).
    static std::mutex guard;
    const std::lock_guard lock(guard);
    static std::mt19937_64 random(std::random_device{}() ^
                                  static_cast<std::uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = base / ("vktest-" + std::to_string(random() % 1000000000000ull));
        std::error_code ec;
        if (fs::create_directory(folder, ec)) {
            path_ = folder.string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make everything removable again (tests take write permission away from folders).
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        std::error_code ignore;
        if (it->is_directory(ignore) && !it->is_symlink(ignore))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignore);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
#ifdef _WIN32
    if (fs::exists(path_, ec))
        removeTree(L"\\\\?\\" + fs::absolute(path_, ec).make_preferred().native());
#endif
}

ScopedCwd::ScopedCwd(const std::string& folder) : previous_(fs::current_path().string()) {
    fs::current_path(folder);
}
ScopedCwd::~ScopedCwd() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string toCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string tailOf(std::string_view text, std::size_t n) {
    return std::string(text.substr(text.size() > n ? text.size() - n : 0));
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(nameBytes(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::string realDataDir() {
    fs::path dir = fs::path(VK_SOURCE_DIR).parent_path() / "shared" / "realdata";
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir.string() : std::string();
}

}  // namespace vktest
