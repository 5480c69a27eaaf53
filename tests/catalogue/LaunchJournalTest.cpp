// The launch journal: what an interrupted launch left is removed at the next start, and only that.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/LaunchJournal.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace {

struct Journal : ::testing::Test {
    TempDir dir;
    void SetUp() override { SetProgramFolder(dir.path()); }  // the data folder too
    void TearDown() override { SetProgramFolder(""); }
    // A folder that a launch unpacked into, as the journal names it.
    std::string Folder(const std::string& name) {
        CreateFolders(dir.file(name));
        return RealPath(dir.file(name));
    }
};

}  // namespace

TEST_F(Journal, TheNextStartRemovesOnlyTheListedPlainFilesOfTheFolder) {
    const std::string folder = Folder("emu/Roms/Game");
    dir.write("emu/Roms/Game/game.nes", "ours");
    dir.write("emu/Roms/Game/b.txt", "ours, read-only");
    chmod(dir.file("emu/Roms/Game/b.txt").c_str(), 0444);
    dir.write("emu/Roms/Game/notes.txt", "the user's, not listed");
    const std::string outside = dir.write("elsewhere/link.nes", "the user's");
    ASSERT_EQ(symlink(outside.c_str(), dir.file("emu/Roms/Game/link.nes").c_str()), 0);
    CreateFolders(dir.file("emu/Roms/Game/sub"));
    dir.write("emu/Roms/escape.txt", "the user's");
    ASSERT_TRUE(
        WriteLaunchJournal({folder, true, {"game.nes", "b.txt", "link.nes", "sub", "../escape.txt", "."}}));

    FinishInterruptedLaunch();
    EXPECT_FALSE(FileExists(dir.file("emu/Roms/Game/game.nes")));
    EXPECT_FALSE(FileExists(dir.file("emu/Roms/Game/b.txt")));
    EXPECT_EQ(TempDir::read(dir.file("emu/Roms/Game/notes.txt")), "the user's, not listed");
    EXPECT_TRUE(IsSymbolicLink(dir.file("emu/Roms/Game/link.nes")));
    EXPECT_EQ(TempDir::read(outside), "the user's");
    EXPECT_TRUE(FolderExists(dir.file("emu/Roms/Game/sub")));
    EXPECT_EQ(TempDir::read(dir.file("emu/Roms/escape.txt")), "the user's");
    EXPECT_FALSE(FileExists(LaunchJournalPath()));
}

TEST_F(Journal, AFolderMovedOrReplacedByALinkSinceIsLeftAlone) {
    const std::string folder = Folder("emu/Roms/Game");
    dir.write("emu/Roms/Game/game.nes", "ours");
    ASSERT_TRUE(WriteLaunchJournal({folder, true, {"game.nes"}}));
    ASSERT_TRUE(MoveFile(folder, dir.file("emu/Roms/Moved")));
    dir.write("mine/game.nes", "the user's");
    ASSERT_EQ(symlink(dir.file("mine").c_str(), folder.c_str()), 0);

    FinishInterruptedLaunch();
    EXPECT_EQ(TempDir::read(dir.file("mine/game.nes")), "the user's");
    EXPECT_EQ(TempDir::read(dir.file("emu/Roms/Moved/game.nes")), "ours");
    EXPECT_FALSE(FileExists(LaunchJournalPath()));
}

TEST_F(Journal, AMadeFolderGoesOnceEmptyAKeptOneStaysAndADamagedJournalIsDropped) {
    const std::string made = Folder("emu/Roms/Made");
    dir.write("emu/Roms/Made/a.bin", "ours");
    ASSERT_TRUE(WriteLaunchJournal({made, true, {"a.bin"}}));
    ASSERT_TRUE(ReadLaunchJournal());
    EXPECT_EQ(ReadLaunchJournal()->files, std::vector<std::string>{"a.bin"});
    FinishInterruptedLaunch();
    EXPECT_FALSE(FolderExists(made));

    const std::string kept = Folder("emu/Roms");
    dir.write("emu/Roms/b.bin", "ours");
    ASSERT_TRUE(WriteLaunchJournal({kept, false, {"b.bin"}}));
    FinishInterruptedLaunch();
    EXPECT_FALSE(FileExists(dir.file("emu/Roms/b.bin")));
    EXPECT_TRUE(FolderExists(kept));

    dir.write("emu/Roms/c.bin", "the user's");
    const char relative[] = "Tarnwick launch journal 1\0relative\0made\0c.bin\0";
    dir.write("Launch.journal", std::string(relative, sizeof relative - 1));
    EXPECT_FALSE(ReadLaunchJournal());
    FinishInterruptedLaunch();
    EXPECT_EQ(TempDir::read(dir.file("emu/Roms/c.bin")), "the user's");
    EXPECT_FALSE(FileExists(LaunchJournalPath()));
}
