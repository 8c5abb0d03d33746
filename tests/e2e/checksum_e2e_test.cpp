// Whole conversions of a sizeable generated export (300 sections of 200 points on three reaches)
// compared with checksums recorded from an earlier build: every layer file, every .csv table and
// the console transcript must come out byte for byte as they did. Work on the speed of the
// conversion is checked against these. The three date bytes of a .dbf header (offsets 1 to 3)
// change from day to day and are left out of its checksum; so are, from the console, the lines
// that number the file units and the empty lines (how many units a layer takes is the writer's
// business), leaving every message a user reads.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;
using vktest::readFile;
using vktest::runProgram;

using Checksums = std::map<std::string, std::uint64_t>;

// FNV-1a, 64 bits.
constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = kFnvOffset) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kFnvPrime;
    }
    return hash;
}

// The checksum of an output file; a .dbf is taken without its date bytes.
std::uint64_t fileChecksum(const fs::path& path) {
    const std::string bytes = readFile(path.string());
    const std::string_view view = bytes;
    if (path.extension() != ".dbf" || view.size() < 4) return fnv1a(view);
    return fnv1a(view.substr(4), fnv1a(view.substr(0, 1)));
}

// The console without the lines that number file units, and without empty lines.
std::string withoutUnitLines(std::string_view console) {
    std::string kept;
    while (!console.empty()) {
        const std::size_t end = std::min(console.find('\n'), console.size());
        const std::string_view line = console.substr(0, end);
        if (!line.empty() && line.find("File Unit:") == std::string_view::npos) {
            kept += line;
            kept += '\n';
        }
        console.remove_prefix(std::min(end + 1, console.size()));
    }
    return kept;
}

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
    return text;
}

// What one conversion wrote: a checksum per layer file, and the .csv tables taken together (in
// name order, each name and its bytes) with their number.
struct Outputs {
    Checksums layers;
    std::uint64_t tables = kFnvOffset;
    int tableCount = 0;
    std::uint64_t console = 0;
};

const std::vector<std::string> kGeneratorArguments = {"river.sdf", "--reaches", "3",  "--sections",
                                                      "300",       "--points",  "200"};
constexpr std::uint64_t kExportChecksum = 0xaaf2dd7bc8bae7c9ull;
const std::string kExamples = std::string(VK_SOURCE_DIR) + "/examples/";

// Generates the export into a fresh folder beside the projection templates, converts it with the
// given switches (standard input closed) and gathers the checksums of everything the run added.
Outputs convert(const vktest::TempDir& dir, const std::string& name,
                const std::vector<std::string>& switches) {
    const fs::path folder = dir.file(name);
    fs::create_directory(folder);
    const auto generated = runProgram(kGeneratorArguments, "", folder.string(), 120, VK_GEN_SDF);
    EXPECT_EQ(generated.status, 0) << generated.errors;
    EXPECT_EQ(hex(fileChecksum(folder / "river.sdf")), hex(kExportChecksum))
        << "the generator no longer writes the export these checksums were recorded from";
    for (const char* file : {"Header.prj", "Header.mif"})
        fs::copy_file(kExamples + file, folder / file);

    std::vector<std::string> args = switches;
    args.push_back("river.sdf");
    const auto run = runProgram(args, "", folder.string(), 300);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.output.find("\nFinished.\n"), std::string::npos) << run.output.substr(0, 2000);

    Outputs out;
    out.console = fnv1a(withoutUnitLines(run.output));
    Checksums tables;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string file = entry.path().filename().string();
        if (file == "river.sdf" || file == "Header.prj" || file == "Header.mif") continue;
        if (entry.path().extension() == ".csv")
            tables[file] = fileChecksum(entry.path());
        else
            out.layers[file] = fileChecksum(entry.path());
    }
    for (const auto& [file, sum] : tables) {
        out.tables = fnv1a(file, out.tables);
        out.tables = fnv1a(hex(sum), out.tables);
    }
    out.tableCount = static_cast<int>(tables.size());
    return out;
}

