// The GeoPackage writer's own reading of a projection and its dating of the tables; the package
// itself is read back by GDAL and SQLite in tests/e2e/gdal_e2e_test.cpp.
#include <gtest/gtest.h>

#include "gis/gpkg.h"

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

} // namespace
