// The ROM statistics store: facts written at once and read back by a second opening, renames,
// dates kept for ROMs that come back, damaged stores set aside without touching the list files,
// write failures reported once.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/Emusystem.h"
#include "catalogue/RomStats.h"
#include "mainwindow/Settings.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// What the write-failure report was called with.
std::vector<std::string>& Reported() {
    static std::vector<std::string> messages;
    return messages;
}

struct Stats : ::testing::Test {
    TempDir dir;
    std::string store = dir.file("LISTS/Stats.db");

    // A second, independent opening of the store: what a later run (or one after a kill) sees.
    RomFacts Reread(std::string_view path) const {
        RomStats again;
        EXPECT_EQ(again.Open(store), "");
        return again.Facts(path);
    }
    // A store left by an earlier run: one play of /roms/a, at 100 for 60 seconds.
    void StoreOnePlay() const {
        RomStats stats;
        ASSERT_EQ(stats.Open(store), "");
        stats.RecordPlay("/roms/a", 100, 60);
    }
    // The files of the folder other than the store itself, with their bytes.
    std::vector<std::pair<std::string, std::string>> OtherFiles(const std::string& except) const {
        std::vector<std::pair<std::string, std::string>> files;
        for (const auto& entry : fs::directory_iterator(dir.file("LISTS")))
            if (entry.path().filename() != except && entry.is_regular_file())
                files.emplace_back(entry.path().filename().string(), TempDir::read(entry.path().string()));
        std::sort(files.begin(), files.end());
        return files;
    }
    static std::string AsideName() { return "Stats-" + Today() + ".db"; }
    static std::string Today() {
        char text[16];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
        return text;
    }
};

RomFacts Facts(bool favourite, int64_t last, int64_t seconds, int64_t added) {
    RomFacts f;
    f.Favourite = favourite;
    f.LastPlayed = last;
    f.PlaySeconds = seconds;
    f.Added = added;
    return f;
}

// Runs SQL on a database file outside the store's own code; returns the first column of the last
// row that a statement gave, as text.
std::string RunSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string last;
    char* error = nullptr;
    const auto keep = [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "";
        return 0;
    };
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), keep, &last, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    return last;
}

// A SQLite database of some other program.
void MakeForeignDatabase(const std::string& path) {
    RunSql(path, "CREATE TABLE notes(x TEXT); INSERT INTO notes VALUES('mine');");
}

// A store as the first releases wrote it, a column per fact, with `rows` (SQL values lists).
void MakeColumnsStore(const std::string& path, const std::string& rows) {
    RunSql(path,
           "PRAGMA page_size = 65536; BEGIN; PRAGMA application_id = 1415007059; PRAGMA user_version = 1;"
           "CREATE TABLE rom_facts (path BLOB PRIMARY KEY NOT NULL, favourite INTEGER NOT NULL DEFAULT 0,"
           " last_played INTEGER NOT NULL DEFAULT 0, play_seconds INTEGER NOT NULL DEFAULT 0,"
           " added INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID;"
           "INSERT INTO rom_facts VALUES " +
               rows + "; COMMIT;");
}

}  // namespace

TEST_F(Stats, EveryChangeIsOnDiskAtOnceKeyedByThePathBytes) {
    RomStats stats;
    EXPECT_EQ(stats.Open(store), "");  // a missing store (and its folder) is made silently
    EXPECT_TRUE(fs::exists(store));
    EXPECT_TRUE(stats.Writing());
    const std::string latin1 = "/roms/Pok\xE9mon.gb";  // not UTF-8: bytes of a Windows catalogue
    const std::string upper = "/ROMS/POK\xE9MON.GB";

    stats.SetFavourite(latin1, true);
    stats.RecordPlay(latin1, 1000, 30);
    stats.RecordPlay(latin1, 2000, 45);
    stats.RecordPlay(upper, 3000, -5);  // a clock that went back adds nothing
    stats.RecordAdded({upper, latin1}, 500);
    stats.RecordAdded({upper}, 900);  // came back: the first date stays
    stats.SetFavourite(upper, true);
    stats.SetFavourite(upper, false);

    // Read by another opening while this one is still open: nothing waits for a close.
    EXPECT_EQ(Reread(latin1), Facts(true, 2000, 75, 500));
    EXPECT_EQ(Reread(upper), Facts(false, 3000, 0, 500));
    EXPECT_EQ(Reread("/roms/other.gb"), RomFacts{});
    EXPECT_EQ(stats.Facts(latin1), Reread(latin1));
}

