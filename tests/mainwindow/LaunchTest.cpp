// Launching: the five cases with a real child program and real archives, and every failure.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QProgressBar>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <gtest/gtest.h>

#include "support/Archives.h"
#include "support/FakeEmulator.h"
#include "support/ScriptedPrompter.h"
#include "WindowTestKit.h"
#include "catalogue/LaunchJournal.h"
#include "catalogue/RomStats.h"
#include "catalogue/Useful.h"
#include "mainwindow/Launch.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "mainwindow/StatusProgress.h"
#include "mainwindow/ReportView.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Paths.h"
#include "zip/ZipUi.h"

namespace fs = std::filesystem;

namespace {

// A program folder with one emulator (a copy of the fake emulator in emu/) and the windows.
class Launching : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program_.path("emu"));
        fs::copy_file(FAKE_EMULATOR_PATH, exe_);
        program_.WriteEmptyCatalogue();
        SetZipUi(&zipUi_);
        windows_ = std::make_unique<RunWindows>();
        Settings.LogEnabled = true;
        Settings.MessageMode = false;
    }
    void TearDown() override {
        SetWaitHook(nullptr);
        zipUi_.onProcessMessages = nullptr;
        if (MainWnd && !MainWnd->Closed()) MainWnd->close();
        windows_.reset();
        SetZipUi(nullptr);
        unsetenv("FAKE_EMULATOR_SLEEP_MS");
        SetCurrentFolder(startFolder_);
    }
    // Adds a ROM and launches it; returns what the emulator saw (nullopt when it did not run).
    std::optional<FakeEmulatorRun> Launch(const std::string& file, const std::string& params, bool zip,
                                          bool mame) {
        return LaunchWith(exe_, file, params, zip, mame);
    }
    // Launch with another emulator program.
    std::optional<FakeEmulatorRun> LaunchWith(const std::string& emulator, const std::string& file,
                                              const std::string& params, bool zip, bool mame) {
        EmulatorRecord emu = MakeEmu("Fake", emulator, params, zip, mame);
        auto rom = NewRomRecord();
        *rom = MakeRom(emu, "Game", file);
        position_ = Emus->AddRom(std::move(rom));
        MainWnd->FillRomList();
        MainWnd->List->SelectRow(MainWnd->List->Model()->rowCount() - 1);
        fs::remove(emulator + ".report");
        MainWnd->Run->trigger();
        return ReadFakeEmulatorReport(emulator + ".report");
    }
    int Played() const { return Emus->GetRom(position_)->TimesPlayed; }
    std::vector<std::string> LastLogLines(size_t n) const {
        const auto& log = Emus->Log();
        return std::vector<std::string>(log.end() - std::min(n, log.size()), log.end());
    }
    // Checks during the emulator's run whether a file is there.
    void WatchWhileRunning(const std::string& path) {
        setenv("FAKE_EMULATOR_SLEEP_MS", "300", 1);
        SetWaitHook([this, path] { seenWhileRunning_ = seenWhileRunning_ || FileExists(path); });
    }

    // The files below a folder with their bytes, to show that a launch left them as they were.
    static std::map<std::string, std::string> FilesIn(const std::string& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files[fs::relative(entry.path(), folder).string()] = TempDir::read(entry.path().string());
        return files;
    }
    // The window shown and active with the list focused, so keys reach it as a user's would.
    void ShowWindow() {
        MainWnd->show();
        MainWnd->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(MainWnd));
        MainWnd->List->ReportView()->setFocus();
    }
    // The mouse events of a double click on the first row, as the window system delivers them.
    static void DoubleClickFirstRow() {
        QWidget* viewport = MainWnd->List->ReportView()->viewport();
        const QPoint at =
            MainWnd->List->ReportView()->visualRect(MainWnd->List->Model()->index(0, 0)).center();
        for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                               QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent e(t, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &e);
        }
    }

    const std::string startFolder_ = CurrentFolder();
    TestProgram program_;
    ScriptedPrompter prompts_;
    SilentZipUi zipUi_;
    const std::string exe_ = program_.path("emu/fake");
    const std::string emuFolder_ = program_.path("emu");
    std::unique_ptr<RunWindows> windows_;
    int position_ = -1;
    bool seenWhileRunning_ = false;
};

}  // namespace

