// The unzip engine called through its entry point on archives made by Info-ZIP zip and by
// Python: the extract options, traditional encryption, hostile names, damage and stopping.
#include "EngineHarness.h"
#include "support/Archives.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {
namespace fs = std::filesystem;

// An Info-ZIP archive of top.txt, sub/inner.txt and sub/deeper/deep.bin (with folder entries).
class UnzEngine : public ::testing::Test {
protected:
    TempDir dir_;
    EngineHarness engine_;
    std::string archive_ = dir_.file("info.zip");
    std::string out_ = dir_.file("out/");

    void SetUp() override {
        dir_.write("src/top.txt", "top");
        dir_.write("src/sub/inner.txt", "inner");
        dir_.write("src/sub/deeper/deep.bin", std::string(100000, 'd'));
        SetFileTime(dir_.file("src/top.txt"), 1600000001);
        ASSERT_EQ(RunShell("cd " + dir_.file("src") + " && zip -q -r ../info.zip top.txt sub"), 0);
        fs::create_directories(out_);
    }

    int32_t extract(UnzExecRecord& record) {
        InFolder here(out_);
        return engine_.unzip(record);
    }
};

TEST_F(UnzEngine, ExtractsWithOrWithoutStoredFolders) {
    UnzExecRecord record = engine_.extractRecord(archive_, {"*.*"});
    record.Directories = 1;
    EXPECT_EQ(extract(record), 3);
    EXPECT_EQ(Listing(out_), "sub/ sub/deeper/ sub/deeper/deep.bin sub/inner.txt top.txt ");
    EXPECT_EQ(TempDir::read(out_ + "sub/deeper/deep.bin"), std::string(100000, 'd'));
    EXPECT_EQ(FileTime(out_ + "top.txt"), 1600000001);  // the exact time Info-ZIP keeps

    fs::remove_all(out_);
    fs::create_directories(out_);
    record.Directories = 0;
    EXPECT_EQ(extract(record), 3);
    EXPECT_EQ(Listing(out_), "deep.bin inner.txt top.txt ");
}

TEST_F(UnzEngine, ReplacesExistingFilesOnlyWithOverwrite) {
    dir_.write("out/top.txt", "mine");
    UnzExecRecord record = engine_.extractRecord(archive_, {"top.txt"});
    EXPECT_EQ(extract(record), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_EXISTS));
    EXPECT_EQ(TempDir::read(out_ + "top.txt"), "mine");
    record.OverWrite = 1;
    EXPECT_EQ(extract(record), 1);
    EXPECT_EQ(TempDir::read(out_ + "top.txt"), "top");
}

TEST_F(UnzEngine, FreshenAndUpdateReplaceOnlyOlderFiles) {
    auto prepare = [&] {
        fs::remove_all(out_);
        dir_.write("out/top.txt", "older");
        dir_.write("out/sub/inner.txt", "newer");
        SetFileTime(out_ + "top.txt", 1000000000);
        SetFileTime(out_ + "sub/inner.txt", 2000000000);
    };
    prepare();
    UnzExecRecord record = engine_.extractRecord(archive_, {"*.*"});
    record.Directories = 1;
    record.Freshen = 1;
    EXPECT_EQ(extract(record), 1);
    EXPECT_EQ(TempDir::read(out_ + "top.txt"), "top");
    EXPECT_EQ(TempDir::read(out_ + "sub/inner.txt"), "newer");
    EXPECT_FALSE(Exists(out_ + "sub/deeper/deep.bin"));

    prepare();
    record.Freshen = 0;
    record.Update = 1;
    EXPECT_EQ(extract(record), 2);
    EXPECT_EQ(TempDir::read(out_ + "top.txt"), "top");
    EXPECT_EQ(TempDir::read(out_ + "sub/inner.txt"), "newer");
    EXPECT_TRUE(Exists(out_ + "sub/deeper/deep.bin"));

    EXPECT_EQ(extract(record), 0);  // all up to date now: no fault
    EXPECT_EQ(engine_.messages(ZERR_NOTHING_TO_DO).size(), 0u);
    UnzExecRecord absent = engine_.extractRecord(archive_, {"absent.txt"});
    EXPECT_EQ(extract(absent), 0);
    EXPECT_EQ(engine_.messages(ZERR_NOTHING_TO_DO).size(), 1u);
}

