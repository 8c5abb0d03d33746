// The console: buffered standard output that remembers whether the current line is left open,
// and line-by-line reading of standard input. Output is flushed before every read, and on a
// terminal within a tenth of a second of being written. Tests redirect both sides to strings.
//
//     console().breakLine("Processing Stream Centrelines");   // "\n" + text + "\n"
//     console().write(" Please enter the .sdf file -> ");    // the line stays open
//     std::string reply;
//     if (!console().readLine(reply, 1000)) { /* end of input */ }
//
// A quiet console (setQuiet) shows only the lines a person must see: warnings and errors (each
// with the place in the input it concerns, see ConsolePlace), the summary and "Finished.", the
// prompts left open when a reply is read, and whatever a ConsoleDialogue marks as shown. A
// warning whose text (without its place) repeats is shown three times, then counted, and
// endRepeats() says how many more of each there were.
//
// The console is the process's, but what a run sets on it (quiet, the watcher) and what it counts
// there are the run's own ConsoleState, in use while the run's ConsoleStateScope lives:
//
//     ConsoleState mine;
//     const ConsoleStateScope use(mine);
//     console().setQuiet(true);   // quiet until `use` ends, then as before
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "files/inuse.h"

namespace vk {

// Console output of a thread working beside the run, kept to be written later, in order, by the
// run's thread (Console::replay).
class ConsoleRecording {
public:
    bool empty() const { return bytes_.empty() && lineEnds_.empty() && alertLines_ == 0; }
    void clear() {
        bytes_.clear();
        lineEnds_.clear();
        places_.clear();
        alertLines_ = 0;
    }
    // A point in the recording: what was recorded up to now.
    struct Mark {
        std::size_t bytes = 0;
        std::size_t lineEnds = 0;
    };
    Mark mark() const { return {bytes_.size(), lineEnds_.size()}; }

private:
    friend class Console;
    std::string bytes_;
    std::vector<std::size_t> lineEnds_;  // where endLine() was asked for, as offsets in bytes_
    // The places added to warnings in a quiet run, as offset and length in bytes_.
    std::vector<std::pair<std::size_t, std::size_t>> places_;
    std::int64_t alertLines_ = 0;        // warning and error messages among them
};

// Sees each line the console writes on the run's thread (a recording as it is replayed): the
// text between two line ends. It must not write to the console itself.
class ConsoleWatcher {
public:
    virtual ~ConsoleWatcher() = default;
    virtual void consoleLine(std::string_view text) = 0;
};

// Where in its input the calling thread is working (the section being read or written), for the
// warnings and errors of a quiet run: the line of such a message ends with " (" + describe() + ")".
class ConsolePlace {
public:
    virtual void describe(std::string& out) const = 0;  // appends e.g. "stream A, reach B, line 9"

protected:
    ~ConsolePlace() = default;
};

// Makes `place` the calling thread's place while it lives (nullptr: none); the previous one after.
class ConsolePlaceScope : InUse<const ConsolePlace> {
public:
    explicit ConsolePlaceScope(const ConsolePlace* place);
};

// What one run sets on a console and what it counts there. Owned by the run's state.
class ConsoleState {
private:
    friend class Console;
    friend class ConsoleDialogue;
    bool quiet_ = false;
    // Quiet output: the start of a line not yet known to be shown, whether the current line is,
    // whether the lines after a warning still belong to it, and open dialogues.
    std::string held_;
    bool lineShown_ = false;
    bool continuing_ = false;
    int dialogues_ = 0;
    // Quiet output: each warning text (without its place, see Console::counted) seen, how
    // often and in which order; whether the current warning is one counted and not shown (and
    // its lines with it); where the place in held_ begins and its length.
    struct Repeat {
        std::int64_t seen = 0;
        std::size_t order = 0;
    };
    std::unordered_map<std::string, Repeat> repeats_;
    std::string repeatKey_;
    bool hiding_ = false;
    std::size_t placeAt_ = 0, placeLength_ = 0;
    ConsoleWatcher* watcher_ = nullptr;
    std::string watchedLine_;
    std::int64_t alertLines_ = 0;
    // The run was told of its interruption by a reply that did not come; later prompts (its
    // closing pause) end as at the end of the input.
    bool interruptTold_ = false;
};

class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void write(std::string_view text);       // no line end: the line stays open
    void line(std::string_view text = {});   // text, then a line end
    // A message that begins with a line break: it ends a line left open, and otherwise leaves one
    // empty line before its text. Either way the bytes are "\n" + text + "\n".
    void breakLine(std::string_view text);
    // List-directed output: every non-empty line begins with one blank; an empty line is a bare
    // line end.
    void listLine(std::string_view text);
    void endLine();                          // ends the line if one is open
    // The message written last has no lines after it: what follows without an empty line between
    // is a step of the run, which a quiet console does not show as the message's (the run's
    // thread only; a recording's messages keep the lines that follow them).
    void endMessage();

