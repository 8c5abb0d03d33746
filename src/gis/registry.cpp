// The layer table: opening and closing of layers.
#include "gis/registry.h"

#include <algorithm>

#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"
#include "gis/formats.h"
#include "gis/gis.h"
#include "gis/gpkg.h"
#include "gis/state.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kLayerNameLength = 1000;
constexpr std::size_t kExtensionLength = 16;

bool validId(int gisID) {
    return gisID >= 1 && gisID <= kMaxGisLayers;
}

// A 2-character mode as a blank-padded field: the first two characters, padded with blanks.
bool isWriteMode(std::string_view mode) {
    const char first = mode.size() > 0 ? mode[0] : ' ';
    const char second = mode.size() > 1 ? mode[1] : ' ';
    return first == 'O' && second == ' ';
}

// The layers whose headers hold totals, still open when the run ends early (a write that failed,
// an error): each is closed out with the features written so far, as an interrupted run's are,
// or, where that fails too (a full disk), its files are removed, with a warning naming it after
// the error. Never a set whose headers count no features while features sit behind them.
void settleOpenLayers() {
    for (int id = 1; id <= kMaxGisLayers; ++id) {
        GisLayer& layer = gisState().layers[static_cast<std::size_t>(id)];
        if (!layer.open || !layer.writer) continue;
        const OutputFormat* format =
            outputFormatOfExtension(cutTo(FILEEXT(layer.name), kExtensionLength));
        if (format == nullptr || !format->totalsPatched) continue;
        bool whole = layer.writer->finish().ok();
        std::string reason;  // the first file that could not be written, and why
        for (OutputFile& file : layer.writer->files()) {
            const int err = file.close();
            if (err != 0 && reason.empty()) reason = " (" + file.path() + ": " + sys::errorText(err) + ")";
            whole = whole && err == 0;
        }
        if (!whole) {
            for (OutputFile& file : layer.writer->files())
                file.discard();
            console().line("WARNING - Layer " + layer.name + " could not be written whole" +
                           reason + ": its files were removed.");
        }
        gisInitialiseLayer(id);
        layer.open = false;
    }
}

} // namespace

GisLayer& gisLayer(int gisID) {
    if (!validId(gisID)) gisShouldNotBeHere("[gisLayer]");
    return gisState().layers[static_cast<std::size_t>(gisID)];
}

int gisOpenLayer(std::string_view name, std::string_view kinds, std::string_view mode,
                 const GisSchema& schema) {
    const std::string_view layerName = cutTo(trimRight(name), kLayerNameLength);
    console().line("Opening GIS Layer: " + std::string(layerName));

    const auto& layers = gisState().layers;
    int gisID = 0;
    for (int id = 1; id <= kMaxGisLayers; ++id) {
        if (!layers[static_cast<std::size_t>(id)].open) {
            gisID = id;
            break;
        }
    }
    if (gisID == 0) gisEndRunOn({GisError::TooManyLayers, AINTEGER(kMaxGisLayers)});
    console().line("GIS Layer assigned ID of " + AINTEGER(gisID));

    gisInitialiseLayer(gisID);
    GisLayer& layer = gisLayer(gisID);

    const std::string extension = std::string(cutTo(FILEEXT(name), kExtensionLength));
    std::unique_ptr<LayerWriter> writer = makeLayerWriter(extension);
    if (!writer) gisEndRunOn({GisError::UnsupportedFormat, TRIMF(extension)});

    if (!isWriteMode(mode)) gisShouldNotBeHere("[OpenGIS]");
    layer.writeMode = true;
    layer.writer = std::move(writer);
    layer.schema = std::make_unique<GisSchema>(schema);
    gisEndRunOn(layer.writer->open(name, kinds));
    for (OutputFile& file : layer.writer->files())
        openOwnedOutput(file);

    layer.open = true;
    layer.name = std::string(layerName);
    settleOutputsAtEnd(settleOpenLayers);
    return gisID;
}

void gisInitialiseLayer(int gisID) {
    if (!validId(gisID)) gisShouldNotBeHere("gisInitialiseLayer[gisID=0]");
    GisLayer& layer = gisLayer(gisID);
    layer.writeMode = false;
    layer.name.clear();
    layer.writer.reset();
    layer.schema.reset();
}

void gisCloseLayer(int& gisID) {
    if (!validId(gisID)) {
        console().line(std::string("SOFTWARE CHECK - Trying to close a GIS Layer that's not open.  "
                                   "Please contact ") +
                       std::string(kSupportAddress) + ".");
        return;
    }
    GisLayer& layer = gisLayer(gisID);
    console().line("Closing GIS Layer " + AINTEGER(gisID) + " [" + layer.name + "]...");

    if (layer.writeMode) gisWriteEoF(gisID);

    if (!layer.writer) gisShouldNotBeHere("[gisCloseLayer]");
    for (OutputFile& file : layer.writer->files())
        closeOwnedOutput(file);

    layer.open = false;
    layer.writeMode = false;
    layer.writer.reset();
    layer.schema.reset();
    gisID = 0;
}

void gisWriteEoF(int gisID) {
    if (!validId(gisID)) gisShouldNotBeHere("gisWriteEoF[gisID=0]");
    GisLayer& layer = gisLayer(gisID);
    if (!layer.writer) gisShouldNotBeHere("[gisWriteHeader]");
    gisEndRunOn(layer.writer->finish());
}

void gisResetAll() {
    GisState& state = gisState();
    for (GisLayer& layer : state.layers)
        layer = GisLayer{};
    state.errorText.fill(std::string());
    state.projections = GisProjections{};
    state.package.reset();
    state.packagePath.clear();
    state.packageTime = 0;
}

} // namespace vk
