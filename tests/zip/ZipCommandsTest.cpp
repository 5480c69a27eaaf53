// Add, Extract, Delete and passwords through the real engine libraries of the program folder.
#include "tests/support/Archives.h"
#include "tests/support/TempDir.h"

#include "engines/EngineApi.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipEngines.h"
#include "zip/ZipUi.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

using namespace archives;

namespace {

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() {
        zip_.SetUi(&ui_);
        zip_.SetDLLDirectory(TARNWICK_APP_DIR);
        zip_.OnMessage = [this](TZipArchiver*, int code, const std::string& text) {
            codes_.push_back(code);
            messages_.push_back(text);
        };
        zip_.OnProgress = [this](TZipArchiver*, ProgressType type, const std::string& name,
                                 std::int32_t size) {
            progress_.push_back(type);
            if (type == ptFileBegin) begun_.push_back(name);
            if (onProgress_) onProgress_(type, size);
        };
        src_ = dir_.file("src/");
        out_ = dir_.file("out/");
        CreateFolders(out_);
    }
    ~CommandsTest() override {
        EXPECT_EQ(EngineReferences(EngineKind::Zip), 0) << "an operation kept its engine";
        EXPECT_EQ(EngineReferences(EngineKind::Unz), 0);
    }

    // Writes files below src/ and returns their full paths.
    std::vector<std::string> Sources(const std::vector<FileSpec>& files) {
        WriteFiles(src_, files);
        std::vector<std::string> paths;
        for (const FileSpec& f : files) paths.push_back(src_ + f.name);
        return paths;
    }

    std::vector<std::string> Listed() const {
        std::vector<std::string> names;
        for (const ZipDirEntry& e : zip_.DirEntries()) names.push_back(e.FileName);
        return names;
    }

    std::string Out(const std::string& name) const { return out_ + name; }

    void ClearRecords() {
        codes_.clear();
        messages_.clear();
        progress_.clear();
        begun_.clear();
        ui_.boxes.clear();
    }

    TempDir dir_;
    SilentZipUi ui_;
    TZipArchiver zip_;
    std::string src_, out_;
    std::vector<int> codes_;
    std::vector<std::string> messages_;
    std::vector<ProgressType> progress_;
    std::vector<std::string> begun_;
    std::function<void(ProgressType, std::int32_t)> onProgress_;
};

const std::vector<FileSpec> kFiles = {
    {"alpha.nes", std::string(70000, 'a')},
    {"beta.smc", "beta"},
    {"sub/gamma.gb", std::string(3000, 'g')},
};

// Gives a file a modification time (seconds since 1970).
void SetTime(const std::string& path, time_t when) {
    utimbuf t{when, when};
    ASSERT_EQ(utime(path.c_str(), &t), 0) << path;
}

}  // namespace

// ---- Engines --------------------------------------------------------------------------------

TEST_F(CommandsTest, EnginesAreSharedAndUnloadedByWhoLoadedThem) {
    EXPECT_EQ(zip_.GetZipVers(), ZIP_ENGINE_VERSION);
    EXPECT_EQ(zip_.GetUnzVers(), UNZ_ENGINE_VERSION);
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 0) << "loaded for the question only";

    zip_.Trace = true;
    zip_.Load_Zip_Dll();
    zip_.Load_Unz_Dll();
    EXPECT_EQ(messages_, (std::vector<std::string>{"ZIP DLL Loaded", "UNZENGINE Loaded!"}));
    zip_.Load_Zip_Dll();
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 1) << "one component holds one reference";

    TZipArchiver other;
    other.SetUi(&ui_);
    other.Load_Zip_Dll();  // found in the program folder? no: already open, shared
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 2);
    zip_.Unload_Zip_Dll();
    EXPECT_EQ(other.GetZipVers(), ZIP_ENGINE_VERSION) << "still loaded for the other component";
    other.Unload_Zip_Dll();
    zip_.Unload_Unz_Dll();
}

