#include "files/exits.h"

#include <string>
#include <utility>

#include "files/console.h"
#include "files/units.h"

namespace vk {

namespace {
ExitState processExit;
ExitState* exitInUse = &processExit;
thread_local bool exitsDeferred = false;
constexpr std::size_t kPauseReplyLength = 1024;
}  // namespace

ExitStateScope::ExitStateScope(ExitState& state) : InUse(exitInUse, &state) {}

void deferExitsOnThisThread() { exitsDeferred = true; }

void markRunFinished() { exitInUse->finished = true; }
void resetRunFinished() { exitInUse->finished = false; }
void settleOutputsAtEnd(std::function<void()> settle) {
    exitInUse->settleOutputs = std::move(settle);
}

bool consolePause(std::string_view prompt) {
    Console& c = console();
    const ConsoleDialogue shown;
    c.endLine();
    c.line(prompt);
    std::string reply;
    return c.readLine(reply, kPauseReplyLength);
}

void closingPause() {
    Console& c = console();
    if (c.inputIsTerminal()) {
        consolePause("Press Enter to Close");
        return;
    }
    const ConsoleDialogue shown;
    c.endLine();
    c.line("Press Enter to Close");
}

void EXITS() {
    if (exitsDeferred) throw ExitRequested{};
    if (const auto settle = std::exchange(exitInUse->settleOutputs, nullptr)) settle();
    // A file that could not be written completely turns even a finished run into a failure.
    const bool closed = closeAllUnitsAtExit();
    console().endRepeats();
    console().endLine();
    if (exitInUse->closingPause) {
        {
            const ConsoleDialogue shown;
            console().line();
        }
        closingPause();
    }
    endRun(exitInUse->finished && closed ? 0 : 1);
}

void endRun(int status) {
    if (exitsDeferred) throw ExitRequested{};
    console().flush();
    throw RunEnd{status};
}

}  // namespace vk
