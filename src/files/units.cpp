#include "files/units.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "files/console.h"
#include "files/context.h"
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
// The opener's work field for a name: the longest name Windows takes (32,767 UTF-16 units) in
// UTF-8, so that no name in any language is ever cut.
constexpr std::size_t kNameField = 3 * 32767;
constexpr std::size_t kReplyLength = 80;  // replies at the opener's prompts

// What a two-character open mode asks for: "I " reads; "O " (text) and "BO" (bytes) write a new
// or emptied file.
struct ModeInfo {
    std::string_view code;
    bool input;
};

constexpr std::array<ModeInfo, 3> kModes{{
    {"I ", true},
    {"O ", false},
    {"BO", false},
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
    Identity id;
    std::string name;
    const OutputFile* owner = nullptr;  // the OutputFile that holds the unit, if one does
    // Kept from one open to the next, so that reopening a slot allocates nothing.
    std::unique_ptr<OutStream> out;
    std::unique_ptr<LineReader> in;
};

}  // namespace

struct UnitTable::Table {
    Table(Console& c, sys::WriteFaults& f) : console(c), faults(f) {}
    Console& console;           // the run's: the table's own warning
    sys::WriteFaults& faults;   // the run's: every output it opens writes through them
    int base = 1000;
    BackgroundReader* backgroundReader = nullptr;  // the run's read-ahead, while it reads
    std::array<Slot, kSlots> slots;  // reserved slots 1-8, then general slots 1-1000
    // Owned outputs written in full and closed, still held until the run lets go of them all.
    struct Kept {
        sys::File file;
        sys::FileId id;
    };
    std::vector<Kept> kept;
    // The table of the whole program run, when this one is a run's of one input among several: it
    // takes over what this one holds at its end, and keeps the run's inputs.
    Table* outer = nullptr;
    // The files the run reads (its exports, its templates): no output may be one of them.
    std::vector<sys::FileId> inputs;

    Table& root() { return outer != nullptr ? outer->root() : *this; }

    void releaseKept() {
        for (const Kept& k : kept) sys::closeFile(k.file, &faults);
        kept.clear();
    }
    // Keeps a file held until the run's end. The oldest half are let go, with a warning, before
    // the run would hold more files than the system lets a process have open.
    void keep(const Kept& held) {
        static const std::size_t limit = sys::raiseOpenFileLimit();
        const std::size_t budget = limit > 512 ? limit - 256 : limit / 2;
        if (kept.size() + 1 >= budget) {
            const std::size_t half = kept.size() / 2;
            for (std::size_t i = 0; i < half; ++i) sys::closeFile(kept[i].file, &faults);
            kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(half));
            console.breakLine("WARNING - The run holds as many files as the system lets it have "
                              "open: " + std::to_string(half) +
                              " of the outputs written before are no longer held against other "
                              "runs.");
            console.line();  // what follows is not part of it
        }
        kept.push_back(held);
    }
    // Gives up the hold kept on the file of this name (here or by the outer table); false when
    // none is kept on it.
    bool releaseKept(const std::string& name) {
        sys::FileInfo info;
        if (!sys::pathInfo(name, info)) return false;
        for (Table* t = this; t != nullptr; t = t->outer)
            for (auto k = t->kept.begin(); k != t->kept.end(); ++k)
                if (k->id == info.id) {
                    sys::closeFile(k->file, &t->faults);
                    t->kept.erase(k);
                    return true;
                }
        return false;
    }
    // At the run's end: what it holds is let go, or taken over by the outer table.
    void endOfRun() {
        if (outer == nullptr) return releaseKept();
        for (const Kept& k : kept) outer->keep(k);
        kept.clear();
    }
    bool isInput(const sys::FileId& id) {
        const std::vector<sys::FileId>& all = root().inputs;
        return id != sys::FileId{} && std::find(all.begin(), all.end(), id) != all.end();
    }
};

UnitTable::UnitTable(Console& console, sys::WriteFaults& faults)
    : table_(std::make_unique<Table>(console, faults)) {}
