#include "gis/shapefile.h"

#include "files/platform.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kNoSet = 3;
// The running box of a set starts inverted at the single-precision 9.0e29, widened to double.
constexpr double kBoxStart = static_cast<double>(9.0e29f);
// The 100-byte main-file header, in 16-bit words: where the first record begins.
constexpr std::int32_t kFirstRecordOffset = 50;

struct SetKind {
    std::size_t index;  // 0 points, 1 lines, 2 regions
    char letter;
    std::int32_t shapeType;
};

bool setForLetter(char c, SetKind& kind) {
    switch (c) {
    case 'P':
    case 'p':
        kind = {0, 'P', 1};
        return true;
    case 'L':
    case 'l':
        kind = {1, 'L', 3};
        return true;
    case 'R':
    case 'r':
        kind = {2, 'R', 5};
        return true;
    default:
        return false;
    }
}

// The set that receives an object of this kind; kNoSet for the kinds that have no set of their
// own.
std::size_t setOf(GisKind kind) {
    switch (kind) {
    case GisKind::Point:
        return 0;
    case GisKind::Pline:
        return 1;
    case GisKind::Region:
        return 2;
    case GisKind::None:
    case GisKind::Unset:
        return kNoSet;
    }
    return kNoSet;
}

GisStatus writeProjectionFile(ShapeSet& set, const std::string& projection) {
    if (set.prj == nullptr || !set.prj->isOpen()) return {};
    OutStream& out = set.prj->out();
    out.putLine(trimRight(projection));
    if (!out.flush()) return {GisError::ShpHeaderWrite, {}};
    return {};
}

// The .cpg beside a .dbf names the code page of its texts (no line end), so that GIS software
// shows their letters. It is one of the layer's files, held by the run like them, but made
// without a word on the console: it is written whole at once.
GisStatus writeCodePage(UnitTable& units, const DbfTable& table, OutputFile& cpg) {
    if (!table.isOpen()) return {};
    cpg.setPath(FILENAMEPATH(table.file->path()) + ".cpg");
    int err = cpg.create(units);
    if (err == 0) {
        cpg.out().put(dbfCodePage(table));
        err = cpg.close();
    }
    if (err != 0) return {GisError::FileWrite, cpg.path() + ": " + sys::errorText(err)};
    return {};
}

} // namespace

GisStatus ShapefileLayerWriter::open(std::string_view name, std::string_view kinds) {
    files_.clear();
    std::array<std::size_t, 3> first{};
    std::array<bool, 3> named{};
    for (const char c : trimRight(kinds)) {
        SetKind kind{};
        if (!setForLetter(c, kind)) return gisFault("[OpenshpFileType]");
        // A letter given twice names its set once.
        if (named[kind.index]) continue;
        std::array<std::string, 4> paths;
        GisStatus status = OpenshpFile(name, kind.letter, paths);
        if (!status.ok()) return status;
        named[kind.index] = true;
        first[kind.index] = files_.size();
        sets[kind.index].fileShapeType = kind.shapeType;
        for (std::string& path : paths)
            files_.emplace_back(std::move(path));
    }
    // The files stay where they are from here on: the sets may point at them.
    for (std::size_t k = 0; k < sets.size(); ++k) {
        if (!named[k]) continue;
        sets[k].shp = &files_[first[k]];
        sets[k].shx = &files_[first[k] + 1];
        sets[k].prj = &files_[first[k] + 2];
        tables[k].file = &files_[first[k] + 3];
    }
    return {};
}

GisStatus ShapefileLayerWriter::header(const GisSchema& schema,
                                       const GisProjections& projections) {
    for (std::size_t k = 0; k < sets.size(); ++k) {
        ShapeSet& set = sets[k];
        if (!set.isOpen()) continue;
        GisStatus status = writeProjectionFile(set, projections.shp);
        if (status.ok()) status = shpWriteHeader(set, *set.shp);
        if (status.ok()) status = shpWriteHeader(set, *set.shx);
        if (!status.ok()) return status;
        set.xmin = set.ymin = kBoxStart;
        set.xmax = set.ymax = -kBoxStart;
        set.nextRecordOffset = kFirstRecordOffset;
        status = dbfWriteHeader(schema, tables[k]);
        if (!status.ok()) return status;
        tables[k].recordsWritten = 0;
    }
    return {};
}

GisStatus ShapefileLayerWriter::object(GisObject& object) {
    switch (object.kind) {
    case GisKind::Unset:
        return {GisError::ShpObjectWithoutKind, {}};
    case GisKind::None:
        for (std::size_t s = 0; s < sets.size(); ++s) {
            if (!tables[s].isOpen()) continue;
            GisStatus status = shpWriteObject(object, sets[s]);
            if (!status.ok()) return status;
        }
        return {};
    case GisKind::Point:
    case GisKind::Pline:
    case GisKind::Region:
        break;
    }
    ShapeSet& set = sets[setOf(object.kind)];
    // A kind whose set was not created with the layer has nowhere to go.
    if (!set.isOpen()) return gisFault("[gisWriteObject-shpnotopen]");
    return shpWriteObject(object, set);
}

GisStatus ShapefileLayerWriter::record(const GisObject& object) {
    const std::size_t k = setOf(object.kind);
    if (k == kNoSet) {
        if (object.kind != GisKind::None) return {GisError::DbfRecordWithoutKind, {}};
        for (DbfTable& table : tables) {
            if (!table.isOpen()) continue;
            ++table.recordsWritten;
            GisStatus status = dbfWriteRecord(table, object.values);
            if (!status.ok()) return status;
        }
        return {};
    }
    DbfTable& table = tables[k];
    if (!table.isOpen()) return gisFault("[gisWriteRecord-dbfnotopen]");
    ++table.recordsWritten;
    return dbfWriteRecord(table, object.values);
}

GisStatus ShapefileLayerWriter::finish() {
    for (std::size_t k = 0; k < sets.size(); ++k) {
        GisStatus status = dbfWriteEoF(tables[k]);
        if (status.ok()) status = shpWriteEoF(sets[k]);
        if (!status.ok()) return status;
    }
    // A set without records keeps its creation headers, which may still be buffered.
    for (OutputFile& file : files_)
        if (file.isOpen() && !file.out().flush()) return {GisError::CloseOut, {}};
    for (std::size_t k = 0; k < tables.size(); ++k) {
        GisStatus status = writeCodePage(units_, tables[k], codePages_[k]);
        if (!status.ok()) return status;
    }
    return {};
}

} // namespace vk
