// What the SDF reader collects, and the narrow interface through which it hands each completed
// centreline and cross-section on to the output side.
#pragma once

#include <string>
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

    bool hasCutLine = false;
    bool hasNValues = false;
    bool hasLevees = false;
    bool hasSurfaceLine = false;

    void clearFlags() { hasCutLine = hasNValues = hasLevees = hasSurfaceLine = false; }
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
    // Called once after each section(), just before the reader reads on past line `lineNumber`
    // (that section's "END:" line), with the place the reader's messages name there; not called
    // when the reading ends on that line.
    virtual void readingPast(int lineNumber, const ConsolePlace& place) {
        (void)lineNumber;
        (void)place;
    }
};

}  // namespace vk
