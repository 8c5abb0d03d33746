#include "text/names.h"

#include "text/encoding.h"

#if VK_UTF8PROC_PACKAGE
#include "utf8proc.hpp"  // utf8proc's sources as the Windows build compiles them
using duckdb::utf8proc_int32_t;
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

std::string numberedName(std::string_view name, int n) {
    const std::size_t dot = name.rfind('.');
    const std::size_t cut =
        dot == std::string_view::npos || name.find_first_of("/\\", dot) != std::string_view::npos
            ? name.size()
            : dot;
    std::string numbered(name.substr(0, cut));
    numbered.append("_").append(std::to_string(n)).append(name.substr(cut));
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
