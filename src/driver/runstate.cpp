#include "driver/runstate.h"

#include "driver/section_work.h"

namespace vk {

RunState::RunState(Console& terminal)
    : console(terminal), sections_(std::make_unique<SectionWork>()) {}
RunState::~RunState() = default;

}  // namespace vk