TEST_F(CommandsTest, UnloadingTheEnginesDuringAnExtractKeepsTheRunningOne) {
    std::string archive = InfoZipArchive(dir_, "held.zip", kFiles);
    zip_.SetFileName(archive);
    zip_.ExtrBaseDir = out_;
    zip_.Load_Unz_Dll();
    int during = -1;
    onProgress_ = [&](ProgressType type, std::int32_t) {
        if (type != ptFileBegin || during >= 0) return;
        zip_.Unload_Unz_Dll();  // what a window closing from an event handler does
        during = EngineReferences(EngineKind::Unz);
    };
    zip_.FSpecArgs = {"*.*"};
    zip_.Extract();
    EXPECT_EQ(during, 1) << "the running extract holds its own reference";
    EXPECT_EQ(zip_.SuccessCount(), 3) << zip_.LastMessage();
    EXPECT_EQ(TempDir::read(Out("gamma.gb")), kFiles[2].data);
}

TEST_F(CommandsTest, MissingEngineIsReportedOncePerAttempt) {
    TempDir empty;
    const std::string program = ProgramFolder();
    SetProgramFolder(empty.path());
    zip_.SetDLLDirectory(empty.path());
    std::vector<std::string> files = Sources(kFiles);
    zip_.SetFileName(dir_.file("new.zip"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        ClearRecords();
        zip_.FSpecArgs = files;
        zip_.Add();
        EXPECT_EQ(messages_, std::vector<std::string>{"libzipengine.so not found!"});
        EXPECT_EQ(zip_.SuccessCount(), 0);
        EXPECT_EQ(zip_.FSpecArgs.size(), files.size()) << "no engine was called";
        EXPECT_FALSE(FileExists(dir_.file("new.zip")));
    }
    std::string archive = InfoZipArchive(dir_, "old.zip", kFiles);
    zip_.SetFileName(archive);
    ClearRecords();
    zip_.FSpecArgs = {"*.*"};
    zip_.Extract();
    EXPECT_EQ(messages_, std::vector<std::string>{"libunzengine.so not found!"});
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::UnzNotFound);
    EXPECT_EQ(zip_.GetUnzVers(), 0);

    // A library without the entry points is not kept.
    ASSERT_EQ(RunShell("cp " + ShellQuote(std::string(TARNWICK_APP_DIR) + "/libunzengine.so") + " " +
                       ShellQuote(empty.file("libzipengine.so"))),
              0);
    ClearRecords();
    EXPECT_EQ(zip_.GetZipVers(), 0);
    EXPECT_EQ(messages_, std::vector<std::string>{"ZipEngineExec function not found in libzipengine.so!"});
    SetProgramFolder(program);
}

// ---- Add ------------------------------------------------------------------------------------

TEST_F(CommandsTest, AddWritesAWholeArchiveAndListsIt) {
    std::vector<std::string> files = Sources(kFiles);
    zip_.SetFileName(dir_.file("made.zip"));
    zip_.FSpecArgs = files;
    zip_.Add();
    ASSERT_EQ(zip_.SuccessCount(), 3) << zip_.LastMessage();
    EXPECT_TRUE(zip_.FSpecArgs.empty());
    EXPECT_EQ(Listed(), (std::vector<std::string>{"alpha.nes", "beta.smc", "gamma.gb"})) << "folders dropped";
    EXPECT_EQ(UnzipTest(zip_.ZipFileName()), 0);
    EXPECT_EQ(PythonZipTest(zip_.ZipFileName()), 0);
    EXPECT_FALSE(zip_.AddBusy());
    EXPECT_GT(ui_.pumps, 0) << "the callback lets queued events run";

    // The engine's report order: count, total, each file, the end.
    ASSERT_GE(progress_.size(), 6u);
    EXPECT_EQ(progress_[0], ptFileCount);
    EXPECT_EQ(progress_[1], ptByteCount);
    EXPECT_EQ(progress_.back(), ptBatchEnd);
    EXPECT_EQ(begun_.size(), 3u);

    // Stored at level 0, folders kept, recursion into a folder by mask.
    zip_.SetFileName(dir_.file("stored.zip"));
    zip_.AddCompLevel = 0;
    zip_.AddOptions = {AddDirNames, AddRecurseDirs};
    zip_.FSpecArgs = {src_ + "*.gb"};
    zip_.Add();
    ASSERT_EQ(zip_.GetCount(), 1) << zip_.LastMessage();
    EXPECT_EQ(zip_.DirEntries()[0].CompressionMethod, 0);
    EXPECT_NE(zip_.DirEntries()[0].FileName.find("sub/gamma.gb"), std::string::npos)
        << zip_.DirEntries()[0].FileName;
    EXPECT_EQ(UnzipTest(zip_.ZipFileName()), 0);
}