TEST_F(UnzEngine, TestOnlyWritesNothingAndNamesDamagedMembers) {
    UnzExecRecord record = engine_.extractRecord(archive_, {"*.*"});
    record.Test = 1;
    record.Directories = 1;
    EXPECT_EQ(extract(record), 3);
    EXPECT_EQ(Listing(out_), "");

    // Flip one byte inside the data of sub/deeper/deep.bin.
    std::string damaged = dir_.file("damaged.zip");
    ASSERT_EQ(RunShell("python3 -c 'import zipfile,sys\n"
                       "z=zipfile.ZipFile(sys.argv[1]); i=z.getinfo(\"sub/deeper/deep.bin\")\n"
                       "b=bytearray(open(sys.argv[1],\"rb\").read())\n"
                       "p=i.header_offset+30+len(i.filename)+int.from_bytes(b[i.header_offset+28:i.header_"
                       "offset+30],\"little\")\n"
                       "b[p+i.compress_size//2]^=0x55; open(sys.argv[2],\"wb\").write(b)' " +
                       archive_ + " " + damaged),
              0);
    UnzExecRecord test = engine_.extractRecord(damaged, {"*.*"});
    test.Test = 1;
    EXPECT_EQ(extract(test), 2);
    ASSERT_EQ(engine_.messages(ZERR_BAD_DATA).size(), 1u);
    EXPECT_NE(engine_.messages(ZERR_BAD_DATA)[0].find("deep.bin"), std::string::npos);
}

TEST_F(UnzEngine, ReadsTraditionalEncryptionWithTheRightPasswordOnly) {
    std::string locked = dir_.file("locked.zip");
    ASSERT_EQ(RunShell("cd " + dir_.file("src") + " && zip -q -P pass123 ../locked.zip top.txt"), 0);
    UnzExecRecord record = engine_.extractRecord(locked, {"top.txt"});
    EXPECT_EQ(extract(record), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_PASSWORD));
    record.Password = "wrong!";
    EXPECT_EQ(extract(record), 0);
    EXPECT_TRUE(engine_.hasError(ZERR_PASSWORD) || engine_.hasError(ZERR_BAD_DATA));
    EXPECT_EQ(Listing(out_), "");  // no part file left behind
    record.Password = "pass123";
    EXPECT_EQ(extract(record), 1);
    EXPECT_EQ(TempDir::read(out_ + "top.txt"), "top");
}

TEST_F(UnzEngine, MembersLeadingOutsideTheTargetAreSkipped) {
    std::string slip = dir_.file("slip.zip");
    std::string absolute = dir_.file("absolute-victim");
    ASSERT_EQ(
        RunShell("python3 -c 'import zipfile,sys\n"
                 "z=zipfile.ZipFile(sys.argv[1],\"w\")\n"
                 "for n in [\"../evil\", sys.argv[2], \"a/../../evil2\", \"..\\\\evil3\", \"ok.txt\"]:\n"
                 "  z.writestr(zipfile.ZipInfo(n), \"x\")\n"
                 "l=zipfile.ZipInfo(\"link\"); l.create_system=3; l.external_attr=0o120777<<16\n"
                 "z.writestr(l, \"..\"); z.writestr(\"link/evil4\", \"x\")' " +
                 slip + " " + absolute),
        0);
    for (int folders : {1, 0}) {
        UnzExecRecord record = engine_.extractRecord(slip, {"*.*"});
        record.Directories = folders;
        record.OverWrite = 1;
        // A symbolic link is never made, so nothing can be written through one.
        EXPECT_EQ(extract(record), 2);
        EXPECT_EQ(engine_.messages(ZERR_UNSAFE_NAME).size(), 4u);
        EXPECT_EQ(engine_.messages(ZERR_UNSUPPORTED).size(), 1u);
        EXPECT_EQ(Listing(out_), folders ? "link/ link/evil4 ok.txt " : "evil4 ok.txt ");
        fs::remove_all(out_);
        fs::create_directories(out_);
        EXPECT_FALSE(Exists(dir_.file("evil4")));
        EXPECT_FALSE(Exists(dir_.file("evil")));
        EXPECT_FALSE(Exists(dir_.file("evil2")));
        EXPECT_FALSE(Exists(absolute));
    }
}

