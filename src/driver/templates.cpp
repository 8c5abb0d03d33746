#include "driver/templates.h"

#include "driver/sdf_reader.h"
#include "files/console.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"
#include "gis/state.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kLineLength = 1000;

bool exists(const std::string& name) { return sys::fileExists(name); }

[[noreturn]] void fail(std::string_view message) {
    console().breakLine(message);
    EXITS();
}

// MIF: the first line that contains "CoordSys" (in any case) is the projection.
void readMifTemplate(const RunSettings& settings) {
    const std::string name =
        findProjectionTemplate(settings.inputName, "Header.mif", "Projection.mif");
    if (name.empty()) fail("ERROR - A Header.mif or Projection.mif file does not exist in folder.");

    int unit = 0;
    OPENER(unit, "I ", name, 1);
    console().breakLine("Using " + std::string(trimRight(name)) + " for setting projection.");

    LineReader& in = unitInput(unit);
    in.rewind();
    std::string line;
    while (!in.atEnd()) {
        switch (in.readLine(line, kLineLength)) {
        case LineReader::Status::Line:
            if (FLAGEXISTS(line, "CoordSys")) {
                std::string& mifProjection = gisState().projections.mif;
                mifProjection.assign(trimRight(line));
                console().breakLine("mif Projection: " + mifProjection);
                return;
            }
            break;
        case LineReader::Status::End:
            fail("ERROR reading data");
        case LineReader::Status::Error:
            reportLineError("ERROR - Reading following line in file:", line);
        }
    }
    fail("ERROR - Unable to find CoordSys line in " + std::string(trimRight(name)));
}

// Shapefile: the whole first line is the projection, whatever it holds.
void readPrjTemplate(const RunSettings& settings) {
    const std::string name =
        findProjectionTemplate(settings.inputName, "Header.prj", "Projection.prj");
    if (name.empty()) fail("ERROR - A Header.prj or Projection.prj file does not exist in folder.");

    const std::string shownName(trimRight(name));
    console().line("GIS Projection being extracted from " + shownName);
    int unit = 0;
    OPENER(unit, "I ", name, 1);

    LineReader& in = unitInput(unit);
    std::string line;
    const LineReader::Status status =
        in.atEnd() ? LineReader::Status::End : in.readLine(line, kLineLength);
    if (status == LineReader::Status::Error)
        reportLineError("ERROR - Reading following line in file:", shownName);
    if (status == LineReader::Status::End)
        fail("ERROR - Projection line could not be found in \"GIS Projection\" .prj file." +
             shownName);
    gisState().projections.shp = line;
    console().breakLine("shp Projection: " + std::string(trimRight(line)));
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

void readProjectionTemplate(const RunSettings& settings) {
    if (settings.mifOutput)
        readMifTemplate(settings);
    else if (settings.shapefileOutput)
        readPrjTemplate(settings);
}

} // namespace vk