UnitTable::~UnitTable() { table_->endOfRun(); }

namespace {

using Table = UnitTable::Table;

Table& table(UnitTable& units) { return *units.table_; }
Table& table(RunContext& run) { return *run.units.table_; }

// Slot index of a unit number, or -1 when the table has no slot with that number.
int indexIn(const Table& t, int unit) {
    const long first = static_cast<long>(t.base) - kReservedSlots + 1;  // reserved slot 1
    const long idx = static_cast<long>(unit) - first;
    return idx >= 0 && idx < kSlots ? static_cast<int>(idx) : -1;
}

int unitOf(const Table& t, int index) { return t.base - kReservedSlots + 1 + index; }

OutStream& ownStream(Table& t, Slot& s) {
    if (!s.out) s.out = std::make_unique<OutStream>(t.faults);
    return *s.out;
}

LineReader& ownReader(Slot& s) {
    if (!s.in) s.in = std::make_unique<LineReader>();
    return *s.in;
}

// Detaches the file from the slot: a reader is closed, a stream flushed and closed (or, to keep,
// kept held by the table). Returns the errno of a failed write, else 0. The in-use flag is left
// alone.
int detach(Table& t, int index, bool keep = false) {
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    if (!s.attached) return 0;
    s.attached = false;
    if (s.in) {
        if (s.reads && t.backgroundReader != nullptr) t.backgroundReader->lettingGo(*s.in);
        s.in->close();
    }
    if (!s.writes) return 0;
    if (!keep) return s.out->close() ? 0 : s.out->error();
    sys::File kept;
    const bool written = s.out->close(kept);
    if (kept != sys::kNoFile) t.keep({kept, s.id});
    return written ? 0 : s.out->error();
}

// The first slot with a file of this identity attached, or -1.
int findAttached(const Table& t, const Identity& id) {
    const auto& slots = t.slots;
    for (int i = 0; i < kSlots; ++i) {
        const Slot& s = slots[static_cast<std::size_t>(i)];
        if (s.attached && s.id == id) return i;
    }
    return -1;
}

// Hands the bytes written so far on this file to the system, so that a new reader sees them.
void flushWritersOf(const Table& t, const Identity& id) {
    for (const Slot& s : t.slots)
        if (s.attached && s.writes && s.id == id) s.out->flush();
}

void prepare(Slot& s, const std::string& name) {
    s.name = name;
    s.reads = false;
    s.writes = false;
}

// Opens an output's stream. A file of this run's own that it still holds after closing it (a
// layer's) is given up for the new open, which this run's hold would refuse otherwise.
bool openOutputStream(Table& t, OutStream& stream, const std::string& name, OutStream::Open how,
                      bool held) {
    if (stream.open(name, how, held)) return true;
    return stream.error() == EWOULDBLOCK && t.releaseKept(name) && stream.open(name, how, held);
}

// Attaches an output file to the slot; 0 on success, else the errno of the failed open.
int attachOutput(Table& t, int index, const std::string& name) {
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    prepare(s, name);
    Identity id;
    const bool exists = identityOf(name, id);
    if (exists && t.isInput(id)) return kOutputIsAnInput;
    // An output is held for this run alone, so that another run cannot write it meanwhile; a
    // file that another unit of this run has open is this run's already.
    const bool exclusive = !(exists && findAttached(t, id) >= 0);
    OutStream& stream = ownStream(t, s);
    if (!openOutputStream(t, stream, name, OutStream::Open::Truncate, exclusive))
        return stream.error();
    s.writes = true;
    if (!identityOfDescriptor(stream.descriptor(), s.id)) s.id = {};
    s.attached = true;
    return 0;
}

// The usual case of an output that empties its file (a new table or layer): the file is opened
// at once, without looking the name up first, but not emptied yet. Only when no unit has that
// file open is it emptied, as an emptying open would have, and attached (0); otherwise nothing is
// attached and the errno is returned (EBUSY for a file of this run).
int attachNewOutput(Table& t, int index, const std::string& name) {
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    OutStream& stream = ownStream(t, s);
    // Held first: a file that another run holds is not this run's to look at or empty.
    if (!openOutputStream(t, stream, name, OutStream::Open::Keep, true)) return stream.error();
    sys::FileInfo file;
    int err = sys::fileInfo(stream.descriptor(), file) ? 0 : EIO;
    // A file that another unit has open, or that the run reads, is left exactly as it is.
    if (err == 0 && findAttached(t, file.id) >= 0) err = EBUSY;
    if (err == 0 && t.isInput(file.id)) err = kOutputIsAnInput;
    if (err == 0) err = sys::emptyIfRegular(stream.descriptor(), file);
    if (err != 0) {
        stream.close();
        return err;
    }
    prepare(s, name);
    s.writes = true;
    s.id = file.id;
    s.attached = true;
    return 0;
}

int attachInput(Table& t, int index, const std::string& name) {
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    prepare(s, name);
    LineReader& reader = ownReader(s);
    if (!reader.open(name)) return reader.error();
    s.reads = true;
    if (!identityOfDescriptor(reader.descriptor(), s.id)) s.id = {};
    else if (!t.isInput(s.id)) t.root().inputs.push_back(s.id);
    s.attached = true;
    return 0;
}

std::string unitField(int unit) { return formatInt(unit, 4); }

// Progress and close messages of the opener.
void say(RunContext& run, std::string_view text) { run.console.write(text); }

[[noreturn]] void endOfInputAtPrompt(RunContext& run) {
    run.console.breakLine("ERROR - End of console input while waiting for a file name.");
    EXITS(run);
}

[[noreturn]] void failWithReason(RunContext& run, std::string_view what, const std::string& name,
                                 int err) {
    run.console.endLine();
    std::string message(what);
    message += name;
    message += ": ";
    message += sys::errorText(err);
    run.console.line(message);
    EXITS(run);
}

// The opener's question for another name. The name is left as it was after a blank reply.
void askForName(RunContext& run, std::string& name, std::string_view description) {
    const ConsoleDialogue shown(run.console);
    std::string prompt = "\n";
    if (trimmedLength(description) == 0) {
        prompt += "Check file exists and press enter or enter another file name: ";
    } else {
        prompt += "What is the ";
        prompt += trimRight(description);
        prompt += " file name? ";
    }
    run.console.write(prompt);
    std::string reply;
    if (!run.console.readLine(reply, kReplyLength)) endOfInputAtPrompt(run);
    std::string typed = TRIMF(withoutOuterQuotes(reply));
    if (typed.empty()) {
        run.console.breakLine("No file name entered.  Trying file again...");
        return;
    }
    name = std::move(typed);
}

void sayClosed(RunContext& run, int unit) {
    run.console.endLine();
    const std::string message = "...Closed File Unit:" + unitField(unit) + "\n";
    run.console.write(message);
}

void sayOpened(RunContext& run, int unit) { say(run, "OK.  File Unit:" + unitField(unit) + "\n"); }

// Why an output could not be opened, in the words of the dialogue that asks to mend it.
std::string openFailureReason(int err) {
    switch (err) {
    case EWOULDBLOCK: return "held by another run";
    case EBUSY: return "open in this run already";
    case kOutputIsAnInput: return "an input of this run";
    case ENOENT: return "no such folder";
    default: break;
    }
    std::string reason = sys::errorText(err);
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z') reason[0] += 'a' - 'A';
    return reason;
}

// What the opener says when an output cannot be opened (err: why); true once the user pressed
// Enter to try again, false when there is no console input to wait on.
bool askToRetryOutput(RunContext& run, const std::string& name, int err) {
    Console& c = run.console;
    const ConsoleDialogue shown(c);
    say(run, "Can't Open\n");
    c.listLine("");
    c.listLine("Can't open: " + name);
    c.listLine("");
    c.listLine("Another application or user maybe using it,");
    c.listLine("   or the file's folder does not exist.");
    c.listLine("If so, close the file or create file path.");
    c.listLine("Reason: " + openFailureReason(err));
    c.endLine();
    c.line();
    return consolePause(c, "Press Enter to Continue");
}

// The same, ending the run when there is no console input to wait on.
void cannotOpenOutput(RunContext& run, const std::string& name, int err) {
    if (!askToRetryOutput(run, name, err)) unableToOpen(run, name);
}

// Opens an output unit, retrying for as long as the user keeps pressing Enter.
void openOutput(RunContext& run, int& unit, int index, std::string_view mode, const ModeInfo* info,
                const std::string& name) {
    if (info == nullptr) {
        const ConsoleDialogue shown(run.console);  // a fault of the program: always shown
        std::string message = "  Unrecognised file type ";
        message += mode;
        message += " file ";
        message += cutTo(name, 80);
        run.console.line(message);
        unit = 0;
        return;
    }
    for (;;) {
        const int err = attachOutput(table(run), index, name);
        if (err == 0) {
            sayOpened(run, unit);
            return;
        }
        cannotOpenOutput(run, name, err);
    }
}

// The first free general slot of the table, or -1.
int freeSlot(const Table& t) {
    for (int i = kReservedSlots; i < kSlots; ++i)
        if (!t.slots[static_cast<std::size_t>(i)].inUse) return i;
    return -1;
}

}  // namespace

