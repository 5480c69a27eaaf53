#include "catalogue/Emusystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <utility>

#include "catalogue/Progress.h"
#include "catalogue/Sorting.h"
#include "catalogue/Useful.h"
#include "mainwindow/Settings.h"
#include "platform/Files.h"
#include "platform/LargeArray.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Text.h"

EmuManager* Emus = nullptr;

namespace {

// A catalogue holds up to hundreds of thousands of records, all alive for the whole run, and
// loads them in one go. Taking them from slabs of many, and keeping freed ones for reuse, spares
// the allocator that many calls and the system the page faults of memory it gave back and must
// hand out again at the next load. Records taken one after another lie one after another, so
// a list added in one go is written back in few large pieces. A new slab is handed out from
// its start, untouched until each record is written; the slabs of the ROM pool lie in huge
// pages where the system offers them (LargeArray.h). A list loaded from its file needs no slab:
// its records are the file's own bytes, mapped (Adopt). Sanitizer builds allocate each new
// record alone, so that every record keeps its own bounds and lifetime checks.
template <std::size_t Size, std::size_t SlabBytes>
class RecordPool {
public:
    static void* Allocate() {
#if defined(__SANITIZE_ADDRESS__)
        return ::operator new(Size);
#else
        RecordPool& pool = Instance();
        std::lock_guard lock(pool.mutex_);
        if (char* record = pool.free_) {
            pool.free_ = NextOf(record);
            return record;
        }
        if (pool.fresh_ == pool.freshEnd_) pool.AddSlab();
        char* record = pool.fresh_;
        pool.fresh_ += Size;
        return record;
#endif
    }
    static void Release(void* memory) noexcept {
        if (!memory) return;
        RecordPool& pool = Instance();
        std::lock_guard lock(pool.mutex_);
        if (pool.ReleaseMapped(static_cast<char*>(memory))) return;
#if defined(__SANITIZE_ADDRESS__)
        ::operator delete(memory);
#else
        char* record = static_cast<char*>(memory);
        SetNext(record, pool.free_);
        pool.free_ = record;
#endif
    }
    // Takes the whole records of a list file mapped copy-on-write as records of the pool, so a
    // loaded list costs neither a copy nor fresh memory the system must clear first: a record's
    // page is copied only when the record changes. The mapping goes when its last record does.
    // Returns the first record; the caller owns `count` records from there, back to back.
    static char* Adopt(const MappedFile& file, std::size_t count) {
        RecordPool& pool = Instance();
        std::lock_guard lock(pool.mutex_);
        pool.mapped_.push_back({file, count});
        return file.data;
    }
    // Before a walk over every record: the page tables of the adopted lists, once each.
    static void FillMappedPages() {
        RecordPool& pool = Instance();
        std::lock_guard lock(pool.mutex_);
        for (MappedList& m : pool.mapped_)
            if (!std::exchange(m.filled, true)) FillPageTables(m.file);
    }

private:
    static constexpr std::size_t PerSlab = SlabBytes / Size;
    // A free slot holds the address of the next free one. Slots are only 4-aligned, so the
    // link is copied in and out rather than read in place.
    static_assert(Size >= sizeof(char*) && PerSlab > 0);
    static char* NextOf(const char* slot) {
        char* next;
        std::memcpy(&next, slot, sizeof next);
        return next;
    }
    static void SetNext(char* slot, char* next) {
        std::memcpy(slot, &next, sizeof next);
    }

    // Never destroyed: records in static storage may be freed after every pool would be.
    static RecordPool& Instance() {
        static RecordPool* pool = new RecordPool;
        return *pool;
    }
    void AddSlab() {
        char* slab = static_cast<char*>(AllocateLarge(SlabBytes));
        fresh_ = slab;
        freshEnd_ = slab + PerSlab * Size;
    }

