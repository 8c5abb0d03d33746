#include "text/listdirected.h"

#include <charconv>
#include <system_error>

namespace vk {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDelimiter(char c) {
    return c == '"' || c == '\'';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Scans a quoted value whose opening delimiter is at text[pos]. The undelimited text (a doubled
// delimiter standing for one) is appended to *out when given. Returns the index just after the
// closing delimiter; an unterminated value runs to the end of the text.
std::size_t scanQuoted(std::string_view text, std::size_t pos, std::string* out) {
    const char delimiter = text[pos];
    std::size_t i = pos + 1;
    while (i < text.size()) {
        const std::size_t next = text.find(delimiter, i);
        const std::size_t stop = (next == std::string_view::npos) ? text.size() : next;
        if (out) out->append(text.substr(i, stop - i));
        if (stop == text.size()) return stop;
        if (stop + 1 < text.size() && text[stop + 1] == delimiter) {
            if (out) out->push_back(delimiter);
            i = stop + 2;
            continue;
        }
        return stop + 1;
    }
    return i;
}

// The power of ten of the leading significant digit of a checked decimal mantissa with its
// exponent; false when every digit is zero.
bool leadingPower(std::string_view digits, long exponent, long& power) {
    const std::size_t point = digits.find('.');
    const std::size_t intEnd = (point == std::string_view::npos) ? digits.size() : point;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i == point || digits[i] == '0') continue;
        power = exponent +
                (i < intEnd ? static_cast<long>(intEnd - i) - 1 : -static_cast<long>(i - intEnd));
        return true;
    }
    return false;
}

template <typename T> bool parseNumber(std::string_view text, T& out) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < n && isDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0) return false;
    const std::size_t mantissaEnd = i;
    long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
        const std::size_t expStart = i;
        for (; i < n && isDigit(text[i]); ++i)
            if (exponent < 1'000'000) exponent = exponent * 10 + (text[i] - '0');
        if (i == expStart) return false;
        if (negativeExponent) exponent = -exponent;
    }
    if (i != n) return false;

    // from_chars takes no leading '+'.
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    const char* last = text.data() + n;
    T value{};
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc() && result.ptr == last) {
        out = value;
        return true;
    }
    if (result.ec == std::errc::result_out_of_range) {
        long power = 0;
        const std::string_view mantissa = text.substr(mantissaStart, mantissaEnd - mantissaStart);
        if (!leadingPower(mantissa, exponent, power) || power < 0) {
            // Too small to be told from zero.
            out = negative ? -T(0) : T(0);
            return true;
        }
    }
    return false; // too large for the type
}

} // namespace

void ListSplitter::next(ListValue& value) {
    value.quoted.clear();
    value.text = {};
    const std::size_t size = text_.size();
    auto skipBlanks = [&] {
        while (pos_ < size && isBlank(text_[pos_]))
            ++pos_;
    };
    // The separator after a value: blanks, and at most one comma with the blanks after it.
    auto skipSeparator = [&] {
        skipBlanks();
        if (pos_ < size && text_[pos_] == ',') {
            ++pos_;
            skipBlanks();
        }
    };

    if (done_) {
        value.kind = ListValue::Kind::End;
        return;
    }
    if (!started_) {
        skipBlanks();
        started_ = true;
    }
    if (pos_ >= size) {
        done_ = true;
        value.kind = ListValue::Kind::End;
        return;
    }

    const std::size_t start = pos_;
    const char c = text_[pos_];
    if (c == ',') {
        // Nothing before this comma: an empty value, the comma its separator.
        value.kind = ListValue::Kind::Empty;
        value.text = text_.substr(start, 0);
        ++pos_;
        skipBlanks();
        return;
    }
    if (c == '/') {
        value.kind = ListValue::Kind::Slash;
        value.text = text_.substr(start, 1);
        ++pos_;
        done_ = true;
        return;
    }
    if (isDelimiter(c)) {
        value.kind = ListValue::Kind::Quoted;
        pos_ = scanQuoted(text_, start, &value.quoted);
        value.text = text_.substr(start, pos_ - start);
        skipSeparator();
        return;
    }

    std::size_t i = start;
    while (i < size && isDigit(text_[i]))
        ++i;
    const bool repeat = i > start && i < size && text_[i] == '*';
    if (repeat) {
        ++i;
        if (i < size && isDelimiter(text_[i])) i = scanQuoted(text_, i, nullptr);
    }
    while (i < size && !isBlank(text_[i]) && text_[i] != ',')
        ++i;
    value.kind = repeat ? ListValue::Kind::Repeat : ListValue::Kind::Plain;
    value.text = text_.substr(start, i - start);
    pos_ = i;
    skipSeparator();
}

ListValue ListSplitter::next() {
    ListValue value;
    next(value);
    return value;
}

bool parseDouble(std::string_view text, double& out) {
    return parseNumber(text, out);
}

bool parseFloat(std::string_view text, float& out) {
    return parseNumber(text, out);
}

namespace {

template <typename T> ReadStatus readNumber(ListSplitter& split, ListValue& value, T& out) {
    split.next(value);
    if (value.kind == ListValue::Kind::End) return ReadStatus::End;
    if (value.kind != ListValue::Kind::Plain) return ReadStatus::Bad;
    return parseNumber(value.text, out) ? ReadStatus::Ok : ReadStatus::Bad;
}

} // namespace

ReadStatus ListReader::read(double& out) {
    return readNumber(split_, value_, out);
}

ReadStatus ListReader::read(float& out) {
    return readNumber(split_, value_, out);
}

ReadStatus ListReader::read(std::string& out) {
    split_.next(value_);
    switch (value_.kind) {
    case ListValue::Kind::End:
        return ReadStatus::End;
    case ListValue::Kind::Plain:
    case ListValue::Kind::Quoted:
        out.assign(value_.value());
        return ReadStatus::Ok;
    default:
        return ReadStatus::Bad;
    }
}

} // namespace vk
