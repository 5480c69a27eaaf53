// Splitting archives into numbered volume files on a fixed drive and joining them back.
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/Files.h"
#include "tests/zip/ZipSpanFixture.h"
#include "zip/ZipSpan.h"

using namespace archives;
using namespace spantest;

namespace {

constexpr std::int64_t kStamp = 1600000000;
constexpr std::int32_t kVolume = 1 << 20;

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    return zipfmt::Get32(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

class SpanTest : public ComponentTest {
protected:
    // Splits an Info-ZIP archive of Games() into dir/set/games001.zip, ...; the volume paths.
    std::vector<std::string> SplitGames(std::size_t bigSize = 2500000) {
        files = Games(bigSize);
        source = InfoZipArchive(dir, "games.zip", files, "-0");
        const struct timespec times[2] = {{kStamp, 0}, {kStamp, 0}};
        utimensat(AT_FDCWD, source.c_str(), times, 0);
        std::filesystem::create_directories(dir.file("set"));
        zip.MaxVolumeSize = kVolume;
        EXPECT_EQ(zip.WriteSpan(source, dir.file("set/games.zip")), 0) << zip.LastMessage();
        return Volumes();
    }

    std::vector<std::string> Volumes() const {
        std::vector<std::string> volumes;
        for (int i = 0; FileExists(VolumeFileName(dir.file("set/games.zip"), i)); ++i)
            volumes.push_back(VolumeFileName(dir.file("set/games.zip"), i));
        return volumes;
    }

    // Extracts the set whose last volume is listed into dir/out.
    void ExtractInto(const std::string& folder) {
        std::filesystem::create_directories(folder);
        zip.ExtrBaseDir = folder;
        zip.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
        zip.TempDir = dir.file("tmp");
        std::filesystem::create_directories(zip.TempDir);
        zip.SetFSpecArgs({"*.*"});
        zip.Extract();
    }

    std::vector<FileSpec> files;
    std::string source;
};

TEST_F(SpanTest, SplitWritesNumberedVolumesThatJoinBackToTheSameFiles) {
    const auto volumes = SplitGames();
    ASSERT_GE(volumes.size(), 3u);
    EXPECT_FALSE(FileExists(dir.file("set/games.zip"))) << "only numbered volumes are written";
    EXPECT_EQ(Le32(TempDir::read(volumes[0]), 0), zipfmt::ExtLocalSig);
    for (const auto& volume : volumes) {
        EXPECT_LE(FileSize(volume), kVolume) << volume;
        EXPECT_EQ(FileModified(volume), kStamp) << volume;
    }

    // The component now lists the set by its last volume.
    EXPECT_EQ(zip.ZipFileName(), volumes.back());
    EXPECT_EQ(zip.LastDiskNumber(), volumes.size() - 1);
    ASSERT_EQ(zip.GetCount(), 4);
    // Every local header lies whole on the volume and at the offset its central header names.
    for (const ZipDirEntry& entry : zip.DirEntries()) {
        const std::string volume = TempDir::read(volumes.at(entry.DiskNumberStart));
        ASSERT_LE(entry.LocalHeaderOffset + 30u, volume.size()) << entry.FileName;
        EXPECT_EQ(Le32(volume, entry.LocalHeaderOffset), zipfmt::LocalSig) << entry.FileName;
        const std::size_t nameLength = zipfmt::Get16(reinterpret_cast<const unsigned char*>(volume.data()) +
                                                     entry.LocalHeaderOffset + zipfmt::LocNameLength);
        EXPECT_EQ(volume.substr(entry.LocalHeaderOffset + 30, nameLength), entry.FileName);
    }

    ExtractInto(dir.file("out"));
    EXPECT_EQ(zip.SuccessCount(), 4) << zip.LastMessage();
    EXPECT_EQ(Snapshot(dir.file("out")), Expected(files));
    EXPECT_TRUE(std::filesystem::is_empty(zip.TempDir)) << "the joined file is deleted";

    std::string joined = dir.file("joined.zip");
    ASSERT_EQ(zip.ReadSpan(volumes.back(), joined), 0) << zip.LastMessage();
    EXPECT_EQ(joined, dir.file("joined.zip"));
    EXPECT_EQ(UnzipTest(joined), 0);
    EXPECT_TRUE(TempDir::read(joined) == TempDir::read(source)) << "joined back byte for byte";
    EXPECT_EQ(FileModified(joined), kStamp);
}

TEST_F(SpanTest, AddWithDiskSpanSplitsTheArchiveItMade) {
    files = Games(2200000);
    WriteFiles(dir.file("src"), files);
    zip.SetFileName(dir.file("added.zip"));
    zip.AddOptions = {AddDiskSpan};
    zip.AddCompLevel = 0;
    zip.MaxVolumeSize = kVolume;
    zip.KeepFreeOnDisk1 = 300000;
    zip.TempDir = dir.file("tmp");
    std::filesystem::create_directories(zip.TempDir);
    int filesBegun = 0;
    zip.OnProgress = [&](TZipArchiver*, ProgressType type, const std::string&, std::int32_t) {
        filesBegun += type == ptFileBegin;
    };
    zip.SetFSpecArgs({dir.file("src/big.bin"), dir.file("src/roms/readme.txt")});
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), 0) << zip.LastMessage();
    EXPECT_EQ(zip.SuccessCount(), 2);
    EXPECT_LE(FileSize(dir.file("added001.zip")), kVolume - 300000) << "room kept free on the first disk";
    EXPECT_EQ(FileSize(dir.file("added002.zip")), kVolume);
    EXPECT_TRUE(FileExists(dir.file("added003.zip")));
    EXPECT_GE(filesBegun, 2 + 3) << "the engine's two files, then the split's two entries and its directory";
    EXPECT_EQ(zip.ZipFileName(), dir.file("added003.zip"));
    EXPECT_EQ(zip.GetCount(), 2);
    EXPECT_TRUE(std::filesystem::is_empty(zip.TempDir)) << "the temporary archive is deleted";
}

