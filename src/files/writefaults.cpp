// Writes that fail on purpose (tests): which files are affected and how much they still take.
// Shared by the system sources; the cost for a run without faults is one atomic load per write
// (none for a file opened without faults).
#include <algorithm>
#include <utility>

#include "files/platform.h"

namespace vk::sys {

using Faults = WriteFaults;

void setWriteFault(Faults& f, const WriteFault& fault) {
    std::lock_guard lock(f.mutex);
    f.fault = fault;
    f.active = true;
    f.paused = false;
    f.set.store(true, std::memory_order_release);
}

void clearWriteFaults(Faults& f) {
    std::lock_guard lock(f.mutex);
    f.active = false;
    f.files.clear();
    f.set.store(false, std::memory_order_release);
}

namespace detail {

bool faultsSet(const Faults* f) { return f != nullptr && f->set.load(std::memory_order_acquire); }

void noteOpened(Faults& f, const std::string& path, File file) {
    std::lock_guard lock(f.mutex);
    if (!f.active || f.fault.nameEnding.empty() || !path.ends_with(f.fault.nameEnding)) return;
    f.files.push_back(file);
}

void noteClosed(Faults& f, File file) {
    std::lock_guard lock(f.mutex);
    f.files.erase(std::remove(f.files.begin(), f.files.end(), file), f.files.end());
}

bool faultyFile(Faults& f, File file) {
    std::lock_guard lock(f.mutex);
    if (f.active && f.fault.nameEnding.empty()) return true;
    return std::find(f.files.begin(), f.files.end(), file) != f.files.end();
}

int allowedBytes(Faults& f, File file, std::uint64_t offset, std::size_t size,
                 std::size_t& allowed) {
    std::unique_lock lock(f.mutex);
    allowed = size;
    if (!f.active) return 0;
    if (!f.fault.nameEnding.empty() &&
        std::find(f.files.begin(), f.files.end(), file) == f.files.end())
        return 0;
    const std::uint64_t limit = f.fault.limit;
    if (offset + size <= limit) return 0;
    if (f.fault.pause) {
        if (std::exchange(f.paused, true)) return 0;
        const std::function<void()> pause = f.fault.pause;
        lock.unlock();  // the pause may open and write files of its own
        pause();
        return 0;
    }
    // As a size limit does: the bytes below the limit are written, the write after them fails.
    allowed = offset < limit ? static_cast<std::size_t>(limit - offset) : 0;
    return allowed > 0 ? 0 : f.fault.error;
}

}  // namespace detail

}  // namespace vk::sys
