// Coordinate systems end to end, on the real exports: the header's hints checked against the
// coordinates, -crs, a template identified, -t_srs, and definitions the library does not know.
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "gis/crs.h"
#include "support/process.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using vktest::readFile;

const std::string kBald = "baldeagle-export-crlf.sdf";
const std::string kPennsylvaniaNorth = "Coordinate system: NAD83 / Pennsylvania North (ftUS), EPSG:2271";

std::string crsText(const std::string& definition, bool mif = false) {
    const vk::CrsResult parsed = vk::parseCrs(definition);
    return !parsed.crs ? parsed.error : mif ? parsed.crs->mifCoordSys() : parsed.crs->esriWkt();
}

std::string firstLine(const std::string& path) {
    const std::string text = readFile(path);
    return text.substr(0, text.find('\n'));
}

class CrsE2e : public ::testing::Test {
  protected:
    vktest::TempDir dir;
    std::string realData = vktest::realDataDir();
    int folders = 0;

    void SetUp() override {
        if (realData.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata)";
    }
    // The real export `name` in a new folder, each `from` in its text made `to`, `file` beside it.
    using Edits = std::vector<std::pair<std::string, std::string>>;
    std::string place(const std::string& name, const Edits& edits = {},
                      const std::string& file = {}, const std::string& content = {}) {
        const std::string folder = dir.file(std::to_string(++folders));
        fs::create_directories(folder);
        std::string text = readFile(realData + "/" + name);
        for (const auto& [from, to] : edits) text.replace(text.find(from), from.size(), to);
        vktest::writeFile(folder + "/" + name, text);
        if (!file.empty()) vktest::writeFile(folder + "/" + file, content);
        return folder;
    }
    static vktest::ProcessResult run(const std::vector<std::string>& args, const std::string& in) {
        return vktest::runProgram(args, {}, in);
    }
};

TEST_F(CrsE2e, HeaderHintsAreCheckedAgainstTheExport) {
    struct Case {
        std::string file;
        Edits edits;
        std::string format;
        int status;
        std::string said;  // a whole line of the console, or its beginning
        int epsg;          // of the .prj files (-shp), of the package's layers (-gpkg)
    };
    const std::string header = "the export's header (MAP PROJECTION STATEPLANE, PROJECTION ZONE ";
    const std::string gis = "gisplugin-structures-import.sdf";
    const std::vector<Case> cases = {
        {"wailupe-import.sdf", {}, "-shp", 1, "WARNING - The coordinate system of " + header +
         "5101, DATUM NAD27, UNITS ENGLISH) is not used: PROJECTION ZONE 5101 has no State Plane "
         "system on DATUM NAD27.\n", 0},
        {kBald, {}, "-mif", 1, "WARNING - The coordinate system of " + header + "5126, DATUM "
         "NAD83, UNITS ENGLISH) is not used: PROJECTION ZONE 5126 is no State Plane zone.\n", 0},
        {kBald, {}, "-gpkg", 0, "No Header.prj or Projection.prj in folder: the layers have "
         "no coordinate system.\n", -1},
        {kBald, {{"5126", "3701"}}, "-shp", 0, kPennsylvaniaNorth + ", from " + header + "3701, DATUM "
         "NAD83, UNITS ENGLISH)\n", 2271},
        {kBald, {{"5126", "3701"}}, "-gpkg", 0, kPennsylvaniaNorth, 2271},
        {kBald, {{"5126", "3701"}, {"UNITS: ENGLISH", "UNITS: METRIC"}}, "-shp", 0, "WARNING - The "
         "export's header says UNITS METRIC (metres) but NAD83 / Pennsylvania North (ftUS), "
         "EPSG:2271 is in feet.\n", 2271},
        {gis, {{"PROJECTION:\n   PROJECTION ZONE:\n   DATUM:", "PROJECTION: UTM\n   PROJECTION "
         "ZONE: 30N\n   DATUM: WGS84"}}, "-gpkg", 0, "Coordinate system: WGS 84 / UTM zone 30N, "
         "EPSG:32630", 32630},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " " + std::to_string(c.edits.size()) + " " + c.format);
        const std::string folder = place(c.file, c.edits);
        const auto r = run({c.format, c.file}, folder);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_NE(r.output.find("\n" + c.said), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("does not exist in folder ") != std::string::npos, c.status == 1);
        const std::string base = folder + "/" + c.file.substr(0, c.file.find('.'));
        if (c.format == "-shp" && c.epsg) {
            EXPECT_EQ(firstLine(folder + "/" + c.file + "_streams_L.prj"),
                      crsText("EPSG:" + std::to_string(c.epsg)));
        }
        const auto rows = vktest::runShell("sqlite3 '" + base + ".gpkg' \"SELECT DISTINCT srs_id "
                                           "FROM gpkg_geometry_columns\"");
        if (c.format == "-gpkg" && rows.status == 0) {
            EXPECT_EQ(rows.output, std::to_string(c.epsg) + "\n");
        }
    }
}