    // A freed record of a mapped list is not reused: the link written into it would copy its page.
    bool ReleaseMapped(char* record) noexcept {
        for (auto m = mapped_.begin(); m != mapped_.end(); ++m) {
            if (record < m->file.data || record >= m->file.data + m->file.size) continue;
            if (--m->live == 0) {
                UnmapFileBytes(m->file);
                mapped_.erase(m);
            }
            return true;
        }
        return false;
    }

    struct MappedList {
        MappedFile file;
        std::size_t live;  // records not yet freed
        bool filled = false;
    };

    std::mutex mutex_;
    std::vector<MappedList> mapped_;
    char* free_ = nullptr;   // freed records, linked
    char* fresh_ = nullptr;  // the current slab's records never handed out, up to freshEnd_
    char* freshEnd_ = nullptr;
};

using EmulatorPool = RecordPool<sizeof(EmulatorRecord), 64 * sizeof(EmulatorRecord)>;
using RomPool = RecordPool<sizeof(RomRecord), std::size_t{2} << 20>;

// Only records of the pool's own size go to it: a derived type's bigger object goes to the heap.
template <class Pool>
void* PooledNew(std::size_t size, std::size_t recordSize) {
    return size == recordSize ? Pool::Allocate() : ::operator new(size);
}
template <class Pool>
void PooledDelete(void* record, std::size_t size, std::size_t recordSize) noexcept {
    if (size == recordSize)
        Pool::Release(record);
    else
        ::operator delete(record);
}

}  // namespace

void* EmulatorRecord::operator new(std::size_t size) {
    return PooledNew<EmulatorPool>(size, sizeof(EmulatorRecord));
}
void EmulatorRecord::operator delete(void* record, std::size_t size) noexcept {
    PooledDelete<EmulatorPool>(record, size, sizeof(EmulatorRecord));
}
void* RomRecord::operator new(std::size_t size) {
    return PooledNew<RomPool>(size, sizeof(RomRecord));
}
void RomRecord::operator delete(void* record, std::size_t size) noexcept {
    PooledDelete<RomPool>(record, size, sizeof(RomRecord));
}

// Value-initialised: every byte 0.
std::unique_ptr<EmulatorRecord> NewEmulatorRecord() {
    return std::make_unique<EmulatorRecord>();
}
std::unique_ptr<RomRecord> NewRomRecord() {
    return std::make_unique<RomRecord>();
}

bool StoreFieldText(char* field, std::size_t width, std::string_view text) {
    const bool fits = text.size() < width;
    std::string cut;
    if (!fits) {
        cut = CutUtf8(text, width - 1);
        text = cut;
    }
    std::memcpy(field, text.data(), text.size());
    std::memset(field + text.size(), 0, width - text.size());
    return fits;
}

std::string EmuListFileName() {
    return DataFile("LISTS\\EMUS.LST");
}
std::string RomListFileName() {
    return DataFile("LISTS\\ROMS.LST");
}
std::string LogFileNameOfProgram() {
    return DataFile("Tarnwick.log");
}

void RemoveStaleSaveTemporaries() {
    for (const std::string& file :
         {EmuListFileName(), RomListFileName(), DataFile("LISTS\\Systems.lst"), DataFile("LISTS\\Types.lst"),
          DataFile("LISTS\\Languages.lst"), SettingsFileName(), LogFileNameOfProgram()})
        RemoveStaleTemporaries(file);
}

