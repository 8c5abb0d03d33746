#include "text/strings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace vk {

namespace {

constexpr char kBlank = ' ';
constexpr char kTab = '\t';

constexpr char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
constexpr char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// The significant part of s with every character for which skip() holds left out.
template <typename Skip> std::string copyWithout(std::string_view s, Skip skip) {
    s = trimRight(s);
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!skip(c)) out.push_back(c);
    return out;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// The part of s that survives the normalisation of a switch or keyword: quotes and tabs are left
// out and blanks are trimmed at both ends of what remains. Returns the first and one-past-last
// index of that part in s; the characters in between still include quotes and tabs to be skipped.
std::pair<std::size_t, std::size_t> normalisedRange(std::string_view s) {
    auto ignorable = [](char c) { return c == kBlank || c == kTab || isQuote(c); };
    std::size_t first = 0;
    while (first < s.size() && ignorable(s[first]))
        ++first;
    std::size_t last = s.size();
    while (last > first && ignorable(s[last - 1]))
        --last;
    return {first, last};
}

} // namespace

std::size_t trimmedLength(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && s[n - 1] == kBlank)
        --n;
    return n;
}

std::string_view trimRight(std::string_view s) {
    return s.substr(0, trimmedLength(s));
}

std::string_view cutTo(std::string_view s, std::size_t width) {
    return s.substr(0, width);
}

std::string TRIMF(std::string_view s) {
    s = trimRight(s);
    std::size_t first = 0;
    while (first < s.size() && s[first] == kBlank)
        ++first;
    return std::string(s.substr(first));
}

std::string REMOVESPACES(std::string_view s) {
    return copyWithout(s, [](char c) { return c == kBlank; });
}

std::string UPPERCASE(std::string_view s) {
    std::string out(trimRight(s));
    for (char& c : out)
        c = upper(c);
    return out;
}

std::string LOWERCASE(std::string_view s) {
    std::string out(trimRight(s));
    for (char& c : out)
        c = lower(c);
    return out;
}

std::string CLEANATTRIBUTENAME(std::string_view s) {
    std::string out = copyWithout(s, [](char c) {
        const bool keep =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        return !keep;
    });
    if (out.empty()) return std::string(1, 'X');
    return out;
}

std::string DOUBLEQUOTE(std::string_view s) {
    s = trimRight(s);
    std::string out;
    out.reserve(s.size() + 8);
    for (char c : s) {
        out.push_back(c);
        if (c == '"') out.push_back(c);
    }
    return out;
}

bool FLAGEXISTS(std::string_view line, std::string_view flag) {
    line = trimRight(line);
    flag = trimRight(flag);
    if (flag.empty()) return true;
    if (flag.size() > line.size()) return false;
    // Case-insensitive search in place: this runs on every input line.
    const std::size_t lastStart = line.size() - flag.size();
    for (std::size_t i = 0; i <= lastStart; ++i) {
        std::size_t j = 0;
        while (j < flag.size() && upper(line[i + j]) == upper(flag[j]))
            ++j;
        if (j == flag.size()) return true;
    }
    return false;
}

bool ASAME(std::string_view a, std::string_view b) {
    const auto [a0, a1] = normalisedRange(a);
    const auto [b0, b1] = normalisedRange(b);
    auto skipped = [](char c) { return c == kTab || isQuote(c); };
    std::size_t i = a0;
    std::size_t j = b0;
    for (;;) {
        while (i < a1 && skipped(a[i]))
            ++i;
        while (j < b1 && skipped(b[j]))
            ++j;
        if (i == a1 || j == b1) return i == a1 && j == b1;
        if (upper(a[i]) != upper(b[j])) return false;
        ++i;
        ++j;
    }
}

std::string AINTEGER(std::int64_t n) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
    return std::string(buffer, result.ptr);
}

namespace {

// What a character is to NUMBEROFNUMBERS; one table look-up per character of every input line.
enum NumberClass : unsigned char { kOtherText = 0, kNumberText, kSpaceText, kCommaText, kComment };

constexpr std::array<unsigned char, 256> kNumberClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (int c = '0'; c <= '9'; ++c)
        classes[static_cast<std::size_t>(c)] = kNumberText;
    classes['-'] = classes['.'] = classes['e'] = classes['E'] = kNumberText;
    classes[' '] = classes['\t'] = kSpaceText;
    classes[','] = kCommaText;
    classes['!'] = classes['#'] = kComment;
    return classes;
}();

} // namespace

int NUMBEROFNUMBERS(std::string_view line) {
    line = trimRight(line);
    int count = 0;
    bool inNumber = false;
    bool afterComma = false;
    for (char c : line) {
        const unsigned char kind = kNumberClasses[static_cast<unsigned char>(c)];
        if (kind == kNumberText) {
            if (!inNumber) {
                ++count;
                inNumber = true;
                afterComma = false;
            }
        } else if (kind == kSpaceText) {
            inNumber = false;
        } else if (kind == kCommaText) {
            // Two commas with nothing but blanks between them enclose an empty field.
            if (!inNumber && afterComma) ++count;
            inNumber = false;
            afterComma = true;
        } else if (kind == kComment) {
            return count; // the rest of the line is a comment
        } else {
            return -count;
        }
    }
    return count;
}

bool isAlertLine(std::string_view line) {
    line.remove_prefix(std::min(line.find_first_not_of(kBlank), line.size()));
    for (std::string_view word : {"Warning", "WARNING", "Error", "ERROR"})
        if (line.starts_with(word)) return true;
    return false;
}

std::string_view withoutOuterQuotes(std::string_view reply) {
    std::string_view name = trimRight(reply);
    name.remove_prefix(std::min(name.find_first_not_of(kBlank), name.size()));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return name.substr(1, name.size() - 2);
    return reply;
}

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace vk
