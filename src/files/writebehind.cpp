#include "files/writebehind.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "files/platform.h"

namespace vk {

// The thread that carries out the writes, started at the first one. It is stopped at the end of
// the process, after the writes already started: a ticket's write is finished before the
// ticket's wait() can be called from another static's destructor.
class WriteBehind {
  public:
    static WriteBehind& instance() {
        static WriteBehind writer;
        return writer;
    }

    // False when no thread can be started (the caller then writes itself).
    bool submit(WriteTicket& ticket) {
        std::lock_guard lock(mutex_);
        if (!started_) {
            try {
                thread_ = std::thread([this] { serve(); });
            } catch (const std::system_error&) {
                return false;
            }
            started_ = true;
        }
        ticket.done_.store(false, std::memory_order_relaxed);
        queue_.push_back(&ticket);
        work_.notify_one();
        return true;
    }

    void await(const WriteTicket& ticket) {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return ticket.done_.load(std::memory_order_relaxed); });
    }

    ~WriteBehind() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            work_.notify_one();
        }
        if (thread_.joinable()) thread_.join();
    }

  private:
    WriteBehind() = default;

    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return; // stopping, and every write started is done
            WriteTicket& ticket = *queue_.front();
            queue_.pop_front();
            lock.unlock();
            // The write goes through the faults of the run that started it.
            const int error = sys::writeAll(ticket.file_, ticket.bytes_.data(),
                                            ticket.bytes_.size(), ticket.faults_);
            lock.lock();
            ticket.error_ = error;
            ticket.done_.store(true, std::memory_order_release);
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable finished_;
    std::deque<WriteTicket*> queue_;
    std::thread thread_;
    bool started_ = false;
    bool stopping_ = false;
};

void WriteTicket::start(sys::File file, std::string_view bytes, sys::WriteFaults* faults) {
    wait();
    file_ = file;
    bytes_ = bytes;
    faults_ = faults;
    error_ = 0;
    if (WriteBehind::instance().submit(*this))
        busy_ = true;
    else
        error_ = sys::writeAll(file, bytes.data(), bytes.size(), faults);
}

int WriteTicket::wait() {
    if (busy_) {
        // Once done, the writer no longer touches the ticket: no lock is needed to see that.
        if (!done_.load(std::memory_order_acquire)) WriteBehind::instance().await(*this);
        busy_ = false;
    }
    const int error = error_;
    error_ = 0;
    return error;
}

} // namespace vk
