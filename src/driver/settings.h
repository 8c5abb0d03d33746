// The run settings, fixed once the command line has been scanned.
#pragma once

#include <string>

namespace vk {

struct RunSettings {
    bool shapefileOutput = false;  // -shp
    bool mifOutput = false;        // -mif
    bool trimToLevees = true;      // -notrim clears it
    bool report = false;           // -report: the conversion report page
    bool quiet = false;            // -quiet: warnings, errors, the summary and dialogues only
    bool showHelp = false;         // the program was started without arguments
    std::string inputName;         // trailing blanks removed
    int sdfUnit = 0;
};

}  // namespace vk
