#include "gis/raster.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdalwarper.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include "files/platform.h"

namespace vk {

struct Dem::Impl {
    GDALDataset* source = nullptr;  // the model as opened
    GDALDataset* warped = nullptr;  // the model in the target system, when it was not in it
    GDALRasterBand* band = nullptr;
    RasterFrame frame;
    double nodata = 0;
    bool hasNodata = false;
    ~Impl() {
        if (warped) GDALClose(warped);
        if (source) GDALClose(source);
    }
};

namespace {

// GDAL's drivers registered once; its block cache 64 MiB unless GDAL_CACHEMAX says otherwise
// (its own default, a share of the machine's memory, would grow with the raster up to GBs);
// PROJ's database beside the program when it is there (the Windows build ships proj.db there),
// as the coordinate-system module finds it.
void startGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        if (!CPLGetConfigOption("GDAL_CACHEMAX", nullptr)) GDALSetCacheMax64(std::int64_t{64} << 20);
        char exe[4096] = {};
        if (CPLGetExecPath(exe, sizeof exe)) {
            std::string dir = CPLGetPath(exe);
            VSIStatBufL stat;
            if (VSIStatL(CPLFormFilename(dir.c_str(), "proj.db", nullptr), &stat) == 0) {
                const char* const paths[] = {dir.c_str(), nullptr};
                OSRSetPROJSearchPaths(paths);
            }
        }
    });
}

