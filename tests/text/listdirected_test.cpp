#include "text/listdirected.h"
#include "text/strings.h"

#include "allocations.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace {

using Kind = vk::ListValue::Kind;

// A text of one value read as a number by ListReader; false when it is not one.
template <typename T> bool readNumber(std::string_view text, T& out) {
    vk::ListReader reader(text);
    return reader.read(out) == vk::ReadStatus::Ok;
}
bool parseDouble(std::string_view text, double& out) { return readNumber(text, out); }
bool parseFloat(std::string_view text, float& out) { return readNumber(text, out); }

// The values of a text as "P:text", "Q:text", "E:", "R:text" or "S:/", up to the first End.
std::vector<std::string> split(std::string_view text) {
    vk::ListSplitter splitter(text);
    std::vector<std::string> out;
    for (;;) {
        const vk::ListValue v = splitter.next();
        const char* tag = "";
        switch (v.kind) {
        case Kind::Plain:
            tag = "P:";
            break;
        case Kind::Quoted:
            tag = "Q:";
            break;
        case Kind::Empty:
            tag = "E:";
            break;
        case Kind::Repeat:
            tag = "R:";
            break;
        case Kind::Slash:
            tag = "S:";
            break;
        case Kind::End:
            return out;
        }
        out.push_back(tag + std::string(v.value()));
        if (out.size() > 100) return out; // a splitter that never ends
    }
}

using Values = std::vector<std::string>;

TEST(ListSplitter, BlanksTabsAndCommasSeparate) {
    EXPECT_EQ(split("1 2,3"), (Values{"P:1", "P:2", "P:3"}));
    EXPECT_EQ(split("  1 ,  2  "), (Values{"P:1", "P:2"}));
    EXPECT_EQ(split("1\t2\t,\t3"), (Values{"P:1", "P:2", "P:3"}));
    EXPECT_EQ(split("a/b c*d"), (Values{"P:a/b", "P:c*d"}));
    EXPECT_EQ(split(""), Values{});
    EXPECT_EQ(split(" \t "), Values{});
}

TEST(ListSplitter, EmptyValuesAndCommasAtTheEnds) {
    EXPECT_EQ(split("1,,2"), (Values{"P:1", "E:", "P:2"}));
    EXPECT_EQ(split("1, ,2"), (Values{"P:1", "E:", "P:2"}));
    EXPECT_EQ(split("1 , , 2"), (Values{"P:1", "E:", "P:2"}));
    EXPECT_EQ(split(",1"), (Values{"E:", "P:1"}));
    EXPECT_EQ(split("  , 1"), (Values{"E:", "P:1"}));
    EXPECT_EQ(split("1,"), (Values{"P:1"}));
    EXPECT_EQ(split("1 ,  "), (Values{"P:1"}));
    EXPECT_EQ(split("1,,"), (Values{"P:1", "E:"}));
    EXPECT_EQ(split(","), (Values{"E:"}));
}

TEST(ListSplitter, QuotedValues) {
    EXPECT_EQ(split("'a b','c,d' \"e\""), (Values{"Q:a b", "Q:c,d", "Q:e"}));
    EXPECT_EQ(split("'it''s'"), (Values{"Q:it's"}));
    EXPECT_EQ(split("\"say \"\"hi\"\"\""), (Values{"Q:say \"hi\""}));
    EXPECT_EQ(split("\"it's\",'a\"b'"), (Values{"Q:it's", "Q:a\"b"}));
    EXPECT_EQ(split("'', 1"), (Values{"Q:", "P:1"}));
    EXPECT_EQ(split("''''"), (Values{"Q:'"}));
    // An unterminated quote runs to the end of the text.
    EXPECT_EQ(split("1 'abc, d "), (Values{"P:1", "Q:abc, d "}));
    EXPECT_EQ(split("'ab''"), (Values{"Q:ab'"}));
    // Text right after the closing delimiter starts the next value.
    EXPECT_EQ(split("'ab'cd"), (Values{"Q:ab", "P:cd"}));
    // A quote inside an unquoted value is an ordinary character.
    EXPECT_EQ(split("ab'c d'"), (Values{"P:ab'c", "P:d'"}));
}

TEST(ListSplitter, QuotedValueKeepsItsRawTextInTheLine) {
    vk::ListSplitter splitter(" 'a''b' ,x");
    const vk::ListValue v = splitter.next();
    EXPECT_EQ(v.kind, Kind::Quoted);
    EXPECT_EQ(v.text, "'a''b'");
    EXPECT_EQ(v.quoted, "a'b");
    EXPECT_EQ(splitter.position(), 9u);
}

