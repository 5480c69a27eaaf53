// The zip engine called through its entry point: archives Info-ZIP and Python accept, the
// add options, the callback order, and archives left as they were on failure or stop.
#include "EngineHarness.h"
#include "support/Archives.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {
std::string Compressible(size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i)
        text += "line " + std::to_string(i % 97) + " of a text that repeats\n";
    text.resize(size);
    return text;
}

class ZipEngine : public ::testing::Test {
protected:
    TempDir dir_;
    EngineHarness engine_;
    std::string archive_ = dir_.file("out.zip");

    std::string names() { return PythonNames(archive_); }
};

TEST_F(ZipEngine, LevelZeroStoresAndNineDeflatesIntoSoundArchives) {
    std::string a = dir_.write("src/a.txt", Compressible(200000));
    std::string b = dir_.write("src/b.txt", "short");
    for (int level : {0, 9}) {
        std::string path = dir_.file("level" + std::to_string(level) + ".zip");
        ZipExecRecord add = engine_.addRecord(path, {a, b});
        add.Level = level;
        EXPECT_EQ(engine_.zip(add), 2);
        EXPECT_TRUE(ArchiveTestsGood(path));
        EXPECT_EQ(PythonZip(path, "print([i.compress_type for i in z.infolist()])"),
                  level == 0 ? "[0, 0]\n" : "[8, 8]\n");
    }
    EXPECT_LT(std::filesystem::file_size(dir_.file("level9.zip")) * 10,
              std::filesystem::file_size(dir_.file("level0.zip")));
}

TEST_F(ZipEngine, FolderNamesAreKeptOrDropped) {
    std::string file = dir_.write("roms/nes/game.nes", "data");
    ZipExecRecord add = engine_.addRecord(archive_, {file});
    ASSERT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(names(), "game.nes\n");

    std::filesystem::remove(archive_);
    add.JunkDirs = 0;
    ASSERT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(names(), file.substr(1) + "\n");  // the absolute path without its root

    InFolder here(dir_.path());
    std::filesystem::remove(archive_);
    ZipExecRecord relative = engine_.addRecord(archive_, {"roms/nes/../nes/game.nes"});
    relative.JunkDirs = 0;
    ASSERT_EQ(engine_.zip(relative), 1);
    EXPECT_EQ(names(), "roms/nes/game.nes\n");
}

TEST_F(ZipEngine, RecursionMatchesMasksAtEveryLevelAndHonoursHiddenAndFolderOptions) {
    for (const char* name : {"a.nes", "b.txt", "s1/c.nes", "s1/s2/d.NES", ".h.nes", ".hid/e.nes"})
        dir_.write(std::string("top/") + name, name);
    std::filesystem::create_directories(dir_.file("top/empty"));
    InFolder here(dir_.file("top"));
    auto run = [&](const std::string& mask, bool recurse, bool hidden, bool folders) {
        std::filesystem::remove(archive_);
        ZipExecRecord add = engine_.addRecord(archive_, {mask});
        add.JunkDirs = 0;
        add.Recurse = recurse;
        add.IncludeHidden = hidden;
        add.NoDirEntries = !folders;
        engine_.zip(add);
        return names();
    };
    EXPECT_EQ(run("*.nes", false, false, false), "a.nes\n");
    EXPECT_EQ(run("*.nes", true, false, false), "a.nes\ns1/c.nes\ns1/s2/d.NES\n");
    EXPECT_EQ(run("*.nes", true, true, false), ".h.nes\na.nes\n.hid/e.nes\ns1/c.nes\ns1/s2/d.NES\n");
    EXPECT_EQ(run("*.nes", true, false, true), "a.nes\ns1/\ns1/c.nes\ns1/s2/\ns1/s2/d.NES\n");
    EXPECT_EQ(run("*", true, false, true), "a.nes\nb.txt\nempty/\ns1/\ns1/c.nes\ns1/s2/\ns1/s2/d.NES\n");
    EXPECT_TRUE(ArchiveTestsGood(archive_));
}

