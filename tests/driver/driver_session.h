// A clean start for in-process driver tests: a terminal captured into a string with scripted
// input (its end ends every prompt and pause) and a run state of its own on it (a fresh file unit
// table, blank projections, not finished, a console not quiet).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "driver/runstate.h"
#include "gis/formats.h"

namespace vktest {

class DriverSession {
  public:
    std::string out; // the console transcript (first: it outlives the consoles writing to it)
    vk::Console terminal;
    vk::RunState state{terminal};
    vk::RunContext& run = state.context;
    vk::Console& console() { return state.console; }

    explicit DriverSession(std::string_view input = {}) {
        terminal.captureOutput(&out);
        terminal.feedInput(input);
        vk::INITFILEUNITS(run, 1000);
    }
    ~DriverSession() { vk::INITFILEUNITS(run, 1000); }
    DriverSession(const DriverSession&) = delete;
    DriverSession& operator=(const DriverSession&) = delete;
};

// The format row of an option word ("shp", "mif").
inline const vk::OutputFormat& outputFormat(std::string_view option) {
    for (const vk::OutputFormat& format : vk::outputFormats())
        if (format.option == option) return format;
    throw std::invalid_argument("no format " + std::string(option));
}

// What EXITS adds after the caller's message: an empty line and the closing pause.
inline constexpr std::string_view kExitTail = "\nPress Enter to Close\n";

// Runs f and returns the status of the RunEnd that ended it, or -1 when it returned normally.
template <class F> int endStatus(F&& f) {
    try {
        f();
    } catch (const vk::RunEnd& end) {
        return end.status;
    }
    return -1;
}

} // namespace vktest
