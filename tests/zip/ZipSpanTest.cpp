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
        files_ = Games(bigSize);
        source_ = InfoZipArchive(dir_, "games.zip", files_, "-0");
        const struct timespec times[2] = {{kStamp, 0}, {kStamp, 0}};
        utimensat(AT_FDCWD, source_.c_str(), times, 0);
        std::filesystem::create_directories(dir_.file("set"));
        zip_.MaxVolumeSize = kVolume;
        EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("set/games.zip")), 0) << zip_.LastMessage();
        return Volumes();
    }

    std::vector<std::string> Volumes() const {
        std::vector<std::string> volumes;
        for (int i = 0; FileExists(VolumeFileName(dir_.file("set/games.zip"), i)); ++i)
            volumes.push_back(VolumeFileName(dir_.file("set/games.zip"), i));
        return volumes;
    }

    // Extracts the set whose last volume is listed into dir/out.
    void ExtractInto(const std::string& folder) {
        std::filesystem::create_directories(folder);
        zip_.ExtrBaseDir = folder;
        zip_.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
        zip_.TempDir = dir_.file("tmp");
        std::filesystem::create_directories(zip_.TempDir);
        zip_.SetFSpecArgs({"*.*"});
        zip_.Extract();
    }

    std::vector<FileSpec> files_;
    std::string source_;
};

TEST_F(SpanTest, SplitWritesNumberedVolumesThatJoinBackToTheSameFiles) {
    const auto volumes = SplitGames();
    ASSERT_GE(volumes.size(), 3u);
    EXPECT_FALSE(FileExists(dir_.file("set/games.zip"))) << "only numbered volumes are written";
    EXPECT_EQ(Le32(TempDir::read(volumes[0]), 0), zipfmt::ExtLocalSig);
    for (const auto& volume : volumes) {
        EXPECT_LE(FileSize(volume), kVolume) << volume;
        EXPECT_EQ(FileModified(volume), kStamp) << volume;
    }

    // The component now lists the set by its last volume.
    EXPECT_EQ(zip_.ZipFileName(), volumes.back());
    EXPECT_EQ(zip_.LastDiskNumber(), volumes.size() - 1);
    ASSERT_EQ(zip_.GetCount(), 4);
    // Every local header lies whole on the volume and at the offset its central header names.
    for (const ZipDirEntry& entry : zip_.DirEntries()) {
        const std::string volume = TempDir::read(volumes.at(entry.DiskNumberStart));
        ASSERT_LE(entry.LocalHeaderOffset + 30u, volume.size()) << entry.FileName;
        EXPECT_EQ(Le32(volume, entry.LocalHeaderOffset), zipfmt::LocalSig) << entry.FileName;
        const std::size_t nameLength = zipfmt::Get16(reinterpret_cast<const unsigned char*>(volume.data()) +
                                                     entry.LocalHeaderOffset + zipfmt::LocNameLength);
        EXPECT_EQ(volume.substr(entry.LocalHeaderOffset + 30, nameLength), entry.FileName);
    }

    ExtractInto(dir_.file("out"));
    EXPECT_EQ(zip_.SuccessCount(), 4) << zip_.LastMessage();
    EXPECT_EQ(Snapshot(dir_.file("out")), Expected(files_));
    EXPECT_TRUE(std::filesystem::is_empty(zip_.TempDir)) << "the joined file is deleted";

    std::string joined = dir_.file("joined.zip");
    ASSERT_EQ(zip_.ReadSpan(volumes.back(), joined), 0) << zip_.LastMessage();
    EXPECT_EQ(joined, dir_.file("joined.zip"));
    EXPECT_EQ(UnzipTest(joined), 0);
    EXPECT_TRUE(TempDir::read(joined) == TempDir::read(source_)) << "joined back byte for byte";
    EXPECT_EQ(FileModified(joined), kStamp);
}

