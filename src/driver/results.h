// The model's results, written with -results: a water-surface line per section and profile, the
// bank points, the profile limits (the limits of mapping of each profile) and storage areas, and
// the water-surface table. A run with -report alone only shows them in its report.
//
//   ResultsOutput results(settings);
//   results.header(header);            // the profiles' names
//   results.open();                    // the four layers and the table
//   results.section(ids, section);     // for each section, after its own layers
//   results.region(region);            // for each profile limit and storage area
//   results.close();
//   results.addCounts(counts);
#pragma once

#include <array>
#include <cmath>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "driver/report.h"
#include "driver/sdf.h"
#include "driver/settings.h"
#include "driver/summary.h"
#include "gis/dataset.h"
#include "gis/object.h"

namespace vk {

class FloodMaps;

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

// The point of a polyline (its chainage given) nearest to a point: where it is, its distance
// along the line and its distance from the point (infinite on a line of fewer than 2 vertices).
struct PointOnLine {
    double x = NAN, y = NAN, along = NAN, offset = INFINITY;
};
PointOnLine nearestOnLine(std::span<const double> x, std::span<const double> y,
                          std::span<const double> chainage, double px, double py);

// A section's water surface along its line (x, y, its chainage given): from the point of the line
// nearest the left extent to the one nearest the right, through the line's vertices between
// them, into lineX/lineY; a line of fewer than 2 vertices gives the straight line between the
// extents. Returns its length (the top width); `offset` is the larger distance of an extent from
// the line.
double waterLineAlong(std::span<const double> x, std::span<const double> y,
                      std::span<const double> chainage, const WaterExtent& extent,
                      std::vector<double>& lineX, std::vector<double>& lineY, double& offset);

// Whether a closed ring (its first vertex not repeated at the end) crosses or touches itself:
// two of its edges that do not follow each other meet. Repeated vertices count as one.
bool ringCrossesItself(std::span<const double> x, std::span<const double> y);

class ResultsOutput {
public:
    // Writes for the run `run`: its table through run's units, its warnings on its console.
    ResultsOutput(RunContext& run, const RunSettings& settings);
    ResultsOutput(const ResultsOutput&) = delete;
    ResultsOutput& operator=(const ResultsOutput&) = delete;

    void header(const SdfHeader& header);
    // Creates the layers and the tables (nothing with the results read for the report alone).
    void open(GisDataset& dataset);
    // With a report, the section's results are shown there too.
    void section(const SdfIds& ids, const SdfSection& section, ConversionReport* report);
    void region(const SdfRegion& region);
    void close();
    void addCounts(RunCounts& counts) const;
    // The flood maps handed each section's water of each profile (none: not made).
    void floodMaps(FloodMaps* maps) { floodMaps_ = maps; }

    // The layers' names, in order of creation: water-surface lines, bank points, profile
    // limits, storage areas; and the table's (.csv; and, in a GeoPackage, its layer's).
    static std::array<std::string, 4> layerNames(const OutputNames& output,
                                                  const OutputFormat& format);
    static std::string tableName(const OutputNames& output);
    static std::string tableLayerName(const OutputNames& output, const OutputFormat& format);

private:
    // A row of the table: what section s gives of profile k, with its extents (null: none) and
    // the top width and the banks' stations (NaN: none).
    struct Row {
        std::size_t k = 0;
        const WaterExtent* extent = nullptr;
        bool computed = false;
        double width = NAN, bankLeft = NAN, bankRight = NAN;
    };
    void writeRow(const SdfIds& ids, const SdfSection& s, const Row& row);
    void writeBankPoint(const SdfIds& ids, const SdfSection& s, bool left);
    void farExtentWarning(const SdfIds& ids, const SdfSection& s, std::size_t k);

    RunContext& run_;
    const RunSettings& settings_;
    FloodMaps* floodMaps_ = nullptr;
    const ResultsMode mode_;  // ForReport: read for the report alone, nothing written
    std::vector<std::string> profiles_;
    std::array<std::unique_ptr<GisLayer>, 4> layers_;
    int table_ = 0;
    std::unique_ptr<GisLayer> tableLayer_; // the table in a dataset that holds the tables
    RunCounts counts_;
    GisObject o_, row_;
    std::vector<double> chainage_;    // the surface line's, reused
    std::vector<double> cutChainage_; // the cut line's, reused
    std::vector<double> lineX_, lineY_;
    // What the report is shown of a section, reused.
    std::vector<double> levels_, extents_, distances_, banks_;
    std::string line_, station_, number_;
};

} // namespace vk