// Thousands of rows, read whole by a later run into a table made in one go: every path has its
// own facts (paths sharing long beginnings, and some whose hashes share a slot), a path the store
// does not hold has none, and the table read takes changes and new paths afterwards.
TEST_F(Stats, AStoreOfThousandsReadsBackEveryRowAndTakesChangesAfterwards) {
    std::vector<std::string> paths;
    for (int i = 0; i < 5000; ++i)
        paths.push_back("/home/user/roms/a very long folder name that every path shares/game " +
                        std::to_string(i));
    {
        RomStats stats;
        ASSERT_EQ(stats.Open(store), "");
        stats.RecordAdded(std::vector<std::string_view>(paths.begin(), paths.end()), 7);
        for (int i = 0; i < 5000; i += 7) stats.RecordPlay(paths[i], 1000 + i, i);
        for (int i = 0; i < 5000; i += 11) stats.SetFavourite(paths[i], true);
    }
    RomStats again;
    ASSERT_EQ(again.Open(store), "");
    EXPECT_EQ(again.Count(), paths.size());
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(again.Facts(paths[i]), Facts(i % 11 == 0, i % 7 ? 0 : 1000 + i, i % 7 ? 0 : i, 7)) << i;
    EXPECT_EQ(again.Facts(paths[0] + "0000"), RomFacts{});

    again.SetFavourite(paths[4999], true);
    again.RecordAdded({"/roms/new.zip"}, 9);
    again.Rename(paths[1], "/roms/moved.zip");
    EXPECT_EQ(again.Facts(paths[4999]).Favourite, true);
    EXPECT_EQ(again.Facts("/roms/new.zip"), Facts(false, 0, 0, 9));
    EXPECT_EQ(again.Facts("/roms/moved.zip"), Facts(false, 0, 0, 7));
    EXPECT_EQ(Reread("/roms/moved.zip"), again.Facts("/roms/moved.zip"));
    EXPECT_EQ(again.Count(), paths.size() + 1);
}

TEST_F(Stats, ARenameTakesTheFactsAlongAndDropsTheTargetsStaleOnes) {
    RomStats stats;
    ASSERT_EQ(stats.Open(store), "");
    stats.RecordPlay("/roms/a.zip", 100, 600);
    stats.RecordAdded({"/roms/a.zip"}, 50);
    stats.SetFavourite("/roms/b.zip", true);  // an old ROM that no longer has its file there

    stats.Rename("/roms/a.zip", "/roms/b.zip");
    EXPECT_EQ(Reread("/roms/b.zip"), Facts(false, 100, 600, 50));
    EXPECT_EQ(Reread("/roms/a.zip"), RomFacts{});

    stats.SetFavourite("/roms/c.zip", true);
    stats.Rename("/roms/none.zip", "/roms/c.zip");  // a ROM without facts renamed over c
    EXPECT_EQ(Reread("/roms/c.zip"), RomFacts{});
    EXPECT_EQ(stats.Count(), 1u);
}

