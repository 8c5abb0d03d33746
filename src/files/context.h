// What the file operations of one run work with, handed to them: the run's console, its file unit
// table and how it ends. The run makes one (driver/runstate.h) and passes it to what opens,
// writes and closes its files; a thread working beside the run has one of its own (its console
// recorded, its end deferred to the run's thread).
//
//   RunContext run{console, units, exit};
//   int unit = 0;
//   OPENER(run, unit, "O ", "river.csv");
//   unitOutput(run.units, unit).putLine(R"("X","Z")");
//   CLOSER(run, unit);
#pragma once

namespace vk {

class Console;
class UnitTable;
struct ExitState;

struct RunContext {
    Console& console;
    UnitTable& units;
    ExitState& exit;
};

}  // namespace vk
