#include "driver/layers.h"

#include <algorithm>
#include <span>

#include "driver/output.h"
#include "driver/runstate.h"
#include "driver/sections.h"
#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr FieldLayout kStreamFields[] = {text("Stream_ID", 100), text("Reach_ID", 100)};

constexpr FieldLayout kSurfacePointFields[] = {
    text("Stream_ID", 100), text("Reach_ID", 100), text("Station", 100),
    real("Elevation", 10, 3), real("Mannings", 8, 4),
};

constexpr FieldLayout kEndPointFields[] = {
    real("Z", 8, 4),
    real("dZ", 8, 4),
    real("Shape_Width_or_dMax", 10, 3),
    text("Shape_Options", 20),
};

constexpr FieldLayout kSurfaceLineFields[] = {
    text("Source", 50),         text("Type", 2),          text("Flags", 8),
    text("Column_1", 20),       text("Column_2", 20),     text("Column_3", 20),
    text("Column_4", 20),       text("Column_5", 20),     text("Column_6", 20),
    real("Z_Increment", 10, 3), real("Z_Maximum", 8, 3), real("Skew", 8, 3),
    text("Comments", 200),
};

constexpr FieldLayout kCutLineFields[] = {
    text("Stream_ID", 100),
    text("Reach_ID", 100),
    text("Station", 100),
};

// A package's one table of every section's table, a row per table row.
constexpr FieldLayout kTableFields[] = {
    text("Stream_ID", 100), text("Reach_ID", 100), text("Station", 100),
    text("Table_Name", 1000), real("Distance", 10, 3), real("Elevation", 8, 4),
    real("Mannings", 8, 4),
};

constexpr FieldLayout kLeveePointFields[] = {
    text("Stream_ID", 100), text("Reach_ID", 100), text("Station", 100),
    real("Elevation", 10, 3), {"Levee_ID", "Char", 100, 0, 0, true},
};

// Geometry kind letter and schema of each cross-section layer, in order of creation.
struct LayerLayout {
    std::string_view kind;
    std::span<const FieldLayout> fields;
};

constexpr LayerLayout kSectionLayouts[kSectionLayerCount] = {
    {"P", kSurfacePointFields}, {"P", kEndPointFields},   {"L", kSurfaceLineFields},
    {"L", kCutLineFields},      {"P", kLeveePointFields},
};

std::size_t fileNameStart(std::string_view path) {
    const std::size_t last = path.find_last_of("/\\");
    // "D:river.sdf" is in the current folder of D:, its folder part "D:" (and never part of a
    // layer's name, where the colon would name a stream of a file).
    const std::size_t drive = PATHROOTLENGTH(path) == 2 ? 2 : 0;
    return last == std::string_view::npos ? drive : last + 1;
}

// An output's name from the input's file name: a ":" there (on Windows the name of a stream of a
// file) is written "_", on every system, as in the tables' names, so that no output is hidden in a
// stream of another file.
std::string outputFilePart(std::string_view file) {
    std::string part(file);
    std::replace(part.begin(), part.end(), ':', '_');
    return part;
}

}  // namespace

namespace {

GisSchema schemaOf(std::span<const FieldLayout> fields) {
    GisSchema schema;
    schema.fieldCount = static_cast<int>(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldLayout& field = fields[i];
        schema.fields[i] = {std::string(field.name), std::string(field.type), field.width,
                            field.valueWidth, field.decimals, field.bare};
    }
    return schema;
}

} // namespace

std::unique_ptr<GisLayer> createLayer(GisDataset& dataset, const std::string& name,
                                      std::string_view kind, std::span<const FieldLayout> fields) {
    return dataset.createLayer(name, kind, schemaOf(fields));
}

std::unique_ptr<GisLayer> createTable(GisDataset& dataset, const std::string& name,
                                      std::span<const FieldLayout> fields) {
    return dataset.createTable(name, schemaOf(fields));
}

std::string_view layerExtension(const OutputFormat& format) { return format.extension; }

std::string_view folderPart(std::string_view path) { return path.substr(0, fileNameStart(path)); }

std::string streamLayerName(std::string_view inputName, const OutputFormat& format) {
    std::string name(trimRight(inputName));
    name += "_streams";
    name += layerExtension(format);
    return name;
}

