#include "driver/runstate.h"

#include "driver/section_work.h"

namespace vk {

namespace {

RunState* inUse = nullptr;

// The state of code that runs outside any run or test of its own.
RunState& processState() {
    static RunState state;
    return state;
}

}  // namespace

RunState::RunState() : sections_(std::make_unique<SectionWork>()) {}
RunState::~RunState() = default;

RunState& runState() { return inUse != nullptr ? *inUse : processState(); }

RunStateScope::RunStateScope(RunState& state)
    : units_(state.units), exit_(state.exit), console_(state.console),
      writeFaults_(state.writeFaults), run_(inUse, &state) {}

}  // namespace vk
