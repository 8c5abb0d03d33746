// Header writing: the MIF header from the schema of the moment, and the steps that head each
// Shapefile set of a layer.
#include "gis_session.h"
#include "support/writefaults.h"

namespace vktest {
namespace {

class Header : public GisSession {
  protected:
    void SetUp() override {
        GisSession::SetUp();
        gisSchema.fieldCount = 2;
        gisSchema.fields[0] = {"Stream_ID", "Char", 100};
        gisSchema.fields[1] = {"Elevation", "Float", 0};
    }
};

TEST_F(Header, EachSetCreatedAtOpenIsHeaded) {
    shpProjection = "PROJCS[\"Local\",GEOGCS[\"GCS\"]]   ";
    const auto id = openLayer(dir.file("river.shp"), "P", gisSchema);
    const vk::ShapefileLayerWriter& layer = shapefile(id);
    const vk::ShapeSet& points = layer.sets[0];
    ASSERT_TRUE(points.isOpen());
    transcript.clear();
    // Every file stays held until the layer is closed.
    EXPECT_EQ(transcript, "");
    EXPECT_TRUE(points.prj->isOpen());
    EXPECT_TRUE(points.shx->isOpen());
    EXPECT_EQ(readFile(dir.file("river_P.prj")), "PROJCS[\"Local\",GEOGCS[\"GCS\"]]\n");

    EXPECT_EQ(points.xmin, 9.000000135427196e29);
    EXPECT_EQ(points.ymin, 9.000000135427196e29);
    EXPECT_EQ(points.xmax, -9.000000135427196e29);
    EXPECT_EQ(points.ymax, -9.000000135427196e29);
    EXPECT_EQ(points.nextRecordOffset, 50);
    EXPECT_EQ(layer.tables[0].fieldCount, 2);
    EXPECT_EQ(layer.tables[0].recordsWritten, 0);

    // Sets not created at open keep their initial state.
    for (std::size_t k : {1u, 2u}) {
        const vk::ShapeSet& set = layer.sets[k];
        EXPECT_EQ(set.xmin, 0);
        EXPECT_EQ(set.ymin, 0);
        EXPECT_EQ(set.xmax, -1);
        EXPECT_EQ(set.ymax, -1);
        EXPECT_EQ(set.nextRecordOffset, 0);
        EXPECT_EQ(layer.tables[k].fieldCount, 0);
    }

    id->close();
    // Without records the headers of their creation remain: 100 bytes each.
    EXPECT_EQ(readFile(dir.file("river_P.shp")).size(), 100u);
    EXPECT_EQ(readFile(dir.file("river_P.shx")).size(), 100u);
    EXPECT_FALSE(fileExists(dir.file("river_L.shp")));
}

TEST_F(Header, ABlankProjectionGivesAnEmptyPrjLine) {
    auto id = openLayer(dir.file("river.shp"), "L", gisSchema);
    id->close();
    EXPECT_EQ(readFile(dir.file("river_L.prj")), "\n");
}

TEST_F(Header, APrjLineThatCannotBeWrittenEndsTheRun) {
    const vktest::FullDisk disk(parts.faults, "river_P.prj");
    // The header is written as the layer is created.
    const std::string console = endsRun([&] { openLayer(dir.file("river.shp"), "P", gisSchema); });
    EXPECT_NE(console.find("OK.  File Unit:1004\n\nERROR 0437 - Writing .shp file header.\n"),
              std::string::npos)
        << console;
}

TEST_F(Header, LaterSchemaChangesDoNotReachAHeadedLayer) {
    const auto first = openMif("first.mif");
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"Other", "Integer", 0};
    auto second = openMif("second.mif");
    first->close();
    second->close();
    EXPECT_NE(readFile(dir.file("first.mif"))
                  .find("Columns 2\n"
                        "  Stream_ID Char(100)\n"
                        "  Elevation Float\n"
                        "Data\n"),
              std::string::npos);
    EXPECT_NE(readFile(dir.file("second.mif")).find("Columns 1\n  Other Integer\nData\n"),
              std::string::npos);
}

TEST_F(Header, MoreFieldsThanTheSchemaHoldsAreRefused) {
    gisSchema.fieldCount = vk::GisSchema::kMaxFields + 1;
    const std::string console = endsRun([&] { openLayer(dir.file("wide.mif"), "", gisSchema); });
    EXPECT_EQ(console.substr(console.find("Should not be here")),
              "Should not be here [mifWriteHeader-Columns] - please contact "
              "support@varnokline.example.\n" +
                  std::string(kExitTail));
}

} // namespace
} // namespace vktest
