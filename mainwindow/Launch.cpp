#include "mainwindow/Launch.h"

#include <QProgressBar>
#include <cerrno>
#include <optional>
#include <set>
#include <sys/stat.h>

#include "catalogue/Emusystem.h"
#include "catalogue/LaunchJournal.h"
#include "catalogue/Placeholders.h"
#include "catalogue/Useful.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "mainwindow/Windows.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace {

// What one launch works with, copied from the ROM record at its start: the launch pumps events,
// so the record is not held meanwhile; the play is counted on the record found again by position.
struct LaunchTexts {
  int position = -1;
  std::string program;   // the emulator's executable; empty when nothing is there
  std::string romPath;   // FilePath as stored (its case kept)
  std::string baseName;  // the file-name part of romPath without its extension
  std::string params;    // the emulator copy's parameters
  bool zipSupported = false;
  bool mameMode = false;
};

LaunchTexts TextsOf(const RomRecord& rom, int position) {
  const EmulatorRecord& emu = rom.Emulator;
  LaunchTexts t;
  t.position = position;
  t.program = ShortPath(FieldView(emu.ExePath));
  t.romPath = FieldText(rom.FilePath);
  t.baseName = WithoutExtension(FileNamePart(t.romPath));
  t.params = FieldText(emu.Params);
  t.zipSupported = FlagSet(emu.ZipSupported);
  t.mameMode = FlagSet(emu.MameMode);
  return t;
}

// From the listing to the clean-up: the window takes no input, runs no command and refuses to
// close, so nothing can free the ROM or unload the engines under the launch.
class LaunchGuard {
public:
  explicit LaunchGuard(TMainWnd& w) : wnd(w) {
    wnd.SetLaunching(true);
    block.emplace();
  }
  ~LaunchGuard() {
    block.reset();  // what queued up is handled while the window still refuses
    wnd.SetLaunching(false);
  }
  LaunchGuard(const LaunchGuard&) = delete;
  LaunchGuard& operator=(const LaunchGuard&) = delete;

private:
  TMainWnd& wnd;
  std::optional<UserInputBlock> block;
};

void CountPlay(int position) {
  if (RomRecord* rom = Emus->GetRom(position)) ++rom->TimesPlayed;
}

// The folder of the emulator's executable, absolute (without its trailing '/').
std::string EmulatorFolder(const LaunchTexts& t) { return WithoutTrailingSlash(FolderPart(AbsolutePath(t.program))); }

// Writes the two log lines (when logging is on), runs the emulator and counts the play.
void RunEmulator(const LaunchTexts& t, const std::string& romArgument, const char* caseLine) {
  const std::string emulatorFolder = t.program.empty() ? std::string() : EmulatorFolder(t);
  const std::string arguments = LaunchParameters(t.params, {romArgument, t.romPath, emulatorFolder});
  if (Settings.LogEnabled) {
    Emus->AddLogLine("- Executing: " + t.program + " " + arguments);
    Emus->AddLogLine(caseLine);
    Emus->SaveLog();
  }
  RunAndWait(t.program, arguments);
  CountPlay(t.position);
}

// A base name that can name a game and a folder beside the emulator: "...zip" would give "..",
// the emulator's own folder, and ".zip" nothing, the whole unzip folder.
bool UsableGameName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The one folder beside the emulator that archives are unpacked into: the first entry of the
// emulator's folder named "roms" in any letter case, else a new "Roms".
std::string UnzipFolder(const std::string& emulatorFolder) {
  const std::vector<std::string> found = FindFiles(emulatorFolder, "roms", FindPlainFiles | FindFolders);
  return JoinPath(emulatorFolder, found.empty() ? std::string("Roms") : found.front());
}

// Makes one folder unless it is there: whether this launch made it, or nullopt (after an error
// naming it) when there is no folder there afterwards.
std::optional<bool> MakeUnpackFolder(const std::string& folder) {
  if (FolderExists(folder)) return false;
  if (CreateFolder(folder)) return true;
  ErrorBox("Cannot create the folder " + folder + " (" + ErrorText(errno) +
           ").\nThe ROM was not unpacked and the emulator was not started.");
  return std::nullopt;
}

