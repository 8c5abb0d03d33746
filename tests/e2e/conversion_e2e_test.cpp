// Whole conversions as a user runs them: the built program on small exports written here and on
// the bundled example, with every table, layer file and the console transcript compared exactly.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using vktest::readFile;
using vktest::runProgram;
using vktest::tailOf;
using vktest::writeFile;

const std::string kCoordSys = "CoordSys Earth Projection 8, 1000, \"m\", 9, 0, 1, 3500000, 0";

// Two sections: one with n values, two levee markers, a cut line and a surface line (its station
// marked with an asterisk), and one whose cut line is ended by its END: line.
const std::string kExport = "# small export\n"
                            "BEGIN STREAM NETWORK:\n"
                            "REACH:\n"
                            " STREAM ID: Creek\n"
                            " REACH ID: Upper\n"
                            " CENTERLINE:\n"
                            "   100.0, 200.0, 5.0, 30.0\n"
                            "   140.0, 200.0, 4.0, 0.0\n"
                            " END:\n"
                            "END STREAM NETWORK:\n"
                            "BEGIN CROSS-SECTIONS:\n"
                            "CROSS-SECTION:\n"
                            " STREAM ID: Creek\n"
                            " REACH ID: Upper\n"
                            " STATION: 100*\n"
                            " NVALUES:\n"
                            "   0.0, 0.05\n"
                            "   0.5, 0.03\n"
                            " LEVEE POSITIONS:\n"
                            "   L, 0.25, 7.5\n"
                            "   R, 0.75, 7.25\n"
                            " WATER ELEVATION: 7.1\n"
                            " CUT LINE:\n"
                            "   100.0, 210.0\n"
                            "   140.0, 210.0\n"
                            " SURFACE LINE:\n"
                            "   100.0, 210.0, 8.0\n"
                            "   105.0, 210.0, 7.5\n"
                            "   110.0, 210.0, 6.0\n"
                            "   115.0, 210.0, 5.0\n"
                            "   120.0, 210.0, 4.0\n"
                            "   125.0, 210.0, 5.5\n"
                            "   130.0, 210.0, 6.5\n"
                            "   135.0, 210.0, 7.25\n"
                            "   140.0, 210.0, 8.5\n"
                            " END:\n"
                            "CROSS-SECTION:\n"
                            " STREAM ID: Creek\n"
                            " REACH ID: Lower\n"
                            " STATION: 200\n"
                            " CUT LINE:\n"
                            "   150.0, 200.0\n"
                            "   150.0, 240.0\n"
                            " END:\n"
                            "END CROSS-SECTIONS:\n";

// ---- what the export gives, worked out by hand ----
// Chainage 0, 5, ..., 40 (L = 40); markers at 10 and 30 (the third and seventh point); n 0.05
// before chainage 20, 0.03 from there on.

std::string mifHeader(const std::string& columns, int count) {
    return "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n" + kCoordSys + "\nColumns " +
           std::to_string(count) + "\n" + columns + "Data\n\n";
}

const std::string kStreamsMif = mifHeader("  Stream_ID Char(100)\n  Reach_ID Char(100)\n", 2) +
                                "Pline 2\n"
                                "      100.000000      200.000000\n"
                                "      140.000000      200.000000\n";
const std::string kStreamsMid = "\" Creek\",\" Upper\"\n";

const std::string kIdColumns = "  Stream_ID Char(100)\n  Reach_ID Char(100)\n  Station Char(100)\n";
const std::string kSurfacePointsHeader =
    mifHeader(kIdColumns + "  Elevation Float\n  Mannings Float\n", 5);
const std::string kEndPointsMif = mifHeader("  Z Float\n  dZ Float\n  Shape_Width_or_dMax Float\n"
                                            "  Shape_Options Char(20)\n",
                                            4) +
                                  "Point       100.000000      210.000000\n"
                                  "Point       140.000000      210.000000\n";
const std::string kEndPointsMid = "  8.0000,  0.0000,     0.000,\"\"\n"
                                  "  8.5000,  0.0000,     0.000,\"\"\n";
const std::string kSurfaceLineHeader = mifHeader(
    "  Source Char(50)\n  Type Char(2)\n  Flags Char(8)\n  Column_1 Char(20)\n  Column_2 Char(20)\n"
    "  Column_3 Char(20)\n  Column_4 Char(20)\n  Column_5 Char(20)\n  Column_6 Char(20)\n"
    "  Z_Increment Float\n  Z_Maximum Float\n  Skew Float\n  Comments Char(200)\n",
    13);