TEST_F(SpanTest, AddWithDiskSpanSplitsTheArchiveItMade) {
    files_ = Games(2200000);
    WriteFiles(dir_.file("src"), files_);
    zip_.SetFileName(dir_.file("added.zip"));
    zip_.AddOptions = {AddDiskSpan};
    zip_.AddCompLevel = 0;
    zip_.MaxVolumeSize = kVolume;
    zip_.KeepFreeOnDisk1 = 300000;
    zip_.TempDir = dir_.file("tmp");
    std::filesystem::create_directories(zip_.TempDir);
    int filesBegun = 0;
    zip_.OnProgress = [&](TZipArchiver*, ProgressType type, const std::string&, std::int32_t) {
        filesBegun += type == ptFileBegin;
    };
    zip_.SetFSpecArgs({dir_.file("src/big.bin"), dir_.file("src/roms/readme.txt")});
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(zip_.SuccessCount(), 2);
    EXPECT_LE(FileSize(dir_.file("added001.zip")), kVolume - 300000) << "room kept free on the first disk";
    EXPECT_EQ(FileSize(dir_.file("added002.zip")), kVolume);
    EXPECT_TRUE(FileExists(dir_.file("added003.zip")));
    EXPECT_GE(filesBegun, 2 + 3) << "the engine's two files, then the split's two entries and its directory";
    EXPECT_EQ(zip_.ZipFileName(), dir_.file("added003.zip"));
    EXPECT_EQ(zip_.GetCount(), 2);
    EXPECT_TRUE(std::filesystem::is_empty(zip_.TempDir)) << "the temporary archive is deleted";
}

// A move into a spanned set deletes its sources only once every volume is written; a failed
// split, or a file changed while the set was written, leaves every source where it was.
TEST_F(SpanTest, AddMoveWithDiskSpanDeletesTheSourcesOnlyAfterTheSplit) {
    files_ = Games(2200000);
    WriteFiles(dir_.file("src"), files_);
    const auto sources = Snapshot(dir_.file("src"));
    zip_.AddOptions = {AddDiskSpan, AddMove};
    zip_.AddCompLevel = 0;
    zip_.MaxVolumeSize = kVolume;
    zip_.TempDir = dir_.file("tmp");
    std::filesystem::create_directories(zip_.TempDir);
    auto add = [&] {
        zip_.SetFileName(dir_.file("moved.zip"));
        zip_.SetFSpecArgs({dir_.file("src/big.bin"), dir_.file("src/roms/readme.txt")});
        zip_.Add();
    };

    ui_.onProcessMessages = [&] {
        if (FileExists(dir_.file("moved002.zip"))) zip_.CancelRequested = true;
    };
    add();
    EXPECT_EQ(zip_.SuccessCount(), 0);
    EXPECT_EQ(Snapshot(dir_.file("src")), sources) << "the split was stopped";
    EXPECT_FALSE(FileExists(dir_.file("moved001.zip")));

    bool touched = false;
    ui_.onProcessMessages = [&] {
        if (touched || !FileExists(dir_.file("moved002.zip"))) return;
        touched = true;
        dir_.write("src/roms/readme.txt", "changed meanwhile\n");
        const struct timespec later[2] = {{kStamp * 2, 0}, {kStamp * 2, 0}};
        utimensat(AT_FDCWD, dir_.file("src/roms/readme.txt").c_str(), later, 0);
    };
    add();
    EXPECT_EQ(zip_.SuccessCount(), 2) << zip_.LastMessage();
    EXPECT_TRUE(FileExists(dir_.file("moved003.zip")));
    EXPECT_EQ(Snapshot(dir_.file("src")).size(), sources.size()) << "a source changed: none is deleted";
    EXPECT_EQ(TempDir::read(dir_.file("src/roms/readme.txt")), "changed meanwhile\n");

    ui_.onProcessMessages = nullptr;
    ui_.answers.assign(3, ZipUi::Answer::Yes);  // the volumes of the last try are replaced
    add();
    EXPECT_EQ(zip_.SuccessCount(), 2) << zip_.LastMessage();
    EXPECT_EQ(zip_.GetCount(), 2);
    EXPECT_FALSE(FileExists(dir_.file("src/big.bin")));
    EXPECT_FALSE(FileExists(dir_.file("src/roms/readme.txt")));
    EXPECT_TRUE(FileExists(dir_.file("src/roms/snes/mario.smc"))) << "not named";
    EXPECT_TRUE(std::filesystem::is_empty(zip_.TempDir));
}

