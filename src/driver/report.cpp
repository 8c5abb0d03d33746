#include "driver/report.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include "driver/layers.h"
#include "driver/report_page.h"
#include "files/platform.h"
#include "files/units.h"
#include "text/fixedpoint.h"
#include "text/strings.h"
#include "text/webtext.h"

namespace vk {

namespace {

// Records per block of data: the page reads one block at a time.
constexpr int kRecordsPerBlock = 200;
constexpr std::string_view kBlockStart =
    "<script type=\"application/x-ndjson\" class=\"vk-data\">\n";
constexpr std::string_view kBlockEnd = "</script>\n";
// On the map a section's surface line is drawn as it shows when the section fills a screen of
// this many pixels: a point off the line by less than one of them is left out.
constexpr double kScreenPixels = 2000.0;
// A record being composed is handed to the file in pieces of about this size, so that the page
// of a section of millions of points takes no more memory than that of a small one.
constexpr std::size_t kPiece = 64 * 1024;

void appendInt(std::string& out, std::int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// A map coordinate as read: the shortest text that reads back as the same double.
void appendCoordinate(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// A number with the given decimals, as the .csv table writes it, without the zeros at its end.
void appendDecimals(std::string& out, double value, int decimals) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    const std::size_t start = out.size();
    appendFixed(out, value, 0, decimals);
    if (out.find('.', start) == std::string::npos) return;
    while (out.back() == '0')
        out.pop_back();
    if (out.back() == '.') out.pop_back();
}

// Room for one number written by putDecimals: the widest float with 4 decimals and its sign.
constexpr std::size_t kNumberRoom = 48;

// The same for a single-precision value (the form of every profile number), written at `at`;
// returns the end. A profile has two numbers per point, so this avoids the general routine's
// cost: below 10^9 in magnitude the value times 10^decimals (up to 4) is exact in a double and is
// rounded to the nearest integer, a tie to the even one, as the table's fields are.
char* putDecimals(char* at, float value, int decimals) {
    static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
    const double magnitude = std::fabs(static_cast<double>(value));
    if (!(magnitude < 1e9) || decimals < 0 || decimals > 4) {
        std::string slow;
        appendDecimals(slow, static_cast<double>(value), decimals);
        return std::copy(slow.begin(), slow.end(), at);
    }
    const double product = magnitude * kScale[decimals];
    auto scaled = static_cast<std::uint64_t>(product); // below 10^13: exact
    const double rest = product - static_cast<double>(scaled);
    if (rest > 0.5 || (rest == 0.5 && (scaled & 1) != 0)) ++scaled;
    if (scaled != 0 && value < 0) *at++ = '-';
    // The integer part by std::to_chars; the decimals without the zeros at their end.
    static constexpr std::uint64_t kDivisor[] = {1, 10, 100, 1000, 10000};
    const std::uint64_t whole = scaled / kDivisor[decimals];
    std::uint64_t fraction = scaled - whole * kDivisor[decimals];
    at = std::to_chars(at, at + kNumberRoom, whole).ptr;
    if (fraction != 0) {
        int digits = decimals;
        while (fraction % 10 == 0)
            fraction /= 10, --digits;
        *at = '.';
        for (int i = digits; i > 0; --i, fraction /= 10)
            at[i] = static_cast<char>('0' + fraction % 10);
        at += digits + 1;
    }
    return at;
}

// The mark in report/page.js that the expression of the summary's text takes the place of.
constexpr std::string_view kCountsMark =
    "/* the run's counts in words: composed from kRunCounts (summary.h) */";
// The expression is wrapped before a piece that would take its line past this width.
constexpr std::size_t kScriptWidth = 110;

// The words of the run's counts for the script's summary: the counts of what was written (those
// of the results last, as the end record lists them), then each other count with its key, as
// `{written: ["centrelines", ...], other: [["Warnings", "w"]]}`, wrapped as the script's lines are.
std::string composeScript() {
    std::string_view script = kReportScript;
    const std::size_t mark = script.find(kCountsMark);
    if (mark == std::string_view::npos) return std::string(script);
    const std::size_t lineStart = script.rfind('\n', mark) + 1;
    const std::size_t indent = script.find_first_not_of(' ', lineStart) - lineStart + 2;

    std::vector<std::string> pieces;
    const auto quoted = [](std::string_view text) {
        std::string out;
        appendJsonString(out, text);
        return out;
    };
    for (const bool results : {false, true})
        for (const RunCount& count : kRunCounts)
            if (count.key.empty() && count.results == results && !count.rasters)
                pieces.push_back((pieces.empty() ? "{written: [" : "") + quoted(count.words));
    pieces.back() += "], other: [";
    for (const RunCount& count : kRunCounts)
        if (!count.key.empty())
            pieces.push_back("[" + quoted(count.words) + ", " + quoted(count.key) + "]");
    pieces.back() += "]}";

    std::string out(script.substr(0, mark));
    std::size_t column = mark - lineStart;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const bool more = i + 1 < pieces.size() && !pieces[i].ends_with('[');
        const std::string piece = more ? pieces[i] + ',' : pieces[i];
        if (i > 0 && column + piece.size() + 2 > kScriptWidth) {
            out.append("\n").append(indent, ' ');
            column = indent;
        } else if (i > 0 && !pieces[i - 1].ends_with('[')) {
            out += ' ';
            ++column;
        }
        out += piece;
        column += piece.size();
    }
    out += script.substr(mark + kCountsMark.size());
    return out;
}

// The run's options as they take effect, and in words.
std::string describeOptions(const RunSettings& s) {
    std::string options;
    if (s.chosenFormat) options.append("-").append(s.chosenFormat->option);
    if (!s.trimToLevees) options += options.empty() ? "-notrim" : " -notrim";
    options += options.empty() ? "-report" : " -report";
    if (s.results == ResultsMode::Written) options += " -results";
    options.append(": ").append(s.format().name).append(" layers");
    if (!s.chosenFormat) options += " without a projection";
    options +=
        s.trimToLevees ? ", sections trimmed to their levee markers" : ", every surface point kept";
    return options;
}

// The date and time of the run, in UTC (the same wherever the page is read).
std::string runDate() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    std::string text;
    const auto two = [&](long v) {
        if (v < 10) text += '0';
        appendInt(text, v);
    };
    appendInt(text, static_cast<int>(date.year()));
    text += '-';
    two(static_cast<unsigned>(date.month()));
    text += '-';
    two(static_cast<unsigned>(date.day()));
    text += ' ';
    two(time.hours().count());
    text += ':';
    two(time.minutes().count());
    text += " UTC";
    return text;
}

// The input's full name, through the platform layer (UTF-8 on every system; std::filesystem would
// take the name in the ANSI code page on Windows).
std::string absoluteName(const std::string& name) { return sys::absolutePath(name); }

// The page up to its first block of data: the policy that allows nothing but the page's own
// style and script, the header with what is known at the start, and the empty places that the
// script fills.
std::string pageStart(const RunSettings& settings) {
    std::string page;
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    page += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; ";
    page += "script-src 'sha256-" + sha256Base64(reportScript()) + "'; ";
    page += "style-src 'sha256-" + sha256Base64(kReportStyle) + "'; ";
    page += "img-src 'none'; base-uri 'none'; form-action 'none'\">\n";
    page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    page += "<title>Conversion report: ";
    appendHtmlText(page, settings.inputName);
    page += "</title>\n<style>";
    page += kReportStyle;
    page += "</style>\n<script>";
    page += reportScript();
    page +=
        "</script>\n</head>\n<body>\n<header>\n<h1>Conversion report: <span id=\"input\" title=\"";
    appendHtmlAttribute(page, absoluteName(settings.inputName));
    page += "\">";
    appendHtmlText(page, settings.inputName);
    page += "</span></h1>\n<p id=\"run\">Converted ";
    appendHtmlText(page, runDate());
    page += " with options ";
    appendHtmlText(page, describeOptions(settings));
    page += ".</p>\n";
    if (!settings.crsLine.empty() || settings.targetCrs) {
        page += "<p id=\"crs\">";
        appendHtmlText(page, settings.crsLine.empty() ? "Coordinate system: not known"
                                                      : settings.crsLine);
        if (settings.targetCrs) {
            page += "; layers and map in ";
            appendHtmlText(page, settings.targetCrs->label());
            page += " (-t_srs)";
        }
        page += ".</p>\n";
    }
    page += kReportBody;
    return page;
}

} // namespace