const std::string kSurfaceLineMid =
    "\" Creek_ Upper_ 100.csv\",\"xz\",\"n\",\"\",\"\",\"\",\"\",\"\",\"\",     0.000,   0.000,"
    "   0.000,\"\"\n";
const std::string kCutLineMif = mifHeader(kIdColumns, 3) + "Pline 2\n"
                                                           "      100.000000      210.000000\n"
                                                           "      140.000000      210.000000\n"
                                                           "Pline 2\n"
                                                           "      150.000000      200.000000\n"
                                                           "      150.000000      240.000000\n";
const std::string kCutLineMid = "\" Creek\",\" Upper\",\" 100\"\n"
                                "\" Creek\",\" Lower\",\" 200\"\n";
const std::string kLeveePointsHeader =
    mifHeader(kIdColumns + "  Elevation Float\n  Levee_ID Char(100)\n", 5);

const char* const kSurfaceXY[9] = {
    "      100.000000      210.000000", "      105.000000      210.000000",
    "      110.000000      210.000000", "      115.000000      210.000000",
    "      120.000000      210.000000", "      125.000000      210.000000",
    "      130.000000      210.000000", "      135.000000      210.000000",
    "      140.000000      210.000000",
};
const char* const kCsvRows[9] = {
    "     0.000,  8.0000, 0.0500", "     5.000,  7.5000, 0.0500", "    10.000,  6.0000, 0.0500",
    "    15.000,  5.0000, 0.0500", "    20.000,  4.0000, 0.0300", "    25.000,  5.5000, 0.0300",
    "    30.000,  6.5000, 0.0300", "    35.000,  7.2500, 0.0300", "    40.000,  8.5000, 0.0300",
};
const char* const kPointRows[9] = {
    "\" Creek\",\" Upper\",\" 100\",     8.000,  0.0500",
    "\" Creek\",\" Upper\",\" 100\",     7.500,  0.0500",
    "\" Creek\",\" Upper\",\" 100\",     6.000,  0.0500",
    "\" Creek\",\" Upper\",\" 100\",     5.000,  0.0500",
    "\" Creek\",\" Upper\",\" 100\",     4.000,  0.0300",
    "\" Creek\",\" Upper\",\" 100\",     5.500,  0.0300",
    "\" Creek\",\" Upper\",\" 100\",     6.500,  0.0300",
    "\" Creek\",\" Upper\",\" 100\",     7.250,  0.0300",
    "\" Creek\",\" Upper\",\" 100\",     8.500,  0.0300",
};

std::string rows(const char* const* table, int from, int to, const std::string& prefix = {}) {
    std::string text;
    for (int i = from; i <= to; ++i) text += prefix + table[i] + "\n";
    return text;
}

// The eleven output files of the export, by name without folder, with the points from..to kept.
std::vector<std::pair<std::string, std::string>> expectedFiles(const std::string& base,
                                                               const std::string& streams,
                                                               int from, int to, bool levees) {
    const int kept = to - from + 1;
    std::vector<std::pair<std::string, std::string>> files = {
        {"Creek_ Upper_ 100.csv", "\"X\",\"Z\",\"N\"\n" + rows(kCsvRows, from, to)},
        {streams + ".mif", kStreamsMif},
        {streams + ".mid", kStreamsMid},
        {base + "_surf_pts.mif", kSurfacePointsHeader + rows(kSurfaceXY, from, to, "Point ")},
        {base + "_surf_pts.mid", rows(kPointRows, from, to)},
        {"2d_zsh_" + base + "_end_pts.mif", kEndPointsMif},
        {"2d_zsh_" + base + "_end_pts.mid", kEndPointsMid},
        {"1d_xs_" + base + "_surf_line.mif", kSurfaceLineHeader + "Pline " +
                                                  std::to_string(kept) + "\n" +
                                                  rows(kSurfaceXY, from, to)},
        {"1d_xs_" + base + "_surf_line.mid", kSurfaceLineMid},
        {base + "_cut_line.mif", kCutLineMif},
        {base + "_cut_line.mid", kCutLineMid},
        {base + "_levee_pts.mif", kLeveePointsHeader + (levees ? "Point       110.000000      "
                                                                 "210.000000\n"
                                                                 "Point       130.000000      "
                                                                 "210.000000\n"
                                                               : "")},
        {base + "_levee_pts.mid", levees ? "\" Creek\",\" Upper\",\" 100\",     7.500,L\n"
                                           "\" Creek\",\" Upper\",\" 100\",     7.250,R\n"
                                         : ""},
    };
    return files;
}