// GDAL's messages are kept from the console while the library works; the last one is the reason.
class QuietErrors {
public:
    QuietErrors() {
        startGdal();
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;
    static std::string reason(const std::string& what) {
        const char* message = CPLGetLastErrorMsg();
        return message && *message ? what + ": " + message : what;
    }
};

// A system's WKT as GDAL writes it, from any definition it takes; empty for none.
std::string systemWkt(const std::string& definition) {
    if (definition.empty()) return {};
    OGRSpatialReference srs;
    if (srs.SetFromUserInput(definition.c_str()) != OGRERR_NONE) return {};
    char* text = nullptr;
    srs.exportToWkt(&text);
    std::string wkt = text ? text : "";
    CPLFree(text);
    return wkt;
}

bool isNodata(float value) { return value == kRasterNodata; }

// The plane through a triangle's three vertices: z = z0 + gx (x - x0) + gy (y - y0).
struct Triangle {
    RasterPoint p[3];
    double z[3];
};

// The cells of the window whose centre lies in the triangle get the plane's value. Rows and
// columns are those whose centres fall within the triangle's span on the row's centre line.
std::int64_t fillTriangle(const RasterFrame& f, std::int64_t column0, std::int64_t row0,
                          std::int64_t width, std::int64_t height, const Triangle& t,
                          std::span<float> cells) {
    const RasterPoint& a = t.p[0];
    const double dx1 = t.p[1].x - a.x, dy1 = t.p[1].y - a.y;
    const double dx2 = t.p[2].x - a.x, dy2 = t.p[2].y - a.y;
    const double det = dx1 * dy2 - dx2 * dy1;
    if (det == 0 || !std::isfinite(det)) return 0;
    const double dz1 = t.z[1] - t.z[0], dz2 = t.z[2] - t.z[0];
    const double gx = (dz1 * dy2 - dz2 * dy1) / det;
    const double gy = (dx1 * dz2 - dx2 * dz1) / det;
    double minY = std::min({a.y, t.p[1].y, t.p[2].y});
    double maxY = std::max({a.y, t.p[1].y, t.p[2].y});
    std::int64_t first = std::max<std::int64_t>(
        row0, static_cast<std::int64_t>(std::ceil((f.north - maxY) / f.cellY - 0.5)));
    std::int64_t last = std::min<std::int64_t>(
        row0 + height - 1, static_cast<std::int64_t>(std::floor((f.north - minY) / f.cellY - 0.5)));
    std::int64_t written = 0;
    for (std::int64_t row = first; row <= last; ++row) {
        const double y = f.north - (static_cast<double>(row) + 0.5) * f.cellY;
        double left = INFINITY, right = -INFINITY;
        for (int e = 0; e < 3; ++e) {
            const RasterPoint& p = t.p[e];
            const RasterPoint& q = t.p[(e + 1) % 3];
            if (p.y == q.y && p.y == y) {  // an edge along the centre line
                left = std::min({left, p.x, q.x});
                right = std::max({right, p.x, q.x});
            } else if ((p.y <= y && y <= q.y) || (q.y <= y && y <= p.y)) {
                const double x = p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (left > right) continue;
        std::int64_t c0 = std::max<std::int64_t>(
            column0, static_cast<std::int64_t>(std::ceil((left - f.west) / f.cellX - 0.5)));
        std::int64_t c1 = std::min<std::int64_t>(
            column0 + width - 1,
            static_cast<std::int64_t>(std::floor((right - f.west) / f.cellX - 0.5)));
        float* out = cells.data() + (row - row0) * width - column0;
        const double rowBase = t.z[0] + gy * (y - a.y);
        for (std::int64_t c = c0; c <= c1; ++c) {
            const double x = f.west + (static_cast<double>(c) + 0.5) * f.cellX;
            out[c] = static_cast<float>(rowBase + gx * (x - a.x));
        }
        if (c1 >= c0) written += c1 - c0 + 1;
    }
    return written;
}

double length(RasterPoint p, RasterPoint q) { return std::hypot(q.x - p.x, q.y - p.y); }

// Each vertex's place along its line, from 0 to 1 (all 0 on a line of no length).
std::vector<double> placesAlong(std::span<const RasterPoint> line, bool reversed) {
    std::vector<double> at(line.size(), 0.0);
    auto point = [&](std::size_t i) { return reversed ? line[line.size() - 1 - i] : line[i]; };
    for (std::size_t i = 1; i < line.size(); ++i) at[i] = at[i - 1] + length(point(i - 1), point(i));
    if (!at.empty() && at.back() > 0) {
        for (double& v : at) v /= at.back();
    }
    return at;
}

// Cells of the window whose centre lies outside every limit (even-odd over all rings) go back
// to nodata; only the rings' edges that reach the window's rows are looked at.
void clipToLimits(const RasterFrame& f, std::int64_t column0, std::int64_t row0,
                  std::int64_t width, std::int64_t height, std::span<const RasterPolygon> limits,
                  std::span<float> cells) {
    const double top = f.north - static_cast<double>(row0) * f.cellY;
    const double bottom = top - static_cast<double>(height) * f.cellY;
    std::vector<std::pair<RasterPoint, RasterPoint>> edges;
    for (const RasterPolygon& polygon : limits) {
        for (const auto& ring : polygon) {
            for (std::size_t i = 0; i < ring.size(); ++i) {
                RasterPoint p = ring[i], q = ring[(i + 1) % ring.size()];
                if (std::max(p.y, q.y) >= bottom && std::min(p.y, q.y) <= top) {
                    edges.emplace_back(p, q);
                }
            }
        }
    }
    std::vector<double> crossings;
    for (std::int64_t r = 0; r < height; ++r) {
        const double y = top - (static_cast<double>(r) + 0.5) * f.cellY;
        crossings.clear();
        for (const auto& [p, q] : edges) {
            if ((p.y <= y) != (q.y <= y)) crossings.push_back(p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y));
        }
        std::sort(crossings.begin(), crossings.end());
        float* out = cells.data() + r * width;
        std::size_t next = 0;  // crossings left of the cell's centre
        bool inside = false;
        for (std::int64_t c = 0; c < width; ++c) {
            const double x = f.west + (static_cast<double>(column0 + c) + 0.5) * f.cellX;
            while (next < crossings.size() && crossings[next] <= x) {
                inside = !inside;
                ++next;
            }
            if (!inside) out[c] = kRasterNodata;
        }
    }
}

// The window of cells that a strip's points reach, within the frame; width 0 when none.
struct Window {
    std::int64_t column0 = 0, row0 = 0, width = 0, height = 0;
};

Window stripWindow(const RasterFrame& f, const SectionLine& a, const SectionLine& b) {
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (const SectionLine* line : {&a, &b}) {
        for (RasterPoint p : line->points) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
    if (!(minX <= maxX && minY <= maxY)) return {};
    auto clampTo = [](double v, std::int64_t n) {
        return static_cast<std::int64_t>(std::clamp(v, 0.0, static_cast<double>(n)));
    };
    std::int64_t c0 = clampTo(std::floor((minX - f.west) / f.cellX), f.columns);
    std::int64_t c1 = clampTo(std::floor((maxX - f.west) / f.cellX) + 1, f.columns);
    std::int64_t r0 = clampTo(std::floor((f.north - maxY) / f.cellY), f.rows);
    std::int64_t r1 = clampTo(std::floor((f.north - minY) / f.cellY) + 1, f.rows);
    if (c1 <= c0 || r1 <= r0) return {};
    return {c0, r0, c1 - c0, r1 - r0};
}

} // namespace

const char* rasterErrorName(RasterError error) {
    switch (error) {
    case RasterError::None: return "no error";
    case RasterError::CellNotPositive: return "cell size not a positive number";
    case RasterError::TooManyCells: return "too many cells";
    case RasterError::EmptyExtent: return "no extent";
    case RasterError::NoWater: return "no water";
    case RasterError::DemNotRead: return "terrain model not read";
    case RasterError::DemNoOverlap: return "terrain model does not overlap the water";
    case RasterError::WriteFailed: return "raster not written";
    }
    return "";
}

GridResult makeGrid(double minX, double minY, double maxX, double maxY, double cell) {
    GridResult result;
    if (!(cell > 0) || !std::isfinite(cell)) {
        result.error = RasterError::CellNotPositive;
        result.message = "the cell size is not a positive number";
        return result;
    }
    if (!std::isfinite(minX) || !std::isfinite(minY) || !std::isfinite(maxX) ||
        !std::isfinite(maxY) || maxX < minX || maxY < minY) {
        result.error = RasterError::EmptyExtent;
        result.message = "the extent is not a rectangle of finite coordinates";
        return result;
    }
    const double columns = std::max(1.0, std::ceil((maxX - minX) / cell));
    const double rows = std::max(1.0, std::ceil((maxY - minY) / cell));
    if (columns * rows > static_cast<double>(kMaxRasterCells) || columns > INT32_MAX || rows > INT32_MAX) {
        result.error = RasterError::TooManyCells;
        result.message = "a cell of " + std::string(CPLSPrintf("%.17g", cell)) +
                         " would make more than 2^31 cells";
        return result;
    }
    result.frame = RasterFrame{minX, maxY, cell, cell, static_cast<std::int64_t>(columns),
                               static_cast<std::int64_t>(rows)};
    return result;
}

std::int64_t fillStrip(const RasterFrame& frame, std::int64_t column0, std::int64_t row0,
                       std::int64_t width, std::int64_t height, const SectionLine& a,
                       const SectionLine& b, std::span<const RasterPolygon> limits,
                       std::span<float> cells) {
    if (a.points.empty() || b.points.empty()) return 0;
    // The lines run the same way across the river: b is walked backwards when its ends lie
    // nearer to a's opposite ends.
    const RasterPoint a0 = a.points.front(), a1 = a.points.back();
    const RasterPoint b0 = b.points.front(), b1 = b.points.back();
    const bool reversed = length(a0, b1) + length(a1, b0) < length(a0, b0) + length(a1, b1);
    auto pointB = [&](std::size_t i) {
        return reversed ? b.points[b.points.size() - 1 - i] : b.points[i];
    };
    const std::vector<double> atA = placesAlong(a.points, false);
    const std::vector<double> atB = placesAlong(b.points, reversed);
    // Triangles between the lines: from the pair (i, j), step along the line whose next vertex
    // comes first by its place along its line.
    std::int64_t written = 0;
    std::size_t i = 0, j = 0;
    while (i + 1 < a.points.size() || j + 1 < b.points.size()) {
        const bool stepA = j + 1 >= b.points.size() ||
                           (i + 1 < a.points.size() && atA[i + 1] <= atB[j + 1]);
        Triangle t;
        t.p[0] = a.points[i];
        t.z[0] = a.level;
        t.p[1] = pointB(j);
        t.z[1] = b.level;
        if (stepA) {
            t.p[2] = a.points[++i];
            t.z[2] = a.level;
        } else {
            t.p[2] = pointB(++j);
            t.z[2] = b.level;
        }
        written += fillTriangle(frame, column0, row0, width, height, t, cells);
    }
    if (!limits.empty()) clipToLimits(frame, column0, row0, width, height, limits, cells);
    return written;
}

Dem::Dem(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

const RasterFrame& Dem::frame() const { return impl_->frame; }

bool Dem::overlaps(double minX, double minY, double maxX, double maxY) const {
    const RasterFrame& f = impl_->frame;
    const double east = f.west + static_cast<double>(f.columns) * f.cellX;
    const double south = f.north - static_cast<double>(f.rows) * f.cellY;
    return minX < east && maxX > f.west && minY < f.north && maxY > south;
}

DemResult openDem(const std::string& path, const std::string& targetWkt) {
    QuietErrors quiet;
    DemResult result;
    auto impl = std::make_shared<Dem::Impl>();
    impl->source = GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY);
    auto refuse = [&](const std::string& why) {
        result.error = RasterError::DemNotRead;
        result.message = QuietErrors::reason(path + ": " + why);
        return result;
    };
    if (!impl->source) return refuse("not a raster GDAL reads");
    if (impl->source->GetRasterCount() < 1) return refuse("no band");
    double gt[6];
    if (impl->source->GetGeoTransform(gt) != CE_None) return refuse("no georeferencing");
    const std::string target = systemWkt(targetWkt);
    if (!targetWkt.empty() && target.empty()) return refuse("the target system is not understood");
    const OGRSpatialReference* own = impl->source->GetSpatialRef();
    OGRSpatialReference wanted;
    if (!target.empty()) wanted.importFromWkt(target.c_str());
    const bool reproject = !target.empty() && own && !own->IsSame(&wanted);
    GDALDataset* dataset = impl->source;
    if (reproject || gt[2] != 0 || gt[4] != 0 || gt[5] >= 0) {
        // Warped lazily (a virtual dataset), north up, in the target system; cells the model
        // does not cover are nodata, never a ground of 0.
        GDALRasterBand* band = impl->source->GetRasterBand(1);
        int has = 0;
        const double nodata = band->GetNoDataValue(&has);
        GDALWarpOptions* options = GDALCreateWarpOptions();
        options->nBandCount = 1;
        options->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int)));
        options->panSrcBands[0] = 1;
        options->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int)));
        options->panDstBands[0] = 1;
        if (has) {
            options->padfSrcNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double)));
            options->padfSrcNoDataReal[0] = nodata;
        }
        options->padfDstNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double)));
        options->padfDstNoDataReal[0] = kRasterNodata;
        options->papszWarpOptions = CSLSetNameValue(options->papszWarpOptions, "INIT_DEST", "NO_DATA");
        char* ownWkt = nullptr;
        if (own) own->exportToWkt(&ownWkt);
        impl->warped = GDALDataset::FromHandle(GDALAutoCreateWarpedVRTEx(
            impl->source, ownWkt, reproject ? target.c_str() : ownWkt, GRA_Bilinear, 0.125,
            options, nullptr));
        CPLFree(ownWkt);
        GDALDestroyWarpOptions(options);
        if (!impl->warped) return refuse("not warped into the target system");
        impl->warped->GetRasterBand(1)->SetNoDataValue(kRasterNodata);
        dataset = impl->warped;
        dataset->GetGeoTransform(gt);
    }
    impl->band = dataset->GetRasterBand(1);
    int has = 0;
    impl->nodata = impl->band->GetNoDataValue(&has);
    impl->hasNodata = has != 0;
    impl->frame = RasterFrame{gt[0], gt[3], gt[1], -gt[5], dataset->GetRasterXSize(),
                              dataset->GetRasterYSize()};
    result.dem.emplace(std::move(impl));
    return result;
}

