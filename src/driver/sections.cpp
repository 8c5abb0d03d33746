#include "driver/sections.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/dataset.h"
#include "text/encoding.h"
#include "text/fixedpoint.h"
#include "text/listdirected.h"
#include "text/names.h"
#include "text/strings.h"
#include "driver/runstate.h"
#include "driver/section_work.h"

namespace vk {

namespace {

constexpr std::string_view kCsv = ".csv";
constexpr std::size_t kMaxLeveeId = 50;
constexpr std::size_t kInitialPoints = 100000;

template <typename T> void ensureSize(std::vector<T>& v, std::size_t n) {
    if (v.size() < n) v.resize(std::max(n, kInitialPoints));
}

// A block count, kept within the arrays that hold the block.
template <typename... Vectors> std::size_t usable(int count, const Vectors&... arrays) {
    std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
    ((n = std::min(n, arrays.size())), ...);
    return n;
}

void checkStation(RunContext& run, std::string_view station) {
    float value = 0.0f;
    ListReader reader(station);
    if (reader.read(value) != ReadStatus::Ok) {
        run.console.breakLine("ERROR - converting station to numeric field");
        EXITS(run);
    }
}

void writeObject(GisObject& object, GisLayer& layer) {
    layer.writeObject(object);
    layer.writeRecord(object);
}

void writePoint(GisObject& object, GisLayer& layer, double x, double y) {
    object.kind = GisKind::Point;
    object.n = 1;
    object.X[0] = x;
    object.Y[0] = y;
    writeObject(object, layer);
}

// The IDs of a section as its features carry them, without trailing blanks.
struct SectionIds {
    std::string_view stream, reach, station;
};

// The section's surface line with its markers placed and its points chosen.
class SurfaceSection {
public:
    SurfaceSection(RunState& run, const SdfSection& s, const SectionIds& ids, std::size_t points,
                   SectionWork& w,
                   bool useLevees)
        : run_(run), s_(s), ids_(ids), points_(points), w_(w), useLevees_(useLevees) {}

    void process(const SectionLayers& layers, std::string_view csvFolder, bool csvFile,
                 ProcessedSection& result) {
        measure();
        assignN();
        if (useLevees_) {
            placeLevees();
            dropOutsideLevees();
        }
        claimTableName(csvFolder);
        if (csvFile) writeCsv(csvFolder);
        writeSurfaceLine(*layers[kSurfaceLinesLayer]);
        writeSurfacePoints(*layers[kSurfacePointsLayer]);
        writeEndPoints(*layers[kEndPointsLayer]);
        if (useLevees_ && levees_ > 0) writeLeveePoints(*layers[kLeveePointsLayer]);

        result.csvName = w_.csvName;
        result.csvFile = w_.csvFile;
        result.points = points_;
        result.chainage = {w_.chainage.data(), points_};
        result.drop = {w_.drop.data(), points_};
        if (nPairs_ > 0) result.nAtPoint = {w_.nAtPoint.data(), points_};
        result.levees = levees_;
        result.leveePosition = {w_.leveeScaled.data(), levees_};
        result.leveeX = {w_.leveeX.data(), levees_};
        result.leveeY = {w_.leveeY.data(), levees_};
        result.lowerMarker = lower_;
        result.upperMarker = upper_;
        result.surfaceLineWritten = surfaceLineWritten_;
    }

private:
    void measure() {
        float* d = w_.chainage.data();
        d[0] = 0.0f;
        for (std::size_t i = 1; i < points_; ++i)
            d[i] = d[i - 1] + DISTANCE_8(s_.surfaceX[i], s_.surfaceY[i], s_.surfaceX[i - 1],
                                         s_.surfaceY[i - 1]);
        const float length = d[points_ - 1];
        length_ = length;

        nPairs_ = s_.hasNValues ? usable(s_.nCount, s_.nPosition, s_.nValue) : 0;
        ensureSize(w_.nScaled, nPairs_);
        for (std::size_t j = 0; j < nPairs_; ++j) w_.nScaled[j] = s_.nPosition[j] * length;

        levees_ = useLevees_ ? usable(s_.leveeCount, s_.leveePosition, s_.leveeHeight) : 0;
        ensureSize(w_.leveeScaled, levees_);
        ensureSize(w_.leveeX, levees_);
        ensureSize(w_.leveeY, levees_);
        for (std::size_t k = 0; k < levees_; ++k) w_.leveeScaled[k] = s_.leveePosition[k] * length;
    }