// ---- the console transcript ----

std::string message(const std::string& text) { return "\n" + text + "\n"; }
std::string opened(const std::string& name, int unit) {
    return "\nTrying to open file " + name + "...OK.\nOpened File Unit:" + std::to_string(unit) +
           "\n";
}
std::string created(const std::string& name, int unit) {
    return "\nTrying to open file " + name + "...OK.  File Unit:" + std::to_string(unit) + "\n";
}
std::string closed(int unit) { return "...Closed File Unit:" + std::to_string(unit) + "\n"; }
std::string layerOpened(const std::string& name, int id, int unit) {
    const std::string pair = name.substr(0, name.size() - 4);
    return "Opening GIS Layer: " + name + "\nGIS Layer assigned ID of " + std::to_string(id) +
           "\n" + created(pair + ".mif", unit) + created(pair + ".mid", unit + 1);
}
std::string layerClosed(const std::string& name, int id, int unit) {
    return "Closing GIS Layer " + std::to_string(id) + " [" + name + "]...\n" + closed(unit) +
           closed(unit + 1);
}

// The whole transcript of converting the export named `input` (folder part `folder`) with -mif.
std::string expectedTranscript(const std::string& folder, const std::string& input,
                               const std::string& base, bool trimmed = true) {
    const std::string pts = folder + base + "_surf_pts.mif";
    const std::string end = folder + "2d_zsh_" + base + "_end_pts.mif";
    const std::string line = folder + "1d_xs_" + base + "_surf_line.mif";
    const std::string cut = folder + base + "_cut_line.mif";
    const std::string levee = folder + base + "_levee_pts.mif";
    const std::string streams = input + "_streams.mif";
    return "\nBuild 2013-09-AA\n\n\nFound  3 arguments\n" + opened(folder + "Header.mif", 1001) +
           message("Using " + folder + "Header.mif for setting projection.") +
           message("mif Projection: " + kCoordSys) + opened(input, 1002) +
           layerOpened(streams, 1, 1003) + "\nProcessing Stream Centrelines\n\n" +
           message("Found start of reach block on line 3") + message("Found CENTERLINE on line 6") +
           message("Found ENDSTREAMNETWORK on line 10") + layerClosed(streams, 1, 1003) +
           layerOpened(pts, 1, 1003) + layerOpened(end, 2, 1005) + layerOpened(line, 3, 1007) +
           layerOpened(cut, 4, 1009) + layerOpened(levee, 5, 1011) +
           message("Found BEGIN CROSS-SECTIONS: on line 11") +
           message("Found new cross-section on line 12") +
           message("Found LEVEE POSITIONS on line 19") + message("Found SURFACE LINE on line 26") +
           message("End of section processing... ") +
           created(folder + "Creek_ Upper_ 100.csv", 1013) + closed(1013) +
           message("Found new cross-section on line 37") +
           message("End of section processing... ") +
           message("Warning - No surface line for section in sdf, unable to export .csv format "
                   "section.") +
           " Creek Lower 200\n" + message("Found END CROSS-SECTIONS on line 45") +
           layerClosed(pts, 1, 1003) + layerClosed(line, 3, 1007) + layerClosed(cut, 4, 1009) +
           layerClosed(levee, 5, 1011) + layerClosed(end, 2, 1005) +
           // Points 3 to 7 of 9 between the markers; the warning of the second section.
           message(trimmed ? "Written: centrelines 1, cut lines 2, surface lines 1, surface points "
                             "5, end points 2, levee points 2, tables 1."
                           : "Written: centrelines 1, cut lines 2, surface lines 1, surface points "
                             "9, end points 2, levee points 0, tables 1.") +
           "Warnings: 1.\n" + message("Finished.") + "\nPress Enter to Close\n";
}

class Conversion : public ::testing::Test {
protected:
    vktest::TempDir dir;

