#include "text/strings.h"

#include "allocations.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace std::string_literals;

namespace {

TEST(BlankPaddedText, OnlyTheSpaceCharacterIsABlank) {
    EXPECT_EQ(vk::trimmedLength("ab  "), 2u);
    EXPECT_EQ(vk::trimmedLength("   "), 0u);
    EXPECT_EQ(vk::trimmedLength(""), 0u);
    EXPECT_EQ(vk::trimmedLength("ab\t"), 3u);
    EXPECT_EQ(vk::trimmedLength("ab\0"s), 3u);
    EXPECT_EQ(vk::trimRight("  a b  "), "  a b");
    EXPECT_EQ(vk::cutTo("abcdef", 4), "abcd");
    EXPECT_EQ(vk::cutTo("ab", 4), "ab");
}

TEST(Trimf, RemovesBlanksAtBothEndsButKeepsTabs) {
    EXPECT_EQ(vk::TRIMF("  ab c  "), "ab c");
    EXPECT_EQ(vk::TRIMF("\tx"), "\tx");
    EXPECT_EQ(vk::TRIMF(" x\t "), "x\t");
    EXPECT_EQ(vk::TRIMF("     "), "");
    EXPECT_EQ(vk::TRIMF(""), "");
}

TEST(CharacterRemoval, EachRoutineDropsItsOwnCharactersFromTheSignificantPart) {
    EXPECT_EQ(vk::REMOVESPACES("a b\tc"), "ab\tc");
    EXPECT_EQ(vk::REMOVESPACES("   "), "");
}

TEST(CaseFolding, TouchesTheAsciiLettersOnly) {
    EXPECT_EQ(vk::UPPERCASE("aZz-shp  "), "AZZ-SHP");
    EXPECT_EQ(vk::LOWERCASE("AzZ.MIF  "), "azz.mif");
    // The neighbours of the letter ranges and bytes above 127 stay as they are.
    EXPECT_EQ(vk::UPPERCASE("`{@[\xe4\xc4"), "`{@[\xe4\xc4");
    EXPECT_EQ(vk::LOWERCASE("`{@[\xe4\xc4"), "`{@[\xe4\xc4");
    EXPECT_EQ(vk::UPPERCASE("  a b"), "  A B");
}

TEST(CleanAttributeName, KeepsLettersDigitsAndUnderscore) {
    EXPECT_EQ(vk::CLEANATTRIBUTENAME("Ch.Dist (m)"), "ChDistm");
    EXPECT_EQ(vk::CLEANATTRIBUTENAME("---"), "X");
    EXPECT_EQ(vk::CLEANATTRIBUTENAME("   "), "X");
    EXPECT_EQ(vk::CLEANATTRIBUTENAME(""), "X");
    EXPECT_EQ(vk::CLEANATTRIBUTENAME("Z_09\xe9t\t"), "Z_09t");
    // Not shortened to a field-name width: that is the caller's cut.
    EXPECT_EQ(vk::CLEANATTRIBUTENAME("Shape_Width_or_dMax"), "Shape_Width_or_dMax");
}

TEST(DoubleQuote, DoublesDoubleQuotesOnly) {
    const std::string in = "a\"b\"c 'd'";
    const std::string out = vk::DOUBLEQUOTE(in);
    EXPECT_EQ(out.size(), in.size() + 2);
    EXPECT_EQ(out, "a\"\"b\"\"c 'd'");
    EXPECT_EQ(vk::DOUBLEQUOTE("\"  "), "\"\"");
    EXPECT_EQ(vk::DOUBLEQUOTE(""), "");
}

TEST(FlagExists, FindsTheFlagAnywhereIgnoringCase) {
    EXPECT_TRUE(vk::FLAGEXISTS("x.sdf -SHP -notrim", "-shp"));
    EXPECT_FALSE(vk::FLAGEXISTS("x.sdf -SHP -notrim", "-mif"));
    EXPECT_TRUE(vk::FLAGEXISTS("-shpx", "-shp"));
    EXPECT_FALSE(vk::FLAGEXISTS("cross-section", "CROSS-SECTION:"));
    EXPECT_TRUE(vk::FLAGEXISTS("  CROSS-SECTION:", "cross-section:"));
    EXPECT_TRUE(vk::FLAGEXISTS("abc", "c")); // a match at the very end
}

TEST(FlagExists, BlanksAtTheEndDoNotCountButLeadingBlanksDo) {
    EXPECT_TRUE(vk::FLAGEXISTS("END:", "END:     "));
    EXPECT_FALSE(vk::FLAGEXISTS("END:   ", "END:  x"));
    EXPECT_TRUE(vk::FLAGEXISTS("a  END:", " END:"));
    EXPECT_FALSE(vk::FLAGEXISTS("END:", " END:"));
    // An empty substring occurs in every text.
    EXPECT_TRUE(vk::FLAGEXISTS("", "   "));
    EXPECT_TRUE(vk::FLAGEXISTS("abc", ""));
    EXPECT_FALSE(vk::FLAGEXISTS("", "a"));
    EXPECT_FALSE(vk::FLAGEXISTS("\xe9", "\xc9")); // no folding beyond ASCII
}

TEST(FlagExists, SearchesLongLinesWithoutAllocating) {
    std::string line(150000, 'x');
    line += "Surface Line:";
    vktest::AllocationWindow window;
    const bool found = vk::FLAGEXISTS(line, "SURFACE LINE:");
    const bool missing = vk::FLAGEXISTS(line, "SURFACE LINES");
    EXPECT_EQ(window.count(), 0u);
    EXPECT_TRUE(found);
    EXPECT_FALSE(missing);
}

TEST(Asame, ComparesAfterRemovingQuotesTabsOuterBlanksAndCase) {
    EXPECT_TRUE(vk::ASAME("-SHP", "-shp"));
    EXPECT_TRUE(vk::ASAME("\"-SHP\"", "-shp"));
    EXPECT_TRUE(vk::ASAME("  -Shp", "-shp"));
    EXPECT_TRUE(vk::ASAME("\t' -shp '\t", "-SHP   "));
    EXPECT_TRUE(vk::ASAME("'Yes'", "yes"));
    EXPECT_TRUE(vk::ASAME("y\"e\"s", "YES"));
    EXPECT_FALSE(vk::ASAME("a b", "ab"));
    EXPECT_TRUE(vk::ASAME("a b", "A 'B"));
    EXPECT_FALSE(vk::ASAME("-sh", "-shp"));
    EXPECT_FALSE(vk::ASAME("-shp", "-sh"));
    EXPECT_TRUE(vk::ASAME("", "  \t''"));
    EXPECT_FALSE(vk::ASAME("", "x"));
    // Quotes are removed before the blanks are trimmed: the blank inside stays significant.
    EXPECT_FALSE(vk::ASAME("a' 'b", "ab"));
    EXPECT_TRUE(vk::ASAME("a' 'b", "a b"));
}

TEST(Ainteger, WritesDigitsWithoutLeadingBlanks) {
    EXPECT_EQ(vk::AINTEGER(0), "0");
    EXPECT_EQ(vk::AINTEGER(7), "7");
    EXPECT_EQ(vk::AINTEGER(-15), "-15");
    EXPECT_EQ(vk::AINTEGER(INT32_MIN), "-2147483648");
    EXPECT_EQ(vk::AINTEGER(INT32_MAX), "2147483647");
    EXPECT_EQ(vk::AINTEGER(INT64_MIN), "-9223372036854775808");
}

TEST(NumberOfNumbers, CountsFieldsSeparatedByBlanksTabsAndCommas) {
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1.0 2.0, 3.0"), 3);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1.0\t2.0\t\t3.0  "), 3);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1.5e-3"), 1);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("--"), 1);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1E5 -.5"), 2);
    EXPECT_EQ(vk::NUMBEROFNUMBERS(""), 0);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("    "), 0);
}

