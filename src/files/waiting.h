// The few things asked of the system beyond opening, reading and writing a file: holding an
// output file for this run alone, and waiting on a descriptor that is not ready yet (a
// non-blocking console, a pipe whose writer has stalled) in a way another thread can cut short.
//
//   if (!holdExclusively(fd)) ...                 // another run has the file: the opener retries
//   if (write(1, ...) < 0 && errno == EAGAIN) waitUntilWritable(1);
//   Wakeup stop;                                  // the reading thread waits for input or stop
//   if (waitUntilReadable(fd, &stop) == Readiness::Woken) ...   // another thread: stop.signal()
#pragma once

#include <atomic>

namespace vk {

// Takes an advisory lock on the whole file for this open of it (released when it is closed).
// False only when another open of the file holds it; a file system that cannot lock counts as
// held, so that it can still be written.
bool holdExclusively(int fd);

// Waits until a write to the descriptor can go on (after it gave EAGAIN): 0, or the errno.
int waitUntilWritable(int fd);

enum class Readiness { Ready, Woken, Failed };

// A signal that wakes a thread waiting for input in waitUntilReadable. Signalled once, it stays so.
class Wakeup {
  public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    bool usable() const { return readEnd_ >= 0; } // false when the system gave no means for it
    void signal();                                // from any thread
    bool signalled() const { return signalled_.load(std::memory_order_acquire); }

  private:
    friend Readiness waitUntilReadable(int fd, const Wakeup* wake);
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::atomic<bool> signalled_{false};
};

// Waits until the descriptor has input (or its end), or `wake` (may be null) is signalled.
Readiness waitUntilReadable(int fd, const Wakeup* wake);

} // namespace vk
