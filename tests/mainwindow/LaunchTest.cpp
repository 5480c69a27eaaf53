// Launching: the five cases with a real child program and real archives, and every failure.
#include <QAction>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTreeView>
#include <QProgressBar>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "support/Archives.h"
#include "support/FakeEmulator.h"
#include "support/ScriptedPrompter.h"
#include "WindowTestKit.h"
#include "catalogue/Useful.h"
#include "mainwindow/Launch.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

namespace {

// A program folder with one emulator (a copy of the fake emulator in emu/) and the windows.
class Launching : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(program.path("emu"));
    fs::copy_file(FAKE_EMULATOR_PATH, exe);
    program.WriteEmptyCatalogue();
    windows = std::make_unique<RunWindows>();
    Settings.LogEnabled = true;
    Settings.MessageMode = false;
  }
  void TearDown() override {
    if (MainWnd && !MainWnd->Closed()) MainWnd->close();
    windows.reset();
    SetWaitHook(nullptr);
    unsetenv("FAKE_EMULATOR_SLEEP_MS");
  }
  // Adds a ROM and launches it; returns what the emulator saw (nullopt when it did not run).
  std::optional<FakeEmulatorRun> Launch(const std::string& file, const std::string& params, bool zip, bool mame) {
    EmulatorRecord emu = MakeEmu("Fake", exe, params, zip, mame);
    auto rom = NewRomRecord();
    *rom = MakeRom(emu, "Game", file);
    position = Emus->AddRom(std::move(rom));
    MainWnd->FillRomList();
    MainWnd->List->SelectRow(MainWnd->List->Model()->rowCount() - 1);
    fs::remove(exe + ".report");
    MainWnd->Run->trigger();
    return ReadFakeEmulatorReport(exe + ".report");
  }
  int Played() const { return Emus->GetRom(position)->TimesPlayed; }
  std::vector<std::string> LastLogLines(size_t n) const {
    const auto& log = Emus->Log();
    return std::vector<std::string>(log.end() - std::min(n, log.size()), log.end());
  }
  // Checks during the emulator's run whether a file is there.
  void WatchWhileRunning(const std::string& path) {
    setenv("FAKE_EMULATOR_SLEEP_MS", "300", 1);
    SetWaitHook([this, path] { seenWhileRunning = seenWhileRunning || FileExists(path); });
  }

  TestProgram program;
  ScriptedPrompter prompts;
  const std::string exe = program.path("emu/fake");
  const std::string emuFolder = program.path("emu");
  std::unique_ptr<RunWindows> windows;
  int position = -1;
  bool seenWhileRunning = false;
};

}  // namespace

TEST_F(Launching, PlainFileGoesAsOneQuotedArgument) {
  const std::string rom = program.dir.write("My Roms/Game.nes", "nes data");
  auto run = Launch(rom, "-fs", true, false);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->args, (std::vector<std::string>{exe, "-fs", rom}));
  EXPECT_EQ(run->workingFolder, emuFolder);
  EXPECT_EQ(LastLogLines(2), (std::vector<std::string>{"- Executing: " + exe + " -fs '" + rom + "'",
                                                       "  Zip Support NOT NEEDED"}));
  EXPECT_EQ(program.Read("Tarnwick.log"), "- Executing: " + exe + " -fs '" + rom + "'\r\n  Zip Support NOT NEEDED\r\n");
  EXPECT_EQ(Played(), 1);
  EXPECT_EQ(MainWnd->StatusText(), "Ready");
  MainWnd->RunExecute();
  EXPECT_EQ(Played(), 2);
}

TEST_F(Launching, EmptyParametersStillLeaveTheBlank) {
  const std::string rom = program.dir.write("roms/game.nes", "x");
  auto run = Launch(rom, "", true, false);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->args, (std::vector<std::string>{exe, rom}));
  EXPECT_EQ(LastLogLines(2)[0], "- Executing: " + exe + "  " + rom);
}

TEST_F(Launching, ZipReadingEmulatorsGetTheArchiveOrTheGameName) {
  const std::string rom = archives::InfoZipArchive(program.dir, "pacman.zip", {{"pacman.rom", "data"}});
  auto mame = Launch(rom, "-fs", true, true);
  ASSERT_TRUE(mame);
  EXPECT_EQ(mame->args, (std::vector<std::string>{exe, "-fs", "pacman"}));
  EXPECT_EQ(LastLogLines(1)[0], "  Zip Supported, MAME mode");
  auto plain = Launch(rom, "-fs", true, false);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->args, (std::vector<std::string>{exe, "-fs", rom}));
  EXPECT_EQ(LastLogLines(1)[0], "  Zip Supported");
  EXPECT_FALSE(fs::exists(emuFolder + "/ROMS"));
  EXPECT_FALSE(fs::exists(emuFolder + "/Roms"));
}

TEST_F(Launching, MameModeUnpacksTheWholeGameAndRemovesItAfterwards) {
  const std::string rom = archives::InfoZipArchive(program.dir, "Game.zip", {{"game.nes", "12345"}, {"readme.txt", "hi"}});
  WatchWhileRunning(emuFolder + "/Roms/Game/readme.txt");
  auto run = Launch(rom, "-fs Roms/Game/game.nes", false, true);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->args, (std::vector<std::string>{exe, "-fs", "Roms/Game/game.nes", "Game"}));
  EXPECT_EQ(run->fileSizes[2], 5);  // unpacked while the emulator ran
  EXPECT_TRUE(seenWhileRunning);
  EXPECT_EQ(LastLogLines(2), (std::vector<std::string>{"- Executing: " + exe + " -fs Roms/Game/game.nes Game",
                                                       "  Zip NOT Supported, MAME mode"}));
  EXPECT_FALSE(fs::exists(emuFolder + "/Roms/Game"));
  EXPECT_TRUE(fs::exists(emuFolder + "/Roms"));
  EXPECT_EQ(Played(), 1);
  EXPECT_TRUE(MainWnd->ZipMan().FSpecArgs.empty());
  EXPECT_EQ(MainWnd->ProgressBar1->value(), 0);
}

