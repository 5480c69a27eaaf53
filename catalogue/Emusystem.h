#pragma once
// The catalogue: emulator and ROM records (fixed-size byte blocks, the same in memory and in the
// list files), the list files LISTS/EMUS.LST and LISTS/ROMS.LST, the lookup lists and the log,
// all held by the one EmuManager of the run.
//
// The process-wide manager is `Emus`. Constructing the first EmuManager makes it `Emus`;
// destroying that manager resets `Emus` to nullptr. The main window creates it in its
// constructor (`new EmuManager`) and deletes it at close, after saving both lists; every other
// window reaches the catalogue through `Emus`.
//
// Failures are thrown as ECatalogueError (a std::runtime_error) carrying the message text.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "catalogue/Progress.h"
#include "catalogue/RecordList.h"
#include "catalogue/RomStats.h"

static_assert(std::endian::native == std::endian::little,
              "list files hold the records' bytes as they lie in memory");

// --- Records ----------------------------------------------------------------------------------

// One emulator; the element of LISTS/EMUS.LST and the first 692 bytes of every RomRecord.
// Text fields are NUL-terminated within their width; a field with no NUL ends at its width.
struct EmulatorRecord {
    char Name[40];         // display name; ROMs belong to the emulator of equal Name (bytes)
    int32_t SystemIndex;   // line of Systems.lst, -1 for none
    char ExePath[256];     // full path of the executable
    char CfgPath[256];     // full path of its configuration file, may be empty
    char Params[128];      // parameters given before the ROM
    int32_t ZipSupported;  // flag: any value but 0 is true
    int32_t MameMode;      // flag

    // Records allocated one by one come from slabs of many (see RecordPool in Emusystem.cpp).
    static void* operator new(std::size_t size);
    static void operator delete(void* record, std::size_t size) noexcept;
};

// One ROM; the element of LISTS/ROMS.LST.
struct RomRecord {
    EmulatorRecord Emulator;  // the ROM's own copy of its emulator, taken when it was added
    char Name[40];
    char FilePath[256];
    int32_t TimesPlayed;
    int32_t LanguageIndex;  // line of Languages.lst
    int32_t TypeIndex;      // line of Types.lst
    int32_t Rating;

    static void* operator new(std::size_t size);
    static void operator delete(void* record, std::size_t size) noexcept;
};

static_assert(sizeof(EmulatorRecord) == 692);
static_assert(offsetof(EmulatorRecord, Name) == 0);
static_assert(offsetof(EmulatorRecord, SystemIndex) == 40);
static_assert(offsetof(EmulatorRecord, ExePath) == 44);
static_assert(offsetof(EmulatorRecord, CfgPath) == 300);
static_assert(offsetof(EmulatorRecord, Params) == 556);
static_assert(offsetof(EmulatorRecord, ZipSupported) == 684);
static_assert(offsetof(EmulatorRecord, MameMode) == 688);
static_assert(sizeof(RomRecord) == 1004);
static_assert(offsetof(RomRecord, Emulator) == 0);
static_assert(offsetof(RomRecord, Name) == 692);
static_assert(offsetof(RomRecord, FilePath) == 732);
static_assert(offsetof(RomRecord, TimesPlayed) == 988);
static_assert(offsetof(RomRecord, LanguageIndex) == 992);
static_assert(offsetof(RomRecord, TypeIndex) == 996);
static_assert(offsetof(RomRecord, Rating) == 1000);
static_assert(std::is_trivially_copyable_v<EmulatorRecord> && std::is_trivially_copyable_v<RomRecord>);

// New records with every byte 0 (all texts empty, numbers 0, flags false).
std::unique_ptr<EmulatorRecord> NewEmulatorRecord();
std::unique_ptr<RomRecord> NewRomRecord();

// --- Text fields ------------------------------------------------------------------------------

