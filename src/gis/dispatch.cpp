// Object and record dispatch: the checks on the geometry object and the hand-over to the writer
// of the layer's format (and, for a Shapefile layer, to the set of the object's family).
#include <algorithm>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/gis.h"
#include "gis/mif.h"
#include "gis/registry.h"
#include "text/fixedpoint.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kTypeNameLength = 24;
constexpr std::size_t kNoSet = 3;

bool validId(int gisID) {
    return gisID >= 1 && gisID <= kMaxGisLayers;
}

// One "label =" line of an internal-error report, the value as a 5-digit field.
void reportValue(std::string_view label, std::int64_t value) {
    console().line(std::string(label) + formatInt(value, 5));
}

// The kinds whose objects are made of parts, and those whose vertices are counted by n.
bool hasParts(GisKind kind) {
    switch (kind) {
    case GisKind::Line:
    case GisKind::Pline:
    case GisKind::PlineMultiple:
    case GisKind::Region:
        return true;
    case GisKind::Unset:
    case GisKind::None:
    case GisKind::Point:
    case GisKind::Text:
    case GisKind::MultiPoint:
        return false;
    }
    return false;
}

bool usesVertexCount(GisKind kind) { return kind == GisKind::MultiPoint || hasParts(kind); }

std::size_t vertexCapacity(const GisObject& object) {
    return std::min(object.X.size(), object.Y.size());
}

// Parts of line, pline, pline multiple and region objects: at least one part starting at a vertex
// of 1 or more, parts in strictly increasing order, and the last part starting no further than
// just after the last vertex, so that no part reaches beyond the vertices written.
void checkParts(int gisID, GisObject& object) {
    object.reserveParts(1);
    if (object.nr < 1) object.nr = 1;
    if (object.ir[0] < 1) object.ir[0] = 1;

    const int nr = object.nr;
    if (static_cast<std::size_t>(nr) > object.ir.size()) {
        console().line("Should not be here [gisO_%nr > size(gisO_%ir)] - please contact " +
                       std::string(kSupportAddress) + ".");
        reportValue("GIS Layer   =", gisID);
        reportValue("gisO_%nr    =", nr);
        EXITS();
    }
    for (int i = 2; i <= nr; ++i) {
        const int current = object.ir[static_cast<std::size_t>(i - 1)];
        if (current <= object.ir[static_cast<std::size_t>(i - 2)]) {
            console().line("Should not be here [gisO_%ir(i) <= gisO_%ir(i-1)] - please contact " +
                           std::string(kSupportAddress) + ".");
            reportValue("GIS Layer   =", gisID);
            reportValue("i           =", i);
            reportValue("gisO_%ir(i) =", current);
            reportValue("gisO_%nr    =", nr);
            EXITS();
        }
    }
    const int last = object.ir[static_cast<std::size_t>(nr - 1)];
    if (static_cast<std::int64_t>(last) > static_cast<std::int64_t>(object.n) + 1) {
        console().line("Should not be here [gisO_%ir(nr) > gisO_%n+1] - please contact " +
                       std::string(kSupportAddress) + ".");
        reportValue("GIS Layer   =", gisID);
        reportValue("gisO_%ir(nr)=", last);
        reportValue("gisO_%n     =", object.n);
        reportValue("gisO_%nr    =", nr);
        EXITS();
    }
}

// The writers read X and Y up to the vertex count (and up to vertex 3 for a text's box).
void checkVertices(int gisID, const GisObject& object) {
    const bool usesCount = usesVertexCount(object.kind);
    const std::size_t capacity = vertexCapacity(object);
    const bool countFits =
        !usesCount || (object.n >= 0 && static_cast<std::size_t>(object.n) <= capacity);
    if (countFits && capacity >= 3) return;
    console().line("Should not be here [gisO_%n outside gisO_%x] - please contact " +
                   std::string(kSupportAddress) + ".");
    reportValue("GIS Layer   =", gisID);
    reportValue("gisO_%n     =", object.n);
    EXITS();
}

