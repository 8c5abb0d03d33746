#include "gis/shp.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <string>

#include "files/platform.h"
#include "files/units.h"
#include "gis/binary.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::int32_t kFileCode = 9994;
constexpr std::int32_t kVersion = 1000;
constexpr std::int32_t kHeaderWords = 50;  // the 100-byte header in 16-bit words

constexpr std::int32_t kNullShape = 0;
constexpr std::int32_t kPointShape = 1;
constexpr std::int32_t kPolyLineShape = 3;
constexpr std::int32_t kPolygonShape = 5;
constexpr std::int32_t kMultiPointShape = 8;

const GisStatus kHeaderWriteError{GisError::ShpHeaderWrite, {}};
const GisStatus kRecordWriteError{GisError::ShpObjectWrite, {}};
const GisStatus kCloseOutError{GisError::CloseOut, {}};

// Opens both handles of a .shp or .shx: little-endian first, then big-endian on the same file.
// The file is emptied once the first is open (and so held by this run), before anything is
// written: nothing of an older, longer file survives beyond the new end, and a file that another
// run is writing is never touched.
GisStatus openShared(const std::string& path, int& littleUnit, int& bigUnit) {
    std::string name = TRIMF(path);
    const std::string cleaned = CLEANPATH(name);
    OPENER(littleUnit, "SB", cleaned, 1);
    if (littleUnit > 0 && !emptyUnitFile(littleUnit)) return kHeaderWriteError;
    OPENER(bigUnit, "SE", cleaned, 1);
    return {};
}

struct Box {
    double xmin = DBL_MAX, ymin = DBL_MAX, xmax = -DBL_MAX, ymax = -DBL_MAX;
};

// The box of the first n vertices; n = 0 leaves the largest finite double and its negative.
Box vertexBox(const GisObject& object, int n) {
    Box box;
    for (int i = 0; i < n; ++i) {
        box.xmin = std::min(box.xmin, object.X[i]);
        box.xmax = std::max(box.xmax, object.X[i]);
        box.ymin = std::min(box.ymin, object.Y[i]);
        box.ymax = std::max(box.ymax, object.Y[i]);
    }
    return box;
}

void widen(ShapeSet& set, const Box& box) {
    set.xmin = std::min(set.xmin, box.xmin);
    set.ymin = std::min(set.ymin, box.ymin);
    set.xmax = std::max(set.xmax, box.xmax);
    set.ymax = std::max(set.ymax, box.ymax);
}

void appendBox(std::string& out, const Box& box) {
    append<kLittle>(out, box.xmin);
    append<kLittle>(out, box.ymin);
    append<kLittle>(out, box.xmax);
    append<kLittle>(out, box.ymax);
}

char* storeBox(char* at, const Box& box) {
    at = store<kLittle>(at, box.xmin);
    at = store<kLittle>(at, box.ymin);
    at = store<kLittle>(at, box.xmax);
    return store<kLittle>(at, box.ymax);
}

// The vertices as X, Y pairs of little-endian doubles.
char* storeVertices(char* at, const GisObject& object, int n) {
    for (int i = 0; i < n; ++i) {
        at = store<kLittle>(at, object.X[static_cast<std::size_t>(i)]);
        at = store<kLittle>(at, object.Y[static_cast<std::size_t>(i)]);
    }
    return at;
}

// Releases both handles of a .shp or .shx and patches the file length (big-endian at 24) and the
// set's box (little-endian doubles at 36) into its header.
GisStatus closeAndPatch(int& firstUnit, int& secondUnit, std::int32_t lengthWords,
                        const ShapeSet& set) {
    OutStream& out = unitOutput(firstUnit > 0 ? firstUnit : secondUnit);
    if (!out.flush() || out.failed()) return kCloseOutError;
    const std::string path = unitFileName(firstUnit > 0 ? firstUnit : secondUnit);
    if (firstUnit > 0) CLOSER(firstUnit);
    if (secondUnit > 0) CLOSER(secondUnit);

    std::string bytes;
    FilePatch patch(path);
    append<kBig>(bytes, lengthWords);
    patch.write(24, bytes);
    bytes.clear();
    appendBox(bytes, Box{set.xmin, set.ymin, set.xmax, set.ymax});
    patch.write(36, bytes);
    if (!patch.finish()) return kCloseOutError;
    return {};
}

}  // namespace

