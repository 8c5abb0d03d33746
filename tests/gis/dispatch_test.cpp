// Object and record dispatch: the part check, the bounds of the object's arrays, the kind tests of
// each format, the sets of a Shapefile layer, and the object store itself.
#include <array>
#include <cstdint>

#include "gis_session.h"

namespace vktest {
namespace {


constexpr std::string_view kContact = " - please contact support@varnokline.example.\n";

class Dispatch : public GisSession {
  protected:
    void SetUp() override {
        GisSession::SetUp();
        gisSchema.fieldCount = 1;
        gisSchema.fields[0] = {"Name", "Char", 20};
    }

    int openShapefile(std::string_view name, std::string_view kinds) {
        const int id = vk::gisOpenLayer(dir.file(name), kinds, "O ", gisSchema);
        vk::gisWriteHeader(id);
        vk::gisInitialiseObject(gisO_);
        return id;
    }

    std::string mifAfterHeader(int& id, std::string_view name) {
        vk::gisCloseLayer(id);
        const std::string mif = readFile(dir.file(name));
        const std::size_t data = mif.find("Data\n\n");
        return data == std::string::npos ? mif : mif.substr(data + 6);
    }
};

TEST_F(Dispatch, PartsOutOfOrderEndTheRunWithTheFiveLineReport) {
    int id = openMif("r.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {1, 0}, {1, 1}, {0, 0}, {2, 2}, {3, 2}, {3, 3}, {2, 2}, {5, 5}});
    setParts({1, 5, 5});
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(id, gisO_); }),
              "Should not be here [gisO_%ir(i) <= gisO_%ir(i-1)]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "i           =    3\n"
                  "gisO_%ir(i) =    5\n"
                  "gisO_%nr    =    3\n" +
                  std::string(kExitTail));
    EXPECT_TRUE(readFile(dir.file("r.mif")).ends_with("Data\n\n"));
}

TEST_F(Dispatch, MissingPartCountsAreRaisedToOnePart) {
    int id = openMif("p.mif");
    gisO_.kind = vk::GisKind::Pline;
    setVertices({{0, 0}, {1, 1}, {2, 0}});
    gisO_.nr = 0;
    gisO_.ir[0] = 0;
    vk::gisWriteObject(id, gisO_);
    EXPECT_EQ(gisO_.nr, 1);
    EXPECT_EQ(gisO_.ir[0], 1);

    // The raised values are what a multi-part kind is written with.
    gisO_.kind = vk::GisKind::Region;
    gisO_.nr = -4;
    gisO_.ir[0] = -1;
    vk::gisWriteObject(id, gisO_);
    EXPECT_EQ(mifAfterHeader(id, "p.mif"), "Pline 3\n"
                                           "        0.000000        0.000000\n"
                                           "        1.000000        1.000000\n"
                                           "        2.000000        0.000000\n"
                                           "Region 1\n"
                                           " 3\n"
                                           "        0.000000        0.000000\n"
                                           "        1.000000        1.000000\n"
                                           "        2.000000        0.000000\n");
}

TEST_F(Dispatch, PointsSkipThePartCheck) {
    int id = openMif("pt.mif");
    gisO_.kind = vk::GisKind::Point;
    setVertices({{1, 2}});
    setParts({3, 2, 1});
    vk::gisWriteObject(id, gisO_);
    EXPECT_EQ(gisO_.nr, 3);
    EXPECT_EQ(mifAfterHeader(id, "pt.mif"), "Point         1.000000        2.000000\n");
}

TEST_F(Dispatch, PartsAndVerticesMustLieInsideTheArrays) {
    int id = openMif("b.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {1, 1}, {2, 2}});

    // More parts than the part array holds.
    gisO_.nr = static_cast<int>(gisO_.ir.size()) + 1;
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(id, gisO_); }),
              "Should not be here [gisO_%nr > size(gisO_%ir)]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "gisO_%nr    =10001\n" +
                  std::string(kExitTail));

    // A last part that begins beyond the vertices.
    setParts({1, 3, 5});
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(id, gisO_); }),
              "Should not be here [gisO_%ir(nr) > gisO_%n+1]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "gisO_%ir(nr)=    5\n"
                  "gisO_%n     =    3\n"
                  "gisO_%nr    =    3\n" +
                  std::string(kExitTail));

    // A vertex count beyond the coordinate arrays (one below zero fails the part check first).
    setParts({1});
    gisO_.n = static_cast<int>(gisO_.X.size()) + 1;
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(id, gisO_); }),
              "Should not be here [gisO_%n outside gisO_%x]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "gisO_%n     =*****\n" + std::string(kExitTail));
}

