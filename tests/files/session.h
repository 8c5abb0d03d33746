// Shared set-up for the file unit tests: a fresh unit table, a private working folder and a
// console whose output is captured and whose input is scripted.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <poll.h>
#include <unistd.h>
#include <utility>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "support/testfiles.h"

namespace vktest {

class FilesSession : public ::testing::Test {
protected:
    FilesSession() {
        vk::INITFILEUNITS(1000);
        vk::console().captureOutput(&out);
        vk::console().feedInput("");
    }
    ~FilesSession() override {
        vk::INITFILEUNITS(1000);
        vk::console().captureOutput(nullptr);
        vk::console().useStandardInput();
    }

    TempDir dir;
    ScopedCwd cwd{dir.path()};
    std::string out;  // the console transcript
};

// Puts the process's standard input and output on pipes while it lives, so that the console's
// real reads and writes (read(2) on fd 0, write(2) on fd 1) can be driven and observed.
class PipedStdio {
public:
    PipedStdio() {
        std::fflush(stdout);
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("pipe failed");
        savedIn_ = ::dup(0);
        savedOut_ = ::dup(1);
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[0]);
        ::close(out[1]);
        inputEnd_ = in[1];
        outputEnd_ = out[0];
    }
    ~PipedStdio() {
        restore();
        closeInput();
        if (outputEnd_ >= 0) ::close(outputEnd_);
    }
    PipedStdio(const PipedStdio&) = delete;
    PipedStdio& operator=(const PipedStdio&) = delete;

    // Feeds bytes to standard input.
    void type(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(inputEnd_, bytes.data(), bytes.size());
            if (n <= 0) return;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    void closeInput() {
        if (inputEnd_ >= 0) ::close(inputEnd_);
        inputEnd_ = -1;
    }
    // Reads what the process wrote to standard output until `until` has appeared, output ended or
    // nothing came for timeoutMs; returns everything read so far.
    std::string readUntil(std::string_view until, int timeoutMs = 20000) {
        char buf[4096];
        while (written_.find(until) == std::string::npos) {
            pollfd ready{outputEnd_, POLLIN, 0};
            if (::poll(&ready, 1, timeoutMs) <= 0) break;
            const ssize_t n = ::read(outputEnd_, buf, sizeof buf);
            if (n <= 0) break;
            written_.append(buf, static_cast<std::size_t>(n));
        }
        return written_;
    }
    // Puts fd 0 and fd 1 back; after this the output pipe reaches its end.
    void restore() {
        if (savedIn_ < 0) return;
        ::dup2(savedIn_, 0);
        ::dup2(savedOut_, 1);
        ::close(savedIn_);
        ::close(savedOut_);
        savedIn_ = savedOut_ = -1;
    }

private:
    int savedIn_ = -1, savedOut_ = -1;
    int inputEnd_ = -1, outputEnd_ = -1;
    std::string written_;
};

// Runs a routine that should end the run; its exit status, or -1 when it returned instead.
template <class Routine> int endStatus(Routine&& routine) {
    try {
        std::forward<Routine>(routine)();
    } catch (const vk::RunEnd& end) {
        return end.status;
    }
    return -1;
}

}  // namespace vktest
