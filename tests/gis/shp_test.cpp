// The Shapefile writer, driven through the layer operations: the 100-byte headers of .shp and
// .shx, the records and index entries of every shape type, the running box, the totals patched
// in at close, and the reports of every failed write.
#include "gis/shp.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <string_view>
#include <vector>

#include <filesystem>

#include "gis/object.h"
#include "gis/schema.h"
#include "shapebytes.h"
#include "support/process.h"

namespace {

using vktest::endsRun;
using vktest::readF64le;
using vktest::readI32be;
using vktest::readI32le;

struct Point {
    double x, y;
};

class ShpTest : public vktest::GisFileTest {
  protected:
    void SetUp() override {
        GisFileTest::SetUp();
        gisSchema.fieldCount = 1;
        gisSchema.fields[0] = {"ID", "Char", 8};
        gisSchema.initialRecordCount = 0;
    }
    std::string layerName() const { return dir.file("river.shp"); }
    std::string setFile(char letter, std::string_view ext) const {
        return dir.file(std::string("river_") + letter + std::string(ext));
    }
    std::string shp(char letter) const { return vktest::readFile(setFile(letter, ".shp")); }
    std::string shx(char letter) const { return vktest::readFile(setFile(letter, ".shx")); }
    std::string dbf(char letter) const { return vktest::readFile(setFile(letter, ".dbf")); }

    vktest::Layer open(std::string_view kinds) {
        vktest::Layer id = openLayer(layerName(), kinds, gisSchema);
        vktest::initialiseObject(gisO_);
        return id;
    }
    // Fills gisO_ with the vertices and parts (1-based first vertices) and one attribute.
    void fill(const std::vector<Point>& points, const std::vector<int>& firsts = {1}) {
        vk::GisObject& o = gisO_;
        o.kind = vk::GisKind::Unset;
        o.n = static_cast<int>(points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            o.X[i] = points[i].x;
            o.Y[i] = points[i].y;
        }
        o.nr = static_cast<int>(firsts.size());
        for (std::size_t i = 0; i < firsts.size(); ++i)
            o.ir[i] = firsts[i];
        o.setValues({vk::textValue("obj")});
    }
    void write(const vktest::Layer& id) {
        id->writeObject(gisO_);
        id->writeRecord(gisO_);
    }
    void writePoint(const vktest::Layer& id, double x, double y) {
        fill({{x, y}});
        gisO_.kind = vk::GisKind::Point;
        write(id);
    }