const std::string& reportScript() {
    static const std::string script = composeScript();
    return script;
}

std::string reportName(const OutputNames& output) {
    return output.folder + output.base + "_report.html";
}

ConversionReport::ConversionReport(RunContext& run, const RunSettings& settings)
    : run_(run), transform_(settings.transform) {
    OPENER(run_, unit_, "O ", reportName(settings.output));
    text_ = pageStart(settings);
    text_ += kBlockStart;
    put();
    run_.console.watch(this);
    watching_ = true;
}

ConversionReport::~ConversionReport() {
    if (watching_) run_.console.watch(nullptr);
}

std::pair<std::span<const double>, std::span<const double>>
ConversionReport::mapped(std::span<const double> x, std::span<const double> y) {
    if (!transform_) return {x, y};
    mapX_.assign(x.begin(), x.end());
    mapY_.assign(y.begin(), y.end());
    if (!transform_->transform(mapX_, mapY_)) {
        // One by one: those that fail (a missing value among them) are left out of the map.
        for (std::size_t i = 0; i < x.size(); ++i) {
            double px = x[i], py = y[i];
            const bool done = transform_->transform({&px, 1}, {&py, 1});
            mapX_[i] = done ? px : NAN;
            mapY_[i] = done ? py : NAN;
        }
    }
    return {mapX_, mapY_};
}