// Names on Unix may hold '*' or '?': a file named exactly like the pattern is taken alone, with
// or without recursion; a spec that names no file still matches by wildcards.
TEST_F(ZipEngine, AFileNamedLikeAMaskIsTakenAlone) {
    for (const char* name : {"a*b.nes", "axb.nes", "ab.nes", "q?.nes", "sub/a*b.nes", "sub/ayb.nes"})
        dir_.write(std::string("roms/") + name, name);
    InFolder here(dir_.file("roms"));
    for (int recurse : {0, 1}) {
        std::filesystem::remove(archive_);
        ZipExecRecord add = engine_.addRecord(archive_, {"a*b.nes", "q?.nes"});
        add.Recurse = recurse;
        EXPECT_EQ(engine_.zip(add), 2) << "recurse " << recurse;
        EXPECT_EQ(names(), "a*b.nes\nq?.nes\n");
    }
    std::filesystem::remove(archive_);
    ZipExecRecord mask = engine_.addRecord(archive_, {"a?b.nes"});
    EXPECT_EQ(engine_.zip(mask), 2);
    EXPECT_EQ(names(), "a*b.nes\naxb.nes\n");
}

TEST_F(ZipEngine, MoveDeletesSourcesOnlyOnceTheArchiveIsWritten) {
    std::string a = dir_.write("src/a.bin", "aaa"), b = dir_.write("src/b.bin", Compressible(5000));
    ZipExecRecord add = engine_.addRecord(archive_, {dir_.file("src/*.bin")});
    add.Move = 1;
    // The second file vanishes while the first is read: the add fails and nothing moves.
    engine_.stopWhen = [&](const EngineEvent& e) {
        if (e.action == ZACTION_FILE_BEGIN && e.text == "a.bin") std::filesystem::remove(b);
        return false;
    };
    EXPECT_EQ(engine_.zip(add), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_READ));
    EXPECT_TRUE(Exists(a));
    EXPECT_FALSE(Exists(archive_));

    dir_.write("src/b.bin", "bbb");
    engine_.stopWhen = nullptr;
    EXPECT_EQ(engine_.zip(add), 2);
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Exists(b));
    EXPECT_EQ(names(), "a.bin\nb.bin\n");

    // Moving a tree takes its folders too, once they are empty.
    dir_.write("tree/sub/c.bin", "c");
    InFolder here(dir_.path());
    ZipExecRecord tree = engine_.addRecord(archive_, {"tree"});
    tree.Move = tree.Recurse = 1;
    tree.JunkDirs = tree.NoDirEntries = 0;
    EXPECT_EQ(engine_.zip(tree), 3);
    EXPECT_FALSE(Exists(dir_.file("tree")));
    EXPECT_EQ(names(), "a.bin\nb.bin\ntree/\ntree/sub/\ntree/sub/c.bin\n");
}

TEST_F(ZipEngine, FreshenAndUpdateCompareFileAndMemberTimes) {
    const long t = 1600000000;
    std::string old = dir_.write("src/old.txt", "old"), same = dir_.write("src/same.txt", "same");
    SetFileTime(old, t);
    SetFileTime(same, t);
    ZipExecRecord first = engine_.addRecord(archive_, {old, same});
    ASSERT_EQ(engine_.zip(first), 2);

    dir_.write("src/old.txt", "newer");
    SetFileTime(old, t + 100);
    std::string fresh = dir_.write("src/new.txt", "new");
    ZipExecRecord add = engine_.addRecord(archive_, {old, same, fresh});
    add.Freshen = 1;
    EXPECT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(names(), "old.txt\nsame.txt\n");
    EXPECT_EQ(PythonZip(archive_, "print(z.read(\"old.txt\").decode())"), "newer\n");

    add.Freshen = 0;
    add.Update = 1;
    EXPECT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(names(), "old.txt\nsame.txt\nnew.txt\n");

    add.Update = 0;  // a plain add replaces every member it names
    EXPECT_EQ(engine_.zip(add), 3);
    EXPECT_TRUE(ArchiveTestsGood(archive_));
}

