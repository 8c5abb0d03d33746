#include "driver/sections.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "conversion_fixture.h"
#include "driver/report.h"
#include "driver/report_page.h"
#include "driver/results.h"
#include "text/webtext.h"
#include "support/writefaults.h"

namespace {

using vktest::ConversionTest;
using vktest::fileExists;
using vktest::readFile;

// ---------------------------------------------------------------------------------------------
// Where a water surface meets the ground, computed from a surface line along the x axis

TEST(ComputeExtent, FromTheLowestPointBetweenTheBanksOutToTheFirstGroundAboveTheWater) {
    const struct {
        std::vector<float> z; // at x = 0, 10, 20, ...
        double from, to, level;
        bool wet;
        double left, right;
    } cases[] = {
        {{5, 1, 5}, 0, 20, 3, true, 5, 15},                // a V: crossings halfway up each side
        {{5, 1, 5}, 0, 20, 1, false, 0, 0},                // the water at the lowest ground: dry
        {{2, 1, 5}, 0, 20, 3, true, 0, 15},                // over the left end: the end point
        {{6, 2, 4, 0, 6}, 0, 40, 3, true, 22.5, 35},       // the lowest point within the banks
        {{6, 2, 4, 0, 6}, 0, 15, 3, true, 7.5, 15},        // ... not the lowest outside them
        {{6, 2, 4, 0, 6}, 12, 18, 3, true, 22.5, 35},      // no point between: the whole line
        {{6, 2, 4, 0, 6}, 12, 18, 5, true, 2.5, 30 + 5 / 6.0 * 10}, // the hump under water
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.z) + " at " + std::to_string(c.level));
        std::vector<double> x, y(c.z.size(), 7.0);
        for (std::size_t i = 0; i < c.z.size(); ++i) x.push_back(10.0 * static_cast<double>(i));
        vk::WaterExtent e;
        ASSERT_EQ(vk::computeExtent(x, y, c.z, x, c.from, c.to, c.level, e), c.wet);
        if (!c.wet) continue;
        EXPECT_DOUBLE_EQ(e.xl, c.left);
        EXPECT_DOUBLE_EQ(e.xr, c.right);
        EXPECT_EQ(e.yl, 7.0);
        EXPECT_EQ(e.yr, 7.0);
    }
}

// A water surface along an L-shaped cut line (0,0)-(100,0)-(100,100): the extents projected onto
// it, its bend between them, the top width its length, the offset the larger distance.
TEST(WaterLineAlong, FollowsTheCutLineBetweenTheProjectedExtents) {
    const struct {
        std::vector<double> x, y; // the line
        vk::WaterExtent e;
        std::vector<double> line; // x1, y1, x2, y2, ...
        double width, offset;
    } cases[] = {
        {{0, 100, 100}, {0, 0, 100}, {20, 0, 100, 30}, {20, 0, 100, 0, 100, 30}, 110, 0},
        {{0, 100, 100}, {0, 0, 100}, {100, 30, 20, 0}, {100, 30, 100, 0, 20, 0}, 110, 0},
        {{0, 100, 100}, {0, 0, 100}, {20, -3, 104, 30}, {20, 0, 100, 0, 100, 30}, 110, 4},
        {{0, 100, 100}, {0, 0, 100}, {20, 0, 60, 0}, {20, 0, 60, 0}, 40, 0},
        {{0, 100, 100}, {0, 0, 100}, {-10, 0, 100, 0}, {0, 0, 100, 0}, 100, 10},
        {{0, 50, 100, 100}, {0, 0, 0, 100}, {50, 0, 100, 100}, {50, 0, 100, 0, 100, 100}, 150, 0},
        {{5}, {5}, {0, 0, 3, 4}, {0, 0, 3, 4}, 5, 0}, // no line: the straight line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.line));
        std::vector<double> chainage(c.x.size(), 0.0), lx, ly, got;
        for (std::size_t i = 1; i < c.x.size(); ++i)
            chainage[i] = chainage[i - 1] + std::hypot(c.x[i] - c.x[i - 1], c.y[i] - c.y[i - 1]);
        double offset = -1;
        EXPECT_DOUBLE_EQ(vk::waterLineAlong(c.x, c.y, chainage, c.e, lx, ly, offset), c.width);
        EXPECT_DOUBLE_EQ(offset, c.offset);
        for (std::size_t i = 0; i < lx.size(); ++i) got.insert(got.end(), {lx[i], ly[i]});
        EXPECT_EQ(got, c.line);
    }
}

TEST(RingCrossesItself, AnyTwoEdgesThatDoNotFollowEachOtherMeeting) {
    const struct {
        std::vector<double> x, y;
        bool crosses;
    } cases[] = {
        {{0, 0, 10, 10}, {0, 10, 10, 0}, false},               // a square
        {{0, 0, 10, 10, 0}, {0, 10, 10, 0, 0}, false},         // closed: the first repeated
        {{0, 0, 0, 10, 10}, {0, 10, 10, 10, 0}, false},        // a vertex repeated
        {{0, 10, 10, 0}, {0, 10, 0, 10}, true},                // a bow tie
        {{0, 0, 10, 5, 10}, {0, 10, 10, 0, 0}, true},          // a vertex on another's edge...
        {{0, 0, 5, 10, 10, 5}, {0, 10, 5, 10, 0, 5}, true},    // ...touching at a vertex
        {{0, 10, 10, 5, 0}, {0, 0, 10, 3, 10}, false},         // concave, not touching
        {{0, 20, 10, 10}, {0, 0, 0, 5}, true},                 // an edge going back on one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.x) + " " + ::testing::PrintToString(c.y));
        EXPECT_EQ(vk::ringCrossesItself(c.x, c.y), c.crosses);
    }
}

// ---------------------------------------------------------------------------------------------
// DISTANCE_8 and the .csv name

TEST(Distance8Test, IsThePlaneDistanceInSinglePrecision) {
    EXPECT_EQ(vk::DISTANCE_8(3512345.125, 5405678.25, 3512348.125, 5405682.25), 5.0f);
    EXPECT_EQ(vk::DISTANCE_8(3512348.125, 5405682.25, 3512345.125, 5405678.25), 5.0f);
    // Differences rounded to float, then squared, summed and rooted in float: the result is not
    // the double distance rounded to float (1.64342391...).
    EXPECT_EQ(vk::DISTANCE_8(3512345.678, 5405678.912, 3512346.789, 5405680.123),
              1.64342379570007324f);
    EXPECT_EQ(vk::DISTANCE_8(0.1, 0.2, 0.3, 0.5), 0.360555142164230347f);
    // Squares and their sum rounded to float as well: in double they would give 1.78339565 and
    // 8.68058205.
    EXPECT_EQ(vk::DISTANCE_8(3517649.58, 5408461.97, 3517649.69, 5408463.75), 1.783395528793335f);
    EXPECT_EQ(vk::DISTANCE_8(3517220.18, 5407984.39, 3517226.12, 5407990.72), 8.680581092834473f);
}

TEST(Distance8Test, DifferencesBelowOneMillionthInFloatGiveZero) {
    // Both differences below 1.0e-6f: 0, although the points are 1.4e-6 apart.
    EXPECT_EQ(vk::DISTANCE_8(0.0, 0.0, 9.999999e-7, 9.999999e-7), 0.0f);
    EXPECT_EQ(vk::DISTANCE_8(1.0, 1.0, 1.0 + 9.9e-7, 1.0), 0.0f);
    // 9.9999999e-7 is below 1.0e-6 in double but rounds to 1.0e-6f, which is not below it.
    EXPECT_EQ(vk::DISTANCE_8(0.0, 0.0, 9.9999999e-7, 0.0), 1.0e-6f);
    // One difference large enough is enough.
    EXPECT_EQ(vk::DISTANCE_8(0.0, 0.0, 5.0e-7, 2.0), 2.0f);
    EXPECT_EQ(vk::DISTANCE_8(7.0, 7.0, 7.0, 7.0), 0.0f);
}

