// The program as scripts and people at a console use it: help and version, a closing pause that
// never takes a script's input, quiet runs, output on a terminal, quoted names, installation.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#ifndef _WIN32
#include <sys/stat.h>

#include "support/terminal.h"
#endif
#include "support/testfiles.h"
#include "support/transcripts.h"

namespace {

namespace fs = std::filesystem;
using vktest::readFile;
using vktest::runProgram;

const std::string kVersion = "varnokline " VK_VERSION "\n";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

bool isAlert(const std::string& line) {
    for (const char* word : {"Warning", "WARNING", "Error", "ERROR"})
        if (line.rfind(word, 0) == 0) return true;
    return false;
}

// A folder holding the example export with its projection templates.
void copyExample(const std::string& folder) {
    fs::create_directories(folder);
    for (const char* name : {"river.sdf", "Header.prj", "Header.mif"})
        fs::copy_file(std::string(VK_SOURCE_DIR) + "/examples/" + name, folder + "/" + name);
}

TEST(ConsoleE2e, HelpAndVersionSayOnlyThatAndEndWithStatusZero) {
    const std::string help = runProgram({"-help"}, "", "", 60).output;
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-help"}, help},
        {{"--help"}, help},
        {{"-?"}, help},
        {{"/?"}, help},
        {{"-version"}, kVersion},
        {{"--version"}, kVersion},
        {{"-shp", "river.sdf", "--version"}, kVersion},
    };
    for (const auto& c : cases) {
        vktest::TempDir dir;
        copyExample(dir.path());
        // Input that a pause would take: neither asks for anything.
        const auto r = runProgram(c.args, "\n", dir.path(), 60);
        EXPECT_EQ(r.status, 0) << c.args.back();
        EXPECT_EQ(r.output, c.out) << c.args.back();
        EXPECT_EQ(vktest::filesIn(dir.path()).size(), 3u) << "no file was written";
    }
}

// A folder whose export is named otherwise fails alone: the loop's list is never read as names.
TEST(ConsoleE2e, AScriptedLoopOverFoldersConvertsAllButTheOneWithoutItsExport) {
    if (!vktest::kPosixSystem) GTEST_SKIP() << "the loop is a POSIX shell script";
    vktest::TempDir dir;
    const std::vector<std::string> folders = {"north", "other name", "south west", "east"};
    std::string list;
    for (const auto& f : folders) {
        copyExample(dir.file(f));
        list += dir.file(f) + "\n";
    }
    fs::rename(dir.file("other name/river.sdf"), dir.file("other name/River.sdf"));
    vktest::writeFile(dir.file("folders.txt"), list);
    const std::string script = "while read d; do (cd \"$d\" && '" + std::string(VK_BINARY) +
                               "' -shp river.sdf > /dev/null); echo \"$d: $?\"; done < '" +
                               dir.file("folders.txt") + "'";
    const auto r = vktest::runShell(script);
    std::string expected;
    for (const auto& f : folders)
        expected += dir.file(f) + (f == "other name" ? ": 1\n" : ": 0\n");
    EXPECT_EQ(r.output, expected);
    for (const auto& f : folders)
        EXPECT_EQ(vktest::fileExists(dir.file(f) + "/river.sdf_streams_L.shp"), f != "other name")
            << f;
}

// The heading line, IDs and station of every cross-section of an export, by heading line.
struct SectionHeading {
    std::string stream, reach, station;
};
std::map<int, SectionHeading> sectionHeadings(const std::string& sdf) {
    std::map<int, SectionHeading> headings;
    const auto lines = linesOf(sdf);
    auto value = [](std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = line.substr(line.find(':') + 1);
        line = line.substr(0, line.find('*'));
        const std::size_t first = line.find_first_not_of(' ');
        const std::size_t last = line.find_last_not_of(' ');
        return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    };
    for (std::size_t i = 0; i + 3 < lines.size(); ++i)
        if (lines[i].rfind("CROSS-SECTION:", 0) == 0)
            headings[static_cast<int>(i + 1)] = {value(lines[i + 1]), value(lines[i + 2]),
                                                 value(lines[i + 3])};
    return headings;
}

