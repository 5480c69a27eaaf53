#pragma once
// What the program learns about each ROM beyond its record, which keeps its fixed format: a
// favourite mark, when it was last played, how long it has been played in all, when it was
// added. The facts live in a SQLite database beside the list files (LISTS/Stats.db in the data
// folder), one row per ROM file path (its bytes, as stored in FilePath). The store is read whole
// at start-up and every change is written at once in its own small transaction, so a crash or a
// kill of the program never loses a fact already learnt. Rows of ROMs that leave the catalogue
// stay, so a ROM added again gets its facts back.
//
//     RomStats stats;
//     std::string problem = stats.Open(RomStatsFileName()); // empty, or the one message to show
//     stats.SetFavourite(path, true);                       // in memory and on disk at once
//     const RomFacts& f = stats.Facts(path);
//
// Start-up reads the store on a worker thread while the windows are made (StartOpen, then
// FinishOpen for the message): a hundred thousand rows take longer than the list file's load.
// Every other member waits for that read first, so no caller sees a half-read store.
//
// A store that cannot be read (not a database, damaged, not ours, unreadable) is renamed aside
// with the date ("Stats-2026-12-09.db") and an empty one is started; a store that cannot be made
// at all leaves the facts in memory for the run. A write that fails is reported once per run.
// Nothing here depends on Qt.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/LargeArray.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

struct RomFacts {
    bool Favourite = false;
    int64_t LastPlayed = 0;   // start of the last run, seconds since 1970 (UTC); 0: never played
    int64_t PlaySeconds = 0;  // every run's length added up
    int64_t Added = 0;        // when the ROM was first added, seconds since 1970 (UTC); 0: unknown

    bool operator==(const RomFacts&) const = default;
};

// The data folder's LISTS/Stats.db.
std::string RomStatsFileName();
// Seconds since 1970 (UTC), now.
int64_t NowSeconds();

class RomStats {
public:
    RomStats();
    ~RomStats();
    RomStats(const RomStats&) = delete;
    RomStats& operator=(const RomStats&) = delete;

    // Opens the store at `path` (making it, and its folder, when missing) and reads it whole,
    // replacing what is held. Returns the message for the user when the store had to be set
    // aside or could not be opened; empty when all went well.
    std::string Open(const std::string& path);
    // Open in two halves: the first starts the work on a worker thread and returns at once, the
    // second waits for it and returns Open's message (once). A `held` start has the worker wait
    // for Proceed, or for the first use that needs the facts, before it reads: start-up holds
    // the read until the list has first painted.
    void StartOpen(const std::string& path, bool held = false);
    void Proceed() const;
    std::string FinishOpen();
    // Whether the read begun by StartOpen is still under way; never waits.
    bool Reading() const { return reading_.load(std::memory_order_acquire); }
    // Called on the reading thread as the read ends (a window asks to be told, then calls
    // FinishOpen on its own thread). Set it before StartOpen.
    void SetOnRead(std::function<void()> told) { onRead_ = std::move(told); }
    // Whether changes reach a file (false before Open and when no store could be made).
    bool Writing() const;
    const std::string& Path() const { return path_; }

    // The facts of a path; all empty for a path the store does not know.
    const RomFacts& Facts(std::string_view path) const;
    // The same without waiting for a read under way, which gives empty facts meanwhile: for
    // what is only shown, and shown again when the read ends.
    const RomFacts& FactsIfRead(std::string_view path) const;
    // How many paths have facts.
    std::size_t Count() const;

    // Each change updates memory and writes its rows at once, in one transaction.
    void SetFavourite(std::string_view path, bool on);
    // A run that started at `started` and lasted `seconds`.
    void RecordPlay(std::string_view path, int64_t started, int64_t seconds);
    // ROMs added at `when`; a path that already has a date keeps it (the ROM came back).
    void RecordAdded(const std::vector<std::string_view>& paths, int64_t when);
    // The facts of `from` move to `to` (a ROM's file renamed); `to` loses facts of its own.
    void Rename(std::string_view from, std::string_view to);

    // Called with the message when a write fails, the first time only in a run. ErrorBox by
    // default.
    void SetWriteFailureReport(void (*report)(const std::string& message)) { report_ = report; }

private:
    // Paths and their facts, read whole at start-up and asked for by every row shown or sorted.
    // An open table: the path bytes lie in one buffer and each slot keeps the upper half of its
    // path's hash beside the entry's number, so a probe reads only the slots until a tag
    // matches; a load of a hundred thousand rows makes no allocation per row and touches an
    // entry once.
    class FactTable {
    public:
        RomFacts* Find(std::string_view path);
        const RomFacts* Find(std::string_view path) const;
        RomFacts& Add(std::string_view path);  // the path's facts, made empty when new
        // A load of the store, whose paths are unique: Clear, room for `entries` paths of
        // `keyBytes` in all, then Append each row and Index once at the end, which places every
        // path in one pass instead of looking each one up as it comes.
        void Clear();
        void Reserve(std::size_t entries, std::size_t keyBytes);
        void Append(std::string_view path, const RomFacts& facts);
        void Index();
        std::size_t CountWithFacts() const;

    private:
        struct Entry {
            std::size_t hash;
            uint32_t keyStart, keyLength;
            RomFacts facts;
        };
        // A slot: 0 when free, else the hash's upper 32 bits above the entry's number + 1.
        static uint64_t SlotValue(std::size_t hash, std::size_t entry);
        std::size_t Slot(std::string_view path, std::size_t hash) const;
        void Grow();
        void Rehash(std::size_t slotCount);
        template <class T>
        using Large = std::vector<T, LargeArrayAllocator<T>>;  // one fault per 2 MiB, not per 4 KiB
        Large<char> keys_;
        Large<Entry> entries_;
        Large<uint64_t> slots_;
    };

    // Open's work, done by the worker thread; returns its message.
    std::string OpenNow();
    // Waits for the worker of StartOpen, if any, and passes on an exception it ended with.
    void Wait() const;
    bool ReadAll(sqlite3* db);
    // Reads every row of the table with `select`, which hands each to ReadRow.
    bool Load(sqlite3* db, const char* select);
    static void ReadRow(sqlite3_context* context, int count, sqlite3_value** values);
    void Close();
    RomFacts& Entry(std::string_view path);
    // Writes the rows of `paths` (and deletes those of `gone`) in one transaction.
    void Write(const std::vector<std::string_view>& paths, std::string_view gone = {});
    void WriteFailed();

    // Written by the worker of StartOpen until Wait joins it; the user-interface thread's alone after.
    sqlite3* db_ = nullptr;
    std::string path_;
    mutable std::thread opening_;
    mutable std::mutex holdLock_;
    mutable std::condition_variable holdEnded_;
    mutable bool held_ = false;
    std::atomic<bool> reading_{false};
    std::function<void()> onRead_;
    std::string openMessage_;
    mutable std::exception_ptr openFailure_;
    FactTable facts_;
    bool failureReported_ = false;
    void (*report_)(const std::string& message);
};
