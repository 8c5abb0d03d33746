#include "gis/crs.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/testfiles.h"

namespace {

using vk::HeaderHints;
using Outcome = vk::HintResult::Outcome;

// NAD83 / California zone 3 (ftUS) as ESRI software writes its .prj, over several lines.
const char* const kCaliforniaPrj = R"w(PROJCS["NAD_1983_StatePlane_California_III_FIPS_0403_Feet",
    GEOGCS["GCS_North_American_1983",DATUM["D_North_American_1983",
        SPHEROID["GRS_1980",6378137.0,298.257222101]],PRIMEM["Greenwich",0.0],
        UNIT["Degree",0.0174532925199433]],
    PROJECTION["Lambert_Conformal_Conic"],
    PARAMETER["False_Easting",6561666.667],PARAMETER["False_Northing",1640416.667],
    PARAMETER["Central_Meridian",-120.5],PARAMETER["Standard_Parallel_1",38.4333333333333],
    PARAMETER["Standard_Parallel_2",37.0666666666667],PARAMETER["Latitude_Of_Origin",36.5],
    UNIT["US survey foot",0.304800609601219]])w";

const char* const kUtm33Wkt1 = R"w(PROJCS["WGS 84 / UTM zone 33N",
    GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563]],
        PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]],
    PROJECTION["Transverse_Mercator"],PARAMETER["latitude_of_origin",0],
    PARAMETER["central_meridian",15],PARAMETER["scale_factor",0.9996],
    PARAMETER["false_easting",500000],PARAMETER["false_northing",0],UNIT["metre",1],
    AUTHORITY["EPSG","32633"]])w";

const char* const kAmg50Wkt2 =
    R"w(PROJCRS["AGD66 / AMG zone 50",BASEGEOGCRS["AGD66",DATUM["Australian Geodetic Datum 1966",)w"
    R"w(ELLIPSOID["Australian National Spheroid",6378160,298.25,LENGTHUNIT["metre",1]]],)w"
    R"w(PRIMEM["Greenwich",0,ANGLEUNIT["degree",0.0174532925199433]]],)w"
    R"w(CONVERSION["Australian Map Grid zone 50",METHOD["Transverse Mercator"],)w"
    R"w(PARAMETER["Latitude of natural origin",0,ANGLEUNIT["degree",0.0174532925199433]],)w"
    R"w(PARAMETER["Longitude of natural origin",117,ANGLEUNIT["degree",0.0174532925199433]],)w"
    R"w(PARAMETER["Scale factor at natural origin",0.9996,SCALEUNIT["unity",1]],)w"
    R"w(PARAMETER["False easting",500000,LENGTHUNIT["metre",1]],)w"
    R"w(PARAMETER["False northing",10000000,LENGTHUNIT["metre",1]]],CS[Cartesian,2],)w"
    R"w(AXIS["easting (E)",east,ORDER[1],LENGTHUNIT["metre",1]],)w"
    R"w(AXIS["northing (N)",north,ORDER[2],LENGTHUNIT["metre",1]]])w";

const char* const kWgs84Json =
    R"w({"type":"GeographicCRS","name":"WGS 84","datum":{"type":"GeodeticReferenceFrame",)w"
    R"w("name":"World Geodetic System 1984","ellipsoid":{"name":"WGS 84",)w"
    R"w("semi_major_axis":6378137,"inverse_flattening":298.257223563}},)w"
    R"w("coordinate_system":{"subtype":"ellipsoidal","axis":[{"name":"Geodetic latitude",)w"
    R"w("abbreviation":"Lat","direction":"north","unit":"degree"},{"name":"Geodetic longitude",)w"
    R"w("abbreviation":"Lon","direction":"east","unit":"degree"}]}})w";