    static void expectBox(std::string_view bytes, std::size_t offset, double xmin, double ymin,
                          double xmax, double ymax) {
        EXPECT_EQ(readF64le(bytes, offset), xmin);
        EXPECT_EQ(readF64le(bytes, offset + 8), ymin);
        EXPECT_EQ(readF64le(bytes, offset + 16), xmax);
        EXPECT_EQ(readF64le(bytes, offset + 24), ymax);
    }
    // Bytes 0..35 of a header: file code, five zeros, length, version 1000, shape type.
    static std::string headerStart(int lengthWords, char shapeType) {
        std::string h("\x00\x00\x27\x0A", 4);
        h.append(20, '\0');
        h += std::string("\x00\x00", 2);
        h += static_cast<char>(lengthWords >> 8);
        h += static_cast<char>(lengthWords & 0xFF);
        h += std::string("\xE8\x03\x00\x00", 4);
        h += shapeType;
        h.append(3, '\0');
        return h;
    }
    static void expectZAndMZero(std::string_view bytes) {
        for (std::size_t offset = 68; offset < 100; offset += 8)
            EXPECT_EQ(readF64le(bytes, offset), 0.0) << "offset " << offset;
    }
};

TEST_F(ShpTest, EmptyLineSetKeepsTheHeaderOfItsCreation) {
    auto id = open("L");
    id->close();
    EXPECT_FALSE(id->isOpen());

    const std::string file = shp('L');
    ASSERT_EQ(file.size(), 100u);
    EXPECT_EQ(file.substr(0, 36), headerStart(50, '\x03'));
    expectBox(file, 36, 0, 0, -1, -1);
    expectZAndMZero(file);
    EXPECT_EQ(shx('L'), file);
    EXPECT_EQ(dbf('L').size(), 32u + 33 + 1);
    EXPECT_EQ(readI32le(dbf('L'), 4), 0);
}

TEST_F(ShpTest, OnePointGivesTheStatedRecordIndexEntryAndBox) {
    auto id = open("P");
    writePoint(id, 1, 2);
    id->close();

    const std::string file = shp('P');
    ASSERT_EQ(file.size(), 128u);
    EXPECT_EQ(file.substr(0, 36), headerStart(64, '\x01'));
    expectBox(file, 36, 1, 2, 1, 2);
    expectZAndMZero(file);
    EXPECT_EQ(file.substr(100, 12), std::string("\0\0\0\x01\0\0\0\x0A\x01\0\0\0", 12));
    EXPECT_EQ(readF64le(file, 112), 1.0);
    EXPECT_EQ(readF64le(file, 120), 2.0);

    const std::string index = shx('P');
    ASSERT_EQ(index.size(), 108u);
    EXPECT_EQ(index.substr(0, 36), headerStart(54, '\x01'));
    expectBox(index, 36, 1, 2, 1, 2);
    expectZAndMZero(index);
    EXPECT_EQ(index.substr(100), std::string("\0\0\0\x32\0\0\0\x0A", 8));

    const std::string table = dbf('P');
    EXPECT_EQ(table.size(), 65u + 9 + 1);
    EXPECT_EQ(readI32le(table, 4), 1);
    EXPECT_EQ(table.substr(65, 9), " obj     ");
}

TEST_F(ShpTest, SecondRecordIsNumberedTwoAndIndexedAfterTheFirst) {
    auto id = open("P");
    writePoint(id, 1, 2);
    writePoint(id, -3, 7);
    id->close();

    const std::string file = shp('P');
    ASSERT_EQ(file.size(), 156u);
    EXPECT_EQ(readI32be(file, 24), 78);
    EXPECT_EQ(readI32be(file, 128), 2);
    EXPECT_EQ(readI32be(file, 132), 10);
    EXPECT_EQ(readF64le(file, 140), -3.0);
    expectBox(file, 36, -3, 2, 1, 7);

    const std::string index = shx('P');
    ASSERT_EQ(index.size(), 116u);
    EXPECT_EQ(readI32be(index, 24), 58);
    EXPECT_EQ(readI32be(index, 108), 50 + 4 + 10);
    EXPECT_EQ(readI32be(index, 112), 10);
    expectBox(index, 36, -3, 2, 1, 7);
}

TEST_F(ShpTest, ThreePointPolylineHasContentOf48Words) {
    auto id = open("L");
    fill({{0, 0}, {3, -1}, {1, 5}});
    gisO_.kind = vk::GisKind::Pline;
    write(id);
    id->close();

    const std::string file = shp('L');
    ASSERT_EQ(file.size(), 100u + 8 + 96);
    EXPECT_EQ(readI32be(file, 24), 102);
    EXPECT_EQ(readI32be(file, 100), 1);
    EXPECT_EQ(readI32be(file, 104), 48);
    EXPECT_EQ(readI32le(file, 108), 3);
    expectBox(file, 112, 0, -1, 3, 5);
    EXPECT_EQ(readI32le(file, 144), 1);  // parts
    EXPECT_EQ(readI32le(file, 148), 3);  // points
    EXPECT_EQ(readI32le(file, 152), 0);  // first point of the part
    const double expected[] = {0, 0, 3, -1, 1, 5};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(readF64le(file, 156 + 8 * i), expected[i]);
    expectBox(file, 36, 0, -1, 3, 5);
    EXPECT_EQ(shx('L').substr(100), std::string("\0\0\0\x32\0\0\0\x30", 8));
}

TEST_F(ShpTest, TwoPartPolylineListsTheFirstPointOfEachPart) {
    auto id = open("L");
    fill({{0, 0}, {1, 1}, {2, 0}, {10, 10}, {11, 12}}, {1, 4});
    gisO_.kind = vk::GisKind::Pline;
    write(id);
    id->close();

    const std::string file = shp('L');
    EXPECT_EQ(readI32be(file, 104), 8 * 5 + 2 * 2 + 22);
    EXPECT_EQ(readI32le(file, 144), 2);
    EXPECT_EQ(readI32le(file, 148), 5);
    EXPECT_EQ(readI32le(file, 152), 0);
    EXPECT_EQ(readI32le(file, 156), 3);
    EXPECT_EQ(readF64le(file, 160 + 8 * 6), 10.0);  // X of the fourth point
    EXPECT_EQ(file.size(), 100u + 8 + 2 * 66);
}

TEST_F(ShpTest, RegionRecordsCarryTheirTypeAndBox) {
    auto id = open("R");
    fill({{0, 0}, {4, 0}, {4, 4}, {0, 0}, {1, 1}, {2, 1}, {1, 2}, {1, 1}}, {1, 5});
    gisO_.kind = vk::GisKind::Region;
    write(id);
    id->close();

    const std::string regions = shp('R');
    EXPECT_EQ(regions.substr(0, 36), headerStart(50 + 4 + 8 * 8 + 2 * 2 + 22, '\x05'));
    EXPECT_EQ(readI32le(regions, 108), 5);
    EXPECT_EQ(readI32le(regions, 144), 2);
    EXPECT_EQ(readI32le(regions, 152), 0);
    EXPECT_EQ(readI32le(regions, 156), 4);
    expectBox(regions, 36, 0, 0, 4, 4);
}

TEST_F(ShpTest, NullObjectGivesANullRecordInEverySet) {
    auto id = open("PL");
    fill({});
    gisO_.kind = vk::GisKind::None;
    write(id);
    id->close();

    for (const char letter : {'P', 'L'}) {
        SCOPED_TRACE(letter);
        const std::string file = shp(letter);
        ASSERT_EQ(file.size(), 112u);
        EXPECT_EQ(file.substr(100), std::string("\0\0\0\x01\0\0\0\x02\0\0\0\0", 12));
        EXPECT_EQ(readI32be(file, 24), 56);
        EXPECT_EQ(shx(letter).substr(100), std::string("\0\0\0\x32\0\0\0\x02", 8));
        EXPECT_EQ(readI32be(shx(letter), 24), 54);
        EXPECT_EQ(readI32le(dbf(letter), 4), 1);
    }
}

TEST_F(ShpTest, PolylineWithoutVerticesLeavesTheSetBoxAlone) {
    auto id = open("L");
    fill({{1, 1}, {2, 3}});
    gisO_.kind = vk::GisKind::Pline;
    write(id);
    fill({});
    gisO_.kind = vk::GisKind::Pline;
    write(id);
    id->close();

    const std::string file = shp('L');
    const std::size_t second = 100 + 8 + 2 * (8 * 2 + 2 + 22);
    EXPECT_EQ(readI32be(file, second + 4), 2 + 22);
    expectBox(file, second + 12, DBL_MAX, DBL_MAX, -DBL_MAX, -DBL_MAX);
    EXPECT_EQ(readI32le(file, second + 44), 1);  // parts
    EXPECT_EQ(readI32le(file, second + 48), 0);  // points
    EXPECT_EQ(file.size(), second + 8 + 2 * 24);
    expectBox(file, 36, 1, 1, 2, 3);
}

TEST_F(ShpTest, PolylineBeyondTheInitialVertexArraysIsWrittenWhole) {
    const std::size_t count = vk::GisObject::kInitialVertices + 5000;
    gisO_.reserveVertices(count);
    auto id = open("L");
    std::vector<Point> points(count);
    for (std::size_t i = 0; i < count; ++i)
        points[i] = {double(i), -double(i)};
    fill(points);
    gisO_.kind = vk::GisKind::Pline;
    write(id);
    id->close();

    const std::string file = shp('L');
    ASSERT_EQ(file.size(), 100 + 8 + 44 + 4 + 16 * count);
    EXPECT_EQ(readF64le(file, file.size() - 16), double(count - 1));
    EXPECT_EQ(readF64le(file, file.size() - 8), -double(count - 1));
    expectBox(file, 36, 0, -double(count - 1), double(count - 1), 0);
}

TEST_F(ShpTest, EveryFileIsHeldUntilItsHeaderIsPatched) {
    auto id = open("P");
    writePoint(id, 1, 2);
    const std::size_t before = transcript.size();
    id->close();
    // Units: .shp 1001, .shx 1002, .prj 1003, .dbf 1004, all released only after the patches,
    // which go through them: nothing is opened again.
    const std::string close = transcript.substr(before);
    const std::size_t start = close.find("...Closed File Unit:");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(close.substr(start), "...Closed File Unit:1001\n...Closed File Unit:1002\n"
                                   "...Closed File Unit:1003\n...Closed File Unit:1004\n");
    EXPECT_FALSE(close.find("Trying to open file") != std::string::npos);
    EXPECT_EQ(readI32be(shp('P'), 24), 64);
    EXPECT_EQ(readI32le(dbf('P'), 4), 1);
}

TEST_F(ShpTest, RerunOverLongerFilesLeavesNoStaleBytes) {
    for (const char* ext : {".shp", ".shx", ".prj", ".dbf"})
        vktest::writeFile(setFile('P', ext), std::string(5000, 'Z'));
    auto id = open("P");
    writePoint(id, 1, 2);
    id->close();
    EXPECT_EQ(shp('P').size(), 128u);
    EXPECT_EQ(shx('P').size(), 108u);
    EXPECT_EQ(dbf('P').size(), 65u + 9 + 1);
    EXPECT_EQ(vktest::readFile(setFile('P', ".prj")).find('Z'), std::string::npos);

    // A second run of the same layer with fewer records.
    vk::INITFILEUNITS(run, 1000);
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"ID", "Char", 8};
    id = open("P");
    id->close();
    EXPECT_EQ(shp('P').size(), 100u);
    EXPECT_EQ(shx('P').size(), 100u);
    EXPECT_EQ(readI32be(shp('P'), 24), 50);
}

