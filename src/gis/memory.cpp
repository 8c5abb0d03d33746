// The memory dataset: each layer's writer appends its features to the store's arrays.
#include "gis/memory.h"

#include <algorithm>
#include <cmath>

#include "gis/gpkg.h"
#include "text/encoding.h"

namespace vk {

namespace {

class MemoryLayerWriter final : public LayerWriter {
  public:
    explicit MemoryLayerWriter(MemoryStore& store) : store_(store) {}

    GisStatus open(std::string_view name, std::string_view kinds) override {
        layer_ = store_.layers.emplace_back(std::make_unique<MemoryLayer>()).get();
        layer_->name = name;
        layer_->geometry = kinds.empty() ? 0 : kinds[0];
        return {};
    }

    std::span<OutputFile> files() override { return {}; }

    GisStatus header(const GisSchema& schema, const GisProjections&) override {
        for (int k = 0; k < schema.fieldCount; ++k) {
            const GisAttribute& field = schema.fields[static_cast<std::size_t>(k)];
            MemoryColumn& column = layer_->columns.emplace_back();
            column.name = field.name;
            column.numeric = field.type != "Char" && field.type != "Logical";
        }
        return {};
    }

    // Its vertices as a package's geometry holds them: a point's first, a line's n, a polygon's
    // rings; heights for lines and polygons when the layer's first feature had them.
    GisStatus object(GisObject& object) override {
        if (object.kind == GisKind::Unset) return gisFault("[memoryWriteObject-Kind]");
        if (!zDecided_) {
            zDecided_ = true;
            layer_->hasZ = hasParts(object.kind) && object.hasZ();
        }
        if (layer_->geometry == 0) return {};
        const std::size_t n = object.n > 0 ? static_cast<std::size_t>(object.n) : 0;
        switch (object.kind) {
        case GisKind::Point:
            addPart(object, 0, 1, false);
            break;
        case GisKind::Pline:
            addPart(object, 0, n, layer_->hasZ);
            break;
        case GisKind::Region:
            for (int i = 1; i <= object.nr; ++i) {
                const int first = object.ir[static_cast<std::size_t>(i - 1)];
                const int next =
                    i < object.nr ? object.ir[static_cast<std::size_t>(i)] : object.n + 1;
                addPart(object, static_cast<std::size_t>(first - 1),
                        static_cast<std::size_t>(std::max(next - first, 0)), layer_->hasZ);
            }
            break;
        case GisKind::None:
        case GisKind::Unset:
            break;
        }
        return {};
    }

    GisStatus record(const GisObject& object) override {
        MemoryLayer& layer = *layer_;
        // The parts added since the last record are this feature's (none: no geometry).
        layer.parts.push_back(static_cast<std::int64_t>(layer.partStarts.size() - 1));
        ++layer.count;
        for (std::size_t k = 0; k < layer.columns.size(); ++k) {
            MemoryColumn& column = layer.columns[k];
            const GisValue missing = missingValue();
            const GisValue& value = k < object.values.size() ? object.values[k] : missing;
            if (column.numeric)
                column.numbers.push_back(number(value));
            else
                column.codes.push_back(code(column, value));
        }
        return {};
    }

    GisStatus finish() override { return {}; }

  private:
    void addPart(const GisObject& object, std::size_t first, std::size_t count, bool z) {
        MemoryLayer& layer = *layer_;
        const bool heights = z && object.hasZ();
        for (std::size_t j = first; j < first + count; ++j) {
            layer.x.push_back(object.X[j]);
            layer.y.push_back(object.Y[j]);
            if (z) layer.z.push_back(heights ? object.Z[j] : 0.0);
        }
        layer.partStarts.push_back(static_cast<std::int64_t>(layer.x.size()));
    }

    double number(const GisValue& value) {
        switch (value.type) {
        case GisValue::Type::Real:
            return reals_.stored(value.real);
        case GisValue::Type::Integer:
            return static_cast<double>(value.integer);
        case GisValue::Type::Text:
        case GisValue::Type::Missing:
            break;
        }
        return NAN;
    }

    static std::int32_t code(MemoryColumn& column, const GisValue& value) {
        switch (value.type) {
        case GisValue::Type::Text: {
            // Most often the text of the row before (a section's IDs on each of its rows).
            if (!column.codes.empty() && column.codes.back() >= 0 &&
                column.texts[static_cast<std::size_t>(column.codes.back())] == value.text)
                return column.codes.back();
            const auto [at, added] = column.known.try_emplace(
                std::string(value.text), static_cast<std::int32_t>(column.texts.size()));
            if (added) column.texts.push_back(toUtf8(value.text));  // as a package stores it
            return at->second;
        }
        case GisValue::Type::Real:
        case GisValue::Type::Integer:
        case GisValue::Type::Missing:
            break;
        }
        return -1;
    }

    MemoryStore& store_;
    MemoryLayer* layer_ = nullptr;
    bool zDecided_ = false;
    StoredReals reals_;
};

class MemoryDataset final : public GisDataset {
  public:
    MemoryDataset(MemoryStore& store, RunContext& run, const OutputFormat& format,
                  DatasetPlace place)
        : GisDataset(run, format, std::move(place)), store_(store) {}

    std::unique_ptr<GisLayer> createTable(std::string_view name, const GisSchema& schema) override {
        return createLayer(name, "", schema);
    }
    bool tablesAsFiles() const override { return false; }

  protected:
    std::unique_ptr<LayerWriter> makeWriter() override {
        return std::make_unique<MemoryLayerWriter>(store_);
    }

  private:
    MemoryStore& store_;
};

} // namespace

std::unique_ptr<GisDataset> openMemory(MemoryStore& store, RunContext& run,
                                       const OutputFormat& format, DatasetPlace place) {
    const GisProjections& projections = place.projections;
    store.epsg = projections.epsg;
    store.projection =
        projections.packageWkt.empty() ? projections.*format.projection : projections.packageWkt;
    store.folder = place.folder;
    store.base = place.base;
    return std::make_unique<MemoryDataset>(store, run, format, std::move(place));
}

} // namespace vk
