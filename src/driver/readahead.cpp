#include "driver/readahead.h"

#include <system_error>

#include "files/exits.h"

namespace vk {

ReadAhead::ReadAhead(SdfConsumer& out) : out_(out) {}

ReadAhead::~ReadAhead() {
    stop();
}

void ReadAhead::stop() {
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        readerWakes_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    setBackgroundReader(nullptr);
}

void ReadAhead::read(SdfReader& reader) {
    reader.readStreamNetworkPart();
    beside_ = true;
    try {
        thread_ = std::thread([this, &reader] { readBeside(reader); });
    } catch (const std::system_error&) {
        beside_ = false;
        reader.readCrossSectionPart();
        return;
    }
    setBackgroundReader(this);
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
    slot.section.copyUsedFrom(section);
    const SdfSection& copy = slot.section;
    slot.values =
        copy.cutX.size() + copy.nValue.size() + copy.leveeHeight.size() + copy.surfaceX.size();
    publish(Slot::Kind::Section);
}

void ReadAhead::crossSectionsDone() {
    if (beside_)
        publish(Slot::Kind::End);
    else
        out_.crossSectionsDone();
}

// The reading thread. Its console output is kept with the section it belongs to, and an end of
// the run it asks for is passed on in order.
void ReadAhead::readBeside(SdfReader& reader) {
    Console::recordThisThread(&slots_[0].messages);
    deferExitsOnThisThread();
    try {
        reader.readCrossSectionPart();
    } catch (const ExitRequested&) {
        publish(Slot::Kind::Exit);
    } catch (const Abandoned&) {
    } catch (...) {
        slots_[filled_ % kSlots].failure = std::current_exception();
        publish(Slot::Kind::Failure);
    }
    Console::recordThisThread(nullptr);
    std::lock_guard lock(mutex_);
    readerHeld_ = true; // for good: it reads no more
    writerWakes_.notify_all();
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
// slot once there is room, and stands still while it is held.
void ReadAhead::publish(Slot::Kind kind) {
    Slot& slot = slots_[filled_ % kSlots];
    slot.kind = kind;
    std::unique_lock lock(mutex_);
    ++filled_;
    if (kind == Slot::Kind::Section) valuesAhead_ += slot.values;
    if (writerWaits_) writerWakes_.notify_all();
    if (kind != Slot::Kind::Section) return;
    if (full() || holdAsked_) {
        readerWaits_ = true;
        readerHeld_ = true;
        if (holdAsked_) writerWakes_.notify_all();
        readerWakes_.wait(lock, [&] { return abandoned_ || (!holdAsked_ && roomAgain()); });
        readerWaits_ = false;
        readerHeld_ = false;
    }
    if (abandoned_) throw Abandoned{};
    lock.unlock();
    Console::recordThisThread(&slots_[filled_ % kSlots].messages);
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
        console().replay(slot.messages);
        switch (slot.kind) {
        case Slot::Kind::Section:
            out_.section(slot.ids, slot.section);
            if (slot.values > kValuesKept) slot.section = SdfSection(SdfSection::Unsized{});
            break;
        case Slot::Kind::End:
            out_.crossSectionsDone();
            return;
        case Slot::Kind::Exit:
            EXITS();
        case Slot::Kind::Failure:
            std::rethrow_exception(slot.failure);
        }
        std::lock_guard lock(mutex_);
        ++emptied_;
        valuesAhead_ -= slot.values;
        if (readerWaits_ && roomAgain()) readerWakes_.notify_one();
    }
}

// Called on the output side when it lets go of a reading unit: waits until the reader stands
// still between two sections, or has ended.
void ReadAhead::hold() {
    if (!thread_.joinable()) return;
    std::unique_lock lock(mutex_);
    holdAsked_ = true;
    writerWakes_.wait(lock, [&] { return readerHeld_; });
}

void ReadAhead::release() {
    if (!thread_.joinable()) return;
    std::lock_guard lock(mutex_);
    holdAsked_ = false;
    readerWakes_.notify_all();
}

} // namespace vk
