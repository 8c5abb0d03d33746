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

    Layer openShapefile(std::string_view name, std::string_view kinds) {
        auto id = openLayer(dir.file(name), kinds, gisSchema);
        initialiseObject(gisO_);
        return id;
    }

    std::string mifAfterHeader(const Layer& id, std::string_view name) {
        id->close();
        const std::string mif = readFile(dir.file(name));
        const std::size_t data = mif.find("Data\n\n");
        return data == std::string::npos ? mif : mif.substr(data + 6);
    }
};

TEST_F(Dispatch, PartsOutOfOrderEndTheRunWithTheFiveLineReport) {
    auto id = openMif("r.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {1, 0}, {1, 1}, {0, 0}, {2, 2}, {3, 2}, {3, 3}, {2, 2}, {5, 5}});
    setParts({1, 5, 5});
    EXPECT_EQ(endsRun([&] { id->writeObject(gisO_); }),
              "Should not be here [gisO_%ir(i) <= gisO_%ir(i-1)]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "i           =    3\n"
                  "gisO_%ir(i) =    5\n"
                  "gisO_%nr    =    3\n" +
                  std::string(kExitTail));
    EXPECT_TRUE(readFile(dir.file("r.mif")).ends_with("Data\n\n"));
}

TEST_F(Dispatch, MissingPartCountsAreRaisedToOnePart) {
    auto id = openMif("p.mif");
    gisO_.kind = vk::GisKind::Pline;
    setVertices({{0, 0}, {1, 1}, {2, 0}});
    gisO_.nr = 0;
    gisO_.ir[0] = 0;
    id->writeObject(gisO_);
    EXPECT_EQ(gisO_.nr, 1);
    EXPECT_EQ(gisO_.ir[0], 1);

    // The raised values are what a multi-part kind is written with.
    gisO_.kind = vk::GisKind::Region;
    gisO_.nr = -4;
    gisO_.ir[0] = -1;
    id->writeObject(gisO_);
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
    auto id = openMif("pt.mif");
    gisO_.kind = vk::GisKind::Point;
    setVertices({{1, 2}});
    setParts({3, 2, 1});
    id->writeObject(gisO_);
    EXPECT_EQ(gisO_.nr, 3);
    EXPECT_EQ(mifAfterHeader(id, "pt.mif"), "Point         1.000000        2.000000\n");
}

TEST_F(Dispatch, PartsAndVerticesMustLieInsideTheArrays) {
    auto id = openMif("b.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {1, 1}, {2, 2}});

    // More parts than the part array holds.
    gisO_.nr = static_cast<int>(gisO_.ir.size()) + 1;
    EXPECT_EQ(endsRun([&] { id->writeObject(gisO_); }),
              "Should not be here [gisO_%nr > size(gisO_%ir)]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "gisO_%nr    =10001\n" +
                  std::string(kExitTail));

    // A last part that begins beyond the vertices.
    setParts({1, 3, 5});
    EXPECT_EQ(endsRun([&] { id->writeObject(gisO_); }),
              "Should not be here [gisO_%ir(nr) > gisO_%n+1]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "gisO_%ir(nr)=    5\n"
                  "gisO_%n     =    3\n"
                  "gisO_%nr    =    3\n" +
                  std::string(kExitTail));

    // A vertex count beyond the coordinate arrays (one below zero fails the part check first).
    setParts({1});
    gisO_.n = static_cast<int>(gisO_.X.size()) + 1;
    EXPECT_EQ(endsRun([&] { id->writeObject(gisO_); }),
              "Should not be here [gisO_%n outside gisO_%x]" + std::string(kContact) +
                  "GIS Layer   =    1\n"
                  "gisO_%n     =*****\n" + std::string(kExitTail));
}

TEST_F(Dispatch, AnEmptyLastPartIsAllowed) {
    auto id = openMif("e.mif");
    gisO_.kind = vk::GisKind::Region;
    setVertices({{0, 0}, {1, 1}});
    setParts({1, 3});
    id->writeObject(gisO_);
    EXPECT_EQ(mifAfterHeader(id, "e.mif"), "Region 2\n"
                                           " 2\n"
                                           "        0.000000        0.000000\n"
                                           "        1.000000        1.000000\n"
                                           " 0\n");
}

TEST_F(Dispatch, ShapefileSetsFollowTheKind) {
    const auto id = openShapefile("s.shp", "PLR");
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
        initialiseObject(gisO_);
        gisO_.kind = c.kind;
        id->writeObject(gisO_);
        id->writeRecord(gisO_);
        ++expected[c.set];
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(layer.sets[k].recordCount, expected[k]) << static_cast<int>(c.kind);
            EXPECT_EQ(layer.tables[k].recordsWritten, expected[k]) << static_cast<int>(c.kind);
        }
    }
}

