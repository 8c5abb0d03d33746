#include "driver/results.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "driver/floodmaps.h"
#include "driver/layers.h"
#include "files/console.h"
#include "files/units.h"
#include "text/fixedpoint.h"
#include "text/strings.h"

namespace vk {

namespace {

enum ResultsLayer : std::size_t { kWaterLines, kBankPoints, kProfileLimits, kStorageAreas };

constexpr FieldLayout kWaterLineFields[] = {
    text("Stream_ID", 100), text("Reach_ID", 100), text("Station", 100), text("Profile", 100),
    text("Extents", 8),     real("Top_Width", 12, 3),
    real("WS_Elev", 12, 4),
};

constexpr FieldLayout kBankPointFields[] = {
    text("Stream_ID", 100), text("Reach_ID", 100), text("Station", 100), text("Side", 5),
    real("Fraction", 12, 6),
    real("Elevation", 10, 3),
};

constexpr FieldLayout kProfileLimitFields[] = {text("Profile", 100)};

// One feature per storage area and profile, as the water-surface lines are.
constexpr FieldLayout kStorageAreaFields[] = {text("Name", 100), text("Profile", 100),
                                              real("WS_Elev", 12, 4)};

// The water-surface table as a layer of a GeoPackage: the .csv table's columns, typed.
constexpr FieldLayout kWaterSurfaceFields[] = {
    text("Stream_ID", 100), text("Reach_ID", 100),  text("Station", 100),
    text("Node", 100),      text("Profile", 100),   real("WS_Elev", 12, 4),
    text("Extents", 8),     real("XL", 16, 3),      real("YL", 16, 3),
    real("XR", 16, 3),      real("YR", 16, 3),      real("Top_Width", 12, 3),
    real("Bank_Left", 12, 6), real("Bank_Left_Station", 12, 3),
    real("Bank_Right", 12, 6), real("Bank_Right_Station", 12, 3),
};

// A number that may be missing: NaN is what the export does not give.
GisValue numberValue(double value) {
    return std::isfinite(value) ? realValue(value) : missingValue();
}

// An extent farther from its cut line than this part of the line's length is warned of.
constexpr double kFarExtent = 0.01;

// The plane distance (std::hypot guards against overflow that map coordinates never reach, at
// several times the cost).
double planeDistance(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

void chainageOf(std::span<const double> x, std::span<const double> y, std::vector<double>& out) {
    out.assign(x.size(), 0.0);
    for (std::size_t i = 1; i < x.size(); ++i)
        out[i] = out[i - 1] + planeDistance(x[i] - x[i - 1], y[i] - y[i - 1]);
}

double length(std::span<const double> x, std::span<const double> y) {
    double total = 0;
    for (std::size_t i = 1; i < x.size(); ++i) total += planeDistance(x[i] - x[i - 1], y[i] - y[i - 1]);
    return total;
}

// The shortest text that reads back as the same number: a number of the export as it is written.
void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) return; // as the export does not give it
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// A number the run computed (a top width, a station, a computed extent), to the millimetre or
// thousandth of a foot that the export's own numbers hold at most.
void appendComputed(std::string& out, double value) {
    if (std::isfinite(value)) appendFixed(out, value, 0, 3);
}

// A computed number as the table writes it, for the GeoPackage's REAL column.
double computedValue(double value) {
    if (!std::isfinite(value)) return value;
    std::string text;
    appendComputed(text, value);
    double rounded = value;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return rounded;
}

void appendQuoted(std::string& out, std::string_view text) {
    out.append("\"").append(DOUBLEQUOTE(text)).append("\"");
}

// Twice the signed area of the triangle a, b, c: positive when c lies left of a->b.
double turn(double ax, double ay, double bx, double by, double cx, double cy) {
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

// Whether the segments p1-p2 and q1-q2 meet (touching counts).
bool segmentsMeet(double p1x, double p1y, double p2x, double p2y, double q1x, double q1y,
                  double q2x, double q2y) {
    const double d1 = turn(q1x, q1y, q2x, q2y, p1x, p1y), d2 = turn(q1x, q1y, q2x, q2y, p2x, p2y);
    const double d3 = turn(p1x, p1y, p2x, p2y, q1x, q1y), d4 = turn(p1x, p1y, p2x, p2y, q2x, q2y);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    // On the other segment's line: within its box.
    auto within = [](double ax, double ay, double bx, double by, double cx, double cy) {
        return std::min(ax, bx) <= cx && cx <= std::max(ax, bx) && std::min(ay, by) <= cy &&
               cy <= std::max(ay, by);
    };
    return (d1 == 0 && within(q1x, q1y, q2x, q2y, p1x, p1y)) ||
           (d2 == 0 && within(q1x, q1y, q2x, q2y, p2x, p2y)) ||
           (d3 == 0 && within(p1x, p1y, p2x, p2y, q1x, q1y)) ||
           (d4 == 0 && within(p1x, p1y, p2x, p2y, q2x, q2y));
}

} // namespace

bool computeExtent(std::span<const double> x, std::span<const double> y,
                   std::span<const float> z, std::span<const double> chainage, double from,
                   double to, double level, WaterExtent& extent) {
    const std::size_t n = z.size();
    if (n == 0) return false;
    std::size_t low = n;
    for (std::size_t i = 0; i < n; ++i)
        if (chainage[i] >= from && chainage[i] <= to && (low == n || z[i] < z[low])) low = i;
    if (low == n) low = static_cast<std::size_t>(std::min_element(z.begin(), z.end()) - z.begin());
    if (!(z[low] < level)) return false;
    // From point `wet` towards `dry`, the first above the water: where the ground crosses it.
    auto crossing = [&](std::size_t wet, std::size_t dry, double& px, double& py) {
        const double t = (level - z[wet]) / (double{z[dry]} - z[wet]);
        px = x[wet] + t * (x[dry] - x[wet]);
        py = y[wet] + t * (y[dry] - y[wet]);
    };
    std::size_t i = low;
    while (i > 0 && !(z[i - 1] > level)) --i;
    if (i == 0) {
        extent.xl = x[0];
        extent.yl = y[0];
    } else {
        crossing(i, i - 1, extent.xl, extent.yl);
    }
    i = low;
    while (i + 1 < n && !(z[i + 1] > level)) ++i;
    if (i + 1 == n) {
        extent.xr = x[n - 1];
        extent.yr = y[n - 1];
    } else {
        crossing(i, i + 1, extent.xr, extent.yr);
    }
    return true;
}

void pointAlong(std::span<const double> x, std::span<const double> y, double distance,
                double& px, double& py) {
    px = x.empty() ? 0 : x[0];
    py = y.empty() ? 0 : y[0];
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double step = planeDistance(x[i] - x[i - 1], y[i] - y[i - 1]);
        if (distance <= step || i + 1 == x.size()) {
            const double t = step > 0 ? std::clamp(distance / step, 0.0, 1.0) : 0.0;
            px = x[i - 1] + t * (x[i] - x[i - 1]);
            py = y[i - 1] + t * (y[i] - y[i - 1]);
            return;
        }
        distance -= step;
    }
}

PointOnLine nearestOnLine(std::span<const double> x, std::span<const double> y,
                          std::span<const double> chainage, double px, double py) {
    PointOnLine best;
    double squaredBest = INFINITY;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double dx = x[i] - x[i - 1], dy = y[i] - y[i - 1];
        const double squared = dx * dx + dy * dy;
        const double t =
            squared > 0 ? std::clamp(((px - x[i - 1]) * dx + (py - y[i - 1]) * dy) / squared, 0.0, 1.0)
                        : 0.0;
        const double ox = px - x[i - 1] - t * dx, oy = py - y[i - 1] - t * dy;
        const double off = ox * ox + oy * oy; // squared: only compared
        if (off < squaredBest) {
            squaredBest = off;
            best = {x[i - 1] + t * dx, y[i - 1] + t * dy,
                    chainage[i - 1] + t * (chainage[i] - chainage[i - 1]), 0.0};
        }
    }
    if (std::isfinite(squaredBest)) best.offset = std::sqrt(squaredBest);
    return best;
}

