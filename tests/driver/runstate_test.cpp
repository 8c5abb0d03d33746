#include "driver/runstate.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "driver/driver_session.h"
#include "support/testfiles.h"

namespace {

// Runs in one process share nothing: what one sets (a quiet console, a write fault, its finish, a
// reader registered with its units, its warnings) is not seen by another, however their uses
// interleave, and the caller's console is as it was. A write handed to the write-behind thread
// fails through its own run's fault: the file stays empty.
TEST(RunState, RunsInOneProcessDoNotSeeEachOthersSettings) {
    struct Reader final : vk::BackgroundReader {
        int told = 0;
        void lettingGo(const vk::LineReader&) override { ++told; }
    };
    const struct {
        bool quiet, faulty, finished, reading;
        int warnings;
        int status;  // of EXITS: 0 only for a finished run whose files were all written
    } runs[] = {{false, false, false, false, 0, 1},
                {true, true, true, true, 2, 1},
                {true, false, true, false, 1, 0}};
    constexpr std::size_t kRuns = std::size(runs);
    constexpr std::size_t kHalf = 100 * 1024;  // two of them hand the first to the writing thread
    vktest::DriverSession caller;
    vktest::TempDir dir;
    vktest::writeFile(dir.file("in.txt"), "x\n");
    std::array<Reader, kRuns> readers;  // outlive the runs' unit tables
    std::vector<std::unique_ptr<vk::RunState>> states;
    std::array<int, kRuns> outputs{}, inputs{};
    auto output = [&](std::size_t i) { return dir.file("out" + std::to_string(i)); };
    for (std::size_t i = 0; i < kRuns; ++i) {
        vk::RunState& state = *states.emplace_back(std::make_unique<vk::RunState>(caller.terminal));
        state.console.setQuiet(runs[i].quiet);
        if (runs[i].faulty) vk::sys::setWriteFault(state.writeFaults, {"", 0, ENOSPC, {}});
        if (runs[i].finished) vk::markRunFinished(state.exit);
        for (int w = 0; w < runs[i].warnings; ++w) state.console.breakLine("WARNING - a warning");
        vk::OPENER(state.context, outputs[i], "BO", output(i));
        vk::unitOutput(state.units, outputs[i]).put(std::string(kHalf, 'a'));
        vk::unitOutput(state.units, outputs[i]).put(std::string(kHalf, 'b'));
        vk::OPENER(state.context, inputs[i], "I ", dir.file("in.txt"));
        if (runs[i].reading) vk::setBackgroundReader(state.units, &readers[i]);
    }
    for (std::size_t i = 0; i < kRuns; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        vk::RunState& state = *states[i];
        EXPECT_EQ(state.console.alertLines(), runs[i].warnings);
        caller.out.clear();
        state.console.line("progress");
        EXPECT_EQ(caller.out, runs[i].quiet ? "" : "progress\n");
        EXPECT_EQ(vk::unitOutput(state.units, outputs[i]).flush(), !runs[i].faulty);
        EXPECT_EQ(vktest::readFile(output(i)).size(), runs[i].faulty ? 0 : 2 * kHalf);
        vk::CLOSER(state.context, inputs[i]);
        EXPECT_EQ(readers[i].told, runs[i].reading ? 1 : 0);
        EXPECT_EQ(vktest::endStatus([&] { vk::EXITS(state.context); }), runs[i].status);
    }
    EXPECT_FALSE(caller.console().quiet());
    EXPECT_EQ(caller.console().alertLines(), 0);
}

}  // namespace
