#include "driver/runstate.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <string>

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
    std::array<vk::RunState, kRuns> states;
    std::array<int, kRuns> outputs{}, inputs{};
    auto output = [&](std::size_t i) { return dir.file("out" + std::to_string(i)); };
    for (std::size_t i = 0; i < kRuns; ++i) {
        const vk::RunStateScope use(states[i]);
        vk::console().setQuiet(runs[i].quiet);
        if (runs[i].faulty) vk::sys::setWriteFault({"", 0, ENOSPC, {}});
        if (runs[i].finished) vk::markRunFinished();
        for (int w = 0; w < runs[i].warnings; ++w) vk::console().breakLine("WARNING - a warning");
        vk::OPENER(outputs[i], "BO", output(i));
        vk::unitOutput(outputs[i]).put(std::string(kHalf, 'a'));
        vk::unitOutput(outputs[i]).put(std::string(kHalf, 'b'));
        vk::OPENER(inputs[i], "I ", dir.file("in.txt"));
        if (runs[i].reading) vk::setBackgroundReader(&readers[i]);
    }
    for (std::size_t i = 0; i < kRuns; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        const vk::RunStateScope use(states[i]);
        EXPECT_EQ(vk::console().alertLines(), runs[i].warnings);
        caller.out.clear();
        vk::console().line("progress");
        EXPECT_EQ(caller.out, runs[i].quiet ? "" : "progress\n");
        EXPECT_EQ(vk::unitOutput(outputs[i]).flush(), !runs[i].faulty);
        EXPECT_EQ(vktest::readFile(output(i)).size(), runs[i].faulty ? 0 : 2 * kHalf);
        vk::CLOSER(inputs[i]);
        EXPECT_EQ(readers[i].told, runs[i].reading ? 1 : 0);
        EXPECT_EQ(vktest::endStatus(vk::EXITS), runs[i].status);
    }
    EXPECT_FALSE(vk::console().quiet());
    EXPECT_EQ(vk::console().alertLines(), 0);
}

}  // namespace
