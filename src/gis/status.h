// What a layer writer reports instead of ending the run: every writer operation returns a
// GisStatus, and the layers and datasets of gis/dataset.h hand it to gisEndRunOn, the one place
// where a failure becomes its message and the end of the run.
//
//   GisStatus status = writer.object(object);
//   gisEndRunOn(status);  // returns when status.ok(); otherwise reports and ends the run
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "files/context.h"

namespace vk {

enum class GisError {
    None,
    Fault,               // a state the program never makes; detail: where it was found
    TooManyLayers,       // detail: the number of layers
    ShpNotSpecified,
    ShpHeaderWrite,
    ShpObjectWrite,
    ShpKindUnsupported,
    ShpObjectWithoutKind,
    MifObjectWrite,
    MifKindUnsupported,
    MidRecordWrite,      // detail: the object's type word
    DbfHeaderWrite,
    DbfTooManyFields,
    DbfNoFields,
    DbfFieldWidth,       // detail: the width
    DbfRecordWrite,
    DbfRecordWithoutKind,
    CloseOut,
    PackageWrite,        // detail: the package's name and the reason
    PackageKept,         // detail: the temporary name the finished package is kept under
    FileWrite,           // detail: the file's name and the reason
    Transform,           // detail: the layer, the point and the two systems
};

struct [[nodiscard]] GisStatus {
    GisError error = GisError::None;
    std::string detail;
    bool ok() const { return error == GisError::None; }
};

inline GisStatus gisFault(std::string_view where) {
    return {GisError::Fault, std::string(where)};
}

// The text of a failure's message as the console shows it (a fault's without its blank line).
std::string gisErrorMessage(const GisStatus& status);

// Nothing when the status is ok. A fault is reported as "Should not be here <where> - please
// contact <address>." straight to the console; any other failure is composed into line 1 of the
// error text buffer and reported with one empty line before it. Then the run ends (EXITS).
void gisEndRunOn(RunContext& run, const GisStatus& status);

// "Should not be here <where> - please contact <address>." straight to the console, then EXITS.
[[noreturn]] void gisShouldNotBeHere(RunContext& run, std::string_view where);

// The reporter of an error's text (four lines): `blankLines` empty lines, then line 1 and every
// non-blank further line.
void gisReportError(Console& console, const std::array<std::string, 4>& gisErrorText,
                    int blankLines);

}  // namespace vk