TEST(CsvNameTest, JoinsTrimmedPartsAndReplacesFolderSeparators) {
    std::string name = "left over", file = "left over";
    vk::composeCsvName(name, file, " Creek  ", " Upper/Lower ", " 12\\3 ");
    EXPECT_EQ(name, " Creek_ Upper_Lower_ 12_3.csv");
    vk::composeCsvName(name, file, "A", "", "7");
    EXPECT_EQ(name, "A__7.csv");
}

// Cut before ".csv" at whole characters to 255 bytes of UTF-8; the attribute at the same letter.
TEST(CsvNameTest, LongNamesAreCutToWhatEverySystemTakes) {
    const auto x = [](std::string_view s, int n) { std::string o; while (n-- > 0) o += s; return o; };
    const struct { std::string stream, name, file; } cases[] = {
        {x("x", 308), x("x", 251) + ".csv", ""},
        {x("a", 250) + "\xE9", x("a", 250) + ".csv", ""},  // no half letter
        {x("a", 246) + "\xE9", x("a", 246) + "\xE9_B_.csv", x("a", 246) + "\xC3\xA9_B_.csv"},
        {x("\xE9\xBB\x84", 120), x("\xE9\xBB\x84", 83) + ".csv", ""},  // 370 bytes
        {x("\xF0\x9F\x8C\x8A", 63), x("\xF0\x9F\x8C\x8A", 62) + ".csv", ""},
    };
    for (const auto& c : cases) {
        std::string name, file;
        vk::composeCsvName(name, file, c.stream, "B", "1");
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(file, c.file.empty() ? c.name : c.file);
    }
}

TEST(CsvNameTest, CharactersWindowsRefusesInFileNamesBecomeUnderscores) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view stream, reach, station, name;
        std::string_view file = {};  // the name as UTF-8; empty: the name itself
    };
    const Case cases[] = {
        {"NUL\0in"sv, "r", "\0"sv, "NUL_in_r__.csv"},
        // Windows device names, alone or with an extension, in any case: an "_" after the word.
        {" NUL.Drain", "r", "1", " NUL_.Drain_r_1.csv"},
        {"aux", "r", "1", "aux__r_1.csv"},
        {"Com1.x", "r", "1", "Com1_.x_r_1.csv"},
        {"LPT9", "r", "1", "LPT9__r_1.csv"},
        {"AUX .x", "r", "1", "AUX_ .x_r_1.csv"}, {"nul  .x", "r", "1", "nul_  .x_r_1.csv"},
        {"NUL x.y", "r", "1", "NUL x.y_r_1.csv"},
        {"CONE.1", "r", "1", "CONE.1_r_1.csv"},
        {"COM0.1", "r", "1", "COM0.1_r_1.csv"},
        {"A<B>", "C:D", "1", "A_B__C_D_1.csv"},
        {"say \"hi\"", "x|y", "2?*", "say _hi__x_y_2__.csv"},
        {"tab\there", "cr\rlf\n", "\x01\x1f", "tab_here_cr_lf____.csv"},
        // Kept: blanks, commas, apostrophes, DEL and the bytes of other code pages, whose letters
        // the file's name gives in UTF-8.
        {"a ,'b'", "\x7f\xe9\xff", "3", "a ,'b'_\x7f\xe9\xff_3.csv",
         "a ,'b'_\x7f\xc3\xa9\xc3\xbf_3.csv"},
        // Only whole characters are replaced: no byte of a UTF-8 sequence is taken for one.
        {"\xE6\xB2\xB3:\x01", "\xF0\x9F\x8C\x8A|", "\xC3",
         "\xE6\xB2\xB3___\xF0\x9F\x8C\x8A__\xC3.csv",
         "\xE6\xB2\xB3___\xF0\x9F\x8C\x8A__\xC3\x83.csv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name));
        std::string name, file;
        vk::composeCsvName(name, file, c.stream, c.reach, c.station);
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(file, c.file.empty() ? c.name : c.file);
    }
}

// ---------------------------------------------------------------------------------------------
// One section through the five layers

// The valley section: eleven points 10 apart along Y = 5000 from X = 1000, so the chainage is
// 0, 10, ..., 100 and L = 100; the lowest point is the sixth (chainage 50, Z 100).
constexpr float kValleyZ[11] = {110, 108, 106, 104, 102, 100, 102.5, 104.5, 106.5, 108.5, 110.5};

const char* const kValleyCsv[11] = {
    "     0.000,110.0000", "    10.000,108.0000", "    20.000,106.0000", "    30.000,104.0000",
    "    40.000,102.0000", "    50.000,100.0000", "    60.000,102.5000", "    70.000,104.5000",
    "    80.000,106.5000", "    90.000,108.5000", "   100.000,110.5000",
};

const char* const kValleyXY[11] = {
    "     1000.000000     5000.000000", "     1010.000000     5000.000000",
    "     1020.000000     5000.000000", "     1030.000000     5000.000000",
    "     1040.000000     5000.000000", "     1050.000000     5000.000000",
    "     1060.000000     5000.000000", "     1070.000000     5000.000000",
    "     1080.000000     5000.000000", "     1090.000000     5000.000000",
    "     1100.000000     5000.000000",
};

const char* const kValleyPoints[11] = {
    R"(" Creek"," Upper"," 250",   110.000,  0.0000)",
    R"(" Creek"," Upper"," 250",   108.000,  0.0000)",
    R"(" Creek"," Upper"," 250",   106.000,  0.0000)",
    R"(" Creek"," Upper"," 250",   104.000,  0.0000)",
    R"(" Creek"," Upper"," 250",   102.000,  0.0000)",
    R"(" Creek"," Upper"," 250",   100.000,  0.0000)",
    R"(" Creek"," Upper"," 250",   102.500,  0.0000)",
    R"(" Creek"," Upper"," 250",   104.500,  0.0000)",
    R"(" Creek"," Upper"," 250",   106.500,  0.0000)",
    R"(" Creek"," Upper"," 250",   108.500,  0.0000)",
    R"(" Creek"," Upper"," 250",   110.500,  0.0000)",
};

constexpr std::string_view kValleyEndPoints = "110.0000,  0.0000,     0.000,\"\"\n"
                                              "110.5000,  0.0000,     0.000,\"\"\n";
constexpr std::string_view kValleyEndMif = "Point      1000.000000     5000.000000\n"
                                           "Point      1100.000000     5000.000000\n";
constexpr std::string_view kSourceNoN =
    R"(" Creek_ Upper_ 250.csv","xz","","","","","","","",     0.000,   0.000,   0.000,"")"
    "\n";
constexpr std::string_view kSourceWithN =
    R"(" Creek_ Upper_ 250.csv","xz","n","","","","","","",     0.000,   0.000,   0.000,"")"
    "\n";
constexpr std::string_view kCsvNoN = "\"X\",\"Z\"\n";
constexpr std::string_view kCsvFile = "Creek_ Upper_ 250.csv";
constexpr std::string_view kCsvTranscript =
    "\nTrying to open file Creek_ Upper_ 250.csv...OK.  File Unit:1011\n"
    "...Closed File Unit:1011\n";

// Lines from..to (inclusive) of a table, each with the prefix and a line end.
std::string rows(const char* const* table, int from, int to, std::string_view prefix = {}) {
    std::string text;
    for (int i = from; i <= to; ++i) text.append(prefix).append(table[i]).append("\n");
    return text;
}

std::string plineRows(int from, int to) {
    return "Pline " + std::to_string(to - from + 1) + "\n" + rows(kValleyXY, from, to);
}

struct Marker {
    const char* id;
    float position;
    float height;
};

