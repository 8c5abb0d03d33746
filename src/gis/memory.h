// A dataset held in memory: its layers collect each feature's geometry as coordinate arrays and
// its values as typed columns, for a caller in the same process (the Python module) to take as
// arrays once the run has ended. Nothing is written to disk: the dataset holds the tables too
// (createTable), and the run writes no .csv tables beside it (tablesAsFiles).
//
//   MemoryStore store;
//   auto dataset = openMemory(store, run, format, place);  // the run's dataset, the format's names
//   ... the run writes its layers ...
//   for (MemoryLayer& layer : store.layers) use(layer.x, layer.partStarts, layer.columns);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "gis/dataset.h"
#include "gis/formats.h"

namespace vk {

// One field of a memory layer: numbers (NaN where missing) or texts, each text kept once and
// referred to by its code (-1 where missing), as the IDs of a section repeat on its rows.
struct MemoryColumn {
    std::string name;
    bool numeric = false;
    std::vector<double> numbers;
    std::vector<std::int32_t> codes;
    std::vector<std::string> texts;
    std::unordered_map<std::string, std::int32_t> known;  // text -> its code
};

struct MemoryLayer {
    std::string name;  // as the layer was created: its folder and extension included
    // The geometry type: 'P' points, 'L' lines, 'R' polygons; 0 for a table without geometry.
    char geometry = 0;
    bool hasZ = false;  // decided by the first feature with parts, as a package decides it
    std::size_t count = 0;
    // Feature i's parts are partStarts[parts[i]] .. [parts[i+1]]; part k's vertices are
    // x[partStarts[k]] .. x[partStarts[k+1]]. A feature without geometry has no parts.
    std::vector<std::int64_t> parts{0};
    std::vector<std::int64_t> partStarts{0};
    std::vector<double> x, y, z;  // z: one per vertex when hasZ
    std::vector<MemoryColumn> columns;
};

// What a memory dataset collected, in the order its layers were created. It outlives the run.
struct MemoryStore {
    std::vector<std::unique_ptr<MemoryLayer>> layers;
    // The run's coordinate system as a GeoPackage stores it: its EPSG code (0: none) and its
    // definition (empty: the layers have none).
    int epsg = 0;
    std::string projection;
    std::string folder, base;  // the run's output folder and base name, which the layers' names hold
};

// Opens a memory dataset that collects into `store` for `run`, the layers named as `format` names
// them.
std::unique_ptr<GisDataset> openMemory(MemoryStore& store, RunContext& run,
                                       const OutputFormat& format, DatasetPlace place);

} // namespace vk
