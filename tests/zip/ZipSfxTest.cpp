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
        zip.SFXPath = kStub;
        files = Games(200000);
        source = InfoZipArchive(dir, "games.zip", files);
    }

    // Runs a self-extracting file in folder (created) with the given answers on its input.
    int Run(const std::string& exe, const std::string& folder, const std::string& input = "") {
        std::filesystem::create_directories(folder);
        output = dir.file("run.log");
        return RunShell("cd " + ShellQuote(folder) + " && printf '%s' " + ShellQuote(input) + " | " +
                        ShellQuote(exe) + " > " + ShellQuote(output) + " 2>&1");
    }
    std::string Output() const { return TempDir::read(output); }

    std::vector<FileSpec> files;
    std::string source;
    std::string output;
};

TEST_F(SfxTest, ArchiveBecomesAProgramThatExtractsItAndTurnsBackIntoAnArchive) {
    zip.SetFileName(source);
    const std::int64_t archiveSize = FileSize(source);
    ASSERT_EQ(zip.ConvertSFX(), 0) << zip.LastMessage();
    const std::string exe = WithoutExtension(source) + ".exe";
    EXPECT_FALSE(FileExists(source)) << "the archive is replaced by the program";
    EXPECT_EQ(zip.ZipFileName(), exe);
    EXPECT_EQ(FileSize(exe), FileSize(kStub) + 256 + archiveSize);
    EXPECT_EQ(zip.ZipDataOffset(), FileSize(kStub) + 256);
    EXPECT_EQ(zip.GetCount(), 4);
    EXPECT_EQ(UnzipTest(exe), 0) << "the offsets were raised";

    ASSERT_EQ(Run(exe, dir.file("run"), "\n"), 0) << Output();
    EXPECT_NE(Output().find("Self-extracting Archive"), std::string::npos) << Output();
    EXPECT_EQ(Snapshot(dir.file("run")), Expected(files));

    ASSERT_EQ(zip.ConvertZIP(), 0) << zip.LastMessage();
    EXPECT_EQ(zip.ZipFileName(), source);
    EXPECT_FALSE(FileExists(exe));
    EXPECT_EQ(FileSize(source), archiveSize);
    EXPECT_EQ(UnzipTest(source), 0);
    EXPECT_EQ(PythonZipTest(source), 0);
    EXPECT_EQ(zip.ZipDataOffset(), 0);
}

TEST_F(SfxTest, Zip64ArchiveKeepsItsRecordsBothWays) {
    // zip -fz: every offset in zip64's end record and locator must move with the stub too.
    const std::string forced = InfoZipArchive(dir, "forced.zip", files, "-fz");
    const std::vector<ListedMember> listed = UnzipListing(forced);
    const std::int64_t archiveSize = FileSize(forced);
    zip.SetFileName(forced);
    ASSERT_EQ(zip.ConvertSFX(), 0) << zip.LastMessage();
    const std::string exe = WithoutExtension(forced) + ".exe";
    EXPECT_EQ(FileSize(exe), FileSize(kStub) + 256 + archiveSize);
    EXPECT_EQ(zip.LastErrorId(), 0) << zip.LastMessage();
    EXPECT_EQ(UnzipTest(exe), 0);
    EXPECT_EQ(PythonZipTest(exe), 0);
    ASSERT_EQ(zip.ConvertZIP(), 0) << zip.LastMessage();
    EXPECT_EQ(FileSize(forced), archiveSize);
    EXPECT_EQ(UnzipTest(forced), 0);
    EXPECT_EQ(PythonZipTest(forced), 0);
    EXPECT_EQ(UnzipListing(forced), listed);
}

TEST_F(SfxTest, HeaderCarriesTheOptionsAndTheProgramHonoursThem) {
    zip.SFXCaption = "Mario pack";
    zip.SFXDefaultDir = "games dir";
    zip.SFXCommandLine = "touch ran-here";
    zip.SFXOptions = {SFXAutoRun};
    zip.SFXOverWriteMode = OvrNever;
    zip.SetFileName(source);
    ASSERT_EQ(zip.ConvertSFX(), 0) << zip.LastMessage();
    const std::string exe = zip.ZipFileName();
    const std::string bytes = TempDir::read(exe).substr(FileSize(kStub), 256);
    const auto header = sfx::ParseHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->flags, sfx::kAutoRun | sfx::kOverwriteNever | sfx::kNoCheckSize);
    EXPECT_EQ(header->caption, "Mario pack");
    EXPECT_EQ(header->defaultDir, "games dir");

    dir.write("run/games dir/roms/readme.txt", "mine");
    ASSERT_EQ(Run(exe, dir.file("run")), 0) << Output();
    EXPECT_NE(Output().find("Mario pack"), std::string::npos);
    EXPECT_EQ(TempDir::read(dir.file("run/games dir/roms/readme.txt")), "mine") << "never overwrite";
    EXPECT_EQ(TempDir::read(dir.file("run/games dir/big.bin")), files[0].data);
    EXPECT_TRUE(FileExists(dir.file("run/games dir/ran-here"))) << "the command runs in the target folder";
}

