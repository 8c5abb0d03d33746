// What the SDF reader collects, and the narrow interface through which it hands each completed
// centreline and cross-section on to the output side.
#pragma once

#include <array>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "files/console.h"
#include "gis/object.h"

namespace vk {

// The reach (and, in the cross-section part, the section) identifiers: the text after the first
// ":" of the ID line, trailing blanks removed, leading blanks kept. A section without its own ID
// line keeps the previous values.
struct SdfIds {
    std::string streamId;
    std::string reachId;
};

// The cross-section being read. Each block's arrays hold exactly its `...Count` entries (their
// storage is kept from section to section), so a plain copy of a section holds everything its
// consumer reads. A block the section does not have (its flag clear) keeps what it last held.
// Every block is declared once more in kSdfBlocks below: reading, clearing, reserving and the
// read-ahead's count of what a section holds all go through that table.
struct SdfSection {
    static constexpr std::size_t kInitialPoints = 100000;  // room reserved for the reader's
    static constexpr std::size_t kInitialLevees = 100;
    static constexpr int kCutLineLimit = 100000;

    SdfSection();
    // A store without any room yet (for copies of sections).
    struct Unsized {};
    explicit SdfSection(Unsized);

    std::string station;
    int firstLine = 0;  // the number of its "CROSS-SECTION:" line (0 before the first one)

    int cutCount = 0;
    std::vector<double> cutX, cutY;

    int nCount = 0;
    std::vector<float> nPosition, nValue;

    int leveeCount = 0;
    std::vector<std::string> leveeId;  // at most 50 characters each
    std::vector<float> leveePosition, leveeHeight;

    int surfaceCount = 0;
    std::vector<double> surfaceX, surfaceY;
    std::vector<float> surfaceZ;

    // The model's results (read only when they are asked for): one row per profile.
    int extentCount = 0;
    std::vector<double> extentXL, extentYL, extentXR, extentYR;
    std::vector<double> waterElevation;  // as many as the export gives
    double bankLeft = 0, bankRight = 0;  // fractions of the cut line's length, each in 0..1
    std::string nodeName;

    bool hasCutLine = false;
    bool hasNValues = false;
    bool hasLevees = false;
    bool hasSurfaceLine = false;
    bool hasExtents = false;
    bool hasBanks = false;

    void clearFlags();
    // The rows that the section's blocks hold, absent blocks included (what a copy takes).
    std::size_t storedRows() const;
};

// Where one column of a block's rows is kept.
using SdfColumn = std::variant<std::vector<double> SdfSection::*, std::vector<float> SdfSection::*,
                               std::vector<std::string> SdfSection::*>;
inline constexpr std::size_t kSdfMaxColumns = 4;

// What ends a block: the line that does is then tested for every keyword, as any other line.
enum class SdfBlockEnd {
    NoNumbersOrEnd, // a line without any number, or one holding "END:"
    NotAllNumbers,  // a line that is not all numbers
    Colon,          // a line holding a ":"
};

// How a row is read.
enum class SdfRowForm {
    // One value per column in list-directed form; values after them are not looked at. A line of
    // plain numbers is read in one pass (nearly every line of an export is one).
    Values,
    // Split at the first commas, one field per column (a text field is its first value). The last
    // field may hold no number: the row then gets `missingValue`, with the warning
    // `missingWarning` and the line number.
    Fields,
};

// A block of rows of a cross-section: "CUT LINE", "NVALUES", ... with one row of values per line.
struct SdfBlock {
    std::string_view keyword = {};
    std::string_view foundMessage = {}; // written with the line number before the block is read
    // A line that cannot be read ends the run with this message and the line itself, or, where
    // rowWarning is given, is warned of with its line number and kept as a row without values.
    std::string_view readError = {};
    std::string_view rowWarning = {};
    SdfRowForm form = SdfRowForm::Values;
    SdfBlockEnd end = SdfBlockEnd::NoNumbersOrEnd;
    int SdfSection::*count = nullptr;
    bool SdfSection::*present = nullptr;
    std::array<SdfColumn, kSdfMaxColumns> columns = {};
    std::size_t width = 0; // columns used
    std::size_t reserve = 0;
    // Rows past the limit are not kept: each is reported with limitMessage, kSupportAddress, ".".
    int limit = std::numeric_limits<int>::max();
    std::string_view limitMessage = {};
    std::size_t textLength = 0; // text values are cut to this length (0: not cut)
    float missingValue = 0;
    std::string_view missingWarning = {};
    // Warnings with the line number after a block that should hold two rows and holds none, one
    // or more (none written when empty).
    std::array<std::string_view, 3> pairWarnings = {};
    // Read, but handed over as absent when the sections are not trimmed to their levee markers.
    bool onlyWhenTrimming = false;
    // A block of the model's results: its keyword is looked for only when they are asked for, and
    // a count of rows other than the profiles' is reported with this text.
    bool onlyWithResults = false;
    std::string_view perProfileWarning = {};

