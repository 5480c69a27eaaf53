// EmuManager's list operations, the duplicate test and folder scans over real folders.
#include <gtest/gtest.h>

#include <set>
#include <chrono>
#include <sys/stat.h>
#include <unistd.h>

#include "ListBuilders.h"
#include "support/RecordingProgress.h"
#include "support/TempDir.h"
#include "catalogue/Emusystem.h"
#include "mainwindow/Settings.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

std::unique_ptr<RomRecord> RomAt(const std::string& path, const std::string& name = "rom") {
    auto rom = NewRomRecord();
    SetFieldText(rom->FilePath, path);
    SetFieldText(rom->Name, name);
    return rom;
}

std::vector<std::string> Names(const EmuManager& m) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < m.RomCount(); ++i)
        names.push_back(m.GetRom(i) ? FieldText(m.GetRom(i)->Name) : "<empty>");
    return names;
}

std::vector<std::string> Paths(const EmuManager& m) {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < m.RomCount(); ++i) paths.push_back(FieldText(m.GetRom(i)->FilePath));
    return paths;
}

struct Manager : ::testing::Test {
    TempDir dir;
    EmuManager m{dir.file("Tarnwick.log")};
};

struct Scan : Manager {
    std::unique_ptr<EmulatorRecord> emu = NewEmulatorRecord();
    std::string roms = dir.file("roms");
    void SetUp() override {
        // Bytes after the texts' ends must be copied too.
        std::memset(emu.get(), 0x5C, sizeof(EmulatorRecord));
        SetFieldText(emu->Name, "Nes");
        emu->Name[10] = '\x7F';
        emu->SystemIndex = 2;
        Settings.DefaultType = 3;
        Settings.DefaultRating = 50;
        for (const char* name : {"a.zip", "b.ZIP", "c.txt", "d/d.zip", ".e.zip", "f.zip.bak"})
            dir.write(std::string("roms/") + name, "rom");
    }
    void TearDown() override { Settings = SettingsRecord(); }
    int32_t Run(std::vector<std::string> filters, bool check = true, const std::string& folder = "") {
        return m.ScanFolder(*emu, folder.empty() ? roms : folder, filters, check).added;
    }
};

}  // namespace

TEST_F(Manager, AddDeleteAndPack) {
    int32_t expected = 0;
    for (const char* name : {"r0", "r1", "r2", "r3", "r4"})
        EXPECT_EQ(m.AddRom(RomAt(std::string("/x/") + name, name)), expected++);
    m.MarkRomRemoved(1);
    m.MarkRomRemoved(3);
    EXPECT_EQ(m.GetRom(1), nullptr);
    EXPECT_EQ(FieldView(m.GetRom(2)->Name), "r2");  // other indices stay valid
    EXPECT_EQ(m.RomCount(), 5);
    m.PackRoms();
    EXPECT_EQ(Names(m), (std::vector<std::string>{"r0", "r2", "r4"}));

    auto taken = m.DeleteRom(0);
    EXPECT_EQ(FieldView(taken->FilePath), "/x/r0");  // still readable after removal
    EXPECT_EQ(Names(m), (std::vector<std::string>{"r2", "r4"}));
    EXPECT_THROW(m.DeleteRom(2), ECatalogueError);
    EXPECT_EQ(m.GetRom(2), nullptr);
    EXPECT_EQ(m.GetRom(-1), nullptr);
    m.ClearRoms();
    EXPECT_EQ(m.RomCount(), 0);

    auto emu = NewEmulatorRecord();
    SetFieldText(emu->Name, "Nes");
    m.AddEmu(std::move(emu));
    EXPECT_EQ(FieldView(m.DeleteEmu(0)->Name), "Nes");
    EXPECT_EQ(m.EmuCount(), 0);
    EXPECT_EQ(m.GetEmu(0), nullptr);
}

TEST_F(Manager, SaveSkipsEmptySlots) {
    m.AddRom(RomAt("/a", "a"));
    m.AddRom(RomAt("/b", "b"));
    m.MarkRomRemoved(0);
    m.SaveRomList(dir.file("ROMS.LST"));
    EXPECT_EQ(TempDir::read(dir.file("ROMS.LST")).size(), builders::RomSize);
}

TEST_F(Manager, IsDuplicateComparesBytesAndChangesNothing) {
    EXPECT_FALSE(m.IsDuplicate(*RomAt("/roms/a.zip")));
    m.AddRom(RomAt("/ROMS/b.zip"));
    m.AddRom(RomAt("/roms/A.ZIP"));
    const auto candidate = RomAt("/roms/a.zip");
    EXPECT_FALSE(m.IsDuplicate(*candidate));  // another file on this platform
    EXPECT_TRUE(m.IsDuplicate(*RomAt("/roms/A.ZIP")));
    EXPECT_EQ(FieldView(candidate->FilePath), "/roms/a.zip");
    EXPECT_EQ(Paths(m), (std::vector<std::string>{"/ROMS/b.zip", "/roms/A.ZIP"}));
}

