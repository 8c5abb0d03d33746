#include "driver/summary.h"

#include "files/console.h"
#include "text/strings.h"

namespace vk {

std::string summaryWrittenLine(const RunCounts& c) {
    std::string line = "Written: centrelines " + AINTEGER(c.centrelines);
    line += ", cut lines " + AINTEGER(c.cutLines);
    line += ", surface lines " + AINTEGER(c.surfaceLines);
    line += ", surface points " + AINTEGER(c.surfacePoints);
    line += ", end points " + AINTEGER(c.endPoints);
    line += ", levee points " + AINTEGER(c.leveePoints);
    line += ", tables " + AINTEGER(c.tables) + ".";
    return line;
}

std::string summaryWarningsLine(const RunCounts& c) {
    return "Warnings: " + AINTEGER(c.warnings) + ".";
}

void writeRunSummary(const RunCounts& counts) {
    console().breakLine(summaryWrittenLine(counts));
    // The second line of the same message: not itself counted among the warnings.
    console().line(summaryWarningsLine(counts));
}

} // namespace vk
