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
#include "files/platform.h"
#include "files/units.h"
#include "gis/gis.h"
#include "gis/object.h"
#include "gis/schema.h"
#include "text/strings.h"

namespace vk {

namespace {

// An interrupted run ends as a failed one, saying how far its outputs go.
[[noreturn]] void endInterrupted(std::int64_t sectionsWritten) {
    console().breakLine("ERROR - Interrupted; the outputs hold the sections written before section " +
                        std::to_string(sectionsWritten + 1) + ".");
    EXITS();
}

// One conversion from the command line to "Finished."; always ends through EXITS.
[[noreturn]] void convert(const std::vector<std::string>& args) {
    INITFILEUNITS(kFileUnitBase);

    RunSettings settings;
    scanCommandLine(args, settings);
    readProjectionTemplate(settings);
    openInputFile(settings);

    ConversionOutput out(settings);
    try {
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
    } catch (const RunInterrupted&) {
        // The layers are closed out with the sections written so far, so that a GIS reads them.
        out.closeOpenLayers();
        endInterrupted(out.sectionsWritten());
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
    // The program's own process: interruptions, a console that went away and a file-size limit
    // end its run in good order instead of the process where it stands.
    sys::watchInterruptions();
    return run(std::vector<std::string>(argv, argv + argc));
}

int run(const std::vector<std::string>& args) {
    // Every conversion starts from a state of its own, released when it ends: the console is as
    // it was before once the state is out of use.
    RunState state;
    const RunStateScope use(state);
    int status = 1;
    try {
        try {
            convert(args);
        } catch (const RunInterrupted&) {
            endInterrupted(0);  // before any output was opened
        }
    } catch (const RunEnd& end) {
        status = end.status;
    }
    console().flush();
    return status;
}

} // namespace vk
