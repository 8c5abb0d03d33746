// Writing behind the conversion: a full output buffer is handed to a thread of its own, which
// copies it to its file while the conversion goes on filling another buffer. Large layers are
// then written by the system on the second core instead of between records.
#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

#include "files/platform.h"

namespace vk {

// One write at a time for one file. Only the thread that owns the ticket calls its members.
class WriteTicket {
  public:
    WriteTicket() = default;
    ~WriteTicket() { wait(); }
    WriteTicket(const WriteTicket&) = delete;
    WriteTicket& operator=(const WriteTicket&) = delete;

    // Starts writing all of `bytes` to the file. The bytes stay untouched, and the file open,
    // until wait() has returned. Writes started on any tickets are done in the order they were
    // started, each through the write faults given with it (none: nullptr).
    void start(sys::File file, std::string_view bytes, sys::WriteFaults* faults);
    // Waits for the write in progress to end; its errno, or 0 when it succeeded or none was
    // started.
    int wait();

  private:
    friend class WriteBehind;
    sys::File file_ = sys::kNoFile;
    std::string_view bytes_;
    sys::WriteFaults* faults_ = nullptr;
    int error_ = 0;
    std::atomic<bool> done_{true};
    bool busy_ = false;
};

} // namespace vk
