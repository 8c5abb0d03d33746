#include "driver/readahead.h"

#include <system_error>

#include "files/exits.h"

namespace vk {

ReadAhead::ReadAhead(RunContext& run, SdfConsumer& out) : run_(run), out_(out) {}

ReadAhead::~ReadAhead() {
    stop();
}

void ReadAhead::stop() {
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        readerWakes_.notify_all();
    }
    wake_.signal();
    if (thread_.joinable()) thread_.join();
    // The reader may be gone once read() has returned: it is let go of here.
    if (reader_ != nullptr) reader_->input().wakeWith(nullptr);
    reader_ = nullptr;
    if (registered_) setBackgroundReader(run_.units, nullptr);
    registered_ = false;
}

void ReadAhead::read(SdfReader& reader) {
    reader.readStreamNetworkPart(run_);
    // A reading thread that could not be woken from a wait for input could hold up the end of the
    // run: without the means for that, as without a thread, everything is read on this one.
    if (!wake_.usable()) {
        reader.readCrossSectionPart(run_);
        return;
    }
    reader_ = &reader;
    reader.input().wakeWith(&wake_);
    beside_ = true;
    quiet_ = run_.console.quiet();
    try {
        thread_ = std::thread([this, &reader] { readBeside(reader); });
    } catch (const std::system_error&) {
        beside_ = false;
        reader_ = nullptr;
        reader.input().wakeWith(nullptr);
        reader.readCrossSectionPart(run_);
        return;
    }
    setBackgroundReader(run_.units, this);
    registered_ = true;
    // The reading thread is gone when this returns, however the run goes on or ends.
    try {
        deliver();
    } catch (...) {
        stop();
        throw;
    }
    stop();
}

void ReadAhead::centreline(const SdfIds& ids, GisObject& line) {
    out_.centreline(ids, line);
}

void ReadAhead::streamNetworkDone() {
    out_.streamNetworkDone();
}

void ReadAhead::section(const SdfIds& ids, const SdfSection& section) {
    if (!beside_) {
        out_.section(ids, section);
        return;
    }
    Slot& slot = slots_[filled_ % kSlots];
    slot.ids = ids;
    slot.section = section;
    slot.values = slot.section.storedRows();
    publish(Slot::Kind::Section);
}

void ReadAhead::header(const SdfHeader& header) {
    out_.header(header);
}

// A region is read after the last section and goes through the slots as a section does.
void ReadAhead::region(const SdfRegion& region) {
    if (!beside_) {
        out_.region(region);
        return;
    }
    Slot& slot = slots_[filled_ % kSlots];
    slot.region = region;
    slot.values = region.x.size();
    publish(Slot::Kind::Region);
}

void ReadAhead::notAnExport() {
    if (beside_)
        notAnExport_ = true;
    else
        out_.notAnExport();
}

void ReadAhead::crossSectionsDone() {
    if (beside_)
        publish(Slot::Kind::End);
    else
        out_.crossSectionsDone();
}

// The reader goes on past the section before the slot it now fills: what it records from here
// on was not yet there when that section was written on one thread.
void ReadAhead::readingPast(int lineNumber, const ConsolePlace& place) {
    if (!beside_) return;
    Slot& slot = slots_[filled_ % kSlots];
    slot.readOn = true;
    slot.readOnAfter = lineNumber;
    slot.readOnPlace.clear();
    // Only a quiet console names places (a run that is not quiet spends nothing on them).
    if (quiet_) place.describe(slot.readOnPlace);
    slot.readOnMark = slot.messages.mark();
    if (abandoned_ || inputGone_) throw Abandoned{};
}

// The reading thread. Its console output is kept with the section it belongs to, and an end of
// the run it asks for is passed on in order.
void ReadAhead::readBeside(SdfReader& reader) {
    Console console(slots_[0].messages);
    ExitState exit;
    exit.deferred = true;
    RunContext here{console, run_.units, exit};  // the run's table, which reading does not use
    readingConsole_ = &console;
    try {
        reader.readCrossSectionPart(here);
    } catch (const ExitRequested&) {
        publish(Slot::Kind::Exit);
    } catch (const Abandoned&) {
    } catch (...) {
        slots_[filled_ % kSlots].failure = std::current_exception();
        publish(Slot::Kind::Failure);
    }
    readingConsole_ = nullptr;
}