// Info-ZIP stores exact times in extra fields; a replaced member must not keep the old ones,
// nor the old encryption.
TEST_F(ZipEngine, ReplacingAnInfoZipMemberDropsItsOldTimesAndEncryption) {
    std::string file = dir_.write("t.txt", "one");
    SetFileTime(file, 1500000000);
    ASSERT_EQ(RunShell("cd " + dir_.path() + " && zip -q out.zip t.txt"), 0);
    dir_.write("t.txt", "two");
    SetFileTime(file, 1600000000);
    ZipExecRecord add = engine_.addRecord(archive_, {file});
    add.Freshen = 1;
    EXPECT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(engine_.zip(add), 0);  // now up to date
    ASSERT_EQ(RunShell("cd " + dir_.path() + " && mkdir x && unzip -qq out.zip -d x"), 0);
    EXPECT_EQ(TempDir::read(dir_.file("x/t.txt")), "two");
    EXPECT_EQ(FileTime(dir_.file("x/t.txt")), 1600000000);

    // Nor its encryption: a plain add stores the new data plain.
    ASSERT_EQ(RunShell("cd " + dir_.path() + " && zip -q -P pw locked.zip t.txt"), 0);
    dir_.write("t.txt", "three");
    ZipExecRecord plain = engine_.addRecord(dir_.file("locked.zip"), {file});
    EXPECT_EQ(engine_.zip(plain), 1);
    EXPECT_EQ(ShellOutput("unzip -p " + dir_.file("locked.zip") + " t.txt"), "three");
}

TEST_F(ZipEngine, ArchiveTimeBecomesTheNewestEntrysTime) {
    std::string a = dir_.write("a.txt", "a"), b = dir_.write("b.txt", "b");
    SetFileTime(a, 1500000000);
    SetFileTime(b, 1500000600);
    ZipExecRecord add = engine_.addRecord(archive_, {a, b});
    add.LatestTime = 1;
    ASSERT_EQ(engine_.zip(add), 2);
    EXPECT_EQ(FileTime(archive_), 1500000600);
}

TEST_F(ZipEngine, DosNamesAreShortUpperCaseAndMarkedAsDos) {
    std::string file = dir_.write("Long File Name.text", "x");
    ZipExecRecord add = engine_.addRecord(archive_, {file});
    add.ForceDOS = 1;
    ASSERT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(PythonZip(archive_, "print([(i.filename, i.create_system) for i in z.infolist()])"),
              "[('LONG_FIL.TEX', 0)]\n");

    InFolder here(dir_.path());
    dir_.write("My Folder/v1.2.final.rom", "y");
    std::filesystem::remove(archive_);
    ZipExecRecord withFolders = engine_.addRecord(archive_, {"My Folder/v1.2.final.rom"});
    withFolders.ForceDOS = 1;
    withFolders.JunkDirs = 0;
    ASSERT_EQ(engine_.zip(withFolders), 1);
    EXPECT_EQ(names(), "MY_FOLDE/V1_2_FIN.ROM\n");
}

TEST_F(ZipEngine, EncryptionWritesAesThatOnlyThePasswordOpens) {
    std::string file = dir_.write("secret.txt", Compressible(3000));
    ZipExecRecord add = engine_.addRecord(archive_, {file});
    add.Encrypt = 1;
    EXPECT_EQ(engine_.zip(add), 0);  // no password: refused, nothing written
    EXPECT_TRUE(engine_.hasError(ZERR_PASSWORD));
    EXPECT_FALSE(Exists(archive_));

    add.Password = "s3cret";
    ASSERT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(PythonZip(archive_, "i=z.infolist()[0]; print(i.flag_bits & 1, i.compress_type)"), "1 99\n");
    EXPECT_NE(RunShell("unzip -tqq -P s3cret " + archive_ + " >/dev/null 2>&1"), 0);  // Info-ZIP lacks AES

    InFolder here(dir_.path());
    std::filesystem::remove(file);
    UnzExecRecord extract = engine_.extractRecord(archive_, {"*.*"});
    EXPECT_EQ(engine_.unzip(extract), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_PASSWORD));
    extract.Password = "s3cret";
    EXPECT_EQ(engine_.unzip(extract), 1);
    EXPECT_EQ(TempDir::read(file), Compressible(3000));
}

TEST_F(ZipEngine, ReportsTotalsFirstThenEachFileThenTheEnd) {
    std::string big = dir_.write("big.bin", Compressible(1500000));
    std::string small = dir_.write("small.bin", "12345");
    ZipExecRecord add = engine_.addRecord(archive_, {big, small});
    ASSERT_EQ(engine_.zip(add), 2);
    std::vector<int> actions = engine_.actions();
    ASSERT_GE(actions.size(), 6u);
    EXPECT_EQ(std::vector<int>(actions.begin(), actions.begin() + 3), (std::vector<int>{5, 6, 1}));
    EXPECT_EQ(actions.back(), 3);
    EXPECT_EQ(engine_.events.front().size, 2);
    EXPECT_EQ(engine_.events[1].size, 1500005);
    long bytes = 0;
    std::vector<std::string> begun;
    for (const auto& e : engine_.events) {
        if (e.action == ZACTION_FILE_BEGIN) begun.push_back(e.text + ":" + std::to_string(e.size));
        if (e.action == ZACTION_BYTES_DONE) bytes += e.size;
    }
    EXPECT_EQ(begun, (std::vector<std::string>{"big.bin:1500000", "small.bin:5"}));
    EXPECT_EQ(bytes, 1500005);
    EXPECT_GE(std::count(actions.begin(), actions.end(), 2), 3);  // a big file reports as it goes

    add.TraceEnabled = 1;
    ASSERT_EQ(engine_.zip(add), 2);
    EXPECT_EQ(engine_.events.front().text, "add to " + archive_ + ": 2 specs, level 9");
}