    // Runs the program in the test's folder with standard input closed.
    vktest::ProcessResult convert(const std::vector<std::string>& args) {
        vktest::ProcessResult r = runProgram(args, "", dir.path(), 120);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.errors, "");
        return r;
    }

    void writeInput(const std::string& folder, const std::string& name) {
        if (!folder.empty()) fs::create_directory(dir.file(folder));
        writeFile(dir.file(folder + name), kExport);
        writeFile(dir.file(folder + "Header.mif"), "Version 300\n" + kCoordSys + "\n");
    }

    void expectFiles(const std::string& folder,
                     const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(readFile(dir.file(folder + name)), bytes) << name;
        // Nothing else was written: the input, its template and the outputs.
        EXPECT_EQ(vktest::filesIn(dir.file(folder)).size(), files.size() + 2);
    }
};

TEST_F(Conversion, TrimmedToLeveeMarkers) {
    writeInput("", "creek.sdf");
    const auto r = convert({"-mif", "creek.sdf"});
    EXPECT_EQ(r.output, expectedTranscript("", "creek.sdf", "creek"));
    expectFiles("", expectedFiles("creek", "creek.sdf_streams", 2, 6, true));
}

TEST_F(Conversion, NoTrimKeepsEveryPointAndWritesNoLeveePoints) {
    writeInput("", "creek.sdf");
    const auto r = convert({"-notrim", "-mif", "creek.sdf"});
    std::string transcript = expectedTranscript("", "creek.sdf", "creek", false);
    transcript.replace(transcript.find("Found  3 arguments"), 18, "Found  4 arguments");
    EXPECT_EQ(r.output, transcript);
    expectFiles("", expectedFiles("creek", "creek.sdf_streams", 0, 8, false));
}

TEST_F(Conversion, InputWithoutDotGivesItsWholeNameAsTheBaseName) {
    writeInput("", "creek");
    const auto r = convert({"-mif", "creek"});
    EXPECT_EQ(r.output, expectedTranscript("", "creek", "creek"));
    expectFiles("", expectedFiles("creek", "creek_streams", 2, 6, true));
}

// /dev/stdin (a file or a pipe) writes "stdin_*" into the current folder, never among devices.
TEST_F(Conversion, StandardInputWritesIntoTheCurrentFolder) {
    if (!vktest::kPosixSystem) GTEST_SKIP() << "/dev/stdin is POSIX";
    writeInput("", "creek.sdf");
    const std::string in = "cd '" + dir.path() + "' && rm -f stdin_* && ";
    const std::string run = "'" + std::string(VK_BINARY) + "' /dev/stdin";
    for (const std::string& command : {in + run + " <creek.sdf", in + "cat creek.sdf | " + run}) {
        EXPECT_EQ(vktest::runShell(command).status, 0) << command;
        EXPECT_EQ(fs::file_size(dir.file("stdin_surf_pts_P.shp")), 100u + 5 * 28) << command;
    }
}

TEST_F(Conversion, InputInAnotherFolderKeepsEverythingThere) {
    writeInput("run.2/", "creek.sdf");
    const auto r = convert({"-mif", "run.2/creek.sdf"});
    EXPECT_EQ(r.output, expectedTranscript("run.2/", "run.2/creek.sdf", "creek"));
    expectFiles("run.2/", expectedFiles("creek", "creek.sdf_streams", 2, 6, true));
    EXPECT_EQ(vktest::filesIn(dir.path()), std::vector<std::string>{"run.2"});
}

// ---- the bundled example ----

const std::string kExamples = std::string(VK_SOURCE_DIR) + "/examples/";
const std::string kExpected = std::string(VK_SOURCE_DIR) + "/tests/e2e/expected/example/";

class Example : public Conversion {
protected:
    void SetUp() override {
        for (const char* name : {"river.sdf", "Header.mif", "Header.prj"})
            fs::copy_file(kExamples + name, dir.file(name));
        result = convert({"-mif", "river.sdf"});
    }
    vktest::ProcessResult result;
};

TEST_F(Example, ExportIsWrittenInTheHecRasLayout) {
    const std::string sdf = readFile(kExamples + "river.sdf");
    // Every line ends with CR LF.
    const auto lineFeeds = std::count(sdf.begin(), sdf.end(), '\n');
    EXPECT_GT(lineFeeds, 500);
    EXPECT_EQ(std::count(sdf.begin(), sdf.end(), '\r'), lineFeeds);
    for (std::size_t at = sdf.find('\n'); at != std::string::npos; at = sdf.find('\n', at + 1))
        ASSERT_EQ(sdf[at - 1], '\r') << "line feed at byte " << at;
    for (const char* keyword :
         {"BEGIN HEADER:", "END HEADER:", "BEGIN STREAM NETWORK:", "ENDPOINT:", "REACH:",
          "CENTERLINE:", "END STREAM NETWORK:", "BEGIN CROSS-SECTIONS:", "NODE NAME:",
          "BANK POSITIONS:", "REACH LENGTHS:", "NVALUES:", "LEVEE POSITIONS:",
          "WATER ELEVATION:", "CUT LINE:", "SURFACE LINE:", "END CROSS-SECTIONS:"})
        EXPECT_NE(sdf.find(keyword), std::string::npos) << keyword;
}

