// The system interface on Windows: files through CreateFileA and handles, never the C runtime's
// text mode, so that every byte written is the byte in the file.
#include <cerrno>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "files/platform.h"

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

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
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
int writeBytes(File file, const char* data, std::size_t size, bool seam = true) {
    while (size > 0) {
        std::size_t take = size;
        if (seam && detail::faultsSet() && detail::faultyFile(file)) {
            const int error = detail::allowedBytes(file, position(file), size, take);
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

}  // namespace

int openFile(const std::string& path, Access how, File& file, bool held) {
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
    const HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (held && GetLastError() == ERROR_SHARING_VIOLATION) return EWOULDBLOCK;
        const int error = lastError();
        // A folder is refused as the other systems refuse it.
        if (error == EACCES && isDirectory(path)) return heldOutput ? kNotRegularFile : EISDIR;
        return error;
    }
    file = fileOf(h);
    if (heldOutput) {
        BY_HANDLE_FILE_INFORMATION about{};
        const bool ordinary =
            GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &about) &&
            (about.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (!ordinary) {
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
    if (how != Access::Read && detail::faultsSet()) detail::noteOpened(path, file);
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

int writeAll(File file, const char* data, std::size_t size) {
    return writeBytes(file, data, size);
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

int closeFile(File file) {
    if (file == kNoFile) return EBADF;
    if (detail::faultsSet()) detail::noteClosed(file);
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
    const HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool known = fileInfo(fileOf(h), info);
    CloseHandle(h);
    return known;
}

int createNewFile(const std::string& path) {
    if (!nameable(path)) return ENOENT;
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    return CloseHandle(h) ? 0 : lastError();
}

int replaceFile(const std::string& from, const std::string& to) {
    if (!nameable(from) || !nameable(to)) return ENOENT;
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : lastError();
}

int removeFile(const std::string& path) {
    if (!nameable(path)) return ENOENT;
    return DeleteFileA(path.c_str()) ? 0 : lastError();
}

std::string utf8Path(const std::string& path) {
    if (path.empty()) return path;
    const int wide = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                         nullptr, 0);
    if (wide <= 0) return path;
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), text.data(), wide);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return path;
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

bool fileExists(const std::string& path) {
    return !path.empty() && nameable(path) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || !nameable(path)) return path;
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

std::string errorText(int error) {
    return error == kNotRegularFile ? "not a regular file" : std::strerror(error);
}

namespace {

std::atomic<bool> interruptNoted{false};

// Called by the system on a thread of its own.
BOOL WINAPI noteInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // The second one: the run did not end soon enough for its user.
    if (interruptNoted.exchange(true)) return FALSE;
    return TRUE;
}

}  // namespace

void watchInterruptions() { SetConsoleCtrlHandler(noteInterrupt, TRUE); }

bool interrupted() { return interruptNoted.load(); }

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
    return writeBytes(fileOf(out), crlf.data(), crlf.size(), false);
}

int consoleRead(char* data, std::size_t size, std::size_t& got) {
    got = 0;
    const HANDLE in = standardHandle(STD_INPUT_HANDLE);
    if (in == INVALID_HANDLE_VALUE) return 0;  // no standard input: its end
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
    for (std::size_t end = path.find_first_of("/\\", 1);;
         end = path.find_first_of("/\\", end + 1)) {
        const std::string folder = path.substr(0, end);
        if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
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
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(name.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(name.substr(0, file) + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (names.empty()) return {name};
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vk::sys