// Small volumes spread the central directory itself over several of them.
TEST_F(SpanTest, CentralDirectorySpreadOverVolumesIsReadAcrossThem) {
    for (int i = 0; i < 120; ++i)
        files_.push_back({"game" + std::to_string(i) + ".nes", NoiseBytes(100 + i, i)});
    source_ = InfoZipArchive(dir_, "many.zip", files_, "-0");
    zip_.MaxVolumeSize = 4096;
    zip_.MinFreeVolumeSize = 1;
    ASSERT_EQ(zip_.WriteSpan(source_, dir_.file("many.zip")), 0) << zip_.LastMessage();
    const std::string last = zip_.ZipFileName();
    const std::string tail = TempDir::read(last);
    const auto eoc =
        ZipEndOfCentral::FromBytes(reinterpret_cast<const unsigned char*>(tail.data()) + tail.size() - 22);
    ASSERT_LT(eoc.CentralDiskNo, eoc.ThisDiskNo) << "the directory starts on an earlier volume";
    EXPECT_EQ(zip_.GetCount(), 120) << zip_.LastMessage();

    ExtractInto(dir_.file("out"));
    EXPECT_EQ(zip_.SuccessCount(), 120) << zip_.LastMessage();
    EXPECT_EQ(Snapshot(dir_.file("out")), Expected(files_));
}

// Python writing to a pipe puts a data descriptor behind each member; volumes may cut them.
TEST_F(SpanTest, DataDescriptorsTravelWithTheirData) {
    dir_.write("noise.bin", NoiseBytes(30000, 5));
    ASSERT_EQ(RunShell("cd " + ShellQuote(dir_.path()) +
                       " && python3 -c \"import zipfile,sys\n"
                       "z = zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED)\n"
                       "z.write('noise.bin', 'a.bin')\nz.writestr('b.txt', 'hello ' * 1000)\nz.close()\" | "
                       "cat > dd.zip"),
              0);
    zip_.MaxVolumeSize = 7000;
    zip_.MinFreeVolumeSize = 1;
    ASSERT_EQ(zip_.WriteSpan(dir_.file("dd.zip"), dir_.file("dd/set.zip")), -7)
        << "no folder for the volumes";
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::CreateOutput);
    std::filesystem::create_directories(dir_.file("dd"));
    ASSERT_EQ(zip_.WriteSpan(dir_.file("dd.zip"), dir_.file("dd/set.zip")), 0) << zip_.LastMessage();
    std::string joined = dir_.file("joined.zip");
    ASSERT_EQ(zip_.ReadSpan(zip_.ZipFileName(), joined), 0) << zip_.LastMessage();
    EXPECT_TRUE(TempDir::read(joined) == TempDir::read(dir_.file("dd.zip"))) << "joined back byte for byte";
    EXPECT_EQ(UnzipTest(joined), 0);
    EXPECT_EQ(ShellOutput("unzip -p " + ShellQuote(joined) + " a.bin"),
              TempDir::read(dir_.file("noise.bin")));
}

TEST_F(SpanTest, WrongVolumesOfAFileSetAreNamed) {
    const auto volumes = SplitGames();
    zip_.SetFileName(volumes[0]);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::FirstFileOfSet);
    EXPECT_EQ(zip_.ZipFileName(), "");

    std::filesystem::create_directories(dir_.file("out"));
    std::string out = dir_.file("out");
    EXPECT_EQ(zip_.ReadSpan(volumes[0], out), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::FirstDiskOfSet);
    EXPECT_EQ(out, "");
    out = dir_.file("out");
    EXPECT_EQ(zip_.ReadSpan(volumes[1], out), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NthDiskOfSet);
    EXPECT_NE(zip_.LastMessage().find("2th disk"), std::string::npos) << zip_.LastMessage();
    EXPECT_TRUE(std::filesystem::is_empty(dir_.file("out"))) << "no partial joined file";
}

TEST_F(SpanTest, ExistingVolumesAreReplacedOnlyWhenTheUserAgrees) {
    const auto volumes = SplitGames();
    const auto before = Snapshot(dir_.file("set"));
    ui_.boxes.clear();

    zip_.Unattended = true;
    EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("set/games.zip")), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::UnattendedSpan);

    zip_.Unattended = false;
    ui_.answers = {ZipUi::Answer::Cancel};
    EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("set/games.zip")), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::UserCanceled);
    ASSERT_EQ(ui_.boxes.size(), 1u) << "a cancel shows no message of its own";
    EXPECT_EQ(ui_.boxes[0].caption, "Confirm");
    EXPECT_EQ(ui_.boxes[0].text, FormatZipStr(ZipMsg::FileExistsOverwrite, volumes[0]));
    EXPECT_EQ(Snapshot(dir_.file("set")), before) << "refusals leave the set as it was";

    ui_.answers.assign(volumes.size(), ZipUi::Answer::Yes);
    EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("set/games.zip")), 0) << zip_.LastMessage();
    EXPECT_EQ(Snapshot(dir_.file("set")), before) << "the same split again gives the same volumes";
}