void setBackgroundReader(UnitTable& units, BackgroundReader* reader) {
    table(units).backgroundReader = reader;
}

void INITFILEUNITS(RunContext& run, int base) {
    Table& t = table(run);
    for (int i = 0; i < kSlots; ++i) {
        detach(t, i);
        t.slots[static_cast<std::size_t>(i)].inUse = false;
        t.slots[static_cast<std::size_t>(i)].owner = nullptr;
    }
    t.releaseKept();
    t.inputs.clear();
    t.base = base < 9 ? 9 : base;
    resetRunFinished(run.exit);
}

void OPENER(RunContext& run, int& unit, std::string_view mode, std::string_view name) {
    std::string work(cutTo(TRIMF(name), kNameField));
    if (work.empty()) {
        std::string message = "Empty filename specified.  Bailing out.  Please contact ";
        message += kSupportAddress;
        message += ".";
        {
            const ConsoleDialogue shown(run.console);
            run.console.breakLine(message);
        }
        closingPause(run.console);
        endRun(run, 1);
    }
    Table& t = table(run);
    const int index = freeSlot(t);
    if (index < 0) {
        run.console.endLine();
        const ConsoleDialogue shown(run.console);
        run.console.line("No free file numbers.");
        endRun(run, 1);
    }
    unit = unitOf(t, index);
    OPENWITHRETRY(run, unit, work, mode, "");
    t.slots[static_cast<std::size_t>(index)].inUse = unit != 0;
}

