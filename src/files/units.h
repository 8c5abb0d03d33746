// The file unit table and the opener. Every file is opened through OPENER and closed through
// CLOSER; a unit number names an open file (1001 to 2000 with the base of 1000; 0 means none).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "files/linereader.h"
#include "files/outstream.h"

namespace vk {

inline constexpr std::string_view kSupportAddress = "support@varnokline.example";

// The file unit table of one run: every unit with its file and stream. The operations below work
// on the table in use, the innermost UnitTableScope's (else one of the process's own), so a run
// that makes its own table starts with every unit free and leaves nothing behind.
//
//   UnitTable units;
//   const UnitTableScope use(units);
//   int unit = 0;
//   OPENER(unit, "O ", "river.csv", 1);
//   unitOutput(unit).putLine(R"("X","Z")");
//   CLOSER(unit);
class UnitTable {
public:
    UnitTable();
    ~UnitTable();  // files still attached are closed without messages
    UnitTable(const UnitTable&) = delete;
    UnitTable& operator=(const UnitTable&) = delete;

    struct Table;  // the slots themselves, known to the opener only
    std::unique_ptr<Table> table_;
};

class UnitTableScope {
public:
    explicit UnitTableScope(UnitTable& units);
    ~UnitTableScope();
    UnitTableScope(const UnitTableScope&) = delete;
    UnitTableScope& operator=(const UnitTableScope&) = delete;

private:
    UnitTable* previous_;
};

// Sets up the table in use (closing, without messages, anything a previous run left open).
void INITFILEUNITS(int base);

// Opens `name` (leading and trailing blanks removed) in `mode` and returns its unit. Asks on the
// console for another name when an input is missing and retries a blocked output until it opens.
// Modes: "I " input; "O " text and "BO" bytes, written from the start; "SB" and "SE" the little-
// and big-endian units of one shared output (see below). unit is 0 only after a mode that is none
// of these. option has no effect.
void OPENER(int& unit, std::string_view mode, std::string_view name, int option);
// The dialogue behind OPENER, on the table slot of `unit` (a unit the table has no slot for is
// set to 0). name is the work field: it is cleaned and replaced by the user's replies. A non-blank
// description D asks "What is the D file name? " instead of the check-file prompt; the messages
// are echoed to logUnit when it is an open output unit.
void OPENWITHRETRY(int& unit, std::string& name, std::string_view mode,
                   std::string_view description, int logUnit);
// Closes the unit if the table has it in use, reports "...Closed File Unit:" and sets unit to 0.
// Bytes that could not be written (a full disk) are reported and end the run through EXITS.
void CLOSER(int& unit);

// Empties the file of an output unit that has written nothing yet, as an emptying open would have
// (an ordinary file only: a device or a pipe is written as it is); false when that failed.
bool emptyUnitFile(int unit);

// Closes every unit still in use without messages; the slots stay marked in use.
void closeAllUnitsQuietly();
// The same at the end of a run (EXITS): a file whose buffered bytes could not be written is
// reported as "ERROR - Cannot write file NAME: reason"; false when that happened.
bool closeAllUnitsAtExit();

// A thread that reads a unit's file beside the run (the export read ahead of the conversion)
// registers here. Before the table lets go of a unit that reads (the opener closing it on the
// user's request, EXITS), the reader is told; a reader of that file stops reading for good,
// whatever it is waiting for, before this returns.
class BackgroundReader {
public:
    virtual ~BackgroundReader() = default;
    virtual void lettingGo(const LineReader& input) = 0;
};
void setBackgroundReader(BackgroundReader* reader);  // on the table in use; nullptr: none

// Echoes the opener's progress and CLOSER's messages to this output unit as well (0: none).
void setFileUnitLog(int unit);

// Access to an open unit. Output units of the shared modes "SB"/"SE" on the same file share one
// stream, kept open until the last of them closes; each field states its own byte order.
bool unitInUse(int unit);
OutStream& unitOutput(int unit);
LineReader& unitInput(int unit);
std::string unitFileName(int unit);

}  // namespace vk