TEST_F(Stats, ADamagedStoreIsSetAsideOnceAndTheListFilesAreNotTouched) {
    dir.write("LISTS/ROMS.LST", std::string(1004, 'r'));
    dir.write("LISTS/EMUS.LST", std::string(692, 'e'));
    const auto listFiles = OtherFiles("Stats.db");

    RomStats good;
    ASSERT_EQ(good.Open(store), "");
    std::vector<std::string> paths;
    for (int i = 0; i < 2000; ++i) paths.push_back("/roms/game" + std::to_string(i) + ".zip");
    good.RecordAdded(std::vector<std::string_view>(paths.begin(), paths.end()), 1);
    const std::string whole = TempDir::read(store);
    const std::vector<std::string> damaged = {
        "this is no database, but the user's bytes",                     // not SQLite at all
        whole.substr(0, 100) + std::string(whole.size() - 100, '\x55'),  // pages overwritten
    };
    int round = 0;
    for (const std::string& bytes : damaged) {
        SCOPED_TRACE(round);
        dir.write("LISTS/Stats.db", bytes);
        RomStats stats;
        const std::string aside =
            dir.file("LISTS/") + (round == 0 ? AsideName() : "Stats-" + Today() + "-2.db");
        EXPECT_EQ(stats.Open(store), "The ROM statistics file \"" + store +
                                         "\" could not be read. It was set aside as \"" + aside +
                                         "\" and a new one was started.");
        EXPECT_EQ(TempDir::read(aside), bytes);  // kept as it was
        EXPECT_EQ(stats.Count(), 0u);
        stats.SetFavourite("/roms/x.zip", true);  // the new store works
        EXPECT_TRUE(Reread("/roms/x.zip").Favourite);
        ++round;
    }
    auto others = OtherFiles("Stats.db");
    std::erase_if(others, [](const auto& f) { return f.first.rfind("Stats-", 0) == 0; });
    EXPECT_EQ(others, listFiles);
}

TEST_F(Stats, AnotherProgramsDatabaseIsSetAsideAndAnEmptyFileIsUsed) {
    fs::create_directories(dir.file("LISTS"));
    MakeForeignDatabase(store);
    RomStats stats;
    EXPECT_NE(stats.Open(store), "");
    EXPECT_TRUE(fs::exists(dir.file("LISTS/") + AsideName()));

    // An empty file is an empty database, not a damaged one.
    dir.write("LISTS/Stats.db", "");
    RomStats fresh;
    EXPECT_EQ(fresh.Open(store), "");
    fresh.RecordPlay("/roms/a", 1, 2);
    EXPECT_EQ(Reread("/roms/a").PlaySeconds, 2);
}

TEST_F(Stats, AFailedWriteIsReportedOnceAndTheFactsStayInMemory) {
    RomStats stats;
    ASSERT_EQ(stats.Open(store), "");
    stats.SetWriteFailureReport(+[](const std::string& message) { Reported().push_back(message); });
    Reported().clear();
    // The journal that every write needs cannot be made where a folder stands in its place.
    fs::create_directories(store + "-journal");
    stats.SetFavourite("/roms/a", true);
    stats.RecordPlay("/roms/a", 10, 20);
    ASSERT_EQ(Reported().size(), 1u);
    EXPECT_EQ(Reported()[0], "Error writing the ROM statistics file \"" + store +
                                 "\". Favourites and play times are kept only until Tarnwick closes.");
    EXPECT_EQ(stats.Facts("/roms/a"), Facts(true, 10, 20, 0));
    fs::remove(store + "-journal");
    EXPECT_EQ(Reread("/roms/a"), RomFacts{});
    stats.RecordPlay("/roms/a", 30, 5);  // writes work again: the whole row goes out
    EXPECT_EQ(Reread("/roms/a"), Facts(true, 30, 25, 0));
    EXPECT_EQ(Reported().size(), 1u);
}

TEST_F(Stats, TheManagerReportsASetAsideStoreInOneBoxAndDatesScannedRoms) {
    ScriptedPrompter prompts;
    dir.write("LISTS/Stats.db", "garbage");
    EmuManager m(dir.file("Tarnwick.log"));
    prompts.Box(BoxOk);
    m.StartOpeningStats(store);
    EXPECT_EQ(m.Facts(*NewRomRecord()), RomFacts{});  // waits for the read; the box waits for its half
    EXPECT_TRUE(prompts.Shown().empty());
    m.FinishOpeningStats();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].caption, "Error");
    EXPECT_NE(prompts.Shown()[0].text.find(AsideName()), std::string::npos);

    dir.write("roms/a.nes", "a");
    dir.write("roms/b.nes", "b");
    auto emu = NewEmulatorRecord();
    m.Stats().RecordAdded({dir.file("roms/b.nes")}, 1234);  // b was in the catalogue before
    const int64_t before = NowSeconds();
    EXPECT_EQ(m.ScanFolder(*emu, dir.file("roms"), {"*.nes"}, true).added, 2);
    const int64_t after = NowSeconds();
    EXPECT_GE(m.Facts(*m.GetRom(0)).Added, before);
    EXPECT_LE(m.Facts(*m.GetRom(0)).Added, after);
    EXPECT_EQ(m.Facts(*m.GetRom(1)).Added, 1234);
    EXPECT_EQ(Reread(dir.file("roms/a.nes")).Added, m.Facts(*m.GetRom(0)).Added);
}

