// List-directed reading: a text is a sequence of values separated by a comma or by blanks (a tab
// counts as a blank), blanks next to a comma belonging to the separator. A value may be enclosed in
// double quotes or apostrophes, and then may hold commas and blanks, a doubled delimiter standing
// for one. An unenclosed value ends at the next comma, blank or the end of the text. A trailing
// comma adds no value.
//
// Numbers are [+-]digits[.[digits]] or [+-].digits with an optional e/E exponent. Single-precision
// values are rounded directly from the text to the nearest float. A number too large for its type
// is not a number; one too small to be told from zero is read as zero (with its sign).
#pragma once

#include <string>
#include <string_view>

namespace vk {

// One value of a list-directed text, as the splitter finds it.
struct ListValue {
    enum class Kind {
        Plain,   // an unenclosed value
        Quoted,  // a value enclosed in quotes or apostrophes; value() has the delimiters removed
        Empty,   // nothing between two commas (or before a leading comma)
        Repeat,  // a repeat count such as 3*x or 3*; text holds the whole form
        Slash,   // "/": ends the values early
        End      // no more values
    };
    Kind kind = Kind::End;
    // A view into the line: the value as it stands there (for Quoted with its delimiters, for
    // Slash the "/", empty for Empty and End).
    std::string_view text;
    std::string quoted;     // the undelimited text of a Quoted value
    std::string_view value() const { return kind == Kind::Quoted ? std::string_view(quoted) : text; }
};

// Splits a text into values one at a time. The one splitter of the system: the SDF reader, the
// station check and the dBASE record writer all use it.
class ListSplitter {
public:
    explicit ListSplitter(std::string_view text) : text_(text) {}
    // Goes on from `position`: the position() that a splitter reached, after one value or more
    // and before any Slash or End, on a text whose characters up to and including that position
    // are those of this one. The values from there on are those that splitter would give.
    ListSplitter(std::string_view text, std::size_t position)
        : text_(text), pos_(position), started_(true) {}
    ListValue next();  // after Slash or End, every further call gives End
    // The same, filling `value` and reusing its storage for quoted text, so that splitting line
    // after line allocates nothing once the longest quoted value has been seen.
    void next(ListValue& value);
    std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool started_ = false;
    bool done_ = false;
};

// Outcome of reading one value: Ok; End when the text holds no further value (too few values);
// Bad when the value is not of the kind asked for (a quoted value, an empty value, a repeat count
// or a non-number where a number is asked).
enum class ReadStatus { Ok, End, Bad };

// Reads values in order from a text, as a list-directed READ does. A failed read leaves the
// target unchanged. Values after those asked for are not examined.
class ListReader {
public:
    explicit ListReader(std::string_view text) : split_(text) {}
    ReadStatus read(double& out);
    ReadStatus read(float& out);
    ReadStatus read(std::string& out);  // a character value, quoted or not

private:
    ListSplitter split_;
    ListValue value_;
};

// A quick reading of the common form of a line of numbers: every value a plain decimal number
// ([-]digits[.digits] or [-].digits, at most 19 digits, no exponent), the values separated by
// blanks or by one comma with blanks around it, and nothing else on the line but blanks before
// the first value and after the last. A text of that form holds only what NUMBEROFNUMBERS counts
// as numbers, and its values read here exactly as ListReader reads them. Any other form makes
// take() or atEnd() false, and the text is then to be read the general way.
class PlainNumbers {
public:
    explicit PlainNumbers(std::string_view text);
    bool take(double& out);
    bool take(float& out);
    bool atEnd() const;  // nothing but the blanks after the last value taken

private:
    template <typename T> bool takeNumber(T& out);
    const char* next_;
    const char* last_;
    bool afterComma_ = false;
};

}  // namespace vk