TEST_F(ShpTest, HeaderWrittenToAFullDiskEndsTheRun) {
    const vktest::FullDisk disk(parts.faults, "_P.shp");
    EXPECT_TRUE(endsRun([&] { openLayer(layerName(), "P", gisSchema); }));
    EXPECT_TRUE(transcriptHas("\n\nERROR 0437 - Writing .shp file header.\n"));
}

TEST_F(ShpTest, RecordThatCannotBeWrittenEndsTheRun) {
    auto id = open("L");
    std::vector<Point> points(1000, Point{1, 1});
    fill(points);
    gisO_.kind = vk::GisKind::Pline;
    {
        vktest::FileSizeLimit limit(parts.faults, 400 * 1024);
        EXPECT_TRUE(endsRun([&] {
            for (int i = 0; i < 100; ++i)
                write(id);  // 1.6 MB of records
        }));
    }
    EXPECT_TRUE(transcriptHas("\n\nERROR 0439 - Writing .shp file object coordinates.\n"));
    EXPECT_FALSE(vktest::fileExists(setFile('L', ".shp"))) << "a set cut short is removed";
}

TEST_F(ShpTest, MainFileRemovedBeforeCloseEndsTheRunWithoutRecreatingIt) {
    if (!vktest::kPosixSystem)
        GTEST_SKIP() << "Windows lets nobody remove a file that the run holds";
    auto id = open("P");
    writePoint(id, 1, 2);
    ASSERT_TRUE(std::filesystem::remove(setFile('P', ".shp")));
    EXPECT_TRUE(endsRun([&] { id->close(); }));
    EXPECT_TRUE(transcriptHas("\n\nERROR 0413 - Rewriting .dbf file header with final "
                              "information.\n"));
    EXPECT_FALSE(vktest::fileExists(setFile('P', ".shp")));
}

