#include "text/paths.h"
#include "text/names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

namespace {

// Paths are written here with "/" standing for "\" where backslashes matter, to keep them
// readable; win() turns them into the real text.
std::string win(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

// The clean-ups written as plain loops that search again from the start after every change, with
// positions counted from 1, to check the single-pass forms against on random paths.
std::size_t find1(const std::string& s, std::string_view what, std::size_t from1 = 1) {
    const std::size_t k = s.find(what, from1 - 1);
    return k == std::string::npos ? 0 : k + 1;
}

std::string trimBoth(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    while (!s.empty() && s.front() == ' ')
        s.erase(0, 1);
    return s;
}

std::string slowRemoveDotDot(const std::string& path) {
    std::string s = trimBoth(path);
    for (std::size_t k = find1(s, "\\\\"); k >= 3; k = find1(s, "\\\\"))
        s.erase(k, 1);
    std::size_t b = find1(s, "\\..\\");
    while (b >= 2) {
        if (b >= 3 && s.substr(b - 3, 2) == "..") {
            b = find1(s, "\\..\\", b + 4);
            continue;
        }
        const std::size_t p = s.rfind('\\', b - 2);
        const std::size_t keep = p == std::string::npos ? 0 : p + 1;
        s = s.substr(0, keep) + s.substr(b + 3);
        b = find1(s, "\\..\\");
    }
    for (std::size_t k = find1(s, "\\.\\"); k > 0; k = find1(s, "\\.\\"))
        s = s.substr(0, k) + s.substr(k + 2);
    return s;
}

std::string slowCleanPath(const std::string& path) {
    std::string s = trimBoth(path);
    for (;;) {
        const std::size_t k = std::max(find1(s, "\\\\"), find1(s, "//"));
        if (k < 2) return s;
        s.erase(k, 1);
    }
}

TEST(PathCleanUp, AgreesWithTheStepByStepRulesOnRandomPaths) {
    std::mt19937 random(20130901);
    const std::string alphabet = "\\\\\\//..a ";
    for (int round = 0; round < 50000; ++round) {
        std::string path;
        const int length = static_cast<int>(random() % 14);
        for (int i = 0; i < length; ++i)
            path += alphabet[random() % alphabet.size()];
        EXPECT_EQ(vk::REMOVEDOTDOT(path), slowRemoveDotDot(path)) << "[" << path << "]";
        std::string cleaned = path;
        EXPECT_EQ(vk::CLEANPATH(cleaned), slowCleanPath(path)) << "[" << path << "]";
        if (HasFailure()) return;
    }
}

TEST(AddFolder, JoinsAFileToAFolder) {
    EXPECT_EQ(vk::ADDFOLDER(win("C:/data/"), "x.csv"), win("C:/data/x.csv"));
    EXPECT_EQ(vk::ADDFOLDER(win("C:/data"), "x.csv"), win("C:/data/x.csv"));
    EXPECT_EQ(vk::ADDFOLDER(win("C:/data   "), "  x.csv  "), win("C:/data/x.csv"));
    EXPECT_EQ(vk::ADDFOLDER(win("C:/data/sub"), win("../x.csv")), win("C:/data/x.csv"));
    // No backslash is added after a forward slash.
    EXPECT_EQ(vk::ADDFOLDER("data/", "x"), "data/x");
    EXPECT_EQ(vk::ADDFOLDER("data", "x"), win("data/x"));
    // A drive alone is its current folder; a share's root is a folder like any other.
    EXPECT_EQ(vk::ADDFOLDER("C:", "x.csv"), "C:x.csv");
    EXPECT_EQ(vk::ADDFOLDER(win("//srv/share"), "x"), win("//srv/share/x"));
}

TEST(AddFolder, BlankArgumentsAndAbsoluteFiles) {
    EXPECT_EQ(vk::ADDFOLDER(win("C:/data"), win("D:/y.prj")), win("D:/y.prj"));
    EXPECT_EQ(vk::ADDFOLDER("data", "x:y"), "x:y");             // a colon anywhere
    EXPECT_EQ(vk::ADDFOLDER("data", win("a//b")), win("a//b")); // a doubled backslash anywhere
    EXPECT_EQ(vk::ADDFOLDER("   ", "  "), ".");
    EXPECT_EQ(vk::ADDFOLDER("", ""), ".");
    EXPECT_EQ(vk::ADDFOLDER("  ", "  x.csv "), "x.csv");
    EXPECT_EQ(vk::ADDFOLDER(win(" C:/a/./b "), "  "), win("C:/a/b"));
    // A single leading backslash is not absolute: the file is joined, and the doubled backslash
    // that makes is cleaned away.
    EXPECT_EQ(vk::ADDFOLDER(win("C:/data"), win("/x")), win("C:/data/x"));
    // Unix-style absolute names are joined like any relative name.
    EXPECT_EQ(vk::ADDFOLDER("/tmp/", "/x"), "/tmp//x");
}

TEST(RemoveDotDot, ResolvesParentAndCurrentSteps) {
    EXPECT_EQ(vk::REMOVEDOTDOT(win("a/../../x")), win("../x"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("../../x")), win("../../x"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/a/./b")), win("C:/a/b"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/a/b/../../x")), win("C:/x"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/a/./././b/./")), win("C:/a/b/"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/a/b/../")), win("C:/a/"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("dir/../x")), "x");
    EXPECT_EQ(vk::REMOVEDOTDOT("  a  "), "a");
    EXPECT_EQ(vk::REMOVEDOTDOT(""), "");
    // Forward slashes take no part.
    EXPECT_EQ(vk::REMOVEDOTDOT("C:/a/../b/./c"), "C:/a/../b/./c");
    // Nothing climbs above a drive's root.
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/../x")), win("C:/x"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:a/../x")), "C:x");
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:a/b/../../../x")), win("C:../x"));  // above its current folder
}