    // A block that gave no pairs counts as no n values. The first pair applies from the start
    // of the line; each point moves on by at most one pair.
    void assignN() {
        const float* d = w_.chainage.data();
        float* n = w_.nAtPoint.data();
        if (nPairs_ == 0) {
            std::fill_n(n, points_, 0.0f);
            return;
        }
        std::size_t j = 0;
        for (std::size_t i = 0; i < points_; ++i) {
            if (j + 1 < nPairs_ && d[i] >= w_.nScaled[j + 1]) ++j;
            n[i] = s_.nValue[j];
        }
    }

    // A marker at (or before) the start lies on the first point; one beyond the end of the line,
    // or whose position is not a finite number, on the last. Any other marker lies on the first
    // segment whose end point i has D(i) >= its position; the chainage never decreases, so that
    // point is found by bisection (many markers on a long line cost no product of the two).
    void placeLevees() {
        const float* d = w_.chainage.data();
        for (std::size_t k = 0; k < levees_; ++k) {
            const float p = w_.leveeScaled[k];
            if (p - 0.0001f <= 0.0f) {
                placeOnPoint(k, 0);
                continue;
            }
            const auto i = static_cast<std::size_t>(
                std::partition_point(d + 1, d + points_, [p](float di) { return di < p; }) - d);
            if (i < points_) {
                const float t = (p - d[i - 1]) / (d[i] - d[i - 1]);
                const double x0 = s_.surfaceX[i - 1], y0 = s_.surfaceY[i - 1];
                const double x = x0 + (s_.surfaceX[i] - x0) * t;
                const double y = y0 + (s_.surfaceY[i] - y0) * t;
                if (std::isfinite(x) && std::isfinite(y)) {
                    w_.leveeX[k] = x;
                    w_.leveeY[k] = y;
                    continue;
                }
            }
            placeOnPoint(k, points_ - 1);
        }
    }

    void placeOnPoint(std::size_t k, std::size_t i) {
        w_.leveeX[k] = s_.surfaceX[i];
        w_.leveeY[k] = s_.surfaceY[i];
    }

    // The first point with the smallest elevation below 999999; the first point when there is
    // none.
    std::size_t lowestPoint() const {
        float lowest = 999999.0f;
        std::size_t at = 0;
        for (std::size_t i = 0; i < points_; ++i) {
            if (s_.surfaceZ[i] < lowest) {
                lowest = s_.surfaceZ[i];
                at = i;
            }
        }
        return at;
    }

    void dropOutside(float from, float to) {
        const float* d = w_.chainage.data();
        for (std::size_t i = 0; i < points_; ++i)
            if (d[i] < from || d[i] > to) w_.drop[i] = 1;
    }

    // A marker is placed on the levee crest, and the crest point must stay in the section on
    // either bank: its chainage and the marker's position (a fraction of L, times L) differ in
    // their last digits only. So the kept range reaches T = 0.0001 x L beyond each marker used.
    void dropOutsideLevees() {
        constexpr float kInfinity = std::numeric_limits<float>::infinity();
        const float* p = w_.leveeScaled.data();
        const float lowest = w_.chainage[lowestPoint()];
        float t = static_cast<float>(0.0001 * static_cast<double>(length_));
        if (!std::isfinite(t)) t = 0.0f; // a line beyond float range: the markers as they are
        if (levees_ == 1) {
            if (lowest > p[0]) {
                dropOutside(p[0] - t, kInfinity);
                lower_ = 0;
            } else {
                dropOutside(-kInfinity, p[0] + t);
                upper_ = 0;
            }
        } else if (levees_ == 2) {
            dropOutside(p[0] - t, p[1] + t);
            lower_ = 0;
            upper_ = 1;
        } else if (levees_ > 2) {
            run_.console.breakLine("WARNING - More than 2 levee markers found.");
            std::size_t upper = 0;
            if (p[0] < lowest) {
                for (std::size_t k = 1; k < levees_ && upper == 0; ++k)
                    if (p[k] >= lowest) upper = k;
            }
            if (upper > 0) {
                dropOutside(p[upper - 1] - t, p[upper] + t);
                lower_ = static_cast<int>(upper) - 1;
                upper_ = static_cast<int>(upper);
            } else {
                // No pair encloses the lowest point: the section is kept whole.
                run_.console.breakLine("ERROR - Determing which two levee markes to use.");
                run_.console.breakLine("ERROR - Determing which two levee markes to use.");
            }
        }
    }