// -crs stands in for a template, a template (even over several lines) is identified, and -t_srs
// writes every layer in its system: the first centreline vertex as gdaltransform gives it, the
// tables as they were.
TEST_F(CrsE2e, CrsTemplatesAndTransformedLayers) {
    struct Case {
        std::vector<std::string> args;
        std::string file, content;  // a template beside the export
        std::string said, written;  // a console line, the system the layers are written in
        double x, y;                // the first centreline vertex written
    };
    std::string california = crsText("EPSG:2227");
    california.insert(california.find(",GEOGCS") + 1, "\r\n  ");
    const std::string pennsylvaniaMif = crsText("EPSG:2271", true);
    const double px = 1967609.38, py = 288126.34, lon = -77.7532244560938, lat = 40.9574642491653;
    const std::vector<Case> cases = {
        {{"-shp", "-crs", "EPSG:2271"}, "", "", kPennsylvaniaNorth + ", from -crs\n", "EPSG:2271",
         px, py},
        {{"-shp", "--crs", "EPSG:2271"}, "Header.prj", california,
         "-crs is used, not the projection template Header.prj.\n", "EPSG:2271", px, py},
        {{"-shp"}, "Header.prj", california, "Coordinate system: NAD83 / California zone 3 "
         "(ftUS), EPSG:2227, from Header.prj\n", "EPSG:2227", px, py},
        {{"-shp", "-crs", "EPSG:2271", "-t_srs", "EPSG:4326", "-report"}, "", "",
         "Coordinates transformed into WGS 84, EPSG:4326.\n", "EPSG:4326", lon, lat},
        {{"-mif", "-t_srs", "EPSG:4326"}, "Header.mif", pennsylvaniaMif + "\n",
         kPennsylvaniaNorth + ", from Header.mif\n", "EPSG:4326", lon, lat},
    };
    std::string withoutTransform;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const std::string folder = place(kBald, {{"ZONE: 5126", "ZONE:"}}, c.file, c.content);
        std::vector<std::string> args = c.args;
        args.push_back(kBald);
        const auto r = run(args, folder);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("\n" + c.said), std::string::npos) << r.output;
        if (c.args[0] == "-mif") {
            const std::string layer = readFile(folder + "/" + kBald + "_streams.mif");
            EXPECT_NE(layer.find("\n" + crsText(c.written, true) + "\n"), std::string::npos);
            EXPECT_NE(layer.find("-77.753224       40.957464"), std::string::npos);
            continue;
        }
        for (const std::string& layer : {kBald + "_streams_L", kBald.substr(0, 21) + "_cut_line_L"})
            EXPECT_EQ(firstLine(folder + "/" + layer + ".prj"), crsText(c.written));
        const std::string shp = readFile(folder + "/" + kBald + "_streams_L.shp");
        double xy[2] = {};
        if (shp.size() >= 172) std::memcpy(xy, shp.data() + 156, sizeof xy);  // first vertex
        EXPECT_NEAR(xy[0], c.x, 1e-7);
        EXPECT_NEAR(xy[1], c.y, 1e-7);
    }
    // The report names the system and draws in the new one.
    const std::string page = readFile(dir.file("4/baldeagle-export-crlf_report.html"));
    EXPECT_NE(page.find("from -crs; layers and map in WGS 84, EPSG:4326 (-t_srs).</p>"),
              std::string::npos);
    EXPECT_NE(page.find("\"c\":[-77.753224456,40.957464249,"), std::string::npos);
    // Wailupe's 47 tables keep their distances and elevations whatever the layers are written in.
    const std::string asIs = place("wailupe-import.sdf"), moved = place("wailupe-import.sdf");
    ASSERT_EQ(run({"-shp", "-crs", "EPSG:3561", "wailupe-import.sdf"}, asIs).status, 0);
    ASSERT_EQ(run({"-shp", "-crs", "EPSG:3561", "-t_srs", "EPSG:4326", "wailupe-import.sdf"}, moved)
                  .status, 0);
    int tables = 0;
    for (const auto& entry : fs::directory_iterator(asIs)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".csv") continue;
        ++tables;
        EXPECT_EQ(readFile(entry.path().string()), readFile(moved + "/" + name)) << name;
    }
    EXPECT_EQ(tables, 47);
}

// A definition the library does not know ends the run before anything is written, naming it and
// the library's reason; so does -t_srs for an export whose own system is not known.
TEST_F(CrsE2e, UnknownDefinitionsEndTheRunFirst) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-shp", "-crs", "EPSG:99999", kBald}, "ERROR - -crs: \"EPSG:99999\" is no coordinate "
         "system: PROJ: proj_create_from_database: crs not found\n"},
        {{"-gpkg", "-t_srs", "+proj=nonsense", kBald}, "ERROR - -t_srs: \"+proj=nonsense\" is no "
         "coordinate system: "},
        {{"-gpkg", "-t_srs", "EPSG:4326", kBald}, "ERROR - -t_srs EPSG:4326: the coordinate "
         "system of the export is not known (give it with -crs EPSG:n, or a projection template "
         "that names one).\n"},
        {{"-shp", "-crs"}, "ERROR - No coordinate system named after -crs\n"},
    };
    const std::string folder = place(kBald);
    for (const auto& [args, error] : cases) {
        const auto r = run(args, folder);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find("\n" + error), std::string::npos) << r.output;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}

// The program that ships proj.db beside itself finds it there, whatever PROJ's own variables name
// (an empty folder here), so that the archives work on a machine without PROJ's data.
TEST_F(CrsE2e, DatabaseBesideTheProgramIsFound) {
    const std::string program = VK_BINARY;
    if (!fs::exists(fs::path(program).parent_path() / "proj.db"))
        GTEST_SKIP() << "this build reads the system's PROJ database";
    const std::string folder = place(kBald), empty = dir.file("empty");
    fs::create_directories(empty);
    const auto r = vktest::runProgram({"-shp", "-crs", "EPSG:2271", kBald}, "", folder, 60,
                                      program, {"PROJ_DATA=" + empty, "PROJ_LIB=" + empty});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("\n" + kPennsylvaniaNorth + ", from -crs\n"), std::string::npos)
        << r.output;
}

} // namespace
