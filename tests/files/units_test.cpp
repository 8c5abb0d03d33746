#include "files/units.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "files/platform.h"
#include "session.h"
#include "support/writefaults.h"

namespace {

using vk::ByteOrder;
using vk::CLOSER;
using vk::OPENER;
using vk::unitInUse;
using vk::unitOutput;
using vktest::endStatus;
using vktest::readFile;
using vktest::writeFile;

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

std::string opened(std::string_view name, int unit) {
    return "\nTrying to open file " + std::string(name) + "...OK.  File Unit:" +
           std::to_string(unit) + "\n";
}
std::string openedForInput(std::string_view name, int unit) {
    return "\nTrying to open file " + std::string(name) + "...OK.\nOpened File Unit:" +
           std::to_string(unit) + "\n";
}
std::string closed(int unit) { return "...Closed File Unit:" + std::to_string(unit) + "\n"; }

const std::string kNamePrompt = "\nCheck file exists and press enter or enter another file name: ";
const std::string kCantOpenBlock = "Can't Open\n"
                                   "\n"
                                   " Can't open: NAME\n"
                                   "\n"
                                   " Another application or user maybe using it,\n"
                                   "    or the file's folder does not exist.\n"
                                   " If so, close the file or create file path.\n"
                                   " Reason: WHY\n"
                                   "\n"
                                   "Press Enter to Continue\n";
const std::string kCloseAtEnd = "\nPress Enter to Close\n";

std::string cantOpen(std::string_view name, std::string_view why = "no such folder") {
    std::string block = kCantOpenBlock;
    block.replace(block.find("NAME"), 4, name);
    block.replace(block.find("WHY"), 3, why);
    return block;
}

// ---- unit numbers ----------------------------------------------------------------------------

using UnitNumbers = vktest::FilesSession;

TEST_F(UnitNumbers, HandedOutLowestFreeFirstAndReusedAfterClose) {
    int a = 0, b = 0, c = 0;
    OPENER(run, a, "O ", "a.csv");
    OPENER(run, b, "O ", "b.csv");
    EXPECT_EQ(a, 1001);
    EXPECT_EQ(b, 1002);
    CLOSER(run, a);
    EXPECT_EQ(a, 0);
    EXPECT_FALSE(unitInUse(units, 1001));
    OPENER(run, c, "O ", "c.csv");
    EXPECT_EQ(c, 1001);
    EXPECT_TRUE(unitInUse(units, 1002));
    EXPECT_EQ(out, opened("a.csv", 1001) + opened("b.csv", 1002) + closed(1001) +
                       opened("c.csv", 1001));
}

TEST_F(UnitNumbers, CloserOfAUnitNeverHandedOutDoesNothing) {
    int never = 1500;
    CLOSER(run, never);
    EXPECT_EQ(never, 1500);
    int outside = 5000;
    CLOSER(run, outside);
    EXPECT_EQ(outside, 5000);
    int reserved = 995;
    CLOSER(run, reserved);
    EXPECT_EQ(reserved, 995);
    int none = 0;
    CLOSER(run, none);
    EXPECT_EQ(out, "");

    int u = 0;
    OPENER(run, u, "O ", "x.csv");
    int copy = u;
    CLOSER(run, u);
    CLOSER(run, copy);  // already closed: free, found but not in use
    EXPECT_EQ(copy, 1001);
    EXPECT_EQ(out, opened("x.csv", 1001) + closed(1001));
}

TEST_F(UnitNumbers, SmallBaseIsRaisedToNine) {
    vk::INITFILEUNITS(run, 3);
    int u = 0;
    OPENER(run, u, "O ", "x.csv");
    EXPECT_EQ(u, 10);
    EXPECT_EQ(out, "\nTrying to open file x.csv...OK.  File Unit:  10\n");
    CLOSER(run, u);
    EXPECT_EQ(u, 0);
}

TEST_F(UnitNumbers, AllThousandInUseEndsTheRun) {
    int u = 0;
    for (int batch = 0; batch < 10; ++batch) {
        for (int i = 0; i < 100; ++i) OPENER(run, u, "O ", "f" + std::to_string(i) + ".txt");
        // The files are let go but the slots stay taken, as after EXITS.
        vk::closeAllUnitsQuietly(units);
    }
    EXPECT_EQ(u, 2000);
    out.clear();
    EXPECT_EQ(endStatus([&] { OPENER(run, u, "O ", "one-more.txt"); }), 1);
    EXPECT_EQ(out, "No free file numbers.\n");
}

TEST_F(UnitNumbers, InitialisingAgainClosesWhatAPreviousRunLeftOpen) {
    int u = 0;
    OPENER(run, u, "O ", "left.txt");
    unitOutput(units, u).put("kept");
    vk::INITFILEUNITS(run, 1000);
    EXPECT_EQ(readFile("left.txt"), "kept");
    EXPECT_FALSE(unitInUse(units, 1001));
    OPENER(run, u, "O ", "next.txt");
    EXPECT_EQ(u, 1001);
}

// ---- modes -----------------------------------------------------------------------------------

using OpenModes = vktest::FilesSession;

TEST_F(OpenModes, OutputIsCreatedOrEmptied) {
    writeFile("old.csv", "previous content that must go\n");
    for (std::string_view mode : {"O ", "BO"}) {
        int u = 0;
        OPENER(run, u, mode, "old.csv");
        unitOutput(units, u).putLine("1.0,2.0");
        CLOSER(run, u);
        EXPECT_EQ(readFile("old.csv"), "1.0,2.0\n") << "mode [" << mode << "]";
    }
}

TEST_F(OpenModes, ByteOutputWritesEachFieldInTheOrderItStates) {
    int u = 0;
    OPENER(run, u, "BO", "n.bin");
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        unitOutput(units, u).i32(9994, order);
        unitOutput(units, u).f64(2.0, order);
    }
    CLOSER(run, u);
    EXPECT_EQ(readFile("n.bin"), bytes({0x0A, 0x27, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40,  //
                                        0, 0, 0x27, 0x0A, 0x40, 0, 0, 0, 0, 0, 0, 0}));
}