// The set of a Shapefile layer that receives an object of this kind (a text is the point it stands
// at); kNoSet for the kinds that have no set of their own.
std::size_t shapefileSet(GisKind kind) {
    switch (kind) {
    case GisKind::Point:
    case GisKind::Text:
    case GisKind::MultiPoint:
        return 0;
    case GisKind::Line:
    case GisKind::Pline:
    case GisKind::PlineMultiple:
        return 1;
    case GisKind::Region:
        return 2;
    case GisKind::None:
    case GisKind::Unset:
        return kNoSet;
    }
    return kNoSet;
}

void writeShapefileObject(GisLayer& layer, GisObject& object) {
    switch (object.kind) {
    case GisKind::Unset:
        gisFail("Should not be here [gisWriteObject-shp].  Please contact " +
                std::string(kSupportAddress) + ".");
    case GisKind::None:
        for (std::size_t s = 0; s < layer.sets.size(); ++s)
            if (layer.tables[s].unit > 0) shpWriteObject(object, layer.sets[s]);
        return;
    case GisKind::Text:
        // In a Shapefile layer a text is the point it stands at.
        object.kind = GisKind::Point;
        break;
    case GisKind::Point:
    case GisKind::Line:
    case GisKind::Pline:
    case GisKind::PlineMultiple:
    case GisKind::Region:
    case GisKind::MultiPoint:
        break;
    }
    const std::size_t k = shapefileSet(object.kind);
    // A kind whose set was not created with the layer has nowhere to go.
    if (layer.sets[k].shpLittle <= 0) gisShouldNotBeHere("[gisWriteObject-shpnotopen]");
    shpWriteObject(object, layer.sets[k]);
}

} // namespace

void gisInitialiseObject(GisObject& object) {
    object.kind = GisKind::Unset;
    object.reserveParts(1);
    object.nr = 1;
    object.ir[0] = 1;
    object.typeName.clear();
}

void gisWriteObject(int gisID, GisObject& object) {
    if (!validId(gisID)) gisShouldNotBeHere("gisWriteObject[gisID=0]");
    if (hasParts(object.kind)) checkParts(gisID, object);
    if (object.kind != GisKind::None) checkVertices(gisID, object);

    GisLayer& layer = gisLayer(gisID);
    switch (layer.format) {
    case kFormatMif:
        mifWriteObject(object, layer.mifUnit);
        break;
    case kFormatShapefile:
        writeShapefileObject(layer, object);
        break;
    default:
        gisShouldNotBeHere("[gisWriteObject]");
    }
}

void gisWriteRecord(int gisID, GisObject& object) {
    if (!validId(gisID)) gisShouldNotBeHere("gisWriteRecord[gisID=0]");
    GisLayer& layer = gisLayer(gisID);
    switch (layer.format) {
    case kFormatMif: {
        OutStream& out = unitOutput(layer.midUnit);
        out.putLine(trimRight(object.attributes));
        if (out.failed())
            gisFail("ERROR 0254 - Failed to write attribute data record for a " +
                    std::string(trimRight(cutTo(object.typeName, kTypeNameLength))) +
                    " object in GIS layer.");
        break;
    }
    case kFormatShapefile: {
        const std::size_t k = shapefileSet(object.kind);
        if (k == kNoSet) {
            if (object.kind != GisKind::None)
                gisFail("Should not be here [gisWriteRecord-dbf].  Please contact " +
                        std::string(kSupportAddress) + ".");
            for (DbfTable& table : layer.tables) {
                if (table.unit <= 0) continue;
                ++table.recordsWritten;
                dbfdataline(table);
            }
            return;
        }
        DbfTable& table = layer.tables[k];
        if (table.unit <= 0) gisShouldNotBeHere("[gisWriteRecord-dbfnotopen]");
        ++table.recordsWritten;
        dbfdataline(table);
        break;
    }
    default:
        gisShouldNotBeHere("[gisWriteRecord]");
    }
}

} // namespace vk