namespace {

[[noreturn]] void ThrowFileError(const char* what, const std::string& path) {
    throw ECatalogueError(std::string(what) + " \"" + path + "\". " + ReadErrorText(errno));
}

std::vector<std::string> ReadLookupList(const std::string& path) {
    auto lines = ReadTextLines(path);
    if (!lines) ThrowFileError("Cannot open file", path);
    return std::move(*lines);
}

std::string LookupName(const std::vector<std::string>& list, int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return "Invalid";
    return list[static_cast<std::size_t>(index)];
}

template <class Record>
struct PoolOf;
template <>
struct PoolOf<EmulatorRecord> {
    using Type = EmulatorPool;
};
template <>
struct PoolOf<RomRecord> {
    using Type = RomPool;
};

// Reads the file in chunks straight into records, where it cannot be mapped.
template <class Record>
void ReadRecords(const std::string& path, RecordList<Record>& read) {
    std::unique_ptr<Record> partial;
    std::size_t filled = 0;  // bytes of `partial` already read
    const auto take = [&](std::string_view chunk) {
        while (!chunk.empty()) {
            if (!partial) {
                // Every byte is overwritten before the record is used: no clearing first.
                partial = std::make_unique_for_overwrite<Record>();
                filled = 0;
            }
            const std::size_t n = std::min(chunk.size(), sizeof(Record) - filled);
            std::memcpy(reinterpret_cast<char*>(partial.get()) + filled, chunk.data(), n);
            filled += n;
            chunk.remove_prefix(n);
            if (filled == sizeof(Record)) read.push_back(std::move(partial));
        }
    };
    if (!ReadFileChunks(path, take)) ThrowFileError("Cannot open file", path);
}

// Appends every whole record of the file to the list; a trailing piece is ignored. The list
// changes only when the whole file was read.
template <class Record>
void LoadRecords(const std::string& path, RecordList<Record>& list) {
    RecordList<Record> read;
    const std::optional<MappedFile> file = MapFileCopyOnWrite(path);
    if (file && file->size >= sizeof(Record)) {
        const std::size_t count = file->size / sizeof(Record);
        try {
            read.reserve(count);
        } catch (...) {
            UnmapFileBytes(*file);
            throw;
        }
        char* record = PoolOf<Record>::Type::Adopt(*file, count);
        // Each record is an object of the file's bytes; the list owns them from here.
        for (std::size_t i = 0; i < count; ++i, record += sizeof(Record))
            read.emplace_back(std::launder(reinterpret_cast<Record*>(record)));
    } else if (file) {
        UnmapFileBytes(*file);
    } else {
        ReadRecords(path, read);  // fails as the mapping did, or reads where files cannot be mapped
    }
    if (list.empty()) {
        list.swap(read);
        return;
    }
    list.reserve(list.size() + read.size());
    for (auto& record : read) list.push_back(std::move(record));
}

// Writes the records back to back, replacing the file whole. Empty slots hold no record and
// are not written.
template <class Record>
void SaveRecords(const std::string& path, const RecordList<Record>& list) {
    PoolOf<Record>::Type::FillMappedPages();
    std::vector<std::string_view> pieces;
    pieces.reserve(list.size());
    for (const auto& record : list) {
        if (!record) continue;
        const char* bytes = reinterpret_cast<const char*>(record.get());
        // Records that lie one after another in memory go out as one piece.
        if (!pieces.empty() && pieces.back().data() + pieces.back().size() == bytes)
            pieces.back() = std::string_view(pieces.back().data(), pieces.back().size() + sizeof(Record));
        else
            pieces.emplace_back(bytes, sizeof(Record));
    }
    if (!WriteFileAtomicPieces(path, pieces)) ThrowFileError("Cannot create file", path);
}

template <class Record>
std::unique_ptr<Record>& Slot(RecordList<Record>& list, int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
        throw ECatalogueError("List index out of bounds (" + std::to_string(index) + ")");
    return list[static_cast<std::size_t>(index)];
}

template <class Record>
std::unique_ptr<Record> TakeOut(RecordList<Record>& list, int32_t index) {
    auto record = std::move(Slot(list, index));
    list.erase(list.begin() + index);
    return record;
}

// Releases the records last to first, so that the pool hands them out again in list order.
template <class Record>
void ReleaseAll(RecordList<Record>& list) {
    while (!list.empty()) list.pop_back();
}

template <class Record>
int32_t Append(RecordList<Record>& list, std::unique_ptr<Record> record) {
    if (!record) throw ECatalogueError("No record to add");
    list.push_back(std::move(record));
    return static_cast<int32_t>(list.size() - 1);
}

template <class Record>
Record* At(const RecordList<Record>& list, int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return nullptr;
    return list[static_cast<std::size_t>(index)].get();
}

}  // namespace