TEST_F(Dispatch, ANoneObjectGoesToEveryOpenSet) {
    const auto id = openShapefile("n.shp", "PL");
    gisO_.kind = vk::GisKind::None;
    gisO_.setValues({vk::textValue("nothing")});
    id->writeObject(gisO_);
    id->writeRecord(gisO_);
    const vk::ShapefileLayerWriter& layer = shapefile(id);
    for (std::size_t k : {0u, 1u}) {
        EXPECT_EQ(layer.sets[k].recordCount, 1) << k;
        EXPECT_EQ(layer.tables[k].recordsWritten, 1) << k;
    }
    EXPECT_EQ(layer.sets[2].recordCount, 0);
    EXPECT_EQ(layer.tables[2].recordsWritten, 0);
}

TEST_F(Dispatch, ShapefileObjectsWithoutKindOrWithoutTheirSet) {
    const auto id = openShapefile("k.shp", "L");
    vk::settleOutputsAtEnd(run.exit, nullptr);  // the layer stays open across the ends tested here
    const std::string tail(kExitTail);
    EXPECT_EQ(endsRun([&] { id->writeObject(gisO_); }),
              "\nShould not be here [gisWriteObject-shp].  Please contact "
              "support@varnokline.example.\n" +
                  tail);
    EXPECT_EQ(endsRun([&] { id->writeRecord(gisO_); }),
              "\nShould not be here [gisWriteRecord-dbf].  Please contact "
              "support@varnokline.example.\n" +
                  tail);

    gisO_.kind = vk::GisKind::Point;
    EXPECT_EQ(endsRun([&] { id->writeObject(gisO_); }),
              "Should not be here [gisWriteObject-shpnotopen]" + std::string(kContact) + tail);
    EXPECT_EQ(endsRun([&] { id->writeRecord(gisO_); }),
              "Should not be here [gisWriteRecord-dbfnotopen]" + std::string(kContact) + tail);
}

TEST_F(Dispatch, InitialisingAnObjectKeepsItsVerticesAndAttributes) {
    gisO_.kind = vk::GisKind::Region;
    setParts({4, 8});
    gisO_.typeName = "Pline";
    setVertices({{7, 8}, {9, 10}});
    gisO_.setValues({vk::textValue("kept")});
    initialiseObject(gisO_);
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
    auto id = openMif("long.mif");
    gisO_.kind = vk::GisKind::Pline;
    gisO_.reserveVertices(kVertices);
    for (int j = 0; j < kVertices; ++j) {
        gisO_.X[static_cast<std::size_t>(j)] = j;
        gisO_.Y[static_cast<std::size_t>(j)] = -j;
    }
    gisO_.n = kVertices;
    id->writeObject(gisO_);
    const std::string mif = mifAfterHeader(id, "long.mif");
    EXPECT_EQ(mif.size(), std::string("Pline 150000\n").size() + 33u * kVertices);
    EXPECT_TRUE(mif.ends_with("   149999.000000  -149999.000000\n"));
}

} // namespace
} // namespace vktest