TEST_F(SpanTest, FailedSplitDeletesTheVolumesItWrote) {
    files_ = Games(2500000);
    source_ = InfoZipArchive(dir_, "games.zip", files_, "-0");
    std::filesystem::create_directories(dir_.file("set"));
    zip_.MaxVolumeSize = kVolume;
    ui_.onProcessMessages = [&] {
        if (FileExists(dir_.file("set/games002.zip"))) zip_.CancelRequested = true;
    };
    EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("set/games.zip")), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::UserCanceled);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.file("set")));

    // A source whose central directory is damaged writes nothing that stays.
    ui_.onProcessMessages = nullptr;
    zip_.CancelRequested = false;
    std::string bytes = TempDir::read(source_);
    const std::size_t central = bytes.rfind(std::string("PK\x01\x02", 4));
    bytes[central + 1] = 'X';
    dir_.write("damaged.zip", bytes);
    EXPECT_EQ(zip_.WriteSpan(dir_.file("damaged.zip"), dir_.file("set/games.zip")), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::CentralSignature);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.file("set")));
    EXPECT_EQ(TempDir::read(dir_.file("damaged.zip")), bytes) << "the input stays as it was";
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
        {"cut short", [&] { dir_.write("set/games002.zip", middle.substr(0, middle.size() / 2)); },
         ZipMsg::ReadZippedData},
        {"missing", [&] { std::filesystem::remove(volumes[1]); }, ZipMsg::InputMissing},
        {"slightly short", [&] { dir_.write("set/games002.zip", middle.substr(0, middle.size() - 1000)); },
         ZipMsg::LocalHeaderNotFound},
        {"out of order", [&] { dir_.write("set/games002.zip", TempDir::read(volumes[2])); },
         ZipMsg::ReadZippedData},
        {"last cut short",
         [&] {
             dir_.write("set/games002.zip", middle);
             std::filesystem::resize_file(volumes[2], FileSize(volumes[2]) - 10);
         },
         ZipMsg::NthDiskOfSet},
    };
    for (const Case& c : cases) {
        c.damage();
        const auto before = Snapshot(dir_.file("set"));
        std::string out = dir_.file("out");
        std::filesystem::create_directories(out);
        EXPECT_EQ(zip_.ReadSpan(volumes[2], out), -7) << c.what;
        EXPECT_EQ(zip_.LastErrorId(), c.id) << c.what << ": " << zip_.LastMessage();
        EXPECT_EQ(out, "") << c.what;
        EXPECT_TRUE(std::filesystem::is_empty(dir_.file("out"))) << c.what;
        EXPECT_EQ(Snapshot(dir_.file("set")), before) << c.what;
    }
}

}  // namespace

// ---- zip64 through a split and a join ----

namespace {

// Splits path into dir/<stem>/set001.zip, ... and joins the set back into dir/<stem>.joined.zip;
// the joined file's path.
std::string SplitAndJoin(TZipArchiver& zip, const TempDir& dir, const std::string& path,
                         const std::string& stem) {
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
    const std::string forced = InfoZipArchive(dir_, "forced.zip", Games(700000), "-0 -fz");
    dir_.write("noise.bin", NoiseBytes(700000, 9));
    const std::string piped = dir_.file("piped.zip");
    ASSERT_EQ(RunShell("cd " + ShellQuote(dir_.path()) + " && zip -q -0 - - < noise.bin > piped.zip"), 0);
    for (const auto& [path, stem] :
         {std::pair{forced, std::string("forced")}, std::pair{piped, std::string("piped")}}) {
        SCOPED_TRACE(stem);
        const std::string joined = SplitAndJoin(zip_, dir_, path, stem);
        EXPECT_EQ(UnzipTest(joined), 0);
        EXPECT_EQ(PythonZipTest(joined), 0);
        EXPECT_EQ(UnzipListing(joined), UnzipListing(path));
    }
}

TEST_F(SpanTest, SeventyThousandEntriesAreAllCarried) {
    const std::string path = dir_.file("many.zip");
    ASSERT_EQ(RunShell("python3 -c \"import sys, zipfile\n"
                       "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                       "    for i in range(70000): z.writestr('r/%05d.nes' % i, b'%d' % i)\" " +
                       ShellQuote(path)),
              0);
    const std::string joined = SplitAndJoin(zip_, dir_, path, "many");
    zip_.SetFileName(joined);
    EXPECT_EQ(zip_.GetCount(), 70000) << zip_.LastMessage();
    EXPECT_EQ(UnzipNames(joined), UnzipNames(path));
    EXPECT_EQ(UnzipTest(joined), 0);
}
