// Everything the program asks of the operating system: files, the console and the local date.
// One source per system implements it (platform_posix.cpp, platform_win32.cpp); no other source
// includes a system header. Errors are errno numbers on every system (the Windows source
// translates its own codes), so that callers test and report them one way.
//
//   vk::sys::File f;
//   if (const int err = vk::sys::openFile("x.csv", vk::sys::Access::Truncate, f))
//       report(vk::sys::errorText(err));
//   vk::sys::writeAll(f, "X,Z\n", 4);
//   vk::sys::closeFile(f);
//
// Every file is opened in binary mode: the bytes written are the bytes in the file, on every
// system. File names are UTF-8 on every system: POSIX takes their bytes as they are; on Windows
// they are given to the system's wide calls as UTF-16 (bytes of a name that are not UTF-8 read as
// Windows-1252), a name whose full path is longer than the system's old limit in its "\\?\"
// form, so that names in any language and of any length open.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>


namespace vk::sys {

using File = std::intptr_t;  // a descriptor, or a handle on Windows
inline constexpr File kNoFile = -1;

enum class Access {
    Read,      // an existing file (not a folder), read-only; others may read and write it meanwhile
    Truncate,  // written from its first byte: created, or emptied when it exists
    Keep,      // written as it is: created when missing, not emptied
};

// The error of a held open whose name is taken by something other than an ordinary file.
inline constexpr int kNotRegularFile = 0x7F01;

// 0, or the errno of the failure (file is then kNoFile).
// held: the file is this open's alone while it stays open, so that another run cannot write into
// it meanwhile; the open fails with EWOULDBLOCK, leaving the file exactly as it is, when another
// open holds it. A file emptied by the open (Truncate) is emptied only once it is held. POSIX
// systems take an advisory lock on the whole file (a file system that cannot lock counts as
// held); Windows opens it sharing only reading with others. Only an ordinary file is held: a name
// taken by a symbolic link, a named pipe, a device or a folder (on Windows any reparse point) is
// neither followed nor opened, and is left as it is (kNotRegularFile); the open never waits.
// faults: the run's write faults that a file opened for writing is subject to (none: nullptr).
struct WriteFaults;
int openFile(const std::string& path, Access how, File& file, bool held = false,
             WriteFaults* faults = nullptr);
// Reads up to `size` bytes; `got` is 0 at the end of the file. Input that is not there yet is
// waited for, also where someone left the file non-blocking.
int readSome(File file, char* data, std::size_t size, std::size_t& got);
// Writes every byte (going on after partial or interrupted writes, and waiting for room where
// someone left a pipe or device non-blocking), through the write faults given (none: nullptr).
int writeAll(File file, const char* data, std::size_t size, WriteFaults* faults = nullptr);
int seekTo(File file, std::uint64_t offset);
// Sets the file's size; the position of the next write does not move.
int truncateFile(File file, std::uint64_t size);
// faults: those the file was opened under, which forget it.
int closeFile(File file, WriteFaults* faults = nullptr);

// What makes a file the same file under two names: device and inode, or on Windows the volume
// serial number and the file index.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileId&) const = default;
};
struct FileInfo {
    FileId id;
    bool regular = false;  // an ordinary file (not a folder, device, pipe or socket)
    bool directory = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // the last write, in seconds since 1970-01-01 00:00 UTC
};
bool fileInfo(File file, FileInfo& info);
// False when the name leads to no file.
bool pathInfo(const std::string& path, FileInfo& info);
bool fileExists(const std::string& path);
// Creates an empty file under a name that no file has yet: 0, or the errno (EEXIST when one has).
int createNewFile(const std::string& path);
// Gives `from` the name `to` in one step, replacing a file of that name: 0, or the errno.
int replaceFile(const std::string& from, const std::string& to);
int removeFile(const std::string& path);
// The name for a library that takes UTF-8 names and opens the file itself (SQLite): the name as
// it is, on Windows a long one in its "\\?\" form, which the library passes on as it stands.
std::string utf8Path(const std::string& path);
// The "\\?\" form of a full path, which the Windows calls take at any length: "C:/a" gives
// "\\?\C:\a", "\\server\share\a" gives "\\?\UNC\server\share\a"; a name in that form already,
// or a device's ("\\.\COM1"), is its own.
std::string extendedLengthPath(std::string_view fullPath);
// The name joined to the current folder when it is relative (as given when that fails).
std::string absolutePath(const std::string& path);
// The path as the system resolves it, so that every spelling of one file or folder gives the same
// text: POSIX its real path (links, ".", ".." and repeated "/" resolved); Windows the final path
// of its handle ("C:\x\b.sdf" for "C:/x/b.sdf", "c:\X\.\b.sdf" or a share's name). An empty
// path is the current folder. A path that leads to nothing is given as absolutePath gives it.
std::string resolvedPath(const std::string& path);

// Holds an ordinary file against this program's other runs (as a held open does, see openFile)
// without writing it: this process's own opens (a library that writes the file) may still read
// and write it. With create, the file is made under a name no file has (EEXIST when one has);
// else the name's file is taken (ENOENT when there is none). Refused as a held open is:
// EWOULDBLOCK when another run holds the file, kNotRegularFile for a link, pipe, device or folder.
// The file stays held until it is closed; closing it, or removing its name while held, is the
// holder's to do.
int holdFile(const std::string& path, bool create, File& file);
// The soft limit of files the process may have open, raised to what the system allows at most
// (Windows: no limit that a run could reach).
std::size_t raiseOpenFileLimit();