// A section store with room in every block, which the tests fill by index; its counts say how much
// of that the section holds (the reader leaves each array at its count).
vk::SdfSection withRoom() {
    vk::SdfSection s;
    for (auto* points : {&s.cutX, &s.cutY, &s.surfaceX, &s.surfaceY})
        points->resize(vk::SdfSection::kInitialPoints);
    for (auto* values : {&s.nPosition, &s.nValue, &s.leveePosition, &s.leveeHeight, &s.surfaceZ})
        values->resize(vk::SdfSection::kInitialPoints);
    s.leveeId.resize(vk::SdfSection::kInitialLevees);
    return s;
}

vk::SdfSection surfaceSection(std::initializer_list<double> x, std::initializer_list<double> y,
                              std::initializer_list<float> z) {
    vk::SdfSection s = withRoom();
    s.station = " 250";
    s.hasSurfaceLine = true;
    s.surfaceCount = static_cast<int>(x.size());
    std::copy(x.begin(), x.end(), s.surfaceX.begin());
    std::copy(y.begin(), y.end(), s.surfaceY.begin());
    std::copy(z.begin(), z.end(), s.surfaceZ.begin());
    return s;
}

vk::SdfSection valley() {
    vk::SdfSection s = withRoom();
    s.station = " 250";
    s.hasSurfaceLine = true;
    s.surfaceCount = 11;
    for (int i = 0; i < 11; ++i) {
        s.surfaceX[i] = 1000.0 + 10.0 * i;
        s.surfaceY[i] = 5000.0;
        s.surfaceZ[i] = kValleyZ[i];
    }
    return s;
}

void setMarkers(vk::SdfSection& s, std::initializer_list<Marker> markers) {
    s.hasLevees = true;
    s.leveeCount = static_cast<int>(markers.size());
    int k = 0;
    for (const Marker& m : markers) {
        s.leveeId[k] = m.id;
        s.leveePosition[k] = m.position;
        s.leveeHeight[k] = m.height;
        ++k;
    }
}

void setNValues(vk::SdfSection& s, std::initializer_list<std::pair<float, float>> pairs) {
    s.hasNValues = true;
    s.nCount = static_cast<int>(pairs.size());
    int j = 0;
    for (const auto& [position, n] : pairs) {
        s.nPosition[j] = position;
        s.nValue[j] = n;
        ++j;
    }
}

class SectionTest : public ConversionTest {
protected:
    void SetUp() override {
        ConversionTest::SetUp();
        openSectionLayers();
    }

    // Processes the sections, closes the layers and keeps what the sections wrote to the console.
    void convert(std::initializer_list<const vk::SdfSection*> sections) {
        for (const vk::SdfSection* s : sections) output.section(ids, *s);
        sectionTranscript = transcript;
        output.crossSectionsDone();
    }
    void convert(const vk::SdfSection& s) { convert({&s}); }

    // The six files that a trimmed valley section writes, given the kept points from..to.
    void expectTrimmedValley(int from, int to) {
        EXPECT_EQ(read(kCsvFile), std::string(kCsvNoN) + rows(kValleyCsv, from, to));
        EXPECT_EQ(mifBody("1d_xs_river_surf_line.mif"), plineRows(from, to));
        EXPECT_EQ(read("1d_xs_river_surf_line.mid"), kSourceNoN);
        EXPECT_EQ(mifBody("river_surf_pts.mif"), rows(kValleyXY, from, to, "Point "));
        EXPECT_EQ(read("river_surf_pts.mid"), rows(kValleyPoints, from, to));
        EXPECT_EQ(mifBody("2d_zsh_river_end_pts.mif"), kValleyEndMif);
        EXPECT_EQ(read("2d_zsh_river_end_pts.mid"), kValleyEndPoints);
    }

    vk::SdfIds ids{" Creek", " Upper"};
    std::string sectionTranscript;
};

TEST_F(SectionTest, WithoutLeveeMarkersEveryPointIsKept) {
    const vk::SdfSection s = valley();
    convert(s);
    expectTrimmedValley(0, 10);
    EXPECT_EQ(read("river_levee_pts.mid"), "");
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "");
    EXPECT_EQ(mifBody("river_cut_line.mif"), "");
    EXPECT_EQ(sectionTranscript, kCsvTranscript);
}

TEST_F(SectionTest, OneMarkerBeforeTheLowestPointDropsThePointsBeforeIt) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"Left", 0.3f, 105.0f}});
    convert(s);
    // 0.3f x 100 rounds to 30.0000019 in float, 1.9e-6 beyond the point at chainage 30 (and the
    // marker is placed there, t computed in float); the point at the marker stays all the same.
    expectTrimmedValley(3, 10);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1030.000002     5000.000000\n");
    EXPECT_EQ(read("river_levee_pts.mid"), R"(" Creek"," Upper"," 250",   105.000,Left)"
                                           "\n");
    EXPECT_EQ(sectionTranscript, kCsvTranscript);
}

TEST_F(SectionTest, MarkerIsInterpolatedWithASinglePrecisionParameter) {
    // A 10 km line (6000 by 8000): 0.3f x 10000 is 3000 in float and t = 0.3f, which puts the
    // marker 0.3000000119 of the way along, in double coordinates.
    vk::SdfSection s = surfaceSection({3500000.0, 3506000.0}, {5400000.0, 5408000.0},
                                      {2.0f, 1.0f});
    setMarkers(s, {{"L", 0.3f, 1.0f}});
    convert(s);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point   3501800.000072  5402400.000095\n");
}

TEST_F(SectionTest, OneMarkerAfterTheLowestPointDropsThePointsAfterIt) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"Right", 0.7f, 106.0f}});
    convert(s);
    expectTrimmedValley(0, 7);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1070.000000     5000.000000\n");
}

TEST_F(SectionTest, TwoMarkersKeepThePointsBetweenThemInclusive) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"L", 0.2f, 105.5f}, {"R", 0.8f, 106.25f}});
    convert(s);
    // Chainage keeps its origin at the first point of the whole line; the end points are the
    // ends of the whole line.
    expectTrimmedValley(2, 8);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1020.000000     5000.000000\n"
                                              "Point      1080.000000     5000.000000\n");
    EXPECT_EQ(read("river_levee_pts.mid"), R"(" Creek"," Upper"," 250",   105.500,L)"
                                           "\n"
                                           R"(" Creek"," Upper"," 250",   106.250,R)"
                                           "\n");
}

TEST_F(SectionTest, CrestPointsUnderBothMarkersAreKept) {
    // Chainage 0, 15, 30, 45, 53, 76, 100 (L = 100): the crests at 30 and 53, the channel
    // between. In float 0.3 x L is 30.0000019 and 0.53 x L 52.999996: each crest lies just outside
    // its marker, on opposite sides, and both stay.
    vk::SdfSection s =
        surfaceSection({1000, 1015, 1030, 1045, 1053, 1076, 1100}, {0, 0, 0, 0, 0, 0, 0},
                       {103.0f, 104.0f, 107.0f, 100.0f, 107.5f, 104.0f, 103.0f});
    setMarkers(s, {{"L", 0.3f, 107.0f}, {"R", 0.53f, 107.5f}});
    convert(s);
    EXPECT_EQ(read(kCsvFile), std::string(kCsvNoN) + "    30.000,107.0000\n"
                                                     "    45.000,100.0000\n"
                                                     "    53.000,107.5000\n");
    EXPECT_EQ(mifBody("1d_xs_river_surf_line.mif"), "Pline 3\n"
                                                    "     1030.000000        0.000000\n"
                                                    "     1045.000000        0.000000\n"
                                                    "     1053.000000        0.000000\n");
    EXPECT_EQ(sectionTranscript, kCsvTranscript);
}