TEST_F(ZipEngine, StopOrFailureLeavesTheArchiveByteIdentical) {
    std::string first = dir_.write("first.txt", "first");
    ZipExecRecord start = engine_.addRecord(archive_, {first});
    ASSERT_EQ(engine_.zip(start), 1);
    std::string big = dir_.write("big.txt", Compressible(3000000));
    const std::string before = TempDir::read(archive_);
    const std::string listing = Listing(dir_.path());

    ZipExecRecord add = engine_.addRecord(archive_, {big, first});
    engine_.stopWhen = [](const EngineEvent& e) { return e.action == ZACTION_BYTES_DONE; };
    EXPECT_EQ(engine_.zip(add), 0);
    EXPECT_EQ(engine_.events.back().action, ZACTION_BYTES_DONE);  // nothing after the stop
    EXPECT_EQ(TempDir::read(archive_), before);
    EXPECT_EQ(Listing(dir_.path()), listing);  // no temporary file left

    // A file that cannot be read once writing began fails the whole add.
    std::string other = dir_.write("other.txt", "other");
    ZipExecRecord failing = engine_.addRecord(archive_, {big, other});
    engine_.stopWhen = [&](const EngineEvent& e) {
        if (e.action == ZACTION_FILE_BEGIN) std::filesystem::remove(other);
        return false;
    };
    EXPECT_EQ(engine_.zip(failing), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_READ));
    EXPECT_EQ(engine_.actions().back(), ZACTION_BATCH_END);
    EXPECT_EQ(TempDir::read(archive_), before);
    EXPECT_EQ(Listing(dir_.path()), listing);
}

// Bytes that do not compress, so a stored member costs its whole size to copy.
std::string Noise(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = char(x);
    }
    return bytes;
}

// Add and delete rewrite the archive, copying every member they keep: that copy is reported
// as bytes done within the announced total, and a stop during it leaves the archive as it was.
TEST_F(ZipEngine, CopyingTheKeptMembersIsReportedAndCanBeStopped) {
    std::string big = dir_.write("big.bin", Noise(3 << 20)), a = dir_.write("a.txt", "a"),
                b = dir_.write("b.txt", "b");
    std::string c = dir_.write("c.txt", "c");
    ZipExecRecord start = engine_.addRecord(archive_, {big, a, b});
    start.Level = 0;
    ASSERT_EQ(engine_.zip(start), 3);
    const std::string before = TempDir::read(archive_);
    const std::string listing = Listing(dir_.path());
    auto bytesDone = [&] {
        int64_t sum = 0;
        for (const EngineEvent& e : engine_.events)
            if (e.action == ZACTION_BYTES_DONE) sum += e.size;
        return sum;
    };

    for (bool deleting : {true, false}) {
        ZipExecRecord change =
            deleting ? engine_.deleteRecord(archive_, {"a.txt"}) : engine_.addRecord(archive_, {c});
        engine_.stopWhen = [](const EngineEvent& e) { return e.action == ZACTION_BYTES_DONE; };
        EXPECT_EQ(engine_.zip(change), 0);
        EXPECT_EQ(engine_.events.back().action, ZACTION_BYTES_DONE) << "nothing after the stop";
        EXPECT_EQ(TempDir::read(archive_), before);
        EXPECT_EQ(Listing(dir_.path()), listing) << "no temporary file left";
    }

    engine_.stopWhen = nullptr;
    ZipExecRecord del = engine_.deleteRecord(archive_, {"a.txt"});
    ASSERT_EQ(engine_.zip(del), 1);
    std::vector<int> actions = engine_.actions();
    ASSERT_GE(actions.size(), 8u);
    EXPECT_EQ(std::vector<int>(actions.begin(), actions.begin() + 3), (std::vector<int>{5, 6, 1}));
    EXPECT_GE(std::count(actions.begin(), actions.end(), int(ZACTION_BYTES_DONE)), 4);
    EXPECT_EQ(actions.back(), ZACTION_BATCH_END);
    EXPECT_EQ(bytesDone(), engine_.events[1].size) << "the copy adds up to the total";
    EXPECT_GE(engine_.events[1].size, 3 << 20);
    EXPECT_EQ(names(), "big.bin\nb.txt\n");
    EXPECT_TRUE(ArchiveTestsGood(archive_));
}

