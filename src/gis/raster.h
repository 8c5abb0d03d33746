// Rasters of a profile's water: the water-surface elevation between neighbouring sections and,
// over a terrain model, the depth of water and the flooded area. Every raster is read and written
// through GDAL; nothing here ends the run: every failure is a value with a named kind and a text.
//
//   GridResult grid = makeGrid(minX, minY, maxX, maxY, 2.0); // the cells, or why there are none
//   RasterFile out(path, *grid.frame, wkt);                // a temporary tiled GTiff beside path
//   out.addStrip(upstream, downstream, limits);             // as many strips as the profile has
//   RasterOutcome done = out.finish();                      // the COG put in place, or why not
//
// A strip is the water between two neighbouring sections: triangles between their two lines,
// each vertex at its section's level; a cell whose centre lies in a triangle gets the linear
// interpolation, the others stay nodata. Limits (polygons) clip the strip and never extend it.
// Memory is one strip's cells and GDAL's block cache, not the raster's size.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vk {

struct RasterPoint {
    double x = 0, y = 0;
};

// A north-up grid: the corner of its first cell (west, north), its cells' width and height, its
// size in cells.
struct RasterFrame {
    double west = 0, north = 0;
    double cellX = 0, cellY = 0;
    std::int64_t columns = 0, rows = 0;
};

inline constexpr float kRasterNodata = -9999.0f;
inline constexpr std::int64_t kMaxRasterCells = std::int64_t{1} << 31;

enum class RasterError {
    None,
    CellNotPositive,   // the cell size is not a positive number
    TooManyCells,      // the extent at that cell size would be more than 2^31 cells
    EmptyExtent,       // the extent is not a finite rectangle
    NoWater,           // the profile has no wet cell anywhere: nothing was written
    DemNotRead,        // the terrain model could not be opened or warped
    DemNoOverlap,      // the terrain model does not overlap the water
    WriteFailed,       // GDAL or the system could not write the raster
};
// "cell size not positive", "too many cells" ...: the kind's words for a message.
const char* rasterErrorName(RasterError error);

struct GridResult {
    std::optional<RasterFrame> frame;
    RasterError error = RasterError::None;
    std::string message;
};

// The grid over an extent (minX, minY, maxX, maxY) at a cell size: its corner at (minX, maxY),
// enough whole square cells to cover it (at least one each way).
GridResult makeGrid(double minX, double minY, double maxX, double maxY, double cell);

// A section's line, each vertex at the section's level.
struct SectionLine {
    std::span<const RasterPoint> points;
    double level = 0;
};

// A polygon: its outer ring and holes, each ring closed or not (a cell is inside by the
// even-odd rule over all its rings).
using RasterPolygon = std::vector<std::vector<RasterPoint>>;

// A terrain model, opened through GDAL (any raster it reads), warped into the target system
// when its own differs; its first band is the ground.
class Dem {
public:
    struct Impl;
    explicit Dem(std::shared_ptr<Impl> impl);
    const RasterFrame& frame() const;
    // Whether the extent (minX, minY, maxX, maxY) shares any cell with the model.
    bool overlaps(double minX, double minY, double maxX, double maxY) const;
    Impl& impl() const { return *impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

struct DemResult {
    std::optional<Dem> dem;
    RasterError error = RasterError::None;
    std::string message;
};

// targetWkt: the run's system as WKT (any definition GDAL takes); empty keeps the model's own.
DemResult openDem(const std::string& path, const std::string& targetWkt);

struct RasterOutcome {
    RasterError error = RasterError::None;
    std::string message;
    std::int64_t wetCells = 0;
};

// One raster written as its strips come: a tiled GTiff under a temporary name beside the target
// (uncompressed and sparse, so that only the tiles the water touches take space), copied at the
// end as a Cloud-Optimized GeoTIFF (float32, deflate, nodata kRasterNodata, the system's WKT)
// under a second temporary name that is renamed to the target once complete. With a terrain
// model the cells are the depth on its grid: level minus ground where positive.
class RasterFile {
public:
    RasterFile(std::string path, const RasterFrame& frame, std::string wkt);
    RasterFile(std::string path, const Dem& dem, std::string wkt);
    RasterFile(const RasterFile&) = delete;
    RasterFile& operator=(const RasterFile&) = delete;
    // Removes what is left of an unfinished raster.
    ~RasterFile();

    // The water between two neighbouring sections, clipped by the limits when there are any.
    // False once a write has failed (finish() then says why).
    bool addStrip(const SectionLine& a, const SectionLine& b,
                  std::span<const RasterPolygon> limits = {});
    // The COG in its place; NoWater (and no file) when no cell was wet, DemNoOverlap when over
    // a terrain model no strip reached it.
    RasterOutcome finish();
    std::int64_t wetCells() const { return wetCells_; }

private:
    struct Open;
    bool fail(const std::string& what);
    std::string path_;
    RasterFrame frame_;
    std::string wkt_;
    std::optional<Dem> dem_;
    std::unique_ptr<Open> open_;
    std::vector<float> strip_;   // the strip's window, reused
    std::vector<float> ground_;  // the terrain under it
    std::int64_t wetCells_ = 0;
    bool reached_ = false;  // a strip reached the grid
    std::string failure_;
};

// Fills one strip's cells into a window of the frame (the window's first column and row, its
// width and height; cells row by row), leaving the cells it does not cover as they are. Returns
// the cells written. The scanline at the heart of RasterFile, open for tests and benchmarks.
std::int64_t fillStrip(const RasterFrame& frame, std::int64_t column0, std::int64_t row0,
                       std::int64_t width, std::int64_t height, const SectionLine& a,
                       const SectionLine& b, std::span<const RasterPolygon> limits,
                       std::span<float> cells);

// The flooded area of a depth raster: its wet cells polygonized (4-connected) and gathered into
// one region, each polygon its outer ring then its holes, with the area they cover.
struct FloodRegion {
    std::vector<RasterPolygon> polygons;
    double area = 0;
};
struct FloodResult {
    std::optional<FloodRegion> region;
    RasterError error = RasterError::None;
    std::string message;
};
FloodResult floodedArea(const std::string& depthPath);

} // namespace vk
