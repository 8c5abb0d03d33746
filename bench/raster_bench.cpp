// The water-surface raster's cost: sections laid out as gen_sdf lays them (reaches 1000 m apart,
// sections 25 m apart across a meandering centreline, 120 to 160 m wide, the water falling 2 m per
// km), each section's water line of five vertices at its level, written strip by strip through
// RasterFile at a cell of 1/2000 of the extent's width: fill, compression and writing, reported
// in cells per second (every cell of the raster) and wet cells per second.
//
//   raster_bench OUTPUT.tif [--sections S] [--reaches N] [--points POINTS.csv]
// --points: also writes the water lines' vertices as x,y,z, for the peer (gdal_grid -a linear).

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gis/raster.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: raster_bench OUTPUT.tif [--sections S] [--reaches N] [--points FILE]\n");
        return 2;
    }
    long sections = 20000, reaches = 4;
    const char* pointsFile = nullptr;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--sections")) sections = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--reaches")) reaches = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--points")) pointsFile = argv[i + 1];
    }
    const long perReach = (sections + reaches - 1) / reaches;
    const double spacing = 25.0, reachLength = spacing * static_cast<double>(perReach + 1);
    std::uint64_t state = 42;
    auto uniform = [&state] {  // the same numbers on every system
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * 0x1.0p-53;
    };
    // Every section's water line, reach by reach.
    std::vector<std::vector<std::vector<vk::RasterPoint>>> lines(reaches);
    std::vector<std::vector<double>> levels(reaches);
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (long r = 0, written = 0; r < reaches; ++r) {
        for (long s = 0; s < perReach && written < sections; ++s, ++written) {
            const double cy = spacing * static_cast<double>(s + 1);
            const double cx = 1000.0 * static_cast<double>(r) + 40.0 * std::sin(cy / reachLength * 6.0);
            const double width = 120.0 + 40.0 * uniform(), skew = 0.05 * (uniform() - 0.5);
            auto& line = lines[r].emplace_back();
            for (int k = 0; k < 5; ++k) {
                const double t = 0.1 + 0.2 * k;  // the water's part of the cut line
                line.push_back({cx + width * (t - 0.5), cy + skew * width * (t - 0.5)});
                minX = std::min(minX, line.back().x);
                maxX = std::max(maxX, line.back().x);
                minY = std::min(minY, line.back().y);
                maxY = std::max(maxY, line.back().y);
            }
            levels[r].push_back(102.5 - 0.002 * cy + 0.2 * uniform());
        }
    }
    if (pointsFile) {
        std::FILE* f = std::fopen(pointsFile, "w");
        if (!f) return 1;
        std::fprintf(f, "x,y,z\n");
        for (long r = 0; r < reaches; ++r) {
            for (std::size_t s = 0; s < lines[r].size(); ++s) {
                for (const auto& p : lines[r][s]) std::fprintf(f, "%.3f,%.3f,%.3f\n", p.x, p.y, levels[r][s]);
            }
        }
        std::fclose(f);
    }
    const double cell = (maxX - minX) / 2000;
    auto grid = vk::makeGrid(minX, minY, maxX, maxY, cell);
    if (!grid.frame) {
        std::fprintf(stderr, "%s\n", grid.message.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    vk::RasterFile out(argv[1], *grid.frame, "EPSG:32755");
    for (long r = 0; r < reaches; ++r) {
        for (std::size_t s = 0; s + 1 < lines[r].size(); ++s) {
            out.addStrip({lines[r][s], levels[r][s]}, {lines[r][s + 1], levels[r][s + 1]});
        }
    }
    const auto filled = std::chrono::steady_clock::now();
    const vk::RasterOutcome done = out.finish();
    const auto end = std::chrono::steady_clock::now();
    if (done.error != vk::RasterError::None) {
        std::fprintf(stderr, "%s\n", done.message.c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(end - start).count();
    const double fill = std::chrono::duration<double>(filled - start).count();
    const double cells = static_cast<double>(grid.frame->columns * grid.frame->rows);
    std::printf("%ld sections, %lld x %lld cells of %.3f (%.1f million, %.1f million wet)\n",
                sections, static_cast<long long>(grid.frame->columns),
                static_cast<long long>(grid.frame->rows), cell, cells / 1e6,
                static_cast<double>(done.wetCells) / 1e6);
    std::printf("%.2f s (strips %.2f s, COG copy %.2f s): %.1f million cells/s, %.1f million wet cells/s\n",
                seconds, fill, seconds - fill, cells / seconds / 1e6,
                static_cast<double>(done.wetCells) / seconds / 1e6);
    std::printf("grid %lld %lld %.17g %.17g %.17g %.17g\n", static_cast<long long>(grid.frame->columns),
                static_cast<long long>(grid.frame->rows), minX, minX + cell * grid.frame->columns,
                maxY - cell * grid.frame->rows, maxY);
    return 0;
}