TEST_F(Scan, MatchesPlainFilesIgnoringCase) {
    EXPECT_EQ(Run({"*.ZIP"}), 2);
    EXPECT_EQ(Names(m), (std::vector<std::string>{"a.zip", "b.ZIP"}));  // no subfolder, no hidden
    EXPECT_EQ(Paths(m), (std::vector<std::string>{roms + "/a.zip", roms + "/b.ZIP"}));
    EXPECT_EQ(Run({"?.txt", "*.bak"}, false), 2);
    EXPECT_EQ(FieldView(m.GetRom(2)->Name), "c.txt");
    EXPECT_EQ(FieldView(m.GetRom(3)->Name), "f.zip.bak");
    EXPECT_EQ(Run({"*.*"}, true), 0);  // everything there is catalogued already
}

TEST_F(Scan, NewRomsTakeDefaultsAndAByteCopyOfTheEmulator) {
    ASSERT_EQ(Run({"a.zip"}), 1);
    const RomRecord& rom = *m.GetRom(0);
    EXPECT_EQ(std::memcmp(&rom.Emulator, emu.get(), sizeof(EmulatorRecord)), 0);
    EXPECT_EQ(rom.TimesPlayed, 0);
    EXPECT_EQ(rom.LanguageIndex, 0);
    EXPECT_EQ(rom.TypeIndex, 3);
    EXPECT_EQ(rom.Rating, 50);
}

TEST_F(Scan, DuplicatesAgainstTheListAndWithinOneScan) {
    EXPECT_EQ(Run({"*.zip", "*.ZIP"}, true), 2);  // the second filter finds the same files
    EXPECT_EQ(Run({"*.zip"}, true), 0);
    EXPECT_EQ(m.RomCount(), 2);
    EXPECT_EQ(Run({"*.zip", "*.ZIP"}, false), 4);
    EXPECT_EQ(m.RomCount(), 6);
    // Slots emptied before a scan are no duplicates.
    m.ClearRoms();
    m.AddRom(RomAt(roms + "/a.zip"));
    m.MarkRomRemoved(0);
    EXPECT_EQ(Run({"a.zip"}, true), 1);
}

TEST_F(Scan, TrailingSlashOrARelativeFolderGiveTheSameAbsolutePaths) {
    Run({"a.zip"}, false, roms);
    Run({"a.zip"}, false, roms + "/");
    const std::string before = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(dir.path()));
    Run({"a.zip"}, false, "./x/../" + roms.substr(dir.path().size()));
    SetCurrentFolder(before);
    EXPECT_EQ(Paths(m), (std::vector<std::string>{roms + "/a.zip", roms + "/a.zip", roms + "/a.zip"}));
}

TEST_F(Scan, MissingFolderScansToNothingAndEmptyFolderTextFails) {
    EXPECT_EQ(Run({"*.zip"}, true, dir.file("nowhere")), 0);
    EXPECT_EQ(Run({"*.none"}), 0);
    EXPECT_EQ(Run({}), 0);
    EXPECT_THROW(m.ScanFolder(*emu, "", {"*.zip"}, true), ECatalogueError);
    EXPECT_EQ(m.RomCount(), 0);
}

TEST_F(Scan, LongNamesAreCutAndTooLongPathsSkipped) {
    const std::string longName = std::string(38, 'n') + "\xC3\xA9.zip";  // 44 bytes
    dir.write("long/" + longName, "x");
    // FilePath holds 255 bytes and its terminator.
    const std::string base = dir.file("long/");
    const std::string fits(255 - base.size(), 'f');
    const std::string tooLong(256 - base.size(), 'g');
    dir.write("long/" + fits, "x");
    dir.write("long/" + tooLong, "x");
    EXPECT_EQ(Run({"*"}, true, dir.file("long")), 2);
    EXPECT_EQ(FieldView(m.GetRom(0)->Name), fits.substr(0, 39));
    EXPECT_EQ(FieldView(m.GetRom(0)->FilePath), base + fits);
    EXPECT_EQ(FieldView(m.GetRom(1)->Name), std::string(38, 'n'));  // the é would be split
    EXPECT_EQ(FieldView(m.GetRom(1)->FilePath), base + longName);
}