// A move into a spanned set deletes its sources only once every volume is written; a failed
// split, or a file changed while the set was written, leaves every source where it was.
TEST_F(SpanTest, AddMoveWithDiskSpanDeletesTheSourcesOnlyAfterTheSplit) {
    files = Games(2200000);
    WriteFiles(dir.file("src"), files);
    const auto sources = Snapshot(dir.file("src"));
    zip.AddOptions = {AddDiskSpan, AddMove};
    zip.AddCompLevel = 0;
    zip.MaxVolumeSize = kVolume;
    zip.TempDir = dir.file("tmp");
    std::filesystem::create_directories(zip.TempDir);
    auto add = [&] {
        zip.SetFileName(dir.file("moved.zip"));
        zip.SetFSpecArgs({dir.file("src/big.bin"), dir.file("src/roms/readme.txt")});
        zip.Add();
    };

    ui.onProcessMessages = [&] {
        if (FileExists(dir.file("moved002.zip"))) zip.CancelRequested = true;
    };
    add();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_EQ(Snapshot(dir.file("src")), sources) << "the split was stopped";
    EXPECT_FALSE(FileExists(dir.file("moved001.zip")));

    bool touched = false;
    ui.onProcessMessages = [&] {
        if (touched || !FileExists(dir.file("moved002.zip"))) return;
        touched = true;
        dir.write("src/roms/readme.txt", "changed meanwhile\n");
        const struct timespec later[2] = {{kStamp * 2, 0}, {kStamp * 2, 0}};
        utimensat(AT_FDCWD, dir.file("src/roms/readme.txt").c_str(), later, 0);
    };
    add();
    EXPECT_EQ(zip.SuccessCount(), 2) << zip.LastMessage();
    EXPECT_TRUE(FileExists(dir.file("moved003.zip")));
    EXPECT_EQ(Snapshot(dir.file("src")).size(), sources.size()) << "a source changed: none is deleted";
    EXPECT_EQ(TempDir::read(dir.file("src/roms/readme.txt")), "changed meanwhile\n");

    ui.onProcessMessages = nullptr;
    ui.answers.assign(3, ZipUi::Answer::Yes);  // the volumes of the last try are replaced
    add();
    EXPECT_EQ(zip.SuccessCount(), 2) << zip.LastMessage();
    EXPECT_EQ(zip.GetCount(), 2);
    EXPECT_FALSE(FileExists(dir.file("src/big.bin")));
    EXPECT_FALSE(FileExists(dir.file("src/roms/readme.txt")));
    EXPECT_TRUE(FileExists(dir.file("src/roms/snes/mario.smc"))) << "not named";
    EXPECT_TRUE(std::filesystem::is_empty(zip.TempDir));
}