// A file owned by its writer takes a unit of the table silently, empties what was there, is
// handed on whole when moved, and lets go of its unit when closed or destroyed.
TEST_F(OpenModes, OwnedFilesTakeUnitsSilentlyAndLetGoOfThem) {
    writeFile("x.shp", "ABCDEFGH");
    vk::OutputFile first("x.shp");
    ASSERT_EQ(first.create(units), 0);
    EXPECT_EQ(first.unit(), 1001);
    EXPECT_EQ(readFile("x.shp"), "");
    vk::OutputFile again("x.shp");
    EXPECT_NE(again.create(units), 0) << "a file of this run is not taken twice";
    EXPECT_FALSE(again.isOpen());

    vk::OutputFile moved = std::move(first);
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(moved.unit(), 1001);
    moved.out().put("xy");
    EXPECT_TRUE(moved.stillNamed());
    int other = 0;
    OPENER(run, other, "O ", "y.csv");
    EXPECT_EQ(other, 1002);
    EXPECT_EQ(moved.close(), 0);
    EXPECT_EQ(readFile("x.shp"), "xy");
    EXPECT_EQ(out, opened("y.csv", 1002)) << "the owned file said nothing";
    {
        vk::OutputFile dropped("z.txt");
        ASSERT_EQ(dropped.create(units), 0);
        dropped.out().put("z");
    }
    EXPECT_EQ(readFile("z.txt"), "z");
    int next = 0;
    OPENER(run, next, "O ", "w.csv");
    EXPECT_EQ(next, 1001) << "every owned unit was let go of";
    CLOSER(run, other);
    CLOSER(run, next);
}

TEST_F(OpenModes, InputOfAFileBeingWrittenSeesWhatWasWritten) {
    int w = 0, r = 0;
    OPENER(run, w, "O ", "x.prj");
    unitOutput(units, w).putLine("PROJCS[\"x\"]");
    OPENER(run, r, "I ", "x.prj");
    std::string line;
    ASSERT_EQ(vk::unitInput(units, r).readLine(line), vk::LineReader::Status::Line);
    EXPECT_EQ(line, "PROJCS[\"x\"]");
    int again = 0;
    OPENER(run, again, "I ", "x.prj");
    EXPECT_EQ(out, opened("x.prj", 1001) + openedForInput("x.prj", 1002) +
                       openedForInput("x.prj", 1003))
        << "an input already open is opened again without a question";
}