void OPENWITHRETRY(RunContext& run, int& unit, std::string& name, std::string_view mode,
                   std::string_view description) {
    Table& t = table(run);
    const int index = indexIn(t, unit);
    if (index < 0) {
        unit = 0;
        return;
    }
    detach(t, index);
    const ModeInfo* info = findMode(mode);
    const bool input = info != nullptr && info->input;
    for (;;) {
        name = CLEANPATH(name);
        say(run, "\nTrying to open file " + name + "...");

        if (info != nullptr && !info->input && attachNewOutput(t, index, name) == 0) {
            sayOpened(run, unit);
            return;
        }
        Identity id;
        const bool exists = identityOf(name, id);
        const int other = exists ? findAttached(t, id) : -1;
        bool askName = false;
        if (other >= 0 && !input) {
            const ConsoleDialogue shown(run.console);
            run.console.endLine();
            run.console.write(name + " is already open, close it? ");
            std::string reply;
            if (!run.console.readLine(reply, kReplyLength)) endOfInputAtPrompt(run);
            if (!reply.empty() && (reply[0] == 'Y' || reply[0] == 'y')) {
                // Every unit of this process that has the file open lets go of it.
                for (int i = findAttached(t, id); i >= 0; i = findAttached(t, id)) {
                    if (detach(t, i) != 0) {
                        run.console.endLine();
                        run.console.line("  Unable to close file.");
                        endRun(run, 1);
                    }
                }
            } else {
                askName = true;
            }
        }

        if (!askName && !input) {
            openOutput(run, unit, index, mode, info, name);
            return;
        }
        if (!askName && exists) {
            flushWritersOf(t, id);
            const int err = attachInput(t, index, name);
            if (err != 0) failWithReason(run, "ERROR - Cannot read file ", name, err);
            say(run, "OK.\nOpened File Unit:" + unitField(unit) + "\n");
            return;
        }
        // The question for another name, with what led to it.
        const ConsoleDialogue shown(run.console);
        if (!askName) {
            const std::string notice = "\nCHECK 0008 - \"" + name + "\" cannot be found\n";
            say(run, notice);
        }
        askForName(run, name, description);
    }
}

