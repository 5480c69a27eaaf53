#include "platform/Text.h"
#include "catalogue/RomStats.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <ctime>
#include <functional>
#include <utility>

#include "catalogue/Useful.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

// "TWKS": marks the database as this program's, so that another program's database put in its
// place is set aside rather than written into.
constexpr int32_t ApplicationId = 0x54574B53;

const char* const CreateSchema =
    "PRAGMA page_size = 65536;" // few, large reads when the store is read whole
    "BEGIN;"
    "PRAGMA application_id = 1415007059;"
    "PRAGMA user_version = 1;"
    "CREATE TABLE rom_facts ("
    " path BLOB PRIMARY KEY NOT NULL,"
    " favourite INTEGER NOT NULL DEFAULT 0,"
    " last_played INTEGER NOT NULL DEFAULT 0,"
    " play_seconds INTEGER NOT NULL DEFAULT 0,"
    " added INTEGER NOT NULL DEFAULT 0"
    ") WITHOUT ROWID;"
    "COMMIT;";
static_assert(ApplicationId == 1415007059);

const char* const SelectAll = "SELECT path, favourite, last_played, play_seconds, added FROM rom_facts";

const char* const Upsert =
    "INSERT INTO rom_facts (path, favourite, last_played, play_seconds, added) VALUES (?, ?, ?, ?, ?)"
    " ON CONFLICT (path) DO UPDATE SET favourite = excluded.favourite,"
    " last_played = excluded.last_played, play_seconds = excluded.play_seconds, added = excluded.added";

const char* const DeleteRow = "DELETE FROM rom_facts WHERE path = ?";

// A prepared statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { result_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    int Prepared() const { return result_; }
    sqlite3_stmt* operator*() const { return stmt_; }
    void BindPath(int column, std::string_view path) const {
        sqlite3_bind_blob64(stmt_, column, path.data(), path.size(), SQLITE_TRANSIENT);
    }
    // Runs a statement that returns no rows and makes it ready to run again.
    bool Run() const {
        const int rc = sqlite3_step(stmt_);
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int result_ = SQLITE_ERROR;
};

// The first column of a one-row query; `rc` is SQLITE_OK when it was read.
int64_t QueryNumber(sqlite3* db, const char* sql, int& rc) {
    Statement s(db, sql);
    rc = s.Prepared();
    if (rc != SQLITE_OK) return 0;
    rc = sqlite3_step(*s);
    if (rc != SQLITE_ROW) return 0;
    rc = SQLITE_OK;
    return sqlite3_column_int64(*s, 0);
}

std::string Today() { return LocalTimeText("%Y-%m-%d"); }

// Moves the store (and a journal that belongs to it, which would otherwise be played into the
// new store) to a free name with today's date. Returns the new name, empty when it could not.
std::string SetAside(const std::string& path) {
    const std::string stem = WithoutExtension(path) + "-" + Today();
    const std::string extension = ExtensionPart(path);
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = stem + (n == 1 ? "" : "-" + std::to_string(n)) + extension;
        if (MoveFile(path, aside)) {
            for (const char* companion : {"-journal", "-wal", "-shm"})
                if (FileExists(path + companion)) MoveFile(path + companion, aside + companion);
            return aside;
        }
        if (errno != EEXIST) break;
    }
    return {};
}

sqlite3* OpenDatabase(const std::string& path, bool create) {
    sqlite3* db = nullptr;
    // One connection, used by the user-interface thread alone: SQLite need not lock around
    // every call, which counts when a hundred thousand rows are read at start-up.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

void ReportWithErrorBox(const std::string& message) {
    ErrorBox(message);
}

}  // namespace

std::string RomStatsFileName() {
    return DataFile("LISTS\\Stats.db");
}

int64_t NowSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

// --- The table of facts ------------------------------------------------------------------------

uint64_t RomStats::FactTable::SlotValue(std::size_t hash, std::size_t entry) {
    return (static_cast<uint64_t>(hash >> 32) << 32) | static_cast<uint64_t>(entry + 1);
}

std::size_t RomStats::FactTable::Slot(std::string_view path, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    const uint64_t tag = SlotValue(hash, 0) & ~uint64_t{0xFFFFFFFF};
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const uint64_t slot = slots_[at];
        if (slot == 0) return at;
        if ((slot & ~uint64_t{0xFFFFFFFF}) != tag) continue;
        const Entry& e = entries_[(slot & 0xFFFFFFFF) - 1];
        if (e.hash == hash && std::string_view(keys_.data() + e.keyStart, e.keyLength) == path) return at;
    }
}

