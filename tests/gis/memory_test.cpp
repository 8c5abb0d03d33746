// The memory dataset: each kind of feature as coordinate arrays and parts, the heights as a
// package decides them, typed columns, and tables without .csv files.
#include <cmath>

#include "gis/memory.h"
#include "gis_session.h"

namespace vktest {
namespace {

using vk::GisKind;

struct Feature {
    GisKind kind;
    std::vector<double> x, y, z;
    std::vector<int> ir;  // first vertex of each part
    std::vector<vk::GisValue> values;
};

struct Expected {
    std::vector<std::int64_t> parts, partStarts;
    std::vector<double> x, z;
    bool hasZ;
};

struct Case {
    const char* kinds;
    std::vector<Feature> features;
    Expected expected;
};

class MemoryLayers : public GisSession {
  protected:
    vk::MemoryStore store;
    std::unique_ptr<vk::GisDataset> memory =
        vk::openMemory(store, run, outputFormatNamed("gpkg"), {"out/", "x", projections, 0, {}});

    void write(vk::GisLayer& layer, const Feature& f) {
        gisO_.kind = f.kind;
        gisO_.n = static_cast<int>(f.x.size());
        std::copy(f.x.begin(), f.x.end(), gisO_.X.begin());
        std::copy(f.y.begin(), f.y.end(), gisO_.Y.begin());
        gisO_.Z = f.z;
        gisO_.nr = std::max<int>(1, static_cast<int>(f.ir.size()));
        gisO_.ir[0] = 1;
        std::copy(f.ir.begin(), f.ir.end(), gisO_.ir.begin());
        gisO_.values = f.values;
        layer.writeObject(gisO_);
        layer.writeRecord(gisO_);
    }
};

const std::vector<Case> kCases = {
    // A point is its first vertex, never with a height.
    {"P", {{GisKind::Point, {1, 9}, {2, 9}, {3, 9}, {}, {}}, {GisKind::None, {}, {}, {}, {}, {}}},
     {{0, 1, 1}, {0, 1}, {1}, {}, false}},
    // The first line's heights decide the layer's; a later line without them has 0.
    {"L", {{GisKind::Pline, {1, 2}, {1, 2}, {5, 6}, {}, {}}, {GisKind::Pline, {3, 4, 5}, {3, 4, 5}, {}, {}, {}}},
     {{0, 1, 2}, {0, 2, 5}, {1, 2, 3, 4, 5}, {5, 6, 0, 0, 0}, true}},
    {"L", {{GisKind::Pline, {1, 2}, {1, 2}, {}, {}, {}}, {GisKind::Pline, {3, 4}, {3, 4}, {7, 8}, {}, {}}},
     {{0, 1, 2}, {0, 2, 4}, {1, 2, 3, 4}, {}, false}},
    // A polygon of two rings, then a feature without geometry.
    {"R", {{GisKind::Region, {0, 4, 4, 0, 1, 2, 1}, {0, 0, 4, 0, 1, 1, 1}, {}, {1, 5}, {}},
           {GisKind::None, {}, {}, {}, {}, {}}},
     {{0, 2, 2}, {0, 4, 7}, {0, 4, 4, 0, 1, 2, 1}, {}, false}},
};

TEST_F(MemoryLayers, FeaturesBecomeCoordinateArraysAndParts) {
    gisSchema.fieldCount = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.kinds + std::to_string(store.layers.size()));
        auto layer = memory->createLayer("out/x_layer.gpkg", c.kinds, gisSchema);
        for (const Feature& f : c.features) write(*layer, f);
        layer->close();
        const vk::MemoryLayer& got = *store.layers.back();
        EXPECT_EQ(got.name, "out/x_layer.gpkg");
        EXPECT_EQ(got.geometry, c.kinds[0]);
        EXPECT_EQ(got.count, c.features.size());
        EXPECT_EQ(got.parts, c.expected.parts);
        EXPECT_EQ(got.partStarts, c.expected.partStarts);
        EXPECT_EQ(got.x, c.expected.x);
        EXPECT_EQ(got.z, c.expected.z);
        EXPECT_EQ(got.hasZ, c.expected.hasZ);
    }
}

TEST_F(MemoryLayers, ValuesAreTypedColumnsAndTablesAreLayersWithoutFiles) {
    gisSchema.fieldCount = 3;
    gisSchema.fields[0] = {"Name", "Char", 10};
    gisSchema.fields[1] = {"Z", "Float", 0, 8, 4};
    gisSchema.fields[2] = {"Count", "Integer"};
    auto table = memory->createTable("out/x_tables.gpkg", gisSchema);
    ASSERT_TRUE(table);
    EXPECT_FALSE(memory->tablesAsFiles());
    const vk::GisValue count{vk::GisValue::Type::Integer, {}, 0, 7};
    const std::vector<std::vector<vk::GisValue>> rows = {
        {vk::textValue("a"), vk::realValue(static_cast<float>(319.03)), count},
        {vk::textValue("a"), vk::missingValue(), vk::missingValue()},
        {vk::textValue("b\xD1"), vk::textValue("text in a number")},  // the last one left out
        {vk::missingValue(), vk::realValue(0.5), count},
        {vk::textValue("a")},
    };
    for (const auto& values : rows) write(*table, {GisKind::None, {}, {}, {}, {}, values});
    table->close();
    const vk::MemoryLayer& got = *store.layers.back();
    EXPECT_EQ(got.geometry, 0);
    EXPECT_EQ(got.parts, (std::vector<std::int64_t>(6, 0)));
    EXPECT_EQ(got.columns[0].codes, (std::vector<std::int32_t>{0, 0, 1, -1, 0}));
    EXPECT_EQ(got.columns[0].texts, (std::vector<std::string>{"a", "b\xC3\x91"}));
    const std::vector<double>& z = got.columns[1].numbers;
    ASSERT_EQ(z.size(), 5u);
    EXPECT_EQ(z[0], 319.03);  // the decimal a single-precision value stands for, as a package keeps it
    EXPECT_TRUE(std::isnan(z[1]) && std::isnan(z[2]) && std::isnan(z[4]));
    EXPECT_EQ(z[3], 0.5);
    const std::vector<double>& n = got.columns[2].numbers;
    EXPECT_TRUE(n[0] == 7 && std::isnan(n[1]) && std::isnan(n[2]) && n[3] == 7 && std::isnan(n[4]));
    EXPECT_TRUE(vk::outputFormats()[0].openDataset(run, vk::outputFormats()[0], {})->tablesAsFiles());
}

} // namespace
} // namespace vktest
