#include "driver/cmdline.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "driver/driver_session.h"
#include "driver/layers.h"
#include "driver/run.h"
#include "driver/settings.h"
#include "files/console.h"
#include "files/platform.h"
#include "files/units.h"
#include "support/testfiles.h"
#include "support/transcripts.h"

namespace {

using vk::ArgumentKind;
using vk::classifyArgument;
using vktest::DriverSession;
using vktest::endStatus;
using vktest::kExitTail;
using vktest::banner;

const vk::OutputFormat& kShp = vktest::outputFormat("shp");
const vk::OutputFormat& kMif = vktest::outputFormat("mif");
const vk::Argument kShpOption{ArgumentKind::Format, &kShp};
const vk::Argument kMifOption{ArgumentKind::Format, &kMif};

// What writeHelpText writes; taken before the test's own session captures the console.
std::string helpText() {
    DriverSession session;
    vk::writeHelpText(session.console());
    return session.out;
}

TEST(ClassifyArgument, OptionsMatchOnTheirLeadingCharactersWithoutRegardToCase) {
    EXPECT_EQ(classifyArgument("-shp"), kShpOption);
    EXPECT_EQ(classifyArgument("-SHP"), kShpOption);
    EXPECT_EQ(classifyArgument("-shpfile"), kShpOption);
    EXPECT_EQ(classifyArgument("-Mif"), kMifOption);
    EXPECT_EQ(classifyArgument("-mifxyz"), kMifOption);
    EXPECT_EQ(classifyArgument("-notrim"), ArgumentKind::NoTrim);
    EXPECT_EQ(classifyArgument("-NoTrimmed"), ArgumentKind::NoTrim);
    EXPECT_EQ(classifyArgument("-report"), ArgumentKind::Report);
    EXPECT_EQ(classifyArgument("/REPORTS"), ArgumentKind::Report);
    EXPECT_EQ(classifyArgument("--shp"), kShpOption);
    EXPECT_EQ(classifyArgument("--Mif"), kMifOption);
    EXPECT_EQ(classifyArgument("--report"), ArgumentKind::Report);
    EXPECT_EQ(classifyArgument("-out"), ArgumentKind::OutFolder);
    EXPECT_EQ(classifyArgument("--prj"), ArgumentKind::ProjectionFile);
}

TEST(ClassifyArgument, ShortOrBrokenOptionsAreUnrecognised) {
    EXPECT_EQ(classifyArgument("-sh"), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("-sh p"), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("- shp"), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("-\"shp\""), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("-notri"), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("-repor"), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("-"), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("-x"), ArgumentKind::Unrecognised);
    EXPECT_EQ(classifyArgument("-river.sdf"), ArgumentKind::Unrecognised);
}

TEST(ClassifyArgument, EnDashInBothEncodingsIsASwitch) {
    EXPECT_EQ(classifyArgument("\x96shp"), kShpOption);
    EXPECT_EQ(classifyArgument("\x96notrim"), ArgumentKind::NoTrim);
    EXPECT_EQ(classifyArgument("\xE2\x80\x93mif"), kMifOption);
    EXPECT_EQ(classifyArgument("\xE2\x80\x93zzz"), ArgumentKind::Unrecognised);
    // Only the whole three-byte form is a switch; a lone lead byte starts a file name.
    EXPECT_EQ(classifyArgument("\xE2shp"), ArgumentKind::FileName);
}

TEST(ClassifyArgument, SlashIsAnOptionOnlyWhenItMatchesAndNoSuchFileExists) {
    ASSERT_FALSE(vktest::fileExists("/shp"));
    EXPECT_EQ(classifyArgument("/shp"), kShpOption);
    EXPECT_EQ(classifyArgument("/MIF"), kMifOption);
    EXPECT_EQ(classifyArgument("/notrim"), ArgumentKind::NoTrim);
    // Absolute paths are file names, whether they exist or not.
    EXPECT_EQ(classifyArgument("/data/river.sdf"), ArgumentKind::FileName);
    EXPECT_EQ(classifyArgument("/"), ArgumentKind::FileName);
    vktest::TempDir dir;
    if (vktest::kPosixSystem) {
        ASSERT_EQ(dir.path().front(), '/');  // on Windows: a drive letter
    }
    EXPECT_EQ(classifyArgument(dir.file("river.sdf")), ArgumentKind::FileName);
}

TEST(ClassifyArgument, ConsoleOptions) {
    const struct {
        const char* argument;
        ArgumentKind kind;
    } cases[] = {
        {"-quiet", ArgumentKind::Quiet},    {"/QUIET", ArgumentKind::Quiet},
        {"-quieter", ArgumentKind::Quiet},  {"-quie", ArgumentKind::Unrecognised},
        {"-help", ArgumentKind::Help},      {"--help", ArgumentKind::Help},
        {"-HELP", ArgumentKind::Help},      {"-?", ArgumentKind::Help},
        {"/?", ArgumentKind::Help},         {"-h", ArgumentKind::Help},
        {"\x96help", ArgumentKind::Help},   {"-version", ArgumentKind::Version},
        {"--version", ArgumentKind::Version}, {"/Version", ArgumentKind::Version},
        {"--helpme", ArgumentKind::Help},   {"-hx", ArgumentKind::Unrecognised},
        {"-?x", ArgumentKind::Unrecognised}, {"--quiet", ArgumentKind::Quiet},
        {"-vers", ArgumentKind::Unrecognised}, {"---quiet", ArgumentKind::Unrecognised},
        {"--?", ArgumentKind::Help},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyArgument(c.argument), c.kind) << c.argument;
}

TEST(ClassifyArgument, AnythingElseIsAFileName) {
    EXPECT_EQ(classifyArgument("river.sdf"), ArgumentKind::FileName);
    EXPECT_EQ(classifyArgument(" -shp"), ArgumentKind::FileName);
    EXPECT_EQ(classifyArgument(""), ArgumentKind::FileName);
    EXPECT_EQ(classifyArgument("shp"), ArgumentKind::FileName);
}

TEST(ScanCommandLine, BannerArgumentCountAndSettings) {
    DriverSession session;
    vk::RunSettings settings;
    vk::scanCommandLine(session.run, {"varnokline", "-MIF", "river.sdf"}, settings);
    EXPECT_EQ(session.out, banner(3));
    EXPECT_EQ(settings.chosenFormat, &kMif);
    EXPECT_TRUE(settings.trimToLevees);
    EXPECT_FALSE(settings.showHelp);
    EXPECT_EQ(settings.inputName, "river.sdf");
}

// The results' mode is decided once, from both options in either order.
TEST(ScanCommandLine, ResultsModeFromResultsAndReport) {
    const struct {
        std::vector<std::string> options;
        vk::ResultsMode mode;
    } cases[] = {
        {{}, vk::ResultsMode::Off},
        {{"-report"}, vk::ResultsMode::ForReport},
        {{"-results"}, vk::ResultsMode::Written},
        {{"-report", "-results"}, vk::ResultsMode::Written},
        {{"-results", "-report"}, vk::ResultsMode::Written},
    };
    for (const auto& c : cases) {
        DriverSession session;
        vk::RunSettings settings;
        std::vector<std::string> args{"varnokline"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("river.sdf");
        vk::scanCommandLine(session.run, args, settings);
        EXPECT_EQ(settings.results, c.mode) << c.options.size();
    }
}

TEST(ScanCommandLine, NoArgumentsWritesTheHelpTextAndGoesOn) {
    const std::string help = helpText();
    DriverSession session;
    vk::RunSettings settings;
    EXPECT_EQ(endStatus([&] { vk::scanCommandLine(session.run, {"varnokline"}, settings); }), -1);
    EXPECT_EQ(session.out, banner(1) + help);
    EXPECT_TRUE(settings.showHelp);
    EXPECT_EQ(settings.chosenFormat, nullptr);
    EXPECT_EQ(&settings.format(), &kShp); // Shapefile layers, without a projection
    EXPECT_EQ(settings.inputName, "");
}

TEST(ScanCommandLine, OptionsAndFileNamesInAnyOrder) {
    DriverSession session;
    vk::RunSettings settings;
    vk::scanCommandLine(session.run, 
        {"varnokline", "first.sdf", "/shp", "-notrim", "second.sdf  ", "-notrim", "-SHP",
         "--prj", "-my.prj", "-out", "a/results"},
        settings);
    EXPECT_EQ(session.out, banner(11)); // the same format twice is one choice
    EXPECT_EQ(settings.chosenFormat, &kShp);
    EXPECT_FALSE(settings.trimToLevees);
    EXPECT_EQ(settings.inputs, (std::vector<std::string>{"first.sdf", "second.sdf  "}));
    EXPECT_TRUE(settings.severalInputs);
    EXPECT_EQ(settings.projectionFile, "-my.prj");  // the next argument, whatever it looks like
    EXPECT_EQ(settings.inputName, "second.sdf"); // the later name, trailing blanks removed
    EXPECT_EQ(settings.output, (vk::OutputNames{"a/results/", "second"}))
        << "derived from the later name, in the output folder";
}

TEST(ScanCommandLine, AbsolutePathIsTheInputName) {
    DriverSession session;
    vk::RunSettings settings;
    vk::scanCommandLine(session.run, {"varnokline", "-shp", "/data/hecras/river.sdf"}, settings);
    EXPECT_EQ(settings.inputName, "/data/hecras/river.sdf");
    EXPECT_EQ(settings.output, (vk::OutputNames{"/data/hecras/", "river"}));
}

TEST(ScanCommandLine, UnrecognisedOptionEndsTheRunWithoutLookingFurther) {
    DriverSession session;
    vk::RunSettings settings;
    EXPECT_EQ(
        endStatus([&] {
            vk::scanCommandLine(session.run, {"varnokline", "-x", "-shp", "river.sdf"}, settings);
        }),
        1);
    EXPECT_EQ(session.out, banner(4) + "\nERROR - Unrecognised command line option: -x\n" +
                               std::string(kExitTail));
    EXPECT_EQ(settings.chosenFormat, nullptr);
    EXPECT_EQ(settings.inputName, "");
}

TEST(ScanCommandLine, BothFormatsAreRefusedInEitherOrder) {
    for (const auto& args : {std::vector<std::string>{"varnokline", "-shp", "-mif", "x.sdf"},
                             {"varnokline", "/MIF", "x.sdf", "-shpfile"}}) {
        DriverSession session;
        vk::RunSettings settings;
        EXPECT_EQ(endStatus([&] { vk::scanCommandLine(session.run, args, settings); }), 1)
            << args[1];
        EXPECT_EQ(session.out, banner(4) +
                                   "\nERROR - Both mif and shp outputs specified, please use only "
                                   "one.\n" + std::string(kExitTail));
    }
}

// Every option is in the help text as it is typed: each format's, from the format table, and
// each of the option table's; a whole option is another spelling of one of those.
TEST(HelpText, NamesEveryOptionOfBothTables) {
    const std::string help = helpText();
    const auto named = [&](const std::string& text) { return help.find(" -" + text) != help.npos; };
    for (const vk::OutputFormat& f : vk::outputFormats())
        EXPECT_TRUE(named(std::string(f.option) + " " + std::string(f.help) + "\n")) << f.option;
    const auto options = vk::commandLineOptions();
    const auto listed = [&](vk::ArgumentKind kind) {
        return std::any_of(options.begin(), options.end(),
                           [&](const vk::OptionName& o) { return !o.whole && o.kind == kind; });
    };
    for (const vk::OptionName& option : options)
        EXPECT_TRUE(option.whole ? listed(option.kind)
                                 : named(std::string(option.name) +
                                         (option.value.empty() ? "" : " ") +
                                         std::string(option.value) + ", " +
                                         std::string(option.help)))
            << option.name;
}

TEST(ScanCommandLine, HelpAndVersionSayOnlyThatAndEndTheRunWell) {
    const std::string help = helpText();
    const std::string version = "varnokline " + std::string(vk::programVersion()) + "\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"varnokline", "-help"}, help},
        {{"varnokline", "-shp", "river.sdf", "/?"}, help},
        {{"varnokline", "-zzz", "--help"}, help},  // before any other option is looked at
        {{"varnokline", "--version"}, version},
        {{"varnokline", "-quiet", "-version", "-help"}, version},  // the first one counts
    };
    for (const auto& c : cases) {
        DriverSession session;
        vk::RunSettings settings;
        EXPECT_EQ(endStatus([&] { vk::scanCommandLine(session.run, c.args, settings); }), 0)
            << c.args.back();
        EXPECT_EQ(session.out, c.out) << c.args.back();
        EXPECT_FALSE(vk::unitInUse(session.state.units, 1001));
    }
}

class OpenInputFile : public ::testing::Test {
  protected:
    vktest::TempDir dir;
    vktest::ScopedCwd cwd{dir.path()};
    vk::RunSettings settings;