double waterLineAlong(std::span<const double> x, std::span<const double> y,
                      std::span<const double> chainage, const WaterExtent& extent,
                      std::vector<double>& lineX, std::vector<double>& lineY, double& offset) {
    lineX.clear();
    lineY.clear();
    const PointOnLine left = nearestOnLine(x, y, chainage, extent.xl, extent.yl);
    const PointOnLine right = nearestOnLine(x, y, chainage, extent.xr, extent.yr);
    if (!std::isfinite(left.offset) || !std::isfinite(right.offset)) {
        offset = 0;
        lineX = {extent.xl, extent.xr};
        lineY = {extent.yl, extent.yr};
        return planeDistance(extent.xr - extent.xl, extent.yr - extent.yl);
    }
    offset = std::max(left.offset, right.offset);
    lineX.push_back(left.x);
    lineY.push_back(left.y);
    const std::size_t n = x.size();
    for (std::size_t j = 0; j < n; ++j) {
        // From the left extent towards the right one, whichever way the line runs.
        const std::size_t i = left.along <= right.along ? j : n - 1 - j;
        if (chainage[i] > std::min(left.along, right.along) &&
            chainage[i] < std::max(left.along, right.along)) {
            lineX.push_back(x[i]);
            lineY.push_back(y[i]);
        }
    }
    lineX.push_back(right.x);
    lineY.push_back(right.y);
    return std::fabs(right.along - left.along);
}

