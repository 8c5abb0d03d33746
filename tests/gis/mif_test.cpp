// The MIF/MID pair: header, every object kind byte for byte, the .mid lines, write failures, and
// a layer read back by GDAL.
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

#include "gis_session.h"
#include "support/process.h"
#include "support/writefaults.h"

namespace vktest {
namespace {


// The header of a layer with the one field "Name Char(20)" and no projection text.
constexpr std::string_view kNameHeader = "Version 300\n"
                                         "Charset \"WindowsLatin1\"\n"
                                         "Delimiter \",\"\n"
                                         "\n"
                                         "Columns 1\n"
                                         "  Name Char(20)\n"
                                         "Data\n"
                                         "\n";

// A geometry as a WKT line of ogrinfo shows it: its type word and all its numbers in order.
struct Geometry {
    std::string type;
    std::vector<double> numbers;
    bool operator==(const Geometry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    out << g.type;
    for (double v : g.numbers)
        out << ' ' << v;
    return out;
}

std::vector<Geometry> geometriesOf(const std::string& ogrinfoOutput) {
    std::vector<Geometry> found;
    std::istringstream lines(ogrinfoOutput);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t open = line.find(" (");
        if (line.rfind("  ", 0) != 0 || open == std::string::npos) continue;
        const std::string type = line.substr(2, open - 2);
        if (type.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos) continue;
        Geometry g{type, {}};
        std::string rest = line.substr(open);
        for (char& c : rest)
            if (c == '(' || c == ')' || c == ',') c = ' ';
        std::istringstream numbers(rest);
        for (double v; numbers >> v;)
            g.numbers.push_back(v);
        found.push_back(std::move(g));
    }
    return found;
}

class Mif : public GisSession {
  protected:
    void SetUp() override {
        GisSession::SetUp();
        gisSchema.fieldCount = 1;
        gisSchema.fields[0] = {"Name", "Char", 20};
    }

    // Writes the current gisO_ as one object with its record.
    void write(const Layer& id) {
        id->writeObject(gisO_);
        id->writeRecord(gisO_);
    }