// The name a member gets in the unpack folder: the engine drops folder names and skips folder
// entries and names that lead outside its target (absolute, a drive, ".."); those give "".
std::string UnpackedName(const std::string& member) {
  std::string name = member;
  for (char& c : name)
    if (c == '\\') c = '/';
  const char letter = static_cast<char>(name.empty() ? 0 : name[0] | 0x20);
  const bool drive = name.size() >= 2 && name[1] == ':' && letter >= 'a' && letter <= 'z';
  if (name.empty() || name.front() == '/' || name.back() == '/' || drive) return {};
  std::string leaf;
  size_t start = 0;
  while (start <= name.size()) {
    size_t slash = name.find('/', start);
    if (slash == std::string::npos) slash = name.size();
    const std::string part = name.substr(start, slash - start);
    if (part == "..") return {};
    if (!part.empty() && part != ".") leaf = part;
    start = slash + 1;
  }
  return leaf;
}

// Whether any entry, a dangling link included, has the name.
bool AnythingAt(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// What an unpacking launch extracts: the members to name to the engine and the files they make.
// A file that is there already (the user's own) is neither unpacked over nor removed: the
// emulator finds it as it is.
struct UnpackPlan {
  std::vector<std::string> members;
  UnpackRecord record;
  bool encrypted = false;  // a member needs the password
};

UnpackPlan PlanUnpack(const std::vector<ZipDirEntry>& entries, const std::string& folder, bool folderMade) {
  UnpackPlan plan;
  plan.record.folder = RealPath(folder);
  plan.record.folderMade = folderMade;
  std::set<std::string> planned;
  for (const ZipDirEntry& entry : entries) {
    const std::string name = UnpackedName(entry.FileName);
    if (name.empty()) continue;
    const bool first = !planned.count(name);
    if (first && AnythingAt(JoinPath(folder, name))) continue;
    if (first) plan.record.files.push_back(name);
    planned.insert(name);
    plan.members.push_back(entry.FileName);
    if (entry.GeneralFlags & 1) plan.encrypted = true;
  }
  return plan;
}

// Removes what the launch unpacked and the folder it made, then its journal.
void RemoveWhatWasUnpacked(const UnpackRecord& record) {
  if (!RemoveUnpacked(record)) ErrorBox("Cannot delete some files, they may be Read-Only");
  RemoveLaunchJournal();
}

// Writes the journal, then extracts the planned members, asking once for the password when one
// is needed. False (after the message, with what was unpacked removed) when the emulator must
// not start.
bool Unpack(TZipArchiver& zip, const UnpackPlan& plan) {
  if (!WriteLaunchJournal(plan.record)) {
    ErrorBox("Cannot write " + LaunchJournalPath() + " (" + ErrorText(errno) +
             ").\nThe ROM was not unpacked and the emulator was not started.");
    return false;
  }
  if (plan.members.empty()) return true;
  zip.Password.clear();
  if (plan.encrypted) zip.GetExtrPassword();
  zip.FSpecArgs = plan.members;
  zip.ExtrBaseDir = plan.record.folder;
  zip.Extract();
  zip.Password.clear();  // not kept for the next archive
  if (zip.LastErrorId() == 0) return true;
  // The component shows its own messages; the engine's reach no box but this one.
  if (zip.LastErrorId() < ZipMsg::FatalZip) ErrorBox(zip.LastMessage());
  RemoveWhatWasUnpacked(plan.record);
  return false;
}

// Cases 4 and 5 once the plan is made: unpack, run, and remove what was unpacked on every way
// out (a log that cannot be written included).
void UnpackAndRun(TMainWnd& wnd, const LaunchTexts& t, const UnpackPlan& plan, const std::string& romArgument,
                  const char* caseLine) {
  if (!Unpack(wnd.ZipMan(), plan)) return;
  struct CleanUp {
    const UnpackRecord& record;
    ~CleanUp() { RemoveWhatWasUnpacked(record); }
  } cleanUp{plan.record};
  wnd.SetStatus("Running Emulator...");
  RunEmulator(t, romArgument, caseLine);
}

// Case 4 (the archive holds members): every member into <unzip folder>/<game>.
void LaunchUnzippedGame(TMainWnd& wnd, const LaunchTexts& t) {
  const char* caseLine = "  Zip NOT Supported, MAME mode";
  // Beside a missing emulator there is no place to unpack to: the start then fails as usual.
  if (t.program.empty()) return RunEmulator(t, t.baseName, caseLine);
  const std::string unzipFolder = UnzipFolder(EmulatorFolder(t));
  if (!MakeUnpackFolder(unzipFolder)) return;
  const std::string gameFolder = JoinPath(unzipFolder, t.baseName);
  const std::optional<bool> made = MakeUnpackFolder(gameFolder);
  if (!made) return;
  UnpackAndRun(wnd, t, PlanUnpack(wnd.ZipMan().DirEntries(), gameFolder, *made), t.baseName, caseLine);
}

// The first top-level member named like the archive (letter case ignored); nullopt when none.
std::optional<ZipDirEntry> MatchingMember(const TZipArchiver& zip, const std::string& baseName) {
  for (const ZipDirEntry& entry : zip.DirEntries()) {
    const std::string& name = entry.FileName;
    const size_t dot = name.rfind('.');
    const std::string cut = dot == std::string::npos ? std::string() : name.substr(0, dot);
    // A member inside a folder never matches: the emulator is handed a file of the unzip folder.
    if (name.find_first_of("/\\") == std::string::npos && EqualsNoCase(cut, baseName)) return entry;
  }
  return std::nullopt;
}

// Case 5: the one member named like the archive into the unzip folder, which stays.
void LaunchUnzippedFile(TMainWnd& wnd, const LaunchTexts& t) {
  const char* caseLine = "  Zip NOT Supported";
  const std::optional<ZipDirEntry> member = MatchingMember(wnd.ZipMan(), t.baseName);
  if (!member) {
    ErrorBox("No files matching the ZIP file name");
    return;
  }
  if (t.program.empty()) return RunEmulator(t, "", caseLine);
  const std::string unzipFolder = UnzipFolder(EmulatorFolder(t));
  if (!MakeUnpackFolder(unzipFolder)) return;
  UnpackAndRun(wnd, t, PlanUnpack({*member}, unzipFolder, false), JoinPath(unzipFolder, member->FileName), caseLine);
}

}  // namespace