TEST_F(UnzEngine, StopEndsAtOnceAndLeavesNoPartFile) {
    std::string big = dir_.file("big.zip");
    ASSERT_EQ(RunShell("head -c 3000000 /dev/urandom > " + dir_.file("src/big.bin") + " && cd " +
                       dir_.file("src") + " && zip -q ../big.zip big.bin top.txt"),
              0);
    UnzExecRecord record = engine_.extractRecord(big, {"*.*"});
    engine_.stopWhen = [](const EngineEvent& e) { return e.action == ZACTION_BYTES_DONE; };
    EXPECT_EQ(extract(record), 0);
    EXPECT_EQ(engine_.events.back().action, ZACTION_BYTES_DONE);
    EXPECT_EQ(Listing(out_), "");
}

TEST_F(UnzEngine, SpecsPickMembersAndProgressFollowsTheOrder) {
    UnzExecRecord record = engine_.extractRecord(archive_, {"sub\\inner.txt", "*.BIN"});
    record.Directories = 1;
    EXPECT_EQ(extract(record), 2);
    EXPECT_EQ(Listing(out_), "sub/ sub/deeper/ sub/deeper/deep.bin sub/inner.txt ");
    std::vector<int> actions = engine_.actions();
    EXPECT_EQ(actions.front(), 5);
    EXPECT_EQ(actions[1], 6);
    EXPECT_EQ(actions.back(), 3);
    EXPECT_EQ(engine_.events[0].size, 2);
    EXPECT_EQ(engine_.events[1].size, 100005);
}

TEST_F(UnzEngine, ReadsAnArchiveCopiedBehindAStubUnadjusted) {
    std::string sfx = dir_.write("game.exe", std::string(3000, 'S') + TempDir::read(archive_));
    UnzExecRecord record = engine_.extractRecord(sfx, {"top.txt"});
    EXPECT_EQ(extract(record), 1);
    EXPECT_EQ(TempDir::read(out_ + "top.txt"), "top");
}

// Names without the UTF-8 flag are code page 437 when made on MS-DOS and the file name's own
// bytes when made on Unix, as the component lists them; a spec in either form finds them.
TEST_F(UnzEngine, NamesFollowTheCodePageRule) {
    std::string names = dir_.file("names.zip");
    // Python writes such names as UTF-8, so the byte 0x82 goes in over a placeholder.
    ASSERT_EQ(RunShell("python3 -c 'import zipfile,sys\n"
                       "z=zipfile.ZipFile(sys.argv[1],\"w\")\n"
                       "for n,s in [(\"dosX.txt\",0),(\"unixX.txt\",3)]:\n"
                       "  i=zipfile.ZipInfo(n); i.create_system=s; z.writestr(i,\"x\")\n"
                       "z.close(); b=open(sys.argv[1],\"rb\").read().replace(b\"X.txt\",b\"\\x82.txt\")\n"
                       "open(sys.argv[1],\"wb\").write(b)' " +
                       names),
              0);
    UnzExecRecord record = engine_.extractRecord(names, {"*.*"});
    EXPECT_EQ(extract(record), 2);
    EXPECT_EQ(Listing(out_), "dos\xc3\xa9.txt unix\x82.txt ");

    fs::remove_all(out_);
    fs::create_directories(out_);
    UnzExecRecord raw = engine_.extractRecord(names, {"dos\x82.txt"});
    EXPECT_EQ(extract(raw), 1);
    EXPECT_EQ(Listing(out_), "dos\xc3\xa9.txt ");
}

// Cut short anywhere, or with bytes changed, an archive gives messages and never a crash, a
// file outside the target, or an archive changed by a failed add.
TEST_F(UnzEngine, DamagedArchivesGiveMessagesOnly) {
    const std::string whole = TempDir::read(archive_);
    std::string damaged = dir_.file("damaged.zip");
    for (size_t cut = 0; cut < whole.size(); cut += 13) {
        for (bool flip : {false, true}) {
            std::string bytes = whole.substr(0, flip ? whole.size() : cut);
            if (flip) bytes[cut] = char(bytes[cut] ^ 0x5A);
            dir_.write("damaged.zip", bytes);
            UnzExecRecord record = engine_.extractRecord(damaged, {"*.*"});
            record.Directories = record.OverWrite = 1;
            EXPECT_LE(extract(record), 3);
            EXPECT_EQ(engine_.actions().back(), ZACTION_BATCH_END);
            ZipExecRecord add = engine_.addRecord(damaged, {dir_.file("src/top.txt")});
            if (engine_.zip(add) == 0) {
                EXPECT_EQ(TempDir::read(damaged), bytes);
            }
        }
    }
    EXPECT_EQ(Listing(dir_.path()).find(".tarnwick-"), std::string::npos);
}

