// Flood maps (-grid, -dem): per profile a water-surface elevation raster between neighbouring
// sections and, over a terrain model, a depth raster and a flooded-area layer. The rasters are
// files of their own beside the layers, not layers of the run's dataset: they are written once
// every section and the profile limits are known.
//
//   FloodMaps maps(run, settings);        // the terrain model opened (an error ends the run)
//   maps.open(dataset);                   // the flooded-area layer, with -dem
//   maps.centreline(ids, line);           // each reach's ends, for the junctions
//   maps.waterLine(ids, k, level, x, y);  // from the results, section by section
//   maps.limits(region);                  // each profile's limits
//   maps.close();                         // the rasters and regions written
#pragma once

#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/sdf.h"
#include "driver/settings.h"
#include "driver/summary.h"
#include "gis/dataset.h"
#include "gis/object.h"
#include "gis/raster.h"

namespace vk {

// A profile's name made fit for a file name as the tables' are: `/ \ < > : " | ? *` and control
// characters as `_`, in UTF-8.
std::string safeProfileName(std::string_view profile);

class FloodMaps {
public:
    FloodMaps(RunContext& run, const RunSettings& settings);
    FloodMaps(const FloodMaps&) = delete;
    FloodMaps& operator=(const FloodMaps&) = delete;
    ~FloodMaps();

    void profiles(const std::vector<std::string>& names);
    void open(GisDataset& dataset);
    void centreline(const SdfIds& ids, const GisObject& line);
    // The water of profile k at a section: its line (the water-surface line, or with -dem the
    // whole cut line), each vertex at `level`.
    void waterLine(const SdfIds& ids, std::size_t k, double level, std::span<const double> x,
                   std::span<const double> y);
    void limits(const SdfRegion& region);
    void close();
    void addCounts(RunCounts& counts) const;
    bool usesCutLines() const { return dem_.has_value(); }

private:
    struct Line {
        double level = 0;
        std::vector<RasterPoint> points;
    };
    struct Reach {
        SdfIds ids;
        std::optional<RasterPoint> first, last;  // the centreline's ends
        std::map<std::size_t, std::vector<Line>> lines;  // per profile, in the export's order
    };
    Reach& reach(const SdfIds& ids);
    void writeProfile(std::size_t k, const std::optional<RasterFrame>& frame);
    void strips(std::size_t k, RasterFile& out);
    void warn(std::size_t k, const std::string& what);

    RunContext& run_;
    const RunSettings& settings_;
    std::string wkt_;
    std::optional<Dem> dem_;
    std::vector<std::string> profiles_;
    std::vector<Reach> reaches_;
    std::map<std::string, std::vector<RasterPolygon>> limits_;  // by profile name
    std::unique_ptr<GisLayer> flooded_;
    double minX_ = INFINITY, minY_ = INFINITY, maxX_ = -INFINITY, maxY_ = -INFINITY;
    std::int64_t rasters_ = 0, cells_ = 0, regions_ = 0;
    std::vector<double> tx_, ty_;
};

}  // namespace vk
