#include "files/units.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <memory>
#include <utility>
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
        for (const Kept& k : kept) sys::closeFile(k.file);
        kept.clear();
    }
    // Keeps a file held until the run's end. The oldest half are let go, with a warning, before
    // the run would hold more files than the system lets a process have open.
    void keep(const Kept& held) {
        static const std::size_t limit = sys::raiseOpenFileLimit();
        const std::size_t budget = limit > 512 ? limit - 256 : limit / 2;
        if (kept.size() + 1 >= budget) {
            const std::size_t half = kept.size() / 2;
            for (std::size_t i = 0; i < half; ++i) sys::closeFile(kept[i].file);
            kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(half));
            console().breakLine("WARNING - The run holds as many files as the system lets it have "
                                "open: " + std::to_string(half) +
                                " of the outputs written before are no longer held against other "
                                "runs.");
            console().line();  // what follows is not part of it
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
                    sys::closeFile(k->file);
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

UnitTable::UnitTable() : table_(std::make_unique<Table>()) {}
UnitTable::~UnitTable() { table_->endOfRun(); }

namespace {

using Table = UnitTable::Table;

// Set up before main (so that the many look-ups of a run need no check of that).
UnitTable processUnits;
UnitTable* unitsInUse = &processUnits;

Table& table() { return *unitsInUse->table_; }

// Slot index of a unit number, or -1 when the table has no slot with that number.
int indexIn(const Table& t, int unit) {
    const long first = static_cast<long>(t.base) - kReservedSlots + 1;  // reserved slot 1
    const long idx = static_cast<long>(unit) - first;
    return idx >= 0 && idx < kSlots ? static_cast<int>(idx) : -1;
}

int indexOf(int unit) { return indexIn(table(), unit); }

int unitOf(int index) { return table().base - kReservedSlots + 1 + index; }

OutStream& ownStream(Slot& s) {
    if (!s.out) s.out = std::make_unique<OutStream>();
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

int detach(int index) { return detach(table(), index); }

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
    for (const Slot& s : table().slots)
        if (s.attached && s.writes && s.id == id) s.out->flush();
}

void prepare(Slot& s, const std::string& name) {
    s.name = name;
    s.reads = false;
    s.writes = false;
}

// Opens an output's stream. A file of this run's own that it still holds after closing it (a
// layer's) is given up for the new open, which this run's hold would refuse otherwise.
bool openOutputStream(OutStream& stream, const std::string& name, OutStream::Open how, bool held) {
    if (stream.open(name, how, held)) return true;
    return stream.error() == EWOULDBLOCK && table().releaseKept(name) && stream.open(name, how, held);
}

// Attaches an output file to the slot; 0 on success, else the errno of the failed open.
int attachOutput(int index, const std::string& name) {
    Slot& s = table().slots[static_cast<std::size_t>(index)];
    prepare(s, name);
    Identity id;
    const bool exists = identityOf(name, id);
    if (exists && table().isInput(id)) return kOutputIsAnInput;
    // An output is held for this run alone, so that another run cannot write it meanwhile; a
    // file that another unit of this run has open is this run's already.
    const bool exclusive = !(exists && findAttached(id) >= 0);
    OutStream& stream = ownStream(s);
    if (!openOutputStream(stream, name, OutStream::Open::Truncate, exclusive)) return stream.error();
    s.writes = true;
    if (!identityOfDescriptor(stream.descriptor(), s.id)) s.id = {};
    s.attached = true;
    return 0;
}

// The usual case of an output that empties its file (a new table or layer): the file is opened
// at once, without looking the name up first, but not emptied yet. Only when no unit has that
// file open is it emptied, as an emptying open would have, and attached (0); otherwise nothing is
// attached and the errno is returned (EBUSY for a file of this run).
int attachNewOutput(int index, const std::string& name) {
    Slot& s = table().slots[static_cast<std::size_t>(index)];
    OutStream& stream = ownStream(s);
    // Held first: a file that another run holds is not this run's to look at or empty.
    if (!openOutputStream(stream, name, OutStream::Open::Keep, true)) return stream.error();
    sys::FileInfo file;
    int err = sys::fileInfo(stream.descriptor(), file) ? 0 : EIO;
    // A file that another unit has open, or that the run reads, is left exactly as it is.
    if (err == 0 && findAttached(file.id) >= 0) err = EBUSY;
    if (err == 0 && table().isInput(file.id)) err = kOutputIsAnInput;
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

int attachInput(int index, const std::string& name) {
    Slot& s = table().slots[static_cast<std::size_t>(index)];
    prepare(s, name);
    LineReader& reader = ownReader(s);
    if (!reader.open(name)) return reader.error();
    s.reads = true;
    if (!identityOfDescriptor(reader.descriptor(), s.id)) s.id = {};
    else if (!table().isInput(s.id)) table().root().inputs.push_back(s.id);
    s.attached = true;
    return 0;
}

std::string unitField(int unit) { return formatInt(unit, 4); }

// Progress and close messages of the opener.
void say(std::string_view text) { console().write(text); }

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

void sayClosed(int unit) {
    console().endLine();
    const std::string message = "...Closed File Unit:" + unitField(unit) + "\n";
    console().write(message);
}

void sayOpened(int unit) { say("OK.  File Unit:" + unitField(unit) + "\n"); }

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
bool askToRetryOutput(const std::string& name, int err) {
    const ConsoleDialogue shown;
    say("Can't Open\n");
    Console& c = console();
    c.listLine("");
    c.listLine("Can't open: " + name);
    c.listLine("");
    c.listLine("Another application or user maybe using it,");
    c.listLine("   or the file's folder does not exist.");
    c.listLine("If so, close the file or create file path.");
    c.listLine("Reason: " + openFailureReason(err));
    c.endLine();
    c.line();
    return consolePause("Press Enter to Continue");
}

// The same, ending the run when there is no console input to wait on.
void cannotOpenOutput(const std::string& name, int err) {
    if (!askToRetryOutput(name, err)) unableToOpen(name);
}

// Opens an output unit, retrying for as long as the user keeps pressing Enter.
void openOutput(int& unit, int index, std::string_view mode, const ModeInfo* info,
                const std::string& name) {
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
        const int err = attachOutput(index, name);
        if (err == 0) {
            sayOpened(unit);
            return;
        }
        cannotOpenOutput(name, err);
    }
}

// The first free general slot of the table, or -1.
int freeSlot(const Table& t) {
    for (int i = kReservedSlots; i < kSlots; ++i)
        if (!t.slots[static_cast<std::size_t>(i)].inUse) return i;
    return -1;
}

}  // namespace

UnitTableScope::UnitTableScope(UnitTable& units) : InUse(unitsInUse, &units) {}

void setBackgroundReader(BackgroundReader* reader) { table().backgroundReader = reader; }

void INITFILEUNITS(int base) {
    Table& t = table();
    for (int i = 0; i < kSlots; ++i) {
        detach(i);
        t.slots[static_cast<std::size_t>(i)].inUse = false;
        t.slots[static_cast<std::size_t>(i)].owner = nullptr;
    }
    t.releaseKept();
    t.inputs.clear();
    t.base = base < 9 ? 9 : base;
    resetRunFinished();
}

void OPENER(int& unit, std::string_view mode, std::string_view name) {
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
    const int index = freeSlot(t);
    if (index < 0) {
        console().endLine();
        const ConsoleDialogue shown;
        console().line("No free file numbers.");
        endRun(1);
    }
    unit = unitOf(index);
    OPENWITHRETRY(unit, work, mode, "");
    t.slots[static_cast<std::size_t>(index)].inUse = unit != 0;
}

void OPENWITHRETRY(int& unit, std::string& name, std::string_view mode,
                   std::string_view description) {
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
        say("\nTrying to open file " + name + "...");

        if (info != nullptr && !info->input && attachNewOutput(index, name) == 0) {
            sayOpened(unit);
            return;
        }
        Identity id;
        const bool exists = identityOf(name, id);
        const int other = exists ? findAttached(id) : -1;
        bool askName = false;
        if (other >= 0 && !input) {
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
            openOutput(unit, index, mode, info, name);
            return;
        }
        if (!askName && exists) {
            flushWritersOf(id);
            const int err = attachInput(index, name);
            if (err != 0) failWithReason("ERROR - Cannot read file ", name, err);
            say("OK.\nOpened File Unit:" + unitField(unit) + "\n");
            return;
        }
        const ConsoleDialogue shown;  // the question for another name, with what led to it
        if (!askName) {
            const std::string notice = "\nCHECK 0008 - \"" + name + "\" cannot be found\n";
            say(notice);
        }
        askForName(name, description);
    }
}

