// The parts of a run that its file operations are handed, made for a test.
#pragma once

#include "files/console.h"
#include "files/context.h"
#include "files/exits.h"
#include "files/platform.h"
#include "files/units.h"

namespace vktest {

// What a run's file operations are handed, made for a test: the console is standard output and
// input until the test redirects it.
struct RunParts {
    vk::sys::WriteFaults faults;  // first: it outlives the files written through it
    vk::Console con;
    vk::ExitState exit;
    vk::UnitTable units{con, faults};
    vk::RunContext run{con, units, exit};
};

}  // namespace vktest