struct RasterFile::Open {
    GDALDataset* dataset = nullptr;
    std::string partPath;  // the tiled GTiff the strips are written into
    std::string copyPath;  // the COG before it is renamed into place
    ~Open() {
        if (dataset) GDALClose(dataset);
    }
};

RasterFile::RasterFile(std::string path, const RasterFrame& frame, std::string wkt)
    : path_(std::move(path)), frame_(frame), wkt_(std::move(wkt)), open_(std::make_unique<Open>()) {
    QuietErrors quiet;
    open_->partPath = path_ + ".part";
    open_->copyPath = path_ + ".tmp";
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    CPLStringList options;
    options.SetNameValue("TILED", "YES");
    options.SetNameValue("BLOCKXSIZE", "256");
    options.SetNameValue("BLOCKYSIZE", "256");
    options.SetNameValue("SPARSE_OK", "TRUE");
    options.SetNameValue("BIGTIFF", "IF_SAFER");
    open_->dataset = gtiff ? gtiff->Create(open_->partPath.c_str(), static_cast<int>(frame.columns),
                                           static_cast<int>(frame.rows), 1, GDT_Float32,
                                           options.List())
                           : nullptr;
    if (!open_->dataset) {
        fail(QuietErrors::reason(open_->partPath + ": not created"));
        return;
    }
    double gt[6] = {frame.west, frame.cellX, 0, frame.north, 0, -frame.cellY};
    open_->dataset->SetGeoTransform(gt);
    const std::string system = systemWkt(wkt_);
    if (!system.empty()) open_->dataset->SetProjection(system.c_str());
    open_->dataset->GetRasterBand(1)->SetNoDataValue(kRasterNodata);
}