TEST_F(CommandsTest, AddRefusalsInTheirOrderKeepTheSpecs) {
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoFilesToZip);
    zip_.FSpecArgs = {"x"};
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoZipSpecified);
    zip_.SetFileName(dir_.file("a.zip"));
    zip_.Unattended = true;
    zip_.AddOptions = {AddEncrypt};
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::UnattendedNoPassword);
    zip_.Unattended = false;
    zip_.AddOptions = {AddDiskSpan, AddFreshen};
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::SpanFreshenUpdate);
    zip_.AddOptions = {AddDiskSpanErase};
    std::string exe = dir_.file("a.EXE");
    ASSERT_EQ(
        RunShell("cp " + ShellQuote(InfoZipArchive(dir_, "for-exe.zip", kFiles)) + " " + ShellQuote(exe)), 0);
    zip_.SetFileName(exe);
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::SfxNoSpan);
    EXPECT_EQ(zip_.FSpecArgs, std::vector<std::string>{"x"});
    EXPECT_EQ(ui_.boxes.size(), 4u) << "the unattended refusal shows no box";
    EXPECT_FALSE(FileExists(dir_.file("a.zip")));
}

TEST_F(CommandsTest, CancelDuringAddLeavesTheArchiveAsItWas) {
    std::string archive = InfoZipArchive(dir_, "keep.zip", kFiles);
    const std::string before = TempDir::read(archive);
    std::vector<std::string> files =
        Sources({{"big1.bin", std::string(3 << 20, 'x')}, {"big2.bin", std::string(3 << 20, 'y')}});
    zip_.SetFileName(archive);
    onProgress_ = [this](ProgressType type, std::int32_t) {
        if (type == ptBytesDone) zip_.CancelRequested = true;
    };
    zip_.FSpecArgs = files;
    zip_.Add();
    EXPECT_EQ(zip_.SuccessCount(), 0);
    EXPECT_EQ(TempDir::read(archive), before);
    EXPECT_FALSE(zip_.CancelRequested) << "cleared when Add ends";
    EXPECT_TRUE(zip_.FSpecArgs.empty()) << "the engine was called";
    EXPECT_EQ(zip_.GetCount(), 3);
}

TEST_F(CommandsTest, ExceptionFromAnEventStopsTheEngine) {
    std::string archive = InfoZipArchive(dir_, "keep.zip", kFiles);
    const std::string before = TempDir::read(archive);
    zip_.SetFileName(archive);
    onProgress_ = [](ProgressType type, std::int32_t) {
        if (type == ptFileBegin) throw std::runtime_error("handler failed");
    };
    zip_.FSpecArgs = Sources({{"new.bin", std::string(100000, 'n')}});
    zip_.Add();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::FatalZip);
    EXPECT_EQ(TempDir::read(archive), before);
    EXPECT_FALSE(zip_.AddBusy());
}

