// Reading ahead: the cross-sections of the export are read on a second thread while the sections
// before them are written. Each section reaches the output side with the console messages its
// reading gave, and a reading error ends the run at the place it would on one thread: the console
// shows the same text, in the same order, and the outputs hold the same bytes. The same holds when
// the output side closes the input (the opener, on the user's request): nothing read after that
// is used. Ending the run never waits for the input: a read waiting for a stalled writer is cut
// short.
//
//   ReadAhead ahead(run, output);                  // output: the SdfConsumer that writes
//   SdfReader reader(in, trim, line, section, ahead);
//   ahead.read(reader);                            // returns, or throws RunEnd, with the thread gone
//
// The reading thread has a console of its own that records (replayed by the run's thread before
// the section it belongs to) and an end of its own that defers to the run's thread; of the run it
// is handed only whether the console is quiet.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>

#include "driver/sdf.h"
#include "driver/sdf_reader.h"
#include "files/console.h"
#include "files/units.h"
#include "files/platform.h"

namespace vk {

class ReadAhead final : public SdfConsumer, private BackgroundReader {
  public:
    // `out` receives everything the reader finds, on the calling thread, the run `run`'s.
    ReadAhead(RunContext& run, SdfConsumer& out);
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
    void header(const SdfHeader& header) override;
    void region(const SdfRegion& region) override;
    void notAnExport() override;
    void readingPast(int lineNumber, const ConsolePlace& place) override;

  private:
    static constexpr std::size_t kSlots = 64;
    // The values (rows of every block) that may wait in the slots: beyond that the reader waits
    // too, so that a run of very large sections takes no more memory than a few of them.
    static constexpr std::size_t kValuesAhead = 100000;
    // A slot that held more values than this gives its storage back once it has been written.
    static constexpr std::size_t kValuesKept = 20000;

    // One section on its way, with the console output of its reading.
    struct Slot {
        enum class Kind { Section, Region, End, Exit, Failure };
        Kind kind = Kind::Section;
        SdfIds ids;
        SdfSection section{SdfSection::Unsized{}};
        SdfRegion region; // a Region's
        ConsoleRecording messages;
        std::exception_ptr failure;
        std::size_t values = 0;
        // Whether the reader read on past the section before this slot, and if so after which
        // line, and where in `messages` that reading began.
        bool readOn = false;
        int readOnAfter = 0;
        std::string readOnPlace;
        ConsoleRecording::Mark readOnMark;
    };

    struct Abandoned {}; // the run ended: the reading thread stops

    void stop(); // the reading thread ends at once and is joined
    void readBeside(SdfReader& reader);
    void publish(Slot::Kind kind);
    bool full() const;
    bool roomAgain() const;
    void deliver();
    void readOnAfterClose(std::size_t current);
    void lettingGo(const LineReader& input) override;

    RunContext& run_;
    SdfConsumer& out_;
    SdfReader* reader_ = nullptr; // while read() runs
    Console* readingConsole_ = nullptr; // the reading thread's, while it reads
    bool beside_ = false; // sections go through the slots to another thread
    bool registered_ = false; // with the run's unit table, as its BackgroundReader
    // Whether the run's console is quiet, taken before the reading thread starts: that thread
    // reads nothing of the run but what it was given.
    bool quiet_ = false;
    std::array<Slot, kSlots> slots_;
    sys::Wakeup wake_; // cuts short a read that waits for input, when the reading is to stop

    std::mutex mutex_;
    std::condition_variable readerWakes_;
    std::condition_variable writerWakes_;
    std::size_t filled_ = 0;      // slots published, counted from the start
    std::size_t emptied_ = 0;     // slots taken by the output side, counted from the start
    std::size_t valuesAhead_ = 0; // values in the slots filled and not yet emptied
    bool readerWaits_ = false;
    bool writerWaits_ = false;
    std::atomic<bool> abandoned_{false}; // the run ends: the reader stops where it is
    // The output side let go of the input while it wrote slot goneDuring_: the reader goes on only
    // to its next read after that section (or the end of the cross-sections there).
    std::atomic<bool> inputGone_{false};
    bool notAnExport_ = false; // set before the end is published, read once it is taken
    std::size_t goneDuring_ = 0;
    std::thread thread_;
};

} // namespace vk