bool ringCrossesItself(std::span<const double> x, std::span<const double> y) {
    // The ring's vertices without repeats of the one before (and of the first at the end).
    std::vector<std::size_t> v;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (v.empty() || x[i] != x[v.back()] || y[i] != y[v.back()]) v.push_back(i);
    while (v.size() > 1 && x[v.back()] == x[v.front()] && y[v.back()] == y[v.front()]) v.pop_back();
    const std::size_t n = v.size();
    if (n < 3) return false;
    // Edge e runs from v[e] to v[(e + 1) % n]; edges in order of their smallest x, each tested
    // against those that begin before it ends.
    auto from = [&](std::size_t e) { return v[e]; };
    auto to = [&](std::size_t e) { return v[(e + 1) % n]; };
    std::vector<std::size_t> edges(n);
    for (std::size_t e = 0; e < n; ++e) edges[e] = e;
    auto minX = [&](std::size_t e) { return std::min(x[from(e)], x[to(e)]); };
    std::sort(edges.begin(), edges.end(), [&](std::size_t a, std::size_t b) { return minX(a) < minX(b); });
    for (std::size_t a = 0; a < n; ++a) {
        const std::size_t e = edges[a];
        const double maxX = std::max(x[from(e)], x[to(e)]);
        for (std::size_t b = a + 1; b < n && minX(edges[b]) <= maxX; ++b) {
            const std::size_t f = edges[b];
            if ((e + 1) % n == f || (f + 1) % n == e) continue; // neighbours share a vertex
            if (segmentsMeet(x[from(e)], y[from(e)], x[to(e)], y[to(e)], x[from(f)], y[from(f)],
                             x[to(f)], y[to(f)]))
                return true;
        }
    }
    return false;
}

ResultsOutput::ResultsOutput(RunContext& run, const RunSettings& settings)
    : run_(run), settings_(settings), mode_(settings.results) {
    counts_.results = true;
    // Its features have at most a few hundred vertices: the arrays grow to what they need.
    o_.X.assign(16, 0.0);
    o_.Y.assign(16, 0.0);
    o_.X.shrink_to_fit();
    o_.Y.shrink_to_fit();
    row_.X.clear();
    row_.Y.clear();
    row_.X.shrink_to_fit();
    row_.Y.shrink_to_fit();
}