TEST_F(SectionTest, KeptRangeWidensByOneTenThousandthOfTheLength) {
    // L = 100: a point is kept within 0.01 beyond the marker, on the side the marker keeps.
    const struct {
        float position;
        int from, to; // the points kept
    } cases[] = {
        {0.30009f, 3, 10}, // 30.009 - 0.01 lies before the point at 30
        {0.3002f, 4, 10},  // 30.02 - 0.01 lies beyond it
        {0.69991f, 0, 7},  // after the lowest point: 69.991 + 0.01 reaches the point at 70
        {0.6998f, 0, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        vk::SdfSection s = valley();
        setMarkers(s, {{"M", c.position, 1.0f}});
        state.ownTables = {};  // each case writes the one table afresh, as a run of its own would
        output.section(ids, s);
        EXPECT_EQ(readFile(dir.file(kCsvFile)),
                  std::string(kCsvNoN) + rows(kValleyCsv, c.from, c.to));
    }
}

TEST_F(SectionTest, WrittenFeaturesAreCountedByLayer) {
    vk::SdfSection trimmed = valley();
    setMarkers(trimmed, {{"L", 0.2f, 1.0f}, {"R", 0.8f, 1.0f}});
    trimmed.hasCutLine = true;
    trimmed.cutCount = 2;
    vk::SdfSection cutOnly = withRoom();
    cutOnly.station = " 300";
    cutOnly.hasCutLine = true;
    cutOnly.cutCount = 2;
    vk::SdfSection reversed = valley();
    reversed.station = " 310";
    setMarkers(reversed, {{"R", 0.8f, 1.0f}, {"L", 0.2f, 1.0f}});
    reversed.hasCutLine = true;
    reversed.cutCount = 1;
    convert({&trimmed, &cutOnly, &reversed});

    const vk::RunCounts& n = output.written();
    EXPECT_EQ(n.centrelines, 0);
    EXPECT_EQ(n.cutLines, 2);      // the one-point cut line is not written
    EXPECT_EQ(n.surfaceLines, 1);  // every point of the reversed section is dropped
    EXPECT_EQ(n.surfacePoints, 7); // points 2 to 8 of the first
    EXPECT_EQ(n.endPoints, 4);
    EXPECT_EQ(n.leveePoints, 4);
    EXPECT_EQ(n.tables, 2);
    EXPECT_EQ(n.warnings, 0); // counted by the run from the console
}

TEST_F(SectionTest, TwoMarkersInReverseOrderDropEveryPoint) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"R", 0.8f, 106.0f}, {"L", 0.2f, 105.0f}});
    convert(s);
    EXPECT_EQ(read(kCsvFile), kCsvNoN);
    EXPECT_EQ(mifBody("1d_xs_river_surf_line.mif"), "");
    EXPECT_EQ(read("1d_xs_river_surf_line.mid"), "");
    EXPECT_EQ(read("river_surf_pts.mid"), "");
    EXPECT_EQ(read("2d_zsh_river_end_pts.mid"), kValleyEndPoints);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1080.000000     5000.000000\n"
                                              "Point      1020.000000     5000.000000\n");
    EXPECT_EQ(sectionTranscript, std::string(kCsvTranscript) + "\nError here.\n");
}

TEST_F(SectionTest, OnePointLeftBetweenTheMarkersWritesNoSurfaceLine) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"L", 0.45f, 101.0f}, {"R", 0.55f, 101.0f}});
    convert(s);
    EXPECT_EQ(read(kCsvFile), std::string(kCsvNoN) + rows(kValleyCsv, 5, 5));
    EXPECT_EQ(read("1d_xs_river_surf_line.mid"), "");
    EXPECT_EQ(read("river_surf_pts.mid"), rows(kValleyPoints, 5, 5));
    EXPECT_EQ(sectionTranscript, std::string(kCsvTranscript) + "\nError here.\n");
}

TEST_F(SectionTest, FourMarkersTrimToThePairAroundTheLowestPoint) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"L2", 0.1f, 109.0f},
                   {"L1", 0.3f, 105.0f},
                   {"R1", 0.7f, 105.0f},
                   {"R2", 0.9f, 109.0f}});
    convert(s);
    // Positions 10, 30.0000019, 70 and 90: the pair is the second and third marker, and the point
    // at chainage 30 is kept with them.
    expectTrimmedValley(3, 7);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1010.000000     5000.000000\n"
                                              "Point      1030.000002     5000.000000\n"
                                              "Point      1070.000000     5000.000000\n"
                                              "Point      1090.000000     5000.000000\n");
    EXPECT_EQ(sectionTranscript,
              "\nWARNING - More than 2 levee markers found.\n" + std::string(kCsvTranscript));
}

TEST_F(SectionTest, ThreeMarkersThatDoNotEncloseTheLowestPointDropNothing) {
    vk::SdfSection allAfter = valley();
    setMarkers(allAfter, {{"A", 0.6f, 1.0f}, {"B", 0.7f, 1.0f}, {"C", 0.8f, 1.0f}});
    convert(allAfter);
    expectTrimmedValley(0, 10);
    const std::string warnings = "\nWARNING - More than 2 levee markers found.\n"
                                 "\nERROR - Determing which two levee markes to use.\n"
                                 "\nERROR - Determing which two levee markes to use.\n";
    EXPECT_EQ(sectionTranscript, warnings + std::string(kCsvTranscript));
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1060.000004     5000.000000\n"
                                              "Point      1070.000000     5000.000000\n"
                                              "Point      1080.000000     5000.000000\n");
}

TEST_F(SectionTest, ThreeMarkersAllBeforeTheLowestPointDropNothing) {
    vk::SdfSection allBefore = valley();
    setMarkers(allBefore, {{"A", 0.1f, 1.0f}, {"B", 0.2f, 1.0f}, {"C", 0.3f, 1.0f}});
    convert(allBefore);
    expectTrimmedValley(0, 10);
    EXPECT_EQ(sectionTranscript, "\nWARNING - More than 2 levee markers found.\n"
                                 "\nERROR - Determing which two levee markes to use.\n"
                                 "\nERROR - Determing which two levee markes to use.\n" +
                                     std::string(kCsvTranscript));
}

TEST_F(SectionTest, MarkerAtPositionZeroLiesOnTheFirstPoint) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"L", 0.0f, 110.0f}, {"R", 0.8f, 106.0f}});
    convert(s);
    expectTrimmedValley(0, 8);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1000.000000     5000.000000\n"
                                              "Point      1080.000000     5000.000000\n");
}

TEST_F(SectionTest, MarkerBeyondTheEndLiesOnTheLastPoint) {
    vk::SdfSection s = valley();
    // 1.5 lies beyond the line; 1e38 x 100 overflows float.
    setMarkers(s, {{"L", 0.2f, 1.0f}, {"R", 1.5f, 2.0f}, {"X", 1.0e38f, 3.0f}});
    convert(s);
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      1020.000000     5000.000000\n"
                                              "Point      1100.000000     5000.000000\n"
                                              "Point      1100.000000     5000.000000\n");
    // Markers 20, 150, inf; the lowest point (50) lies between the first two.
    EXPECT_EQ(read(kCsvFile), std::string(kCsvNoN) + rows(kValleyCsv, 2, 10));
}

TEST_F(SectionTest, ZeroLengthSurfaceLineNeverGivesNaN) {
    vk::SdfSection s = surfaceSection({2000.5, 2000.5, 2000.5}, {7000.25, 7000.25, 7000.25},
                                      {12.0f, 11.0f, 13.0f});
    setMarkers(s, {{"L", 0.5f, 1.0f}, {"R", 1.0e38f, 2.0f}});
    convert(s);
    // 0.5 x 0 puts the first marker on the first point; 1e38 x 0 is 0 as well.
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point      2000.500000     7000.250000\n"
                                              "Point      2000.500000     7000.250000\n");
    EXPECT_EQ(read(kCsvFile), std::string(kCsvNoN) + "     0.000, 12.0000\n"
                                                     "     0.000, 11.0000\n"
                                                     "     0.000, 13.0000\n");
    EXPECT_EQ(read("river_levee_pts.mid").find("nan"), std::string::npos);
}