TEST_F(SfxTest, FolderFilesAndOverwritesAreAskedFromTheUser) {
    zip.SFXOptions = {SFXAskFiles, SFXCheckSize};
    zip.SetFileName(source);
    ASSERT_EQ(zip.ConvertSFX(), 0);
    dir.write("run/there/roms/readme.txt", "mine");
    dir.write("run/there/empty.txt", "mine too");
    // Folder "there"; a wrong choice, then members 3 and 4; replace readme (y), keep empty.txt (n).
    ASSERT_EQ(Run(zip.ZipFileName(), dir.file("run"), "there\n9\n3 4\ny\nn\n"), 0) << Output();
    EXPECT_EQ(Snapshot(dir.file("run/there")),
              (std::map<std::string, std::string>{{"roms/readme.txt", Digest("read me\n")},
                                                  {"empty.txt", Digest("mine too")}}));
    EXPECT_NE(Output().find("Please give numbers from 1 to 4"), std::string::npos) << Output();
}

TEST_F(SfxTest, NewExeArchiveMadeByAddRunsAsAProgram) {
    WriteFiles(dir.file("src"), files);
    zip.SetFileName(dir.file("new.EXE"));
    zip.SetFSpecArgs({dir.file("src/big.bin"), dir.file("src/roms/readme.txt")});
    zip.Add();
    ASSERT_EQ(zip.LastErrorId(), 0) << zip.LastMessage();
    EXPECT_EQ(zip.GetCount(), 2);
    EXPECT_EQ(zip.ZipDataOffset(), FileSize(kStub) + 256);
    ASSERT_EQ(Run(dir.file("new.EXE"), dir.file("run"), "\n"), 0) << Output();
    EXPECT_EQ(Snapshot(dir.file("run")),
              (std::map<std::string, std::string>{{"big.bin", Digest(files[0].data)},
                                                  {"readme.txt", Digest("read me\n")}}));
}

// An encrypted self-extractor asks for its password, giving three tries; without the right
// one it writes nothing and says why.
TEST_F(SfxTest, EncryptedExeAsksForItsPassword) {
    WriteFiles(dir.file("src"), files);
    zip.SetFileName(dir.file("locked.exe"));
    zip.AddOptions = {AddEncrypt};
    zip.Password = "open sesame";
    zip.SetFSpecArgs({dir.file("src/big.bin"), dir.file("src/roms/readme.txt")});
    zip.Add();
    ASSERT_EQ(zip.SuccessCount(), 2) << zip.LastMessage();

    EXPECT_EQ(Run(dir.file("locked.exe"), dir.file("wrong"), "\nguess\nagain\nno\n"), 4) << Output();
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("wrong"))) << Output();
    EXPECT_NE(Output().find("Wrong password."), std::string::npos) << Output();
    EXPECT_NE(Output().find("need the archive's password"), std::string::npos) << Output();

    ASSERT_EQ(Run(dir.file("locked.exe"), dir.file("right"), "\nbad\nopen sesame\n"), 0) << Output();
    EXPECT_EQ(Snapshot(dir.file("right")),
              (std::map<std::string, std::string>{{"big.bin", Digest(files[0].data)},
                                                  {"readme.txt", Digest("read me\n")}}))
        << "one right answer opens every member";
}

// The self-extractor made for a new ".exe" goes again when the add fails or is stopped; an
// existing one stays as it was.
TEST_F(SfxTest, FailedAddToANewExeLeavesNothingBehind) {
    WriteFiles(dir.file("src"), files);
    zip.SetFileName(dir.file("new.exe"));
    zip.SetFSpecArgs({dir.file("src/no-such-file.bin")});
    zip.Add();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_FALSE(FileExists(dir.file("new.exe")));

    zip.OnProgress = [&](TZipArchiver*, ProgressType type, const std::string&, std::int32_t) {
        if (type == ptFileBegin) zip.CancelRequested = true;
    };
    zip.SetFSpecArgs({dir.file("src/big.bin")});
    zip.Add();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_FALSE(FileExists(dir.file("new.exe")));

    zip.AddOptions = {AddDiskSpan};
    zip.SetFSpecArgs({dir.file("src/big.bin")});
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::SfxNoSpan);
    EXPECT_FALSE(FileExists(dir.file("new.exe")));

    zip.AddOptions = {};
    zip.OnProgress = nullptr;
    zip.SetFSpecArgs({dir.file("src/roms/readme.txt")});
    zip.Add();
    ASSERT_EQ(zip.SuccessCount(), 1) << zip.LastMessage();
    const std::string made = TempDir::read(dir.file("new.exe"));
    zip.SetFSpecArgs({dir.file("src/no-such-file.bin")});
    zip.Add();
    EXPECT_EQ(TempDir::read(dir.file("new.exe")), made) << "not made by this call";
}