void CLOSER(RunContext& run, int& unit) {
    Table& t = table(run);
    const int index = indexIn(t, unit);
    if (index < 0) return;
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    if (!s.inUse) return;
    // An output stays held until the run's end, so that no other run replaces it meanwhile.
    const int err = detach(t, index, true);
    s.inUse = false;
    if (err != 0) failWithReason(run, "ERROR - Cannot write file ", s.name, err);
    sayClosed(run, unit);
    unit = 0;
}

void closeAllUnitsQuietly(UnitTable& units) {
    Table& t = table(units);
    for (int i = 0; i < kSlots; ++i)
        if (t.slots[static_cast<std::size_t>(i)].inUse) detach(t, i);
    t.endOfRun();
}

bool closeAllUnitsAtExit(UnitTable& units) {
    Table& t = table(units);
    bool ok = true;
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = t.slots[static_cast<std::size_t>(i)];
        if (!s.inUse) continue;
        const int err = detach(t, i);
        if (err == 0) continue;
        ok = false;
        t.console.endLine();
        t.console.line("ERROR - Cannot write file " + s.name + ": " + sys::errorText(err));
    }
    // Every output is final now: another run may have them (once the whole program run ends).
    t.endOfRun();
    return ok;
}

bool unitInUse(UnitTable& units, int unit) {
    const int index = indexIn(table(units), unit);
    return index >= 0 && table(units).slots[static_cast<std::size_t>(index)].inUse;
}

OutStream& unitOutput(UnitTable& units, int unit) {
    Table& t = table(units);
    const long index = static_cast<long>(unit) - (t.base - kReservedSlots + 1);
    if (index >= 0 && index < kSlots) {
        Slot& s = t.slots[static_cast<std::size_t>(index)];
        if (s.attached && s.writes) return *s.out;
    }
    // Writes to a unit with no output file fail on a stream that was never opened.
    static OutStream none;
    return none;
}

LineReader& unitInput(UnitTable& units, int unit) {
    const int index = indexIn(table(units), unit);
    if (index >= 0) {
        Slot& s = table(units).slots[static_cast<std::size_t>(index)];
        if (s.attached && s.reads) return *s.in;
    }
    static LineReader none;
    return none;
}

std::string unitFileName(UnitTable& units, int unit) {
    const int index = indexIn(table(units), unit);
    if (index < 0) return {};
    const Slot& s = table(units).slots[static_cast<std::size_t>(index)];
    return s.inUse ? s.name : std::string();
}

OutputFile::OutputFile(OutputFile&& other) noexcept { adopt(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        close();
        adopt(other);
    }
    return *this;
}

OutputFile::~OutputFile() { close(); }

void OutputFile::adopt(OutputFile& other) {
    path_ = std::move(other.path_);
    table_ = std::exchange(other.table_, nullptr);
    unit_ = std::exchange(other.unit_, 0);
    stream_ = std::exchange(other.stream_, nullptr);
    if (unit_ != 0) table_->table_->slots[static_cast<std::size_t>(indexIn(*table_->table_, unit_))].owner = this;
}