std::array<std::string, 4> ResultsOutput::layerNames(const OutputNames& output,
                                                     const OutputFormat& format) {
    const std::string start = output.folder + output.base;
    const std::string_view ext = layerExtension(format);
    std::array<std::string, 4> names = {start + "_ws_lines", start + "_bank_pts",
                                        start + "_profile_limits", start + "_storage_areas"};
    for (std::string& name : names) name.append(ext);
    return names;
}

std::string ResultsOutput::tableName(const OutputNames& output) {
    return output.folder + output.base + "_water_surface.csv";
}

std::string ResultsOutput::tableLayerName(const OutputNames& output, const OutputFormat& format) {
    return output.folder + output.base + "_water_surface" + std::string(layerExtension(format));
}

void ResultsOutput::header(const SdfHeader& header) {
    profiles_ = header.profiles;
    if (floodMaps_) floodMaps_->profiles(header.profiles);
}

void ResultsOutput::open(GisDataset& dataset) {
    if (mode_ != ResultsMode::Written) return;  // shown in the report only
    const OutputFormat& format = settings_.format();
    const auto names = layerNames(settings_.output, format);
    layers_[kWaterLines] = createLayer(dataset, names[kWaterLines], "L", kWaterLineFields);
    layers_[kBankPoints] = createLayer(dataset, names[kBankPoints], "P", kBankPointFields);
    layers_[kProfileLimits] = createLayer(dataset, names[kProfileLimits], "R", kProfileLimitFields);
    layers_[kStorageAreas] = createLayer(dataset, names[kStorageAreas], "R", kStorageAreaFields);
    tableLayer_ = createTable(dataset, tableLayerName(settings_.output, format), kWaterSurfaceFields);

    if (!dataset.tablesAsFiles()) return;
    OPENER(run_, table_, "O ", tableName(settings_.output));
    unitOutput(run_.units, table_)
        .putLine(R"("Stream","Reach","Station","Node","Profile","WS_Elev","Extents",)"
                 R"("XL","YL","XR","YR","Top_Width","Bank_Left","Bank_Left_Station",)"
                 R"("Bank_Right","Bank_Right_Station")");
}

