#include "driver/floodmaps.h"

#include <algorithm>
#include <cmath>

#include "driver/layers.h"
#include "files/console.h"
#include "files/exits.h"
#include "text/encoding.h"

namespace vk {

namespace {

constexpr FieldLayout kFloodedFields[] = {text("Profile", 100), real("Area", 16, 2)};

// Two centreline ends this close (in the data's units) are one junction.
constexpr double kJunctionGap = 1e-6;

}  // namespace

std::string safeProfileName(std::string_view profile) {
    std::string name(profile);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("/\\<>:\"|?*").find(c) != std::string_view::npos)
            c = '_';
    }
    std::string out;
    appendUtf8(out, name);
    return out;
}

FloodMaps::FloodMaps(RunContext& run, const RunSettings& settings)
    : run_(run), settings_(settings) {
    const std::optional<Crs>& system = settings.transform ? settings.targetCrs : settings.crs;
    if (system) wkt_ = system->ogcWkt();
    if (!settings.demFile.empty()) {
        DemResult opened = openDem(settings.demFile, wkt_);
        if (!opened.dem) {
            run_.console.breakLine("ERROR - -dem: " + opened.message);
            EXITS(run_);
        }
        dem_ = std::move(opened.dem);
    }
}

FloodMaps::~FloodMaps() = default;

void FloodMaps::profiles(const std::vector<std::string>& names) { profiles_ = names; }

void FloodMaps::open(GisDataset& dataset) {
    if (!dem_) return;
    flooded_ = createLayer(dataset,
                           settings_.output.folder + settings_.output.base + "_flooded" +
                               std::string(layerExtension(settings_.format())),
                           "R", kFloodedFields);
}

FloodMaps::Reach& FloodMaps::reach(const SdfIds& ids) {
    for (Reach& r : reaches_)
        if (r.ids.streamId == ids.streamId && r.ids.reachId == ids.reachId) return r;
    reaches_.push_back({ids, {}, {}, {}});
    return reaches_.back();
}

void FloodMaps::centreline(const SdfIds& ids, const GisObject& line) {
    if (line.n < 2) return;
    tx_ = {line.X[0], line.X[static_cast<std::size_t>(line.n) - 1]};
    ty_ = {line.Y[0], line.Y[static_cast<std::size_t>(line.n) - 1]};
    if (settings_.transform && !settings_.transform->transform(tx_, ty_)) return;
    Reach& r = reach(ids);
    r.first = RasterPoint{tx_[0], ty_[0]};
    r.last = RasterPoint{tx_[1], ty_[1]};
}

void FloodMaps::waterLine(const SdfIds& ids, std::size_t k, double level,
                          std::span<const double> x, std::span<const double> y) {
    if (x.size() < 2 || !std::isfinite(level)) return;
    tx_.assign(x.begin(), x.end());
    ty_.assign(y.begin(), y.end());
    if (settings_.transform && !settings_.transform->transform(tx_, ty_)) return;
    Line line{level, {}};
    for (std::size_t i = 0; i < tx_.size(); ++i) {
        line.points.push_back({tx_[i], ty_[i]});
        minX_ = std::min(minX_, tx_[i]);
        maxX_ = std::max(maxX_, tx_[i]);
        minY_ = std::min(minY_, ty_[i]);
        maxY_ = std::max(maxY_, ty_[i]);
    }
    reach(ids).lines[k].push_back(std::move(line));
}

void FloodMaps::limits(const SdfRegion& region) {
    if (region.kind != SdfRegion::Kind::ProfileLimits || region.x.size() < 3) return;
    tx_ = region.x;
    ty_ = region.y;
    if (settings_.transform && !settings_.transform->transform(tx_, ty_)) return;
    std::vector<RasterPoint> ring;
    for (std::size_t i = 0; i < tx_.size(); ++i) ring.push_back({tx_[i], ty_[i]});
    limits_[region.name].push_back({std::move(ring)});
}

void FloodMaps::warn(std::size_t k, const std::string& what) {
    const std::string profile = k < profiles_.size() ? profiles_[k] : std::to_string(k + 1);
    run_.console.breakLine("WARNING - Profile " + profile + ": " + what);
}

