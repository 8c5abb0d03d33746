// Files whose writes fail, on every system: a full disk or a limit on the size of files, set
// through the platform layer's write for the files opened while the object lives.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

#include "files/platform.h"

namespace vktest {

// Files opened for writing whose names end with nameEnding (every file when it is empty) take
// no byte: each write fails with ENOSPC, as on a full disk.
class FullDisk {
public:
    explicit FullDisk(std::string nameEnding = "") {
        vk::sys::setWriteFault({std::move(nameEnding), 0, ENOSPC, {}});
    }
    ~FullDisk() { vk::sys::clearWriteFaults(); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

// Files opened for writing cannot grow beyond `bytes`: the bytes below the limit are written,
// and the write after them fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes) { vk::sys::setWriteFault({"", bytes, EFBIG, {}}); }
    ~FileSizeLimit() { vk::sys::clearWriteFaults(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
};

}  // namespace vktest
