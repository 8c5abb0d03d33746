// Shared set-up for the file unit tests: a run's parts of their own (console, write faults, unit
// table, end), a private working folder and a console whose output is captured and whose input
// is scripted.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "support/pipedstdio.h"
#include "support/runparts.h"
#include "support/testfiles.h"

namespace vktest {

class FilesSession : public ::testing::Test {
protected:
    std::string out;  // the console transcript (first: it outlives the console writing to it)
    RunParts parts;
    vk::RunContext& run = parts.run;
    vk::UnitTable& units = parts.units;
    vk::Console& console() { return parts.con; }

    FilesSession() {
        vk::INITFILEUNITS(run, 1000);
        console().captureOutput(&out);
        console().feedInput("");
    }
    ~FilesSession() override { vk::INITFILEUNITS(run, 1000); }

    TempDir dir;
    ScopedCwd cwd{dir.path()};
};

// Runs a routine that should end the run; its exit status, or -1 when it returned instead.
template <class Routine> int endStatus(Routine&& routine) {
    try {
        std::forward<Routine>(routine)();
    } catch (const vk::RunEnd& end) {
        return end.status;
    }
    return -1;
}

}  // namespace vktest
