// The six output layers of a conversion and the processing of each cross-section: the output
// side that the SDF reader hands its results to.
#pragma once

#include <memory>

#include "driver/sdf.h"
#include "driver/report.h"
#include "driver/floodmaps.h"
#include "driver/results.h"
#include "driver/sections.h"
#include "driver/settings.h"
#include "driver/summary.h"

namespace vk {

class RunState;  // driver/runstate.h

// The error that ends a run on a file in which not one keyword was found.
std::string notAnExportMessage(std::string_view inputName);

class ConversionOutput : public SdfConsumer, private SectionObserver {
public:
    // Writes for the run `run`: its dataset, tables and report through run's units, its messages
    // on run's console.
    ConversionOutput(RunState& run, const RunSettings& settings);

    // Creates the stream layer (after the SDF file has been opened), and with -report the report
    // page. Opens the run's dataset first (a package's name claimed before anything is written).
    void openStreamLayer();

    void centreline(const SdfIds& ids, GisObject& line) override;
    void streamNetworkDone() override;  // closes the stream layer, creates the five others
    void section(const SdfIds& ids, const SdfSection& section) override;
    void crossSectionsDone() override;  // closes the five cross-section layers and the report
    // Commits the dataset at the end of a finished run (a package put in its place, with a line
    // naming it).
    void finishDataset();
    // What an unfinished run says it left in place of the dataset; empty for nothing.
    std::string unfinished() const;
    // A run cut short: the layers still open are closed with what they hold (the report is left
    // to say that the run did not finish).
    void closeOpenLayers();
    // The sections handed over and written in full.
    std::int64_t sectionsWritten() const { return sectionsWritten_; }
    void header(const SdfHeader& header) override;
    void region(const SdfRegion& region) override;
    void notAnExport() override { notAnExport_ = true; }

    const ConversionReport* report() const { return report_.get(); }  // none without -report

    // The features and tables written so far (the warnings are the run's to count).
    const RunCounts& written() const { return written_; }
    // What the run wrote, and the warnings since the stream layer was created: the one count of
    // the run, which its summary and the report show.
    RunCounts counts() const;

private:
    void closeSectionLayers();
    void processed(const ProcessedSection& result) override; // counts, then shows the report
    // The rows of a section's table in the package's table of tables.
    void tableRows(const ProcessedSection& result);

    RunState& run_;
    const RunSettings& settings_;
    RunCounts written_;
    std::int64_t alertsAtStart_ = 0;
    std::int64_t sectionsWritten_ = 0;
    std::unique_ptr<GisDataset> dataset_;  // from openStreamLayer
    std::unique_ptr<GisLayer> streamLayer_;
    SectionLayers sectionLayers_;           // by SectionLayer
    std::unique_ptr<GisLayer> tablesLayer_; // a package's table of every section's table; or none
    GisObject row_;
    std::unique_ptr<ConversionReport> report_;
    std::unique_ptr<ResultsOutput> results_; // with -results
    std::unique_ptr<FloodMaps> floodMaps_;   // with -grid or -dem
    bool notAnExport_ = false;
};

}  // namespace vk
