// Datasets and layers: creating and closing a layer's files, the checks on each object, and the
// hand-over of header, object and record to the layer's writer.
#include "gis/dataset.h"

#include <algorithm>

#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"
#include "gis/formats.h"
#include "text/fixedpoint.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kLayerNameLength = 1000;

// One "label =" line of an internal-error report, the value as a 5-digit field.
void reportValue(Console& console, std::string_view label, std::int64_t value) {
    console.line(std::string(label) + formatInt(value, 5));
}

std::size_t vertexCapacity(const GisObject& object) {
    return std::min(object.X.size(), object.Y.size());
}

// Parts of pline and region objects: at least one part starting at a vertex of 1 or more, parts
// in strictly increasing order, and the last part starting no further than just after the last
// vertex, so that no part reaches beyond the vertices written.
void checkParts(RunContext& run, int number, GisObject& object) {
    object.reserveParts(1);
    if (object.nr < 1) object.nr = 1;
    if (object.ir[0] < 1) object.ir[0] = 1;

    const int nr = object.nr;
    if (static_cast<std::size_t>(nr) > object.ir.size()) {
        run.console.line("Should not be here [gisO_%nr > size(gisO_%ir)] - please contact " +
                       std::string(kSupportAddress) + ".");
        reportValue(run.console, "GIS Layer   =", number);
        reportValue(run.console, "gisO_%nr    =", nr);
        EXITS(run);
    }
    for (int i = 2; i <= nr; ++i) {
        const int current = object.ir[static_cast<std::size_t>(i - 1)];
        if (current <= object.ir[static_cast<std::size_t>(i - 2)]) {
            run.console.line("Should not be here [gisO_%ir(i) <= gisO_%ir(i-1)] - please contact " +
                           std::string(kSupportAddress) + ".");
            reportValue(run.console, "GIS Layer   =", number);
            reportValue(run.console, "i           =", i);
            reportValue(run.console, "gisO_%ir(i) =", current);
            reportValue(run.console, "gisO_%nr    =", nr);
            EXITS(run);
        }
    }
    const int last = object.ir[static_cast<std::size_t>(nr - 1)];
    if (static_cast<std::int64_t>(last) > static_cast<std::int64_t>(object.n) + 1) {
        run.console.line("Should not be here [gisO_%ir(nr) > gisO_%n+1] - please contact " +
                       std::string(kSupportAddress) + ".");
        reportValue(run.console, "GIS Layer   =", number);
        reportValue(run.console, "gisO_%ir(nr)=", last);
        reportValue(run.console, "gisO_%n     =", object.n);
        reportValue(run.console, "gisO_%nr    =", nr);
        EXITS(run);
    }
}

// The writers read X and Y up to the vertex count.
void checkVertices(RunContext& run, int number, const GisObject& object) {
    const bool usesCount = hasParts(object.kind);
    const std::size_t capacity = vertexCapacity(object);
    const bool countFits =
        !usesCount || (object.n >= 0 && static_cast<std::size_t>(object.n) <= capacity);
    if (countFits && capacity >= 3) return;
    run.console.line("Should not be here [gisO_%n outside gisO_%x] - please contact " +
                   std::string(kSupportAddress) + ".");
    reportValue(run.console, "GIS Layer   =", number);
    reportValue(run.console, "gisO_%n     =", object.n);
    EXITS(run);
}

} // namespace

GisLayer::GisLayer(GisDataset& dataset, int number, std::string name,
                   std::unique_ptr<LayerWriter> writer, const GisSchema& schema)
    : run_(dataset.run_), dataset_(&dataset), number_(number), name_(std::move(name)),
      writer_(std::move(writer)), schema_(schema) {}

GisLayer::~GisLayer() {
    if (dataset_) std::erase(dataset_->open_, this);
}

void GisLayer::writeHeader() {
    gisEndRunOn(run_, writer_->header(schema_, dataset_->place().projections));
}

void GisLayer::writeObject(GisObject& object) {
    if (hasParts(object.kind)) checkParts(run_, number_, object);
    if (object.kind != GisKind::None) checkVertices(run_, number_, object);
    if (dataset_->place_.transform && object.kind != GisKind::None)
        gisEndRunOn(run_, dataset_->writeTransformed(*writer_, name_, object));
    else
        gisEndRunOn(run_, writer_->object(object));
}

void GisLayer::writeRecord(GisObject& object) {
    gisEndRunOn(run_, writer_->record(object));
}