GisStatus OpenshpFile(std::string_view layerName, char letter, DbfTable& table, ShapeSet& set,
                      std::string_view mode) {
    table.unit = 0;
    set.shpLittle = 0;
    set.shpBig = 0;
    set.shxLittle = 0;
    set.shxBig = 0;

    if (mode != "I " && mode != "O ") return gisFault("[OpenshpFile]");
    if (trimRight(cutTo(FILEEXT(layerName), 8)) != ".shp") return {GisError::ShpNotSpecified, {}};
    if (letter == ' ') return gisFault("[OpenshpFileO]");
    // Layers are only ever written by this system; there is no reading side to open a set for.
    if (mode == "I ") return gisFault("[OpenshpFileI]");

    const std::string base = FILENAMEPATH(layerName) + "_" + letter;
    GisStatus status = openShared(base + ".shp", set.shpLittle, set.shpBig);
    if (!status.ok()) return status;
    status = openShared(base + ".shx", set.shxLittle, set.shxBig);
    if (!status.ok()) return status;
    OPENER(set.prj, "O ", base + ".prj", 1);
    OPENER(table.unit, "BO", base + ".dbf", 1);
    return {};
}

GisStatus shpWriteHeader(ShapeSet& set, int littleUnit, int bigUnit) {
    if (littleUnit < 1 || bigUnit < 1) return gisFault("[shpnotopen]");
    set.fileCode = kFileCode;
    set.shpFileLength = kHeaderWords;
    set.version = kVersion;

    OutStream& little = unitOutput(littleUnit);
    OutStream& big = unitOutput(bigUnit);
    if (!little.seek(0) || !big.seek(0)) return kHeaderWriteError;

    big.i32be(set.fileCode);
    for (int i = 0; i < 5; ++i)
        big.i32be(0);
    big.i32be(set.shpFileLength);
    little.i32le(set.version);
    little.i32le(set.fileShapeType);
    little.f64le(set.xmin);
    little.f64le(set.ymin);
    little.f64le(set.xmax);
    little.f64le(set.ymax);
    for (int i = 0; i < 4; ++i)
        little.f64le(0.0);  // Z and M ranges

    // The header is written once per file: flush it so that a failure shows here.
    const bool flushed = little.flush() && big.flush();
    if (!flushed || little.failed() || big.failed()) return kHeaderWriteError;
    return {};
}

