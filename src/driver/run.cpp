#include "driver/run.h"

#include "driver/cmdline.h"
#include "driver/output.h"
#include "driver/readahead.h"
#include "driver/runstate.h"
#include "driver/sdf_reader.h"
#include "driver/settings.h"
#include "driver/summary.h"
#include "driver/templates.h"
#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/gis.h"
#include "gis/object.h"
#include "gis/schema.h"
#include "text/strings.h"

namespace vk {

namespace {

// One conversion from the command line to "Finished."; always ends through EXITS.
[[noreturn]] void convert(const std::vector<std::string>& args) {
    INITFILEUNITS(kFileUnitBase);

    RunSettings settings;
    scanCommandLine(args, settings);
    readProjectionTemplate(settings);
    openInputFile(settings);

    ConversionOutput out(settings);
    out.openStreamLayer();
    SdfSection section;
    GisObject centreline;  // the reader's: each centreline's vertices, as it completes them
    ReadAhead ahead(out);
    SdfReader reader(unitInput(settings.sdfUnit), settings.trimToLevees, centreline, section,
                     ahead);
    ahead.read(reader);

    // Any file at all can be named: one in which not a single keyword was found is not taken
    // for an export that happened to be empty.
    if (!reader.foundKeyword()) {
        console().breakLine("ERROR - No stream network or cross-sections found in " +
                            std::string(trimRight(settings.inputName)) + ".");
        EXITS();
    }
    out.commitPackage();
    // The counts of the run, complete once the layers are closed.
    writeRunSummary(out.counts());
    console().breakLine("Finished.");
    markRunFinished();
    EXITS();
}

} // namespace

int run(int argc, char** argv) {
    return run(std::vector<std::string>(argv, argv + argc));
}

int run(const std::vector<std::string>& args) {
    // Every conversion starts from a state of its own, released when it ends: the console is as
    // it was before once the state is out of use.
    RunState state;
    const RunStateScope use(state);
    int status = 1;
    try {
        convert(args);
    } catch (const RunEnd& end) {
        status = end.status;
    }
    console().flush();
    return status;
}

} // namespace vk
