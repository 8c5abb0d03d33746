// Bad inputs end to end: whatever the program is given, it ends with a clear message and an honest
// exit status, writes nothing outside the input's folder and never hangs. Every case runs the built
// program with standard input closed, in a folder "in" of its own test folder, under a time limit.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using vktest::readFile;
using vktest::writeFile;

const std::string kMifTemplate = "Version 300\nCoordSys Earth Projection 1, 104\n";
const std::string kPrjTemplate = "PROJCS[\"Test\",GEOGCS[\"GCS_WGS_1984\"]]\n";
const std::string kClose = "\nPress Enter to Close\n";
const std::string kFinished = "\nFinished.\n" + kClose;

// A message that ends the run: "\n" + message + "\n", then the closing pause.
std::string fatal(const std::string& message) {
    return "\n" + message + "\n" + kClose;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Every file under `folder` (names relative to it) with its bytes; folders are listed with "/".
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
        const std::string name = fs::relative(it->path(), folder).string();
        if (it->is_symlink())
            files[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            files[name + "/"] = "";
        else
            files[name] = readFile(it->path().string());
    }
    return files;
}

std::vector<std::string> csvFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& name : vktest::filesIn(folder))
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".csv") == 0) names.push_back(name);
    return names;
}

// Points of a Shapefile point layer, read from its records.
std::vector<std::pair<double, double>> shpPoints(const std::string& path) {
    const std::string bytes = readFile(path);
    std::vector<std::pair<double, double>> points;
    for (std::size_t at = 100; at + 28 <= bytes.size(); at += 28) {
        std::int32_t type = 0;
        double xy[2];
        std::memcpy(&type, bytes.data() + at + 8, 4);
        std::memcpy(xy, bytes.data() + at + 12, 16);
        EXPECT_EQ(type, 1) << path;
        points.emplace_back(xy[0], xy[1]);
    }
    return points;
}

