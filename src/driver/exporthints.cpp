#include "driver/exporthints.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "files/linereader.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kLineLength = 1000;

// The line's text after `keyword` (compared without case, after leading blanks), trimmed; none
// when the line does not begin with it.
std::optional<std::string> after(std::string_view line, std::string_view keyword) {
    const std::size_t start = std::min(line.find_first_not_of(" \t"), line.size());
    line.remove_prefix(start);
    if (line.size() < keyword.size() || UPPERCASE(line.substr(0, keyword.size())) != keyword)
        return std::nullopt;
    return TRIMF(trimRight(line.substr(keyword.size())));
}

// The first number of a field ("  582090.19"), or none.
std::optional<double> number(std::string_view field) {
    const std::size_t start = field.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    field.remove_prefix(start);
    double value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

class ExtentOf {
  public:
    void add(double x, double y) {
        if (!extent) extent = Extent{x, y, x, y};
        extent->minX = std::min(extent->minX, x), extent->maxX = std::max(extent->maxX, x);
        extent->minY = std::min(extent->minY, y), extent->maxY = std::max(extent->maxY, y);
    }
    // A row "x, y[, ...]": its first two numbers.
    void row(std::string_view line) {
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos) return;
        const std::optional<double> x = number(line.substr(0, comma));
        const std::optional<double> y = number(line.substr(comma + 1));
        if (x && y) add(*x, *y);
    }
    std::optional<Extent> extent;
};

} // namespace

ExportHints readExportHints(const std::string& path) {
    ExportHints found;
    LineReader in;
    if (!in.open(path)) return found;
    std::string line;
    bool header = false;
    // The header's own extent: XMIN, YMIN, XMAX, YMAX of its SPATIAL EXTENT block.
    std::optional<double> bounds[4];
    static constexpr std::string_view kBounds[] = {"XMIN:", "YMIN:", "XMAX:", "YMAX:"};
    while (in.readLine(line, kLineLength) == LineReader::Status::Line) {
        if (!header) {
            header = after(line, "BEGIN HEADER").has_value();
            continue;
        }
        if (after(line, "END HEADER")) break;
        if (auto value = after(line, "MAP PROJECTION:")) found.hints.projection = *value;
        if (auto value = after(line, "PROJECTION ZONE:")) found.hints.zone = *value;
        if (auto value = after(line, "DATUM:")) found.hints.datum = *value;
        if (auto value = after(line, "UNITS:")) found.hints.units = *value;
        for (int k = 0; k < 4; ++k)
            if (auto value = after(line, kBounds[k])) bounds[k] = number(*value);
    }
    found.named = !found.hints.projection.empty() || !found.hints.zone.empty();
    if (!found.named) return found;
    if (bounds[0] && bounds[1] && bounds[2] && bounds[3]) {
        found.extent = Extent{*bounds[0], *bounds[1], *bounds[2], *bounds[3]};
        return found;
    }
    // The coordinates of the stream network's end points, the centrelines and the cut lines.
    ExtentOf extent;
    bool rows = false;
    while (in.readLine(line, kLineLength) == LineReader::Status::Line) {
        if (auto value = after(line, "ENDPOINT:")) {
            extent.row(*value);
            rows = false;
        } else if (after(line, "CENTERLINE:") || after(line, "CUT LINE:")) {
            rows = true;
        } else if (line.find(':') != std::string::npos || after(line, "END")) {
            rows = false;
        } else if (rows) {
            extent.row(line);
        }
    }
    found.extent = extent.extent;
    return found;
}

} // namespace vk