TEST_F(CommandsTest, SecondAddOrExtractFromAnEventReturnsAtOnce) {
    std::string archive = InfoZipArchive(dir_, "two.zip", kFiles);
    zip_.SetFileName(archive);
    zip_.ExtrBaseDir = out_;
    int nested = 0;
    onProgress_ = [&](ProgressType type, std::int32_t) {
        if (type != ptFileBegin || nested++ > 0) return;
        EXPECT_TRUE(zip_.ExtractBusy());
        zip_.FSpecArgs = {"*.*"};
        zip_.Extract();  // busy: nothing happens
        EXPECT_EQ(zip_.FSpecArgs.size(), 1u);
    };
    zip_.FSpecArgs = {"*.*"};
    zip_.Extract();
    EXPECT_EQ(zip_.SuccessCount(), 3) << zip_.LastMessage();
    EXPECT_EQ(nested, 3);
    EXPECT_FALSE(zip_.ExtractBusy());
    EXPECT_EQ(TempDir::read(Out("alpha.nes")), kFiles[0].data);
}

// ---- Extract --------------------------------------------------------------------------------

TEST_F(CommandsTest, ExtractOptions) {
    WriteFiles(src_, kFiles);
    for (const FileSpec& f : kFiles) SetTime(src_ + f.name, 1600000000);  // 2020
    ASSERT_EQ(RunInfoZip(src_, dir_.file("opts.zip"), "-r", {"."}), 0);
    zip_.SetFileName(dir_.file("opts.zip"));
    zip_.ExtrBaseDir = out_;
    const std::string cwd = CurrentFolder();
    auto extract = [&](ExtrOpts options) {
        zip_.ExtrOptions = options;
        zip_.FSpecArgs = {"*.*"};
        zip_.Extract();
        EXPECT_EQ(CurrentFolder(), cwd) << "the current folder is given back";
        EXPECT_TRUE(zip_.FSpecArgs.empty());
        return zip_.SuccessCount();
    };

    // Test: nothing written.
    EXPECT_EQ(extract({ExtrTest}), 3);
    EXPECT_TRUE(FindFiles(out_, "*", FindPlainFiles | FindFolders).empty());

    // Without folder names every member lands in the base folder; with them, in its folder.
    EXPECT_EQ(extract({}), 3);
    EXPECT_TRUE(FileExists(Out("gamma.gb")));
    EXPECT_EQ(extract({ExtrDirNames}), 1) << "the two files of the base folder exist already";
    EXPECT_EQ(TempDir::read(Out("sub/gamma.gb")), kFiles[2].data);

    // Existing files stay unless overwriting.
    dir_.write("out/beta.smc", "mine");
    extract({});
    EXPECT_EQ(TempDir::read(Out("beta.smc")), "mine");
    extract({ExtrOverWrite});
    EXPECT_EQ(TempDir::read(Out("beta.smc")), "beta");

    // Freshen replaces older existing files only; update also creates missing ones.
    dir_.write("out/beta.smc", "old");
    SetTime(Out("beta.smc"), 1500000000);  // older than the member
    dir_.write("out/alpha.nes", "new");
    SetTime(Out("alpha.nes"), 1700000000);  // newer than the member
    DeleteFile(Out("gamma.gb"));
    extract({ExtrFreshen});
    EXPECT_EQ(TempDir::read(Out("beta.smc")), "beta");
    EXPECT_EQ(TempDir::read(Out("alpha.nes")), "new");
    EXPECT_FALSE(FileExists(Out("gamma.gb")));
    extract({ExtrUpdate, ExtrFreshen});
    EXPECT_TRUE(FileExists(Out("gamma.gb")));
    EXPECT_EQ(TempDir::read(Out("alpha.nes")), "new");
}

TEST_F(CommandsTest, ExtractOfARelativeArchiveAndMissingArchive) {
    std::string archive = InfoZipArchive(dir_, "rel.zip", kFiles);
    const std::string cwd = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(dir_.path()));
    zip_.SetFileName("rel.zip");
    zip_.ExtrBaseDir = out_;
    zip_.FSpecArgs = {"beta.smc"};
    zip_.Extract();
    EXPECT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    EXPECT_EQ(TempDir::read(Out("beta.smc")), "beta");

    zip_.SetFileName("gone.zip");
    zip_.FSpecArgs = {"*.*"};
    zip_.Extract();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoZipSpecified);
    EXPECT_EQ(zip_.FSpecArgs.size(), 1u);
    SetCurrentFolder(cwd);
}

