#include "gis/crs.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <ogr_spatialref.h>
#include <proj.h>

#include "files/platform.h"
#include "text/strings.h"

namespace vk {

struct Crs::Impl {
    OGRSpatialReference srs;
    int epsg = 0;
};

struct CrsTransform::Impl {
    std::unique_ptr<OGRCoordinateTransformation> transformation;
    std::string description;
    double steps = 0;  // per unit of the target system: the grid its coordinates are rounded to
};

namespace {

// PROJ's database beside the program when it is there (the Windows build's proj.db), found once.
const std::string& projFolder() {
    static const std::string folder = [] {
        char exe[4096] = {};
        if (!CPLGetExecPath(exe, sizeof exe)) {
            return std::string();
        }
        std::string dir = CPLGetPath(exe);
        VSIStatBufL stat;
        if (VSIStatL(CPLFormFilename(dir.c_str(), "proj.db", nullptr), &stat) != 0) {
            return std::string();
        }
        const char* const paths[] = {dir.c_str(), nullptr};
        OSRSetPROJSearchPaths(paths);
        return dir;
    }();
    return folder;
}

// GDAL's messages are kept from the console while the library works; the last one is the reason.
class QuietErrors {
public:
    QuietErrors() {
        projFolder();
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;
    static std::string reason(std::string_view otherwise) {
        const char* message = CPLGetLastErrorMsg();
        return message && *message ? std::string(message) : std::string(otherwise);
    }
};

// A PROJ context of the calling thread for the database's look-ups, without network access.
PJ_CONTEXT* projContext() {
    struct Context {
        PJ_CONTEXT* context = proj_context_create();
        Context() {
            proj_log_level(context, PJ_LOG_NONE);
            proj_context_set_enable_network(context, 0);
            if (!projFolder().empty()) {
                const char* const paths[] = {projFolder().c_str()};
                proj_context_set_search_paths(context, 1, paths);
            }
        }
        ~Context() { proj_context_destroy(context); }
    };
    thread_local Context context;
    return context.context;
}

struct PjDelete {
    void operator()(PJ* pj) const { proj_destroy(pj); }
};
using Pj = std::unique_ptr<PJ, PjDelete>;

std::string trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// The definition as a message shows it: its first line, at most 80 characters.
std::string shown(std::string_view definition) {
    std::string text = trimmed(definition.substr(0, definition.find_first_of("\r\n")));
    if (text.size() > 80 || text.size() < trimmed(definition).size()) {
        text = text.substr(0, 77) + "...";
    }
    return text;
}

// The EPSG system that matches with full confidence: of the same name (an ESRI WKT's name is the
// EPSG one once the library has read it) and equivalent, when there is exactly one. This is
// what PROJ's identification counts as full confidence, without its search through every system
// of the same projection (which costs a conversion's worth of time).
int identifyEpsg(const OGRSpatialReference& srs) {
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    if (authority && code && EQUAL(authority, "EPSG")) {
        return std::atoi(code);
    }
    const char* name = srs.GetName();
    if (!name || !*name || EQUAL(name, "unknown") || EQUAL(name, "unnamed")) {
        return 0;
    }
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT2_2019", nullptr};
    if (srs.exportToWkt(&wkt, options) != OGRERR_NONE || !wkt) {
        CPLFree(wkt);
        return 0;
    }
    PJ_CONTEXT* context = projContext();
    Pj crs(proj_create(context, wkt));
    CPLFree(wkt);
    if (!crs) {
        return 0;
    }
    const PJ_TYPE type = proj_get_type(crs.get());
    PJ_OBJ_LIST* matches = proj_create_from_name(context, "EPSG", name, &type, 1, 0, 0, nullptr);
    int found = 0;
    int full = 0;
    const int count = matches ? proj_list_get_count(matches) : 0;
    for (int i = 0; i < count; ++i) {
        Pj match(proj_list_get(context, matches, i));
        const char* matchCode = match ? proj_get_id_code(match.get(), 0) : nullptr;
        // Of the same name, not one of its aliases (which PROJ gives less than full confidence).
        const char* matchName = match ? proj_get_name(match.get()) : nullptr;
        if (matchCode && matchName && EQUAL(matchName, name) && !proj_is_deprecated(match.get()) &&
            proj_is_equivalent_to_with_ctx(context, match.get(), crs.get(),
                                           PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS)) {
            found = std::atoi(matchCode);
            ++full;
        }
    }
    proj_list_destroy(matches);
    return full == 1 ? found : 0;
}

CrsResult makeCrs(const std::string& text, std::string_view named) {
    QuietErrors quiet;
    auto impl = std::make_shared<Crs::Impl>();
    const char* const options[] = {"ALLOW_NETWORK_ACCESS=NO", "ALLOW_FILE_ACCESS=NO", nullptr};
    const OGRErr status = impl->srs.SetFromUserInput(text.c_str(), options);
    if (status != OGRERR_NONE || impl->srs.IsEmpty()) {
        return {std::nullopt, "\"" + std::string(named) + "\" is no coordinate system: " +
                                  QuietErrors::reason("not a definition the library knows")};
    }
    impl->srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    impl->epsg = identifyEpsg(impl->srs);
    return {Crs(std::move(impl)), {}};
}

// The whole of a file, or its error.
int readWhole(const std::string& path, std::string& content) {
    sys::File file = sys::kNoFile;
    if (const int error = sys::openFile(path, sys::Access::Read, file)) {
        return error;
    }
    char buffer[65536];
    std::size_t got = 0;
    int error = 0;
    while ((error = sys::readSome(file, buffer, sizeof buffer, got)) == 0 && got > 0) {
        content.append(buffer, got);
    }
    const int closed = sys::closeFile(file);
    return error ? error : closed;
}

} // namespace

std::string Crs::name() const {
    const char* name = impl_->srs.GetName();
    return name ? name : "";
}

namespace {

// The system's WKT in the given flavour ("WKT1", "WKT1_ESRI") on one line; empty when none.
std::string wktOnOneLine(const OGRSpatialReference& srs, const char* format) {
    QuietErrors quiet;
    const std::string formatOption = std::string("FORMAT=") + format;
    const char* const options[] = {formatOption.c_str(), "MULTILINE=NO", nullptr};
    char* wkt = nullptr;
    std::string text;
    if (srs.exportToWkt(&wkt, options) == OGRERR_NONE && wkt) text = wkt;
    CPLFree(wkt);
    return text;
}

} // namespace

std::string Crs::esriWkt() const { return wktOnOneLine(impl_->srs, "WKT1_ESRI"); }

std::string Crs::ogcWkt() const { return wktOnOneLine(impl_->srs, "WKT1"); }

std::string Crs::mifCoordSys() const {
    QuietErrors quiet;
    char* clause = nullptr;
    std::string text;
    if (impl_->srs.exportToMICoordSys(&clause) == OGRERR_NONE && clause && *clause) {
        text = std::string("CoordSys ") + clause;
    }
    CPLFree(clause);
    return text;
}

int Crs::epsg() const { return impl_->epsg; }

std::string Crs::linearUnit() const {
    if (!impl_->srs.IsProjected() && !impl_->srs.IsLocal()) {
        return {};
    }
    const char* name = nullptr;
    impl_->srs.GetLinearUnits(&name);
    return name ? name : "";
}

double Crs::metresPerUnit() const {
    if (!impl_->srs.IsProjected() && !impl_->srs.IsLocal()) {
        return 0;
    }
    return impl_->srs.GetLinearUnits();
}

std::optional<CrsArea> Crs::area() const {
    CrsArea area;
    const char* name = nullptr;
    if (!impl_->srs.GetAreaOfUse(&area.west, &area.south, &area.east, &area.north, &name)) {
        return std::nullopt;
    }
    area.name = name ? name : "";
    return area;
}

std::string Crs::label() const {
    std::string shownName = name();
    if (shownName.empty() || shownName == "unnamed") {
        // A system without a name (a MIF CoordSys clause): its PROJ string says what it is.
        QuietErrors quiet;
        char* proj = nullptr;
        if (impl_->srs.exportToProj4(&proj) == OGRERR_NONE && proj && *proj) {
            shownName = trimmed(proj);
        }
        CPLFree(proj);
    }
    return impl_->epsg ? shownName + ", EPSG:" + std::to_string(impl_->epsg) : shownName;
}

CrsResult parseCrs(std::string_view definition) {
    const std::string text = trimmed(definition);
    if (text.empty()) {
        return {std::nullopt, "an empty text is no coordinate system"};
    }
    if (sys::fileExists(text)) {
        std::string content;
        if (const int error = readWhole(text, content)) {
            return {std::nullopt, "\"" + text + "\" cannot be read: " + sys::errorText(error)};
        }
        if (trimmed(content).empty()) {
            return {std::nullopt, "\"" + text + "\" is no coordinate system: the file is empty"};
        }
        return makeCrs(trimmed(content), text);
    }
    return makeCrs(text, shown(text));
}

CrsResult parseMifCoordSys(std::string_view clause) {
    const std::string text = trimmed(clause);
    QuietErrors quiet;
    auto impl = std::make_shared<Crs::Impl>();
    if (impl->srs.importFromMICoordSys(text.c_str()) != OGRERR_NONE || impl->srs.IsEmpty()) {
        return {std::nullopt, "\"" + shown(text) + "\" is no coordinate system: " +
                                  QuietErrors::reason("not a CoordSys clause the library knows")};
    }
    impl->srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    impl->epsg = identifyEpsg(impl->srs);
    if (impl->epsg) {
        // The system the clause matches in full, under its own name.
        const std::string code = "EPSG:" + std::to_string(impl->epsg);
        if (CrsResult known = makeCrs(code, code); known.crs) {
            return known;
        }
    }
    return {Crs(std::move(impl)), {}};
}

// ---- the header's hints ----

namespace {

enum class Units { Any, Feet, Metres };

Units headerUnits(const std::string& units) {
    const std::string word = upper(trimmed(units));
    if (word == "ENGLISH" || word == "FEET" || word == "FOOT" || word == "US FEET") {
        return Units::Feet;
    }
    if (word == "METRIC" || word.starts_with("METER") || word.starts_with("METRE") ||
        word.starts_with("METRO")) {
        return Units::Metres;
    }
    return Units::Any;
}

double unitFactor(PJ_CONTEXT* context, PJ* crs) {
    Pj cs(proj_crs_get_coordinate_system(context, crs));
    double factor = 0;
    if (!cs || !proj_cs_get_axis_info(context, cs.get(), 0, nullptr, nullptr, nullptr, &factor,
                                      nullptr, nullptr, nullptr)) {
        return 0;
    }
    return factor;
}

Units unitsOf(PJ_CONTEXT* context, PJ* crs) {
    const double factor = unitFactor(context, crs);
    if (factor == 1) {
        return Units::Metres;
    }
    if (factor > 0.3047 && factor < 0.3049) {
        return Units::Feet;
    }
    return Units::Any;
}

const char* unitsWord(Units units) {
    switch (units) {
    case Units::Any: return "other units";
    case Units::Feet: return "feet";
    case Units::Metres: return "metres";
    }
    return "";
}

std::vector<Pj> fromName(PJ_CONTEXT* context, const char* authority, const std::string& name,
                         PJ_TYPE type, bool approximate) {
    std::vector<Pj> found;
    PJ_OBJ_LIST* list =
        proj_create_from_name(context, authority, name.c_str(), &type, 1, approximate, 0, nullptr);
    if (!list) {
        return found;
    }
    const int count = proj_list_get_count(list);
    for (int i = 0; i < count; ++i) {
        Pj pj(proj_list_get(context, list, i));
        if (pj && !proj_is_deprecated(pj.get())) {
            found.push_back(std::move(pj));
        }
    }
    proj_list_destroy(list);
    return found;
}

std::string letters(const std::string& name) {
    std::string out;
    for (char c : upper(name)) {
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            out += c;
        }
    }
    return out;
}

// The header's datum as a geographic system of PROJ's database ("NAD27", "WGS84" for "WGS 84").
Pj datumCrs(PJ_CONTEXT* context, const std::string& datum) {
    for (bool approximate : {false, true}) {
        for (Pj& pj : fromName(context, "EPSG", datum, PJ_TYPE_GEOGRAPHIC_2D_CRS, approximate)) {
            if (letters(proj_get_name(pj.get())) == letters(datum)) {
                return std::move(pj);
            }
        }
    }
    return nullptr;
}

bool onDatum(PJ_CONTEXT* context, PJ* crs, PJ* datum) {
    Pj base(proj_crs_get_geodetic_crs(context, crs));
    return base && proj_is_equivalent_to_with_ctx(context, base.get(), datum,
                                                   PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS);
}

std::string pjLabel(PJ* crs) {
    const char* authority = proj_get_id_auth_name(crs, 0);
    const char* code = proj_get_id_code(crs, 0);
    std::string label = proj_get_name(crs);
    if (authority && code) {
        label += std::string(", ") + authority + ":" + code;
    }
    return label;
}

// Whether the extent, transformed into the system's geographic coordinates, lies inside the
// system's area of use.
bool holdsExtent(PJ_CONTEXT* context, PJ* crs, const Extent& extent) {
    double west = 0, south = 0, east = 0, north = 0;
    if (!proj_get_area_of_use(context, crs, &west, &south, &east, &north, nullptr) ||
        west == -1000) {
        return false;
    }
    Pj geographic(proj_crs_get_geodetic_crs(context, crs));
    Pj operation(geographic ? proj_create_crs_to_crs_from_pj(context, crs, geographic.get(),
                                                             nullptr, nullptr)
                            : nullptr);
    Pj ordered(operation ? proj_normalize_for_visualization(context, operation.get()) : nullptr);
    if (!ordered) {
        return false;
    }
    const double xs[] = {extent.minX, extent.maxX};
    const double ys[] = {extent.minY, extent.maxY};
    for (double x : xs) {
        for (double y : ys) {
            const PJ_COORD point = proj_trans(ordered.get(), PJ_FWD, proj_coord(x, y, 0, 0));
            const double lon = point.xy.x;
            const double lat = point.xy.y;
            if (!std::isfinite(lon) || !std::isfinite(lat) || lat < south || lat > north) {
                return false;
            }
            const bool inside = west <= east ? lon >= west && lon <= east
                                             : lon >= west || lon <= east;
            if (!inside) {
                return false;
            }
        }
    }
    return true;
}

// The State Plane systems of a FIPS zone ("3701"), as PROJ's database names them
// (..._StatePlane_..._FIPS_3701...); every one of them with an empty zone.
std::vector<Pj> statePlaneSystems(PJ_CONTEXT* context, const std::string& fips) {
    std::vector<Pj> found =
        fromName(context, nullptr, fips.empty() ? "_StatePlane_" : "_FIPS_" + fips,
                 PJ_TYPE_PROJECTED_CRS, true);
    return found;
}

// The UTM systems of a datum: transverse Mercator from the equator, scale 0.9996, false easting
// 500 km, false northing 0 (north) or 10,000 km (south). zone 0: all; south -1 either.
struct UtmSystem {
    Pj crs;
    int zone = 0;
    bool south = false;
};

std::vector<UtmSystem> utmSystems(PJ_CONTEXT* context, PJ* datum) {
    std::vector<UtmSystem> found;
    PROJ_CRS_LIST_PARAMETERS* parameters = proj_get_crs_list_parameters_create();
    const PJ_TYPE types[] = {PJ_TYPE_PROJECTED_CRS};
    parameters->types = types;
    parameters->typesCount = 1;
    int count = 0;
    PROJ_CRS_INFO** infos = proj_get_crs_info_list_from_database(context, "EPSG", parameters, &count);
    proj_get_crs_list_parameters_destroy(parameters);
    const std::string prefix = std::string(proj_get_name(datum)) + " / ";
    for (int i = 0; i < count; ++i) {
        const PROJ_CRS_INFO& info = *infos[i];
        if (info.deprecated || !info.projection_method_name ||
            std::string_view(info.projection_method_name) != "Transverse Mercator" ||
            !std::string_view(info.name).starts_with(prefix)) {
            continue;
        }
        Pj crs(proj_create_from_database(context, info.auth_name, info.code, PJ_CATEGORY_CRS,
                                         false, nullptr));
        Pj conversion(crs ? proj_crs_get_coordoperation(context, crs.get()) : nullptr);
        if (!conversion || proj_coordoperation_get_param_count(context, conversion.get()) != 5) {
            continue;
        }
        double values[5] = {};
        for (int p = 0; p < 5; ++p) {
            double value = 0, factor = 1;
            proj_coordoperation_get_param(context, conversion.get(), p, nullptr, nullptr, nullptr,
                                          &value, nullptr, &factor, nullptr, nullptr, nullptr,
                                          nullptr);
            values[p] = value * factor;
        }
        // latitude of origin, central meridian (radians), scale, false easting, false northing
        const double meridian = values[1] * 180 / std::numbers::pi;
        const double zone = std::round((meridian + 183) / 6);
        const bool south = std::fabs(values[4] - 10000000) < 0.01;
        if (values[0] != 0 || std::fabs(values[2] - 0.9996) > 1e-12 ||
            std::fabs(values[3] - 500000) > 0.01 || !(values[4] == 0 || south) ||
            std::fabs(zone * 6 - 183 - meridian) > 1e-9 || zone < 1 || zone > 60) {
            continue;
        }
        found.push_back({std::move(crs), static_cast<int>(zone), south});
    }
    proj_crs_info_list_destroy(infos);
    return found;
}

bool isSouth(const std::vector<UtmSystem>& systems, PJ* crs) {
    for (const UtmSystem& system : systems) {
        if (system.crs.get() == crs) {
            return system.south;
        }
    }
    return false;
}

// The systems among `candidates` that hold the extent, the header's units first.
struct Choice {
    PJ* crs = nullptr;
    bool unitsDiffer = false;
};

Choice choose(PJ_CONTEXT* context, const std::vector<PJ*>& candidates, Units units,
              const Extent& extent) {
    for (bool matching : {true, false}) {
        for (PJ* crs : candidates) {
            const bool same = units == Units::Any || unitsOf(context, crs) == units;
            if (same == matching && holdsExtent(context, crs, extent)) {
                return {crs, !same};
            }
        }
    }
    return {};
}

std::optional<Crs> crsOf(PJ* crs) {
    const char* authority = proj_get_id_auth_name(crs, 0);
    const char* code = proj_get_id_code(crs, 0);
    if (!authority || !code) {
        return std::nullopt;
    }
    const std::string definition = std::string(authority) + ":" + code;
    return makeCrs(definition, definition).crs;
}

// A coordinate as the shortest text that reads back to it, whatever the locale.
std::string number(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

std::string extentText(const Extent& extent) {
    return "(" + number(extent.minX) + ", " + number(extent.minY) + ") to (" +
           number(extent.maxX) + ", " + number(extent.maxY) + ")";
}

} // namespace

HintResult crsFromHeader(const HeaderHints& hints, const Extent& extent) {
    HintResult result;
    const std::string projection = upper(trimmed(hints.projection));
    const std::string zone = upper(trimmed(hints.zone));
    const std::string datumName = trimmed(hints.datum);
    const Units units = headerUnits(hints.units);
    if (projection.empty() && zone.empty()) {
        return result;
    }
    result.outcome = HintResult::Outcome::Rejected;
    QuietErrors quiet;
    PJ_CONTEXT* context = projContext();
    const bool statePlane = projection == "STATEPLANE" || projection == "STATE PLANE";
    if (!statePlane && projection != "UTM") {
        result.problem = projection.empty()
                             ? "MAP PROJECTION is empty"
                             : "MAP PROJECTION " + projection + " is neither STATEPLANE nor UTM";
        return result;
    }
    Pj datum = datumName.empty() ? nullptr : datumCrs(context, datumName);
    // The zone's candidates, whatever their datum, then those of the header's datum.
    std::vector<Pj> owned;
    std::vector<PJ*> candidates;
    std::vector<UtmSystem> utm;
    bool hemisphereGiven = false;
    if (statePlane) {
        const bool digits = !zone.empty() && zone.size() <= 4 &&
                            zone.find_first_not_of("0123456789") == std::string::npos;
        owned = digits ? statePlaneSystems(context, std::string(4 - zone.size(), '0') + zone)
                       : std::vector<Pj>();
        if (owned.empty()) {
            result.problem = zone.empty() ? "PROJECTION ZONE is empty"
                                          : "PROJECTION ZONE " + zone + " is no State Plane zone";
        }
        for (Pj& crs : owned) {
            if (datum && onDatum(context, crs.get(), datum.get())) {
                candidates.push_back(crs.get());
            }
        }
    } else {
        std::string number = zone;
        char hemisphere = 0;
        if (!number.empty() && (number.back() == 'N' || number.back() == 'S')) {
            hemisphere = number.back();
            hemisphereGiven = true;
            number.pop_back();
        }
        const bool digits = !number.empty() && number.size() <= 2 &&
                            number.find_first_not_of("0123456789") == std::string::npos;
        const int wanted = digits ? std::atoi(number.c_str()) : 0;
        if (wanted < 1 || wanted > 60) {
            result.problem = zone.empty() ? "PROJECTION ZONE is empty"
                                          : "PROJECTION ZONE " + zone + " is no UTM zone";
        } else if (datum) {
            utm = utmSystems(context, datum.get());
            for (UtmSystem& system : utm) {
                if (system.zone == wanted && (!hemisphere || system.south == (hemisphere == 'S'))) {
                    candidates.push_back(system.crs.get());
                }
            }
        }
    }
    if (result.problem.empty() && !datum) {
        result.problem = datumName.empty() ? "DATUM is empty"
                                           : "DATUM " + datumName + " is not in PROJ's database";
    } else if (result.problem.empty() && candidates.empty()) {
        result.problem = "PROJECTION ZONE " + zone + " has no " +
                         (statePlane ? "State Plane" : "UTM") + " system on DATUM " + datumName;
    } else if (result.problem.empty()) {
        const Choice choice = choose(context, candidates, units, extent);
        // A UTM zone without its hemisphere: the extent must fit one of them only.
        bool bothHemispheres = false;
        for (const UtmSystem& system : utm) {
            for (PJ* other : candidates) {
                bothHemispheres = bothHemispheres ||
                                  (choice.crs && !hemisphereGiven && other == system.crs.get() &&
                                   system.south != isSouth(utm, choice.crs) &&
                                   holdsExtent(context, other, extent));
            }
        }
        if (bothHemispheres) {
            result.problem = "PROJECTION ZONE " + zone + " fits the extent north and south of " +
                             "the equator: name the hemisphere (" + zone + "N or " + zone + "S)";
            return result;
        }
        if (choice.crs) {
            result.crs = crsOf(choice.crs);
            if (result.crs) {
                result.outcome = HintResult::Outcome::Found;
                if (choice.unitsDiffer) {
                    result.unitsWarning = "UNITS " + upper(trimmed(hints.units)) + " (" +
                                          unitsWord(units) + ") but " + pjLabel(choice.crs) +
                                          " is in " + unitsWord(unitsOf(context, choice.crs));
                }
                return result;
            }
        }
        PJ* named = candidates.front();
        for (PJ* crs : candidates) {
            if (unitsOf(context, crs) == units) {
                named = crs;
                break;
            }
        }
        result.problem = "the export's extent " + extentText(extent) +
                         " lies outside the area of use of " + pjLabel(named);
    }
    // A suggestion: the one State Plane or UTM system of the datum and units holding the extent.
    if (!datum) {
        return result;
    }
    if (utm.empty()) {
        utm = utmSystems(context, datum.get());
    }
    // A second system holding the extent means there is no suggestion: the search ends there,
    // the UTM systems (already built) first, the State Plane ones (every one built) only then.
    std::vector<PJ*> holding;
    auto consider = [&](PJ* crs) {
        if (holding.size() < 2 && (units == Units::Any || unitsOf(context, crs) == units) &&
            holdsExtent(context, crs, extent)) {
            holding.push_back(crs);
        }
    };
    for (UtmSystem& system : utm) {
        consider(system.crs.get());
    }
    std::vector<Pj> allStatePlane;
    if (holding.size() < 2) {
        allStatePlane = statePlaneSystems(context, "");
    }
    for (Pj& crs : allStatePlane) {
        if (holding.size() < 2 && onDatum(context, crs.get(), datum.get())) {
            consider(crs.get());
        }
    }
    if (holding.size() == 1) {
        result.suggestion = crsOf(holding.front());
    }

    return result;
}

// ---- transformations ----

bool CrsTransform::transform(std::span<double> x, std::span<double> y) const {
    if (x.size() != y.size()) {
        return false;
    }
    QuietErrors quiet;
    if (!impl_->transformation->Transform(x.size(), x.data(), y.data(), nullptr, nullptr)) {
        return false;
    }
    // Rounded to a grid far finer than any survey (a nanodegree, a micrometre or microfoot), so
    // that the last bit of the system's trigonometric functions, which differs between the C
    // libraries of Linux and Windows, does not reach the files.
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
            return false;
        }
        x[i] = std::round(x[i] * impl_->steps) / impl_->steps;
        y[i] = std::round(y[i] * impl_->steps) / impl_->steps;
    }
    return true;
}

const std::string& CrsTransform::description() const { return impl_->description; }

TransformResult makeCrsTransform(const Crs& from, const Crs& to) {
    QuietErrors quiet;
    auto impl = std::make_shared<CrsTransform::Impl>();
    impl->transformation.reset(OGRCreateCoordinateTransformation(&from.impl().srs, &to.impl().srs));
    if (!impl->transformation) {
        return {std::nullopt, "no transformation from " + from.label() + " to " + to.label() +
                                  ": " + QuietErrors::reason("PROJ found none")};
    }
    impl->description = "from " + from.label() + " to " + to.label();
    impl->steps = to.impl().srs.IsGeographic() ? 1e9 : 1e6;
    return {CrsTransform(std::move(impl)), {}};
}

} // namespace vk