TEST_F(Dispatch, AnEmptyLastPartIsAllowed) {
    int id = openMif("e.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {1, 1}});
    setParts({1, 3});
    vk::gisWriteObject(id, gisO_);
    EXPECT_EQ(mifAfterHeader(id, "e.mif"), "Region 2\n"
                                           " 2\n"
                                           "        0.000000        0.000000\n"
                                           "        1.000000        1.000000\n"
                                           " 0\n");
}

TEST_F(Dispatch, LayerNumbersThatAreNotLayers) {
    const std::string tail(kExitTail);
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(0, gisO_); }),
              "Should not be here gisWriteObject[gisID=0]" + std::string(kContact) + tail);
    EXPECT_EQ(endsRun([&] { vk::gisWriteRecord(-1, gisO_); }),
              "Should not be here gisWriteRecord[gisID=0]" + std::string(kContact) + tail);
    EXPECT_EQ(endsRun([] { vk::gisWriteHeader(0); }),
              "Should not be here gisWriteHeader[gisID=0]" + std::string(kContact) + tail);

    // A number of the table whose entry is free has no format.
    gisO_.kind = vk::GisKind::Point;
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(7, gisO_); }),
              "Should not be here [gisWriteObject]" + std::string(kContact) + tail);
    EXPECT_EQ(endsRun([&] { vk::gisWriteRecord(7, gisO_); }),
              "Should not be here [gisWriteRecord]" + std::string(kContact) + tail);
    EXPECT_EQ(endsRun([] { vk::gisWriteHeader(7); }),
              "Should not be here [gisWriteHeader]" + std::string(kContact) + tail);
}

TEST_F(Dispatch, MidLinesHoldTheValuesAsTheirFieldsSay) {
    gisSchema.fieldCount = 4;
    gisSchema.fields[1] = {"Z", "Float", 0, 8, 3};
    gisSchema.fields[2] = {"Id", "Char", 10, 0, 0, true};
    gisSchema.fields[3] = {"Count", "Integer", 0};
    const std::string long_(1200, 'x');
    int id = openMif("m.mif");
    gisO_.kind = vk::GisKind::Point;
    const std::vector<std::vector<vk::GisValue>> records = {
        {vk::textValue("  a \"q\"  "), vk::realValue(1.5), vk::textValue(" L1 "),
         vk::integerValue(-42)},
        {},
        {vk::textValue("b\t"), vk::realValue(-12345.6789)},
        {vk::textValue(""), vk::realValue(1.0), vk::textValue("")},
        {vk::textValue(std::string_view(long_))},
    };
    for (const auto& values : records) {
        gisO_.values = values;
        vk::gisWriteObject(id, gisO_);
        vk::gisWriteRecord(id, gisO_);
    }
    vk::gisCloseLayer(id);
    // A text loses its trailing blanks, a bare one keeps its leading blank, a line ends with no
    // blank, a value wider than its field is written whole, and a line is cut at 1000.
    EXPECT_EQ(readFile(dir.file("m.mid")), "\"  a \"\"q\"\"\",   1.500, L1,-42\n"
                                           "\n"
                                           "\"b\t\",-12345.679\n"
                                           "\"\",   1.000,\n"
                                           "\"" + std::string(999, 'x') + "\n");
}

TEST_F(Dispatch, ShapefileSetsFollowTheKind) {
    const int id = openShapefile("s.shp", "PLR");
    const vk::ShapefileLayerWriter& layer = shapefile(id);
    setVertices({{1, 2}, {3, 4}, {5, 6}, {1, 2}});
    const struct {
        vk::GisKind kind;
        std::size_t set;
    } cases[] = {
        {vk::GisKind::Pline, 1}, {vk::GisKind::Region, 2}, {vk::GisKind::Point, 0},
    };
    std::array<std::int32_t, 3> expected{};
    for (const auto& c : cases) {
        vk::gisInitialiseObject(gisO_);
        gisO_.kind = c.kind;
        vk::gisWriteObject(id, gisO_);
        vk::gisWriteRecord(id, gisO_);
        ++expected[c.set];
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(layer.sets[k].recordCount, expected[k]) << static_cast<int>(c.kind);
            EXPECT_EQ(layer.tables[k].recordsWritten, expected[k]) << static_cast<int>(c.kind);
        }
    }
}

