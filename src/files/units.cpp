#include "files/units.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "text/fixedpoint.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr int kReservedSlots = 8;
constexpr int kGeneralSlots = 1000;
constexpr int kSlots = kReservedSlots + kGeneralSlots;
constexpr std::size_t kNameField = 1000;  // the opener's work field for a name
constexpr std::size_t kReplyLength = 80;  // replies at the opener's prompts

// What a two-character open mode asks for: "I " reads; "O " (text) and "BO" (bytes) write a new
// or emptied file; "SB" and "SE" write the two byte orders of one Shapefile part through one
// stream, keeping what the file holds (its header is patched at the close).
struct ModeInfo {
    std::string_view code;
    bool input;
    bool shared;  // a second shared unit on the same file writes through the same stream
};

constexpr std::array<ModeInfo, 5> kModes{{
    {"I ", true, false},
    {"O ", false, false},
    {"BO", false, false},
    {"SB", false, true},
    {"SE", false, true},
}};

const ModeInfo* findMode(std::string_view mode) {
    for (const ModeInfo& m : kModes)
        if (m.code == mode) return &m;
    return nullptr;
}

using Identity = sys::FileId;

// The identity of the file a name refers to; false when there is no such file.
bool identityOf(const std::string& name, Identity& id) {
    sys::FileInfo info;
    if (!sys::pathInfo(name, info)) return false;
    id = info.id;
    return true;
}

bool identityOfDescriptor(sys::File file, Identity& id) {
    sys::FileInfo info;
    if (!sys::fileInfo(file, info)) return false;
    id = info.id;
    return true;
}

// One unit of the table. A slot may be marked in use with no file attached: after EXITS and after
// the opener closed it on the user's request, until CLOSER releases it.
struct Slot {
    bool inUse = false;
    bool attached = false;
    bool reads = false;   // input modes
    bool writes = false;  // output modes
    bool shared = false;
    Identity id;
    std::string name;
    int streamOwner = -1;  // slot index whose OutStream this unit writes through
    // Kept from one open to the next, so that reopening a slot allocates nothing.
    std::unique_ptr<OutStream> out;
    std::unique_ptr<LineReader> in;
};

}  // namespace

struct UnitTable::Table {
    int base = 1000;
    int logUnit = 0;
    BackgroundReader* backgroundReader = nullptr;  // the run's read-ahead, while it reads
    std::array<Slot, kSlots> slots;  // reserved slots 1-8, then general slots 1-1000
};

UnitTable::UnitTable() : table_(std::make_unique<Table>()) {}
UnitTable::~UnitTable() = default;