void LaunchRom(TMainWnd& wnd, int position) {
  const RomRecord* rom = Emus->GetRom(position);
  if (!rom) return;
  const LaunchTexts t = TextsOf(*rom, position);
  LaunchGuard guard(wnd);

  if (Settings.Validate && !FileExists(t.romPath)) {
    ErrorBox("The file is not present, if you use a removable media\nfor your ROMs, please check that it is in its place.");
    return;
  }
  if (!EqualsNoCase(ExtensionPart(t.romPath), ".zip")) {
    RunEmulator(t, t.romPath, "  Zip Support NOT NEEDED");
  } else {
    if ((t.mameMode || !t.zipSupported) && !UsableGameName(t.baseName)) {
      ErrorBox("The name of " + t.romPath + " gives no game name, so it cannot be launched.");
      return;
    }
    // Naming the archive lists it (once: a broken archive is reported once).
    TZipArchiver& zip = wnd.ZipMan();
    zip.FSpecArgs.clear();
    zip.SetFileName(t.romPath);
    if (t.zipSupported) {
      if (t.mameMode)
        RunEmulator(t, t.baseName, "  Zip Supported, MAME mode");
      else
        RunEmulator(t, ShortPath(t.romPath), "  Zip Supported");
    } else {
      wnd.SetStatus("Unzipping...");
      if (t.mameMode) {
        if (zip.GetCount() == 0) {  // the empty-archive end leaves the progress bar as it is
          ErrorBox("The ZIP file can be empty.");
          return;
        }
        LaunchUnzippedGame(wnd, t);
      } else {
        LaunchUnzippedFile(wnd, t);
      }
      zip.FSpecArgs.clear();
    }
  }
  wnd.ProgressBar1->setValue(0);
}

void ZipManProgress(TMainWnd& wnd, ProgressType type, int32_t fileSize) {
  if (type == ptByteCount) {
    wnd.ShowProgressStrip(true);
    wnd.UnzipTotal = fileSize;
    wnd.UnzipDone = 0;
  } else if (type == ptBytesDone) {
    wnd.UnzipDone += fileSize;
    if (wnd.UnzipTotal != 0)
      wnd.ProgressBar1->setValue(static_cast<int>(static_cast<int64_t>(wnd.UnzipDone) * 100 / wnd.UnzipTotal));
  }
}
