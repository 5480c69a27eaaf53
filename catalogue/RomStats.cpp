#include "platform/Text.h"
#include "catalogue/RomStats.h"
#include "platform/Process.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>
#include <utility>

#include "catalogue/Useful.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

// "TWKS": marks the database as this program's, so that another program's database put in its
// place is set aside rather than written into.
constexpr int32_t ApplicationId = 0x54574B53;

// The table's layouts, by the database's user_version. The first kept a column per fact; the
// second packs the facts in one column, which halves the time to read every row at start-up
// (SQLite's work per row grows with the columns read). A store of the first layout is moved to
// the second in one transaction when it is opened.
constexpr int64_t ColumnsLayout = 1;
constexpr int64_t PackedLayout = 2;

const char* const CreateSchema =
    "PRAGMA page_size = 65536;"  // few, large reads when the store is read whole
    "BEGIN;"
    "PRAGMA application_id = 1415007059;"
    "PRAGMA user_version = 2;"
    "CREATE TABLE rom_facts (path BLOB PRIMARY KEY NOT NULL, facts BLOB NOT NULL) WITHOUT ROWID;"
    "COMMIT;";
static_assert(ApplicationId == 1415007059 && PackedLayout == 2);

// Every row goes to one call of the reading function: far cheaper than stepping through the rows
// and asking for each column.
const char* const SelectPacked = "SELECT tarnwick_read_facts(path, facts) FROM rom_facts";
const char* const SelectColumns =
    "SELECT tarnwick_read_facts(path, favourite, last_played, play_seconds, added) FROM rom_facts";

const char* const MigrateToPacked =
    "CREATE TABLE rom_facts_packed (path BLOB PRIMARY KEY NOT NULL, facts BLOB NOT NULL) WITHOUT ROWID;"
    "INSERT INTO rom_facts_packed"
    " SELECT path, tarnwick_pack_facts(favourite, last_played, play_seconds, added) FROM rom_facts;"
    "DROP TABLE rom_facts;"
    "ALTER TABLE rom_facts_packed RENAME TO rom_facts;"
    "PRAGMA user_version = 2;";

const char* const Upsert =
    "INSERT INTO rom_facts (path, facts) VALUES (?, ?)"
    " ON CONFLICT (path) DO UPDATE SET facts = excluded.facts";

const char* const DeleteRow = "DELETE FROM rom_facts WHERE path = ?";

// --- Facts packed in a column ---
// The favourite mark (0 or 1), then the last run's start, the play time and the date added, each
// zigzag-coded (small negative numbers stay short) in 7 bits a byte, low bits first.
constexpr std::size_t MaxPackedBytes = 1 + 3 * 10;

std::size_t PackNumber(int64_t value, unsigned char* out) {
    uint64_t bits = (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63);
    std::size_t n = 0;
    for (; bits >= 0x80; bits >>= 7) out[n++] = static_cast<unsigned char>(bits | 0x80);
    out[n++] = static_cast<unsigned char>(bits);
    return n;
}

std::size_t PackFacts(const RomFacts& facts, unsigned char* out) {
    std::size_t n = 0;
    out[n++] = facts.Favourite ? 1 : 0;
    for (int64_t value : {facts.LastPlayed, facts.PlaySeconds, facts.Added}) n += PackNumber(value, out + n);
    return n;
}

// False for bytes that PackNumber cannot have written: cut short or longer than 64 bits.
bool UnpackNumber(const unsigned char*& at, const unsigned char* end, int64_t& value) {
    uint64_t bits = 0;
    for (unsigned shift = 0; at != end && shift < 64; shift += 7) {
        const unsigned char byte = *at++;
        if (shift == 63 && byte > 1) return false;
        bits |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) {
            value = static_cast<int64_t>(bits >> 1) ^ -static_cast<int64_t>(bits & 1);
            return true;
        }
    }
    return false;
}

bool UnpackFacts(const unsigned char* bytes, std::size_t size, RomFacts& facts) {
    const unsigned char* const end = bytes + size;
    if (size == 0 || bytes[0] > 1) return false;
    facts.Favourite = bytes[0] == 1;
    const unsigned char* at = bytes + 1;
    return UnpackNumber(at, end, facts.LastPlayed) && UnpackNumber(at, end, facts.PlaySeconds) &&
           UnpackNumber(at, end, facts.Added) && at == end;
}

// The facts of a row of the first layout: favourite, last_played, play_seconds, added.
RomFacts FactsOfColumns(sqlite3_value** values) {
    RomFacts facts;
    facts.Favourite = sqlite3_value_int64(values[0]) != 0;
    facts.LastPlayed = sqlite3_value_int64(values[1]);
    facts.PlaySeconds = sqlite3_value_int64(values[2]);
    facts.Added = sqlite3_value_int64(values[3]);
    return facts;
}

// tarnwick_pack_facts(favourite, last_played, play_seconds, added): the packed column of a row of
// the first layout.
void PackColumns(sqlite3_context* context, int, sqlite3_value** values) {
    const RomFacts facts = FactsOfColumns(values);
    unsigned char packed[MaxPackedBytes];
    sqlite3_result_blob(context, packed, static_cast<int>(PackFacts(facts, packed)), SQLITE_TRANSIENT);
}

