#include "mainwindow/Launch.h"

#include <QDateTime>
#include <QProgressBar>
#include <cerrno>
#include <chrono>
#include <optional>
#include <set>
#include <sys/stat.h>

#include "catalogue/Emusystem.h"
#include "catalogue/LaunchJournal.h"
#include "catalogue/Placeholders.h"
#include "catalogue/Progress.h"
#include "catalogue/RomStats.h"
#include "catalogue/Useful.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "mainwindow/StatusProgress.h"
#include "mainwindow/Windows.h"
#include "mainwindow/ZipProgressFeed.h"
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
    std::string exePath;   // the emulator's path as stored, which a failure to start names
    std::string romPath;   // FilePath as stored (its case kept)
    std::string baseName;  // the file-name part of romPath without its extension
    std::string params;    // the emulator copy's parameters
    bool zipSupported = false;
    bool mameMode = false;
};

// When a run began (seconds since 1970) and how long it lasted, by the steady clock, so a change
// of the system's time during a game does not falsify it.
struct PlayedRun {
    int64_t started = 0;
    int64_t seconds = 0;
};

LaunchTexts TextsOf(const RomRecord& rom, int position) {
    const EmulatorRecord& emu = rom.Emulator;
    LaunchTexts t;
    t.position = position;
    t.exePath = FieldText(emu.ExePath);
    t.program = ShortPath(t.exePath);
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
    explicit LaunchGuard(TMainWnd& w) : wnd_(w) {
        wnd_.SetLaunching(true);
        block_.emplace();
    }
    ~LaunchGuard() {
        block_.reset();  // what queued up is handled while the window still refuses
        wnd_.SetLaunching(false);
    }
    LaunchGuard(const LaunchGuard&) = delete;
    LaunchGuard& operator=(const LaunchGuard&) = delete;

private:
    TMainWnd& wnd_;
    std::optional<UserInputBlock> block_;
};

// While logging is on, a launch's failure goes to the log too, after the box that said it.
void LogFailure(const std::string& message) {
    if (!Settings.LogEnabled) return;
    Emus->AddLogLine("  " + message);
    try {
        Emus->SaveLog();
    } catch (const std::exception&) {
        // The box has told the user what failed; a log that cannot be written stops the next launch.
    }
}

// The folder of the emulator's executable, absolute (without its trailing '/').
std::string EmulatorFolder(const LaunchTexts& t) {
    return WithoutTrailingSlash(FolderPart(AbsolutePath(t.program)));
}

// A launch's failure: the box, then the log.
void LaunchFailure(const std::string& message) {
    ErrorBox(message);
    LogFailure(message);
}

// The date and time that heads each launch's lines in the log.
std::string LogStamp() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toString("yyyy-MM-dd HH:mm:ss").toStdString();
}

// Every launch counts in the record's play count; only a run that started has a start and a
// length, which the facts store writes at once (a kill before the close loses neither).
void CountPlay(const LaunchTexts& t, std::optional<PlayedRun> run) {
    if (RomRecord* rom = Emus->GetRom(t.position)) ++rom->TimesPlayed;
    if (run) Emus->Stats().RecordPlay(t.romPath, run->started, run->seconds);
}