std::int32_t littleI32(const std::string& bytes, std::size_t at) {
    std::int32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// The first lines of a cross-section; kNoNetwork is an export part without reaches.
std::string sectionHead(const std::string& stream, const std::string& reach,
                        const std::string& station) {
    return "CROSS-SECTION:\n STREAM ID:" + stream + "\n REACH ID:" + reach +
           "\n STATION:" + station + "\n";
}
const std::string kNoNetwork = "# export\nEND STREAM NETWORK:\n";
const std::string kSurface = " SURFACE LINE:\n 0, 0, 5\n 10, 0, 1\n 20, 0, 5\n";

class BadInput : public ::testing::Test {
  protected:
    vktest::TempDir dir;
    std::string in; // the input's folder

    void SetUp() override {
        in = dir.file("in");
        fs::create_directory(in);
        writeFile(in + "/Header.mif", kMifTemplate);
        writeFile(in + "/Header.prj", kPrjTemplate);
    }

    std::string file(const std::string& name) const { return in + "/" + name; }

    // Runs the program in the input's folder with standard input closed. Whatever happens, the
    // run ends in time with status 0 or 1, says "Finished." exactly when it succeeded, writes
    // nothing to standard error and nothing into the folder above the input's.
    vktest::ProcessResult run(const std::vector<std::string>& args, int timeout = 120,
                              const std::vector<std::string>& env = {},
                              const std::string& program = VK_BINARY,
                              const std::string& typed = "") {
        const auto parent = vktest::filesIn(dir.path());
        vktest::ProcessResult r = vktest::runProgram(args, typed, in, timeout, program, env);
        EXPECT_FALSE(r.timedOut) << "no end within " << timeout << " s";
        EXPECT_EQ(r.errors, "");
        EXPECT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status;
        EXPECT_EQ(r.status == 0, endsWith(r.output, kFinished)) << tail(r.output);
        EXPECT_TRUE(endsWith(r.output, kClose)) << tail(r.output);
        EXPECT_EQ(vktest::filesIn(dir.path()), parent);
        return r;
    }

    vktest::ProcessResult convert(const std::string& format, const std::string& export_,
                                  const std::string& name = "x.sdf") {
        writeFile(file(name), export_);
        return run({format, name});
    }

    static std::string tail(const std::string& text) {
        return text.size() > 600 ? text.substr(text.size() - 600) : text;
    }

    void expectFailure(const vktest::ProcessResult& r, const std::string& message) {
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(endsWith(r.output, fatal(message))) << tail(r.output);
    }
};

// ---- exports cut short ----

TEST_F(BadInput, ExportCutShortInsideAnyBlockStopsAtItsLastLine) {
    const std::string section = kNoNetwork + sectionHead("A", "B", "1");
    const struct {
        const char* where;
        std::string text;
        int lastLine;
    } cases[] = {
        {"reach ID lines", "#\nREACH:\n STREAM ID: A\n", 3},
        {"reach ID lines, at once", "#\nBEGIN STREAM NETWORK:\nREACH:\n", 3},
        {"centreline", "#\nREACH:\n STREAM ID: A\n REACH ID: B\n CENTERLINE:\n 1, 2\n 3, 4\n", 7},
        {"section ID lines", kNoNetwork + "CROSS-SECTION:\n STREAM ID: A\n REACH ID: B\n", 5},
        {"section station line", kNoNetwork + "CROSS-SECTION:\n", 3},
        {"cut line, inside a line", section + " CUT LINE:\n 1, 2\n 3, 4", 9},
        {"n values", section + " NVALUES:\n 0, 0.03\n", 8},
        {"levee positions", section + " LEVEE POSITIONS:\n L, 0.2, 1\n", 8},
        {"levee positions, at once", section + " LEVEE POSITIONS:\n", 7},
        {"surface line", section + kSurface, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        for (const char* format : {"-mif", "-shp"}) {
            const auto r = convert(format, c.text);
            expectFailure(r,
                          "ERROR - Unexpected end of file on line " + std::to_string(c.lastLine));
            // The unfinished section writes no table.
            EXPECT_EQ(csvFilesIn(in), std::vector<std::string>{});
        }
    }
}

TEST_F(BadInput, ExampleCutAfterAnyLineEitherFinishesOrNamesThatLine) {
    const std::string example = readFile(std::string(VK_SOURCE_DIR) + "/examples/river.sdf");
    std::vector<std::size_t> ends;
    for (std::size_t at = example.find('\n'); at != std::string::npos;
         at = example.find('\n', at + 1))
        ends.push_back(at + 1);
    ASSERT_GT(ends.size(), 300u);
    // Before the first "REACH:" line no keyword has been found: that is no export.
    const auto reach = static_cast<std::ptrdiff_t>(example.find("REACH:"));
    const auto firstKeyword =
        static_cast<std::size_t>(std::count(example.begin(), example.begin() + reach, '\n')) + 1;
    int finished = 0, cut = 0;
    for (std::size_t line = 1; line < ends.size(); line += 3) {
        SCOPED_TRACE("cut after line " + std::to_string(line));
        const auto r = convert("-mif", example.substr(0, ends[line - 1]));
        if (line < firstKeyword) {
            expectFailure(r, "ERROR - No stream network or cross-sections found in x.sdf.");
        } else if (r.status == 0) {
            ++finished;
        } else {
            ++cut;
            EXPECT_TRUE(endsWith(
                r.output, fatal("ERROR - Unexpected end of file on line " + std::to_string(line))))
                << tail(r.output);
        }
    }
    // Both kinds occur: cuts between blocks and cuts inside them.
    EXPECT_GT(finished, 20);
    EXPECT_GT(cut, 20);
}

// ---- text that is not an export ----

TEST_F(BadInput, BinaryGarbageEndsHonestly) {
    // Deterministic noise, once raw and once woven into the keywords the reader looks for.
    std::string noise;
    std::uint32_t state = 12345;
    for (int i = 0; i < 300000; ++i) {
        state = state * 1103515245u + 12345u;
        noise.push_back(static_cast<char>(state >> 23));
    }
    std::string woven = "#\n";
    const char* keywords[] = {
        "REACH:",         "CENTERLINE:",        "END:",     "END STREAM NETWORK:",
        "CROSS-SECTION:", "CUT LINE:",          "NVALUES:", "LEVEE POSITIONS:",
        "SURFACE LINE:",  "END CROSS-SECTIONS:"};
    for (std::size_t i = 0; i < 2000; ++i)
        woven += std::string(keywords[i % 10]) + noise.substr(i * 37, 20) + "\n1, 2, 3\n";
    for (const std::string* bytes : {&noise, &woven}) {
        for (const char* format : {"-mif", "-shp"}) {
            const auto r = convert(format, *bytes);
            if (r.status == 1) {
                EXPECT_NE(r.output.find("\nERROR"), std::string::npos);
            }
        }
    }
}

TEST_F(BadInput, NulBytesAreOrdinaryCharactersOfALine) {
    // NULs in a comment and after a keyword change nothing.
    const std::string harmless =
        std::string("#\0\0\n", 4) + std::string("END STREAM NETWORK:\0\n", 21) +
        sectionHead("A", "B", "1") + kSurface + std::string("END:\0 \0\n", 8);
    const auto ok = convert("-mif", harmless);
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(readFile(file("A_B_1.csv")),
              "\"X\",\"Z\"\n     0.000,  5.0000\n    10.000,  1.0000\n    20.000,  5.0000\n");

    // A NUL inside a number is a read error, and the whole line is echoed, bytes after the NUL too.
    const std::string cut = std::string(" 1, 2\0 x\n", 9);
    const auto bad =
        convert("-mif", kNoNetwork + sectionHead("A", "B", "1") + " CUT LINE:\n" + cut);
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(
        endsWith(bad.output, "\nERROR - Reading following line in file in sub GetSdfCutline\n" +
                                 std::string(" 1, 2\0 x", 8) + "\n\n" + kClose))
        << tail(bad.output);
}

TEST_F(BadInput, TwoMegabyteLineCountsAsOneCutLine) {
    std::string longLine = " 10, 0, 1";
    while (longLine.size() < 2 * 1024 * 1024)
        longLine += ", 10, 0, 1";
    const std::string text = kNoNetwork + sectionHead("A", "B", "1") +
                             " SURFACE LINE:\n 0, 0, 5\n" + longLine + "\n 20, 0, 5\nEND:\n" +
                             longLine + "\nEND CROSS-SECTIONS:\n";
    const auto r = convert("-mif", text);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("\nFound END CROSS-SECTIONS on line 13\n"), std::string::npos);
    EXPECT_EQ(readFile(file("A_B_1.csv")),
              "\"X\",\"Z\"\n     0.000,  5.0000\n    10.000,  1.0000\n    20.000,  5.0000\n");
    // The same line without a line end closes the file.
    const auto last = convert("-shp", kNoNetwork + longLine);
    EXPECT_EQ(last.status, 0);
}

TEST_F(BadInput, EmptyAndBlankFilesAreNoExportsAndLeaveEmptyLayers) {
    for (const std::string& text : {std::string(), std::string("\n\r\n   \n\t\n\n")}) {
        const auto r = convert("-mif", text);
        expectFailure(r, "ERROR - No stream network or cross-sections found in x.sdf.");
        EXPECT_EQ(csvFilesIn(in), std::vector<std::string>{});
        for (const char* mid : {"x.sdf_streams.mid", "x_surf_pts.mid", "2d_zsh_x_end_pts.mid",
                                "1d_xs_x_surf_line.mid", "x_cut_line.mid", "x_levee_pts.mid"})
            EXPECT_EQ(readFile(file(mid)), "") << mid;
        const auto shp = convert("-shp", text);
        EXPECT_EQ(shp.status, 1);
        EXPECT_EQ(fs::file_size(file("x_surf_pts_P.shp")), 100u);
        EXPECT_EQ(fs::file_size(file("x_surf_pts_P.shx")), 100u);
    }
}

// ---- sections larger than the stores ----

TEST_F(BadInput, HugeSectionsAreReadWholeExceptTheCutLineLimit) {
    const int points = 200000;
    std::string text = kNoNetwork + sectionHead("A", "B", "1") + " CUT LINE:\n";
    text.reserve(12 * 1024 * 1024);
    for (int i = 0; i < 150000; ++i)
        text += " " + std::to_string(i) + ", 7\n";
    // One n value per point, positions as fractions of the line: only the last point takes the
    // last pair's value.
    text += " NVALUES:\n";
    for (int i = 0; i < points; ++i)
        text += " " + std::to_string(static_cast<double>(i) / points) + ", " +
                (i + 1 == points ? "0.0999" : "0.05") + "\n";
    text += " LEVEE POSITIONS:\n";
    for (int i = 0; i < 150; ++i)
        text += " L" + std::to_string(i) + ", 0.5, 2\n";
    text += " SURFACE LINE:\n";
    for (int i = 0; i < points; ++i)
        text += " " + std::to_string(i) + ", 0, " + (i == points - 1 ? "0" : "3") + "\n";
    text += " END:\n";

    const auto r = convert("-shp", text);
    EXPECT_EQ(r.status, 0);
    const std::string limit = "\nERROR - Exceeeded limit of 100,000 cut lines. Contact "
                              "support@varnokline.example.\n";
    EXPECT_EQ(count(r.output, limit), 50000u);
    EXPECT_NE(r.output.find("\nWARNING - More than two levee points detected for section. "),
              std::string::npos);

    // Cut line: one record of the first 100,000 points.
    const std::string cut = readFile(file("x_cut_line_L.shp"));
    ASSERT_EQ(cut.size(), 100u + 8 + 44 + 4 + 100000u * 16);
    EXPECT_EQ(littleI32(cut, 148), 100000);
    double lastX = 0;
    std::memcpy(&lastX, cut.data() + cut.size() - 16, 8);
    EXPECT_EQ(lastX, 99999.0);

    // Surface line and n values read whole: the table holds every point with its n value.
    const std::string csv = readFile(file("A_B_1.csv"));
    EXPECT_EQ(count(csv, "\n"), static_cast<std::size_t>(points) + 1);
    EXPECT_TRUE(endsWith(csv, "199999.000,  0.0000, 0.0999\n")) << tail(csv);

    // 150 levee markers, all at the middle of the line.
    const auto levees = shpPoints(file("x_levee_pts_P.shp"));
    ASSERT_EQ(levees.size(), 150u);
    for (const auto& p : levees)
        EXPECT_EQ(p, std::make_pair(99999.5, 0.0));
}

TEST_F(BadInput, ManyLeveeMarkersOnALongLineArePlacedQuickly) {
    // 300,000 markers on a line of 300,000 points: searching the line from its start for each
    // marker would take minutes.
    const int count = 300000;
    std::string text = kNoNetwork + sectionHead("A", "B", "1") + " LEVEE POSITIONS:\n M, 0.25, 1\n";
    text.reserve(8 * 1024 * 1024);
    for (int k = 1; k < count; ++k)
        text += " L, 1, 1\n";
    text += " SURFACE LINE:\n";
    for (int i = 0; i < count; ++i)
        text += " " + std::to_string(i) + ", 0, 1\n";
    text += "END:\n";
    writeFile(file("x.sdf"), text);
    const auto r = run({"-shp", "x.sdf"}, 25);
    EXPECT_EQ(r.status, 0);
    const auto levees = shpPoints(file("x_levee_pts_P.shp"));
    ASSERT_EQ(levees.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(levees.front(), std::make_pair(74999.75, 0.0));
    EXPECT_EQ(levees.back(), std::make_pair(299999.0, 0.0));
}

// ---- stations and IDs ----

TEST_F(BadInput, StationsThatAreNotNumbersEndTheRun) {
    for (const char* station : {"abc", "", "12abc", "'12'", ",", "  *12"}) {
        SCOPED_TRACE(station);
        const auto r =
            convert("-mif", kNoNetwork + sectionHead("A", "B", station) + kSurface + "END:\n");
        expectFailure(r, "ERROR - converting station to numeric field");
        EXPECT_EQ(csvFilesIn(in), std::vector<std::string>{});
    }
}

TEST_F(BadInput, IdsWithPathAndReservedCharactersStayInsideTheFolder) {
    const std::string text = kNoNetwork + sectionHead("../up", "a\\b", "1") + kSurface + "END:\n" +
                             sectionHead("..", "..", "2") + kSurface + "END:\n" +
                             sectionHead("say \"hi\"", "x,y", "3") + kSurface + "END:\n" +
                             sectionHead("/abs", "caf\xC3\xA9 \xFF", "4") + kSurface + "END:\n";
    for (const char* format : {"-mif", "-shp"}) {
        const auto r = convert(format, text);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(csvFilesIn(in), (std::vector<std::string>{".._.._2.csv", ".._up_a_b_1.csv",
                                                            "_abs_caf\xC3\xA9 \xC3\xBF_4.csv",
                                                            "say _hi__x,y_3.csv"}));
    }
    // The Source attribute is the table's name as made; the other attributes keep the IDs as
    // read, their quotes doubled and their commas inside the quoted text.
    EXPECT_EQ(convert("-mif", text).status, 0);
    const std::string lines = readFile(file("1d_xs_x_surf_line.mid"));
    EXPECT_NE(lines.find("\n\"say _hi__x,y_3.csv\",\"xz\""), std::string::npos) << lines;
    const std::string ends = readFile(file("x_surf_pts.mid"));
    EXPECT_NE(ends.find("\"say \"\"hi\"\"\",\"x,y\",\"3\","), std::string::npos) << ends;
}

// A NUL byte in an ID becomes "_" in the table's name, as the other control bytes do: never a
// name cut at the NUL.
TEST_F(BadInput, IdHoldingANulByteGivesAnUnderscore) {
    const std::string id("A\0X", 3);
    const auto r = convert("-mif", kNoNetwork + sectionHead(id, "B", "1") + kSurface + "END:\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(vktest::fileExists(file("A")));
    EXPECT_EQ(csvFilesIn(in), std::vector<std::string>{"A_X_B_1.csv"});
}

// ---- geometry that divides by zero or overflows ----

TEST_F(BadInput, LeveeMarkersNeverGetANonFiniteCoordinate) {
    // An overflowing position (3.4e38 x 20 is beyond single precision), both signs, and a surface
    // line of zero length.
    const std::string text = kNoNetwork + sectionHead("A", "B", "1") +
                             " LEVEE POSITIONS:\n L, 0.5, 1\n R, 3.4e38, 2\n" + kSurface +
                             "END:\n" + sectionHead("A", "B", "2") +
                             " LEVEE POSITIONS:\n L, -3.4e38, 1\n R, 0.5, 2\n" + kSurface +
                             "END:\n" + sectionHead("A", "B", "3") +
                             " LEVEE POSITIONS:\n L, 0.5, 1\n SURFACE LINE:\n 3, 4, 1\n 3, 4, 0\n"
                             "END:\n" + sectionHead("A", "B", "4") +
                             // Results whose top width and bank points overflow.
                             " CUT LINE:\n -1e300, 0\n 1e300, 0\n BANK POSITIONS: 0.25, 0.75\n" +
                             kSurface + " WATER ELEVATION: 2\n WATER SURFACE EXTENTS:\n"
                             " -1e300, 0, 1e300, 0\nEND:\n";
    const auto shp = convert("-shp", text);
    EXPECT_EQ(shp.status, 0);
    const auto levees = shpPoints(file("x_levee_pts_P.shp"));
    ASSERT_EQ(levees.size(), 5u);
    for (const auto& [x, y] : levees)
        EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
    // The overflowing marker and the one on the line of zero length lie on the last point.
    EXPECT_EQ(levees[1], std::make_pair(20.0, 0.0));
    EXPECT_EQ(levees[4], std::make_pair(3.0, 4.0));
    for (const char* layer : {"x_surf_pts_P.shp", "2d_zsh_x_end_pts_P.shp"})
        for (const auto& [x, y] : shpPoints(file(layer)))
            EXPECT_TRUE(std::isfinite(x) && std::isfinite(y)) << layer;

    for (const bool results : {false, true}) {
    writeFile(file("x.sdf"), text);
    const auto mif = run({"-mif", results ? "-results" : "-quiet", "x.sdf"});
    EXPECT_EQ(mif.status, 0);
    for (const auto& [name, bytes] : snapshot(in)) {
        std::string lower = bytes;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        });
        if (name.ends_with(".mif") || name.ends_with(".mid") || name.ends_with(".csv")) {
            EXPECT_EQ(lower.find("nan"), std::string::npos) << name;
            EXPECT_EQ(lower.find("inf"), std::string::npos) << name;
        }
    }
    }
    EXPECT_TRUE(
        endsWith(readFile(file("x_levee_pts.mif")), "Point         3.000000        4.000000\n"));
}

// ---- templates and inputs that cannot be used ----

TEST_F(BadInput, MissingEmptyOrFolderTemplates) {
    writeFile(file("x.sdf"), kNoNetwork);
    fs::remove(file("Header.mif"));
    fs::remove(file("Header.prj"));
    // The folder looked in, as the system resolves it, and the ways out.
    for (const std::string kind : {"mif", "prj"}) {
        const auto r = run({kind == "mif" ? "-mif" : "-shp", "x.sdf"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output.find("\nERROR - A Header." + kind + " or Projection." + kind +
                                " file does not exist in folder "),
                  std::string::npos) << tail(r.output);
        EXPECT_NE(r.output.find(fs::path(dir.path()).filename().string()), std::string::npos);
        EXPECT_TRUE(endsWith(r.output, ": put one there, name one with -prj FILE, or give the "
                                       "coordinate system with -crs EPSG:n.\n" + kClose))
            << tail(r.output);
    }

    writeFile(file("Header.mif"), "");
    writeFile(file("Header.prj"), "");
    expectFailure(run({"-mif", "x.sdf"}), "ERROR - Unable to find CoordSys line in Header.mif");
    expectFailure(run({"-shp", "x.sdf"}),
                  "ERROR - Projection line could not be found in \"GIS Projection\" .prj "
                  "file.Header.prj");

    fs::remove(file("Header.mif"));
    fs::remove(file("Header.prj"));
    fs::create_directory(file("Header.mif"));
    fs::create_directory(file("Header.prj"));
    expectFailure(run({"-mif", "x.sdf"}), "ERROR - Cannot read file Header.mif: Is a directory");
    expectFailure(run({"-shp", "x.sdf"}), "ERROR - Cannot read file Header.prj: Is a directory");
}

// A template that would be waited on, read without end or copied into every layer is refused.
TEST_F(BadInput, TemplatesThatAreNoProjectionEndTheRunAtOnce) {
    writeFile(file("x.sdf"), kNoNetwork);
    writeFile(file("zeros.prj"), "CoordSys" + std::string(100, '\0'));
    writeFile(file("big.prj"), kPrjTemplate);
    fs::resize_file(file("big.prj"), vktest::kPosixSystem ? 3ull << 30 : (1u << 20) + 1);  // sparse
    const std::string notOrdinary = " is not an ordinary file (a named pipe or a device).";
    std::vector<std::pair<std::string, std::string>> cases = {
        {"big.prj", " is larger than 1 MiB."}, {"zeros.prj", " holds NUL bytes: it is no projection."}};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(file("fifo.prj").c_str(), 0600), 0);
    cases.insert(cases.end(), {{"fifo.prj", notOrdinary}, {"/dev/zero", notOrdinary}});
#endif
    for (const auto& [name, reason] : cases) {
        for (const char* format : {"-shp", "-mif"}) {
            const auto started = std::chrono::steady_clock::now();
            expectFailure(run({format, "-prj", name, "x.sdf"}, 20),
                          "ERROR - Projection file " + name + reason);
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << name;
        }
    }
}

TEST_F(BadInput, InputThatIsAFolderOrCannotBeOpened) {
    fs::create_directory(file("d.sdf"));
    expectFailure(run({"-mif", "d.sdf"}), "ERROR - Cannot read file d.sdf: Is a directory");

#ifdef _WIN32
    GTEST_SKIP() << "a socket in a folder (AF_UNIX bind) is POSIX only";
#else
    // A socket exists but cannot be opened, whatever the permissions.
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = file("s.sdf");
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0)
        << std::strerror(errno);
    const auto r = run({"-mif", "s.sdf"});
    close(sock);
    expectFailure(r, "ERROR - Cannot read file s.sdf: No such device or address");
    EXPECT_NE(r.output.find("\nTrying to open file s.sdf...\nERROR"), std::string::npos);
#endif
}