// Any other code, including those of modes the program has no use for (appending, records, byte
// input, read-write), opens nothing: no file is created, emptied or read.
TEST_F(OpenModes, UnrecognisedModeOpensNothing) {
    const std::string longName = std::string(90, 'n') + ".csv";
    writeFile("kept.txt", "kept\n");
    int u = 0;
    for (std::string_view mode : {"o ", "A ", "AB", "UI", "UO", "BI", "BE", "BN", "F ", "S ", "IO"}) {
        SCOPED_TRACE(std::string("mode [") + std::string(mode) + "]");
        for (const std::string& name : {longName, std::string("kept.txt")}) {
            out.clear();
            u = 7;
            OPENER(run, u, mode, name);
            EXPECT_EQ(u, 0);
            EXPECT_EQ(out, "\nTrying to open file " + name + "...  Unrecognised file type " +
                               std::string(mode) + " file " + name.substr(0, 80) + "\n");
        }
        EXPECT_FALSE(vktest::fileExists(longName));
        EXPECT_EQ(readFile("kept.txt"), "kept\n");
    }
    OPENER(run, u, "O", "x.csv");
    EXPECT_EQ(u, 0) << "codes are compared with their trailing blank";
    OPENER(run, u, "O ", "x.csv");
    EXPECT_EQ(u, 1001) << "no slot was kept";
}

TEST_F(OpenModes, WritesToAUnitWithoutAFileFail) {
    EXPECT_FALSE(unitInUse(units, 1001));
    unitOutput(units, 1001).put("lost");
    EXPECT_TRUE(unitOutput(units, 1001).failed());
    std::string line;
    EXPECT_EQ(vk::unitInput(units, 1234).readLine(line), vk::LineReader::Status::Error);
}

// ---- the dialogue ----------------------------------------------------------------------------

using OpenerDialogue = vktest::FilesSession;

TEST_F(OpenerDialogue, NameIsUsedWithoutSurroundingBlanks) {
    writeFile("x.sdf", "x\n");
    int u = 0;
    OPENER(run, u, "I ", "   x.sdf   ");
    EXPECT_EQ(out, openedForInput("x.sdf", 1001));
    EXPECT_EQ(vk::unitFileName(units, u), "x.sdf");

    std::filesystem::create_directory("sub");
    out.clear();
    OPENER(run, u, "O ", " sub//y.csv ");
    EXPECT_EQ(out, opened("sub/y.csv", 1002)) << "the line shows the cleaned name";
    EXPECT_TRUE(vktest::fileExists("sub/y.csv"));
}

TEST_F(OpenerDialogue, MissingInputAsksForAnotherName) {
    writeFile("y.sdf", "data\n");
    console().feedInput("   \r\ny.sdf\r\n");
    int u = 0;
    OPENER(run, u, "I ", "x.sdf");
    EXPECT_EQ(u, 1001);
    const std::string missing =
        "\nTrying to open file x.sdf...\nCHECK 0008 - \"x.sdf\" cannot be found\n";
    EXPECT_EQ(out, missing + kNamePrompt + "\nNo file name entered.  Trying file again...\n" +
                       missing + kNamePrompt + openedForInput("y.sdf", 1001));
    std::string line;
    ASSERT_EQ(vk::unitInput(units, u).readLine(line), vk::LineReader::Status::Line);
    EXPECT_EQ(line, "data");
}

TEST_F(OpenerDialogue, QuotedReplyOpensTheNameBetweenTheQuotes) {
    writeFile("y z.sdf", "data\n");
    console().feedInput("  \"y z.sdf\" \n");
    int u = 0;
    OPENER(run, u, "I ", "x.sdf");
    EXPECT_EQ(u, 1001);
    EXPECT_TRUE(out.ends_with(kNamePrompt + openedForInput("y z.sdf", 1001))) << out;
}

