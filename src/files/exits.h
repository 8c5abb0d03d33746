// Pause and premature exit. EXITS is the single way out of a run: it closes every file unit still
// open, waits at "Press Enter to Close" and ends the run by throwing RunEnd, which only run()
// catches, so that every routine can be exercised in one process.
#pragma once

#include <functional>
#include <string_view>

#include "files/inuse.h"

namespace vk {

// Thrown to end the run; carries the process exit status. Caught only by run().
struct RunEnd {
    int status;
};

// Thrown where the run notices that its user or the system interrupted it (sys::interrupted): at
// a wait for input and before each section is written. The run closes out what it wrote and ends
// as a failed run ends.
struct RunInterrupted {};

// Work running beside the run on a thread of its own does not end the run: there EXITS and
// endRun throw ExitRequested, and the run's thread calls EXITS in its place once it has written
// what that work wrote to the console.
struct ExitRequested {};
void deferExitsOnThisThread();

// How the run ends: whether it reached its normal end. One per run, in use while the run's
// ExitStateScope lives (else the process's own).
struct ExitState {
    bool finished = false;
    // One of several inputs ends without the closing pause: the program pauses once, after all.
    bool closingPause = true;
    // What settles the outputs still open when the run ends before closing them (the layer
    // operations' close-out of their layers): called once by EXITS, before it closes the units.
    std::function<void()> settleOutputs;
};

class ExitStateScope : InUse<ExitState> {
public:
    explicit ExitStateScope(ExitState& state);
};

// A run that reached its normal end ("Finished.") sets this before calling EXITS, so that the exit
// status is 0; every other way through EXITS ends with status 1. Both work on the state in use.
void markRunFinished();
void resetRunFinished();
// Sets the state in use's settleOutputs.
void settleOutputsAtEnd(std::function<void()> settle);

// The console pause: ends an open line, writes the prompt and a line end, and reads one reply.
// Any reply ends the pause (a reply is never run as a command). False when the console input has
// ended.
bool consolePause(std::string_view prompt);

// The pause that ends a run, "Press Enter to Close": written always, but it waits for a reply only
// when a person can give one (standard input is a terminal). A script's input is never taken.
void closingPause();
[[noreturn]] void EXITS();
// Ends the run at once with the given status, closing nothing (the opener's bail-outs).
[[noreturn]] void endRun(int status);

}  // namespace vk
