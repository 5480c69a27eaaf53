// Self-extracting archives: made from Info-ZIP archives and by Add, run as real programs in
// temporary folders, turned back into archives; the trash and file copies beside them.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <stdexcept>

#include "engines/zipsfx/SfxHeader.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/zip/ZipSpanFixture.h"
#include "zip/ZipSfx.h"

using namespace archives;
using namespace spantest;

namespace {

const std::string kStub = std::string(TARNWICK_APP_DIR) + "/ZIPSFX.BIN";

class SfxTest : public ComponentTest {
protected:
    SfxTest() {
        zip_.SFXPath = kStub;
        files_ = Games(200000);
        source_ = InfoZipArchive(dir_, "games.zip", files_);
    }

    // Runs a self-extracting file in folder (created) with the given answers on its input.
    int Run(const std::string& exe, const std::string& folder, const std::string& input = "") {
        std::filesystem::create_directories(folder);
        output_ = dir_.file("run.log");
        return RunShell("cd " + ShellQuote(folder) + " && printf '%s' " + ShellQuote(input) + " | " +
                        ShellQuote(exe) + " > " + ShellQuote(output_) + " 2>&1");
    }
    std::string Output() const { return TempDir::read(output_); }

    std::vector<FileSpec> files_;
    std::string source_;
    std::string output_;
};

TEST_F(SfxTest, ArchiveBecomesAProgramThatExtractsItAndTurnsBackIntoAnArchive) {
    zip_.SetFileName(source_);
    const std::int64_t archiveSize = FileSize(source_);
    ASSERT_EQ(zip_.ConvertSFX(), 0) << zip_.LastMessage();
    const std::string exe = WithoutExtension(source_) + ".exe";
    EXPECT_FALSE(FileExists(source_)) << "the archive is replaced by the program";
    EXPECT_EQ(zip_.ZipFileName(), exe);
    EXPECT_EQ(FileSize(exe), FileSize(kStub) + 256 + archiveSize);
    EXPECT_EQ(zip_.ZipDataOffset(), FileSize(kStub) + 256);
    EXPECT_EQ(zip_.GetCount(), 4);
    EXPECT_EQ(UnzipTest(exe), 0) << "the offsets were raised";

    ASSERT_EQ(Run(exe, dir_.file("run"), "\n"), 0) << Output();
    EXPECT_NE(Output().find("Self-extracting Archive"), std::string::npos) << Output();
    EXPECT_EQ(Snapshot(dir_.file("run")), Expected(files_));

    ASSERT_EQ(zip_.ConvertZIP(), 0) << zip_.LastMessage();
    EXPECT_EQ(zip_.ZipFileName(), source_);
    EXPECT_FALSE(FileExists(exe));
    EXPECT_EQ(FileSize(source_), archiveSize);
    EXPECT_EQ(UnzipTest(source_), 0);
    EXPECT_EQ(PythonZipTest(source_), 0);
    EXPECT_EQ(zip_.ZipDataOffset(), 0);
}

TEST_F(SfxTest, Zip64ArchiveKeepsItsRecordsBothWays) {
    // zip -fz: every offset in zip64's end record and locator must move with the stub too.
    const std::string forced = InfoZipArchive(dir_, "forced.zip", files_, "-fz");
    const std::vector<ListedMember> listed = UnzipListing(forced);
    const std::int64_t archiveSize = FileSize(forced);
    zip_.SetFileName(forced);
    ASSERT_EQ(zip_.ConvertSFX(), 0) << zip_.LastMessage();
    const std::string exe = WithoutExtension(forced) + ".exe";
    EXPECT_EQ(FileSize(exe), FileSize(kStub) + 256 + archiveSize);
    EXPECT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(UnzipTest(exe), 0);
    EXPECT_EQ(PythonZipTest(exe), 0);
    ASSERT_EQ(zip_.ConvertZIP(), 0) << zip_.LastMessage();
    EXPECT_EQ(FileSize(forced), archiveSize);
    EXPECT_EQ(UnzipTest(forced), 0);
    EXPECT_EQ(PythonZipTest(forced), 0);
    EXPECT_EQ(UnzipListing(forced), listed);
}

TEST_F(SfxTest, HeaderCarriesTheOptionsAndTheProgramHonoursThem) {
    zip_.SFXCaption = "Mario pack";
    zip_.SFXDefaultDir = "games dir";
    zip_.SFXCommandLine = "touch ran-here";
    zip_.SFXOptions = {SFXAutoRun};
    zip_.SFXOverWriteMode = OvrNever;
    zip_.SetFileName(source_);
    ASSERT_EQ(zip_.ConvertSFX(), 0) << zip_.LastMessage();
    const std::string exe = zip_.ZipFileName();
    const std::string bytes = TempDir::read(exe).substr(FileSize(kStub), 256);
    const auto header = sfx::ParseHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->flags, sfx::kAutoRun | sfx::kOverwriteNever | sfx::kNoCheckSize);
    EXPECT_EQ(header->caption, "Mario pack");
    EXPECT_EQ(header->defaultDir, "games dir");