RasterFile::RasterFile(std::string path, const Dem& dem, std::string wkt)
    : RasterFile(std::move(path), dem.frame(), std::move(wkt)) {
    dem_ = dem;
}

RasterFile::~RasterFile() {
    if (!open_) return;
    QuietErrors quiet;
    if (open_->dataset) {
        GDALClose(open_->dataset);
        open_->dataset = nullptr;
    }
    VSIUnlink(open_->partPath.c_str());
    VSIUnlink(open_->copyPath.c_str());
}

bool RasterFile::fail(const std::string& what) {
    if (failure_.empty()) failure_ = what;
    return false;
}

bool RasterFile::addStrip(const SectionLine& a, const SectionLine& b,
                          std::span<const RasterPolygon> limits) {
    if (!failure_.empty() || !open_ || !open_->dataset) return false;
    const Window w = stripWindow(frame_, a, b);
    if (w.width == 0) return true;
    reached_ = true;
    const std::size_t count = static_cast<std::size_t>(w.width * w.height);
    strip_.assign(count, kRasterNodata);
    if (fillStrip(frame_, w.column0, w.row0, w.width, w.height, a, b, limits, strip_) == 0) {
        return true;
    }
    QuietErrors quiet;
    if (dem_) {
        // The depth: level minus ground where the ground is known and lower than the water.
        const Dem::Impl& dem = dem_->impl();
        ground_.resize(count);
        if (dem.band->RasterIO(GF_Read, static_cast<int>(w.column0), static_cast<int>(w.row0),
                               static_cast<int>(w.width), static_cast<int>(w.height),
                               ground_.data(), static_cast<int>(w.width),
                               static_cast<int>(w.height), GDT_Float32, 0, 0, nullptr) != CE_None) {
            return fail(QuietErrors::reason("the terrain model could not be read"));
        }
        const float nodata = static_cast<float>(dem.nodata);
        for (std::size_t k = 0; k < count; ++k) {
            const float g = ground_[k];
            const bool known = !(dem.hasNodata && g == nodata) && !isNodata(g) && std::isfinite(g);
            if (isNodata(strip_[k])) continue;
            const float depth = known ? strip_[k] - g : 0.0f;
            strip_[k] = depth > 0 ? depth : kRasterNodata;
        }
    }
    GDALRasterBand* band = open_->dataset->GetRasterBand(1);
    ground_.resize(count);
    float* file = ground_.data();
    if (band->RasterIO(GF_Read, static_cast<int>(w.column0), static_cast<int>(w.row0),
                       static_cast<int>(w.width), static_cast<int>(w.height), file,
                       static_cast<int>(w.width), static_cast<int>(w.height), GDT_Float32, 0, 0,
                       nullptr) != CE_None) {
        return fail(QuietErrors::reason(open_->partPath + ": not read back"));
    }
    bool changed = false;
    for (std::size_t k = 0; k < count; ++k) {
        if (isNodata(strip_[k])) continue;
        if (isNodata(file[k])) ++wetCells_;
        file[k] = strip_[k];
        changed = true;
    }
    if (changed &&
        band->RasterIO(GF_Write, static_cast<int>(w.column0), static_cast<int>(w.row0),
                       static_cast<int>(w.width), static_cast<int>(w.height), file,
                       static_cast<int>(w.width), static_cast<int>(w.height), GDT_Float32, 0, 0,
                       nullptr) != CE_None) {
        return fail(QuietErrors::reason(open_->partPath + ": not written"));
    }
    return true;
}

