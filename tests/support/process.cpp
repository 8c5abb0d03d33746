#include "support/process.h"

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
    return result;
}

ProcessResult runShell(const std::string& command, int timeoutSeconds) {
    return runProgram({"-c", command}, "", "", timeoutSeconds, "/bin/sh");
}

}  // namespace vktest