// The strips of profile k: neighbouring sections of each reach, and the last section of a reach
// with the first of each reach whose centreline begins where its own ends.
void FloodMaps::strips(std::size_t k, RasterFile& out) {
    const std::string name = k < profiles_.size() ? profiles_[k] : std::string();
    const auto found = limits_.find(name);
    const std::span<const RasterPolygon> clip =
        found == limits_.end() ? std::span<const RasterPolygon>() : found->second;
    auto section = [](const Line& l) { return SectionLine{l.points, l.level}; };
    for (const Reach& r : reaches_) {
        const auto lines = r.lines.find(k);
        if (lines == r.lines.end()) continue;
        const std::vector<Line>& l = lines->second;
        for (std::size_t i = 1; i < l.size(); ++i)
            if (!out.addStrip(section(l[i - 1]), section(l[i]), clip)) return;
        if (!r.last) continue;
        for (const Reach& next : reaches_) {
            if (&next == &r || !next.first) continue;
            if (std::hypot(next.first->x - r.last->x, next.first->y - r.last->y) > kJunctionGap)
                continue;
            const auto nextLines = next.lines.find(k);
            if (nextLines == next.lines.end()) continue;
            if (!out.addStrip(section(l.back()), section(nextLines->second.front()), clip)) return;
        }
    }
}

void FloodMaps::writeProfile(std::size_t k, const std::optional<RasterFrame>& frame) {
    const std::string stem = settings_.output.folder + settings_.output.base;
    const std::string profile = safeProfileName(k < profiles_.size() ? profiles_[k] : "");
    if (frame) {
        RasterFile wse(stem + "_wse_" + profile + ".tif", *frame, wkt_);
        strips(k, wse);
        const RasterOutcome done = wse.finish();
        if (done.error == RasterError::None) {
            ++rasters_;
            cells_ += done.wetCells;
        } else {
            warn(k, std::string(rasterErrorName(done.error)) + ", no water-surface raster written (" +
                        done.message + ").");
        }
    }
    if (!dem_) return;
    const std::string depthPath = stem + "_depth_" + profile + ".tif";
    RasterFile depth(depthPath, *dem_, wkt_);
    strips(k, depth);
    const RasterOutcome done = depth.finish();
    if (done.error != RasterError::None) {
        warn(k, std::string(rasterErrorName(done.error)) + ", no depth raster written (" +
                    done.message + ").");
        return;
    }
    ++rasters_;
    cells_ += done.wetCells;
    const FloodResult flood = floodedArea(depthPath);
    if (!flood.region) {
        warn(k, std::string(rasterErrorName(flood.error)) + ", no flooded area (" + flood.message +
                    ").");
        return;
    }
    GisObject o;
    o.kind = GisKind::Region;
    std::size_t vertices = 0, rings = 0;
    for (const RasterPolygon& polygon : flood.region->polygons)
        for (const auto& ring : polygon) vertices += ring.size(), ++rings;
    o.reserveVertices(vertices);
    o.reserveParts(rings);
    o.nr = static_cast<int>(rings);
    std::size_t v = 0, part = 0;
    for (const RasterPolygon& polygon : flood.region->polygons)
        for (const auto& ring : polygon) {
            o.ir[part++] = static_cast<int>(v + 1);
            for (const RasterPoint& p : ring) {
                o.X[v] = p.x;
                o.Y[v] = p.y;
                ++v;
            }
        }
    o.n = static_cast<int>(vertices);
    // The value refers to the name: it must outlive the record's writing.
    const std::string_view name =
        k < profiles_.size() ? std::string_view(profiles_[k]) : std::string_view();
    o.setValues({textValue(name), realValue(flood.region->area)});
    flooded_->writeObject(o);
    flooded_->writeRecord(o);
    ++regions_;
}

void FloodMaps::close() {
    std::size_t profiles = profiles_.size();
    for (const Reach& r : reaches_)
        for (const auto& [k, lines] : r.lines) profiles = std::max(profiles, k + 1);
    std::optional<RasterFrame> frame;
    if (settings_.gridCell && profiles > 0) {
        if (!(minX_ <= maxX_)) {
            run_.console.breakLine("WARNING - -grid: no water-surface line, no raster written.");
        } else {
            const GridResult grid = makeGrid(minX_, minY_, maxX_, maxY_, *settings_.gridCell);
            if (grid.frame)
                frame = grid.frame;
            else
                run_.console.breakLine("WARNING - -grid: " +
                                       std::string(rasterErrorName(grid.error)) + ", " +
                                       grid.message + "; no water-surface raster written.");
        }
    }
    if (frame || dem_)
        for (std::size_t k = 0; k < profiles; ++k) writeProfile(k, frame);
    closeLayer(flooded_);
}

void FloodMaps::addCounts(RunCounts& counts) const {
    counts.rasters = true;
    counts.rasterFiles += rasters_;
    counts.rasterCells += cells_;
    counts.floodedAreas += regions_;
}

}  // namespace vk
