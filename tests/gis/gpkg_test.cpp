// The GeoPackage writer's own reading of a projection and its dating of the tables; the package
// itself is read back by GDAL and SQLite in tests/e2e/gdal_e2e_test.cpp.
#include <gtest/gtest.h>

#include <vector>

#include "files/platform.h"
#include "gis/gpkg.h"
#include "gis_session.h"
#include "support/process.h"

namespace {

TEST(Gpkg, TheOutermostAuthorityNamesTheCoordinateSystem) {
    const struct {
        const char* wkt;
        const char* organisation;
        std::int64_t code;
    } cases[] = {
        {R"(PROJCS["OSGB 1936 / British National Grid",GEOGCS["OSGB 1936",AUTHORITY["EPSG","4277"]],)"
         R"(UNIT["metre",1,AUTHORITY["EPSG","9001"]],AUTHORITY["EPSG","27700"]])",
         "EPSG", 27700},
        // Inner authorities only (the datum's, the unit's): the whole has none.
        {R"(PROJCS["Local",GEOGCS["GCS",DATUM["D",AUTHORITY["EPSG","6314"]]],UNIT["m",1]])", "", 0},
        {R"(PROJCRS["ETRS89 / UTM 32N",BASEGEOGCRS["ETRS89",ID["EPSG",4258]],ID["EPSG",25832]])",
         "EPSG", 25832},
        {R"(GEOGCS["x",AUTHORITY["ESRI","104000"]])", "ESRI", 104000},
        // A bracket inside a name does not end the nesting; a code that is no number is none.
        {R"(PROJCS["a]b",AUTHORITY["EPSG","3857"]])", "EPSG", 3857},
        {R"(PROJCS["a",AUTHORITY["EPSG","x1"]])", "", 0},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wkt);
        const vk::SrsAuthority found = vk::wktAuthority(c.wkt);
        EXPECT_EQ(found.organisation, c.organisation);
        EXPECT_EQ(found.code, c.code);
    }
}

TEST(Gpkg, TimesAreInUtcWithMilliseconds) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},          {951782400, "2000-02-29T00:00:00.000Z"},
        {1796700367, "2026-12-08T03:26:07.000Z"}, {4107542399, "2100-02-28T23:59:59.000Z"},
        {-1, "1969-12-31T23:59:59.000Z"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(vk::isoTime(seconds), text) << seconds;
}

// The packed R-tree at the edges of its nodes (51 cells each): empty, one node, a full node, one
// more, and a full second level and one more; the rows, inserted in batches of 64, at a batch's
// edges too. SQLite's own check of the tree finds it sound, its search finds every point of a box,
// and the table holds every row once, with its value, in order.
class GpkgIndexTest : public vktest::GisSession {
  protected:
    // The package <name>.gpkg in the test folder, its name claimed.
    std::unique_ptr<vk::GisDataset> package(const std::string& name) {
        const vk::OutputFormat& format = outputFormatNamed("gpkg");
        return format.openDataset(run, format, {dir.path() + "/", name, projections, 0, {}});
    }
};

TEST_F(GpkgIndexTest, PackedTreesAreSoundAtEveryNodeEdge) {
    if (vktest::runShell("command -v sqlite3").status != 0) GTEST_SKIP() << "no sqlite3";
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"N", "Integer", 0};
    for (const int count : {0, 1, 51, 52, 64, 65, 51 * 51, 51 * 51 + 1}) {
        SCOPED_TRACE(count);
        const std::string package = dir.file("p" + std::to_string(count) + ".gpkg");
        const auto dataset = this->package("p" + std::to_string(count));
        auto id = dataset->createLayer(dir.file("pts.gpkg"), "P", gisSchema);
        vktest::initialiseObject(gisO_);
        gisO_.kind = vk::GisKind::Point;
        for (int i = 0; i < count; ++i) {
            // Rows of 97 points: neighbours in arrival order are mostly neighbours in space.
            gisO_.X[0] = 1000.0 + i % 97 * 3.25;
            gisO_.Y[0] = 2000.0 + i / 97 * 2.5;
            gisO_.setValues({{vk::GisValue::Type::Integer, {}, 0.0, i}});
            id->writeObject(gisO_);
            id->writeRecord(gisO_);
        }
        id->close();
        dataset->finish();
        // Points with 1000 <= X <= 1010 and Y <= 2005: columns 0 to 3 of rows 0 to 2.
        int inBox = 0;
        for (int i = 0; i < count; ++i)
            inBox += i % 97 <= 3 && i / 97 <= 2;
        const auto r = vktest::runShell("sqlite3 '" + package +
                                        "' \"SELECT rtreecheck('rtree_pts_geom'); SELECT count(*) "
                                        "FROM rtree_pts_geom; SELECT count(*) FROM rtree_pts_geom "
                                        "WHERE minx >= 1000 AND maxx <= 1010 AND maxy <= 2005; "
                                        "SELECT count(*) FROM pts WHERE N = fid - 1\"");
        EXPECT_EQ(r.output, "ok\n" + std::to_string(count) + "\n" + std::to_string(inBox) + "\n" +
                                std::to_string(count) + "\n");
    }
}

