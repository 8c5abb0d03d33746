// The processing of one completed cross-section: chainage along the surface line, Manning's n per
// point, levee markers and the trim to the two that enclose the channel, the section's .csv table
// and its objects in the five cross-section layers.
#pragma once

#include <string_view>

#include "driver/layers.h"
#include "driver/sdf.h"

namespace vk {

// Plane distance in single precision: the differences are formed in double and rounded to float;
// both below 1.0e-6 gives 0; otherwise the square root of the sum of their squares, all in float.
float DISTANCE_8(double x1, double y1, double x2, double y2);

// The .csv file name of a section: stream ID, "_", reach ID, "_", station, ".csv", each part
// without trailing blanks (leading blanks stay), every "/" and "\" made "_", cut at 1000
// characters. Written into `name`, whose storage is reused.
void composeCsvName(std::string& name, std::string_view streamId, std::string_view reachId,
                    std::string_view station);

// Writes one section: its .csv table into csvFolder (the input's folder part, empty for the
// current folder) and its objects into the five cross-section layers. With trimToLevees false
// the section's levee markers are ignored. Ends the run through EXITS when the station is not a
// number.
void Process_sdf_Sections(const SdfIds& ids, const SdfSection& section,
                          const SectionLayerIds& layers, std::string_view csvFolder,
                          bool trimToLevees);

}  // namespace vk