    dir_.write("run/games dir/roms/readme.txt", "mine");
    ASSERT_EQ(Run(exe, dir_.file("run")), 0) << Output();
    EXPECT_NE(Output().find("Mario pack"), std::string::npos);
    EXPECT_EQ(TempDir::read(dir_.file("run/games dir/roms/readme.txt")), "mine") << "never overwrite";
    EXPECT_EQ(TempDir::read(dir_.file("run/games dir/big.bin")), files_[0].data);
    EXPECT_TRUE(FileExists(dir_.file("run/games dir/ran-here"))) << "the command runs in the target folder";
}

TEST_F(SfxTest, FolderFilesAndOverwritesAreAskedFromTheUser) {
    zip_.SFXOptions = {SFXAskFiles, SFXCheckSize};
    zip_.SetFileName(source_);
    ASSERT_EQ(zip_.ConvertSFX(), 0);
    dir_.write("run/there/roms/readme.txt", "mine");
    dir_.write("run/there/empty.txt", "mine too");
    // Folder "there"; a wrong choice, then members 3 and 4; replace readme (y), keep empty.txt (n).
    ASSERT_EQ(Run(zip_.ZipFileName(), dir_.file("run"), "there\n9\n3 4\ny\nn\n"), 0) << Output();
    EXPECT_EQ(Snapshot(dir_.file("run/there")),
              (std::map<std::string, std::string>{{"roms/readme.txt", Digest("read me\n")},
                                                  {"empty.txt", Digest("mine too")}}));
    EXPECT_NE(Output().find("Please give numbers from 1 to 4"), std::string::npos) << Output();
}

TEST_F(SfxTest, NewExeArchiveMadeByAddRunsAsAProgram) {
    WriteFiles(dir_.file("src"), files_);
    zip_.SetFileName(dir_.file("new.EXE"));
    zip_.SetFSpecArgs({dir_.file("src/big.bin"), dir_.file("src/roms/readme.txt")});
    zip_.Add();
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(zip_.GetCount(), 2);
    EXPECT_EQ(zip_.ZipDataOffset(), FileSize(kStub) + 256);
    ASSERT_EQ(Run(dir_.file("new.EXE"), dir_.file("run"), "\n"), 0) << Output();
    EXPECT_EQ(Snapshot(dir_.file("run")),
              (std::map<std::string, std::string>{{"big.bin", Digest(files_[0].data)},
                                                  {"readme.txt", Digest("read me\n")}}));
}

