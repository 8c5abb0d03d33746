#include "files/console.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "session.h"
#ifndef _WIN32
#include <fcntl.h>

#include "support/terminal.h"
#endif

namespace {

using vk::Console;

// A console of its own, so that these tests do not depend on the shared one.
class ConsoleTest : public ::testing::Test {
protected:
    ConsoleTest() { c.captureOutput(&out); }
    Console c;
    std::string out;
};

TEST_F(ConsoleTest, MessagesProduceTheirExactBytesAndTrackTheOpenLine) {
    c.write("Trying to open file x...");
    c.write("");
    c.line("OK.");
    c.endLine();  // nothing open: no byte
    c.breakLine("after a closed line");
    c.write("prompt: ");
    c.breakLine("after an open line");
    c.listLine("list");
    c.listLine("");
    c.line();
    EXPECT_EQ(out,
              "Trying to open file x...OK.\n"
              "\nafter a closed line\n"
              "prompt: \nafter an open line\n"
              " list\n"
              "\n"
              "\n");
    c.write("open");
    c.endLine();
    c.endLine();
    EXPECT_EQ(out.substr(out.size() - 5), "open\n");
    c.line("R\xEDo \xC3\x91uble");  // an ID in Windows-1252 and one in UTF-8: both shown in UTF-8
    EXPECT_TRUE(out.ends_with("open\nR\xC3\xADo \xC3\x91uble\n"));
}

TEST_F(ConsoleTest, WarningAndErrorMessagesAreCounted) {
    c.breakLine("WARNING - one");
    c.listLine("ERROR - two");
    c.breakLine("Found CENTERLINE on line 5");
    c.line("Error Creek_Upper_100"); // a line that completes a message is not a message
    c.write("Warning - written without a line end");
    EXPECT_EQ(c.alertLines(), 2);
}

TEST_F(ConsoleTest, MessagesOfARecordingCountWhenReplayed) {
    vk::ConsoleRecording recording;
    std::thread beside([&] {
        Console rec(recording);
        rec.breakLine("Error Expecting REACH ID: on 7");
        rec.breakLine("End of section processing... ");
        rec.breakLine("WARNING - Only one levee points detected for section. Line number: 9");
    });
    beside.join();
    EXPECT_EQ(c.alertLines(), 0);
    EXPECT_FALSE(recording.empty());
    c.breakLine("Warning - here");
    c.replay(recording);
    EXPECT_EQ(c.alertLines(), 3);
    EXPECT_TRUE(recording.empty());
    c.replay(recording); // replayed once only
    EXPECT_EQ(c.alertLines(), 3);
}

TEST_F(ConsoleTest, WriteEndingInLineFeedLeavesNoOpenLine) {
    c.write("two\nlines\n");
    c.endLine();
    c.write("a\nb");
    c.endLine();
    EXPECT_EQ(out, "two\nlines\na\nb\n");
}

TEST_F(ConsoleTest, FedRepliesAreSplitAtLineFeedsWithCarriageReturnsDropped) {
    c.feedInput("first\r\n\nmid\rdle\nlast");
    std::string reply = "stale";
    ASSERT_TRUE(c.readLine(reply, 100));
    EXPECT_EQ(reply, "first");
    ASSERT_TRUE(c.readLine(reply, 100));
    EXPECT_EQ(reply, "");
    ASSERT_TRUE(c.readLine(reply, 100));
    EXPECT_EQ(reply, "mid\rdle") << "only a carriage return before the line feed is dropped";
    ASSERT_TRUE(c.readLine(reply, 100));
    EXPECT_EQ(reply, "last") << "a last reply without a line feed is still a reply";
    EXPECT_FALSE(c.readLine(reply, 100));
    EXPECT_EQ(reply, "");
    EXPECT_FALSE(c.readLine(reply, 100)) << "the end of input stays the end";
    EXPECT_EQ(out, "") << "reading writes nothing";
}

TEST_F(ConsoleTest, LongRepliesAreCutAndTheRestOfTheLineConsumed) {
    c.feedInput(std::string(100, 'a') + "b\r\n" + "abc\r\n" + "next\n");
    std::string reply;
    ASSERT_TRUE(c.readLine(reply, 80));
    EXPECT_EQ(reply, std::string(80, 'a'));
    // The carriage return falls exactly on the cut: it is dropped with the line end.
    ASSERT_TRUE(c.readLine(reply, 4));
    EXPECT_EQ(reply, "abc");
    ASSERT_TRUE(c.readLine(reply, 80));
    EXPECT_EQ(reply, "next");
    EXPECT_FALSE(c.readLine(reply, 80));
}

TEST_F(ConsoleTest, ReadingKeepsAnOpenLineOpen) {
    c.feedInput("reply\n");
    c.write("Question? ");
    std::string reply;
    ASSERT_TRUE(c.readLine(reply, 80));
    c.endLine();
    c.line("Answer taken.");
    EXPECT_EQ(out, "Question? \nAnswer taken.\n");
}

TEST_F(ConsoleTest, NewCaptureStartsOnAFreshLine) {
    c.write("left open");
    std::string second;
    c.captureOutput(&second);
    c.endLine();
    c.line("x");
    EXPECT_EQ(out, "left open");
    EXPECT_EQ(second, "x\n");
}

// A place as the SDF reader or the section writer gives it.
class FixedPlace final : public vk::ConsolePlace {
public:
    explicit FixedPlace(std::string text) : text_(std::move(text)) {}
    void describe(std::string& out) const override { out += text_; }

private:
    std::string text_;
};

// What a run writes about one section: progress, a warning, an error quoting its input line.
void writeSectionMessages(Console& c, const vk::ConsolePlace* place) {
    c.breakLine("Found new cross-section on line 5");
    {
        const vk::ConsoleAt at(c, place);
        c.breakLine("WARNING - No levee points detected. Line number: 12");
        c.breakLine("ERROR - Reading following line in file:");
        c.line("1.0 abc");
        c.line();
    }
    c.write("\nTrying to open file x.csv...");
    c.line("OK.  File Unit:1001");
    c.line("...Closed File Unit:1001");
    c.breakLine("Warning - Cut line with fewer than 2 points not written.");
    c.breakLine("Written: centrelines 1, cut lines 0");
    c.line("Warnings: 3.");
    c.breakLine("Finished.");
}

TEST_F(ConsoleTest, QuietShowsWarningsWithTheirPlaceAndTheSummaryOnly) {
    const FixedPlace place("stream A, reach B, station 40, line 12");
    c.setQuiet(true);
    writeSectionMessages(c, &place);
    EXPECT_EQ(out, "WARNING - No levee points detected. Line number: 12 (stream A, reach B, "
                   "station 40, line 12)\n"
                   "ERROR - Reading following line in file: (stream A, reach B, station 40, "
                   "line 12)\n"
                   "1.0 abc\n"
                   "Warning - Cut line with fewer than 2 points not written.\n"
                   "Written: centrelines 1, cut lines 0\n"
                   "Warnings: 3.\n"
                   "Finished.\n");
    // Not quiet, the same messages are written as they always were, without places.
    std::string loud;
    c.setQuiet(false);
    c.captureOutput(&loud);
    writeSectionMessages(c, &place);
    EXPECT_EQ(loud, "\nFound new cross-section on line 5\n"
                    "\nWARNING - No levee points detected. Line number: 12\n"
                    "\nERROR - Reading following line in file:\n1.0 abc\n\n"
                    "\nTrying to open file x.csv...OK.  File Unit:1001\n"
                    "...Closed File Unit:1001\n"
                    "\nWarning - Cut line with fewer than 2 points not written.\n"
                    "\nWritten: centrelines 1, cut lines 0\nWarnings: 3.\n"
                    "\nFinished.\n");
}

TEST_F(ConsoleTest, QuietShowsPromptsAndDialoguesWhole) {
    c.setQuiet(true);
    c.feedInput("river\n");
    c.breakLine("Build 2013-09-AA");
    c.write(" Please enter the .sdf file -> ");
    std::string reply;
    ASSERT_TRUE(c.readLine(reply, 80));
    c.write("\nTrying to open file river.sdf...");
    c.line("OK.");
    c.write("\nTrying to open file x.csv...");
    {
        const vk::ConsoleDialogue shown(c);
        c.line("Can't Open");
        c.listLine("");
        c.listLine("Can't open: x.csv");
        c.line();
        c.line("Press Enter to Continue");
    }
    c.line("Progress after the dialogue");
    EXPECT_EQ(out, " Please enter the .sdf file -> \n"
                   "Trying to open file x.csv...Can't Open\n"
                   "\n"
                   " Can't open: x.csv\n"
                   "\n"
                   "Press Enter to Continue\n");
}

TEST_F(ConsoleTest, QuietWarningsRecordedOnAnotherThreadKeepThePlaceTheyAroseAt) {
    c.setQuiet(true);
    const FixedPlace reading("stream A, reach B, station 40, line 90");
    const FixedPlace writing("stream A, reach B, station 50, line 20");
    vk::ConsoleRecording recording;
    std::thread reader([&] {
        Console rec(recording);
        const vk::ConsoleAt at(rec, &reading);
        rec.breakLine("WARNING - Only one levee points detected for section. Line number: 90");
    });
    reader.join();
    const vk::ConsoleAt at(c, &writing);
    c.replay(recording);
    c.breakLine("WARNING - More than 2 levee markers found.");
    EXPECT_EQ(out, "WARNING - Only one levee points detected for section. Line number: 90 "
                   "(stream A, reach B, station 40, line 90)\n"
                   "WARNING - More than 2 levee markers found. (stream A, reach B, station 50, "
                   "line 20)\n");
}

TEST_F(ConsoleTest, AWatcherSeesWarningsWithoutTheirQuietPlace) {
    struct Lines final : vk::ConsoleWatcher {
        std::vector<std::string> seen;
        void consoleLine(std::string_view text) override { seen.emplace_back(text); }
    } lines;
    const FixedPlace place("stream A, reach B, station 40, line 12");
    c.setQuiet(true);
    c.watch(&lines);
    vk::ConsoleRecording recording;
    std::thread reader([&] {
        Console rec(recording);
        const vk::ConsoleAt at(rec, &place);
        rec.write("Trying to open file x.sdf...");
        rec.endLine();
        rec.breakLine("WARNING - recorded\nits second line");
    });
    reader.join();
    c.replay(recording);
    {
        const vk::ConsoleAt at(c, &place);
        c.breakLine("ERROR - direct");
    }
    c.watch(nullptr);
    const std::vector<std::string> expected = {"Trying to open file x.sdf...", "",
                                               "WARNING - recorded", "its second line", "",
                                               "ERROR - direct"};
    EXPECT_EQ(lines.seen, expected);
    EXPECT_EQ(out, "WARNING - recorded (stream A, reach B, station 40, line 12)\n"
                   "its second line\n"
                   "ERROR - direct (stream A, reach B, station 40, line 12)\n");
}

// The real standard input and output, through pipes.
TEST(ConsoleStandardStreams, RepliesComeFromStandardInputUntilItEnds) {
    Console c;
    vktest::PipedStdio stdio;
    stdio.type("one\r\n" + std::string(5000, 'x') + "\ntail");
    stdio.closeInput();
    std::string reply;
    ASSERT_TRUE(c.readLine(reply, 1024));
    EXPECT_EQ(reply, "one");
    ASSERT_TRUE(c.readLine(reply, 1024));
    EXPECT_EQ(reply, std::string(1024, 'x'))
        << "a line longer than a read chunk is cut and skipped";
    ASSERT_TRUE(c.readLine(reply, 1024));
    EXPECT_EQ(reply, "tail");
    EXPECT_FALSE(c.readLine(reply, 1024));
    EXPECT_FALSE(c.readLine(reply, 1024));
    c.useStandardInput();
    EXPECT_FALSE(c.readLine(reply, 1024)) << "a closed standard input is seen again, not waited on";
}

TEST(ConsoleStandardStreams, OutputIsOnStandardOutputBeforeEveryRead) {
    Console c;
    vktest::PipedStdio stdio;
    std::string seenBeforeReply;
    // The user answers only once the prompt is on the screen; a prompt still held in the buffer
    // would leave both sides waiting until the user gives up.
    std::thread user([&] {
        seenBeforeReply = stdio.readUntil("Check file exists: ", 3000);
        stdio.type("name\n");
    });
    c.write("Check file exists: ");
    std::string reply;
    const bool got = c.readLine(reply, 80);
    user.join();
    c.line(" after");
    c.flush();
    stdio.restore();
    EXPECT_EQ(seenBeforeReply, "Check file exists: ");
    ASSERT_TRUE(got);
    EXPECT_EQ(reply, "name");
    EXPECT_EQ(stdio.readUntil("\x01"), "Check file exists:  after\n");
}

// Also when standard output was left non-blocking by whoever started us: a full pipe is waited
// on, never taken for a console that cannot be written.
TEST(ConsoleStandardStreams, LargeOutputArrivesWholeAndInOrder) {
    for (const bool nonBlocking : {false, true}) {
        SCOPED_TRACE(nonBlocking ? "non-blocking" : "blocking");
        if (nonBlocking && !vktest::kPosixSystem) continue;  // no such output on Windows
        Console c;
        vktest::PipedStdio stdio;
#ifndef _WIN32
        if (nonBlocking) ::fcntl(1, F_SETFL, ::fcntl(1, F_GETFL) | O_NONBLOCK);
#endif
        std::string got;
        // A reader slower than the program: the pipe is full long before it starts.
        std::thread reader([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            got = stdio.readUntil("END\n");
        });
        // Far more than a pipe holds and than the console keeps before handing output on.
        std::string expected;
        for (int i = 0; i < 20000; ++i) {
            std::string line =
                std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), '.');
            c.line(line);
            expected += line + "\n";
        }
        c.line("END");
        expected += "END\n";
        c.flush();
        reader.join();
        stdio.restore();
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected);
        // The console's line end is the system's: CR LF on Windows, in a pipe as on the screen.
        EXPECT_TRUE(stdio.raw() == (vktest::kPosixSystem ? expected : vktest::toCrLf(expected)));
    }
}