void ResultsOutput::section(const SdfIds& ids, const SdfSection& s, ConversionReport* report) {
    const std::size_t levels = s.waterElevation.size();
    const std::size_t given = s.hasExtents ? static_cast<std::size_t>(s.extentCount) : 0;
    // A row for each profile the export gives a value of, and none for the others.
    const std::size_t rows = std::max(levels, given);
    const bool anyResult = rows > 0;
    // A section without results costs nothing (its chainage is as long as its surface line).
    if (!anyResult && !s.hasBanks) {
        ++counts_.sectionsWithoutWater;
        return;
    }

    // Where the extents are to be computed: the surface line's chainage and the bank stations.
    const std::size_t points = s.hasSurfaceLine ? static_cast<std::size_t>(s.surfaceCount) : 0;
    const std::span<const double> sx(s.surfaceX.data(), points), sy(s.surfaceY.data(), points);
    const std::span<const float> sz(s.surfaceZ.data(), points);
    chainageOf(sx, sy, chainage_);
    const std::size_t cut = s.hasCutLine ? static_cast<std::size_t>(s.cutCount) : 0;
    const std::span<const double> cx(s.cutX.data(), cut), cy(s.cutY.data(), cut);
    chainageOf(cx, cy, cutChainage_);
    const double fullLength = cut >= 2 ? cutChainage_.back() : (points > 0 ? chainage_.back() : 0.0);
    double from = -1, to = -1; // no bank stations: the whole section
    if (s.hasBanks) {
        from = s.bankLeft * fullLength;
        to = s.bankRight * fullLength;
    }
    // The water surface lies on the cut line; without one, on the surface line.
    const bool onCutLine = cut >= 2;
    const std::span<const double> px = onCutLine ? cx : sx, py = onCutLine ? cy : sy;
    const std::span<const double> pathChainage(onCutLine ? cutChainage_.data() : chainage_.data(),
                                               px.size());

    levels_.clear();
    extents_.clear();
    distances_.clear();
    banks_.clear();
    if (s.hasBanks && (points > 0 || cut >= 2)) banks_ = {from, to};

    std::int64_t lines = 0;
    for (std::size_t k = 0; k < rows; ++k) {
        WaterExtent extent;
        Row row{k};
        if (s.hasBanks && fullLength > 0) {
            row.bankLeft = from;
            row.bankRight = to;
        }
        if (k < given && std::isfinite(s.extentXL[k]) && std::isfinite(s.extentYL[k]) &&
            std::isfinite(s.extentXR[k]) && std::isfinite(s.extentYR[k])) {
            extent = {s.extentXL[k], s.extentYL[k], s.extentXR[k], s.extentYR[k]};
            row.extent = &extent;
        } else if (k < levels && points > 0 &&
                   computeExtent(sx, sy, sz, chainage_, from < 0 ? 0 : from,
                                 to < 0 ? chainage_.back() : to, s.waterElevation[k], extent)) {
            row.extent = &extent;
            row.computed = true;
        }
        if (row.extent) {
            double offset = 0;
            row.width = waterLineAlong(px, py, pathChainage, extent, lineX_, lineY_, offset);
            if (onCutLine && offset > kFarExtent * fullLength) farExtentWarning(ids, s, k);
            const std::size_t n = lineX_.size();
            o_.kind = GisKind::Pline;
            o_.Z.clear();
            o_.reserveVertices(n);
            o_.nr = 1;
            o_.n = static_cast<int>(n);
            std::copy(lineX_.begin(), lineX_.end(), o_.X.begin());
            std::copy(lineY_.begin(), lineY_.end(), o_.Y.begin());
            const std::string_view profile =
                k < profiles_.size() ? std::string_view(profiles_[k]) : std::string_view();
            o_.setValues({textValue(ids.streamId), textValue(ids.reachId), textValue(s.station),
                          textValue(profile), textValue(row.computed ? "computed" : "given"),
                          numberValue(row.width)});
            o_.values.push_back(k < levels ? realValue(s.waterElevation[k]) : missingValue());
            if (layers_[kWaterLines]) {
                layers_[kWaterLines]->writeObject(o_);
                layers_[kWaterLines]->writeRecord(o_);
            }
            ++lines;
        }
        if (floodMaps_ && k < levels) {
            if (floodMaps_->usesCutLines())
                floodMaps_->waterLine(ids, k, s.waterElevation[k], px, py);
            else if (row.extent)
                floodMaps_->waterLine(ids, k, s.waterElevation[k], lineX_, lineY_);
        }
        writeRow(ids, s, row);
        const bool found = row.extent != nullptr;
        levels_.push_back(k < levels ? s.waterElevation[k] : NAN);
        for (const double v : {extent.xl, extent.yl, extent.xr, extent.yr})
            extents_.push_back(found ? v : NAN);
        const bool along = found && points > 0;
        distances_.push_back(along ? nearestOnLine(sx, sy, chainage_, extent.xl, extent.yl).along : NAN);
        distances_.push_back(along ? nearestOnLine(sx, sy, chainage_, extent.xr, extent.yr).along : NAN);
    }
    if (report && anyResult) report->sectionResults(levels_, extents_, distances_, banks_);
    counts_.waterLines += lines;
    if (lines == 0) ++counts_.sectionsWithoutWater;

    if (s.hasBanks && cut >= 2 && layers_[kBankPoints]) {
        writeBankPoint(ids, s, true);
        writeBankPoint(ids, s, false);
    }
}

void ResultsOutput::farExtentWarning(const SdfIds& ids, const SdfSection& s, std::size_t k) {
    if (mode_ != ResultsMode::Written) return; // the report alone says nothing of the results' faults
    line_.assign("WARNING - Water-surface extent farther from the cut line than 1% of its "
                 "length: stream ");
    line_.append(TRIMF(ids.streamId)).append(", reach ").append(TRIMF(ids.reachId));
    line_.append(", station ").append(TRIMF(s.station)).append(", profile ");
    line_.append(k < profiles_.size() ? profiles_[k] : AINTEGER(static_cast<std::int64_t>(k + 1)));
    line_.append(".");
    run_.console.breakLine(line_);
}