// Little-endian fields changed in place, as the damaged archives below need.
void Poke16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = char(value), bytes[at + 1] = char(value >> 8);
}
void Poke32(std::string& bytes, size_t at, uint32_t value) {
    Poke16(bytes, at, uint16_t(value)), Poke16(bytes, at + 2, uint16_t(value >> 16));
}

// Archives that Info-ZIP reads but libzip refuses: their stored and deflated members come out
// through the component's reader and zlib, each checked against its CRC; a member whose CRC
// fails is reported and not written.
TEST_F(UnzEngine, ArchivesLibzipRefusesAreReadDirectly) {
    const std::string text = "a line of a text that deflates well\n";
    std::string deflated;
    for (int i = 0; i < 2000; ++i) deflated += text;
    const std::string made = archives::PythonZipArchive(
        dir_, "base.zip",
        {{"stored.txt", "stored bytes", 3, 20, "", false}, {"deflated.txt", deflated, 3, 20, "", true}});
    const std::string base = TempDir::read(made);
    const size_t end = base.rfind("PK\x05\x06"), central = base.find("PK\x01\x02");
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
    };
    const std::vector<Case> cases = {
        {"comment.zip", [&](std::string& b) { Poke16(b, end + 20, 5); }},  // "Zip archive inconsistent"
        {"thisdisk.zip", [&](std::string& b) { Poke16(b, end + 8, 1); }},  // "Not a zip archive"
        {"saturated.zip", [&](std::string& b) { Poke32(b, central + 20, 0xFFFFFFFF); }},  // "No such file"
        {"disks.zip", [&](std::string& b) { Poke16(b, end + 4, 1), Poke16(b, end + 6, 1); }},
    };
    for (const Case& c : cases) {
        std::string bytes = base;
        c.damage(bytes);
        std::string path = dir_.write(c.name, bytes);
        fs::remove_all(out_);
        fs::create_directories(out_);
        UnzExecRecord record = engine_.extractRecord(path, {"*.*"});
        EXPECT_EQ(extract(record), 2) << c.name;
        EXPECT_EQ(TempDir::read(out_ + "stored.txt"), "stored bytes") << c.name;
        EXPECT_EQ(TempDir::read(out_ + "deflated.txt"), deflated) << c.name;
        ASSERT_FALSE(engine_.messages(ZERR_NONE).empty());
        EXPECT_NE(engine_.messages(ZERR_NONE).front().find("libzip cannot open"), std::string::npos)
            << c.name;
    }
    EXPECT_EQ(archives::UnzipTest(dir_.file("comment.zip")), 0) << "Info-ZIP reads it";
    EXPECT_EQ(archives::UnzipTest(dir_.file("saturated.zip")), 0);

    // A byte of each member changed: the CRC fails, nothing is written, both are named.
    std::string bytes = TempDir::read(dir_.file("comment.zip"));
    bytes[bytes.find("stored bytes")] = 'S';
    bytes[base.find("deflated.txt") + 12 + 40] ^= 0x10;
    std::string damaged = dir_.write("damaged.zip", bytes);
    fs::remove_all(out_);
    fs::create_directories(out_);
    UnzExecRecord record = engine_.extractRecord(damaged, {"*.*"});
    EXPECT_EQ(extract(record), 0);
    EXPECT_EQ(engine_.messages(ZERR_BAD_DATA).size(), 2u);
    EXPECT_EQ(Listing(out_), "");
}

TEST_F(UnzEngine, RoundTripThroughBothEnginesKeepsContentsAndTimes) {
    SetFileTime(dir_.file("src/sub/inner.txt"), 1500000002);
    std::string ours = dir_.file("ours.zip");
    ZipExecRecord add;
    {
        InFolder here(dir_.file("src"));
        add = engine_.addRecord(ours, {"*"});
        add.JunkDirs = 0;
        add.Recurse = 1;
        add.NoDirEntries = 0;
        ASSERT_EQ(engine_.zip(add), 5);
    }
    UnzExecRecord record = engine_.extractRecord(ours, {});
    record.Directories = 1;
    EXPECT_EQ(extract(record), 3);
    EXPECT_EQ(Listing(out_), "sub/ sub/deeper/ sub/deeper/deep.bin sub/inner.txt top.txt ");
    EXPECT_EQ(TempDir::read(out_ + "sub/inner.txt"), "inner");
    EXPECT_EQ(FileTime(out_ + "sub/inner.txt"), 1500000002);
}
}  // namespace
