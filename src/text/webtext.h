// Text from an export made safe for a web page, in each of the three places it can stand:
//
//   std::string page;
//   appendHtmlText(page, id);        // <td>...</td>: shown as the characters it holds
//   appendHtmlAttribute(page, path); // title="...": the same inside a quoted attribute
//   appendJsonString(page, id);      // "..." inside a <script> data block, for JSON.parse
//
// Export texts are bytes: valid UTF-8 is taken as such, anything else byte by byte as Windows-1252
// (the code page the exports are written in). The output is ASCII: every other character becomes
// a character reference or a \u escape, so the page means the same in any encoding. Control
// characters show as U+FFFD in HTML; nothing a text holds can end its element or start markup.
// Also the SHA-256 digest in base64, as a Content-Security-Policy names the scripts it allows.
#pragma once

#include <string>
#include <string_view>

namespace vk {

void appendHtmlText(std::string& out, std::string_view text);
void appendHtmlAttribute(std::string& out, std::string_view text);
// The text in double quotes, with every character that could end a script element, start a
// comment or markup, or break the JSON escaped ("<" is "\u003c", a control character "\u0001").
void appendJsonString(std::string& out, std::string_view text);

// The code points of a text as described above, one call each.
template <typename Sink> void forEachCodePoint(std::string_view text, Sink&& sink);

// SHA-256 of the bytes, as the 44 base64 characters of the 32-byte digest.
std::string sha256Base64(std::string_view bytes);

// --- implementation of the template ---
namespace detail {
// The code point of the character at text[at] and its length in bytes: a well-formed UTF-8
// sequence, or the one byte read as Windows-1252.
char32_t decodeAt(std::string_view text, std::size_t at, std::size_t& length);
} // namespace detail

template <typename Sink> void forEachCodePoint(std::string_view text, Sink&& sink) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 1;
        sink(detail::decodeAt(text, at, length));
        at += length;
    }
}

} // namespace vk