OutputNames outputNamesOf(std::string_view inputName) {
    const std::string_view input = trimRight(inputName);
    const std::string_view folder = folderPart(input);
    const std::string_view file = input.substr(folder.size());
    // Up to the first "." after the first character: the whole name when it has no extension
    // (a hidden file's leading "." is no extension's).
    const std::string_view base = file.substr(0, file.find('.', 1));
    return {std::string(folder), outputFilePart(base)};
}

void setInputName(RunSettings& settings, std::string_view inputName) {
    settings.inputName.assign(trimRight(inputName));
    settings.output = outputNamesOf(settings.inputName);
    if (settings.outFolder.empty()) {
        // An input that is no ordinary file of a folder of its own (standard input, a pipe, a
        // device, a process's file): the outputs go to the current folder, not among devices.
        const std::string_view folder = settings.output.folder;
        sys::FileInfo input;
        if (folder.starts_with("/dev/") || folder.starts_with("/proc/") ||
            (sys::pathInfo(settings.inputName, input) && !input.regular))
            settings.output.folder.clear();
        return;
    }
    settings.output.folder = settings.outFolder;
    if (folderPart(settings.outFolder).size() != settings.outFolder.size())
        settings.output.folder += '/';
}

std::array<std::string, kSectionLayerCount> sectionLayerNames(const OutputNames& output,
                                                              const OutputFormat& format) {
    const std::string_view folder = output.folder;
    const std::string_view base = output.base;
    const std::string_view ext = layerExtension(format);

    auto compose = [&](std::string_view prefix, std::string_view suffix) {
        std::string name;
        name.reserve(folder.size() + prefix.size() + base.size() + suffix.size() + ext.size());
        name.append(folder).append(prefix).append(base).append(suffix).append(ext);
        return name;
    };
    std::array<std::string, kSectionLayerCount> names;
    names[kSurfacePointsLayer] = compose("", "_surf_pts");
    names[kEndPointsLayer] = compose("2d_zsh_", "_end_pts");
    names[kSurfaceLinesLayer] = compose("1d_xs_", "_surf_line");
    names[kCutLinesLayer] = compose("", "_cut_line");
    names[kLeveePointsLayer] = compose("", "_levee_pts");
    return names;
}

void closeLayer(std::unique_ptr<GisLayer>& layer) {
    if (!layer) return;
    layer->close();
    layer.reset();
}

std::string notAnExportMessage(std::string_view inputName) {
    return "ERROR - No stream network or cross-sections found in " +
           std::string(trimRight(inputName)) + ".";
}

ConversionOutput::ConversionOutput(RunState& run, const RunSettings& settings)
    : run_(run), settings_(settings) {}

void ConversionOutput::openStreamLayer() {
    const OutputFormat& format = settings_.format();
    // The input's time, not the clock: the same export gives the same bytes.
    // The terrain model opened before anything is written: one that cannot be read ends the run.
    if (settings_.gridCell || !settings_.demFile.empty())
        floodMaps_ = std::make_unique<FloodMaps>(run_.context, settings_);
    sys::FileInfo input;
    const std::int64_t time = sys::pathInfo(settings_.inputName, input) ? input.modified : 0;
    DatasetPlace place{settings_.output.folder, settings_.output.base, settings_.projections, time,
                       settings_.transform};
    const auto& open = settings_.hooks.openDataset;
    dataset_ = open ? open(run_.context, format, std::move(place))
                    : format.openDataset(run_.context, format, std::move(place));
    // Named after the whole input name, in the output folder.
    const std::string_view inputName = settings_.inputName;
    const std::string file = outputFilePart(inputName.substr(folderPart(inputName).size()));
    streamLayer_ = createLayer(*dataset_, streamLayerName(settings_.output.folder + file, format),
                               "L", kStreamFields);
    if (settings_.report) report_ = std::make_unique<ConversionReport>(run_.context, settings_);
    if (settings_.results != ResultsMode::Off)
        results_ = std::make_unique<ResultsOutput>(run_.context, settings_);
    if (results_) results_->floodMaps(floodMaps_.get());
    alertsAtStart_ = run_.console.alertLines();
}

void ConversionOutput::centreline(const SdfIds& ids, GisObject& line) {
    if (sys::interrupted()) throw RunInterrupted{};
    line.kind = GisKind::Pline;
    line.setValues({textValue(ids.streamId), textValue(ids.reachId)});
    if (floodMaps_) floodMaps_->centreline(ids, line);
    streamLayer_->writeObject(line);
    streamLayer_->writeRecord(line);
    ++written_.centrelines;
    if (report_) report_->centreline(ids, line);
}