TEST(ConsoleStandardStreams, NonBlockingInputIsAwaitedUntilItReallyEnds) {
    Console c;
    vktest::PipedStdio stdio;
#ifdef _WIN32
    GTEST_SKIP() << "a non-blocking standard input is POSIX only";
#else
    ::fcntl(0, F_SETFL, ::fcntl(0, F_GETFL) | O_NONBLOCK);
    // The user answers some time after the prompt: nothing is there when it is first read.
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stdio.type("late reply\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stdio.closeInput();
    });
    std::string first, second;
    const bool gotFirst = c.readLine(first, 80);
    const bool gotSecond = c.readLine(second, 80);
    user.join();
    EXPECT_TRUE(gotFirst);
    EXPECT_EQ(first, "late reply");
    EXPECT_FALSE(gotSecond) << "the end of the input is still its end";
#endif
}

// Output to a person shows up while the run is still busy, without waiting for a flush.
TEST(ConsoleStandardStreams, OnATerminalWrittenOutputAppearsWithoutAFlush) {
#ifdef _WIN32
    GTEST_SKIP() << "a pseudo-terminal for the test's own output is POSIX only";
#else
    vktest::TerminalStdout terminal;
    Console c;
    c.breakLine("Processing Stream Centrelines");
    c.write("Trying to open file river.sdf...");
    EXPECT_EQ(terminal.readUntil("river.sdf...", 10000),
              "\nProcessing Stream Centrelines\nTrying to open file river.sdf...");
#endif
}

}  // namespace