// A run that ends early closes the layer out with what was written, or (a full disk) removes it.
TEST_F(ShpTest, RunEndedBeforeCloseClosesOutOrRemovesTheSet) {
    auto id = open("P");
    writePoint(id, 1, 2);
    EXPECT_TRUE(endsRun([&] { vk::EXITS(run); }));
    EXPECT_EQ(readI32be(shp('P'), 24), 64);
    expectBox(shp('P'), 36, 1, 2, 1, 2);
    EXPECT_EQ(readI32le(dbf('P'), 4), 1);
    EXPECT_EQ(dbf('P').back(), '\x1A');
    id = open("P");
    writePoint(id, 1, 2);
    const vktest::FullDisk disk(parts.faults);
    EXPECT_TRUE(endsRun([&] { vk::EXITS(run); }));
    EXPECT_TRUE(transcriptHas(": No space left on device): its files were removed.\n"));
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj"})
        EXPECT_FALSE(vktest::fileExists(setFile('P', ext))) << ext;
}

TEST_F(ShpTest, SetIsOpenedOnlyForAShapefileName) {
    std::array<std::string, 4> paths;
    EXPECT_TRUE(endsRun(
        [&] { vk::gisEndRunOn(run, vk::OpenshpFile(dir.file("river.mif"), 'P', paths)); }));
    EXPECT_EQ(transcript.substr(0, 39), "\nERROR 0426 - .shp file not specified.\n");
    EXPECT_FALSE(vktest::fileExists(dir.file("river_P.shp")));
}

