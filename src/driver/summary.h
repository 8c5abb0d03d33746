// What a conversion wrote, told to the user at the end of the run:
//
//   RunCounts counts;          // filled while the run writes
//   ++counts.cutLines;
//   writeRunSummary(counts);   // "Written: centrelines 0, cut lines 1, ..." and "Warnings: 0."
#pragma once

#include <cstdint>
#include <string>

namespace vk {

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
};

// The two lines of the summary, each without its line end.
std::string summaryWrittenLine(const RunCounts& counts);
std::string summaryWarningsLine(const RunCounts& counts);

// Writes the summary to the console, starting with a line break.
void writeRunSummary(const RunCounts& counts);

} // namespace vk
