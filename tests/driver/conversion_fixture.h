// A conversion into MIF/MID layers inside a private folder (the current folder for the test's
// lifetime), with the console captured and console input ended.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "driver/driver_session.h"
#include "driver/output.h"
#include "driver/runstate.h"
#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "support/testfiles.h"

namespace vktest {

inline constexpr std::string_view kTestCoordSys = "CoordSys Earth Projection 1, 104";

class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        vk::INITFILEUNITS(run, 1000);
        settings.projections.mif = std::string(kTestCoordSys);
        terminal.captureOutput(&transcript);
        terminal.feedInput("");
        settings.chosenFormat = &outputFormat("mif");
        vk::setInputName(settings, "river.sdf");
    }

    void TearDown() override {
        vk::closeAllUnitsQuietly(state.units);
        terminal.captureOutput(nullptr);
    }

    // Creates the stream layer and, with no reach, the five cross-section layers; the transcript
    // then starts empty for what the test does next.
    void openSectionLayers() {
        output.openStreamLayer();
        output.streamNetworkDone();
        transcript.clear();
    }

    std::string read(std::string_view name) const { return readFile(dir.file(name)); }

    // The objects of a .mif file: everything after its header.
    std::string mifBody(std::string_view name) const {
        const std::string text = read(name);
        const std::size_t data = text.find("Data\n\n");
        if (data == std::string::npos) {
            ADD_FAILURE() << name << " has no Data line";
            return text;
        }
        return text.substr(data + 6);
    }

    std::string transcript;
    vk::Console terminal;  // captured into the transcript
    vk::RunState state{terminal};  // the test's own run
    vk::RunContext& run = state.context;
    vk::Console& console() { return state.console; }
    TempDir dir;
    ScopedCwd cwd{dir.path()};
    vk::RunSettings settings;
    vk::ConversionOutput output{state, settings};
};

}  // namespace vktest