TEST_F(Example, ConvertsToTheExpectedTablesLayersAndTranscript) {
    EXPECT_EQ(result.output, readFile(kExpected + "transcript.txt"));
    std::vector<std::string> expected = vktest::filesIn(kExpected);
    expected.erase(std::find(expected.begin(), expected.end(), "transcript.txt"));
    for (const std::string& name : expected)
        EXPECT_EQ(readFile(dir.file(name)), readFile(kExpected + name)) << name;
    std::vector<std::string> written = vktest::filesIn(dir.path());
    for (const char* input : {"Header.mif", "Header.prj", "river.sdf"})
        written.erase(std::find(written.begin(), written.end(), input));
    EXPECT_EQ(written, expected);
}

TEST_F(Example, GdalReadsEveryLayer) {
    if (vktest::runShell("command -v ogrinfo").status != 0)
        GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    const std::pair<const char*, int> layers[] = {
        {"river.sdf_streams.mif", 2},     {"river_surf_pts.mif", 249},
        {"2d_zsh_river_end_pts.mif", 40}, {"1d_xs_river_surf_line.mif", 20},
        {"river_cut_line.mif", 20},       {"river_levee_pts.mif", 39},
    };
    for (const auto& [name, count] : layers) {
        const auto info = vktest::runShell("cd '" + dir.path() + "' && ogrinfo -ro -al -so '" +
                                           name + "' 2>&1");
        EXPECT_EQ(info.status, 0) << info.output;
        EXPECT_NE(info.output.find("Feature Count: " + std::to_string(count) + "\n"),
                  std::string::npos)
            << name << "\n"
            << info.output;
        EXPECT_EQ(info.output.find("Warning"), std::string::npos) << info.output;
        EXPECT_EQ(info.output.find("ERROR"), std::string::npos) << info.output;
    }
    const auto lines = vktest::runShell("cd '" + dir.path() +
                                        "' && ogrinfo -ro -al 1d_xs_river_surf_line.mif 2>&1");
    EXPECT_NE(lines.output.find("Source (String) =  Alder Creek_ Upper_ 4747.68.csv\n"),
              std::string::npos)
        << lines.output;
    EXPECT_NE(lines.output.find("Flags (String) = n\n"), std::string::npos);
}

// ---- names from IDs in Windows-1252 and in UTF-8 ----