TEST_F(Launching, PlainFileGoesAsOneQuotedArgument) {
    const std::string rom = program_.dir.write("My Roms/Game.nes", "nes data");
    auto run = Launch(rom, "-fs", true, false);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->args, (std::vector<std::string>{exe_, "-fs", rom}));
    EXPECT_EQ(run->workingFolder, emuFolder_);
    EXPECT_EQ(LastLogLines(2), (std::vector<std::string>{"- Executing: " + exe_ + " -fs '" + rom + "'",
                                                         "  Zip Support NOT NEEDED"}));
    // Each launch's lines are headed by its local date and time.
    const std::string log = program_.Read("Tarnwick.log");
    EXPECT_TRUE(std::regex_match(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\r\n[^]*)"))) << log;
    EXPECT_EQ(log.substr(21), "- Executing: " + exe_ + " -fs '" + rom + "'\r\n  Zip Support NOT NEEDED\r\n");
    EXPECT_EQ(Played(), 1);
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
    MainWnd->RunExecute();
    EXPECT_EQ(Played(), 2);
}

TEST_F(Launching, EmptyParametersStillLeaveTheBlank) {
    const std::string rom = program_.dir.write("roms/game.nes", "x");
    auto run = Launch(rom, "", true, false);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->args, (std::vector<std::string>{exe_, rom}));
    EXPECT_EQ(LastLogLines(2)[0], "- Executing: " + exe_ + "  " + rom);
}

// Every placeholder in each of the five ways a ROM reaches its emulator, with blanks and quotes
// in the folders of the ROM and of the emulator: each arrives as one argument, and the log line
// is the command line as run.
TEST_F(Launching, PlaceholdersNameTheirPlacesInEveryLaunchCase) {
    const std::string emuDir = program_.path("emu dir/it's \"e\"");
    const std::string romDir = program_.path("my roms/it's \"q\"");
    const std::string emulator = emuDir + "/fake";
    fs::create_directories(emuDir);
    fs::create_directories(romDir);
    fs::copy_file(FAKE_EMULATOR_PATH, emulator);
    const std::string nes = romDir + "/Game 'x'.nes";
    program_.dir.write("my roms/it's \"q\"/Game 'x'.nes", "12");
    const std::string zip = romDir + "/Game 'x'.zip";
    fs::copy_file(archives::InfoZipArchive(program_.dir, "game.zip", {{"Game 'x'.nes", "12345"}}), zip);

    const std::string params = "-r %ROM% -d %ROMDIR% -n \"%ROMNAME%\" -e %EMUDIR%/cfg";
    struct Case {
        std::string file;
        bool zip, mame;
        std::string rom;  // what %ROM% stands for
    };
    for (const Case& c :
         {Case{nes, true, false, nes}, Case{zip, true, true, "Game 'x'"}, Case{zip, true, false, zip},
          Case{zip, false, true, "Game 'x'"}, Case{zip, false, false, emuDir + "/Roms/Game 'x'.nes"}}) {
        SCOPED_TRACE(c.rom + (c.zip ? " zip" : "") + (c.mame ? " mame" : ""));
        WatchWhileRunning(c.mame ? emuDir + "/Roms/Game 'x'/Game 'x'.nes" : c.rom);
        auto run = LaunchWith(emulator, c.file, params, c.zip, c.mame);
        ASSERT_TRUE(run);
        const std::vector<std::string> words{"-r", c.rom,      "-d", romDir,
                                             "-n", "Game 'x'", "-e", emuDir + "/cfg"};
        std::vector<std::string> argv{emulator};
        argv.insert(argv.end(), words.begin(), words.end());
        EXPECT_EQ(run->args, argv);
        if (!c.zip) {
            EXPECT_TRUE(seenWhileRunning_);  // unpacked while the emulator ran
        }
        seenWhileRunning_ = false;
        const std::string logged = LastLogLines(2)[0];
        const std::string start = "- Executing: " + emulator + " ";
        ASSERT_EQ(logged.substr(0, start.size()), start);
        EXPECT_EQ(SplitShellWords(logged.substr(start.size())), words);
    }
    EXPECT_FALSE(fs::exists(emuDir + "/Roms/Game 'x'.nes"));
    EXPECT_EQ(program_.Read("my roms/it's \"q\"/Game 'x'.nes"), "12");
}