    // The warning and error messages written so far (isAlertLine): the messages of breakLine and
    // listLine, those of a recording counted when it is replayed. Lines written with line() are
    // not counted: they echo input or complete a message.
    std::int64_t alertLines() const { return state_->alertLines_; }
    void flush();

    // Reads one reply line (flushing output first). The line ends at the line feed; a carriage
    // return before it is dropped; the reply is cut at maxLength characters (the rest of the line
    // is consumed). Reading writes nothing, so an open line stays open. False at end of input.
    bool readLine(std::string& reply, std::size_t maxLength);
    // Whether the replies come from a person at a terminal (fed input: as the feeder said).
    bool inputIsTerminal() const;

    // Quiet output for the rest of the run (false: every line again).
    void setQuiet(bool quiet);
    // In a quiet run, one line for each warning counted instead of shown: "<its text> (N more
    // like it)", in the order they first came; the counts then start again. (The run's thread
    // only; the run ends with it, before its summary.)
    void endRepeats();
    bool quiet() const { return state_->quiet_; }

    // Output of the calling thread goes to *recording from now on (nullptr: to the console
    // again); reading gives end of input meanwhile. replay() writes a recording as if its calls
    // were made now, and empties it. Recording reads nothing of the state in use: the places of
    // warnings are kept whatever it is, and the replay shows them when the run is quiet.
    static void recordThisThread(ConsoleRecording* recording);
    void replay(ConsoleRecording& recording);
    // Writes only what was recorded up to `until` (a mark taken of this recording), and empties it.
    void replay(ConsoleRecording& recording, ConsoleRecording::Mark until);

    // Redirection, for tests and the fuzz harness: output appended to *sink (nullptr: standard
    // output again), input taken from the given text (end of input after it), typed at a
    // terminal or not.
    void captureOutput(std::string* sink);
    void feedInput(std::string_view text, bool fromTerminal = true);
    void useStandardInput();

    // Every line written from now on is shown to *watcher as well (nullptr: to none). A line is
    // shown cut at 1000 characters.
    void watch(ConsoleWatcher* watcher);

private:
    friend class ConsoleDialogue;
    friend class ConsoleStateScope;
    void emit(std::string_view bytes);
    void message(std::string_view text);  // one message's text, its place added in a quiet run
    void filter(std::string_view bytes);  // what a quiet console shows of these bytes
    void reveal();                        // the held start of the current line is shown after all
    void deliver(std::string_view bytes); // to the sink or towards standard output
    void startTimedFlushing();
    void flushLoop();
    void writeOut();
    void showWatcher(std::string_view bytes);
    void emitPlace(std::string_view place);
    bool counted(std::string_view line);  // a quiet run's warning that is counted, not shown
    bool placeBytes_ = false;  // what is emitted is a place, which a watcher does not see

    ConsoleState own_;  // in use while no ConsoleStateScope is
    ConsoleState* state_ = &own_;

    void countAlert(std::string_view text);
    std::string out_;
    std::string* sink_ = nullptr;
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

Console& console();

// Puts a run's ConsoleState in use on a console while it lives; the one in use before, with all
// it was set to, after.
class ConsoleStateScope : InUse<ConsoleState> {
public:
    explicit ConsoleStateScope(ConsoleState& state, Console& c = console());
};

// While it lives, everything the run's thread writes to the console is shown in a quiet run too,
// with the start of a line left open before it (a dialogue that asks, or a pause).
class ConsoleDialogue {
public:
    explicit ConsoleDialogue(Console& c = console());
    ~ConsoleDialogue();
    ConsoleDialogue(const ConsoleDialogue&) = delete;
    ConsoleDialogue& operator=(const ConsoleDialogue&) = delete;

private:
    Console* console_;  // none on a thread whose output is recorded
    ConsoleState* state_ = nullptr;  // the one in use when the dialogue began
};

}  // namespace vk