// tests/e2e/names.sdf: the tables' files are named in UTF-8 whatever code page an ID came in, the
// attributes keep the export's bytes, and each .cpg names the code page of its .dbf's texts.
TEST_F(Conversion, TableNamesAreUtf8AndAttributesKeepTheExportsBytes) {
#ifdef _WIN32
    GTEST_SKIP() << "the names are compared as the bytes a Linux file system keeps";
#endif
    const std::pair<std::string, std::string> tables[] = {
        // in byte order: file, Source if other
        {"Caf\xC3\xA9_\xC3\x91_2.csv", "Caf\xE9_\xD1_2.csv"},
        {"Caf\xC3\xA9_\xC3\x91_3.csv", ""},
        {"NUL_.Drain_B_7.csv", ""},
        {"R\xC3\x8DO_\xC3\x91UBLE_1_2.csv", ""}, // the same name but for case
        {"R\xC3\xADo_\xC3\x91uble_1.csv", "R\xEDo_\xD1uble_1.csv"},
        {"Wave\xF0\x9F\x8C\x8A_A_6.csv", ""},
        {"\xD0\x92\xD0\xBE\xD0\xBB\xD0\xB3\xD0\xB0_"
         "\xD0\x9D\xD0\xB8\xD0\xB6\xD0\xBD\xD1\x8F\xD1\x8F_5.csv",
         ""},
        {"\xE9\xBB\x84\xE6\xB2\xB3_\xE4\xB8\x8A\xE6\xB8\xB8_4.csv", ""}};
    for (const std::string name : {"Header.mif", "Header.prj", "../tests/e2e/names.sdf"})
        fs::copy_file(kExamples + name, dir.file(name.substr(name.rfind('/') + 1)));
    for (const std::string format : {"-mif", "-shp"}) {
        EXPECT_NE(
            convert({format, "names.sdf"})
                .output.find("WARNING - Table R\xC3\x8DO_\xC3\x91UBLE_1.csv already written in "
                             "this run; this section's table is R\xC3\x8DO_\xC3\x91UBLE_1_2.csv."),
            std::string::npos);
        std::vector<std::string> csv = vktest::filesIn(dir.path());
        std::erase_if(csv, [](const std::string& name) { return !name.ends_with(".csv"); });
        const std::string sources = readFile(dir.file(
            format == "-mif" ? "1d_xs_names_surf_line.mid" : "1d_xs_names_surf_line_L.dbf"));
        ASSERT_EQ(csv.size(), std::size(tables)) << format;
        for (std::size_t i = 0; i < csv.size(); ++i) {
            const auto& [file, source] = tables[i];
            EXPECT_EQ(csv[i], file);
            EXPECT_NE(sources.find(source.empty() ? file : source), std::string::npos) << file;
            fs::remove(dir.file(csv[i]));
        }
    }
    // UTF-8 IDs only in the network and the cut lines; GDAL shows the letters of either.
    const std::tuple<const char*, const char*, const char*> layers[] = {
        {"names.sdf_streams_L", "UTF-8", ""},
        {"names_surf_pts_P", "1252", "= \xC3\x91uble\n"},
        {"names_cut_line_L", "UTF-8", "= \xE9\xBB\x84\xE6\xB2\xB3\n"}};
    for (const auto& [layer, codePage, shown] : layers) {
        EXPECT_EQ(readFile(dir.file(std::string(layer) + ".cpg")), codePage) << layer;
        if (*shown == 0 || vktest::runShell("command -v ogrinfo").status != 0) continue;
        const auto info =
            vktest::runShell("cd '" + dir.path() + "' && ogrinfo -ro -al " + layer + ".shp");
        EXPECT_NE(info.output.find(shown), std::string::npos) << layer << info.output;
    }
}

// ---- exports written by others ----

// The features of each layer as the files hold them: the objects of a .mif, the records of a
// Shapefile set's index.
struct LayerCounts {
    long centrelines, cutLines, surfaceLines, surfacePoints, endPoints, leveePoints, tables;
    bool operator==(const LayerCounts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LayerCounts& c) {
    return out << c.centrelines << " " << c.cutLines << " " << c.surfaceLines << " "
               << c.surfacePoints << " " << c.endPoints << " " << c.leveePoints << " " << c.tables;
}

long mifObjects(const std::string& path) {
    const std::string text = readFile(path);
    long n = 0;
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
        if (text.compare(at, 6, "Point ") == 0 || text.compare(at, 6, "Pline ") == 0) ++n;
        if (text.find('\n', at) == std::string::npos) break;
    }
    return n;
}

LayerCounts countLayers(const std::string& folder, const std::string& input, bool mif) {
    const std::string base = input.substr(0, input.find('.'));
    auto count = [&](const std::string& name, const char* set) {
        if (mif) return mifObjects(folder + name + ".mif");
        return static_cast<long>(fs::file_size(folder + name + set + ".shx") - 100) / 8;
    };
    long tables = 0;
    for (const std::string& name : vktest::filesIn(folder))
        if (name.ends_with(".csv")) ++tables;
    return {count(input + "_streams", "_L"),
            count(base + "_cut_line", "_L"),
            count("1d_xs_" + base + "_surf_line", "_L"),
            count(base + "_surf_pts", "_P"),
            count("2d_zsh_" + base + "_end_pts", "_P"),
            count(base + "_levee_pts", "_P"),
            tables};
}

