#include "driver/results.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "driver/layers.h"
#include "files/units.h"
#include "gis/gis.h"
#include "text/strings.h"

namespace vk {

namespace {

enum ResultsLayer : std::size_t { kWaterLines, kBankPoints, kFloodBoundaries, kStorageAreas };

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

// A number the export does not give: a blank field in a .dbf (read as null); a MIF table,
// having no null, holds an empty text.
constexpr GisValue kNoNumber = {GisValue::Type::Text, "", 0.0, 0};

constexpr FieldLayout kFloodBoundaryFields[] = {text("Profile", 100)};

// A storage area's name, then a water elevation per profile: WS_1, WS_2, ... in profile order
// (a field name holds too few characters for the profiles' own names).
constexpr std::size_t kMaxProfileFields = GisSchema::kMaxFields - 1;

// The plane distance (std::hypot guards against overflow that map coordinates never reach, at
// several times the cost).
double planeDistance(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

double length(std::span<const double> x, std::span<const double> y) {
    double total = 0;
    for (std::size_t i = 1; i < x.size(); ++i) total += planeDistance(x[i] - x[i - 1], y[i] - y[i - 1]);
    return total;
}

// The shortest text that reads back as the same number.
void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) return; // as the export does not give it
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// The distance along a polyline (its chainage given) of the point on it nearest to (px, py).
double distanceAlong(std::span<const double> x, std::span<const double> y,
                     std::span<const double> chainage, double px, double py) {
    double best = INFINITY, at = NAN;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double dx = x[i] - x[i - 1], dy = y[i] - y[i - 1];
        const double squared = dx * dx + dy * dy;
        const double t =
            squared > 0 ? std::clamp(((px - x[i - 1]) * dx + (py - y[i - 1]) * dy) / squared, 0.0, 1.0)
                        : 0.0;
        const double ox = px - x[i - 1] - t * dx, oy = py - y[i - 1] - t * dy;
        const double off = ox * ox + oy * oy; // squared: only compared
        if (off < best) {
            best = off;
            at = chainage[i - 1] + t * (chainage[i] - chainage[i - 1]);
        }
    }
    return at;
}

void appendQuoted(std::string& out, std::string_view text) {
    out.append("\"").append(DOUBLEQUOTE(text)).append("\"");
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

ResultsOutput::ResultsOutput(const RunSettings& settings) : settings_(settings) {
    counts_.results = true;
    // Its features have at most a few hundred vertices: the arrays grow to what they need.
    o_.X.assign(16, 0.0);
    o_.Y.assign(16, 0.0);
    o_.X.shrink_to_fit();
    o_.Y.shrink_to_fit();
}

std::array<std::string, 4> ResultsOutput::layerNames(const OutputNames& output,
                                                     const OutputFormat& format) {
    const std::string start = output.folder + output.base;
    const std::string_view ext = layerExtension(format);
    std::array<std::string, 4> names = {start + "_ws_lines", start + "_bank_pts",
                                        start + "_flood_bounds", start + "_storage_areas"};
    for (std::string& name : names) name.append(ext);
    return names;
}

std::string ResultsOutput::tableName(const OutputNames& output) {
    return output.folder + output.base + "_water_surface.csv";
}

void ResultsOutput::header(const SdfHeader& header) { profiles_ = header.profiles; }

void ResultsOutput::open() {
    if (!settings_.results) return;  // shown in the report only
    const auto names = layerNames(settings_.output, settings_.format());
    layers_[kWaterLines] = createLayer(names[kWaterLines], "L", kWaterLineFields);
    layers_[kBankPoints] = createLayer(names[kBankPoints], "P", kBankPointFields);
    layers_[kFloodBoundaries] = createLayer(names[kFloodBoundaries], "R", kFloodBoundaryFields);

    std::vector<FieldLayout> areaFields = {text("Name", 100)};
    std::vector<std::string> fieldNames;
    const std::size_t profiles = std::min(profiles_.size(), kMaxProfileFields);
    for (std::size_t k = 0; k < profiles; ++k)
        fieldNames.push_back("WS_" + AINTEGER(static_cast<std::int64_t>(k + 1)));
    for (const std::string& name : fieldNames) areaFields.push_back(real(name, 12, 4));
    layers_[kStorageAreas] = createLayer(names[kStorageAreas], "R", areaFields);

    OPENER(table_, "O ", tableName(settings_.output), 1);
    unitOutput(table_).putLine(R"("Stream","Reach","Station","Node","Profile","WS_Elev","XL","YL",)"
                               R"("XR","YR","Top_Width","Bank_Left","Bank_Right")");
}

void ResultsOutput::section(const SdfIds& ids, const SdfSection& s, ConversionReport* report) {
    const std::size_t levels = s.waterElevation.size();
    const std::size_t given = s.hasExtents ? static_cast<std::size_t>(s.extentCount) : 0;
    const std::size_t rows = std::max({levels, given, profiles_.size()});
    const bool anyResult = levels > 0 || given > 0;
    // A section without results costs nothing (its chainage is as long as its surface line).
    if (!anyResult && !s.hasBanks) {
        ++counts_.sectionsWithoutWater;
        return;
    }

    // Where the extents are to be computed: the surface line's chainage and the bank stations.
    const std::size_t points = s.hasSurfaceLine ? static_cast<std::size_t>(s.surfaceCount) : 0;
    const std::span<const double> sx(s.surfaceX.data(), points), sy(s.surfaceY.data(), points);
    const std::span<const float> sz(s.surfaceZ.data(), points);
    chainage_.assign(points, 0.0);
    for (std::size_t i = 1; i < points; ++i)
        chainage_[i] = chainage_[i - 1] + planeDistance(sx[i] - sx[i - 1], sy[i] - sy[i - 1]);
    const std::size_t cut = s.hasCutLine ? static_cast<std::size_t>(s.cutCount) : 0;
    const double fullLength = cut >= 2 ? length({s.cutX.data(), cut}, {s.cutY.data(), cut})
                                       : (points > 0 ? chainage_.back() : 0.0);
    double from = -1, to = -1; // no bank stations: the whole section
    if (s.hasBanks) {
        from = s.bankLeft * fullLength;
        to = s.bankRight * fullLength;
    }

    levels_.clear();
    extents_.clear();
    distances_.clear();
    banks_.clear();
    if (s.hasBanks && (points > 0 || cut >= 2)) banks_ = {from, to};

    std::int64_t lines = 0;
    for (std::size_t k = 0; anyResult && k < rows; ++k) {
        WaterExtent extent;
        const WaterExtent* found = nullptr;
        bool computed = false;
        if (k < given) {
            extent = {s.extentXL[k], s.extentYL[k], s.extentXR[k], s.extentYR[k]};
            found = &extent;
        } else if (k < levels && points > 0 &&
                   computeExtent(sx, sy, sz, chainage_, from < 0 ? 0 : from,
                                 to < 0 ? chainage_.back() : to, s.waterElevation[k], extent)) {
            found = &extent;
            computed = true;
        }
        double width = 0;
        if (found) {
            width = planeDistance(extent.xr - extent.xl, extent.yr - extent.yl);
            o_.kind = GisKind::Pline;
            o_.reserveVertices(2);
            o_.nr = 1;
            o_.n = 2;
            o_.X[0] = extent.xl;
            o_.Y[0] = extent.yl;
            o_.X[1] = extent.xr;
            o_.Y[1] = extent.yr;
            const std::string_view profile =
                k < profiles_.size() ? std::string_view(profiles_[k]) : std::string_view();
            o_.setValues({textValue(ids.streamId), textValue(ids.reachId), textValue(s.station),
                          textValue(profile), textValue(computed ? "computed" : "given"),
                          std::isfinite(width) ? realValue(width) : kNoNumber});
            o_.values.push_back(k < levels ? realValue(s.waterElevation[k]) : kNoNumber);
            if (layers_[kWaterLines] > 0) {
                gisWriteObject(layers_[kWaterLines], o_);
                gisWriteRecord(layers_[kWaterLines], o_);
            }
            ++lines;
        }
        writeRow(ids, s, k, found, width);
        levels_.push_back(k < levels ? s.waterElevation[k] : NAN);
        for (const double v : {extent.xl, extent.yl, extent.xr, extent.yr})
            extents_.push_back(found ? v : NAN);
        const bool along = found && points > 0;
        distances_.push_back(along ? distanceAlong(sx, sy, chainage_, extent.xl, extent.yl) : NAN);
        distances_.push_back(along ? distanceAlong(sx, sy, chainage_, extent.xr, extent.yr) : NAN);
    }
    if (report && anyResult) report->sectionResults(levels_, extents_, distances_, banks_);
    counts_.waterLines += lines;
    if (lines == 0) ++counts_.sectionsWithoutWater;

    if (s.hasBanks && cut >= 2 && layers_[kBankPoints] > 0) {
        writeBankPoint(ids, s, true);
        writeBankPoint(ids, s, false);
    }
}

void ResultsOutput::writeBankPoint(const SdfIds& ids, const SdfSection& s, bool left) {
    const auto cut = static_cast<std::size_t>(s.cutCount);
    const std::span<const double> cx(s.cutX.data(), cut), cy(s.cutY.data(), cut);
    const double fraction = left ? s.bankLeft : s.bankRight;
    const double at = fraction * length(cx, cy);
    o_.kind = GisKind::Point;
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
    o_.values.push_back(kNoNumber);
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
    gisWriteObject(layers_[kBankPoints], o_);
    gisWriteRecord(layers_[kBankPoints], o_);
    ++counts_.bankPoints;
}

void ResultsOutput::writeRow(const SdfIds& ids, const SdfSection& s, std::size_t k,
                             const WaterExtent* e, double width) {
    if (table_ == 0) return;
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
    appendQuoted(line, k < profiles_.size() ? std::string_view(profiles_[k]) : "");
    line += ',';
    if (k < s.waterElevation.size()) appendNumber(line, s.waterElevation[k]);
    for (const double value : {e ? e->xl : 0, e ? e->yl : 0, e ? e->xr : 0, e ? e->yr : 0, width}) {
        line += ',';
        if (e) appendNumber(line, value);
    }
    for (const double value : {s.bankLeft, s.bankRight}) {
        line += ',';
        if (s.hasBanks) appendNumber(line, value);
    }
    unitOutput(table_).putLine(line);
    ++counts_.waterRows;
}

void ResultsOutput::region(const SdfRegion& region) {
    if (!settings_.results) return;
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
    for (std::size_t i = 0; i < vertices; ++i) {
        const std::size_t from = area > 0 ? (n - i % n) % n : i % n;
        o_.X[i] = region.x[from];
        o_.Y[i] = region.y[from];
    }
    const bool storage = region.kind == SdfRegion::Kind::StorageArea;
    const int layer = layers_[storage ? kStorageAreas : kFloodBoundaries];
    o_.setValues({textValue(region.name)});
    if (storage) {
        const std::size_t fields = std::min(profiles_.size(), kMaxProfileFields);
        for (std::size_t k = 0; k < fields; ++k)
            o_.values.push_back(k < region.waterElevation.size()
                                    ? realValue(region.waterElevation[k])
                                    : kNoNumber);
        ++counts_.storageAreas;
    } else {
        ++counts_.floodBoundaries;
    }
    gisWriteObject(layer, o_);
    gisWriteRecord(layer, o_);
}

void ResultsOutput::close() {
    for (int& layer : layers_)
        if (layer > 0) gisCloseLayer(layer);
    if (table_ > 0) CLOSER(table_);
}

void ResultsOutput::addCounts(RunCounts& counts) const {
    if (!settings_.results) return;
    counts.results = true;
    counts.waterLines = counts_.waterLines;
    counts.floodBoundaries = counts_.floodBoundaries;
    counts.bankPoints = counts_.bankPoints;
    counts.storageAreas = counts_.storageAreas;
    counts.waterRows = counts_.waterRows;
    counts.sectionsWithoutWater = counts_.sectionsWithoutWater;
}

} // namespace vk
