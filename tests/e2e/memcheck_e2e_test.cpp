// Conversions run under valgrind's memcheck: no invalid read or write, no use of uninitialised
// bytes and no leak, on a normal run of the bundled example in both formats and on runs that end
// with an error.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

// valgrind's path, or empty (with the reason in skipReason) when memcheck cannot run here.
std::string findValgrind(std::string& skipReason) {
#ifdef VK_SANITIZED
    skipReason = "valgrind cannot run a binary built with the address sanitizer";
    return {};
#endif
#ifdef _WIN32
    skipReason = "valgrind runs Linux programs only";
    return {};
#endif
    const auto which = vktest::runShell("command -v valgrind");
    if (which.status != 0) {
        skipReason = "valgrind is not installed";
        return {};
    }
    return which.output.substr(0, which.output.find('\n'));
}

// Runs the program under memcheck; status 99 means memcheck found an error.
vktest::ProcessResult memcheck(const std::string& valgrind, const std::string& folder,
                               const std::vector<std::string>& args) {
    std::vector<std::string> full = {"--error-exitcode=99", "--leak-check=full",
                                     "--errors-for-leak-kinds=definite,indirect", "-q", VK_BINARY};
    full.insert(full.end(), args.begin(), args.end());
    const auto r = vktest::runProgram(full, "", folder, 600, valgrind);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.errors, "");
    return r;
}

void copyExample(const vktest::TempDir& dir) {
    for (const char* name : {"river.sdf", "Header.mif", "Header.prj"})
        fs::copy_file(std::string(VK_SOURCE_DIR) + "/examples/" + name, dir.file(name));
}

TEST(Memcheck, ExampleConvertsCleanlyInBothFormats) {
    std::string reason;
    const std::string valgrind = findValgrind(reason);
    if (valgrind.empty()) GTEST_SKIP() << reason;
    vktest::TempDir dir;
    copyExample(dir);
    for (const char* format : {"-mif", "-shp"}) {
        SCOPED_TRACE(format);
        const auto r = memcheck(valgrind, dir.path(), {format, "river.sdf"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.output.find("\nFinished.\n"), std::string::npos);
    }
    EXPECT_TRUE(vktest::fileExists(dir.file("river_surf_pts_P.shp")));
    EXPECT_TRUE(vktest::fileExists(dir.file("river_surf_pts.mif")));
}

// Runs that end with an error leave through an exception and close their files as they are.
TEST(Memcheck, RunsEndingWithAnErrorAreClean) {
    std::string reason;
    const std::string valgrind = findValgrind(reason);
    if (valgrind.empty()) GTEST_SKIP() << reason;
    vktest::TempDir dir;
    copyExample(dir);
    const std::string example = vktest::readFile(dir.file("river.sdf"));
    const std::size_t surface = example.find("SURFACE LINE:");
    vktest::writeFile(dir.file("cut.sdf"), example.substr(0, example.find('\n', surface + 40) + 1));
    auto r = memcheck(valgrind, dir.path(), {"-shp", "cut.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("\nERROR - Unexpected end of file on line "), std::string::npos);

    fs::create_symlink("/dev/full", dir.file("river_cut_line.mid"));
    r = memcheck(valgrind, dir.path(), {"-mif", "river.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Reason: not a regular file"), std::string::npos);
}

} // namespace