// The counts of a run's GeoPackage, which SQLite finds intact and GDAL reads without a word, each
// layer's R-tree well-formed (rtreecheck) and holding its features; {} when sqlite3 or ogrinfo is not installed.
std::optional<LayerCounts> countPackage(const std::string& folder, const std::string& input) {
    const auto found = vktest::runShell("command -v sqlite3 && command -v ogrinfo");
    if (found.status != 0) return {};
    std::istringstream paths(found.output);
    std::string sqlite3, ogrinfo;
    paths >> sqlite3 >> ogrinfo;
    const std::string base = input.substr(0, input.find('.'));
    const std::string layers[] = {input + "_streams",   base + "_cut_line",
                                  "1d_xs_" + base + "_surf_line", base + "_surf_pts",
                                  "2d_zsh_" + base + "_end_pts",  base + "_levee_pts"};
    std::string query = "PRAGMA integrity_check;";
    for (const std::string& layer : layers)
        query += "SELECT (count(*) - (SELECT count(*) FROM \"rtree_" + layer + "_geom\")) || " +
                 "rtreecheck('rtree_" + layer + "_geom') FROM \"" + layer +
                 "\"; SELECT count(*) FROM \"" + layer + "\";";
    query += "SELECT count(DISTINCT Table_Name) FROM \"" + base + "_tables\";";
    const auto r = runProgram({base + ".gpkg", query}, "", folder, 60, sqlite3);
    const auto gdal = runProgram({"-ro", "-al", "-so", base + ".gpkg"}, "", folder, 60, ogrinfo);
    EXPECT_EQ(gdal.status, 0);
    EXPECT_EQ(gdal.errors, "");
    std::istringstream rows(r.output);
    std::string integrity, indexed;
    std::vector<long> n(7);
    rows >> integrity;
    EXPECT_EQ(integrity, "ok");
    for (std::size_t i = 0; i < 6; ++i) {
        rows >> indexed >> n[i];
        EXPECT_EQ(indexed, "0ok") << layers[i];
    }
    rows >> n[6];
    return LayerCounts{n[0], n[1], n[2], n[3], n[4], n[5], n[6]};
}

// Every real export converts in every format. The counts are those of the files: sections with
// a surface line give one surface line, two end points and a table each, none of them has levee
// markers, so every surface point is kept. Reading the results takes nothing from what a plain run
// writes: each of its files is the same, byte for byte, with -results, -report and both (a .dbf's
// date of writing aside; a GeoPackage holds the time it was written).
TEST_F(Conversion, RealExportsConvertInEveryFormat) {
    const std::string real = vktest::realDataDir();
    if (real.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata); skipped";
    auto bytesOf = [](const std::string& path) {
        std::string bytes = readFile(path);
        return path.ends_with(".dbf") ? bytes.replace(1, 3, "YMD") : bytes;
    };
    const struct {
        const char* name;
        LayerCounts counts;
        int warnings;
    } exports[] = {
        {"wailupe-import.sdf", {3, 47, 47, 3969, 94, 0, 47}, 0},
        // No surface lines: a warning for every section.
        {"baldeagle-export-crlf.sdf", {1, 178, 0, 0, 0, 0, 0}, 178},
        // An empty levee block in every section.
        {"gisplugin-structures-import.sdf", {5, 19, 19, 2341, 38, 0, 19}, 19},
        {"cad-acequia-crlf.sdf", {1, 97, 97, 1139, 194, 0, 97}, 0},
    };
    for (const auto& e : exports) {
        for (const std::string format : {"-shp", "-mif", "-gpkg"}) {
            const bool mif = format == "-mif";
            SCOPED_TRACE(std::string(e.name) + " " + format);
            const std::string folder = format.substr(1) + "-" + e.name + "/";
            fs::create_directory(dir.file(folder));
            fs::copy_file(real + "/" + e.name, dir.file(folder + e.name));
            for (const char* name : {"Header.mif", "Header.prj"})
                fs::copy_file(std::string(VK_SOURCE_DIR) + "/examples/" + name,
                              dir.file(folder + name));
            const auto r = runProgram({format, e.name}, "", dir.file(folder), 120);
            EXPECT_EQ(r.status, 0) << tailOf(r.output, 600);
            const LayerCounts& n = e.counts;
            EXPECT_TRUE(r.output.ends_with(
                "\nWritten: centrelines " + std::to_string(n.centrelines) + ", cut lines " +
                std::to_string(n.cutLines) + ", surface lines " + std::to_string(n.surfaceLines) +
                ", surface points " + std::to_string(n.surfacePoints) + ", end points " +
                std::to_string(n.endPoints) + ", levee points " + std::to_string(n.leveePoints) +
                ", tables " + std::to_string(n.tables) + ".\nWarnings: " +
                std::to_string(e.warnings) + ".\n\nFinished.\n\nPress Enter to Close\n"))
                << tailOf(r.output, 600);
            if (format != "-gpkg") {
                EXPECT_EQ(countLayers(dir.file(folder), e.name, mif), e.counts);
                for (const std::vector<std::string>& more : std::vector<std::vector<std::string>>{
                         {"-results"}, {"-report"}, {"-results", "-report"}}) {
                    const std::string other =
                        dir.file(folder.substr(0, folder.size() - 1) + more[0] + more.back());
                    fs::create_directory(other);
                    for (const char* input : {e.name, "Header.mif", "Header.prj"})
                        fs::copy_file(dir.file(folder + input), other + "/" + input);
                    std::vector<std::string> args = more;
                    args.insert(args.end(), {format, e.name});
                    ASSERT_EQ(runProgram(args, "", other, 120).status, 0) << other;
                    for (const std::string& file : vktest::filesIn(dir.file(folder)))
                        EXPECT_TRUE(bytesOf(other + "/" + file) == bytesOf(dir.file(folder + file)))
                            << other << file;
                }
            } else if (const auto package = countPackage(dir.file(folder), e.name)) {
                EXPECT_EQ(*package, e.counts);
            }
        }
    }
}

