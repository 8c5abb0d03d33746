#include "files/linereader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/testfiles.h"

namespace {

using vk::LineReader;
using Status = vk::LineReader::Status;
using vktest::TempDir;
using vktest::writeFile;

// Every line of a file, read with the given cut.
std::vector<std::string> allLines(const std::string& path, std::size_t maxLength = 1000) {
    LineReader in;
    EXPECT_TRUE(in.open(path));
    std::vector<std::string> lines;
    std::string line;
    while (in.readLine(line, maxLength) == Status::Line) lines.push_back(line);
    EXPECT_EQ(in.readLine(line, maxLength), Status::End);
    return lines;
}

TEST(LineReaderLines, CrLfAndLfFilesGiveTheSameLines) {
    TempDir dir;
    const std::string text = "STREAM NETWORK:\n\n  END:\nlast\n";
    writeFile(dir.file("lf.txt"), text);
    writeFile(dir.file("crlf.txt"), vktest::toCrLf(text));
    const std::vector<std::string> expected{"STREAM NETWORK:", "", "  END:", "last"};
    EXPECT_EQ(allLines(dir.file("lf.txt")), expected);
    EXPECT_EQ(allLines(dir.file("crlf.txt")), expected);
}

TEST(LineReaderLines, LastLineWithoutLineEndAndStrayCarriageReturns) {
    TempDir dir;
    writeFile(dir.file("a.txt"), "a\rb\r\n\r\nno end");
    EXPECT_EQ(allLines(dir.file("a.txt")), (std::vector<std::string>{"a\rb", "", "no end"}));
    writeFile(dir.file("empty.txt"), "");
    EXPECT_TRUE(allLines(dir.file("empty.txt")).empty());
    writeFile(dir.file("one.txt"), "\n");
    EXPECT_EQ(allLines(dir.file("one.txt")), std::vector<std::string>{""});
}

TEST(LineReaderLines, LongLinesAreCutAndTheirRestSkipped) {
    TempDir dir;
    writeFile(dir.file("long.txt"), std::string(1500, 'x') + "\r\nshort\r\nabcd\r\n");
    EXPECT_EQ(allLines(dir.file("long.txt")),
              (std::vector<std::string>{std::string(1000, 'x'), "short", "abcd"}));
    // A carriage return that falls beyond the cut does not shorten the kept part.
    EXPECT_EQ(allLines(dir.file("long.txt"), 4),
              (std::vector<std::string>{"xxxx", "shor", "abcd"}));
}

TEST(LineReaderLines, LinesAcrossBufferBoundaries) {
    TempDir dir;
    // The first line is 65535 bytes plus CR: its CR is the last byte of the first 64 KiB read and
    // its LF the first byte of the next. Then a line longer than the whole buffer.
    std::string first(65535, 'a');
    std::string second(200000, 'b');
    writeFile(dir.file("big.txt"), first + "\r\n" + second + "\nz");
    const auto lines = allLines(dir.file("big.txt"), 300000);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), first.size());
    EXPECT_TRUE(lines[0] == first);
    EXPECT_TRUE(lines[1] == second);
    EXPECT_EQ(lines[2], "z");
}

// Lines read as views (into the reader's buffer, or copied where a line crosses the end of the
// buffer) are those of the copying read: random lines of every length around the cut and the
// buffer size, with carriage returns before, inside and at the cut, and a last line without a
// line end. Every other line is then asked for whole: it is the uncut line, and the lines after
// it are those of the copying read still.
TEST(LineReaderLines, ViewsGiveTheLinesOfTheCopyingRead) {
    TempDir dir;
    std::mt19937 random(3);
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        const std::size_t length = random() % 8 == 0 ? 990 + random() % 30 : random() % 120;
        std::string line(length, 'a');
        for (char& c : line)
            c = "abc ,.\r"[random() % 7];
        text += line;
        text += random() % 3 == 0 ? "\r\n" : "\n";
    }
    text += "last\r";
    const std::string path = dir.file("mixed.txt");
    writeFile(path, text);
    for (const std::size_t cut : {std::size_t{1000}, std::size_t{40}}) {
        LineReader copying, viewing, uncut;
        ASSERT_TRUE(copying.open(path));
        ASSERT_TRUE(viewing.open(path));
        ASSERT_TRUE(uncut.open(path));
        std::string copy, store, all;
        std::string_view view;
        int lines = 0;
        for (;;) {
            const Status expected = copying.readLine(copy, cut);
            ASSERT_EQ(viewing.readLine(view, store, cut), expected) << "line " << lines;
            if (expected != Status::Line) break;
            ASSERT_EQ(view, copy) << "line " << lines << " cut at " << cut;
            ASSERT_EQ(uncut.readLine(all, std::string::npos), Status::Line);
            if (lines % 2 == 1) {
                ASSERT_EQ(viewing.wholeLine(view, store), Status::Line);
                ASSERT_EQ(view, all) << "line " << lines << " whole";
            }
            ++lines;
        }
        EXPECT_EQ(lines, 3001);
    }
}

TEST(LineReaderState, AtEndAndRewind) {
    TempDir dir;
    writeFile(dir.file("r.txt"), "12345678\nrest\n");
    LineReader in;
    ASSERT_TRUE(in.open(dir.file("r.txt")));
    EXPECT_FALSE(in.atEnd());
    std::string line;
    ASSERT_EQ(in.readLine(line), Status::Line);
    EXPECT_FALSE(in.atEnd());
    ASSERT_EQ(in.readLine(line), Status::Line);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(in.readLine(line), Status::End);
    ASSERT_TRUE(in.rewind());
    EXPECT_FALSE(in.atEnd());
    ASSERT_EQ(in.readLine(line), Status::Line);
    EXPECT_EQ(line, "12345678");
}

TEST(LineReaderFailures, MissingFoldersAndUnreadableFiles) {
    TempDir dir;
    LineReader in;
    EXPECT_FALSE(in.open(dir.file("nope.txt")));
    EXPECT_EQ(in.error(), ENOENT);
    EXPECT_FALSE(in.open(dir.path()));
    EXPECT_EQ(in.error(), EISDIR);
    EXPECT_FALSE(in.isOpen());
    writeFile(dir.file("a.txt"), "a\n");
    EXPECT_FALSE(in.open(dir.file("a.txt") + std::string(1, '\0') + "b"))
        << "a name with a NUL byte is not the name before the NUL";

    std::string line = "old";
    EXPECT_EQ(in.readLine(line), Status::Error) << "nothing open";
    EXPECT_EQ(in.error(), EBADF);
}

TEST(LineReaderFailures, AReadErrorIsAnErrorNotTheEnd) {
    // Reading the process's own memory image at offset 0 fails with EIO.
    LineReader in;
    ASSERT_TRUE(in.open("/proc/self/mem"));
    std::string line;
    EXPECT_EQ(in.readLine(line), Status::Error);
    EXPECT_EQ(in.error(), EIO);
    EXPECT_FALSE(in.atEnd());
}

}  // namespace
