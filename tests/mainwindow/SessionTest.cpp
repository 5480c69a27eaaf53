// The session's start and end: files that cannot be read are left alone, a full disk at close
// is offered again.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#include "WindowTestKit.h"
#include "catalogue/RomStats.h"
#include "catalogue/Scan.h"
#include "mainwindow/Main.h"
#include "mainwindow/Session.h"
#include "mainwindow/Settings.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "support/FakeEmulator.h"
#include "support/ScriptedPrompter.h"

namespace fs = std::filesystem;

namespace {

const std::string LeftAsItIs = "The file is left as it is and will not be saved in this session.";
const std::string NotKept =
    "These lists could not be read at start and are left as they are: what they hold now is not kept.";

// A scan of the folder by the user through the scan dialog; the ROMs are the session's change.
void ScanFolder(const std::string& folder) {
    OnNextModal([folder](QWidget*) {
        ScanDlg->Dir->setText(QString::fromStdString(folder));
        Trigger("BitBtn2");
    });
    Trigger("Scan1");
}

bool IsFifo(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Waits (at most a minute, polling) until the predicate holds.
bool Eventually(const std::function<bool()>& holds) {
    for (int i = 0; i < 3000; ++i) {
        if (holds()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return holds();
}

// The exit code of a child that ended by itself; -1 when a signal ended it.
int ExitCodeOf(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sets environment variables for the processes started while it lives.
class Environment {
public:
    Environment(std::initializer_list<std::pair<const char*, std::string>> values) {
        for (const auto& [name, value] : values) {
            names.push_back(name);
            setenv(name, value.c_str(), 1);
        }
    }
    ~Environment() {
        for (const char* name : names) unsetenv(name);
    }
    std::vector<const char*> names;
};

// A data folder as a desktop user's Tarnwick keeps it: $XDG_DATA_HOME/tarnwick/.
struct XdgDataFolder {
    XdgDataFolder() { fs::create_directories(path + "LISTS"); }
    TempDir xdg;
    std::string path = xdg.file("tarnwick/");
    std::string Read(const std::string& name) const {
        try {
            return TempDir::read(path + name);
        } catch (const std::exception&) {
            return "<missing>";
        }
    }
};

// A folder this user may not write while it lives: for root, which permissions do not stop, a
// read-only mount of the folder on itself.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::string path) : path_(std::move(path)) {
        if (geteuid() != 0) {
            chmod(path_.c_str(), 0555);
            return;
        }
        mounted_ = mount(path_.c_str(), path_.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted_) mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
    }
    ~ReadOnlyFolder() {
        if (mounted_) umount(path_.c_str());
        chmod(path_.c_str(), 0755);
    }

private:
    std::string path_;
    bool mounted_ = false;
};

}  // namespace

TEST(Session, EachEndingSignalSavesAsTheCloseDoesAndOneFolderHasOneTarnwick) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        XdgDataFolder data;
        const EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
        const RomRecord rom = MakeRom(emu, "A", "/roms/a.nes");
        const std::string roms(reinterpret_cast<const char*>(&rom), sizeof rom);
        data.xdg.write("tarnwick/LISTS/ROMS.LST", roms);
        data.xdg.write("tarnwick/LISTS/EMUS.LST",
                       std::string(reinterpret_cast<const char*>(&emu), sizeof emu));
        data.xdg.write("tarnwick/LISTS/.ROMS.LST.k1ll3d", "half a list");  // a save that was killed
        Environment env{{"XDG_DATA_HOME", data.xdg.path()}};
        const StartResult tarnwick = StartProcess(TARNWICK_PATH, {}, "");
        ASSERT_GT(tarnwick.pid, 0);
        ASSERT_TRUE(Eventually([&] { return fs::exists(data.path + "Tarnwick.lock"); }));

        if (signal == SIGTERM) {  // a second start in the same data folder says so and takes nothing
            SetFolders(TARNWICK_APP_DIR, data.path);
            ScriptedPrompter prompts;
            prompts.Box(BoxOk);
            EXPECT_FALSE(TakeDataFolder());
            ASSERT_EQ(prompts.Shown().size(), 1u);
            EXPECT_EQ(prompts.Shown()[0].text, "Tarnwick is already running");
            EXPECT_EQ(prompts.Shown()[0].buttons, BoxButtons::Ok);
        }

        kill(tarnwick.pid, signal);
        EXPECT_EQ(ExitCodeOf(tarnwick.pid), 0);
        EXPECT_EQ(data.Read("LISTS/ROMS.LST"), roms);
        EXPECT_EQ(data.Read("LISTS/EMUS.LST").size(), sizeof emu);
        EXPECT_NE(data.Read("Tarnwick.ini").find("View Style=3"), std::string::npos);  // written at the end
        EXPECT_FALSE(fs::exists(data.path + "Tarnwick.lock"));
        EXPECT_FALSE(fs::exists(data.path + "LISTS/.ROMS.LST.k1ll3d"));
    }
    SetProgramFolder(TARNWICK_APP_DIR);
}

