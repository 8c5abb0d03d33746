#include "files/exits.h"

#include <string>
#include <utility>

#include "files/console.h"
#include "files/units.h"

namespace vk {

namespace {
constexpr std::size_t kPauseReplyLength = 1024;
}  // namespace

void markRunFinished(ExitState& exit) { exit.finished = true; }
void resetRunFinished(ExitState& exit) { exit.finished = false; }
void settleOutputsAtEnd(ExitState& exit, std::function<void()> settle) {
    exit.settleOutputs = std::move(settle);
}

bool consolePause(Console& c, std::string_view prompt) {
    const ConsoleDialogue shown(c);
    c.endLine();
    c.line(prompt);
    std::string reply;
    return c.readLine(reply, kPauseReplyLength);
}

void closingPause(Console& c) {
    if (c.inputIsTerminal()) {
        consolePause(c, "Press Enter to Close");
        return;
    }
    const ConsoleDialogue shown(c);
    c.endLine();
    c.line("Press Enter to Close");
}

void EXITS(RunContext& run) {
    if (run.exit.deferred) throw ExitRequested{};
    if (const auto settle = std::exchange(run.exit.settleOutputs, nullptr)) settle();
    // A file that could not be written completely turns even a finished run into a failure.
    const bool closed = closeAllUnitsAtExit(run.units);
    run.console.endRepeats();
    run.console.endLine();
    if (run.exit.closingPause) {
        {
            const ConsoleDialogue shown(run.console);
            run.console.line();
        }
        closingPause(run.console);
    }
    endRun(run, run.exit.finished && closed ? 0 : 1);
}

void endRun(RunContext& run, int status) {
    if (run.exit.deferred) throw ExitRequested{};
    run.console.flush();
    throw RunEnd{status};
}

}  // namespace vk
