// Reading ahead: the cross-sections of the export are read on a second thread while the sections
// before them are written. Each section reaches the output side with the console messages its
// reading gave, and a reading error ends the run at the place it would on one thread: the console
// shows the same text, in the same order, and the outputs hold the same bytes.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>

#include "driver/sdf.h"
#include "driver/sdf_reader.h"
#include "files/console.h"
#include "files/units.h"

namespace vk {

class ReadAhead final : public SdfConsumer, private BackgroundReader {
  public:
    // `out` receives everything the reader finds, on the calling thread.
    explicit ReadAhead(SdfConsumer& out);
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Reads the whole export with `reader`, which must hand what it finds to this object: the
    // stream network on this thread, the cross-sections ahead on another one (on this thread too
    // when no other can be started). The other thread has ended when this returns or throws.
    void read(SdfReader& reader);

    // The reader's side.
    void centreline(const SdfIds& ids, GisObject& line) override;
    void streamNetworkDone() override;
    void section(const SdfIds& ids, const SdfSection& section) override;
    void crossSectionsDone() override;

  private:
    static constexpr std::size_t kSlots = 64;
    // The values (points of every block) that may wait in the slots: beyond that the reader waits
    // too, so that a run of very large sections takes no more memory than a few of them.
    static constexpr std::size_t kValuesAhead = 100000;
    // A slot that held more values than this gives its storage back once it has been written.
    static constexpr std::size_t kValuesKept = 20000;

    // One section on its way, with the console output of its reading.
    struct Slot {
        enum class Kind { Section, End, Exit, Failure };
        Kind kind = Kind::Section;
        SdfIds ids;
        SdfSection section{SdfSection::Unsized{}};
        ConsoleRecording messages;
        std::exception_ptr failure;
        std::size_t values = 0;
    };

    struct Abandoned {}; // the run ended: the reading thread stops

    void stop(); // the reading thread ends (at its next section, if it is reading) and is joined
    void readBeside(SdfReader& reader);
    void publish(Slot::Kind kind);
    bool full() const;
    bool roomAgain() const;
    void deliver();
    void hold() override;
    void release() override;

    SdfConsumer& out_;
    bool beside_ = false; // sections go through the slots to another thread
    std::array<Slot, kSlots> slots_;

    std::mutex mutex_;
    std::condition_variable readerWakes_;
    std::condition_variable writerWakes_;
    std::size_t filled_ = 0;      // slots published, counted from the start
    std::size_t emptied_ = 0;     // slots taken by the output side, counted from the start
    std::size_t valuesAhead_ = 0; // values in the slots filled and not yet emptied
    bool readerWaits_ = false;
    bool writerWaits_ = false;
    bool holdAsked_ = false;  // the reader is to stop at its next section
    bool readerHeld_ = false; // the reader stands still: it touches no file
    bool abandoned_ = false;
    std::thread thread_;
};

} // namespace vk
