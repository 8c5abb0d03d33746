// Coordinate systems end to end: -crs and -t_srs, a template identified, and the header's hints of
// the real exports checked against their coordinates.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gis/crs.h"
#include "support/process.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using vktest::readFile;
using vktest::writeFile;

// NAD83 / California zone 3 (ftUS) as ESRI software writes its .prj, over several lines.
const char* const kCaliforniaPrj =
    "PROJCS[\"NAD_1983_StatePlane_California_III_FIPS_0403_Feet\",\r\n"
    "  GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_American_1983\",\r\n"
    "    SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],\r\n"
    "    UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Lambert_Conformal_Conic\"],\r\n"
    "  PARAMETER[\"False_Easting\",6561666.667],PARAMETER[\"False_Northing\",1640416.667],\r\n"
    "  PARAMETER[\"Central_Meridian\",-120.5],PARAMETER[\"Standard_Parallel_1\",38.4333333333333],\r\n"
    "  PARAMETER[\"Standard_Parallel_2\",37.0666666666667],PARAMETER[\"Latitude_Of_Origin\",36.5],\r\n"
    "  UNIT[\"US survey foot\",0.304800609601219]]\r\n";

std::string esriWkt(const char* definition) {
    const vk::CrsResult parsed = vk::parseCrs(definition);
    return parsed.crs ? parsed.crs->esriWkt() : parsed.error;
}

// A .prj file's one line, without its line end.
std::string prjLine(const std::string& path) {
    const std::string text = readFile(path);
    return text.substr(0, text.find_first_of("\r\n"));
}

// The first vertex of the first record of a .shp of lines (one part).
std::pair<double, double> firstVertex(const std::string& shp) {
    const std::string bytes = readFile(shp);
    double xy[2] = {};
    if (bytes.size() >= 172) std::memcpy(xy, bytes.data() + 156, sizeof xy);
    return {xy[0], xy[1]};
}

// The rows sqlite3 prints for the query; empty where sqlite3 is not at hand.
std::string sqlite(const std::string& package, const std::string& query) {
    const auto r = vktest::runShell("sqlite3 '" + package + "' \"" + query + "\"");
    return r.status == 0 ? r.output : std::string();
}

class CrsE2e : public ::testing::Test {
  protected:
    vktest::TempDir dir;
    std::string realData = vktest::realDataDir();

    void SetUp() override {
        if (realData.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata)";
    }
    // The real export `name` in a folder of its own, with `from` in its text made `to`.
    std::string place(const std::string& folder, const std::string& name,
                      const std::string& from = {}, const std::string& to = {}) {
        fs::create_directories(dir.file(folder));
        std::string text = readFile(realData + "/" + name);
        if (!from.empty()) text.replace(text.find(from), from.size(), to);
        writeFile(dir.file(folder + "/" + name), text);
        return dir.file(folder);
    }
};

