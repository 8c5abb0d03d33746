#include "support/process.h"

#ifdef _WIN32

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace vktest {

namespace {

// One argument as the C runtime of the started program splits it back out of the command line:
// quoted when it holds blanks or quotes, backslashes doubled only before a quote.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

// The environment of this process with the given NAME=value entries added or replaced.
std::string environmentWith(const std::vector<std::string>& env) {
    std::vector<std::string> entries;
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* p = block; *p != '\0'; p += std::strlen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsA(block);
    }
    for (const std::string& e : env) {
        const std::string name = e.substr(0, e.find('=') + 1);
        std::erase_if(entries, [&](const std::string& old) {
            return old.size() >= name.size() && _strnicmp(old.c_str(), name.c_str(), name.size()) == 0;
        });
        entries.push_back(e);
    }
    std::string block;
    for (const std::string& e : entries) block.append(e).push_back('\0');
    block.push_back('\0');
    return block;
}

void readAll(HANDLE from, std::string& into) {
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(from, buf, sizeof buf, &n, nullptr) && n > 0) into.append(buf, n);
}

// Console transcripts end their lines with CR LF on Windows; the tests compare them with LF.
std::string withLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

}  // namespace

ProcessResult runProgram(const std::vector<std::string>& args, const std::string& input,
                         const std::string& cwd, int timeoutSeconds, const std::string& program,
                         const std::vector<std::string>& env) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    // Only the child's ends are inherited.
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    std::string commandLine = quoted(program);
    for (const std::string& a : args) commandLine += " " + quoted(a);
    std::string environment = environmentWith(env);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = inRead;
    start.hStdOutput = outWrite;
    start.hStdError = errWrite;
    PROCESS_INFORMATION child{};
    // Wine, on a loaded machine, now and then fails to start a program that starts the next time;
    // a program that was never started has done nothing, so starting it again hides no fault of it.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) Sleep(200);
        started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                 environment.data(), cwd.empty() ? nullptr : cwd.c_str(), &start, &child);
        if (!started) startError = GetLastError();
    }
    CloseHandle(inRead);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    ProcessResult result;
    if (!started) {
        CloseHandle(inWrite);
        CloseHandle(outRead);
        CloseHandle(errRead);
        result.status = 127;  // as a shell says of a program it cannot start
        result.errors = "cannot start " + program + " (error " + std::to_string(startError) + ")";
        return result;
    }
    std::thread feeder([&] {
        std::size_t written = 0;
        while (written < input.size()) {
            DWORD n = 0;
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(input.size() - written, 65536));
            if (!WriteFile(inWrite, input.data() + written, piece, &n, nullptr) || n == 0) break;
            written += n;
        }
        CloseHandle(inWrite);
    });
    std::string output, errors;
    std::thread outReader([&] { readAll(outRead, output); });
    std::thread errReader([&] { readAll(errRead, errors); });
    const DWORD waited = WaitForSingleObject(child.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000);
    if (waited != WAIT_OBJECT_0) {
        result.timedOut = true;
        TerminateProcess(child.hProcess, 1);
        WaitForSingleObject(child.hProcess, INFINITE);
    }
    feeder.join();
    outReader.join();
    errReader.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    result.status = result.timedOut ? -1 : static_cast<int>(code);
    result.rawOutput = output;
    result.output = withLf(output);
    result.errors = withLf(errors);
    return result;
}

ProcessResult runShell(const std::string& command, int timeoutSeconds) {
    (void)timeoutSeconds;
    ProcessResult result;
    result.status = 127;
    result.errors = "no POSIX shell on Windows to run: " + command;
    return result;
}

}  // namespace vktest

#else

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace vktest {

namespace {

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

ProcessResult runProgram(const std::vector<std::string>& args, const std::string& input,
                         const std::string& cwd, int timeoutSeconds, const std::string& program,
                         const std::vector<std::string>& env) {
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            close(fd);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    signal(SIGPIPE, SIG_IGN);

    ProcessResult result;
    std::size_t written = 0;
    int inFd = inPipe[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    } else {
        fcntl(inFd, F_SETFL, O_NONBLOCK);
    }
    bool outOpen = true, errOpen = true;
    const double deadline = now() + timeoutSeconds;
    char buf[65536];
    while (outOpen || errOpen) {
        double left = deadline - now();
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3];
        int nfds = 0;
        if (outOpen) fds[nfds++] = {outPipe[0], POLLIN, 0};
        if (errOpen) fds[nfds++] = {errPipe[0], POLLIN, 0};
        if (inFd >= 0) fds[nfds++] = {inFd, POLLOUT, 0};
        int ready = poll(fds, static_cast<nfds_t>(nfds), static_cast<int>(left * 1000) + 1);
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < nfds; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, input.data() + written, input.size() - written);
                if (w > 0) written += static_cast<std::size_t>(w);
                if (w < 0 || written == input.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r <= 0) {
                if (fds[i].fd == outPipe[0]) outOpen = false;
                else errOpen = false;
                continue;
            }
            (fds[i].fd == outPipe[0] ? result.output : result.errors).append(buf, static_cast<std::size_t>(r));
        }
    }
    if (inFd >= 0) close(inFd);
    close(outPipe[0]);
    close(errPipe[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.rawOutput = result.output;
    return result;
}

ProcessResult runShell(const std::string& command, int timeoutSeconds) {
    return runProgram({"-c", command}, "", "", timeoutSeconds, "/bin/sh");
}

}  // namespace vktest

#endif
