#include "files/console.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "files/exits.h"
#include "files/platform.h"
#include "files/terminal.h"
#include "text/encoding.h"
#include "text/strings.h"

namespace vk {

namespace {

// Output is handed to standard output once this much has gathered (and before every read).
constexpr std::size_t kFlushThreshold = 64 * 1024;
constexpr std::size_t kInputChunk = 4096;
constexpr std::size_t kWatchedLine = 1000;
// On a terminal, written output waits at most this long before it is shown.
constexpr std::chrono::milliseconds kTerminalDelay{50};

// A quiet console shows a warning of the same text this often; then it counts them. It tells
// apart this many texts at most (others are shown each time).
constexpr std::int64_t kShownRepeats = 3;
constexpr std::size_t kRepeatKinds = 1000;

// The beginnings of the summary lines that end a run: a quiet console shows them too.
constexpr std::string_view kSummaryLines[] = {"Written: ", "Finished."};

// A warning's text as a quiet console compares it: without the line number it may end with
// ("... Line number: 12"), which is its place as the place added to it is.
std::string_view withoutLineNumber(std::string_view text) {
    constexpr std::string_view kLineNumber = " Line number: ";
    const std::size_t at = text.rfind(kLineNumber);
    if (at == std::string_view::npos) return text;
    const std::string_view number = trimRight(text.substr(at + kLineNumber.size()));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos)
        return text;
    return text.substr(0, at);
}

bool isSummaryLine(std::string_view line) {
    for (const std::string_view start : kSummaryLines)
        if (line.starts_with(start)) return true;
    return false;
}

}  // namespace

// Standard output and input, or a sink of the caller's: shared by the consoles of the runs that
// write to it, which take turns (one run's thread writes at a time).
struct Console::Terminal {
    Terminal() { out_.reserve(kFlushThreshold + 1024); }
    ~Terminal() {
        if (flusher_.joinable()) {
            {
                std::lock_guard lock(outMutex_);
                stopFlusher_ = true;
            }
            flusherWakes_.notify_one();
            flusher_.join();
        }
        flush();
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void deliver(std::string_view bytes);
    void flush();
    void startTimedFlushing();
    void flushLoop();
    void writeOut();

    std::string out_;
    std::string* sink_ = nullptr;
    std::function<void(std::string_view)> callerSink_;  // a caller's, for the life of the terminal
    std::string utf8_; // a message that is not all UTF-8, as it is shown
    bool lineOpen_ = false;
    bool fedInput_ = false;
    bool fedFromTerminal_ = true;
    std::string in_;
    std::size_t inPos_ = 0;
    bool stdinEnded_ = false;

    // On a terminal a second thread writes what has waited for a tenth of a second at most.
    bool outputChecked_ = false;
    bool timed_ = false;
    std::mutex outMutex_;    // out_ and the flusher's state
    std::mutex writeMutex_;  // one writer of standard output at a time, in order
    std::condition_variable flusherWakes_;
    std::thread flusher_;
    bool stopFlusher_ = false;
};

Console::Console() : terminal_(std::make_shared<Terminal>()) {}

Console::Console(Console& terminal) : terminal_(terminal.terminal_) {}

Console::Console(std::function<void(std::string_view)> sink)
    : terminal_(std::make_shared<Terminal>()) {
    terminal_->callerSink_ = std::move(sink);
    terminal_->fedInput_ = true;
    terminal_->fedFromTerminal_ = false;
}

Console::Console(ConsoleRecording& recording) : recording_(&recording) {}

Console::~Console() = default;

void Console::emit(std::string_view bytes) {
    if (bytes.empty()) return;
    if (recording_ != nullptr) {
        recording_->bytes_.append(bytes);
        return;
    }
    if (state_.watcher_ != nullptr && !placeBytes_) showWatcher(bytes);
    terminal_->lineOpen_ = bytes.back() != '\n';
    if (state_.quiet_)
        filter(bytes);
    else
        deliver(bytes);
}

// A warning or error says where it arose: its first line ends with the place of the thread that
// writes it (recorded with it when that thread's output is replayed later, and shown then if the
// run is quiet).
void Console::message(std::string_view text) {
    const bool placed = recording_ != nullptr || state_.quiet_;
    if (!placed || place_ == nullptr || !isAlertLine(text)) {
        emit(text);
        return;
    }
    const std::size_t end = std::min(text.find('\n'), text.size());
    emit(text.substr(0, end));
    std::string place = " (";
    place_->describe(place);
    place += ')';
    emitPlace(place);
    emit(text.substr(end));
}

// A place is part of the console, not of the message: a watcher sees the message as a run that
// is not quiet writes it.
void Console::emitPlace(std::string_view place) {
    if (recording_ != nullptr) {
        recording_->places_.emplace_back(recording_->bytes_.size(), place.size());
        recording_->bytes_.append(place);
        return;
    }
    placeBytes_ = true;
    emit(place);
    placeBytes_ = false;
}

// Lines are shown whole or not at all. A line is shown when it is a warning or an error, or
// follows one without an empty line between (the input line an error quotes), or is a summary
// line, or is written in a dialogue; its start is held until that is known.
void Console::filter(std::string_view bytes) {
    ConsoleState& st = state_;
    if (placeBytes_ && !st.lineShown_) {
        st.placeAt_ = st.held_.size();
        st.placeLength_ = bytes.size();
    }
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            if (st.dialogues_ > 0) reveal();
            if (st.lineShown_)
                deliver(bytes);
            else
                st.held_.append(bytes);
            return;
        }
        const std::string_view piece = bytes.substr(0, end + 1);
        bytes.remove_prefix(end + 1);
        if (st.dialogues_ > 0) reveal();
        if (st.lineShown_) {
            deliver(piece);
            st.lineShown_ = false;
            continue;
        }
        st.held_.append(piece.substr(0, end));
        const std::string_view text = st.held_;
        bool show = false;
        if (text.empty()) {
            st.continuing_ = false;
        } else if (isAlertLine(text)) {
            st.continuing_ = true;
            st.hiding_ = counted(text);
            show = !st.hiding_;
        } else {
            show = (st.continuing_ && !st.hiding_) || isSummaryLine(text);
        }
        if (show) {
            st.held_ += '\n';
            deliver(st.held_);
        }
        st.held_.clear();
        st.placeLength_ = 0;
    }
}