TEST_F(SectionTest, OverflowingChainageNeverGivesNaN) {
    // The second step is beyond float range: chainage and both scaled positions are infinite.
    vk::SdfSection s = surfaceSection({0.0, 10.0, 1.0e300}, {0.0, 0.0, 0.0}, {5.0f, 1.0f, 5.0f});
    setMarkers(s, {{"L", 0.5f, 1.0f}, {"R", 0.9f, 2.0f}});
    convert(s);
    // Both markers lie on the last point, whose X does not fit a MIF coordinate field.
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "Point ****************        0.000000\n"
                                              "Point ****************        0.000000\n");
}

TEST_F(SectionTest, WhenEveryElevationIsOutOfRangeTheFirstPointIsTheLowest) {
    vk::SdfSection s = valley();
    for (int i = 0; i < 11; ++i) s.surfaceZ[i] = 999999.0f;
    setMarkers(s, {{"L", 0.3f, 1.0f}});
    convert(s);
    // The lowest point at chainage 0 lies before the marker: the points after it are dropped.
    EXPECT_EQ(read(kCsvFile), "\"X\",\"Z\"\n"
                              "     0.000,999999.0000\n"
                              "    10.000,999999.0000\n"
                              "    20.000,999999.0000\n"
                              "    30.000,999999.0000\n");
}

// With -notrim the reader keeps a section's markers from being used (hasLevees false).
TEST_F(SectionTest, WithoutTrimmingMarkersAreIgnored) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"L", 0.2f, 1.0f}, {"R", 0.8f, 1.0f}});
    s.hasLevees = false;
    convert(s);
    expectTrimmedValley(0, 10);
    EXPECT_EQ(read("river_levee_pts.mid"), "");
    EXPECT_EQ(mifBody("river_levee_pts.mif"), "");
}

TEST_F(SectionTest, NValuesApplyFromTheirPositions) {
    vk::SdfSection s = valley();
    setNValues(s, {{0.0f, 0.06f}, {0.5f, 0.035f}});
    convert(s);
    EXPECT_EQ(read(kCsvFile), "\"X\",\"Z\",\"N\"\n"
                              "     0.000,110.0000, 0.0600\n"
                              "    10.000,108.0000, 0.0600\n"
                              "    20.000,106.0000, 0.0600\n"
                              "    30.000,104.0000, 0.0600\n"
                              "    40.000,102.0000, 0.0600\n"
                              "    50.000,100.0000, 0.0350\n"
                              "    60.000,102.5000, 0.0350\n"
                              "    70.000,104.5000, 0.0350\n"
                              "    80.000,106.5000, 0.0350\n"
                              "    90.000,108.5000, 0.0350\n"
                              "   100.000,110.5000, 0.0350\n");
    EXPECT_EQ(read("1d_xs_river_surf_line.mid"), kSourceWithN);
    const std::string points = read("river_surf_pts.mid");
    EXPECT_NE(points.find(R"(" Creek"," Upper"," 250",   102.000,  0.0600)"
                          "\n"
                          R"(" Creek"," Upper"," 250",   100.000,  0.0350)"
                          "\n"),
              std::string::npos)
        << points;
}

TEST_F(SectionTest, NValuesMoveOnByOnePairPerPoint) {
    vk::SdfSection s = valley();
    // The first pair's position is never consulted; at chainage 30 the line has passed both
    // 21 and 25, but takes only one step.
    setNValues(s, {{0.9f, 0.05f}, {0.21f, 0.04f}, {0.25f, 0.03f}, {0.95f, 0.02f}});
    convert(s);
    EXPECT_EQ(read(kCsvFile), "\"X\",\"Z\",\"N\"\n"
                              "     0.000,110.0000, 0.0500\n"
                              "    10.000,108.0000, 0.0500\n"
                              "    20.000,106.0000, 0.0500\n"
                              "    30.000,104.0000, 0.0400\n"
                              "    40.000,102.0000, 0.0300\n"
                              "    50.000,100.0000, 0.0300\n"
                              "    60.000,102.5000, 0.0300\n"
                              "    70.000,104.5000, 0.0300\n"
                              "    80.000,106.5000, 0.0300\n"
                              "    90.000,108.5000, 0.0300\n"
                              "   100.000,110.5000, 0.0200\n");
}

TEST_F(SectionTest, AnNValueBlockWithoutPairsCountsAsNoNValues) {
    vk::SdfSection s = valley();
    s.hasNValues = true;
    s.nCount = 0;
    convert(s);
    expectTrimmedValley(0, 10);
}

TEST_F(SectionTest, WithoutSurfaceLineOnlyTheCutLineIsWritten) {
    vk::SdfSection s = withRoom();
    s.station = " 250";
    s.hasCutLine = true;
    s.cutCount = 3;
    s.cutX[0] = 3512000.5, s.cutY[0] = 5405000.25;
    s.cutX[1] = 3512010.0, s.cutY[1] = 5405010.0;
    s.cutX[2] = -12.125, s.cutY[2] = 0.5;
    vk::SdfSection empty = valley();
    empty.surfaceCount = 0;  // a block that ended before its first point
    convert({&s, &empty});

    const std::string warning =
        "\nWarning - No surface line for section in sdf, unable to export .csv format section.\n"
        " Creek Upper 250\n";
    EXPECT_EQ(sectionTranscript, warning + warning);
    EXPECT_FALSE(fileExists(dir.file(kCsvFile)));
    EXPECT_EQ(mifBody("river_cut_line.mif"), "Pline 3\n"
                                             "  3512000.500000  5405000.250000\n"
                                             "  3512010.000000  5405010.000000\n"
                                             "      -12.125000        0.500000\n");
    EXPECT_EQ(read("river_cut_line.mid"), R"(" Creek"," Upper"," 250")"
                                          "\n");
    for (const char* layer : {"river_surf_pts.mid", "2d_zsh_river_end_pts.mid",
                              "1d_xs_river_surf_line.mid", "river_levee_pts.mid"})
        EXPECT_EQ(read(layer), "") << layer;
}

TEST_F(SectionTest, CutLineComesAfterTheSurfaceObjects) {
    vk::SdfSection s = valley();
    s.hasCutLine = true;
    s.cutCount = 2;
    s.cutX[0] = 1000.0, s.cutY[0] = 5000.0;
    s.cutX[1] = 1100.0, s.cutY[1] = 5000.0;
    convert(s);
    expectTrimmedValley(0, 10);
    EXPECT_EQ(mifBody("river_cut_line.mif"), "Pline 2\n" + rows(kValleyXY, 0, 0) +
                                                 rows(kValleyXY, 10, 10));
}

TEST_F(SectionTest, CutLineWithFewerThanTwoPointsIsNotWritten) {
    vk::SdfSection s = valley();
    s.hasCutLine = true;
    s.cutCount = 1;
    s.cutX[0] = 1.0, s.cutY[0] = 2.0;
    convert(s);
    EXPECT_EQ(read("river_cut_line.mid"), "");
    EXPECT_EQ(mifBody("river_cut_line.mif"), "");
    EXPECT_EQ(sectionTranscript,
              std::string(kCsvTranscript) +
                  "\nWarning - Cut line with fewer than 2 points not written.\n");
}

TEST_F(SectionTest, WideNumbersKeepTheirValue) {
    vk::SdfSection s = surfaceSection({10.0, 20.0, 30.0}, {0.0, 0.0, 0.0},
                                      {1234.5f, -150.25f, 99999.5f});
    setMarkers(s, {{"L", 0.0f, 12345678.0f}, {"R", 1.0f, -1000.0f}});
    convert(s);
    EXPECT_EQ(read(kCsvFile), "\"X\",\"Z\"\n"
                              "     0.000,1234.5000\n"
                              "    10.000,-150.2500\n"
                              "    20.000,99999.5000\n");
    EXPECT_EQ(read("river_surf_pts.mid"), R"(" Creek"," Upper"," 250",  1234.500,  0.0000)"
                                          "\n"
                                          R"(" Creek"," Upper"," 250",  -150.250,  0.0000)"
                                          "\n"
                                          R"(" Creek"," Upper"," 250", 99999.500,  0.0000)"
                                          "\n");
    EXPECT_EQ(read("2d_zsh_river_end_pts.mid"), "1234.5000,  0.0000,     0.000,\"\"\n"
                                                "99999.5000,  0.0000,     0.000,\"\"\n");
    EXPECT_EQ(read("river_levee_pts.mid"), R"(" Creek"," Upper"," 250",12345678.000,L)"
                                           "\n"
                                           R"(" Creek"," Upper"," 250", -1000.000,R)"
                                           "\n");
}