// Start-up's read on a worker: told once, on that thread, when it ends; what is only shown never
// waits, and a change made before the read ends waits for it, so the read cannot undo it.
TEST_F(Stats, AReadOnAWorkerIsToldOnceAndAChangeMadeMeanwhileIsKept) {
    StoreOnePlay();
    RomStats stats;
    std::atomic<int> told{0};
    std::atomic<bool> onOtherThread{false};
    const std::thread::id self = std::this_thread::get_id();
    stats.SetOnRead([&] {
        onOtherThread = std::this_thread::get_id() != self;
        ++told;
    });
    stats.StartOpen(store);
    const RomFacts shown = stats.FactsIfRead("/roms/a");  // empty while reading, else the facts
    EXPECT_TRUE(shown == RomFacts{} || shown == Facts(false, 100, 60, 0));
    stats.SetFavourite("/roms/a", true);  // waits for the read first
    EXPECT_FALSE(stats.Reading());
    EXPECT_EQ(stats.FinishOpen(), "");
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(onOtherThread);
    EXPECT_EQ(stats.FactsIfRead("/roms/a"), Facts(true, 100, 60, 0));
    EXPECT_EQ(Reread("/roms/a"), Facts(true, 100, 60, 0));
}

// Start-up holds the read until the list has painted: nothing is read before Proceed, the first
// use of the facts lets the read go and waits for it, and a store let go of while held is closed
// without a read.
TEST_F(Stats, AHeldReadWaitsForProceedOrForTheFirstUse) {
    StoreOnePlay();
    {
        RomStats stats;
        std::atomic<int> told{0};
        stats.SetOnRead([&] { ++told; });
        stats.StartOpen(store, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(stats.Reading());
        EXPECT_EQ(told, 0);
        EXPECT_EQ(stats.Facts("/roms/a"), Facts(false, 100, 60, 0));
        EXPECT_EQ(told, 1);
    }
    {
        RomStats stats;
        stats.StartOpen(store, true);
        stats.Proceed();
        for (int i = 0; i < 1000 && stats.Reading(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(stats.Reading());
        EXPECT_EQ(stats.FactsIfRead("/roms/a"), Facts(false, 100, 60, 0));
    }
    RomStats().StartOpen(store, true);
}

// A store of the first layout is moved to the packed one when opened, every fact kept, extremes
// included; a later run reads the moved store and changes are written to it.
TEST_F(Stats, AStoreOfTheColumnsLayoutIsMovedWithEveryFact) {
    fs::create_directories(dir.file("LISTS"));
    const std::string latin1 = "/roms/Pok\xE9mon.gb";
    std::string rows =
        "(X'2F726F6D732F506F6BE96D6F6E2E6762', 1, 1700000000, 3600, 1600000000),"
        "(CAST('/roms/b.zip' AS BLOB), 0, -5, 9223372036854775807, -9223372036854775808)";
    for (int i = 0; i < 3000; ++i)
        rows += ",(CAST('/roms/game" + std::to_string(i) + ".zip' AS BLOB), " + std::to_string(i % 2) + ", " +
                std::to_string(i * 1000) + ", " + std::to_string(i) + ", 7)";
    MakeColumnsStore(store, rows);
    const auto check = [&](const RomStats& stats) {
        EXPECT_EQ(stats.Facts(latin1), Facts(true, 1700000000, 3600, 1600000000));
        EXPECT_EQ(stats.Facts("/roms/b.zip"), Facts(false, -5, INT64_MAX, INT64_MIN));
        for (int i = 0; i < 3000; ++i)
            ASSERT_EQ(stats.Facts("/roms/game" + std::to_string(i) + ".zip"), Facts(i % 2, i * 1000, i, 7))
                << i;
    };

    RomStats stats;
    ASSERT_EQ(stats.Open(store), "");
    check(stats);
    EXPECT_EQ(RunSql(store, "PRAGMA user_version"), "2");
    EXPECT_EQ(RunSql(store, "SELECT group_concat(name, ',') FROM pragma_table_info('rom_facts')"),
              "path,facts");
    RomStats later;
    ASSERT_EQ(later.Open(store), "");
    check(later);
    EXPECT_EQ(later.Count(), 3002u);
    stats.RecordPlay(latin1, 1800000000, 60);
    EXPECT_EQ(Reread(latin1), Facts(true, 1800000000, 3660, 1600000000));
}

// While the store is locked by another program it cannot be moved: it is read as it is, left
// unchanged, and a change says it cannot be written; the next run moves it.
TEST_F(Stats, AStoreThatCannotBeMovedNowIsReadAsItIsAndMovedNextTime) {
    fs::create_directories(dir.file("LISTS"));
    MakeColumnsStore(store, "(CAST('/roms/a.zip' AS BLOB), 1, 100, 200, 300)");
    const std::string before = TempDir::read(store);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    RomStats stats;
    stats.SetWriteFailureReport(+[](const std::string& message) { Reported().push_back(message); });
    Reported().clear();
    EXPECT_EQ(stats.Open(store), "");  // after the wait for the lock
    EXPECT_EQ(stats.Facts("/roms/a.zip"), Facts(true, 100, 200, 300));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    stats.SetFavourite("/roms/a.zip", false);
    EXPECT_EQ(Reported().size(), 1u);
    EXPECT_FALSE(stats.Facts("/roms/a.zip").Favourite);
    EXPECT_EQ(TempDir::read(store), before);

    EXPECT_EQ(Reread("/roms/a.zip"), Facts(true, 100, 200, 300));
    EXPECT_EQ(RunSql(store, "PRAGMA user_version"), "2");
}

// Facts this build cannot have written, in one row, or a layout it does not know, make the store
// unreadable: it is set aside whole rather than read as made-up facts.
TEST_F(Stats, AStoreWithARowOrLayoutItCannotReadIsSetAside) {
    const std::vector<std::string> damage = {
        "UPDATE rom_facts SET facts = X'0700000000' WHERE path = CAST('/roms/b' AS BLOB)",    // no mark
        "UPDATE rom_facts SET facts = X'010203' WHERE path = CAST('/roms/b' AS BLOB)",        // cut short
        "UPDATE rom_facts SET facts = X'01020304FF01' WHERE path = CAST('/roms/b' AS BLOB)",  // too long
        "UPDATE rom_facts SET facts = X'0102FFFFFFFFFFFFFFFFFF7F04' WHERE path = CAST('/roms/b' AS BLOB)",
        "PRAGMA user_version = 3",  // a later build's layout
    };
    for (std::size_t round = 0; round < damage.size(); ++round) {
        SCOPED_TRACE(damage[round]);
        fs::remove(store);
        {
            RomStats good;
            ASSERT_EQ(good.Open(store), "");
            good.RecordPlay("/roms/a", 1, 2);
            good.RecordPlay("/roms/b", 3, 4);
        }
        ASSERT_EQ(Reread("/roms/b"), Facts(false, 3, 4, 0));
        RunSql(store, damage[round]);
        const std::string bytes = TempDir::read(store);
        RomStats stats;
        EXPECT_NE(stats.Open(store).find("could not be read. It was set aside"), std::string::npos);
        EXPECT_EQ(stats.Count(), 0u);
        const std::string aside =
            dir.file("LISTS/Stats-") + Today() + (round ? "-" + std::to_string(round + 1) : "") + ".db";
        EXPECT_EQ(TempDir::read(aside), bytes);
    }
}