// Compares a run with its recorded checksums. A mismatch lists every actual value in the form of
// the recorded table, so that a deliberate change of the output can be recorded anew.
void expectOutputs(const Outputs& actual, const Outputs& expected, bool console = true) {
    std::string table;
    for (const auto& [file, sum] : actual.layers)
        table += "        {\"" + file + "\", " + hex(sum) + "ull},\n";
    EXPECT_EQ(actual.layers.size(), expected.layers.size()) << table;
    for (const auto& [file, sum] : expected.layers) {
        const auto found = actual.layers.find(file);
        if (found == actual.layers.end()) {
            ADD_FAILURE() << file << " was not written";
            continue;
        }
        EXPECT_EQ(hex(found->second), hex(sum)) << file << "\n" << table;
    }
    EXPECT_EQ(actual.tableCount, expected.tableCount);
    EXPECT_EQ(hex(actual.tables), hex(expected.tables)) << "the .csv tables";
    if (console) {
        EXPECT_EQ(hex(actual.console), hex(expected.console)) << "the console transcript";
    }
}

// ---- checksums recorded from the conversions of the generated export ----

// Each .dbf of these ASCII exports has its .cpg beside it: "1252".
Checksums withCodePages(Checksums layers) {
    for (const auto& entry : Checksums(layers))
        if (const std::string& file = entry.first; file.ends_with(".dbf"))
            layers[file.substr(0, file.size() - 4) + ".cpg"] = fnv1a("1252");
    return layers;
}

const Checksums kShapefileLayers = withCodePages({
    {"1d_xs_river_surf_line_L.dbf", 0x218047225437fe8aull},
    {"1d_xs_river_surf_line_L.prj", 0x0bc8605c25f3614bull},
    {"1d_xs_river_surf_line_L.shp", 0x08f46822ee6f6b5cull},
    {"1d_xs_river_surf_line_L.shx", 0x0698d9d560b6e91dull},
    {"2d_zsh_river_end_pts_P.dbf", 0x5f28be52d32a86e4ull},
    {"2d_zsh_river_end_pts_P.prj", 0x0bc8605c25f3614bull},
    {"2d_zsh_river_end_pts_P.shp", 0x9ff3f538b4df35b0ull},
    {"2d_zsh_river_end_pts_P.shx", 0x5f06390fa9bb3842ull},
    {"river.sdf_streams_L.dbf", 0xa13cb88129a1ec52ull},
    {"river.sdf_streams_L.prj", 0x0bc8605c25f3614bull},
    {"river.sdf_streams_L.shp", 0x081d1fb465f04735ull},
    {"river.sdf_streams_L.shx", 0xf19f21050eff9faaull},
    {"river_cut_line_L.dbf", 0xab5d1da75bf79f50ull},
    {"river_cut_line_L.prj", 0x0bc8605c25f3614bull},
    {"river_cut_line_L.shp", 0x92a8f9f330822b11ull},
    {"river_cut_line_L.shx", 0x2d5216e5e8c4f8c3ull},
    {"river_levee_pts_P.dbf", 0x2d96f1876095676eull},
    {"river_levee_pts_P.prj", 0x0bc8605c25f3614bull},
    {"river_levee_pts_P.shp", 0x24b9fbec3ffee794ull},
    {"river_levee_pts_P.shx", 0x7d024e16d43d42ceull},
    {"river_surf_pts_P.dbf", 0x43e1845fb0ae671bull},
    {"river_surf_pts_P.prj", 0x0bc8605c25f3614bull},
    {"river_surf_pts_P.shp", 0xb9f98b5adf537d40ull},
    {"river_surf_pts_P.shx", 0x09fb157cb9016f39ull},
});
const Outputs kShapefileRun = {kShapefileLayers, 0xb3c32f5c449d2744ull, 300, 0xe82c180872f63d76ull};