TEST(NumberOfNumbers, EmptyFieldsBetweenCommasCount) {
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1,,2"), 3);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1, ,2"), 3);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1 , 2"), 2);
    EXPECT_EQ(vk::NUMBEROFNUMBERS(",1,2,"), 2); // leading and trailing commas add nothing
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1,2,,"), 3);
}

TEST(NumberOfNumbers, CommentsEndTheLineAndOtherTextMakesTheCountNegative) {
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1.0 2.0 ! comment"), 2);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1.0 2.0 #3 4"), 2);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("+1.0"), 0);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1.0 +2.0"), -1);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("12 abc"), -1);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1.0D3"), -1);
    EXPECT_EQ(vk::NUMBEROFNUMBERS("1 2 3\r"), -3); // a carriage return is other text
    EXPECT_EQ(vk::NUMBEROFNUMBERS("CUT LINE:"), 0);
}

TEST(NumberOfNumbers, AllocatesNothing) {
    const std::string line(5000, '7');
    vktest::AllocationWindow window;
    const int n = vk::NUMBEROFNUMBERS(line);
    EXPECT_EQ(window.count(), 0u);
    EXPECT_EQ(n, 1);
}

TEST(AllocationCounter, SeesHeapAllocations) {
    // Guards the allocation checks above against a counter that never counts.
    static std::string* volatile kept = nullptr;
    vktest::AllocationWindow window;
    kept = new std::string(100, 'x');
    const std::size_t seen = window.count();
    delete kept;
    EXPECT_GE(seen, 2u);
}