TEST(ConsoleE2e, AQuietRunShowsEachWarningWithItsSectionAndLine) {
    vktest::TempDir dir;
    const std::string sdf = dir.file("big.sdf");
    const auto gen =
        runProgram({sdf, "--sections", "400", "--points", "20"}, "", "", 60, VK_GEN_SDF);
    ASSERT_EQ(gen.status, 0);
    fs::create_directories(dir.file("loud"));
    fs::create_directories(dir.file("quiet"));
    fs::copy_file(sdf, dir.file("loud/big.sdf"));
    fs::copy_file(sdf, dir.file("quiet/big.sdf"));
    const auto loud = runProgram({"big.sdf"}, "", dir.file("loud"), 120);
    const auto quiet = runProgram({"-quiet", "big.sdf"}, "", dir.file("quiet"), 120);
    ASSERT_EQ(loud.status, 0);
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(vktest::filesIn(dir.file("quiet")), vktest::filesIn(dir.file("loud")));

    // The summary's "Warnings: N." begins like a warning; it counts the others.
    auto summaryLine = [](const std::string& line) {
        return line.rfind("Written: ", 0) == 0 || line.rfind("Warnings: ", 0) == 0;
    };
    std::vector<std::string> warnings;
    for (const auto& line : linesOf(loud.output))
        if (isAlert(line) && !summaryLine(line)) warnings.push_back(line);
    EXPECT_NE(loud.output.find("\nWarnings: " + std::to_string(warnings.size()) + ".\n"),
              std::string::npos);
    ASSERT_GE(warnings.size(), 10u) << "the generated export has sections with 1 or 4 levees";
    // A warning of the same text (its line number aside) is shown three times, then counted.
    std::map<std::string, int> seen;
    std::vector<std::string> shownWarnings;
    for (const auto& warning : warnings)
        if (++seen[warning.substr(0, warning.find(" Line number: "))] <= 3)
            shownWarnings.push_back(warning);
    ASSERT_LT(shownWarnings.size(), warnings.size());
    for (const auto& [text, count] : seen)
        EXPECT_EQ(quiet.output.find("\n" + text + " (" + std::to_string(count - 3) + " more like it)\n")
                      != std::string::npos, count > 3) << text;

    const auto headings = sectionHeadings(readFile(sdf));
    const auto shown = linesOf(quiet.output);
    std::size_t next = 0;
    for (const auto& line : shown) {
        if (line.ends_with(" more like it)")) continue;
        if (!isAlert(line) || summaryLine(line)) {
            // Beside the warnings only the end of the run.
            EXPECT_TRUE(line.empty() || line == "Finished." || line == "Press Enter to Close" ||
                        summaryLine(line))
                << line;
            continue;
        }
        ASSERT_LT(next, shownWarnings.size()) << line;
        const std::string& warning = shownWarnings[next++];
        ASSERT_EQ(line.substr(0, warning.size() + 2), warning + " (") << line;
        ASSERT_EQ(line.back(), ')') << line;
        // "stream S, reach R, station X, line N": the section the warning concerns, and a line
        // within it (its heading's line for what is found when it is written).
        const std::string place = line.substr(warning.size() + 2, line.size() - warning.size() - 3);
        const std::size_t at = place.rfind(", line ");
        ASSERT_NE(at, std::string::npos) << line;
        const int number = std::stoi(place.substr(at + 7));
        auto section = headings.upper_bound(number);
        ASSERT_NE(section, headings.begin()) << line;
        --section;
        EXPECT_EQ(place.substr(0, at), "stream " + section->second.stream + ", reach " +
                                           section->second.reach + ", station " +
                                           section->second.station)
            << line;
        // A warning that gives its own line number gives the same one.
        const std::size_t own = warning.find("Line number: ");
        if (own != std::string::npos) {
            EXPECT_EQ(std::stoi(warning.substr(own + 13)), number) << line;
        }
    }
    EXPECT_EQ(next, shownWarnings.size()) << "every warning is shown up to its third";
    EXPECT_TRUE(quiet.output.ends_with("Finished.\n\nPress Enter to Close\n")) << quiet.output;
}

// The layers closed and opened right after a warning, with no empty line between, are steps of
// the run, not lines of the warning.
TEST(ConsoleE2e, AQuietRunShowsAWarningsOwnLinesOnly) {
    vktest::TempDir dir;
    copyExample(dir.path());
    std::string sdf = readFile(dir.file("river.sdf"));
    sdf.erase(sdf.find("END STREAM NETWORK:"), 20);
    vktest::writeFile(dir.file("river.sdf"), sdf);
    const std::string out = runProgram({"-quiet", "river.sdf"}, "", dir.path(), 60).output;
    const std::size_t warning = out.find("WARNING - Cross-sections begin on line ");
    ASSERT_NE(warning, std::string::npos) << out;
    EXPECT_EQ(out.substr(out.find('\n', warning) + 1, 9), "WARNING -") << out;
}

TEST(ConsoleE2e, OnATerminalAQuotedTypedNameOpensAndTheClosingPauseWaits) {
#ifdef _WIN32
    GTEST_SKIP() << "pseudo-terminals are POSIX only";
#else
    vktest::TempDir dir;
    copyExample(dir.path());
    vktest::TerminalProcess program({}, dir.path());
    EXPECT_TRUE(program.readUntil(" Please enter the .sdf file -> ")
                    .ends_with(" Please enter the .sdf file -> "));
    program.type("  \"river\"  \n");
    const std::string shown = program.readUntil("Press Enter to Close\n");
    EXPECT_TRUE(shown.ends_with("\nFinished.\n\nPress Enter to Close\n")) << shown;
    EXPECT_TRUE(vktest::fileExists(dir.file("river.sdf_streams_L.shp")));
    EXPECT_EQ(program.waitForExit(300), -1) << "a person at a terminal closes the window";
    program.type("\n");
    EXPECT_EQ(program.waitForExit(20000), 0);
#endif
}

TEST(ConsoleE2e, InstallPutsTheProgramAndItsReadmeInPlace) {
#ifdef _WIN32
    GTEST_SKIP() << "a cross build is installed on the machine that builds it, not under Windows";
#else
    vktest::TempDir dir;
    const auto r = vktest::runShell("cmake --install '" + std::string(VK_BUILD_DIR) +
                                    "' --prefix '" + dir.path() + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string program = dir.file("bin/varnokline");
    struct stat st {};
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_EQ(runProgram({"-version"}, "", dir.path(), 60, program).output, kVersion);
    EXPECT_EQ(readFile(dir.file("share/doc/varnokline/README.md")),
              readFile(std::string(VK_SOURCE_DIR) + "/README.md"));
#endif
}

} // namespace
