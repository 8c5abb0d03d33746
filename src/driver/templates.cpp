#include "driver/templates.h"

#include "driver/exporthints.h"
#include "driver/sdf_reader.h"
#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kLineLength = 1000;
// The largest template read: a projection is a line or a few.
constexpr std::uint64_t kMaxTemplateSize = 1 << 20;

bool exists(const std::string& name) { return sys::fileExists(name); }

[[noreturn]] void fail(RunContext& run, std::string_view message) {
    run.console.breakLine(message);
    EXITS(run);
}

// A template is an ordinary file of at most 1 MiB, so that reading it never waits (a named pipe
// opened, a device read without end) nor copies a file's worth into every layer; a folder is
// refused by the opener as any input is.
std::string usableTemplate(RunContext& run, std::string name) {
    sys::FileInfo info;
    if (sys::pathInfo(name, info) && !info.directory) {
        const std::string shown(trimRight(name));
        if (!info.regular)
            fail(run, "ERROR - Projection file " + shown +
                 " is not an ordinary file (a named pipe or a device).");
        if (info.size > kMaxTemplateSize)
            fail(run, "ERROR - Projection file " + shown + " is larger than 1 MiB.");
    }
    return name;
}

// The template of the format, or the end of the run when neither of its names exists.
std::string findTemplate(RunContext& run, const RunSettings& settings,
                         const OutputFormat& format) {
    if (!settings.projectionFile.empty()) {
        if (!exists(settings.projectionFile))
            fail(run, "ERROR - Projection file " + settings.projectionFile + " does not exist.");
        return usableTemplate(run, settings.projectionFile);
    }
    const auto& [first, second] = format.templates;
    const std::string name = findProjectionTemplate(settings.inputName, first, second);
    if (name.empty())
        fail(run, "ERROR - A " + std::string(first) + " or " + std::string(second) +
             " file does not exist in folder.");
    return usableTemplate(run, name);
}

// A projection holds text: a NUL byte would go into every layer's projection.
void checkText(RunContext& run, std::string_view line, std::string_view name) {
    if (line.find('\0') != std::string_view::npos)
        fail(run, "ERROR - Projection file " + std::string(trimRight(name)) +
             " holds NUL bytes: it is no projection.");
}

// A MIF template: the first line that contains "CoordSys" (in any case) is the projection.
void readCoordSysTemplate(RunContext& run, RunSettings& settings,
                          const OutputFormat& format) {
    const std::string name = findTemplate(run, settings, format);

    int unit = 0;
    OPENER(run, unit, "I ", name);
    run.console.breakLine("Using " + std::string(trimRight(name)) + " for setting projection.");

    LineReader& in = unitInput(run.units, unit);
    in.rewind();
    std::string line;
    while (!in.atEnd()) {
        switch (in.readLine(line, kLineLength)) {
        case LineReader::Status::Line:
            if (FLAGEXISTS(line, "CoordSys")) {
                checkText(run, line, name);
                std::string& projection = settings.projections.*format.projection;
                projection.assign(trimRight(line));
                run.console.breakLine(std::string(format.option) + " Projection: " + projection);
                // The clause from "CoordSys" on, identified as a .prj template is.
                const std::size_t at = UPPERCASE(projection).find("COORDSYS");
                CrsResult crs = parseMifCoordSys(std::string_view(projection).substr(at));
                if (!crs.crs)
                    run.console.breakLine("WARNING - " + std::string(trimRight(name)) +
                                        " could not be identified as a coordinate system, and is "
                                        "written as it is: " + crs.error);
                else if (crs.crs->epsg())
                    // A clause names no system: one is named where it matches an EPSG code.
                    settings.crsLine = "Coordinate system: " + crs.crs->label() + ", from " +
                                       std::string(trimRight(name));
                settings.crs = std::move(crs.crs);
                return;
            }
            break;
        case LineReader::Status::End:
            fail(run, "ERROR reading data");
        case LineReader::Status::Error:
            reportLineError(run, "ERROR - Reading following line in file:", line);
        }
    }
    fail(run, "ERROR - Unable to find CoordSys line in " + std::string(trimRight(name)));
}

