// Everything one conversion keeps from its start to its end: its console (its own, on the
// terminal it was given), the write faults a test injected into it, the file unit table, how it
// ends and the working storage of the section processing. `run` makes one for every conversion
// and hands it (or its files' part, `context`) to what the conversion does, so a new run starts
// from nothing and leaves nothing behind: what it set on its console goes with it. A test makes
// its own the same way.
//
//   Console terminal;                  // standard output and input, made by the entry point
//   RunState state(terminal);
//   ConversionOutput out(state, settings);   // writes through state's units, on its console
#pragma once

#include <memory>

#include "files/console.h"
#include "files/context.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"
#include "text/names.h"

namespace vk {

struct SectionWork;  // driver/section_work.h

class RunState {
public:
    // The run's console is one of its own on the terminal that `terminal` writes to.
    explicit RunState(Console& terminal);
    ~RunState();
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    // First: it outlives the writes behind that the members after it still wait for at their end.
    sys::WriteFaults writeFaults;
    Console console;
    ExitState exit;
    UnitTable units{console, writeFaults};
    // What the file operations of the run are handed.
    RunContext context{console, units, exit};
    SectionWork& sections() { return *sections_; }
    // The tables written in the program run: the run's own, or those of every input of a run
    // that converts several (which points this at theirs).
    NameRegistry ownTables;
    NameRegistry* tables = &ownTables;
    // The export being read, when it is named as a table could be (it ends in ".csv"): its name
    // as Windows compares names, and its file. No table may take its place.
    std::string exportAsTable;
    sys::FileInfo exportFile;
    // Whether any input of the run is named as a table could be: a table is then compared with
    // every input's file.
    bool inputsAsTables = false;
    // The folder the tables go into, as the system resolves it (empty: as it is spelled), so that
    // tables of one folder spelled two ways take names of their own.
    std::string tablesFolder;

private:
    std::unique_ptr<SectionWork> sections_;
};

}  // namespace vk