TEST(RemoveDotDot, SearchesFromTheStartEachTime) {
    // An unresolvable step after ".." is skipped, and a later one is still resolved.
    EXPECT_EQ(vk::REMOVEDOTDOT(win("../../a/../x")), win("../../x"));
    // A path that begins with "\..\" is left as it is, later steps included.
    EXPECT_EQ(vk::REMOVEDOTDOT(win("/../a/../x")), win("/../a/../x"));
    // A name that merely ends in ".." counts as a parent step before the "\..\".
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/b../../x")), win("C:/b../../x"));
}

TEST(RemoveDotDot, CollapsesDoubledBackslashesUnlessTheyOpenThePath) {
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/a//b")), win("C:/a/b"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("C:/a///b//c")), win("C:/a/b/c"));
    // A network share keeps all its doubled backslashes, and so does a path whose first pair
    // follows its first character.
    EXPECT_EQ(vk::REMOVEDOTDOT(win("//srv/share//x")), win("//srv/share//x"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("a//b//c")), win("a//b//c"));
    EXPECT_EQ(vk::REMOVEDOTDOT(win("ab//c//d")), win("ab/c/d"));
}

TEST(FileExt, TheExtensionInSmallLetters) {
    EXPECT_EQ(vk::FILEEXT("x.MIF"), ".mif");
    EXPECT_EQ(vk::FILEEXT(".mif"), ".mif");
    EXPECT_EQ(vk::FILEEXT(win("C:/a.b/c")), "");
    EXPECT_EQ(vk::FILEEXT("data.v2/river"), "");
    EXPECT_EQ(vk::FILEEXT("x."), ".");
    EXPECT_EQ(vk::FILEEXT("x"), "");
    EXPECT_EQ(vk::FILEEXT(""), "");
    EXPECT_EQ(vk::FILEEXT("river.tar.SDF   "), ".sdf");
    EXPECT_EQ(vk::FILEEXT("a/b.Shp"), ".shp");
}

