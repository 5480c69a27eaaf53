// The desktop's trash: the home trash and its info files, a file on another file system, and
// places where no trash can be made.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Files.h"
#include "platform/Trash.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class Trash : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1); }
    void TearDown() override { unsetenv("XDG_DATA_HOME"); }
    TempDir dir_;
};

}  // namespace

TEST_F(Trash, TheHomeTrashKeepsEachFileWithItsOriginalPath) {
    const std::string first = dir_.write("a/Super Mario (E).nes", "one");
    const std::string second = dir_.write("b/Super Mario (E).nes", "two");
    EXPECT_TRUE(CanMoveToTrash(first));
    EXPECT_FALSE(fs::exists(dir_.file("data")));  // asking makes nothing
    EXPECT_EQ(MoveToTrash(first), 0);
    EXPECT_EQ(MoveToTrash(second), 0);
    EXPECT_FALSE(FileExists(first));
    EXPECT_EQ(TempDir::read(dir_.file("data/Trash/files/Super Mario (E).nes")), "one");
    EXPECT_EQ(TempDir::read(dir_.file("data/Trash/files/Super Mario (E).nes.2")), "two");
    const std::string info = TempDir::read(dir_.file("data/Trash/info/Super Mario (E).nes.trashinfo"));
    EXPECT_EQ(
        info.rfind("[Trash Info]\nPath=" + dir_.file("a/Super%20Mario%20(E).nes") + "\nDeletionDate=", 0), 0u)
        << info;
    EXPECT_EQ(MoveToTrash(first), ENOENT);  // gone already
}

TEST_F(Trash, NoTrashWhereItsFolderCannotBeMade) {
    const std::string rom = dir_.write("rom.nes", "keep");
    dir_.write("data/Trash", "a file in the trash folder's place");
    EXPECT_FALSE(CanMoveToTrash(rom));
    EXPECT_NE(MoveToTrash(rom), 0);
    EXPECT_EQ(TempDir::read(rom), "keep");
}

// A file on another file system goes to the trash of that file system's top folder, as a rename
// (a copy to the home trash would be slow and could fail half-way).
TEST_F(Trash, AFileOnAnotherFileSystemGoesToThatFileSystemsTrash) {
    struct stat shm {
    }, tmp{};
    if (stat("/dev/shm", &shm) != 0 || stat(dir_.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev ||
        access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no writable /dev/shm on another file system";
    const std::string name = "tarnwick-trash-test-" + std::to_string(getpid()) + ".nes";
    const std::string rom = "/dev/shm/" + name;
    const std::string trash = "/dev/shm/.Trash-" + std::to_string(getuid());
    const bool trashWasThere = fs::exists(trash);
    ASSERT_TRUE(WriteFileAtomic(rom, "far"));
    EXPECT_TRUE(CanMoveToTrash(rom));
    EXPECT_EQ(MoveToTrash(rom), 0);
    EXPECT_FALSE(fs::exists(rom));
    EXPECT_FALSE(fs::exists(dir_.file("data/Trash/files/" + name)));
    EXPECT_EQ(TempDir::read(trash + "/files/" + name), "far");
    const std::string info = TempDir::read(trash + "/info/" + name + ".trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + name + "\nDeletionDate=", 0), 0u) << info;
    // Only what this test made goes again.
    fs::remove(trash + "/files/" + name);
    fs::remove(trash + "/info/" + name + ".trashinfo");
    if (!trashWasThere) {
        fs::remove(trash + "/files");
        fs::remove(trash + "/info");
        fs::remove(trash);
    }
}