const RomFacts* RomStats::FactTable::Find(std::string_view path) const {
    if (slots_.empty()) return nullptr;
    const uint64_t slot = slots_[Slot(path, std::hash<std::string_view>()(path))];
    return slot ? &entries_[(slot & 0xFFFFFFFF) - 1].facts : nullptr;
}

RomFacts* RomStats::FactTable::Find(std::string_view path) {
    return const_cast<RomFacts*>(std::as_const(*this).Find(path));
}

RomFacts& RomStats::FactTable::Add(std::string_view path) {
    if (2 * (entries_.size() + 1) > slots_.size()) Grow();
    const std::size_t hash = std::hash<std::string_view>()(path);
    const std::size_t at = Slot(path, hash);
    if (slots_[at] == 0) {
        slots_[at] = SlotValue(hash, entries_.size());
        entries_.push_back(
            {hash, static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(path.size()), {}});
        keys_.append(path);
    }
    return entries_[(slots_[at] & 0xFFFFFFFF) - 1].facts;
}

void RomStats::FactTable::Grow() {
    Rehash(std::max<std::size_t>(1024, slots_.size() * 2));
}

// Places every entry anew; the slots' memory is kept when it is large enough.
void RomStats::FactTable::Rehash(std::size_t slotCount) {
    slots_.assign(slotCount, 0);
    const std::size_t mask = slotCount - 1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        std::size_t at = entries_[i].hash & mask;
        while (slots_[at] != 0) at = (at + 1) & mask;
        slots_[at] = SlotValue(entries_[i].hash, i);
    }
}

void RomStats::FactTable::Append(std::string_view path, const RomFacts& facts) {
    entries_.push_back({std::hash<std::string_view>()(path), static_cast<uint32_t>(keys_.size()),
                        static_cast<uint32_t>(path.size()), facts});
    keys_.append(path);
}

void RomStats::FactTable::Index() {
    Rehash(std::bit_ceil(std::max<std::size_t>(1024, 2 * entries_.size())));
}

void RomStats::FactTable::Reserve(std::size_t entries, std::size_t keyBytes) {
    entries_.reserve(entries);
    keys_.reserve(keyBytes);
}

// Keeps the memory: a store read again fills the same table.
void RomStats::FactTable::Clear() {
    keys_.clear();
    entries_.clear();
    std::fill(slots_.begin(), slots_.end(), uint64_t{0});
}

std::size_t RomStats::FactTable::CountWithFacts() const {
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(),
                                                  [](const Entry& e) { return e.facts != RomFacts{}; }));
}

// --- The store --------------------------------------------------------------------------------

RomStats::RomStats() : report_(&ReportWithErrorBox) {}

RomStats::~RomStats() {
    Close();
}

void RomStats::Close() {
    sqlite3_close(db_);
    db_ = nullptr;
}

std::string RomStats::Open(const std::string& path) {
    Close();
    facts_.Clear();
    path_ = path;
    failureReported_ = false;
    CreateFolders(FolderPart(path));
    std::string message;
    if (FileExists(path) || FolderExists(path)) {
        if (sqlite3* db = OpenDatabase(path, false)) {
            if (ReadAll(db)) {
                db_ = db;
                return {};
            }
            sqlite3_close(db);
        }
        facts_.Clear();
        const std::string aside = SetAside(path);
        if (aside.empty())
            return "The ROM statistics file \"" + path +
                   "\" cannot be read, nor set aside. Favourites and play times are kept only until "
                   "Tarnwick closes.";
        message = "The ROM statistics file \"" + path + "\" could not be read. It was set aside as \"" +
                  aside + "\" and a new one was started.";
    }
    sqlite3* db = OpenDatabase(path, true);
    if (db && ReadAll(db)) {
        db_ = db;
        return message;
    }
    sqlite3_close(db);
    facts_.Clear();
    return "The ROM statistics file \"" + path +
           "\" cannot be created. Favourites and play times are kept only until Tarnwick closes.";
}