// The text of a field: up to its first NUL, or the whole width when it holds none.
template <std::size_t W>
std::string_view FieldView(const char (&field)[W]) {
    const void* nul = std::memchr(field, 0, W);
    return {field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : W};
}
template <std::size_t W>
std::string FieldText(const char (&field)[W]) {
    return std::string(FieldView(field));
}

// Stores at most W - 1 bytes of text, cut so that no UTF-8 character is split, then a NUL;
// the rest of the field is cleared. Returns false when the text had to be cut.
bool StoreFieldText(char* field, std::size_t width, std::string_view text);
template <std::size_t W>
bool SetFieldText(char (&field)[W], std::string_view text) {
    return StoreFieldText(field, W, text);
}
// Whether the text fits a field of width W whole.
template <std::size_t W>
constexpr bool FitsField(const char (&)[W], std::string_view text) {
    return text.size() < W;
}

// Flags read as true for any value but 0.
inline bool FlagSet(int32_t flag) {
    return flag != 0;
}

// --- Errors -----------------------------------------------------------------------------------

class ECatalogueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// --- List files -------------------------------------------------------------------------------

// Program-folder names of the list files and the log.
std::string EmuListFileName();       // LISTS/EMUS.LST
std::string RomListFileName();       // LISTS/ROMS.LST
std::string LogFileNameOfProgram();  // Tarnwick.log
// Removes the temporary files that interrupted saves (a kill, a power cut) left beside the files
// this program writes in the data folder: the list files, the lookup lists, the settings and the
// log. Only for a run that holds the data folder, as another copy's save would look the same.
void RemoveStaleSaveTemporaries();

// --- The manager ------------------------------------------------------------------------------

// What a scan did.
struct ScanResult {
    int32_t added = 0;     // ROMs added
    int64_t examined = 0;  // files that matched a filter and were looked at
    bool stopped = false;  // the user stopped it before the end
};

class EmuManager {
public:
    // Reads the log file of `logFileName` (the program folder's Tarnwick.log by default) into
    // Log; a log that cannot be read leaves Log empty, silently.
    EmuManager();
    explicit EmuManager(std::string logFileName);
    ~EmuManager();
    EmuManager(const EmuManager&) = delete;
    EmuManager& operator=(const EmuManager&) = delete;

    // Lookup lists: each load replaces the list by the lines of the file (CR LF, LF or CR end a
    // line); a file that cannot be read throws and leaves the list as it was.
    void LoadLanguages(const std::string& path);
    void LoadTypes(const std::string& path);
    void LoadSystems(const std::string& path);
    // Line `index` of the list, or "Invalid" when index is not a line number of it.
    std::string LanguageName(int32_t index) const;
    std::string TypeName(int32_t index) const;
    std::string SystemName(int32_t index) const;
    const std::vector<std::string>& Languages() const { return languages_; }
    const std::vector<std::string>& Types() const { return types_; }
    const std::vector<std::string>& Systems() const { return systems_; }

    // List files. Loads append every whole record of the file (a trailing piece shorter than a
    // record is ignored); a file that cannot be read throws and the list keeps what it had.
    // Saves replace the file atomically; a file that cannot be written throws and the old one
    // stays whole. A file that was there at its load but could not be read (no permission, an
    // I/O error, a folder or a FIFO in its place) is never written in this run: its save leaves
    // it as it is.
    void LoadRomList(const std::string& path = RomListFileName());
    void LoadEmuList(const std::string& path = EmuListFileName());
    void SaveEmuList(const std::string& path = EmuListFileName()) const;
    void SaveRomList(const std::string& path = RomListFileName()) const;
    // Whether the list file at path is one of those left as it is.
    bool UnreadFile(const std::string& path) const;

    // Emulator list. Indices are 0-based; GetEmu gives nullptr outside 0..EmuCount()-1.
    int32_t EmuCount() const { return static_cast<int32_t>(emulators_.size()); }
    EmulatorRecord* GetEmu(int32_t index) const;
    int32_t AddEmu(std::unique_ptr<EmulatorRecord> emu);       // appends; returns its index
    std::unique_ptr<EmulatorRecord> DeleteEmu(int32_t index);  // later entries move up
    void ClearEmus();
    void SortEmus();  // by Name