void ResultsOutput::writeBankPoint(const SdfIds& ids, const SdfSection& s, bool left) {
    const auto cut = static_cast<std::size_t>(s.cutCount);
    const std::span<const double> cx(s.cutX.data(), cut), cy(s.cutY.data(), cut);
    const double fraction = left ? s.bankLeft : s.bankRight;
    const double at = fraction * length(cx, cy);
    o_.kind = GisKind::Point;
    o_.Z.clear();
    o_.reserveVertices(1);
    o_.nr = 1;
    o_.n = 1;
    pointAlong(cx, cy, at, o_.X[0], o_.Y[0]);
    // A cut line too long for a double has no point at a fraction of its length.
    if (!std::isfinite(o_.X[0]) || !std::isfinite(o_.Y[0])) return;
    o_.setValues({textValue(ids.streamId), textValue(ids.reachId), textValue(s.station),
                  textValue(left ? "left" : "right"), realValue(fraction)});
    // The ground there, on the surface line at the same chainage.
    const std::size_t points = s.hasSurfaceLine ? static_cast<std::size_t>(s.surfaceCount) : 0;
    o_.values.push_back(missingValue());
    if (points > 0) {
        const auto next = std::lower_bound(chainage_.begin(), chainage_.end(), at);
        const std::size_t j = static_cast<std::size_t>(next - chainage_.begin());
        double z = s.surfaceZ[std::min(j, points - 1)];
        if (j > 0 && j < points && chainage_[j] > chainage_[j - 1]) {
            const double t = (at - chainage_[j - 1]) / (chainage_[j] - chainage_[j - 1]);
            z = s.surfaceZ[j - 1] + t * (double{s.surfaceZ[j]} - s.surfaceZ[j - 1]);
        }
        o_.values.back() = realValue(z);
    }
    layers_[kBankPoints]->writeObject(o_);
    layers_[kBankPoints]->writeRecord(o_);
    ++counts_.bankPoints;
}

void ResultsOutput::writeRow(const SdfIds& ids, const SdfSection& s, const Row& row) {
    if (table_ == 0 && !tableLayer_) return;
    const std::size_t k = row.k;
    const WaterExtent* e = row.extent;
    const std::string_view profile = k < profiles_.size() ? std::string_view(profiles_[k]) : "";
    const double level = k < s.waterElevation.size() ? s.waterElevation[k] : NAN;
    const std::string_view extents = e ? (row.computed ? "computed" : "given") : "";
    const double left = s.hasBanks ? s.bankLeft : NAN, right = s.hasBanks ? s.bankRight : NAN;
    std::string& line = line_;
    line.clear();
    appendQuoted(line, TRIMF(ids.streamId));
    line += ',';
    appendQuoted(line, TRIMF(ids.reachId));
    line += ',';
    appendQuoted(line, TRIMF(s.station));
    line += ',';
    appendQuoted(line, s.nodeName);
    line += ',';
    appendQuoted(line, profile);
    line += ',';
    appendNumber(line, level);
    line += ',';
    appendQuoted(line, extents);
    for (const double value : {e ? e->xl : NAN, e ? e->yl : NAN, e ? e->xr : NAN, e ? e->yr : NAN}) {
        line += ',';
        (row.computed ? appendComputed : appendNumber)(line, value);
    }
    line += ',';
    appendComputed(line, row.width);
    for (const auto& [fraction, station] : {std::pair{left, row.bankLeft}, {right, row.bankRight}}) {
        line += ',';
        appendNumber(line, fraction);
        line += ',';
        appendComputed(line, station);
    }
    if (table_ != 0) unitOutput(run_.units, table_).putLine(line);
    ++counts_.waterRows;

    if (!tableLayer_) return;
    row_.kind = GisKind::None;
    row_.setValues({textValue(ids.streamId), textValue(ids.reachId), textValue(s.station),
                    s.nodeName.empty() ? missingValue() : textValue(s.nodeName),
                    textValue(profile), numberValue(level),
                    e ? textValue(extents) : missingValue()});
    for (const double value : {e ? e->xl : NAN, e ? e->yl : NAN, e ? e->xr : NAN, e ? e->yr : NAN})
        row_.values.push_back(numberValue(row.computed ? computedValue(value) : value));
    for (const double value : {computedValue(row.width), left, computedValue(row.bankLeft), right,
                               computedValue(row.bankRight)})
        row_.values.push_back(numberValue(value));
    tableLayer_->writeRecord(row_);
}

