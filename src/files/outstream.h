// A buffered output stream over one file, with explicit byte order for every number written.
// A full buffer is written behind the caller's back while a second one fills; flush(), seek()
// and close() write everything before they return. Write failures (a full disk, a file removed
// under us) are remembered once they are known, at the latest by flush() and close(): check
// failed() after writing and the result of flush() and close().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "files/writebehind.h"

namespace vk {

enum class ByteOrder { Little, Big };

class OutStream {
public:
    OutStream() = default;
    // A stream of a run's output: its files are opened, written and closed through the run's
    // write faults.
    explicit OutStream(sys::WriteFaults& faults) : faults_(&faults) {}
    ~OutStream();
    OutStream(const OutStream&) = delete;
    OutStream& operator=(const OutStream&) = delete;

    enum class Open { Truncate, Keep };
    // Opens (creating when missing) the file in binary mode; false with errno kept in error() on
    // failure. exclusive: the file is held for this stream alone while it is open, and emptied
    // only once it is held; fails with EWOULDBLOCK when another open holds it.
    bool open(const std::string& path, Open how, bool exclusive = false);
    bool isOpen() const { return file_ != sys::kNoFile; }

    void put(std::string_view bytes);
    void put(char c);
    // Room for the next `size` bytes of the file, inside the buffer, for the caller to fill
    // completely before any other call on the stream (the bytes there are left as they were);
    // nullptr (and nothing written) when the stream is not open or has failed.
    char* extend(std::size_t size);
    void putLine(std::string_view text);  // text and a line feed
    void i32(std::int32_t v, ByteOrder order);
    void f64(double v, ByteOrder order);
    void i32le(std::int32_t v) { i32(v, ByteOrder::Little); }
    void i32be(std::int32_t v) { i32(v, ByteOrder::Big); }
    void f64le(double v) { f64(v, ByteOrder::Little); }

    bool seek(std::uint64_t offset);  // flushes, then positions at offset from the start
    bool flush();
    bool close();                     // flushes and closes; false when anything failed
    // Flushes and lets go of the file without closing it: `kept` takes it (the caller closes it),
    // so that the file stays held after its last byte. False when anything failed.
    bool close(sys::File& kept);
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }
    sys::File descriptor() const { return file_; }

private:
    // Bytes on their way to the file. Its storage is taken at the first write and kept for later
    // opens of the stream.
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        std::size_t capacity = 0;
        std::string_view view() const { return {bytes.get(), size}; }
    };
    bool writable();          // open and sound; a write to a closed stream is a failure
    char* room(std::size_t size);  // the next `size` bytes of the buffer, which grows when needed
    void settle();            // waits for the write behind, keeping its failure
    void handOver();          // the full buffer is written behind; an empty one takes its place
    void drain();             // writes the buffer now
    sys::WriteFaults* faults_ = nullptr;
    sys::File file_ = sys::kNoFile;
    int error_ = 0;
    Buffer buf_;
    Buffer behind_;  // the bytes being written behind, or a spare buffer
    WriteTicket ticket_;
};

}  // namespace vk
