// The layer table: opening and closing of layers, and the library's error reporting.
#include "gis/registry.h"

#include <algorithm>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/gis.h"
#include "gis/mif.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

std::array<std::string, 4> gisErrorText;

namespace {

constexpr std::size_t kErrorLineLength = 1000;
constexpr std::size_t kLayerNameLength = 1000;
constexpr std::size_t kExtensionLength = 16;

// Entry 0 is never a layer; gisIDs 1 to 100 index the rest.
std::array<GisLayer, kMaxGisLayers + 1> layers;

bool validId(int gisID) {
    return gisID >= 1 && gisID <= kMaxGisLayers;
}

// A 2-character mode as a blank-padded field: the first two characters, padded with blanks.
bool isWriteMode(std::string_view mode) {
    const char first = mode.size() > 0 ? mode[0] : ' ';
    const char second = mode.size() > 1 ? mode[1] : ' ';
    return first == 'O' && second == ' ';
}

struct SetKind {
    std::size_t index; // 0 points, 1 lines, 2 regions
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

void closeIfOpen(int& unit) {
    if (unit > 0) CLOSER(unit);
}

// A Shapefile set without records keeps its creation headers; they may still sit in the stream's
// buffer when the set's units are released.
void flushAndClose(int& unit) {
    if (unit <= 0) return;
    if (!unitOutput(unit).flush())
        gisFail("ERROR 0413 - Rewriting .dbf file header with final information.");
    CLOSER(unit);
}

// Output still in a layer's buffers reaches the disk before its units are released, so that a
// full disk is reported rather than lost in the close.
void flushMifPair(const GisLayer& layer) {
    if (layer.mifUnit > 0 && !unitOutput(layer.mifUnit).flush())
        gisFail("ERROR 0439 - Writing .mif file object coordinates.");
    if (layer.midUnit > 0 && !unitOutput(layer.midUnit).flush())
        gisFail("ERROR 0254 - Failed to write attribute data record for a " +
                std::string(trimRight(cutTo(gisO_.typeName, 24))) + " object in GIS layer.");
}

} // namespace

GisLayer& gisLayer(int gisID) {
    if (!validId(gisID)) gisShouldNotBeHere("[gisLayer]");
    return layers[static_cast<std::size_t>(gisID)];
}

void gisShouldNotBeHere(std::string_view where) {
    std::string message = "Should not be here ";
    message += where;
    message += " - please contact ";
    message += kSupportAddress;
    message += '.';
    console().line(message);
    EXITS();
}

void gisFail(std::string_view message) {
    gisErrorText[0] = std::string(cutTo(message, kErrorLineLength));
    gisReportError(1);
    EXITS();
}

void gisReportError(int blankLines) {
    for (int i = 0; i < blankLines; ++i)
        console().line();
    console().line(trimRight(gisErrorText[0]));
    for (std::size_t i = 1; i < gisErrorText.size(); ++i) {
        const std::string_view text = trimRight(gisErrorText[i]);
        if (!text.empty()) console().line(text);
    }
}

int gisOpenLayer(std::string_view name, std::string_view kinds, std::string_view mode) {
    const std::string_view layerName = cutTo(trimRight(name), kLayerNameLength);
    console().line("Opening GIS Layer: " + std::string(layerName));

    int gisID = 0;
    for (int id = 1; id <= kMaxGisLayers; ++id) {
        if (!layers[static_cast<std::size_t>(id)].open) {
            gisID = id;
            break;
        }
    }
    if (gisID == 0)
        gisFail("ERROR 0251 - Cannot have more than " + AINTEGER(kMaxGisLayers) +
                " GIS layers open at once.");
    console().line("GIS Layer assigned ID of " + AINTEGER(gisID));

    gisInitialiseLayer(gisID);
    GisLayer& layer = layers[static_cast<std::size_t>(gisID)];

    const std::string extension = std::string(cutTo(FILEEXT(name), kExtensionLength));
    if (extension.empty() || extension == ".mif" || extension == ".mid") {
        layer.format = kFormatMif;
    } else if (extension == ".shp") {
        layer.format = kFormatShapefile;
    } else {
        gisFail("ERROR 0252 - " + TRIMF(extension) + " is not a supported GIS file format.");
    }

    if (!isWriteMode(mode)) gisShouldNotBeHere("[OpenGIS]");
    layer.writeMode = true;
    constexpr std::string_view kWrite = "O ";

    if (layer.format == kFormatMif) {
        OpenmifFile(name, layer.mifUnit, layer.midUnit, kWrite);
    } else {
        for (const char c : trimRight(kinds)) {
            SetKind kind{};
            if (!setForLetter(c, kind)) gisShouldNotBeHere("[OpenshpFileType]");
            ShapeSet& set = layer.sets[kind.index];
            // A letter given twice opens its set once: opening it again would leave the first
            // set's files open on units that nothing closes.
            if (set.shpLittle > 0) continue;
            set.fileShapeType = kind.shapeType;
            OpenshpFile(name, kind.letter, layer.tables[kind.index], set, kWrite);
        }
    }

    layer.open = true;
    layer.name = std::string(layerName);
    return gisID;
}

void gisInitialiseLayer(int gisID) {
    if (!validId(gisID)) gisShouldNotBeHere("gisInitialiseLayer[gisID=0]");
    GisLayer& layer = layers[static_cast<std::size_t>(gisID)];
    layer.format = kFormatNone;
    layer.writeMode = false;
    layer.name.clear();
    layer.mifUnit = 0;
    layer.midUnit = 0;
    layer.sets.fill(ShapeSet{});
    layer.tables.fill(DbfTable{});
}

void gisCloseLayer(int& gisID) {
    if (!validId(gisID)) {
        console().line(std::string("SOFTWARE CHECK - Trying to close a GIS Layer that's not open.  "
                                   "Please contact ") +
                       std::string(kSupportAddress) + ".");
        return;
    }
    GisLayer& layer = layers[static_cast<std::size_t>(gisID)];
    console().line("Closing GIS Layer " + AINTEGER(gisID) + " [" + layer.name + "]...");

    if (layer.writeMode) gisWriteEoF(gisID);

    if (layer.format == kFormatMif) {
        flushMifPair(layer);
        closeIfOpen(layer.mifUnit);
        closeIfOpen(layer.midUnit);
    } else if (layer.format == kFormatShapefile) {
        for (std::size_t k = 0; k < layer.sets.size(); ++k) {
            ShapeSet& set = layer.sets[k];
            flushAndClose(set.shpLittle);
            flushAndClose(set.shpBig);
            flushAndClose(set.shxLittle);
            flushAndClose(set.shxBig);
            flushAndClose(set.prj);
            flushAndClose(layer.tables[k].unit);
        }
    } else {
        gisShouldNotBeHere("[gisCloseLayer]");
    }

    layer.open = false;
    layer.writeMode = false;
    layer.format = kFormatNone;
    gisID = 0;
}

void gisWriteEoF(int gisID) {
    if (!validId(gisID)) gisShouldNotBeHere("gisWriteEoF[gisID=0]");
    GisLayer& layer = layers[static_cast<std::size_t>(gisID)];
    if (layer.format == kFormatMif) return;
    if (layer.format != kFormatShapefile) gisShouldNotBeHere("[gisWriteHeader]");
    for (std::size_t k = 0; k < layer.sets.size(); ++k) {
        if (layer.tables[k].unit > 0) dbfWriteEoF(layer.tables[k]);
        shpWriteEoF(layer.sets[k]);
    }
}

void gisResetAll() {
    layers.fill(GisLayer{});
    gisErrorText.fill(std::string());

    gisInitialiseObject(gisO_);
    gisO_.n = 0;
    gisO_.attributes.clear();

    gisSchema = GisSchema{};
    shpProjection.clear();
    mifProjection.clear();
}

} // namespace vk
