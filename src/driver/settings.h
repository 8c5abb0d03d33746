// The run settings, fixed once the command line has been scanned and the input opened.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gis/crs.h"
#include "gis/formats.h"

namespace vk {

// Where a run's tables, cross-section layers and report go, from the input's name: its folder
// part (up to and including its last "/" or "\", empty for none, and for an input that is no
// ordinary file of a folder) and its file-name part up to the first "." after its first character
// (the whole file name without one). Derived once, by setInputName (driver/layers.h).
struct OutputNames {
    std::string folder;
    std::string base;
    bool operator==(const OutputNames&) const = default;
};

// What a run does with the model's results, decided once from the options: none read (Off); read
// for the report alone, silently (-report without -results); read, written as layers and a table,
// their faults reported (-results). The reader and the results output hold it.
enum class ResultsMode { Off, ForReport, Written };

// What a caller in the same process hands a run besides its console (driver/run.h); none of
// them: the program's own run.
struct RunHooks {
    // Opens each input's dataset in place of the format's row (a caller that takes the layers in
    // memory); none: the format's own.
    std::function<std::unique_ptr<GisDataset>(RunContext&, const OutputFormat&, DatasetPlace)>
        openDataset;
    // Called between two sections with the number written so far (a caller that shows progress);
    // false ends the run as an interruption does. None: no call.
    std::function<bool(std::int64_t)> betweenSections;
};

struct RunSettings {
    // The format option given (-shp, -mif); none: the default format's layers, without a
    // projection template.
    const OutputFormat* chosenFormat = nullptr;
    bool trimToLevees = true;      // -notrim clears it
    bool report = false;           // -report: the conversion report page
    ResultsMode results = ResultsMode::Off;  // -results, or -report alone: see ResultsMode
    bool quiet = false;            // -quiet: warnings, errors, the summary and dialogues only
    bool showHelp = false;         // the program was started without arguments
    std::vector<std::string> inputs; // every file name given, in order (wildcards expanded)
    bool severalInputs = false;    // more than one: each is converted in turn, none prompted for
    std::string outFolder;         // -out: the folder every output goes into (none: beside it)
    std::string projectionFile;    // -prj: the projection template (none: beside the input)
    std::string inputName;         // trailing blanks removed; set with setInputName
    OutputNames output;            // derived from inputName
    GisProjections projections;    // read from the projection template
    // -crs: the export's coordinate system, for the template; -t_srs: the system the layers'
    // coordinates are written in. None: not given.
    std::optional<std::string> crsDefinition;
    std::optional<std::string> targetDefinition;
    std::optional<Crs> givenCrs;   // -crs and -t_srs parsed (once, before anything is written)
    std::optional<Crs> targetCrs;
    // The input's coordinate system where it is known (-crs, the template identified, the
    // header's hints), the line that says so ("Coordinate system: NAME, EPSG:n, from SOURCE"),
    // and with -t_srs the transformation of every layer's coordinates.
    std::optional<Crs> crs;
    std::string crsLine;
    std::optional<CrsTransform> transform;
    int sdfUnit = 0;
    RunHooks hooks;                // what the caller handed the run besides its console
    // -grid: the water-surface rasters' cell size; -dem: the terrain model under the depth rasters.
    std::optional<double> gridCell;
    std::string demFile;

    // The format the layers are written in.
    const OutputFormat& format() const {
        return chosenFormat ? *chosenFormat : defaultOutputFormat();
    }
};

}  // namespace vk
