// Pseudo-terminals for the tests of what the program does for a person at a console: the built
// program run with a terminal as its standard input and output, and the test process's own
// standard output put on a terminal. The terminal neither echoes typed text nor turns "\n" into
// "\r\n", so what is read back is what the program wrote.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vktest {

// The program (VK_BINARY unless given) run in folder cwd with a terminal as standard input,
// output and error; killed when still running at the end.
class TerminalProcess {
  public:
    TerminalProcess(const std::vector<std::string>& args, const std::string& cwd,
                    const std::string& program = VK_BINARY);
    ~TerminalProcess();
    TerminalProcess(const TerminalProcess&) = delete;
    TerminalProcess& operator=(const TerminalProcess&) = delete;

    // Everything the program has written, once `until` has appeared in it, the terminal has
    // closed or nothing came for timeoutMs.
    std::string readUntil(std::string_view until, int timeoutMs = 20000);
    void type(std::string_view bytes);
    // The exit status once the program has ended; -1 when it is still running after timeoutMs
    // (or was killed by a signal).
    int waitForExit(int timeoutMs);

  private:
    int master_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = -1;
    std::string written_;
};

// Puts this process's standard output on a terminal while it lives.
class TerminalStdout {
  public:
    TerminalStdout();
    ~TerminalStdout();
    TerminalStdout(const TerminalStdout&) = delete;
    TerminalStdout& operator=(const TerminalStdout&) = delete;

    std::string readUntil(std::string_view until, int timeoutMs = 20000);

  private:
    int master_ = -1;
    int savedOut_ = -1;
    std::string written_;
};

} // namespace vktest
