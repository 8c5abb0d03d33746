// Everything one conversion keeps from its start to its end: the file unit table, the GIS layer
// writer's state (layer table, shared object, schema, projections) and the working storage of the
// section processing. `run` makes one for every conversion and puts it in use; the unit, layer and
// section operations work on the state in use, so a new run starts from nothing and leaves
// nothing behind. A test makes its own the same way.
//
//   RunState state;
//   const RunStateScope use(state);
//   state.gis.projections.mif = "CoordSys Earth Projection 1, 104";
//   ConversionOutput out(settings);   // writes through state's units and layers
#pragma once

#include <memory>

#include "files/units.h"
#include "gis/state.h"

namespace vk {

struct SectionWork;  // driver/section_work.h

class RunState {
public:
    RunState();
    ~RunState();
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    UnitTable units;
    GisState gis;
    SectionWork& sections() { return *sections_; }

private:
    std::unique_ptr<SectionWork> sections_;
};

// The state in use: the innermost RunStateScope's, else one of the process's own.
RunState& runState();

class RunStateScope {
public:
    explicit RunStateScope(RunState& state);
    ~RunStateScope();
    RunStateScope(const RunStateScope&) = delete;
    RunStateScope& operator=(const RunStateScope&) = delete;

private:
    UnitTableScope units_;
    GisStateScope gis_;
    RunState* previous_;
};

}  // namespace vk
