#include "driver/cmdline.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

#include "driver/layers.h"
#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"
#include "text/fixedpoint.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

// Arguments and typed names are fields of the longest name Windows takes (32,767 UTF-16 units)
// in UTF-8: a name in any language is never cut.
constexpr std::size_t kFieldLength = 3 * 32767;
constexpr char kEnDash = '\x96';           // the en dash of the Windows-1252 code page
constexpr std::string_view kEnDashUtf8 = "\xE2\x80\x93";

bool fileExists(std::string_view name) { return sys::fileExists(std::string(name)); }

constexpr OptionName kOptions[] = {
    {"notrim", ArgumentKind::NoTrim, false, "LEVEE MARKERS:", "",
     "do not trim cross-sections to levee markers."},
    {"report", ArgumentKind::Report, false, "REPORT:", "",
     "also write the conversion report page beside the layers."},
    {"out", ArgumentKind::OutFolder, false, "FILES:", "FOLDER",
     "write every output into FOLDER (made when missing)."},
    {"prj", ArgumentKind::ProjectionFile, false, "FILES:", "FILE",
     "take the projection from FILE, not from beside the input."},
    {"crs", ArgumentKind::Crs, false, "COORDINATE SYSTEM:", "DEF",
     "the coordinate system (EPSG:n, ESRI:n, WKT, PROJJSON, PROJ), not a template's."},
    {"t_srs", ArgumentKind::TargetCrs, false, "COORDINATE SYSTEM:", "DEF",
     "write the layers' coordinates transformed into DEF (EPSG:4326, say)."},
    {"results", ArgumentKind::Results, false, "RESULTS:", "",
     "also write water surfaces, profile limits, banks and storage areas."},
    {"grid", ArgumentKind::Grid, false, "FLOOD MAPS:", "CELL",
     "write each profile's water-surface raster at a cell of CELL units."},
    {"dem", ArgumentKind::Dem, false, "FLOOD MAPS:", "FILE",
     "over the terrain model FILE, also each profile's depth and flooded area."},
    {"quiet", ArgumentKind::Quiet, false, "CONSOLE:", "",
     "write only warnings, errors and the summary."},
    {"help", ArgumentKind::Help, false, "CONSOLE:", "", "write this text."},
    {"version", ArgumentKind::Version, false, "CONSOLE:", "", "write the version."},
    {"-help", ArgumentKind::Help, true},
    {"-version", ArgumentKind::Version, true},
    {"?", ArgumentKind::Help, true},
    {"h", ArgumentKind::Help, true},
};

// A cell size: a finite number above 0, read without the locale.
std::optional<double> readCellSize(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        !(value > 0))
        return std::nullopt;
    return value;
}

Argument matchOption(std::string_view afterSwitch) {
    // The formats' options come first, as -shp and -mif always have.
    for (const OutputFormat& format : outputFormats())
        if (ASAME(cutTo(afterSwitch, format.option.size()), format.option))
            return {ArgumentKind::Format, &format};
    for (const OptionName& option : kOptions) {
        const std::string_view part =
            option.whole ? trimRight(afterSwitch) : cutTo(afterSwitch, option.name.size());
        if (ASAME(part, option.name) && (!option.whole || part.size() == option.name.size()))
            return option.kind;
    }
    return ArgumentKind::Unrecognised;
}

// A file already open in this process under the input's name (a projection template given as
// the input) is closed first, so that the input opens on the freed unit.
void closeIfAlreadyOpen(RunContext& run, const std::string& name) {
    sys::FileInfo input;
    if (!sys::pathInfo(name, input)) return;
    for (int unit = kFileUnitBase - 7; unit <= 2 * kFileUnitBase; ++unit) {
        if (!unitInUse(run.units, unit)) continue;
        sys::FileInfo held;
        if (sys::pathInfo(unitFileName(run.units, unit), held) && held.id == input.id) {
            int open = unit;
            CLOSER(run, open);
        }
    }
}

} // namespace

std::span<const OptionName> commandLineOptions() { return kOptions; }