void FinishRead(sqlite3_context*) {}

// A path's hash for the table of facts, sixteen bytes at a time in two independent chains: a few
// times faster than the standard library's on paths of forty bytes and more, which counts when
// every row is read at start-up. The low bits choose a slot and the high bits make its tag, so
// the end mixes both.
uint64_t HashPath(std::string_view path) {
    constexpr uint64_t M = 0x9E3779B97F4A7C15, N = 0xD6E8FEB86659FD93;
    uint64_t a = path.size() * M, b = ~a;
    std::size_t at = 0;
    for (; at + 16 <= path.size(); at += 16) {
        uint64_t words[2];
        std::memcpy(words, path.data() + at, 16);
        a = std::rotl((a ^ words[0]) * M, 29);
        b = std::rotl((b ^ words[1]) * N, 31);
    }
    uint64_t tail[2] = {0, 0};
    if (at < path.size()) std::memcpy(tail, path.data() + at, path.size() - at);
    uint64_t hash = (a ^ tail[0]) * M + std::rotl((b ^ tail[1]) * N, 32);
    hash = (hash ^ (hash >> 32)) * N;
    return hash ^ (hash >> 32);
}

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

std::string Today() {
    return LocalTimeText("%Y-%m-%d");
}

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
    // One connection, used by one thread at a time (the worker that opens the store, then the
    // user-interface thread): SQLite need not lock around every call, which counts when a
    // hundred thousand rows are read at start-up.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    // Read through a mapping of the file: the whole read at start-up then copies no page into
    // fresh memory, each of whose pages would cost a fault.
    sqlite3_exec(db, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr);
    return db;
}

// Moves a store of the first layout to the packed one in one transaction, so that it is whole
// in one layout or the other whatever happens. The old table's pages are then given back (they
// would stay in the file, free); a failure there leaves the moved store as it is.
bool PackLayout(sqlite3* db) {
    if (sqlite3_create_function_v2(db, "tarnwick_pack_facts", 4, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr,
                                   &PackColumns, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    if (sqlite3_exec(db, MigrateToPacked, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr);
    return true;
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
    const uint64_t slot = slots_[Slot(path, HashPath(path))];
    return slot ? &entries_[(slot & 0xFFFFFFFF) - 1].facts : nullptr;
}

RomFacts* RomStats::FactTable::Find(std::string_view path) {
    return const_cast<RomFacts*>(std::as_const(*this).Find(path));
}

RomFacts& RomStats::FactTable::Add(std::string_view path) {
    if (2 * (entries_.size() + 1) > slots_.size()) Grow();
    const std::size_t hash = HashPath(path);
    const std::size_t at = Slot(path, hash);
    if (slots_[at] == 0) {
        slots_[at] = SlotValue(hash, entries_.size());
        entries_.push_back(
            {hash, static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(path.size()), {}});
        keys_.insert(keys_.end(), path.begin(), path.end());
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
    // The slots are far apart in memory: each is asked for a few entries ahead of its use.
    constexpr std::size_t Ahead = 16;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i + Ahead < entries_.size()) __builtin_prefetch(&slots_[entries_[i + Ahead].hash & mask], 1);
        std::size_t at = entries_[i].hash & mask;
        while (slots_[at] != 0) at = (at + 1) & mask;
        slots_[at] = SlotValue(entries_[i].hash, i);
    }
}

void RomStats::FactTable::Append(std::string_view path, const RomFacts& facts) {
    entries_.push_back(
        {HashPath(path), static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(path.size()), facts});
    keys_.insert(keys_.end(), path.begin(), path.end());
}

void RomStats::FactTable::Index() {
    Rehash(std::bit_ceil(std::max<std::size_t>(1024, 2 * entries_.size())));
}

void RomStats::FactTable::Reserve(std::size_t entries, std::size_t keyBytes) {
    entries_.reserve(entries);
    keys_.reserve(keyBytes);
}

// Keeps the memory: a store read again fills the same table (Index sets every slot).
void RomStats::FactTable::Clear() {
    keys_.clear();
    entries_.clear();
    slots_.clear();
}

std::size_t RomStats::FactTable::CountWithFacts() const {
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(),
                                                  [](const Entry& e) { return e.facts != RomFacts{}; }));
}

// --- The store --------------------------------------------------------------------------------

RomStats::RomStats() : report_(&ReportWithErrorBox) {}

RomStats::~RomStats() {
    Proceed();
    if (opening_.joinable()) opening_.join();  // an exception it ended with no longer matters
    Close();
}

bool RomStats::Writing() const {
    Wait();
    return db_ != nullptr;
}

void RomStats::Close() {
    sqlite3_close(db_);
    db_ = nullptr;
}

std::string RomStats::Open(const std::string& path) {
    StartOpen(path);
    return FinishOpen();
}