TEST_F(Launching, OneMatchingMemberIsUnpackedIntoTheSharedFolder) {
  const std::string rom =
      archives::InfoZipArchive(program.dir, "GAME.ZIP", {{"readme.txt", "r"}, {"Game.Nes", "123"}, {"GAME.BIN", "4"}});
  WatchWhileRunning(emuFolder + "/ROMS/Game.Nes");
  auto run = Launch(rom, "-fs", false, false);
  ASSERT_TRUE(run);
  const std::string unpacked = emuFolder + "/ROMS/Game.Nes";
  EXPECT_EQ(run->args, (std::vector<std::string>{exe, "-fs", unpacked}));
  EXPECT_EQ(run->fileSizes[2], 3);
  EXPECT_TRUE(seenWhileRunning);
  EXPECT_FALSE(fs::exists(emuFolder + "/ROMS/readme.txt"));
  EXPECT_EQ(LastLogLines(2), (std::vector<std::string>{"- Executing: " + exe + " -fs " + unpacked, "  Zip NOT Supported"}));
  EXPECT_FALSE(fs::exists(unpacked));
  EXPECT_TRUE(fs::is_directory(emuFolder + "/ROMS"));
}

TEST_F(Launching, AMemberInAFolderDoesNotMatch) {
  const std::string rom = archives::InfoZipArchive(program.dir, "game.zip", {{"sub/game.nes", "x"}});
  prompts.Box(BoxOk);
  MainWnd->ProgressBar1->setValue(40);
  auto run = Launch(rom, "", false, false);
  EXPECT_FALSE(run);
  EXPECT_EQ(prompts.BoxTexts(), (std::vector<std::string>{"No files matching the ZIP file name"}));
  EXPECT_EQ(Played(), 0);
  EXPECT_EQ(MainWnd->ProgressBar1->value(), 0);
  EXPECT_TRUE(MainWnd->ZipMan().FSpecArgs.empty());
}

TEST_F(Launching, EveryFailureEndsInItsMessage) {
  // Validation on, file missing: nothing starts.
  Settings.Validate = true;
  prompts.Box(BoxOk);
  EXPECT_FALSE(Launch(program.path("gone.nes"), "", true, false));
  EXPECT_EQ(prompts.BoxTexts().back(),
            "The file is not present, if you use a removable media\nfor your ROMs, please check that it is in its place.");
  EXPECT_EQ(Played(), 0);
  Settings.Validate = false;

  // An archive with no members, MAME mode: nothing is unpacked or started.
  const std::string empty = archives::PythonZipArchive(program.dir, "empty.zip", {});
  prompts.Box(BoxOk);
  EXPECT_FALSE(Launch(empty, "", false, true));
  EXPECT_EQ(prompts.BoxTexts().back(), "The ZIP file can be empty.");
  EXPECT_EQ(Played(), 0);

  // Not an archive at all: the component reports it, then no member matches.
  const std::string broken = program.dir.write("broken.zip", "this is no zip archive at all");
  prompts.Box(BoxOk);
  EXPECT_FALSE(Launch(broken, "", false, false));
  EXPECT_EQ(prompts.BoxTexts().back(), "No files matching the ZIP file name");

  // The emulator is missing: the start fails, the play still counts.
  fs::remove(exe);
  const std::string rom = program.dir.write("roms/a.nes", "x");
  prompts.Box(BoxOk);
  EXPECT_FALSE(Launch(rom, "", true, false));
  EXPECT_EQ(prompts.BoxTexts().back(), "Error Creating Process");
  EXPECT_EQ(Played(), 1);
  EXPECT_EQ(LastLogLines(2)[0], "- Executing:   " + rom);
}

TEST_F(Launching, ALogThatCannotBeWrittenStopsBeforeTheStart) {
  fs::create_directories(program.path("Tarnwick.log"));  // a folder where the log should go
  const std::string rom = program.dir.write("roms/a.nes", "x");
  prompts.Box(BoxOk);
  EXPECT_FALSE(Launch(rom, "", true, false));
  ASSERT_EQ(prompts.Shown().size(), 1u);
  EXPECT_EQ(prompts.Shown()[0].caption, "Tarnwick");  // the general error display
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
  const std::string rom = program.dir.write("roms/a.nes", "x");
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
  const std::string rom = program.dir.write("roms/a.nes", "x");
  setenv("FAKE_EMULATOR_SLEEP_MS", "100", 1);
  bool posted = false;
  SetWaitHook([&posted] {
    if (posted) return;
    posted = true;  // a double click on the list, queued while the window takes no input
    QWidget* viewport = MainWnd->List->ReportView()->viewport();
    const QPointF at(10, 5);
    QCoreApplication::postEvent(viewport, new QMouseEvent(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at),
                                                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  });
  ASSERT_TRUE(Launch(rom, "", true, false));
  QCoreApplication::processEvents();
  EXPECT_TRUE(posted);
  EXPECT_EQ(Played(), 1);
}

TEST(RomArgument, QuotesOnlyWhatWouldSplit) {
  EXPECT_EQ(RomArgument("/roms/game.nes"), "/roms/game.nes");
  EXPECT_EQ(RomArgument("/my roms/it's.nes"), "'/my roms/it'\\''s.nes'");
  EXPECT_EQ(RomArgument("a\\b"), "'a\\b'");
  EXPECT_EQ(RomArgument(""), "");
}
