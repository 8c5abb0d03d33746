#include "text/names.h"

namespace vk {

namespace {

// The capital of a Windows-1252 letter; other bytes as they are. The small letters without a
// capital in the code page (sharp s) stay as they are.
unsigned char capital(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
    }
}

constexpr std::uint64_t kFnvBasis = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

std::uint64_t addFolded(std::uint64_t hash, std::string_view text) {
    for (const char c : text) {
        hash ^= capital(static_cast<unsigned char>(c));
        hash *= kFnvPrime;
    }
    return hash;
}

}  // namespace

std::string foldNameCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(capital(static_cast<unsigned char>(c)));
    return folded;
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
    if (!contains(folder, name)) return std::string(name);
    const std::size_t dot = name.rfind('.');
    const std::size_t cut =
        dot == std::string_view::npos || name.find_first_of("/\\", dot) != std::string_view::npos
            ? name.size()
            : dot;
    for (int n = 2;; ++n) {
        std::string candidate(name.substr(0, cut));
        candidate.append("_").append(std::to_string(n)).append(name.substr(cut));
        if (!contains(folder, candidate)) return candidate;
    }
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