TEST(FileName, TheNameWithoutFolderAndExtension) {
    EXPECT_EQ(vk::FILENAME(win("C:/a/b.shp")), "b");
    EXPECT_EQ(vk::FILENAME(win("C:/a/.cfg")), ".cfg");
    EXPECT_EQ(vk::FILENAME(".cfg"), "");
    EXPECT_EQ(vk::FILENAME(win("C:/a.b/c")), "c");
    EXPECT_EQ(vk::FILENAME("a/b.tar.gz"), "b.tar");
    EXPECT_EQ(vk::FILENAME("river  "), "river");
    EXPECT_EQ(vk::FILENAME("river.sdf"), "river");
    EXPECT_EQ(vk::FILENAME(win("C:/a/")), "");
    EXPECT_EQ(vk::FILENAME("C:b.shp"), "b");
    EXPECT_EQ(vk::FILENAME(win("//srv/share")), "");
}

TEST(FileNamePath, ThePathWithoutItsExtension) {
    EXPECT_EQ(vk::FILENAMEPATH(win("C:/a/b.shp")), win("C:/a/b"));
    EXPECT_EQ(vk::FILENAMEPATH(win("C:/a.b/c")), win("C:/a.b/c"));
    EXPECT_EQ(vk::FILENAMEPATH(".cfg"), ".cfg");
    EXPECT_EQ(vk::FILENAMEPATH(win("C:/a/.cfg")), win("C:/a/"));
    EXPECT_EQ(vk::FILENAMEPATH("x.MIF   "), "x");
    EXPECT_EQ(vk::FILENAMEPATH("./river.sdf"), "./river");
}

TEST(FileFolderPath, TheFolderWithItsLastSeparator) {
    EXPECT_EQ(vk::FILEFOLDERPATH(win("C:/a/b.shp")), win("C:/a/"));
    EXPECT_EQ(vk::FILEFOLDERPATH("data/x.sdf"), "data/");
    EXPECT_EQ(vk::FILEFOLDERPATH("C:b.shp"), "C:");  // in the current folder of C:
    EXPECT_EQ(vk::FILEFOLDERPATH(win("//srv/share")), win("//srv/share"));
    EXPECT_EQ(vk::FILEFOLDERPATH(win("//srv/share/x.sdf")), win("//srv/share/"));
    EXPECT_EQ(vk::FILEFOLDERPATH("x.sdf"), "");
    EXPECT_EQ(vk::FILEFOLDERPATH("a/b\\c"), "a/b\\");
}

TEST(PathRoot, DrivesAndSharesOnly) {
    for (const auto& [path, length] : std::map<std::string, std::size_t>{
             {"C:", 2}, {"c:x.sdf", 2}, {"C:\\x", 3}, {"C:/x", 3}, {"1:x", 0}, {"ab:c", 0},
             {"\\\\srv\\share\\x", 12}, {"//srv/share", 11}, {"\\\\srv", 5}, {"\\\\srv\\", 6},
             {"\\\\\\x", 0}, {"\\x", 0}, {"/tmp/x", 0}, {"x", 0}, {"", 0}})
        EXPECT_EQ(vk::PATHROOTLENGTH(path), length) << path;
}

TEST(CleanPath, TrimsAndCollapsesDoubledSeparators) {
    std::string path = win(" C:/a//b") + "//c ";
    EXPECT_EQ(vk::CLEANPATH(path), win("C:/a/b") + "/c");
    EXPECT_EQ(path, win("C:/a/b") + "/c");

    std::string runs = "a///b\\\\\\c";
    EXPECT_EQ(vk::CLEANPATH(runs), "a/b\\c");

    std::string blank = "   ";
    EXPECT_EQ(vk::CLEANPATH(blank), "");
    EXPECT_EQ(blank, "");
}

TEST(CleanPath, ALeadingPairIsKept) {
    // A network share keeps its leading pair and, with no "//" present, every later doubled
    // backslash too.
    std::string share = "\\\\srv\\\\x";
    EXPECT_EQ(vk::CLEANPATH(share), "\\\\srv\\\\x");
    std::string slashes = "//srv//x";
    EXPECT_EQ(vk::CLEANPATH(slashes), "//srv//x");
    // A pair of the other kind further on is still collapsed, but once it is gone the leading
    // pair stops the loop: later doubled backslashes stay.
    std::string mixed = "\\\\a//b\\\\c";
    EXPECT_EQ(vk::CLEANPATH(mixed), "\\\\a/b\\\\c");
    std::string mixed2 = "//a\\\\b//c";
    EXPECT_EQ(vk::CLEANPATH(mixed2), "//a\\b//c");
}

