// Whole conversions read back by independent GIS software. GDAL's ogrinfo and shapelib's
// shpdump/dbfdump open every layer of the bundled example and of a large generated export, in
// Shapefile and in MIF form, without a warning; the two forms of the same run hold the same
// records; every Shapefile set is well-formed byte by byte; and a run onto the outputs of a longer
// run leaves no stale bytes behind.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <regex>
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

const std::string kExamples = std::string(VK_SOURCE_DIR) + "/examples/";
// 3 reaches, 400 sections of 60 surface points.
const std::vector<std::string> kLargeExport = {"--reaches",  "3",   //
                                               "--sections", "400", //
                                               "--points",   "60"};

// ---- the six layers of a run ----

struct Field {
    std::string name;
    bool text;  // Char(width) in the schema; otherwise Float
    int width;  // of a Char field
};

struct LayerKind {
    bool namedAfterInput;  // the stream layer takes the whole input name, the others the base name
    std::string prefix;
    std::string suffix;
    char letter;  // the Shapefile set that receives the layer's objects
    std::vector<Field> fields;
};

enum Layer { kStreams, kSurfacePoints, kEndPoints, kSurfaceLines, kCutLines, kLeveePoints };
constexpr int kLayers = 6;

const std::vector<LayerKind>& layerKinds() {
    const Field stream{"Stream_ID", true, 100}, reach{"Reach_ID", true, 100},
        station{"Station", true, 100};
    auto number = [](const char* name) { return Field{name, false, 0}; };
    auto text = [](const char* name, int width) { return Field{name, true, width}; };
    static const std::vector<LayerKind> kinds = {
        {true, "", "_streams", 'L', {stream, reach}},
        {false,
         "",
         "_surf_pts",
         'P',
         {stream, reach, station, number("Elevation"), number("Mannings")}},
        {false,
         "2d_zsh_",
         "_end_pts",
         'P',
         {number("Z"), number("dZ"), number("Shape_Width_or_dMax"), text("Shape_Options", 20)}},
        {false,
         "1d_xs_",
         "_surf_line",
         'L',
         {text("Source", 50), text("Type", 2), text("Flags", 8), text("Column_1", 20),
          text("Column_2", 20), text("Column_3", 20), text("Column_4", 20), text("Column_5", 20),
          text("Column_6", 20), number("Z_Increment"), number("Z_Maximum"), number("Skew"),
          text("Comments", 200)}},
        {false, "", "_cut_line", 'L', {stream, reach, station}},
        {false,
         "",
         "_levee_pts",
         'P',
         {stream, reach, station, number("Elevation"), text("Levee_ID", 100)}},
    };
    return kinds;
}

// A dBASE field name holds at most 10 characters.
std::string dbfName(const Field& field) {
    return field.name.substr(0, 10);
}
// A Float field of the schema becomes a 16-character numeric field with 5 decimals.
int dbfWidth(const Field& field) {
    return field.text ? field.width : 16;
}

// ---- the external programs ----

std::string commandPath(const std::string& name) {
    const auto found = vktest::runShell("command -v " + name);
    if (found.status != 0) return {};
    std::string path = found.output;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
        path.pop_back();
    return path;
}

struct Tools {
    std::string ogrinfo = commandPath("ogrinfo");
    std::string shpdump = commandPath("shpdump");
    std::string dbfdump = commandPath("dbfdump");
};

const Tools& tools() {
    static const Tools found;
    return found;
}

// Writes an export with the generator; the same arguments always give the same bytes.
void generate(const std::string& path, const std::vector<std::string>& options) {
    std::vector<std::string> args = {path};
    args.insert(args.end(), options.begin(), options.end());
    const auto r = vktest::runProgram(args, "", "", 60, VK_GEN_SDF);
    ASSERT_EQ(r.status, 0) << r.errors;
}

void copyTemplates(const std::string& folder) {
    for (const char* name : {"Header.prj", "Header.mif"})
        fs::copy_file(kExamples + name, folder + "/" + name, fs::copy_options::overwrite_existing);
}

// ---- conversions ----

enum class Input { Example, Large };
// Default: no format switch, so Shapefile output without a projection.
enum class Format { Shapefile, Mif, Default, GeoPackage };

// Names of the parameters in test listings.
void PrintTo(Input input, std::ostream* out) {
    *out << (input == Input::Example ? "the example" : "the large export");
}
std::string formatName(Format format) {
    return format == Format::Shapefile ? "-shp"
           : format == Format::Mif     ? "-mif"
           : format == Format::Default ? "no switch"
                                       : "-gpkg";
}
void PrintTo(Format format, std::ostream* out) {
    *out << formatName(format);
}

std::string inputName(Input input) {
    return input == Input::Example ? "river.sdf" : "big.sdf";
}
std::string baseName(Input input) {
    return input == Input::Example ? "river" : "big";
}

// Runs the program on `input` in `folder` with standard input closed, as a whole run ends.
vktest::ProcessResult convert(const std::string& folder, const std::string& input, Format format) {
    std::vector<std::string> args;
    if (format == Format::Shapefile) args.push_back("-shp");
    if (format == Format::Mif) args.push_back("-mif");
    if (format == Format::GeoPackage) args.push_back("-gpkg");
    args.push_back(input);
    vktest::ProcessResult r = vktest::runProgram(args, "", folder, 120);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.errors, "");
    const std::string end = "\nFinished.\n\nPress Enter to Close\n";
    EXPECT_TRUE(r.output.size() >= end.size() &&
                r.output.compare(r.output.size() - end.size(), end.size(), end) == 0)
        << r.output.substr(r.output.size() > 2000 ? r.output.size() - 2000 : 0);
    EXPECT_EQ(r.output.find("ERROR"), std::string::npos);
    return r;
}

struct ConversionRun {
    Input input;
    Format format;
    vktest::TempDir dir;

    bool shapefile() const { return format == Format::Shapefile || format == Format::Default; }
    bool package() const { return format == Format::GeoPackage; }
    std::string stem(Layer layer) const {
        const LayerKind& kind = layerKinds()[layer];
        return kind.prefix + (kind.namedAfterInput ? inputName(input) : baseName(input)) +
               kind.suffix;
    }
    // The file that GIS software opens: the .shp of the layer's set, or the .mif.
    std::string layerFile(Layer layer) const {
        if (package()) return baseName(input) + ".gpkg";
        if (!shapefile()) return stem(layer) + ".mif";
        return stem(layer) + "_" + layerKinds()[layer].letter + ".shp";
    }
    std::string path(const std::string& name) const { return dir.file(name); }
    // The layer's name as GDAL gives it: the file's without extension, or the package's table.
    std::string layerName(Layer layer) const {
        return package() ? stem(layer) : layerFile(layer).substr(0, layerFile(layer).size() - 4);
    }
};

// Each input and format is converted once per test program, in a folder of its own.
const ConversionRun& converted(Input input, Format format) {
    static std::map<std::pair<Input, Format>, std::unique_ptr<ConversionRun>> runs;
    std::unique_ptr<ConversionRun>& run = runs[{input, format}];
    if (!run) {
        run = std::make_unique<ConversionRun>();
        run->input = input;
        run->format = format;
        const std::string folder = run->dir.path();
        if (input == Input::Example)
            fs::copy_file(kExamples + "river.sdf", folder + "/river.sdf");
        else
            generate(folder + "/big.sdf", kLargeExport);
        copyTemplates(folder);
        convert(folder, inputName(input), format);
    }
    return *run;
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The data rows of all CSV tables of a run, one per surface point written.
long csvRows(const std::string& folder, long* tables = nullptr) {
    long rows = 0, count = 0;
    for (const std::string& name : vktest::filesIn(folder)) {
        if (!endsWith(name, ".csv")) continue;
        const std::string table = readFile(folder + "/" + name);
        rows += static_cast<long>(std::count(table.begin(), table.end(), '\n')) - 1;
        ++count;
    }
    if (tables) *tables = count;
    return rows;
}

// The number of objects in each layer.
std::array<long, kLayers> expectedCounts(const ConversionRun& run) {
    if (run.input == Input::Example) return {2, 249, 40, 20, 20, 39};
    // The generated export: 3 reaches and 400 sections, each with a surface line (so two end
    // points and one surface line each) and a two-point cut line. Levee markers: every 23rd
    // section from the 12th has none (17 sections), every 97th from the 14th has four (4), every
    // 50th from the 8th has one (6: the 58th has none and the 208th has four), the other 373 have
    // two: 373 x 2 + 4 x 4 + 6 = 768 levee points. The surface points are the CSV rows.
    return {3, csvRows(run.dir.path()), 800, 400, 400, 768};
}

// ---- numbers and texts ----

double parseNumber(std::string_view text, bool* ok = nullptr) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool parsed = error == std::errc() && end != text.data();
    if (ok) *ok = parsed;
    return parsed ? value : std::nan("");
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return std::string(text);
}