TEST_F(SectionTest, ChainageIsSummedInSinglePrecision) {
    // 100000 + 0.3 is 100000.296875 in float, + 0.3 again 100000.59375.
    vk::SdfSection s = surfaceSection({0.0, 100000.0, 100000.3, 100000.6}, {0.0, 0.0, 0.0, 0.0},
                                      {1.0f, 2.0f, 3.0f, 4.0f});
    convert(s);
    EXPECT_EQ(read(kCsvFile), "\"X\",\"Z\"\n"
                              "     0.000,  1.0000\n"
                              "100000.000,  2.0000\n"
                              "100000.297,  3.0000\n"
                              "100000.594,  4.0000\n");
}

TEST_F(SectionTest, QuotesAreDoubledInAttributeTextsOnly) {
    ids = {R"( Big "Q" Creek)", " Upper/Lower"};
    vk::SdfSection s = valley();
    s.surfaceCount = 2;
    setMarkers(s, {{R"(L"1)", 0.0f, 1.0f}});
    s.hasCutLine = true;
    s.cutCount = 2;
    convert(s);

    // The table's name, and so the Source attribute, has no quotes: they cannot be in a file name.
    const std::string csv = "Big _Q_ Creek_ Upper_Lower_ 250.csv";
    EXPECT_EQ(read(csv), std::string(kCsvNoN) + rows(kValleyCsv, 0, 1));
    EXPECT_EQ(sectionTranscript, "\nTrying to open file " + csv +
                                     "...OK.  File Unit:1011\n...Closed File Unit:1011\n");
    EXPECT_EQ(read("1d_xs_river_surf_line.mid"),
              R"(" Big _Q_ Creek_ Upper_Lower_ 250.csv","xz","","","","","","","",)"
              R"(     0.000,   0.000,   0.000,"")"
              "\n");
    EXPECT_EQ(read("river_surf_pts.mid"),
              R"(" Big ""Q"" Creek"," Upper/Lower"," 250",   110.000,  0.0000)"
              "\n"
              R"(" Big ""Q"" Creek"," Upper/Lower"," 250",   108.000,  0.0000)"
              "\n");
    EXPECT_EQ(read("river_levee_pts.mid"),
              R"(" Big ""Q"" Creek"," Upper/Lower"," 250",     1.000,L"1)"
              "\n");
    EXPECT_EQ(read("river_cut_line.mid"), R"(" Big ""Q"" Creek"," Upper/Lower"," 250")"
                                          "\n");
}

TEST_F(SectionTest, AttributeLinesAreCutAtAThousandCharacters) {
    // Without a surface line no table is created, whose name could not hold 1000 characters.
    ids.streamId = " " + std::string(1100, 'S');
    vk::SdfSection s = withRoom();
    s.station = " 250";
    s.hasCutLine = true;
    s.cutCount = 2;
    convert(s);
    EXPECT_EQ(read("river_cut_line.mid"), "\" " + std::string(998, 'S') + "\n");
}

TEST_F(SectionTest, LeveeIdsAreCutAtFiftyCharacters) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"", 0.0f, 1.0f}});
    s.leveeId[0] = std::string(49, 'L') + "MN  ";
    convert(s);
    EXPECT_EQ(read("river_levee_pts.mid"),
              R"(" Creek"," Upper"," 250",     1.000,)" + std::string(49, 'L') + "M\n");
}

TEST_F(SectionTest, WorkArraysAreClearedForEverySection) {
    vk::SdfSection trimmed = valley();
    setMarkers(trimmed, {{"L", 0.2f, 1.0f}, {"R", 0.8f, 1.0f}});
    setNValues(trimmed, {{0.0f, 0.05f}, {0.5f, 0.03f}});
    vk::SdfSection whole = valley();
    whole.station = " 260";
    convert({&trimmed, &whole});

    EXPECT_EQ(read("Creek_ Upper_ 250.csv"), "\"X\",\"Z\",\"N\"\n"
                                             "    20.000,106.0000, 0.0500\n"
                                             "    30.000,104.0000, 0.0500\n"
                                             "    40.000,102.0000, 0.0500\n"
                                             "    50.000,100.0000, 0.0300\n"
                                             "    60.000,102.5000, 0.0300\n"
                                             "    70.000,104.5000, 0.0300\n"
                                             "    80.000,106.5000, 0.0300\n");
    // The second section has no markers and no n values: every point, and N of 0.
    std::string expected(kCsvNoN);
    expected += rows(kValleyCsv, 0, 10);
    EXPECT_EQ(read("Creek_ Upper_ 260.csv"), expected);
    const std::string points = read("river_surf_pts.mid");
    EXPECT_NE(points.find(R"(" Creek"," Upper"," 260",   110.000,  0.0000)"), std::string::npos);
}

TEST_F(SectionTest, StationThatIsNotANumberEndsTheRun) {
    vk::SdfSection s = valley();
    s.station = " XS12";
    try {
        output.section(ids, s);
        FAIL() << "the run goes on";
    } catch (const vk::RunEnd& end) {
        EXPECT_EQ(end.status, 1);
    }
    EXPECT_EQ(transcript.rfind("\nERROR - converting station to numeric field\n", 0), 0u)
        << transcript;
    EXPECT_FALSE(fileExists(dir.file("Creek_ Upper_ XS12.csv")));
}

TEST_F(SectionTest, CsvThatCannotBeWrittenEndsTheRun) {
    const vktest::FullDisk disk{state.writeFaults, std::string(kCsvFile)};
    const vk::SdfSection s = valley();
    try {
        output.section(ids, s);
        FAIL() << "the run goes on";
    } catch (const vk::RunEnd& end) {
        EXPECT_EQ(end.status, 1);
    }
    EXPECT_NE(transcript.find("ERROR - Cannot write file Creek_ Upper_ 250.csv: "),
              std::string::npos)
        << transcript;
}

// A run whose input is in another folder writes the tables beside the layers there.
class FolderSectionTest : public ConversionTest {};

TEST_F(FolderSectionTest, CsvTablesStandBesideTheLayers) {
    std::filesystem::create_directory(dir.file("data"));
    vk::setInputName(settings, "data/river.sdf");
    openSectionLayers();
    const vk::SdfSection s = valley();
    output.section({" Creek", " Upper"}, s);
    output.crossSectionsDone();
    EXPECT_EQ(read("data/Creek_ Upper_ 250.csv"), std::string(kCsvNoN) + rows(kValleyCsv, 0, 10));
    EXPECT_EQ(read("data/1d_xs_river_surf_line.mid"), kSourceNoN);
    EXPECT_FALSE(fileExists(dir.file(kCsvFile)));
}

// ---------------------------------------------------------------------------------------------
// The conversion report

TEST(ReportNameTest, StandsBesideTheCrossSectionLayers) {
    const struct {
        const char* input;
        const char* report;
    } cases[] = {{"river.sdf", "river_report.html"},
                 {"data/river.b.sdf", "data/river_report.html"},
                 {"C:\\models\\alder.sdf", "C:\\models\\alder_report.html"},
                 {"river", "river_report.html"},
                 {".sdf", ".sdf_report.html"},
                 {"river.sdf  ", "river_report.html"}};
    for (const auto& c : cases) EXPECT_EQ(vk::reportName(vk::outputNamesOf(c.input)), c.report) << c.input;
}