    // Closes the layer and returns the .mif text after the header, which must be kNameHeader.
    std::string objectsOf(const Layer& id, std::string_view name) {
        id->close();
        const std::string mif = readFile(dir.file(std::string(name) + ".mif"));
        EXPECT_EQ(mif.substr(0, kNameHeader.size()), kNameHeader);
        return mif.substr(std::min(mif.size(), kNameHeader.size()));
    }
    std::string midOf(std::string_view name) {
        return readFile(dir.file(std::string(name) + ".mid"));
    }
};

TEST_F(Mif, HeaderWithProjectionAndColumns) {
    gisSchema.fieldCount = 2;
    gisSchema.fields[0] = {"Stream_ID   ", "Char  ", 100};
    gisSchema.fields[1] = {"Elevation", "Float", 0};
    mifProjection = "CoordSys Earth Projection 8, 104, \"m\", 3, 0, 0.9996, 500000, 0   ";
    auto id = openMif("streams.mif");
    id->close();
    EXPECT_EQ(readFile(dir.file("streams.mif")),
              "Version 300\n"
              "Charset \"WindowsLatin1\"\n"
              "Delimiter \",\"\n"
              "CoordSys Earth Projection 8, 104, \"m\", 3, 0, 0.9996, 500000, 0\n"
              "Columns 2\n"
              "  Stream_ID Char(100)\n"
              "  Elevation Float\n"
              "Data\n"
              "\n");
    EXPECT_EQ(midOf("streams"), "");
}

TEST_F(Mif, FieldCountsOfZeroOrLessGiveNoColumnLines) {
    gisSchema.fieldCount = 0;
    auto id = openMif("none.mif");
    gisSchema.fieldCount = -2;
    auto negative = openMif("negative.mif");
    id->close();
    negative->close();
    const std::string start = "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n\n";
    EXPECT_EQ(readFile(dir.file("none.mif")), start + "Columns 0\nData\n\n");
    EXPECT_EQ(readFile(dir.file("negative.mif")), start + "Columns -2\nData\n\n");
}

TEST_F(Mif, PlineOfThreeVerticesAndItsRecord) {
    auto id = openMif("p.mif");
    gisO_.kind = vk::GisKind::Pline;
    setVertices({{0, 0}, {1.5, 2}, {-3, 4}});
    gisO_.setValues({vk::textValue(" Main River  ")});
    write(id);
    EXPECT_EQ(objectsOf(id, "p"), "Pline 3\n"
                                  "        0.000000        0.000000\n"
                                  "        1.500000        2.000000\n"
                                  "       -3.000000        4.000000\n");
    EXPECT_EQ(midOf("p"), "\" Main River\"\n");
}

TEST_F(Mif, RegionOfTwoRings) {
    auto id = openMif("r.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {10, 0}, {10, 10}, {0, 0}, {2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}});
    setParts({1, 5});
    gisO_.setValues({vk::textValue("lake")});
    write(id);
    EXPECT_EQ(objectsOf(id, "r"), "Region 2\n"
                                  " 4\n"
                                  "        0.000000        0.000000\n"
                                  "       10.000000        0.000000\n"
                                  "       10.000000       10.000000\n"
                                  "        0.000000        0.000000\n"
                                  " 5\n"
                                  "        2.000000        2.000000\n"
                                  "        4.000000        2.000000\n"
                                  "        4.000000        4.000000\n"
                                  "        2.000000        4.000000\n"
                                  "        2.000000        2.000000\n");
    EXPECT_EQ(midOf("r"), "\"lake\"\n");
}

TEST_F(Mif, RegionOfOneRingUsesAllVertices) {
    auto id = openMif("r1.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {1, 0}, {2, 1}, {2, 2}, {1, 3}, {0, 2}, {0, 0}});
    gisO_.setValues({vk::textValue("pond")});
    write(id);
    EXPECT_EQ(objectsOf(id, "r1"), "Region 1\n"
                                   " 7\n"
                                   "        0.000000        0.000000\n"
                                   "        1.000000        0.000000\n"
                                   "        2.000000        1.000000\n"
                                   "        2.000000        2.000000\n"
                                   "        1.000000        3.000000\n"
                                   "        0.000000        2.000000\n"
                                   "        0.000000        0.000000\n");
    EXPECT_EQ(midOf("r1"), "\"pond\"\n");
}

TEST_F(Mif, CoordinatesThatDoNotFitBecomeAsterisks) {
    auto id = openMif("big.mif");
    gisO_.kind = vk::GisKind::Point;
    setVertices({{1234567890.5, 123456789.5}});
    gisO_.setValues({vk::textValue("a")});
    write(id);
    setVertices({{-123456789.5, -0.0000004}});
    gisO_.setValues({vk::textValue("b")});
    write(id);
    EXPECT_EQ(objectsOf(id, "big"), "Point ****************123456789.500000\n"
                                    "Point ****************       -0.000000\n");
    EXPECT_EQ(midOf("big"), "\"a\"\n\"b\"\n");
}

TEST_F(Mif, NoneIsARecordWithoutGeometry) {
    auto id = openMif("m.mif");
    gisO_.kind = vk::GisKind::None;
    gisO_.setValues({vk::textValue("n")});
    write(id);
    EXPECT_EQ(objectsOf(id, "m"), "none\n");
    EXPECT_EQ(midOf("m"), "\"n\"\n");
}

// The driver reuses one object for every feature: each is written as the kind it was last given.
TEST_F(Mif, AReusedObjectIsWrittenAsItsLatestKind) {
    auto id = openMif("order.mif");
    setVertices({{1, 2}, {3, 4}});
    gisO_.kind = vk::GisKind::Point;
    id->writeObject(gisO_);
    gisO_.kind = vk::GisKind::Pline;
    id->writeObject(gisO_);
    initialiseObject(gisO_);
    gisO_.kind = vk::GisKind::Region;
    id->writeObject(gisO_);
    EXPECT_EQ(objectsOf(id, "order"), "Point         1.000000        2.000000\n"
                                      "Pline 2\n"
                                      "        1.000000        2.000000\n"
                                      "        3.000000        4.000000\n"
                                      "Region 1\n"
                                      " 2\n"
                                      "        1.000000        2.000000\n"
                                      "        3.000000        4.000000\n");
}

TEST_F(Mif, AnObjectWithoutKindIsRefused) {
    auto id = openMif("k.mif");
    initialiseObject(gisO_);
    EXPECT_EQ(endsRun([&] { id->writeObject(gisO_); }),
              "\nERROR 0350 - Trying to write a MIF object that is not yet supported.  Please "
              "contact support@varnokline.example.\n" +
                  std::string(kExitTail));
    EXPECT_EQ(readFile(dir.file("k.mif")), kNameHeader);
}

// Writes that fail: the layer's .mif or .mid is on a full disk.
class MifFull : public Mif {
  protected:
    void pointTo(std::string_view name) { full_.emplace(parts.faults, std::string(name)); }

  private:
    std::optional<vktest::FullDisk> full_;
};

// Every writer reports a failed write and goes on, whatever file of its layer fails: only the
// layer operations end the run on it, and nothing reaches the console.
TEST_F(MifFull, EveryWriterReportsAFailedWriteWithoutEndingTheRun) {
    const struct {
        const char* extension;
        const char* failingFile;
        vk::GisError expected;
    } cases[] = {
        {".mif", "w.mif", vk::GisError::MifObjectWrite},  // the header waits in the buffer
        {".mif", "w.mid", vk::GisError::MidRecordWrite},
        {".shp", "w_P.shp", vk::GisError::ShpHeaderWrite},
        {".shp", "w_P.shx", vk::GisError::ShpHeaderWrite},
        {".shp", "w_P.prj", vk::GisError::ShpHeaderWrite},
        {".shp", "w_P.dbf", vk::GisError::DbfHeaderWrite},
    };
    vk::GisSchema schema;
    schema.fieldCount = 1;
    schema.fields[0] = {"Name", "Char", 20};
    gisO_.kind = vk::GisKind::Point;
    gisO_.setValues({vk::textValue("a")});
    for (const auto& c : cases) {
        pointTo(c.failingFile);
        std::unique_ptr<vk::LayerWriter> writer;
        if (c.extension == std::string_view(".mif"))
            writer = std::make_unique<vk::MifLayerWriter>();
        else
            writer = std::make_unique<vk::ShapefileLayerWriter>(units);
        vk::GisStatus status;
        EXPECT_NO_THROW({
            status = writer->open(dir.file(std::string("w") + c.extension), "P");
            for (vk::OutputFile& file : writer->files())
                ASSERT_EQ(file.create(units), 0) << file.path();
            if (status.ok()) status = writer->header(schema, vk::GisProjections{});
            if (status.ok()) status = writer->object(gisO_);
            if (status.ok()) status = writer->record(gisO_);
            if (status.ok()) status = writer->finish();
        }) << c.failingFile;
        EXPECT_EQ(status.error, c.expected) << c.failingFile;
        EXPECT_EQ(transcript, "") << c.failingFile;
    }
}

TEST_F(MifFull, ObjectLinesThatCannotBeWritten) {
    pointTo("full.mif");
    auto id = openMif("full.mif");
    gisO_.kind = vk::GisKind::Pline;
    // More than the stream holds, so that it must pass bytes on while the object is written.
    constexpr int kVertices = 20000;
    gisO_.reserveVertices(kVertices);
    for (int j = 0; j < kVertices; ++j)
        gisO_.X[static_cast<std::size_t>(j)] = j;
    gisO_.n = kVertices;
    const std::string console = endsRun([&] { id->writeObject(gisO_); });
    EXPECT_EQ(console.rfind("\nERROR 0439 - Writing .mif file object coordinates.\n", 0), 0u)
        << console;
    EXPECT_TRUE(console.ends_with(kExitTail)) << console;
}

TEST_F(MifFull, HeaderAndNoneLinesLeftInTheBufferAreCheckedAtClose) {
    pointTo("full.mif");
    auto id = openMif("full.mif");
    gisO_.kind = vk::GisKind::None;
    gisO_.setValues({vk::textValue("x")});
    write(id);
    const std::string console = endsRun([&] { id->close(); });
    EXPECT_EQ(console.find("Closing GIS Layer 1 ["), 0u) << console;
    EXPECT_NE(console.find("]...\n\nERROR 0439 - Writing .mif file object coordinates.\n"),
              std::string::npos)
        << console;
    EXPECT_EQ(console.find("Closed File Unit"), std::string::npos) << console;
}

TEST_F(MifFull, AttributeRecordsThatCannotBeWritten) {
    pointTo("rec.mid");
    auto id = openMif("rec.mif");
    gisO_.kind = vk::GisKind::Point;
    gisO_.typeName = "Point";
    const std::string name(200, 'a');
    gisO_.setValues({vk::textValue(name)});
    const std::string console = endsRun([&] {
        for (int i = 0; i < 100000; ++i)
            write(id);
    });
    EXPECT_EQ(console.rfind("\nERROR 0254 - Failed to write attribute data record for a Point "
                            "object in GIS layer.\n",
                            0),
              0u)
        << console;
}

TEST_F(MifFull, AFailedRecordWithoutTypeNameNamesNoType) {
    pointTo("rec.mid");
    auto id = openMif("rec.mif");
    gisO_.kind = vk::GisKind::None;
    gisO_.setValues({vk::textValue("x")});
    write(id);
    const std::string console = endsRun([&] { id->close(); });
    EXPECT_NE(console.find("\nERROR 0254 - Failed to write attribute data record for a  object in "
                           "GIS layer.\n"),
              std::string::npos)
        << console;
}

TEST_F(Mif, LayerIsReadByGdal) {
    constexpr const char* kOgrinfo = "/usr/bin/ogrinfo";
    if (!vktest::kPosixSystem || !vktest::fileExists(kOgrinfo))
        GTEST_SKIP() << "GDAL's ogrinfo is not installed at " << kOgrinfo
                     << " (Debian package gdal-bin); the MIF read-back check is skipped";

    gisSchema.fieldCount = 2;
    gisSchema.fields[0] = {"Stream_ID", "Char", 20};
    gisSchema.fields[1] = {"Elevation", "Float", 0, 8, 3};
    mifProjection = "CoordSys Earth Projection 8, 104, \"m\", 3, 0, 0.9996, 500000, 0";
    auto id = openMif("rivers.mif");

    gisO_.kind = vk::GisKind::Pline;
    setVertices({{500000, 6000000}, {500010.5, 6000020}, {500030, 6000025.25}});
    gisO_.setValues({vk::textValue("Main River"), vk::realValue(12.5)});
    write(id);

    initialiseObject(gisO_);
    gisO_.kind = vk::GisKind::Point;
    setVertices({{500002.5, 5999990}});
    gisO_.setValues({vk::textValue("Trib, 2"), vk::realValue(-3.25)});
    write(id);

    initialiseObject(gisO_);
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {10, 0}, {10, 10}, {0, 0}, {2, 2}, {4, 2}, {4, 4}, {2, 2}});
    setParts({1, 5});
    gisO_.setValues({vk::textValue("Lake"), vk::realValue(0)});
    write(id);

    initialiseObject(gisO_);
    gisO_.kind = vk::GisKind::None;
    gisO_.setValues({vk::textValue("Nothing"), vk::realValue(2)});
    write(id);
    id->close();

    const ProcessResult r =
        runProgram({"-al", "-ro", dir.file("rivers.mif")}, "", dir.path(), 60, kOgrinfo);
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    const std::string all = r.output + r.errors;
    EXPECT_EQ(all.find("Warning"), std::string::npos) << all;
    EXPECT_EQ(all.find("ERROR"), std::string::npos) << all;

    EXPECT_NE(r.output.find("Feature Count: 4\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("PROJCRS["), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Stream_ID: String (20.0)\n"), std::string::npos) << r.output;
    for (const char* expected : {
             "  Stream_ID (String) = Main River\n  Elevation (Real) = 12.5\n",
             "  Stream_ID (String) = Trib, 2\n  Elevation (Real) = -3.25\n",
             "  Stream_ID (String) = Lake\n",
             "  Stream_ID (String) = Nothing\n  Elevation (Real) = 2\n",
         })
        EXPECT_NE(r.output.find(expected), std::string::npos) << expected << "\n" << r.output;

    // The geometries in feature order, compared by value (the reader chooses its own number text).
    EXPECT_EQ(geometriesOf(r.output),
              (std::vector<Geometry>{
                  {"LINESTRING", {500000, 6000000, 500010.5, 6000020, 500030, 6000025.25}},
                  {"POINT", {500002.5, 5999990}},
                  {"POLYGON", {0, 0, 10, 0, 10, 10, 0, 0, 2, 2, 4, 2, 4, 4, 2, 2}},
              }));
    // Rings stay apart.
    EXPECT_NE(r.output.find("POLYGON ((0 0,10 0,10 10,0 0),(2 2,"), std::string::npos);
}

} // namespace
} // namespace vktest