// Esc or Stop during the unzip ends the launch: the emulator does not start, and what the launch
// unpacked goes with the folder it made; the user's files stay.
TEST_F(Launching, EscOrStopDuringTheUnzipEndsTheLaunchLeavingNothingUnpacked) {
    ShowWindow();
    program_.dir.write("emu/Roms/keep.txt", "the user's");
    const std::string rom =
        archives::InfoZipArchive(program_.dir, "Game.zip", {{"game.nes", "12345"}, {"b.txt", "b"}});
    for (const bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "Esc" : "Stop");
        bool stopped = false;
        std::string shown;
        zipUi_.onProcessMessages = [&] {
            if (stopped || !MainWnd->WorkProgress->Busy()) return;
            stopped = true;
            shown = MainWnd->WorkProgress->WorkText->text().toStdString();
            if (byKey)
                QTest::keyClick(MainWnd->List->ReportView(), Qt::Key_Escape);
            else
                QTest::mouseClick(MainWnd->WorkProgress->WorkStop, Qt::LeftButton);
        };
        EXPECT_FALSE(Launch(rom, "", false, true));
        ASSERT_TRUE(stopped);
        EXPECT_EQ(shown, "Unzipping...");
        EXPECT_EQ(Played(), 0);
        EXPECT_TRUE(prompts_.Shown().empty());
        EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms/Game"));
        EXPECT_EQ(FilesIn(emuFolder_ + "/Roms"),
                  (std::map<std::string, std::string>{{"keep.txt", "the user's"}}));
        EXPECT_FALSE(fs::exists(LaunchJournalPath()));
        EXPECT_FALSE(MainWnd->WorkProgress->Busy());
        EXPECT_EQ(MainWnd->StatusText(), "Ready");
    }
    // The next launch unzips and runs as usual.
    zipUi_.onProcessMessages = nullptr;
    EXPECT_TRUE(Launch(rom, "", false, true));
}

TEST_F(Launching, ZipReadingEmulatorsGetTheArchiveOrTheGameName) {
    const std::string rom = archives::InfoZipArchive(program_.dir, "pacman.zip", {{"pacman.rom", "data"}});
    auto mame = Launch(rom, "-fs", true, true);
    ASSERT_TRUE(mame);
    EXPECT_EQ(mame->args, (std::vector<std::string>{exe_, "-fs", "pacman"}));
    EXPECT_EQ(LastLogLines(1)[0], "  Zip Supported, MAME mode");
    auto plain = Launch(rom, "-fs", true, false);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->args, (std::vector<std::string>{exe_, "-fs", rom}));
    EXPECT_EQ(LastLogLines(1)[0], "  Zip Supported");
    EXPECT_FALSE(fs::exists(emuFolder_ + "/ROMS"));
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms"));
}

TEST_F(Launching, MameModeUnpacksTheWholeGameAndRemovesItAfterwards) {
    const std::string rom =
        archives::InfoZipArchive(program_.dir, "Game.zip", {{"game.nes", "12345"}, {"readme.txt", "hi"}});
    WatchWhileRunning(emuFolder_ + "/Roms/Game/readme.txt");
    auto run = Launch(rom, "-fs Roms/Game/game.nes", false, true);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->args, (std::vector<std::string>{exe_, "-fs", "Roms/Game/game.nes", "Game"}));
    EXPECT_EQ(run->fileSizes[2], 5);  // unpacked while the emulator ran
    EXPECT_TRUE(seenWhileRunning_);
    EXPECT_EQ(LastLogLines(2),
              (std::vector<std::string>{"- Executing: " + exe_ + " -fs Roms/Game/game.nes Game",
                                        "  Zip NOT Supported, MAME mode"}));
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms/Game"));
    EXPECT_TRUE(fs::exists(emuFolder_ + "/Roms"));
    EXPECT_EQ(Played(), 1);
    EXPECT_TRUE(MainWnd->ZipMan().FSpecArgs.empty());
    EXPECT_EQ(MainWnd->ProgressBar1->value(), 0);
}

TEST_F(Launching, AReadOnlyDataFolderStillLetsAnUnpackingLaunchRunAndCleanUp) {
    SetDataFolderWritable(false);  // said once at start; nothing of the run is kept
    const std::string rom = archives::InfoZipArchive(program_.dir, "Game.zip", {{"game.nes", "12345"}});
    WatchWhileRunning(emuFolder_ + "/Roms/Game/game.nes");
    auto run = Launch(rom, "", false, true);
    SetDataFolderWritable(true);
    ASSERT_TRUE(run);
    EXPECT_TRUE(seenWhileRunning_);
    EXPECT_TRUE(prompts_.BoxTexts().empty());
    EXPECT_FALSE(fs::exists(LaunchJournalPath()));
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms/Game"));
}