TEST(Session, ALockLeftByACopyThatDiedIsTakenOver) {
    XdgDataFolder data;
    SetFolders(TARNWICK_APP_DIR, data.path);
    const pid_t died = fork();
    ASSERT_GE(died, 0);
    if (died == 0) {  // takes the lock and ends without giving it back, as a crash does
        QLockFile lock(QString::fromStdString(data.path + "Tarnwick.lock"));
        _exit(lock.tryLock(0) ? 0 : 1);
    }
    ASSERT_EQ(ExitCodeOf(died), 0);
    ASSERT_TRUE(fs::exists(data.path + "Tarnwick.lock"));
    ScriptedPrompter prompts;  // no box
    EXPECT_TRUE(TakeDataFolder());
    ReleaseDataFolder();
    EXPECT_FALSE(fs::exists(data.path + "Tarnwick.lock"));

    // Left in a folder this user may not write, where it cannot be taken over: the start goes on
    // all the same, and the lock stays.
    const pid_t diedAgain = fork();
    ASSERT_GE(diedAgain, 0);
    if (diedAgain == 0) {
        QLockFile lock(QString::fromStdString(data.path + "Tarnwick.lock"));
        _exit(lock.tryLock(0) ? 0 : 1);
    }
    ASSERT_EQ(ExitCodeOf(diedAgain), 0);
    const std::string lockBytes = TempDir::read(data.path + "Tarnwick.lock");
    ReadOnlyFolder readOnly(data.path);
    EXPECT_TRUE(TakeDataFolder());
    ReleaseDataFolder();
    EXPECT_EQ(TempDir::read(data.path + "Tarnwick.lock"), lockBytes);
    SetProgramFolder(TARNWICK_APP_DIR);
}

TEST(Session, AnEndDuringAGameSavesTheSessionAndLeavesTheEmulatorRunning) {
    TestProgram program;
    const std::string emulator = program.path("emu");
    fs::copy_file(FAKE_EMULATOR_PATH, emulator);
    const EmulatorRecord emu = MakeEmu("E", emulator);
    program.WriteRoms({MakeRom(emu, "A", program.dir.write("roms/a.nes", "a"))});
    program.WriteEmus({emu});
    Environment env{{"FAKE_EMULATOR_SIGNAL_PARENT", std::to_string(SIGTERM)},
                    {"FAKE_EMULATOR_SLEEP_MS", "1500"},
                    {"FAKE_EMULATOR_DONE", program.path("emu.done")}};
    const StartResult child = StartProcess(SESSION_CHILD_PATH, {program.dir.path()}, "");
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(ExitCodeOf(child.pid), 0);
    ASSERT_TRUE(ReadFakeEmulatorReport(program.path("emu.report")).has_value());  // it did start
    const std::string roms = program.Read("LISTS/ROMS.LST");
    ASSERT_EQ(roms.size(), sizeof(RomRecord));
    EXPECT_EQ(FieldText(reinterpret_cast<const RomRecord*>(roms.data())->Name), "Renamed");
    EXPECT_EQ(program.IniValue("General", "View Style"), "2");
    EXPECT_FALSE(fs::exists(program.path("Tarnwick.lock")));
    EXPECT_TRUE(Eventually([&] { return fs::exists(program.path("emu.done")); }));  // never killed
}