    std::string openOk(const std::string& name) {
        return "\nTrying to open file " + name + "...OK.\nOpened File Unit:1001\n";
    }
};

TEST_F(OpenInputFile, ExistingCommandLineNameOpensWithoutAsking) {
    // Also a name in another script of over 1000 bytes (405 characters), never cut.
    std::string folder;
    for (int i = 0; i < 400; ++i) folder += i % 80 == 79 ? "水/" : "水";
    ASSERT_EQ(vk::sys::createFolders(folder), 0);
    for (const std::string& name : {std::string("river.sdf"), folder + "长江.sdf"}) {
        SCOPED_TRACE(name);
        vk::sys::File file;
        ASSERT_EQ(vk::sys::openFile(name, vk::sys::Access::Truncate, file), 0);
        ASSERT_TRUE(vk::sys::writeAll(file, "x\n", 2) == 0 && vk::sys::closeFile(file) == 0);
        DriverSession session("never read\n");
        vk::setInputName(settings, name);
        vk::openInputFile(session.run, settings);
        EXPECT_EQ(session.out, openOk(name));
        EXPECT_EQ(settings.sdfUnit, 1001);
        EXPECT_TRUE(vk::unitInUse(session.state.units, 1001));
        std::string line;
        ASSERT_EQ(vk::unitInput(session.state.units, 1001).readLine(line),
                  vk::LineReader::Status::Line);
        EXPECT_EQ(line, "x");
    }
}

TEST_F(OpenInputFile, TypedNamesAreCompletedWithSdfUntilOneExists) {
    vktest::writeFile("river.sdf", "x\n");
    DriverSession session("nothere\n\nriver.txt\nriver\n");
    vk::openInputFile(session.run, settings);
    const std::string prompt = " Please enter the .sdf file -> ";
    EXPECT_EQ(session.out, prompt + " WARNING - Can''t find file nothere.sdf, try again\n" +
                               prompt + " WARNING - Can''t find file .sdf, try again\n" + prompt +
                               " WARNING - Can''t find file river.txt.sdf, try again\n" + prompt +
                               openOk("river.sdf"));
    EXPECT_EQ(settings.inputName, "river.sdf");
    EXPECT_EQ(settings.sdfUnit, 1001);
}

TEST_F(OpenInputFile, TypedSdfExtensionInAnyCaseIsKept) {
    vktest::writeFile("river.SDF", "x\n");
    DriverSession session("river.SDF\r\n");
    vk::openInputFile(session.run, settings);
    EXPECT_EQ(settings.inputName, "river.SDF");
    EXPECT_EQ(session.out, " Please enter the .sdf file -> " + openOk("river.SDF"));
}

TEST_F(OpenInputFile, TypedNameInDoubleQuotesOpensTheFile) {
    std::filesystem::create_directories("Big River");
    vktest::writeFile("Big River/river.sdf", "x\n");
    // As a console pastes a dragged file; the name is completed with ".sdf" after the quotes go.
    DriverSession session("  \"Big River/rivr.sdf\"  \n\"Big River/river\"\n");
    vk::openInputFile(session.run, settings);
    const std::string prompt = " Please enter the .sdf file -> ";
    EXPECT_EQ(session.out, prompt + " WARNING - Can''t find file Big River/rivr.sdf, try again\n" +
                               prompt + openOk("Big River/river.sdf"));
    EXPECT_EQ(settings.inputName, "Big River/river.sdf");
}

TEST_F(OpenInputFile, MissingCommandLineNameIsNotCompleted) {
    // "river" from the command line does not find river.sdf; typed at the prompt it does.
    vktest::writeFile("river.sdf", "x\n");
    DriverSession session("river\n");
    vk::setInputName(settings, "river");
    vk::openInputFile(session.run, settings);
    EXPECT_EQ(session.out, " WARNING - Can''t find file river, try again\n"
                           " Please enter the .sdf file -> " + openOk("river.sdf"));
    EXPECT_EQ(settings.inputName, "river.sdf");
}

// Where no person can answer, or other inputs wait, a missing name ends that input's run at once.
TEST_F(OpenInputFile, MissingNamedInputIsNotAskedForFromAScriptOrAmongSeveral) {
    for (const bool several : {false, true}) {  // several: at a terminal; one: from a script
        DriverSession session;
        session.console().feedInput("river.sdf\n", several);
        settings.severalInputs = several;
        vk::setInputName(settings, "river.sdf  ");
        EXPECT_EQ(endStatus([&] { vk::openInputFile(session.run, settings); }), 1);
        EXPECT_EQ(session.out,
                  "\nERROR - Can't find input file river.sdf.\n" + std::string(kExitTail));
    }
}

TEST_F(OpenInputFile, EndOfConsoleInputAtThePromptEndsTheRun) {
    DriverSession session("missing\n");
    EXPECT_EQ(endStatus([&] { vk::openInputFile(session.run, settings); }), 1);
    const std::string prompt = " Please enter the .sdf file -> ";
    EXPECT_EQ(session.out, prompt + " WARNING - Can''t find file missing.sdf, try again\n" +
                               prompt + "\nERROR - No input file: end of console input.\n" +
                               std::string(kExitTail));
}

TEST_F(OpenInputFile, InputAlreadyOpenIsClosedAndReopenedOnTheFreedUnit) {
    vktest::writeFile("Header.prj", "PROJCS[]\n");
    DriverSession session;
    int templateUnit = 0;
    vk::OPENER(session.run, templateUnit, "I ", "Header.prj");
    ASSERT_EQ(templateUnit, 1001);
    session.out.clear();
    vk::setInputName(settings, "./Header.prj"); // another spelling of the same file
    vk::openInputFile(session.run, settings);
    EXPECT_NE(session.out.find("Closed File Unit:1001"), std::string::npos) << session.out;
    EXPECT_LT(session.out.find("Closed File Unit:1001"), session.out.find("Trying to open file"));
    EXPECT_EQ(settings.sdfUnit, 1001);
    EXPECT_FALSE(vk::unitInUse(session.state.units, 1002));
}

} // namespace

