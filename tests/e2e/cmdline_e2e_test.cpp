// The command line as a user meets it: the built program run with arguments and scripted standard
// input, its transcript compared exactly up to the point where the layers are created.
#include <filesystem>
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
const std::string kPrj = "PROJCS[\"GDA94_MGA_zone_56\",GEOGCS[\"GCS_GDA_1994\"]]";

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
                           opened("river.sdf", 1002));
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

TEST_F(CommandLine, TheSecondOfTwoFileNamesIsTheInput) {
    writeFile(dir.file("first.sdf"), kRiver);
    writeFile(dir.file("river.sdf"), kRiver);
    writeFile(dir.file("Header.mif"), kCoordSys + "\n");
    const auto r = run({"first.sdf", "-mif", "river.sdf"});
    expectConverted(r, banner(4) + opened("Header.mif", 1001) +
                           "\nUsing Header.mif for setting projection.\n" +
                           "\nmif Projection: " + kCoordSys + "\n" + opened("river.sdf", 1002));
    EXPECT_FALSE(vktest::fileExists(dir.file("first.sdf_streams.mif")));
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

TEST_F(CommandLine, MissingCommandLineFileLeadsToThePrompt) {
    writeFile(dir.file("river.sdf"), kRiver);
    const auto r = run({"rivr.sdf"}, "rivr\nriver\n");
    expectConverted(r, banner(2) + kPrompt + " WARNING - Can''t find file rivr.sdf, try again\n" +
                           kPrompt + opened("river.sdf", 1001));
}

} // namespace