TEST_F(CommandsTest, ABaseFolderThatIsNotThereIsRefusedNotTheCurrentFolder) {
    std::string archive = InfoZipArchive(dir_, "nowhere.zip", kFiles);
    const std::string cwd = CurrentFolder();
    CreateFolders(dir_.file("cwd"));
    ASSERT_TRUE(SetCurrentFolder(dir_.file("cwd")));
    zip_.SetFileName(archive);
    for (const std::string& base : {dir_.file("missing"), dir_.write("afile", "mine")}) {
        ClearRecords();
        zip_.ExtrBaseDir = base;
        zip_.FSpecArgs = {"*.*"};
        zip_.Extract();
        EXPECT_EQ(zip_.LastErrorId(), ZipMsg::ExtractFolderUnusable) << base;
        EXPECT_EQ(zip_.LastMessage(), "Error - cannot extract into the folder: " + base);
        ASSERT_EQ(ui_.boxes.size(), 1u);
        EXPECT_EQ(ui_.boxes[0].text, zip_.LastMessage());
        EXPECT_EQ(zip_.FSpecArgs.size(), 1u) << "a refusal keeps the names";
        EXPECT_EQ(CurrentFolder(), dir_.file("cwd/"));
    }
    EXPECT_TRUE(FindFiles(dir_.file("cwd"), "*", FindPlainFiles | FindFolders | FindHiddenFiles).empty());
    EXPECT_FALSE(FolderExists(dir_.file("missing")));
    EXPECT_EQ(TempDir::read(dir_.file("afile")), "mine");
    SetCurrentFolder(cwd);
}

TEST_F(CommandsTest, ZipSlipWritesNothingOutsideTheTarget) {
    CraftedZip z;
    z.Add("../escaped.txt", "evil");
    z.Add(dir_.file("absolute.txt"), "evil");
    z.Add("deep/../../../escaped2.txt", "evil");
    z.Add("fine.txt", "good");
    zip_.SetFileName(dir_.write("slip.zip", z.Build()));
    zip_.ExtrBaseDir = out_;
    zip_.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
    zip_.FSpecArgs = {"*.*"};
    zip_.Extract();
    EXPECT_EQ(TempDir::read(Out("fine.txt")), "good");
    EXPECT_FALSE(FileExists(dir_.file("escaped.txt")));
    EXPECT_FALSE(FileExists(dir_.file("absolute.txt")));
    EXPECT_FALSE(FileExists(dir_.file("escaped2.txt")));
    EXPECT_EQ(std::count(codes_.begin(), codes_.end(), ZERR_UNSAFE_NAME), 3);
    EXPECT_TRUE(ui_.boxes.empty()) << "engine messages show no box";
}

TEST_F(CommandsTest, EngineErrorCodesBecomeTheLastErrorId) {
    std::string archive = InfoZipArchive(dir_, "e.zip", kFiles);
    zip_.SetFileName(archive);
    zip_.ExtrBaseDir = out_;
    zip_.FSpecArgs = {"no-such-member"};
    zip_.Extract();
    EXPECT_EQ(zip_.SuccessCount(), 0);
    EXPECT_EQ(zip_.LastErrorId(), ZERR_NOTHING_TO_DO);
    ASSERT_FALSE(codes_.empty());
    EXPECT_EQ(codes_.back(), ZERR_NOTHING_TO_DO);
    EXPECT_EQ(zip_.LastMessage(), messages_.back());
    EXPECT_FALSE(zip_.LastMessage().empty());
    EXPECT_NE(zip_.LastMessage().back(), ' ');
}