// A warning ("WARNING - ", "Warning - ") is counted by its text without its place: shown
// kShownRepeats times, then counted.
bool Console::counted(std::string_view line) {
    ConsoleState& st = state_;
    const std::string_view text = line.substr(std::min(line.find_first_not_of(' '), line.size()));
    if (!text.starts_with("WARNING - ") && !text.starts_with("Warning - ")) return false;
    std::string& key = st.repeatKey_;
    if (st.placeLength_ > 0 && st.placeAt_ + st.placeLength_ <= line.size())
        key.assign(line.substr(0, st.placeAt_)).append(line.substr(st.placeAt_ + st.placeLength_));
    else
        key.assign(line);
    key.resize(withoutLineNumber(key).size());
    const auto found = st.repeats_.find(key);
    if (found != st.repeats_.end()) return ++found->second.seen > kShownRepeats;
    if (st.repeats_.size() < kRepeatKinds)
        st.repeats_.emplace(key, ConsoleState::Repeat{1, st.repeats_.size()});
    return false;
}

void Console::endRepeats() {
    ConsoleState& st = state_;
    if (recording_ != nullptr || st.repeats_.empty()) return;
    std::vector<std::pair<std::size_t, const std::string*>> more;
    for (const auto& [text, repeat] : st.repeats_)
        if (repeat.seen > kShownRepeats) more.emplace_back(repeat.order, &text);
    std::sort(more.begin(), more.end());
    if (!more.empty()) endLine();
    std::string line;
    for (const auto& [order, text] : more) {
        const std::int64_t count = st.repeats_.at(*text).seen - kShownRepeats;
        line.assign(*text).append(" (").append(std::to_string(count)).append(" more like it)\n");
        deliver(line);
    }
    st.repeats_.clear();
}

void Console::reveal() {
    ConsoleState& st = state_;
    if (st.lineShown_) return;
    st.lineShown_ = true;
    if (st.held_.empty()) return;
    deliver(st.held_);
    st.held_.clear();
}

