// A buffered output stream over one file, with explicit byte order for every number written.
// A full buffer is written behind the caller's back while a second one fills; flush(), seek()
// and close() write everything before they return. Write failures (a full disk, a file removed
// under us) are remembered once they are known, at the latest by flush() and close(): check
// failed() after writing and the result of flush() and close().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/writebehind.h"

namespace vk {

enum class ByteOrder { Little, Big };

class OutStream {
public:
    OutStream() = default;
    ~OutStream();
    OutStream(const OutStream&) = delete;
    OutStream& operator=(const OutStream&) = delete;

    enum class Open { Truncate, Keep, Append };
    // Opens (creating when missing) the file; false with errno kept in error() on failure.
    bool open(const std::string& path, Open how);
    bool isOpen() const { return fd_ >= 0; }

    void put(std::string_view bytes);
    void put(char c);
    // Room for the next `size` bytes of the file, inside the buffer and filled with `fill`, for the
    // caller to complete before any other call on the stream; nullptr (and nothing written) when
    // the stream is not open or has failed.
    char* extend(std::size_t size, char fill);
    void putLine(std::string_view text);  // text and a line feed
    void i32(std::int32_t v, ByteOrder order);
    void f64(double v, ByteOrder order);
    void i32le(std::int32_t v) { i32(v, ByteOrder::Little); }
    void i32be(std::int32_t v) { i32(v, ByteOrder::Big); }
    void f64le(double v) { f64(v, ByteOrder::Little); }

    bool seek(std::uint64_t offset);  // flushes, then positions at offset from the start
    bool flush();
    bool close();                     // flushes and closes; false when anything failed
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }
    int descriptor() const { return fd_; }

private:
    void settle();     // waits for the write behind, keeping its failure
    void handOver();   // the full buffer is written behind; an empty one takes its place
    void drain();      // writes the buffer now
    int fd_ = -1;
    int error_ = 0;
    std::string buf_;
    std::string behind_;  // the bytes being written behind, or a spare buffer
    WriteTicket ticket_;
};

}  // namespace vk
