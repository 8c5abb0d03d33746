#include "files/exits.h"

#include <gtest/gtest.h>

#include <string>

#include "session.h"
#include "support/writefaults.h"

namespace {

using vk::EXITS;
using vk::OPENER;
using vk::unitOutput;
using vktest::endStatus;
using vktest::readFile;

using PauseAndExit = vktest::FilesSession;

TEST_F(PauseAndExit, ExitClosesOpenFilesWithTheirBytesOnDisk) {
    int a = 0, b = 0;
    OPENER(run, a, "O ", "a.csv");
    OPENER(run, b, "BO", "b.dbf");
    unitOutput(units, a).putLine("0.000,10.000");
    unitOutput(units, b).i32le(7);
    out.clear();
    console().line("ERROR - something went wrong");
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 1);
    EXPECT_EQ(out, "ERROR - something went wrong\n\nPress Enter to Close\n");
    EXPECT_EQ(readFile("a.csv"), "0.000,10.000\n");
    EXPECT_EQ(readFile("b.dbf"), std::string("\x07\0\0\0", 4));
    // Closed without messages; the slots stay taken.
    EXPECT_TRUE(vk::unitInUse(units, a));
    EXPECT_TRUE(vk::unitInUse(units, b));
    EXPECT_FALSE(unitOutput(units, a).isOpen());
}

TEST_F(PauseAndExit, ExitStatusIsZeroOnlyForAFinishedRun) {
    vk::markRunFinished(run.exit);
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 0);
    vk::resetRunFinished(run.exit);
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 1);
    vk::markRunFinished(run.exit);
    vk::INITFILEUNITS(run, 1000);
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 1) << "a new run starts unfinished";
}

TEST_F(PauseAndExit, AFinishedRunWithAFileThatCouldNotBeWrittenFails) {
    const vktest::FullDisk disk(parts.faults, "full.csv");
    int u = 0;
    OPENER(run, u, "O ", "full.csv");
    unitOutput(units, u).putLine("lost");
    vk::markRunFinished(run.exit);
    out.clear();
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 1);
    EXPECT_EQ(out, "ERROR - Cannot write file full.csv: No space left on device\n"
                   "\nPress Enter to Close\n");
}

TEST_F(PauseAndExit, ExitEndsALineLeftOpen) {
    console().write("Trying to open file x...");
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 1);
    EXPECT_EQ(out, "Trying to open file x...\n\nPress Enter to Close\n");
}

TEST_F(PauseAndExit, ExitWaitsForOneReplyOnly) {
    console().feedInput("echo hello > ran.txt\nstill unread\n");
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 1);
    EXPECT_FALSE(vktest::fileExists("ran.txt")) << "a reply is never run as a command";
    EXPECT_EQ(out, "\nPress Enter to Close\n") << "the prompt is not repeated";
    std::string reply;
    ASSERT_TRUE(console().readLine(reply, 80));
    EXPECT_EQ(reply, "still unread");
}

TEST_F(PauseAndExit, TheClosingPauseLeavesInputThatIsNotAPersonsUnread) {
    // A script's loop feeds the next folder on the same standard input.
    console().feedInput("next folder\n", false);
    EXPECT_EQ(endStatus([&] { EXITS(run); }), 1);
    EXPECT_EQ(out, "\nPress Enter to Close\n");
    std::string reply;
    ASSERT_TRUE(console().readLine(reply, 80));
    EXPECT_EQ(reply, "next folder");
    // The pause of a blocked output waits for an answer, whoever gives it.
    console().feedInput("\nleft\n", false);
    EXPECT_TRUE(vk::consolePause(run.console, "Press Enter to Continue"));
    ASSERT_TRUE(console().readLine(reply, 80));
    EXPECT_EQ(reply, "left");
}

TEST_F(PauseAndExit, PauseWaitsForEnterAndReturns) {
    console().feedInput("\nnext\n");
    console().write("open line");
    EXPECT_TRUE(vk::consolePause(run.console, "Press Enter to Continue"));
    EXPECT_EQ(out, "open line\nPress Enter to Continue\n");
    std::string reply;
    ASSERT_TRUE(console().readLine(reply, 80));
    EXPECT_EQ(reply, "next");
    EXPECT_FALSE(vk::consolePause(run.console, "Press Enter to Continue"));  // the input has ended
    EXPECT_EQ(out, "open line\nPress Enter to Continue\nPress Enter to Continue\n");
}

TEST_F(PauseAndExit, ConsolePauseReportsTheEndOfInput) {
    console().feedInput(std::string(2000, 'r') + "\nlast\n");
    EXPECT_TRUE(vk::consolePause(run.console, "Press Enter to Continue"));
    std::string reply;
    ASSERT_TRUE(console().readLine(reply, 80));
    EXPECT_EQ(reply, "last") << "the whole long reply was taken by the pause";
    EXPECT_FALSE(vk::consolePause(run.console, "Press Enter to Close"));
    EXPECT_EQ(out, "Press Enter to Continue\nPress Enter to Close\n");
}

TEST_F(PauseAndExit, EndRunClosesNothing) {
    int u = 0;
    OPENER(run, u, "O ", "kept.csv");
    unitOutput(units, u).put("buffered");
    out.clear();
    EXPECT_EQ(endStatus([&] { vk::endRun(run, 1); }), 1);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(unitOutput(units, u).isOpen());
}

}  // namespace
