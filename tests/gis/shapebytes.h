// Helpers for the Shapefile and dBASE writer tests: reading numbers out of file bytes in a stated
// byte order and running a routine that may end the run (support/writefaults.h makes writes fail
// where a test wants them to).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/gis.h"
#include "gis/registry.h"
#include "gis/shapefile.h"
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

// The test's own run state, in use for its lifetime, and names for its parts.
struct OwnGisState {
    vk::UnitTable units;
    const vk::UnitTableScope useUnits{units};
    vk::GisState gis;
    const vk::GisStateScope useGis{gis};
    vk::GisObject gisO_;
    vk::GisSchema gisSchema;
    std::string& shpProjection = gis.projections.shp;
    std::string& mifProjection = gis.projections.mif;
    std::array<std::string, 4>& gisErrorText = gis.errorText;
};

// A fresh run: file units and GIS library reset, console captured, no console input.
class GisFileTest : public ::testing::Test, protected OwnGisState {
  protected:

    void SetUp() override {
        vk::console().captureOutput(&transcript);
        vk::console().feedInput("");
        vk::INITFILEUNITS(1000);
        vk::gisResetAll();
        vk::resetRunFinished();
    }
    void TearDown() override {
        vk::closeAllUnitsQuietly();
        vk::console().captureOutput(nullptr);
        vk::console().useStandardInput();
    }
    bool transcriptHas(std::string_view text) const {
        return transcript.find(text) != std::string::npos;
    }
    // The writer of an open Shapefile layer; the test fails (throws) for another.
    static vk::ShapefileLayerWriter& shapefile(int id) {
        auto* writer = dynamic_cast<vk::ShapefileLayerWriter*>(vk::gisLayer(id).writer.get());
        if (writer == nullptr) throw std::runtime_error("not a Shapefile layer");
        return *writer;
    }

    TempDir dir;
    std::string transcript;
};

}  // namespace vktest