// Creates a folder and every missing folder above it: 0, or the errno of the first that could
// not be made (a file of that name included).
int createFolders(const std::string& path);
// What a command-line name stands for. On Windows, whose shell passes "*" and "?" on, a file-name
// part holding them is matched here: the files that match, each joined to the name's folder part,
// in name order (the name itself when none does). On POSIX the shell has expanded them already:
// the name itself.
std::vector<std::string> expandWildcards(const std::string& name);

// The system's words for an errno number (and "not a regular file" for kNotRegularFile).
std::string errorText(int error);

// The program's arguments as UTF-8: argv as given on POSIX; on Windows, whose argv is in the
// ANSI code page and loses every character outside it, the wide command line, converted.
std::vector<std::string> programArguments(int argc, char** argv);

// While one lives, the console reads and writes UTF-8: on Windows the console's input and output
// code pages are 65001, and what they were is restored when it ends, when a second interruption
// ends the process at once, and at the process's exit. Nothing to do elsewhere.
class Utf8Console {
  public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;
};

// Interruptions of a run by its user or the system: Ctrl-C, a request to terminate and a terminal
// that was closed (SIGINT, SIGTERM and SIGHUP; Ctrl-C and Ctrl-Break on Windows). Once watched,
// they no longer end the process where it stands: each is noted, a wait for input then returns
// EINTR, and the program ends its run in good order; a second one ends the process at once. A
// signal the process was started ignoring stays ignored. Watching also makes a console or pipe
// that went away and a file-size limit write errors (EPIPE, EFBIG) instead of ends of the process.
void watchInterruptions();
bool interrupted();

// The console. Lines end with LF in the bytes given; on Windows each goes out as CR LF. A write
// that waits for room (a pipe nobody reads) ends with EINTR at an interruption, as a wait for
// input does; once one is noted, only what the output takes without waiting is written.
int consoleWrite(std::string_view bytes);
// Reads what standard input has, up to `size` bytes; `got` is 0 at its end.
int consoleRead(char* data, std::size_t size, std::size_t& got);
// Whether standard input or output is a terminal (a console window), not a file or a pipe.
bool consoleInputIsTerminal();
bool consoleOutputIsTerminal();

// Waiting for input that is not there yet (a pipe whose writer has stalled, a terminal), in a way
// another thread can cut short:
//
//   Wakeup stop;                                         // shared with the reading thread
//   if (waitForInput(file, &stop) == ECANCELED) ...      // another thread called stop.signal()
//
// A signal that wakes a thread waiting in waitForInput. Signalled once, it stays so.
class Wakeup {
  public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    bool usable() const;  // false when the system gave no means for it
    void signal();        // from any thread
    bool signalled() const { return signalled_.load(std::memory_order_acquire); }

  private:
    friend int waitForInput(File file, const Wakeup* wake);
    friend int consoleWrite(std::string_view bytes);
    File readEnd_ = kNoFile;
    File writeEnd_ = kNoFile;
    std::atomic<bool> signalled_{false};
};

// Waits until the file has input, or its end, for a read: 0; ECANCELED when `wake` (may be null)
// is signalled first; or the errno of a failure.
int waitForInput(File file, const Wakeup* wake);

struct Date {
    int year = 0;   // e.g. 2026
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
};
Date localDate();

// Writes that fail on purpose, for tests of a full disk or a size limit on every system. While a
// fault is set, a file takes bytes up to `limit` and then fails with `error` (ENOSPC for a full
// disk, EFBIG for a size limit): every file written (not the console) when nameEnding is empty,
// as a size limit does; otherwise the files opened for writing meanwhile whose names end with it.
// With `pause` set, the write that passes `limit` first waits for it instead (once), then goes
// on: what another run finds at that moment of this one.
struct WriteFault {
    std::string nameEnding;
    std::uint64_t limit = 0;
    int error = 0;
    std::function<void()> pause;
};

// The faults of one run, held by its unit table and handed to every output it opens (OutStream),
// which passes them on with each open, write and close: a write handed to the write-behind thread
// carries them with it.
struct WriteFaults {
    std::mutex mutex;
    std::atomic<bool> set{false};
    WriteFault fault;
    bool active = false;
    bool paused = false;
    std::vector<File> files;  // open files that fail
};

void setWriteFault(WriteFaults& faults, const WriteFault& fault);
void clearWriteFaults(WriteFaults& faults);

// Empties an ordinary file, as an open that empties it would; a device or a pipe is left as it is.
// `info` is the file's, when the caller has it already.
inline int emptyIfRegular(File file, const FileInfo& info) {
    return info.regular && info.size > 0 ? truncateFile(file, 0) : 0;
}
inline int emptyIfRegular(File file) {
    FileInfo info;
    return fileInfo(file, info) ? emptyIfRegular(file, info) : EIO;
}

namespace detail {
// The seam's side of the system sources: whether any fault is set at all (none when faults is
// nullptr), marking a file just opened, and how many of `size` bytes at `offset` may be written
// (an error when none may).
bool faultsSet(const WriteFaults* faults);
void noteOpened(WriteFaults& faults, const std::string& path, File file);
void noteClosed(WriteFaults& faults, File file);
bool faultyFile(WriteFaults& faults, File file);
int allowedBytes(WriteFaults& faults, File file, std::uint64_t offset, std::size_t size,
                 std::size_t& allowed);
}  // namespace detail

}  // namespace vk::sys
