// The file names a program run has written, so that a later output never takes the place of an
// earlier one. Names are compared as Windows compares them, on every system: the case of every
// letter is ignored (Unicode's simple case mapping, from utf8proc: Latin, Greek, Cyrillic,
// Armenian, ... alike), so that outputs written on one system and copied to the other are all
// still there. A name is read as export text is (encoding.h), so "R\xCDO" (Windows-1252) and
// "r\xC3\xADo" (UTF-8) are one name.
//
//   NameRegistry written;
//   const std::string name = written.freeName(folder, "Creek_Upper_100.csv");
//   if (name != "Creek_Upper_100.csv") warn(...);   // "Creek_Upper_100_2.csv"
//   written.add(folder, name);
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

// The name as UTF-8 with every letter in capitals: equal for two names that Windows takes for one
// file.
std::string foldNameCase(std::string_view name);

// The longest file name that every system takes: 255 bytes of UTF-8 (Linux) and 255 UTF-16 units
// (Windows).
inline constexpr std::size_t kMaxFileNameLength = 255;

// The bytes of text's first whole characters (read as export text is, encoding.h) that take at
// most `bytes` bytes as UTF-8 and at most `units` units as UTF-16.
std::size_t fittingPrefix(std::string_view text, std::size_t bytes, std::size_t units);

// The name with "_N" before its extension (the file-name part's last "."), its file-name part
// cut before "_N" at whole characters where it would be longer than kMaxFileNameLength.
std::string numberedName(std::string_view name, int n);

class NameRegistry {
public:
    bool contains(std::string_view folder, std::string_view name) const;
    // The name itself when it is free in folder, else the name with "_N" before its extension
    // (the file-name part's last "."), N the first number from 2 that gives a free name.
    // Records nothing: the caller adds the name it writes.
    std::string freeName(std::string_view folder, std::string_view name) const;
    // The N of that free name; 0 when the name itself is free.
    int freeNumber(std::string_view folder, std::string_view name) const;
    void add(std::string_view folder, std::string_view name);

private:
    // Only a 64-bit digest of each folded name is kept (an open-addressed table), so that a run
    // of many thousand tables holds a few bytes for each, not its name.
    static std::uint64_t digest(std::string_view folder, std::string_view name);
    bool find(std::uint64_t key, std::size_t& slot) const;
    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;
};

}  // namespace vk