TEST_F(Launching, OneMatchingMemberIsUnpackedIntoTheSharedFolder) {
    const std::string rom = archives::InfoZipArchive(
        program_.dir, "GAME.ZIP", {{"readme.txt", "r"}, {"Game.Nes", "123"}, {"GAME.BIN", "4"}});
    WatchWhileRunning(emuFolder_ + "/Roms/Game.Nes");
    auto run = Launch(rom, "-fs", false, false);
    ASSERT_TRUE(run);
    const std::string unpacked = emuFolder_ + "/Roms/Game.Nes";
    EXPECT_EQ(run->args, (std::vector<std::string>{exe_, "-fs", unpacked}));
    EXPECT_EQ(run->fileSizes[2], 3);
    EXPECT_TRUE(seenWhileRunning_);
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms/readme.txt"));
    EXPECT_EQ(LastLogLines(2),
              (std::vector<std::string>{"- Executing: " + exe_ + " -fs " + unpacked, "  Zip NOT Supported"}));
    EXPECT_FALSE(fs::exists(unpacked));
    EXPECT_TRUE(fs::is_directory(emuFolder_ + "/Roms"));
    EXPECT_FALSE(fs::exists(LaunchJournalPath()));
}

TEST_F(Launching, BothUnpackingCasesUseOneUnzipFolderWhateverItsLetterCase) {
    fs::create_directories(emuFolder_ + "/ROMS");
    const std::string file = archives::InfoZipArchive(program_.dir, "GAME.ZIP", {{"Game.Nes", "123"}});
    auto run = Launch(file, "", false, false);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->args.size(), 2u);
    EXPECT_EQ(run->args[1], emuFolder_ + "/ROMS/Game.Nes");
    EXPECT_EQ(run->fileSizes[1], 3);

    const std::string game = archives::InfoZipArchive(program_.dir, "mame.zip", {{"a.bin", "1"}});
    WatchWhileRunning(emuFolder_ + "/ROMS/mame/a.bin");
    ASSERT_TRUE(Launch(game, "", false, true));
    EXPECT_TRUE(seenWhileRunning_);
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms"));
    EXPECT_FALSE(fs::exists(emuFolder_ + "/ROMS/mame"));
    EXPECT_TRUE(fs::is_directory(emuFolder_ + "/ROMS"));
}

TEST_F(Launching, AFolderThatCannotBeMadeUnpacksNothingAndStartsNothing) {
    // Files of the user's stand where the folders would go; mkdir fails there for root as well.
    program_.dir.write("emu/Roms/Game", "the user's file");
    program_.dir.write("cwd/mine.txt", "mine");
    ASSERT_TRUE(SetCurrentFolder(program_.path("cwd")));
    const std::string game =
        archives::InfoZipArchive(program_.dir, "Game.zip", {{"game.nes", "12345"}, {"mine.txt", "x"}});
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(game, "", false, true));
    EXPECT_EQ(prompts_.BoxTexts().back(),
              "Cannot create the folder " + emuFolder_ +
                  "/Roms/Game (File exists).\nThe ROM was not unpacked and the emulator "
                  "was not started.");
    EXPECT_EQ(Played(), 0);

    fs::remove_all(emuFolder_ + "/Roms");
    program_.dir.write("emu/roms", "the user's file");
    const std::string file = archives::InfoZipArchive(program_.dir, "mine.zip", {{"mine.txt", "12345"}});
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(file, "", false, false));
    EXPECT_EQ(prompts_.BoxTexts().back(),
              "Cannot create the folder " + emuFolder_ +
                  "/roms (File exists).\nThe ROM was not unpacked and the emulator was "
                  "not started.");
    EXPECT_EQ(Played(), 0);
    EXPECT_EQ(FilesIn(program_.path("cwd")), (std::map<std::string, std::string>{{"mine.txt", "mine"}}));
    EXPECT_EQ(program_.Read("emu/roms"), "the user's file");
    EXPECT_FALSE(fs::exists(LaunchJournalPath()));
}

