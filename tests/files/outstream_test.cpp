#include "files/outstream.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#endif

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "files/bytes.h"
#include "support/testfiles.h"
#include "support/writefaults.h"

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

// The encoder behind every binary number written or read: literal bytes in both orders, and each
// value read back from them unchanged (a sign, a fraction, the widths the formats use).
TEST(ByteEncoder, StoresAndLoadsEveryWidthInBothOrders) {
    char buffer[8];
    auto check = [&](auto value, std::initializer_list<int> little) {
        using T = decltype(value);
        const std::string le = bytes(little);
        std::string be(le.rbegin(), le.rend());
        EXPECT_EQ(vk::store<std::endian::little>(buffer, value), buffer + sizeof(T));
        EXPECT_EQ(std::string(buffer, sizeof(T)), le);
        EXPECT_EQ((vk::load<std::endian::little, T>(le.data())), value);
        EXPECT_EQ(vk::store<std::endian::big>(buffer, value), buffer + sizeof(T));
        EXPECT_EQ(std::string(buffer, sizeof(T)), be);
        EXPECT_EQ((vk::load<std::endian::big, T>(be.data())), value);
    };
    check(std::uint8_t{0xE4}, {0xE4});
    check(std::uint16_t{0x01F3}, {0xF3, 0x01});
    check(std::int32_t{9994}, {0x0A, 0x27, 0x00, 0x00});
    check(std::int32_t{-2}, {0xFE, 0xFF, 0xFF, 0xFF});
    check(std::int32_t{INT32_MIN}, {0x00, 0x00, 0x00, 0x80});
    check(-2.5, {0, 0, 0, 0, 0, 0, 0x04, 0xC0});
    check(9.0e29, {0x06, 0xB2, 0x43, 0x1A, 0x1D, 0xB8, 0x26, 0x46});
}