// An encrypted self-extractor asks for its password, giving three tries; without the right
// one it writes nothing and says why.
TEST_F(SfxTest, EncryptedExeAsksForItsPassword) {
    WriteFiles(dir_.file("src"), files_);
    zip_.SetFileName(dir_.file("locked.exe"));
    zip_.AddOptions = {AddEncrypt};
    zip_.Password = "open sesame";
    zip_.SetFSpecArgs({dir_.file("src/big.bin"), dir_.file("src/roms/readme.txt")});
    zip_.Add();
    ASSERT_EQ(zip_.SuccessCount(), 2) << zip_.LastMessage();

    EXPECT_EQ(Run(dir_.file("locked.exe"), dir_.file("wrong"), "\nguess\nagain\nno\n"), 4) << Output();
    EXPECT_TRUE(std::filesystem::is_empty(dir_.file("wrong"))) << Output();
    EXPECT_NE(Output().find("Wrong password."), std::string::npos) << Output();
    EXPECT_NE(Output().find("need the archive's password"), std::string::npos) << Output();

    ASSERT_EQ(Run(dir_.file("locked.exe"), dir_.file("right"), "\nbad\nopen sesame\n"), 0) << Output();
    EXPECT_EQ(Snapshot(dir_.file("right")),
              (std::map<std::string, std::string>{{"big.bin", Digest(files_[0].data)},
                                                  {"readme.txt", Digest("read me\n")}}))
        << "one right answer opens every member";
}

// The self-extractor made for a new ".exe" goes again when the add fails or is stopped; an
// existing one stays as it was.
TEST_F(SfxTest, FailedAddToANewExeLeavesNothingBehind) {
    WriteFiles(dir_.file("src"), files_);
    zip_.SetFileName(dir_.file("new.exe"));
    zip_.SetFSpecArgs({dir_.file("src/no-such-file.bin")});
    zip_.Add();
    EXPECT_EQ(zip_.SuccessCount(), 0);
    EXPECT_FALSE(FileExists(dir_.file("new.exe")));

    zip_.OnProgress = [&](TZipArchiver*, ProgressType type, const std::string&, std::int32_t) {
        if (type == ptFileBegin) zip_.CancelRequested = true;
    };
    zip_.SetFSpecArgs({dir_.file("src/big.bin")});
    zip_.Add();
    EXPECT_EQ(zip_.SuccessCount(), 0);
    EXPECT_FALSE(FileExists(dir_.file("new.exe")));

    zip_.AddOptions = {AddDiskSpan};
    zip_.SetFSpecArgs({dir_.file("src/big.bin")});
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::SfxNoSpan);
    EXPECT_FALSE(FileExists(dir_.file("new.exe")));

    zip_.AddOptions = {};
    zip_.OnProgress = nullptr;
    zip_.SetFSpecArgs({dir_.file("src/roms/readme.txt")});
    zip_.Add();
    ASSERT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    const std::string made = TempDir::read(dir_.file("new.exe"));
    zip_.SetFSpecArgs({dir_.file("src/no-such-file.bin")});
    zip_.Add();
    EXPECT_EQ(TempDir::read(dir_.file("new.exe")), made) << "not made by this call";
}

TEST_F(SfxTest, RefusalsGiveTheirMessageAndLeaveTheArchive) {
    const std::string original = TempDir::read(source_);
    zip_.SetFileName(source_);
    const std::string exe = WithoutExtension(source_) + ".exe";

    zip_.SFXCaption = std::string(150, 'c');
    zip_.SFXCommandLine = std::string(100, 'x');
    EXPECT_EQ(zip_.ConvertSFX(), -9);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::SfxStringsTooLong);
    EXPECT_NE(zip_.LastMessage().find("= 250"), std::string::npos) << zip_.LastMessage();
    zip_.SFXCommandLine.pop_back();  // 249 fit

    SetProgramFolder(dir_.file("empty"));
    zip_.SetDLLDirectory(dir_.file("empty"));
    zip_.SFXPath = dir_.file("nowhere/ZIPSFX.BIN");
    EXPECT_EQ(zip_.ConvertSFX(), -9);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::SfxStubMissing);
    SetProgramFolder(TARNWICK_APP_DIR);
    zip_.SetDLLDirectory(TARNWICK_APP_DIR);

    zip_.SFXPath = kStub;
    dir_.write("games.ZIP.txt", original);
    zip_.SetFileName(dir_.file("games.ZIP.txt"));
    EXPECT_EQ(zip_.ConvertSFX(), -9);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::SfxNotZip);
    EXPECT_EQ(zip_.ConvertZIP(), -3);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NotExe);

    dir_.write("plain.exe", original);
    zip_.SetFileName(dir_.file("plain.exe"));
    EXPECT_EQ(zip_.ConvertZIP(), -9);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::SfxTypeUnknown);

    EXPECT_FALSE(FileExists(exe));
    EXPECT_FALSE(FileExists(dir_.file("plain.zip")));
    EXPECT_EQ(TempDir::read(source_), original);

    zip_.SetFileName(source_);
    EXPECT_EQ(zip_.ConvertSFX(), 0) << "249 characters fit";
}

