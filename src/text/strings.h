// Text utilities: blank-padded text handling, keyword and switch comparison, number counting,
// attribute-name cleaning and integer formatting.
//
// Text values are passed as std::string_view and returned as std::string. A value is treated as
// the significant part of a blank-padded field: trailing blanks (the space character only; tabs
// and NULs are not blanks) never matter. Case folding touches the ASCII letters only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vk {

// Length of s without trailing blanks.
std::size_t trimmedLength(std::string_view s);
// s without trailing blanks.
std::string_view trimRight(std::string_view s);
// The first `width` characters of s (s itself when shorter): the cut a fixed field makes.
std::string_view cutTo(std::string_view s, std::size_t width);

std::string TRIMF(std::string_view s);         // leading and trailing blanks removed, tabs kept
std::string REMOVESPACES(std::string_view s);  // significant part, every blank removed
std::string UPPERCASE(std::string_view s);     // a-z made capital, trailing blanks dropped
std::string LOWERCASE(std::string_view s);     // A-Z made small, trailing blanks dropped
std::string CLEANATTRIBUTENAME(std::string_view s);  // letters, digits, '_' kept; "X" if none
std::string DOUBLEQUOTE(std::string_view s);   // every double quote doubled
bool FLAGEXISTS(std::string_view line, std::string_view flag);  // substring, case ignored
bool ASAME(std::string_view a, std::string_view b);  // equal after quote/tab/blank/case folding
std::string AINTEGER(std::int64_t n);          // decimal text without leading blanks
int NUMBEROFNUMBERS(std::string_view line);    // count of numeric fields, negative on other text

// A console message line that a person must not miss: after any leading blanks (a list-directed
// line begins with one) it begins with "Warning", "WARNING", "Error" or "ERROR".
bool isAlertLine(std::string_view line);

// A name typed at a prompt as a console pastes a dragged file, in double quotes: when the reply,
// its outer blanks removed, starts and ends with a double quote, the text between the two;
// otherwise the reply unchanged.
std::string_view withoutOuterQuotes(std::string_view reply);
// True when the line holds nothing but blanks and tabs (or nothing at all).
bool isBlankLine(std::string_view line);

}  // namespace vk