Argument classifyArgument(std::string_view argument) {
    const std::string_view arg = cutTo(argument, kFieldLength);
    if (arg.empty()) return ArgumentKind::FileName;
    if (arg.starts_with(kEnDashUtf8)) return matchOption(arg.substr(kEnDashUtf8.size()));
    if (arg.front() == '-' || arg.front() == kEnDash) {
        const Argument option = matchOption(arg.substr(1));
        // Two dashes, as most programs take their long options (--quiet, --mif).
        if (option.kind == ArgumentKind::Unrecognised && arg.starts_with("--"))
            return matchOption(arg.substr(2));
        return option;
    }
    if (arg.front() == '/') {
        const Argument option = matchOption(arg.substr(1));
        if (option.kind != ArgumentKind::Unrecognised && !fileExists(trimRight(arg))) return option;
    }
    return ArgumentKind::FileName;
}

void writeHelpText(Console& console) {
    static constexpr std::string_view kBeforeFormats[] = {
        "",
        "varnokline description",
        "",
        "Converts HECRAS SDF (export format) to GIS format",
        "Outlines Centreline, cross-section locations and cross section in .csv format",
        "Options:",
        "",
        "GIS FORMAT:",
    };
    static constexpr std::string_view kAfterFormats[] = {
        "   Note: Only one can be specified.",
        "",
    };
    static constexpr std::string_view kExamples[] = {
        "EXAMPLES:",
        "   varnokline.exe -shp hecras.sdf",
        "   varnokline.exe -shp -out results plan1.sdf plan2.sdf",
    };
    for (std::string_view text : kBeforeFormats)
        console.listLine(text);
    for (const OutputFormat& format : outputFormats())
        console.listLine("   -" + std::string(format.option) + " " + std::string(format.help));
    for (std::string_view text : kAfterFormats)
        console.listLine(text);
    std::string_view heading;
    for (const OptionName& option : kOptions) {
        if (option.whole) continue;
        if (option.heading != heading) console.listLine(heading = option.heading);
        std::string line = "   -" + std::string(option.name);
        if (!option.value.empty()) line.append(" ").append(option.value);
        console.listLine(line.append(", ").append(option.help));
    }
    for (std::string_view text : kExamples)
        console.listLine(text);
}

std::string_view programVersion() { return VK_VERSION; }