void ConversionReport::record() {
    if (recordsInBlock_ == kRecordsPerBlock) {
        text_ += kBlockEnd;
        text_ += kBlockStart;
        recordsInBlock_ = 0;
    }
    ++recordsInBlock_;
}

// Nothing is written once the file has been closed (a run that ends closes every file first).
void ConversionReport::put() {
    if (unitInUse(run_.units, unit_)) {
        OutStream& out = unitOutput(run_.units, unit_);
        if (out.isOpen()) out.put(text_);
    }
    text_.clear();
}

void ConversionReport::consoleLine(std::string_view text) {
    if (!isAlertLine(text)) return;
    record();
    // A warning that repeats the one before (every section without a surface line gives one)
    // is written without its text: the page takes that of the one before.
    if (text == lastWarning_) {
        text_ += "{\"k\":\"w\"}\n";
    } else {
        lastWarning_.assign(text);
        text_ += "{\"k\":\"w\",\"t\":";
        appendJsonString(text_, text);
        text_ += "}\n";
    }
    put();
}

void ConversionReport::centreline(const SdfIds& ids, const GisObject& line) {
    record();
    text_ += "{\"k\":\"l\",\"s\":";
    appendJsonString(text_, trimRight(ids.streamId));
    text_ += ",\"r\":";
    appendJsonString(text_, trimRight(ids.reachId));
    text_ += ",\"c\":[";
    const auto count = static_cast<std::size_t>(std::max(line.n, 0));
    const auto [x, y] = mapped({line.X.data(), count}, {line.Y.data(), count});
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text_ += ',';
        appendCoordinate(text_, x[i]);
        text_ += ',';
        appendCoordinate(text_, y[i]);
    }
    text_ += "]}\n";
    put();
}

void ConversionReport::header(const SdfHeader& header, bool results) {
    record();
    text_ += "{\"k\":\"h\",\"u\":";
    appendJsonString(text_, header.units);
    if (results) {
        text_ += ",\"p\":[";
        for (std::size_t k = 0; k < header.profiles.size(); ++k) {
            if (k > 0) text_ += ',';
            appendJsonString(text_, header.profiles[k]);
        }
        text_ += ']';
    }
    text_ += "}\n";
    put();
}

