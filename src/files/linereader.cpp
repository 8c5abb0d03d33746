#include "files/linereader.h"

#include "files/exits.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/platform.h"

namespace vk {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

LineReader::~LineReader() { close(); }

bool LineReader::open(const std::string& path) {
    close();
    error_ = 0;
    sys::File file;
    error_ = sys::openFile(path, sys::Access::Read, file);
    if (error_ != 0) return false;
    sys::FileInfo info;
    if (!sys::fileInfo(file, info) || info.directory) {
        error_ = info.directory ? EISDIR : EIO;
        sys::closeFile(file);
        return false;
    }
    file_ = file;
    regular_ = info.regular;
    pos_ = end_ = 0;
    eof_ = false;
    rest_ = wholeInBuffer_ = false;
    return true;
}

void LineReader::close() {
    if (file_ != sys::kNoFile) sys::closeFile(file_);
    file_ = sys::kNoFile;
    pos_ = end_ = 0;
    eof_ = false;
    rest_ = wholeInBuffer_ = false;
}

bool LineReader::fill() {
    if (file_ == sys::kNoFile) {
        error_ = EBADF;
        return false;
    }
    // The buffer is taken at the first read and kept for later opens of this reader.
    if (buf_.size() < kBufferSize) buf_.resize(kBufferSize);
    if (wake_ != nullptr && wake_->signalled()) {
        error_ = ECANCELED;
        return false;
    }
    // Input that may keep us waiting (a pipe, a terminal) is read once it is there, so that a
    // wake or an interruption cuts the wait short.
    std::size_t n = 0;
    int err = regular_ ? 0 : sys::waitForInput(file_, wake_);
    if (err == 0) err = sys::readSome(file_, buf_.data(), buf_.size(), n);
    if (err != 0) {
        if (err == EINTR && sys::interrupted()) throw RunInterrupted{};
        error_ = err;
        return false;
    }
    pos_ = 0;
    end_ = n;
    if (n == 0) eof_ = true;
    return n > 0;
}

LineReader::Status LineReader::readLine(std::string& line, std::size_t maxLength) {
    wholeInBuffer_ = false;
    if (!skipRest()) return Status::Error;
    line.clear();
    any_ = false;
    length_ = 0;
    lastWasCr_ = false;
    return readOn(line, maxLength, false);
}

LineReader::Status LineReader::readOn(std::string& line, std::size_t maxLength, bool keepRest) {
    rest_ = false;
    for (;;) {
        if (pos_ == end_) {
            if (eof_ || !fill()) {
                if (!eof_) return Status::Error;
                return any_ ? Status::Line : Status::End;
            }
        }
        const char* start = buf_.data() + pos_;
        const std::size_t avail = end_ - pos_;
        const void* lf = std::memchr(start, '\n', avail);
        std::size_t take = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start)
                              : avail;
        const std::size_t room = maxLength - std::min(maxLength, line.size());
        const bool cut = keepRest && take > room;
        if (cut) take = room;
        if (take > 0) {
            any_ = true;
            if (line.size() < maxLength)
                line.append(start, std::min(take, maxLength - line.size()));
            length_ += take;
            lastWasCr_ = start[take - 1] == '\r';
        }
        pos_ += take;
        if (cut) {
            any_ = rest_ = true;
            return Status::Line;
        }
        if (lf) {
            ++pos_;
            if (lastWasCr_ && line.size() == length_) line.pop_back();
            return Status::Line;
        }
    }
}

bool LineReader::skipRest() {
    if (!rest_) return true;
    std::string none;  // takes nothing: its room is 0
    return readOn(none, 0, false) != Status::Error;
}

LineReader::Status LineReader::readLine(std::string_view& line, std::string& store,
                                        std::size_t maxLength) {
    wholeInBuffer_ = false;
    if (!skipRest()) return Status::Error;
    if (pos_ < end_) {
        const char* start = buf_.data() + pos_;
        const void* lf = std::memchr(start, '\n', end_ - pos_);
        if (lf != nullptr) {
            const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
            pos_ += length + 1;
            whole_ = std::string_view(start, length);
            if (length > 0 && start[length - 1] == '\r') whole_.remove_suffix(1);
            wholeInBuffer_ = true;
            // As the copying read: cut at maxLength, the carriage return of an uncut line dropped.
            line = length > maxLength ? std::string_view(start, maxLength) : whole_;
            return Status::Line;
        }
    }
    // The line goes on past the buffer: its rest past the cut is left for wholeLine().
    store.clear();
    any_ = false;
    length_ = 0;
    lastWasCr_ = false;
    const Status status = readOn(store, maxLength, true);
    line = store;
    return status;
}

LineReader::Status LineReader::wholeLine(std::string_view& line, std::string& store) {
    if (wholeInBuffer_) {
        line = whole_;
        return Status::Line;
    }
    const Status status = rest_ ? readOn(store, std::string::npos, false) : Status::Line;
    line = store;
    return status;
}

bool LineReader::atEnd() {
    if (!skipRest()) return false;
    if (pos_ < end_) return false;
    if (eof_) return true;
    fill();
    return pos_ == end_ && eof_;
}

bool LineReader::rewind() {
    const int err = file_ == sys::kNoFile ? EBADF : sys::seekTo(file_, 0);
    if (err != 0) {
        error_ = err;
        return false;
    }
    pos_ = end_ = 0;
    eof_ = false;
    error_ = 0;
    rest_ = wholeInBuffer_ = false;
    return true;
}

}  // namespace vk