// A table of as many fields as a layer may have takes fewer rows per statement than SQLite would
// have values for (a statement it refuses would end the run here), and still stores every row.
TEST_F(GpkgIndexTest, TheWidestTablesKeepEveryRow) {
    gisSchema.fieldCount = vk::GisSchema::kMaxFields;
    std::vector<vk::GisValue> values;
    for (int k = 0; k < gisSchema.fieldCount; ++k) {
        gisSchema.fields[static_cast<std::size_t>(k)] = {"F" + std::to_string(k), "Integer", 0};
        values.push_back({vk::GisValue::Type::Integer, {}, 0.0, k});
    }
    const std::string package = dir.file("wide.gpkg");
    const auto dataset = this->package("wide");
    auto id = dataset->createLayer(dir.file("wide.gpkg"), "P", gisSchema);
    vktest::initialiseObject(gisO_);
    gisO_.kind = vk::GisKind::Point;
    gisO_.values = values;
    for (int i = 0; i < 300; ++i) {
        id->writeObject(gisO_);
        id->writeRecord(gisO_);
    }
    id->close();
    dataset->finish();
    if (vktest::runShell("command -v sqlite3").status != 0) GTEST_SKIP() << "no sqlite3 to read it";
    EXPECT_EQ(vktest::runShell("sqlite3 '" + package + "' 'SELECT count(*), sum(F255) FROM wide'").output,
              "300|76500\n");
}

// The package's temporary files that no run holds (a killed run's) go at the claim (one another
// run holds refuses it: tests/e2e); a name held at the moment of the rename keeps the finished
// package under its temporary name, named in the error.
TEST_F(GpkgIndexTest, LeftOverTemporariesGoAndAHeldNameKeepsThePackage) {
    const std::string package = dir.file("river.gpkg");
    vk::sys::File final;
    for (const char* left : {".1.tmp", ".2.tmp", ".9.tmp"}) vktest::writeFile(package + left, "x");
    auto dataset = this->package("river");
    EXPECT_EQ(vktest::filesIn(dir.path()), std::vector<std::string>{"river.gpkg.1.tmp"});
    auto id = dataset->createLayer(dir.file("pts.gpkg"), "P", gisSchema);
    id->close();
    vktest::writeFile(package, "another program's");
    ASSERT_EQ(vk::sys::holdFile(package, false, final), 0);
    EXPECT_TRUE(endsRun([&] { dataset->finish(); })
                    .ends_with("the finished package is kept as " + package + ".1.tmp.\n" +
                               std::string(vktest::kExitTail)));
    dataset.reset();
    EXPECT_EQ(vk::sys::closeFile(final), 0);
    EXPECT_EQ(vktest::readFile(package), "another program's");
    EXPECT_GT(vktest::readFile(package + ".1.tmp").size(), 4096u) << "the finished package";
}

// Tables named as SQLite's and the package's own begin with "_" (an input "sqlite_x.sdf").
TEST_F(GpkgIndexTest, ReservedTableNamesBeginWithAnUnderscore) {
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"N", "Integer", 0};
    const auto dataset = package("reserved");
    for (const char* name : {"sqlite_x_pts", "GPKG_contents", "Rtree_a", "sqlitex"}) {
        auto id = dataset->createLayer(dir.file(std::string(name) + ".gpkg"), "P", gisSchema);
        id->close();
    }
    dataset->finish();
    if (vktest::runShell("command -v sqlite3").status != 0) GTEST_SKIP() << "no sqlite3 to read it";
    EXPECT_EQ(vktest::runShell("sqlite3 '" + dir.file("reserved.gpkg") +
                               "' 'SELECT table_name FROM gpkg_contents ORDER BY 1'").output,
              "_GPKG_contents\n_Rtree_a\n_sqlite_x_pts\nsqlitex\n");
}

} // namespace