// Small volumes spread the central directory itself over several of them.
TEST_F(SpanTest, CentralDirectorySpreadOverVolumesIsReadAcrossThem) {
    for (int i = 0; i < 120; ++i)
        files.push_back({"game" + std::to_string(i) + ".nes", NoiseBytes(100 + i, i)});
    source = InfoZipArchive(dir, "many.zip", files, "-0");
    zip.MaxVolumeSize = 4096;
    zip.MinFreeVolumeSize = 1;
    ASSERT_EQ(zip.WriteSpan(source, dir.file("many.zip")), 0) << zip.LastMessage();
    const std::string last = zip.ZipFileName();
    const std::string tail = TempDir::read(last);
    const auto eoc =
        ZipEndOfCentral::FromBytes(reinterpret_cast<const unsigned char*>(tail.data()) + tail.size() - 22);
    ASSERT_LT(eoc.CentralDiskNo, eoc.ThisDiskNo) << "the directory starts on an earlier volume";
    EXPECT_EQ(zip.GetCount(), 120) << zip.LastMessage();

    ExtractInto(dir.file("out"));
    EXPECT_EQ(zip.SuccessCount(), 120) << zip.LastMessage();
    EXPECT_EQ(Snapshot(dir.file("out")), Expected(files));
}

// Python writing to a pipe puts a data descriptor behind each member; volumes may cut them.
TEST_F(SpanTest, DataDescriptorsTravelWithTheirData) {
    dir.write("noise.bin", NoiseBytes(30000, 5));
    ASSERT_EQ(RunShell("cd " + ShellQuote(dir.path()) +
                       " && python3 -c \"import zipfile,sys\n"
                       "z = zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED)\n"
                       "z.write('noise.bin', 'a.bin')\nz.writestr('b.txt', 'hello ' * 1000)\nz.close()\" | "
                       "cat > dd.zip"),
              0);
    zip.MaxVolumeSize = 7000;
    zip.MinFreeVolumeSize = 1;
    ASSERT_EQ(zip.WriteSpan(dir.file("dd.zip"), dir.file("dd/set.zip")), -7) << "no folder for the volumes";
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::CreateOutput);
    std::filesystem::create_directories(dir.file("dd"));
    ASSERT_EQ(zip.WriteSpan(dir.file("dd.zip"), dir.file("dd/set.zip")), 0) << zip.LastMessage();
    std::string joined = dir.file("joined.zip");
    ASSERT_EQ(zip.ReadSpan(zip.ZipFileName(), joined), 0) << zip.LastMessage();
    EXPECT_TRUE(TempDir::read(joined) == TempDir::read(dir.file("dd.zip"))) << "joined back byte for byte";
    EXPECT_EQ(UnzipTest(joined), 0);
    EXPECT_EQ(ShellOutput("unzip -p " + ShellQuote(joined) + " a.bin"), TempDir::read(dir.file("noise.bin")));
}

