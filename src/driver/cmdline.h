// Start of a run: the banner, the scan of the command line into the run settings, the help text,
// and obtaining and opening the .sdf file (asking for it on the console when needed).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/settings.h"
#include "files/context.h"

namespace vk {

// The file unit table's base: units 1001 to 2000 are handed out, 993 to 1000 are reserved.
inline constexpr int kFileUnitBase = 1000;

inline constexpr std::string_view kBuildLine = "Build 2013-09-AA";
inline constexpr std::string_view kInputPrompt = " Please enter the .sdf file -> ";

// What one command-line argument is.
enum class ArgumentKind {
    FileName, Format, NoTrim, Report, Results, OutFolder, ProjectionFile, Crs, TargetCrs, Grid, Dem, Quiet,
    Help, Version, Unrecognised
};

// One argument: its kind, and for a format option the format's row.
struct Argument {
    ArgumentKind kind;
    const OutputFormat* format = nullptr;

    Argument(ArgumentKind kind, const OutputFormat* format = nullptr)
        : kind(kind), format(format) {}
    bool operator==(const Argument&) const = default;
};

// The options other than the formats', in the order they are tried (after the formats'). Only
// as many characters after the switch as the name has take part, so -notrimmed selects no
// trimming; a whole option must have nothing after its name, and is another spelling of an
// option that is not whole. The help text lists each option that is not whole under its heading,
// with the word for its value (the next argument) when it takes one.
struct OptionName {
    std::string_view name;
    ArgumentKind kind;
    bool whole = false;
    std::string_view heading = {};
    std::string_view value = {};
    std::string_view help = {};
};
std::span<const OptionName> commandLineOptions();

// Classifies one argument. "-", the en dash (byte 0x96 or its UTF-8 form) are switch characters;
// an argument beginning with "/" is an option only when no file of that name exists and it
// matches one of the options, otherwise it is a file name (an absolute path). An option matches
// on its name's characters after the switch (each format's option word, then the option
// table's), compared by ASAME, so -SHPfile is -shp; "--help", "--version", "-?" and "-h" are
// matched whole, and any other option may be written with two dashes too (--quiet).
Argument classifyArgument(std::string_view argument);

// Writes the banner and the argument count, scans args (args[0] is the program name) into
// settings, writes the help text when there are no arguments and refuses two formats at once.
// An unrecognised option or both formats end the run through EXITS. A help or version option
// anywhere writes only the help text or "varnokline " and the version, and ends the run at once
// with status 0. -quiet makes the console quiet before anything is written. Every file name is
// an input (settings.inputs); the last one is settings.inputName. -out and -prj take the next
// argument as their folder and file, -crs and -t_srs as their coordinate system's definition
// (parsed at once: an unknown one ends the run through EXITS, naming it and the library's
// reason); without one the run ends through EXITS.
void scanCommandLine(RunContext& run, const std::vector<std::string>& args,
                     RunSettings& settings);

// The help text: every option, the formats' from the format table.
void writeHelpText(Console& console);
// The program's version, as the build gives it.
std::string_view programVersion();

// Opens settings.inputName for reading, asking on the console for another name (completed with
// ".sdf") until an existing file is named; sets settings.inputName and settings.sdfUnit. The end
// of console input at the prompt ends the run through EXITS. A named input that does not exist
// is asked for again only when a person can answer (standard input is a terminal) and it is the
// only input; otherwise the run ends through EXITS with "Can't find input file", so that a
// script's input is never taken for file names.
void openInputFile(RunContext& run, RunSettings& settings);

} // namespace vk