TEST_F(SfxTest, FailedCreationShowsItsTextAndReportsTheSystemsReason) {
    // A folder where the program would go: the box keeps its own text, the event adds why.
    zip_.SetFileName(source_);
    std::filesystem::create_directories(WithoutExtension(source_) + ".exe");
    EXPECT_EQ(zip_.ConvertSFX(), -9);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::CreateOutput);
    ASSERT_FALSE(ui_.boxes.empty());
    EXPECT_EQ(ui_.boxes.back().text, "Creation of output file failed");
    EXPECT_EQ(zip_.LastMessage(), "Creation of output file failed");
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), "Creation of output file failed: " + std::string(std::strerror(EEXIST)));
    EXPECT_TRUE(FileExists(source_));
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                  std::filesystem::directory_iterator()));
}

TEST_F(SfxTest, ExceptionThroughAConversionClosesBothFilesAndDropsThePartOfTheTarget) {
    // Whatever the window layer throws while the copy lets events run passes through the
    // component, which must not keep the source and the half-written target open.
    const std::string original = TempDir::read(source_);
    const std::string exe = WithoutExtension(source_) + ".exe";
    zip_.SetFileName(source_);
    const auto failing = [] { throw std::runtime_error("the window went away"); };

    std::size_t before = OpenDescriptors();
    ui_.onProcessMessages = failing;
    EXPECT_THROW(zip_.ConvertSFX(), std::runtime_error);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_FALSE(FileExists(exe));
    EXPECT_EQ(TempDir::read(source_), original);

    ui_.onProcessMessages = nullptr;
    ASSERT_EQ(zip_.ConvertSFX(), 0) << zip_.LastMessage();
    const std::string program = TempDir::read(exe);
    before = OpenDescriptors();
    ui_.onProcessMessages = failing;
    EXPECT_THROW(zip_.ConvertZIP(), std::runtime_error);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_FALSE(FileExists(source_));
    EXPECT_EQ(TempDir::read(exe), program);
}

TEST_F(SfxTest, DamagedOrMissingArchivesMakeTheProgramFailClearly) {
    std::filesystem::copy_file(kStub, dir_.file("bare.exe"));
    EXPECT_EQ(Run(dir_.file("bare.exe"), dir_.file("run0")), 2);
    EXPECT_NE(Output().find("holds no archive"), std::string::npos) << Output();
    zip_.SetFileName(dir_.file("bare.exe"));
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NotValidZip);
    EXPECT_EQ(zip_.ConvertZIP(), -3);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoExeSpecified);
    EXPECT_FALSE(FileExists(dir_.file("bare.zip")));

    zip_.SetFileName(source_);
    ASSERT_EQ(zip_.ConvertSFX(), 0);
    const std::string exe = zip_.ZipFileName();
    const std::string whole = TempDir::read(exe);

    dir_.write("cut.exe", whole.substr(0, whole.size() - 100));
    chmod(dir_.file("cut.exe").c_str(), 0755);
    EXPECT_EQ(Run(dir_.file("cut.exe"), dir_.file("run1"), "\n"), 3);
    EXPECT_NE(Output().find("damaged"), std::string::npos) << Output();

    std::string flipped = whole;
    const std::size_t data = flipped.find("read me\n");
    ASSERT_NE(data, std::string::npos);
    flipped[data] = 'R';
    dir_.write("crc.exe", flipped);
    chmod(dir_.file("crc.exe").c_str(), 0755);
    EXPECT_EQ(Run(dir_.file("crc.exe"), dir_.file("run2"), "\n"), 3);
    EXPECT_FALSE(FileExists(dir_.file("run2/roms/readme.txt"))) << "no damaged file is left";
    EXPECT_EQ(FindFiles(dir_.file("run2/roms"), "*", FindPlainFiles | FindHiddenFiles).size(), 0u);
}