// --- Construction -----------------------------------------------------------------------------

EmuManager::EmuManager() : EmuManager(LogFileNameOfProgram()) {}

EmuManager::EmuManager(std::string logFileName) : logFileName_(std::move(logFileName)) {
    if (auto lines = ReadTextLines(logFileName_)) log_ = std::move(*lines);
    if (!Emus) Emus = this;
}

EmuManager::~EmuManager() {
    ReleaseAll(roms_);
    ReleaseAll(emulators_);
    if (Emus == this) Emus = nullptr;
}

// --- Lookup lists -----------------------------------------------------------------------------

void EmuManager::LoadLanguages(const std::string& path) {
    languages_ = ReadLookupList(path);
}
void EmuManager::LoadTypes(const std::string& path) {
    types_ = ReadLookupList(path);
}
void EmuManager::LoadSystems(const std::string& path) {
    systems_ = ReadLookupList(path);
}

std::string EmuManager::LanguageName(int32_t index) const {
    return LookupName(languages_, index);
}
std::string EmuManager::TypeName(int32_t index) const {
    return LookupName(types_, index);
}
std::string EmuManager::SystemName(int32_t index) const {
    return LookupName(systems_, index);
}

// --- List files -------------------------------------------------------------------------------

void EmuManager::LoadRomList(const std::string& path) {
    LoadListFile(path, roms_);
}
void EmuManager::LoadEmuList(const std::string& path) {
    LoadListFile(path, emulators_);
}
void EmuManager::SaveEmuList(const std::string& path) const {
    SaveListFile(path, emulators_);
}
void EmuManager::SaveRomList(const std::string& path) const {
    SaveListFile(path, roms_);
}

bool EmuManager::UnreadFile(const std::string& path) const {
    return std::find(unreadFiles_.begin(), unreadFiles_.end(), path) != unreadFiles_.end();
}

template <class Record>
void EmuManager::LoadListFile(const std::string& path, RecordList<Record>& list) {
    try {
        LoadRecords(path, list);
    } catch (const ECatalogueError&) {
        // Written over at close, the file would lose what could not be read now.
        if (EntryExists(path) && !UnreadFile(path)) unreadFiles_.push_back(path);
        throw;
    }
}

template <class Record>
void EmuManager::SaveListFile(const std::string& path, const RecordList<Record>& list) const {
    if (!UnreadFile(path)) SaveRecords(path, list);
}

// --- Emulators --------------------------------------------------------------------------------

EmulatorRecord* EmuManager::GetEmu(int32_t index) const {
    return At(emulators_, index);
}

int32_t EmuManager::AddEmu(std::unique_ptr<EmulatorRecord> emu) {
    return Append(emulators_, std::move(emu));
}

std::unique_ptr<EmulatorRecord> EmuManager::DeleteEmu(int32_t index) {
    return TakeOut(emulators_, index);
}

void EmuManager::ClearEmus() {
    ReleaseAll(emulators_);
}

void EmuManager::SortEmus() {
    ::SortEmus(emulators_);
}

// --- ROMs -------------------------------------------------------------------------------------

RomRecord* EmuManager::GetRom(int32_t index) const {
    return At(roms_, index);
}

int32_t EmuManager::AddRom(std::unique_ptr<RomRecord> rom) {
    return Append(roms_, std::move(rom));
}

std::unique_ptr<RomRecord> EmuManager::DeleteRom(int32_t index) {
    return TakeOut(roms_, index);
}

void EmuManager::ClearRoms() {
    ReleaseAll(roms_);
}

void EmuManager::MarkRomRemoved(int32_t index) {
    Slot(roms_, index).reset();
}