// Runs the program without root's right to read and write everything: as user "nobody" through
// setpriv when the tests run as root, directly otherwise.
class Unprivileged : public BadInput {
  protected:
    void SetUp() override {
        BadInput::SetUp();
#ifdef _WIN32
        GTEST_SKIP() << "permission bits and user switching (setpriv) are POSIX only";
#else
        if (geteuid() != 0) return;
        if (!vktest::fileExists("/usr/bin/setpriv"))
            GTEST_SKIP() << "running as root without setpriv: permissions cannot be tested";
        const auto reach = vktest::runProgram({"--reuid=65534", "--regid=65534", "--clear-groups",
                                               "/bin/sh", "-c", "test -x \"$0\"", VK_BINARY},
                                              "", "", 30, "/usr/bin/setpriv");
        if (reach.status != 0)
            GTEST_SKIP() << "user nobody cannot run " << VK_BINARY
                         << " (a folder above it is private)";
#endif
    }
    vktest::ProcessResult runUnprivileged(const std::vector<std::string>& args) {
#ifdef _WIN32
        return run(args);
#else
        if (geteuid() != 0) return run(args);
        std::vector<std::string> full = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                         VK_BINARY};
        full.insert(full.end(), args.begin(), args.end());
        return run(full, 120, {}, "/usr/bin/setpriv");
#endif
    }
};

