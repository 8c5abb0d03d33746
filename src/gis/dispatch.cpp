// Header, object and record dispatch: the checks on the geometry object, the hand-over to the
// layer's writer, and the end of the run when the writer reports a failure.
#include <algorithm>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/gis.h"
#include "gis/registry.h"
#include "gis/state.h"
#include "text/fixedpoint.h"
#include "text/strings.h"

namespace vk {

namespace {

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
    case GisKind::Pline:
    case GisKind::Region:
        return true;
    case GisKind::Unset:
    case GisKind::None:
    case GisKind::Point:
        return false;
    }
    return false;
}


std::size_t vertexCapacity(const GisObject& object) {
    return std::min(object.X.size(), object.Y.size());
}

// Parts of pline and region objects: at least one part starting at a vertex
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

// The writers read X and Y up to the vertex count.
void checkVertices(int gisID, const GisObject& object) {
    const bool usesCount = hasParts(object.kind);
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

} // namespace

void gisInitialiseObject(GisObject& object) {
    object.kind = GisKind::Unset;
    object.reserveParts(1);
    object.nr = 1;
    object.ir[0] = 1;
    object.typeName.clear();
}

void gisWriteHeader(int gisID) {
    if (!validId(gisID)) gisShouldNotBeHere("gisWriteHeader[gisID=0]");
    GisLayer& layer = gisLayer(gisID);
    if (!layer.writer) gisShouldNotBeHere("[gisWriteHeader]");
    if (!layer.schema) gisShouldNotBeHere("[gisWriteHeader]");
    gisEndRunOn(layer.writer->header(*layer.schema, gisState().projections));
}

void gisWriteObject(int gisID, GisObject& object) {
    if (!validId(gisID)) gisShouldNotBeHere("gisWriteObject[gisID=0]");
    if (hasParts(object.kind)) checkParts(gisID, object);
    if (object.kind != GisKind::None) checkVertices(gisID, object);

    GisLayer& layer = gisLayer(gisID);
    if (!layer.writer) gisShouldNotBeHere("[gisWriteObject]");
    gisEndRunOn(layer.writer->object(object));
}

void gisWriteRecord(int gisID, GisObject& object) {
    if (!validId(gisID)) gisShouldNotBeHere("gisWriteRecord[gisID=0]");
    GisLayer& layer = gisLayer(gisID);
    if (!layer.writer) gisShouldNotBeHere("[gisWriteRecord]");
    gisEndRunOn(layer.writer->record(object));
}

} // namespace vk