TEST_F(Launching, ArchiveNamesThatGiveNoGameNameAreRefused) {
    program_.dir.write("emu/fake.cfg", "the emulator's settings");
    const auto before = FilesIn(emuFolder_);
    const std::string source =
        archives::InfoZipArchive(program_.dir, "dots.zip", {{"fake", "x"}, {"fake.cfg", "x"}});
    for (const char* name : {"...zip", ".zip", "..zip"}) {
        const std::string rom = program_.path(name);
        fs::copy_file(source, rom);
        for (const auto& [zip, mame] :
             {std::pair{false, true}, std::pair{false, false}, std::pair{true, true}}) {
            prompts_.Box(BoxOk);
            EXPECT_FALSE(Launch(rom, "", zip, mame)) << name;
            EXPECT_EQ(prompts_.BoxTexts().back(),
                      "The name of " + rom + " gives no game name, so it cannot be launched.");
            EXPECT_EQ(Played(), 0);
        }
    }
    EXPECT_EQ(FilesIn(emuFolder_), before);
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms"));
}

TEST_F(Launching, TheCleanUpRemovesOnlyWhatTheLaunchUnpacked) {
    // A game folder that was there before, with the user's own files, one named like a member.
    program_.dir.write("emu/Roms/Game/notes.txt", "my notes");
    program_.dir.write("emu/Roms/Game/game.nes", "my own dump");
    const auto users = FilesIn(emuFolder_ + "/Roms/Game");
    const std::string game = archives::InfoZipArchive(program_.dir, "Game.zip",
                                                      {{"game.nes", "12345"}, {"docs/readme.txt", "hi"}});
    WatchWhileRunning(emuFolder_ + "/Roms/Game/readme.txt");
    auto run = Launch(game, "Roms/Game/game.nes", false, true);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->fileSizes.size(), 3u);
    EXPECT_EQ(run->fileSizes[1], 11) << "the user's own file is the one found";
    EXPECT_TRUE(seenWhileRunning_);
    EXPECT_EQ(FilesIn(emuFolder_ + "/Roms/Game"), users);

    // A game folder the launch made keeps what the emulator wrote there (its saves).
    const std::string fresh = archives::InfoZipArchive(program_.dir, "Fresh.zip", {{"fresh.nes", "12345"}});
    setenv("FAKE_EMULATOR_SLEEP_MS", "200", 1);
    SetWaitHook([this] { program_.dir.write("emu/Roms/Fresh/fresh.sav", "saved"); });
    ASSERT_TRUE(Launch(fresh, "", false, true));
    EXPECT_EQ(FilesIn(emuFolder_ + "/Roms/Fresh"),
              (std::map<std::string, std::string>{{"fresh.sav", "saved"}}));

    // Case 5: the user's file named like the member stays, and is what the emulator gets.
    program_.dir.write("emu/Roms/Other.nes", "mine");
    const std::string other = archives::InfoZipArchive(program_.dir, "Other.zip", {{"Other.nes", "theirs"}});
    auto file = Launch(other, "", false, false);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->fileSizes.size(), 2u);
    EXPECT_EQ(file->fileSizes[1], 4);
    EXPECT_EQ(program_.Read("emu/Roms/Other.nes"), "mine");
    EXPECT_TRUE(prompts_.Shown().empty());
}

TEST_F(Launching, ALaunchThatWasKilledIsCleanedUpAtTheNextStart) {
    program_.dir.write("emu/Roms/keep.txt", "the user's");
    const std::string game =
        archives::InfoZipArchive(program_.dir, "Game.zip", {{"game.nes", "12345"}, {"b.txt", "b"}});
    // What a kill during the run leaves behind: a copy of the journal and the unpacked files.
    const std::string crash = program_.path("crash");
    setenv("FAKE_EMULATOR_SLEEP_MS", "200", 1);
    SetWaitHook([&] {
        if (fs::exists(crash) || !fs::exists(LaunchJournalPath())) return;
        fs::create_directories(crash);
        fs::copy(emuFolder_ + "/Roms", crash + "/Roms", fs::copy_options::recursive);
        fs::copy_file(LaunchJournalPath(), crash + "/journal");
    });
    ASSERT_TRUE(Launch(game, "", false, true));
    ASSERT_TRUE(fs::exists(crash)) << "no journal was written before the emulator ran";
    EXPECT_FALSE(fs::exists(LaunchJournalPath()));
    MainWnd->close();
    windows_.reset();

    fs::remove_all(emuFolder_ + "/Roms");
    fs::copy(crash + "/Roms", emuFolder_ + "/Roms", fs::copy_options::recursive);
    fs::copy_file(crash + "/journal", LaunchJournalPath());
    ASSERT_EQ(program_.Read("emu/Roms/Game/game.nes"), "12345");
    windows_ = std::make_unique<RunWindows>();  // the next start
    EXPECT_EQ(FilesIn(emuFolder_ + "/Roms"),
              (std::map<std::string, std::string>{{"keep.txt", "the user's"}}));
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms/Game"));
    EXPECT_FALSE(fs::exists(LaunchJournalPath()));
}

