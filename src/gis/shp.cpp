#include "gis/shp.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <string>

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
constexpr std::int32_t kZShapes = 10; // PolyLineZ 13, PolygonZ 15

const GisStatus kHeaderWriteError{GisError::ShpHeaderWrite, {}};
const GisStatus kRecordWriteError{GisError::ShpObjectWrite, {}};
const GisStatus kCloseOutError{GisError::CloseOut, {}};

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

// The Z range and the height of each vertex (0 for an object without heights), the set's Z range
// widened by them.
char* storeHeights(char* at, const GisObject& object, int n, ShapeSet& set) {
    const bool has = object.hasZ();
    double low = 0, high = 0;
    for (int i = 0; i < n && has; ++i) {
        const double z = object.Z[static_cast<std::size_t>(i)];
        low = i == 0 ? z : std::min(low, z);
        high = i == 0 ? z : std::max(high, z);
    }
    set.zmin = set.recordCount == 1 ? low : std::min(set.zmin, low);
    set.zmax = set.recordCount == 1 ? high : std::max(set.zmax, high);
    at = store<kLittle>(at, low);
    at = store<kLittle>(at, high);
    for (int i = 0; i < n; ++i) at = store<kLittle>(at, has ? object.Z[static_cast<std::size_t>(i)] : 0.0);
    return at;
}

// Patches the file length (big-endian at 24) and the set's box (little-endian doubles at 36) into
// the header of a .shp or .shx, through the file still held, and writes everything. A file that
// was removed meanwhile is not patched but reported: its layer is lost.
GisStatus patchHeader(OutputFile& file, std::int32_t lengthWords, const ShapeSet& set) {
    if (!file.stillNamed()) return kCloseOutError;
    OutStream& out = file.out();
    if (!out.seek(24)) return kCloseOutError;
    out.i32be(lengthWords);
    if (set.hasZ) {
        if (!out.seek(32)) return kCloseOutError;
        out.i32le(set.fileShapeType + kZShapes);
    }
    if (!out.seek(36)) return kCloseOutError;
    std::string bytes;
    appendBox(bytes, Box{set.xmin, set.ymin, set.xmax, set.ymax});
    if (set.hasZ) {
        append<kLittle>(bytes, set.zmin);
        append<kLittle>(bytes, set.zmax);
    }
    out.put(bytes);
    if (!out.flush() || out.failed()) return kCloseOutError;
    return {};
}

}  // namespace

GisStatus OpenshpFile(std::string_view layerName, char letter, std::array<std::string, 4>& paths) {
    if (trimRight(cutTo(FILEEXT(layerName), 8)) != ".shp") return {GisError::ShpNotSpecified, {}};
    if (letter == ' ') return gisFault("[OpenshpFileO]");

    const std::string base = FILENAMEPATH(layerName) + "_" + letter;
    paths = {base + ".shp", base + ".shx", base + ".prj", base + ".dbf"};
    return {};
}

GisStatus shpWriteHeader(ShapeSet& set, OutputFile& file) {
    if (!file.isOpen()) return gisFault("[shpnotopen]");
    set.fileCode = kFileCode;
    set.shpFileLength = kHeaderWords;
    set.version = kVersion;

    OutStream& out = file.out();
    if (!out.seek(0)) return kHeaderWriteError;
    out.i32be(set.fileCode);
    for (int i = 0; i < 5; ++i)
        out.i32be(0);
    out.i32be(set.shpFileLength);
    out.i32le(set.version);
    out.i32le(set.fileShapeType);
    out.f64le(set.xmin);
    out.f64le(set.ymin);
    out.f64le(set.xmax);
    out.f64le(set.ymax);
    for (int i = 0; i < 4; ++i)
        out.f64le(0.0);  // Z and M ranges

    // The header is written once per file: flush it so that a failure shows here.
    if (!out.flush() || out.failed()) return kHeaderWriteError;
    return {};
}

GisStatus shpWriteObject(const GisObject& object, ShapeSet& set) {
    if (!set.isOpen() || set.shx == nullptr || !set.shx->isOpen())
        return gisFault("[shpnotopen]");

    const int n = object.n;
    const int parts = object.nr;
    std::int64_t contentWords = 0;
    switch (object.kind) {
    case GisKind::Point:
        set.recordShapeType = kPointShape;
        contentWords = 10;
        break;
    case GisKind::Pline:
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
    case GisKind::Unset:
        return {GisError::ShpKindUnsupported, {}};
    }

    // The first record decides whether a set of lines or polygons has Z.
    const bool withZ = set.recordShapeType == kPolyLineShape || set.recordShapeType == kPolygonShape;
    if (set.recordCount == 0) set.hasZ = withZ && object.hasZ();
    const bool zOut = set.hasZ && withZ;
    if (zOut) contentWords += 8 + 4 * std::int64_t{n};

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
    p = store<kLittle>(p, zOut ? set.recordShapeType + kZShapes : set.recordShapeType);
    switch (set.recordShapeType) {
    case kPointShape:
        p = store<kLittle>(p, object.X[0]);
        p = store<kLittle>(p, object.Y[0]);
        widen(set, Box{object.X[0], object.Y[0], object.X[0], object.Y[0]});
        break;
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
        if (zOut) p = storeHeights(p, object, n, set);
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

    OutStream& shp = set.shp->out();
    OutStream& shx = set.shx->out();
    shp.put(record);
    shx.put(std::string_view(entry, sizeof entry));
    if (shp.failed() || shx.failed()) return kRecordWriteError;
    return {};
}

GisStatus shpWriteEoF(ShapeSet& set) {
    if (set.recordCount < 1) return {};  // the headers of its creation stay
    if (set.isOpen()) {
        GisStatus status = patchHeader(*set.shp, set.shpFileLength, set);
        if (!status.ok()) return status;
    }
    if (set.shx != nullptr && set.shx->isOpen()) {
        const std::int64_t indexWords = kHeaderWords + 4 * std::int64_t{set.recordCount};
        if (indexWords > INT32_MAX) return kCloseOutError;
        return patchHeader(*set.shx, static_cast<std::int32_t>(indexWords), set);
    }
    return {};
}

}  // namespace vk