TEST_F(ShpTest, SetNeedsALetter) {
    std::array<std::string, 4> paths;
    EXPECT_TRUE(endsRun([&] { vk::gisEndRunOn(run, vk::OpenshpFile(layerName(), ' ', paths)); }));
    EXPECT_TRUE(transcriptHas(
        "Should not be here [OpenshpFileO] - please contact support@varnokline.example.\n"));
    EXPECT_FALSE(vktest::fileExists(dir.file("river_P.shp")));
}

TEST_F(ShpTest, HeaderNeedsOpenHandles) {
    vk::ShapeSet set;
    vk::OutputFile closed(dir.file("river_P.shp"));
    EXPECT_TRUE(endsRun([&] { vk::gisEndRunOn(run, vk::shpWriteHeader(set, closed)); }));
    EXPECT_TRUE(transcriptHas(
        "Should not be here [shpnotopen] - please contact support@varnokline.example.\n"));
}

TEST_F(ShpTest, ObjectWithoutAShapeKindEndsTheRun) {
    const auto id = open("P");
    fill({{1, 2}});
    gisO_.kind = vk::GisKind::Unset;
    EXPECT_TRUE(endsRun(
        [&] { vk::gisEndRunOn(run, vk::shpWriteObject(gisO_, shapefile(id).sets[0])); }));
    EXPECT_TRUE(transcriptHas("\n\nERROR 0350 - Trying to write a SHP object that is not yet "
                              "supported.  Please contact support@varnokline.example.\n"));
    EXPECT_EQ(shp('P').size(), 100u);
}