TEST_F(Launching, AnEncryptedMemberAsksForThePasswordOnceAndStartsOnlyWhenUnpacked) {
    const std::string rom =
        archives::InfoZipArchive(program_.dir, "Secret.zip", {{"Secret.nes", "12345"}}, "-P letmein");
    zipUi_.inputs = {"letmein"};
    auto run = Launch(rom, "", false, false);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->fileSizes.size(), 2u);
    EXPECT_EQ(run->fileSizes[1], 5);
    ASSERT_EQ(zipUi_.boxes.size(), 1u);
    EXPECT_EQ(zipUi_.boxes[0].caption, "Password");
    EXPECT_TRUE(zipUi_.boxes[0].hidden);
    EXPECT_EQ(MainWnd->ZipMan().Password, "") << "the password is not kept for the next archive";

    for (const std::deque<std::string>& typed :
         {std::deque<std::string>{"wrong"}, std::deque<std::string>{}}) {
        zipUi_.boxes.clear();
        zipUi_.inputs = typed;
        prompts_.Box(BoxOk);
        EXPECT_FALSE(Launch(rom, "", false, false));
        EXPECT_EQ(zipUi_.boxes.size(), 1u) << "asked once";
        EXPECT_EQ(prompts_.BoxTexts().back(), MainWnd->ZipMan().LastMessage());
        EXPECT_NE(prompts_.BoxTexts().back().find("Secret.nes"), std::string::npos)
            << prompts_.BoxTexts().back();
        EXPECT_EQ(Played(), 0);
        EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms/Secret.nes"));
    }
}

TEST_F(Launching, KeysAndClicksDuringTheUnzipAreDropped) {
    ShowWindow();
    const std::string rom = archives::InfoZipArchive(program_.dir, "Game.zip", {{"Game.nes", "12345"}});
    // What a user does while the archive unpacks: Del (unlink the ROM), a double click on it
    // (launch it again), "Clear ROMs list". Each freed the ROM whose play the launch then counted.
    bool acted = false;
    zipUi_.onProcessMessages = [&] {
        if (acted) return;
        acted = true;
        QTest::keyClick(MainWnd->List->ReportView(), Qt::Key_Delete);
        DoubleClickFirstRow();
        MainWnd->ClearRomList->trigger();
        QCoreApplication::processEvents();
    };
    auto run = Launch(rom, "", false, false);
    ASSERT_TRUE(acted);
    ASSERT_TRUE(run);
    EXPECT_EQ(Emus->RomCount(), 1);
    EXPECT_EQ(Played(), 1);
    EXPECT_FALSE(MainWnd->Launching());

    // Once the launch is over the window takes keys again.
    MainWnd->List->SelectRow(0);
    QTest::keyClick(MainWnd->List->ReportView(), Qt::Key_Delete);
    EXPECT_EQ(Emus->RomCount(), 0);
}

TEST_F(Launching, ACloseDuringTheUnzipOrTheRunIsRefusedWithAStatusText) {
    ShowWindow();
    const std::string rom = archives::InfoZipArchive(program_.dir, "Game.zip", {{"Game.nes", "12345"}});
    bool closedWhileUnzipping = true, closedWhileRunning = true;
    std::string statusWhileUnzipping, statusWhileRunning;
    zipUi_.onProcessMessages = [&] {
        if (!statusWhileUnzipping.empty()) return;
        closedWhileUnzipping = MainWnd->close();
        statusWhileUnzipping = MainWnd->StatusText();
    };
    setenv("FAKE_EMULATOR_SLEEP_MS", "200", 1);
    SetWaitHook([&] {
        if (!statusWhileRunning.empty()) return;
        closedWhileRunning = MainWnd->close();
        statusWhileRunning = MainWnd->StatusText();
    });
    auto run = Launch(rom, "", false, false);
    ASSERT_TRUE(run);
    EXPECT_FALSE(closedWhileUnzipping);
    EXPECT_FALSE(closedWhileRunning);
    EXPECT_EQ(statusWhileUnzipping, "A game is running: close it first");
    EXPECT_EQ(statusWhileRunning, "A game is running: close it first");
    EXPECT_EQ(Played(), 1);
    EXPECT_FALSE(fs::exists(emuFolder_ + "/Roms/Game.nes")) << "cleaned up as usual";
    EXPECT_FALSE(MainWnd->Closed());
    EXPECT_TRUE(MainWnd->isVisible());
    EXPECT_EQ(MainWnd->StatusText(), "Ready");

    // Afterwards the window closes as it always did.
    EXPECT_TRUE(MainWnd->close());
    EXPECT_TRUE(MainWnd->Closed());
}