    // A table is never written over one written before in the program run (two sections of
    // the same IDs, or two exports of one model, however their folder is spelled), nor over an
    // input of the run (the export being read, or another named like a table): it takes the next
    // free name, and the Source attribute the same number.
    void claimTableName(std::string_view csvFolder) {
        NameRegistry& written = *run_.tables;
        // The folder as the system resolves it, so that "a/", "./a/" and "/x/a/" are one folder.
        const std::string& resolved = run_.tablesFolder;
        const std::string_view folder = resolved.empty() ? csvFolder : std::string_view(resolved);
        const std::string_view name = w_.csvFile;
        const std::size_t start = std::min(name.find_first_not_of(' '), name.size());
        const std::string_view table = name.substr(start);
        const bool theExport = isTheExport(csvFolder, table);
        const bool anInput = theExport || isAnotherInput(csvFolder, table);
        if (anInput && !written.contains(folder, table)) written.add(folder, table);
        if (const int n = written.freeNumber(folder, table)) {
            const std::string free = numberedName(table, n);
            const std::string taken(table);
            const std::string plain = taken.substr(0, taken.rfind('.'));
            const std::string what = theExport ? plain + " is the export being read"
                                     : anInput ? plain + " is an input of this run"
                                               : taken + " already written in this run";
            run_.console.breakLine("WARNING - Table " + what + "; this section's table is " + free +
                                ".");
            w_.csvFile.replace(start, std::string::npos, free);
            // Numbered as the file is, past the blanks the file's name leaves out, so that a
            // name cut to make room for the number is cut at the same character.
            w_.csvName.replace(start, std::string::npos,
                               numberedName(std::string_view(w_.csvName).substr(start), n));
        }
        written.add(folder, std::string_view(w_.csvFile).substr(start));
    }

    // Whether the table's name is the export's, as Windows compares names, or names its file
    // (nothing to look at for an export not named as a table).
    bool isTheExport(std::string_view csvFolder, std::string_view table) {
        const RunState& run = run_;
        if (run.exportAsTable.empty()) return false;
        std::string path(csvFolder);
        path += table;
        if (foldNameCase(path) == run.exportAsTable) return true;
        sys::FileInfo file;
        return run.exportFile.id != sys::FileId{} && sys::pathInfo(path, file) &&
               file.id == run.exportFile.id;
    }

    // Whether the table would be the file of another input of the run (looked at only when one
    // is named as a table could be).
    bool isAnotherInput(std::string_view csvFolder, std::string_view table) {
        if (!run_.inputsAsTables) return false;
        std::string path(csvFolder);
        path += table;
        return isRunInput(run_.units, path);
    }

    void writeCsv(std::string_view csvFolder) {
        const std::string_view name = w_.csvFile;
        w_.csvPath.assign(csvFolder);
        w_.csvPath.append(name.substr(std::min(name.find_first_not_of(' '), name.size())));

        int unit = 0;
        OPENER(run_.context, unit, "O ", w_.csvPath);
        OutStream& out = unitOutput(run_.units, unit);
        const bool withN = nPairs_ > 0;
        out.putLine(withN ? R"("X","Z","N")" : R"("X","Z")");
        std::string& line = w_.text;
        for (std::size_t i = 0; i < points_; ++i) {
            if (w_.drop[i]) continue;
            line.clear();
            appendFixedWide(line, w_.chainage[i], 10, 3);
            line += ',';
            appendFixedWide(line, s_.surfaceZ[i], 8, 4);
            if (withN) {
                line += ',';
                w_.nInTable.append(line, w_.nAtPoint[i]);
            }
            out.putLine(line);
        }
        // A table that could not be written completely ends the run there.
        CLOSER(run_.context, unit);
    }

    void writeSurfaceLine(GisLayer& layer) {
        o_.kind = GisKind::Pline;
        o_.reserveVertices(points_);
        int kept = 0;
        for (std::size_t i = 0; i < points_; ++i) {
            if (w_.drop[i]) continue;
            o_.X[kept] = s_.surfaceX[i];
            o_.Y[kept] = s_.surfaceY[i];
            ++kept;
        }
        o_.n = kept;

        const GisValue none = textValue("");
        o_.setValues({textValue(w_.csvName), textValue("xz"), textValue(nPairs_ > 0 ? "n" : ""),
                      none, none, none, none, none, none, realValue(0.0), realValue(0.0),
                      realValue(0.0), none});

        surfaceLineWritten_ = kept >= 2;
        if (kept < 2)
            run_.console.breakLine("Error here.");
        else
            writeObject(o_, layer);
    }