TEST(Session, AKillAfterAGameKeepsItsPlayTimeAndLeavesTheListsAsTheyWere) {
    TestProgram program;
    const std::string emulator = program.path("emu");
    fs::copy_file(FAKE_EMULATOR_PATH, emulator);
    const EmulatorRecord emu = MakeEmu("E", emulator);
    const std::string rom = program.dir.write("roms/a.nes", "a");
    program.WriteRoms({MakeRom(emu, "A", rom)});
    program.WriteEmus({emu});
    const std::string listBefore = program.Read("LISTS/ROMS.LST");
    Environment env{{"FAKE_EMULATOR_SLEEP_MS", "1200"}};
    const StartResult child = StartProcess(SESSION_CHILD_PATH, {program.dir.path(), "kill"}, "");
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(ExitCodeOf(child.pid), -1);
    ASSERT_TRUE(ReadFakeEmulatorReport(program.path("emu.report")).has_value());
    RomStats again;
    ASSERT_EQ(again.Open(program.path("LISTS/Stats.db")), "");
    EXPECT_NE(again.Facts(rom).LastPlayed, 0);
    EXPECT_GE(again.Facts(rom).PlaySeconds, 1);
    EXPECT_EQ(program.Read("LISTS/ROMS.LST"), listBefore);  // the lists are written only at close
}

TEST(Session, ListsThatCannotBeReadAreSaidOnceAndLeftAsTheyAreEvenInExpertMode) {
    TestProgram program;
    EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    program.WriteEmus({emu});
    program.dir.write("LISTS/ROMS.LST/inside", "");  // a folder in the list's place
    program.WriteIni("[Security]\r\nMessage Mode=0\r\n");
    program.dir.write("scan/x.zip", "1");
    program.dir.write("scan/y.zip", "2");
    ScriptedPrompter prompts;
    prompts.Box(BoxOk);
    RunWindows windows;
    MainWnd->show();
    ASSERT_EQ(prompts.BoxTexts().size(), 1u);
    EXPECT_EQ(prompts.BoxTexts()[0], "Error Loading Roms List.\nCannot open file \"" +
                                         program.path("LISTS/ROMS.LST") + "\". Is a directory\n" +
                                         LeftAsItIs);
    ScanFolder(program.path("scan"));
    EXPECT_EQ(Emus->RomCount(), 2);
    Trigger("Rep");  // a view change is saved, the ROM list is not
    Trigger("Lst");
    prompts.ClearShown();
    prompts.Box(BoxOk);
    MainWnd->close();
    EXPECT_EQ(prompts.BoxTexts(),
              (std::vector<std::string>{NotKept + "\n" + program.path("LISTS/ROMS.LST") + " (2 ROMs)"}));
    EXPECT_TRUE(fs::is_directory(program.path("LISTS/ROMS.LST")));
    EXPECT_EQ(program.Read("LISTS/EMUS.LST").size(), sizeof(EmulatorRecord));
    EXPECT_EQ(program.IniValue("General", "View Style"), "2");
}

