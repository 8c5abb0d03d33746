// Coordinate systems, through GDAL's spatial references over PROJ and its database (proj.db):
// a system parsed from a user's definition or from an export header's hints, the texts the
// layers store of it, and the transformation of points between two systems. Nothing here ends
// the run: every failure is a value that names the text and the library's reason.
//
//   CrsResult parsed = parseCrs("EPSG:2271");
//   if (!parsed.crs) report(parsed.error);
//   std::string prj = parsed.crs->esriWkt();
//
// PROJ's database is looked for beside the program first (the Windows build ships proj.db
// there), then where PROJ itself looks.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vk {

struct CrsArea {
    std::string name;
    double west = 0, south = 0, east = 0, north = 0;  // degrees; west > east across 180°
};

class Crs {
public:
    struct Impl;
    explicit Crs(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

    std::string name() const;
    // The ESRI WKT on one line, as a .prj file holds it; empty when the library has none.
    std::string esriWkt() const;
    // The OGC WKT (version 1) on one line, as a GeoPackage defines a system; empty when none.
    std::string ogcWkt() const;
    // "CoordSys Earth Projection ...", as a MIF header's CoordSys line; empty when none.
    std::string mifCoordSys() const;
    // The EPSG code of the system when one matches it with full confidence, else 0.
    int epsg() const;
    // The linear unit's name ("metre", "US survey foot") and its length in metres; empty and 0
    // for a geographic system.
    std::string linearUnit() const;
    double metresPerUnit() const;
    std::optional<CrsArea> area() const;
    // "NAD83 / Pennsylvania North (ftUS), EPSG:2271", without the code when none matches.
    std::string label() const;

    const Impl& impl() const { return *impl_; }

private:
    std::shared_ptr<const Impl> impl_;
};

struct CrsResult {
    std::optional<Crs> crs;
    std::string error;  // when there is no system: the definition and the library's reason
};

// A definition as GDAL's -a_srs takes it: "EPSG:2271", "ESRI:102729", WKT1, WKT2, PROJJSON, a
// PROJ string, or the name of a file holding one (read whole, over as many lines as it takes).
CrsResult parseCrs(std::string_view definition);
// A MIF header's CoordSys clause ("CoordSys Earth Projection 3, 74, ...").
CrsResult parseMifCoordSys(std::string_view clause);

// The export header's MAP PROJECTION, PROJECTION ZONE, DATUM and UNITS, as the header gives them.
struct HeaderHints {
    std::string projection;  // STATEPLANE or UTM
    std::string zone;        // a FIPS zone (5101) or a UTM zone (50, 50N, 50S)
    std::string datum;       // NAD27, NAD83, AGD66, WGS84 ...
    std::string units;       // ENGLISH or METRIC
};

// The export's coordinates: the smallest and largest of each.
struct Extent {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

struct HintResult {
    enum class Outcome {
        NoHints,   // the header names no map projection
        Found,     // crs is the system, its area of use holds the extent
        Rejected,  // problem says why; suggestion, where exactly one system fits the extent
    };
    Outcome outcome = Outcome::NoHints;
    std::optional<Crs> crs;
    std::string problem;
    std::optional<Crs> suggestion;
    std::string unitsWarning;  // the header's units against the system's, when they differ
};

// The system the hints name, looked up in PROJ's database (a State Plane zone by its FIPS code,
// a UTM zone by its conversion) for the header's datum, preferring the header's units, and
// checked against the extent: transformed into the system's geographic coordinates, it must lie
// inside the system's area of use.
HintResult crsFromHeader(const HeaderHints& hints, const Extent& extent);

// A transformation between two systems: the one PROJ picks without network access, coordinates
// in the traditional GIS order (easting or longitude first).
class CrsTransform {
public:
    struct Impl;
    explicit CrsTransform(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    // Transforms the points in place, each coordinate rounded to a nanodegree (a geographic
    // target) or a millionth of the target's unit; false (the points then undefined) when one
    // fails.
    bool transform(std::span<double> x, std::span<double> y) const;
    // The two systems, as the messages name them: "from NAME to NAME".
    const std::string& description() const;

private:
    std::shared_ptr<Impl> impl_;
};

struct TransformResult {
    std::optional<CrsTransform> transform;
    std::string error;
};

TransformResult makeCrsTransform(const Crs& from, const Crs& to);

} // namespace vk
