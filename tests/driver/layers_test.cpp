#include "driver/layers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversion_fixture.h"

namespace {

using vktest::ConversionTest;
using vktest::fileExists;

const vk::OutputFormat& kShp = vktest::outputFormat("shp");
const vk::OutputFormat& kMif = vktest::outputFormat("mif");

// ---------------------------------------------------------------------------------------------
// Names and attribute texts

TEST(LayerNamesTest, FollowTheInputName) {
    EXPECT_EQ(vk::streamLayerName("river.sdf", kMif), "river.sdf_streams.mif");
    EXPECT_EQ(vk::streamLayerName("river.sdf  ", kShp), "river.sdf_streams.shp");
    const std::array<std::string, 5> shp = {"river_surf_pts.shp", "2d_zsh_river_end_pts.shp",
                                            "1d_xs_river_surf_line.shp", "river_cut_line.shp",
                                            "river_levee_pts.shp"};
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("river.sdf"), kShp), shp);
    // The base name ends at the first ".".
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("river.v2.sdf"), kMif)[vk::kSurfacePointsLayer],
              "river_surf_pts.mif");
}

TEST(LayerNamesTest, InputWithoutDotGivesItsWholeNameAsTheBaseName) {
    const std::array<std::string, 5> mif = {"river_surf_pts.mif", "2d_zsh_river_end_pts.mif",
                                            "1d_xs_river_surf_line.mif", "river_cut_line.mif",
                                            "river_levee_pts.mif"};
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("river"), kMif), mif);
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("data.v2/river"), kMif)[vk::kEndPointsLayer],
              "data.v2/2d_zsh_river_end_pts.mif");
}

TEST(LayerNamesTest, FolderPartIsKeptWholeAndPrefixesGoBeforeTheFileName) {
    const std::array<std::string, 5> names = {
        "data.v2/river_surf_pts.shp", "data.v2/2d_zsh_river_end_pts.shp",
        "data.v2/1d_xs_river_surf_line.shp", "data.v2/river_cut_line.shp",
        "data.v2/river_levee_pts.shp"};
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("data.v2/river.sdf"), kShp), names);
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("./river.sdf"), kMif)[vk::kSurfacePointsLayer],
              "./river_surf_pts.mif");
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf(R"(C:\runs\a.b\river.sdf)"), kShp)[vk::kSurfaceLinesLayer],
              R"(C:\runs\a.b\1d_xs_river_surf_line.shp)");
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("/a\\b/river.sdf"), kMif)[vk::kEndPointsLayer],
              "/a\\b/2d_zsh_river_end_pts.mif");
    EXPECT_EQ(vk::folderPart("x/y\\z.sdf"), "x/y\\");
    EXPECT_EQ(vk::folderPart("z.sdf"), "");
    // A drive-relative input: its drive is its folder, never part of a layer's name.
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("D:river.sdf"), kShp)[vk::kEndPointsLayer],
              "D:2d_zsh_river_end_pts.shp");
    EXPECT_EQ(vk::folderPart("D:"), "D:");
    // A colon elsewhere in the file name (a stream of a file on Windows) is never part of a name.
    EXPECT_EQ(vk::sectionLayerNames(vk::outputNamesOf("D:a:b.sdf"), kShp)[vk::kCutLinesLayer],
              "D:a_b_cut_line.shp");
}

// ---------------------------------------------------------------------------------------------
// The layer set of a run

constexpr std::string_view kMifStart = "Version 300\n"
                                       "Charset \"WindowsLatin1\"\n"
                                       "Delimiter \",\"\n"
                                       "CoordSys Earth Projection 1, 104\n";

const std::string kStreamHeader = std::string(kMifStart) + "Columns 2\n"
                                                           "  Stream_ID Char(100)\n"
                                                           "  Reach_ID Char(100)\n"
                                                           "Data\n\n";
const std::string kSurfacePointsHeader = std::string(kMifStart) + "Columns 5\n"
                                                                  "  Stream_ID Char(100)\n"
                                                                  "  Reach_ID Char(100)\n"
                                                                  "  Station Char(100)\n"
                                                                  "  Elevation Float\n"
                                                                  "  Mannings Float\n"
                                                                  "Data\n\n";
const std::string kEndPointsHeader = std::string(kMifStart) + "Columns 4\n"
                                                              "  Z Float\n"
                                                              "  dZ Float\n"
                                                              "  Shape_Width_or_dMax Float\n"
                                                              "  Shape_Options Char(20)\n"
                                                              "Data\n\n";
