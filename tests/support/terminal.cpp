#include "support/terminal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace vktest {

namespace {

// A new terminal: its controlling side in master, the program's side in the returned descriptor.
int openTerminal(int& master) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    const char* name = ::ptsname(master);
    const int side = name != nullptr ? ::open(name, O_RDWR | O_NOCTTY) : -1;
    if (side < 0) throw std::runtime_error("cannot open the pseudo-terminal");
    termios modes{};
    ::tcgetattr(side, &modes);
    modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    ::tcsetattr(side, TCSANOW, &modes);
    return side;
}

long long nowMs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Reads from the terminal's controlling side into `written` until `until` appears, the program's
// side is closed (EIO) or nothing comes for timeoutMs.
void readInto(int master, std::string& written, std::string_view until, int timeoutMs) {
    char buf[4096];
    while (written.find(until) == std::string::npos) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0) return;
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) return;
        written.append(buf, static_cast<std::size_t>(n));
    }
}

} // namespace

TerminalProcess::TerminalProcess(const std::vector<std::string>& args, const std::string& cwd,
                                 const std::string& program) {
    const int side = openTerminal(master_);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::setsid();
        ::ioctl(side, TIOCSCTTY, 0);
        ::dup2(side, 0);
        ::dup2(side, 1);
        ::dup2(side, 2);
        ::close(side);
        ::close(master_);
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(side);
}

TerminalProcess::~TerminalProcess() {
    if (!ended_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(master_);
}

std::string TerminalProcess::readUntil(std::string_view until, int timeoutMs) {
    readInto(master_, written_, until, timeoutMs);
    return written_;
}

void TerminalProcess::type(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

int TerminalProcess::waitForExit(int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    while (!ended_) {
        int wstatus = 0;
        const pid_t done = ::waitpid(pid_, &wstatus, WNOHANG);
        if (done == pid_) {
            ended_ = true;
            status_ = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
            break;
        }
        if (nowMs() >= deadline) return -1;
        // Keep the terminal drained, so that a program writing a lot is never held up by it.
        readInto(master_, written_, "\x01\x02", 20);
    }
    return status_;
}

TerminalStdout::TerminalStdout() {
    std::fflush(stdout);
    const int side = openTerminal(master_);
    savedOut_ = ::dup(1);
    ::dup2(side, 1);
    ::close(side);
}

TerminalStdout::~TerminalStdout() {
    std::fflush(stdout);
    ::dup2(savedOut_, 1);
    ::close(savedOut_);
    ::close(master_);
}

std::string TerminalStdout::readUntil(std::string_view until, int timeoutMs) {
    readInto(master_, written_, until, timeoutMs);
    return written_;
}

} // namespace vktest