void ConversionOutput::streamNetworkDone() {
    streamLayer_->close();
    streamLayer_.reset();

    const auto names = sectionLayerNames(settings_.output, settings_.format());
    for (std::size_t i = 0; i < kSectionLayerCount; ++i)
        sectionLayers_[i] = createLayer(*dataset_, names[i], kSectionLayouts[i].kind,
                                        kSectionLayouts[i].fields);
    if (results_) results_->open(*dataset_);
    if (floodMaps_) floodMaps_->open(*dataset_);
    tablesLayer_ = createTable(*dataset_,
                               settings_.output.folder + settings_.output.base + "_tables" +
                                   std::string(layerExtension(settings_.format())),
                               kTableFields);
    if (report_) report_->crossSectionsBegin();
}

void ConversionOutput::section(const SdfIds& ids, const SdfSection& section) {
    // Between two sections: an interrupted run's outputs hold whole sections only.
    if (sys::interrupted()) throw RunInterrupted{};
    const auto& between = settings_.hooks.betweenSections;
    if (between && !between(sectionsWritten_)) throw RunInterrupted{};
    Process_sdf_Sections(run_, ids, section, sectionLayers_, settings_.output.folder, this,
                         dataset_->tablesAsFiles());
    if (results_) results_->section(ids, section, report_.get());
    ++sectionsWritten_;
}

void ConversionOutput::header(const SdfHeader& header) {
    if (results_) results_->header(header);
    if (report_) report_->header(header, results_ != nullptr);
}

void ConversionOutput::region(const SdfRegion& region) {
    if (floodMaps_) floodMaps_->limits(region);
    if (!results_) return;
    results_->region(region);
    if (report_) report_->region(region);
}

void ConversionOutput::processed(const ProcessedSection& result) {
    if (result.cutLineWritten) ++written_.cutLines;
    if (result.points > 0) {
        // A section with a surface line has its table and both end points, whatever is dropped.
        ++written_.tables;
        written_.endPoints += 2;
        if (result.surfaceLineWritten) ++written_.surfaceLines;
        written_.surfacePoints +=
            std::count(result.drop.begin(), result.drop.end(), static_cast<unsigned char>(0));
        written_.leveePoints += static_cast<std::int64_t>(result.levees);
    }
    if (tablesLayer_ && result.points > 0) tableRows(result);
    if (report_) report_->processed(result);
}

void ConversionOutput::tableRows(const ProcessedSection& result) {
    const std::vector<float>& z = result.section->surfaceZ;
    row_.kind = GisKind::None;
    row_.setValues({textValue(result.streamId), textValue(result.reachId),
                    textValue(result.station), textValue(result.csvName), realValue(0.0),
                    realValue(0.0), realValue(0.0)});
    for (std::size_t i = 0; i < result.points; ++i) {
        if (result.drop[i]) continue;
        row_.values[4].real = result.chainage[i];
        row_.values[5].real = z[i];
        row_.values[6].real = result.nAtPoint.empty() ? 0.0 : result.nAtPoint[i];
        tablesLayer_->writeRecord(row_);
        row_.repeated = 4;
    }
}

void ConversionOutput::finishDataset() {
    if (dataset_) dataset_->finish();
}

std::string ConversionOutput::unfinished() const {
    return dataset_ ? dataset_->unfinished() : std::string();
}

RunCounts ConversionOutput::counts() const {
    RunCounts counts = written_;
    counts.warnings = run_.console.alertLines() - alertsAtStart_;
    if (results_) results_->addCounts(counts);
    if (floodMaps_) floodMaps_->addCounts(counts);
    return counts;
}

void ConversionOutput::closeSectionLayers() {
    constexpr SectionLayer kClosingOrder[] = {kSurfacePointsLayer, kSurfaceLinesLayer,
                                              kCutLinesLayer, kLeveePointsLayer, kEndPointsLayer};
    for (const SectionLayer layer : kClosingOrder)
        closeLayer(sectionLayers_[layer]);
    if (results_) results_->close();
    closeLayer(tablesLayer_);
}

void ConversionOutput::crossSectionsDone() {
    if (floodMaps_) floodMaps_->close();
    closeSectionLayers();
    // The counts are complete only once the layers are closed: their messages come first.
    if (report_) report_->finish(counts(), notAnExport_ ? notAnExportMessage(settings_.inputName)
                                                        : std::string());
}

void ConversionOutput::closeOpenLayers() {
    closeLayer(streamLayer_);
    closeSectionLayers();
}

}  // namespace vk