namespace {

using Table = UnitTable::Table;

// Set up before main (so that the many look-ups of a run need no check of that).
UnitTable processUnits;
UnitTable* unitsInUse = &processUnits;

Table& table() { return *unitsInUse->table_; }

// Slot index of a unit number, or -1 when the table has no slot with that number.
int indexOf(int unit) {
    const long first = static_cast<long>(table().base) - kReservedSlots + 1;  // reserved slot 1
    const long idx = static_cast<long>(unit) - first;
    return idx >= 0 && idx < kSlots ? static_cast<int>(idx) : -1;
}

int unitOf(int index) { return table().base - kReservedSlots + 1 + index; }

OutStream& ownStream(Slot& s) {
    if (!s.out) s.out = std::make_unique<OutStream>();
    return *s.out;
}

LineReader& ownReader(Slot& s) {
    if (!s.in) s.in = std::make_unique<LineReader>();
    return *s.in;
}

// Detaches the file from the slot: a reader is closed; a stream is flushed, and closed unless
// another unit still writes through it (then the stream moves to that unit's slot). Returns the
// errno of a failed write, else 0. The in-use flag is left alone.
int detach(int index) {
    auto& slots = table().slots;
    Slot& s = slots[static_cast<std::size_t>(index)];
    if (!s.attached) return 0;
    s.attached = false;
    if (s.in) {
        if (s.reads && table().backgroundReader != nullptr)
            table().backgroundReader->lettingGo(*s.in);
        s.in->close();
    }
    if (!s.writes) return 0;
    const int owner = s.streamOwner;
    s.streamOwner = -1;
    int heir = -1;
    // Only units of the shared modes write through one stream together: the stream of any other
    // unit has no heir to look for (one .csv table is opened and closed per cross-section).
    for (int i = 0; i < kSlots && s.shared; ++i) {
        const Slot& o = slots[static_cast<std::size_t>(i)];
        if (o.attached && o.writes && o.streamOwner == owner) {
            heir = i;
            break;
        }
    }
    OutStream& stream = *slots[static_cast<std::size_t>(owner)].out;
    if (heir < 0) return stream.close() ? 0 : stream.error();
    const bool ok = stream.flush();
    if (owner == index) {
        std::swap(slots[static_cast<std::size_t>(index)].out,
                  slots[static_cast<std::size_t>(heir)].out);
        for (Slot& o : slots)
            if (o.attached && o.writes && o.streamOwner == owner) o.streamOwner = heir;
    }
    return ok ? 0 : stream.error();
}

// The first slot with a file of this identity attached, or -1.
int findAttached(const Identity& id) {
    const auto& slots = table().slots;
    for (int i = 0; i < kSlots; ++i) {
        const Slot& s = slots[static_cast<std::size_t>(i)];
        if (s.attached && s.id == id) return i;
    }
    return -1;
}

// Hands the bytes written so far on this file to the system, so that a new reader sees them.
void flushWritersOf(const Identity& id) {
    auto& slots = table().slots;
    for (const Slot& s : slots)
        if (s.attached && s.writes && s.id == id)
            slots[static_cast<std::size_t>(s.streamOwner)].out->flush();
}

void prepare(Slot& s, const std::string& name, const ModeInfo& info) {
    s.name = name;
    s.shared = info.shared;
    s.reads = false;
    s.writes = false;
    s.streamOwner = -1;
}

// Attaches an output file to the slot; 0 on success, else the errno of the failed open.
int attachOutput(int index, const std::string& name, const ModeInfo& info) {
    auto& slots = table().slots;
    Slot& s = slots[static_cast<std::size_t>(index)];
    prepare(s, name, info);
    Identity id;
    const bool exists = identityOf(name, id);
    if (info.shared && exists) {
        for (int i = 0; i < kSlots; ++i) {
            const Slot& o = slots[static_cast<std::size_t>(i)];
            if (i != index && o.attached && o.writes && o.shared && o.id == id) {
                s.writes = true;
                s.streamOwner = o.streamOwner;
                s.id = id;
                s.attached = true;
                return 0;
            }
        }
    }
    // An output is held for this run alone, so that another run cannot write it meanwhile; a
    // file that another unit of this run has open is this run's already.
    const bool exclusive = !(exists && findAttached(id) >= 0);
    OutStream& stream = ownStream(s);
    const OutStream::Open how = info.shared ? OutStream::Open::Keep : OutStream::Open::Truncate;
    if (!stream.open(name, how, exclusive)) return stream.error();
    s.writes = true;
    s.streamOwner = index;
    if (!identityOfDescriptor(stream.descriptor(), s.id)) s.id = {};
    s.attached = true;
    return 0;
}

int attachInput(int index, const std::string& name, const ModeInfo& info) {
    Slot& s = table().slots[static_cast<std::size_t>(index)];
    prepare(s, name, info);
    LineReader& reader = ownReader(s);
    if (!reader.open(name)) return reader.error();
    s.reads = true;
    if (!identityOfDescriptor(reader.descriptor(), s.id)) s.id = {};
    s.attached = true;
    return 0;
}

std::string unitField(int unit) { return formatInt(unit, 4); }

// Progress and close messages go to the console and, when a log unit is set, to the log as the
// same bytes.
void echo(int logUnit, std::string_view bytes) {
    const int idx = indexOf(logUnit);
    if (logUnit == 0 || idx < 0) return;
    const Slot& s = table().slots[static_cast<std::size_t>(idx)];
    if (s.attached && s.writes) unitOutput(logUnit).put(bytes);
}

void say(int logUnit, std::string_view text) {
    console().write(text);
    echo(logUnit, text);
}

[[noreturn]] void endOfInputAtPrompt() {
    console().breakLine("ERROR - End of console input while waiting for a file name.");
    EXITS();
}

[[noreturn]] void failWithReason(std::string_view what, const std::string& name, int err) {
    console().endLine();
    std::string message(what);
    message += name;
    message += ": ";
    message += sys::errorText(err);
    console().line(message);
    EXITS();
}

// The opener's question for another name. The name is left as it was after a blank reply.
void askForName(std::string& name, std::string_view description) {
    const ConsoleDialogue shown;
    std::string prompt = "\n";
    if (trimmedLength(description) == 0) {
        prompt += "Check file exists and press enter or enter another file name: ";
    } else {
        prompt += "What is the ";
        prompt += trimRight(description);
        prompt += " file name? ";
    }
    console().write(prompt);
    std::string reply;
    if (!console().readLine(reply, kReplyLength)) endOfInputAtPrompt();
    std::string typed = TRIMF(withoutOuterQuotes(reply));
    if (typed.empty()) {
        console().breakLine("No file name entered.  Trying file again...");
        return;
    }
    name = std::move(typed);
}

// The usual case of an output that empties its file (a new table or layer): the file is opened
// at once, without looking the name up first, but not emptied yet. Only when no unit has that
// file open is it emptied, as the mode's open would have, and attached; otherwise, and when it
// cannot be opened, nothing is attached and the opener goes on as for any other output.
bool attachUnsharedOutput(int unit, int index, const ModeInfo& info, const std::string& name,
                          int logUnit) {
    if (info.input || info.shared) return false;
    Slot& s = table().slots[static_cast<std::size_t>(index)];
    OutStream& stream = ownStream(s);
    // Held first: a file that another run holds is not this run's to look at or empty.
    if (!stream.open(name, OutStream::Open::Keep, true)) return false;
    sys::FileInfo file;
    const bool known = sys::fileInfo(stream.descriptor(), file);
    const Identity id = file.id;
    // A file that another unit has open is left exactly as it is.
    if (!known || findAttached(id) >= 0 || sys::emptyIfRegular(stream.descriptor(), file) != 0) {
        stream.close();
        return false;
    }
    prepare(s, name, info);
    s.writes = true;
    s.streamOwner = index;
    s.id = id;
    s.attached = true;
    say(logUnit, "OK.  File Unit:" + unitField(unit) + "\n");
    return true;
}

// Opens an output unit, retrying for as long as the user keeps pressing Enter.
void openOutput(int& unit, int index, std::string_view mode, const ModeInfo* info,
                const std::string& name, int logUnit) {
    if (info == nullptr) {
        const ConsoleDialogue shown;  // a fault of the program: always shown
        std::string message = "  Unrecognised file type ";
        message += mode;
        message += " file ";
        message += cutTo(name, 80);
        console().line(message);
        unit = 0;
        return;
    }
    for (;;) {
        if (attachOutput(index, name, *info) == 0) {
            say(logUnit, "OK.  File Unit:" + unitField(unit) + "\n");
            return;
        }
        const ConsoleDialogue shown;
        say(logUnit, "Can't Open\n");
        Console& c = console();
        c.listLine("");
        c.listLine("Can't open: " + name);
        c.listLine("");
        c.listLine("Another application or user maybe using it,");
        c.listLine("   or the file's folder does not exist.");
        c.listLine("If so, close the file or create file path.");
        c.endLine();
        c.line();
        if (!consolePause("Press Enter to Continue")) {
            c.breakLine("ERROR - Unable to open file " + name +
                        " and no console input to wait on.");
            EXITS();
        }
    }
}

}  // namespace