class ReportTest : public SectionTest {
protected:
    void SetUp() override {
        ConversionTest::SetUp();
        settings.report = true;
        settings.results = vk::ResultsMode::ForReport;
        openSectionLayers();
    }

    std::string page() const { return read("river_report.html"); }

    // The page's record that starts with `start`, up to its line end ("" when there is none).
    std::string recordOf(std::string_view start) const {
        const std::string text = page();
        const std::size_t at = text.find("\n" + std::string(start));
        if (at == std::string::npos) return "";
        return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    }
    // The record of the section written n-th (from 0); sections are numbered by their order.
    std::string section(int n) const {
        const std::string text = page();
        std::size_t at = 0;
        for (int i = 0; i <= n && at != std::string::npos; ++i) at = text.find("\n{\"k\":\"x\"", at + 1);
        if (at == std::string::npos) return "";
        return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    }
};

TEST_F(ReportTest, EachSectionCarriesItsProfileAsTheTableGivesIt) {
    vk::SdfSection trimmed = valley();
    setMarkers(trimmed, {{"L", 0.2f, 105.5f}, {"R\"ight", 0.8f, 9999.0f}});
    setNValues(trimmed, {{0.0f, 0.06f}, {0.5f, 0.035f}});
    trimmed.firstLine = 41;
    vk::SdfSection cutOnly = withRoom();
    cutOnly.station = "7.5";
    cutOnly.firstLine = 60;
    cutOnly.hasCutLine = true;
    cutOnly.cutCount = 2;
    cutOnly.cutX[0] = 3512040.25, cutOnly.cutY[0] = 5406112.0;
    cutOnly.cutX[1] = 3512100.0, cutOnly.cutY[1] = 0.1;
    convert({&trimmed, &cutOnly});

    EXPECT_EQ(section(0),
              R"({"k":"x","s":" Creek","r":" Upper","t":" 250","l":41,)"
              R"("f":"Creek_ Upper_ 250.csv","m":[1020,5000,1080,5000],)"
              R"("e":[1000,5000,1100,5000],"d":[0,10,20,30,40,50,60,70,80,90,100],)"
              R"("z":[110,108,106,104,102,100,102.5,104.5,106.5,108.5,110.5],"o":[0,2,9],)"
              R"("n":[0,0.06,5,0.035],"v":[["L",20,105.5,1020,5000],["R\"ight",80,9999,1080,5000]],)"
              R"("u":[0,1]})");
    // Without a surface line: the cut line alone, coordinates as read; stream and reach those of
    // the section before.
    EXPECT_EQ(section(1),
              R"({"k":"x","t":"7.5","l":60,)"
              R"("c":[3512040.25,5406112,3512100,0.1]})");
    // The counts of the layers written and the warning of the section without a surface line.
    EXPECT_EQ(recordOf(R"({"k":"e")"), R"({"k":"e","n":[0,1,1,7,2,2,1],"w":1})");
    EXPECT_NE(page().find("{\"k\":\"w\",\"t\":\"Warning - No surface line for section in sdf, "
                          "unable to export .csv format section.\"}\n{\"k\":\"x\",\"t\""),
              std::string::npos);
    EXPECT_EQ(output.counts().warnings, 1);
}

// The page counts what the run's summary counts: a line that only begins like a warning (the IDs
// of a section without a surface line, here of a stream named "Error Creek") is no warning.
TEST_F(ReportTest, ThePageCountsTheRunsWarnings) {
    ids = {"Error Creek", " Upper"};
    vk::SdfSection cutOnly = withRoom();
    cutOnly.station = "7.5";
    cutOnly.hasCutLine = true;
    cutOnly.cutCount = 2;
    convert(cutOnly);
    EXPECT_NE(transcript.find("\nError Creek Upper7.5\n"), std::string::npos) << transcript;
    EXPECT_EQ(output.counts().warnings, 1);
    EXPECT_EQ(recordOf(R"({"k":"e")"), R"({"k":"e","n":[0,1,0,0,0,0,0],"w":1})");
}

// The numbers of a record's array, read as the page reads them.
std::vector<double> numbersOf(const std::string& record, std::string_view key) {
    std::vector<double> values;
    std::size_t at = record.find("\"" + std::string(key) + "\":[");
    if (at == std::string::npos) return values;
    at = record.find('[', at) + 1;
    const std::size_t end = record.find(']', at);
    while (at < end) {
        const std::size_t comma = std::min(record.find(',', at), end);
        values.push_back(std::stod(record.substr(at, comma - at)));
        at = comma + 1;
    }
    return values;
}

TEST_F(ReportTest, ProfileNumbersAreTheTablesNumbers) {
    // Elevations that round up, down and to even (0.03125 and 2.00005 lie on a tie or next to it
    // in binary), negative ones that round to zero, and wide ones; chainages of uneven steps.
    const float z[] = {0.03125f,  0.09375f,  2.00005f,   -0.00004f, -0.00005f, -1.23456f,
                       99999.99f, 1234567.9f, 3.3333333f, 0.0f,      -7.5f,     1e-7f,
                       5e8f,      -2.5e9f,   0.12345f,   0.99995f};
    vk::SdfSection s = withRoom();
    s.station = "1";
    s.hasSurfaceLine = true;
    s.surfaceCount = 16;
    double x = 0;
    for (int i = 0; i < 16; ++i) {
        x += 0.1 * (i + 1) + (i % 3) * 1e-4;
        s.surfaceX[i] = x * (i == 9 ? 1e6 : 1.0);
        s.surfaceY[i] = 0.0;
        s.surfaceZ[i] = z[i];
    }
    convert(s);
    const std::string record = section(0);
    std::vector<double> tableD, tableZ;
    const std::string table = read("Creek_ Upper_1.csv");
    for (std::size_t at = table.find('\n') + 1; at < table.size(); at = table.find('\n', at) + 1) {
        const std::size_t comma = table.find(',', at);
        tableD.push_back(std::stod(table.substr(at, comma - at)));
        tableZ.push_back(std::stod(table.substr(comma + 1, table.find('\n', at) - comma - 1)));
    }
    ASSERT_EQ(tableD.size(), 16u);
    EXPECT_EQ(numbersOf(record, "d"), tableD);
    EXPECT_EQ(numbersOf(record, "z"), tableZ);
}

TEST_F(ReportTest, MapLinesLeaveOutOnlyWhatASectionOnScreenCannotShow) {
    // A line of 201 points over 2000 units, off the straight line by 0.4 units (less than a
    // pixel when the section fills the screen) except one point off by 30 units: the points that
    // shape that spike stay, written to the unit (half a pixel there).
    std::vector<double> x, y;
    std::vector<float> z;
    for (int i = 0; i <= 200; ++i) {
        x.push_back(10.0 * i);
        y.push_back(i == 120 ? 30.0 : (i % 2 ? 0.4 : 0.0));
        z.push_back(static_cast<float>(i % 7));
    }
    vk::SdfSection s = withRoom();
    s.station = "1";
    s.hasSurfaceLine = true;
    s.surfaceCount = 201;
    std::copy(x.begin(), x.end(), s.surfaceX.begin());
    std::copy(y.begin(), y.end(), s.surfaceY.begin());
    std::copy(z.begin(), z.end(), s.surfaceZ.begin());
    convert(s);
    const std::string record = section(0);
    EXPECT_NE(record.find(R"("m":[0,0,1180,0,1190,0,1200,30,1210,0,1220,0,2000,0],)"), std::string::npos)
        << record;
    // Every point stays in the profile.
    const std::size_t d = record.find("\"d\":[");
    const std::size_t end = record.find(']', d);
    EXPECT_EQ(std::count(record.begin() + d, record.begin() + end, ','), 200);
}

