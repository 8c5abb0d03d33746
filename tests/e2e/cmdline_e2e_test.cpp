// The command line as a user meets it: the built program run with arguments and scripted standard
// input, its transcript compared exactly up to the point where the layers are created.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/testfiles.h"
#include "support/transcripts.h"

namespace {

using vktest::runProgram;
using vktest::writeFile;
using vktest::banner;

const std::string kPrompt = " Please enter the .sdf file -> ";
const std::string kExitTail = "\nPress Enter to Close\n";
const std::string kCoordSys = "CoordSys Earth Projection 8, 116, \"m\", 153, 0, 0.9996, 500000, "
                              "10000000";
// As ESRI software writes EPSG:2271.
const std::string kPrj =
    "PROJCS[\"NAD_1983_StatePlane_Pennsylvania_North_FIPS_3701_Feet\",GEOGCS[\"GCS_North_American_"
    "1983\",DATUM[\"D_North_American_1983\",SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Lambert_"
    "Conformal_Conic\"],PARAMETER[\"False_Easting\",1968500.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",-77.75],PARAMETER[\"Standard_Parallel_1\",41.95],PARAMETER["
    "\"Standard_Parallel_2\",40.8833333333333],PARAMETER[\"Latitude_Of_Origin\",40.1666666666667],"
    "UNIT[\"US survey foot\",0.304800609601219]]";

const std::string kRiver = "# export\n"
                           "BEGINSTREAMNETWORK:\n"
                           "REACH:\n STREAM ID: Creek\n REACH ID: Upper\n"
                           " CENTERLINE:\n   10.0, 20.0\n   20.0, 30.0\n END:\n"
                           "ENDSTREAMNETWORK:\n"
                           "BEGIN CROSS-SECTIONS:\n"
                           "CROSS-SECTION:\n STREAM ID: Creek\n REACH ID: Upper\n STATION: 100\n"
                           " CUT LINE:\n   10.0, 30.0\n   20.0, 20.0\n"
                           " SURFACE LINE:\n   10.0, 30.0, 5.0\n   15.0, 25.0, 1.0\n"
                           "   20.0, 20.0, 5.5\n"
                           "END:\n"
                           "END CROSS-SECTIONS:\n";


std::string opened(const std::string& name, int unit) {
    return "\nTrying to open file " + name + "...OK.\nOpened File Unit:" + std::to_string(unit) +
           "\n";
}

class CommandLine : public ::testing::Test {
  protected:
    vktest::TempDir dir;

    vktest::ProcessResult run(const std::vector<std::string>& args, const std::string& input = {}) {
        vktest::ProcessResult r = runProgram(args, input, dir.path(), 60);
        EXPECT_FALSE(r.timedOut);
        return r;
    }
    // The transcript up to the layers equals `expected`, and the run finished.
    void expectConverted(const vktest::ProcessResult& r, const std::string& expected) {
        EXPECT_EQ(r.output.substr(0, expected.size()), expected) << r.output;
        EXPECT_TRUE(r.output.ends_with("\nFinished.\n" + kExitTail)) << r.output;
        EXPECT_EQ(r.status, 0);
    }
};

TEST_F(CommandLine, NoArgumentsAsksForTheFileAndCompletesItsName) {
    writeFile(dir.file("river.sdf"), kRiver);
    const auto r = run({}, "river\n");
    expectConverted(r, banner(1) + run({"-help"}).output + kPrompt + opened("river.sdf", 1001));
    // No format option: Shapefile layers, named after the typed name.
    EXPECT_TRUE(vktest::fileExists(dir.file("river.sdf_streams_L.shp")));
}

TEST_F(CommandLine, NoArgumentsAndNoInputEndsWithStatusOne) {
    const auto r = run({});
    EXPECT_EQ(r.output, banner(1) + run({"-help"}).output + kPrompt +
                            "\nERROR - No input file: end of console input.\n" + kExitTail);
    EXPECT_EQ(r.status, 1);
}

TEST_F(CommandLine, MifInCapitalsBeforeTheFileName) {
    writeFile(dir.file("river.sdf"), kRiver);
    writeFile(dir.file("Header.mif"), "Version 300\r\n" + kCoordSys + "\r\nColumns 1\r\n");
    const auto r = run({"-MIF", "river.sdf"});
    expectConverted(r, banner(3) + opened("Header.mif", 1001) +
                           "\nUsing Header.mif for setting projection.\n" +
                           "\nmif Projection: " + kCoordSys + "\n" + opened("river.sdf", 1002));
    EXPECT_TRUE(vktest::fileExists(dir.file("river.sdf_streams.mif")));
}

TEST_F(CommandLine, SlashShpAfterTheFileName) {
    writeFile(dir.file("river.sdf"), kRiver);
    writeFile(dir.file("Header.prj"), kPrj + "\r\n");
    const auto r = run({"river.sdf", "/shp"});
    expectConverted(r, banner(3) + "GIS Projection being extracted from Header.prj\n" +
                           opened("Header.prj", 1001) + "\nshp Projection: " + kPrj + "\n" +
                           "\nCoordinate system: NAD83 / Pennsylvania North (ftUS), EPSG:2271, "
                           "from Header.prj\n" + opened("river.sdf", 1002));
}

TEST_F(CommandLine, BothFormatsAreRefused) {
    const auto r = run({"-shp", "-mif", "x.sdf"});
    EXPECT_EQ(r.output, banner(4) +
                            "\nERROR - Both mif and shp outputs specified, please use only one.\n" +
                            kExitTail);
    EXPECT_EQ(r.status, 1);
}

TEST_F(CommandLine, UnknownOptionEndsTheRun) {
    writeFile(dir.file("river.sdf"), kRiver);
    const auto r = run({"-shape", "river.sdf"});
    EXPECT_EQ(r.output,
              banner(3) + "\nERROR - Unrecognised command line option: -shape\n" + kExitTail);
    EXPECT_EQ(r.status, 1);
}

// Several inputs: each converted as a run of its own would convert it (its console between
// "Converting" lines, its files byte for byte), the missing and the unreadable ones failing alone.
TEST_F(CommandLine, EachOfSeveralInputsIsConvertedAsAloneAndAFailureStopsNoOther) {
    std::string brook = kRiver;
    for (std::size_t at; (at = brook.find("Creek")) != std::string::npos;)
        brook.replace(at, 5, "Br");
    const std::pair<std::string, std::string> inputs[] = {
        {"a.sdf", kRiver}, {"missing.sdf", ""}, {"image.sdf", "\x89PNG\r\n"}, {"c.sdf", brook}};
    std::vector<std::string> args = {"-mif"};
    std::string expected = banner(6);
    std::map<std::string, std::string> alone;  // the single runs' files
    for (const auto& [name, bytes] : inputs) {
        vktest::TempDir single;
        for (const std::string& folder : {single.path(), dir.path()}) {
            writeFile(folder + "/Header.mif", kCoordSys + "\n");
            if (!bytes.empty()) writeFile(folder + "/" + name, bytes);
        }
        const std::string out = runProgram({"-mif", name}, "", single.path(), 60).output;
        expected += "\nConverting " + std::to_string(args.size()) + " of 4: " + name + "\n" +
                    out.substr(banner(2).size(), out.size() - banner(2).size() - kExitTail.size());
        args.push_back(name);
        for (const std::string& file : vktest::filesIn(single.path()))
            alone[file] = vktest::readFile(single.file(file));
    }
    const auto r = run(args, "never read\n");
    EXPECT_EQ(r.output, expected + "\nConverted 2 of 4 files.\n" + kExitTail);
    EXPECT_EQ(r.status, 1);
    for (const auto& [file, bytes] : alone)
        EXPECT_EQ(vktest::readFile(dir.file(file)), bytes) << file;
    EXPECT_EQ(vktest::filesIn(dir.path()).size(), alone.size());
}

// The same tables from two inputs: the later ones are renamed, nothing is written over.
TEST_F(CommandLine, TablesOfTheSameNameFromTwoInputsAreKeptApart) {
    for (const char* name : {"a.sdf", "b.sdf"}) writeFile(dir.file(name), kRiver);
    const auto r = run({"-quiet", "a.sdf", "b.sdf"});
    EXPECT_NE(r.output.find("\nWARNING - Table Creek_ Upper_ 100.csv already written in this run; "
                            "this section's table is Creek_ Upper_ 100_2.csv. (stream Creek, "
                            "reach Upper, station 100, line 12)\nWritten: centrelines 1, cut lines "
                            "1, surface lines 1, surface points 3, end points 2, levee points 0, "
                            "tables 1.\nWarnings: 1.\n"),
              std::string::npos) << r.output;
    EXPECT_EQ(vktest::readFile(dir.file("Creek_ Upper_ 100_2.csv")),
              vktest::readFile(dir.file("Creek_ Upper_ 100.csv")));
    EXPECT_NE(vktest::readFile(dir.file("1d_xs_b_surf_line_L.dbf")).find("Creek_ Upper_ 100_2.csv"),
              std::string::npos);
    // However the second's folder is spelled; nor is a later input named like a table written
    // over, or the export a package would be named as.
    std::filesystem::create_directories(dir.file("sub"));
    if (vktest::kPosixSystem) std::filesystem::create_directory_symlink(dir.path(), dir.file("ln"));
    std::string native = dir.file("b.sdf");  // as Windows writes it
    std::replace(native.begin(), native.end(), '/', '\\');
    for (const std::string& second : {dir.file("b.sdf"), std::string("sub/../b.sdf"),
                                      std::string(".//b.sdf"), std::string("ln/b.sdf"), native}) {
        std::filesystem::remove(dir.file("Creek_ Upper_ 100_2.csv"));
        if (vktest::fileExists(second)) run({"-quiet", "a.sdf", second});
        EXPECT_EQ(vktest::fileExists(dir.file("Creek_ Upper_ 100_2.csv")),
                  vktest::fileExists(second)) << second;
    }
    writeFile(dir.file("Creek_ Upper_ 100.csv"), kRiver);
    EXPECT_NE(run({"-quiet", "a.sdf", "Creek_ Upper_ 100.csv"})
                  .output.find("\nWARNING - Table Creek_ Upper_ 100 is an input of this run; this "
                               "section's table is Creek_ Upper_ 100_2.csv."),
              std::string::npos);
    writeFile(dir.file("x.gpkg"), kRiver);
    const auto package = run({"-gpkg", "x.gpkg"});
    EXPECT_NE(package.output.find(" Reason: an input of this run\n"), std::string::npos);
    EXPECT_EQ(vktest::readFile(dir.file("x.gpkg")), kRiver);
    EXPECT_EQ(package.status, 1);
}

// -out and -prj: every output in the folder given (made with its parents), named as beside the
// input, the projection from the file given; or the run ends before writing anything there.
TEST_F(CommandLine, OutputFolderAndProjectionTemplate) {
    for (const char* folder : {"model", "b"}) std::filesystem::create_directories(dir.file(folder));
    for (const char* file : {"model/river.sdf", "b/river.sdf"}) writeFile(dir.file(file), kRiver);
    writeFile(dir.file("model/Header.mif"), kCoordSys + "\n");
    writeFile(dir.file("other.mif"), "CoordSys NonEarth Units \"m\"\n");
    ASSERT_EQ(run({"-mif", "model/river.sdf"}).status, 0);
    EXPECT_EQ(run({"-mif", "-report", "--out", "new/deep/", "model/river.sdf"}).status, 0);
    const auto beside = vktest::filesIn(dir.file("model"));
    for (const std::string& file : beside) {
        if (file == "river.sdf" || file == "Header.mif") continue;
        EXPECT_EQ(vktest::readFile(dir.file("new/deep/" + file)),
                  vktest::readFile(dir.file("model/" + file))) << file;
    }
    // The report beside them; not the input and its template.
    EXPECT_EQ(vktest::filesIn(dir.file("new/deep")).size(), beside.size() - 1);
    EXPECT_TRUE(vktest::fileExists(dir.file("new/deep/river_report.html")));

    const auto prj = run({"-mif", "-prj", "other.mif", "-out", "p", "model/river.sdf"});
    EXPECT_NE(prj.output.find("\nUsing other.mif for setting projection.\n"), std::string::npos);
    EXPECT_NE(vktest::readFile(dir.file("p/river_cut_line.mif")).find("\nCoordSys NonEarth Units"),
              std::string::npos);
    const struct {
        std::vector<std::string> args;
        std::string error;
    } refused[] = {
        {{"-out", "model/river.sdf/q", "model/river.sdf"},
         "ERROR - Can't create output folder model/river.sdf/q: "},
        {{"-out", "q", "model/river.sdf", "b/River.sdf"},
         "ERROR - Inputs model/river.sdf and b/River.sdf would write outputs of the same names in "
         "one folder.\n"},
        {{"-mif", "-prj", "none.mif", "-out", "q", "model/river.sdf"},
         "ERROR - Projection file none.mif does not exist.\n"},
        {{"model/river.sdf", "-out"}, "ERROR - No folder named after -out\n"},
        {{"model/river.sdf", "--prj"}, "ERROR - No file named after --prj\n"},
        {{"-shp", "model/river.sdf", "./model//river.txt"},
         "ERROR - Inputs model/river.sdf and ./model//river.txt would write outputs of the same "
         "names in one folder.\n"},
    };
    for (const auto& c : refused) {
        const auto e = run(c.args);
        EXPECT_NE(e.output.find("\n" + c.error), std::string::npos) << e.output;
        EXPECT_EQ(e.status, 1);
        EXPECT_FALSE(vktest::fileExists(dir.file("q"))) << c.error;
    }
}

TEST_F(CommandLine, AbsolutePathFindsItsTemplateBesideIt) {
    std::filesystem::create_directories(dir.file("data"));
    std::filesystem::create_directories(dir.file("work"));
    const std::string input = dir.file("data/river.sdf");
    writeFile(input, kRiver);
    writeFile(dir.file("data/Projection.mif"), kCoordSys + "\n");
    writeFile(dir.file("work/Header.mif"), "CoordSys NonEarth Units \"m\"\n");
    vktest::ProcessResult r = runProgram({"-mif", input}, "", dir.file("work"), 60);
    EXPECT_FALSE(r.timedOut);
    const std::string prj = dir.file("data/Projection.mif");
    expectConverted(r, banner(3) + opened(prj, 1001) + "\nUsing " + prj +
                           " for setting projection.\n" + "\nmif Projection: " + kCoordSys + "\n" +
                           opened(input, 1002));
    EXPECT_TRUE(vktest::fileExists(input + "_streams.mif"));
}

// From a script a missing name is said and never asked for: the script's input stays unread.
TEST_F(CommandLine, MissingCommandLineFileEndsTheRunWithoutAsking) {
    writeFile(dir.file("river.sdf"), kRiver);
    const auto r = run({"rivr.sdf  "}, "rivr\nriver\n");
    EXPECT_EQ(r.output, banner(2) + "\nERROR - Can't find input file rivr.sdf.\n" + kExitTail);
    EXPECT_EQ(r.status, 1);
}

// Windows' shell passes "*" on and the program matches it, in name order; a POSIX shell has
// matched it before, so a "*" that reaches the program is a name.
TEST_F(CommandLine, WildcardsAreMatchedOnlyWhereTheShellDoesNot) {
    for (const char* name : {"b.sdf", "a.sdf", "a.txt"}) writeFile(dir.file(name), kRiver);
    const auto r = run({"-quiet", "*.sdf"});
    const std::size_t first = r.output.find("\nConverting 1 of 2: a.sdf\n");
    EXPECT_EQ(first < r.output.find("\nConverting 2 of 2: b.sdf\n") &&
                  r.output.ends_with("\nConverted 2 of 2 files.\n" + kExitTail),
              !vktest::kPosixSystem) << r.output;
    EXPECT_EQ(r.output == "ERROR - Can't find input file *.sdf.\n" + kExitTail,
              vktest::kPosixSystem);
    EXPECT_EQ(r.status, vktest::kPosixSystem ? 1 : 0);
}

} // namespace
