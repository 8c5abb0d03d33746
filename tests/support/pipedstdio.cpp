#include "support/pipedstdio.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace vktest {

void PipedStdio::take(const char* bytes, std::size_t count) {
    raw_.append(bytes, count);
#ifdef _WIN32
    for (std::size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (pendingCr_ && c != '\n') written_ += '\r';
        pendingCr_ = c == '\r';
        if (!pendingCr_) written_ += c;
    }
#else
    written_.append(bytes, count);
#endif
}

#ifdef _WIN32

namespace {
HANDLE h(std::intptr_t v) { return reinterpret_cast<HANDLE>(v); }
std::intptr_t v(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }
}  // namespace

// The console asks the system for its standard handles at every read and write, so replacing
// them is enough; the C runtime's own streams (the test framework's output) are left alone.
PipedStdio::PipedStdio() {
    std::fflush(stdout);
    HANDLE inRead, inWrite, outRead, outWrite;
    // Room for what the tests type before the console reads it, as a POSIX pipe has.
    constexpr DWORD kRoom = 1 << 20;
    if (!CreatePipe(&inRead, &inWrite, nullptr, kRoom) ||
        !CreatePipe(&outRead, &outWrite, nullptr, kRoom))
        throw std::runtime_error("CreatePipe failed");
    savedIn_ = v(GetStdHandle(STD_INPUT_HANDLE));
    savedOut_ = v(GetStdHandle(STD_OUTPUT_HANDLE));
    SetStdHandle(STD_INPUT_HANDLE, inRead);
    SetStdHandle(STD_OUTPUT_HANDLE, outWrite);
    stdinRead_ = v(inRead);
    stdoutWrite_ = v(outWrite);
    inputEnd_ = v(inWrite);
    outputEnd_ = v(outRead);
}

PipedStdio::~PipedStdio() {
    restore();
    closeInput();
    if (outputEnd_ != -1) CloseHandle(h(outputEnd_));
}

void PipedStdio::type(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD n = 0;
        if (!WriteFile(h(inputEnd_), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) ||
            n == 0)
            return;
        bytes.remove_prefix(n);
    }
}

void PipedStdio::closeInput() {
    if (inputEnd_ != -1) CloseHandle(h(inputEnd_));
    inputEnd_ = -1;
}

std::string PipedStdio::readUntil(std::string_view until, int timeoutMs) {
    char buf[4096];
    auto quietSince = std::chrono::steady_clock::now();
    while (written_.find(until) == std::string::npos) {
        DWORD available = 0;
        if (!PeekNamedPipe(h(outputEnd_), nullptr, 0, nullptr, &available, nullptr)) break;
        if (available == 0) {
            if (std::chrono::steady_clock::now() - quietSince > std::chrono::milliseconds(timeoutMs))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        DWORD n = 0;
        if (!ReadFile(h(outputEnd_), buf, sizeof buf, &n, nullptr) || n == 0) break;
        take(buf, n);
        quietSince = std::chrono::steady_clock::now();
    }
    return written_;
}

void PipedStdio::restore() {
    if (savedIn_ == -1) return;
    SetStdHandle(STD_INPUT_HANDLE, h(savedIn_));
    SetStdHandle(STD_OUTPUT_HANDLE, h(savedOut_));
    CloseHandle(h(stdinRead_));
    CloseHandle(h(stdoutWrite_));
    savedIn_ = savedOut_ = stdinRead_ = stdoutWrite_ = -1;
}

#else

PipedStdio::PipedStdio() {
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

PipedStdio::~PipedStdio() {
    restore();
    closeInput();
    if (outputEnd_ >= 0) ::close(static_cast<int>(outputEnd_));
}

void PipedStdio::type(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(inputEnd_), bytes.data(), bytes.size());
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void PipedStdio::closeInput() {
    if (inputEnd_ >= 0) ::close(static_cast<int>(inputEnd_));
    inputEnd_ = -1;
}

std::string PipedStdio::readUntil(std::string_view until, int timeoutMs) {
    char buf[4096];
    while (written_.find(until) == std::string::npos) {
        pollfd ready{static_cast<int>(outputEnd_), POLLIN, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0) break;
        const ssize_t n = ::read(static_cast<int>(outputEnd_), buf, sizeof buf);
        if (n <= 0) break;
        take(buf, static_cast<std::size_t>(n));
    }
    return written_;
}

void PipedStdio::restore() {
    if (savedIn_ < 0) return;
    ::dup2(static_cast<int>(savedIn_), 0);
    ::dup2(static_cast<int>(savedOut_), 1);
    ::close(static_cast<int>(savedIn_));
    ::close(static_cast<int>(savedOut_));
    savedIn_ = savedOut_ = -1;
}

#endif

}  // namespace vktest
