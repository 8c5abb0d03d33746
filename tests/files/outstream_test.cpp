#include "files/outstream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/testfiles.h"

namespace {

using vk::ByteOrder;
using vk::OutStream;
using vktest::readFile;
using vktest::TempDir;
using vktest::writeFile;

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

TEST(OutStreamNumbers, IntegersAndRealsInTheRequestedByteOrder) {
    TempDir dir;
    OutStream out;
    ASSERT_TRUE(out.open(dir.file("n.bin"), OutStream::Open::Truncate));
    out.i32(9994, ByteOrder::Big);
    out.i32(9994, ByteOrder::Little);
    out.i32be(-2);
    out.i32le(0x01020304);
    out.f64(1.0, ByteOrder::Big);
    out.f64le(-2.5);
    ASSERT_TRUE(out.close());
    EXPECT_EQ(readFile(dir.file("n.bin")),
              bytes({0x00, 0x00, 0x27, 0x0A, 0x0A, 0x27, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE,
                     0x04, 0x03, 0x02, 0x01, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0,
                     0, 0, 0, 0, 0, 0, 0x04, 0xC0}));
}

TEST(OutStreamOpen, TruncateKeepAndAppendTreatAnExistingFileAsAsked) {
    TempDir dir;
    const std::string path = dir.file("f.txt");
    writeFile(path, "0123456789");
    OutStream out;

    ASSERT_TRUE(out.open(path, OutStream::Open::Keep));
    out.put("ab");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(readFile(path), "ab23456789") << "kept: written over from the start";

    ASSERT_TRUE(out.open(path, OutStream::Open::Append));
    out.putLine("end");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(readFile(path), "ab23456789end\n");

    ASSERT_TRUE(out.open(path, OutStream::Open::Truncate));
    out.put('x');
    ASSERT_TRUE(out.close());
    EXPECT_EQ(readFile(path), "x");

    ASSERT_TRUE(out.open(dir.file("new.txt"), OutStream::Open::Keep));
    ASSERT_TRUE(out.close());
    EXPECT_TRUE(vktest::fileExists(dir.file("new.txt"))) << "a missing file is created";
}

TEST(OutStreamOpen, NamesThatCannotBeCreatedFailWithTheirReason) {
    TempDir dir;
    OutStream out;
    EXPECT_FALSE(out.open(dir.file("missing/f.txt"), OutStream::Open::Truncate));
    EXPECT_EQ(out.error(), ENOENT);
    EXPECT_FALSE(out.isOpen());
    EXPECT_FALSE(out.open(dir.path(), OutStream::Open::Truncate));
    EXPECT_EQ(out.error(), EISDIR);

    // The bytes after a NUL belong to the name: it must not be cut to "f.txt".
    const std::string withNul = dir.file("f.txt") + std::string(1, '\0') + "x";
    EXPECT_FALSE(out.open(withNul, OutStream::Open::Truncate));
    EXPECT_FALSE(vktest::fileExists(dir.file("f.txt")));

    // A later successful open forgets the earlier failure.
    ASSERT_TRUE(out.open(dir.file("ok.txt"), OutStream::Open::Truncate));
    EXPECT_FALSE(out.failed());
    EXPECT_TRUE(out.close());
}

TEST(OutStreamBuffering, SmallAndLargeWritesKeepTheirOrder) {
    TempDir dir;
    const std::string path = dir.file("big.bin");
    std::string expected;
    OutStream out;
    ASSERT_TRUE(out.open(path, OutStream::Open::Truncate));
    // Pieces below, around and above the buffer size, so that appends, drains and direct writes
    // all take part.
    for (std::size_t size : {1u, 1000u, 200000u, 70000u, 300000u, 3u, 262144u, 5u}) {
        std::string piece(size, static_cast<char>('a' + size % 26));
        out.put(piece);
        expected += piece;
        out.i32le(static_cast<std::int32_t>(size));
        expected += bytes({static_cast<int>(size & 0xFF), static_cast<int>((size >> 8) & 0xFF),
                           static_cast<int>((size >> 16) & 0xFF), 0});
    }
    ASSERT_TRUE(out.close());
    const std::string got = readFile(path);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

// Pieces composed in place in the buffer take their turn with ordinary writes, whether they fit
// what is left of the buffer, make it drain first, or are larger than the whole buffer.
TEST(OutStreamBuffering, PiecesComposedInPlaceKeepTheirOrder) {
    TempDir dir;
    const std::string path = dir.file("records.bin");
    std::string expected;
    OutStream out;
    ASSERT_TRUE(out.open(path, OutStream::Open::Truncate));
    std::size_t n = 0;
    for (std::size_t size : {333u, 333u, 100000u, 200000u, 0u, 300000u, 17u, 262144u, 2u}) {
        char* room = out.extend(size, ' ');
        ASSERT_NE(room, nullptr);
        EXPECT_EQ(std::string(room, size), std::string(size, ' ')) << "the room starts filled";
        if (size > 0) room[size - 1] = static_cast<char>('A' + n % 26);
        expected += std::string(size, ' ');
        if (size > 0) expected.back() = static_cast<char>('A' + n % 26);
        const std::string between = "|" + std::to_string(n++) + "|";
        out.put(between);
        expected += between;
    }
    ASSERT_TRUE(out.close());
    const std::string got = readFile(path);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST(OutStreamFailures, NoRoomOnAClosedOrFailedStream) {
    OutStream closed;
    EXPECT_EQ(closed.extend(10, ' '), nullptr);
    EXPECT_EQ(closed.error(), EBADF);

    OutStream full;
    ASSERT_TRUE(full.open("/dev/full", OutStream::Open::Truncate));
    ASSERT_NE(full.extend(100, 'x'), nullptr) << "still buffered";
    EXPECT_FALSE(full.flush());
    EXPECT_EQ(full.extend(100, 'x'), nullptr) << "after the failure nothing more is taken";
    EXPECT_EQ(full.error(), ENOSPC);
}

TEST(OutStreamBuffering, SeekPatchesEarlierBytesAndWritingGoesOnFromThere) {
    TempDir dir;
    const std::string path = dir.file("h.bin");
    OutStream out;
    ASSERT_TRUE(out.open(path, OutStream::Open::Truncate));
    out.put(std::string(12, '.'));
    ASSERT_TRUE(out.seek(4));
    out.i32be(100);
    ASSERT_TRUE(out.seek(12));
    out.put("!");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(readFile(path), std::string("....") + bytes({0, 0, 0, 100}) + "....!");
}

TEST(OutStreamFailures, AFullDiskIsReportedByFlushAndClose) {
    OutStream out;
    ASSERT_TRUE(out.open("/dev/full", OutStream::Open::Truncate));
    out.putLine("this cannot be stored");
    EXPECT_FALSE(out.failed()) << "still buffered";
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(out.error(), ENOSPC);
    out.put("more");
    EXPECT_FALSE(out.close());
    EXPECT_EQ(out.error(), ENOSPC) << "the first failure is the one remembered";
}

TEST(OutStreamFailures, AFullDiskIsSeenEvenWhenOnlyCloseWrites) {
    OutStream out;
    ASSERT_TRUE(out.open("/dev/full", OutStream::Open::Truncate));
    out.f64le(1.5);
    EXPECT_FALSE(out.close());
    EXPECT_TRUE(out.failed());
}

TEST(OutStreamFailures, WritingToAClosedStreamIsAFailure) {
    TempDir dir;
    OutStream out;
    out.put("nowhere");
    EXPECT_TRUE(out.failed());
    EXPECT_EQ(out.error(), EBADF);
    ASSERT_TRUE(out.open(dir.file("a"), OutStream::Open::Truncate));
    ASSERT_TRUE(out.close());
    EXPECT_TRUE(out.close()) << "closing twice is harmless";
    out.i32le(1);
    EXPECT_TRUE(out.failed());
}

}  // namespace
