// The processing of one completed cross-section: chainage along the surface line, Manning's n per
// point, levee markers and the trim to the two that enclose the channel, the section's .csv table
// and its objects in the five cross-section layers.
#pragma once

#include <span>
#include <string_view>

#include "driver/layers.h"
#include "driver/sdf.h"

namespace vk {

// Plane distance in single precision: the differences are formed in double and rounded to float;
// both below 1.0e-6 gives 0; otherwise the square root of the sum of their squares, all in float.
float DISTANCE_8(double x1, double y1, double x2, double y2);

// The .csv table name of a section: stream ID, "_", reach ID, "_", station, ".csv", each part
// without trailing blanks (leading blanks stay), cut at 1000 bytes. Every character that cannot be
// part of a file name on Windows (< > : " / \ | ? * and the bytes 1 to 31) is made "_", on every
// system. `name` keeps the export's bytes (the Source attribute); `file` is the same name as
// UTF-8 (encoding.h), cut at a whole character, which names the table's file. Both are written
// into storage that is reused.
void composeCsvName(std::string& name, std::string& file, std::string_view streamId,
                    std::string_view reachId, std::string_view station);

// What the processing made of one section, for an observer of the conversion (the report). The
// section's own blocks are read from `section`; the spans are good until the next section.
struct ProcessedSection {
    const SdfSection* section = nullptr;
    std::string_view streamId, reachId, station;  // trailing blanks removed
    std::string_view csvName;                     // empty when no table was written
    std::string_view csvFile;                     // csvName as UTF-8: its file's name
    std::size_t points = 0;                       // surface points; 0: no surface line
    std::span<const float> chainage;              // D(i) of every point
    std::span<const unsigned char> drop;          // 1: outside the levee markers
    std::span<const float> nAtPoint;              // empty without n values
    std::size_t levees = 0;                       // markers placed (none with -notrim)
    std::span<const float> leveePosition;         // their distance along the line
    std::span<const double> leveeX, leveeY;
    int lowerMarker = -1, upperMarker = -1;       // the markers trimmed to; -1: none
    bool surfaceLineWritten = false;
    bool cutLineWritten = false;
};

class SectionObserver {
public:
    virtual ~SectionObserver() = default;
    virtual void processed(const ProcessedSection& result) = 0;
};

class RunState;  // driver/runstate.h

// Writes one section for the run `run` (its console, its tables, its working arrays): its .csv
// table into csvFolder (the input's folder part, empty for the
// current folder) and its objects into the five cross-section layers. The section is trimmed to
// its levee markers when it has them (hasLevees: the reader keeps none in a run with -notrim).
// Ends the run through EXITS when the station is not a number. An observer is shown the result
// once everything is written. csvFiles: the section's table is written as its .csv file too.
void Process_sdf_Sections(RunState& run, const SdfIds& ids, const SdfSection& section,
                          const SectionLayers& layers, std::string_view csvFolder,
                          SectionObserver* observer = nullptr, bool csvFiles = true);

}  // namespace vk