void Console::deliver(std::string_view bytes) { terminal_->deliver(bytes); }

void Console::Terminal::deliver(std::string_view bytes) {
    // The console shows UTF-8 (a Windows console is set to it for the run): an export's text in a
    // message (an ID, a line quoted) that is not UTF-8 is shown as the Windows-1252 it is.
    if (!isAscii(bytes) && !isUtf8(bytes)) {
        utf8_.clear();
        appendUtf8(utf8_, bytes);
        bytes = utf8_;
    }
    if (sink_ != nullptr) {
        sink_->append(bytes);
        return;
    }
    if (callerSink_) {
        callerSink_(bytes);
        return;
    }
    if (!outputChecked_) {
        outputChecked_ = true;
        timed_ = standardOutputIsTerminal();
        if (timed_) startTimedFlushing();
    }
    if (!timed_) {
        out_.append(bytes);
        if (out_.size() >= kFlushThreshold) flush();
        return;
    }
    std::size_t size = 0;
    {
        std::lock_guard lock(outMutex_);
        if (out_.empty()) flusherWakes_.notify_one();
        out_.append(bytes);
        size = out_.size();
    }
    if (size >= kFlushThreshold) flush();
}

void Console::Terminal::startTimedFlushing() {
    try {
        flusher_ = std::thread([this] { flushLoop(); });
    } catch (const std::system_error&) {
        timed_ = false;  // no thread to spare: output is handed on as it gathers, as to a file
    }
}

// The flushing thread: once output is waiting, it gives the run kTerminalDelay to add more, then
// writes everything there is.
void Console::Terminal::flushLoop() {
    std::unique_lock lock(outMutex_);
    for (;;) {
        flusherWakes_.wait(lock, [&] { return stopFlusher_ || !out_.empty(); });
        if (stopFlusher_) return;
        flusherWakes_.wait_for(lock, kTerminalDelay, [&] { return stopFlusher_; });
        if (stopFlusher_) return;
        lock.unlock();
        writeOut();
        lock.lock();
    }
}

void Console::Terminal::writeOut() {
    std::lock_guard writing(writeMutex_);
    std::string bytes;
    {
        std::lock_guard lock(outMutex_);
        bytes.swap(out_);
        out_.reserve(kFlushThreshold + 1024);
    }
    sys::consoleWrite(bytes);
}

void Console::showWatcher(std::string_view bytes) {
    std::string& line = state_.watchedLine_;
    for (;;) {
        const std::size_t end = bytes.find('\n');
        const std::string_view part = bytes.substr(0, end);
        if (line.size() < kWatchedLine) line.append(part.substr(0, kWatchedLine - line.size()));
        if (end == std::string_view::npos) return;
        state_.watcher_->consoleLine(line);
        line.clear();
        bytes.remove_prefix(end + 1);
    }
}

void Console::watch(ConsoleWatcher* watcher) {
    state_.watcher_ = watcher;
    state_.watchedLine_.clear();
}

void Console::write(std::string_view text) { emit(text); }

void Console::line(std::string_view text) {
    message(text);
    emit("\n");
}

void Console::countAlert(std::string_view text) {
    if (!isAlertLine(text)) return;
    if (recording_ != nullptr)
        ++recording_->alertLines_;
    else
        ++state_.alertLines_;
}

void Console::breakLine(std::string_view text) {
    countAlert(text);
    emit("\n");
    message(text);
    emit("\n");
}

void Console::listLine(std::string_view text) {
    countAlert(text);
    if (!text.empty()) {
        emit(" ");
        message(text);
    }
    emit("\n");
}

void Console::endLine() {
    if (recording_ != nullptr) {
        recording_->lineEnds_.push_back(recording_->bytes_.size());
        return;
    }
    if (terminal_->lineOpen_) emit("\n");
}

void Console::endMessage() {
    if (recording_ == nullptr) state_.continuing_ = false;
}

void Console::replay(ConsoleRecording& recording) { replay(recording, recording.mark()); }

