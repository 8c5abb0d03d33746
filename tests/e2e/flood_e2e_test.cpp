// Flood maps through the whole program (-grid, -dem): the rasters read back through GDAL.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <tuple>
#include <vector>

#include <gdal_priv.h>
#include <gtest/gtest.h>

#include "support/process.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

struct Raster {
    int columns = 0, rows = 0;
    double transform[6] = {};
    std::vector<float> cells;
    double x(int c) const { return transform[0] + (c + 0.5) * transform[1]; }
    double y(int r) const { return transform[3] + (r + 0.5) * transform[5]; }
};

Raster readRaster(const std::string& path) {
    Raster out;
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    EXPECT_TRUE(ds) << path;
    if (!ds) return out;
    out.columns = ds->GetRasterXSize();
    out.rows = ds->GetRasterYSize();
    ds->GetGeoTransform(out.transform);
    out.cells.resize(static_cast<std::size_t>(out.columns) * out.rows);
    EXPECT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, out.columns, out.rows,
                                             out.cells.data(), out.columns, out.rows, GDT_Float32,
                                             0, 0, nullptr),
              CE_None);
    return out;
}

// One reach, two straight parallel sections 100 apart: from x = 0 to 50 at y = 100 (level 20)
// and from x = 20 to 70 at y = 0 (level 10), a parallelogram of water between them.
std::string twoSections() {
    std::string text = "BEGIN HEADER:\nNUMBER OF PROFILES: 1\nPROFILE NAMES:\n Q:100\nEND HEADER:\n"
                       "BEGIN STREAM NETWORK:\nREACH:\nSTREAM ID: Creek\nREACH ID: One\n"
                       "CENTERLINE:\n25, 110\n45, -10\nEND:\nEND STREAM NETWORK:\n"
                       "BEGIN CROSS-SECTIONS:\n";
    for (const auto& [x, y, level] : {std::tuple{"0", "100", "20"}, std::tuple{"20", "0", "10"}}) {
        const std::string from = std::string(x) + ", " + y, to = std::to_string(std::stoi(x) + 50) + ", " + y;
        text += "CROSS-SECTION:\nSTREAM ID: Creek\nREACH ID: One\nSTATION: " + std::string(level) +
                "\nCUT LINE:\n" + from + "\n" + to + "\nWATER ELEVATION: " + level +
                "\nWATER SURFACE EXTENTS:\n" + from + ", " + to + "\nEND:\n";
    }
    return text + "END CROSS-SECTIONS:\n";
}

// Whether a cell centre lies inside the parallelogram (1), outside (0), or too near its edge to
// say (-1).
int inParallelogram(double x, double y) {
    const double left = 20 - y / 5, right = 70 - y / 5, margin = 1e-6;
    if (y < -margin || y > 100 + margin || x < left - margin || x > right + margin) return 0;
    if (y > margin && y < 100 - margin && x > left + margin && x < right - margin) return 1;
    return -1;
}

class FloodE2e : public ::testing::Test {
  protected:
    vktest::TempDir dir;
    void SetUp() override { GDALAllRegister(); }
};

TEST_F(FloodE2e, ParallelSectionsGiveTheLinearSurfaceAndTheDepthOverAPlane) {
    vktest::writeFile(dir.file("two.sdf"), twoSections());
    // Ground z = 5 + x / 20 on a grid of 0.5 from (-10, 110) to (90, -10).
    {
        GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
        std::unique_ptr<GDALDataset> dem(
            tiff->Create(dir.file("plane.tif").c_str(), 200, 240, 1, GDT_Float32, nullptr));
        double transform[6] = {-10, 0.5, 0, 110, 0, -0.5};
        dem->SetGeoTransform(transform);
        std::vector<float> ground(200 * 240);
        for (int r = 0; r < 240; ++r)
            for (int c = 0; c < 200; ++c) ground[r * 200 + c] = static_cast<float>(5 + (-10 + (c + 0.5) * 0.5) / 20);
        ASSERT_EQ(dem->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 200, 240, ground.data(), 200,
                                                  240, GDT_Float32, 0, 0, nullptr),
                  CE_None);
    }
    const vktest::ProcessResult run =
        vktest::runProgram({"-grid", "1", "-dem", dir.file("plane.tif"), dir.file("two.sdf")}, "",
                           dir.file(""));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("rasters 2, raster cells "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("flooded areas 1."), std::string::npos) << run.output;

    // The profile's name made fit for a file name; the water surface on a grid of 1 over the
    // lines' extent, the depth on the terrain model's.
    [[maybe_unused]] double depthArea = 0;
    for (const bool depth : {false, true}) {
        const Raster r = readRaster(dir.file(depth ? "two_depth_Q_100.tif" : "two_wse_Q_100.tif"));
        EXPECT_EQ(r.columns, depth ? 200 : 70);
        std::int64_t wet = 0, checked = 0;
        for (int row = 0; row < r.rows; ++row)
            for (int c = 0; c < r.columns; ++c) {
                const double x = r.x(c), y = r.y(row);
                const int inside = inParallelogram(x, y);
                const float v = r.cells[static_cast<std::size_t>(row) * r.columns + c];
                if (v != -9999.0f) ++wet;
                if (inside < 0) continue;
                ++checked;
                if (!inside) {
                    ASSERT_EQ(v, -9999.0f) << x << "," << y;
                    continue;
                }
                const double level = 10 + y / 10;
                const double expected = depth ? level - static_cast<float>(5 + x / 20) : level;
                ASSERT_NEAR(v, expected, 1e-4) << x << "," << y << (depth ? " depth" : " wse");
            }
        EXPECT_GT(checked, r.columns * r.rows * 9 / 10);
        const double area = static_cast<double>(wet) * std::abs(r.transform[1] * r.transform[5]);
        EXPECT_NEAR(area, 5000, 60);
        if (depth) depthArea = area;
    }