void scanCommandLine(RunContext& run, const std::vector<std::string>& args,
                     RunSettings& settings) {
    Console& con = run.console;
    // Asked for help or the version, the program says only that; and a quiet run is quiet from
    // its first line.
    for (std::size_t i = 1; i < args.size(); ++i) {
        const ArgumentKind kind = classifyArgument(args[i]).kind;
        if (kind == ArgumentKind::Help) {
            writeHelpText(con);
            endRun(run, 0);
        }
        if (kind == ArgumentKind::Version) {
            con.line("varnokline " + std::string(programVersion()));
            endRun(run, 0);
        }
        if (kind == ArgumentKind::Quiet) settings.quiet = true;
    }
    con.setQuiet(settings.quiet);

    con.breakLine(kBuildLine);
    con.line();
    con.breakLine("Found" + formatInt(static_cast<std::int64_t>(args.size()), 3) + " arguments");

    settings.showHelp = args.size() < 2;
    // A format named after another one: refused once every argument has been looked at.
    const OutputFormat* secondFormat = nullptr;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const Argument argument = classifyArgument(args[i]);
        switch (argument.kind) {
        case ArgumentKind::Format:
            if (!settings.chosenFormat)
                settings.chosenFormat = argument.format;
            else if (argument.format != settings.chosenFormat && !secondFormat)
                secondFormat = argument.format;
            break;
        case ArgumentKind::NoTrim:
            settings.trimToLevees = false;
            break;
        case ArgumentKind::Report:
            settings.report = true;
            break;
        case ArgumentKind::Results:
            settings.results = ResultsMode::Written;
            break;
        case ArgumentKind::Quiet:
        case ArgumentKind::Help:
        case ArgumentKind::Version:
            break;
        case ArgumentKind::OutFolder:
        case ArgumentKind::ProjectionFile:
        case ArgumentKind::Crs:
        case ArgumentKind::TargetCrs:
        case ArgumentKind::Grid:
        case ArgumentKind::Dem: {
            const bool folder = argument.kind == ArgumentKind::OutFolder;
            const bool file = argument.kind == ArgumentKind::ProjectionFile ||
                              argument.kind == ArgumentKind::Dem;
            const bool grid = argument.kind == ArgumentKind::Grid;
            if (i + 1 == args.size()) {
                con.breakLine("ERROR - No " +
                              std::string(folder ? "folder" : file ? "file" : grid ? "cell size" : "coordinate system") +
                              " named after " + std::string(trimRight(args[i])));
                EXITS(run);
            }
            const std::string value(trimRight(cutTo(args[++i], kFieldLength)));
            if (grid) {
                const std::optional<double> cell = readCellSize(value);
                if (!cell) {
                    con.breakLine("ERROR - -grid: the cell size " + value +
                                  " is not a positive number.");
                    EXITS(run);
                }
                settings.gridCell = cell;
            } else if (argument.kind == ArgumentKind::Dem)
                settings.demFile = value;
            else if (folder || file)
                (folder ? settings.outFolder : settings.projectionFile) = value;
            else
                (argument.kind == ArgumentKind::Crs ? settings.crsDefinition
                                                    : settings.targetDefinition) = value;
            break;
        }
        case ArgumentKind::FileName:
            for (std::string& name : sys::expandWildcards(std::string(cutTo(args[i], kFieldLength))))
                settings.inputs.push_back(std::move(name));
            break;
        case ArgumentKind::Unrecognised:
            con.breakLine("ERROR - Unrecognised command line option: " +
                          std::string(trimRight(cutTo(args[i], kFieldLength))));
            EXITS(run);
        }
    }

    // The rasters are made from the results, read silently unless -results writes them.
    if ((settings.gridCell || !settings.demFile.empty()) && settings.results == ResultsMode::Off)
        settings.results = ResultsMode::ForReport;
    // The report shows the results whenever the export carries them; only -results writes them.
    if (settings.report && settings.results == ResultsMode::Off)
        settings.results = ResultsMode::ForReport;
    settings.severalInputs = settings.inputs.size() > 1;
    if (!settings.inputs.empty()) setInputName(settings, settings.inputs.back());
    if (settings.showHelp) writeHelpText(con);
    if (secondFormat) {
        // The two are named in alphabetical order, whichever came first.
        std::string_view first = settings.chosenFormat->option;
        std::string_view second = secondFormat->option;
        if (second < first) std::swap(first, second);
        con.breakLine("ERROR - Both " + std::string(first) + " and " + std::string(second) +
                      " outputs specified, please use only one.");
        EXITS(run);
    }
    // The coordinate systems named, before anything is written; PROJ is started only for them.
    for (const auto& [option, definition, crs] :
         {std::tuple{"-crs", &settings.crsDefinition, &settings.givenCrs},
          std::tuple{"-t_srs", &settings.targetDefinition, &settings.targetCrs}}) {
        if (!*definition) continue;
        CrsResult parsed = parseCrs(**definition);
        if (!parsed.crs) {
            con.breakLine("ERROR - " + std::string(option) + ": " + parsed.error);
            EXITS(run);
        }
        *crs = std::move(parsed.crs);
    }
}

void openInputFile(RunContext& run, RunSettings& settings) {
    std::string name = settings.inputName;
    if (!name.empty() && !fileExists(TRIMF(name))) {
        // A person is asked again; a script, or a run of several inputs, is told which is missing
        // and never has its input taken for file names.
        if (settings.severalInputs || !run.console.inputIsTerminal()) {
            run.console.breakLine("ERROR - Can't find input file " + name + ".");
            EXITS(run);
        }
        run.console.listLine("WARNING - Can''t find file " + name + ", try again");
    }
    if (!fileExists(TRIMF(name))) {
        // Names typed here are completed with ".sdf"; a name from the command line is not.
        std::string reply;
        for (;;) {
            run.console.write(kInputPrompt);
            if (!run.console.readLine(reply, kFieldLength)) {
                run.console.breakLine("ERROR - No input file: end of console input.");
                EXITS(run);
            }
            // A name pasted in double quotes (a dragged file) is used without them.
            name.assign(trimRight(withoutOuterQuotes(reply)));
            if (FILEEXT(name) != ".sdf") name += ".sdf";
            if (fileExists(TRIMF(name))) break;
            run.console.listLine("WARNING - Can''t find file " + name + ", try again");
        }
    }
    setInputName(settings, TRIMF(name));
    closeIfAlreadyOpen(run, settings.inputName);
    OPENER(run, settings.sdfUnit, "I ", settings.inputName);
}

} // namespace vk