// Writes the two log lines (when logging is on), runs the emulator, timing it, and counts the play.
void RunEmulator(const LaunchTexts& t, const std::string& romArgument, const char* caseLine) {
    const std::string emulatorFolder = t.program.empty() ? std::string() : EmulatorFolder(t);
    const std::string arguments = LaunchParameters(t.params, {romArgument, t.romPath, emulatorFolder});
    if (Settings.LogEnabled) {
        Emus->AddLogLine("- Executing: " + t.program + " " + arguments);
        Emus->AddLogLine(caseLine);
        Emus->SaveLog();
    }
    const int64_t started = NowSeconds();
    const auto clock = std::chrono::steady_clock::now();
    // Where nothing is there, the stored path fails to start just as the empty one would, and the
    // message then names it.
    const std::string failure = RunAndWait(t.program.empty() ? t.exePath : t.program, arguments);
    const auto length = std::chrono::round<std::chrono::seconds>(std::chrono::steady_clock::now() - clock);
    if (!failure.empty()) LogFailure(failure);
    CountPlay(t,
              failure.empty() ? std::optional<PlayedRun>(PlayedRun{started, length.count()}) : std::nullopt);
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
    LaunchFailure("Cannot create the folder " + folder + " (" + ErrorText(errno) +
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
    if (!RemoveUnpacked(record)) LaunchFailure("Cannot delete some files, they may be Read-Only");
    RemoveLaunchJournal();
}

// Writes the journal, then extracts the planned members, asking once for the password when one
// is needed; Esc or Stop ends the unzip. False (after the message, with what was unpacked
// removed) when the emulator must not start.
bool Unpack(TZipArchiver& zip, Progress& progress, const UnpackPlan& plan) {
    // A data folder that cannot be written was said at start; the launch then goes without its
    // journal, and only a crash during the game would leave the unpacked files behind.
    if (DataFolderWritable() && !WriteLaunchJournal(plan.record)) {
        LaunchFailure("Cannot write " + LaunchJournalPath() + " (" + ErrorText(errno) +
                      ").\nThe ROM was not unpacked and the emulator was not started.");
        return false;
    }
    if (plan.members.empty()) return true;
    zip.Password.clear();
    if (plan.encrypted) zip.GetExtrPassword();
    zip.FSpecArgs = plan.members;
    zip.ExtrBaseDir = plan.record.folder;
    ZipProgressFeed feed(zip, progress, "Unzipping");
    zip.Extract();
    zip.Password.clear();  // not kept for the next archive
    if (zip.LastErrorId() == 0 && !feed.Stopped()) return true;
    // The component shows its own messages; the engine's reach no box but this one. A stop the
    // user asked for needs none.
    if (feed.Stopped())
        LogFailure("Unzipping stopped");
    else if (zip.LastErrorId() < ZipMsg::FatalZip)
        LaunchFailure(zip.LastMessage());
    else
        LogFailure(zip.LastMessage());
    RemoveWhatWasUnpacked(plan.record);
    return false;
}

// Cases 4 and 5 once the plan is made: unpack, run, and remove what was unpacked on every way
// out (a log that cannot be written included).
void UnpackAndRun(TMainWnd& wnd, const LaunchTexts& t, const UnpackPlan& plan, const std::string& romArgument,
                  const char* caseLine) {
    if (!Unpack(wnd.ZipMan(), *wnd.WorkProgress, plan)) return;
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
        LaunchFailure("No files matching the ZIP file name");
        return;
    }
    if (t.program.empty()) return RunEmulator(t, "", caseLine);
    const std::string unzipFolder = UnzipFolder(EmulatorFolder(t));
    if (!MakeUnpackFolder(unzipFolder)) return;
    UnpackAndRun(wnd, t, PlanUnpack({*member}, unzipFolder, false), JoinPath(unzipFolder, member->FileName),
                 caseLine);
}

}  // namespace

void LaunchRom(TMainWnd& wnd, int position) {
    const RomRecord* rom = Emus->GetRom(position);
    if (!rom) return;
    const LaunchTexts t = TextsOf(*rom, position);
    LaunchGuard guard(wnd);
    if (Settings.LogEnabled) Emus->AddLogLine(LogStamp());

    if (Settings.Validate && !FileExists(t.romPath)) {
        LaunchFailure(
            "The file is not present, if you use a removable media\nfor your ROMs, please check that it is "
            "in its place.\n" +
            t.romPath);
        return;
    }
    if (!EqualsNoCase(ExtensionPart(t.romPath), ".zip")) {
        RunEmulator(t, t.romPath, "  Zip Support NOT NEEDED");
    } else {
        if ((t.mameMode || !t.zipSupported) && !UsableGameName(t.baseName)) {
            LaunchFailure("The name of " + t.romPath + " gives no game name, so it cannot be launched.");
            return;
        }
        // Naming the archive lists it (once: a broken archive is reported once).
        TZipArchiver& zip = wnd.ZipMan();
        zip.FSpecArgs.clear();
        {
            ProgressRun listing(*wnd.WorkProgress, "Reading " + FileNamePart(t.romPath) + "...", 0);
            zip.SetFileName(t.romPath);
        }
        if (zip.ZipFileName().empty()) LogFailure(zip.LastMessage() + "\n" + t.romPath);  // its box named it
        if (t.zipSupported) {
            if (t.mameMode)
                RunEmulator(t, t.baseName, "  Zip Supported, MAME mode");
            else
                RunEmulator(t, ShortPath(t.romPath), "  Zip Supported");
        } else {
            wnd.SetStatus("Unzipping...");
            if (t.mameMode) {
                if (zip.GetCount() == 0) {  // the empty-archive end leaves the progress bar as it is
                    LaunchFailure("The ZIP file can be empty.\n" + t.romPath);
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
            wnd.ProgressBar1->setValue(
                static_cast<int>(static_cast<int64_t>(wnd.UnzipDone) * 100 / wnd.UnzipTotal));
    }
}