    // Every point after the first repeats the section's IDs of the one before.
    void writeSurfacePoints(GisLayer& layer) {
        o_.setValues({textValue(ids_.stream), textValue(ids_.reach), textValue(ids_.station),
                      realValue(0.0), realValue(0.0)});
        for (std::size_t i = 0; i < points_; ++i) {
            if (w_.drop[i]) continue;
            o_.values[3].real = s_.surfaceZ[i];
            o_.values[4].real = w_.nAtPoint[i];
            writePoint(o_, layer, s_.surfaceX[i], s_.surfaceY[i]);
            o_.repeated = 3;
        }
    }

    // The first and the last point of the whole line, whatever was trimmed.
    void writeEndPoints(GisLayer& layer) {
        for (const std::size_t i : {std::size_t{0}, points_ - 1}) {
            o_.setValues(
                {realValue(s_.surfaceZ[i]), realValue(0.0), realValue(0.0), textValue("")});
            writePoint(o_, layer, s_.surfaceX[i], s_.surfaceY[i]);
        }
    }

    void writeLeveePoints(GisLayer& layer) {
        const std::size_t ids = std::min(levees_, s_.leveeId.size());
        for (std::size_t k = 0; k < levees_; ++k) {
            const std::string_view id = k < ids ? cutTo(s_.leveeId[k], kMaxLeveeId) : "";
            o_.setValues({textValue(ids_.stream), textValue(ids_.reach), textValue(ids_.station),
                          realValue(s_.leveeHeight[k]), textValue(id)});
            writePoint(o_, layer, w_.leveeX[k], w_.leveeY[k]);
        }
    }

