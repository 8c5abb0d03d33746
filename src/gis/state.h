// Everything the GIS layer writer keeps for one run: the layer table, the projection texts and the
// error text buffer. The
// layer operations of gis.h work on the state in use; a run (or a test) makes its own and puts it
// in use for its lifetime, so that a new run starts from nothing.
//
//   GisState state;
//   const GisStateScope use(state);
//   state.projections.mif = "CoordSys Earth Projection 1, 104";
//   int id = gisOpenLayer("river.mif", "", "O ", schema);   // works on `state`
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "files/inuse.h"
#include "gis/object.h"
#include "gis/registry.h"
#include "gis/schema.h"

namespace vk {

inline constexpr int kMaxGisLayers = 100;

class GpkgPackage;  // gis/gpkg.h

struct GisState {
    // Entry 0 is never a layer; gisIDs 1 to 100 index the rest.
    std::array<GisLayer, kMaxGisLayers + 1> layers;
    GisProjections projections;
    std::array<std::string, 4> errorText;  // the library's error text buffer
    // The run's one GeoPackage: its name and the time its tables are dated, given before its
    // first layer opens, and the database from that layer's header until gisCommitPackage.
    std::string packagePath;
    std::int64_t packageTime = 0;
    std::unique_ptr<GpkgPackage> package;

    GisState();
    ~GisState();  // a package not committed is deleted
};

// The state in use: the innermost GisStateScope's, else one of the process's own.
GisState& gisState();

class GisStateScope : InUse<GisState> {
  public:
    explicit GisStateScope(GisState& state);
};

}  // namespace vk