TEST_F(OpenerDialogue, AQuietConsoleShowsEveryDialogueWholeAndNothingElse) {
    writeFile("y.sdf", "data\n");
    console().setQuiet(true);
    console().feedInput("y.sdf\n\n");
    int in = 0, csv = 0;
    OPENER(run, in, "I ", "x.sdf");
    OPENER(run, csv, "O ", "table.csv");
    CLOSER(run, csv);
    EXPECT_EQ(endStatus([&] {
                  int u = 0;
                  OPENER(run, u, "O ", "nofolder/x.csv");
              }),
              1);
    console().setQuiet(false);
    EXPECT_EQ(in, 1001);
    EXPECT_EQ(out, "Trying to open file x.sdf...\nCHECK 0008 - \"x.sdf\" cannot be found\n" +
                       kNamePrompt + "\n" + "Trying to open file nofolder/x.csv..." +
                       cantOpen("nofolder/x.csv") + cantOpen("nofolder/x.csv") +
                       "\nERROR - Unable to open file nofolder/x.csv and no console input to "
                       "wait on.\n" +
                       kCloseAtEnd);
}

TEST_F(OpenerDialogue, TypedNamesAreCutAtEightyCharacters) {
    const std::string name80(80, 'f');
    writeFile(name80, "");
    console().feedInput(name80 + "-and-more\n");
    int u = 0;
    OPENER(run, u, "I ", "missing.sdf");
    EXPECT_EQ(u, 1001);
    EXPECT_EQ(vk::unitFileName(units, u), name80);
}

TEST_F(OpenerDialogue, DescribedFileIsAskedForByItsDescription) {
    writeFile("p.prj", "");
    console().feedInput("p.prj\n");
    int u = 1003;
    std::string name = "q.prj";
    vk::OPENWITHRETRY(run, u, name, "I ", "projection");
    EXPECT_EQ(u, 1003);
    EXPECT_EQ(name, "p.prj");
    EXPECT_EQ(out, "\nTrying to open file q.prj...\nCHECK 0008 - \"q.prj\" cannot be found\n"
                   "\nWhat is the projection file name? " +
                       openedForInput("p.prj", 1003));
}

TEST_F(OpenerDialogue, EndOfInputAtTheNamePromptEndsTheRun) {
    EXPECT_EQ(endStatus([&] {
                  int u = 0;
                  OPENER(run, u, "I ", "x.sdf");
              }),
              1);
    EXPECT_EQ(out, "\nTrying to open file x.sdf...\nCHECK 0008 - \"x.sdf\" cannot be found\n" +
                       kNamePrompt +
                       "\nERROR - End of console input while waiting for a file name.\n" +
                       kCloseAtEnd);
}

TEST_F(OpenerDialogue, NameWithANulByteIsNeverCutToAnExistingFile) {
    writeFile("x.sdf", "x\n");
    const std::string name = std::string("x.sdf") + '\0' + "tail";
    EXPECT_EQ(endStatus([&] {
                  int u = 0;
                  OPENER(run, u, "I ", name);
              }),
              1);
    EXPECT_NE(out.find("CHECK 0008 - \"" + name + "\" cannot be found"), std::string::npos);
}

TEST_F(OpenerDialogue, InputThatCannotBeReadEndsTheRunWithTheReason) {
    std::filesystem::create_directory("data.sdf");
    EXPECT_EQ(endStatus([&] {
                  int u = 0;
                  OPENER(run, u, "I ", "data.sdf");
              }),
              1);
    EXPECT_EQ(out, "\nTrying to open file data.sdf...\n"
                   "ERROR - Cannot read file data.sdf: Is a directory\n" +
                       kCloseAtEnd);
}

TEST_F(OpenerDialogue, AlreadyOpenOutputIsClosedWhenTheUserAgrees) {
    int first = 0, second = 0;
    OPENER(run, first, "O ", "x.csv");
    unitOutput(units, first).putLine("old");
    console().feedInput("yes\n");
    OPENER(run, second, "O ", "./x.csv");
    EXPECT_EQ(second, 1002);
    EXPECT_EQ(out, opened("x.csv", 1001) +
                       "\nTrying to open file ./x.csv...\n./x.csv is already open, close it? "
                       "OK.  File Unit:1002\n");
    // The other unit was closed without a message, but its slot stays taken until CLOSER.
    EXPECT_TRUE(unitInUse(units, first));
    unitOutput(units, second).putLine("new");
    CLOSER(run, second);
    EXPECT_EQ(readFile("x.csv"), "new\n");
    int third = 0;
    OPENER(run, third, "O ", "z.csv");
    EXPECT_EQ(third, 1002);
}