void ConversionReport::sectionResults(std::span<const double> levels,
                                      std::span<const double> extents,
                                      std::span<const double> distances,
                                      std::span<const double> banks) {
    record();
    // A list ends at its last number (one with none is left out), so that the profiles a section
    // gives no value for cost nothing; distances along the profile are written as the table
    // writes them (3 decimals), the rest as read.
    const auto list = [&](std::string_view key, std::span<const double> values, int decimals) {
        const auto last = std::find_if(values.rbegin(), values.rend(),
                                       [](double v) { return std::isfinite(v); });
        if (last == values.rend()) return;
        values = values.first(static_cast<std::size_t>(values.rend() - last));
        text_ += key;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) text_ += ',';
            if (decimals < 0)
                appendCoordinate(text_, values[i]);
            else
                appendDecimals(text_, values[i], decimals);
        }
        text_ += ']';
    };
    text_ += "{\"k\":\"r\"";
    list(",\"we\":[", levels, -1);
    if (transform_) {
        // x, y left and x, y right of each profile, as the map draws them.
        std::vector<double> ex, ey;
        for (std::size_t i = 0; i + 1 < extents.size(); i += 2)
            ex.push_back(extents[i]), ey.push_back(extents[i + 1]);
        const auto [x, y] = mapped(ex, ey);
        std::vector<double> both;
        for (std::size_t i = 0; i < x.size(); ++i)
            both.push_back(x[i]), both.push_back(y[i]);
        list(",\"wx\":[", both, -1);
    } else {
        list(",\"wx\":[", extents, -1);
    }
    list(",\"wd\":[", distances, 3);
    list(",\"bk\":[", banks, 3);
    text_ += "}\n";
    put();
}

void ConversionReport::region(const SdfRegion& region) {
    record();
    text_ += "{\"k\":\"p\",\"a\":";
    text_ += region.kind == SdfRegion::Kind::StorageArea ? '1' : '0';
    text_ += ",\"n\":";
    appendJsonString(text_, region.name);
    text_ += ",\"c\":[";
    const auto [x, y] = mapped(region.x, region.y);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (i > 0) text_ += ',';
        appendCoordinate(text_, x[i]);
        text_ += ',';
        appendCoordinate(text_, y[i]);
    }
    text_ += "],\"we\":[";
    for (std::size_t i = 0; i < region.waterElevation.size(); ++i) {
        if (i > 0) text_ += ',';
        appendCoordinate(text_, region.waterElevation[i]);
    }
    text_ += "]}\n";
    put();
}

void ConversionReport::crossSectionsBegin() {
    record();
    text_ += "{\"k\":\"b\"}\n";
    put();
}

void ConversionReport::processed(const ProcessedSection& result) {
    const SdfSection& s = *result.section;
    record();
    // Sections are numbered by their order: the page counts them. Stream and reach are left out
    // where they are those of the section before.
    text_ += "{\"k\":\"x\"";
    if (sections_++ == 0 || result.streamId != lastStream_) {
        lastStream_.assign(result.streamId);
        text_ += ",\"s\":";
        appendJsonString(text_, result.streamId);
    }
    if (sections_ == 1 || result.reachId != lastReach_) {
        lastReach_.assign(result.reachId);
        text_ += ",\"r\":";
        appendJsonString(text_, result.reachId);
    }
    text_ += ",\"t\":";
    appendJsonString(text_, result.station);
    text_ += ",\"l\":";
    appendInt(text_, s.firstLine);
    if (!result.csvName.empty()) {
        // The table's file as it is on disk: the opener drops the blanks in front of its name.
        const std::string_view name = result.csvFile;
        text_ += ",\"f\":";
        appendJsonString(text_, name.substr(std::min(name.find_first_not_of(' '), name.size())));
    }
    if (result.cutLineWritten) {
        text_ += ",\"c\":[";
        const auto points = static_cast<std::size_t>(s.cutCount);
        const auto [cutX, cutY] = mapped({s.cutX.data(), points}, {s.cutY.data(), points});
        for (std::size_t i = 0; i < points; ++i) {
            if (i > 0) text_ += ',';
            appendCoordinate(text_, cutX[i]);
            text_ += ',';
            appendCoordinate(text_, cutY[i]);
            if (text_.size() >= kPiece) put();
        }
        text_ += ']';
    }
    if (result.points > 0) {
        appendMapLine(result);
        appendProfile(result);
    }
    text_ += "}\n";
    put();
}

