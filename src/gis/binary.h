// Byte encoding for the binary GIS formats: numbers appended to a byte buffer in an explicit byte
// order, and the in-place patching of header fields of a file that has already been written.
#pragma once

#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace vk {

// Stores the value's bytes at `at` in the byte order given; returns the end of the bytes.
template <typename Unsigned> char* storeLittle(char* at, Unsigned v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, &v, sizeof v);
    } else {
        for (std::size_t i = 0; i < sizeof v; ++i)
            at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    return at + sizeof v;
}

template <typename Unsigned> char* storeBig(char* at, Unsigned v) {
    for (std::size_t i = 0; i < sizeof v; ++i)
        at[sizeof v - 1 - i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return at + sizeof v;
}

inline char* storeI32le(char* at, std::int32_t v) {
    return storeLittle(at, static_cast<std::uint32_t>(v));
}
inline char* storeI32be(char* at, std::int32_t v) {
    return storeBig(at, static_cast<std::uint32_t>(v));
}
inline char* storeF64le(char* at, double v) {
    return storeLittle(at, std::bit_cast<std::uint64_t>(v));
}

inline void appendU8(std::string& out, std::uint8_t v) {
    out.push_back(static_cast<char>(v));
}

inline void appendU16le(std::string& out, std::uint16_t v) {
    char bytes[2];
    storeLittle(bytes, v);
    out.append(bytes, sizeof bytes);
}

inline void appendU32le(std::string& out, std::uint32_t v) {
    char bytes[4];
    storeLittle(bytes, v);
    out.append(bytes, sizeof bytes);
}

inline void appendU32be(std::string& out, std::uint32_t v) {
    char bytes[4];
    storeBig(bytes, v);
    out.append(bytes, sizeof bytes);
}

inline void appendI32le(std::string& out, std::int32_t v) {
    appendU32le(out, static_cast<std::uint32_t>(v));
}

inline void appendI32be(std::string& out, std::int32_t v) {
    appendU32be(out, static_cast<std::uint32_t>(v));
}

inline void appendF64le(std::string& out, double v) {
    char bytes[8];
    storeF64le(bytes, v);
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