TEST_F(SfxTest, RefusalsGiveTheirMessageAndLeaveTheArchive) {
    const std::string original = TempDir::read(source);
    zip.SetFileName(source);
    const std::string exe = WithoutExtension(source) + ".exe";

    zip.SFXCaption = std::string(150, 'c');
    zip.SFXCommandLine = std::string(100, 'x');
    EXPECT_EQ(zip.ConvertSFX(), -9);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::SfxStringsTooLong);
    EXPECT_NE(zip.LastMessage().find("= 250"), std::string::npos) << zip.LastMessage();
    zip.SFXCommandLine.pop_back();  // 249 fit

    SetProgramFolder(dir.file("empty"));
    zip.SetDLLDirectory(dir.file("empty"));
    zip.SFXPath = dir.file("nowhere/ZIPSFX.BIN");
    EXPECT_EQ(zip.ConvertSFX(), -9);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::SfxStubMissing);
    SetProgramFolder(TARNWICK_APP_DIR);
    zip.SetDLLDirectory(TARNWICK_APP_DIR);

    zip.SFXPath = kStub;
    dir.write("games.ZIP.txt", original);
    zip.SetFileName(dir.file("games.ZIP.txt"));
    EXPECT_EQ(zip.ConvertSFX(), -9);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::SfxNotZip);
    EXPECT_EQ(zip.ConvertZIP(), -3);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NotExe);

    dir.write("plain.exe", original);
    zip.SetFileName(dir.file("plain.exe"));
    EXPECT_EQ(zip.ConvertZIP(), -9);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::SfxTypeUnknown);

    EXPECT_FALSE(FileExists(exe));
    EXPECT_FALSE(FileExists(dir.file("plain.zip")));
    EXPECT_EQ(TempDir::read(source), original);

    zip.SetFileName(source);
    EXPECT_EQ(zip.ConvertSFX(), 0) << "249 characters fit";
}

TEST_F(SfxTest, FailedCreationShowsItsTextAndReportsTheSystemsReason) {
    // A folder where the program would go: the box keeps its own text, the event adds why.
    zip.SetFileName(source);
    std::filesystem::create_directories(WithoutExtension(source) + ".exe");
    EXPECT_EQ(zip.ConvertSFX(), -9);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::CreateOutput);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, "Creation of output file failed");
    EXPECT_EQ(zip.LastMessage(), "Creation of output file failed");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Creation of output file failed: " + std::string(std::strerror(EEXIST)));
    EXPECT_TRUE(FileExists(source));
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                  std::filesystem::directory_iterator()));
}

TEST_F(SfxTest, ExceptionThroughAConversionClosesBothFilesAndDropsThePartOfTheTarget) {
    // Whatever the window layer throws while the copy lets events run passes through the
    // component, which must not keep the source and the half-written target open.
    const std::string original = TempDir::read(source);
    const std::string exe = WithoutExtension(source) + ".exe";
    zip.SetFileName(source);
    const auto failing = [] { throw std::runtime_error("the window went away"); };

    std::size_t before = OpenDescriptors();
    ui.onProcessMessages = failing;
    EXPECT_THROW(zip.ConvertSFX(), std::runtime_error);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_FALSE(FileExists(exe));
    EXPECT_EQ(TempDir::read(source), original);

    ui.onProcessMessages = nullptr;
    ASSERT_EQ(zip.ConvertSFX(), 0) << zip.LastMessage();
    const std::string program = TempDir::read(exe);
    before = OpenDescriptors();
    ui.onProcessMessages = failing;
    EXPECT_THROW(zip.ConvertZIP(), std::runtime_error);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ(TempDir::read(exe), program);
}

