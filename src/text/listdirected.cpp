#include "text/listdirected.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <type_traits>

namespace vk {

namespace {

// The classes of characters that the syntax tells apart, one table look-up per character.
enum CharClass : unsigned char { kBlank = 1, kComma = 2, kDigit = 4, kDelimiter = 8 };

constexpr std::array<unsigned char, 256> kClasses = [] {
    std::array<unsigned char, 256> classes{};
    classes[' '] = classes['\t'] = kBlank;
    classes[','] = kComma;
    for (int c = '0'; c <= '9'; ++c)
        classes[static_cast<std::size_t>(c)] = kDigit;
    classes['"'] = classes['\''] = kDelimiter;
    return classes;
}();

bool hasClass(char c, unsigned classes) {
    return (kClasses[static_cast<unsigned char>(c)] & classes) != 0;
}
bool isDelimiter(char c) {
    return hasClass(c, kDelimiter);
}
bool isDigit(char c) {
    return hasClass(c, kDigit);
}

// The first character from p on that is not of the given classes (last when there is none).
const char* skipClasses(const char* p, const char* last, unsigned classes) {
    while (p != last && hasClass(*p, classes))
        ++p;
    return p;
}

// The first character from p on that is of the given classes (last when there is none).
const char* findClasses(const char* p, const char* last, unsigned classes) {
    while (p != last && !hasClass(*p, classes))
        ++p;
    return p;
}

// Scans a quoted value whose opening delimiter is at *p. The undelimited text (a doubled
// delimiter standing for one) is appended to *out when given. Returns the character just after
// the closing delimiter; an unterminated value runs to the end of the text.
const char* scanQuoted(const char* p, const char* last, std::string* out) {
    const char delimiter = *p++;
    const char* run = p; // the text since the last delimiter
    for (; p != last; ++p) {
        if (*p != delimiter) continue;
        if (out) out->append(run, p);
        if (p + 1 != last && p[1] == delimiter) {
            if (out) out->push_back(delimiter);
            run = ++p + 1;
            continue;
        }
        return p + 1;
    }
    if (out) out->append(run, p);
    return p;
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

// Powers of ten that are exact in each type.
constexpr double kDoublePowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr float kFloatPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                  1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// significand x 10^power when both factors are exact in T: then one multiplication or division,
// correctly rounded, gives the value nearest to the text. False when the value needs the general
// conversion.
template <typename T> bool exactlyScaled(std::uint64_t significand, long power, T& value) {
    constexpr bool isDouble = std::is_same_v<T, double>;
    constexpr std::uint64_t kExactIntegers = std::uint64_t{1} << (isDouble ? 53 : 24);
    constexpr long kExactPowers = isDouble ? 22 : 10;
    if (significand > kExactIntegers || power < -kExactPowers || power > kExactPowers) return false;
    const auto factor = isDouble ? static_cast<T>(kDoublePowers[std::abs(power)])
                                 : static_cast<T>(kFloatPowers[std::abs(power)]);
    const auto whole = static_cast<T>(significand);
    value = power < 0 ? whole / factor : whole * factor;
    return true;
}

template <typename T> bool parseNumber(std::string_view text, T& out) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    std::uint64_t significand = 0; // the digits as one integer, while there are at most 19
    long fractionDigits = 0;
    while (i < n && isDigit(text[i])) {
        significand = significand * 10 + static_cast<unsigned>(text[i] - '0');
        ++i, ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            significand = significand * 10 + static_cast<unsigned>(text[i] - '0');
            ++i, ++digits, ++fractionDigits;
        }
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

    T value{};
    if (digits <= 19 && exactlyScaled(significand, exponent - fractionDigits, value)) {
        out = negative ? -value : value;
        return true;
    }

    // from_chars takes no leading '+'.
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    const char* last = text.data() + n;
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
    if (done_) {
        value.kind = ListValue::Kind::End;
        return;
    }
    const char* const first = text_.data();
    const char* const last = first + text_.size();
    const char* p = first + pos_;
    if (!started_) {
        p = skipClasses(p, last, kBlank);
        started_ = true;
    }
    // The separator after a value: blanks, and at most one comma with the blanks after it.
    auto endAfterSeparator = [&](const char* at) {
        at = skipClasses(at, last, kBlank);
        if (at != last && *at == ',') at = skipClasses(at + 1, last, kBlank);
        pos_ = static_cast<std::size_t>(at - first);
    };
    if (p == last) {
        pos_ = text_.size();
        done_ = true;
        value.kind = ListValue::Kind::End;
        return;
    }

    const char* const start = p;
    const char c = *p;
    if (c == ',') {
        // Nothing before this comma: an empty value, the comma its separator.
        value.kind = ListValue::Kind::Empty;
        value.text = std::string_view(start, 0);
        pos_ = static_cast<std::size_t>(skipClasses(p + 1, last, kBlank) - first);
        return;
    }
    if (c == '/') {
        value.kind = ListValue::Kind::Slash;
        value.text = std::string_view(start, 1);
        pos_ = static_cast<std::size_t>(p + 1 - first);
        done_ = true;
        return;
    }
    if (isDelimiter(c)) {
        value.kind = ListValue::Kind::Quoted;
        p = scanQuoted(start, last, &value.quoted);
        value.text = std::string_view(start, static_cast<std::size_t>(p - start));
        endAfterSeparator(p);
        return;
    }

    p = skipClasses(start, last, kDigit);
    const bool repeat = p != start && p != last && *p == '*';
    if (repeat) {
        ++p;
        if (p != last && isDelimiter(*p)) p = scanQuoted(p, last, nullptr);
    }
    p = findClasses(p, last, kBlank | kComma);
    value.kind = repeat ? ListValue::Kind::Repeat : ListValue::Kind::Plain;
    value.text = std::string_view(start, static_cast<std::size_t>(p - start));
    endAfterSeparator(p);
}

ListValue ListSplitter::next() {
    ListValue value;
    next(value);
    return value;
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

PlainNumbers::PlainNumbers(std::string_view text)
    : next_(skipClasses(text.data(), text.data() + text.size(), kBlank)),
      last_(text.data() + text.size()) {}

template <typename T> bool PlainNumbers::takeNumber(T& out) {
    const char* p = next_;
    const bool negative = p != last_ && *p == '-';
    if (negative) ++p;
    std::uint64_t significand = 0;
    auto digitsFrom = [&](const char* from) {
        for (p = from; p != last_; ++p) {
            const auto digit = static_cast<unsigned char>(*p - '0');
            if (digit > 9) break;
            significand = significand * 10 + digit;
        }
        return p - from;
    };
    auto digits = digitsFrom(p);
    std::ptrdiff_t fractionDigits = 0;
    if (p != last_ && *p == '.') {
        fractionDigits = digitsFrom(p + 1);
        digits += fractionDigits;
    }
    // The value ends at a separator or at the end of the text, as the splitter ends it.
    if (digits == 0 || digits > 19 || (p != last_ && !hasClass(*p, kBlank | kComma))) return false;
    T value{};
    if (!exactlyScaled(significand, -static_cast<long>(fractionDigits), value)) return false;
    out = negative ? -value : value;
    p = skipClasses(p, last_, kBlank);
    afterComma_ = p != last_ && *p == ',';
    if (afterComma_) p = skipClasses(p + 1, last_, kBlank);
    next_ = p;
    return true;
}

bool PlainNumbers::take(double& out) {
    return takeNumber(out);
}

bool PlainNumbers::take(float& out) {
    return takeNumber(out);
}

bool PlainNumbers::atEnd() const {
    return next_ == last_ && !afterComma_;
}

} // namespace vk