TEST(ListSplitter, RepeatCountsAndSlash) {
    EXPECT_EQ(split("3*x 2* 4*'a b' 5"), (Values{"R:3*x", "R:2*", "R:4*'a b'", "P:5"}));
    EXPECT_EQ(split("*5 x3*"), (Values{"P:*5", "P:x3*"}));
    EXPECT_EQ(split("1 / 2"), (Values{"P:1", "S:/"}));
    EXPECT_EQ(split("1,/,2"), (Values{"P:1", "S:/"}));

    vk::ListSplitter splitter("/ 1");
    EXPECT_EQ(splitter.next().kind, Kind::Slash);
    EXPECT_EQ(splitter.next().kind, Kind::End);
    EXPECT_EQ(splitter.next().kind, Kind::End);
}

TEST(ListSplitter, PositionFollowsTheSeparator) {
    vk::ListSplitter splitter("12 ,  34 ");
    EXPECT_EQ(splitter.next().text, "12");
    EXPECT_EQ(splitter.position(), 6u);
    EXPECT_EQ(splitter.next().text, "34");
    EXPECT_EQ(splitter.next().kind, Kind::End);
    EXPECT_EQ(splitter.next().kind, Kind::End);
}

TEST(ListSplitter, ReusedValueHoldsOnlyTheCurrentValue) {
    const std::string line = "'a long quoted text, with a comma' 'short' plain ,";
    vk::ListSplitter splitter(line);
    vk::ListValue v;
    splitter.next(v);
    EXPECT_EQ(v.value(), "a long quoted text, with a comma");
    splitter.next(v);
    EXPECT_EQ(v.value(), "short");
    splitter.next(v);
    EXPECT_EQ(v.kind, Kind::Plain);
    EXPECT_EQ(v.value(), "plain");
    EXPECT_TRUE(v.quoted.empty());
    splitter.next(v);
    EXPECT_EQ(v.kind, Kind::End);

    // Splitting the next line into the same value allocates nothing.
    vk::ListSplitter again(line);
    vktest::AllocationWindow window;
    for (int i = 0; i < 4; ++i)
        again.next(v);
    EXPECT_EQ(window.count(), 0u);
}

TEST(ParseDouble, AcceptsIntegerFixedAndExponentForms) {
    double d = 0;
    EXPECT_TRUE(parseDouble("42", d));
    EXPECT_EQ(d, 42.0);
    EXPECT_TRUE(parseDouble("+1", d));
    EXPECT_EQ(d, 1.0);
    EXPECT_TRUE(parseDouble("-1.", d));
    EXPECT_EQ(d, -1.0);
    EXPECT_TRUE(parseDouble(".5", d));
    EXPECT_EQ(d, 0.5);
    EXPECT_TRUE(parseDouble("-.25", d));
    EXPECT_EQ(d, -0.25);
    EXPECT_TRUE(parseDouble("1.5e3", d));
    EXPECT_EQ(d, 1500.0);
    EXPECT_TRUE(parseDouble("2E-3", d));
    EXPECT_EQ(d, 0.002);
    EXPECT_TRUE(parseDouble("+7.e+2", d));
    EXPECT_EQ(d, 700.0);
    EXPECT_TRUE(parseDouble("0.1", d));
    EXPECT_EQ(d, 0.1);
    EXPECT_TRUE(parseDouble("16777217", d));
    EXPECT_EQ(d, 16777217.0);
    EXPECT_TRUE(parseDouble("-0", d));
    EXPECT_TRUE(d == 0.0 && std::signbit(d));
}

TEST(ParseDouble, RejectsEverythingElseAndLeavesTheTargetAlone) {
    for (const char* text :
         {"",      "+",    "-",     ".",    "+.",  "1e",       "1e+",   "e5",    ".e5",
          "1.0D3", "1d3",  "inf",   "-inf", "nan", "infinity", "0x10",  "12abc", "1..2",
          "1.2.3", "--1",  "+-1",   "1e5.0", "1e400", "-1e400"}) {
        double d = 123.0;
        EXPECT_FALSE(parseDouble(text, d)) << text;
        EXPECT_EQ(d, 123.0) << text;
    }
}

