// The console: buffered standard output that remembers whether the current line is left open,
// and line-by-line reading of standard input. Output is flushed before every read.
// Tests redirect both sides to strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

// Console output of a thread working beside the run, kept to be written later, in order, by the
// run's thread (Console::replay).
class ConsoleRecording {
public:
    bool empty() const { return bytes_.empty() && lineEnds_.empty(); }
    void clear() {
        bytes_.clear();
        lineEnds_.clear();
    }

private:
    friend class Console;
    std::string bytes_;
    std::vector<std::size_t> lineEnds_;  // where endLine() was asked for, as offsets in bytes_
};

// Sees each line the console writes on the run's thread (a recording as it is replayed): the
// text between two line ends. It must not write to the console itself.
class ConsoleWatcher {
public:
    virtual ~ConsoleWatcher() = default;
    virtual void consoleLine(std::string_view text) = 0;
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
    bool lineOpen() const { return lineOpen_; }
    void flush();

    // Reads one reply line (flushing output first). The line ends at the line feed; a carriage
    // return before it is dropped; the reply is cut at maxLength characters (the rest of the line
    // is consumed). Reading writes nothing, so an open line stays open. False at end of input.
    bool readLine(std::string& reply, std::size_t maxLength);

    // Output of the calling thread goes to *recording from now on (nullptr: to the console
    // again); reading gives end of input meanwhile. replay() writes a recording as if its calls
    // were made now, and empties it.
    static void recordThisThread(ConsoleRecording* recording);
    void replay(ConsoleRecording& recording);

    // Redirection, for tests and the fuzz harness: output appended to *sink (nullptr: standard
    // output again), input taken from the given text (end of input after it).
    void captureOutput(std::string* sink);
    void feedInput(std::string_view text);
    void useStandardInput();

    // Every line written from now on is shown to *watcher as well (nullptr: to none). A line is
    // shown cut at 1000 characters.
    void watch(ConsoleWatcher* watcher);

private:
    void emit(std::string_view bytes);
    void showWatcher(std::string_view bytes);
    ConsoleWatcher* watcher_ = nullptr;
    std::string watchedLine_;
    std::string out_;
    std::string* sink_ = nullptr;
    bool lineOpen_ = false;
    bool fedInput_ = false;
    std::string in_;
    std::size_t inPos_ = 0;
    bool stdinEnded_ = false;
};

Console& console();

}  // namespace vk
