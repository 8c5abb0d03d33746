// The conversion report (-report): one web page beside the cross-section layers that shows the
// run's summary and warnings, a map of what was written and every section's profile. It is
// written as the conversion goes, in blocks of records that the page's own script puts together
// when it is opened, so the memory it takes does not grow with the export.
//
//   ConversionReport report(settings);   // opens <folder><base>_report.html through OPENER
//   report.centreline(ids, line);        // every centreline of the stream network
//   report.crossSectionsBegin();
//   Process_sdf_Sections(ids, section, layers, folder, &report);  // every section
//   report.finish(counts);               // the run's counts; closes the page
//
// From its opening to finish() the report watches the console: every line that begins with
// "Warning", "WARNING", "Error" or "ERROR" becomes a warning of the page, of the section whose
// reading or processing wrote it. A run that ends early leaves a page that says so.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/sdf.h"
#include "driver/sections.h"
#include "driver/settings.h"
#include "driver/summary.h"
#include "files/console.h"
#include "files/context.h"

namespace vk {

// The page's script: report/page.js with the summary of the run's counts composed from
// kRunCounts.
const std::string& reportScript();

// The report's file: the cross-section layers' folder and base name + "_report.html".
std::string reportName(const OutputNames& output);

class ConversionReport final : public SectionObserver, private ConsoleWatcher {
  public:
    // Writes to run's units and watches its console.
    ConversionReport(RunContext& run, const RunSettings& settings);
    ~ConversionReport() override;
    ConversionReport(const ConversionReport&) = delete;
    ConversionReport& operator=(const ConversionReport&) = delete;

    void centreline(const SdfIds& ids, const GisObject& line);
    void crossSectionsBegin();
    void processed(const ProcessedSection& result) override;
    // The header's units and, with -results, its profiles' names.
    void header(const SdfHeader& header, bool results);
    // The model's results of the section just shown: per profile its water elevation (NaN for
    // none) and where its water meets the ground, on the map (x, y left and right) and along the
    // profile (NaN where the section has no surface line or no extent); the bank stations along
    // the profile.
    void sectionResults(std::span<const double> levels, std::span<const double> extents,
                        std::span<const double> distances, std::span<const double> banks);
    void region(const SdfRegion& region);
    // Writes the run's counts, ends the page and closes it; nothing is written after.
    // `error`: the error that ends the run once the page is closed (empty for none).
    void finish(const RunCounts& counts, std::string_view error = {});

  private:
    void consoleLine(std::string_view text) override;
    void record(); // starts a record, in a new block when the block is full
    void put();    // hands the record to the file
    void appendMapLine(const ProcessedSection& result);
    void appendProfile(const ProcessedSection& result);
    // The points as the map draws them: with -t_srs transformed (into mapX_, mapY_; a point that
    // cannot be transformed is NaN), else as they are. Good until the next call.
    std::pair<std::span<const double>, std::span<const double>> mapped(std::span<const double> x,
                                                                       std::span<const double> y);

    RunContext& run_;
    int unit_ = 0;
    bool watching_ = false;
    int recordsInBlock_ = 0;
    std::string text_; // the record being composed
    std::string lastWarning_;
    std::int64_t sections_ = 0;
    std::string lastStream_, lastReach_; // of the section before
    // Reused for every section: the kept points of the map's surface line.
    std::vector<std::uint32_t> kept_;
    std::vector<unsigned char> shown_;
    std::vector<std::pair<std::size_t, std::size_t>> spans_;
    std::optional<CrsTransform> transform_;  // -t_srs
    std::vector<double> mapX_, mapY_;
};

} // namespace vk