// One rule reads names in the list, extraction and deletion: a member is extracted under the
// name it is listed with, and found by that name, whatever the CodePage setting. Hosts follow
// Info-ZIP's numbering: 11 with version 50 is Windows NT, 10 is not.
TEST_F(CommandsTest, MembersAreFoundAndWrittenUnderTheNamesTheListShows) {
    const std::vector<PyMember> members = {{"dos\x82.txt", "d", 0, 20, "", false},
                                           {"ntfs\x82.txt", "n", 11, 50, "", false},
                                           {"ten\x82.txt", "t", 10, 20, "", false},
                                           {"unix\x82.txt", "u", 3, 20, "", false}};
    const std::string archive = PythonZipArchive(dir_, "names.zip", members);
    zip_.ExtrBaseDir = out_;
    for (CPOpts codePage : {cpAUTO, cpOEM, cpNone}) {
        zip_.CodePage = codePage;
        zip_.SetFileName(archive);
        const std::vector<std::string> listed = Listed();
        ASSERT_EQ(listed.size(), members.size());
        for (std::size_t i = 0; i < listed.size(); ++i) {
            std::filesystem::remove_all(out_);
            CreateFolders(out_);
            zip_.FSpecArgs = {listed[i]};
            zip_.Extract();
            EXPECT_EQ(zip_.SuccessCount(), 1) << codePage << " " << listed[i] << ": " << zip_.LastMessage();
            EXPECT_EQ(FindFiles(out_, "*", FindPlainFiles), std::vector<std::string>{listed[i]}) << codePage;
        }
    }
    zip_.CodePage = cpAUTO;
    zip_.SetFileName(archive);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"dos\xc3\xa9.txt", "ntfs\xc3\xa9.txt", "ten\x82.txt",
                                                  "unix\x82.txt"}));

    zip_.CodePage = cpOEM;
    zip_.SetFileName(archive);
    zip_.FSpecArgs = {"unix\xc3\xa9.txt", "ten\xc3\xa9.txt"};
    zip_.Delete();
    EXPECT_EQ(zip_.SuccessCount(), 2) << zip_.LastMessage();
    EXPECT_EQ(UnzipNames(archive).size(), 2u);
}

// ---- Delete ---------------------------------------------------------------------------------

TEST_F(CommandsTest, DeleteRemovesMembersAndListsAgain) {
    std::string archive = InfoZipArchive(dir_, "d.zip", kFiles);
    zip_.SetFileName(archive);
    zip_.Delete();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoFilesToDelete);
    EXPECT_EQ(zip_.GetCount(), 3);

    zip_.FSpecArgs = {"beta.smc"};
    zip_.Delete();
    EXPECT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"alpha.nes", "sub/gamma.gb"}));
    EXPECT_EQ(UnzipNames(archive), Listed());
    EXPECT_EQ(UnzipTest(archive), 0);
    EXPECT_TRUE(zip_.FSpecArgs.empty());

    zip_.SetFileName(dir_.file("none.zip"));
    zip_.FSpecArgs = {"x"};
    zip_.Delete();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoZipSpecified);
}

// Deleting rewrites the archive, copying every member kept: the copy shows as progress and
// Stop during it leaves the archive byte for byte as it was.
TEST_F(CommandsTest, DeleteReportsTheRewriteAndStopLeavesTheArchiveWhole) {
    std::string noise(4 << 20, '\0');
    std::uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    std::string archive =
        InfoZipArchive(dir_, "big.zip", {{"big.bin", noise}, {"a.txt", "a"}, {"b.txt", "b"}}, "-0");
    const std::string before = TempDir::read(archive);
    zip_.SetFileName(archive);
    std::int64_t total = 0, done = 0;
    onProgress_ = [&](ProgressType type, std::int32_t size) {
        if (type == ptByteCount) total = size;
        if (type == ptBytesDone) done += size;
        if (type == ptBytesDone && size > 0) zip_.CancelRequested = true;
    };
    zip_.FSpecArgs = {"a.txt"};
    zip_.Delete();
    EXPECT_EQ(zip_.SuccessCount(), 0);
    EXPECT_GT(done, 0) << "the copy was reported";
    EXPECT_EQ(TempDir::read(archive), before);
    EXPECT_EQ(zip_.GetCount(), 3);

    onProgress_ = [&](ProgressType type, std::int32_t size) {
        if (type == ptByteCount) total = size;
        if (type == ptBytesDone) done += size;
    };
    done = 0;
    zip_.FSpecArgs = {"a.txt"};
    zip_.Delete();
    EXPECT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    EXPECT_GE(total, std::int64_t(noise.size()));
    EXPECT_EQ(done, total);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"big.bin", "b.txt"}));
    EXPECT_EQ(UnzipTest(archive), 0);
}

