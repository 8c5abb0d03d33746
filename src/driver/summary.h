// What a conversion wrote, told to the user at the end of the run:
//
//   RunCounts counts;          // filled while the run writes
//   ++counts.cutLines;
//   writeRunSummary(counts);   // "Written: centrelines 0, cut lines 1, ..." and "Warnings: 0."
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

class Console;  // files/console.h

// What a run wrote: the features of each layer, the .csv tables, and the warning and error
// messages after which the run went on (from "Processing Stream Centrelines" on).
struct RunCounts {
    std::int64_t centrelines = 0;
    std::int64_t cutLines = 0;
    std::int64_t surfaceLines = 0;
    std::int64_t surfacePoints = 0;
    std::int64_t endPoints = 0;
    std::int64_t leveePoints = 0;
    std::int64_t tables = 0;
    std::int64_t warnings = 0;
    // With -results: the model's results written, and the sections that got no water-surface
    // line for any profile (neither extents nor a surface line with water elevations).
    bool results = false;
    std::int64_t waterLines = 0;
    std::int64_t profileLimits = 0;
    std::int64_t bankPoints = 0;
    std::int64_t storageAreas = 0;
    std::int64_t waterRows = 0;
    std::int64_t sectionsWithoutWater = 0;
    // With -grid or -dem: the rasters written, their wet cells and the flooded-area regions.
    bool rasters = false;
    std::int64_t rasterFiles = 0;
    std::int64_t rasterCells = 0;
    std::int64_t floodedAreas = 0;
};

// One count of the run, as the summary, the report's records and the report's page show it:
// the summary's words for it and where RunCounts keeps it. A count of what was written is one of
// the first line ("Written: centrelines 2, cut lines 20, ..."), in the order of the table, and
// of the report's "n" list at the same place; any other count has a line of its own
// ("Warnings: 3.") and is the report's value `key`.
struct RunCount {
    std::string_view words;
    std::int64_t RunCounts::*value = nullptr;
    std::string_view key = {}; // empty for a count of what was written
    bool results = false;      // shown only in a run with -results
    bool rasters = false;      // shown only in a run with -grid or -dem
};

inline constexpr RunCount kRunCounts[] = {
    {"centrelines", &RunCounts::centrelines},
    {"cut lines", &RunCounts::cutLines},
    {"surface lines", &RunCounts::surfaceLines},
    {"surface points", &RunCounts::surfacePoints},
    {"end points", &RunCounts::endPoints},
    {"levee points", &RunCounts::leveePoints},
    {"tables", &RunCounts::tables},
    {"water-surface lines", &RunCounts::waterLines, {}, true},
    {"profile limits", &RunCounts::profileLimits, {}, true},
    {"bank points", &RunCounts::bankPoints, {}, true},
    {"storage areas", &RunCounts::storageAreas, {}, true},
    {"water-surface rows", &RunCounts::waterRows, {}, true},
    // On the first line too, which a quiet console shows.
    {"sections without water surface", &RunCounts::sectionsWithoutWater, {}, true},
    {"rasters", &RunCounts::rasterFiles, {}, false, true},
    {"raster cells", &RunCounts::rasterCells, {}, false, true},
    {"flooded areas", &RunCounts::floodedAreas, {}, false, true},
    {"Warnings", &RunCounts::warnings, "w"},
};

// The lines of the summary, each without its line end: "Written: ..." first.
std::vector<std::string> summaryLines(const RunCounts& counts);

// Writes the summary to the console, starting with a line break.
void writeRunSummary(Console& console, const RunCounts& counts);

} // namespace vk