TEST(LongPaths, AreNeverCut) {
    const std::string folder(1200, 'f');
    const std::string joined = vk::ADDFOLDER(folder, "x.csv");
    EXPECT_EQ(joined, folder + "\\x.csv");
    EXPECT_EQ(vk::FILENAME(joined), "x");
    EXPECT_EQ(vk::FILEEXT(joined), ".csv");
    EXPECT_EQ(vk::FILEFOLDERPATH(joined), folder + "\\");

    // A parent step beyond the 1000th character is still resolved.
    const std::string deep = folder + "\\sub\\..\\y.prj";
    EXPECT_EQ(vk::REMOVEDOTDOT(deep), folder + "\\y.prj");

    std::string doubled = folder + "\\\\y";
    EXPECT_EQ(vk::CLEANPATH(doubled), folder + "\\y");
}

} // namespace

namespace {

// Names taken as Windows takes them: a name equal to one written but for the case of its letters
// (of any script; Windows-1252 or UTF-8) gets the first free "_N" before its extension, in its
// folder only.
TEST(NameRegistry, TakenNamesGetTheFirstFreeNumber) {
    vk::NameRegistry written;
    for (const char* name :
         {"Creek_1.csv", "creek_1_2.csv", "\xC9t\xE9_\x8A.csv", "a.b/c", "R\xCDO_\xFF.csv",
          "Река.csv", "ποταμός.csv", "գետ.csv", "Łódź_Őr.csv"})
        written.add("out/", name);
    written.add("other/", "Creek_1_3.csv");
    // A name as long as a file's name can be: its number takes the place of its last letters.
    const std::string longest = std::string(249, 'x') + "\xC3\xA9.csv";
    const std::string longestFree = std::string(249, 'x') + "_2.csv";
    written.add("out/", longest);
    for (int i = 0; i < 5000; ++i) written.add("many/", "t" + std::to_string(i) + ".csv");
    const struct {
        const char *folder, *name, *free;
    } cases[] = {
        {"OUT/", "CREEK_1.csv", "CREEK_1_3.csv"},
        {"out/", "\xE9T\xC9_\x9A.csv", "\xE9T\xC9_\x9A_2.csv"},
        {"out/", "\xDF.csv", "\xDF.csv"},  // sharp s has no capital
        // Their UTF-8 forms are the same letters.
        {"out/", "\xC3\xA9T\xC3\x89_\xC5\xA1.csv", "\xC3\xA9T\xC3\x89_\xC5\xA1_2.csv"},
        {"out/", "r\xC3\xADo_\xC5\xB8.csv", "r\xC3\xADo_\xC5\xB8_2.csv"},
        {"out/", "A.B/C", "A.B/C_2"},       // a dot in a folder name is no extension
        {"other/", "Creek_1.csv", "Creek_1.csv"}, {"many/", "T4999.CSV", "T4999_2.CSV"},
        {"many/", "t5000.csv", "t5000.csv"},
        // Letter pairs beyond Windows-1252: Cyrillic, Greek (final sigma), Armenian, Latin.
        {"out/", "РЕКА.csv", "РЕКА_2.csv"}, {"out/", "ΠΟΤΑΜΌΣ.csv", "ΠΟΤΑΜΌΣ_2.csv"},
        {"out/", "ԳԵՏ.csv", "ԳԵՏ_2.csv"}, {"out/", "łÓDŹ_őR.csv", "łÓDŹ_őR_2.csv"},
        {"out/", "PEKA.csv", "PEKA.csv"},  // Latin letters that look Cyrillic are others
        {"OUT/", longest.c_str(), longestFree.c_str()},
    };
    for (const auto& c : cases) EXPECT_EQ(written.freeName(c.folder, c.name), c.free) << c.name;
}

}  // namespace