    std::span<const SdfColumn> used() const { return {columns.data(), width}; }
};

// The blocks of a cross-section. They may come in any order: a line is tested for each keyword in
// the order declared, and the line that ends a block is tested for all of them again.
inline constexpr SdfBlock kSdfBlocks[] = {
    {.keyword = "CUT LINE",
     .readError = "ERROR - Reading following line in file in sub GetSdfCutline",
     .count = &SdfSection::cutCount,
     .present = &SdfSection::hasCutLine,
     .columns = {&SdfSection::cutX, &SdfSection::cutY},
     .width = 2,
     .reserve = SdfSection::kInitialPoints,
     .limit = SdfSection::kCutLineLimit,
     .limitMessage = "ERROR - Exceeeded limit of 100,000 cut lines. Contact "},
    {.keyword = "NVALUES",
     .readError = "ERROR - Reading following line in file in sub GetSdfnVals",
     .count = &SdfSection::nCount,
     .present = &SdfSection::hasNValues,
     .columns = {&SdfSection::nPosition, &SdfSection::nValue},
     .width = 2,
     .reserve = SdfSection::kInitialPoints},
    // "ID, position, height"; a missing height is reported and stored as 9999.
    {.keyword = "LEVEE POSITIONS",
     .foundMessage = "Found LEVEE POSITIONS on line ",
     .readError = "ERROR - Reading following line in file in sub GetSdfLevees",
     .form = SdfRowForm::Fields,
     .end = SdfBlockEnd::Colon,
     .count = &SdfSection::leveeCount,
     .present = &SdfSection::hasLevees,
     .columns = {&SdfSection::leveeId, &SdfSection::leveePosition, &SdfSection::leveeHeight},
     .width = 3,
     .reserve = SdfSection::kInitialLevees,
     .textLength = 50,
     .missingValue = 9999.0f,
     .missingWarning = "WARNING - No levee height specified.  Line number: ",
     .pairWarnings = {"WARNING - No levee points detected. Line number: ",
                      "WARNING - Only one levee points detected for section. Line number: ",
                      "WARNING - More than two levee points detected for section. Line number: "},
     .onlyWhenTrimming = true},
    {.keyword = "SURFACE LINE",
     .foundMessage = "Found SURFACE LINE on line ",
     .readError = "ERROR - Reading following line in file in sub GetSdfSurfaceLine",
     .end = SdfBlockEnd::NotAllNumbers,
     .count = &SdfSection::surfaceCount,
     .present = &SdfSection::hasSurfaceLine,
     .columns = {&SdfSection::surfaceX, &SdfSection::surfaceY, &SdfSection::surfaceZ},
     .width = 3,
     .reserve = SdfSection::kInitialPoints},
    // "xl, yl, xr, yr" per profile: where its water surface meets the ground on each side.
    {.keyword = "WATER SURFACE EXTENTS",
     .rowWarning = "WARNING - Water surface extents row not read; its profile has none given. Line number: ",
     .end = SdfBlockEnd::NotAllNumbers,
     .count = &SdfSection::extentCount,
     .present = &SdfSection::hasExtents,
     .columns = {&SdfSection::extentXL, &SdfSection::extentYL, &SdfSection::extentXR,
                 &SdfSection::extentYR},
     .width = 4,
     .reserve = 16,
     .onlyWithResults = true,
     .perProfileWarning = "WARNING - Water surface extents: "},
};

// What the header says of the model's results: the profiles' names, in order, and the units.
struct SdfHeader {
    std::vector<std::string> profiles;
    std::string units; // the UNITS line's text ("ENGLISH", "METRIC"), empty without one
};

// A polygon of the model's results, read after the cross-sections: the limits of mapping of one
// profile (BOUNDS, "PROFILE LIMITS") or a storage area with its water elevations.
struct SdfRegion {
    enum class Kind { ProfileLimits, StorageArea };
    Kind kind = Kind::ProfileLimits;
    std::string name; // the profile's or the storage area's
    std::vector<double> x, y;
    std::vector<double> z;              // a third value of every row (the water elevation
                                        // there), or none
    std::vector<double> waterElevation; // a storage area's, one per profile
    int line = 0;                       // the number of its "POLYGON:" line
};

// The output side of the reader. The reader calls, in order: centreline() for every completed
// centreline (its vertices are in `line`: line.n pairs in line.X, line.Y), streamNetworkDone()
// after the stream-network loop, section() for every "END:" of the cross-section part, and
// crossSectionsDone() when that loop ends.
// Where a warning arose, as a quiet console shows it after the warning: "stream S, reach R,
// station X, line N" (IDs and station without their outer blanks); stream and reach are left out
// when ids is null, the station when it is.
void appendPlace(std::string& out, const SdfIds* ids, const std::string* station, int line);

class SdfConsumer {
public:
    virtual ~SdfConsumer() = default;
    virtual void centreline(const SdfIds& ids, GisObject& line) = 0;
    virtual void streamNetworkDone() = 0;
    virtual void section(const SdfIds& ids, const SdfSection& section) = 0;
    virtual void crossSectionsDone() = 0;
    // The header, once the stream network has been read (before streamNetworkDone); and, only
    // when the results are read, each polygon of them after the last section (before
    // crossSectionsDone).
    virtual void header(const SdfHeader& header) { (void)header; }
    virtual void region(const SdfRegion& region) { (void)region; }
    // Just before crossSectionsDone, when not one keyword was found: the file is no export.
    virtual void notAnExport() {}
    // Called once after each section(), just before the reader reads on past line `lineNumber`
    // (that section's "END:" line), with the place the reader's messages name there; not called
    // when the reading ends on that line.
    virtual void readingPast(int lineNumber, const ConsolePlace& place) {
        (void)lineNumber;
        (void)place;
    }
};

}  // namespace vk
