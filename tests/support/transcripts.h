// Console texts that the command-line tests expect, in-process and from the binary alike.
#pragma once

#include <string>

namespace vktest {

inline const std::string kHelpText = "\n"
                                     " varnokline description\n"
                                     "\n"
                                     " Converts HECRAS SDF (export format) to GIS format\n"
                                     " Outlines Centreline, cross-section locations and cross "
                                     "section in .csv format\n"
                                     " Options:\n"
                                     "\n"
                                     " GIS FORMAT:\n"
                                     "    -shp for shapefile format\n"
                                     "    -mif for MapInfo format\n"
                                     "    Note: Only one can be specified.\n"
                                     "\n"
                                     " LEVEE MARKERS:\n"
                                     "    -notrim, do not trim cross-sections to levee markers.\n"
                                     " CONSOLE:\n"
                                     "    -quiet, write only warnings, errors and the summary.\n"
                                     "    -help, write this text.  -version, write the version.\n"
                                     " EXAMPLES:\n"
                                     "    varnokline.exe -shp hecras.sdf\n";

// The start of every run: the build line and the count of command-line words.
inline std::string banner(int count) {
    return "\nBuild 2013-09-AA\n\n\nFound" + std::string(count < 10 ? "  " : " ") +
           std::to_string(count) + " arguments\n";
}

}  // namespace vktest
