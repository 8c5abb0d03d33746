// The model's results, written with -results: a water-surface line per section and profile, the
// bank points, the flood boundaries and storage areas, and the water-surface table. A run with
// -report alone only shows them in its report.
//
//   ResultsOutput results(settings);
//   results.header(header);            // the profiles' names
//   results.open();                    // the four layers and the table
//   results.section(ids, section);     // for each section, after its own layers
//   results.region(region);            // for each flood boundary and storage area
//   results.close();
//   results.addCounts(counts);
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "driver/report.h"
#include "driver/sdf.h"
#include "driver/settings.h"
#include "driver/summary.h"
#include "gis/object.h"

namespace vk {

// Where a profile's water surface meets the ground on the left and on the right of a section.
struct WaterExtent {
    double xl = 0, yl = 0, xr = 0, yr = 0;
};

// The extent of water at `level` on a surface line (x, y, z at chainages `chainage`): from the
// lowest ground point between the chainages `from` and `to` (the whole line when none lies
// there) out to the first point above the water on each side, the crossing interpolated; the
// line's end where the water reaches it. False when that lowest point is not below the water.
bool computeExtent(std::span<const double> x, std::span<const double> y,
                   std::span<const float> z, std::span<const double> chainage, double from,
                   double to, double level, WaterExtent& extent);

// The point at `distance` along a polyline (its ends beyond them) and its index of the segment.
void pointAlong(std::span<const double> x, std::span<const double> y, double distance,
                double& px, double& py);

class ResultsOutput {
public:
    explicit ResultsOutput(const RunSettings& settings);
    ResultsOutput(const ResultsOutput&) = delete;
    ResultsOutput& operator=(const ResultsOutput&) = delete;

    void header(const SdfHeader& header);
    void open();
    // With a report, the section's results are shown there too.
    void section(const SdfIds& ids, const SdfSection& section, ConversionReport* report);
    void region(const SdfRegion& region);
    void close();
    void addCounts(RunCounts& counts) const;

    // The layers' names, in order of creation: water-surface lines, bank points, flood
    // boundaries, storage areas; and the table's.
    static std::array<std::string, 4> layerNames(const OutputNames& output,
                                                  const OutputFormat& format);
    static std::string tableName(const OutputNames& output);

private:
    void writeRow(const SdfIds& ids, const SdfSection& s, std::size_t k, const WaterExtent* e,
                  double width);
    void writeBankPoint(const SdfIds& ids, const SdfSection& s, bool left);

    const RunSettings& settings_;
    std::vector<std::string> profiles_;
    std::array<int, 4> layers_{};
    int table_ = 0;
    RunCounts counts_;
    GisObject o_;
    std::vector<double> chainage_; // the surface line's, reused
    // What the report is shown of a section, reused.
    std::vector<double> levels_, extents_, distances_, banks_;
    std::string line_, station_, number_;
};

} // namespace vk