TEST_F(Unprivileged, UnreadableInput) {
    writeFile(file("u.sdf"), kNoNetwork);
    fs::permissions(file("u.sdf"), fs::perms::none);
    expectFailure(runUnprivileged({"-mif", "u.sdf"}),
                  "ERROR - Cannot read file u.sdf: Permission denied");
}

TEST_F(Unprivileged, OutputFolderThatIsNotWritable) {
    writeFile(file("u.sdf"), kNoNetwork);
    fs::permissions(in, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
    const auto r = runUnprivileged({"-mif", "u.sdf"});
    EXPECT_NE(r.output.find("\nTrying to open file u.sdf_streams.mif...Can't Open\n"),
              std::string::npos);
    EXPECT_NE(r.output.find("\n Reason: permission denied\n"), std::string::npos);
    expectFailure(r,
                  "ERROR - Unable to open file u.sdf_streams.mif and no console input to wait on.");
    expectFailure(runUnprivileged({"-mif", "-out", "new/deep", "u.sdf"}),
                  "ERROR - Can't create output folder new/deep: Permission denied.");
    EXPECT_EQ(vktest::filesIn(in), (std::vector<std::string>{"Header.mif", "Header.prj", "u.sdf"}));
}

// ---- outputs that cannot be created or written ----

const std::string kOneSection = kNoNetwork + sectionHead("A", "B", "1") +
                                " CUT LINE:\n 0, 0\n 20, 0\n" + kSurface +
                                "END:\nEND CROSS-SECTIONS:\n";

TEST_F(BadInput, OutputNamesTakenByFoldersEndTheRetryLoop) {
    const struct {
        const char* format;
        const char* name;
    } cases[] = {{"-mif", "x.sdf_streams.mif"},
                 {"-mif", "x_levee_pts.mid"},
                 {"-shp", "x_cut_line_L.dbf"},
                 {"-shp", "2d_zsh_x_end_pts_P.shp"},
                 {"-mif", "A_B_1.csv"},
                 {"-report", "x_report.html"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(file(c.name)); // an output of the case before
        fs::create_directory(file(c.name));
        const auto r = convert(c.format, kOneSection);
        const std::string name = c.name;
        EXPECT_NE(r.output.find("\nTrying to open file " + name +
                                "...Can't Open\n\n Can't open: " + name + "\n"),
                  std::string::npos);
        EXPECT_EQ(count(r.output, "Press Enter to Continue"), 1u);
        expectFailure(r,
                      "ERROR - Unable to open file " + name + " and no console input to wait on.");
        EXPECT_TRUE(fs::is_directory(file(c.name)));
        fs::remove(file(c.name));
    }
}

// An export named as one of its tables (in any case of its letters) is never written over: that
// table takes the next free name, with a warning.
TEST_F(BadInput, TableNamedLikeTheInputNeverReplacesIt) {
    const std::string text = kNoNetwork + sectionHead("A", "B", "1") + kSurface + "END:\n";
    for (const char* name : {"A_B_1.csv", "a_b_1.CSV"}) {
        SCOPED_TRACE(name);
        const auto r = convert("-mif", text, name);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.output.find("\nWARNING - Table A_B_1 is the export being read; this section's "
                                "table is A_B_1_2.csv.\n"),
                  std::string::npos)
            << tail(r.output);
        EXPECT_EQ(readFile(file(name)), text);
        EXPECT_TRUE(vktest::fileExists(file("A_B_1_2.csv")));
        fs::remove(file(name));
        fs::remove(file("A_B_1_2.csv"));
    }
}

// An output's name taken by something other than an ordinary file (a link, here to a file outside
// the folder or to a device, a named pipe, a folder) is neither followed nor opened, and is left
// as it is: the run cannot open that output, says why, and never waits on a pipe.
TEST_F(BadInput, OutputNamesTakenByOtherThanFilesAreLeftAlone) {
#ifdef _WIN32
    GTEST_SKIP() << "links, named pipes and /dev/full are made here the POSIX way";
#else
    const struct {
        const char* format;
        const char* name;
    } outputs[] = {
        {"-mif", "x.sdf_streams.mif"}, {"-mif", "x_surf_pts.mid"},
        {"-shp", "x_surf_pts_P.shp"},  {"-shp", "x_cut_line_L.shx"},
        {"-shp", "1d_xs_x_surf_line_L.dbf"}, {"-shp", "x_levee_pts_P.prj"},
        {"-shp", "A_B_1.csv"},         {"-mif", "A_B_1.csv"},
        {"-report", "x_report.html"}, {"-gpkg", "x.gpkg"},
    };
    const std::string outside = dir.file("outside.txt");
    const auto link = [](const std::string& to) {
        return [to](const std::string& path) { fs::create_symlink(to, path); };
    };
    const std::pair<const char*, std::function<void(const std::string&)>> kinds[] = {
        {"link to a file", link(outside)},
        {"link to a device", link("/dev/full")},
        {"named pipe", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"folder", [](const std::string& path) { fs::create_directory(path); }},
    };
    for (const auto& [kind, make] : kinds)
        for (const auto& o : outputs) {
            SCOPED_TRACE(std::string(kind) + ": " + o.name);
            writeFile(outside, "not ours");
            fs::remove_all(file(o.name));
            make(file(o.name));
            const auto r = convert(o.format, kOneSection);
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.output.find(" Can't open: " + std::string(o.name) + "\n"), std::string::npos)
                << tail(r.output);
            EXPECT_NE(r.output.find(" Reason: not a regular file\n"), std::string::npos);
            EXPECT_EQ(readFile(outside), "not ours");
            fs::remove_all(file(o.name));
        }
#endif
}