    RunState& run_;
    const SdfSection& s_;
    const SectionIds& ids_;
    const std::size_t points_;
    SectionWork& w_;
    GisObject& o_ = w_.feature;
    const bool useLevees_;
    std::size_t nPairs_ = 0;
    std::size_t levees_ = 0;
    float length_ = 0.0f;
    int lower_ = -1;  // the markers the points were trimmed to
    int upper_ = -1;
    bool surfaceLineWritten_ = false;
};

bool writeCutLine(Console& console, const SdfSection& s, GisLayer& layer, const SectionIds& ids,
                  GisObject& line) {
    const std::size_t points = usable(s.cutCount, s.cutX, s.cutY);
    if (points < 2) {
        console.breakLine("Warning - Cut line with fewer than 2 points not written.");
        return false;
    }
    line.kind = GisKind::Pline;
    line.reserveVertices(points);
    std::copy_n(s.cutX.begin(), points, line.X.begin());
    std::copy_n(s.cutY.begin(), points, line.Y.begin());
    line.n = static_cast<int>(points);
    line.setValues({textValue(ids.stream), textValue(ids.reach), textValue(ids.station)});
    writeObject(line, layer);
    return true;
}

}  // namespace

float DISTANCE_8(double x1, double y1, double x2, double y2) {
    constexpr float kTiny = 1.0e-6f;
    const float dx = static_cast<float>(std::fabs(x2 - x1));
    const float dy = static_cast<float>(std::fabs(y2 - y1));
    if (dx < kTiny && dy < kTiny) return 0.0f;
    const float squares = dx * dx + dy * dy;
    return std::sqrt(squares);
}

namespace {

bool unfitForFileName(char c) {
    constexpr std::string_view kReserved = "<>:\"/\\|?*";
    const auto byte = static_cast<unsigned char>(c);
    // A NUL byte too: it would end the name for the system, which then opens another file or none.
    return byte <= 31 || kReserved.find(c) != std::string_view::npos;
}

}  // namespace

// The length of the Windows device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any case)
// that a name begins with, alone or followed by "." (blanks before either aside); 0 when it begins
// with none. Windows sends
// such a name to the device, whatever its extension.
std::size_t deviceNameLength(std::string_view name) {
    // Blanks after the word count for nothing ("NUL  .x" is NUL too).
    const auto is = [&](std::size_t n) {
        const std::size_t next = name.find_first_not_of(' ', n);
        return next == std::string_view::npos || name[next] == '.';
    };
    const std::string word = UPPERCASE(name.substr(0, 4));
    for (const std::string_view device : {"CON", "PRN", "AUX", "NUL"})
        if (word.starts_with(device) && is(3)) return 3;
    if ((word.starts_with("COM") || word.starts_with("LPT")) && word.size() == 4 && word[3] >= '1' &&
        word[3] <= '9' && is(4))
        return 4;
    return 0;
}

void composeCsvName(std::string& name, std::string& file, std::string_view streamId,
                    std::string_view reachId, std::string_view station) {
    name.clear();
    name.append(trimRight(streamId));
    // A stream named as a device ("NUL.Drain") gives "NUL_.Drain" on every system, so that the
    // table is a file on Windows too and both systems write the same names. The opener drops
    // the blanks in front of a name.
    const std::size_t start = std::min(name.find_first_not_of(' '), name.size());
    if (const std::size_t device = deviceNameLength(std::string_view(name).substr(start)))
        name.insert(start + device, "_");
    name.append("_").append(trimRight(reachId)).append("_");
    name.append(trimRight(station)).append(kCsv);
    // Characters that cannot be part of a file name on Windows, or that would make it a folder on
    // any system, are replaced, so that a section's table has the same name wherever it is made.
    // They are all ASCII, which is never part of a longer UTF-8 sequence.
    for (char& c : name)
        if (unfitForFileName(c)) c = '_';
    // Cut before ".csv", at whole characters, to what every system takes as a file name; the
    // file's name is the same letters as UTF-8 on every system, whatever code page the export
    // was written in.
    const std::size_t stem = name.size() - kCsv.size();
    const std::size_t kept = fittingPrefix(std::string_view(name).substr(0, stem),
                                           kMaxFileNameLength - kCsv.size(),
                                           kMaxFileNameLength - kCsv.size());
    name.erase(kept, stem - kept);
    file.clear();
    appendUtf8(file, name);
}

namespace {

// The section being written, named by the warnings of a quiet run with its heading's line.
class SectionPlace final : public ConsolePlace {
public:
    SectionPlace(const SdfIds& ids, const SdfSection& section) : ids_(ids), section_(section) {}
    void describe(std::string& out) const override {
        appendPlace(out, &ids_, &section_.station, section_.firstLine);
    }

private:
    const SdfIds& ids_;
    const SdfSection& section_;
};

}  // namespace

void Process_sdf_Sections(RunState& run, const SdfIds& ids, const SdfSection& section,
                          const SectionLayers& layers, std::string_view csvFolder,
                          SectionObserver* observer, bool csvFiles) {
    const SectionPlace place(ids, section);
    const ConsoleAt placed(run.console, &place);
    SectionWork& w = run.sections();
    const SectionIds named{trimRight(ids.streamId), trimRight(ids.reachId),
                           trimRight(section.station)};
    const std::string_view streamId = named.stream;
    const std::string_view reachId = named.reach;
    const std::string_view station = named.station;

    // A surface-line block without points counts as no surface line.
    const std::size_t points =
        section.hasSurfaceLine
            ? usable(section.surfaceCount, section.surfaceX, section.surfaceY, section.surfaceZ)
            : 0;
    ensureSize(w.chainage, points);
    ensureSize(w.drop, points);
    ensureSize(w.nAtPoint, points);
    std::fill_n(w.drop.begin(), points, 0);

    composeCsvName(w.csvName, w.csvFile, streamId, reachId, station);
    checkStation(run.context, station);

    ProcessedSection result;
    result.section = &section;
    result.streamId = streamId;
    result.reachId = reachId;
    result.station = station;
    if (points == 0) {
        run.console.breakLine(
            "Warning - No surface line for section in sdf, unable to export .csv format section.");
        w.text.assign(streamId).append(reachId).append(station);
        run.console.line(w.text);
    } else {
        SurfaceSection(run, section, named, points, w, section.hasLevees)
            .process(layers, csvFolder, csvFiles, result);
    }

    if (section.hasCutLine)
        result.cutLineWritten =
            writeCutLine(run.console, section, *layers[kCutLinesLayer], named, w.feature);
    if (observer != nullptr) observer->processed(result);
}

}  // namespace vk
