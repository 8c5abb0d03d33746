// The error texts of the layer writers, in one table, and the one place that ends the run on them.
#include "gis/status.h"

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "text/encoding.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::size_t kErrorLineLength = 1000;

// "{}" stands for the status's detail, "{contact}" for the support address.
struct ErrorText {
    GisError error;
    std::string_view text;
};

constexpr ErrorText kErrorTexts[] = {
    {GisError::Fault, "Should not be here {} - please contact {contact}."},
    {GisError::TooManyLayers, "ERROR 0251 - Cannot have more than {} GIS layers open at once."},
    {GisError::ShpNotSpecified, "ERROR 0426 - .shp file not specified."},
    {GisError::ShpHeaderWrite, "ERROR 0437 - Writing .shp file header."},
    {GisError::ShpObjectWrite, "ERROR 0439 - Writing .shp file object coordinates."},
    {GisError::ShpKindUnsupported,
     "ERROR 0350 - Trying to write a SHP object that is not yet supported.  Please contact "
     "{contact}."},
    {GisError::ShpObjectWithoutKind,
     "Should not be here [gisWriteObject-shp].  Please contact {contact}."},
    {GisError::MifObjectWrite, "ERROR 0439 - Writing .mif file object coordinates."},
    {GisError::MifKindUnsupported,
     "ERROR 0350 - Trying to write a MIF object that is not yet supported.  Please contact "
     "{contact}."},
    {GisError::MidRecordWrite,
     "ERROR 0254 - Failed to write attribute data record for a {} object in GIS layer."},
    {GisError::DbfHeaderWrite, "ERROR 0413 - Writing .dbf file header."},
    {GisError::DbfTooManyFields,
     "ERROR 0411 - Exceeded maximum number of dbf Fields trying to write dbf file."},
    {GisError::DbfNoFields, "ERROR 0319 - No attributes specified when writing .dbf file."},
    {GisError::DbfFieldWidth, "ERROR 0412 - dbf field length of {} is outside allowable range of "
                              "1 to 255 when writing dbf file."},
    {GisError::DbfRecordWrite, "ERROR 0417 - Writing .dbf record."},
    {GisError::DbfRecordWithoutKind,
     "Should not be here [gisWriteRecord-dbf].  Please contact {contact}."},
    {GisError::CloseOut, "ERROR 0413 - Rewriting .dbf file header with final information."},
    {GisError::PackageWrite, "ERROR - Cannot write GeoPackage {}"},
    {GisError::PackageKept, "ERROR - Unable to put the GeoPackage in place and no console input "
                            "to wait on: the finished package is kept as {}."},
    {GisError::FileWrite, "ERROR - Cannot write file {}"},
    {GisError::Transform, "ERROR - Cannot transform the coordinates of {}"},
};

std::string_view textOf(GisError error) {
    for (const ErrorText& entry : kErrorTexts)
        if (entry.error == error) return entry.text;
    return "Should not be here {} - please contact {contact}.";
}

void replaceAll(std::string& text, std::string_view mark, std::string_view by) {
    for (std::size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + by.size()))
        text.replace(at, mark.size(), by);
}

// A message longer than a line goes on in the lines after it, each cut at a whole character, so
// that the reason after a long file name is never lost; what four lines cannot hold is left out
// of the middle, the last line holding the message's end.
[[noreturn]] void gisFail(RunContext& run, std::string_view message) {
    std::array<std::string, 4> lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i + 1 == lines.size() && message.size() > kErrorLineLength) {
            std::size_t from = message.size() - kErrorLineLength;
            while (from < message.size() && continuesCharacter(message[from])) ++from;
            message.remove_prefix(from);
        }
        const std::size_t take = wholeCharacters(message, kErrorLineLength);
        lines[i] = std::string(message.substr(0, take));
        message.remove_prefix(take);
    }
    gisReportError(run.console, lines, 1);
    EXITS(run);
}

} // namespace

std::string gisErrorMessage(const GisStatus& status) {
    std::string text(textOf(status.error));
    // The contact first: a detail is never searched for marks.
    replaceAll(text, "{contact}", kSupportAddress);
    const std::size_t at = text.find("{}");
    if (at != std::string::npos) text.replace(at, 2, status.detail);
    return text;
}

void gisEndRunOn(RunContext& run, const GisStatus& status) {
    if (status.ok()) return;
    if (status.error == GisError::Fault) gisShouldNotBeHere(run, status.detail);
    gisFail(run, gisErrorMessage(status));
}

void gisShouldNotBeHere(RunContext& run, std::string_view where) {
    run.console.line(gisErrorMessage(gisFault(where)));
    EXITS(run);
}

void gisReportError(Console& console, const std::array<std::string, 4>& gisErrorText,
                    int blankLines) {
    for (int i = 0; i < blankLines; ++i)
        console.line();
    console.line(trimRight(gisErrorText[0]));
    for (std::size_t i = 1; i < gisErrorText.size(); ++i) {
        const std::string_view text = trimRight(gisErrorText[i]);
        if (!text.empty()) console.line(text);
    }
}

} // namespace vk
