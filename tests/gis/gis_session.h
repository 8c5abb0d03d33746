// A fresh run for each GIS writer test: a unit table and datasets of its own, the console captured and its input empty, and a private folder for the layers.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/mif.h"
#include "gis/shapefile.h"
#include "shapebytes.h"
#include "support/testfiles.h"

namespace vktest {

// What EXITS writes after the caller's message: an empty line and the closing pause.
inline constexpr std::string_view kExitTail = "\nPress Enter to Close\n";

class GisSession : public ::testing::Test, protected OwnGisState {
  protected:

    void SetUp() override {
        console().captureOutput(&transcript);
        console().feedInput("");
        vk::INITFILEUNITS(run, 1000);
    }

    void TearDown() override {
        vk::INITFILEUNITS(run, 1000);
        console().captureOutput(nullptr);
    }

    // Runs a step that must end the run; returns what it wrote to the console (the transcript
    // before it is cleared first) and checks that the run ended with a failure status.
    std::string endsRun(const std::function<void()>& step) {
        transcript.clear();
        try {
            step();
        } catch (const vk::RunEnd& end) {
            EXPECT_EQ(end.status, 1);
            return transcript;
        }
        ADD_FAILURE() << "the run went on; console:\n" << transcript;
        return transcript;
    }

    // Opens a MIF layer in the test folder and writes its header from the schema as it stands.
    Layer openMif(std::string_view name) {
        Layer layer = openLayer(dir.file(name), "", gisSchema);
        initialiseObject(gisO_);
        return layer;
    }

    // The writer of an open layer as its format's class; the test fails (throws) for another.
    template <class Writer> static Writer& writerOf(const Layer& layer) {
        auto* writer = dynamic_cast<Writer*>(&layer->writer());
        if (writer == nullptr) throw std::runtime_error("layer has no writer of that format");
        return *writer;
    }
    static vk::ShapefileLayerWriter& shapefile(const Layer& layer) {
        return writerOf<vk::ShapefileLayerWriter>(layer);
    }
    static vk::MifLayerWriter& mifPair(const Layer& layer) {
        return writerOf<vk::MifLayerWriter>(layer);
    }

    // Puts vertices into gisO_ and sets its vertex count.
    void setVertices(std::initializer_list<std::pair<double, double>> points) {
        int n = 0;
        for (const auto& [x, y] : points) {
            gisO_.X[static_cast<std::size_t>(n)] = x;
            gisO_.Y[static_cast<std::size_t>(n)] = y;
            ++n;
        }
        gisO_.n = n;
    }

    void setParts(std::initializer_list<int> firsts) {
        int nr = 0;
        for (int first : firsts)
            gisO_.ir[static_cast<std::size_t>(nr++)] = first;
        gisO_.nr = nr;
    }

    std::string transcript;
    TempDir dir;
};

} // namespace vktest