RasterOutcome RasterFile::finish() {
    RasterOutcome outcome;
    outcome.wetCells = wetCells_;
    if (!open_) {
        outcome.error = RasterError::WriteFailed;
        outcome.message = path_ + ": finished already";
        return outcome;
    }
    QuietErrors quiet;
    if (failure_.empty() && wetCells_ == 0) {
        outcome.error = dem_ && !reached_ ? RasterError::DemNoOverlap : RasterError::NoWater;
        outcome.message = path_ + (outcome.error == RasterError::NoWater
                                       ? ": no cell is wet; no raster written"
                                       : ": the terrain model does not overlap the water; no raster written");
    }
    if (failure_.empty() && outcome.error == RasterError::None) {
        CPLErrorReset();
        GDALDriver* cog = GetGDALDriverManager()->GetDriverByName("COG");
        CPLStringList options;
        options.SetNameValue("COMPRESS", "DEFLATE");
        options.SetNameValue("BLOCKSIZE", "512");
        // No overviews: GDAL's making of them holds memory that grows with the raster, and
        // doubles the time.
        options.SetNameValue("OVERVIEWS", "NONE");
        options.SetNameValue("BIGTIFF", "IF_SAFER");
        GDALDataset* copy = cog ? cog->CreateCopy(open_->copyPath.c_str(), open_->dataset, FALSE,
                                                  options.List(), nullptr, nullptr)
                                : nullptr;
        if (copy) GDALClose(copy);  // a failure to complete it is the last error
        if (!copy || CPLGetLastErrorType() == CE_Failure) {
            fail(QuietErrors::reason(open_->copyPath + ": the COG was not written"));
        } else if (int error = sys::replaceFile(open_->copyPath, path_); error != 0) {
            fail(open_->copyPath + ": not renamed to " + path_ + ": " + sys::errorText(error));
        }
    }
    if (!failure_.empty()) {
        outcome.error = RasterError::WriteFailed;
        outcome.message = failure_;
    }
    if (open_->dataset) {
        GDALClose(open_->dataset);
        open_->dataset = nullptr;
    }
    VSIUnlink(open_->partPath.c_str());
    VSIUnlink(open_->copyPath.c_str());
    open_.reset();
    return outcome;
}

