// Byte encoding for the binary GIS formats: numbers appended to a byte buffer in an explicit byte
// order (through the one encoder, files/bytes.h), and the in-place patching of header fields of a
// file that has already been written.
#pragma once

#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "files/bytes.h"

#include <fcntl.h>
#include <unistd.h>

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
        if (path.find('\0') == std::string::npos) fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        ok_ = fd_ >= 0;
    }
    ~FilePatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    FilePatch(const FilePatch&) = delete;
    FilePatch& operator=(const FilePatch&) = delete;

    void write(std::uint64_t offset, std::string_view bytes) {
        while (ok_ && !bytes.empty()) {
            const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok_ = false;
                break;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
            offset += static_cast<std::uint64_t>(n);
        }
    }

    // Closes the file; true when the open, every write and the close succeeded.
    bool finish() {
        if (fd_ >= 0) {
            if (::close(fd_) != 0) ok_ = false;
            fd_ = -1;
        }
        return ok_;
    }

  private:
    int fd_ = -1;
    bool ok_ = false;
};

}  // namespace vk
