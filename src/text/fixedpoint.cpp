#include "text/fixedpoint.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace vk {

namespace {

// Largest fixed-point text of a double: sign, 309 integer digits, the point and the decimals.
constexpr int kMaxIntegerChars = 311;
constexpr int kStackDecimals = 64;

// The fields of the system have few decimals and values of moderate size: those are rounded here
// in integer arithmetic, which is exact, and everything else is left to std::to_chars.
constexpr int kFastDecimals = 9;
constexpr std::uint64_t kPowersOfTen[kFastDecimals + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
// Magnitudes below 10^18 / 10^decimals keep the scaled value within 64 bits.
constexpr double kFastLimit[kFastDecimals + 1] = {1e18, 1e17, 1e16, 1e15, 1e14,
                                                  1e13, 1e12, 1e11, 1e10, 1e9};

// A 128-bit unsigned number as two 64-bit halves.
struct Wide {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
};

// a (below 2^53) times b (below 2^32), exactly.
Wide multiply(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t upper = (a >> 32) * b; // below 2^53
    const std::uint64_t lower = (a & 0xFFFFFFFFu) * b;
    Wide w;
    w.low = lower + (upper << 32);
    w.high = (upper >> 32) + (w.low < lower ? 1 : 0);
    return w;
}

// The same for a magnitude that a float holds exactly (every value of a single-precision field):
// its 24-bit significand times 5^decimals fits the 53 bits of a double, so the product with
// 10^decimals is exact there, and adding and taking away 2^52 rounds it to the nearest integer,
// a tie to the even one. False for any other magnitude.
bool scaledSingle(double magnitude, int decimals, std::uint64_t& scaled) {
    constexpr int kSingleDecimals = 12;  // 5^12 < 2^29
    static constexpr double kSinglePowers[kSingleDecimals + 1] = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                                           1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
    // Magnitudes below these keep the product below 10^15, well within 2^52.
    static constexpr double kSingleLimit[kSingleDecimals + 1] = {1e15, 1e14, 1e13, 1e12, 1e11, 1e10, 1e9,
                                                          1e8,  1e7,  1e6,  1e5,  1e4,  1e3};
    constexpr double kTwoTo52 = 4503599627370496.0;
    if (decimals < 0 || decimals > kSingleDecimals || !(magnitude < kSingleLimit[decimals]))
        return false;
    if (static_cast<double>(static_cast<float>(magnitude)) != magnitude) return false;
    const double product = magnitude * kSinglePowers[decimals];  // exact, below 10^15 < 2^52
    const double rounded = (product + kTwoTo52) - kTwoTo52;
    scaled = static_cast<std::uint64_t>(rounded);
    return true;
}

// The finite, non-negative magnitude times 10^decimals rounded to the nearest integer, an exact
// tie to the even one: the digits that C's "%.*f" writes, without the point. False when the
// result might not fit 64 bits.
bool scaledValue(double magnitude, int decimals, std::uint64_t& scaled) {
    if (scaledSingle(magnitude, decimals, scaled)) return true;
    if (decimals < 0 || decimals > kFastDecimals || !(magnitude < kFastLimit[decimals]))
        return false;
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074; // magnitude = mantissa x 2^exponent
    if (biased != 0) {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    const Wide product = multiply(mantissa, kPowersOfTen[decimals]); // below 2^83
    if (exponent >= 0) {
        // An integer below the limit: the product shifted stays below 2^60.
        scaled = product.low << exponent;
        return true;
    }
    const int shift = -exponent;
    if (shift >= 84) {
        // Less than half a unit of the last decimal: rounds to zero.
        scaled = 0;
        return true;
    }
    // quotient = product >> shift; remainder = the bits shifted out, against half of 2^shift.
    std::uint64_t quotient;
    Wide remainder;
    Wide half;
    if (shift >= 64) {
        quotient = product.high >> (shift - 64);
        remainder.high = shift == 64 ? 0 : product.high & ((std::uint64_t{1} << (shift - 64)) - 1);
        remainder.low = product.low;
        if (shift == 64)
            half.low = std::uint64_t{1} << 63;
        else
            half.high = std::uint64_t{1} << (shift - 65);
    } else {
        quotient = (product.low >> shift) | (shift == 0 ? 0 : product.high << (64 - shift));
        remainder.low = product.low & ((std::uint64_t{1} << shift) - 1);
        half.low = std::uint64_t{1} << (shift - 1);
    }
    const bool above =
        remainder.high != half.high ? remainder.high > half.high : remainder.low > half.low;
    const bool tie = remainder.high == half.high && remainder.low == half.low;
    if (above || (tie && (quotient & 1) != 0)) ++quotient;
    scaled = quotient;
    return true;
}

// "00" to "99": the digits of a value are written two at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

// Appends a value that scaledValue() takes: its fixed-point text right-aligned in `width`, or in
// just as many characters as it needs when it is wider (wide) or the field filled with asterisks.
// The text is composed from its last character backwards and appended in one piece.
void appendScaled(std::string& out, bool negative, std::uint64_t scaled, int decimals, int width,
                  bool wide) {
    char buffer[64];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    auto pair = [&](std::uint64_t twoDigits) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * twoDigits, 2);
    };
    int fraction = decimals;
    for (; fraction >= 2; fraction -= 2) {
        pair(scaled % 100);
        scaled /= 100;
    }
    if (fraction == 1) {
        *--p = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    }
    if (decimals > 0) *--p = '.';
    for (; scaled >= 100; scaled /= 100)
        pair(scaled % 100);
    if (scaled >= 10)
        pair(scaled);
    else
        *--p = static_cast<char>('0' + scaled);  // at least one digit before the point
    if (negative) *--p = '-';

    const auto length = static_cast<int>(end - p);
    if (width > 0 && length > width && !wide) {
        out.append(static_cast<std::size_t>(width), '*');
        return;
    }
    if (width > length) {
        if (width - length <= p - buffer) {
            for (char* const start = p - (width - length); p != start;)
                *--p = ' ';
        } else {
            out.append(static_cast<std::size_t>(width - length), ' ');
        }
    }
    out.append(p, end);
}

// Appends the value's fixed-point text, padded on the left to `width`; when the text is wider
// than `width` it is appended whole (wide) or replaced by `width` asterisks.
void appendFormatted(std::string& out, double value, int width, int decimals, bool wide) {
    if (decimals < 0) decimals = 0;
    std::uint64_t scaled = 0;
    if (std::isfinite(value) && scaledValue(std::fabs(value), decimals, scaled)) {
        appendScaled(out, std::signbit(value), scaled, decimals, width, wide);
        return;
    }
    char stackBuffer[kMaxIntegerChars + kStackDecimals + 1];
    std::string heapBuffer; // only for more decimals than any field of the system has
    char* first = stackBuffer;
    char* last = stackBuffer + sizeof stackBuffer;
    if (decimals > kStackDecimals) {
        heapBuffer.resize(static_cast<std::size_t>(kMaxIntegerChars + decimals + 1));
        first = heapBuffer.data();
        last = first + heapBuffer.size();
    }
    const char* end = std::to_chars(first, last, value, std::chars_format::fixed, decimals).ptr;
    const std::string_view text(first, static_cast<std::size_t>(end - first));
    const auto length = static_cast<int>(text.size());
    if (width > 0 && length > width && !wide) {
        out.append(static_cast<std::size_t>(width), '*');
        return;
    }
    if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(text);
}

} // namespace

void appendFixed(std::string& out, double value, int width, int decimals) {
    appendFormatted(out, value, width, decimals, false);
}

void appendFixedWide(std::string& out, double value, int width, int decimals) {
    appendFormatted(out, value, width, decimals, true);
}

std::string formatInt(std::int64_t value, int width) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto length = static_cast<int>(text.size());
    if (width > 0 && length > width) return std::string(static_cast<std::size_t>(width), '*');
    std::string out;
    if (length < width) out.assign(static_cast<std::size_t>(width - length), ' ');
    out.append(text);
    return out;
}

} // namespace vk