void EmuManager::PackRoms() {
    std::erase(roms_, nullptr);
    roms_.shrink_to_fit();
}

bool EmuManager::IsDuplicate(const RomRecord& rom) const {
    const std::string_view path = FieldView(rom.FilePath);
    return std::any_of(roms_.begin(), roms_.end(),
                       [&](const auto& other) { return other && FieldView(other->FilePath) == path; });
}

namespace {

// The paths already catalogued, answering as IsDuplicate's walk of the list would. An open
// table of (hash, path) slots: one memory access per question in the common case, where a
// node-based set would take several. Paths point into records the manager owns; none leaves
// the list during a scan.
class PathIndex {
public:
    explicit PathIndex(const EmuManager& manager) {
        std::size_t capacity = 16;
        while (capacity < 2 * static_cast<std::size_t>(manager.RomCount()) + 16) capacity *= 2;
        slots_.resize(capacity);
        for (int32_t i = 0; i < manager.RomCount(); ++i)
            if (const RomRecord* rom = manager.GetRom(i))
                Add(FieldView(rom->FilePath), Hash(FieldView(rom->FilePath)));
    }
    static std::size_t Hash(std::string_view path) { return std::hash<std::string_view>()(path); }
    bool Contains(std::string_view path, std::size_t hash) const {
        for (std::size_t at = hash & Mask();; at = (at + 1) & Mask()) {
            const Slot& slot = slots_[at];
            if (slot.path.data() == nullptr) return false;
            if (slot.hash == hash && slot.path == path) return true;
        }
    }
    // `path` must stay where it is while the index is used (a record's FilePath).
    void Add(std::string_view path, std::size_t hash) {
        if (2 * (used_ + 1) > slots_.size()) Grow();
        Insert({hash, path});
    }

private:
    struct Slot {
        std::size_t hash = 0;
        std::string_view path;  // null data: a free slot
    };
    std::size_t Mask() const { return slots_.size() - 1; }
    void Insert(const Slot& entry) {
        std::size_t at = entry.hash & Mask();
        while (slots_[at].path.data() != nullptr) {
            if (slots_[at].hash == entry.hash && slots_[at].path == entry.path) return;
            at = (at + 1) & Mask();
        }
        slots_[at] = entry;
        ++used_;
    }
    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        used_ = 0;
        for (const Slot& slot : old)
            if (slot.path.data() != nullptr) Insert(slot);
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

std::unique_ptr<RomRecord> ScannedRom(const EmulatorRecord& emulator, std::string_view name,
                                      std::string_view path) {
    // Every byte is set below, the texts' tails included.
    auto rom = std::make_unique_for_overwrite<RomRecord>();
    std::memcpy(&rom->Emulator, &emulator, sizeof(EmulatorRecord));
    SetFieldText(rom->Name, name);
    SetFieldText(rom->FilePath, path);
    rom->TimesPlayed = 0;
    rom->LanguageIndex = 0;
    rom->TypeIndex = Settings.DefaultType;
    rom->Rating = Settings.DefaultRating;
    return rom;
}

// One scan: the files of a folder (and, when asked, of its subfolders) matching the filters,
// reported to the progress seam as it goes.
class FolderScan {
public:
    FolderScan(EmuManager& manager, const EmulatorRecord& emulator, const std::vector<std::string>& filters,
               bool checkDuplicates, Progress& progress)
        : manager_(manager), emulator_(emulator), filters_(filters), run_(progress, "Scanning", 0) {
        // Built only when asked for: a scan without the check never looks at the list.
        if (checkDuplicates) {
            manager.PrepareToReadAllRoms();
            known_ = std::make_unique<PathIndex>(manager);
        }
    }

    // The folder's own files, filter by filter; false when the user stopped the scan.
    bool ScanFiles(const std::string& folder) {
        for (const std::string& filter : filters_)
            for (const FoundEntry& found : FindEntries(folder, filter, FindPlainFiles)) {
                AddFile(folder, found.name);
                if (run_.Step(result_.examined, [this] { return Describe(); })) return false;
            }
        return true;
    }