void RomStats::StartOpen(const std::string& path, bool held) {
    Wait();
    Close();
    facts_.Clear();
    path_ = path;
    failureReported_ = false;
    openMessage_.clear();
    reading_.store(true, std::memory_order_relaxed);
    const auto work = [this] {
        try {
            openMessage_ = OpenNow();
        } catch (...) {
            openFailure_ = std::current_exception();
        }
        reading_.store(false, std::memory_order_release);  // what was read is seen with it
        if (onRead_) onRead_();
    };
    held_ = held;
    try {
        opening_ = std::thread([this, work] {
            {
                std::unique_lock lock(holdLock_);
                holdEnded_.wait(lock, [this] { return !held_; });
            }
            LowerThisThreadPriority();  // the window comes before the facts
            work();
        });
    } catch (const std::system_error&) {  // no thread to be had: the work is done here
        held_ = false;
        work();
    }
}

void RomStats::Proceed() const {
    {
        const std::lock_guard lock(holdLock_);
        held_ = false;
    }
    holdEnded_.notify_all();
}

std::string RomStats::FinishOpen() {
    Wait();
    return std::exchange(openMessage_, {});
}

void RomStats::Wait() const {
    Proceed();
    if (opening_.joinable()) opening_.join();
    if (openFailure_) std::rethrow_exception(std::exchange(openFailure_, nullptr));
}

std::string RomStats::OpenNow() {
    const std::string& path = path_;
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
    if (id == 0) {
        // A new, empty database gets the table; one holding anything else is not ours.
        const int64_t objects = QueryNumber(db, "SELECT count(*) FROM sqlite_schema", rc);
        return rc == SQLITE_OK && objects == 0 &&
               sqlite3_exec(db, CreateSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    int64_t layout = QueryNumber(db, "PRAGMA user_version", rc);
    if (rc != SQLITE_OK) return false;
    // A store that cannot be moved now (locked, disk full) is read as it is and moved next time;
    // its writes fail meanwhile and say so, and it keeps every fact.
    if (layout == ColumnsLayout && PackLayout(db)) layout = PackedLayout;
    if (layout != ColumnsLayout && layout != PackedLayout) return false;
    return Load(db, layout == PackedLayout ? SelectPacked : SelectColumns);
}

bool RomStats::Load(sqlite3* db, const char* select) {
    if (sqlite3_create_function_v2(db, "tarnwick_read_facts", -1, SQLITE_UTF8 | SQLITE_DIRECTONLY, &facts_,
                                   nullptr, &RomStats::ReadRow, &FinishRead, nullptr) != SQLITE_OK)
        return false;
    Statement read(db, select);
    if (read.Prepared() != SQLITE_OK) return false;
    // Counting walks the table's pages without reading a row: cheap beside the read, and the
    // table is then made once at its size. The file's size bounds the bytes of its paths.
    int rc = SQLITE_OK;
    const int64_t rows = QueryNumber(db, "SELECT count(*) FROM rom_facts", rc);
    if (rc != SQLITE_OK) return false;
    facts_.Reserve(static_cast<std::size_t>(rows),
                   static_cast<std::size_t>(std::max<int64_t>(FileSize(path_), 0)));
    rc = sqlite3_step(*read);  // one row: the reading function has seen every row of the table
    facts_.Index();
    return rc == SQLITE_ROW;
}

// The reading function, called with a row's path and its packed facts, or with the path and a
// column per fact (a store of the first layout); a row it cannot read makes the read fail.
void RomStats::ReadRow(sqlite3_context* context, int count, sqlite3_value** values) {
    auto& table = *static_cast<FactTable*>(sqlite3_user_data(context));
    const auto* bytes = static_cast<const char*>(sqlite3_value_blob(values[0]));
    const std::string_view path(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_value_bytes(values[0])));
    RomFacts facts;
    if (count == 2) {
        const auto* packed = static_cast<const unsigned char*>(sqlite3_value_blob(values[1]));
        if (!packed || !UnpackFacts(packed, static_cast<std::size_t>(sqlite3_value_bytes(values[1])), facts))
            return sqlite3_result_error(context, "damaged facts", -1);
    } else {
        facts = FactsOfColumns(values + 1);
    }
    table.Append(path, facts);  // the path is the table's key: each comes once
}

namespace {
const RomFacts NoFacts;
}

const RomFacts& RomStats::Facts(std::string_view path) const {
    Wait();
    const RomFacts* found = facts_.Find(path);
    return found ? *found : NoFacts;
}

const RomFacts& RomStats::FactsIfRead(std::string_view path) const {
    return Reading() ? NoFacts : Facts(path);
}

std::size_t RomStats::Count() const {
    Wait();
    return facts_.CountWithFacts();
}

RomFacts& RomStats::Entry(std::string_view path) {
    Wait();
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
    Wait();
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
    Wait();
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
            unsigned char packed[MaxPackedBytes];
            upsert.BindPath(1, paths[i]);
            sqlite3_bind_blob(*upsert, 2, packed, static_cast<int>(PackFacts(facts, packed)),
                              SQLITE_TRANSIENT);
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