void Console::replay(ConsoleRecording& recording, ConsoleRecording::Mark until) {
    const std::string_view bytes = std::string_view(recording.bytes_).substr(0, until.bytes);
    const auto& ends = recording.lineEnds_;
    const std::size_t endCount = std::min(until.lineEnds, ends.size());
    const auto& places = recording.places_;
    std::size_t done = 0;
    auto emitTo = [&](std::size_t to) {
        emit(bytes.substr(done, to - done));
        done = to;
    };
    std::size_t e = 0;
    for (const auto& [at, length] : places) {
        if (at + length > bytes.size()) break;  // recorded after the mark
        for (; e < endCount && ends[e] <= at; ++e) {
            emitTo(ends[e]);
            endLine();
        }
        emitTo(at);
        // A place is recorded whether the run is quiet or not; only a quiet run shows it.
        if (state_.quiet_) {
            placeBytes_ = true;
            emitTo(at + length);
            placeBytes_ = false;
        }
        done = at + length;
    }
    for (; e < endCount; ++e) {
        emitTo(ends[e]);
        endLine();
    }
    emitTo(bytes.size());
    state_.alertLines_ += recording.alertLines_;
    recording.clear();
}

void Console::flush() {
    if (recording_ == nullptr) terminal_->flush();
}

void Console::Terminal::flush() {
    if (timed_) {
        writeOut();
        return;
    }
    if (out_.empty()) return;
    // A console that cannot be written leaves nowhere to report it.
    sys::consoleWrite(out_);
    out_.clear();
}

bool Console::readLine(std::string& reply, std::size_t maxLength) {
    reply.clear();
    if (recording_ != nullptr) return false;
    // A prompt left open is shown, however quiet the console.
    if (state_.quiet_ && !state_.held_.empty()) reveal();
    flush();
    Terminal& t = *terminal_;
    bool any = false;         // a byte of this line was seen
    std::size_t length = 0;   // bytes of the line so far, cut or not
    bool lastWasCr = false;
    for (;;) {
        if (t.inPos_ >= t.in_.size()) {
            if (t.fedInput_ || t.stdinEnded_) return any;
            t.in_.resize(kInputChunk);
            std::size_t n = 0;
            const int err = sys::consoleRead(t.in_.data(), t.in_.size(), n);
            if (err == EINTR && sys::interrupted() && !std::exchange(state_.interruptTold_, true))
                throw RunInterrupted{};
            if (err != 0 || n == 0) {
                // A read error ends the console input as surely as the end of a file does.
                t.in_.clear();
                t.inPos_ = 0;
                t.stdinEnded_ = true;
                return any;
            }
            t.in_.resize(n);
            t.inPos_ = 0;
        }
        const char c = t.in_[t.inPos_++];
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

bool Console::inputIsTerminal() const {
    if (recording_ != nullptr) return false;
    return terminal_->fedInput_ ? terminal_->fedFromTerminal_ : standardInputIsTerminal();
}

void Console::setQuiet(bool quiet) {
    state_.quiet_ = quiet;
    state_.repeats_.clear();
    state_.hiding_ = false;
    state_.held_.clear();
    state_.lineShown_ = false;
    state_.continuing_ = false;
}

void Console::captureOutput(std::string* sink) {
    flush();
    terminal_->sink_ = sink;
    // The new destination starts on a fresh line.
    terminal_->lineOpen_ = false;
    state_.held_.clear();
    state_.lineShown_ = false;
    state_.continuing_ = false;
}

void Console::feedInput(std::string_view text, bool fromTerminal) {
    Terminal& t = *terminal_;
    t.fedInput_ = true;
    t.fedFromTerminal_ = fromTerminal;
    t.in_.assign(text);
    t.inPos_ = 0;
}

void Console::useStandardInput() {
    Terminal& t = *terminal_;
    t.fedInput_ = false;
    t.in_.clear();
    t.inPos_ = 0;
    t.stdinEnded_ = false;
}

ConsoleDialogue::ConsoleDialogue(Console& c) : console_(c.recording_ == nullptr ? &c : nullptr) {
    if (console_ == nullptr) return;
    state_ = &console_->state_;
    if (state_->dialogues_++ == 0 && state_->quiet_ && !state_->held_.empty()) console_->reveal();
}

ConsoleDialogue::~ConsoleDialogue() {
    if (state_ != nullptr) --state_->dialogues_;
}

}  // namespace vk