TEST(AlertLine, WarningsAndErrorsInTheirFourSpellingsAfterAnyLeadingBlanks) {
    const struct {
        std::string_view line;
        bool alert;
    } cases[] = {
        {"WARNING - No levee points detected. Line number: 12", true},
        {"Warning - Cut line with fewer than 2 points not written.", true},
        {"ERROR 0413 - Writing .dbf file header.", true},
        {"Error Expecting STATION: on 9", true},
        {" WARNING - Can''t find file x.sdf, try again", true},  // list-directed
        {"ERROR", true},
        {"warning - lower case", false},
        {"Found new cross-section on line 5", false},
        {"CHECK 0008 - \"x.sdf\" cannot be found", false},
        {"\tWARNING - a tab is not a blank", false},
        {"Finished.", false},
        {"", false},
        {"   ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vk::isAlertLine(c.line), c.alert) << '"' << c.line << '"';
}

TEST(OuterQuotes, APastedQuotedNameLosesItsTwoQuotesOnly) {
    const struct {
        std::string_view reply, name;
    } cases[] = {
        {"\"river.sdf\"", "river.sdf"},
        {"  \"C:\\Models\\Big River\\river.sdf\"  ", "C:\\Models\\Big River\\river.sdf"},
        {"\"\"", ""},
        {"\" spaced \"", " spaced "},
        {"\"a\"b\"", "a\"b"},
        // Anything else is left exactly as typed.
        {"river.sdf", "river.sdf"},
        {"  river.sdf  ", "  river.sdf  "},
        {"\"river.sdf", "\"river.sdf"},
        {"river\".sdf\"", "river\".sdf\""},
        {"'river.sdf'", "'river.sdf'"},
        {"\"", "\""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vk::withoutOuterQuotes(c.reply), c.name) << c.reply;
}

TEST(MessageLines, BlankLinesHoldOnlyBlanksAndTabs) {
    EXPECT_TRUE(vk::isBlankLine(""));
    EXPECT_TRUE(vk::isBlankLine(" \t  \t"));
    EXPECT_FALSE(vk::isBlankLine("  x"));
    EXPECT_FALSE(vk::isBlankLine("\r"));
    EXPECT_FALSE(vk::isBlankLine("\0"s));
}

} // namespace
