// Byte encoding for the binary GIS formats: numbers appended to a byte buffer in an explicit byte
// order, and the in-place patching of header fields of a file that has already been written.
#pragma once

#include <bit>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace vk {

inline void appendU8(std::string& out, std::uint8_t v) {
    out.push_back(static_cast<char>(v));
}

inline void appendU16le(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

inline void appendU32le(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

inline void appendU32be(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

inline void appendI32le(std::string& out, std::int32_t v) {
    appendU32le(out, static_cast<std::uint32_t>(v));
}

inline void appendI32be(std::string& out, std::int32_t v) {
    appendU32be(out, static_cast<std::uint32_t>(v));
}

inline void appendF64le(std::string& out, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<char>((bits >> shift) & 0xFF));
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