// The kept points of the surface line as the map shows them, and the two end points of the whole
// line. Points that would lie within a fraction of a pixel of the line drawn when the section
// fills the screen are left out, and the coordinates are written to that precision.
void ConversionReport::appendMapLine(const ProcessedSection& result) {
    const std::size_t points = result.points;
    const auto [surfaceX, surfaceY] =
        mapped({result.section->surfaceX.data(), points}, {result.section->surfaceY.data(), points});
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    bool finite = true;
    std::size_t firstKept = 0, lastKept = 0, keptCount = 0;
    for (std::size_t i = 0; i < points; ++i) {
        if (result.drop[i]) continue;
        if (keptCount++ == 0) firstKept = i;
        lastKept = i;
        const double x = surfaceX[i], y = surfaceY[i];
        finite = finite && std::isfinite(x) && std::isfinite(y);
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    // The kept points are mostly one run (a section trimmed to its levees, or whole): they are then
    // counted from the first, and listed only otherwise.
    const bool oneRun = keptCount == 0 || lastKept - firstKept + 1 == keptCount;
    kept_.clear();
    if (!oneRun)
        for (std::size_t i = 0; i < points; ++i)
            if (!result.drop[i]) kept_.push_back(static_cast<std::uint32_t>(i));
    const auto keptAt = [&](std::size_t j) -> std::size_t { return oneRun ? firstKept + j : kept_[j]; };

    const double tolerance = std::hypot(maxX - minX, maxY - minY) / kScreenPixels;
    const bool simplify = finite && keptCount > 2 && tolerance > 0 && std::isfinite(tolerance);
    shown_.assign(keptCount, 1);
    int decimals = 0;
    if (simplify) {
        // The points that matter, by repeated division at the point farthest from the chord.
        std::fill(shown_.begin() + 1, shown_.end() - 1, 0);
        spans_.assign(1, {0, keptCount - 1});
        while (!spans_.empty()) {
            const auto [first, last] = spans_.back();
            spans_.pop_back();
            const double x0 = surfaceX[keptAt(first)], y0 = surfaceY[keptAt(first)];
            const double dx = surfaceX[keptAt(last)] - x0, dy = surfaceY[keptAt(last)] - y0;
            const double length = std::hypot(dx, dy);
            double farthest = -1;
            std::size_t at = first;
            for (std::size_t j = first + 1; j < last; ++j) {
                const double px = surfaceX[keptAt(j)] - x0, py = surfaceY[keptAt(j)] - y0;
                const double off =
                    length > 0 ? std::fabs(px * dy - py * dx) / length : std::hypot(px, py);
                if (off > farthest) farthest = off, at = j;
            }
            if (farthest > tolerance) {
                shown_[at] = 1;
                if (at - first > 1) spans_.push_back({first, at});
                if (last - at > 1) spans_.push_back({at, last});
            }
        }
        // Rounding moves a point by at most half a step: half the tolerance at most.
        decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(tolerance))), 0, 12);
    }
    const auto coordinate = [&](double v) {
        if (simplify)
            appendDecimals(text_, v, decimals);
        else
            appendCoordinate(text_, v);
    };
    text_ += ",\"m\":[";
    bool first = true;
    for (std::size_t j = 0; j < keptCount; ++j) {
        if (!shown_[j]) continue;
        if (!first) text_ += ',';
        first = false;
        coordinate(surfaceX[keptAt(j)]);
        text_ += ',';
        coordinate(surfaceY[keptAt(j)]);
        if (text_.size() >= kPiece) put();
    }
    text_ += ']';
    // The ends of the whole line, unless the map's line gives them as they are (the page then
    // takes its first and last points).
    if (!simplify && keptCount > 0 && firstKept == 0 && lastKept == points - 1) return;
    text_ += ",\"e\":[";
    appendCoordinate(text_, surfaceX[0]);
    text_ += ',';
    appendCoordinate(text_, surfaceY[0]);
    text_ += ',';
    appendCoordinate(text_, surfaceX[points - 1]);
    text_ += ',';
    appendCoordinate(text_, surfaceY[points - 1]);
    text_ += ']';
}