// A small file system of its own, where the machine lets the tests mount one.
TEST_F(BadInput, FullFileSystemEndsTheRun) {
    if (!vktest::kPosixSystem) GTEST_SKIP() << "mounting a small tmpfs is POSIX only";
    const std::string mount = dir.file("small");
    fs::create_directory(mount);
    if (vktest::runShell("mount -t tmpfs -o size=64k tmpfs '" + mount + "' 2>&1").status != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (not root, or no mount rights)";
    const std::string example = std::string(VK_SOURCE_DIR) + "/examples/";
    for (const char* name : {"river.sdf", "Header.mif", "Header.prj"})
        fs::copy_file(example + name, mount + "/" + name);
    for (const char* format : {"-mif", "-shp"}) {
        const auto r = vktest::runProgram({format, "river.sdf"}, "", mount, 120);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.status, 1) << tail(r.output);
        EXPECT_EQ(r.output.find("Finished."), std::string::npos);
        EXPECT_NE(r.output.find("No space left on device"), std::string::npos) << tail(r.output);
    }
    EXPECT_EQ(vktest::runShell("umount '" + mount + "'").status, 0);
}

// ---- re-runs and locales ----

class ExampleCopies : public BadInput {
  protected:
    std::string bigExport() { return readFile(std::string(VK_SOURCE_DIR) + "/examples/river.sdf"); }
    // The example cut after its first cross-section.
    std::string smallExport() {
        std::string text = bigExport();
        const std::size_t section = text.find("CROSS-SECTION:");
        const std::size_t end = text.find("END:", section);
        return text.substr(0, text.find('\n', end) + 1) + "END CROSS-SECTIONS:\r\n";
    }
    // The .dbf header holds the date of the run: compare files without it.
    static std::map<std::string, std::string>
    withoutDates(std::map<std::string, std::string> files) {
        for (auto& [name, bytes] : files)
            if (name.ends_with(".dbf") && bytes.size() > 4) bytes.replace(1, 3, "YMD");
        return files;
    }
};