TEST_F(Launching, AMemberInAFolderDoesNotMatch) {
    const std::string rom = archives::InfoZipArchive(program_.dir, "game.zip", {{"sub/game.nes", "x"}});
    prompts_.Box(BoxOk);
    MainWnd->ProgressBar1->setValue(40);
    auto run = Launch(rom, "", false, false);
    EXPECT_FALSE(run);
    EXPECT_EQ(prompts_.BoxTexts(), (std::vector<std::string>{"No files matching the ZIP file name"}));
    EXPECT_EQ(Played(), 0);
    EXPECT_EQ(MainWnd->ProgressBar1->value(), 0);
    EXPECT_TRUE(MainWnd->ZipMan().FSpecArgs.empty());
}

TEST_F(Launching, EveryFailureEndsInItsMessage) {
    // Validation on, file missing: nothing starts.
    Settings.Validate = true;
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(program_.path("gone.nes"), "", true, false));
    EXPECT_EQ(prompts_.BoxTexts().back(),
              "The file is not present, if you use a removable media\nfor your ROMs, please check that it is "
              "in its place.\n" +
                  program_.path("gone.nes"));
    EXPECT_EQ(Played(), 0);
    Settings.Validate = false;

    // An archive with no members, MAME mode: nothing is unpacked or started.
    const std::string empty = archives::PythonZipArchive(program_.dir, "empty.zip", {});
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(empty, "", false, true));
    EXPECT_EQ(prompts_.BoxTexts().back(), "The ZIP file can be empty.\n" + empty);
    EXPECT_EQ(Played(), 0);

    // Not an archive at all: the component reports it, then no member matches.
    const std::string broken = program_.dir.write("broken.zip", "this is no zip archive at all");
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(broken, "", false, false));
    EXPECT_EQ(prompts_.BoxTexts().back(), "No files matching the ZIP file name");
    // The log keeps the component's message with the archive's name after it.
    const std::vector<std::string> lines = LastLogLines(2);
    EXPECT_EQ(lines[0], "  " + MainWnd->ZipMan().LastMessage() + " " + broken);  // a line break is a blank
    EXPECT_EQ(lines[1], "  No files matching the ZIP file name");

    // The emulator is missing: the start fails, the play still counts.
    fs::remove(exe_);
    const std::string rom = program_.dir.write("roms/a.nes", "x");
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(rom, "", true, false));
    // The box and the log say which program and why.
    const std::string failure = "Error Creating Process\n" + exe_ + ": No such file or directory";
    EXPECT_EQ(prompts_.BoxTexts().back(), failure);
    EXPECT_EQ(Played(), 1);
    EXPECT_EQ(LastLogLines(3)[0], "- Executing:   " + rom);
    EXPECT_EQ(LastLogLines(1)[0], "  Error Creating Process " + exe_ + ": No such file or directory");
}

TEST_F(Launching, ARunIsTimedAndShownAtOnceAndAFailedStartRecordsNoTime) {
    setenv("FAKE_EMULATOR_SLEEP_MS", "1600", 1);
    const std::string rom = program_.dir.write("roms/timed.nes", "x");
    const int64_t before = NowSeconds();
    ASSERT_TRUE(Launch(rom, "", true, false));
    const RomFacts first = Emus->Stats().Facts(rom);
    EXPECT_GE(first.LastPlayed, before);  // when it began, not when it ended
    EXPECT_LE(first.LastPlayed, before + 1);
    EXPECT_GE(first.PlaySeconds, 2);  // 1.6 s rounds to two
    // The row shows the new figures without a refill: the play count and the play time.
    const int row = MainWnd->List->Model()->RowOf(position_);
    EXPECT_EQ(MainWnd->List->Model()->index(row, 7).data().toString(), "1");
    EXPECT_NE(MainWnd->List->Model()->index(row, 9).data().toString(), "");

    // A second run adds its time; a run that could not start keeps both and only counts.
    ASSERT_TRUE(Launch(rom, "", true, false));
    EXPECT_GE(Emus->Stats().Facts(rom).PlaySeconds, first.PlaySeconds + 2);
    const RomFacts two = Emus->Stats().Facts(rom);
    fs::remove(exe_);
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(rom, "", true, false));
    EXPECT_EQ(Emus->Stats().Facts(rom), two);
}