FloodResult floodedArea(const std::string& depthPath) {
    QuietErrors quiet;
    FloodResult result;
    std::unique_ptr<GDALDataset> depth(
        GDALDataset::Open(depthPath.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!depth) {
        result.error = RasterError::DemNotRead;
        result.message = QuietErrors::reason(depthPath + ": not read");
        return result;
    }
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
    std::unique_ptr<GDALDataset> store(
        memory ? memory->Create("", 0, 0, 0, GDT_Unknown, nullptr) : nullptr);
    OGRLayer* layer = store ? store->CreateLayer("flood", nullptr, wkbPolygon, nullptr) : nullptr;
    OGRFieldDefn field("wet", OFTInteger);
    GDALRasterBand* mask = depth->GetRasterBand(1)->GetMaskBand();
    if (!layer || layer->CreateField(&field) != OGRERR_NONE ||
        GDALPolygonize(mask, mask, layer, 0, nullptr, nullptr, nullptr) != CE_None) {
        result.error = RasterError::WriteFailed;
        result.message = QuietErrors::reason(depthPath + ": not polygonized");
        return result;
    }
    // Polygonized through the mask band, the rings come in cells (column, row): placed on the
    // map through the raster's own transform.
    double t[6] = {0, 1, 0, 0, 0, 1};
    depth->GetGeoTransform(t);
    FloodRegion region;
    layer->ResetReading();
    for (auto& feature : *layer) {
        const OGRGeometry* geometry = feature->GetGeometryRef();
        if (!geometry || wkbFlatten(geometry->getGeometryType()) != wkbPolygon) continue;
        const OGRPolygon* polygon = geometry->toPolygon();
        RasterPolygon rings;
        for (const OGRLinearRing* ring : *polygon) {
            std::vector<RasterPoint>& points = rings.emplace_back();
            for (const OGRPoint& p : *ring)
                points.push_back({t[0] + p.getX() * t[1] + p.getY() * t[2],
                                  t[3] + p.getX() * t[4] + p.getY() * t[5]});
        }
        region.area += polygon->get_Area() * std::abs(t[1] * t[5] - t[2] * t[4]);
        region.polygons.push_back(std::move(rings));
    }
    if (region.polygons.empty()) {
        result.error = RasterError::NoWater;
        result.message = depthPath + ": no cell is wet";
        return result;
    }
    result.region = std::move(region);
    return result;
}

} // namespace vk
