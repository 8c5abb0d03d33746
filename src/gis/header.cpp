// The header section of a layer's files, written once before its first object.
#include "files/units.h"
#include "gis/gis.h"
#include "gis/mif.h"
#include "gis/registry.h"
#include "text/strings.h"

namespace vk {

GisSchema gisSchema;
std::string shpProjection;
std::string mifProjection;

namespace {

// The running box of a set starts inverted at the single-precision 9.0e29, widened to double.
constexpr double kBoxStart = static_cast<double>(9.0e29f);
// The 100-byte main-file header, in 16-bit words: where the first record begins.
constexpr std::int32_t kFirstRecordOffset = 50;

void writeProjectionFile(ShapeSet& set) {
    if (set.prj <= 0) return;
    OutStream& out = unitOutput(set.prj);
    out.putLine(trimRight(shpProjection));
    if (!out.flush()) gisFail("ERROR 0437 - Writing .shp file header.");
    CLOSER(set.prj);
}

void writeShapefileHeaders(GisLayer& layer) {
    for (std::size_t k = 0; k < layer.sets.size(); ++k) {
        ShapeSet& set = layer.sets[k];
        if (set.shpLittle <= 0) continue;
        writeProjectionFile(set);
        shpWriteHeader(set, set.shpLittle, set.shpBig);
        shpWriteHeader(set, set.shxLittle, set.shxBig);
        // Every later .shx write is a big-endian index entry.
        CLOSER(set.shxLittle);
        set.xmin = set.ymin = kBoxStart;
        set.xmax = set.ymax = -kBoxStart;
        set.nextRecordOffset = kFirstRecordOffset;
        dbfWriteHeader(gisSchema, layer.tables[k]);
        layer.tables[k].recordsWritten = 0;
    }
}

} // namespace

void gisWriteHeader(int gisID) {
    if (gisID < 1 || gisID > kMaxGisLayers) gisShouldNotBeHere("gisWriteHeader[gisID=0]");
    GisLayer& layer = gisLayer(gisID);
    switch (layer.format) {
    case kFormatMif:
        mifWriteHeader(gisSchema, layer.mifUnit);
        break;
    case kFormatShapefile:
        writeShapefileHeaders(layer);
        break;
    default:
        gisShouldNotBeHere("[gisWriteHeader]");
    }
}

} // namespace vk
