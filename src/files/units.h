// The file unit table and the opener. Every file is opened through OPENER and closed through
// CLOSER; a unit number names an open file (1001 to 2000 with the base of 1000; 0 means none).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "files/context.h"
#include "files/linereader.h"
#include "files/outstream.h"
#include "files/platform.h"

namespace vk {

inline constexpr std::string_view kSupportAddress = "support@varnokline.example";

// The file unit table of one run: every unit with its file and stream. The operations below are
// handed the table (or the run's context that holds it), so a run that makes its own table starts
// with every unit free and leaves nothing behind. The table warns on its run's console, and every
// output it opens writes through its run's write faults.
//
//   UnitTable units(console, faults);
//   RunContext run{console, units, exit};
//   int unit = 0;
//   OPENER(run, unit, "O ", "river.csv");
//   unitOutput(units, unit).putLine(R"("X","Z")");
//   CLOSER(run, unit);
class UnitTable {
public:
    UnitTable(Console& console, sys::WriteFaults& faults);
    ~UnitTable();  // files still attached are closed without messages
    UnitTable(const UnitTable&) = delete;
    UnitTable& operator=(const UnitTable&) = delete;

    struct Table;  // the slots themselves, known to the opener only
    std::unique_ptr<Table> table_;
};

// Sets up the run's table (closing, without messages, anything a previous run left open), and
// marks the run not finished.
void INITFILEUNITS(RunContext& run, int base);
// Makes `units` one input's among the several of a program run whose table is `outer`: what it
// holds at its end stays held by the outer table until the program run ends, and the run's inputs
// are the outer table's.
void nestUnitTable(UnitTable& units, UnitTable& outer);

// No output of a run may be a file the run reads: its inputs (every file opened for reading is
// one, and those named before they are read are given here) are refused as outputs with this
// error ("an input of this run"), and left as they are.
inline constexpr int kOutputIsAnInput = 0x7F02;
void protectInput(UnitTable& units, const std::string& name);
bool isRunInput(UnitTable& units, const std::string& name);

// Opens `name` (leading and trailing blanks removed) in `mode` and returns its unit. Asks on the
// console for another name when an input is missing and retries a blocked output until it opens.
// Modes: "I " input; "O " text and "BO" bytes, written from the start. unit is 0 only after a
// mode that is none of these.
void OPENER(RunContext& run, int& unit, std::string_view mode, std::string_view name);
// The dialogue behind OPENER, on the table slot of `unit` (a unit the table has no slot for is
// set to 0). name is the work field: it is cleaned and replaced by the user's replies. A non-blank
// description D asks "What is the D file name? " instead of the check-file prompt; the messages
// are shown on the console.
void OPENWITHRETRY(RunContext& run, int& unit, std::string& name, std::string_view mode,
                   std::string_view description);
// Closes the unit if the table has it in use, reports "...Closed File Unit:" and sets unit to 0.
// Bytes that could not be written (a full disk) are reported and end the run through EXITS. An
// output (a table) stays held by the run until its end, as a layer's files are.
void CLOSER(RunContext& run, int& unit);

// Closes every unit still in use without messages (the slots stay marked in use), and lets go of
// the outputs still held.
void closeAllUnitsQuietly(UnitTable& units);
// The same at the end of a run (EXITS): a file whose buffered bytes could not be written is
// reported as "ERROR - Cannot write file NAME: reason"; false when that happened. Then the run
// lets go of the owned outputs it still held.
bool closeAllUnitsAtExit(UnitTable& units);

// A thread that reads a unit's file beside the run (the export read ahead of the conversion)
// registers here. Before the table lets go of a unit that reads (the opener closing it on the
// user's request, EXITS), the reader is told; a reader of that file stops reading for good,
// whatever it is waiting for, before this returns.
class BackgroundReader {
public:
    virtual ~BackgroundReader() = default;
    virtual void lettingGo(const LineReader& input) = 0;
};
void setBackgroundReader(UnitTable& units, BackgroundReader* reader);  // nullptr: none

// Access to an open unit.
bool unitInUse(UnitTable& units, int unit);
OutStream& unitOutput(UnitTable& units, int unit);
LineReader& unitInput(UnitTable& units, int unit);
std::string unitFileName(UnitTable& units, int unit);

// One output file of the run, owned by the code that writes it (a layer writer keeps its files in
// these). Creating, writing and closing it never touch the console, ask the user or end the run:
// each returns the system's error and the owner decides what a failure means. The file takes a
// unit of the run's table while it is open, so that the console names it as it names every file
// and the run holds it as it holds every output (see OPENER).
//
//   OutputFile file("river_P.shp");
//   if (int err = file.create(units); err != 0) ...;   // emptied and held, or the errno
//   file.out().i32be(9994);
//   if (int err = file.close(); err != 0) ...;    // every byte written, or the errno
class OutputFile {
public:
    OutputFile() = default;
    explicit OutputFile(std::string path) : path_(std::move(path)) {}
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // a file still open is closed without a word

