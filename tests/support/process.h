// Runs the built varnokline binary as a user does: arguments, standard input given as text (or
// closed), a working folder, and a time limit.
#pragma once

#include <string>
#include <vector>

#include "support/testfiles.h"  // kPosixSystem

namespace vktest {

struct ProcessResult {
    int status = -1;        // exit status; -1 when killed by a signal or the time limit
    bool timedOut = false;
    std::string output;     // standard output, its lines ending with LF
    std::string rawOutput;  // standard output as written (CR LF line ends on Windows)
    std::string errors;     // standard error
};

// Runs VK_BINARY (or `program` when given) with args in folder cwd. input is written to standard
// input, which is then closed; the process is killed after timeoutSeconds.
ProcessResult runProgram(const std::vector<std::string>& args, const std::string& input,
                         const std::string& cwd, int timeoutSeconds = 60,
                         const std::string& program = VK_BINARY,
                         const std::vector<std::string>& env = {});

// Runs a shell command line and returns its standard output and status; on Windows, where no
// POSIX shell is, status 127 as for a command that is not found.
ProcessResult runShell(const std::string& command, int timeoutSeconds = 120);

}  // namespace vktest
