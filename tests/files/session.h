// Shared set-up for the file unit tests: a fresh unit table, a private working folder and a
// console whose output is captured and whose input is scripted.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "support/pipedstdio.h"
#include "support/testfiles.h"

namespace vktest {

class FilesSession : public ::testing::Test {
protected:
    vk::UnitTable units;  // the test's own, in use while it runs
    const vk::UnitTableScope useUnits{units};

    FilesSession() {
        vk::INITFILEUNITS(1000);
        vk::console().captureOutput(&out);
        vk::console().feedInput("");
    }
    ~FilesSession() override {
        vk::INITFILEUNITS(1000);
        vk::console().captureOutput(nullptr);
        vk::console().useStandardInput();
    }

    TempDir dir;
    ScopedCwd cwd{dir.path()};
    std::string out;  // the console transcript
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