    const std::string& path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }
    // Opens the file (created when missing), holds it for this run and empties it; 0, or the
    // errno of the failure (a file that this run or another already holds is not taken). It takes
    // a unit of `units` while it is open.
    int create(UnitTable& units);
    bool isOpen() const { return unit_ != 0; }
    int unit() const { return unit_; }  // 0 while closed
    // The file's stream; a stream that fails every write while the file is closed.
    OutStream& out() const { return unit_ != 0 ? *stream_ : closedStream(); }
    // Whether the file's name still refers to the file held (it was not removed or replaced
    // meanwhile).
    bool stillNamed() const;
    // Writes what is buffered and lets go of the file's unit; 0, or the errno of the first failed
    // write. The run goes on holding the file until it ends (closeAllUnitsAtExit, or its table's
    // end), so that no other run can take it before every output of this one is final.
    int close();
    // Closes the file whatever is left unwritten, lets go of it and removes it: 0, or the errno
    // of the removal.
    int discard();

private:
    static OutStream& closedStream();
    void adopt(OutputFile& other);
    std::string path_;
    UnitTable* table_ = nullptr;  // the table whose unit it holds
    int unit_ = 0;
    OutStream* stream_ = nullptr;  // the unit's, while it is open
};

// The opener's side of an OutputFile, for the code that owns the run's dialogue (the layer
// operations): "Trying to open file NAME..." and "OK.  File Unit:N" as OPENER writes them, and,
// while the file cannot be opened, the "Can't Open" dialogue and another try after each Enter.
// Without console input to wait on, the run ends (EXITS).
void openOwnedOutput(RunContext& run, OutputFile& file);
// The opener's dialogue for an output that attempt() cannot open or put into place (a file written
// under another name and renamed into place at the end): "Can't Open" with the reason of the
// errno attempt() gave, and another try after each Enter, until it gives 0 (true); false, with
// nothing more said, when there is no console input to wait on.
bool retryOutput(RunContext& run, const std::string& name, const std::function<int()>& attempt);
// Ends the run as the opener does for an output it cannot open and no console input to wait on.
[[noreturn]] void unableToOpen(RunContext& run, const std::string& name);
// Whether an output may take this name, without touching what has it: 0 when nothing has it or
// an ordinary file that no other run holds; otherwise why not (kNotRegularFile, EWOULDBLOCK,
// kOutputIsAnInput, or the errno of the look).
int probeOutputName(UnitTable& units, const std::string& name);
// Keeps a file held (sys::holdFile) until the run's end, as a closed output is.
void keepHeldFile(UnitTable& units, sys::File file);
// Closes an open file as CLOSER does: "...Closed File Unit:N", or a failed write reported as
// "ERROR - Cannot write file NAME: reason" and the end of the run.
void closeOwnedOutput(RunContext& run, OutputFile& file);

}  // namespace vk