// The header's hints of the real exports and of one mended, each with the line that says what
// came of them.
TEST_F(CrsE2e, HeaderHintsAreCheckedAgainstTheExport) {
    struct Case {
        std::string what, file, from, to, format;
        int status;
        std::string said;  // a line of the console
        int epsg;          // the .prj's system (-shp), the package's (-gpkg); 0: none
    };
    const std::string refused = "does not exist in folder ";
    const std::vector<Case> cases = {
        {"Wailupe", "wailupe-import.sdf", "", "", "-shp", 1,
         "WARNING - The coordinate system of the export's header (MAP PROJECTION STATEPLANE, "
         "PROJECTION ZONE 5101, DATUM NAD27, UNITS ENGLISH) is not used: PROJECTION ZONE 5101 has "
         "no State Plane system on DATUM NAD27.", 0},
        {"Bald Eagle", "baldeagle-export-crlf.sdf", "", "", "-mif", 1,
         "WARNING - The coordinate system of the export's header (MAP PROJECTION STATEPLANE, "
         "PROJECTION ZONE 5126, DATUM NAD83, UNITS ENGLISH) is not used: PROJECTION ZONE 5126 is "
         "no State Plane zone.", 0},
        {"Bald Eagle, GeoPackage", "baldeagle-export-crlf.sdf", "", "", "-gpkg", 0,
         "No Header.prj or Projection.prj in folder: the layers have no coordinate system.", 0},
        {"Bald Eagle in its true zone", "baldeagle-export-crlf.sdf", "ZONE: 5126", "ZONE: 3701",
         "-shp", 0, "Coordinate system: NAD83 / Pennsylvania North (ftUS), EPSG:2271, from the "
         "export's header (MAP PROJECTION STATEPLANE, PROJECTION ZONE 3701, DATUM NAD83, UNITS "
         "ENGLISH)", 2271},
        {"Bald Eagle in its true zone, GeoPackage", "baldeagle-export-crlf.sdf", "ZONE: 5126",
         "ZONE: 3701", "-gpkg", 0, "Coordinate system: NAD83 / Pennsylvania North (ftUS)", 2271},
        {"Bald Eagle in metres", "baldeagle-export-crlf.sdf", "ZONE: 5126", "ZONE: 3701", "-shp", 0,
         "WARNING - The export's header says UNITS METRIC (metres) but NAD83 / Pennsylvania North "
         "(ftUS), EPSG:2271 is in feet.", 2271},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = place(std::to_string(++n), c.file, c.from, c.to);
        if (c.what.ends_with("metres")) {
            const std::string path = folder + "/" + c.file;
            std::string text = readFile(path);
            text.replace(text.find("UNITS: ENGLISH"), 14, "UNITS: METRIC");
            writeFile(path, text);
        }
        const auto r = vktest::runProgram({c.format, c.file}, {}, folder);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_NE(r.output.find("\n" + c.said), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find(refused) != std::string::npos, c.status == 1) << r.output;
        const std::string base = c.file.substr(0, c.file.find('.'));
        if (c.format == "-shp" && c.epsg) {
            EXPECT_EQ(prjLine(folder + "/" + c.file + "_streams_L.prj"),
                      esriWkt(("EPSG:" + std::to_string(c.epsg)).c_str()));
        }
        if (c.format == "-gpkg" && vktest::kPosixSystem) {
            const std::string srs = sqlite(folder + "/" + base + ".gpkg",
                                           "SELECT DISTINCT srs_id FROM gpkg_geometry_columns");
            if (!srs.empty()) {
                EXPECT_EQ(srs, (c.epsg ? std::to_string(c.epsg) : "-1") + "\n");
            }
        }
    }
}

// -crs stands in for the template, a template is identified, and -t_srs writes every layer's
// coordinates in its system (those of the first centreline vertex as gdaltransform gives them),
// the tables as they were.
TEST_F(CrsE2e, CrsTemplatesAndTransformedLayers) {
    struct Case {
        std::string what;
        std::vector<std::string> args;
        const char* prjTemplate;  // written as Header.prj (-mif: Header.mif), or none
        std::string said;
        const char* prj;          // the system the .prj files hold
        double x, y;              // the first centreline vertex written
    };
    const std::vector<Case> cases = {
        {"-crs", {"-shp", "-crs", "EPSG:2271"}, nullptr,
         "Coordinate system: NAD83 / Pennsylvania North (ftUS), EPSG:2271, from -crs\n",
         "EPSG:2271", 1967609.38, 288126.34},
        {"-crs over a template", {"-shp", "--crs", "EPSG:2271"}, kCaliforniaPrj,
         "-crs is used, not the projection template Header.prj.\n", "EPSG:2271", 1967609.38,
         288126.34},
        {"a template over several lines, identified", {"-shp"}, kCaliforniaPrj,
         "Coordinate system: NAD83 / California zone 3 (ftUS), EPSG:2227, from Header.prj\n",
         "EPSG:2227", 1967609.38, 288126.34},
        {"-t_srs", {"-shp", "-crs", "EPSG:2271", "-t_srs", "EPSG:4326", "-report"}, nullptr,
         "Coordinates transformed into WGS 84, EPSG:4326.\n", "EPSG:4326", -77.7532244560938,
         40.9574642491653},
        {"a MIF template identified, -t_srs", {"-mif", "-t_srs", "EPSG:4326"},
         "CoordSys Earth Projection 3, 74, \"survey ft\", -77.75, 40.1666666666667, "
         "40.8833333333333, 41.95, 1968500, 0\n",
         "Coordinate system: NAD83 / Pennsylvania North (ftUS), EPSG:2271, from Header.mif\n",
         "EPSG:4326", -77.7532244560938, 40.9574642491653},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder =
            place(std::to_string(++n), "baldeagle-export-crlf.sdf", "ZONE: 5126", "ZONE:");
        const bool mif = c.args[0] == "-mif";
        if (c.prjTemplate) writeFile(folder + (mif ? "/Header.mif" : "/Header.prj"), c.prjTemplate);
        std::vector<std::string> args = c.args;
        args.push_back("baldeagle-export-crlf.sdf");
        const auto r = vktest::runProgram(args, {}, folder);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("\n" + c.said), std::string::npos) << r.output;
        if (mif) {
            // The CoordSys line of the system written in, then the first vertex as written.
            const std::string layer = readFile(folder + "/baldeagle-export-crlf.sdf_streams.mif");
            EXPECT_NE(layer.find(vk::parseCrs(c.prj).crs->mifCoordSys()), std::string::npos);
            EXPECT_NE(layer.find("-77.753224       40.957464"), std::string::npos);
            continue;
        }
        for (const char* layer :
             {"baldeagle-export-crlf.sdf_streams_L", "baldeagle-export-crlf_cut_line_L"})
            EXPECT_EQ(prjLine(folder + "/" + layer + ".prj"), esriWkt(c.prj));
        const auto [x, y] = firstVertex(folder + "/baldeagle-export-crlf.sdf_streams_L.shp");
        EXPECT_NEAR(x, c.x, 1e-7);
        EXPECT_NEAR(y, c.y, 1e-7);
    }
    // The report names the system and draws in the new one.
    const std::string page = readFile(dir.file("4/baldeagle-export-crlf_report.html"));
    EXPECT_NE(page.find("from -crs; layers and map in WGS 84, EPSG:4326 (-t_srs).</p>"),
              std::string::npos);
    EXPECT_NE(page.find("\"c\":[-77.7532244560938"), std::string::npos);
}