void CLOSER(int& unit) {
    const int index = indexOf(unit);
    if (index < 0) return;
    Slot& s = table().slots[static_cast<std::size_t>(index)];
    if (!s.inUse) return;
    // An output stays held until the run's end, so that no other run replaces it meanwhile.
    const int err = detach(table(), index, true);
    s.inUse = false;
    if (err != 0) failWithReason("ERROR - Cannot write file ", s.name, err);
    sayClosed(unit);
    unit = 0;
}

void closeAllUnitsQuietly() {
    for (int i = 0; i < kSlots; ++i)
        if (table().slots[static_cast<std::size_t>(i)].inUse) detach(i);
    table().endOfRun();
}

bool closeAllUnitsAtExit() {
    bool ok = true;
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = table().slots[static_cast<std::size_t>(i)];
        if (!s.inUse) continue;
        const int err = detach(i);
        if (err == 0) continue;
        ok = false;
        console().endLine();
        console().line("ERROR - Cannot write file " + s.name + ": " + sys::errorText(err));
    }
    // Every output is final now: another run may have them (once the whole program run ends).
    table().endOfRun();
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
        if (s.attached && s.writes) return *s.out;
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

int OutputFile::create() {
    close();
    Table& t = table();
    const int index = freeSlot(t);
    if (index < 0) return EMFILE;
    const int err = attachNewOutput(index, path_);
    if (err != 0) return err;
    Slot& s = t.slots[static_cast<std::size_t>(index)];
    s.inUse = true;
    s.owner = this;
    table_ = unitsInUse;
    unit_ = unitOf(index);
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

void openOwnedOutput(OutputFile& file) {
    std::string name(cutTo(TRIMF(file.path()), kNameField));
    file.setPath(CLEANPATH(name));
    say("\nTrying to open file " + file.path() + "...");
    while (const int err = file.create())
        cannotOpenOutput(file.path(), err);
    sayOpened(file.unit());
}

void closeOwnedOutput(OutputFile& file) {
    if (!file.isOpen()) return;
    const int unit = file.unit();
    const int err = file.close();
    if (err != 0) failWithReason("ERROR - Cannot write file ", file.path(), err);
    sayClosed(unit);
}

[[noreturn]] void unableToOpen(const std::string& name) {
    const ConsoleDialogue shown;
    console().breakLine("ERROR - Unable to open file " + name +
                        " and no console input to wait on.");
    EXITS();
}

bool retryOutput(const std::string& name, const std::function<int()>& attempt) {
    while (const int err = attempt())
        if (!askToRetryOutput(name, err)) return false;
    return true;
}

void nestUnitTable(UnitTable& outer) {
    Table& t = table();
    t.outer = outer.table_.get() != &t ? outer.table_.get() : nullptr;
}

void protectInput(const std::string& name) {
    Identity id;
    if (identityOf(name, id) && !table().isInput(id)) table().root().inputs.push_back(id);
}

bool isRunInput(const std::string& name) {
    Identity id;
    return identityOf(name, id) && table().isInput(id);
}

int probeOutputName(const std::string& name) {
    sys::File file;
    const int err = sys::holdFile(name, false, file);
    if (err == ENOENT) return 0;
    if (err != 0) return err;
    Identity id;
    const bool input = identityOfDescriptor(file, id) && table().isInput(id);
    sys::closeFile(file);
    return input ? kOutputIsAnInput : 0;
}

void keepHeldFile(sys::File file) {
    Identity id;
    if (!identityOfDescriptor(file, id)) id = {};
    table().keep({file, id});
}

}  // namespace vk