// Written by `gdalsrsinfo -o wkt_esri EPSG:2271` and `-o mapinfo` (GDAL 3.6.2, PROJ 9.1.1).
const char* const kPennsylvaniaNorthEsri =
    R"w(PROJCS["NAD_1983_StatePlane_Pennsylvania_North_FIPS_3701_Feet",GEOGCS["GCS_North_American_1983",)w"
    R"w(DATUM["D_North_American_1983",SPHEROID["GRS_1980",6378137.0,298.257222101]],)w"
    R"w(PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]],)w"
    R"w(PROJECTION["Lambert_Conformal_Conic"],PARAMETER["False_Easting",1968500.0],)w"
    R"w(PARAMETER["False_Northing",0.0],PARAMETER["Central_Meridian",-77.75],)w"
    R"w(PARAMETER["Standard_Parallel_1",41.95],PARAMETER["Standard_Parallel_2",40.8833333333333],)w"
    R"w(PARAMETER["Latitude_Of_Origin",40.1666666666667],UNIT["US survey foot",0.304800609601219]])w";
const char* const kPennsylvaniaNorthMif =
    R"w(CoordSys Earth Projection 3, 74, "survey ft", -77.75, 40.1666666666667, 40.8833333333333, 41.95, 1968500, 0)w";

TEST(Crs, DefinitionsAreParsedIdentifiedAndWritten) {
    struct Case {
        const char* what;
        const char* definition;
        bool inFile;
        int epsg;            // 0: none with full confidence
        const char* name;    // "" for a definition that is refused
        const char* unit;
        const char* error;   // a part of the refusal's text
    };
    const Case cases[] = {
        {"EPSG code", "EPSG:2271", false, 2271, "NAD83 / Pennsylvania North (ftUS)", "US survey foot", ""},
        {"ESRI code: PROJ matches EPSG:2272 at 90% only", "ESRI:102729", false, 0,
         "NAD_1983_StatePlane_Pennsylvania_South_FIPS_3702_Feet", "US survey foot", ""},
        {"ESRI WKT1 on several lines, a .prj file", kCaliforniaPrj, true, 2227,
         "NAD83 / California zone 3 (ftUS)", "US survey foot", ""},
        {"WKT1 on several lines", kUtm33Wkt1, true, 32633, "WGS 84 / UTM zone 33N", "metre", ""},
        {"WKT2", kAmg50Wkt2, false, 20250, "AGD66 / AMG zone 50", "metre", ""},
        {"PROJJSON without an id", kWgs84Json, false, 4326, "WGS 84", "", ""},
        {"PROJ string: PROJ matches at 70% only", "+proj=utm +zone=33 +datum=WGS84 +units=m",
         false, 0, "unknown", "metre", ""},
        {"unknown code", "EPSG:99999", false, 0, "", "", "\"EPSG:99999\" is no coordinate system: "
                                                        "PROJ: proj_create_from_database: crs not found"},
        {"broken WKT", "PROJCS[\"NAD_1983_StatePlane_California_III_FIPS_0403_Feet\",", false, 0, "",
         "", "\"PROJCS[\"NAD_1983_StatePlane_California_III_FIPS_0403_Feet\",\" is no coordinate system"},
        {"first line of a .prj alone", "PROJCS[\"NAD_1983_StatePlane_California_III_FIPS_0403_Feet\",",
         true, 0, "", "", " is no coordinate system"},
        {"empty file", "\n", true, 0, "", "", "is no coordinate system: the file is empty"},
        {"unknown PROJ operation", "+proj=nonsense", false, 0, "", "", "\"+proj=nonsense\" is no "},
    };
    vktest::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string definition = c.definition;
        if (c.inFile) {
            definition = dir.file("template.prj");
            vktest::writeFile(definition, c.definition);
        }
        const vk::CrsResult parsed = vk::parseCrs(definition);
        if (*c.name == '\0') {
            EXPECT_FALSE(parsed.crs);
            EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
            continue;
        }
        ASSERT_TRUE(parsed.crs) << parsed.error;
        EXPECT_EQ(parsed.crs->epsg(), c.epsg);
        EXPECT_EQ(parsed.crs->name(), c.name);
        EXPECT_EQ(parsed.crs->linearUnit(), c.unit);
        const std::string esri = parsed.crs->esriWkt();
        EXPECT_TRUE(esri.starts_with(*c.unit ? "PROJCS[" : "GEOGCS[")) << esri;
        EXPECT_EQ(esri.find('\n'), std::string::npos) << esri;
        EXPECT_TRUE(parsed.crs->mifCoordSys().starts_with("CoordSys Earth Projection "));
    }
}