// The known system's texts for every format, and the line that names it and its source.
void useSystem(RunSettings& settings, const Crs& crs, std::string_view source) {
    settings.crs = crs;
    settings.crsLine = "Coordinate system: " + crs.label() + ", from " + std::string(source);
    settings.projections = {crs.esriWkt(), crs.mifCoordSys(), crs.epsg(), crs.ogcWkt()};
}

// The .prj template's definition identified: the GeoPackage stores it under its EPSG code, and
// the console names it. One that goes on past its first line is the whole file's definition, its
// first line alone being none (its ESRI WKT on one line then). One that is no coordinate system
// is written as read, with a warning.
void identifyTemplate(RunContext& run, RunSettings& settings, const std::string& name) {
    std::string content;
    {
        LineReader whole;
        std::string line;
        if (whole.open(name))
            while (whole.readLine(line, kMaxTemplateSize) == LineReader::Status::Line)
                content.append(line).append("\n");
    }
    const std::size_t firstEnd = std::min(content.find('\n'), content.size());
    const std::string first = content.substr(0, firstEnd);
    const bool severalLines = content.find_first_not_of(" \t\r\n", firstEnd) != std::string::npos;
    CrsResult crs = parseCrs(severalLines ? content : first);
    if (!crs.crs && severalLines)
        crs = parseCrs(first);
    else if (crs.crs && severalLines)
        settings.projections.shp = crs.crs->esriWkt();
    if (!crs.crs) {
        run.console.breakLine("WARNING - " + name + " could not be identified as a coordinate " +
                            "system, and is written as it is: " + crs.error);
        return;
    }
    settings.crs = crs.crs;
    settings.projections.epsg = crs.crs->epsg();
    settings.crsLine = "Coordinate system: " + crs.crs->label() + ", from " + name;
}

// A .prj template: the whole first line is the projection, whatever it holds.
void readFirstLineTemplate(RunContext& run, RunSettings& settings,
                           const OutputFormat& format) {
    const std::string name = findTemplate(run, settings, format);

    const std::string shownName(trimRight(name));
    run.console.line("GIS Projection being extracted from " + shownName);
    int unit = 0;
    OPENER(run, unit, "I ", name);

    LineReader& in = unitInput(run.units, unit);
    std::string line;
    const LineReader::Status status =
        in.atEnd() ? LineReader::Status::End : in.readLine(line, kLineLength);
    if (status == LineReader::Status::Error)
        reportLineError(run, "ERROR - Reading following line in file:", shownName);
    if (status == LineReader::Status::End)
        fail(run, "ERROR - Projection line could not be found in \"GIS Projection\" .prj file." +
             shownName);
    checkText(run, line, shownName);
    settings.projections.*format.projection = line;
    identifyTemplate(run, settings, shownName);
    run.console.breakLine(std::string(format.option) + " Projection: " +
                        std::string(trimRight(settings.projections.*format.projection)));
}

// The header's words for its system, as the source of a line names them.
std::string hintWords(const HeaderHints& hints) {
    std::string words = "the export's header (MAP PROJECTION " + hints.projection;
    if (!hints.zone.empty()) words += ", PROJECTION ZONE " + hints.zone;
    if (!hints.datum.empty()) words += ", DATUM " + hints.datum;
    if (!hints.units.empty()) words += ", UNITS " + hints.units;
    return words + ")";
}

// The system that the export's header names, checked against the export's extent: true when it
// is used. A system that does not hold the extent is said to be unusable, and why.
bool useHeaderHints(RunContext& run, RunSettings& settings) {
    sys::FileInfo info;
    if (settings.inputName.empty() || !sys::pathInfo(settings.inputName, info) || !info.regular)
        return false;
    const ExportHints found = readExportHints(settings.inputName);
    if (!found.named) return false;
    if (!found.extent) {
        run.console.breakLine("WARNING - " + hintWords(found.hints) +
                            " is not used: the export holds no coordinates to check it against.");
        return false;
    }
    const HintResult result = crsFromHeader(found.hints, *found.extent);
    switch (result.outcome) {
    case HintResult::Outcome::NoHints:
        return false;
    case HintResult::Outcome::Found:
        useSystem(settings, *result.crs, hintWords(found.hints));
        if (!result.unitsWarning.empty())
            run.console.breakLine("WARNING - The export's header says " + result.unitsWarning + ".");
        return true;
    case HintResult::Outcome::Rejected:
        std::string text = "WARNING - The coordinate system of " + hintWords(found.hints) +
                           " is not used: " + result.problem + ".";
        if (result.suggestion) {
            const int code = result.suggestion->epsg();
            text += " The export lies inside " + result.suggestion->label() + " alone" +
                    (code ? " (-crs EPSG:" + std::to_string(code) + " would use it)." : ".");
        }
        run.console.breakLine(text);
        return false;
    }
    return false;
}