const Checksums kMifLayers = {
    {"1d_xs_river_surf_line.mid", 0x77adc94f10742c0aull},
    {"1d_xs_river_surf_line.mif", 0x8d92fa308711aaffull},
    {"2d_zsh_river_end_pts.mid", 0x33c66d3f9769862eull},
    {"2d_zsh_river_end_pts.mif", 0x9b7cac23717b4e7cull},
    {"river.sdf_streams.mid", 0x33914502870b4474ull},
    {"river.sdf_streams.mif", 0x897bc770511bd8b6ull},
    {"river_cut_line.mid", 0xd77ac067ff4dc3e0ull},
    {"river_cut_line.mif", 0x65574f2c32ccded0ull},
    {"river_levee_pts.mid", 0xc72e5e77eded7ec1ull},
    {"river_levee_pts.mif", 0xf44c9a529fe8bbb5ull},
    {"river_surf_pts.mid", 0x624a16b981b87380ull},
    {"river_surf_pts.mif", 0x07c25d7a4b56b2f2ull},
};
const Outputs kMifRun = {kMifLayers, 0xb3c32f5c449d2744ull, 300, 0x48ec3baebd30d43aull};

const Checksums kUntrimmedLayers = withCodePages({
    {"1d_xs_river_surf_line_L.dbf", 0x218047225437fe8aull},
    {"1d_xs_river_surf_line_L.prj", 0x0bc8605c25f3614bull},
    {"1d_xs_river_surf_line_L.shp", 0x5bb057fc7351f4f5ull},
    {"1d_xs_river_surf_line_L.shx", 0x8c8723542e52ac1bull},
    {"2d_zsh_river_end_pts_P.dbf", 0x5f28be52d32a86e4ull},
    {"2d_zsh_river_end_pts_P.prj", 0x0bc8605c25f3614bull},
    {"2d_zsh_river_end_pts_P.shp", 0x9ff3f538b4df35b0ull},
    {"2d_zsh_river_end_pts_P.shx", 0x5f06390fa9bb3842ull},
    {"river.sdf_streams_L.dbf", 0xa13cb88129a1ec52ull},
    {"river.sdf_streams_L.prj", 0x0bc8605c25f3614bull},
    {"river.sdf_streams_L.shp", 0x081d1fb465f04735ull},
    {"river.sdf_streams_L.shx", 0xf19f21050eff9faaull},
    {"river_cut_line_L.dbf", 0xab5d1da75bf79f50ull},
    {"river_cut_line_L.prj", 0x0bc8605c25f3614bull},
    {"river_cut_line_L.shp", 0x92a8f9f330822b11ull},
    {"river_cut_line_L.shx", 0x2d5216e5e8c4f8c3ull},
    {"river_levee_pts_P.dbf", 0xfe7d57a6ad122554ull},
    {"river_levee_pts_P.prj", 0x0bc8605c25f3614bull},
    {"river_levee_pts_P.shp", 0xd1c04446ef79e74eull},
    {"river_levee_pts_P.shx", 0xd1c04446ef79e74eull},
    {"river_surf_pts_P.dbf", 0xde67eabd178c909bull},
    {"river_surf_pts_P.prj", 0x0bc8605c25f3614bull},
    {"river_surf_pts_P.shp", 0x4d4d1e7604b84ef6ull},
    {"river_surf_pts_P.shx", 0x63215280b03a8522ull},
});
const Outputs kUntrimmedRun = {kUntrimmedLayers, 0xe1f900a17e1f808full, 300, 0x313d3be1a1f4511aull};

} // namespace