bool RomStats::ReadAll(sqlite3* db) {
    int rc = SQLITE_OK;
    const int64_t id = QueryNumber(db, "PRAGMA application_id", rc);
    if (rc != SQLITE_OK || (id != 0 && id != ApplicationId)) return false;
    Statement select(db, SelectAll);
    if (select.Prepared() != SQLITE_OK) {
        // A new, empty database gets the table; one holding anything else is not ours.
        const int64_t objects = QueryNumber(db, "SELECT count(*) FROM sqlite_schema", rc);
        if (rc != SQLITE_OK || objects != 0 || id != 0) return false;
        return sqlite3_exec(db, CreateSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // Counting walks the table's pages without reading a row: cheap beside the read, and the
    // table is then made once at its size. The file's size bounds the bytes of its paths.
    const int64_t rows = QueryNumber(db, "SELECT count(*) FROM rom_facts", rc);
    if (rc != SQLITE_OK) return false;
    facts_.Reserve(static_cast<std::size_t>(rows),
                   static_cast<std::size_t>(std::max<int64_t>(FileSize(path_), 0)));
    RomFacts facts;
    while ((rc = sqlite3_step(*select)) == SQLITE_ROW) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(*select, 0));
        const std::string_view path(bytes ? bytes : "",
                                    static_cast<std::size_t>(sqlite3_column_bytes(*select, 0)));
        facts.Favourite = sqlite3_column_int64(*select, 1) != 0;
        facts.LastPlayed = sqlite3_column_int64(*select, 2);
        facts.PlaySeconds = sqlite3_column_int64(*select, 3);
        facts.Added = sqlite3_column_int64(*select, 4);
        facts_.Append(path, facts);  // the path is the table's key: each comes once
    }
    facts_.Index();
    return rc == SQLITE_DONE;
}

const RomFacts& RomStats::Facts(std::string_view path) const {
    static const RomFacts none;
    const RomFacts* found = facts_.Find(path);
    return found ? *found : none;
}

std::size_t RomStats::Count() const {
    return facts_.CountWithFacts();
}

RomFacts& RomStats::Entry(std::string_view path) {
    return facts_.Add(path);
}

void RomStats::SetFavourite(std::string_view path, bool on) {
    Entry(path).Favourite = on;
    Write({path});
}

void RomStats::RecordPlay(std::string_view path, int64_t started, int64_t seconds) {
    RomFacts& facts = Entry(path);
    facts.LastPlayed = started;
    facts.PlaySeconds += seconds > 0 ? seconds : 0;
    Write({path});
}

void RomStats::RecordAdded(const std::vector<std::string_view>& paths, int64_t when) {
    std::vector<std::string_view> dated;
    for (std::string_view path : paths) {
        RomFacts& facts = Entry(path);
        if (facts.Added != 0) continue;
        facts.Added = when;
        dated.push_back(path);
    }
    if (!dated.empty()) Write(dated);
}

void RomStats::Rename(std::string_view from, std::string_view to) {
    if (from == to) return;
    // A path without facts holds empty ones, in memory as on disk (where its row is deleted).
    RomFacts* found = facts_.Find(from);
    if (!found) {
        if (RomFacts* stale = facts_.Find(to)) *stale = RomFacts{};
        Write({}, to);
        return;
    }
    const RomFacts moved = std::exchange(*found, RomFacts{});
    Entry(to) = moved;
    Write({to}, from);
}

void RomStats::Write(const std::vector<std::string_view>& paths, std::string_view gone) {
    if (!db_) return;
    bool ok = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok && !gone.empty()) {
        Statement erase(db_, DeleteRow);
        erase.BindPath(1, gone);
        ok = erase.Prepared() == SQLITE_OK && erase.Run();
    }
    if (ok && !paths.empty()) {
        Statement upsert(db_, Upsert);
        ok = upsert.Prepared() == SQLITE_OK;
        for (std::size_t i = 0; ok && i < paths.size(); ++i) {
            const RomFacts& facts = Facts(paths[i]);
            upsert.BindPath(1, paths[i]);
            sqlite3_bind_int(*upsert, 2, facts.Favourite ? 1 : 0);
            sqlite3_bind_int64(*upsert, 3, facts.LastPlayed);
            sqlite3_bind_int64(*upsert, 4, facts.PlaySeconds);
            sqlite3_bind_int64(*upsert, 5, facts.Added);
            ok = upsert.Run();
        }
    }
    if (ok) ok = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        WriteFailed();
    }
}

void RomStats::WriteFailed() {
    if (failureReported_) return;
    failureReported_ = true;
    if (report_)
        report_("Error writing the ROM statistics file \"" + path_ +
                "\". Favourites and play times are kept only until Tarnwick closes.");
}
