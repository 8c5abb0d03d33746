#include "text/fixedpoint.h"

#include "allocations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// The field appendFixed and appendFixedWide append to an empty line.
std::string formatFixed(double value, int width, int decimals) {
    std::string out;
    vk::appendFixed(out, value, width, decimals);
    return out;
}
std::string formatFixedWide(double value, int width, int decimals) {
    std::string out;
    vk::appendFixedWide(out, value, width, decimals);
    return out;
}

// What C's printf("%*.*f") writes for the value.
std::string printfFixed(double value, int width, int decimals) {
    std::vector<char> buffer(1024 + static_cast<std::size_t>(decimals));
    const int n = std::snprintf(buffer.data(), buffer.size(), "%*.*f", width, decimals, value);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

const std::vector<double>& awkwardValues() {
    static const std::vector<double> values = {
        0.0,     -0.0,     0.5,       1.5,       2.5,    -2.5,       0.125,
        0.375,   -0.125,   1.005,     2.675,     1.045,  0.0005,     -0.0005,
        -0.0004, 999.9995, -99.9996,  1e-7,      -1e-7,  123456.789, 1e15,
        -1e15,   0.1,      1.0 / 3.0, 1000.0,    -100.0, 9999.99949, 4503599627370497.0,
        1e308,   -1e308,   5e-324,    16777217.0};
    return values;
}

TEST(FixedPoint, MatchesPrintfWhereverTheTextFits) {
    for (double value : awkwardValues()) {
        for (int decimals : {0, 1, 2, 3, 4, 6}) {
            for (int width : {1, 6, 8, 10, 16, 400}) {
                const std::string expected = printfFixed(value, width, decimals);
                const std::string got = formatFixed(value, width, decimals);
                if (static_cast<int>(expected.size()) > width)
                    EXPECT_EQ(got, std::string(static_cast<std::size_t>(width), '*'))
                        << value << " " << width << "." << decimals;
                else
                    EXPECT_EQ(got, expected) << value << " " << width << "." << decimals;
                EXPECT_EQ(formatFixedWide(value, width, decimals), expected)
                    << value << " " << width << "." << decimals;
            }
        }
    }
}

TEST(FixedPoint, RoundsTheBinaryValue) {
    EXPECT_EQ(formatFixed(1.005, 8, 2), "    1.00"); // 1.00499999999999989...
    EXPECT_EQ(formatFixed(2.675, 8, 2), "    2.67");
    EXPECT_EQ(formatFixed(0.125, 6, 2), "  0.12"); // exact ties go to the even digit
    EXPECT_EQ(formatFixed(0.375, 6, 2), "  0.38");
    EXPECT_EQ(formatFixed(2.5, 3, 0), "  2");
    EXPECT_EQ(formatFixed(0.1, 22, 20), "0.10000000000000000555");
}

TEST(FixedPoint, ZeroBeforeThePointAndTheSignOfZero) {
    EXPECT_EQ(formatFixed(0.25, 5, 2), " 0.25");
    EXPECT_EQ(formatFixed(-0.25, 6, 2), " -0.25");
    EXPECT_EQ(formatFixed(-0.0004, 7, 3), " -0.000");
    EXPECT_EQ(formatFixed(-0.0, 6, 3), "-0.000");
    EXPECT_EQ(formatFixed(0.0, 6, 3), " 0.000");
}

TEST(FixedPoint, TooWideFillsTheFieldWithAsterisks) {
    EXPECT_EQ(formatFixed(1000.0, 8, 3), "1000.000");  // exactly the width
    EXPECT_EQ(formatFixed(10000.0, 8, 3), "********"); // one character too many
    EXPECT_EQ(formatFixed(-100.0, 7, 3), "*******");
    EXPECT_EQ(formatFixed(-99.9996, 7, 3), "*******"); // rounding carries a digit
    EXPECT_EQ(formatFixed(-99.9994, 7, 3), "-99.999");
    EXPECT_EQ(formatFixed(std::numeric_limits<double>::max(), 16, 3), std::string(16, '*'));
}

TEST(FixedPoint, WideFormNeverLosesTheValue) {
    EXPECT_EQ(formatFixedWide(1234.5678, 8, 3), "1234.568");
    EXPECT_EQ(formatFixedWide(12345.678, 8, 3), "12345.678");
    EXPECT_EQ(formatFixedWide(-1000.0, 8, 3), "-1000.000");
    EXPECT_EQ(formatFixedWide(5.0, 8, 3), "   5.000");
}

TEST(FixedPoint, WidthZeroTakesWhatTheValueNeeds) {
    EXPECT_EQ(formatFixed(3.14159, 0, 2), "3.14");
    EXPECT_EQ(formatFixed(-12345.5, 0, 1), "-12345.5");
}

TEST(FixedPoint, ManyDecimals) {
    EXPECT_EQ(formatFixed(0.1, 0, 80), printfFixed(0.1, 0, 80));
    EXPECT_EQ(formatFixedWide(-1e300, 10, 70), printfFixed(-1e300, 10, 70));
}

// The text of the value with the given decimals as the standard library writes it.
std::string referenceFixed(double value, int decimals) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

// Values of every magnitude from subnormals to beyond 10^18: random bit patterns, random values
// of the sizes the conversion writes, and exact ties and near-ties between two decimals, each with
// every count of decimals up to 10 and in fields of several widths, checked against the reference
// text.
TEST(FixedPoint, RoundsLikeTheReferenceAtEveryMagnitude) {
    std::mt19937_64 random(20130901);
    std::vector<double> values;
    for (int i = 0; i < 20000; ++i) {
        const double v = std::bit_cast<double>(random());
        if (std::isfinite(v)) values.push_back(v);
    }
    std::uniform_real_distribution<double> coordinate(-1e7, 1e7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(coordinate(random));
        values.push_back(unit(random) * std::pow(10.0, static_cast<int>(random() % 40) - 20));
    }
    // Single-precision values (elevations, distances): random bit patterns, sizes the conversion
    // writes, and the binary ties among them.
    for (int i = 0; i < 20000; ++i) {
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (std::isfinite(f)) values.push_back(f);
        values.push_back(static_cast<float>(coordinate(random) / 1000.0));
    }
    for (int k = 0; k < 2000; ++k)
        values.push_back(static_cast<float>(k + 0.5) / static_cast<float>(1 << (k % 24)));
    for (int decimals = 0; decimals <= 10; ++decimals) {
        // k + 1/2 of the last decimal is an exact binary tie when it is representable.
        for (int k = 0; k < 40; ++k) {
            const double step = std::pow(10.0, -decimals);
            values.push_back((k + 0.5) * step);
            values.push_back(std::nextafter((k + 0.5) * step, 0.0));
            values.push_back(std::nextafter((k + 0.5) * step, 1e300));
        }
        const double limit = 1e18 / std::pow(10.0, decimals);
        values.push_back(limit);
        values.push_back(std::nextafter(limit, 0.0));
        values.push_back(-std::nextafter(limit, 0.0));
    }
    for (const double extra :
         {0.5, 1.5, 2.5, 0.125, 0.375, 4503599627370495.5, 9007199254740993.0,
          std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
          std::numeric_limits<double>::max(), 0.0, -0.0})
        values.push_back(extra);

    int mismatches = 0;
    for (const double value : values) {
        for (int decimals = 0; decimals <= 13; ++decimals) {
            const std::string text = referenceFixed(value, decimals);
            for (const int width : {0, 10, 16}) {
                const auto size = static_cast<int>(text.size());
                const std::string padded =
                    std::string(static_cast<std::size_t>(std::max(width - size, 0)), ' ') + text;
                const std::string fitted = size > width && width > 0
                                               ? std::string(static_cast<std::size_t>(width), '*')
                                               : padded;
                const std::string wide = formatFixedWide(value, width, decimals);
                const std::string cut = formatFixed(value, width, decimals);
                if ((wide != padded || cut != fitted) && ++mismatches <= 10)
                    ADD_FAILURE() << std::hexfloat << value << " in " << width << "." << decimals
                                  << ": got \"" << wide << "\" and \"" << cut << "\", expected \""
                                  << padded << "\" and \"" << fitted << "\"";
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FixedPoint, AppendsWithoutAllocatingOnceTheLineHasRoom) {
    std::string line = "x,";
    line.reserve(200);
    vktest::AllocationWindow window;
    vk::appendFixed(line, 12.3456, 10, 3);
    line += ',';
    vk::appendFixedWide(line, 123456789.0, 8, 3);
    line += ',';
    vk::appendFixed(line, 1e300, 16, 3);
    EXPECT_EQ(window.count(), 0u);
    EXPECT_EQ(line, "x,    12.346,123456789.000," + std::string(16, '*'));
}

TEST(FormatInt, RightAlignedOrAsterisks) {
    EXPECT_EQ(vk::formatInt(7, 4), "   7");
    EXPECT_EQ(vk::formatInt(1001, 4), "1001");
    EXPECT_EQ(vk::formatInt(10000, 4), "****");
    EXPECT_EQ(vk::formatInt(-999, 4), "-999");
    EXPECT_EQ(vk::formatInt(-1000, 4), "****");
    EXPECT_EQ(vk::formatInt(0, 1), "0");
    EXPECT_EQ(vk::formatInt(-5, 0), "-5");
    EXPECT_EQ(vk::formatInt(std::numeric_limits<std::int64_t>::min(), 20), "-9223372036854775808");
    EXPECT_EQ(vk::formatInt(std::numeric_limits<std::int64_t>::min(), 19), std::string(19, '*'));
}

} // namespace
