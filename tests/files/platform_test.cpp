#include "files/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "support/testfiles.h"

namespace {

namespace sys = vk::sys;
using vktest::readFile;
using vktest::TempDir;
using vktest::writeFile;

sys::FileId idOf(const std::string& path) {
    sys::FileInfo info;
    EXPECT_TRUE(sys::pathInfo(path, info)) << path;
    return info.id;
}

// Two names of one file are the same file, two files never are: the opener tells an output
// already open from a new one by this, and a system that gave every file the same identity
// would send one file's bytes into another's stream.
TEST(PlatformFiles, IdentityTellsFilesApartAndFollowsALink) {
    TempDir dir;
    writeFile(dir.file("a.shp"), "a");
    writeFile(dir.file("b.shx"), "b");
    std::filesystem::create_hard_link(dir.file("a.shp"), dir.file("same.shp"));
    EXPECT_FALSE(idOf(dir.file("a.shp")) == idOf(dir.file("b.shx")));
    EXPECT_TRUE(idOf(dir.file("a.shp")) == idOf(dir.file("same.shp")));

    sys::File open;
    ASSERT_EQ(sys::openFile(dir.file("b.shx"), sys::Access::Read, open), 0);
    sys::FileInfo info;
    ASSERT_TRUE(sys::fileInfo(open, info));
    EXPECT_TRUE(info.id == idOf(dir.file("b.shx")));
    EXPECT_TRUE(info.regular);
    EXPECT_EQ(info.size, 1u);
    EXPECT_EQ(sys::closeFile(open), 0);

    EXPECT_FALSE(sys::pathInfo(dir.file("missing"), info));
    EXPECT_TRUE(sys::pathInfo(dir.path(), info));
    EXPECT_TRUE(info.directory);
    EXPECT_FALSE(info.regular);
}

// Each way of opening, on a file that holds "old text": what the file holds after "new" is
// written, or the error of the open.
TEST(PlatformFiles, EachAccessOpensAsItSays) {
    struct Case {
        sys::Access how;
        bool exists;
        int openError;
        const char* after;  // the file after writing "new" (nullptr: no file)
    };
    const Case cases[] = {
        {sys::Access::Truncate, true, 0, "new"},
        {sys::Access::Truncate, false, 0, "new"},
        {sys::Access::Keep, true, 0, "new text"},
        {sys::Access::Keep, false, 0, "new"},
        {sys::Access::Read, false, ENOENT, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        TempDir dir;
        const std::string path = dir.file("f" + std::to_string(n++) + ".csv");
        if (c.exists) writeFile(path, "old text");
        sys::File f;
        EXPECT_EQ(sys::openFile(path, c.how, f), c.openError);
        if (c.openError != 0) {
            EXPECT_EQ(f, sys::kNoFile);
            EXPECT_FALSE(vktest::fileExists(path));
            continue;
        }
        // Written bytes go to the file as they are: no line end is translated on any system.
        EXPECT_EQ(sys::writeAll(f, "new", 3), 0);
        EXPECT_EQ(sys::closeFile(f), 0);
        EXPECT_EQ(readFile(path), c.after);
    }
}

TEST(PlatformFiles, OffsetsTruncationAndLineEndsAreByteExact) {
    TempDir dir;
    const std::string path = dir.file("set.shp");
    sys::File f;
    ASSERT_EQ(sys::openFile(path, sys::Access::Truncate, f), 0);
    EXPECT_EQ(sys::writeAll(f, "a\nb\r\nc\n", 7), 0);
    EXPECT_EQ(sys::seekTo(f, 1), 0);
    EXPECT_EQ(sys::writeAll(f, "|", 1), 0);
    EXPECT_EQ(sys::seekTo(f, 2), 0);
    EXPECT_EQ(sys::writeAll(f, "B", 1), 0);
    // Truncation leaves the next write where it was (after "B", at 3), as ftruncate does.
    EXPECT_EQ(sys::truncateFile(f, 2), 0);
    EXPECT_EQ(sys::writeAll(f, "!", 1), 0);
    EXPECT_EQ(sys::closeFile(f), 0);
    EXPECT_EQ(readFile(path), std::string("a|\0!", 4));

    ASSERT_EQ(sys::openFile(path, sys::Access::Truncate, f), 0);  // empties it
    EXPECT_EQ(sys::closeFile(f), 0);
    EXPECT_EQ(readFile(path), "");
    ASSERT_EQ(sys::openFile(dir.path(), sys::Access::Read, f), EISDIR);
}

TEST(PlatformFiles, RelativeNamesAreJoinedToTheCurrentFolder) {
    TempDir dir;
    vktest::ScopedCwd cwd(dir.path());
    writeFile("x.sdf", "");
    const std::string full = sys::absolutePath("x.sdf");
    EXPECT_NE(full, "x.sdf");
    EXPECT_TRUE(full.ends_with("x.sdf")) << full;
    EXPECT_TRUE(idOf(full) == idOf("x.sdf")) << full;
    EXPECT_EQ(sys::absolutePath(full), full) << "an absolute name stays as it is";
}

// Every spelling of one file resolves to one text, so that outputs compared by it collide; a
// Windows drive's and share's forms only there, where the system gives them.
TEST(PlatformFiles, EverySpellingOfAFileResolvesAlike) {
    TempDir dir;
    vktest::ScopedCwd cwd(dir.path());
    std::filesystem::create_directories("d/sub");
    writeFile("d/b.sdf", "b");
    std::string native = dir.path();  // the folder as Windows writes it, with a drive
    std::replace(native.begin(), native.end(), '/', '\\');
    const bool posix = vktest::kPosixSystem, drive = !posix && native[1] == ':';
    if (posix) std::filesystem::create_directory_symlink(dir.file("d"), "link");  // not in Wine
    const std::string share = "\\\\localhost\\" + native.substr(0, 1) + "$" + native.substr(2);
    const bool shared = drive && sys::fileExists(share);
    const std::pair<std::string, bool> spellings[] = {
        {"d/b.sdf", true}, {dir.file("d/b.sdf"), true}, {"d/sub/../b.sdf", true},
        {"d//b.sdf", true}, {"./d/./b.sdf", true}, {"link/b.sdf", posix},
        {native + "\\d\\b.sdf", !posix}, {native + "/d\\sub\\..\\b.sdf", !posix},
        {"\\\\?\\" + native + "\\d\\b.sdf", drive},
    };
    const std::string resolved = sys::resolvedPath("d/b.sdf");
    for (const auto& [spelling, here] : spellings)
        EXPECT_EQ(here ? sys::resolvedPath(spelling) : resolved, resolved) << spelling;
    // A share's name (where the machine shares the drive), with "/" or "\\".
    EXPECT_EQ(shared ? sys::resolvedPath("//localhost/" + share.substr(12) + "/d/b.sdf") : "",
              shared ? sys::resolvedPath(share + "\\d\\b.sdf") : "");
    EXPECT_EQ(sys::resolvedPath(""), sys::resolvedPath(dir.path()));
    EXPECT_NE(sys::resolvedPath("d/sub/b.sdf"), resolved);
}

// A file held as a package is: another run's hold or held open is refused, this process's own
// writer is not, and only ordinary files are held.
TEST(PlatformFiles, AHoldKeepsOtherRunsOutButLetsTheLibraryWrite) {
    TempDir dir;
    const std::string name = dir.file("p.gpkg.1.tmp");
    sys::File held, other, writer;
    ASSERT_EQ(sys::holdFile(name, true, held), 0);
    EXPECT_EQ(sys::holdFile(name, true, other), EEXIST);
    EXPECT_EQ(sys::holdFile(name, false, other), EWOULDBLOCK);
    EXPECT_EQ(sys::openFile(name, sys::Access::Keep, other, true), EWOULDBLOCK);
    ASSERT_EQ(sys::openFile(name, sys::Access::Keep, writer), 0) << "the library's own open";
    EXPECT_EQ(sys::writeAll(writer, "db", 2) + sys::closeFile(writer), 0);
    EXPECT_EQ(sys::replaceFile(name, dir.file("p.gpkg")), 0) << "renamed while held";
    EXPECT_EQ(sys::holdFile(dir.file("p.gpkg"), false, other), EWOULDBLOCK);
    EXPECT_EQ(sys::closeFile(held), 0);
    ASSERT_EQ(sys::holdFile(dir.file("p.gpkg"), false, other), 0) << "let go of";
    EXPECT_EQ(sys::closeFile(other), 0);
    EXPECT_EQ(readFile(dir.file("p.gpkg")), "db");
    EXPECT_EQ(sys::holdFile(dir.path(), false, other), sys::kNotRegularFile);
    EXPECT_EQ(sys::holdFile(dir.file("none"), false, other), ENOENT);
}

// Names in any language, with a full path beyond Windows' old limit of 260 characters, through
// every call that makes, finds, renames and removes a file.
TEST(PlatformFiles, NamesInAnyLanguageAndOfAnyLength) {
    TempDir dir;
    const std::string folder = dir.file(std::string(150, 'f') + "_模型") + "/Река";
    const std::string first = folder + "/" + std::string(120, 'n') + "_Éñ🌊.csv";
    const std::string second = folder + "/长江_" + std::string(120, 'm') + ".csv";
    ASSERT_EQ(sys::createFolders(folder), 0);
    sys::File f;
    ASSERT_EQ(sys::openFile(first, sys::Access::Truncate, f, true), 0);
    EXPECT_EQ(sys::writeAll(f, "abc", 3), 0);
    EXPECT_EQ(sys::closeFile(f), 0);
    sys::FileInfo info;
    EXPECT_TRUE(sys::pathInfo(first, info) && info.regular && info.size == 3u);
    EXPECT_TRUE(sys::absolutePath(first).ends_with("_Éñ🌊.csv")) << sys::absolutePath(first);
    EXPECT_EQ(sys::createNewFile(first), EEXIST);
    EXPECT_EQ(sys::replaceFile(first, second), 0);
    EXPECT_FALSE(sys::fileExists(first));
    EXPECT_TRUE(sys::utf8Path(second).ends_with("长江_" + std::string(120, 'm') + ".csv"));
    ASSERT_EQ(sys::openFile(second, sys::Access::Read, f), 0);
    char bytes[4] = {};
    std::size_t got = 0;
    EXPECT_EQ(sys::readSome(f, bytes, sizeof bytes, got), 0);
    EXPECT_EQ(std::string(bytes, got), "abc");
    EXPECT_EQ(sys::closeFile(f), 0);
    EXPECT_EQ(sys::removeFile(second), 0);
    EXPECT_FALSE(sys::fileExists(second));
}

TEST(PlatformFiles, TheExtendedLengthFormOfAFullPath) {
    for (const auto& [full, extended] : std::map<std::string, std::string>{
             {"C:\\a\\b.csv", "\\\\?\\C:\\a\\b.csv"}, {"C:/a/b.csv", "\\\\?\\C:\\a\\b.csv"},
             {"\\\\srv\\share\\b.csv", "\\\\?\\UNC\\srv\\share\\b.csv"},
             {"//srv/share/b.csv", "\\\\?\\UNC\\srv\\share\\b.csv"},
             // Already in the form, or a device's: as it stands.
             {"\\\\?\\C:\\a/b", "\\\\?\\C:\\a/b"}, {"\\\\.\\COM1", "\\\\.\\COM1"}})
        EXPECT_EQ(sys::extendedLengthPath(full), extended) << full;
}

}  // namespace
