#include "driver/summary.h"

#include "files/console.h"
#include "text/strings.h"

namespace vk {

std::vector<std::string> summaryLines(const RunCounts& counts) {
    std::vector<std::string> lines(1);
    std::string written = "Written: ";
    bool any = false;
    for (const RunCount& count : kRunCounts) {
        if (count.results && !counts.results) continue;
        if (count.rasters && !counts.rasters) continue;
        const std::string number = AINTEGER(counts.*count.value);
        if (!count.key.empty()) {
            lines.push_back(std::string(count.words) + ": " + number + ".");
            continue;
        }
        if (any) written += ", ";
        any = true;
        written.append(count.words).append(" ").append(number);
    }
    lines.front() = written + ".";
    return lines;
}

void writeRunSummary(Console& console, const RunCounts& counts) {
    const std::vector<std::string> lines = summaryLines(counts);
    console.endRepeats(); // a quiet run's warnings counted, before the counts of the run
    console.breakLine(lines.front());
    // The other lines of the same message: not themselves counted among the warnings.
    for (std::size_t i = 1; i < lines.size(); ++i)
        console.line(lines[i]);
}

} // namespace vk