// The profile: distance and elevation of every point as the .csv table gives them, where the
// kept points start and end, the runs of equal n, and the levee markers.
void ConversionReport::appendProfile(const ProcessedSection& result) {
    const SdfSection& s = *result.section;
    const std::size_t points = result.points;
    char number[kNumberRoom];
    const auto column = [&](std::string_view key, std::span<const float> values, int decimals) {
        text_ += key;
        for (std::size_t i = 0; i < points; ++i) {
            if (i > 0) text_ += ',';
            text_.append(number, putDecimals(number, values[i], decimals));
            if (text_.size() >= kPiece) put();
        }
    };
    column(",\"d\":[", result.chainage, 3);
    column("],\"z\":[", {s.surfaceZ.data(), points}, 4);
    text_ += ']';
    // Where the points change between kept and dropped, starting from kept (none: all kept).
    bool dropped = false, changes = false;
    for (std::size_t i = 0; i < points; ++i) {
        if ((result.drop[i] != 0) == dropped) continue;
        text_ += changes ? "," : ",\"o\":[";
        changes = true;
        dropped = !dropped;
        appendInt(text_, static_cast<std::int64_t>(i));
        if (text_.size() >= kPiece) put();
    }
    if (changes) text_ += ']';
    if (!result.nAtPoint.empty()) {
        text_ += ",\"n\":[";
        for (std::size_t i = 0; i < points; ++i) {
            if (i > 0 && result.nAtPoint[i] == result.nAtPoint[i - 1]) continue;
            if (i > 0) text_ += ',';
            appendInt(text_, static_cast<std::int64_t>(i));
            text_ += ',';
            text_.append(number, putDecimals(number, result.nAtPoint[i], 4));
            if (text_.size() >= kPiece) put();
        }
        text_ += ']';
    }
    if (result.levees > 0) {
        const auto [leveeX, leveeY] =
            mapped(result.leveeX.first(result.levees), result.leveeY.first(result.levees));
        text_ += ",\"v\":[";
        for (std::size_t k = 0; k < result.levees; ++k) {
            if (k > 0) text_ += ',';
            text_ += '[';
            appendJsonString(text_, k < s.leveeId.size() ? trimRight(s.leveeId[k]) : "");
            text_ += ',';
            text_.append(number, putDecimals(number, result.leveePosition[k], 3));
            text_ += ',';
            text_.append(number, putDecimals(number, s.leveeHeight[k], 3));
            text_ += ',';
            appendCoordinate(text_, leveeX[k]);
            text_ += ',';
            appendCoordinate(text_, leveeY[k]);
            text_ += ']';
        }
        text_ += "],\"u\":[";
        appendInt(text_, result.lowerMarker);
        text_ += ',';
        appendInt(text_, result.upperMarker);
        text_ += ']';
    }
}

void ConversionReport::finish(const RunCounts& counts, std::string_view error) {
    // The counts are complete only once the layers are closed: their messages come first.
    run_.console.watch(nullptr);
    watching_ = false;
    record();
    text_ += "{\"k\":\"e\",\"n\":[";
    for (const bool results : {false, true})
        for (const RunCount& count : kRunCounts) {
            if (!count.key.empty() || count.results != results || (results && !counts.results) ||
                count.rasters)
                continue;
            appendInt(text_, counts.*count.value);
            text_ += ',';
        }
    text_.back() = ']';
    for (const RunCount& count : kRunCounts) {
        if (count.key.empty() || (count.results && !counts.results)) continue;
        text_.append(",\"").append(count.key).append("\":");
        appendInt(text_, counts.*count.value);
    }
    if (!error.empty()) {
        text_ += ",\"x\":";
        appendJsonString(text_, error);
    }
    text_ += "}\n";
    text_ += kBlockEnd;
    text_ += "</body>\n</html>\n";
    put();
    CLOSER(run_, unit_);
}

} // namespace vk
