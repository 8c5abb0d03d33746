// The system interface on Linux and other POSIX systems.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/platform.h"

namespace vk::sys {

namespace {

int fd(File file) { return static_cast<int>(file); }

// A name holding a NUL byte names no file the system can open or create.
bool nameable(const std::string& path) { return path.find('\0') == std::string::npos; }

void describe(const struct stat& st, FileInfo& info) {
    info.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    info.regular = S_ISREG(st.st_mode);
    info.directory = S_ISDIR(st.st_mode);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.modified = static_cast<std::int64_t>(st.st_mtime);
}

// Noted by the signal handler, which may run on any thread at any time: a lock-free flag and the
// write of one byte are all it does.
std::atomic<bool> interruptNoted{false};
Wakeup* interruptWake = nullptr;

extern "C" void noteInterrupt(int signal) {
    if (interruptNoted.exchange(true)) {
        // The second one: the run did not end soon enough for its user.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (interruptWake != nullptr) interruptWake->signal();
}

bool notReadyYet(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// Waits until a write to the descriptor can go on (after it gave EAGAIN): 0, or the errno.
int waitUntilWritable(int descriptor) {
    pollfd ready{descriptor, POLLOUT, 0};
    while (::poll(&ready, 1, -1) < 0)
        if (errno != EINTR) return errno;
    return 0;
}

// write(2), or pwrite(2) at `offset` when it is not negative, through the fault seam.
int writeBytes(File file, const char* data, std::size_t size, WriteFaults* faults) {
    while (size > 0) {
        std::size_t take = size;
        if (detail::faultsSet(faults) && detail::faultyFile(*faults, file)) {
            const off_t at = ::lseek(fd(file), 0, SEEK_CUR);
            const int error =
                detail::allowedBytes(*faults, file, static_cast<std::uint64_t>(at), size, take);
            if (error != 0) return error;
        }
        const ssize_t n = ::write(fd(file), data, take);
        if (n < 0) {
            if (errno == EINTR) continue;
            // A pipe or device opened non-blocking by someone else takes the rest once it can.
            if (notReadyYet(errno) && waitUntilWritable(fd(file)) == 0) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Takes the advisory lock on the whole file without waiting; false only when another open holds
// it (a file system that cannot lock lets the file be).
bool lockExclusive(int f) {
    int locked;
    do {
        locked = ::flock(f, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    return locked == 0 || errno != EWOULDBLOCK;
}

}  // namespace

int openFile(const std::string& path, Access how, File& file, bool held, WriteFaults* faults) {
    file = kNoFile;
    if (!nameable(path)) return how == Access::Read ? ENOENT : EINVAL;
    int flags = O_CLOEXEC;
    switch (how) {
    case Access::Read: flags |= O_RDONLY; break;
    // A file held by another open is left as it is: it is emptied only once it is held.
    case Access::Truncate: flags |= O_WRONLY | O_CREAT | (held ? 0 : O_TRUNC); break;
    case Access::Keep: flags |= O_WRONLY | O_CREAT; break;
    }
    // A held output must be an ordinary file: a link is not followed, and a named pipe opened
    // without waiting for a reader, so that what is found there can be refused as it is.
    if (held && how != Access::Read) {
        struct stat named{};
        if (::lstat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) return kNotRegularFile;
        flags |= O_NOFOLLOW | O_NONBLOCK;
    }
    int f;
    // An open that waits (a named pipe without a writer) ends at an interruption.
    do {
        f = ::open(path.c_str(), flags, 0666);
    } while (f < 0 && errno == EINTR && !interruptNoted.load());
    if (f < 0) return held && errno == ELOOP ? kNotRegularFile : errno;
    struct stat st{};
    // A folder opens for reading here, but holds no bytes to read: refused as Windows does.
    if (how == Access::Read && ::fstat(f, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(f);
        return EISDIR;
    }
    if (held && how != Access::Read) {
        // Whatever took the name since it was looked at is refused the same way.
        if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(f);
            return kNotRegularFile;
        }
        ::fcntl(f, F_SETFL, ::fcntl(f, F_GETFL) & ~O_NONBLOCK);
    }
    if (held) {
        // Only another open's lock refuses the file; a file system that cannot lock lets it be.
        if (!lockExclusive(f)) {
            ::close(f);
            return EWOULDBLOCK;
        }
        if (how == Access::Truncate) {
            if (const int err = emptyIfRegular(f)) {
                ::close(f);
                return err;
            }
        }
    }
    file = f;
    if (how != Access::Read && detail::faultsSet(faults)) detail::noteOpened(*faults, path, file);
    return 0;
}

int readSome(File file, char* data, std::size_t size, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t n = ::read(fd(file), data, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno == EINTR) {
            if (interruptNoted.load()) return EINTR;
            continue;
        }
        // A non-blocking input with nothing in it yet has not ended: its input is awaited.
        if (!notReadyYet(errno)) return errno;
        if (const int err = waitForInput(file, nullptr)) return err;
    }
}

int writeAll(File file, const char* data, std::size_t size, WriteFaults* faults) {
    return writeBytes(file, data, size, faults);
}

int seekTo(File file, std::uint64_t offset) {
    return ::lseek(fd(file), static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
}

int truncateFile(File file, std::uint64_t size) {
    return ::ftruncate(fd(file), static_cast<off_t>(size)) != 0 ? errno : 0;
}

int closeFile(File file, WriteFaults* faults) {
    if (file == kNoFile) return EBADF;
    if (detail::faultsSet(faults)) detail::noteClosed(*faults, file);
    // After EINTR the descriptor is gone all the same (Linux); the close did not fail.
    return ::close(fd(file)) != 0 && errno != EINTR ? errno : 0;
}

bool fileInfo(File file, FileInfo& info) {
    struct stat st{};
    if (file == kNoFile || ::fstat(fd(file), &st) != 0) return false;
    describe(st, info);
    return true;
}

bool pathInfo(const std::string& path, FileInfo& info) {
    struct stat st{};
    if (path.empty() || !nameable(path) || ::stat(path.c_str(), &st) != 0) return false;
    describe(st, info);
    return true;
}

bool fileExists(const std::string& path) {
    FileInfo ignored;
    return pathInfo(path, ignored);
}

int createNewFile(const std::string& path) {
    if (!nameable(path)) return ENOENT;
    const int d = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (d < 0) return errno;
    return ::close(d) == 0 ? 0 : errno;
}

int replaceFile(const std::string& from, const std::string& to) {
    if (!nameable(from) || !nameable(to)) return ENOENT;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int removeFile(const std::string& path) {
    if (!nameable(path)) return ENOENT;
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

std::string utf8Path(const std::string& path) { return path; }

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

// The console's bytes are what the terminal makes of them: UTF-8 wherever its locale says so.
Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

std::string absolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/' || !nameable(path)) return path;
    std::string folder(4096, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return path;
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + path;
}

std::string resolvedPath(const std::string& path) {
    const std::string name = path.empty() ? "." : path;
    if (!nameable(name)) return path;
    char* real = ::realpath(name.c_str(), nullptr);
    if (real == nullptr) return absolutePath(name);
    std::string resolved(real);
    std::free(real);
    return resolved;
}

int holdFile(const std::string& path, bool create, File& file) {
    file = kNoFile;
    if (!nameable(path)) return create ? EINVAL : ENOENT;
    struct stat st{};
    if (!create && ::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return kNotRegularFile;
    // Read-only: a lock needs no more, and a file the user made read-only is held all the same.
    const int flags =
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    int f;
    do {
        f = ::open(path.c_str(), flags, 0666);
    } while (f < 0 && errno == EINTR);
    if (f < 0) return errno == ELOOP ? kNotRegularFile : errno;
    if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(f);
        return kNotRegularFile;
    }
    if (!lockExclusive(f)) {
        ::close(f);
        return EWOULDBLOCK;
    }
    file = f;
    return 0;
}

std::size_t raiseOpenFileLimit() {
    struct rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return 1024;
    // An unlimited maximum is not taken at its word: Linux refuses a soft limit above nr_open.
    constexpr rlim_t kAtMost = 1 << 20;
    const rlim_t wanted =
        files.rlim_max == RLIM_INFINITY || files.rlim_max > kAtMost ? kAtMost : files.rlim_max;
    if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < wanted) {
        struct rlimit raised = files;
        raised.rlim_cur = wanted;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) files.rlim_cur = wanted;
    }
    return files.rlim_cur == RLIM_INFINITY ? kAtMost : static_cast<std::size_t>(files.rlim_cur);
}

std::string errorText(int error) {
    return error == kNotRegularFile ? "not a regular file" : std::strerror(error);
}

void watchInterruptions() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    if (interruptWake == nullptr) interruptWake = new Wakeup;  // kept for the handler's lifetime
    struct sigaction noted{};
    noted.sa_handler = noteInterrupt;
    sigemptyset(&noted.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction was{};
        if (::sigaction(signal, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &noted, nullptr);
    }
}

bool interrupted() { return interruptNoted.load(); }

int consoleWrite(std::string_view bytes) {
    while (!bytes.empty()) {
        std::size_t size = bytes.size();
        if (interruptWake != nullptr) {
            // Room waited for where an interruption cuts the wait short, as it cuts a read's:
            // once one is noted, only what the output has room for goes out, so that a pipe
            // nobody reads keeps no interrupted run from ending.
            pollfd ready[2] = {{STDOUT_FILENO, POLLOUT, 0},
                               {fd(interruptWake->readEnd_), POLLIN, 0}};
            while (::poll(ready, 2, -1) < 0)
                if (errno != EINTR) return errno;
            // An error or hang-up is seen by the write that follows.
            if (ready[0].revents == 0) return EINTR;
            // No more than a pipe with room takes at once: a larger write could wait inside.
            size = std::min<std::size_t>(size, PIPE_BUF);
        }
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), size);
        if (n < 0) {
            if (errno == EINTR) continue;
            // A non-blocking output that is full for now takes the rest once it has room.
            // (Where interruptions are watched, the wait above is the one that cuts it short.)
            if (notReadyYet(errno) &&
                (interruptWake != nullptr || waitUntilWritable(STDOUT_FILENO) == 0))
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int consoleRead(char* data, std::size_t size, std::size_t& got) {
    // Waited for where an interruption can cut the wait short, whichever thread it reaches.
    if (interruptWake != nullptr)
        if (const int err = waitForInput(STDIN_FILENO, nullptr)) return err;
    return readSome(STDIN_FILENO, data, size, got);
}

bool consoleInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

bool consoleOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

Wakeup::Wakeup() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
}

Wakeup::~Wakeup() {
    if (readEnd_ != kNoFile) ::close(fd(readEnd_));
    if (writeEnd_ != kNoFile) ::close(fd(writeEnd_));
}

bool Wakeup::usable() const { return readEnd_ != kNoFile; }

void Wakeup::signal() {
    if (signalled_.exchange(true, std::memory_order_acq_rel)) return;
    // The byte is never read: the read end stays readable for every later wait.
    const char byte = 1;
    if (writeEnd_ != kNoFile)
        while (::write(fd(writeEnd_), &byte, 1) < 0 && errno == EINTR) {
        }
}

int waitForInput(File file, const Wakeup* wake) {
    const bool wakeable = wake != nullptr && wake->usable();
    const Wakeup* interrupt = interruptWake;
    pollfd ready[3] = {{fd(file), POLLIN, 0},
                       {interrupt != nullptr ? fd(interrupt->readEnd_) : -1, POLLIN, 0},
                       {wakeable ? fd(wake->readEnd_) : -1, POLLIN, 0}};
    for (;;) {
        if (wake != nullptr && wake->signalled()) return ECANCELED;
        if (interruptNoted.load()) return EINTR;
        if (::poll(ready, wakeable ? 3 : 2, -1) < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (ready[2].revents != 0) return ECANCELED;
        if (ready[1].revents != 0) return EINTR;
        // An error or hang-up is seen by the read that follows, as the end or a failure.
        if (ready[0].revents != 0) return 0;
    }
}

Date localDate() {
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    localtime_r(&now, &date);
    return {date.tm_year + 1900, date.tm_mon + 1, date.tm_mday};
}

int createFolders(const std::string& path) {
    if (!nameable(path)) return EINVAL;
    // Each folder from the top down. One that cannot be made may be there already (and not be
    // ours to make); the first that is not there says why.
    int failed = 0;
    FileInfo info;
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        const int error = ::mkdir(folder.c_str(), 0777) != 0 ? errno : 0;
        if (error != 0 && error != EEXIST && failed == 0 && !pathInfo(folder, info)) failed = error;
        if (end == std::string::npos) break;
    }
    if (!pathInfo(path, info)) return failed != 0 ? failed : ENOENT;
    return info.directory ? 0 : ENOTDIR;
}

std::vector<std::string> expandWildcards(const std::string& name) { return {name}; }

}  // namespace vk::sys
