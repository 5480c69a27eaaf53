// The data folder: which folder the rule picks, what a first start lays in it, what it never
// touches, and a run that cannot make it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

#include "support/TempDir.h"
#include "catalogue/DataFolder.h"
#include "catalogue/Emusystem.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the test's length (unset when value is null).
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvVar() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A program folder as the build lays it out (lookup lists, no list files) and a data folder
// beside it that does not exist yet.
struct DataFolderStart : ::testing::Test {
    TempDir dir;
    std::string program = dir.file("program/");
    std::string data = dir.file("home/.local/share/tarnwick/");
    void SetUp() override {
        dir.write("program/LISTS/Systems.lst", "NES\r\nSNES\r\n");
        dir.write("program/LISTS/Types.lst", "Action\r\nPuzzle\r\n");
        dir.write("program/LISTS/Languages.lst", "English\r\n");
        SetFolders(program, data);
    }
    void TearDown() override { SetProgramFolder(""); }
    std::string Data(const std::string& name) const { return TempDir::read(data + name); }
};

}  // namespace

TEST(DataFolderRule, PortableFolderElseXdgDataHomeWhenAbsoluteElseHome) {
    TempDir dir;
    EnvVar home("HOME", dir.file("home").c_str());
    {
        EnvVar xdg("XDG_DATA_HOME", dir.file("xdg").c_str());
        SetFolders(dir.file("program"), "");
        EXPECT_EQ(DataFolder(), dir.file("xdg/tarnwick/"));
    }
    for (const char* ignored : {"relative/share", "", static_cast<const char*>(nullptr)}) {
        EnvVar xdg("XDG_DATA_HOME", ignored);
        SetFolders(dir.file("program"), "");
        EXPECT_EQ(DataFolder(), dir.file("home/.local/share/tarnwick/")) << (ignored ? ignored : "unset");
    }
    dir.write("program/Portable.TXT", "");
    SetFolders(dir.file("program"), "");
    EXPECT_EQ(DataFolder(), dir.file("program/"));
    EXPECT_EQ(DataFile("LISTS\\ROMS.LST"), dir.file("program/LISTS/ROMS.LST"));
    SetProgramFolder("");
}

TEST_F(DataFolderStart, AFirstStartMakesTheFolderWithTheLookupListsAndAnEmptyCatalogue) {
    ASSERT_EQ(DataFolderSetUp(), 0);
    EXPECT_TRUE(DataFolderWritable());
    EXPECT_EQ(Data("LISTS/Systems.lst"), "NES\r\nSNES\r\n");
    EXPECT_EQ(Data("LISTS/Types.lst"), "Action\r\nPuzzle\r\n");
    EXPECT_EQ(Data("LISTS/Languages.lst"), "English\r\n");
    EXPECT_EQ(Data("LISTS/EMUS.LST"), "");
    EXPECT_EQ(Data("LISTS/ROMS.LST"), "");
    // Nothing is written into the program folder.
    EXPECT_FALSE(fs::exists(program + "LISTS/ROMS.LST"));
    EXPECT_FALSE(fs::exists(program + "LISTS/EMUS.LST"));

    // The empty catalogue loads without a failure; the lookup lists are read from the data folder.
    EmuManager manager(DataFile("Tarnwick.log"));
    EXPECT_NO_THROW(manager.LoadRomList());
    EXPECT_NO_THROW(manager.LoadEmuList());
    EXPECT_EQ(LookupFile("LISTS\\Types.lst"), data + "LISTS/Types.lst");
}

TEST_F(DataFolderStart, ACatalogueKeptBesideTheExecutableIsCopiedIntoANewDataFolderAndLeftThere) {
    dir.write("program/LISTS/ROMS.LST", std::string(sizeof(RomRecord), 'r'));
    dir.write("program/LISTS/EMUS.LST", std::string(sizeof(EmulatorRecord), 'e'));
    dir.write("program/Tarnwick.ini", "[General]\r\nX=5\r\n");
    ASSERT_EQ(DataFolderSetUp(), 0);
    EXPECT_EQ(Data("LISTS/ROMS.LST"), std::string(sizeof(RomRecord), 'r'));
    EXPECT_EQ(Data("LISTS/EMUS.LST"), std::string(sizeof(EmulatorRecord), 'e'));
    EXPECT_EQ(Data("Tarnwick.ini"), "[General]\r\nX=5\r\n");
    EXPECT_EQ(TempDir::read(program + "LISTS/ROMS.LST"), std::string(sizeof(RomRecord), 'r'));
}

TEST_F(DataFolderStart, AnExistingDataFolderKeepsEveryFileTheUserHas) {
    dir.write("home/.local/share/tarnwick/LISTS/types.LST", "Mine\r\n");  // edited, other spelling
    dir.write("home/.local/share/tarnwick/LISTS/ROMS.LST", std::string(sizeof(RomRecord), 'r'));
    fs::create_directories(data + "LISTS/EMUS.LST");  // not a file: left as it is, not replaced
    dir.write("program/LISTS/ROMS.LST", "from an earlier build");
    ASSERT_EQ(DataFolderSetUp(), 0);
    EXPECT_EQ(Data("LISTS/types.LST"), "Mine\r\n");
    EXPECT_FALSE(fs::exists(data + "LISTS/Types.lst"));
    EXPECT_FALSE(fs::exists(data + "LISTS/Systems.lst"));  // read from the program folder instead
    EXPECT_EQ(LookupFile("LISTS\\Systems.lst"), program + "LISTS/Systems.lst");
    EXPECT_EQ(LookupFile("Lists\\Types.lst"), data + "LISTS/types.LST");
    EXPECT_EQ(Data("LISTS/ROMS.LST"), std::string(sizeof(RomRecord), 'r'));
    EXPECT_TRUE(fs::is_directory(data + "LISTS/EMUS.LST"));

    // A list about to be edited is copied in once; a second copy changes nothing.
    EXPECT_TRUE(CopyToDataFolder("LISTS\\Systems.lst"));
    EXPECT_EQ(Data("LISTS/Systems.lst"), "NES\r\nSNES\r\n");
    dir.write("home/.local/share/tarnwick/LISTS/Systems.lst", "Edited\r\n");
    EXPECT_TRUE(CopyToDataFolder("LISTS\\Systems.lst"));
    EXPECT_EQ(Data("LISTS/Systems.lst"), "Edited\r\n");
}

TEST_F(DataFolderStart, AFolderThatCannotBeMadeLeavesTheRunWritingNothing) {
    dir.write("home/.local", "a file where a folder should be");
    EXPECT_EQ(DataFolderSetUp(), ENOTDIR);
    EXPECT_FALSE(DataFolderWritable());
    EmuManager manager(DataFile("Tarnwick.log"));
    manager.AddLogLine("- Executing: emu game");
    EXPECT_NO_THROW(manager.SaveLog());
    EXPECT_EQ(TempDir::read(dir.file("home/.local")), "a file where a folder should be");
    EXPECT_FALSE(CopyToDataFolder("LISTS\\Types.lst"));

    SetFolders(program, data);  // setting the folders again starts writable
    EXPECT_TRUE(DataFolderWritable());
}