UnitTableScope::UnitTableScope(UnitTable& units) : previous_(unitsInUse) { unitsInUse = &units; }

UnitTableScope::~UnitTableScope() { unitsInUse = previous_; }

void setBackgroundReader(BackgroundReader* reader) { table().backgroundReader = reader; }

void INITFILEUNITS(int base) {
    Table& t = table();
    for (int i = 0; i < kSlots; ++i) {
        detach(i);
        t.slots[static_cast<std::size_t>(i)].inUse = false;
    }
    t.base = base < 9 ? 9 : base;
    t.logUnit = 0;
    resetRunFinished();
}

void setFileUnitLog(int unit) { table().logUnit = unit; }

void OPENER(int& unit, std::string_view mode, std::string_view name, int option) {
    (void)option;
    std::string work(cutTo(TRIMF(name), kNameField));
    if (work.empty()) {
        std::string message = "Empty filename specified.  Bailing out.  Please contact ";
        message += kSupportAddress;
        message += ".";
        {
            const ConsoleDialogue shown;
            console().breakLine(message);
        }
        closingPause();
        endRun(1);
    }
    Table& t = table();
    int index = -1;
    for (int i = kReservedSlots; i < kSlots; ++i) {
        if (!t.slots[static_cast<std::size_t>(i)].inUse) {
            index = i;
            break;
        }
    }
    if (index < 0) {
        console().endLine();
        const ConsoleDialogue shown;
        console().line("No free file numbers.");
        endRun(1);
    }
    unit = unitOf(index);
    OPENWITHRETRY(unit, work, mode, "", t.logUnit);
    t.slots[static_cast<std::size_t>(index)].inUse = unit != 0;
}