    // The folder, then its subfolders in name order, depth first. Hidden folders and links to
    // folders are passed over: a link could lead back up the tree.
    bool ScanTree(const std::string& folder) {
        if (!ScanFiles(folder)) return false;
        for (const FoundEntry& sub : FindEntries(folder, "*", FindFolders))
            if (!sub.link && !ScanTree(folder + sub.name + "/")) return false;
        return true;
    }

    ScanResult Finish() {
        manager_.Stats().RecordAdded(added_, NowSeconds());
        result_.stopped = run_.Stopped();
        run_.Report(result_.examined, Describe());
        return result_;
    }

private:
    void AddFile(const std::string& folder, const std::string& name) {
        ++result_.examined;
        path_.assign(folder).append(name);
        // A cut path would name another file (or none).
        if (path_.size() >= sizeof(RomRecord::FilePath)) return;
        const std::size_t hash = known_ ? PathIndex::Hash(path_) : 0;
        if (known_ && known_->Contains(path_, hash)) return;
        auto rom = ScannedRom(emulator_, name, path_);
        if (known_) known_->Add(FieldView(rom->FilePath), hash);
        added_.push_back(FieldView(rom->FilePath));
        manager_.AddRom(std::move(rom));
        ++result_.added;
    }

    std::string Describe() const {
        return std::to_string(result_.examined) + " files looked at, " + std::to_string(result_.added) +
               " ROMs added";
    }

    EmuManager& manager_;
    const EmulatorRecord& emulator_;
    const std::vector<std::string>& filters_;
    std::unique_ptr<PathIndex> known_;
    ProgressRun run_;
    ScanResult result_;
    std::vector<std::string_view> added_;  // FilePath of each new record
    std::string path_;
};

}  // namespace

ScanResult EmuManager::ScanFolder(const EmulatorRecord& emulator, const std::string& folder,
                                  const std::vector<std::string>& filters, bool checkDuplicates,
                                  bool subFolders, Progress& progress) {
    if (folder.empty()) throw ECatalogueError("No folder was given to scan.");
    // A typed relative folder names another place once the current folder changes: the ROMs
    // keep absolute paths.
    const std::string base = WithTrailingSlash(AbsolutePath(folder));
    FolderScan scan(*this, emulator, filters, checkDuplicates, progress);
    if (subFolders)
        scan.ScanTree(base);
    else
        scan.ScanFiles(base);
    return scan.Finish();
}

void EmuManager::PrepareToReadAllRoms() const {
    RomPool::FillMappedPages();
}

void EmuManager::SortRoms() {
    PrepareToReadAllRoms();
    ::SortRoms(roms_, Settings.SortMethod, *this);
}

// --- Statistics -------------------------------------------------------------------------------

void EmuManager::StartOpeningStats(const std::string& path, bool held) {
    stats_.StartOpen(path, held);
}

void EmuManager::FinishOpeningStats() {
    const std::string problem = stats_.FinishOpen();
    if (!problem.empty()) ErrorBox(problem);
}

// --- Log --------------------------------------------------------------------------------------

void EmuManager::AddLogLine(const std::string& line) {
    // A file name may hold line breaks; in the log each would start a false line.
    std::string oneLine;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool pair = line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n';
        oneLine += line[i] == '\r' || line[i] == '\n' ? ' ' : line[i];
        if (pair) ++i;
    }
    log_.push_back(std::move(oneLine));
}

void EmuManager::SaveLog() const {
    if (!DataFolderWritable()) return;  // said once at start: nothing of this run is kept
    if (!WriteTextLines(logFileName_, log_)) ThrowFileError("Cannot create file", logFileName_);
}

void EmuManager::ClearLog() {
    log_.clear();
    SaveLog();
}