// The slots are all taken, or hold as many values as may wait; the reader waits then until half of
// them are free again (so that the two threads do not wake each other for every section).
bool ReadAhead::full() const {
    return filled_ - emptied_ >= kSlots || valuesAhead_ >= kValuesAhead;
}
bool ReadAhead::roomAgain() const {
    return filled_ - emptied_ <= kSlots / 2 && valuesAhead_ <= kValuesAhead / 2;
}

// Hands the slot being filled to the output side. After a section the reader goes on in the next
// slot once there is room.
void ReadAhead::publish(Slot::Kind kind) {
    Slot& slot = slots_[filled_ % kSlots];
    slot.kind = kind;
    std::unique_lock lock(mutex_);
    const std::size_t index = filled_++;
    const bool more = kind == Slot::Kind::Section || kind == Slot::Kind::Region;
    if (more) valuesAhead_ += slot.values;
    if (writerWaits_) writerWakes_.notify_all();
    if (!more) return;
    if (full()) {
        readerWaits_ = true;
        readerWakes_.wait(lock, [&] { return abandoned_ || inputGone_ || roomAgain(); });
        readerWaits_ = false;
    }
    // With the input let go of while this very section is written, the reader still finishes its
    // line (the next slot is free: no other section waits); after any later one it stops.
    if (abandoned_ || (inputGone_ && index != goneDuring_)) throw Abandoned{};
    lock.unlock();
    Slot& next = slots_[filled_ % kSlots];
    next.readOn = false;
    readingConsole_->recordInto(next.messages);
}

// The output side: every slot in order, its console output first.
void ReadAhead::deliver() {
    for (std::size_t next = 0;; ++next) {
        {
            std::unique_lock lock(mutex_);
            writerWaits_ = true;
            writerWakes_.wait(lock, [&] { return filled_ > next; });
            writerWaits_ = false;
        }
        Slot& slot = slots_[next % kSlots];
        run_.console.replay(slot.messages);
        switch (slot.kind) {
        case Slot::Kind::Section:
            out_.section(slot.ids, slot.section);
            if (inputGone_) readOnAfterClose(next);
            if (slot.values > kValuesKept) slot.section = SdfSection(SdfSection::Unsized{});
            break;
        case Slot::Kind::Region:
            out_.region(slot.region);
            if (slot.values > kValuesKept) slot.region = SdfRegion{};
            break;
        case Slot::Kind::End:
            if (notAnExport_) out_.notAnExport();
            out_.crossSectionsDone();
            return;
        case Slot::Kind::Exit:
            EXITS(run_);
        case Slot::Kind::Failure:
            std::rethrow_exception(slot.failure);
        }
        std::lock_guard lock(mutex_);
        ++emptied_;
        valuesAhead_ -= slot.values;
        if (readerWaits_ && roomAgain()) readerWakes_.notify_one();
    }
}

// The input was closed while section `current` was written, and the reading thread has ended.
// On one thread the reader would go on from that section's "END:" line and find the input closed
// at its next read: what it did up to that read is written, then that read fails here. When the
// cross-sections ended on that line instead, the end that follows is delivered as it is.
void ReadAhead::readOnAfterClose(std::size_t current) {
    Slot& following = slots_[(current + 1) % kSlots];
    if (!following.readOn) {
        if (filled_ > current + 1) return;
        // Not reached by the reader as it ends; should it be, the run ends at that line too.
        reader_->failReadingAfter(run_, reader_->lineNumber(), {});
    }
    run_.console.replay(following.messages, following.readOnMark);
    reader_->failReadingAfter(run_, following.readOnAfter, following.readOnPlace);
}

// The output side is about to close a file that is read. When it is the export, the reading thread
// stops at once (whatever it waits for) and is joined; see readOnAfterClose for the rest.
void ReadAhead::lettingGo(const LineReader& input) {
    if (reader_ == nullptr || &input != &reader_->input() || !thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        goneDuring_ = emptied_;
        inputGone_ = true;
        readerWakes_.notify_all();
    }
    wake_.signal();
    thread_.join();
    reader_->input().wakeWith(nullptr);
}

} // namespace vk