TEST_F(ExampleCopies, RerunOntoLargerOutputsLeavesNoStaleBytes) {
    // Reference: the small export alone, in a folder of its own.
    const std::string fresh = dir.file("fresh");
    fs::create_directory(fresh);
    for (const char* t : {"Header.mif", "Header.prj"})
        fs::copy_file(file(t), fresh + "/" + t);
    writeFile(fresh + "/river.sdf", smallExport());
    for (const char* format : {"-mif", "-shp"})
        ASSERT_EQ(vktest::runProgram({format, "river.sdf"}, "", fresh, 120).status, 0);

    writeFile(file("river.sdf"), bigExport());
    for (const char* format : {"-mif", "-shp"})
        ASSERT_EQ(run({format, "river.sdf"}).status, 0);
    writeFile(file("river.sdf"), smallExport());
    for (const char* format : {"-mif", "-shp"})
        ASSERT_EQ(run({format, "river.sdf"}).status, 0);

    // Every file of the small run equals the fresh one; the big run's other tables stay as they
    // were.
    const auto expected = withoutDates(snapshot(fresh));
    const auto written = withoutDates(snapshot(in));
    for (const auto& [name, bytes] : expected) {
        ASSERT_TRUE(written.count(name)) << name;
        EXPECT_EQ(written.at(name), bytes) << name;
    }
    EXPECT_GT(written.size(), expected.size());
}

TEST_F(ExampleCopies, DecimalCommaLocaleWritesTheSameBytes) {
    if (!vktest::kPosixSystem)
        GTEST_SKIP() << "locales chosen by LC_ALL and LANG are POSIX only";
    const auto locales = vktest::runShell("locale -a");
    if (locales.output.find("de_DE.utf8") == std::string::npos)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (apt-get install locales; localedef "
                        "-i de_DE -f UTF-8 de_DE.UTF-8)";
    writeFile(file("river.sdf"), bigExport());
    const std::string german = dir.file("german");
    fs::create_directory(german);
    for (const char* name : {"Header.mif", "Header.prj", "river.sdf"})
        fs::copy_file(file(name), german + "/" + name);
    const std::vector<std::string> env = {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8",
                                          "LC_NUMERIC=de_DE.UTF-8"};
    for (const char* format : {"-mif", "-shp"}) {
        const auto c = run({format, "river.sdf"}, 120, {"LC_ALL=C"});
        const auto de = vktest::runProgram({format, "river.sdf"}, "", german, 120, VK_BINARY, env);
        EXPECT_EQ(de.status, 0);
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(de.output, c.output);
    }
    EXPECT_EQ(withoutDates(snapshot(german)), withoutDates(snapshot(in)));
}

// The input named like one of its own section tables: it is read to its end, never closed for
// the table or written over, and that section's table takes the next name.
TEST_F(ExampleCopies, InputNamedLikeItsOwnTableIsReadToItsEnd) {
    const std::string text = bigExport();
    const std::string table = "Alder Creek_ Upper_ 4501.05.csv";
    writeFile(file(table), text);
    const auto r = run({"-shp", table}, 120, {}, VK_BINARY, "y\n");
    EXPECT_EQ(r.status, 0) << tail(r.output);
    EXPECT_EQ(r.output.find("is already open, close it?"), std::string::npos);
    EXPECT_EQ(readFile(file(table)), text);
    EXPECT_TRUE(vktest::fileExists(file("Alder Creek_ Upper_ 4501.05_2.csv")));
}

#ifndef _WIN32
// Feeds a FIFO as a producer that stalls: `first` as soon as the program opens it, then nothing
// until finish() gives the rest and closes it.
class StallingWriter {
  public:
    StallingWriter(const std::string& path, std::string first)
        : path_(path), first_(std::move(first)) {
        std::signal(SIGPIPE, SIG_IGN); // a program that has ended takes no more bytes
        thread_ = std::thread([this] { feed(); });
    }
    ~StallingWriter() {
        if (thread_.joinable()) finish("");
    }
    void finish(const std::string& rest) {
        {
            std::lock_guard lock(mutex_);
            rest_ = rest;
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

  private:
    void feed() {
        int fd = -1;
        // The program opens the FIFO when it gets to it; without a reader there is nothing to do.
        while ((fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK)) < 0) {
            std::unique_lock lock(mutex_);
            if (errno != ENXIO || wake_.wait_for(lock, std::chrono::milliseconds(10),
                                                 [&] { return done_; }))
                return;
        }
        ::fcntl(fd, F_SETFL, 0);
        put(fd, first_);
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return done_; });
        put(fd, rest_);
        ::close(fd);
    }
    static void put(int fd, std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd, bytes.data(), bytes.size());
            if (n <= 0) return;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    std::string path_, first_, rest_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};