void OPENWITHRETRY(int& unit, std::string& name, std::string_view mode,
                   std::string_view description, int logUnit) {
    const int index = indexOf(unit);
    if (index < 0) {
        unit = 0;
        return;
    }
    detach(index);
    const ModeInfo* info = findMode(mode);
    const bool input = info != nullptr && info->input;
    for (;;) {
        name = CLEANPATH(name);
        say(logUnit, "\nTrying to open file " + name + "...");

        if (info != nullptr && attachUnsharedOutput(unit, index, *info, name, logUnit)) return;
        Identity id;
        const bool exists = identityOf(name, id);
        const int other = exists ? findAttached(id) : -1;
        bool askName = false;
        if (other >= 0 && !input && (info == nullptr || !info->shared)) {
            const ConsoleDialogue shown;
            console().endLine();
            console().write(name + " is already open, close it? ");
            std::string reply;
            if (!console().readLine(reply, kReplyLength)) endOfInputAtPrompt();
            if (!reply.empty() && (reply[0] == 'Y' || reply[0] == 'y')) {
                // Every unit of this process that has the file open lets go of it.
                for (int i = findAttached(id); i >= 0; i = findAttached(id)) {
                    if (detach(i) != 0) {
                        console().endLine();
                        console().line("  Unable to close file.");
                        endRun(1);
                    }
                }
            } else {
                askName = true;
            }
        }

        if (!askName && !input) {
            openOutput(unit, index, mode, info, name, logUnit);
            return;
        }
        if (!askName && exists) {
            flushWritersOf(id);
            const int err = attachInput(index, name, *info);
            if (err != 0) failWithReason("ERROR - Cannot read file ", name, err);
            say(logUnit, "OK.\nOpened File Unit:" + unitField(unit) + "\n");
            return;
        }
        const ConsoleDialogue shown;  // the question for another name, with what led to it
        if (!askName) {
            const std::string notice = "\nCHECK 0008 - \"" + name + "\" cannot be found\n";
            say(logUnit, notice);
        }
        askForName(name, description);
    }
}

void CLOSER(int& unit) {
    const int index = indexOf(unit);
    if (index < 0) return;
    Slot& s = table().slots[static_cast<std::size_t>(index)];
    if (!s.inUse) return;
    const int err = detach(index);
    s.inUse = false;
    if (err != 0) failWithReason("ERROR - Cannot write file ", s.name, err);
    console().endLine();
    const std::string message = "...Closed File Unit:" + unitField(unit) + "\n";
    console().write(message);
    echo(table().logUnit, message);
    unit = 0;
}

bool emptyUnitFile(int unit) {
    const sys::File file = unitOutput(unit).descriptor();
    return file != sys::kNoFile && sys::emptyIfRegular(file) == 0;
}

void closeAllUnitsQuietly() {
    for (int i = 0; i < kSlots; ++i)
        if (table().slots[static_cast<std::size_t>(i)].inUse) detach(i);
}

bool closeAllUnitsAtExit() {
    bool ok = true;
    // The two units of a shared file fail on the same stream: report that file once.
    std::vector<std::string> reported;
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = table().slots[static_cast<std::size_t>(i)];
        if (!s.inUse) continue;
        const int err = detach(i);
        if (err == 0) continue;
        ok = false;
        if (std::find(reported.begin(), reported.end(), s.name) != reported.end()) continue;
        reported.push_back(s.name);
        console().endLine();
        console().line("ERROR - Cannot write file " + s.name + ": " + sys::errorText(err));
    }
    return ok;
}

bool unitInUse(int unit) {
    const int index = indexOf(unit);
    return index >= 0 && table().slots[static_cast<std::size_t>(index)].inUse;
}

OutStream& unitOutput(int unit) {
    // Called for every record written: the table is looked up once.
    Table& t = table();
    const long index = static_cast<long>(unit) - (t.base - kReservedSlots + 1);
    if (index >= 0 && index < kSlots) {
        Slot& s = t.slots[static_cast<std::size_t>(index)];
        if (s.attached && s.writes) return *t.slots[static_cast<std::size_t>(s.streamOwner)].out;
    }
    // Writes to a unit with no output file fail on a stream that was never opened.
    static OutStream none;
    return none;
}

LineReader& unitInput(int unit) {
    const int index = indexOf(unit);
    if (index >= 0) {
        Slot& s = table().slots[static_cast<std::size_t>(index)];
        if (s.attached && s.reads) return *s.in;
    }
    static LineReader none;
    return none;
}

std::string unitFileName(int unit) {
    const int index = indexOf(unit);
    if (index < 0) return {};
    const Slot& s = table().slots[static_cast<std::size_t>(index)];
    return s.inUse ? s.name : std::string();
}

}  // namespace vk