const std::string kSurfaceLineHeader = std::string(kMifStart) + "Columns 13\n"
                                                                "  Source Char(50)\n"
                                                                "  Type Char(2)\n"
                                                                "  Flags Char(8)\n"
                                                                "  Column_1 Char(20)\n"
                                                                "  Column_2 Char(20)\n"
                                                                "  Column_3 Char(20)\n"
                                                                "  Column_4 Char(20)\n"
                                                                "  Column_5 Char(20)\n"
                                                                "  Column_6 Char(20)\n"
                                                                "  Z_Increment Float\n"
                                                                "  Z_Maximum Float\n"
                                                                "  Skew Float\n"
                                                                "  Comments Char(200)\n"
                                                                "Data\n\n";
const std::string kCutLineHeader = std::string(kMifStart) + "Columns 3\n"
                                                            "  Stream_ID Char(100)\n"
                                                            "  Reach_ID Char(100)\n"
                                                            "  Station Char(100)\n"
                                                            "Data\n\n";
const std::string kLeveePointsHeader = std::string(kMifStart) + "Columns 5\n"
                                                                "  Stream_ID Char(100)\n"
                                                                "  Reach_ID Char(100)\n"
                                                                "  Station Char(100)\n"
                                                                "  Elevation Float\n"
                                                                "  Levee_ID Char(100)\n"
                                                                "Data\n\n";

using LayerSetTest = ConversionTest;

TEST_F(LayerSetTest, RunWithoutReachesOrSectionsGivesSixHeadedEmptyLayers) {
    output.openStreamLayer();
    output.streamNetworkDone();
    output.crossSectionsDone();

    const std::pair<const char*, const std::string*> layers[] = {
        {"river.sdf_streams", &kStreamHeader},
        {"river_surf_pts", &kSurfacePointsHeader},
        {"2d_zsh_river_end_pts", &kEndPointsHeader},
        {"1d_xs_river_surf_line", &kSurfaceLineHeader},
        {"river_cut_line", &kCutLineHeader},
        {"river_levee_pts", &kLeveePointsHeader},
    };
    for (const auto& [name, header] : layers) {
        EXPECT_EQ(read(std::string(name) + ".mif"), *header) << name;
        EXPECT_EQ(read(std::string(name) + ".mid"), "") << name;
    }
    // Every layer was closed: no file unit is left in use.
    for (int unit = 1001; unit <= 1012; ++unit)
        EXPECT_FALSE(vk::unitInUse(state.units, unit)) << unit;
}

TEST_F(LayerSetTest, CentrelinesAreWrittenWithTheirIds) {
    output.openStreamLayer();
    vk::GisObject line;
    line.n = 3;
    line.X[0] = 3512000.25, line.Y[0] = 5405000.5;
    line.X[1] = 3512100.0, line.Y[1] = 5405100.0;
    line.X[2] = 3512250.125, line.Y[2] = 5405150.75;
    output.centreline({" Main River", " Upper"}, line);
    line.n = 2;
    line.X[0] = 1.0, line.Y[0] = -2.0;
    output.centreline({R"( Say "Oui")", ""}, line);
    output.streamNetworkDone();
    output.crossSectionsDone();

    EXPECT_EQ(read("river.sdf_streams.mif"), kStreamHeader + "Pline 3\n"
                                                             "  3512000.250000  5405000.500000\n"
                                                             "  3512100.000000  5405100.000000\n"
                                                             "  3512250.125000  5405150.750000\n"
                                                             "Pline 2\n"
                                                             "        1.000000       -2.000000\n"
                                                             "  3512100.000000  5405100.000000\n");
    EXPECT_EQ(read("river.sdf_streams.mid"), "\" Main River\",\" Upper\"\n"
                                             "\" Say \"\"Oui\"\"\",\"\"\n");
    EXPECT_EQ(output.written().centrelines, 2);
}

