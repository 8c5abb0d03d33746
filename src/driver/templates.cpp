#include "driver/templates.h"

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
    run.console.breakLine(std::string(format.option) + " Projection: " +
                        std::string(trimRight(line)));
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
    // A run that names no format writes its layers without a projection.
    if (!settings.chosenFormat) return;
    const OutputFormat& format = *settings.chosenFormat;
    const auto& [first, second] = format.templates;
    if (format.templateOptional &&
        findProjectionTemplate(settings.inputName, first, second).empty()) {
        run.console.breakLine("No " + std::string(first) + " or " + std::string(second) +
                            " in folder: the layers have no coordinate system.");
        return;
    }
    switch (format.projectionLine) {
    case ProjectionLine::First:
        readFirstLineTemplate(run, settings, format);
        break;
    case ProjectionLine::CoordSys:
        readCoordSysTemplate(run, settings, format);
        break;
    }
}

} // namespace vk
