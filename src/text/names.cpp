#include "text/names.h"

#include "text/encoding.h"

#include <algorithm>

#if VK_UTF8PROC_PACKAGE
#include "utf8proc.hpp"  // utf8proc's sources as the Windows build compiles them
using duckdb::utf8proc_toupper;
#else
#include <utf8proc.h>
#endif

namespace vk {

namespace {

// The capital of a character by Unicode's simple case mapping, one character for one, as the file
// systems of Windows take a name's letters; other characters as they are. A small letter whose
// capital is more than one character (sharp s) stays as it is.
char32_t capital(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
    return static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(c)));
}

// Hands each character's capital to `take`; ASCII, the common case, without decoding.
template <typename Take> void forEachCapital(std::string_view text, Take&& take) {
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        std::size_t length = 1;
        take(capital(byte < 0x80 ? byte : decodeCharacter(text, at, length)));
        at += length;
    }
}

constexpr std::uint64_t kFnvBasis = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

std::uint64_t addFolded(std::uint64_t hash, std::string_view text) {
    forEachCapital(text, [&](char32_t c) {
        hash ^= c;
        hash *= kFnvPrime;
    });
    return hash;
}

}  // namespace

std::string foldNameCase(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    forEachCapital(name, [&](char32_t c) { appendCodePoint(folded, c); });
    return folded;
}

namespace {

// The UTF-8 bytes and UTF-16 units of one character.
std::size_t utf8Bytes(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }
std::size_t utf16Units(char32_t c) { return c < 0x10000 ? 1 : 2; }

}  // namespace

std::size_t fittingPrefix(std::string_view text, std::size_t bytes, std::size_t units) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 1;
        const char32_t c = decodeCharacter(text, at, length);
        if (utf8Bytes(c) > bytes || utf16Units(c) > units) break;
        bytes -= utf8Bytes(c);
        units -= utf16Units(c);
        at += length;
    }
    return at;
}

std::string numberedName(std::string_view name, int n) {
    const std::size_t slash = name.find_last_of("/\\");
    const std::size_t file = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    const std::size_t cut = dot == std::string_view::npos || dot < file ? name.size() : dot;
    // "_N" and the extension, whole; the stem cut to what room they leave.
    std::string tail = "_" + std::to_string(n);
    tail.append(name.substr(cut));
    std::size_t bytes = kMaxFileNameLength, units = kMaxFileNameLength;
    for (std::size_t at = 0; at < tail.size();) {
        std::size_t length = 1;
        const char32_t c = decodeCharacter(tail, at, length);
        bytes -= std::min(bytes, utf8Bytes(c));
        units -= std::min(units, utf16Units(c));
        at += length;
    }
    const std::string_view stem = name.substr(file, cut - file);
    std::string numbered(name.substr(0, file));
    numbered.append(stem.substr(0, fittingPrefix(stem, bytes, units))).append(tail);
    return numbered;
}

std::uint64_t NameRegistry::digest(std::string_view folder, std::string_view name) {
    // The folder and the name apart, so that "a/" + "b.csv" is not "a/b" + ".csv" by chance.
    const std::uint64_t hash = addFolded(addFolded(kFnvBasis, folder) ^ 0xFF, name);
    return hash == 0 ? 1 : hash;  // 0 marks a free slot
}

bool NameRegistry::find(std::uint64_t key, std::size_t& slot) const {
    if (slots_.empty()) return false;
    const std::size_t mask = slots_.size() - 1;
    for (slot = key & mask; slots_[slot] != 0; slot = (slot + 1) & mask)
        if (slots_[slot] == key) return true;
    return false;
}

bool NameRegistry::contains(std::string_view folder, std::string_view name) const {
    std::size_t slot = 0;
    return find(digest(folder, name), slot);
}

std::string NameRegistry::freeName(std::string_view folder, std::string_view name) const {
    const int n = freeNumber(folder, name);
    return n == 0 ? std::string(name) : numberedName(name, n);
}

int NameRegistry::freeNumber(std::string_view folder, std::string_view name) const {
    if (!contains(folder, name)) return 0;
    int n = 2;
    while (contains(folder, numberedName(name, n))) ++n;
    return n;
}

void NameRegistry::add(std::string_view folder, std::string_view name) {
    const std::uint64_t key = digest(folder, name);
    std::size_t slot = 0;
    if (find(key, slot)) return;
    // At most half full, so that a search ends soon at a free slot.
    if (2 * (count_ + 1) > slots_.size()) {
        std::vector<std::uint64_t> old(slots_.empty() ? 64 : 2 * slots_.size(), 0);
        old.swap(slots_);
        for (const std::uint64_t kept : old)
            if (kept != 0 && !find(kept, slot)) slots_[slot] = kept;
        find(key, slot);
    }
    slots_[slot] = key;
    ++count_;
}

}  // namespace vk