    // ROM list. GetRom gives nullptr for an empty slot (MarkRomRemoved) or outside the list.
    int32_t RomCount() const { return static_cast<int32_t>(roms_.size()); }
    RomRecord* GetRom(int32_t index) const;
    int32_t AddRom(std::unique_ptr<RomRecord> rom);
    std::unique_ptr<RomRecord> DeleteRom(int32_t index);
    void ClearRoms();
    void MarkRomRemoved(int32_t index);  // destroys the record, leaves the slot empty
    void PackRoms();                     // drops the empty slots, keeping the order
    // Whether some ROM of the list has the same FilePath, byte for byte. Changes no record.
    bool IsDuplicate(const RomRecord& rom) const;
    // Adds a ROM for every plain file of `folder` matching each filter in turn (name order,
    // ASCII case ignored), tied to a byte copy of `emulator`, with the default type and rating
    // of Settings. With subFolders, each folder's files are followed by its subfolders' in name
    // order, hidden folders and links to folders passed over. Skips files already in the list
    // (including those added earlier in this scan) when checkDuplicates is on, and files whose
    // full path does not fit FilePath; cuts names to fit Name. Reports to `progress` and ends
    // early when the user stops it, keeping what it added. The ROMs added are dated in the
    // statistics store, in one write. A missing folder adds nothing; an empty folder text throws.
    ScanResult ScanFolder(const EmulatorRecord& emulator, const std::string& folder,
                          const std::vector<std::string>& filters, bool checkDuplicates,
                          bool subFolders = false, Progress& progress = NoProgress());
    void SortRoms();  // by Settings.SortMethod
    // For a walk over every ROM record: a loaded list's records come in from its file a piece at
    // a time as they are first read, and this brings them all in at once, far more cheaply.
    void PrepareToReadAllRoms() const;
    int32_t SortState() const { return sortState_; }
    void SetSortState(int32_t state) { sortState_ = state; }

    // The ROM statistics store (favourites, last played, play time, date added), keyed by
    // FilePath, opened in two halves: the first reads it whole on a worker thread, at once or,
    // `held`, from Stats().Proceed(); the second shows the one ErrorBox of a store that had to be
    // set aside or could not be opened. Every use of the facts in between waits for the read.
    // Until it is opened, facts are kept in memory.
    void StartOpeningStats(const std::string& path = RomStatsFileName(), bool held = false);
    void FinishOpeningStats();
    RomStats& Stats() { return stats_; }
    const RomStats& Stats() const { return stats_; }
    const RomFacts& Facts(const RomRecord& rom) const { return stats_.Facts(FieldView(rom.FilePath)); }
    const RomFacts& FactsIfRead(const RomRecord& rom) const {
        return stats_.FactsIfRead(FieldView(rom.FilePath));
    }

    // The log: lines in memory, written whole (CR LF after each line) by SaveLog.
    const std::string& LogFileName() const { return logFileName_; }
    const std::vector<std::string>& Log() const { return log_; }
    void AddLogLine(const std::string& line);  // each line break in it (CR LF, LF, CR) a blank
    void SaveLog() const;                      // throws when the file cannot be written
    void ClearLog();                           // empties Log, then saves the empty log

private:
    template <class Record>
    void LoadListFile(const std::string& path, RecordList<Record>& list);
    template <class Record>
    void SaveListFile(const std::string& path, const RecordList<Record>& list) const;

    std::string logFileName_;
    std::vector<std::string> unreadFiles_;
    RecordList<EmulatorRecord> emulators_;
    RecordList<RomRecord> roms_;
    std::vector<std::string> languages_;
    std::vector<std::string> types_;
    std::vector<std::string> systems_;
    std::vector<std::string> log_;
    int32_t sortState_ = 0;
    RomStats stats_;
};

// The one manager of the run (see the top of this file).
extern EmuManager* Emus;
