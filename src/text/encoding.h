// Text from an export as UTF-8. Exports are bytes in no declared encoding: a well-formed UTF-8
// sequence is taken as such, and every other byte as Windows-1252, the code page the exports are
// written in on Windows (its five undefined bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D as the code
// points of the same value, so that no byte is lost).
//
//   std::string name = toUtf8("EJE ACEQUIA EL \xD1ILHUE");   // "EJE ACEQUIA EL \xC3\x91ILHUE"
#pragma once

#include <string>
#include <string_view>

namespace vk {

// The code point of the character at text[at] and its length in bytes, as described above.
char32_t decodeCharacter(std::string_view text, std::size_t at, std::size_t& length);

// Appends the text as UTF-8.
void appendUtf8(std::string& out, std::string_view text);
std::string toUtf8(std::string_view text);

// Whether every byte is ASCII: such a text is its own UTF-8.
bool isAscii(std::string_view text);
// Whether the text is well-formed UTF-8 as it is (no byte of it read as Windows-1252).
bool isUtf8(std::string_view text);

// Whether the byte continues a UTF-8 character begun before it.
inline bool continuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
// The length of text that `width` bytes hold without cutting a UTF-8 character in two.
std::size_t wholeCharacters(std::string_view text, std::size_t width);

// Appends the code point's UTF-8 bytes.
void appendCodePoint(std::string& out, char32_t c);

} // namespace vk