TEST_F(Launching, ALogThatCannotBeWrittenStopsBeforeTheStart) {
    fs::create_directories(program_.path("Tarnwick.log"));  // a folder where the log should go
    const std::string rom = program_.dir.write("roms/a.nes", "x");
    prompts_.Box(BoxOk);
    EXPECT_FALSE(Launch(rom, "", true, false));
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].caption, "Tarnwick");  // the general error display
    EXPECT_EQ(MainWnd->StatusText(), "Running Emulator...");
    EXPECT_EQ(Played(), 0);
    EXPECT_FALSE(MainWnd->Launching());
}

TEST_F(Launching, ProgressFollowsTheBytesAndStartsAgainForEachUnzip) {
    ZipManProgress(*MainWnd, ptByteCount, 200);
    ZipManProgress(*MainWnd, ptBytesDone, 50);
    EXPECT_EQ(MainWnd->ProgressBar1->value(), 25);
    ZipManProgress(*MainWnd, ptFileBegin, 999);
    EXPECT_EQ(MainWnd->ProgressBar1->value(), 25);
    ZipManProgress(*MainWnd, ptByteCount, 1000);
    ZipManProgress(*MainWnd, ptBytesDone, 100);
    EXPECT_EQ(MainWnd->ProgressBar1->value(), 10);
    // Large totals do not overflow the percentage.
    ZipManProgress(*MainWnd, ptByteCount, 2000000000);
    ZipManProgress(*MainWnd, ptBytesDone, 1000000000);
    EXPECT_EQ(MainWnd->ProgressBar1->value(), 50);
}

TEST_F(Launching, HotTrackingLaunchesOnOneClickAndDoubleClickAlways) {
    const std::string rom = program_.dir.write("roms/a.nes", "x");
    ASSERT_TRUE(Launch(rom, "", true, false));
    MainWnd->ListDblClick();
    EXPECT_EQ(Played(), 2);
    MainWnd->ListMouseUp(Qt::LeftButton);  // hot tracking off: nothing
    EXPECT_EQ(Played(), 2);
    MainWnd->List->SetHotTrack(true);
    MainWnd->ListMouseUp(Qt::RightButton);
    EXPECT_EQ(Played(), 2);
    MainWnd->ListMouseUp(Qt::LeftButton);
    EXPECT_EQ(Played(), 3);
}

TEST_F(Launching, ClicksMadeWhileTheEmulatorRanAreDropped) {
    const std::string rom = program_.dir.write("roms/a.nes", "x");
    setenv("FAKE_EMULATOR_SLEEP_MS", "100", 1);
    bool posted = false;
    SetWaitHook([&posted] {
        if (posted) return;
        posted = true;  // a double click on the list, queued while the window takes no input
        QWidget* viewport = MainWnd->List->ReportView()->viewport();
        const QPointF at(10, 5);
        QCoreApplication::postEvent(
            viewport, new QMouseEvent(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at),
                                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    });
    ASSERT_TRUE(Launch(rom, "", true, false));
    QCoreApplication::processEvents();
    EXPECT_TRUE(posted);
    EXPECT_EQ(Played(), 1);
}

TEST_F(Launching, TheProgressStripShowsOnlyWhileAnUnzipReportsProgress) {
    MainWnd->show();
    EXPECT_FALSE(MainWnd->PPanel->isVisible());
    bool shownWhileRunning = false;
    SetWaitHook([&] { shownWhileRunning = shownWhileRunning || MainWnd->PPanel->isVisible(); });
    ASSERT_TRUE(Launch(program_.dir.write("roms/plain.nes", "x"), "", true, false));
    EXPECT_FALSE(shownWhileRunning);  // nothing unpacked, nothing to show

    const std::string rom = archives::InfoZipArchive(program_.dir, "Game.zip", {{"game.nes", "12345"}});
    ASSERT_TRUE(Launch(rom, "", false, true));
    EXPECT_TRUE(shownWhileRunning);
    EXPECT_FALSE(MainWnd->PPanel->isVisible());

    // Switched off, it stays hidden even while unpacking.
    MainWnd->ShowProgressBarsClick();
    shownWhileRunning = false;
    ASSERT_TRUE(Launch(rom, "", false, true));
    EXPECT_FALSE(shownWhileRunning);
}
