// Pause and premature exit. EXITS is the single way out of a run: it closes every file unit still
// open, waits at "Press Enter to Close" and ends the run by throwing RunEnd, which only run()
// catches, so that every routine can be exercised in one process.
#pragma once

#include <functional>
#include <string_view>

#include "files/context.h"

namespace vk {

// Thrown to end the run; carries the process exit status. Caught only by run().
struct RunEnd {
    int status;
};

// Thrown where the run notices that its user or the system interrupted it (sys::interrupted): at
// a wait for input and before each section is written. The run closes out what it wrote and ends
// as a failed run ends.
struct RunInterrupted {};

// Work running beside the run on a thread of its own does not end the run: it is handed an exit
// state of its own that defers, and there EXITS and endRun throw ExitRequested; the run's thread
// calls EXITS in its place once it has written what that work wrote to the console.
struct ExitRequested {};

// How the run ends: whether it reached its normal end. One per run, handed to what ends it.
struct ExitState {
    // The exit state of work beside the run: it ends nothing itself (ExitRequested).
    bool deferred = false;
    bool finished = false;
    // One of several inputs ends without the closing pause: the program pauses once, after all.
    bool closingPause = true;
    // What settles the outputs still open when the run ends before closing them (the layer
    // operations' close-out of their layers): called once by EXITS, before it closes the units.
    std::function<void()> settleOutputs;
};

// A run that reached its normal end ("Finished.") sets this before calling EXITS, so that the exit
// status is 0; every other way through EXITS ends with status 1.
void markRunFinished(ExitState& exit);
void resetRunFinished(ExitState& exit);
// Sets the run's settleOutputs.
void settleOutputsAtEnd(ExitState& exit, std::function<void()> settle);

// The console pause: ends an open line, writes the prompt and a line end, and reads one reply.
// Any reply ends the pause (a reply is never run as a command). False when the console input has
// ended.
bool consolePause(Console& console, std::string_view prompt);

// The pause that ends a run, "Press Enter to Close": written always, but it waits for a reply only
// when a person can give one (standard input is a terminal). A script's input is never taken.
void closingPause(Console& console);
[[noreturn]] void EXITS(RunContext& run);
// Ends the run at once with the given status, closing nothing (the opener's bail-outs).
[[noreturn]] void endRun(RunContext& run, int status);

}  // namespace vk
