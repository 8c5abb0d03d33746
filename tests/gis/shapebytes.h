// Helpers for the Shapefile and dBASE writer tests: reading numbers out of file bytes in a stated
// byte order and running a routine that may end the run (support/writefaults.h makes writes fail
// where a test wants them to).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/dataset.h"
#include "gis/formats.h"
#include "gis/shapefile.h"
#include "support/runparts.h"
#include "support/testfiles.h"
#include "support/writefaults.h"

namespace vktest {

inline std::uint32_t byteAt(std::string_view bytes, std::size_t offset) {
    return static_cast<unsigned char>(bytes.at(offset));
}

inline std::int32_t readI32be(std::string_view bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | byteAt(bytes, offset + i);
    return static_cast<std::int32_t>(v);
}

inline std::int32_t readI32le(std::string_view bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;)
        v = (v << 8) | byteAt(bytes, offset + i);
    return static_cast<std::int32_t>(v);
}

inline int readU16le(std::string_view bytes, std::size_t offset) {
    return static_cast<int>(byteAt(bytes, offset) | (byteAt(bytes, offset + 1) << 8));
}

inline double readF64le(std::string_view bytes, std::size_t offset) {
    std::uint64_t bits = 0;
    for (std::size_t i = 8; i-- > 0;)
        bits = (bits << 8) | byteAt(bytes, offset + i);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Calls f and reports whether it ended the run through EXITS.
template <class F> bool endsRun(F&& f) {
    try {
        f();
    } catch (const vk::RunEnd&) {
        return true;
    }
    return false;
}

using Layer = std::unique_ptr<vk::GisLayer>;

// The object as a producer starts one: without a kind, one part from vertex 1.
inline void initialiseObject(vk::GisObject& object) {
    object.kind = vk::GisKind::Unset;
    object.reserveParts(1);
    object.nr = 1;
    object.ir[0] = 1;
    object.typeName.clear();
}

// The test's own run (console, file units, end), and a dataset per format for its layers.
struct OwnGisState {
    vktest::RunParts parts;
    vk::RunContext& run = parts.run;
    vk::UnitTable& units = parts.units;
    vk::Console& console() { return parts.con; }
    vk::GisObject gisO_;
    vk::GisSchema gisSchema;
    vk::GisProjections projections;
    std::string& shpProjection = projections.shp;
    std::string& mifProjection = projections.mif;
    // By option; each opened at its first layer, with the projections as they are then.
    std::map<std::string, std::unique_ptr<vk::GisDataset>, std::less<>> datasets;

    vk::GisDataset& dataset(std::string_view option) {
        auto& dataset = datasets[std::string(option)];
        if (!dataset) {
            const vk::OutputFormat& format = outputFormatNamed(option);
            dataset = format.openDataset(run, format, {"", "", projections, 0, {}});
        }
        return *dataset;
    }
    // A layer of the dataset of the format its name's extension says (".shp", else MIF), headed.
    Layer openLayer(const std::string& name, std::string_view kinds, const vk::GisSchema& schema) {
        const bool shp = name.find(".shp") != std::string::npos;
        return dataset(shp ? "shp" : "mif").createLayer(name, kinds, schema);
    }
    static const vk::OutputFormat& outputFormatNamed(std::string_view option) {
        for (const vk::OutputFormat& format : vk::outputFormats())
            if (format.option == option) return format;
        throw std::runtime_error("no such format");
    }
};

// A fresh run: file units and GIS library reset, console captured, no console input.
class GisFileTest : public ::testing::Test, protected OwnGisState {
  protected:

    void SetUp() override {
        console().captureOutput(&transcript);
        console().feedInput("");
        vk::INITFILEUNITS(run, 1000);
    }
    void TearDown() override {
        vk::closeAllUnitsQuietly(units);
        console().captureOutput(nullptr);
    }
    bool transcriptHas(std::string_view text) const {
        return transcript.find(text) != std::string::npos;
    }
    // The writer of an open Shapefile layer; the test fails (throws) for another.
    static vk::ShapefileLayerWriter& shapefile(const Layer& layer) {
        auto* writer = dynamic_cast<vk::ShapefileLayerWriter*>(&layer->writer());
        if (writer == nullptr) throw std::runtime_error("not a Shapefile layer");
        return *writer;
    }

    TempDir dir;
    std::string transcript;
};

}  // namespace vktest
