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
[[noreturn]] void endInterrupted(std::int64_t sectionsWritten, const std::string& unfinished) {
    console().breakLine("ERROR - Interrupted; the outputs hold the sections written before section " +
                        std::to_string(sectionsWritten + 1) + ".");
    if (!unfinished.empty()) console().line(unfinished);
    EXITS();
}

// -out's folder, made with every missing folder above it once the input is open, before
// anything is written in it.
void createOutputFolder(const RunSettings& settings) {
    if (settings.outFolder.empty()) return;
    if (const int error = sys::createFolders(settings.outFolder)) {
        console().breakLine("ERROR - Can't create output folder " + settings.outFolder + ": " +
                            sys::errorText(error) + ".");
        EXITS();
    }
}

// One input's conversion, from its projection template to "Finished."; always ends through
// EXITS.
[[noreturn]] void convertInput(RunSettings& settings) {
    try {
        readProjectionTemplate(settings);
        openInputFile(settings);
    } catch (const RunInterrupted&) {
        endInterrupted(0, {});  // at a prompt, before any output was opened
    }
    createOutputFolder(settings);
    runState().tablesFolder = sys::resolvedPath(settings.output.folder) + '/';
    if (const std::string name = foldNameCase(settings.inputName); name.ends_with(".CSV")) {
        runState().exportAsTable = name;
        sys::pathInfo(settings.inputName, runState().exportFile);
    }

    ConversionOutput out(settings);
    try {
        out.openStreamLayer();
        SdfSection section;
        GisObject centreline;  // the reader's: each centreline's vertices, as it completes them
        ReadAhead ahead(out);
        SdfReader reader(unitInput(settings.sdfUnit), settings.trimToLevees, centreline, section,
                         ahead);
        reader.readResults(settings.results);
        ahead.read(reader);

        // Any file at all can be named: one in which not a single keyword was found is not taken
        // for an export that happened to be empty.
        if (!reader.foundKeyword()) {
            console().breakLine(notAnExportMessage(settings.inputName));
            EXITS();
        }
    } catch (const RunInterrupted&) {
        // The layers are closed out with the sections written so far, so that a GIS reads them.
        out.closeOpenLayers();
        endInterrupted(out.sectionsWritten(), out.unfinished());
    }
    out.finishDataset();
    // The counts of the run, complete once the layers are closed.
    writeRunSummary(out.counts());
    console().breakLine("Finished.");
    markRunFinished();
    EXITS();
}

// Two inputs whose outputs would have the same names in one folder: nothing is written.
void refuseCollidingOutputs(const RunSettings& settings) {
    std::map<std::string, std::string> first;  // folded folder and base name -> its input
    for (const std::string& input : settings.inputs) {
        RunSettings one = settings;
        setInputName(one, input);
        // The folder as the system resolves it: "d/", "./d/" and "/x/d/" are one folder.
        const std::string folder = sys::resolvedPath(one.output.folder);
        const auto [at, added] =
            first.emplace(foldNameCase(folder + '\n' + one.output.base), input);
        if (added) continue;
        console().breakLine("ERROR - Inputs " + at->second + " and " + input +
                            " would write outputs of the same names in one folder.");
        EXITS();
    }
}

// Each input in turn, with a run state of its own (its tables shared, so that none takes the
// place of another's): one that fails does not stop the others.
[[noreturn]] void convertEach(const RunSettings& settings) {
    refuseCollidingOutputs(settings);
    RunState& outer = runState();
    NameRegistry tables;
    const std::string count = std::to_string(settings.inputs.size());
    std::size_t finished = 0;
    for (std::size_t k = 0; k < settings.inputs.size(); ++k) {
        RunSettings one = settings;
        setInputName(one, settings.inputs[k]);
        {
            const ConsoleDialogue shown;
            console().breakLine("Converting " + std::to_string(k + 1) + " of " + count + ": " +
                                one.inputName);
        }
        RunState state;
        const RunStateScope use(state);
        state.tables = &tables;
        state.inputsAsTables = outer.inputsAsTables;
        state.exit.closingPause = false;
        console().setQuiet(settings.quiet);
        INITFILEUNITS(kFileUnitBase);
        // Its outputs stay held, and every input protected, until the whole run ends.
        nestUnitTable(outer.units);
        try {
            convertInput(one);
        } catch (const RunEnd& end) {
            if (end.status == 0) ++finished;
        }
        if (sys::interrupted()) break;  // the interruption was meant for the whole run
    }
    {
        const ConsoleDialogue shown;
        console().breakLine("Converted " + std::to_string(finished) + " of " + count + " files.");
    }
    if (finished == settings.inputs.size()) markRunFinished();
    EXITS();
}

// The command line, then one input or several; always ends through EXITS.
[[noreturn]] void convert(const std::vector<std::string>& args,
                          const decltype(RunSettings::openDataset)& openDataset,
                          const decltype(RunSettings::betweenSections)& betweenSections) {
    INITFILEUNITS(kFileUnitBase);

    RunSettings settings;
    scanCommandLine(args, settings);
    settings.openDataset = openDataset;
    settings.betweenSections = betweenSections;
    // No output may take the place of an input, not even one converted later.
    for (const std::string& input : settings.inputs) {
        protectInput(input);
        if (foldNameCase(input).ends_with(".CSV")) runState().inputsAsTables = true;
    }
    if (settings.severalInputs) convertEach(settings);
    convertInput(settings);
}

} // namespace

int run(int argc, char** argv) {
    // The program's own process: interruptions, a console that went away and a file-size limit
    // end its run in good order instead of the process where it stands.
    sys::watchInterruptions();
    // Names in any language reach the run and the console whole: UTF-8 for as long as it lasts.
    const sys::Utf8Console utf8;
    return run(sys::programArguments(argc, argv));
}

int run(const std::vector<std::string>& args) { return run(args, {}); }

int run(const std::vector<std::string>& args,
        const decltype(RunSettings::openDataset)& openDataset,
        const decltype(RunSettings::betweenSections)& betweenSections) {
    // Every conversion starts from a state of its own, released when it ends: the console is as
    // it was before once the state is out of use.
    RunState state;
    const RunStateScope use(state);
    int status = 1;
    try {
        convert(args, openDataset, betweenSections);
    } catch (const RunEnd& end) {
        status = end.status;
    }
    console().flush();
    return status;
}

} // namespace vk