// A tree of ROM folders: files at each level, a hidden folder and a link back up the tree.
struct TreeScan : Scan {
    std::string tree = dir.file("tree");
    void SetUp() override {
        Scan::SetUp();
        for (const char* name :
             {"top.zip", "b/b1.zip", "b/b2.zip", "A/a1.zip", "A/deep/a2.zip", ".hidden/h.zip", "c/note.txt"})
            dir.write(std::string("tree/") + name, "rom");
        ASSERT_EQ(symlink(tree.c_str(), (tree + "/b/loop").c_str()), 0);
        ASSERT_EQ(symlink((tree + "/b").c_str(), (tree + "/z-link").c_str()), 0);
    }
    ScanResult Walk(Progress& progress = NoProgress()) {
        return m.ScanFolder(*emu, tree, {"*.zip"}, true, true, progress);
    }
};

TEST_F(TreeScan, SubfoldersInNameOrderWithoutHiddenFoldersOrLinks) {
    const ScanResult r = Walk();
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(r.added, 5);
    EXPECT_EQ(Paths(m),
              (std::vector<std::string>{tree + "/top.zip", tree + "/A/a1.zip", tree + "/A/deep/a2.zip",
                                        tree + "/b/b1.zip", tree + "/b/b2.zip"}));
    EXPECT_EQ(Walk().added, 0);  // the duplicate check covers the whole tree
    // Without subfolders the scan is the folder alone.
    m.ClearRoms();
    EXPECT_EQ(m.ScanFolder(*emu, tree, {"*.zip"}, true).added, 1);
}

TEST_F(TreeScan, StoppedScanKeepsExactlyTheRomsBeforeTheStop) {
    for (int stopAt : {1, 3, 5}) {
        m.ClearRoms();
        RecordingProgress progress;
        progress.stopAt = stopAt;
        const ScanResult r = Walk(progress);
        EXPECT_TRUE(r.stopped);
        EXPECT_EQ(r.added, stopAt);
        ASSERT_EQ(m.RomCount(), stopAt);
        const std::vector<std::string> order{"top.zip", "a1.zip", "a2.zip", "b1.zip", "b2.zip"};
        for (int i = 0; i < stopAt; ++i) EXPECT_EQ(FieldView(m.GetRom(i)->Name), order[i]);
        EXPECT_EQ(progress.asked, stopAt);  // nothing is looked at after the stop
        EXPECT_EQ(progress.depth, 0);
        EXPECT_EQ(progress.LastAdvance().text,
                  std::to_string(stopAt) + " files looked at, " + std::to_string(stopAt) + " ROMs added");
    }
}

TEST_F(Scan, ProgressOfALargeFolderIsReportedNowAndThenNotPerFile) {
    constexpr int files = 3000;
    for (int i = 0; i < files; ++i) dir.write("many/g" + std::to_string(i) + ".zip", "");
    RecordingProgress progress;
    const auto start = std::chrono::steady_clock::now();
    const ScanResult r = m.ScanFolder(*emu, dir.file("many"), {"*.zip"}, true, false, progress);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.added, files);
    EXPECT_EQ(r.examined, files);
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(progress.asked, files);  // the stop question is cheap and asked at every file
    ASSERT_FALSE(progress.calls.empty());
    EXPECT_EQ(progress.calls.front().kind, RecordingProgress::Kind::Begin);
    EXPECT_EQ(progress.calls.back().kind, RecordingProgress::Kind::End);
    // One report per interval that passed, and the closing one: never one per file.
    const auto intervals = took / ProgressRun::ReportInterval;
    EXPECT_LE(progress.Count(RecordingProgress::Kind::Advance), intervals + 1);
    EXPECT_EQ(progress.LastAdvance().number, files);
    EXPECT_EQ(progress.LastAdvance().text, "3000 files looked at, 3000 ROMs added");
}

TEST_F(Manager, RecordsFreedAndTakenAgainStayApart) {
    for (int i = 0; i < 3000; ++i) m.AddRom(RomAt("/p", "first" + std::to_string(i)));
    for (int i = 0; i < 3000; i += 2) m.MarkRomRemoved(i);
    m.PackRoms();
    for (int i = 0; i < 2000; ++i) m.AddRom(RomAt("/p", "second" + std::to_string(i)));
    ASSERT_EQ(m.RomCount(), 3500);
    std::set<const RomRecord*> seen;
    for (int32_t i = 0; i < m.RomCount(); ++i) {
        seen.insert(m.GetRom(i));
        const std::string expected =
            i < 1500 ? "first" + std::to_string(2 * i + 1) : "second" + std::to_string(i - 1500);
        ASSERT_EQ(FieldView(m.GetRom(i)->Name), expected);
    }
    EXPECT_EQ(seen.size(), 3500u);
}
