#include "mainwindow/Launch.h"

#include <QProgressBar>

#include "catalogue/Emusystem.h"
#include "catalogue/Useful.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "mainwindow/Windows.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace {

// What one launch works with.
struct LaunchTexts {
  std::string program;   // the emulator's executable; empty when nothing is there
  std::string romPath;   // FilePath as stored (its case kept)
  std::string baseName;  // the file-name part of romPath without its extension
  std::string params;    // the emulator copy's parameters
};

// Writes the two log lines (when logging is on), runs the emulator and counts the play.
void RunEmulator(TMainWnd& wnd, RomRecord& rom, const LaunchTexts& t, const std::string& romArgument,
                 const char* caseLine) {
  const std::string arguments = t.params + " " + RomArgument(romArgument);
  if (Settings.LogEnabled) {
    Emus->AddLogLine("- Executing: " + t.program + " " + arguments);
    Emus->AddLogLine(caseLine);
    Emus->SaveLog();
  }
  struct Busy {
    TMainWnd& w;
    explicit Busy(TMainWnd& w) : w(w) { w.SetLaunching(true); }
    ~Busy() {
      DropInputQueuedWhileWaiting();  // a click made while it ran must not start it again
      w.SetLaunching(false);
    }
  } busy(wnd);
  RunAndWait(t.program, arguments);
  ++rom.TimesPlayed;
}

// Case 4 (the archive holds members): every member into <emulator folder>Roms/<game>, removed with its files afterwards.
void LaunchUnzippedGame(TMainWnd& wnd, RomRecord& rom, const LaunchTexts& t) {
  TZipArchiver& zip = wnd.ZipMan();
  const std::string gameFolder = FolderPart(t.program) + "Roms/" + t.baseName;
  // Beside a missing emulator there is no place to unpack to: the start then fails as usual.
  const bool unpack = !t.program.empty();
  zip.FSpecArgs.push_back("*.*");
  if (unpack) {
    CreateFolders(gameFolder);
    zip.ExtrBaseDir = gameFolder;
    zip.Extract();
  }
  wnd.SetStatus("Running Emulator...");
  RunEmulator(wnd, rom, t, t.baseName, "  Zip NOT Supported, MAME mode");
  if (unpack) DeleteFolder(gameFolder);
  zip.FSpecArgs.clear();
}

// The first top-level member named like the archive (letter case ignored); empty when none.
std::string MatchingMember(const TZipArchiver& zip, const std::string& baseName) {
  for (const ZipDirEntry& entry : zip.DirEntries()) {
    const std::string& name = entry.FileName;
    const size_t dot = name.rfind('.');
    const std::string cut = dot == std::string::npos ? std::string() : name.substr(0, dot);
    // A member inside a folder never matches: the emulator is handed a file of the shared folder.
    if (name.find('/') == std::string::npos && EqualsNoCase(cut, baseName)) return name;
  }
  return {};
}

// Case 5: the one member named like the archive into <emulator folder>ROMS/, deleted afterwards.
void LaunchUnzippedFile(TMainWnd& wnd, RomRecord& rom, const LaunchTexts& t) {
  TZipArchiver& zip = wnd.ZipMan();
  const std::string sharedFolder = FolderPart(t.program) + "ROMS/";
  const std::string member = MatchingMember(zip, t.baseName);
  if (member.empty()) {
    ErrorBox("No files matching the ZIP file name");
  } else {
    zip.FSpecArgs.push_back(member);
    const bool unpack = !t.program.empty();
    const std::string extracted = sharedFolder + member;
    if (unpack) {
      zip.ExtrBaseDir = sharedFolder;
      CreateFolder(sharedFolder);
      zip.Extract();
    }
    wnd.SetStatus("Running Emulator...");
    RunEmulator(wnd, rom, t, ShortPath(extracted), "  Zip NOT Supported");
    if (unpack) {
      ClearReadOnly(extracted);
      DeleteFile(extracted);
    }
  }
  zip.FSpecArgs.clear();
}

}  // namespace

std::string RomArgument(const std::string& text) { return text.empty() ? text : QuoteShellWord(text); }

void LaunchRom(TMainWnd& wnd, int position) {
  RomRecord* rom = Emus->GetRom(position);
  if (!rom) return;
  const EmulatorRecord& emu = rom->Emulator;
  LaunchTexts t;
  t.program = ShortPath(FieldView(emu.ExePath));
  t.romPath = FieldText(rom->FilePath);
  t.baseName = WithoutExtension(FileNamePart(t.romPath));
  t.params = FieldText(emu.Params);

  if (Settings.Validate && !FileExists(t.romPath)) {
    ErrorBox("The file is not present, if you use a removable media\nfor your ROMs, please check that it is in its place.");
    return;
  }
  if (!EqualsNoCase(ExtensionPart(t.romPath), ".zip")) {
    RunEmulator(wnd, *rom, t, t.romPath, "  Zip Support NOT NEEDED");
  } else {
    // Naming the archive lists it (once: a broken archive is reported once).
    TZipArchiver& zip = wnd.ZipMan();
    zip.FSpecArgs.clear();
    zip.SetFileName(t.romPath);
    if (FlagSet(emu.ZipSupported)) {
      if (FlagSet(emu.MameMode))
        RunEmulator(wnd, *rom, t, t.baseName, "  Zip Supported, MAME mode");
      else
        RunEmulator(wnd, *rom, t, ShortPath(t.romPath), "  Zip Supported");
    } else {
      wnd.SetStatus("Unzipping...");
      if (FlagSet(emu.MameMode)) {
        if (zip.GetCount() == 0) {  // the empty-archive end leaves the progress bar as it is
          ErrorBox("The ZIP file can be empty.");
          return;
        }
        LaunchUnzippedGame(wnd, *rom, t);
      } else {
        LaunchUnzippedFile(wnd, *rom, t);
      }
    }
  }
  wnd.ProgressBar1->setValue(0);
}

void ZipManProgress(TMainWnd& wnd, ProgressType type, int32_t fileSize) {
  if (type == ptByteCount) {
    wnd.UnzipTotal = fileSize;
    wnd.UnzipDone = 0;
  } else if (type == ptBytesDone) {
    wnd.UnzipDone += fileSize;
    if (wnd.UnzipTotal != 0)
      wnd.ProgressBar1->setValue(static_cast<int>(static_cast<int64_t>(wnd.UnzipDone) * 100 / wnd.UnzipTotal));
  }
}
