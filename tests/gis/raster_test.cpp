#include "gis/raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "support/testfiles.h"

namespace {

using vk::RasterError;
using vk::RasterPoint;
using Line = std::vector<RasterPoint>;

const char* const kUtm18 = "EPSG:32618";

// Every cell of a raster file's first band.
std::vector<float> readCells(const std::string& path, int& columns, int& rows) {
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    EXPECT_TRUE(ds) << path;
    if (!ds) return {};
    columns = ds->GetRasterXSize();
    rows = ds->GetRasterYSize();
    std::vector<float> cells(static_cast<std::size_t>(columns) * rows);
    EXPECT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, columns, rows, cells.data(), columns,
                                             rows, GDT_Float32, 0, 0, nullptr),
              CE_None);
    return cells;
}

// Two straight sections 100 apart, from x = 0 to 50 at y = 0 (level 10) and y = 100 (level 20):
// a cell centred inside gets 10 + y / 10, every other cell stays nodata. The lines may have any
// vertices along them and run either way; limits clip but never extend.
TEST(Raster, StripBetweenParallelSectionsIsTheLinearInterpolation) {
    struct Case {
        const char* name;
        Line a, b;
        std::vector<vk::RasterPolygon> limits;
        double limitEast;  // cells east of this are clipped
    };
    const vk::RasterPolygon west = {{{-5, -5}, {25, -5}, {25, 105}, {-5, 105}}};
    const vk::RasterPolygon wide = {{{-9, -9}, {59, -9}, {59, 109}, {-9, 109}}};
    const Case cases[] = {
        {"two vertices each", {{0, 0}, {50, 0}}, {{0, 100}, {50, 100}}, {}, 50},
        {"more vertices, one line reversed", {{0, 0}, {20, 0}, {50, 0}},
         {{50, 100}, {35, 100}, {10, 100}, {0, 100}}, {}, 50},
        {"clipped by a limit", {{0, 0}, {50, 0}}, {{0, 100}, {50, 100}}, {west}, 25},
        {"a wider limit extends nothing", {{0, 0}, {50, 0}}, {{0, 100}, {50, 100}}, {wide}, 50},
    };
    vktest::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto grid = vk::makeGrid(-10, -10, 60, 110, 0.5);
        ASSERT_TRUE(grid.frame);
        const std::string path = dir.file("wse.tif");
        {
            vk::RasterFile out(path, *grid.frame, kUtm18);
            ASSERT_TRUE(out.addStrip({c.a, 10}, {c.b, 20}, c.limits));
            auto done = out.finish();
            ASSERT_EQ(done.error, RasterError::None) << done.message;
        }
        int columns = 0, rows = 0;
        std::vector<float> cells = readCells(path, columns, rows);
        ASSERT_EQ(columns, 140);
        ASSERT_EQ(rows, 240);
        int wrong = 0;
        for (int r = 0; r < rows; ++r) {
            for (int col = 0; col < columns; ++col) {
                const double x = -10 + (col + 0.5) * 0.5, y = 110 - (r + 0.5) * 0.5;
                const float v = cells[static_cast<std::size_t>(r) * columns + col];
                const bool wet = x >= 0 && x <= c.limitEast && y >= 0 && y <= 100;
                if (wet ? std::fabs(v - (10 + y / 10)) > 1e-4 : v != vk::kRasterNodata) {
                    if (++wrong < 5) ADD_FAILURE() << "cell " << col << "," << r << " is " << v;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The COG as GDAL reads it back: its layout, compression, block size, nodata, system, and the
// same cell values on every system (the checksum GDAL reports for them on Linux).
TEST(Raster, CogReadsBackWithItsLayoutAndSystem) {
    vktest::TempDir dir;
    const std::string path = dir.file("surface.tif");
    auto grid = vk::makeGrid(0, 0, 1000, 700, 1.0);
    ASSERT_TRUE(grid.frame);
    vk::RasterFile out(path, *grid.frame, kUtm18);
    const Line a = {{10, 20}, {400, 80}, {990, 30}}, b = {{30, 650}, {500, 690}, {970, 600}};
    ASSERT_TRUE(out.addStrip({a, 101.25}, {b, 97.5}));
    auto done = out.finish();
    ASSERT_EQ(done.error, RasterError::None) << done.message;
    EXPECT_GT(done.wetCells, 500000);
    EXPECT_EQ(vktest::filesIn(dir.path()), std::vector<std::string>{"surface.tif"});

    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(ds);
    EXPECT_STREQ(ds->GetMetadataItem("LAYOUT", "IMAGE_STRUCTURE"), "COG");
    EXPECT_STREQ(ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    GDALRasterBand* band = ds->GetRasterBand(1);
    int bx = 0, by = 0, has = 0;
    band->GetBlockSize(&bx, &by);
    EXPECT_EQ(bx, 512);
    EXPECT_EQ(by, 512);
    EXPECT_EQ(band->GetRasterDataType(), GDT_Float32);
    EXPECT_EQ(band->GetNoDataValue(&has), vk::kRasterNodata);
    EXPECT_TRUE(has);
    ASSERT_TRUE(ds->GetSpatialRef());
    EXPECT_STREQ(ds->GetSpatialRef()->GetAuthorityCode(nullptr), "32618");
    EXPECT_EQ(GDALChecksumImage(band, 0, 0, 1000, 700), 58647);  // as the Linux build writes it
}

// A terrain model of width x height cells of 1 from (x0, y0 + height), in the given system.
void writeDem(const std::string& path, const char* system, double x0, double y0, int width,
              int height, const std::vector<float>& ground) {
    GDALAllRegister();
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    std::unique_ptr<GDALDataset> dem(gtiff->Create(path.c_str(), width, height, 1, GDT_Float32, nullptr));
    ASSERT_TRUE(dem);
    double gt[6] = {x0, 1, 0, y0 + height, 0, -1};
    dem->SetGeoTransform(gt);
    OGRSpatialReference srs;
    srs.SetFromUserInput(system);
    dem->SetSpatialRef(&srs);
    dem->GetRasterBand(1)->SetNoDataValue(-32768);
    ASSERT_EQ(dem->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, width, height,
                                              const_cast<float*>(ground.data()), width, height,
                                              GDT_Float32, 0, 0, nullptr),
              CE_None);
}

// The depth over a terrain model: level minus ground exactly where the water is above it,
// nodata where the ground is higher or unknown; the flooded area is the wet cells' area.
TEST(Raster, DepthOverAPlaneIsLevelMinusGround) {
    vktest::TempDir dir;
    const std::string demPath = dir.file("dem.tif");
    // 40 x 30 cells from (0, 30): ground 8 + column / 4, and one cell unknown.
    std::vector<float> ground(40 * 30);
    for (int k = 0; k < 40 * 30; ++k) ground[k] = 8 + static_cast<float>(k % 40) / 4;
    ground[5 * 40 + 3] = -32768;
    writeDem(demPath, kUtm18, 0, 0, 40, 30, ground);
    auto opened = vk::openDem(demPath, kUtm18);
    ASSERT_TRUE(opened.dem) << opened.message;
    EXPECT_TRUE(opened.dem->overlaps(-5, -5, 1, 1));
    EXPECT_FALSE(opened.dem->overlaps(100, 100, 200, 200));
    {
        vk::RasterFile away(dir.file("away.tif"), *opened.dem, kUtm18);
        ASSERT_TRUE(away.addStrip({Line{{100, 100}, {140, 100}}, 12}, {Line{{100, 130}, {140, 130}}, 12}));
        EXPECT_EQ(away.finish().error, RasterError::DemNoOverlap);
    }
    const std::string path = dir.file("depth.tif");
    vk::RasterFile out(path, *opened.dem, kUtm18);
    ASSERT_TRUE(out.addStrip({Line{{-1, 0}, {41, 0}}, 12}, {Line{{-1, 30}, {41, 30}}, 12}));
    auto done = out.finish();
    ASSERT_EQ(done.error, RasterError::None) << done.message;
    int columns = 0, rows = 0;
    std::vector<float> cells = readCells(path, columns, rows);
    ASSERT_EQ(columns * rows, 40 * 30);
    for (int k = 0; k < 40 * 30; ++k) {
        const int column = k % 40;
        const float expected = k == 5 * 40 + 3 || column >= 16 ? vk::kRasterNodata
                                                               : 4 - static_cast<float>(column) / 4;
        ASSERT_EQ(cells[k], expected) << "cell " << k;
    }
    EXPECT_EQ(done.wetCells, 16 * 30 - 1);
    auto flood = vk::floodedArea(path);
    ASSERT_TRUE(flood.region) << flood.message;
    EXPECT_EQ(flood.region->area, 16 * 30 - 1);
    ASSERT_EQ(flood.region->polygons.size(), 1u);
    EXPECT_EQ(flood.region->polygons[0].size(), 2u);  // its outline and the unknown cell's hole
}

// A model in another system is warped into the run's: its cells are then the run's, the depth
// over flat ground stays the same, and where the model does not reach there is no depth (never
// a ground of 0).
TEST(Raster, DemInAnotherSystemIsWarped) {
    vktest::TempDir dir;
    writeDem(dir.file("dem.tif"), "EPSG:26918", 500000, 4400000, 50, 50, std::vector<float>(2500, 5));
    auto opened = vk::openDem(dir.file("dem.tif"), "EPSG:32617");
    ASSERT_TRUE(opened.dem) << opened.message;
    const vk::RasterFrame& f = opened.dem->frame();
    EXPECT_GT(f.west, 900000);  // 18N's central meridian lies east of 17N's zone
    const double east = f.west + f.cellX * f.columns, south = f.north - f.cellY * f.rows;
    EXPECT_TRUE(opened.dem->overlaps(f.west, south, east, f.north));
    vk::RasterFile out(dir.file("depth.tif"), *opened.dem, "EPSG:32617");
    const double margin = 20;  // the water reaches past the model on every side
    ASSERT_TRUE(out.addStrip({Line{{f.west - margin, south - margin}, {east + margin, south - margin}}, 12},
                             {Line{{f.west - margin, f.north + margin}, {east + margin, f.north + margin}}, 12}));
    auto done = out.finish();
    ASSERT_EQ(done.error, RasterError::None) << done.message;
    int columns = 0, rows = 0;
    std::vector<float> cells = readCells(dir.file("depth.tif"), columns, rows);
    int wet = 0;
    for (float v : cells) {
        ASSERT_TRUE(v == vk::kRasterNodata || std::fabs(v - 7) < 1e-4) << v;
        wet += v != vk::kRasterNodata;
    }
    // The 50 x 50 cells of the model, turned a little, not the warped grid's whole rectangle.
    EXPECT_NEAR(wet, 2500, 50);
    EXPECT_LT(wet, columns * rows);
}

// A cell size that is not a positive number or that makes more than 2^31 cells: no grid.
TEST(Raster, BadGridsAreNamed) {
    struct Case {
        double maxX, maxY, cell;
        RasterError error;
    };
    const Case cases[] = {
        {100, 100, 0, RasterError::CellNotPositive},
        {100, 100, -1, RasterError::CellNotPositive},
        {100, 100, NAN, RasterError::CellNotPositive},
        {100, 100, INFINITY, RasterError::CellNotPositive},
        {65536, 32768, 1, RasterError::None},  // 2^31 cells exactly
        {65536, 32769, 1, RasterError::TooManyCells},
        {2147483648.0, 1, 1, RasterError::TooManyCells},  // 2^31 cells, but more columns than GDAL takes
        {1e12, 1e12, 1e-3, RasterError::TooManyCells},
        {NAN, 100, 1, RasterError::EmptyExtent},
    };
    for (const Case& c : cases) {
        auto grid = vk::makeGrid(0, 0, c.maxX, c.maxY, c.cell);
        EXPECT_EQ(grid.error, c.error) << c.maxX << " " << c.maxY << " " << c.cell;
        EXPECT_EQ(grid.frame.has_value(), c.error == RasterError::None);
    }
}

// No raster that looks valid and is not: water outside the grid writes nothing; a terrain model
// that is not a raster is named.
TEST(Raster, NoWaterAndUnreadableModelAreNamed) {
    vktest::TempDir dir;
    auto grid = vk::makeGrid(0, 0, 10, 10, 1);
    {
        vk::RasterFile out(dir.file("dry.tif"), *grid.frame, kUtm18);
        ASSERT_TRUE(out.addStrip({Line{{50, 50}, {60, 50}}, 1}, {Line{{50, 60}, {60, 60}}, 2}));
        EXPECT_EQ(out.finish().error, RasterError::NoWater);
    }
    EXPECT_TRUE(vktest::filesIn(dir.path()).empty());
    vktest::writeFile(dir.file("dem.txt"), "not a raster\n");
    EXPECT_EQ(vk::openDem(dir.file("dem.txt"), kUtm18).error, RasterError::DemNotRead);
}

}  // namespace
