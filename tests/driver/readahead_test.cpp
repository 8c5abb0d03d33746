#include "driver/readahead.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "driver/driver_session.h"
#include "files/units.h"
#include "support/testfiles.h"
#include "text/fixedpoint.h"

namespace {

std::string fixedText(double value, int decimals) {
    std::string out;
    vk::appendFixedWide(out, value, 0, decimals);
    return out;
}

// An output side that writes to the console as the conversion does (so that its messages and the
// reader's must come out interleaved exactly as on one thread) and keeps a digest of every value
// handed to it. `onSection` may act in the middle of the run (end it, close the input).
class TalkingConsumer : public vk::SdfConsumer {
  public:
    std::string digest;
    int sections = 0;
    std::function<void(int)> onSection;
    vk::Console* console = nullptr;  // the run's

    void centreline(const vk::SdfIds& ids, vk::GisObject& line) override {
        console->line("centreline of" + ids.reachId + ": " + std::to_string(line.n));
        for (int i = 0; i < line.n; ++i)
            digest += fixedText(line.X[static_cast<std::size_t>(i)], 3) + ";";
    }
    void streamNetworkDone() override { console->breakLine("network written"); }
    void section(const vk::SdfIds& ids, const vk::SdfSection& s) override {
        ++sections;
        console->write("Trying section" + s.station + "...");
        digest += ids.streamId + "|" + ids.reachId + "|" + s.station + "|";
        // Every declared block, whether the section has it or not: its flag and all it holds.
        for (const vk::SdfBlock& block : vk::kSdfBlocks) {
            digest += std::to_string(s.*block.present) + std::to_string(s.*block.count) + ":";
            for (const vk::SdfColumn& column : block.used())
                std::visit(
                    [&](auto values) {
                        for (const auto& value : s.*values) {
                            if constexpr (std::is_same_v<decltype(value), const std::string&>)
                                digest += value + ",";
                            else
                                digest += fixedText(value, 6) + ",";
                        }
                    },
                    column);
        }
        digest += "\n";
        if (onSection) onSection(sections);
        console->endLine();
        console->line("written");
    }
    void crossSectionsDone() override { console->breakLine("sections written"); }
};

struct Outcome {
    std::string transcript;
    std::string digest;
    int status = 0; // -1: read to the end
    int sections = 0;
    std::int64_t alerts = 0; // warning and error messages on the console
};

// Reads the export at `path` (opened as a unit, as a run opens it) on one thread, or ahead, in a
// run whose console is quiet or not.
Outcome readExport(const std::string& path, bool ahead,
                   const std::function<void(vk::RunContext&, int, int)>& onSection = {},
                   bool quiet = false) {
    vktest::DriverSession session;
    vk::RunContext& run = session.run;
    run.console.setQuiet(quiet);
    Outcome o;
    TalkingConsumer consumer;
    consumer.console = &run.console;
    int unit = 0;
    vk::OPENER(run, unit, "I ", path);
    if (onSection) consumer.onSection = [&](int n) { onSection(run, n, unit); };
    vk::GisObject line;
    vk::SdfSection section;
    vk::ReadAhead readAhead(run, consumer);
    vk::SdfConsumer& out = ahead ? static_cast<vk::SdfConsumer&>(readAhead) : consumer;
    vk::SdfReader reader(vk::unitInput(run.units, unit), true, line, section, out);
    const std::int64_t alertsBefore = run.console.alertLines();
    o.status = vktest::endStatus([&] {
        if (ahead)
            readAhead.read(reader);
        else
            reader.read(run);
    });
    o.alerts = run.console.alertLines() - alertsBefore;
    o.transcript = session.out;
    o.digest = consumer.digest;
    o.sections = consumer.sections;
    return o;
}

// An export of `count` sections, each different, with the irregularities the reader reports on
// the console: a section without a station line keeps the one before, levee blocks with one,
// two, three or no markers, a missing ID line.
std::string manySections(int count, int points = 3) {
    std::string text = "BEGIN STREAM NETWORK:\nREACH:\n STREAM ID: Creek\n REACH ID: Main\n"
                       " CENTERLINE:\n  1.5, 2.5\n  3.25, 4.75\n END:\nEND STREAM NETWORK:\n"
                       "BEGIN CROSS-SECTIONS:\n";
    for (int k = 0; k < count; ++k) {
        const std::string n = std::to_string(k);
        text += "CROSS-SECTION:\n STREAM ID: Creek\n";
        text += k % 11 == 5 ? " RIVER: none\n" : " REACH ID: Main " + std::to_string(k / 10) + "\n";
        text += k % 7 == 3 ? " NODE NAME: x\n" : " STATION: " + std::to_string(1000 - k) + ".5\n";
        if (k % 3 == 0) text += " CUT LINE:\n  " + n + ", 7\n  8, " + n + ".5\n";
        if (k % 2 == 0) text += " NVALUES:\n  0, 0.05\n  0.4, 0.03" + n + "\n";
        if (k % 4 != 1) {
            text += " LEVEE POSITIONS:\n";
            for (int m = 0; m < k % 4; ++m)
                text += "  L" + std::to_string(m) + ", 0." + std::to_string(2 + 3 * m) + ", 1" + n +
                        "\n";
        }
        text += " SURFACE LINE:\n";
        for (int p = 0; p < points + k % 5; ++p)
            text += "  " + std::to_string(100 + p) + "." + n + ", 20" + n + ", " +
                    std::to_string(p * 3 % 7) + ".25\n";
        text += "END:\n";
    }
    return text + "END CROSS-SECTIONS:\n";
}

class ReadAheadTest : public ::testing::Test {
  protected:
    std::string write(const std::string& text) {
        vktest::writeFile(dir.file("river.sdf"), text);
        return dir.file("river.sdf");
    }
    vktest::TempDir dir;
};

// Exports read to the end, cut off inside a section (a read error in the middle) and cut in
// every block: the transcript, the status and every value handed over are those of a reading on
// one thread, for fewer sections than the reader may run ahead and for many more.
TEST_F(ReadAheadTest, GivesWhatOneThreadGives) {
    const std::string whole = manySections(150);
    std::vector<std::string> exports = {manySections(1), manySections(5), whole};
    for (const std::size_t cut : {whole.size() / 3, whole.size() / 2 + 17, whole.size() - 30})
        exports.push_back(whole.substr(0, whole.find('\n', cut) + 1));
    exports.push_back(whole.substr(0, whole.find("SURFACE LINE", whole.size() / 2)) +
                      " SURFACE LINE:\n  1, 2, x\n");
    // Without the end of the network: the line that begins the cross-sections ends the network
    // and is tested again by the reading thread.
    std::string noEnd = manySections(20);
    noEnd.erase(noEnd.find("END STREAM NETWORK:\n"), 20);
    exports.push_back(noEnd);
    for (const std::string& text : exports) {
        const std::string path = write(text);
        const Outcome one = readExport(path, false);
        const Outcome ahead = readExport(path, true);
        EXPECT_EQ(ahead.status, one.status);
        EXPECT_EQ(ahead.sections, one.sections);
        EXPECT_EQ(ahead.digest, one.digest);
        EXPECT_EQ(ahead.transcript, one.transcript);
        EXPECT_EQ(ahead.alerts, one.alerts);
    }
    EXPECT_EQ(readExport(write(noEnd), true).sections, 20);
    const Outcome full = readExport(write(whole), true);
    EXPECT_EQ(full.status, -1);
    EXPECT_EQ(full.sections, 150);
    // Of 150 sections: 14 without a REACH ID line, 21 without a station line, 38 levee blocks
    // without markers and 37 with three.
    EXPECT_EQ(full.alerts, 14 + 21 + 38 + 37);
    EXPECT_NE(full.transcript.find("WARNING - More than two levee points detected"),
              std::string::npos);
}

// Sections of tens of thousands of points: fewer of them wait for the output side, and their
// storage is given back after them; what arrives is the same.
TEST_F(ReadAheadTest, LargeSectionsReadTheSame) {
    const std::string path = write(manySections(14, 30000));
    const Outcome one = readExport(path, false);
    const Outcome ahead = readExport(path, true);
    EXPECT_EQ(ahead.status, -1);
    EXPECT_EQ(ahead.sections, 14);
    EXPECT_EQ(ahead.digest, one.digest);
    EXPECT_EQ(ahead.transcript, one.transcript);
}

// The output side ends the run while the reader is sections ahead: the run ends there, as on one
// thread, and the reading thread is gone.
TEST_F(ReadAheadTest, AnEndOfTheRunOnTheOutputSideStopsTheReader) {
    const std::string path = write(manySections(200));
    auto endAtSection7 = [](vk::RunContext& run, int n, int) {
        if (n == 7) vk::EXITS(run);
    };
    const auto started = std::chrono::steady_clock::now();
    const Outcome one = readExport(path, false, endAtSection7);
    const Outcome ahead = readExport(path, true, endAtSection7);
    EXPECT_EQ(ahead.status, 1);
    EXPECT_EQ(ahead.sections, 7);
    EXPECT_EQ(ahead.transcript, one.transcript);
    EXPECT_EQ(ahead.digest, one.digest);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

// The output side lets go of the input in the middle (as the opener does when told to close a
// file that is open) while the reader is sections ahead, or waits for room, or has read to the
// end: nothing read after the close is used, and the run ends exactly as on one thread, with the
// read after that section's last line failing. Where the cross-sections end on that very line,
// the run finishes as on one thread.
TEST_F(ReadAheadTest, TheInputClosedMidwayEndsAsOnOneThread) {
    const std::string many = manySections(300);
    std::string endsOnTheLine = manySections(4);
    endsOnTheLine.replace(endsOnTheLine.rfind("END:\nEND CROSS"), 19, "END: END CROSS-SECTIONS\n");
    const struct {
        std::string text;
        int closeAt;
        int status; // on one thread: 1 the read after the close failed, -1 read to the end
    } cases[] = {{many, 1, 1},          {many, 3, 1},
                 {many, 64, 1},         {many, 150, 1},
                 {many, 300, 1},        {manySections(5), 2, 1},
                 {manySections(14, 30000), 3, 1}, {endsOnTheLine, 4, -1},
                 {endsOnTheLine, 3, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE("closed at section " + std::to_string(c.closeAt));
        const std::string path = write(c.text);
        auto closeInput = [&](vk::RunContext& run, int n, int unit) {
            if (n == c.closeAt) vk::CLOSER(run, unit);
        };
        const Outcome one = readExport(path, false, closeInput);
        EXPECT_EQ(one.status, c.status);
        EXPECT_EQ(one.sections, c.closeAt);
        EXPECT_NE(one.transcript.find("...Closed File Unit:1001"), std::string::npos);
        // Repeated: a result that depends on how far the reader got would show.
        for (int round = 0; round < 5; ++round) {
            const Outcome ahead = readExport(path, true, closeInput);
            EXPECT_EQ(ahead.status, one.status);
            EXPECT_EQ(ahead.sections, one.sections);
            EXPECT_EQ(ahead.digest, one.digest);
            ASSERT_EQ(ahead.transcript, one.transcript);
        }
        // A quiet console names the place of the failed read as on one thread.
        const Outcome quietOne = readExport(path, false, closeInput, true);
        const Outcome quietAhead = readExport(path, true, closeInput, true);
        EXPECT_EQ(quietAhead.transcript, quietOne.transcript);
        EXPECT_NE(quietOne.transcript, one.transcript) << "the run was quiet";
    }
}

TEST_F(ReadAheadTest, RealExportsReadTheSame) {
    const std::string dir = vktest::realDataDir();
    if (dir.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata); skipped";
    for (const char* name : {"/wailupe-import.sdf", "/baldeagle-export-crlf.sdf",
                             "/gisplugin-structures-import.sdf", "/cad-acequia-crlf.sdf"}) {
        if (!vktest::fileExists(dir + name)) continue;
        const Outcome one = readExport(dir + name, false);
        const Outcome ahead = readExport(dir + name, true);
        EXPECT_EQ(ahead.status, one.status) << name;
        EXPECT_GT(ahead.sections, 18) << name;
        EXPECT_EQ(ahead.digest, one.digest) << name;
        EXPECT_EQ(ahead.transcript, one.transcript) << name;
        EXPECT_EQ(ahead.alerts, one.alerts) << name;
    }
}

} // namespace
