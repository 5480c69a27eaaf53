// The fixed boxes, RunAndWait with the fake emulator, and DeleteFolder's outcomes.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "support/FakeEmulator.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "catalogue/Useful.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

struct Useful : ::testing::Test {
    TempDir dir;
    ScriptedPrompter prompts;
    std::string report = dir.file("report");
    void SetUp() override {
        SetProgramFolder(dir.path());
        setenv("FAKE_EMULATOR_REPORT", report.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("FAKE_EMULATOR_REPORT");
        unsetenv("FAKE_EMULATOR_SLEEP_MS");
        SetWaitHook(nullptr);
    }
    // A copy of the fake emulator in a folder of its own, so the working folder tells.
    std::string InstallEmulator(const std::string& folder) {
        const std::string exe = dir.file(folder + "/emu");
        dir.write(folder + "/emu", TempDir::read(FAKE_EMULATOR_PATH));
        chmod(exe.c_str(), 0755);
        return exe;
    }
};

}  // namespace

TEST_F(Useful, FixedBoxes) {
    prompts.Box(BoxOk).Box(BoxYes).Box(BoxNo).Box(BoxOk);
    EXPECT_EQ(ErrorBox("bad\nthing"), BoxOk);
    EXPECT_TRUE(QuestionBox("Do you?"));
    EXPECT_FALSE(QuestionBox("Really?"));
    NoticeBox("");
    const auto& shown = prompts.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].text, "bad\nthing");
    EXPECT_EQ(shown[0].icon, BoxIcon::Exclamation);
    EXPECT_EQ(shown[0].buttons, BoxButtons::Ok);
    EXPECT_EQ(shown[1].caption, "Question");
    EXPECT_EQ(shown[1].icon, BoxIcon::Question);
    EXPECT_EQ(shown[1].buttons, BoxButtons::YesNo);
    EXPECT_EQ(shown[3].caption, "Message");
    EXPECT_EQ(shown[3].icon, BoxIcon::None);
    EXPECT_EQ(shown[3].text, "");
}

TEST_F(Useful, RunAndWaitPassesWordsAndTheProgramFolder) {
    const std::string exe = InstallEmulator("emu dir");
    dir.write("game one.rom", "12345");
    RunAndWait(exe, "-f 'game one.rom' \"a \\\"b\\\"\" c\\ d");
    const auto run = ReadFakeEmulatorReport(report);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->workingFolder + "/", dir.file("emu dir/"));
    EXPECT_EQ(run->args, (std::vector<std::string>{exe, "-f", "game one.rom", "a \"b\"", "c d"}));
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(Useful, RunAndWaitWithEmptyParametersPassesTheProgramAlone) {
    const std::string exe = InstallEmulator("e");
    RunAndWait(exe, "");
    const auto run = ReadFakeEmulatorReport(report);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->args, std::vector<std::string>{exe});
}

TEST_F(Useful, RunAndWaitWaitsThroughTheHook) {
    const std::string exe = InstallEmulator("e");
    setenv("FAKE_EMULATOR_SLEEP_MS", "300", 1);
    int calls = 0;
    SetWaitHook([&] { ++calls; });
    RunAndWait(exe, "x");
    EXPECT_GT(calls, 3);  // called over and over while the child slept
    EXPECT_TRUE(ReadFakeEmulatorReport(report));
}

TEST_F(Useful, RunAndWaitStartsARelativeProgramFromTheCurrentFolder) {
    const std::string exe = InstallEmulator("tools/e");
    const std::string before = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(dir.path()));
    RunAndWait("tools/e/emu", "-x");
    SetCurrentFolder(before);
    const auto run = ReadFakeEmulatorReport(report);
    ASSERT_TRUE(run) << "the relative program was not started";
    EXPECT_EQ(run->workingFolder, dir.file("tools/e"));
    EXPECT_EQ(run->args, (std::vector<std::string>{exe, "-x"}));
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(Useful, RunAndWaitReportsProgramsThatCannotStart) {
    prompts.Box(BoxOk).Box(BoxOk);
    RunAndWait(dir.file("missing"), "a");
    dir.write("notexec", "#!/bin/sh\n");
    RunAndWait(dir.file("notexec"), "");
    // The box names the program and the reason under its first line.
    EXPECT_EQ(prompts.BoxTexts(),
              (std::vector<std::string>{
                  "Error Creating Process\n" + dir.file("missing") + ": No such file or directory",
                  "Error Creating Process\n" + dir.file("notexec") + ": Permission denied"}));
}

