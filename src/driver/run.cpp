#include "driver/run.h"

#include <map>
#include <string>

#include "driver/cmdline.h"
#include "driver/layers.h"
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
#include "gis/object.h"
#include "gis/schema.h"
#include "text/names.h"
#include "text/strings.h"

namespace vk {

namespace {

// An interrupted run ends as a failed one, saying how far its outputs go. The GeoPackage is
// not put in place: an earlier one stays as it was.
// unfinished: what the run's dataset says it left in place (empty: nothing to say).
[[noreturn]] void endInterrupted(RunState& run, std::int64_t sectionsWritten,
                                 const std::string& unfinished) {
    run.console.breakLine(
        "ERROR - Interrupted; the outputs hold the sections written before section " +
        std::to_string(sectionsWritten + 1) + ".");
    if (!unfinished.empty()) run.console.line(unfinished);
    EXITS(run.context);
}

// -out's folder, made with every missing folder above it once the input is open, before
// anything is written in it.
void createOutputFolder(RunState& run, const RunSettings& settings) {
    if (settings.outFolder.empty()) return;
    if (const int error = sys::createFolders(settings.outFolder)) {
        run.console.breakLine("ERROR - Can't create output folder " + settings.outFolder + ": " +
                            sys::errorText(error) + ".");
        EXITS(run.context);
    }
}

// One input's conversion, from its projection template to "Finished."; always ends through
// EXITS.
[[noreturn]] void convertInput(RunState& run, RunSettings& settings) {
    try {
        readProjectionTemplate(run.context, settings);
        openInputFile(run.context, settings);
    } catch (const RunInterrupted&) {
        endInterrupted(run, 0, {});  // at a prompt, before any output was opened
    }
    createOutputFolder(run, settings);
    run.tablesFolder = sys::resolvedPath(settings.output.folder) + '/';
    if (const std::string name = foldNameCase(settings.inputName); name.ends_with(".CSV")) {
        run.exportAsTable = name;
        sys::pathInfo(settings.inputName, run.exportFile);
    }

    ConversionOutput out(run, settings);
    try {
        out.openStreamLayer();
        SdfSection section;
        GisObject centreline;  // the reader's: each centreline's vertices, as it completes them
        ReadAhead ahead(run.context, out);
        SdfReader reader(unitInput(run.units, settings.sdfUnit), settings.trimToLevees, centreline,
                         section, ahead);
        reader.readResults(settings.results);
        ahead.read(reader);

        // Any file at all can be named: one in which not a single keyword was found is not taken
        // for an export that happened to be empty.
        if (!reader.foundKeyword()) {
            run.console.breakLine(notAnExportMessage(settings.inputName));
            EXITS(run.context);
        }
    } catch (const RunInterrupted&) {
        // The layers are closed out with the sections written so far, so that a GIS reads them.
        out.closeOpenLayers();
        endInterrupted(run, out.sectionsWritten(), out.unfinished());
    }
    out.finishDataset();
    // The counts of the run, complete once the layers are closed.
    writeRunSummary(run.console, out.counts());
    run.console.breakLine("Finished.");
    markRunFinished(run.exit);
    EXITS(run.context);
}

// Two inputs whose outputs would have the same names in one folder: nothing is written.
void refuseCollidingOutputs(RunState& run, const RunSettings& settings) {
    std::map<std::string, std::string> first;  // folded folder and base name -> its input
    for (const std::string& input : settings.inputs) {
        RunSettings one = settings;
        setInputName(one, input);
        // The folder as the system resolves it: "d/", "./d/" and "/x/d/" are one folder.
        const std::string folder = sys::resolvedPath(one.output.folder);
        const auto [at, added] =
            first.emplace(foldNameCase(folder + '\n' + one.output.base), input);
        if (added) continue;
        run.console.breakLine("ERROR - Inputs " + at->second + " and " + input +
                            " would write outputs of the same names in one folder.");
        EXITS(run.context);
    }
}

// Each input in turn, with a run state of its own (its tables shared, so that none takes the
// place of another's): one that fails does not stop the others.
[[noreturn]] void convertEach(RunState& outer, const RunSettings& settings) {
    refuseCollidingOutputs(outer, settings);
    NameRegistry tables;
    const std::string count = std::to_string(settings.inputs.size());
    std::size_t finished = 0;
    for (std::size_t k = 0; k < settings.inputs.size(); ++k) {
        RunSettings one = settings;
        setInputName(one, settings.inputs[k]);
        {
            const ConsoleDialogue shown(outer.console);
            outer.console.breakLine("Converting " + std::to_string(k + 1) + " of " + count + ": " +
                                one.inputName);
        }
        RunState state(outer.console);  // a console of its own on the same terminal
        state.tables = &tables;
        state.inputsAsTables = outer.inputsAsTables;
        state.exit.closingPause = false;
        state.console.setQuiet(settings.quiet);
        INITFILEUNITS(state.context, kFileUnitBase);
        // Its outputs stay held, and every input protected, until the whole run ends.
        nestUnitTable(state.units, outer.units);
        try {
            convertInput(state, one);
        } catch (const RunEnd& end) {
            if (end.status == 0) ++finished;
        }
        if (sys::interrupted()) break;  // the interruption was meant for the whole run
    }
    {
        const ConsoleDialogue shown(outer.console);
        outer.console.breakLine("Converted " + std::to_string(finished) + " of " + count +
                                " files.");
    }
    if (finished == settings.inputs.size()) markRunFinished(outer.exit);
    EXITS(outer.context);
}

// The command line, then one input or several; always ends through EXITS.
[[noreturn]] void convert(RunState& run, const std::vector<std::string>& args,
                          const RunHooks& hooks) {
    INITFILEUNITS(run.context, kFileUnitBase);

    RunSettings settings;
    scanCommandLine(run.context, args, settings);
    settings.hooks = hooks;
    // No output may take the place of an input, not even one converted later.
    for (const std::string& input : settings.inputs) {
        protectInput(run.units, input);
        if (foldNameCase(input).ends_with(".CSV")) run.inputsAsTables = true;
    }
    if (settings.severalInputs) convertEach(run, settings);
    convertInput(run, settings);
}

} // namespace

int run(int argc, char** argv) {
    // The program's own process: interruptions, a console that went away and a file-size limit
    // end its run in good order instead of the process where it stands.
    sys::watchInterruptions();
    // Names in any language reach the run and the console whole: UTF-8 for as long as it lasts.
    const sys::Utf8Console utf8;
    Console console;  // the process's standard output and input
    return run(sys::programArguments(argc, argv), console);
}

int run(const std::vector<std::string>& args, Console& console, const RunHooks& hooks) {
    // Every conversion starts from a state of its own, released when it ends: what it set on its
    // console goes with it.
    RunState state(console);
    int status = 1;
    try {
        convert(state, args, hooks);
    } catch (const RunEnd& end) {
        status = end.status;
    }
    state.console.flush();
    return status;
}

} // namespace vk