TEST(Session, FifosInPlaceOfTheSettingsAndAListNeitherStopTheStartNorAreReplaced) {
    TestProgram program;
    program.WriteRoms({});
    ASSERT_EQ(mkfifo(program.path("LISTS/EMUS.LST").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(program.path("Tarnwick.ini").c_str(), 0644), 0);
    ScriptedPrompter prompts;
    prompts.Box(BoxOk).Box(BoxOk);
    {
        RunWindows windows;
        MainWnd->show();
        EXPECT_EQ(prompts.BoxTexts(),
                  (std::vector<std::string>{"Error Loading Settings.\n" + program.path("Tarnwick.ini") +
                                                ": Not a regular file\n" + LeftAsItIs,
                                            "Error Loading Emu List.\nCannot open file \"" +
                                                program.path("LISTS/EMUS.LST") + "\". Not a regular file\n" +
                                                LeftAsItIs}));
        MainWnd->close();  // nothing changed in the unread list: nothing to say
    }
    EXPECT_TRUE(IsFifo(program.path("Tarnwick.ini")));
    EXPECT_TRUE(IsFifo(program.path("LISTS/EMUS.LST")));
    EXPECT_TRUE(fs::is_regular_file(program.path("LISTS/ROMS.LST")));
}

TEST(Session, WhatIsAddedAfterAFailedLookupListIsNamedAtClose) {
    TestProgram program(false);  // no lookup lists: nothing is read, nothing will be saved
    program.WriteEmptyCatalogue();
    ScriptedPrompter prompts;
    prompts.Box(BoxOk).Box(BoxOk);  // the main window's report, then the emulator editor's own
    RunWindows windows;
    MainWnd->show();
    auto rom = NewRomRecord();
    SetFieldText(rom->Name, "Added");
    Emus->AddRom(std::move(rom));
    prompts.ClearShown();
    prompts.Box(BoxOk);
    MainWnd->close();
    EXPECT_EQ(prompts.BoxTexts(),
              (std::vector<std::string>{NotKept + "\n" + program.path("LISTS/ROMS.LST") + " (1 ROM)"}));
    EXPECT_EQ(program.Read("LISTS/ROMS.LST"), "");
}

// A program folder whose LISTS/ lies on a small file system of its own, filled up before the close.
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        lists_ = program_.path("LISTS");
        if (mount("tarnwick-test", lists_.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "a small file system cannot be mounted here: " << strerror(errno);
        mounted_ = true;
        for (const char* name : {"Systems.lst", "Types.lst", "Languages.lst"})
            fs::copy_file(std::string(TARNWICK_SOURCE_DIR) + "/data/LISTS/" + name, lists_ + "/" + name);
        emu_ = MakeEmu("E", "/usr/bin/true");
        program_.WriteRoms({MakeRom(emu_, "Old", "/roms/old.nes")});
        program_.WriteEmus({emu_});
        oldRoms_ = program_.Read("LISTS/ROMS.LST");
    }
    void TearDown() override {
        windows_.reset();
        if (mounted_) umount(lists_.c_str());
    }
    // The windows up with the facts store read: the read makes a journal and removes it, and
    // room it frees after Fill would let a list be written.
    void Start() {
        windows_ = std::make_unique<RunWindows>();
        Emus->FinishOpeningStats();
    }
    // Fills the file system to the last byte.
    void Fill() {
        const std::string filler = program_.path("LISTS/filler");
        FILE* f = fopen(filler.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string block(4096, 'x');
        while (fwrite(block.data(), 1, block.size(), f) == block.size()) {
        }
        fclose(f);
    }

    TestProgram program_;
    std::string lists_, oldRoms_;
    bool mounted_ = false;
    EmulatorRecord emu_;
    std::unique_ptr<RunWindows> windows_;
};

// Answers the boxes from its script; on the first box it frees the disk, as a user would
// before pressing Retry.
class FreeingPrompter : public ScriptedPrompter {
public:
    explicit FreeingPrompter(std::string filler) : filler(std::move(filler)) {}
    int MessageBox(const std::string& caption, const std::string& text, BoxIcon icon, BoxButtons buttons,
                   int defaultButton) override {
        fs::remove(filler);
        return ScriptedPrompter::MessageBox(caption, text, icon, buttons, defaultButton);
    }
    std::string filler;
};

TEST_F(FullDisk, RetryAfterMakingRoomSavesTheSession) {
    Start();
    Emus->AddRom(std::make_unique<RomRecord>(MakeRom(emu_, "New", "/roms/new.nes")));
    Fill();
    FreeingPrompter prompts(program_.path("LISTS/filler"));
    prompts.Box(BoxRetry);
    MainWnd->close();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].caption, "Error");
    EXPECT_EQ(prompts.Shown()[0].text, "Error writing Emulator List file.\nCannot create file \"" +
                                           program_.path("LISTS/EMUS.LST") +
                                           "\". No space left on device");  // the first list to fill the disk
    EXPECT_EQ(prompts.Shown()[0].buttons, BoxButtons::RetryCancel);
    EXPECT_EQ(prompts.Shown()[0].defaultButton, BoxRetry);
    EXPECT_EQ(program_.Read("LISTS/ROMS.LST").size(), 2 * sizeof(RomRecord));
    EXPECT_EQ(program_.Read("LISTS/EMUS.LST").size(), sizeof(EmulatorRecord));
}

TEST_F(FullDisk, CancelKeepsTheOldFilesWholeAndEndsAsBefore) {
    Start();
    Emus->AddRom(std::make_unique<RomRecord>(MakeRom(emu_, "New", "/roms/new.nes")));
    const std::string oldEmus = program_.Read("LISTS/EMUS.LST");
    Fill();
    ScriptedPrompter prompts;
    prompts.Box(BoxCancel).Box(BoxCancel);
    MainWnd->close();
    ASSERT_EQ(prompts.BoxTexts().size(), 2u);
    EXPECT_TRUE(prompts.BoxTexts()[0].starts_with("Error writing Emulator List file.\n"));
    EXPECT_TRUE(prompts.BoxTexts()[1].starts_with("Error writing Roms List file.\n"));
    EXPECT_TRUE(MainWnd->Closed());
    EXPECT_EQ(program_.Read("LISTS/ROMS.LST"), oldRoms_);
    EXPECT_EQ(program_.Read("LISTS/EMUS.LST"), oldEmus);
}