TEST(ParseDouble, TooSmallReadsAsSignedZero) {
    double d = 1.0;
    EXPECT_TRUE(parseDouble("1e-400", d));
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(std::signbit(d));
    EXPECT_TRUE(parseDouble("-0.0001e-330", d));
    EXPECT_TRUE(d == 0.0 && std::signbit(d));
    EXPECT_TRUE(parseDouble("1000e-325", d)); // a subnormal still has a value
    EXPECT_GT(d, 0.0);
    EXPECT_TRUE(parseDouble("0e99999999999999999999", d));
    EXPECT_EQ(d, 0.0);
}

TEST(ParseFloat, RoundsTheTextDirectlyToFloat) {
    float f = 0;
    EXPECT_TRUE(parseFloat("0.1", f));
    EXPECT_EQ(f, 0.1f);
    EXPECT_TRUE(parseFloat("16777217", f)); // a tie: to the even neighbour
    EXPECT_EQ(f, 16777216.0f);
    EXPECT_TRUE(parseFloat("16777219", f));
    EXPECT_EQ(f, 16777220.0f);
    // Just above the halfway point between 1 and the next float: rounding through double would
    // land on the halfway point itself and then round down to 1.
    const char* aboveTie = "1.00000005960464477550";
    double viaDouble = 0;
    ASSERT_TRUE(parseDouble(aboveTie, viaDouble));
    ASSERT_EQ(static_cast<float>(viaDouble), 1.0f);
    EXPECT_TRUE(parseFloat(aboveTie, f));
    EXPECT_EQ(f, std::nextafter(1.0f, 2.0f));
}

TEST(ParseFloat, RangeOfFloat) {
    float f = 5.0f;
    EXPECT_FALSE(parseFloat("1e39", f));
    EXPECT_EQ(f, 5.0f);
    EXPECT_TRUE(parseFloat("3.4028234e38", f));
    EXPECT_EQ(f, std::numeric_limits<float>::max());
    EXPECT_TRUE(parseFloat("-1e-50", f));
    EXPECT_TRUE(f == 0.0f && std::signbit(f));
    EXPECT_TRUE(parseFloat("1.5e-45", f));
    EXPECT_EQ(f, std::numeric_limits<float>::denorm_min());
    EXPECT_FALSE(parseFloat("1.0D0", f));
}