#endif

// An error on the output side while the input is a pipe whose writer has stalled: the error is
// written and the run ends at once, without waiting for the writer (the time limit of the run is
// the test's bound).
TEST_F(BadInput, OutputErrorEndsTheRunWhileThePipedInputStalls) {
#ifdef _WIN32
    GTEST_SKIP() << "a named FIFO as the input is POSIX only";
#else
    ASSERT_EQ(::mkfifo(file("x.sdf").c_str(), 0600), 0);
    fs::create_directory(file("A_B_1.csv"));
    StallingWriter writer(file("x.sdf"),
                          kNoNetwork + sectionHead("A", "B", "1") + kSurface + "END:\n" +
                              sectionHead("A", "B", "2") + " SURFACE LINE:\n 0, 0, 5\n");
    const auto r = run({"-mif", "x.sdf"}, 20);
    expectFailure(r, "ERROR - Unable to open file A_B_1.csv and no console input to wait on.");
    writer.finish("");
    fs::remove(file("A_B_1.csv"));
#endif
}

// Signals as scripts and people send them. An interruption (Ctrl-C, a request to terminate, a
// closed terminal) while the program waits for the fourth section of a piped export ends the run
// with the layers closed out: what a GIS reads holds exactly the three sections written. A console
// that went away (`| head -1`) and a limit on file sizes do not kill it: the first run finishes,
// the second ends with the error of the file that reached the limit.
TEST_F(BadInput, SignalsEndTheRunInGoodOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX signals";
#else
    std::string sections;
    for (const char* station : {"1", "2", "3"}) sections += sectionHead("A", "B", station) + kSurface + "END:\n";
    const std::string layer = file("1d_xs_x_surf_line_L.shx");
    // A package is not put in place, and the run says so.
    const std::pair<const char*, std::string> signals[] = {
        {"INT", "-shp"}, {"TERM", "-shp"}, {"HUP", "-shp"}, {"INT", "-gpkg"}};
    for (const auto& [signal, format] : signals) {
        SCOPED_TRACE(signal + format);
        fs::remove(file("x.sdf"));
        ASSERT_EQ(::mkfifo(file("x.sdf").c_str(), 0600), 0);
        StallingWriter writer(file("x.sdf"), kNoNetwork + sections + sectionHead("A", "B", "4"));
        // The signals' own handling, as a terminal's shell gives it (not a script's, which has
        // a program started in the background ignore Ctrl-C).
        const auto r = vktest::runShell("cd '" + in + "' && env --default-signal=INT '" + VK_BINARY +
                                        "' " + format + " x.sdf </dev/null >out.txt 2>&1 & pid=$!; "
                                        "while [ ! -f '" + file("A_B_3.csv") + "' ]; do sleep 0.05; done; "
                                        "sleep 0.2; kill -" + signal + " $pid; wait $pid; echo $?");
        writer.finish("");
        EXPECT_EQ(r.output, "1\n");
        const std::string out = readFile(file("out.txt"));
        const std::string none = "\nNo GeoPackage was written: x.gpkg is as it was.";
        EXPECT_TRUE(endsWith(out, fatal("ERROR - Interrupted; the outputs hold the sections written "
                                        "before section 4." + (format == "-gpkg" ? none : ""))))
            << tail(out);
        if (format == "-gpkg") {
            for (const std::string& name : vktest::filesIn(in))
                EXPECT_FALSE(name.starts_with("x.gpkg")) << name << " left behind";
            continue;
        }
        EXPECT_EQ(readFile(layer).size(), 100u + 3 * 8) << "three records in the index";
        const auto info = vktest::runShell("ogrinfo -ro -so -al '" + file("1d_xs_x_surf_line_L.shp") + "' 2>&1");
        if (info.status != 127) {  // GDAL is there
            EXPECT_NE(info.output.find("Feature Count: 3\n"), std::string::npos) << info.output;
        }
        fs::remove(file("A_B_3.csv"));
    }
    fs::copy_file(std::string(VK_SOURCE_DIR) + "/examples/river.sdf", file("river.sdf"));
    const std::string program = "cd '" + in + "' && env --default-signal=PIPE,XFSZ '" +
                                std::string(VK_BINARY) + "' -shp river.sdf </dev/null";
    vktest::runShell("(" + program + "; echo $? >status.txt) | head -1");
    EXPECT_EQ(readFile(file("status.txt")), "0\n");
    const auto limited = vktest::runShell("ulimit -f 1; " + program + "; echo \"status $?\"");
    EXPECT_NE(limited.output.find(": File too large\n"), std::string::npos) << tail(limited.output);
    EXPECT_TRUE(endsWith(limited.output, "status 1\n"));
    // Fewer files open allowed than the run holds: the oldest are let go, and the run finishes.
    const auto few = vktest::runShell("ulimit -n 64; " + program + "; echo \"status $?\"");
    EXPECT_NE(few.output.find("\nWARNING - The run holds as many files as the system lets it have "
                              "open: "), std::string::npos) << tail(few.output);
    EXPECT_TRUE(endsWith(few.output, kFinished + "status 0\n"));
#endif
}