void ResultsOutput::region(const SdfRegion& region) {
    if (mode_ != ResultsMode::Written) return;
    const bool storage = region.kind == SdfRegion::Kind::StorageArea;
    // Written as the export gives it; a ring that crosses itself is said to.
    if (ringCrossesItself(region.x, region.y)) {
        line_.assign(storage ? "WARNING - Storage area " : "WARNING - Profile limits of ");
        line_.append(region.name).append(" cross themselves; written as given. Line number: ");
        line_.append(AINTEGER(region.line));
        run_.console.breakLine(line_);
    }
    // Closed, and clockwise as a Shapefile's outer ring is (MIF takes either way round).
    std::size_t n = region.x.size();
    if (region.x.front() == region.x.back() && region.y.front() == region.y.back()) --n;
    const std::size_t vertices = n + 1;
    double area = 0; // twice the signed area: positive anticlockwise
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        area += region.x[i] * region.y[j] - region.x[j] * region.y[i];
    }
    o_.kind = GisKind::Region;
    o_.reserveVertices(vertices);
    o_.reserveParts(1);
    o_.nr = 1;
    o_.ir[0] = 1;
    o_.n = static_cast<int>(vertices);
    // The third value of each row, the water elevation there, as the vertices' Z.
    const bool heights = region.z.size() == region.x.size();
    o_.Z.assign(heights ? vertices : 0, 0.0);
    for (std::size_t i = 0; i < vertices; ++i) {
        const std::size_t from = area > 0 ? (n - i % n) % n : i % n;
        o_.X[i] = region.x[from];
        o_.Y[i] = region.y[from];
        if (heights) o_.Z[i] = region.z[from];
    }
    if (!storage) {
        o_.setValues({textValue(region.name)});
        layers_[kProfileLimits]->writeObject(o_);
        layers_[kProfileLimits]->writeRecord(o_);
        ++counts_.profileLimits;
        return;
    }
    // One feature per profile the export gives a water elevation of; an area without any, one
    // feature without.
    const std::size_t features = std::max<std::size_t>(region.waterElevation.size(), 1);
    for (std::size_t k = 0; k < features; ++k) {
        const bool level = k < region.waterElevation.size();
        o_.setValues({textValue(region.name),
                      textValue(level && k < profiles_.size() ? std::string_view(profiles_[k]) : ""),
                      level ? realValue(region.waterElevation[k]) : missingValue()});
        layers_[kStorageAreas]->writeObject(o_);
        layers_[kStorageAreas]->writeRecord(o_);
        ++counts_.storageAreas;
    }
}

void ResultsOutput::close() {
    for (std::unique_ptr<GisLayer>& layer : layers_)
        closeLayer(layer);
    closeLayer(tableLayer_);
    if (table_ > 0) CLOSER(run_, table_);
}

void ResultsOutput::addCounts(RunCounts& counts) const {
    if (mode_ != ResultsMode::Written) return;
    counts.results = true;
    counts.waterLines = counts_.waterLines;
    counts.profileLimits = counts_.profileLimits;
    counts.bankPoints = counts_.bankPoints;
    counts.storageAreas = counts_.storageAreas;
    counts.waterRows = counts_.waterRows;
    counts.sectionsWithoutWater = counts_.sectionsWithoutWater;
}

} // namespace vk
