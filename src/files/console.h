// The console: buffered standard output that remembers whether the current line is left open,
// and line-by-line reading of standard input. Output is flushed before every read, and on a
// terminal within a tenth of a second of being written. Tests redirect both sides to strings.
// The program's entry point makes one and hands it on; nothing reaches it but through the
// arguments or the objects it was handed to.
//
//     Console con;                                        // standard output and input
//     con.breakLine("Processing Stream Centrelines");     // "\n" + text + "\n"
//     con.write(" Please enter the .sdf file -> ");      // the line stays open
//     std::string reply;
//     if (!con.readLine(reply, 1000)) { /* end of input */ }
//
// A quiet console (setQuiet) shows only the lines a person must see: warnings and errors (each
// with the place in the input it concerns, see ConsolePlace), the summary and "Finished.", the
// prompts left open when a reply is read, and whatever a ConsoleDialogue marks as shown. A
// warning whose text (without its place) repeats is shown three times, then counted, and
// endRepeats() says how many more of each there were.
//
// The terminal is the process's, but what a run sets on the console (quiet, the watcher), what it
// counts there and the place its warnings name are the run's: a run has a Console of its own on
// the terminal of the one it was given, and what it set goes with it:
//
//     Console mine(con);          // con's terminal, its line still open or not
//     mine.setQuiet(true);        // quiet until `mine` goes; con as it was
//
// A caller that embeds the conversion gives it a console whose output goes to a function of its
// own (Console(sink)): no reply ever comes, so nothing waits at a prompt or a pause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

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

// Where in its input a console's thread is working (the section being read or written), for the
// warnings and errors of a quiet run: the line of such a message ends with " (" + describe() + ")".
class ConsolePlace {
public:
    virtual void describe(std::string& out) const = 0;  // appends e.g. "stream A, reach B, line 9"

protected:
    ~ConsolePlace() = default;
};

// What a run sets on its console and what it counts there.
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
    Console();  // standard output and standard input
    // A console of its own (nothing set, nothing counted) on the terminal `terminal` writes to.
    explicit Console(Console& terminal);
    // A console whose output goes to `sink` as it is written, and whose input has ended: every
    // prompt is answered by the end of input, and the closing pause does not wait.
    explicit Console(std::function<void(std::string_view)> sink);
    // The console of a thread working beside the run: everything it writes is kept in
    // *recording (see recordInto) and written by the run's thread later (replay); its input has
    // ended.
    explicit Console(ConsoleRecording& recording);
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
    std::int64_t alertLines() const { return state_.alertLines_; }
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
    bool quiet() const { return state_.quiet_; }

    // A recording console's output goes to *recording from now on. replay() writes a recording
    // as if its calls were made now, and empties it. A recording keeps the places of warnings
    // whether the run is quiet or not, and the replay shows them when the run is quiet.
    void recordInto(ConsoleRecording& recording) { recording_ = &recording; }
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

    // The place that warnings and errors written from now on name (nullptr: none); the one before.
    const ConsolePlace* setPlace(const ConsolePlace* place) { return std::exchange(place_, place); }

private:
    friend class ConsoleDialogue;
    struct Terminal;  // standard output and input, or a sink: what consoles on it share
    void emit(std::string_view bytes);
    void message(std::string_view text);  // one message's text, its place added in a quiet run
    void filter(std::string_view bytes);  // what a quiet console shows of these bytes
    void reveal();                        // the held start of the current line is shown after all
    void deliver(std::string_view bytes); // to the sink or towards standard output
    void showWatcher(std::string_view bytes);
    void emitPlace(std::string_view place);
    bool counted(std::string_view line);  // a quiet run's warning that is counted, not shown
    bool placeBytes_ = false;  // what is emitted is a place, which a watcher does not see

    void countAlert(std::string_view text);

    std::shared_ptr<Terminal> terminal_;  // none on a recording console
    ConsoleState state_;
    ConsoleRecording* recording_ = nullptr;
    const ConsolePlace* place_ = nullptr;
};

// The place of a console's warnings while the work at that place lasts (nullptr: none); the one
// before after, however that work ends.
class ConsoleAt {
public:
    ConsoleAt(Console& console, const ConsolePlace* place)
        : console_(console), before_(console.setPlace(place)) {}
    ~ConsoleAt() { console_.setPlace(before_); }
    ConsoleAt(const ConsoleAt&) = delete;
    ConsoleAt& operator=(const ConsoleAt&) = delete;

private:
    Console& console_;
    const ConsolePlace* before_;
};

// While it lives, everything the run's thread writes to the console is shown in a quiet run too,
// with the start of a line left open before it (a dialogue that asks, or a pause).
class ConsoleDialogue {
public:
    explicit ConsoleDialogue(Console& c);
    ~ConsoleDialogue();
    ConsoleDialogue(const ConsoleDialogue&) = delete;
    ConsoleDialogue& operator=(const ConsoleDialogue&) = delete;

private:
    Console* console_;  // none on a console whose output is recorded
    ConsoleState* state_ = nullptr;
};

}  // namespace vk
