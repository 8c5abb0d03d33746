#include "files/console.h"

#include <cerrno>
#include <unistd.h>

namespace vk {

namespace {

// Output is handed to standard output once this much has gathered (and before every read).
constexpr std::size_t kFlushThreshold = 64 * 1024;
constexpr std::size_t kInputChunk = 4096;
constexpr std::size_t kWatchedLine = 1000;

// Where the output of this thread is kept instead of written; none for the run's own thread.
thread_local ConsoleRecording* recordingHere = nullptr;

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // nowhere left to report a console that cannot be written
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

Console::Console() { out_.reserve(kFlushThreshold + 1024); }

Console::~Console() { flush(); }

void Console::emit(std::string_view bytes) {
    if (bytes.empty()) return;
    if (recordingHere != nullptr) {
        recordingHere->bytes_.append(bytes);
        return;
    }
    if (watcher_ != nullptr) showWatcher(bytes);
    lineOpen_ = bytes.back() != '\n';
    if (sink_ != nullptr) {
        sink_->append(bytes);
        return;
    }
    out_.append(bytes);
    if (out_.size() >= kFlushThreshold) flush();
}

void Console::showWatcher(std::string_view bytes) {
    for (;;) {
        const std::size_t end = bytes.find('\n');
        const std::string_view part = bytes.substr(0, end);
        if (watchedLine_.size() < kWatchedLine)
            watchedLine_.append(part.substr(0, kWatchedLine - watchedLine_.size()));
        if (end == std::string_view::npos) return;
        watcher_->consoleLine(watchedLine_);
        watchedLine_.clear();
        bytes.remove_prefix(end + 1);
    }
}

void Console::watch(ConsoleWatcher* watcher) {
    watcher_ = watcher;
    watchedLine_.clear();
}

void Console::write(std::string_view text) { emit(text); }

void Console::line(std::string_view text) {
    emit(text);
    emit("\n");
}

void Console::breakLine(std::string_view text) {
    emit("\n");
    emit(text);
    emit("\n");
}

void Console::listLine(std::string_view text) {
    if (!text.empty()) {
        emit(" ");
        emit(text);
    }
    emit("\n");
}

void Console::endLine() {
    if (recordingHere != nullptr) {
        recordingHere->lineEnds_.push_back(recordingHere->bytes_.size());
        return;
    }
    if (lineOpen_) emit("\n");
}

void Console::recordThisThread(ConsoleRecording* recording) { recordingHere = recording; }

void Console::replay(ConsoleRecording& recording) {
    const std::string_view bytes = recording.bytes_;
    std::size_t done = 0;
    for (const std::size_t end : recording.lineEnds_) {
        emit(bytes.substr(done, end - done));
        endLine();
        done = end;
    }
    emit(bytes.substr(done));
    recording.clear();
}

void Console::flush() {
    if (recordingHere != nullptr || out_.empty()) return;
    writeAll(STDOUT_FILENO, out_);
    out_.clear();
}

bool Console::readLine(std::string& reply, std::size_t maxLength) {
    reply.clear();
    if (recordingHere != nullptr) return false;
    flush();
    bool any = false;         // a byte of this line was seen
    std::size_t length = 0;   // bytes of the line so far, cut or not
    bool lastWasCr = false;
    for (;;) {
        if (inPos_ >= in_.size()) {
            if (fedInput_ || stdinEnded_) return any;
            in_.resize(kInputChunk);
            ssize_t n;
            do {
                n = ::read(STDIN_FILENO, in_.data(), in_.size());
            } while (n < 0 && errno == EINTR);
            if (n <= 0) {
                // A read error ends the console input as surely as the end of a file does.
                in_.clear();
                inPos_ = 0;
                stdinEnded_ = true;
                return any;
            }
            in_.resize(static_cast<std::size_t>(n));
            inPos_ = 0;
        }
        const char c = in_[inPos_++];
        any = true;
        if (c == '\n') {
            // The carriage return of a CR LF line end is not part of the reply (when it was kept).
            if (lastWasCr && reply.size() == length) reply.pop_back();
            return true;
        }
        ++length;
        lastWasCr = c == '\r';
        if (reply.size() < maxLength) reply += c;
    }
}

void Console::captureOutput(std::string* sink) {
    flush();
    sink_ = sink;
    // The new destination starts on a fresh line.
    lineOpen_ = false;
}

void Console::feedInput(std::string_view text) {
    fedInput_ = true;
    in_.assign(text);
    inPos_ = 0;
}

void Console::useStandardInput() {
    fedInput_ = false;
    in_.clear();
    inPos_ = 0;
    stdinEnded_ = false;
}

Console& console() {
    static Console instance;
    return instance;
}

}  // namespace vk
