#include "files/console.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "session.h"

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
    EXPECT_TRUE(c.lineOpen());
    c.write("");
    EXPECT_TRUE(c.lineOpen()) << "an empty write changes nothing";
    c.line("OK.");
    EXPECT_FALSE(c.lineOpen());
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
    EXPECT_FALSE(c.lineOpen());
}

TEST_F(ConsoleTest, WriteEndingInLineFeedLeavesNoOpenLine) {
    c.write("two\nlines\n");
    EXPECT_FALSE(c.lineOpen());
    c.write("a\nb");
    EXPECT_TRUE(c.lineOpen());
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
    EXPECT_TRUE(c.lineOpen());
    c.breakLine("Answer taken.");
    EXPECT_EQ(out, "Question? \nAnswer taken.\n");
}

TEST_F(ConsoleTest, NewCaptureStartsOnAFreshLine) {
    c.write("left open");
    std::string second;
    c.captureOutput(&second);
    EXPECT_FALSE(c.lineOpen());
    c.line("x");
    EXPECT_EQ(out, "left open");
    EXPECT_EQ(second, "x\n");
}

// The real standard input and output, through pipes on fd 0 and fd 1.
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

TEST(ConsoleStandardStreams, LargeOutputArrivesWholeAndInOrder) {
    Console c;
    vktest::PipedStdio stdio;
    std::string got;
    std::thread reader([&] { got = stdio.readUntil("END\n"); });
    // Far more than a pipe holds and than the console keeps before handing output on.
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string line = std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), '.');
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
}

}  // namespace