TEST_F(OpenerDialogue, SameFileUnderAnotherNameCountsAsOpen) {
    int first = 0, second = 0;
    OPENER(run, first, "O ", "x.csv");
    std::filesystem::create_hard_link("x.csv", "hard.csv");
    console().feedInput("no\nother.csv\n");
    OPENER(run, second, "O ", "hard.csv");
    EXPECT_EQ(second, 1002);
    EXPECT_EQ(out, opened("x.csv", 1001) +
                       "\nTrying to open file hard.csv...\nhard.csv is already open, close it? " +
                       kNamePrompt + opened("other.csv", 1002));
    EXPECT_TRUE(vk::unitOutput(units, first).isOpen()) << "the answer was no";
}

TEST_F(OpenerDialogue, OtherUnitThatCannotBeClosedEndsTheRun) {
    const vktest::FullDisk disk(parts.faults, "full.csv");
    int first = 0;
    OPENER(run, first, "O ", "full.csv");
    unitOutput(units, first).putLine("cannot be stored");
    console().feedInput("Y\n");
    EXPECT_EQ(endStatus([&] {
                  int second = 0;
                  OPENER(run, second, "O ", "full.csv");
              }),
              1);
    EXPECT_EQ(out, opened("full.csv", 1001) +
                       "\nTrying to open file full.csv...\nfull.csv is already open, close it? "
                       "\n  Unable to close file.\n");
}

TEST_F(OpenerDialogue, EndOfInputAtTheCloseQuestionEndsTheRun) {
    int first = 0;
    OPENER(run, first, "O ", "x.csv");
    unitOutput(units, first).put("on disk");
    EXPECT_EQ(endStatus([&] {
                  int second = 0;
                  OPENER(run, second, "BO", "x.csv");
              }),
              1);
    EXPECT_EQ(out, opened("x.csv", 1001) +
                       "\nTrying to open file x.csv...\nx.csv is already open, close it? "
                       "\nERROR - End of console input while waiting for a file name.\n" +
                       kCloseAtEnd);
    EXPECT_EQ(readFile("x.csv"), "on disk");
}

TEST_F(OpenerDialogue, BlockedOutputIsRetriedUntilInputEnds) {
    console().feedInput("\n");
    EXPECT_EQ(endStatus([&] {
                  int u = 0;
                  OPENER(run, u, "O ", "nofolder/x.csv");
              }),
              1);
    EXPECT_EQ(out, "\nTrying to open file nofolder/x.csv..." + cantOpen("nofolder/x.csv") +
                       cantOpen("nofolder/x.csv") +
                       "\nERROR - Unable to open file nofolder/x.csv and no console input to "
                       "wait on.\n" +
                       kCloseAtEnd);
}

// Another run writing the same outputs: what it holds is neither emptied nor written into, and the
// opener treats it as any output that cannot be opened; once ours, the file is held for this run.
TEST_F(OpenerDialogue, OutputHeldByAnotherRunIsNotTouched) {
    // Another run's open of the file, holding it as this program's outputs are held.
    const auto holdElsewhere = [](vk::sys::File& file) {
        return vk::sys::openFile("layer.shp", vk::sys::Access::Keep, file, true);
    };
    // The opener's modes, and a file owned by its writer (a layer's).
    for (std::string_view mode : {"O ", "BO", "owned"}) {
        SCOPED_TRACE(std::string("mode [") + std::string(mode) + "]");
        const bool owned = mode == "owned";
        vk::INITFILEUNITS(run, 1000);
        writeFile("layer.shp", "theirs");
        vk::sys::File theirs;
        ASSERT_EQ(holdElsewhere(theirs), 0);
        out.clear();
        EXPECT_EQ(endStatus([&] {
                      int u = 0;
                      vk::OutputFile file("layer.shp");
                      if (owned)
                          vk::openOwnedOutput(run, file);
                      else
                          OPENER(run, u, mode, "layer.shp");
                  }),
                  1);
        EXPECT_EQ(out, "\nTrying to open file layer.shp..." +
                           cantOpen("layer.shp", "held by another run") +
                           "\nERROR - Unable to open file layer.shp and no console input to wait "
                           "on.\n" +
                           kCloseAtEnd);
        EXPECT_EQ(readFile("layer.shp"), "theirs");
        vk::sys::closeFile(theirs);

        vk::INITFILEUNITS(run, 1000);
        int u = 0;
        vk::OutputFile file("layer.shp");
        if (owned)
            vk::openOwnedOutput(run, file);
        else
            OPENER(run, u, mode, "layer.shp");
        (owned ? file.out() : unitOutput(units, u)).put("ours");
        vk::sys::File other;
        EXPECT_EQ(holdElsewhere(other), EWOULDBLOCK) << "held while the unit is open";
        if (owned)
            vk::closeOwnedOutput(run, file);
        else
            CLOSER(run, u);
        // An output (a layer's file, a table) stays held until every output of the run is final.
        EXPECT_EQ(holdElsewhere(other), EWOULDBLOCK) << "held after its close";
        EXPECT_TRUE(vk::closeAllUnitsAtExit(units));
        ASSERT_EQ(holdElsewhere(other), 0) << "let go of at the run's end";
        vk::sys::closeFile(other);
    }
}