TEST(OutStreamOpen, TruncateAndKeepTreatAnExistingFileAsAsked) {
    TempDir dir;
    const std::string path = dir.file("f.txt");
    writeFile(path, "0123456789");
    OutStream out;

    ASSERT_TRUE(out.open(path, OutStream::Open::Keep));
    out.put("ab");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(readFile(path), "ab23456789") << "kept: written over from the start";

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
    for (std::size_t size : {1u, 1000u, 100000u, 70000u, 300000u, 3u, 131072u, 131071u, 5u}) {
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
    for (std::size_t size : {333u, 333u, 100000u, 60000u, 0u, 300000u, 17u, 131072u, 2u}) {
        char* room = out.extend(size);
        ASSERT_NE(room, nullptr);
        std::fill_n(room, size, ' ');
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
    EXPECT_EQ(closed.extend(10), nullptr);
    EXPECT_EQ(closed.error(), EBADF);

    TempDir dir;
    vk::sys::WriteFaults faults;
    const vktest::FullDisk disk(faults);
    OutStream full(faults);
    ASSERT_TRUE(full.open(dir.file("full.bin"), OutStream::Open::Truncate));
    ASSERT_NE(full.extend(100), nullptr) << "still buffered";
    EXPECT_FALSE(full.flush());
    EXPECT_EQ(full.extend(100), nullptr) << "after the failure nothing more is taken";
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
    TempDir dir;
    vk::sys::WriteFaults faults;
    const vktest::FullDisk disk(faults);
    OutStream out(faults);
    ASSERT_TRUE(out.open(dir.file("full.bin"), OutStream::Open::Truncate));
    out.putLine("this cannot be stored");
    EXPECT_FALSE(out.failed()) << "still buffered";
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(out.error(), ENOSPC);
    out.put("more");
    EXPECT_FALSE(out.close());
    EXPECT_EQ(out.error(), ENOSPC) << "the first failure is the one remembered";
}

TEST(OutStreamFailures, AFullDiskIsSeenEvenWhenOnlyCloseWrites) {
    TempDir dir;
    vk::sys::WriteFaults faults;
    const vktest::FullDisk disk(faults);
    OutStream out(faults);
    ASSERT_TRUE(out.open(dir.file("full.bin"), OutStream::Open::Truncate));
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

// ---- writing behind: full buffers go to the files while the caller goes on ----

// Several files filled side by side, each through many full buffers: every file gets its own
// bytes in its own order.
TEST(OutStreamWriteBehind, InterleavedFilesEachKeepTheirBytesInOrder) {
    TempDir dir;
    constexpr int kFiles = 3;
    OutStream out[kFiles];
    std::string expected[kFiles];
    for (int f = 0; f < kFiles; ++f)
        ASSERT_TRUE(out[f].open(dir.file("f" + std::to_string(f)), OutStream::Open::Truncate));
    for (int i = 0; i < 40000; ++i) {
        const int f = (i * 7) % kFiles;
        const std::string line = std::to_string(f) + ":" + std::to_string(i) + std::string(i % 97, '.');
        out[f].putLine(line);
        expected[f] += line + "\n";
        if (i % 1000 == 0) {
            char* room = out[f].extend(5000);
            ASSERT_NE(room, nullptr);
            std::fill_n(room, 5000, '#');
            room[0] = '<';
            expected[f] += "<" + std::string(4999, '#');
        }
    }
    for (int f = 0; f < kFiles; ++f) {
        ASSERT_TRUE(out[f].close());
        const std::string got = readFile(dir.file("f" + std::to_string(f)));
        EXPECT_GT(got.size(), 3u * 128 * 1024) << "several buffers were written behind";
        EXPECT_EQ(got.size(), expected[f].size());
        EXPECT_TRUE(got == expected[f]) << "file " << f;
    }
}

// A reader that takes its time (a pipe) keeps the writes behind waiting: what the stream writes
// itself at flush and close still comes after them.
TEST(OutStreamWriteBehind, ASlowReaderStillGetsEveryByteInOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "a named pipe in a folder (mkfifo) is POSIX only";
#else
    TempDir dir;
    const std::string path = dir.file("pipe");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        std::FILE* in = std::fopen(path.c_str(), "rb");
        if (in == nullptr) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) {
            received.append(chunk, n);
            if (received.size() < 200000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::fclose(in);
    });
    std::string expected;
    {
        OutStream out;
        ASSERT_TRUE(out.open(path, OutStream::Open::Truncate));
        for (int i = 0; i < 60000; ++i) {
            const std::string line = "line " + std::to_string(i);
            out.putLine(line);
            expected += line + "\n";
        }
        EXPECT_TRUE(out.flush());
        out.put("after the flush");
        expected += "after the flush";
        EXPECT_TRUE(out.close());
    }
    reader.join();
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
#endif
}

// A header patched after megabytes of records stays patched: the patch waits for the bytes
// still being written.
TEST(OutStreamWriteBehind, SeekAfterManyBuffersPatchesTheFinalFile) {
    TempDir dir;
    const std::string path = dir.file("set.bin");
    OutStream out;
    ASSERT_TRUE(out.open(path, OutStream::Open::Truncate));
    out.put(std::string(100, '\0'));
    std::string records;
    for (int i = 0; i < 100000; ++i)
        records += "record " + std::to_string(i) + ";";
    for (std::size_t at = 0; at < records.size(); at += 1000)
        out.put(std::string_view(records).substr(at, 1000));
    ASSERT_TRUE(out.seek(0));
    out.i32be(9994);
    ASSERT_TRUE(out.seek(100 + records.size()));
    out.put("end");
    ASSERT_TRUE(out.close());
    EXPECT_TRUE(readFile(path) == bytes({0, 0, 0x27, 0x0A}) + std::string(96, '\0') + records + "end");
}

// A failure of a write done behind is not lost: at the latest flush() reports it, and nothing
// more is taken after it is known.
TEST(OutStreamWriteBehind, AFailureBehindIsReportedByFlush) {
    TempDir dir;
    vk::sys::WriteFaults faults;
    const vktest::FullDisk disk(faults);
    OutStream out(faults);
    ASSERT_TRUE(out.open(dir.file("full.bin"), OutStream::Open::Truncate));
    const std::string piece(4096, 'z');
    for (int i = 0; i < 300; ++i)  // more than four buffers
        out.put(piece);
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(out.error(), ENOSPC);
    EXPECT_EQ(out.extend(10), nullptr);
    EXPECT_FALSE(out.close());
}

TEST(OutStreamWriteBehind, ATicketReportsEachWriteOnce) {
    TempDir dir;
    const std::string path = dir.file("t.txt");
    OutStream file;
    ASSERT_TRUE(file.open(path, OutStream::Open::Truncate));
    vk::WriteTicket ticket;
    EXPECT_EQ(ticket.wait(), 0) << "nothing started";
    const std::string first = "first|", second = "second";
    ticket.start(file.descriptor(), first, nullptr);
    ticket.start(file.descriptor(), second, nullptr);  // waits for the first
    EXPECT_EQ(ticket.wait(), 0);
    ASSERT_TRUE(file.close());
    EXPECT_EQ(readFile(path), "first|second");

    ticket.start(vk::sys::kNoFile, first, nullptr);
    EXPECT_EQ(ticket.wait(), EBADF);
    EXPECT_EQ(ticket.wait(), 0) << "a failure is handed back once";
}

// The failing writes of the tests themselves: a size limit keeps the bytes below it, a full disk
// named by its file's ending leaves every other file alone, and both end with the stream.
TEST(OutStreamFailures, SizeLimitKeepsTheBytesBelowItAndFullDiskOnlyTheFileNamed) {
    TempDir dir;
    vk::sys::WriteFaults faults;
    {
        const vktest::FileSizeLimit limit(faults, 10);
        OutStream out(faults);
        ASSERT_TRUE(out.open(dir.file("limited.bin"), OutStream::Open::Truncate));
        out.put("0123456789abcdefghijklmno");
        EXPECT_FALSE(out.close());
        EXPECT_EQ(out.error(), EFBIG);
    }
    EXPECT_EQ(readFile(dir.file("limited.bin")), "0123456789");
    {
        const vktest::FullDisk disk(faults, "b.bin");
        OutStream a(faults), b(faults);
        ASSERT_TRUE(a.open(dir.file("a.bin"), OutStream::Open::Truncate));
        ASSERT_TRUE(b.open(dir.file("b.bin"), OutStream::Open::Truncate));
        a.put("kept");
        b.put("lost");
        EXPECT_TRUE(a.close());
        EXPECT_FALSE(b.close());
        EXPECT_EQ(b.error(), ENOSPC);
    }
    EXPECT_EQ(readFile(dir.file("a.bin")), "kept");
    EXPECT_EQ(readFile(dir.file("b.bin")), "");
    OutStream after(faults);
    ASSERT_TRUE(after.open(dir.file("b.bin"), OutStream::Open::Truncate));
    after.put("stored");
    EXPECT_TRUE(after.close()) << "the fault ended with its object";
    EXPECT_EQ(readFile(dir.file("b.bin")), "stored");
}