// As with Info-ZIP, an archive left without members is no archive: deleting every member
// removes the file (ROM properties warns of it).
TEST_F(CommandsTest, DeletingEveryMemberRemovesTheArchive) {
    std::string archive = InfoZipArchive(dir_, "all.zip", kFiles);
    zip_.SetFileName(archive);
    zip_.FSpecArgs = {"alpha.nes", "beta.smc"};
    zip_.Delete();
    ASSERT_EQ(zip_.SuccessCount(), 2) << zip_.LastMessage();
    EXPECT_TRUE(FileExists(archive));
    zip_.FSpecArgs = {"*.*"};
    zip_.Delete();
    EXPECT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    EXPECT_FALSE(FileExists(archive));
    EXPECT_EQ(zip_.GetCount(), 0);
    EXPECT_EQ(zip_.ArchiveFileSize(), 0);
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_EQ(FindFiles(dir_.path(), "*", FindPlainFiles), std::vector<std::string>{})
        << "nothing left beside it";
}

// ---- Passwords ------------------------------------------------------------------------------

TEST_F(CommandsTest, PasswordBoxes) {
    ui_.inputs = {"secret", "secret"};
    zip_.GetAddPassword();
    EXPECT_EQ(zip_.Password, "secret");
    ASSERT_EQ(ui_.boxes.size(), 2u);
    EXPECT_EQ(ui_.boxes[0].caption, "Password");
    EXPECT_EQ(ui_.boxes[0].text, "Enter Password for New Archive");
    EXPECT_EQ(ui_.boxes[1].text, "Confirm Password");

    ui_.inputs = {"one", "two"};
    zip_.GetAddPassword();
    EXPECT_EQ(zip_.Password, "");
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::PasswordMismatch);

    ui_.boxes.clear();
    ui_.inputs = {std::string(81, 'p')};  // too long: counts as none, no confirmation asked
    zip_.GetAddPassword();
    EXPECT_EQ(zip_.Password, "");
    EXPECT_EQ(ui_.boxes.size(), 1u);

    ui_.inputs = {"open sesame"};
    zip_.GetExtrPassword();
    EXPECT_EQ(zip_.Password, "open sesame");
    zip_.Unattended = true;
    zip_.GetExtrPassword();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoExtrPassword);
    zip_.GetAddPassword();
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NoAddPassword);
    EXPECT_EQ(zip_.Password, "open sesame");
}

TEST_F(CommandsTest, EncryptedAddAndExtract) {
    zip_.SetFileName(dir_.file("locked.zip"));
    zip_.AddOptions = {AddEncrypt};
    zip_.Password = "pw";
    zip_.FSpecArgs = Sources({{"hidden.nes", "treasure"}});
    zip_.Add();
    ASSERT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    EXPECT_TRUE(zip_.DirEntries()[0].GeneralFlags & 1);

    zip_.ExtrBaseDir = out_;
    zip_.Password = "wrong";
    zip_.FSpecArgs = {"*.*"};
    zip_.Extract();
    EXPECT_FALSE(FileExists(Out("hidden.nes")) && TempDir::read(Out("hidden.nes")) == "treasure");
    EXPECT_EQ(zip_.LastErrorId(), ZERR_PASSWORD);

    zip_.Password = "pw";
    zip_.FSpecArgs = {"*.*"};
    zip_.ExtrOptions = {ExtrOverWrite};
    zip_.Extract();
    EXPECT_EQ(TempDir::read(Out("hidden.nes")), "treasure");
}