// ---- files that are not exports ----

TEST_F(Conversion, AFileWithoutAnyKeywordIsNoExport) {
    const std::string notExports[] = {
        "",
        "\x89PNG\r\n\x1a\n" + std::string(500, '\x7f') + "IEND\n",
        "station,elevation\n100,12.5\n200,13.75\n",
    };
    writeFile(dir.file("Header.prj"), "PROJCS[\"Test\"]\n");
    for (const std::string& bytes : notExports) {
        writeFile(dir.file("picture.sdf"), bytes);
        const auto r = runProgram({"-shp", "picture.sdf"}, "", dir.path(), 60);
        EXPECT_EQ(r.status, 1);
        // The layers are closed (complete and empty) before the message.
        EXPECT_TRUE(r.output.ends_with(
            "Closing GIS Layer 2 [2d_zsh_picture_end_pts.shp]...\n...Closed File Unit:1007\n"
            "...Closed File Unit:1008\n...Closed File Unit:1009\n...Closed File Unit:1010\n"
            "\nERROR - No stream network or cross-sections found in picture.sdf.\n"
            "\nPress Enter to Close\n"))
            << r.output.substr(r.output.size() > 600 ? r.output.size() - 600 : 0);
        EXPECT_EQ(fs::file_size(dir.file("picture_surf_pts_P.shx")), 100u);
    }
    // A model with 2D areas only: its network and cross-section blocks are there, and empty.
    writeFile(dir.file("areas.sdf"), "BEGIN HEADER:\nEND HEADER:\nBEGIN STREAM NETWORK:\n"
                                     "END STREAM NETWORK:\nBEGIN CROSS-SECTIONS:\n"
                                     "END CROSS-SECTIONS:\n");
    const auto r = convert({"-shp", "areas.sdf"});
    EXPECT_TRUE(r.output.ends_with("\nWritten: centrelines 0, cut lines 0, surface lines 0, "
                                   "surface points 0, end points 0, levee points 0, tables 0.\n"
                                   "Warnings: 0.\n\nFinished.\n\nPress Enter to Close\n"))
        << r.output;
}

// Without "END STREAM NETWORK:" the network ends where the cross-sections begin: the stream
// layer is closed and the section layers created before that line is tested again.
TEST_F(Conversion, CrossSectionsBeforeTheEndOfTheNetwork) {
    std::string text = kExport;
    text.erase(text.find("END STREAM NETWORK:\n"), 20);
    writeFile(dir.file("creek.sdf"), text);
    writeFile(dir.file("Header.mif"), "Version 300\n" + kCoordSys + "\n");
    const auto r = convert({"-mif", "creek.sdf"});
    const std::string streams = "creek.sdf_streams.mif";
    EXPECT_NE(r.output.find(
                  message("Found CENTERLINE on line 6") +
                  message("WARNING - Cross-sections begin on line 10 before the end of the stream "
                          "network.") +
                  layerClosed(streams, 1, 1003) + layerOpened("creek_surf_pts.mif", 1, 1003)),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find(layerOpened("creek_levee_pts.mif", 5, 1011) +
                            message("Found BEGIN CROSS-SECTIONS: on line 10") +
                            message("Found new cross-section on line 11")),
              std::string::npos)
        << r.output;
    expectFiles("", expectedFiles("creek", "creek.sdf_streams", 2, 6, true));
}

}  // namespace