TEST_F(ReportTest, WarningsBelongToTheSectionThatGaveThem) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"1", 0.1f, 1.0f}, {"2", 0.2f, 1.0f}, {"3", 0.3f, 1.0f}});
    convert(s);
    const std::string text = page();
    const std::string warnings =
        "{\"k\":\"w\",\"t\":\"WARNING - More than 2 levee markers found.\"}\n"
        "{\"k\":\"w\",\"t\":\"ERROR - Determing which two levee markes to use.\"}\n"
        "{\"k\":\"w\"}\n"  // the same again
        "{\"k\":\"x\",";
    EXPECT_NE(text.find("{\"k\":\"b\"}\n" + warnings), std::string::npos) << text;
    EXPECT_EQ(section(0).find(R"("o")"), std::string::npos) << "every point kept";
    EXPECT_NE(section(0).find(R"("u":[-1,-1]})"), std::string::npos);
    EXPECT_EQ(recordOf(R"({"k":"e")"), R"({"k":"e","n":[0,0,1,11,2,3,1],"w":3})");
}

TEST_F(ReportTest, ExportTextsNeverBecomeMarkup) {
    vk::SdfSection s = valley();
    setMarkers(s, {{"<img src=x onerror=alert(2)>", 0.2f, 1.0f}});
    ids.streamId = "</script><script>alert(1)</script>";
    vk::SdfSection notANumber = valley();
    notANumber.station = "<!--";
    try {
        convert({&s, &notANumber});  // the second station ends the run; the page stays readable
    } catch (const vk::RunEnd&) {
    }
    const std::string text = page();
    EXPECT_NE(section(0)
                  .find(R"("s":"\u003c/script\u003e\u003cscript\u003ealert(1)\u003c/script\u003e")"),
              std::string::npos);
    EXPECT_NE(section(0).find(R"(["\u003cimg src=x onerror=alert(2)\u003e",)"),
              std::string::npos);
    EXPECT_EQ(text.find("<script>alert"), std::string::npos);
    EXPECT_EQ(text.find("<img"), std::string::npos);
    EXPECT_EQ(text.find("<!--"), std::string::npos);
    // Only the page's own script and its data blocks are elements.
    std::size_t scripts = 0;
    for (std::size_t at = text.find("<script"); at != std::string::npos;
         at = text.find("<script", at + 1))
        ++scripts;
    EXPECT_EQ(scripts, 2u);
    // The run ended at the station: the page ends with the error and has no counts.
    EXPECT_TRUE(text.ends_with(
        "{\"k\":\"w\",\"t\":\"ERROR - converting station to numeric field\"}\n"))
        << vktest::tailOf(text, 300);
    EXPECT_EQ(text.find("{\"k\":\"e\""), std::string::npos);
}

TEST_F(ReportTest, PageAllowsOnlyItsOwnStyleAndScript) {
    std::vector<vk::SdfSection> many(450, valley());
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i].station = std::to_string(i);  // tables of their own: no warnings among the records
        output.section(ids, many[i]);
    }
    output.crossSectionsDone();
    const std::string text = page();
    ASSERT_TRUE(text.starts_with("<!DOCTYPE html>\n"));
    // The policy names the digests of the page's one style and one script, exactly as they stand.
    const auto between = [&](std::string_view open, std::string_view close) {
        const std::size_t from = text.find(open) + open.size();
        return text.substr(from, text.find(close, from) - from);
    };
    EXPECT_EQ(between("<style>", "</style>"), vk::kReportStyle);
    EXPECT_EQ(between("<script>", "</script>"), vk::reportScript());
    // The summary's words composed from the table of counts: those of what was written in the
    // order of the end record's list (the results' last), then the others with their keys, in
    // lines no wider than the script's.
    const std::string& script = vk::reportScript();
    const std::size_t written = script.find("      const words = {written: [\"centrelines\", ");
    std::size_t at = written;
    for (const bool results : {false, true})
        for (const vk::RunCount& count : vk::kRunCounts)
            if (count.key.empty() && count.results == results && !count.rasters) {
                at = script.find("\"" + std::string(count.words) + "\"", at);
                EXPECT_LT(at, script.find("], other: [[\"Warnings\", \"w\"]]};\n", written))
                    << count.words;
            }
    const std::size_t end = script.find("]};\n", written);
    for (std::size_t line = written; line < end; line = script.find('\n', line) + 1)
        EXPECT_LE(script.find('\n', line) - line, 110u) << script.substr(line, 120);
    EXPECT_EQ(between("<meta http-equiv=\"Content-Security-Policy\" content=\"", "\">"),
              "default-src 'none'; script-src 'sha256-" + vk::sha256Base64(vk::reportScript()) +
                  "'; style-src 'sha256-" + vk::sha256Base64(vk::kReportStyle) +
                  "'; img-src 'none'; base-uri 'none'; form-action 'none'");
    for (const char* load : {" src=", "<link", "url(", "@import", "<iframe", "<img", "fetch("})
        EXPECT_EQ(text.find(load), std::string::npos) << load;
    // 451 records and the counts in blocks of at most 200, each closed before the next opens.
    const std::string open = "<script type=\"application/x-ndjson\" class=\"vk-data\">\n";
    std::size_t blocks = 0, records = 0;
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
        at += open.size();
        const std::size_t close = text.find("</script>\n", at);
        ASSERT_NE(close, std::string::npos);
        EXPECT_EQ(text.find("<script", at), text.find("<script", close));
        std::size_t inBlock = 0;
        for (std::size_t line = at; line < close; line = text.find('\n', line) + 1) {
            EXPECT_EQ(text.compare(line, 6, "{\"k\":\""), 0);
            ++inBlock;
        }
        EXPECT_LE(inBlock, 200u);
        records += inBlock;
        ++blocks;
    }
    EXPECT_EQ(blocks, 3u);
    EXPECT_EQ(records, 452u);
    EXPECT_TRUE(text.ends_with("</script>\n</body>\n</html>\n"));
}

TEST_F(ReportTest, InputNameIsTextInTheHeader) {
    // Windows has no file names with < or >: there, the name escapes only & and a byte over 127.
    const std::string base = vktest::kPosixSystem ? "r&<i>\xE9" : "r&i\xE9";
    const std::string shown = vktest::kPosixSystem ? "r&amp;&lt;i&gt;&#xe9;" : "r&amp;i&#xe9;";
    vk::ConversionOutput named{state, settings};
    vk::setInputName(settings, base + ".sdf");
    named.openStreamLayer();
    named.streamNetworkDone();
    named.crossSectionsDone();
    const std::string text = read(base + "_report.html");
    EXPECT_NE(text.find("<title>Conversion report: " + shown + ".sdf</title>"), std::string::npos);
    // The absolute name in the title attribute ends with the same escaped name.
    EXPECT_NE(text.find(shown + ".sdf\">" + shown + ".sdf</span>"), std::string::npos);
}

// The header says the run's options as given and in words; a run that names no format writes
// Shapefile layers without a projection.
TEST_F(ReportTest, OptionsAreSaidAsGivenAndInWords) {
    const struct {
        const char* format;
        bool trim;
        const char* said;
    } cases[] = {
        {nullptr, true, "-report: Shapefile layers without a projection, sections trimmed to their"
                        " levee markers"},
        {"shp", false, "-shp -notrim -report: Shapefile layers, every surface point kept"},
        {"mif", true, "-mif -report: MIF/MID layers, sections trimmed to their levee markers"},
    };
    for (const auto& c : cases) {
        vk::RunSettings given = settings;
        given.chosenFormat = c.format ? &vktest::outputFormat(c.format) : nullptr;
        given.trimToLevees = c.trim;
        vk::setInputName(given, "run" + std::to_string(&c - cases) + ".sdf");
        vk::ConversionOutput run{state, given};
        run.openStreamLayer();
        run.streamNetworkDone();
        run.crossSectionsDone();
        EXPECT_NE(read(vk::reportName(given.output)).find(" with options " + std::string(c.said) +
                                                          ".</p>"),
                  std::string::npos) << c.said;
    }
}

}  // namespace