#ifndef _WIN32  // read back by GDAL's tools, which run through the POSIX shell
    // The flooded area: one region whose area is the depth raster's wet cells.
    const vktest::ProcessResult info =
        vktest::runShell("ogrinfo -q -al " + dir.file("two_flooded_R.shp"));
    EXPECT_NE(info.output.find("Profile (String) = Q:100"), std::string::npos) << info.output;
    char area[64];
    std::snprintf(area, sizeof area, "Area (Real) = %.5f\n", depthArea);
    EXPECT_NE(info.output.find(area), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("POLYGON ((0 100,"), std::string::npos) << info.output;
#endif
}

// Bad input ends the run before anything is written, or writes no raster that looks valid.
TEST_F(FloodE2e, BadCellsAndTerrainModelsAreRefused) {
    vktest::writeFile(dir.file("two.sdf"), twoSections());
    vktest::writeFile(dir.file("notaraster.tif"), "not a raster");
    struct Case {
        std::vector<std::string> options;
        int status;
        std::string message;
    } cases[] = {
        {{"-grid", "0"}, 1, "ERROR - -grid: the cell size 0 is not a positive number."},
        {{"-grid", "-2"}, 1, "ERROR - -grid: the cell size -2 is not a positive number."},
        {{"-grid", "1,5"}, 1, "ERROR - -grid: the cell size 1,5 is not a positive number."},
        {{"-grid", "nan"}, 1, "ERROR - -grid: the cell size nan is not a positive number."},
        {{"-grid"}, 1, "ERROR - No cell size named after -grid"},
        {{"-dem", "notaraster.tif"}, 1, "ERROR - -dem: "},
        {{"-grid", "1e-6"}, 0, "WARNING - -grid: too many cells"},
    };
    for (const Case& c : cases) {
        for (const auto& entry : fs::directory_iterator(dir.file("")))
            if (entry.path().filename() != "two.sdf" && entry.path().filename() != "notaraster.tif")
                fs::remove(entry.path());
        std::vector<std::string> args = c.options;
        // An option without its value: the last argument.
        args.insert(c.options.size() == 1 ? args.begin() : args.end(), "two.sdf");
        const vktest::ProcessResult run = vktest::runProgram(args, "", dir.file(""));
        EXPECT_EQ(run.status, c.status) << c.options[0];
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        int files = 0;
        for (const auto& entry : fs::directory_iterator(dir.file(""))) {
            const bool written = entry.path().filename() != "notaraster.tif";
            EXPECT_FALSE(written && entry.path().extension() == ".tif") << entry.path();
            ++files;
        }
        if (c.status == 1) {
            EXPECT_EQ(files, 2) << c.options[0];
        }
    }
}

// A real export with results: each profile's water surface lies inside its profile limits (the
// layer rasterized) and within the export's levels.
TEST_F(FloodE2e, RealExportSurfacesStayInsideTheirLimits) {
#ifdef _WIN32
    GTEST_SKIP() << "the limits are rasterized by GDAL's tool through the POSIX shell";
#endif
    const std::string realData = vktest::realDataDir();
    if (realData.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata)";
    fs::copy_file(realData + "/baldeagle-export-crlf.sdf", dir.file("bald.sdf"));
    const vktest::ProcessResult run =
        vktest::runProgram({"-results", "-grid", "50", "bald.sdf"}, "", dir.file(""));
    ASSERT_EQ(run.status, 0) << run.output;
    for (const std::string profile : {"18Feb1999 0400", "21Feb1999 2200"}) {
        const std::string wse = dir.file("bald_wse_" + profile + ".tif");
        const Raster r = readRaster(wse);
        // The limits burnt into a copy of the grid: every wet cell must be under them.
        const std::string limits = dir.file("limits.tif");
        fs::copy_file(wse, limits, fs::copy_options::overwrite_existing);
        const vktest::ProcessResult burn = vktest::runShell(
            "gdal_rasterize -q -b 1 -burn 1 -where \"Profile = '" + profile + "'\" " +
            dir.file("bald_profile_limits_R.shp") + " " + limits);
        ASSERT_EQ(burn.status, 0) << burn.output;
        const Raster inside = readRaster(limits);
        std::int64_t wet = 0, outside = 0;
        float low = INFINITY, high = -INFINITY;
        for (std::size_t i = 0; i < r.cells.size(); ++i) {
            if (r.cells[i] == -9999.0f) continue;
            ++wet;
            low = std::min(low, r.cells[i]);
            high = std::max(high, r.cells[i]);
            if (inside.cells[i] != 1) ++outside;
        }
        EXPECT_GT(wet, 100) << profile;
        EXPECT_EQ(outside, 0) << profile;
        // The export's levels lie between 532 and 664 feet.
        EXPECT_GT(low, 530) << profile;
        EXPECT_LT(high, 665) << profile;
    }
}

}  // namespace