// Wailupe's tables keep their distances and elevations whatever system its layers are written in.
TEST_F(CrsE2e, TablesAreNotTransformed) {
    const std::string asIs = place("as-is", "wailupe-import.sdf");
    const std::string moved = place("moved", "wailupe-import.sdf");
    ASSERT_EQ(vktest::runProgram({"-shp", "-crs", "EPSG:3561", "wailupe-import.sdf"}, {}, asIs).status, 0);
    ASSERT_EQ(vktest::runProgram({"-shp", "-crs", "EPSG:3561", "-t_srs", "EPSG:4326",
                                  "wailupe-import.sdf"}, {}, moved).status, 0);
    int tables = 0;
    for (const auto& entry : fs::directory_iterator(asIs)) {
        if (entry.path().extension() != ".csv") continue;
        ++tables;
        EXPECT_EQ(readFile(entry.path().string()),
                  readFile(moved + "/" + entry.path().filename().string()));
    }
    EXPECT_EQ(tables, 47);
    EXPECT_NE(readFile(asIs + "/wailupe-import.sdf_streams_L.shp"),
              readFile(moved + "/wailupe-import.sdf_streams_L.shp"));
}

// A definition the library does not know ends the run before anything is written, naming it and
// the library's reason.
TEST_F(CrsE2e, UnknownDefinitionsEndTheRunFirst) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"-shp", "-crs", "EPSG:99999"}, "ERROR - -crs: \"EPSG:99999\" is no coordinate system: "
                                         "PROJ: proj_create_from_database: crs not found"},
        {{"-gpkg", "-t_srs", "+proj=nonsense"}, "ERROR - -t_srs: \"+proj=nonsense\" is no "
                                                "coordinate system: "},
        {{"-gpkg", "-t_srs", "EPSG:4326"}, "ERROR - -t_srs EPSG:4326: the coordinate system of the "
                                          "export is not known (give it with -crs EPSG:n, or a "
                                          "projection template that names one)."},
        {{"-shp", "-crs"}, "ERROR - No coordinate system named after -crs"},
    };
    const std::string folder = place("bad", "baldeagle-export-crlf.sdf");
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        if (c.args.back() != "-crs") args.push_back("baldeagle-export-crlf.sdf");
        const auto r = vktest::runProgram(args, {}, folder);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find("\n" + c.error), std::string::npos) << r.output;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}

} // namespace