// -t_srs: the layers' coordinates transformed from the input's system into the target's, whose
// texts the layers then hold.
void useTarget(RunContext& run, RunSettings& settings) {
    const Crs& target = *settings.targetCrs;
    if (!settings.crs)
        fail(run, "ERROR - -t_srs " + settings.targetDefinition.value_or("") +
             ": the coordinate system of the export is not known (give it with -crs EPSG:n, or a "
             "projection template that names one).");
    TransformResult transform = makeCrsTransform(*settings.crs, target);
    if (!transform.transform) fail(run, "ERROR - -t_srs: " + transform.error);
    settings.transform = std::move(transform.transform);
    settings.projections = {target.esriWkt(), target.mifCoordSys(), target.epsg(), target.ogcWkt()};
    run.console.breakLine("Coordinates transformed into " + target.label() + ".");
}

// The input's coordinate system and the layers' projection texts, from -crs, the template or the
// header's hints; true when they came from the template.
bool readCoordinateSystem(RunContext& run, RunSettings& settings) {
    const OutputFormat* format = settings.chosenFormat;
    if (settings.givenCrs) {
        const std::string name =
            !format                           ? std::string()
            : !settings.projectionFile.empty() ? settings.projectionFile
                : findProjectionTemplate(settings.inputName, format->templates[0],
                                         format->templates[1]);
        if (!name.empty() && exists(name))
            run.console.breakLine("-crs is used, not the projection template " +
                                std::string(trimRight(name)) + ".");
        useSystem(settings, *settings.givenCrs, "-crs");
        return false;
    }
    // A run that names no format writes its layers without a projection.
    if (!format) return false;
    const auto& [first, second] = format->templates;
    if (settings.projectionFile.empty() &&
        findProjectionTemplate(settings.inputName, first, second).empty()) {
        if (useHeaderHints(run, settings)) return false;
        const std::string folder = FILEFOLDERPATH(settings.inputName);
        const std::string shown = sys::resolvedPath(folder.empty() ? "." : folder);
        if (format->templateOptional) {
            run.console.breakLine("No " + std::string(first) + " or " + std::string(second) +
                                " in folder: the layers have no coordinate system.");
            return false;
        }
        fail(run, "ERROR - A " + std::string(first) + " or " + std::string(second) +
             " file does not exist in folder " + shown + ": put one there, name one with -prj " +
             "FILE, or give the coordinate system with -crs EPSG:n.");
    }
    switch (format->projectionLine) {
    case ProjectionLine::First:
        readFirstLineTemplate(run, settings, *format);
        break;
    case ProjectionLine::CoordSys:
        readCoordSysTemplate(run, settings, *format);
        break;
    }
    return true;
}

} // namespace

std::string findProjectionTemplate(std::string_view inputName, std::string_view first,
                                   std::string_view second) {
    const std::string folder = FILEFOLDERPATH(inputName);
    for (std::string_view file : {first, second}) {
        std::string name = ADDFOLDER(folder, file);
        if (exists(name)) return name;
    }
    return {};
}

void readProjectionTemplate(RunContext& run, RunSettings& settings) {
    const bool fromTemplate = readCoordinateSystem(run, settings);
    if (!settings.crsLine.empty()) run.console.breakLine(settings.crsLine);
    if (settings.targetCrs) useTarget(run, settings);
    // The projection the layers get, where the template's own line did not say it.
    if (settings.crs && settings.chosenFormat && (!fromTemplate || settings.targetCrs))
        run.console.breakLine(std::string(settings.chosenFormat->option) + " Projection: " +
                            settings.projections.*settings.chosenFormat->projection);
}

} // namespace vk