TEST_F(ShpTest, VertexCountBeyondTheArraysEndsTheRunWithoutReadingThem) {
    const auto id = open("L");
    fill({{1, 2}, {3, 4}});
    gisO_.kind = vk::GisKind::Pline;
    gisO_.n = static_cast<int>(gisO_.X.size()) + 1;
    EXPECT_TRUE(endsRun(
        [&] { vk::gisEndRunOn(run, vk::shpWriteObject(gisO_, shapefile(id).sets[1])); }));
    EXPECT_TRUE(transcriptHas("Should not be here [shpWriteObject: vertex or part count]"));
    EXPECT_EQ(shp('L').size(), 100u);
}

// GDAL reads the sets as a GIS user's software would: no warning, the counts, the extents of the
// patched headers, the geometries and the attribute values; shapelib's reader agrees on the shapes.
TEST_F(ShpTest, IndependentReadersAcceptTheLayer) {
    if (vktest::runShell("command -v ogrinfo && command -v shpdump").status != 0)
        GTEST_SKIP() << "ogrinfo or shpdump missing (scripts/install-test-tools installs them)";
    gisSchema.fieldCount = 2;
    gisSchema.fields[0] = {"Name", "Char", 20};
    gisSchema.fields[1] = {"Elevation", "Float", 0, 16, 5};
    auto id = open("PL");
    const auto writeNamed = [&](vk::GisKind kind, std::string_view name, double elevation) {
        gisO_.kind = kind;
        gisO_.setValues({vk::textValue(name), vk::realValue(elevation)});
        write(id);
    };
    fill({{10, 20}});
    writeNamed(vk::GisKind::Point, "A", 1.5);
    fill({{-5, 7.25}});
    writeNamed(vk::GisKind::Point, R"(B, "c")", 2.25);
    fill({{0, 0}, {3, -1}, {1, 5}});
    writeNamed(vk::GisKind::Pline, "L1", 3);
    fill({{0, 0}, {1, 1}, {2, 0}, {10, 10}, {11, 12}}, {1, 4});
    writeNamed(vk::GisKind::Pline, "L2", -4.5);
    id->close();

    const auto points = vktest::runShell("ogrinfo -ro -al '" + setFile('P', ".shp") + "' 2>&1");
    ASSERT_EQ(points.status, 0) << points.output;
    EXPECT_EQ(points.output.find("Warning"), std::string::npos) << points.output;
    EXPECT_NE(points.output.find("Geometry: Point\nFeature Count: 2\n"
                                 "Extent: (-5.000000, 7.250000) - (10.000000, 20.000000)\n"),
              std::string::npos)
        << points.output;
    EXPECT_NE(points.output.find("  Name (String) = B, \"c\"\n  Elevation (Real) = 2.25000\n"
                                 "  POINT (-5 7.25)\n"),
              std::string::npos)
        << points.output;

    const auto lines = vktest::runShell("ogrinfo -ro -al '" + setFile('L', ".shp") + "' 2>&1");
    ASSERT_EQ(lines.status, 0) << lines.output;
    EXPECT_EQ(lines.output.find("Warning"), std::string::npos) << lines.output;
    EXPECT_NE(lines.output.find("Feature Count: 2\n"
                                "Extent: (0.000000, -1.000000) - (11.000000, 12.000000)\n"),
              std::string::npos)
        << lines.output;
    EXPECT_NE(lines.output.find("  Name (String) = L1\n  Elevation (Real) = 3.00000\n"
                                "  LINESTRING (0 0,3 -1,1 5)\n"),
              std::string::npos)
        << lines.output;
    EXPECT_NE(lines.output.find("  Elevation (Real) = -4.50000\n"
                                "  MULTILINESTRING ((0 0,1 1,2 0),(10 10,11 12))\n"),
              std::string::npos)
        << lines.output;

    const auto dump = vktest::runShell("shpdump '" + setFile('L', ".shp") + "' 2>&1");
    EXPECT_NE(dump.output.find("Shapefile Type: Arc   # of Shapes: 2"), std::string::npos)
        << dump.output;
    EXPECT_NE(dump.output.find("Shape:1 (Arc)  nVertices=5, nParts=2"), std::string::npos)
        << dump.output;
}

}  // namespace