TEST_F(SpanTest, WrongVolumesOfAFileSetAreNamed) {
    const auto volumes = SplitGames();
    zip.SetFileName(volumes[0]);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::FirstFileOfSet);
    EXPECT_EQ(zip.ZipFileName(), "");

    std::filesystem::create_directories(dir.file("out"));
    std::string out = dir.file("out");
    EXPECT_EQ(zip.ReadSpan(volumes[0], out), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::FirstDiskOfSet);
    EXPECT_EQ(out, "");
    out = dir.file("out");
    EXPECT_EQ(zip.ReadSpan(volumes[1], out), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NthDiskOfSet);
    EXPECT_NE(zip.LastMessage().find("2th disk"), std::string::npos) << zip.LastMessage();
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("out"))) << "no partial joined file";
}

TEST_F(SpanTest, ExistingVolumesAreReplacedOnlyWhenTheUserAgrees) {
    const auto volumes = SplitGames();
    const auto before = Snapshot(dir.file("set"));
    ui.boxes.clear();

    zip.Unattended = true;
    EXPECT_EQ(zip.WriteSpan(source, dir.file("set/games.zip")), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::UnattendedSpan);

    zip.Unattended = false;
    ui.answers = {ZipUi::Answer::Cancel};
    EXPECT_EQ(zip.WriteSpan(source, dir.file("set/games.zip")), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::UserCanceled);
    ASSERT_EQ(ui.boxes.size(), 1u) << "a cancel shows no message of its own";
    EXPECT_EQ(ui.boxes[0].caption, "Confirm");
    EXPECT_EQ(ui.boxes[0].text, FormatZipStr(ZipMsg::FileExistsOverwrite, volumes[0]));
    EXPECT_EQ(Snapshot(dir.file("set")), before) << "refusals leave the set as it was";

    ui.answers.assign(volumes.size(), ZipUi::Answer::Yes);
    EXPECT_EQ(zip.WriteSpan(source, dir.file("set/games.zip")), 0) << zip.LastMessage();
    EXPECT_EQ(Snapshot(dir.file("set")), before) << "the same split again gives the same volumes";
}

TEST_F(SpanTest, FailedSplitDeletesTheVolumesItWrote) {
    files = Games(2500000);
    source = InfoZipArchive(dir, "games.zip", files, "-0");
    std::filesystem::create_directories(dir.file("set"));
    zip.MaxVolumeSize = kVolume;
    ui.onProcessMessages = [&] {
        if (FileExists(dir.file("set/games002.zip"))) zip.CancelRequested = true;
    };
    EXPECT_EQ(zip.WriteSpan(source, dir.file("set/games.zip")), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::UserCanceled);
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("set")));

    // A source whose central directory is damaged writes nothing that stays.
    ui.onProcessMessages = nullptr;
    zip.CancelRequested = false;
    std::string bytes = TempDir::read(source);
    const std::size_t central = bytes.rfind(std::string("PK\x01\x02", 4));
    bytes[central + 1] = 'X';
    dir.write("damaged.zip", bytes);
    EXPECT_EQ(zip.WriteSpan(dir.file("damaged.zip"), dir.file("set/games.zip")), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::CentralSignature);
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("set")));
    EXPECT_EQ(TempDir::read(dir.file("damaged.zip")), bytes) << "the input stays as it was";
}

