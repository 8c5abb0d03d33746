// Byte encoding for the binary GIS formats: numbers appended to a byte buffer in an explicit byte
// order (through the one encoder, files/bytes.h), and the in-place patching of header fields of a
// file that has already been written.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "files/bytes.h"
#include "files/platform.h"

namespace vk {

inline constexpr std::endian kLittle = std::endian::little;
inline constexpr std::endian kBig = std::endian::big;

// Appends the bytes of `value` to a byte buffer in byte order Order.
template <std::endian Order, class T> void append(std::string& out, T value) {
    char bytes[sizeof(T)];
    store<Order>(bytes, value);
    out.append(bytes, sizeof bytes);
}

// Rewrites fields of an existing file in place: the file is opened for writing without being
// created or truncated, so a file that has gone missing is a failure, not a new empty file.
// Every write and the close are checked.
class FilePatch {
  public:
    explicit FilePatch(const std::string& path) {
        ok_ = sys::openFile(path, sys::Access::Update, file_) == 0;
    }
    ~FilePatch() {
        if (file_ != sys::kNoFile) sys::closeFile(file_);
    }
    FilePatch(const FilePatch&) = delete;
    FilePatch& operator=(const FilePatch&) = delete;

    void write(std::uint64_t offset, std::string_view bytes) {
        if (ok_ && !bytes.empty()) ok_ = sys::writeAt(file_, offset, bytes.data(), bytes.size()) == 0;
    }

    // Closes the file; true when the open, every write and the close succeeded.
    bool finish() {
        if (file_ != sys::kNoFile) {
            if (sys::closeFile(file_) != 0) ok_ = false;
            file_ = sys::kNoFile;
        }
        return ok_;
    }

  private:
    sys::File file_ = sys::kNoFile;
    bool ok_ = false;
};

}  // namespace vk