// All numbers in a text such as "LINESTRING (1 2,3 4)" or "(1.5,2,0,0)".
std::vector<double> numbersIn(std::string_view text) {
    std::vector<double> numbers;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
            double value = 0;
            const auto [end, error] =
                std::from_chars(text.data() + at, text.data() + text.size(), value);
            if (error == std::errc() && end != text.data() + at) {
                numbers.push_back(value);
                at = static_cast<std::size_t>(end - text.data());
                continue;
            }
        }
        ++at;
    }
    return numbers;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// ---- the Shapefile set as written, read byte by byte ----

using Box = std::array<double, 4>;  // Xmin, Ymin, Xmax, Ymax

std::uint32_t bytesAt(std::string_view b, std::size_t at, int count, bool big) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const auto byte =
            static_cast<unsigned char>(b[at + static_cast<std::size_t>(big ? i : count - 1 - i)]);
        value = value << 8 | byte;
    }
    return value;
}
std::int32_t bigEndian32(std::string_view b, std::size_t at) {
    return static_cast<std::int32_t>(bytesAt(b, at, 4, true));
}
std::int32_t littleEndian32(std::string_view b, std::size_t at) {
    return static_cast<std::int32_t>(bytesAt(b, at, 4, false));
}
int littleEndian16(std::string_view b, std::size_t at) {
    return static_cast<int>(bytesAt(b, at, 2, false));
}
double littleEndianDouble(std::string_view b, std::size_t at) {
    const std::uint64_t bits =
        static_cast<std::uint64_t>(bytesAt(b, at + 4, 4, false)) << 32 | bytesAt(b, at, 4, false);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
Box boxAt(std::string_view b, std::size_t at) {
    return {littleEndianDouble(b, at), littleEndianDouble(b, at + 8),
            littleEndianDouble(b, at + 16), littleEndianDouble(b, at + 24)};
}

struct ShapeRecord {
    int type = -1;
    std::vector<double> xy;  // x1, y1, x2, y2, ...
};

struct ShapefileSet {
    Box box{};
    std::vector<ShapeRecord> records;
    std::vector<std::vector<std::string>> rows;  // the .dbf fields of each record, as stored
};

// The first line of a projection template, without its line end and trailing blanks.
std::string templateFirstLine(const std::string& path) {
    std::string text = readFile(path);
    text = text.substr(0, text.find('\n'));
    while (!text.empty() && (text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Reads the .shp, .shx, .dbf and .prj of one layer of a Shapefile run and checks that each is
// well-formed and that they agree with each other.
ShapefileSet readShapefileSet(const ConversionRun& run, Layer layer) {
    const LayerKind& kind = layerKinds()[layer];
    const std::string shpName = run.path(run.layerFile(layer));
    const std::string base = shpName.substr(0, shpName.size() - 4);
    SCOPED_TRACE(shpName);
    const std::string shp = readFile(shpName), shx = readFile(base + ".shx"),
                      dbf = readFile(base + ".dbf"), prj = readFile(base + ".prj");
    ShapefileSet set;
    if (shp.size() < 100 || shx.size() < 100 || dbf.size() < 33) {
        ADD_FAILURE() << "files too short for their headers";
        return set;
    }

    // Headers: the .shx header is the .shp header with its own file length.
    const int shapeType = kind.letter == 'P' ? 1 : 3;
    EXPECT_EQ(bigEndian32(shp, 0), 9994);
    for (std::size_t at = 4; at < 24; at += 4)
        EXPECT_EQ(bigEndian32(shp, at), 0) << at;
    EXPECT_EQ(littleEndian32(shp, 28), 1000);
    EXPECT_EQ(littleEndian32(shp, 32), shapeType);
    for (std::size_t at = 68; at < 100; at += 8)
        EXPECT_EQ(littleEndianDouble(shp, at), 0.0) << at;
    EXPECT_EQ(shp.substr(0, 24), shx.substr(0, 24));
    EXPECT_EQ(shp.substr(28, 72), shx.substr(28, 72));
    EXPECT_EQ(2 * static_cast<std::size_t>(bigEndian32(shp, 24)), shp.size());
    EXPECT_EQ(2 * static_cast<std::size_t>(bigEndian32(shx, 24)), shx.size());
    EXPECT_EQ((shx.size() - 100) % 8, 0u);
    set.box = boxAt(shp, 36);

    // Records, walked through the index: numbers 1, 2, ..., offsets and lengths as indexed.
    const std::size_t count = (shx.size() - 100) / 8;
    Box extent = {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    std::size_t at = 100;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t offset = 2 * static_cast<std::size_t>(bigEndian32(shx, 100 + 8 * i));
        const std::size_t length = 2 * static_cast<std::size_t>(bigEndian32(shx, 104 + 8 * i));
        if (offset != at || at + 8 + length > shp.size() || length < 4) {
            ADD_FAILURE() << "record " << i + 1 << ": index entry (" << offset << ", " << length
                          << ") does not match the record at byte " << at;
            return set;
        }
        EXPECT_EQ(bigEndian32(shp, at), static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(2 * static_cast<std::size_t>(bigEndian32(shp, at + 4)), length);
        const std::string_view content = std::string_view(shp).substr(at + 8, length);
        ShapeRecord record;
        record.type = littleEndian32(content, 0);
        if (record.type == 1 && length == 20) {
            record.xy = {littleEndianDouble(content, 4), littleEndianDouble(content, 12)};
        } else if (record.type == 3 && length >= 44) {
            const Box box = boxAt(content, 4);
            const int parts = littleEndian32(content, 36), points = littleEndian32(content, 40);
            EXPECT_EQ(parts, 1) << "record " << i + 1;
            EXPECT_EQ(length, 44u + 4u * static_cast<std::size_t>(parts) +
                                  16u * static_cast<std::size_t>(points))
                << "record " << i + 1;
            if (parts == 1 && length == 48u + 16u * static_cast<std::size_t>(points)) {
                EXPECT_EQ(littleEndian32(content, 44), 0) << "record " << i + 1;
                for (int p = 0; p < points; ++p) {
                    record.xy.push_back(
                        littleEndianDouble(content, 48 + 16 * static_cast<std::size_t>(p)));
                    record.xy.push_back(
                        littleEndianDouble(content, 56 + 16 * static_cast<std::size_t>(p)));
                }
                EXPECT_GE(points, 2) << "record " << i + 1;
            }
            // The record box is that of its points.
            Box own = {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
            for (std::size_t p = 0; p + 1 < record.xy.size(); p += 2) {
                own = {std::min(own[0], record.xy[p]), std::min(own[1], record.xy[p + 1]),
                       std::max(own[2], record.xy[p]), std::max(own[3], record.xy[p + 1])};
            }
            EXPECT_EQ(box, own) << "record " << i + 1;
        } else {
            ADD_FAILURE() << "record " << i + 1 << " of type " << record.type << " and " << length
                          << " bytes";
        }
        EXPECT_EQ(record.type, shapeType) << "record " << i + 1;
        for (std::size_t p = 0; p + 1 < record.xy.size(); p += 2) {
            extent = {std::min(extent[0], record.xy[p]), std::min(extent[1], record.xy[p + 1]),
                      std::max(extent[2], record.xy[p]), std::max(extent[3], record.xy[p + 1])};
        }
        set.records.push_back(std::move(record));
        at += 8 + length;
    }
    EXPECT_EQ(at, shp.size()) << "bytes after the last indexed record";
    // The header box is exactly the box of all records.
    if (count > 0) {
        EXPECT_EQ(set.box, extent);
    }

    // The .dbf: header and descriptors from the schema, one record per shape, 0x1A at the end.
    const std::size_t fields = kind.fields.size();
    const auto headerLength = static_cast<std::size_t>(littleEndian16(dbf, 8));
    const auto recordLength = static_cast<std::size_t>(littleEndian16(dbf, 10));
    EXPECT_EQ(dbf[0], 3);
    const int year = static_cast<unsigned char>(dbf[1]), month = dbf[2], day = dbf[3];
    EXPECT_GE(year, 120);
    EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31) << month << "/" << day;
    EXPECT_EQ(static_cast<std::size_t>(littleEndian32(dbf, 4)), count);
    EXPECT_EQ(headerLength, 32 * fields + 33);
    std::size_t width = 1;
    for (const Field& field : kind.fields)
        width += static_cast<std::size_t>(dbfWidth(field));
    EXPECT_EQ(recordLength, width);
    if (headerLength != 32 * fields + 33 || recordLength != width) return set;
    for (std::size_t f = 0; f < fields; ++f) {
        const std::string_view d = std::string_view(dbf).substr(32 + 32 * f, 32);
        const Field& field = kind.fields[f];
        EXPECT_EQ(std::string(d.substr(0, d.substr(0, 11).find('\0'))), dbfName(field));
        EXPECT_EQ(d[11], field.text ? 'C' : 'N') << field.name;
        EXPECT_EQ(static_cast<unsigned char>(d[16]), dbfWidth(field)) << field.name;
        EXPECT_EQ(static_cast<int>(d[17]), field.text ? 0 : 5) << field.name;
    }
    EXPECT_EQ(dbf[headerLength - 1], '\x0D');
    EXPECT_EQ(dbf.size(), headerLength + count * recordLength + 1);
    EXPECT_EQ(dbf.back(), '\x1A');
    for (std::size_t r = 0; r < count && headerLength + (r + 1) * recordLength <= dbf.size(); ++r) {
        std::size_t pos = headerLength + r * recordLength;
        EXPECT_EQ(dbf[pos], ' ') << "deletion flag of record " << r + 1;
        ++pos;
        std::vector<std::string> row;
        for (const Field& field : kind.fields) {
            row.push_back(dbf.substr(pos, static_cast<std::size_t>(dbfWidth(field))));
            pos += static_cast<std::size_t>(dbfWidth(field));
        }
        set.rows.push_back(std::move(row));
    }

    // The .prj: one line, the first line of the template (empty without a projection).
    const std::string projection =
        run.format == Format::Shapefile ? templateFirstLine(run.path("Header.prj")) : "";
    EXPECT_EQ(prj, projection + "\n");
    return set;
}

// ---- GDAL's reading ----

struct OgrFeature {
    std::vector<std::string> values;  // as printed, in field order
    std::string geometry;            // POINT, LINESTRING, ...
    std::vector<double> coordinates;  // x1, y1, x2, y2, ...
};

struct OgrLayer {
    std::string name;
    std::string geometry;
    long count = -1;
    std::vector<double> extent;                              // Xmin, Ymin, Xmax, Ymax
    std::vector<std::pair<std::string, std::string>> fields;  // name, type such as "Real (16.5)"
    std::vector<OgrFeature> features;
};

OgrLayer parseOgrinfo(std::string_view text) {
    static const std::regex fieldLine(R"(([A-Za-z0-9_]+): (\w+ \(\d+\.\d+\)))");
    OgrLayer layer;
    for (const std::string_view line : linesOf(text)) {
        if (line.starts_with("OGRFeature(")) {
            layer.features.emplace_back();
            continue;
        }
        if (!layer.features.empty()) {
            OgrFeature& feature = layer.features.back();
            if (!line.starts_with("  ") || line.starts_with("  Style = ")) continue;
            std::size_t eq = line.find(") = ");
            if (eq == std::string_view::npos && line.ends_with(") =")) eq = line.size() - 3;
            if (eq != std::string_view::npos) {
                feature.values.emplace_back(line.substr(std::min(eq + 4, line.size())));
            } else {
                const std::size_t paren = line.find(" (");
                feature.geometry = std::string(line.substr(2, paren - 2));
                if (paren != std::string_view::npos)
                    feature.coordinates = numbersIn(line.substr(paren));
            }
            continue;
        }
        std::match_results<std::string_view::const_iterator> match;
        if (line.starts_with("Layer name: "))
            layer.name = line.substr(12);
        else if (line.starts_with("Geometry: "))
            layer.geometry = line.substr(10);
        else if (line.starts_with("Feature Count: "))
            layer.count = static_cast<long>(parseNumber(line.substr(15)));
        else if (line.starts_with("Extent: "))
            layer.extent = numbersIn(line.substr(8));
        else if (std::regex_match(line.begin(), line.end(), match, fieldLine))
            layer.fields.emplace_back(match[1].str(), match[2].str());
    }
    return layer;
}

// Runs ogrinfo read-only on one layer of a run (the summary only, or every feature); GDAL must
// neither warn nor report an error, on either stream.
OgrLayer ogrinfo(const ConversionRun& run, Layer layer, bool summary) {
    std::vector<std::string> args = {"-ro", "-al"};
    if (summary) args.push_back("-so");
    args.push_back(run.layerFile(layer));
    if (run.package()) args.push_back(run.stem(layer));
    const auto r = vktest::runProgram(args, "", run.dir.path(), 120, tools().ogrinfo);
    EXPECT_EQ(r.status, 0) << run.layerFile(layer) << "\n" << r.errors;
    EXPECT_EQ(r.errors, "") << run.layerFile(layer);
    for (const char* word : {"Warning", "WARNING", "ERROR", "Error"})
        EXPECT_EQ(r.output.find(word), std::string::npos)
            << run.layerFile(layer) << ": " << r.output.substr(r.output.find(word), 300);
    return parseOgrinfo(r.output);
}

// Every feature of each layer of a run as GDAL reads it, read once per test program.
const OgrLayer& ogrFeatures(const ConversionRun& run, Layer layer) {
    static std::map<std::pair<const ConversionRun*, Layer>, OgrLayer> read;
    const auto key = std::make_pair(&run, layer);
    auto found = read.find(key);
    if (found == read.end()) found = read.emplace(key, ogrinfo(run, layer, false)).first;
    return found->second;
}

// A text as GDAL gives it: blank Shapefile fields read as null, and texts with their surrounding
// blanks removed (the .dbf keeps them; the stored bytes are compared separately).
std::string textValue(const std::string& value) {
    return value == "(null)" ? std::string() : trimmed(value);
}

// Describes how a value differs from the expected one, or gives an empty text when they agree;
// numbers are compared by value, so "319.03000" equals "319.030".
std::string valueDifference(const Field& field, const std::string& got, const std::string& want) {
    if (field.text) {
        if (textValue(got) == want) return {};
    } else {
        bool parsedGot = false, parsedWant = false;
        const double a = parseNumber(got, &parsedGot), b = parseNumber(want, &parsedWant);
        if (parsedGot && parsedWant && a == b) return {};
    }
    return field.name + " is \"" + got + "\", expected \"" + want + "\"";
}

std::string boxText(const std::vector<double>& box) {
    std::string text;
    for (double v : box)
        text += (text.empty() ? "" : ", ") + std::to_string(v);
    return "(" + text + ")";
}

bool nearlyEqual(const std::vector<double>& a, const std::vector<double>& b, double tolerance) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(std::fabs(a[i] - b[i]) <= tolerance)) return false;
    return true;
}

std::vector<double> extentOf(const std::vector<OgrFeature>& features) {
    std::vector<double> box = {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const OgrFeature& f : features)
        for (std::size_t p = 0; p + 1 < f.coordinates.size(); p += 2) {
            box[0] = std::min(box[0], f.coordinates[p]);
            box[1] = std::min(box[1], f.coordinates[p + 1]);
            box[2] = std::max(box[2], f.coordinates[p]);
            box[3] = std::max(box[3], f.coordinates[p + 1]);
        }
    return box;
}

std::vector<double> headerBox(const ConversionRun& run, Layer layer) {
    const std::string shp = readFile(run.path(run.layerFile(layer)));
    if (shp.size() < 100) return {};
    const Box box = boxAt(shp, 36);
    return {box.begin(), box.end()};
}

// ogrinfo prints coordinates with 15 significant digits and MIF holds 6 decimals, so coordinates
// that are the same point agree to well within a micrometre.
constexpr double kCoordinateTolerance = 1e-6;

class ReadBack : public ::testing::TestWithParam<Input> {
protected:
    void SetUp() override {
        if (tools().ogrinfo.empty()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    }
    const ConversionRun& shapefileRun() const { return converted(GetParam(), Format::Shapefile); }
};

TEST_P(ReadBack, GdalOpensEveryLayerWithItsCountsExtentAndFields) {
    std::vector<Format> formats = {Format::Shapefile, Format::Mif, Format::GeoPackage};
    if (GetParam() == Input::Example) formats.push_back(Format::Default);
    for (const Format format : formats) {
        const ConversionRun& run = converted(GetParam(), format);
        const auto counts = expectedCounts(run);
        for (int l = 0; l < kLayers; ++l) {
            const auto layer = static_cast<Layer>(l);
            const LayerKind& kind = layerKinds()[layer];
            SCOPED_TRACE(formatName(format) + " " + run.layerFile(layer));
            const OgrLayer summary = ogrinfo(run, layer, true);
            EXPECT_EQ(summary.name, run.layerName(layer));
            EXPECT_EQ(summary.count, counts[l]);
            std::vector<std::pair<std::string, std::string>> fields;
            for (const Field& field : kind.fields) {
                const std::string real = run.shapefile() ? "Real (16.5)" : "Real (0.0)";
                fields.emplace_back(run.shapefile() ? dbfName(field) : field.name,
                                    field.text ? "String (" + std::to_string(field.width) + ".0)"
                                               : real);
            }
            EXPECT_EQ(summary.fields, fields);
            // The extent GDAL reports is the box of the .shp header; the MIF run covers the same.
            const std::vector<double> box =
                headerBox(converted(GetParam(), Format::Shapefile), layer);
            EXPECT_TRUE(nearlyEqual(summary.extent, box, 2 * kCoordinateTolerance))
                << boxText(summary.extent) << " against the header's " << boxText(box);
            if (run.format != Format::Mif) {
                EXPECT_EQ(summary.geometry, kind.letter == 'P' ? "Point" : "Line String");
            }

            // Reading every feature: the same count, the right geometry, and together the box.
            const OgrLayer& all = ogrFeatures(run, layer);
            EXPECT_EQ(static_cast<long>(all.features.size()), counts[l]);
            const std::string geometry = kind.letter == 'P' ? "POINT" : "LINESTRING";
            const std::size_t values = kind.fields.size();
            const auto odd =
                std::find_if(all.features.begin(), all.features.end(), [&](const OgrFeature& f) {
                    return f.geometry != geometry || f.values.size() != values ||
                           f.coordinates.size() < (geometry == "POINT" ? 2u : 4u);
                });
            EXPECT_TRUE(odd == all.features.end())
                << "feature " << odd - all.features.begin() << " is a " << odd->geometry << " with "
                << odd->values.size() << " values";
            if (run.format != Format::Mif) {
                EXPECT_TRUE(nearlyEqual(extentOf(all.features), box, kCoordinateTolerance))
                    << boxText(extentOf(all.features)) << " against the header's " << boxText(box);
            }
        }
    }
}

TEST_P(ReadBack, ShapefileMifAndGeoPackageRunsHoldTheSameRecords) {
    const ConversionRun& shp = shapefileRun();
    for (const Format other : {Format::Mif, Format::GeoPackage})
    for (int l = 0; l < kLayers; ++l) {
        const ConversionRun& mif = converted(GetParam(), other);
        const auto layer = static_cast<Layer>(l);
        const LayerKind& kind = layerKinds()[layer];
        SCOPED_TRACE(shp.layerFile(layer) + " and " + mif.layerName(layer));
        const OgrLayer& a = ogrFeatures(shp, layer);
        const OgrLayer& b = ogrFeatures(mif, layer);
        const ShapefileSet stored = readShapefileSet(shp, layer);
        ASSERT_EQ(a.features.size(), b.features.size());
        ASSERT_EQ(stored.rows.size(), b.features.size());
        ASSERT_EQ(stored.records.size(), b.features.size());
        EXPECT_GT(a.features.size(), 0u);
        int differing = 0;
        for (std::size_t i = 0; i < a.features.size(); ++i) {
            const OgrFeature& fs = a.features[i];
            const OgrFeature& fm = b.features[i];
            std::string problem;
            if (fs.geometry != fm.geometry)
                problem = fs.geometry + " against " + fm.geometry;
            else if (!nearlyEqual(fs.coordinates, fm.coordinates, kCoordinateTolerance))
                problem = "coordinates differ";
            else if (!nearlyEqual(stored.records[i].xy, fm.coordinates, kCoordinateTolerance))
                problem = "stored coordinates differ";
            else if (fs.values.size() != kind.fields.size() ||
                     fm.values.size() != kind.fields.size())
                problem = "value counts differ";
            for (std::size_t f = 0; problem.empty() && f < kind.fields.size(); ++f) {
                const Field& field = kind.fields[f];
                problem = valueDifference(field, fs.values[f],
                                          field.text ? textValue(fm.values[f]) : fm.values[f]);
                // The .dbf keeps a text as MIF does, leading blanks included, left-justified.
                if (problem.empty() && field.text) {
                    std::string padded = fm.values[f];
                    padded.resize(static_cast<std::size_t>(field.width), ' ');
                    if (stored.rows[i][f] != padded)
                        problem = field.name + " is stored as \"" + stored.rows[i][f] + "\"";
                }
            }
            if (!problem.empty() && ++differing <= 5)
                ADD_FAILURE() << "feature " << i << ": " << problem;
        }
        EXPECT_EQ(differing, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Conversions, ReadBack, ::testing::Values(Input::Example, Input::Large),
                         [](const auto& info) {
                             return info.param == Input::Example ? "Example" : "LargeExport";
                         });

// ---- sample records, worked out from the exports ----

struct Vertex {
    double x, y;
};

void expectFeature(const OgrLayer& layer, long index, Layer kindOf,
                   const std::vector<std::string>& values, std::size_t vertices, Vertex first,
                   Vertex last, double tolerance = kCoordinateTolerance) {
    const LayerKind& kind = layerKinds()[kindOf];
    ASSERT_LT(index, static_cast<long>(layer.features.size()));
    const OgrFeature& f = layer.features[static_cast<std::size_t>(index)];
    SCOPED_TRACE(layer.name + " feature " + std::to_string(index));
    ASSERT_EQ(f.values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(valueDifference(kind.fields[i], f.values[i], values[i]), "");
    ASSERT_EQ(f.coordinates.size(), 2 * vertices);
    EXPECT_NEAR(f.coordinates[0], first.x, tolerance);
    EXPECT_NEAR(f.coordinates[1], first.y, tolerance);
    EXPECT_NEAR(f.coordinates[2 * vertices - 2], last.x, tolerance);
    EXPECT_NEAR(f.coordinates[2 * vertices - 1], last.y, tolerance);
}

class Samples : public ::testing::Test {
protected:
    void SetUp() override {
        if (tools().ogrinfo.empty()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    }
};

TEST_F(Samples, FirstAndLastRecordsOfTheExample) {
    const ConversionRun& run = converted(Input::Example, Format::Shapefile);
    const auto read = [&](Layer layer) -> const OgrLayer& { return ogrFeatures(run, layer); };
    const std::vector<std::string> none(6, "");

    expectFeature(read(kStreams), 0, kStreams, {"Alder Creek", "Upper"}, 6, {3512040, 5406112},
                  {3514010, 5404980});
    expectFeature(read(kStreams), 1, kStreams, {"Alder Creek", "Lower"}, 6, {3514010, 5404980},
                  {3516230, 5403920});
    // The first section is trimmed to its levee markers at 0.25 and 0.775 of its length: points 5
    // to 16 of 20 (the 16th is the crest the right marker stands on); the last, likewise, to
    // points 5 to 16.
    expectFeature(read(kSurfacePoints), 0, kSurfacePoints,
                  {"Alder Creek", "Upper", "4747.68", "319.03", "0.06"}, 1,
                  {3512092.44, 5406127.99}, {3512092.44, 5406127.99});
    expectFeature(read(kSurfacePoints), 248, kSurfacePoints,
                  {"Alder Creek", "Lower", "40.00", "312.86", "0.06"}, 1, {3516174.64, 5403904.61},
                  {3516174.64, 5403904.61});
    expectFeature(read(kEndPoints), 0, kEndPoints, {"318.67", "0", "0", ""}, 1,
                  {3512109.00, 5406161.64}, {3512109.00, 5406161.64});
    expectFeature(read(kEndPoints), 39, kEndPoints, {"312.15", "0", "0", ""}, 1,
                  {3516157.59, 5403875.48}, {3516157.59, 5403875.48});
    std::vector<std::string> line = {"Alder Creek_ Upper_ 4747.68.csv", "xz", "n"};
    line.insert(line.end(), none.begin(), none.end());
    line.insert(line.end(), {"0", "0", "0", ""});
    expectFeature(read(kSurfaceLines), 0, kSurfaceLines, line, 12, {3512092.44, 5406127.99},
                  {3512057.69, 5406057.33});
    line[0] = "Alder Creek_ Lower_ 40.00.csv";
    expectFeature(read(kSurfaceLines), 19, kSurfaceLines, line, 12, {3516214.42, 5403972.57},
                  {3516174.64, 5403904.61});
    expectFeature(read(kCutLines), 0, kCutLines, {"Alder Creek", "Upper", "4747.68"}, 2,
                  {3512109.00, 5406161.64}, {3512042.79, 5406027.05});
    expectFeature(read(kCutLines), 19, kCutLines, {"Alder Creek", "Lower", "40.00"}, 2,
                  {3516233.37, 5404004.93}, {3516157.59, 5403875.48});
    // Levee markers lie on the surface line, interpolated between its points.
    expectFeature(read(kLeveePoints), 0, kLeveePoints,
                  {"Alder Creek", "Upper", "4747.68", "319.03", "Left"}, 1,
                  {3512092.442458, 5406127.994989}, {3512092.442458, 5406127.994989});
    expectFeature(read(kLeveePoints), 38, kLeveePoints,
                  {"Alder Creek", "Lower", "40.00", "312.86", "Right"}, 1,
                  {3516174.638494, 5403904.607425}, {3516174.638494, 5403904.607425});
}

// The numeric rows of a block of an export: the lines after the `which`-th line (counted from 0;
// -1 for the last) that holds `keyword`, up to the next line with a letter in it.
std::vector<std::vector<double>> blockRows(const std::string& sdf, std::string_view keyword,
                                           int which) {
    const auto lines = linesOf(sdf);
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(keyword) != std::string_view::npos) starts.push_back(i);
    if (starts.empty()) return {};
    const std::size_t start =
        which < 0 ? starts.back() : starts.at(static_cast<std::size_t>(which));
    std::vector<std::vector<double>> rows;
    for (std::size_t i = start + 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }))
            break;
        const auto numbers = numbersIn(line);
        if (numbers.empty()) break;
        rows.push_back(numbers);
    }
    return rows;
}

// The position of a point along a straight surface line, as a fraction of its length.
double fractionAlong(const std::vector<std::vector<double>>& line, double x, double y) {
    const auto& a = line.front();
    const auto& b = line.back();
    return std::hypot(x - a[0], y - a[1]) / std::hypot(b[0] - a[0], b[1] - a[1]);
}

TEST_F(Samples, FirstAndLastRecordsOfTheLargeExport) {
    const ConversionRun& run = converted(Input::Large, Format::Shapefile);
    const std::string sdf = readFile(run.path("big.sdf"));
    const auto read = [&](Layer layer) -> const OgrLayer& { return ogrFeatures(run, layer); };
    const auto counts = expectedCounts(run);
    const std::vector<std::string> none(6, "");

    // Reaches "Reach 1" to "Reach 3" of streams "Creek A" to "Creek C", 136 vertices each.
    const auto firstCentreline = blockRows(sdf, "CENTERLINE:", 0);
    const auto lastCentreline = blockRows(sdf, "CENTERLINE:", -1);
    ASSERT_EQ(firstCentreline.size(), 136u);
    ASSERT_EQ(lastCentreline.size(), 136u);
    expectFeature(read(kStreams), 0, kStreams, {"Creek A", "Reach 1"}, 136,
                  {firstCentreline.front()[0], firstCentreline.front()[1]},
                  {firstCentreline.back()[0], firstCentreline.back()[1]});
    expectFeature(read(kStreams), 2, kStreams, {"Creek C", "Reach 3"}, 136,
                  {lastCentreline.front()[0], lastCentreline.front()[1]},
                  {lastCentreline.back()[0], lastCentreline.back()[1]});

    // The first section is station 3350.00 of Reach 1 (n values, two levee markers); the last is
    // station 75.00 of Reach 3 (two markers, no n values); the sixth's station line ends in "*".
    const auto firstCut = blockRows(sdf, "CUT LINE:", 0), lastCut = blockRows(sdf, "CUT LINE:", -1);
    ASSERT_EQ(firstCut.size(), 2u);
    ASSERT_EQ(lastCut.size(), 2u);
    expectFeature(read(kCutLines), 0, kCutLines, {"Creek A", "Reach 1", "3350.00"}, 2,
                  {firstCut[0][0], firstCut[0][1]}, {firstCut[1][0], firstCut[1][1]});
    expectFeature(read(kCutLines), 399, kCutLines, {"Creek C", "Reach 3", "75.00"}, 2,
                  {lastCut[0][0], lastCut[0][1]}, {lastCut[1][0], lastCut[1][1]});
    ASSERT_GT(read(kCutLines).features.size(), 5u);
    EXPECT_EQ(read(kCutLines).features[5].values[2], "3225.00");

    const auto firstSurface = blockRows(sdf, "SURFACE LINE:", 0);
    const auto lastSurface = blockRows(sdf, "SURFACE LINE:", -1);
    ASSERT_EQ(firstSurface.size(), 60u);
    ASSERT_EQ(lastSurface.size(), 60u);
    const auto& s0 = firstSurface.front();
    const auto& sn = lastSurface.back();
    expectFeature(read(kEndPoints), 0, kEndPoints, {std::to_string(s0[2]), "0", "0", ""}, 1,
                  {s0[0], s0[1]}, {s0[0], s0[1]});
    expectFeature(read(kEndPoints), 799, kEndPoints, {std::to_string(sn[2]), "0", "0", ""}, 1,
                  {sn[0], sn[1]}, {sn[0], sn[1]});

    // Levee markers: ID, position and height as in the export; the point lies on the line at
    // that fraction of its length.
    const auto firstLevees = blockRows(sdf, "LEVEE POSITIONS:", 0);
    const auto lastLevees = blockRows(sdf, "LEVEE POSITIONS:", -1);
    ASSERT_EQ(firstLevees.size(), 2u);
    ASSERT_EQ(lastLevees.size(), 2u);
    const OgrLayer& levees = read(kLeveePoints);
    ASSERT_EQ(static_cast<long>(levees.features.size()), counts[kLeveePoints]);
    const OgrFeature& leftMost = levees.features.front();
    const OgrFeature& rightMost = levees.features.back();
    EXPECT_EQ(valueDifference(layerKinds()[kLeveePoints].fields[3], leftMost.values[3],
                              std::to_string(firstLevees[0][2])),
              "");
    EXPECT_EQ(valueDifference(layerKinds()[kLeveePoints].fields[3], rightMost.values[3],
                              std::to_string(lastLevees[1][2])),
              "");
    EXPECT_EQ(std::vector<std::string>(leftMost.values.begin(), leftMost.values.begin() + 3),
              (std::vector<std::string>{"Creek A", "Reach 1", "3350.00"}));
    EXPECT_EQ(std::vector<std::string>(rightMost.values.begin(), rightMost.values.begin() + 3),
              (std::vector<std::string>{"Creek C", "Reach 3", "75.00"}));
    EXPECT_EQ(leftMost.values[4], "1");
    EXPECT_EQ(rightMost.values[4], "2");
    ASSERT_EQ(leftMost.coordinates.size(), 2u);
    ASSERT_EQ(rightMost.coordinates.size(), 2u);
    EXPECT_NEAR(fractionAlong(firstSurface, leftMost.coordinates[0], leftMost.coordinates[1]),
                firstLevees[0][1], 1e-4);
    EXPECT_NEAR(fractionAlong(lastSurface, rightMost.coordinates[0], rightMost.coordinates[1]),
                lastLevees[1][1], 1e-4);

    // Surface points: the first is the first point of the first section at or beyond its left
    // marker; the last is the last point of the last section at or before its right marker.
    // The export's points are evenly spaced along straight lines.
    const OgrLayer& points = read(kSurfacePoints);
    ASSERT_EQ(static_cast<long>(points.features.size()), counts[kSurfacePoints]);
    const double step = 1.0 / 59.0;
    const auto firstKept = static_cast<std::size_t>(std::ceil(firstLevees[0][1] / step));
    const auto lastKept = static_cast<std::size_t>(std::floor(lastLevees[1][1] / step));
    ASSERT_LT(firstKept, 60u);
    ASSERT_LT(lastKept, 60u);
    const auto& p0 = firstSurface[firstKept];
    const auto& pn = lastSurface[lastKept];
    expectFeature(points, 0, kSurfacePoints,
                  {"Creek A", "Reach 1", "3350.00", std::to_string(p0[2]), "0.06"}, 1,
                  {p0[0], p0[1]}, {p0[0], p0[1]});
    expectFeature(points, counts[kSurfacePoints] - 1, kSurfacePoints,
                  {"Creek C", "Reach 3", "75.00", std::to_string(pn[2]), "0"}, 1, {pn[0], pn[1]},
                  {pn[0], pn[1]});

    // Surface lines: from those same points, as many vertices as their CSV tables have rows.
    std::vector<std::string> line = {"Creek A_ Reach 1_ 3350.00.csv", "xz", "n"};
    line.insert(line.end(), none.begin(), none.end());
    line.insert(line.end(), {"0", "0", "0", ""});
    const auto rowsOf = [&](const std::string& csv) {
        const std::string table = readFile(run.path(csv));
        return static_cast<std::size_t>(std::count(table.begin(), table.end(), '\n')) - 1;
    };
    expectFeature(read(kSurfaceLines), 0, kSurfaceLines, line, rowsOf(line[0]), {p0[0], p0[1]},
                  {firstSurface[firstKept + rowsOf(line[0]) - 1][0],
                   firstSurface[firstKept + rowsOf(line[0]) - 1][1]});
    line[0] = "Creek C_ Reach 3_ 75.00.csv";
    line[2] = "";
    const std::size_t lastRows = rowsOf(line[0]);
    ASSERT_LE(lastRows, lastKept + 1);
    expectFeature(
        read(kSurfaceLines), 399, kSurfaceLines, line, lastRows,
        {lastSurface[lastKept + 1 - lastRows][0], lastSurface[lastKept + 1 - lastRows][1]},
        {pn[0], pn[1]});
}

// ---- the second reader: shapelib ----

class Shapelib : public ::testing::TestWithParam<Input> {
protected:
    void SetUp() override {
        if (tools().shpdump.empty() || tools().dbfdump.empty())
            GTEST_SKIP() << "shapelib's shpdump and dbfdump are not installed";
    }
};

TEST_P(Shapelib, ReadsTheSameCountsBoundsAndFields) {
    const ConversionRun& run = converted(GetParam(), Format::Shapefile);
    const auto counts = expectedCounts(run);
    long surfaceLineVertices = 0;
    for (int l = 0; l < kLayers; ++l) {
        const auto layer = static_cast<Layer>(l);
        const LayerKind& kind = layerKinds()[layer];
        const std::string shp = run.layerFile(layer);
        SCOPED_TRACE(shp);
        const auto shapes = vktest::runProgram({shp}, "", run.dir.path(), 120, tools().shpdump);
        EXPECT_EQ(shapes.status, 0);
        EXPECT_EQ(shapes.errors, "");
        const auto lines = linesOf(shapes.output);
        ASSERT_GE(lines.size(), 4u) << shapes.output;
        const std::string type = kind.letter == 'P' ? "Point" : "Arc";
        EXPECT_EQ(lines[0],
                  "Shapefile Type: " + type + "   # of Shapes: " + std::to_string(counts[l]));
        long shapeLines = 0;
        for (const std::string_view line : lines) {
            if (!line.starts_with("Shape:")) continue;
            ++shapeLines;
            EXPECT_NE(line.find(" (" + type + ")  nVertices="), std::string_view::npos) << line;
            if (layer == kSurfaceLines)
                surfaceLineVertices +=
                    static_cast<long>(parseNumber(line.substr(line.find("nVertices=") + 10)));
        }
        EXPECT_EQ(shapeLines, counts[l]);
        // "File Bounds: (xmin,ymin,0,0)" and "to  (xmax,ymax,0,0)": the header's box.
        const auto low = numbersIn(lines[2]), high = numbersIn(lines[3]);
        ASSERT_EQ(low.size(), 4u) << lines[2];
        ASSERT_EQ(high.size(), 4u) << lines[3];
        EXPECT_TRUE(nearlyEqual({low[0], low[1], high[0], high[1]}, headerBox(run, layer),
                                kCoordinateTolerance))
            << lines[2] << "\n"
            << lines[3];

        const std::string dbf = shp.substr(0, shp.size() - 4) + ".dbf";
        const auto table =
            vktest::runProgram({"-h", dbf}, "", run.dir.path(), 120, tools().dbfdump);
        EXPECT_EQ(table.status, 0);
        EXPECT_EQ(table.errors, "");
        const auto rows = linesOf(table.output);
        ASSERT_GE(rows.size(), kind.fields.size() + 1);
        for (std::size_t f = 0; f < kind.fields.size(); ++f) {
            const Field& field = kind.fields[f];
            EXPECT_EQ(rows[f], "Field " + std::to_string(f) + ": Type=" +
                                   (field.text ? "C/String" : "N/Double") + ", Title=`" +
                                   dbfName(field) + "', Width=" + std::to_string(dbfWidth(field)) +
                                   ", Decimals=" + (field.text ? "0" : "5"));
        }
        // After the descriptions, a line of field names and one line per record.
        EXPECT_EQ(static_cast<long>(rows.size() - kind.fields.size() - 1), counts[l]);
    }
    // Every surface point is a vertex of its section's surface line.
    EXPECT_EQ(surfaceLineVertices, counts[kSurfacePoints]);
}

INSTANTIATE_TEST_SUITE_P(Conversions, Shapelib, ::testing::Values(Input::Example, Input::Large),
                         [](const auto& info) {
                             return info.param == Input::Example ? "Example" : "LargeExport";
                         });

// ---- the Shapefile sets themselves ----

class ShapefileSets : public ::testing::TestWithParam<std::pair<Input, Format>> {};

TEST_P(ShapefileSets, AreWellFormedAndComplete) {
    const ConversionRun& run = converted(GetParam().first, GetParam().second);
    const auto counts = expectedCounts(run);
    std::vector<std::string> expected = {inputName(run.input), "Header.mif", "Header.prj"};
    for (int l = 0; l < kLayers; ++l) {
        const auto layer = static_cast<Layer>(l);
        const ShapefileSet set = readShapefileSet(run, layer);
        EXPECT_EQ(static_cast<long>(set.records.size()), counts[l]) << run.layerFile(layer);
        EXPECT_EQ(static_cast<long>(set.rows.size()), counts[l]) << run.layerFile(layer);
        const std::string base = run.layerFile(layer).substr(0, run.layerFile(layer).size() - 4);
        for (const char* extension : {".cpg", ".dbf", ".prj", ".shp", ".shx"})
            expected.push_back(base + extension);
    }
    // Besides the layers, one CSV table per section with a surface line, and nothing else.
    long tables = 0;
    const long rows = csvRows(run.dir.path(), &tables);
    EXPECT_EQ(tables, counts[kEndPoints] / 2);
    EXPECT_EQ(rows, counts[kSurfacePoints]);
    std::vector<std::string> written = vktest::filesIn(run.dir.path());
    std::erase_if(written, [](const std::string& name) { return endsWith(name, ".csv"); });
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, ShapefileSets,
    ::testing::Values(std::make_pair(Input::Example, Format::Shapefile),
                      std::make_pair(Input::Example, Format::Default),
                      std::make_pair(Input::Large, Format::Shapefile)),
    [](const auto& info) {
        return std::string(info.param.first == Input::Example ? "Example" : "LargeExport") +
               (info.param.second == Format::Default ? "WithoutFormatSwitch" : "");
    });

// ---- running again onto older outputs ----

// The offset of the first byte in which two files differ, or -1.
long firstDifference(const std::string& a, const std::string& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (ia == a.end() && ib == b.end()) return -1;
    return static_cast<long>(ia - a.begin());
}

TEST(Rerun, OntoTheOutputsOfALongerRunLeavesNoStaleBytes) {
    // The smaller export has fewer reaches, sections and points, so every layer file of the first
    // run is longer than the second run's; its stations 375 to 25 of Reach 1 and 2 name CSV
    // tables that the first run wrote longer, too.
    const std::vector<std::string> smaller = {"--reaches",  "2",  //
                                              "--sections", "30", //
                                              "--points",   "12"};
    for (const Format format : {Format::Shapefile, Format::Mif}) {
        SCOPED_TRACE(formatName(format));
        vktest::TempDir reused, clean;
        copyTemplates(reused.path());
        copyTemplates(clean.path());
        generate(reused.file("run.sdf"), kLargeExport);
        convert(reused.path(), "run.sdf", format);
        std::map<std::string, std::uintmax_t> before;
        for (const std::string& name : vktest::filesIn(reused.path()))
            before[name] = fs::file_size(reused.file(name));

        generate(reused.file("run.sdf"), smaller);
        generate(clean.file("run.sdf"), smaller);
        const auto again = convert(reused.path(), "run.sdf", format);
        const auto fresh = convert(clean.path(), "run.sdf", format);
        EXPECT_EQ(again.output, fresh.output);

        int outputs = 0, longerCsv = 0;
        for (const std::string& name : vktest::filesIn(clean.path())) {
            if (name == "run.sdf" || name.starts_with("Header.")) continue;
            ++outputs;
            std::string reusedBytes = readFile(reused.file(name));
            std::string cleanBytes = readFile(clean.file(name));
            if (endsWith(name, ".dbf") && reusedBytes.size() > 3 && cleanBytes.size() > 3) {
                // The date of writing may differ between the two runs.
                reusedBytes.replace(1, 3, cleanBytes.substr(1, 3));
            }
            EXPECT_EQ(reusedBytes.size(), cleanBytes.size()) << name;
            EXPECT_EQ(firstDifference(reusedBytes, cleanBytes), -1) << name;
            if (endsWith(name, ".csv")) {
                if (before.count(name) && before[name] > cleanBytes.size()) ++longerCsv;
            } else if (!endsWith(name, ".prj") && !endsWith(name, ".cpg")) {
                EXPECT_GT(before[name], cleanBytes.size()) << name << " was not longer before";
            }
        }
        EXPECT_EQ(outputs, format == Format::Mif ? 12 + 30 : 30 + 30);
        EXPECT_EQ(longerCsv, 30);
    }
}

// ---- the model's results (-results) ----

// Converts `input` in `folder` with -results in the format, and reads a layer back with GDAL.
struct ResultsRun {
    std::string folder, format;
    std::string output;
    ResultsRun(const std::string& folder, const std::string& format, const std::string& input)
        : folder(folder), format(format) {
        copyTemplates(folder);
        const auto r = vktest::runProgram({format, "-results", input}, "", folder, 120);
        EXPECT_EQ(r.status, 0) << r.output.substr(r.output.size() > 2000 ? r.output.size() - 2000 : 0);
        output = r.output;
    }
    OgrLayer layer(const std::string& name, char letter) const {
        const std::string file = format == "-mif" ? name + ".mif" : name + "_" + letter + ".shp";
        const auto r = vktest::runProgram({"-ro", "-al", file}, "", folder, 120, tools().ogrinfo);
        EXPECT_EQ(r.status, 0) << file << "\n" << r.errors;
        EXPECT_EQ(r.errors, "") << file;
        return parseOgrinfo(r.output);
    }
};

// Bald Eagle: every water elevation and extent and both profile limits, as the file itself
// holds them (read here on its own), and as GDAL reads the layers.
TEST(Results, BaldEagleLayersHoldTheFilesWaterSurfacesAndBoundaries) {
    const std::string real = vktest::realDataDir();
    if (real.empty() || tools().ogrinfo.empty()) GTEST_SKIP() << "no real exports or no GDAL";
    const std::string text = readFile(real + "/baldeagle-export-crlf.sdf");
    std::vector<double> levels, extents;
    std::vector<std::vector<double>> polygons;
    std::vector<double>* rows = nullptr;
    for (const std::string_view line : linesOf(text)) {
        const std::size_t colon = line.find(':');
        if (line.find("WATER ELEVATION:") != line.npos) {
            for (const double v : numbersIn(line.substr(colon + 1))) levels.push_back(v);
        }
        if (colon != line.npos) rows = nullptr;
        if (line.find("WATER SURFACE EXTENTS:") != line.npos) rows = &extents;
        if (line.find("POLYGON:") != line.npos) rows = &polygons.emplace_back();
        if (colon == line.npos && rows != nullptr)
            for (const double v : numbersIn(line)) rows->push_back(v);
    }
    ASSERT_EQ(levels.size(), 356u);
    ASSERT_EQ(extents.size(), 4 * 356u);
    ASSERT_EQ(polygons.size(), 2u);
    for (const std::string format : {"-shp", "-mif"}) {
        SCOPED_TRACE(format);
        vktest::TempDir dir;
        fs::copy_file(real + "/baldeagle-export-crlf.sdf", dir.file("be.sdf"));
        const ResultsRun run(dir.path(), format, "be.sdf");
        EXPECT_NE(run.output.find(", tables 0, water-surface lines 356, profile limits 2, bank "
                                  "points 356, storage areas 0, water-surface rows 356, sections "
                                  "without water surface 0.\nWarnings: 178.\n"),
                  std::string::npos);
        const OgrLayer lines = run.layer("be_ws_lines", 'L');
        ASSERT_EQ(lines.features.size(), 356u);
        int longer = 0; // chords between the extents more than 1% shorter than the line
        double worst = 0;
        for (std::size_t i = 0; i < 356; ++i) {
            const OgrFeature& f = lines.features[i];
            ASSERT_EQ(f.values.size(), 7u);
            EXPECT_EQ(trimmed(f.values[3]), i % 2 ? "21Feb1999 2200" : "18Feb1999 0400");
            EXPECT_EQ(trimmed(f.values[4]), "given");
            EXPECT_NEAR(parseNumber(f.values[6]), levels[i], 5e-5) << i;
            // Along the cut line from extent to extent (each within 1 cm of it), the top width
            // its length.
            const std::vector<double>& c = f.coordinates;
            ASSERT_GE(c.size(), 4u);
            const std::vector<double> want(extents.begin() + 4 * i, extents.begin() + 4 * i + 4);
            EXPECT_TRUE(nearlyEqual({c[0], c[1], c.end()[-2], c.end()[-1]}, want, 0.01)) << i;
            double along = 0;
            for (std::size_t j = 2; j + 1 < c.size(); j += 2)
                along += std::hypot(c[j] - c[j - 2], c[j + 1] - c[j - 1]);
            EXPECT_NEAR(parseNumber(f.values[5]), along, 1e-3) << i;
            const double chord = std::hypot(want[2] - want[0], want[3] - want[1]);
            if (chord < 0.99 * along) ++longer;
            worst = std::max(worst, 1 - chord / along);
        }
        EXPECT_EQ(longer, 50);
        EXPECT_NEAR(worst, 0.087, 5e-4);
        EXPECT_EQ(run.layer("be_bank_pts", 'P').features.size(), 356u);
        const OgrLayer bounds = run.layer("be_profile_limits", 'R');
        ASSERT_EQ(bounds.features.size(), 2u);
        for (std::size_t p = 0; p < 2; ++p) {
            // The ring is closed and runs clockwise; its vertices are the file's.
            std::vector<double> ring = bounds.features[p].coordinates;
            ASSERT_EQ(ring.size(), polygons[p].size() + 2);
            double area = 0;
            for (std::size_t i = 0; i + 3 < ring.size(); i += 2)
                area += ring[i] * ring[i + 3] - ring[i + 2] * ring[i + 1];
            EXPECT_LT(area, 0);
            EXPECT_TRUE(nearlyEqual({ring.end() - 2, ring.end()}, {ring[0], ring[1]}, 0));
            auto points = [](const std::vector<double>& v, std::size_t n) {
                std::vector<std::pair<double, double>> out;
                for (std::size_t i = 0; i + 1 < n; i += 2) out.emplace_back(v[i], v[i + 1]);
                std::sort(out.begin(), out.end());
                return out;
            };
            EXPECT_EQ(points(ring, ring.size() - 2), points(polygons[p], polygons[p].size()));
        }
    }
    // The report shows them without -results too, which writes none of their layers.
    vktest::TempDir dir;
    fs::copy_file(real + "/baldeagle-export-crlf.sdf", dir.file("be.sdf"));
    copyTemplates(dir.path());
    ASSERT_EQ(vktest::runProgram({"-shp", "-report", "be.sdf"}, "", dir.path(), 120).status, 0);
    const std::string page = readFile(dir.file("be_report.html"));
    const auto records = [&](std::string_view start) {
        std::size_t n = 0;
        for (std::size_t at = page.find(start); at != page.npos; at = page.find(start, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(records("{\"k\":\"r\","), 178u);
    EXPECT_EQ(records("{\"k\":\"p\","), 2u);
    EXPECT_FALSE(vktest::fileExists(dir.file("be_ws_lines_L.shp")));
}

// A generated export converted as it is and with its extents removed: the extents computed from
// each section's surface line lie within 1 m of the given ones (the generator gives those for its
// smooth ground; the ground's roughness of up to 5 cm moves the crossings by up to half a metre).
TEST(Results, ExtentsComputedFromTheSurfaceLineMatchTheGivenOnes) {
    if (tools().ogrinfo.empty()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    vktest::TempDir dir;
    generate(dir.file("given.sdf"), {"--sections", "60", "--points", "60", "--extents"});
    std::string text = readFile(dir.file("given.sdf"));
    for (std::size_t at; (at = text.find("  WATER SURFACE EXTENTS:")) != text.npos;)
        text.erase(at, text.find('\n', text.find('\n', at) + 1) + 1 - at);
    vktest::writeFile(dir.file("computed.sdf"), text);
    const OgrLayer given = ResultsRun(dir.path(), "-shp", "given.sdf").layer("given_ws_lines", 'L');
    const OgrLayer computed =
        ResultsRun(dir.path(), "-shp", "computed.sdf").layer("computed_ws_lines", 'L');
    ASSERT_EQ(given.features.size(), 60u);
    ASSERT_EQ(computed.features.size(), 60u);
    for (std::size_t i = 0; i < 60; ++i) {
        EXPECT_EQ(trimmed(given.features[i].values[4]), "given");
        EXPECT_EQ(trimmed(computed.features[i].values[4]), "computed");
        EXPECT_TRUE(nearlyEqual(computed.features[i].coordinates, given.features[i].coordinates,
                                1.0)) << i;
    }
}

// ---- the GeoPackage as SQLite reads it ----

// The rows sqlite3 prints for the queries, one line each.
std::vector<std::string> sqlite(const std::string& file, const std::string& queries) {
    const auto r = vktest::runProgram({file, queries}, "", "", 60, commandPath("sqlite3"));
    EXPECT_EQ(r.status, 0) << r.errors;
    std::vector<std::string> rows;
    for (const std::string_view line : linesOf(r.output))
        rows.emplace_back(line);
    return rows;
}

// An export of 130 profiles (more than a .dbf has fields) with the faults a modeller's export may
// hold: an extent off its cut line, profile limits with heights, one crossing itself, one of two
// distinct points; in each format, with what each keeps of it.
TEST(Results, ProfileLimitsStorageAreasAndTheTableInEveryFormat) {
    if (tools().ogrinfo.empty() || commandPath("sqlite3").empty()) GTEST_SKIP() << "no GDAL or sqlite3";
    std::string names, levels, areaLevels;
    for (int k = 1; k <= 130; ++k) {
        names += " P" + std::to_string(k) + "\n";
        levels += (k > 1 ? "," : "") + std::to_string(k);
        areaLevels += (k > 1 ? "," : "") + std::to_string(100 + k);
    }
    const std::string sdf =
        "BEGIN HEADER:\nNUMBER OF PROFILES: 130\nPROFILE NAMES:\n" + names +
        "END HEADER:\nBEGINSTREAMNETWORK:\nENDSTREAMNETWORK:\nBEGIN CROSS-SECTIONS:\n"
        "CROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\nSTATION:1\nCUT LINE:\n0,0\n100,0\n100,100\n"
        "BANK POSITIONS:0.25,0.75\nWATER ELEVATION:" + levels + "\nWATER SURFACE EXTENTS:\n"
        "50,1,100,50\n40,-5,100,60\nEND:\nEND CROSS-SECTIONS:\nBEGIN BOUNDS:\n"
        "PROFILE LIMITS:\nPROFILE ID:P1\nPOLYGON:\n0,0,5.5\n0,10,5.25\n10,10,5\n10,0,5.75\nEND:\n"
        "PROFILE LIMITS:\nPROFILE ID:P2\nPOLYGON:\n0,0,6\n10,10,6\n10,0,6\n0,10,6\nEND:\n"
        "PROFILE LIMITS:\nPROFILE ID:P2\nPOLYGON:\n1,1\n2,2\n1,1\nEND:\nEND BOUNDS:\n"
        "BEGIN STORAGE AREAS:\nSA ID: Pond\nWATER ELEVATION: " + areaLevels +
        "\nPOLYGON:\n0,0\n0,1\n1,1\nEND:\nEND STORAGE AREAS:\n";
    for (const std::string format : {"-shp", "-mif", "-gpkg"}) {
        SCOPED_TRACE(format);
        vktest::TempDir dir;
        vktest::writeFile(dir.file("x.sdf"), sdf);
        const ResultsRun run(dir.path(), format, "x.sdf");
        for (const std::string said :
             {"water-surface lines 2, profile limits 2, bank points 2, storage areas 130, "
              "water-surface rows 130, sections without water surface 0.",
              "WARNING - Water-surface extent farther from the cut line than 1% of its length: "
              "stream s, reach r, station 1, profile P2.",
              "WARNING - Profile limits of P2 cross themselves; written as given. Line number: 164",
              "WARNING - Polygon of fewer than 3 points left out. Line number: 172"})
            EXPECT_NE(run.output.find(said), std::string::npos) << said << "\n" << run.output;
        const std::string table = readFile(dir.file("x_water_surface.csv"));
        EXPECT_NE(table.find("\n\"s\",\"r\",\"1\",\"\",\"P2\",2,\"given\",40,-5,100,60,120.000,"
                             "0.25,50.000,0.75,150.000\n\"s\",\"r\",\"1\",\"\",\"P3\",3,\"\",,,,,,"
                             "0.25,50.000,0.75,150.000\n"), std::string::npos) << table;
        if (format == "-gpkg") {
            EXPECT_EQ(sqlite(dir.file("x.gpkg"),
                             "SELECT z FROM gpkg_geometry_columns WHERE table_name = 'x_profile_limits';"
                             "SELECT count(*), count(Elevation) FROM x_bank_pts;"
                             "SELECT count(*), count(Node), count(XL), sum(WS_Elev) FROM x_water_surface;"
                             "SELECT Profile, WS_Elev FROM x_storage_areas WHERE fid IN (1, 130);"),
                      (std::vector<std::string>{"1", "2|0", "130|0|2|8515.0", "P1|101.0", "P130|230.0"}));
            continue;
        }
        const OgrLayer limits = run.layer("x_profile_limits", 'R');
        ASSERT_EQ(limits.features.size(), 2u);
        // MIF has no heights of a region; a Shapefile keeps them (PolygonZ).
        EXPECT_EQ(limits.features[0].geometry, format == "-mif" ? "POLYGON" : "POLYGON Z");
        if (format == "-shp") {
            EXPECT_EQ(limits.features[0].coordinates,
                      (std::vector<double>{0, 0, 5.5, 0, 10, 5.25, 10, 10, 5, 10, 0, 5.75, 0, 0, 5.5}));
        }
        const OgrLayer areas = run.layer("x_storage_areas", 'R');
        ASSERT_EQ(areas.features.size(), 130u);
        EXPECT_EQ(trimmed(areas.features[129].values[1]), "P130");
        EXPECT_NEAR(parseNumber(areas.features[129].values[2]), 230, 1e-9);
        const OgrLayer lines = run.layer("x_ws_lines", 'L');
        ASSERT_EQ(lines.features.size(), 2u);
        EXPECT_TRUE(nearlyEqual(lines.features[1].coordinates, {40, 0, 100, 0, 100, 60}, 1e-6));
    }
}

TEST(GeoPackage, CoordinateSystemNamesIndexAndReplacement) {
    if (commandPath("sqlite3").empty()) GTEST_SKIP() << "sqlite3 is not installed";
    const std::string example = readFile(kExamples + "river.sdf");
    const std::string epsg = R"(PROJCS["OSGB 1936 / British National Grid",GEOGCS["OSGB 1936",)"
                             R"(AUTHORITY["EPSG","4277"]],AUTHORITY["EPSG","27700"]])";
    const struct {
        const char* prj;     // the Header.prj template; nullptr: none
        std::string stream;  // in place of the example's "Alder Creek"
        std::string srs;     // srs_id|organization of the layers
        std::string stored;  // the stream as the package holds it
    } cases[] = {
        {nullptr, "Alder Creek", "-1|NONE", "Alder Creek"},
        {"examples", "Alder Creek", "100000|NONE", "Alder Creek"},
        {epsg.c_str(), "Alder Creek", "27700|EPSG", "Alder Creek"},
        {nullptr, "EJE ACEQUIA EL \xD1ILHUE", "-1|NONE", "EJE ACEQUIA EL \xC3\x91ILHUE"},
        {nullptr, "EJE ACEQUIA EL \xC3\x91ILHUE", "-1|NONE", "EJE ACEQUIA EL \xC3\x91ILHUE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stream + " with " + (c.prj ? c.prj : "no template"));
        vktest::TempDir dir;
        std::string sdf = example;
        for (std::size_t at = sdf.find("Alder Creek"); at != std::string::npos;
             at = sdf.find("Alder Creek", at + c.stream.size()))
            sdf.replace(at, 11, c.stream);
        vktest::writeFile(dir.file("river.sdf"), sdf);
        if (c.prj)
            vktest::writeFile(dir.file("Header.prj"), c.prj == std::string("examples")
                                                          ? readFile(kExamples + "Header.prj")
                                                          : std::string(c.prj) + "\n");
        convert(dir.path(), "river.sdf", Format::GeoPackage);
        const std::string package = dir.file("river.gpkg");
        EXPECT_EQ(sqlite(package,
                         "PRAGMA integrity_check; SELECT count(*) FROM river_surf_pts;"
                         "SELECT count(*) FROM rtree_river_surf_pts_geom;"
                         "SELECT rtreecheck('rtree_river_surf_pts_geom');"
                         "SELECT count(*) FROM rtree_river_cut_line_geom;"
                         "SELECT count(*), count(DISTINCT Table_Name) FROM river_tables;"
                         "SELECT g.srs_id || '|' || organization FROM gpkg_geometry_columns g "
                         "JOIN gpkg_spatial_ref_sys s ON s.srs_id = g.srs_id "
                         "WHERE table_name = 'river_cut_line';"
                         "SELECT DISTINCT Stream_ID FROM \"river.sdf_streams\";"),
                  (std::vector<std::string>{"ok", "249", "249", "ok", "20", "249|20", c.srs,
                                            " " + c.stored}));  // IDs keep their leading blank
        // A second run writes the same bytes; a run that fails midway (a station that is no
        // number) leaves them as they were, and neither leaves a temporary file behind.
        const std::string first = readFile(package);
        convert(dir.path(), "river.sdf", Format::GeoPackage);
        EXPECT_EQ(firstDifference(readFile(package), first), -1);
        sdf.replace(sdf.rfind("STATION: 40.00"), 14, "STATION: forty");
        vktest::writeFile(dir.file("river.sdf"), sdf);
        const auto failed = vktest::runProgram({"-gpkg", "river.sdf"}, "", dir.path(), 60);
        EXPECT_EQ(failed.status, 1);
        EXPECT_NE(failed.output.find("ERROR - converting station"), std::string::npos);
        EXPECT_EQ(firstDifference(readFile(package), first), -1);
        for (const std::string& name : vktest::filesIn(dir.path()))
            EXPECT_FALSE(endsWith(name, ".tmp")) << name;
    }
}

// A package larger than SQLite's cache is written while the run goes on: a write that fails there
// (a size limit) ends the run with the database's words, and the earlier package stays as it was.
TEST(GeoPackage, AWriteFailingMidwayEndsTheRunAndKeepsTheEarlierPackage) {
#ifdef _WIN32
    GTEST_SKIP() << "a file size limit is set through the POSIX shell";
#else
    vktest::TempDir dir;
    generate(dir.file("big.sdf"), {"--reaches", "2", "--sections", "600", "--points", "200"});
    vktest::writeFile(dir.file("big.gpkg"), "earlier");
    const auto r = vktest::runShell("cd '" + dir.path() + "' && ulimit -f 4096 && '" + VK_BINARY +
                                    "' -quiet -gpkg big.sdf </dev/null; echo \"status $?\"");
    const std::size_t error = r.output.find("ERROR - Cannot write GeoPackage big.gpkg: ");
    ASSERT_NE(error, std::string::npos) << r.output;
    const std::string line = r.output.substr(error, r.output.find('\n', error) - error);
    EXPECT_NE(line.find(" (stream "), std::string::npos) << line << ": not at a section";
    EXPECT_TRUE(r.output.ends_with("status 1\n")) << r.output;
    EXPECT_EQ(readFile(dir.file("big.gpkg")), "earlier");
    for (const std::string& name : vktest::filesIn(dir.path()))
        EXPECT_FALSE(name.ends_with(".tmp")) << name;
#endif
}

}  // namespace