GisStatus shpWriteObject(const GisObject& object, ShapeSet& set) {
    if (set.shpLittle < 1 || set.shpBig < 1 || set.shxBig < 1) return gisFault("[shpnotopen]");

    const int n = object.n;
    const int parts = object.nr;
    std::int64_t contentWords = 0;
    switch (object.kind) {
    case GisKind::Point:
        set.recordShapeType = kPointShape;
        contentWords = 10;
        break;
    case GisKind::MultiPoint:
        set.recordShapeType = kMultiPointShape;
        contentWords = 8 * std::int64_t{n} + 20;
        break;
    case GisKind::Line:
    case GisKind::Pline:
    case GisKind::PlineMultiple:
        set.recordShapeType = kPolyLineShape;
        contentWords = 8 * std::int64_t{n} + 2 * std::int64_t{parts} + 22;
        break;
    case GisKind::Region:
        set.recordShapeType = kPolygonShape;
        contentWords = 8 * std::int64_t{n} + 2 * std::int64_t{parts} + 22;
        break;
    case GisKind::None:
        set.recordShapeType = kNullShape;
        contentWords = 2;
        break;
    case GisKind::Text:  // the layer operations make a text a point first
    case GisKind::Unset:
        return {GisError::ShpKindUnsupported, {}};
    }

    // Never read beyond the object's arrays, whatever its counts claim.
    const auto vertices = static_cast<std::int64_t>(std::min(object.X.size(), object.Y.size()));
    const bool multiVertex =
        set.recordShapeType != kNullShape && set.recordShapeType != kPointShape;
    const bool withParts =
        set.recordShapeType == kPolyLineShape || set.recordShapeType == kPolygonShape;
    if ((set.recordShapeType == kPointShape && vertices < 1) ||
        (multiVertex && (n < 0 || n > vertices)) ||
        (withParts && (parts < 0 || parts > static_cast<std::int64_t>(object.ir.size()))))
        return gisFault("[shpWriteObject: vertex or part count]");

    // Offsets and lengths are 16-bit word counts held in 32 bits: a set cannot grow past that.
    const std::int64_t recordWords = 4 + contentWords;
    if (std::int64_t{set.shpFileLength} + recordWords > INT32_MAX ||
        std::int64_t{set.nextRecordOffset} + recordWords > INT32_MAX)
        return kRecordWriteError;

    ++set.recordCount;
    const auto length = static_cast<std::int32_t>(contentWords);

    // The record is composed in one piece of its final size.
    std::string& record = set.record;
    record.resize(2 * static_cast<std::size_t>(recordWords));
    char* p = record.data();
    p = store<kBig>(p, set.recordCount);
    p = store<kBig>(p, length);
    p = store<kLittle>(p, set.recordShapeType);
    switch (set.recordShapeType) {
    case kPointShape:
        p = store<kLittle>(p, object.X[0]);
        p = store<kLittle>(p, object.Y[0]);
        widen(set, Box{object.X[0], object.Y[0], object.X[0], object.Y[0]});
        break;
    case kMultiPointShape: {
        const Box box = vertexBox(object, n);
        p = storeBox(p, box);
        p = store<kLittle>(p, n);
        p = storeVertices(p, object, n);
        widen(set, box);
        break;
    }
    case kPolyLineShape:
    case kPolygonShape: {
        const Box box = vertexBox(object, n);
        p = storeBox(p, box);
        p = store<kLittle>(p, parts);
        p = store<kLittle>(p, n);
        for (int i = 0; i < parts; ++i)
            p = store<kLittle>(p, object.ir[static_cast<std::size_t>(i)] - 1);
        p = storeVertices(p, object, n);
        widen(set, box);
        break;
    }
    default:  // null shape: no content after the type
        break;
    }
    if (p != record.data() + record.size()) return gisFault("[shpWriteObject: record length]");

    char entry[8];
    store<kBig>(store<kBig>(entry, set.nextRecordOffset), length);
    set.nextRecordOffset += static_cast<std::int32_t>(recordWords);
    set.shpFileLength += static_cast<std::int32_t>(recordWords);

    OutStream& shp = unitOutput(set.shpLittle);
    OutStream& shx = unitOutput(set.shxBig);
    shp.put(record);
    shx.put(std::string_view(entry, sizeof entry));
    if (shp.failed() || shx.failed()) return kRecordWriteError;
    return {};
}

GisStatus shpWriteEoF(ShapeSet& set) {
    if (set.recordCount < 1) return {};  // the headers of its creation stay; close releases them
    if (set.shpLittle > 0) {
        GisStatus status = closeAndPatch(set.shpLittle, set.shpBig, set.shpFileLength, set);
        if (!status.ok()) return status;
    }
    if (set.shxBig > 0) {
        const std::int64_t indexWords = kHeaderWords + 4 * std::int64_t{set.recordCount};
        if (indexWords > INT32_MAX) return kCloseOutError;
        return closeAndPatch(set.shxBig, set.shxLittle, static_cast<std::int32_t>(indexWords), set);
    }
    return {};
}

}  // namespace vk