// A set with one volume cut short, missing or taken from another set.
TEST_F(SpanTest, DamagedSetsFailWithTheirMessageAndLeaveNothingBehind) {
    const auto volumes = SplitGames();
    ASSERT_EQ(volumes.size(), 3u);
    const std::string middle = TempDir::read(volumes[1]);
    struct Case {
        std::string what;
        std::function<void()> damage;
        int id;
    };
    std::vector<Case> cases = {
        {"cut short", [&] { dir.write("set/games002.zip", middle.substr(0, middle.size() / 2)); },
         ZipMsg::ReadZippedData},
        {"missing", [&] { std::filesystem::remove(volumes[1]); }, ZipMsg::InputMissing},
        {"slightly short", [&] { dir.write("set/games002.zip", middle.substr(0, middle.size() - 1000)); },
         ZipMsg::LocalHeaderNotFound},
        {"out of order", [&] { dir.write("set/games002.zip", TempDir::read(volumes[2])); },
         ZipMsg::ReadZippedData},
        {"last cut short",
         [&] {
             dir.write("set/games002.zip", middle);
             std::filesystem::resize_file(volumes[2], FileSize(volumes[2]) - 10);
         },
         ZipMsg::NthDiskOfSet},
    };
    for (const Case& c : cases) {
        c.damage();
        const auto before = Snapshot(dir.file("set"));
        std::string out = dir.file("out");
        std::filesystem::create_directories(out);
        EXPECT_EQ(zip.ReadSpan(volumes[2], out), -7) << c.what;
        EXPECT_EQ(zip.LastErrorId(), c.id) << c.what << ": " << zip.LastMessage();
        EXPECT_EQ(out, "") << c.what;
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("out"))) << c.what;
        EXPECT_EQ(Snapshot(dir.file("set")), before) << c.what;
    }
}

}  // namespace

// ---- zip64 through a split and a join ----

namespace {

// Splits path into dir/<stem>/set001.zip, ... and joins the set back into dir/<stem>.joined.zip;
// the joined file's path.
std::string SplitAndJoin(TZipArchiver& zip, const TempDir& dir, const std::string& path, const std::string& stem) {
    std::filesystem::create_directories(dir.file(stem));
    zip.MaxVolumeSize = 300000;
    zip.MinFreeVolumeSize = 1;
    EXPECT_EQ(zip.WriteSpan(path, dir.file(stem + "/set.zip")), 0) << zip.LastMessage();
    EXPECT_GT(zip.LastDiskNumber(), 0) << "listed as the last volume of a set";
    std::string joined = dir.file(stem + ".joined.zip");
    EXPECT_EQ(zip.ReadSpan(zip.ZipFileName(), joined), 0) << zip.LastMessage();
    return joined;
}

}  // namespace

TEST_F(SpanTest, Zip64ArchivesSplitAndJoinWhole) {
    // Info-ZIP's zip64 records (-fz), and zip64 data descriptors behind data from standard input.
    const std::string forced = InfoZipArchive(dir, "forced.zip", Games(700000), "-0 -fz");
    dir.write("noise.bin", NoiseBytes(700000, 9));
    const std::string piped = dir.file("piped.zip");
    ASSERT_EQ(RunShell("cd " + ShellQuote(dir.path()) + " && zip -q -0 - - < noise.bin > piped.zip"), 0);
    for (const auto& [path, stem] : {std::pair{forced, std::string("forced")}, std::pair{piped, std::string("piped")}}) {
        SCOPED_TRACE(stem);
        const std::string joined = SplitAndJoin(zip, dir, path, stem);
        EXPECT_EQ(UnzipTest(joined), 0);
        EXPECT_EQ(PythonZipTest(joined), 0);
        EXPECT_EQ(UnzipListing(joined), UnzipListing(path));
    }
}

TEST_F(SpanTest, SeventyThousandEntriesAreAllCarried) {
    const std::string path = dir.file("many.zip");
    ASSERT_EQ(RunShell("python3 -c \"import sys, zipfile\n"
                       "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                       "    for i in range(70000): z.writestr('r/%05d.nes' % i, b'%d' % i)\" " +
                       ShellQuote(path)),
              0);
    const std::string joined = SplitAndJoin(zip, dir, path, "many");
    zip.SetFileName(joined);
    EXPECT_EQ(zip.GetCount(), 70000) << zip.LastMessage();
    EXPECT_EQ(UnzipNames(joined), UnzipNames(path));
    EXPECT_EQ(UnzipTest(joined), 0);
}