// A move deletes every file the archive then holds, those freshened and those already up to
// date alike, as Info-ZIP's does; a file the options leave out stays.
TEST_F(ZipEngine, MoveAlsoDeletesFilesTheArchiveHoldsUpToDate) {
    std::string a = dir_.write("a.bin", "aaa"), b = dir_.write("b.bin", "bbb");
    SetFileTime(a, 1500000000);
    SetFileTime(b, 1500000000);
    ZipExecRecord start = engine_.addRecord(archive_, {a, b});
    ASSERT_EQ(engine_.zip(start), 2);
    dir_.write("b.bin", "newer");
    SetFileTime(b, 1600000000);
    std::string c = dir_.write("c.bin", "not in the archive");
    ZipExecRecord move = engine_.addRecord(archive_, {a, b, c});
    move.Move = move.Freshen = 1;
    EXPECT_EQ(engine_.zip(move), 1) << "only b.bin is written";
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Exists(b));
    EXPECT_TRUE(Exists(c));
    EXPECT_EQ(PythonZip(archive_, "print(z.read(z.namelist()[1]).decode())"), "newer\n");
}

TEST_F(ZipEngine, DeleteRemovesTheNamedMembersOnly) {
    InFolder here(dir_.path());
    for (const char* name : {"a.nes", "dir/b.nes", "c.txt", "d.txt"}) dir_.write(name, name);
    ZipExecRecord add = engine_.addRecord(archive_, {"a.nes", "dir/b.nes", "c.txt", "d.txt"});
    add.JunkDirs = 0;
    ASSERT_EQ(engine_.zip(add), 4);
    const std::string before = TempDir::read(archive_);

    ZipExecRecord none = engine_.deleteRecord(archive_, {"zzz.nes"});
    EXPECT_EQ(engine_.zip(none), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_NOTHING_TO_DO));
    ZipExecRecord stopped = engine_.deleteRecord(archive_, {"*.*"});
    engine_.stopWhen = [](const EngineEvent& e) { return e.action == ZACTION_FILE_BEGIN; };
    EXPECT_EQ(engine_.zip(stopped), 0);
    EXPECT_EQ(TempDir::read(archive_), before);

    engine_.stopWhen = nullptr;
    ZipExecRecord del = engine_.deleteRecord(archive_, {"dir\\b.nes", "C.TXT"});
    EXPECT_EQ(engine_.zip(del), 2);
    EXPECT_EQ(engine_.actions(), (std::vector<int>{5, 6, 1, 1, 2, 3})) << "the kept members' bytes";
    EXPECT_EQ(names(), "a.nes\nd.txt\n");
    EXPECT_TRUE(ArchiveTestsGood(archive_));
}

// Names made on Unix may hold '*' or '?': naming such a member deletes it alone, while a mask
// that is no member's name still matches by wildcards.
TEST_F(ZipEngine, DeletingAMemberWhoseNameLooksLikeAMaskTakesThatMemberAlone) {
    ASSERT_EQ(RunShell("python3 -c 'import zipfile,sys\n"
                       "z=zipfile.ZipFile(sys.argv[1],\"w\")\n"
                       "[z.writestr(n, n) for n in (\"a?.nes\", \"ab.nes\", \"ac.nes\", \"b.txt\")]' " +
                       archive_),
              0);
    ZipExecRecord named = engine_.deleteRecord(archive_, {"a?.nes"});
    ASSERT_EQ(engine_.zip(named), 1);
    EXPECT_EQ(names(), "ab.nes\nac.nes\nb.txt\n");
    ZipExecRecord mask = engine_.deleteRecord(archive_, {"a?.nes"});
    ASSERT_EQ(engine_.zip(mask), 2);
    EXPECT_EQ(names(), "b.txt\n");
    EXPECT_TRUE(ArchiveTestsGood(archive_));
}

