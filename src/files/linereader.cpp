#include "files/linereader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/waiting.h"

namespace vk {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

LineReader::~LineReader() { close(); }

bool LineReader::open(const std::string& path) {
    close();
    error_ = 0;
    // A name holding a NUL byte names no file on the system.
    if (path.find('\0') != std::string::npos) {
        error_ = ENOENT;
        return false;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    regular_ = S_ISREG(st.st_mode);
    pos_ = end_ = 0;
    eof_ = false;
    return true;
}

void LineReader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    pos_ = end_ = 0;
    eof_ = false;
}

bool LineReader::fill() {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    // The buffer is taken at the first read and kept for later opens of this reader.
    if (buf_.size() < kBufferSize) buf_.resize(kBufferSize);
    if (wake_ != nullptr && wake_->signalled()) {
        error_ = ECANCELED;
        return false;
    }
    ssize_t n;
    // Input that may keep us waiting (a pipe, a terminal) is read once it is there, so that a
    // wake cuts the wait short; so is that of a descriptor someone left non-blocking.
    bool waitFirst = !regular_ && wake_ != nullptr;
    for (;;) {
        if (waitFirst) {
            const Readiness ready = waitUntilReadable(fd_, wake_);
            if (ready != Readiness::Ready) {
                error_ = ready == Readiness::Woken ? ECANCELED : errno;
                return false;
            }
        }
        n = ::read(fd_, buf_.data(), buf_.size());
        if (n >= 0) break;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = errno;
            return false;
        }
        if (errno != EINTR) waitFirst = true;
    }
    pos_ = 0;
    end_ = static_cast<std::size_t>(n);
    if (n == 0) eof_ = true;
    return n > 0;
}

LineReader::Status LineReader::readLine(std::string& line, std::size_t maxLength) {
    line.clear();
    bool any = false;        // a byte of this line was seen
    std::size_t length = 0;  // bytes of the line so far, cut or not
    bool lastWasCr = false;
    for (;;) {
        if (pos_ == end_) {
            if (eof_ || !fill()) {
                if (!eof_) return Status::Error;
                return any ? Status::Line : Status::End;
            }
        }
        const char* start = buf_.data() + pos_;
        const std::size_t avail = end_ - pos_;
        const void* lf = std::memchr(start, '\n', avail);
        const std::size_t take = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start)
                                    : avail;
        if (take > 0) {
            any = true;
            if (line.size() < maxLength)
                line.append(start, std::min(take, maxLength - line.size()));
            length += take;
            lastWasCr = start[take - 1] == '\r';
        }
        pos_ += take;
        if (lf) {
            ++pos_;
            if (lastWasCr && line.size() == length) line.pop_back();
            return Status::Line;
        }
    }
}

LineReader::Status LineReader::readLine(std::string_view& line, std::string& store,
                                        std::size_t maxLength) {
    if (pos_ < end_) {
        const char* start = buf_.data() + pos_;
        const void* lf = std::memchr(start, '\n', end_ - pos_);
        if (lf != nullptr) {
            const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
            pos_ += length + 1;
            // As the copying read: cut at maxLength, the carriage return of an uncut line dropped.
            if (length > maxLength) {
                line = std::string_view(start, maxLength);
            } else {
                line = std::string_view(start, length);
                if (length > 0 && start[length - 1] == '\r') line.remove_suffix(1);
            }
            return Status::Line;
        }
    }
    const Status status = readLine(store, maxLength);
    line = store;
    return status;
}

bool LineReader::readBytes(char* out, std::size_t count) {
    while (count > 0) {
        if (pos_ == end_ && (eof_ || !fill())) return false;
        const std::size_t take = std::min(count, end_ - pos_);
        std::memcpy(out, buf_.data() + pos_, take);
        out += take;
        count -= take;
        pos_ += take;
    }
    return true;
}

bool LineReader::atEnd() {
    if (pos_ < end_) return false;
    if (eof_) return true;
    fill();
    return pos_ == end_ && eof_;
}

bool LineReader::rewind() {
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) < 0) {
        error_ = fd_ < 0 ? EBADF : errno;
        return false;
    }
    pos_ = end_ = 0;
    eof_ = false;
    error_ = 0;
    return true;
}

}  // namespace vk
