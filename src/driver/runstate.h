// Everything one conversion keeps from its start to its end: the file unit table, the working
// storage of the section processing, whether it finished, what it set on the console and the write faults a test
// injected into it. `run` makes one for every conversion and puts it in use; the unit, section,
// console and exit operations work on the state in use, so a new run starts from nothing
// and leaves nothing behind: what it set on the console is undone when its state goes out of use.
// A test makes its own the same way.
//
//   RunState state;
//   const RunStateScope use(state);
//   ConversionOutput out(settings);   // writes through state's units
#pragma once

#include <memory>

#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"
#include "text/names.h"

namespace vk {

struct SectionWork;  // driver/section_work.h

class RunState {
public:
    RunState();
    ~RunState();
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    // First: it outlives the writes behind that the members after it still wait for at their end.
    sys::WriteFaults writeFaults;
    UnitTable units;
    ExitState exit;
    ConsoleState console;
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

// The state in use: the innermost RunStateScope's, else one of the process's own.
RunState& runState();

class RunStateScope {
public:
    explicit RunStateScope(RunState& state);

private:
    UnitTableScope units_;
    ExitStateScope exit_;
    ConsoleStateScope console_;
    sys::WriteFaultsScope writeFaults_;
    InUse<RunState> run_;
};

}  // namespace vk
