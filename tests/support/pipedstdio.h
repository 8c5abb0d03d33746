// Puts the process's standard input and output on pipes while it lives, so that the console's
// real reads and writes (of the system's standard input and output) can be driven and observed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vktest {

class PipedStdio {
public:
    PipedStdio();
    ~PipedStdio();
    PipedStdio(const PipedStdio&) = delete;
    PipedStdio& operator=(const PipedStdio&) = delete;

    // Feeds bytes to standard input.
    void type(std::string_view bytes);
    void closeInput();
    // Reads what the process wrote to standard output until `until` has appeared, output ended or
    // nothing came for timeoutMs; returns everything read so far, lines ending with LF.
    std::string readUntil(std::string_view until, int timeoutMs = 20000);
    // The same bytes as written: lines end with CR LF on Windows.
    const std::string& raw() const { return raw_; }
    // Puts standard input and output back; after this the output pipe reaches its end.
    void restore();

private:
    // Descriptors, or handles on Windows.
    std::intptr_t savedIn_ = -1, savedOut_ = -1;
    std::intptr_t inputEnd_ = -1, outputEnd_ = -1;
    std::intptr_t stdinRead_ = -1, stdoutWrite_ = -1;  // the process's ends (Windows)
    void take(const char* bytes, std::size_t count);
    std::string raw_;
    std::string written_;  // raw_ with CR LF made LF on Windows
    bool pendingCr_ = false;
};

}  // namespace vktest
