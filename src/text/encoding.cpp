#include "text/encoding.h"

namespace vk {

namespace {

// Windows-1252 bytes 0x80 to 0x9F.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t fromCp1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
}

} // namespace

void appendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t decodeCharacter(std::string_view text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    length = 1;
    if (lead < 0x80) return lead;
    std::size_t need = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, c = lead & 0x07, least = 0x10000;
    } else {
        return fromCp1252(lead);
    }
    if (at + need >= text.size()) return fromCp1252(lead); // cut short by the end of the text
    for (std::size_t i = 1; i <= need; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80) return fromCp1252(lead);
        c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if (c < least || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return fromCp1252(lead);
    length = need + 1;
    return c;
}

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool isUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 1;
        if (static_cast<unsigned char>(text[at]) >= 0x80) {
            decodeCharacter(text, at, length);
            if (length == 1) return false;
        }
        at += length;
    }
    return true;
}

std::size_t wholeCharacters(std::string_view text, std::size_t width) {
    if (text.size() <= width) return text.size();
    std::size_t cut = width;
    // At most three bytes back: a longer run is no UTF-8 (Windows-1252 bytes), cut anywhere.
    for (int back = 0; back < 3 && cut > 0 && continuesCharacter(text[cut]); ++back) --cut;
    return cut;
}

void appendUtf8(std::string& out, std::string_view text) {
    if (isAscii(text)) {
        out += text;
        return;
    }
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 1;
        appendCodePoint(out, decodeCharacter(text, at, length));
        at += length;
    }
}

std::string toUtf8(std::string_view text) {
    std::string out;
    appendUtf8(out, text);
    return out;
}

} // namespace vk