int OutputFile::create(UnitTable& units) {
    close();
    Table& t = table(units);
    const int index = freeSlot(t);
    if (index < 0) return EMFILE;
    const int err = attachNewOutput(t, index, path_);
    if (err != 0) return err;
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    s.inUse = true;
    s.owner = this;
    table_ = &units;
    unit_ = unitOf(t, index);
    stream_ = s.out.get();
    return 0;
}

OutStream& OutputFile::closedStream() {
    static OutStream none;
    return none;
}

bool OutputFile::stillNamed() const {
    if (unit_ == 0) return false;
    const Slot& s = table_->table_->slots[static_cast<std::size_t>(indexIn(*table_->table_, unit_))];
    Identity id;
    return s.attached && identityOf(path_, id) && id == s.id;
}

int OutputFile::close() {
    if (unit_ == 0) return 0;
    Table& t = *table_->table_;
    const int index = indexIn(t, std::exchange(unit_, 0));
    stream_ = nullptr;
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    // The table may have let go of the unit already (a run's end closes every file it has).
    if (s.owner != this) return 0;
    s.owner = nullptr;
    s.inUse = false;
    // Held on until the run's end: another run that took this finished file meanwhile could empty
    // it while this run still writes its other outputs, and the run would then end as finished.
    return detach(t, index, true);
}

int OutputFile::discard() {
    Table* const t = table_ != nullptr ? &*table_->table_ : nullptr;
    close();  // what it could not write goes with it
    if (t != nullptr) t->releaseKept(path_);
    return sys::removeFile(path_);
}

void openOwnedOutput(RunContext& run, OutputFile& file) {
    std::string name(cutTo(TRIMF(file.path()), kNameField));
    file.setPath(CLEANPATH(name));
    say(run, "\nTrying to open file " + file.path() + "...");
    while (const int err = file.create(run.units))
        cannotOpenOutput(run, file.path(), err);
    sayOpened(run, file.unit());
}

void closeOwnedOutput(RunContext& run, OutputFile& file) {
    if (!file.isOpen()) return;
    const int unit = file.unit();
    const int err = file.close();
    if (err != 0) failWithReason(run, "ERROR - Cannot write file ", file.path(), err);
    sayClosed(run, unit);
}

[[noreturn]] void unableToOpen(RunContext& run, const std::string& name) {
    const ConsoleDialogue shown(run.console);
    run.console.breakLine("ERROR - Unable to open file " + name +
                          " and no console input to wait on.");
    EXITS(run);
}

bool retryOutput(RunContext& run, const std::string& name, const std::function<int()>& attempt) {
    while (const int err = attempt())
        if (!askToRetryOutput(run, name, err)) return false;
    return true;
}

void nestUnitTable(UnitTable& units, UnitTable& outer) {
    Table& t = table(units);
    t.outer = outer.table_.get() != &t ? outer.table_.get() : nullptr;
}

void protectInput(UnitTable& units, const std::string& name) {
    Table& t = table(units);
    Identity id;
    if (identityOf(name, id) && !t.isInput(id)) t.root().inputs.push_back(id);
}

bool isRunInput(UnitTable& units, const std::string& name) {
    Identity id;
    return identityOf(name, id) && table(units).isInput(id);
}

int probeOutputName(UnitTable& units, const std::string& name) {
    sys::File file;
    const int err = sys::holdFile(name, false, file);
    if (err == ENOENT) return 0;
    if (err != 0) return err;
    Identity id;
    const bool input = identityOfDescriptor(file, id) && table(units).isInput(id);
    sys::closeFile(file);
    return input ? kOutputIsAnInput : 0;
}

void keepHeldFile(UnitTable& units, sys::File file) {
    Identity id;
    if (!identityOfDescriptor(file, id)) id = {};
    table(units).keep({file, id});
}

}  // namespace vk
