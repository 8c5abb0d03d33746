// Files whose writes fail, on every system: a full disk or a limit on the size of files, set
// through the platform layer's write on a run's write faults while the object lives.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

#include "files/platform.h"

namespace vktest {

// Files opened for writing through `faults` whose names end with nameEnding (every file when it
// is empty) take no byte: each write fails with ENOSPC, as on a full disk.
class FullDisk {
public:
    explicit FullDisk(vk::sys::WriteFaults& faults, std::string nameEnding = "")
        : faults_(faults) {
        vk::sys::setWriteFault(faults, {std::move(nameEnding), 0, ENOSPC, {}});
    }
    ~FullDisk() { vk::sys::clearWriteFaults(faults_); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    vk::sys::WriteFaults& faults_;
};

// Files opened for writing through `faults` cannot grow beyond `bytes`: the bytes below the limit
// are written, and the write after them fails with EFBIG.
class FileSizeLimit {
public:
    FileSizeLimit(vk::sys::WriteFaults& faults, std::uint64_t bytes) : faults_(faults) {
        vk::sys::setWriteFault(faults, {"", bytes, EFBIG, {}});
    }
    ~FileSizeLimit() { vk::sys::clearWriteFaults(faults_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    vk::sys::WriteFaults& faults_;
};

}  // namespace vktest