// The engines match masks as folder searches do: '?' is one character, é as much as b.
TEST_F(ZipEngine, AQuestionMarkInAMaskTakesOneCharacterOfAUtf8Name) {
    std::vector<archives::PyMember> members(3);
    members[0].name = "\xC3\xA9.nes";
    members[1].name = "ab.nes";
    members[2].name = "b.nes";
    archives::PythonZipArchive(dir_, "out.zip", members);
    ZipExecRecord mask = engine_.deleteRecord(archive_, {"?.nes"});
    ASSERT_EQ(engine_.zip(mask), 2);
    EXPECT_EQ(names(), "ab.nes\n");
    EXPECT_TRUE(ArchiveTestsGood(archive_));
}

// A self-extractor is a stub followed by an archive (zip64's records too), its offsets moved past
// the stub (zip -A) or not; rewriting it must keep the stub and leave offsets that count it.
TEST_F(ZipEngine, ArchivesBehindAStubKeepTheirStub) {
    std::string stub(7000, '\0');
    for (size_t i = 0; i < stub.size(); ++i) stub[i] = char(i * 7 % 251);
    std::string a = dir_.write("a.txt", "first"), b = dir_.write("b.txt", Compressible(2000000));
    ZipExecRecord plain = engine_.addRecord(dir_.file("plain.zip"), {a});
    ASSERT_EQ(engine_.zip(plain), 1);
    ASSERT_EQ(RunShell("cd " + dir_.path() + " && zip -q -fz zip64.zip a.txt"), 0);
    for (const std::string inner : {"plain.zip", "zip64.zip"})
        for (bool adjusted : {true, false}) {
            if (inner == "zip64.zip" && adjusted) continue;  // zip -A does not adjust zip64's records
            SCOPED_TRACE(inner + (adjusted ? " adjusted" : " raw"));
            std::string sfx = dir_.write(inner + (adjusted ? ".adjusted.exe" : ".raw.exe"),
                                         stub + TempDir::read(dir_.file(inner)));
            if (adjusted) {
                ASSERT_EQ(RunShell("zip -A -q " + sfx), 0);
            }
            const std::string before = TempDir::read(sfx);
            ZipExecRecord add = engine_.addRecord(sfx, {b});
            engine_.stopWhen = [](const EngineEvent& e) { return e.action == ZACTION_BYTES_DONE; };
            EXPECT_EQ(engine_.zip(add), 0);
            EXPECT_EQ(TempDir::read(sfx), before);

            engine_.stopWhen = nullptr;
            EXPECT_EQ(engine_.zip(add), 1);
            ZipExecRecord del = engine_.deleteRecord(sfx, {"a.txt"});
            EXPECT_EQ(engine_.zip(del), 1);
            EXPECT_EQ(TempDir::read(sfx).substr(0, stub.size()), stub);
            EXPECT_EQ(ShellOutput("unzip -tq " + sfx + " 2>&1"),
                      "No errors detected in compressed data of " + sfx + ".\n");
            EXPECT_EQ(PythonNames(sfx), "b.txt\n");
        }
}

TEST_F(ZipEngine, AnEmptyFileIsANewArchiveThatNeverTakesItselfIn) {
    std::string empty = dir_.write("empty.zip", "");
    dir_.write("a.txt", "a");
    ZipExecRecord add = engine_.addRecord(empty, {dir_.file("*")});
    EXPECT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(PythonNames(empty), "a.txt\n");
    EXPECT_EQ(engine_.zip(add), 1);
    EXPECT_EQ(PythonNames(empty), "a.txt\n");
    EXPECT_TRUE(ArchiveTestsGood(empty));
}

TEST_F(ZipEngine, RefusesWrongRecordsAndFilesThatAreNoArchives) {
    std::string file = dir_.write("a.txt", "a");
    ZipExecRecord add = engine_.addRecord(archive_, {file});
    add.Seven = 0;
    EXPECT_EQ(engine_.zip(add), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_BAD_RECORD));
    EXPECT_EQ(engine_.actions(), std::vector<int>{3});

    std::string junk = dir_.write("junk.zip", std::string(300, 'j'));
    ZipExecRecord onJunk = engine_.addRecord(junk, {file});
    EXPECT_EQ(engine_.zip(onJunk), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_OPEN_ARCHIVE));
    EXPECT_EQ(TempDir::read(junk), std::string(300, 'j'));
}
}  // namespace