TEST(Checksum, FnvOneA64MatchesItsPublishedValues) {
    EXPECT_EQ(fnv1a(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(fnv1a("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(fnv1a("foobar"), 0x85944171f73967e8ull);
    // Chaining continues the same hash.
    EXPECT_EQ(fnv1a("bar", fnv1a("foo")), fnv1a("foobar"));
}

// The date of a .dbf header does not take part in its checksum; every other byte does, and in
// any other file every byte does.
TEST(Checksum, DbfDateBytesAreLeftOut) {
    vktest::TempDir dir;
    const std::string today("\x03\x7d\x0c\x07\x2a\x00\x00\x00", 8);
    std::string otherDay = today;
    otherDay[1] = '\x7e';
    otherDay[2] = '\x01';
    otherDay[3] = '\x1f';
    std::string otherCount = today;
    otherCount[4] = '\x2b';
    for (const auto& [name, bytes] :
         {std::pair{"a.dbf", today}, std::pair{"b.dbf", otherDay}, std::pair{"c.dbf", otherCount},
          std::pair{"a.shp", today}, std::pair{"b.shp", otherDay}})
        vktest::writeFile(dir.file(name), bytes);
    EXPECT_EQ(fileChecksum(dir.file("a.dbf")), fileChecksum(dir.file("b.dbf")));
    EXPECT_NE(fileChecksum(dir.file("a.dbf")), fileChecksum(dir.file("c.dbf")));
    EXPECT_NE(fileChecksum(dir.file("a.shp")), fileChecksum(dir.file("b.shp")));
}

// Shapefile output, trimmed to the levee markers.
TEST(ChecksumE2e, ShapefileRunKeepsEveryOutputByte) {
    vktest::TempDir dir;
    expectOutputs(convert(dir, "shp", {"-shp"}), kShapefileRun);
}

// MapInfo output: its .csv tables are those of the Shapefile run.
TEST(ChecksumE2e, MifRunKeepsEveryOutputByte) {
    vktest::TempDir dir;
    expectOutputs(convert(dir, "mif", {"-mif"}), kMifRun);
}

// Untrimmed sections: every surface point is kept, in the layers and in the tables.
TEST(ChecksumE2e, UntrimmedShapefileRunKeepsEveryOutputByte) {
    vktest::TempDir dir;
    expectOutputs(convert(dir, "notrim", {"-shp", "-notrim"}), kUntrimmedRun);
}

// The conversion report comes on top of everything else, which stays as it was (the console also
// shows the page's file opened and closed); the page is smaller than the export.
TEST(ChecksumE2e, ReportRunKeepsEveryOtherOutputByte) {
    vktest::TempDir dir;
    Outputs out = convert(dir, "report", {"-mif", "-report"});
    ASSERT_EQ(out.layers.count("river_report.html"), 1u);
    out.layers.erase("river_report.html");
    expectOutputs(out, kMifRun, false);
    EXPECT_LT(fs::file_size(dir.file("report") + "/river_report.html"),
              fs::file_size(dir.file("report") + "/river.sdf"));
}

// Nor is it larger for exports of the tiniest sections: two surface points each, a cut line
// alone (whose warning repeats for every section), or one water level of 10,000 profiles.
TEST(ChecksumE2e, ReportOfTinySectionsIsNoLargerThanTheExport) {
    vktest::TempDir dir;
    ASSERT_EQ(runProgram({"tiny.sdf", "--sections", "4000", "--points", "2"}, "", dir.path(), 120,
                         VK_GEN_SDF)
                  .status,
              0);
    std::string cutOnly = "# export\nEND STREAM NETWORK:\nBEGIN CROSS-SECTIONS:\n";
    for (int i = 0; i < 20000; ++i)
        cutOnly += "CROSS-SECTION:\n STREAM ID: A\n REACH ID: B\n STATION: " + std::to_string(i) +
                   "\n CUT LINE:\n 0, 0\n 20, 0\nEND:\n";
    vktest::writeFile(dir.file("cut.sdf"), cutOnly + "END CROSS-SECTIONS:\n");
    std::string profiles = "BEGIN HEADER:\nNUMBER OF PROFILES: 10000\nPROFILE NAMES:\n";
    for (int k = 0; k < 10000; ++k) profiles += "P" + std::to_string(k) + "\n";
    profiles += "END HEADER:\nEND STREAM NETWORK:\nBEGIN CROSS-SECTIONS:\n";
    for (int i = 0; i < 10000; ++i)
        profiles += "CROSS-SECTION:\n STREAM ID: A\n REACH ID: B\n STATION: " + std::to_string(i) +
                    "\n WATER ELEVATION: 1.5\n CUT LINE:\n 0, 0\n 20, 0\nEND:\n";
    vktest::writeFile(dir.file("profiles.sdf"), profiles + "END CROSS-SECTIONS:\n");
    fs::copy_file(kExamples + "Header.mif", dir.file("Header.mif"));
    for (const char* name : {"tiny", "cut", "profiles"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(runProgram({"-mif", "-report", std::string(name) + ".sdf"}, "", dir.path(), 300)
                      .status,
                  0);
        EXPECT_LE(fs::file_size(dir.file(std::string(name) + "_report.html")),
                  fs::file_size(dir.file(std::string(name) + ".sdf")));
    }
}