// Random numbers in the forms an export holds and beyond them (up to 25 digits, with and without a
// point, sign and exponent) read exactly as the standard library's conversion reads them, in both
// precisions: the short forms take a quicker road that must give the same values.
TEST(ParseNumbers, AgreeWithTheStandardConversion) {
    std::mt19937_64 random(7);
    auto digits = [&](std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += static_cast<char>('0' + random() % 10);
        return text;
    };
    int mismatches = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text = digits(random() % 13) + "." + digits(random() % 13);
        if (i % 5 == 0) text = digits(1 + random() % 25);
        if (i % 7 == 0) text = digits(random() % 4) + "." + digits(random() % 22);
        if (text == ".") text = "0.";
        if (i % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
        const std::string sign = i % 4 == 1 ? "-" : "";
        double expectedDouble = 0, gotDouble = 0;
        float expectedFloat = 0, gotFloat = 0;
        const std::string whole = sign + text;
        const char* first = whole.data();
        const char* last = first + whole.size();
        const bool doubleOk = std::from_chars(first, last, expectedDouble).ec == std::errc();
        const bool floatOk = std::from_chars(first, last, expectedFloat).ec == std::errc();
        if (doubleOk && (!parseDouble(whole, gotDouble) ||
                         std::bit_cast<std::uint64_t>(gotDouble) !=
                             std::bit_cast<std::uint64_t>(expectedDouble))) {
            if (++mismatches <= 10) ADD_FAILURE() << whole << " as double: " << gotDouble;
        }
        if (floatOk &&
            (!parseFloat(whole, gotFloat) || std::bit_cast<std::uint32_t>(gotFloat) !=
                                                     std::bit_cast<std::uint32_t>(expectedFloat))) {
            if (++mismatches <= 10) ADD_FAILURE() << whole << " as float: " << gotFloat;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(PlainNumbers, ReadsTheCommonFormOfCoordinateLines) {
    vk::PlainNumbers plain("  2450012.345, 6710025.000, 100.12\t ");
    double x = 0, y = 0;
    float z = 0;
    ASSERT_TRUE(plain.take(x) && plain.take(y) && plain.take(z));
    EXPECT_TRUE(plain.atEnd());
    EXPECT_EQ(x, 2450012.345);
    EXPECT_EQ(y, 6710025.0);
    EXPECT_EQ(z, 100.12f);
    vk::PlainNumbers blanks("-.5 7.  -0");
    ASSERT_TRUE(blanks.take(x) && blanks.take(y) && blanks.take(z));
    EXPECT_TRUE(blanks.atEnd());
    EXPECT_EQ(x, -0.5);
    EXPECT_EQ(y, 7.0);
    EXPECT_TRUE(z == 0.0f && std::signbit(z));
}

TEST(PlainNumbers, LeavesEveryOtherFormToTheGeneralReading) {
    double v = 0;
    for (const char* text : {"1e3", "+1", "1,,2", ",1", "'1'", "1*2", "1/", "-", ".", "1.2.3",
                             "12345678901234567890", "1x", ""}) {
        vk::PlainNumbers plain(text);
        EXPECT_FALSE(plain.take(v) && plain.take(v) && plain.atEnd()) << text;
    }
    vk::PlainNumbers trailingComma("1, 2,");
    ASSERT_TRUE(trailingComma.take(v) && trailingComma.take(v));
    EXPECT_FALSE(trailingComma.atEnd());
    vk::PlainNumbers more("1 2 3");
    ASSERT_TRUE(more.take(v) && more.take(v));
    EXPECT_FALSE(more.atEnd());
}

// Random lines of numbers, separators and stray characters: whenever the quick reading takes a
// line whole, NUMBEROFNUMBERS counts numbers on it and ListReader reads the same values, bit for
// bit, and nothing after them.
TEST(PlainNumbers, AgreesWithTheGeneralReadingOnEveryLineItTakes) {
    std::mt19937_64 random(11);
    const std::vector<std::string> pieces = {
        "0",   "7",  "42",    "2450012.345", "-3.25", ".5", "-.75", "100.", "12345678901234567",
        "1e2", "+4", " ",     "  ",          "\t",    ",",  ", ",   " , ",  ",,",
        "x",   "*",  "'a b'", "/",           "-",     ".",  "!",    "E"};
    int taken = 0;
    for (int i = 0; i < 100000; ++i) {
        std::string line;
        const int count = 1 + static_cast<int>(random() % 8);
        for (int k = 0; k < count; ++k)
            line += pieces[random() % (k % 2 == 0 ? 11 : pieces.size())];
        vk::PlainNumbers plain(line);
        std::vector<double> values;
        double v = 0;
        while (plain.take(v))
            values.push_back(v);
        if (values.empty() || !plain.atEnd()) continue;
        ++taken;
        EXPECT_GT(vk::NUMBEROFNUMBERS(line), 0) << line;
        vk::ListReader reader(line);
        for (const double expected : values) {
            double got = 0;
            ASSERT_EQ(reader.read(got), vk::ReadStatus::Ok) << line;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected))
                << line;
        }
        double extra = 0;
        EXPECT_EQ(reader.read(extra), vk::ReadStatus::End) << line;
    }
    EXPECT_GT(taken, 10000);
}

// Digit runs of every length, ended by every kind of character (digits' neighbours in the code
// table and bytes above 0xF9 among them) and followed by more or fewer characters: the quick
// reading takes exactly the numbers the general reading takes, with the same values.
TEST(PlainNumbers, DigitRunsOfEveryLengthReadAsTheGeneralReadingDoes) {
    std::mt19937_64 random(5);
    const std::string enders[] = {"", " ", ",", "/", ":", "\xFA", "\xFF", std::string(1, '\0'), "a"};
    auto digits = [&](int n) {
        std::string run;
        for (int i = 0; i < n; ++i)
            run += static_cast<char>('0' + random() % 10);
        return run;
    };
    int compared = 0;
    for (int whole = 0; whole <= 20; ++whole) {
        for (int fraction = -1; fraction <= 12; ++fraction) {
            for (const std::string& ender : enders) {
                for (int tail = 0; tail <= 9; ++tail) {
                    std::string number = digits(whole);
                    if (fraction >= 0) number += "." + digits(fraction);
                    const std::string line = number + ender + std::string(tail, ' ');
                    const bool general = [&] {
                        double v = 0;
                        vk::ListReader reader(line);
                        return reader.read(v) == vk::ReadStatus::Ok &&
                               reader.read(v) == vk::ReadStatus::End;
                    }();
                    double quick = 0, expected = 0;
                    vk::PlainNumbers plain(line);
                    if (!(plain.take(quick) && plain.atEnd())) continue;
                    ASSERT_TRUE(general) << line;
                    ASSERT_TRUE(parseDouble(number, expected)) << line;
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(quick),
                              std::bit_cast<std::uint64_t>(expected)) << line;
                    ++compared;
                    // Single precision is read quickly only where that is exact.
                    float quickFloat = 0, expectedFloat = 0;
                    vk::PlainNumbers again(line);
                    if (!again.take(quickFloat)) continue;
                    ASSERT_TRUE(parseFloat(number, expectedFloat));
                    EXPECT_EQ(quickFloat, expectedFloat) << line;
                }
            }
        }
    }
    // Only runs of at most 19 digits ended by a blank, a comma or the end are taken.
    EXPECT_GT(compared, 2000);
}