TEST_F(SfxTest, MembersNamedOutsideTheTargetFolderAreSkipped) {
    CraftedZip crafted;
    crafted.Add("../escaped.txt", "bad");
    crafted.Add("/tmp/absolute-" + std::to_string(getpid()) + ".txt", "bad");
    crafted.Add("good/inside.txt", "good");
    dir_.write("evil.zip", crafted.Build());
    zip_.SetFileName(dir_.file("evil.zip"));
    ASSERT_EQ(zip_.ConvertSFX(), 0) << zip_.LastMessage();
    ASSERT_EQ(Run(zip_.ZipFileName(), dir_.file("run/deep"), "\n"), 0) << Output();
    EXPECT_FALSE(FileExists(dir_.file("run/escaped.txt")));
    EXPECT_FALSE(FileExists("/tmp/absolute-" + std::to_string(getpid()) + ".txt"));
    EXPECT_EQ(TempDir::read(dir_.file("run/deep/good/inside.txt")), "good");
}

TEST_F(SfxTest, EraseMovesToTheTrashOrDeletesAndCopiesKeepTheDate) {
    setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
    ZipSfxMaker maker(zip_);
    dir_.write("a/x.zip", "one");
    dir_.write("b/x.zip", "two");
    EXPECT_EQ(maker.EraseFile(dir_.file("a/x.zip"), htdAllowUndo), 0);
    EXPECT_EQ(maker.EraseFile(dir_.file("b/x.zip"), htdAllowUndo), 0);
    EXPECT_FALSE(FileExists(dir_.file("a/x.zip")));
    EXPECT_EQ(TempDir::read(dir_.file("data/Trash/files/x.zip")), "one");
    EXPECT_EQ(TempDir::read(dir_.file("data/Trash/files/x.zip.2")), "two");
    const std::string info = TempDir::read(dir_.file("data/Trash/info/x.zip.trashinfo"));
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + dir_.file("a/x.zip") + "\nDeletionDate=", 0), 0u) << info;
    EXPECT_EQ(maker.EraseFile(dir_.file("a/x.zip"), htdAllowUndo), -1);
    dir_.write("c.zip", "three");
    EXPECT_EQ(maker.EraseFile(dir_.file("c.zip"), htdFinal), 0);
    EXPECT_FALSE(FileExists(dir_.file("c.zip")));
    unsetenv("XDG_DATA_HOME");

    const struct timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
    utimensat(AT_FDCWD, source_.c_str(), times, 0);
    EXPECT_EQ(maker.CopyFileA(source_, dir_.file("copy.zip")), 0);
    EXPECT_EQ(TempDir::read(dir_.file("copy.zip")), TempDir::read(source_));
    EXPECT_EQ(FileModified(dir_.file("copy.zip")), 1500000000);
    EXPECT_EQ(maker.CopyFileA(dir_.file("missing.zip"), dir_.file("copy2.zip")), -3);
    EXPECT_EQ(maker.CopyFileA(source_, dir_.file("no/such/folder/copy.zip")), -1);
}

}  // namespace
