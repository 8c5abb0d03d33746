// The section processing's working storage, kept by the run (RunState) from section to section.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "gis/object.h"
#include "text/fixedpoint.h"

namespace vk {

// A column whose value seldom changes from one line to the next (the n value in force stays the
// same over many points): its fixed-point text is composed again only when the value changes.
class RepeatedField {
public:
    RepeatedField(int width, int decimals) : width_(width), decimals_(decimals) {}
    void append(std::string& out, float value) {
        const auto bits = std::bit_cast<std::uint32_t>(value);
        if (!valid_ || bits != bits_) {
            text_.clear();
            appendFixedWide(text_, value, width_, decimals_);
            bits_ = bits;
            valid_ = true;
        }
        out += text_;
    }

private:
    int width_;
    int decimals_;
    bool valid_ = false;
    std::uint32_t bits_ = 0;
    std::string text_;
};

// The working arrays of the section processing. They live for the whole run (in its RunState), are
// sized for the largest section so far and are reused: each section clears and fills only the
// entries it uses.
struct SectionWork {
    std::vector<float> chainage;       // D(i): distance from the first point along the line
    std::vector<unsigned char> drop;   // point lies outside the chosen levee markers
    std::vector<float> nAtPoint;       // Manning's n in force at each point
    std::vector<float> nScaled;        // n-value positions x L
    std::vector<float> leveeScaled;    // levee positions x L
    std::vector<double> leveeX, leveeY;
    std::string csvName;   // as composed, in the export's bytes: the Source attribute
    std::string csvFile;   // the same name in UTF-8, as the table's file is named
    std::string csvPath;   // the file on disk
    std::string text;      // a .csv line or a console line
    RepeatedField nInTable{7, 4};  // the n column of the .csv table
    GisObject feature;     // every feature the sections write, one at a time
};

}  // namespace vk