// Ctrl-C while the console waits on a pipe nobody reads ends the run, its layers closed out.
TEST_F(BadInput, AnInterruptionEndsARunWhoseConsoleIsStalled) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX signals";
#else
    std::string text = kNoNetwork;
    for (int k = 0; k < 4000; ++k) text += sectionHead("A", "B", std::to_string(k)) + kSurface + "END:\n";
    writeFile(file("x.sdf"), text);
    ASSERT_EQ(::mkfifo(file("out.fifo").c_str(), 0600), 0);
    const auto r = vktest::runShell(  // the shell holds the pipe open and never reads it
        "cd '" + in + "' && exec 3<>out.fifo && (env --default-signal=INT '" + VK_BINARY +
        "' -shp x.sdf </dev/null >out.fifo 2>&1 & pid=$!; sleep 1; kill -0 $pid && echo stalled; "
        "kill -INT $pid; for i in $(seq 30); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done; "
        "kill -KILL $pid 2>/dev/null && echo still running; wait $pid; echo $?)", 30);
    EXPECT_EQ(r.output, "stalled\n1\n");
#endif
}

// Two runs writing layers of the same names in one folder: the second cannot have the layers the
// first is writing, says so through the opener and ends with status 1; the first finishes with
// layers exactly as a run alone writes them.
TEST_F(ExampleCopies, SecondRunOnTheSameLayersIsRefusedThem) {
#ifdef _WIN32
    GTEST_SKIP() << "the first run is held up by a named FIFO as its input, POSIX only (the units' "
                    "tests hold an output as another run does on every system)";
#else
    const std::string text = bigExport();
    const std::size_t sections = text.find("BEGIN CROSS-SECTIONS");
    const std::string alone = dir.file("alone");
    fs::create_directory(alone);
    fs::copy_file(file("Header.prj"), alone + "/Header.prj");
    writeFile(alone + "/river.sdf", text);
    ASSERT_EQ(vktest::runProgram({"-shp", "river.sdf"}, "", alone, 120).status, 0);

    // The first run gets the stream network and stalls at the cross-sections, its layers open.
    ASSERT_EQ(::mkfifo(file("river.sdf").c_str(), 0600), 0);
    StallingWriter writer(file("river.sdf"), text.substr(0, sections));
    vktest::ProcessResult first;
    std::thread firstRun([&] { first = vktest::runProgram({"-shp", "river.sdf"}, "", in, 120); });
    // Its last layer is opened after the others are held.
    for (int i = 0; i < 6000 && !vktest::fileExists(file("river_levee_pts_P.dbf")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(vktest::fileExists(file("river_levee_pts_P.dbf")));

    writeFile(file("river.b.sdf"), text);
    const auto second = run({"-shp", "river.b.sdf"});
    EXPECT_NE(second.output.find("\nTrying to open file river_surf_pts_P.shp...Can't Open\n"),
              std::string::npos)
        << tail(second.output);
    expectFailure(second, "ERROR - Unable to open file river_surf_pts_P.shp and no console "
                          "input to wait on.");

    writer.finish(text.substr(sections));
    firstRun.join();
    EXPECT_FALSE(first.timedOut);
    EXPECT_EQ(first.status, 0) << tail(first.output);
    for (const char* layer : {"river_surf_pts_P", "1d_xs_river_surf_line_L", "river_cut_line_L"})
        for (const char* ext : {".shp", ".shx"}) {
            const std::string written = readFile(file(std::string(layer) + ext));
            EXPECT_EQ(written.size(), readFile(alone + "/" + layer + ext).size()) << layer << ext;
            EXPECT_TRUE(written == readFile(alone + "/" + layer + ext)) << layer << ext;
        }
#endif
}

// The same in the other formats, and tables: a second run cannot have the package the first is
// writing, nor the tables it has finished while it writes the rest.
TEST_F(ExampleCopies, SecondRunIsRefusedTheFirstsPackageAndTables) {
#ifndef _WIN32
    const std::string text = bigExport(), table = "Alder Creek_ Upper_ 4747.68.csv";
    std::size_t stall = text.find("BEGIN CROSS-SECTIONS");  // the first run stalls at section 3
    for (int k = 0; k < 3; ++k) stall = text.find("CROSS-SECTION:", stall + 1);
    const std::pair<const char*, std::string> runs[] = {  // their formats, the refused output
        {"-mif", "river_surf_pts.mif"}, {"-gpkg", "river.gpkg"}, {"-shp", table}};
    for (const auto& [second, refused] : runs) {
        SCOPED_TRACE(refused);
        for (const std::string& name : {std::string("river.sdf"), table}) fs::remove(file(name));
        ASSERT_EQ(::mkfifo(file("river.sdf").c_str(), 0600), 0);
        StallingWriter writer(file("river.sdf"), text.substr(0, stall));
        vktest::ProcessResult first;
        const char* format = second == std::string("-shp") ? "-mif" : second;
        std::thread firstRun([&] { first = vktest::runProgram({format, "river.sdf"}, "", in, 120); });
        for (int i = 0; i < 6000 && !vktest::fileExists(file(table)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        writeFile(file("river.b.sdf"), text);
        const auto r = run({second, "river.b.sdf"});
        EXPECT_NE(r.output.find(" Can't open: " + refused + "\n\n"), std::string::npos) << tail(r.output);
        EXPECT_NE(r.output.find(" Reason: held by another run\n"), std::string::npos);
        expectFailure(r, "ERROR - Unable to open file " + refused + " and no console input to wait on.");
        writer.finish(text.substr(stall));
        firstRun.join();
        EXPECT_EQ(first.status, 0) << tail(first.output);
    }
#endif
}

} // namespace