TEST(Crs, TextsOfASystemAreThoseOfTheReferenceTools) {
    const vk::CrsResult parsed = vk::parseCrs("EPSG:2271");
    ASSERT_TRUE(parsed.crs) << parsed.error;
    EXPECT_EQ(parsed.crs->esriWkt(), kPennsylvaniaNorthEsri);
    EXPECT_EQ(parsed.crs->mifCoordSys(), kPennsylvaniaNorthMif);
    EXPECT_EQ(parsed.crs->label(), "NAD83 / Pennsylvania North (ftUS), EPSG:2271");
    EXPECT_DOUBLE_EQ(parsed.crs->metresPerUnit(), 1200.0 / 3937.0);
    const std::optional<vk::CrsArea> area = parsed.crs->area();
    ASSERT_TRUE(area);
    EXPECT_NE(area->name.find("Pennsylvania"), std::string::npos) << area->name;
    EXPECT_LT(area->west, -77.75);
    EXPECT_GT(area->east, -77.75);
}

TEST(Crs, HeaderHintsGiveASystemThatHoldsTheExtent) {
    struct Case {
        const char* what;
        HeaderHints hints;
        vk::Extent extent;
        Outcome outcome;
        int epsg;            // the system found
        int suggestion;      // the one suggested, 0 for none
        const char* problem; // a part of the reason
        const char* units;   // a part of the units' warning
    };
    const vk::Extent baldEagle{1967609, 288126, 2065320, 353446};
    const vk::Extent wailupe{581578, 40806, 586214, 49361};
    const vk::Extent pennsylvaniaMetres{600000, 88000, 606000, 92000};
    const vk::Extent perth{390000, 6460000, 400000, 6470000};
    const Case cases[] = {
        {"Bald Eagle, a zone that does not exist: its extent lies in 40 State Plane systems of NAD83 "
         "in feet", {"STATEPLANE", "5126", "NAD83", "ENGLISH"}, baldEagle, Outcome::Rejected, 0, 0,
         "PROJECTION ZONE 5126 is no State Plane zone", ""},
        {"Bald Eagle's coordinates in Pennsylvania North", {"STATEPLANE", "3701", "NAD83", "ENGLISH"},
         baldEagle, Outcome::Found, 2271, 0, "", ""},
        {"Wailupe: Hawaii was never mapped on NAD27", {"STATEPLANE", "5101", "NAD27", "ENGLISH"},
         wailupe, Outcome::Rejected, 0, 0, "PROJECTION ZONE 5101 has no State Plane system on DATUM NAD27", ""},
        {"NAD83 in metres", {"StatePlane", "3701", "NAD83", "METRIC"}, pennsylvaniaMetres,
         Outcome::Found, 32128, 0, "", ""},
        {"NAD27 in feet, zone without its leading zero", {"STATEPLANE", "3701", "NAD27", "ENGLISH"},
         {1990000, 280000, 2010000, 300000}, Outcome::Found, 32028, 0, "", ""},
        {"the extent outside the zone", {"STATEPLANE", "403", "NAD83", "ENGLISH"}, baldEagle,
         Outcome::Rejected, 0, 0, "extent (1967609, 288126) to (2065320, 353446) lies outside the "
         "area of use of NAD83 / California zone 3 (ftUS), EPSG:2227", ""},
        {"UTM north", {"UTM", "33N", "WGS84", "METRIC"}, {400000, 5500000, 410000, 5510000},
         Outcome::Found, 32633, 0, "", ""},
        {"UTM south, a datum with one hemisphere only", {"UTM", "50", "AGD66", "METRIC"}, perth,
         Outcome::Found, 20250, 0, "", ""},
        {"UTM south named", {"UTM", "56s", "WGS 84", ""}, {330000, 6250000, 340000, 6260000},
         Outcome::Found, 32756, 0, "", ""},
        {"UTM without its hemisphere", {"UTM", "33", "WGS84", "METRIC"}, {400000, 5500000, 410000, 5510000},
         Outcome::Rejected, 0, 0, "name the hemisphere (33N or 33S)", ""},
        {"UTM zone out of range", {"UTM", "61", "WGS84", "METRIC"}, perth, Outcome::Rejected, 0, 0,
         "PROJECTION ZONE 61 is no UTM zone", ""},
        {"feet against a system in metres", {"UTM", "18", "NAD83", "ENGLISH"},
         {300000, 4500000, 310000, 4510000}, Outcome::Found, 26918, 0, "",
         "UNITS ENGLISH (feet) but NAD83 / UTM zone 18N, EPSG:26918 is in metres"},
        {"a zone the datum has no system for: the one that holds the extent suggested",
         {"UTM", "57", "IGN72 Grande Terre", "METRIC"}, {645000, 7530000, 655000, 7540000},
         Outcome::Rejected, 0, 3060, "PROJECTION ZONE 57 has no UTM system on DATUM IGN72", ""},
        {"the wrong zone of two: the other one suggested", {"UTM", "1", "Fiji 1956", "METRIC"},
         {650000, 7990000, 655000, 7995000}, Outcome::Rejected, 0, 3141,
         "lies outside the area of use of Fiji 1956 / UTM zone 1S, EPSG:3142", ""},
        {"no hints", {"", "", "", "METRIC"}, perth, Outcome::NoHints, 0, 0, "", ""},
        {"another projection", {"LAMBERT", "1", "NAD83", "METRIC"}, perth, Outcome::Rejected, 0, 0,
         "MAP PROJECTION LAMBERT is neither STATEPLANE nor UTM", ""},
        {"unknown datum", {"UTM", "50", "XYZ99", "METRIC"}, perth, Outcome::Rejected, 0, 0,
         "DATUM XYZ99 is not in PROJ's database", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const vk::HintResult result = vk::crsFromHeader(c.hints, c.extent);
        EXPECT_EQ(result.outcome, c.outcome) << result.problem;
        EXPECT_EQ(result.crs ? result.crs->epsg() : 0, c.epsg);
        EXPECT_EQ(result.suggestion ? result.suggestion->epsg() : 0, c.suggestion);
        EXPECT_NE(result.problem.find(c.problem), std::string::npos) << result.problem;
        EXPECT_EQ(result.problem.empty(), *c.problem == '\0') << result.problem;
        EXPECT_NE(result.unitsWarning.find(c.units), std::string::npos) << result.unitsWarning;
        EXPECT_EQ(result.unitsWarning.empty(), *c.units == '\0') << result.unitsWarning;
    }
}

TEST(Crs, PointsAreTransformedAsGdaltransformDoes) {
    struct Case {
        const char* from;
        const char* to;
        double x, y;             // given
        double expectX, expectY; // `gdaltransform -s_srs FROM -t_srs TO` (GDAL 3.6.2, PROJ 9.1.1)
    };
    const Case cases[] = {
        {"EPSG:2271", "EPSG:4326", 1968668, 290166, -77.7493917104769, 40.9630624848481},
        {"EPSG:2271", "EPSG:4326", 1967609.38, 288126.34, -77.7532244560938, 40.9574642491653},
        {"EPSG:2271", "EPSG:4326", 2100000, 400000, -77.2716771549783, 41.2635207754252},
        {"EPSG:4326", "EPSG:20250", 115.86, -31.95, 392121.416976285, 6464390.96340613},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " to " + c.to);
        const vk::CrsResult from = vk::parseCrs(c.from);
        const vk::CrsResult to = vk::parseCrs(c.to);
        ASSERT_TRUE(from.crs && to.crs);
        const vk::TransformResult made = vk::makeCrsTransform(*from.crs, *to.crs);
        ASSERT_TRUE(made.transform) << made.error;
        std::vector<double> x{c.x}, y{c.y};
        ASSERT_TRUE(made.transform->transform(x, y));
        const double tolerance = c.expectX > 1000 ? 1e-4 : 1e-9;
        EXPECT_NEAR(x[0], c.expectX, tolerance);
        EXPECT_NEAR(y[0], c.expectY, tolerance);
    }
}

} // namespace