TEST(ListReader, ReadsNumbersInOrder) {
    vk::ListReader reader("  1.5, -2  ,3e1 junk 'x");
    double a = 0, b = 0;
    float c = 0;
    EXPECT_EQ(reader.read(a), vk::ReadStatus::Ok);
    EXPECT_EQ(reader.read(b), vk::ReadStatus::Ok);
    EXPECT_EQ(reader.read(c), vk::ReadStatus::Ok);
    EXPECT_EQ(a, 1.5);
    EXPECT_EQ(b, -2.0);
    EXPECT_EQ(c, 30.0f);
}

TEST(ListReader, TooFewValuesIsEnd) {
    vk::ListReader reader("7 ,");
    double x = 0, y = -1;
    EXPECT_EQ(reader.read(x), vk::ReadStatus::Ok);
    EXPECT_EQ(reader.read(y), vk::ReadStatus::End);
    EXPECT_EQ(y, -1.0);
    EXPECT_EQ(reader.read(y), vk::ReadStatus::End);

    vk::ListReader blank("   ");
    EXPECT_EQ(blank.read(y), vk::ReadStatus::End);
}

TEST(ListReader, ValuesThatAreNotNumbersAreBad) {
    for (const char* text : {"'1'", "\"2\"", ",2", "3*1", "2*", "/", "12abc", "1.0D3", "abc"}) {
        vk::ListReader reader(text);
        double d = 9.0;
        float f = 9.0f;
        EXPECT_EQ(reader.read(d), vk::ReadStatus::Bad) << text;
        EXPECT_EQ(d, 9.0) << text;
        vk::ListReader again(text);
        EXPECT_EQ(again.read(f), vk::ReadStatus::Bad) << text;
        EXPECT_EQ(f, 9.0f) << text;
    }
}

TEST(ListReader, CharacterValuesArePlainOrQuoted) {
    vk::ListReader reader("LB1, 'Left bank, ''A''' 12 , ,");
    std::string s;
    EXPECT_EQ(reader.read(s), vk::ReadStatus::Ok);
    EXPECT_EQ(s, "LB1");
    EXPECT_EQ(reader.read(s), vk::ReadStatus::Ok);
    EXPECT_EQ(s, "Left bank, 'A'");
    EXPECT_EQ(reader.read(s), vk::ReadStatus::Ok);
    EXPECT_EQ(s, "12");
    s = "kept";
    EXPECT_EQ(reader.read(s), vk::ReadStatus::Bad); // the empty value before the last comma
    EXPECT_EQ(s, "kept");
    EXPECT_EQ(reader.read(s), vk::ReadStatus::End);

    vk::ListReader repeat("2*x /");
    EXPECT_EQ(repeat.read(s), vk::ReadStatus::Bad);
    EXPECT_EQ(repeat.read(s), vk::ReadStatus::Bad);
    EXPECT_EQ(repeat.read(s), vk::ReadStatus::End);
}

TEST(ListReader, ReadingNumbersAllocatesNothing) {
    const std::string line = "  630184.1875 , 4467019.25,  -12.5e2 7";
    vktest::AllocationWindow window;
    vk::ListReader reader(line);
    double x = 0, y = 0;
    float z = 0;
    const bool ok = reader.read(x) == vk::ReadStatus::Ok && reader.read(y) == vk::ReadStatus::Ok &&
                    reader.read(z) == vk::ReadStatus::Ok;
    EXPECT_EQ(window.count(), 0u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(x, 630184.1875);
    EXPECT_EQ(y, 4467019.25);
    EXPECT_EQ(z, -1250.0f);
}

} // namespace