namespace {

// A run in this process works on a state of its own: what it leaves open when it ends early, and
// what it finished, is gone with it. The caller's state (the session's) is not touched, and a
// second run starts exactly as the first did.
TEST(RunState, EachRunHasItsOwnAndLeavesTheCallersAlone) {
    DriverSession session;
    vktest::TempDir dir;
    const std::string examples = std::string(VK_SOURCE_DIR) + "/examples/";
    const std::string whole = vktest::readFile(examples + "river.sdf");
    vktest::writeFile(dir.file("Header.mif"), vktest::readFile(examples + "Header.mif"));
    // Cut inside the first cross-section: the run ends with every layer open.
    const std::size_t cut = whole.find("CROSS-SECTION:");
    ASSERT_NE(cut, std::string::npos);
    vktest::writeFile(dir.file("cut.sdf"), whole.substr(0, cut + 200));
    vktest::writeFile(dir.file("river.sdf"), whole);

    int unit = 0;
    vk::OPENER(session.run, unit, "O ", dir.file("mine.txt"));
    ASSERT_EQ(unit, 1001);

    std::string transcripts[2];
    for (std::string& transcript : transcripts) {
        session.out.clear();
        EXPECT_EQ(vk::run({"varnokline", "-mif", dir.file("cut.sdf")}, session.terminal), 1);
        transcript = session.out;
        EXPECT_NE(transcript.find("GIS Layer assigned ID of 5\n"), std::string::npos) << transcript;
        EXPECT_NE(transcript.find("File Unit:1001\n"), std::string::npos) << transcript;
    }
    EXPECT_EQ(transcripts[0], transcripts[1]);
    EXPECT_EQ(vk::run({"varnokline", "-mif", dir.file("river.sdf")}, session.terminal), 0);

    // The session's unit is as it left it.
    EXPECT_TRUE(vk::unitInUse(session.state.units, 1001));
    EXPECT_FALSE(vk::unitInUse(session.state.units, 1002));
    EXPECT_EQ(vk::unitFileName(session.state.units, 1001), dir.file("mine.txt"));
    vk::CLOSER(session.run, unit);
}

// A program that embeds the conversion gives it a console of its own: every line goes to the
// caller's sink, a prompt meets the end of the input at once, and nothing waits at the end.
TEST(RunState, ACallersConsoleTakesEveryLineAndNoPromptWaits) {
    vktest::TempDir dir;
    const std::string examples = std::string(VK_SOURCE_DIR) + "/examples/";
    vktest::writeFile(dir.file("river.sdf"), vktest::readFile(examples + "river.sdf"));
    vktest::writeFile(dir.file("Header.mif"), vktest::readFile(examples + "Header.mif"));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string_view end;
    } cases[] = {
        {{"varnokline"}, 1, "ERROR - No input file: end of console input.\n"},
        {{"varnokline", "-mif", dir.file("river.sdf")}, 0, "\nFinished.\n"},
    };
    for (const auto& c : cases) {
        std::string lines;
        vk::Console sink([&](std::string_view bytes) { lines.append(bytes); });
        EXPECT_EQ(vk::run(c.args, sink), c.status) << lines;
        EXPECT_TRUE(lines.ends_with(std::string(c.end) + "\nPress Enter to Close\n")) << lines;
    }
}

}  // namespace