TEST_F(Dispatch, ANoneObjectGoesToEveryOpenSet) {
    const int id = openShapefile("n.shp", "PL");
    gisO_.kind = vk::GisKind::None;
    gisO_.setValues({vk::textValue("nothing")});
    vk::gisWriteObject(id, gisO_);
    vk::gisWriteRecord(id, gisO_);
    const vk::ShapefileLayerWriter& layer = shapefile(id);
    for (std::size_t k : {0u, 1u}) {
        EXPECT_EQ(layer.sets[k].recordCount, 1) << k;
        EXPECT_EQ(layer.tables[k].recordsWritten, 1) << k;
    }
    EXPECT_EQ(layer.sets[2].recordCount, 0);
    EXPECT_EQ(layer.tables[2].recordsWritten, 0);
}

TEST_F(Dispatch, ShapefileObjectsWithoutKindOrWithoutTheirSet) {
    const int id = openShapefile("k.shp", "L");
    vk::settleOutputsAtEnd(nullptr);  // the layer stays open across the ends tested here
    const std::string tail(kExitTail);
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(id, gisO_); }),
              "\nShould not be here [gisWriteObject-shp].  Please contact "
              "support@varnokline.example.\n" +
                  tail);
    EXPECT_EQ(endsRun([&] { vk::gisWriteRecord(id, gisO_); }),
              "\nShould not be here [gisWriteRecord-dbf].  Please contact "
              "support@varnokline.example.\n" +
                  tail);

    gisO_.kind = vk::GisKind::Point;
    EXPECT_EQ(endsRun([&] { vk::gisWriteObject(id, gisO_); }),
              "Should not be here [gisWriteObject-shpnotopen]" + std::string(kContact) + tail);
    EXPECT_EQ(endsRun([&] { vk::gisWriteRecord(id, gisO_); }),
              "Should not be here [gisWriteRecord-dbfnotopen]" + std::string(kContact) + tail);
}

TEST_F(Dispatch, InitialisingAnObjectKeepsItsVerticesAndAttributes) {
    gisO_.kind = vk::GisKind::Region;
    setParts({4, 8});
    gisO_.typeName = "Pline";
    setVertices({{7, 8}, {9, 10}});
    gisO_.setValues({vk::textValue("kept")});
    vk::gisInitialiseObject(gisO_);
    EXPECT_EQ(gisO_.kind, vk::GisKind::Unset);
    EXPECT_EQ(gisO_.nr, 1);
    EXPECT_EQ(gisO_.ir[0], 1);
    EXPECT_TRUE(gisO_.typeName.empty());
    EXPECT_EQ(gisO_.n, 2);
    EXPECT_EQ(gisO_.X[1], 9);
    ASSERT_EQ(gisO_.values.size(), 1u);
    EXPECT_EQ(gisO_.values[0].text, "kept");
}

TEST_F(Dispatch, ObjectStorageGrowsAndKeepsItsContents) {
    vk::GisObject object;
    EXPECT_EQ(object.X.size(), vk::GisObject::kInitialVertices);
    EXPECT_EQ(object.Y.size(), vk::GisObject::kInitialVertices);
    EXPECT_EQ(object.ir.size(), vk::GisObject::kInitialParts);
    EXPECT_EQ(object.ir[0], 1);

    object.X[99999] = 5;
    object.Y[99999] = 6;
    object.ir[9999] = 42;
    object.reserveVertices(150000);
    object.reserveParts(10001);
    EXPECT_GE(object.X.size(), 150000u);
    EXPECT_EQ(object.X.size(), object.Y.size());
    EXPECT_GE(object.ir.size(), 10001u);
    EXPECT_EQ(object.X[99999], 5);
    EXPECT_EQ(object.Y[99999], 6);
    EXPECT_EQ(object.ir[9999], 42);

    const std::size_t size = object.X.size();
    object.reserveVertices(10);
    EXPECT_EQ(object.X.size(), size);
}

TEST_F(Dispatch, APolylineBeyondTheInitialStorageIsWrittenWhole) {
    constexpr int kVertices = 150000;
    int id = openMif("long.mif");
    gisO_.kind = vk::GisKind::Pline;
    gisO_.reserveVertices(kVertices);
    for (int j = 0; j < kVertices; ++j) {
        gisO_.X[static_cast<std::size_t>(j)] = j;
        gisO_.Y[static_cast<std::size_t>(j)] = -j;
    }
    gisO_.n = kVertices;
    vk::gisWriteObject(id, gisO_);
    const std::string mif = mifAfterHeader(id, "long.mif");
    EXPECT_EQ(mif.size(), std::string("Pline 150000\n").size() + 33u * kVertices);
    EXPECT_TRUE(mif.ends_with("   149999.000000  -149999.000000\n"));
}

} // namespace
} // namespace vktest