TEST_F(Useful, DeleteFolderRemovesReadOnlyFiles) {
    dir.write("unz/a.nes", "a");
    dir.write("unz/b.nes", "b");
    chmod(dir.file("unz/a.nes").c_str(), 0444);
    chmod(dir.file("unz/b.nes").c_str(), 0444);
    SetCurrentFolder(dir.file("unz"));
    DeleteFolder(dir.file("unz"));
    EXPECT_FALSE(FolderExists(dir.file("unz")));
    EXPECT_EQ(CurrentFolder(), dir.path());
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(Useful, DeleteFolderLeavesWhatALinkPointsTo) {
    const std::string outside = dir.write("elsewhere/game.nes", "g");
    chmod(outside.c_str(), 0444);
    dir.write("unz/a.nes", "a");
    ASSERT_EQ(symlink(outside.c_str(), dir.file("unz/link.nes").c_str()), 0);
    DeleteFolder(dir.file("unz"));
    EXPECT_FALSE(FolderExists(dir.file("unz")));
    EXPECT_EQ(TempDir::read(outside), "g");
    EXPECT_TRUE(IsReadOnly(outside));
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(Useful, DeleteFolderKeepsAFolderWithASubfolderOrMissing) {
    dir.write("unz/a.nes", "a");
    dir.write("unz/.hidden", "h");
    dir.write("unz/sub/c.nes", "c");
    prompts.Box(BoxOk).Box(BoxOk).Box(BoxOk);
    DeleteFolder(dir.file("unz"));
    EXPECT_FALSE(FileExists(dir.file("unz/a.nes")));
    EXPECT_TRUE(FileExists(dir.file("unz/.hidden")));
    EXPECT_TRUE(FileExists(dir.file("unz/sub/c.nes")));
    DeleteFolder(dir.file("nowhere"));
    // An empty folder text must not empty the current folder.
    dir.write("keep.txt", "k");
    SetCurrentFolder(dir.path());
    DeleteFolder("");
    EXPECT_TRUE(FileExists(dir.file("keep.txt")));
    EXPECT_EQ(prompts.BoxTexts(), std::vector<std::string>(3, "Cannot delete folder"));
}

TEST_F(Useful, DeleteFolderReportsFilesLeft) {
    dir.write("unz/a.nes", "a");
    dir.write("unz/b.nes", "b");
    // A file that cannot be unlinked: in a read-only folder, or immutable for root.
    const std::string stuck = dir.file("unz/b.nes");
    const bool root = geteuid() == 0;
    if (root && RunShell("chattr +i '" + stuck + "' 2>/dev/null") != 0)
        GTEST_SKIP() << "no way to keep root from deleting a file here";
    if (!root) chmod(dir.file("unz").c_str(), 0555);
    prompts.Box(BoxOk);
    DeleteFolder(dir.file("unz"));
    if (root) RunShell("chattr -i '" + stuck + "'");
    chmod(dir.file("unz").c_str(), 0755);
    EXPECT_EQ(prompts.BoxTexts(),
              std::vector<std::string>{"Cannot delete some files, they may be Read-Only"});
    EXPECT_TRUE(FileExists(stuck));
    EXPECT_TRUE(FolderExists(dir.file("unz")));
    EXPECT_EQ(FileExists(dir.file("unz/a.nes")), !root);  // deleted when only b.nes is stuck
}

TEST(ScriptedPrompterTest, UnscriptedOrUnusedAnswersFailTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter prompts;
            EXPECT_FALSE(QuestionBox("Do you really want to delete?"));  // the safe answer
        },
        "unscripted message box");
    EXPECT_NONFATAL_FAILURE({ ScriptedPrompter().Box(BoxOk); }, "never asked for");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter prompts;
            prompts.Input("x");
            ErrorBox("wrong kind");
            prompts.Input(std::nullopt);  // leaves the script as the box found it
            EXPECT_EQ(CurrentPrompter().InputBox("c", "p", ""), "x");
            EXPECT_EQ(CurrentPrompter().InputBox("c", "p", ""), std::nullopt);
        },
        "next in the script: input box");
}