TEST_F(LayerSetTest, LayersAreCreatedAndClosedInTheirOrder) {
    output.openStreamLayer();
    output.streamNetworkDone();
    output.crossSectionsDone();

    // Each name's "Opening" line, and the number it was given, in order of creation; the first
    // cross-section layer reuses the stream layer's number.
    const std::pair<std::string, int> opened[] = {
        {"river.sdf_streams.mif", 1},    {"river_surf_pts.mif", 1},
        {"2d_zsh_river_end_pts.mif", 2}, {"1d_xs_river_surf_line.mif", 3},
        {"river_cut_line.mif", 4},       {"river_levee_pts.mif", 5},
    };
    std::size_t at = 0;
    for (const auto& [name, id] : opened) {
        at = transcript.find("Opening GIS Layer: " + name, at);
        ASSERT_NE(at, std::string::npos) << name << " in\n" << transcript;
        at = transcript.find("GIS Layer assigned ID of " + std::to_string(id), at);
        ASSERT_NE(at, std::string::npos) << name << " in\n" << transcript;
    }
    // Closing: the stream layer first, then surface points, surface lines, cut lines, levee
    // points and the end points last.
    const char* const closed[] = {
        "Closing GIS Layer 1 [river.sdf_streams.mif]...",
        "Closing GIS Layer 1 [river_surf_pts.mif]...",
        "Closing GIS Layer 3 [1d_xs_river_surf_line.mif]...",
        "Closing GIS Layer 4 [river_cut_line.mif]...",
        "Closing GIS Layer 5 [river_levee_pts.mif]...",
        "Closing GIS Layer 2 [2d_zsh_river_end_pts.mif]...",
    };
    at = 0;
    for (const char* line : closed) {
        at = transcript.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << " in\n" << transcript;
    }
    const std::size_t streamClosed = transcript.find(closed[0]);
    EXPECT_LT(streamClosed, transcript.find("Opening GIS Layer: river_surf_pts.mif"));
}

// Another run trying the layers while this one writes the last bytes of its last layer: every
// layer file, those closed before included, is still this run's (so none can be emptied under a
// run that then ends as finished); the run's end lets go of them all.
TEST_F(LayerSetTest, LayersStayHeldUntilTheLastIsWritten) {
    std::vector<std::string> taken;
    int tried = 0;
    const auto tryEveryLayer = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (!name.ends_with(".mif") && !name.ends_with(".mid")) continue;
            ++tried;
            vk::sys::File other;
            if (vk::sys::openFile(entry.path().string(), vk::sys::Access::Keep, other, true) == 0) {
                taken.push_back(name);
                vk::sys::closeFile(other);
            }
        }
    };
    vk::sys::WriteFault closing{"_end_pts.mif", 0, 0, tryEveryLayer};
    vk::sys::setWriteFault(state.writeFaults, closing);
    output.openStreamLayer();
    output.streamNetworkDone();
    output.crossSectionsDone();
    vk::sys::clearWriteFaults(state.writeFaults);
    EXPECT_EQ(tried, 12);
    EXPECT_EQ(taken, std::vector<std::string>{});

    EXPECT_TRUE(vk::closeAllUnitsAtExit(state.units));
    tried = 0;
    tryEveryLayer();
    EXPECT_EQ(taken.size(), 12u);
}

TEST_F(LayerSetTest, InputWithoutDotGivesLayersNamedAfterItsWholeName) {
    vk::setInputName(settings, "river");
    output.openStreamLayer();
    output.streamNetworkDone();
    output.crossSectionsDone();
    EXPECT_EQ(read("river_streams.mif"), kStreamHeader);
    EXPECT_EQ(read("river_surf_pts.mif"), kSurfacePointsHeader);
    EXPECT_EQ(read("2d_zsh_river_end_pts.mif"), kEndPointsHeader);
    EXPECT_EQ(read("1d_xs_river_surf_line.mif"), kSurfaceLineHeader);
    EXPECT_EQ(read("river_cut_line.mif"), kCutLineHeader);
    EXPECT_EQ(read("river_levee_pts.mif"), kLeveePointsHeader);
}

TEST_F(LayerSetTest, InputInAnotherFolderKeepsEveryLayerInThatFolder) {
    std::filesystem::create_directory(dir.file("run.1"));
    vk::setInputName(settings, "run.1/river.sdf");
    output.openStreamLayer();
    output.streamNetworkDone();
    output.crossSectionsDone();
    for (const char* name : {"river.sdf_streams", "river_surf_pts", "2d_zsh_river_end_pts",
                             "1d_xs_river_surf_line", "river_cut_line", "river_levee_pts"}) {
        EXPECT_TRUE(fileExists(dir.file("run.1/" + std::string(name) + ".mif"))) << name;
        EXPECT_TRUE(fileExists(dir.file("run.1/" + std::string(name) + ".mid"))) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
