// Fixed-point number fields, written as C's "%W.Df" would: right-aligned in W characters with D
// decimals, a "0" before the point below 1, the sign kept on a value that rounds to zero, correct
// rounding of the binary value (an exact tie between two decimals goes to the even one). Numbers
// are formatted the same whatever the locale. A width of 0 or less writes the value in just as
// many characters as it needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vk {

// Appends the value in exactly `width` characters; a value that does not fit fills the field with
// asterisks.
void appendFixed(std::string& out, double value, int width, int decimals);

// Appends the value right-aligned in `width` characters, or in just as many characters as it needs
// when it is wider: the value is never lost to asterisks.
void appendFixedWide(std::string& out, double value, int width, int decimals);

// Integer in exactly `width` characters, right-aligned; asterisks when it does not fit.
std::string formatInt(std::int64_t value, int width);

}  // namespace vk
