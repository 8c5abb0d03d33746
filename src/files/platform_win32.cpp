// The system interface on Windows: files through CreateFileW and handles, never the C runtime's
// text mode, so that every byte written is the byte in the file. Names are UTF-8 inside the
// program and UTF-16 at every call to the system.
#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>  // CommandLineToArgvW

#include "files/platform.h"
#include "text/encoding.h"
#include "text/paths.h"

namespace vk::sys {

namespace {

HANDLE handle(File file) { return reinterpret_cast<HANDLE>(file); }
File fileOf(HANDLE h) { return reinterpret_cast<File>(h); }

// The errno number closest to a system error code, so that callers see the same numbers (and
// mostly the same words) as on other systems.
int errnoOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    default:
        return EIO;
    }
}

int lastError() { return errnoOf(GetLastError()); }

bool nameable(const std::string& path) { return path.find('\0') == std::string::npos; }

std::wstring toWide(std::string_view text) {
    if (text.empty()) return {};
    // Bytes that are not UTF-8 (a name made from an export written on Windows) are taken as
    // Windows-1252, as the export's text is.
    const std::string utf8 = toUtf8(text);
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), size);
    return wide;
}

std::string fromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The full path as the system makes it (the current folder, a drive's own current folder for
// "D:name", "." and ".." steps), or empty.
std::wstring fullPathOf(const std::wstring& name) {
    const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

// A folder's full path may not be longer than this without the "\\?\" form (MAX_PATH less room
// for a file name of 8.3 characters), a file's not longer than MAX_PATH - 1.
constexpr std::size_t kOldPathLimit = MAX_PATH - 12;

// The name given to the system's calls: UTF-16, in the "\\?\" form when its full path is too
// long for the old limit. Shorter names go as they are, so that a device's name ("NUL", "CON")
// still names the device.
std::wstring systemName(const std::string& path) {
    std::wstring name = toWide(path);
    if (name.size() >= 4 && name[0] == L'\\' && name[1] == L'\\' &&
        (name[2] == L'?' || name[2] == L'.') && name[3] == L'\\')
        return name;
    const std::wstring full = fullPathOf(name);
    if (full.size() < kOldPathLimit) return name;
    return toWide(extendedLengthPath(fromWide(full)));
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(systemName(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// WriteFile takes at most a DWORD of bytes at a time.
DWORD piece(std::size_t size) {
    return static_cast<DWORD>(size < 0x40000000u ? size : 0x40000000u);
}

std::uint64_t position(File file) {
    LARGE_INTEGER zero{}, at{};
    SetFilePointerEx(handle(file), zero, &at, FILE_CURRENT);
    return static_cast<std::uint64_t>(at.QuadPart);
}

// WriteFile at the file pointer, or at `offset` when it is not negative; files (not the console)
// through the fault seam.
int writeBytes(File file, const char* data, std::size_t size, WriteFaults* faults) {
    while (size > 0) {
        std::size_t take = size;
        if (detail::faultsSet(faults) && detail::faultyFile(*faults, file)) {
            const int error = detail::allowedBytes(*faults, file, position(file), size, take);
            if (error != 0) return error;
        }
        DWORD n = 0;
        if (!WriteFile(handle(file), data, piece(take), &n, nullptr)) return lastError();
        if (n == 0) return EIO;
        data += n;
        size -= n;
    }
    return 0;
}

HANDLE standardHandle(DWORD which) {
    const HANDLE h = GetStdHandle(which);
    return h == nullptr ? INVALID_HANDLE_VALUE : h;
}

// An ordinary file on a disk: not a folder, a link, a device or a pipe.
bool ordinaryFile(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION about{};
    return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &about) &&
           (about.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

int openFile(const std::string& path, Access how, File& file, bool held, WriteFaults* faults) {
    file = kNoFile;
    if (!nameable(path)) return how == Access::Read ? ENOENT : EINVAL;
    const bool heldOutput = held && how != Access::Read;
    DWORD access = GENERIC_WRITE;
    DWORD disposition = OPEN_ALWAYS;
    switch (how) {
    case Access::Read:
        access = GENERIC_READ;
        disposition = OPEN_EXISTING;
        break;
    // A held output is emptied only once it is known to be an ordinary file.
    case Access::Truncate: disposition = held ? OPEN_ALWAYS : CREATE_ALWAYS; break;
    case Access::Keep: break;
    }
    // Others may go on reading and writing the file, as on other systems; a held file only reading.
    // The open of a file that another open holds fails before anything of it is emptied.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE | (held ? 0 : FILE_SHARE_WRITE);
    // A link or other reparse point in place of a held output is opened as itself, not followed.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (heldOutput ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE h =
        CreateFileW(systemName(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (held && GetLastError() == ERROR_SHARING_VIOLATION) return EWOULDBLOCK;
        const int error = lastError();
        // A folder is refused as the other systems refuse it.
        if (error == EACCES && isDirectory(path)) return heldOutput ? kNotRegularFile : EISDIR;
        return error;
    }
    file = fileOf(h);
    if (heldOutput) {
        if (!ordinaryFile(h)) {
            CloseHandle(h);
            file = kNoFile;
            return kNotRegularFile;
        }
        if (how == Access::Truncate)
            if (const int err = truncateFile(file, 0)) {
                CloseHandle(h);
                file = kNoFile;
                return err;
            }
    }
    if (how != Access::Read && detail::faultsSet(faults)) detail::noteOpened(*faults, path, file);
    return 0;
}

int readSome(File file, char* data, std::size_t size, std::size_t& got) {
    got = 0;
    DWORD n = 0;
    if (!ReadFile(handle(file), data, piece(size), &n, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;  // the end
        return errnoOf(code);
    }
    got = n;
    return 0;
}

int writeAll(File file, const char* data, std::size_t size, WriteFaults* faults) {
    return writeBytes(file, data, size, faults);
}

int seekTo(File file, std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle(file), to, nullptr, FILE_BEGIN) ? 0 : lastError();
}

int truncateFile(File file, std::uint64_t size) {
    const std::uint64_t was = position(file);
    int error = seekTo(file, size);
    if (error == 0 && !SetEndOfFile(handle(file))) error = lastError();
    const int back = seekTo(file, was);
    return error != 0 ? error : back;
}

int closeFile(File file, WriteFaults* faults) {
    if (file == kNoFile) return EBADF;
    if (detail::faultsSet(faults)) detail::noteClosed(*faults, file);
    return CloseHandle(handle(file)) ? 0 : lastError();
}

bool fileInfo(File file, FileInfo& info) {
    BY_HANDLE_FILE_INFORMATION about{};
    if (file == kNoFile || !GetFileInformationByHandle(handle(file), &about)) return false;
    info.id = {about.dwVolumeSerialNumber,
               (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow};
    info.directory = (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.regular = !info.directory && GetFileType(handle(file)) == FILE_TYPE_DISK;
    info.size = (static_cast<std::uint64_t>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    // 100-nanosecond steps since 1601-01-01, 11644473600 seconds before 1970-01-01.
    const std::uint64_t written =
        (static_cast<std::uint64_t>(about.ftLastWriteTime.dwHighDateTime) << 32) |
        about.ftLastWriteTime.dwLowDateTime;
    info.modified = static_cast<std::int64_t>(written / 10000000) - 11644473600;
    return true;
}

bool pathInfo(const std::string& path, FileInfo& info) {
    if (path.empty() || !nameable(path)) return false;
    // No access asked for: the file's identity can be had even while another program holds it.
    const HANDLE h =
        CreateFileW(systemName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool known = fileInfo(fileOf(h), info);
    CloseHandle(h);
    return known;
}

int createNewFile(const std::string& path) {
    if (!nameable(path)) return ENOENT;
    const HANDLE h = CreateFileW(systemName(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    return CloseHandle(h) ? 0 : lastError();
}

int replaceFile(const std::string& from, const std::string& to) {
    if (!nameable(from) || !nameable(to)) return ENOENT;
    return MoveFileExW(systemName(from).c_str(), systemName(to).c_str(), MOVEFILE_REPLACE_EXISTING)
               ? 0
               : lastError();
}

int removeFile(const std::string& path) {
    if (!nameable(path)) return ENOENT;
    return DeleteFileW(systemName(path).c_str()) ? 0 : lastError();
}

std::string utf8Path(const std::string& path) {
    return nameable(path) ? fromWide(systemName(path)) : path;
}

bool fileExists(const std::string& path) {
    return !path.empty() && nameable(path) &&
           GetFileAttributesW(systemName(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || !nameable(path)) return path;
    const std::wstring full = fullPathOf(toWide(path));
    return full.empty() ? path : fromWide(full);
}

std::string resolvedPath(const std::string& path) {
    const std::string name = path.empty() ? "." : path;
    if (!nameable(name)) return path;
    const HANDLE h = CreateFileW(systemName(name).c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return absolutePath(name);
    constexpr DWORD kHow = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD size = GetFinalPathNameByHandleW(h, nullptr, 0, kHow);
    std::wstring full(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFinalPathNameByHandleW(h, full.data(), size, kHow);
    CloseHandle(h);
    if (length == 0 || length >= size) return absolutePath(name);
    full.resize(length);
    // The system's own form, "\\?\C:\x" or "\\?\UNC\server\share\x", as a user writes it.
    if (full.starts_with(L"\\\\?\\UNC\\")) full.replace(0, 8, L"\\\\");
    else if (full.starts_with(L"\\\\?\\")) full.erase(0, 4);
    return fromWide(full);
}

int holdFile(const std::string& path, bool create, File& file) {
    file = kNoFile;
    if (!nameable(path)) return create ? EINVAL : ENOENT;
    // A new file is held with the right to write it, which this process's library shares (so that
    // it can write the file) and which no other run's held open shares; an existing one is
    // opened for reading, sharing no writing, which fails while another run holds it.
    const DWORD access = create ? GENERIC_WRITE : GENERIC_READ;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE | (create ? FILE_SHARE_WRITE : 0);
    const HANDLE h = CreateFileW(systemName(path).c_str(), access, share, nullptr,
                                 create ? CREATE_NEW : OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) return EWOULDBLOCK;
        const int error = lastError();
        return error == EACCES && isDirectory(path) ? kNotRegularFile : error;
    }
    if (!ordinaryFile(h)) {
        CloseHandle(h);
        return kNotRegularFile;
    }
    file = fileOf(h);
    return 0;
}

std::size_t raiseOpenFileLimit() { return static_cast<std::size_t>(1) << 24; }

std::string errorText(int error) {
    return error == kNotRegularFile ? "not a regular file" : std::strerror(error);
}

namespace {

std::atomic<bool> interruptNoted{false};

// The console's code pages before the program set them to UTF-8 (0: not set, or no console).
std::atomic<UINT> earlierOutputPage{0};
std::atomic<UINT> earlierInputPage{0};

void restoreCodePages() {
    if (const UINT page = earlierOutputPage.exchange(0)) SetConsoleOutputCP(page);
    if (const UINT page = earlierInputPage.exchange(0)) SetConsoleCP(page);
}

// Called by the system on a thread of its own.
BOOL WINAPI noteInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // The second one: the run did not end soon enough for its user. The process ends now, and
    // leaves the console as it found it.
    if (interruptNoted.exchange(true)) {
        restoreCodePages();
        return FALSE;
    }
    return TRUE;
}

}  // namespace

Utf8Console::Utf8Console() {
    // Without a console (output to a file or a pipe, input from one) there is nothing to set: the
    // bytes go as they are.
    const UINT output = GetConsoleOutputCP();
    const UINT input = GetConsoleCP();
    if (output != 0 && output != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) earlierOutputPage = output;
    if (input != 0 && input != CP_UTF8 && SetConsoleCP(CP_UTF8)) earlierInputPage = input;
    static const bool restoredAtExit = std::atexit(restoreCodePages) == 0;
    (void)restoredAtExit;
}

Utf8Console::~Utf8Console() { restoreCodePages(); }

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) args.push_back(fromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void watchInterruptions() { SetConsoleCtrlHandler(noteInterrupt, TRUE); }

bool interrupted() { return interruptNoted.load(); }

namespace {

// Looks every 50 ms, while a thread writes the console into a pipe, whether an interruption was
// noted, and then cancels the write that thread waits in for room (a pipe nobody reads): the
// interruption cuts the wait short, as it cuts a wait for input.
VOID CALLBACK cancelWriteIfInterrupted(PVOID thread, BOOLEAN) {
    if (interruptNoted.load()) CancelSynchronousIo(static_cast<HANDLE>(thread));
}

}  // namespace

int consoleWrite(std::string_view bytes) {
    const HANDLE out = standardHandle(STD_OUTPUT_HANDLE);
    if (out == INVALID_HANDLE_VALUE) return EBADF;
    // Lines end with CR LF on the Windows console, in a pipe or a file alike.
    std::string crlf;
    crlf.reserve(bytes.size() + bytes.size() / 16 + 1);
    for (const char c : bytes) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    if (GetFileType(out) != FILE_TYPE_PIPE)
        return writeBytes(fileOf(out), crlf.data(), crlf.size(), nullptr);
    HANDLE self = nullptr;
    HANDLE timer = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0,
                        FALSE, DUPLICATE_SAME_ACCESS) &&
        !CreateTimerQueueTimer(&timer, nullptr, cancelWriteIfInterrupted, self, 0, 50,
                               WT_EXECUTEDEFAULT))
        timer = nullptr;
    int err = writeBytes(fileOf(out), crlf.data(), crlf.size(), nullptr);
    if (timer != nullptr) DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    if (self != nullptr) CloseHandle(self);
    if (err != 0 && interruptNoted.load()) err = EINTR;
    return err;
}

namespace {

bool isConsole(DWORD which);

// A console window gives what is typed as UTF-16: a byte read of it loses every character beyond
// ASCII on many Windows versions, whatever its code page. What does not fit the caller's buffer
// waits for the next read (only the run's thread reads the console).
int readConsoleText(HANDLE in, char* data, std::size_t size, std::size_t& got) {
    static std::string pending;
    static wchar_t carried = 0;  // the first half of a surrogate pair cut off by the last read
    if (pending.empty()) {
        wchar_t typed[4096];
        DWORD n = 0;
        if (carried != 0) typed[0] = carried;
        const DWORD start = carried != 0 ? 1 : 0;
        carried = 0;
        const BOOL read = ReadConsoleW(in, typed + start, 4096 - start, &n, nullptr);
        // Ctrl-C cuts a read short before its handler has noted it: a moment for that.
        for (int i = 0; (!read || n == 0) && i < 20 && !interruptNoted.load(); ++i) Sleep(5);
        if (interruptNoted.load() && (!read || n == 0)) return EINTR;
        if (!read) return lastError();
        n += start;
        if (n == 0 || typed[0] == 0x1A) return 0;  // Ctrl-Z: the end of the input
        if (typed[n - 1] >= 0xD800 && typed[n - 1] < 0xDC00) carried = typed[--n];
        pending = fromWide(std::wstring_view(typed, n));
    }
    got = std::min(size, pending.size());
    std::memcpy(data, pending.data(), got);
    pending.erase(0, got);
    return 0;
}

}  // namespace

int consoleRead(char* data, std::size_t size, std::size_t& got) {
    got = 0;
    const HANDLE in = standardHandle(STD_INPUT_HANDLE);
    if (in == INVALID_HANDLE_VALUE) return 0;  // no standard input: its end
    if (isConsole(STD_INPUT_HANDLE)) return readConsoleText(in, data, size, got);
    return readSome(fileOf(in), data, size, got);
}

namespace {

// A console window: a character device whose console mode can be read (NUL is a character
// device too, but has no console mode).
bool isConsole(DWORD which) {
    const HANDLE h = standardHandle(which);
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR && GetConsoleMode(h, &mode);
}

}  // namespace

bool consoleInputIsTerminal() { return isConsole(STD_INPUT_HANDLE); }

bool consoleOutputIsTerminal() { return isConsole(STD_OUTPUT_HANDLE); }

// No handle is needed to wake a wait here: waitForInput looks at the signal between its looks at
// the pipe.
Wakeup::Wakeup() = default;
Wakeup::~Wakeup() = default;
bool Wakeup::usable() const { return true; }
void Wakeup::signal() { signalled_.store(true, std::memory_order_release); }

int waitForInput(File file, const Wakeup* wake) {
    // Only a pipe keeps a reader waiting for a writer; a file or a device is read at once.
    if (GetFileType(handle(file)) != FILE_TYPE_PIPE) return 0;
    for (;;) {
        if (wake != nullptr && wake->signalled()) return ECANCELED;
        if (interruptNoted.load()) return EINTR;
        DWORD available = 0;
        // A pipe whose writer has gone is seen by the read that follows, as its end.
        if (!PeekNamedPipe(handle(file), nullptr, 0, nullptr, &available, nullptr) || available > 0)
            return 0;
        Sleep(5);
    }
}

Date localDate() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

int createFolders(const std::string& path) {
    // Each folder from the top down. A drive, a share or a folder that cannot be made may be
    // there already; the first that is not there says why.
    int failed = 0;
    FileInfo info;
    // A drive's or a share's root is not made: the first folder to make is the one after it.
    const std::size_t from = std::max<std::size_t>(PATHROOTLENGTH(path), 1);
    for (std::size_t end = path.find_first_of("/\\", from);;
         end = path.find_first_of("/\\", end + 1)) {
        const std::string folder = path.substr(0, end);
        if (!CreateDirectoryW(systemName(folder).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS &&
            failed == 0) {
            const int error = lastError();
            if (!pathInfo(folder, info)) failed = error;
        }
        if (end == std::string::npos) break;
    }
    if (!pathInfo(path, info)) return failed != 0 ? failed : ENOENT;
    return info.directory ? 0 : ENOTDIR;
}

std::vector<std::string> expandWildcards(const std::string& name) {
    const std::size_t file = name.find_last_of("/\\:") + 1;  // 0 when there is no folder part
    if (name.find_first_of("*?", file) == std::string::npos) return {name};
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(systemName(name).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(name.substr(0, file) + fromWide(found.cFileName));
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    if (names.empty()) return {name};
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vk::sys