TEST_F(OpenerDialogue, EmptyNameBailsOut) {
    console().feedInput("\n");
    int u = 5;
    EXPECT_EQ(endStatus([&] { OPENER(run, u, "O ", "    "); }), 1);
    EXPECT_EQ(u, 5);
    EXPECT_EQ(out, "\nEmpty filename specified.  Bailing out.  Please contact "
                   "support@varnokline.example.\nPress Enter to Close\n");
}

TEST_F(OpenerDialogue, CloseOfAFileThatCouldNotBeWrittenEndsTheRun) {
    const vktest::FullDisk disk(parts.faults, "full.csv");
    int u = 0;
    OPENER(run, u, "O ", "full.csv");
    unitOutput(units, u).putLine("1,2,3");
    out.clear();
    EXPECT_EQ(endStatus([&] { CLOSER(run, u); }), 1);
    EXPECT_EQ(out, "ERROR - Cannot write file full.csv: No space left on device\n" + kCloseAtEnd);
    EXPECT_FALSE(unitInUse(units, 1001));
}

// The whole dialogue on the real standard input and output: the user sees the blocked output,
// creates the missing folder and presses Enter.
TEST(OpenerOnTheRealConsole, BlockedOutputOpensOnceTheCauseIsFixed) {
    vktest::TempDir dir;
    vktest::ScopedCwd cwd(dir.path());
    vktest::RunParts parts;  // its console: standard output and input
    vk::RunContext& run = parts.run;
    vk::Console& console = parts.con;
    vk::INITFILEUNITS(run, 1000);
    std::string seen;
    int u = 0;
    {
        vktest::PipedStdio stdio;
        std::thread user([&] {
            stdio.readUntil("Press Enter to Continue\n");
            std::filesystem::create_directory("later");
            stdio.type("\n");
            stdio.closeInput();
        });
        OPENER(run, u, "O ", "later/x.csv");
        unitOutput(parts.units, u).putLine("ok");
        CLOSER(run, u);
        console.flush();
        user.join();
        stdio.restore();
        seen = stdio.readUntil("\x01");
    }
    vk::INITFILEUNITS(run, 1000);
    EXPECT_EQ(seen, "\nTrying to open file later/x.csv..." + cantOpen("later/x.csv") +
                        "OK.  File Unit:1001\n" + closed(1001));
    EXPECT_EQ(readFile(dir.file("later/x.csv")), "ok\n");
}

TEST(OpenerOnTheRealConsole, ClosedStandardInputNeverHangs) {
    vktest::TempDir dir;
    vktest::ScopedCwd cwd(dir.path());
    vktest::RunParts parts;  // its console: standard output and input
    vk::RunContext& run = parts.run;
    vk::Console& console = parts.con;
    vk::INITFILEUNITS(run, 1000);
    std::string seen;
    int status = -1;
    {
        vktest::PipedStdio stdio;
        stdio.closeInput();
        std::thread reader([&] { seen = stdio.readUntil("Press Enter to Close\n"); });
        status = endStatus([&] {
            int u = 0;
            OPENER(run, u, "O ", "missing/x.csv");
        });
        console.flush();
        reader.join();
    }
    console.useStandardInput();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(seen, "\nTrying to open file missing/x.csv..." + cantOpen("missing/x.csv") +
                        "\nERROR - Unable to open file missing/x.csv and no console input to "
                        "wait on.\n" +
                        kCloseAtEnd);
}

}  // namespace