TEST_F(SfxTest, DamagedOrMissingArchivesMakeTheProgramFailClearly) {
    std::filesystem::copy_file(kStub, dir.file("bare.exe"));
    EXPECT_EQ(Run(dir.file("bare.exe"), dir.file("run0")), 2);
    EXPECT_NE(Output().find("holds no archive"), std::string::npos) << Output();
    zip.SetFileName(dir.file("bare.exe"));
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NotValidZip);
    EXPECT_EQ(zip.ConvertZIP(), -3);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoExeSpecified);
    EXPECT_FALSE(FileExists(dir.file("bare.zip")));

    zip.SetFileName(source);
    ASSERT_EQ(zip.ConvertSFX(), 0);
    const std::string exe = zip.ZipFileName();
    const std::string whole = TempDir::read(exe);

    dir.write("cut.exe", whole.substr(0, whole.size() - 100));
    chmod(dir.file("cut.exe").c_str(), 0755);
    EXPECT_EQ(Run(dir.file("cut.exe"), dir.file("run1"), "\n"), 3);
    EXPECT_NE(Output().find("damaged"), std::string::npos) << Output();

    std::string flipped = whole;
    const std::size_t data = flipped.find("read me\n");
    ASSERT_NE(data, std::string::npos);
    flipped[data] = 'R';
    dir.write("crc.exe", flipped);
    chmod(dir.file("crc.exe").c_str(), 0755);
    EXPECT_EQ(Run(dir.file("crc.exe"), dir.file("run2"), "\n"), 3);
    EXPECT_FALSE(FileExists(dir.file("run2/roms/readme.txt"))) << "no damaged file is left";
    EXPECT_EQ(FindFiles(dir.file("run2/roms"), "*", FindPlainFiles | FindHiddenFiles).size(), 0u);
}

TEST_F(SfxTest, MembersNamedOutsideTheTargetFolderAreSkipped) {
    CraftedZip crafted;
    crafted.Add("../escaped.txt", "bad");
    crafted.Add("/tmp/absolute-" + std::to_string(getpid()) + ".txt", "bad");
    crafted.Add("good/inside.txt", "good");
    dir.write("evil.zip", crafted.Build());
    zip.SetFileName(dir.file("evil.zip"));
    ASSERT_EQ(zip.ConvertSFX(), 0) << zip.LastMessage();
    ASSERT_EQ(Run(zip.ZipFileName(), dir.file("run/deep"), "\n"), 0) << Output();
    EXPECT_FALSE(FileExists(dir.file("run/escaped.txt")));
    EXPECT_FALSE(FileExists("/tmp/absolute-" + std::to_string(getpid()) + ".txt"));
    EXPECT_EQ(TempDir::read(dir.file("run/deep/good/inside.txt")), "good");
}

TEST_F(SfxTest, EraseMovesToTheTrashOrDeletesAndCopiesKeepTheDate) {
    setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    ZipSfxMaker maker(zip);
    dir.write("a/x.zip", "one");
    dir.write("b/x.zip", "two");
    EXPECT_EQ(maker.EraseFile(dir.file("a/x.zip"), htdAllowUndo), 0);
    EXPECT_EQ(maker.EraseFile(dir.file("b/x.zip"), htdAllowUndo), 0);
    EXPECT_FALSE(FileExists(dir.file("a/x.zip")));
    EXPECT_EQ(TempDir::read(dir.file("data/Trash/files/x.zip")), "one");
    EXPECT_EQ(TempDir::read(dir.file("data/Trash/files/x.zip.2")), "two");
    const std::string info = TempDir::read(dir.file("data/Trash/info/x.zip.trashinfo"));
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + dir.file("a/x.zip") + "\nDeletionDate=", 0), 0u) << info;
    EXPECT_EQ(maker.EraseFile(dir.file("a/x.zip"), htdAllowUndo), -1);
    dir.write("c.zip", "three");
    EXPECT_EQ(maker.EraseFile(dir.file("c.zip"), htdFinal), 0);
    EXPECT_FALSE(FileExists(dir.file("c.zip")));
    unsetenv("XDG_DATA_HOME");

    const struct timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
    utimensat(AT_FDCWD, source.c_str(), times, 0);
    EXPECT_EQ(maker.CopyFileA(source, dir.file("copy.zip")), 0);
    EXPECT_EQ(TempDir::read(dir.file("copy.zip")), TempDir::read(source));
    EXPECT_EQ(FileModified(dir.file("copy.zip")), 1500000000);
    EXPECT_EQ(maker.CopyFileA(dir.file("missing.zip"), dir.file("copy2.zip")), -3);
    EXPECT_EQ(maker.CopyFileA(source, dir.file("no/such/folder/copy.zip")), -1);
}

}  // namespace