void GisLayer::close() {
    if (!open_) {
        run_.console.line(
            std::string("SOFTWARE CHECK - Trying to close a GIS Layer that's not open.  "
                        "Please contact ") +
            std::string(kSupportAddress) + ".");
        return;
    }
    run_.console.line("Closing GIS Layer " + AINTEGER(number_) + " [" + name_ + "]...");
    gisEndRunOn(run_, writer_->finish());
    for (OutputFile& file : writer_->files())
        closeOwnedOutput(run_, file);
    open_ = false;
    std::erase(dataset_->open_, this);
    dataset_ = nullptr;
}

void GisLayer::settle() {
    bool whole = writer_->finish().ok();
    std::string reason;  // the first file that could not be written, and why
    for (OutputFile& file : writer_->files()) {
        const int err = file.close();
        if (err != 0 && reason.empty()) reason = " (" + file.path() + ": " + sys::errorText(err) + ")";
        whole = whole && err == 0;
    }
    if (!whole) {
        for (OutputFile& file : writer_->files())
            file.discard();
        run_.console.line("WARNING - Layer " + name_ + " could not be written whole" + reason +
                       ": its files were removed.");
    }
    open_ = false;
}

GisDataset::GisDataset(RunContext& run, const OutputFormat& format, DatasetPlace place)
    : run_(run), format_(format), place_(std::move(place)) {}

GisDataset::~GisDataset() {
    for (GisLayer* layer : open_) {
        layer->open_ = false;
        layer->dataset_ = nullptr;
    }
    if (settling_) settleOutputsAtEnd(run_.exit, nullptr);
}

std::unique_ptr<GisLayer> GisDataset::createLayer(std::string_view name, std::string_view kinds,
                                                  const GisSchema& schema) {
    const std::string_view layerName = cutTo(trimRight(name), kLayerNameLength);
    run_.console.line("Opening GIS Layer: " + std::string(layerName));

    int number = 1;
    while (std::any_of(open_.begin(), open_.end(),
                       [&](const GisLayer* layer) { return layer->number() == number; }))
        ++number;
    if (number > kMaxGisLayers)
        gisEndRunOn(run_, {GisError::TooManyLayers, AINTEGER(kMaxGisLayers)});
    run_.console.line("GIS Layer assigned ID of " + AINTEGER(number));

    auto layer = std::make_unique<GisLayer>(*this, number, std::string(layerName), makeWriter(),
                                            schema);
    gisEndRunOn(run_, layer->writer_->open(name, kinds));
    for (OutputFile& file : layer->writer_->files())
        openOwnedOutput(run_, file);
    open_.push_back(layer.get());
    if (format_.totalsPatched && !settling_) {
        settleOutputsAtEnd(run_.exit, [this] { settle(); });
        settling_ = true;
    }
    layer->writeHeader();
    return layer;
}

GisStatus GisDataset::writeTransformed(LayerWriter& writer, const std::string& layer,
                                       GisObject& object) {
    const std::size_t count =
        object.kind == GisKind::Point ? 1 : static_cast<std::size_t>(std::max(object.n, 0));
    keptX_.assign(object.X.begin(), object.X.begin() + static_cast<std::ptrdiff_t>(count));
    keptY_.assign(object.Y.begin(), object.Y.begin() + static_cast<std::ptrdiff_t>(count));
    const bool transformed = place_.transform->transform({object.X.data(), count},
                                                         {object.Y.data(), count});
    GisStatus status;
    if (!transformed)
        status = {GisError::Transform, layer + ": a vertex lies outside what the transformation " +
                                           place_.transform->description() + " takes."};
    else
        status = writer.object(object);
    std::copy(keptX_.begin(), keptX_.end(), object.X.begin());
    std::copy(keptY_.begin(), keptY_.end(), object.Y.begin());
    return status;
}

std::unique_ptr<GisLayer> GisDataset::createTable(std::string_view, const GisSchema&) {
    return nullptr;
}

void GisDataset::settle() {
    settling_ = false;
    std::vector<GisLayer*> layers = open_;
    std::sort(layers.begin(), layers.end(),
              [](const GisLayer* a, const GisLayer* b) { return a->number() < b->number(); });
    for (GisLayer* layer : layers) {
        layer->settle();
        layer->dataset_ = nullptr;
    }
    open_.clear();
}

} // namespace vk
