#include "files/waiting.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

namespace vk {

bool holdExclusively(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 || errno != EWOULDBLOCK;
}

int waitUntilWritable(int fd) {
    pollfd ready{fd, POLLOUT, 0};
    while (::poll(&ready, 1, -1) < 0)
        if (errno != EINTR) return errno;
    return 0;
}

Wakeup::Wakeup() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
}

Wakeup::~Wakeup() {
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

void Wakeup::signal() {
    if (signalled_.exchange(true, std::memory_order_acq_rel)) return;
    // The byte is never read: the read end stays readable for every later wait.
    const char byte = 1;
    if (writeEnd_ >= 0)
        while (::write(writeEnd_, &byte, 1) < 0 && errno == EINTR) {
        }
}

Readiness waitUntilReadable(int fd, const Wakeup* wake) {
    pollfd ready[2] = {{fd, POLLIN, 0}, {wake != nullptr ? wake->readEnd_ : -1, POLLIN, 0}};
    for (;;) {
        if (wake != nullptr && wake->signalled()) return Readiness::Woken;
        const int n = ::poll(ready, wake != nullptr ? 2 : 1, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Readiness::Failed;
        }
        if (ready[1].revents != 0) return Readiness::Woken;
        // An error or hang-up is seen by the read that follows, as the end or a failure.
        if (ready[0].revents != 0) return Readiness::Ready;
    }
}

} // namespace vk
