#include "files/outstream.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "files/bytes.h"
#include "files/platform.h"

namespace vk {

namespace {

constexpr std::size_t kBufferSize = 128 * 1024;

template <class T> void encode(T value, ByteOrder order, char* bytes) {
    if (order == ByteOrder::Little)
        store<std::endian::little>(bytes, value);
    else
        store<std::endian::big>(bytes, value);
}

}  // namespace

OutStream::~OutStream() { close(); }

bool OutStream::open(const std::string& path, Open how, bool exclusive) {
    close();
    error_ = 0;
    buf_.size = 0;
    const sys::Access access = how == Open::Truncate ? sys::Access::Truncate : sys::Access::Keep;
    error_ = sys::openFile(path, access, file_, exclusive, faults_);
    return error_ == 0;
}

bool OutStream::writable() {
    if (file_ == sys::kNoFile) {
        if (error_ == 0) error_ = EBADF;
        return false;
    }
    // After a failed write the file is incomplete; later bytes are dropped, the first errno kept.
    return error_ == 0;
}

char* OutStream::room(std::size_t size) {
    const std::size_t needed = buf_.size + size;
    if (needed > buf_.capacity) {
        // Storage is zeroed when it is taken, so that all of it is in memory from the start: the
        // memory of a run is then the same whatever amount its files receive. The first storage
        // of a stream comes with that of the spare buffer, for the bytes written behind.
        if (behind_.capacity == 0) {
            behind_.bytes = std::make_unique<char[]>(kBufferSize);
            behind_.capacity = kBufferSize;
        }
        const std::size_t capacity = std::max(needed, kBufferSize);
        auto bytes = std::make_unique<char[]>(capacity);
        if (buf_.size > 0) std::memcpy(bytes.get(), buf_.bytes.get(), buf_.size);
        buf_.bytes = std::move(bytes);
        buf_.capacity = capacity;
    }
    char* const at = buf_.bytes.get() + buf_.size;
    buf_.size = needed;
    return at;
}

void OutStream::settle() {
    const int error = ticket_.wait();
    if (error_ == 0) error_ = error;
}

void OutStream::handOver() {
    settle();
    if (error_ == 0 && buf_.size > 0) {
        std::swap(buf_, behind_);
        ticket_.start(file_, behind_.view(), faults_);
    }
    buf_.size = 0;
}

void OutStream::drain() {
    settle();
    if (buf_.size > 0 && error_ == 0)
        error_ = sys::writeAll(file_, buf_.bytes.get(), buf_.size, faults_);
    buf_.size = 0;
}

void OutStream::put(std::string_view bytes) {
    if (!writable()) return;
    if (buf_.size + bytes.size() > kBufferSize) {
        handOver();
        if (bytes.size() >= kBufferSize) {
            settle();
            if (error_ == 0) error_ = sys::writeAll(file_, bytes.data(), bytes.size(), faults_);
            return;
        }
    }
    if (!bytes.empty()) std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
}

void OutStream::put(char c) { put(std::string_view(&c, 1)); }

char* OutStream::extend(std::size_t size) {
    if (!writable()) return nullptr;
    if (buf_.size + size > kBufferSize) {
        handOver();
        if (error_ != 0) return nullptr;
    }
    // A piece larger than the buffer makes it grow; the next write hands it all to the file.
    return room(size);
}

void OutStream::putLine(std::string_view text) {
    // The usual case, a line that fits the buffer of a sound stream, in one step.
    if (file_ != sys::kNoFile && error_ == 0 && buf_.size + text.size() < buf_.capacity &&
        buf_.size + text.size() < kBufferSize) {
        char* at = room(text.size() + 1);
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        at[text.size()] = '\n';
        return;
    }
    put(text);
    put('\n');
}

void OutStream::i32(std::int32_t v, ByteOrder order) {
    char bytes[4];
    encode(v, order, bytes);
    put(std::string_view(bytes, sizeof bytes));
}

void OutStream::f64(double v, ByteOrder order) {
    char bytes[8];
    encode(v, order, bytes);
    put(std::string_view(bytes, sizeof bytes));
}

bool OutStream::seek(std::uint64_t offset) {
    if (!flush()) return false;
    error_ = sys::seekTo(file_, offset);
    return error_ == 0;
}

bool OutStream::flush() {
    if (file_ == sys::kNoFile) {
        if (error_ == 0) error_ = EBADF;
        return false;
    }
    drain();
    return error_ == 0;
}

bool OutStream::close() {
    sys::File file;
    close(file);
    if (file != sys::kNoFile)
        if (const int closed = sys::closeFile(file, faults_); error_ == 0) error_ = closed;
    return error_ == 0;
}

bool OutStream::close(sys::File& kept) {
    kept = sys::kNoFile;
    if (file_ == sys::kNoFile) return error_ == 0;
    drain();
    kept = std::exchange(file_, sys::kNoFile);
    return error_ == 0;
}

}  // namespace vk
