#include "text/paths.h"

#include <algorithm>

#include "text/strings.h"

namespace vk {

namespace {

constexpr std::string_view kSeparators = "\\/";
constexpr std::size_t npos = std::string::npos;

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Positions counted from 1, 0 when absent: the last "." and the last separator of a path.
struct PathMarks {
    std::size_t dot = 0;
    std::size_t sep = 0;
};

// The root counts as the folder part even where it ends without a separator.
PathMarks marks(std::string_view path) {
    PathMarks m;
    if (const std::size_t d = path.rfind('.'); d != npos) m.dot = d + 1;
    if (const std::size_t s = path.find_last_of(kSeparators); s != npos) m.sep = s + 1;
    if (const std::size_t root = PATHROOTLENGTH(path); root > m.sep) m.sep = root;
    return m;
}

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Collapses every run of c in s, from index `from` on, to a single c.
void collapseRuns(std::string& s, char c, std::size_t from) {
    std::size_t out = from;
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] == c && out > 0 && s[out - 1] == c) continue;
        s[out++] = s[i];
    }
    s.resize(out);
}

// A file name that ADDFOLDER takes as it stands: it names a drive or a network share.
bool isAbsolute(std::string_view file) {
    return file.find(':') != npos || file.find("\\\\") != npos;
}

} // namespace

std::size_t PATHROOTLENGTH(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':' && isDriveLetter(path[0]))
        return path.size() > 2 && isSeparator(path[2]) ? 3 : 2;
    if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1]) || isSeparator(path[2]))
        return 0;
    // "\\server\share": the server's name, then the share's, each up to its separator.
    std::size_t end = path.find_first_of(kSeparators, 2);
    if (end != npos && end + 1 < path.size()) end = path.find_first_of(kSeparators, end + 1);
    return end == npos ? path.size() : end + 1;
}

std::string ADDFOLDER(std::string_view folder, std::string_view file) {
    const bool fileBlank = trimmedLength(file) == 0;
    const bool folderBlank = trimmedLength(folder) == 0;
    std::string joined;
    if (fileBlank) {
        joined = folderBlank ? std::string(".") : TRIMF(folder);
    } else if (folderBlank || isAbsolute(file)) {
        joined = TRIMF(file);
    } else {
        const std::string_view base = trimRight(folder);
        joined.reserve(base.size() + file.size() + 1);
        joined = base;
        // A drive alone is the current folder of that drive: "C:" and "x" make "C:x".
        const bool driveAlone = base.size() == 2 && PATHROOTLENGTH(base) == 2;
        if (!isSeparator(base.back()) && !driveAlone) joined += '\\';
        joined += TRIMF(file);
    }
    return REMOVEDOTDOT(joined);
}

std::string REMOVEDOTDOT(std::string_view path) {
    std::string s = TRIMF(path);

    // Doubled backslashes are collapsed, unless the first pair begins the path or follows its
    // first character: a network share ("\\server\...") keeps all of them.
    if (const std::size_t k = s.find("\\\\"); k != npos && k >= 2) collapseRuns(s, '\\', k);

    // Parent steps. Every search after a resolved step starts again at the beginning, so a path
    // that begins with "\..\" keeps all its parent steps.
    constexpr std::string_view kParent = "\\..\\";
    std::size_t b = s.find(kParent);
    while (b != npos && b >= 1) {
        if (b >= 2 && s.compare(b - 2, 2, "..") == 0) {
            // Follows another parent step that could not be resolved: try the next one.
            b = s.find(kParent, b + 4);
            continue;
        }
        const std::size_t p = s.rfind('\\', b - 1);
        // Nothing climbs above a drive's root: a step right after it goes, as Windows drops it.
        // (A share's steps are left as they always were.)
        const std::size_t root = s.size() > 1 && s[1] == ':' ? PATHROOTLENGTH(s) : 0;
        const std::size_t keep = std::max((p == npos) ? 0 : p + 1, root);
        if (b + 1 <= root)
            s.erase(b + 1, kParent.size() - 1);
        else
            s.erase(keep, b + kParent.size() - keep);
        b = s.find(kParent);
    }

    // Current steps.
    constexpr std::string_view kCurrent = "\\.\\";
    for (std::size_t k = s.find(kCurrent); k != npos; k = s.find(kCurrent, k))
        s.erase(k + 1, 2);
    return s;
}

std::string FILEEXT(std::string_view path) {
    path = trimRight(path);
    const PathMarks m = marks(path);
    if (m.dot == 0 || m.dot <= m.sep) return {};
    return LOWERCASE(path.substr(m.dot - 1));
}

std::string FILENAME(std::string_view path) {
    path = trimRight(path);
    const std::size_t n = path.size();
    PathMarks m = marks(path);
    if (m.sep > 0) {
        // No dot in the name, or a name that starts with a dot: the whole name.
        if (m.dot <= m.sep + 1) m.dot = n + 1;
        return std::string(path.substr(m.sep, m.dot - 1 - m.sep));
    }
    if (m.dot > 1) return std::string(path.substr(0, m.dot - 1));
    if (m.dot == 1) return {};
    return std::string(path);
}

std::string FILENAMEPATH(std::string_view path) {
    path = trimRight(path);
    const PathMarks m = marks(path);
    if (m.dot > 1 && m.dot > m.sep) return std::string(path.substr(0, m.dot - 1));
    return std::string(path);
}

std::string FILEFOLDERPATH(std::string_view path) {
    path = trimRight(path);
    const PathMarks m = marks(path);
    return std::string(path.substr(0, m.sep));
}

std::string CLEANPATH(std::string& path) {
    path = TRIMF(path);
    // A doubled separator of either kind is collapsed everywhere unless the first pair of that
    // kind opens the path: "\\server\share" and "//server/share" keep their leading pair, and a
    // leading "\\" also keeps any later doubled backslashes.
    for (const char c : kSeparators) {
        const char pair[] = {c, c};
        if (const std::size_t k = path.find(std::string_view(pair, 2)); k != npos && k >= 1)
            collapseRuns(path, c, k);
    }
    return path;
}

} // namespace vk
