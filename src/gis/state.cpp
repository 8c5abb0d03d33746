#include "gis/state.h"

#include "gis/gpkg.h"

namespace vk {

namespace {

// The state of code that runs outside any run or test of its own (a fuzz target, say).
GisState& processState() {
    static GisState state;
    return state;
}

GisState* inUse = nullptr;

} // namespace

GisState::GisState() = default;
GisState::~GisState() = default;

GisState& gisState() {
    return inUse != nullptr ? *inUse : processState();
}

GisStateScope::GisStateScope(GisState& state) : InUse(inUse, &state) {}

} // namespace vk
