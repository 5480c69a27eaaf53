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
        zip.SetUi(&ui);
        zip.SetDLLDirectory(TARNWICK_APP_DIR);
        zip.OnMessage = [this](TZipArchiver*, int code, const std::string& text) {
            codes.push_back(code);
            messages.push_back(text);
        };
        zip.OnProgress = [this](TZipArchiver*, ProgressType type, const std::string& name, std::int32_t size) {
            progress.push_back(type);
            if (type == ptFileBegin) begun.push_back(name);
            if (onProgress) onProgress(type, size);
        };
        src = dir.file("src/");
        out = dir.file("out/");
        CreateFolders(out);
    }
    ~CommandsTest() override {
        EXPECT_EQ(EngineReferences(EngineKind::Zip), 0) << "an operation kept its engine";
        EXPECT_EQ(EngineReferences(EngineKind::Unz), 0);
    }

    // Writes files below src/ and returns their full paths.
    std::vector<std::string> Sources(const std::vector<FileSpec>& files) {
        WriteFiles(src, files);
        std::vector<std::string> paths;
        for (const FileSpec& f : files) paths.push_back(src + f.name);
        return paths;
    }

    std::vector<std::string> Listed() const {
        std::vector<std::string> names;
        for (const ZipDirEntry& e : zip.DirEntries()) names.push_back(e.FileName);
        return names;
    }

    std::string Out(const std::string& name) const { return out + name; }

    void ClearRecords() {
        codes.clear();
        messages.clear();
        progress.clear();
        begun.clear();
        ui.boxes.clear();
    }

    TempDir dir;
    SilentZipUi ui;
    TZipArchiver zip;
    std::string src, out;
    std::vector<int> codes;
    std::vector<std::string> messages;
    std::vector<ProgressType> progress;
    std::vector<std::string> begun;
    std::function<void(ProgressType, std::int32_t)> onProgress;
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
    EXPECT_EQ(zip.GetZipVers(), ZIP_ENGINE_VERSION);
    EXPECT_EQ(zip.GetUnzVers(), UNZ_ENGINE_VERSION);
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 0) << "loaded for the question only";

    zip.Trace = true;
    zip.Load_Zip_Dll();
    zip.Load_Unz_Dll();
    EXPECT_EQ(messages, (std::vector<std::string>{"ZIP DLL Loaded", "UNZENGINE Loaded!"}));
    zip.Load_Zip_Dll();
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 1) << "one component holds one reference";

    TZipArchiver other;
    other.SetUi(&ui);
    other.Load_Zip_Dll();  // found in the program folder? no: already open, shared
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 2);
    zip.Unload_Zip_Dll();
    EXPECT_EQ(other.GetZipVers(), ZIP_ENGINE_VERSION) << "still loaded for the other component";
    other.Unload_Zip_Dll();
    zip.Unload_Unz_Dll();
}

TEST_F(CommandsTest, UnloadingTheEnginesDuringAnExtractKeepsTheRunningOne) {
    std::string archive = InfoZipArchive(dir, "held.zip", kFiles);
    zip.SetFileName(archive);
    zip.ExtrBaseDir = out;
    zip.Load_Unz_Dll();
    int during = -1;
    onProgress = [&](ProgressType type, std::int32_t) {
        if (type != ptFileBegin || during >= 0) return;
        zip.Unload_Unz_Dll();  // what a window closing from an event handler does
        during = EngineReferences(EngineKind::Unz);
    };
    zip.FSpecArgs = {"*.*"};
    zip.Extract();
    EXPECT_EQ(during, 1) << "the running extract holds its own reference";
    EXPECT_EQ(zip.SuccessCount(), 3) << zip.LastMessage();
    EXPECT_EQ(TempDir::read(Out("gamma.gb")), kFiles[2].data);
}

TEST_F(CommandsTest, MissingEngineIsReportedOncePerAttempt) {
    TempDir empty;
    const std::string program = ProgramFolder();
    SetProgramFolder(empty.path());
    zip.SetDLLDirectory(empty.path());
    std::vector<std::string> files = Sources(kFiles);
    zip.SetFileName(dir.file("new.zip"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        ClearRecords();
        zip.FSpecArgs = files;
        zip.Add();
        EXPECT_EQ(messages, std::vector<std::string>{"libzipengine.so not found!"});
        EXPECT_EQ(zip.SuccessCount(), 0);
        EXPECT_EQ(zip.FSpecArgs.size(), files.size()) << "no engine was called";
        EXPECT_FALSE(FileExists(dir.file("new.zip")));
    }
    std::string archive = InfoZipArchive(dir, "old.zip", kFiles);
    zip.SetFileName(archive);
    ClearRecords();
    zip.FSpecArgs = {"*.*"};
    zip.Extract();
    EXPECT_EQ(messages, std::vector<std::string>{"libunzengine.so not found!"});
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::UnzNotFound);
    EXPECT_EQ(zip.GetUnzVers(), 0);

    // A library without the entry points is not kept.
    ASSERT_EQ(RunShell("cp " + ShellQuote(std::string(TARNWICK_APP_DIR) + "/libunzengine.so") + " " +
                       ShellQuote(empty.file("libzipengine.so"))), 0);
    ClearRecords();
    EXPECT_EQ(zip.GetZipVers(), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"ZipEngineExec function not found in libzipengine.so!"});
    SetProgramFolder(program);
}

// ---- Add ------------------------------------------------------------------------------------

TEST_F(CommandsTest, AddWritesAWholeArchiveAndListsIt) {
    std::vector<std::string> files = Sources(kFiles);
    zip.SetFileName(dir.file("made.zip"));
    zip.FSpecArgs = files;
    zip.Add();
    ASSERT_EQ(zip.SuccessCount(), 3) << zip.LastMessage();
    EXPECT_TRUE(zip.FSpecArgs.empty());
    EXPECT_EQ(Listed(), (std::vector<std::string>{"alpha.nes", "beta.smc", "gamma.gb"})) << "folders dropped";
    EXPECT_EQ(UnzipTest(zip.ZipFileName()), 0);
    EXPECT_EQ(PythonZipTest(zip.ZipFileName()), 0);
    EXPECT_FALSE(zip.AddBusy());
    EXPECT_GT(ui.pumps, 0) << "the callback lets queued events run";

    // The engine's report order: count, total, each file, the end.
    ASSERT_GE(progress.size(), 6u);
    EXPECT_EQ(progress[0], ptFileCount);
    EXPECT_EQ(progress[1], ptByteCount);
    EXPECT_EQ(progress.back(), ptBatchEnd);
    EXPECT_EQ(begun.size(), 3u);

    // Stored at level 0, folders kept, recursion into a folder by mask.
    zip.SetFileName(dir.file("stored.zip"));
    zip.AddCompLevel = 0;
    zip.AddOptions = {AddDirNames, AddRecurseDirs};
    zip.FSpecArgs = {src + "*.gb"};
    zip.Add();
    ASSERT_EQ(zip.GetCount(), 1) << zip.LastMessage();
    EXPECT_EQ(zip.DirEntries()[0].CompressionMethod, 0);
    EXPECT_NE(zip.DirEntries()[0].FileName.find("sub/gamma.gb"), std::string::npos) << zip.DirEntries()[0].FileName;
    EXPECT_EQ(UnzipTest(zip.ZipFileName()), 0);
}

TEST_F(CommandsTest, AddRefusalsInTheirOrderKeepTheSpecs) {
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoFilesToZip);
    zip.FSpecArgs = {"x"};
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoZipSpecified);
    zip.SetFileName(dir.file("a.zip"));
    zip.Unattended = true;
    zip.AddOptions = {AddEncrypt};
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::UnattendedNoPassword);
    zip.Unattended = false;
    zip.AddOptions = {AddDiskSpan, AddFreshen};
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::SpanFreshenUpdate);
    zip.AddOptions = {AddDiskSpanErase};
    std::string exe = dir.file("a.EXE");
    ASSERT_EQ(RunShell("cp " + ShellQuote(InfoZipArchive(dir, "for-exe.zip", kFiles)) + " " + ShellQuote(exe)), 0);
    zip.SetFileName(exe);
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::SfxNoSpan);
    EXPECT_EQ(zip.FSpecArgs, std::vector<std::string>{"x"});
    EXPECT_EQ(ui.boxes.size(), 4u) << "the unattended refusal shows no box";
    EXPECT_FALSE(FileExists(dir.file("a.zip")));
}

TEST_F(CommandsTest, CancelDuringAddLeavesTheArchiveAsItWas) {
    std::string archive = InfoZipArchive(dir, "keep.zip", kFiles);
    const std::string before = TempDir::read(archive);
    std::vector<std::string> files = Sources({{"big1.bin", std::string(3 << 20, 'x')}, {"big2.bin", std::string(3 << 20, 'y')}});
    zip.SetFileName(archive);
    onProgress = [this](ProgressType type, std::int32_t) {
        if (type == ptBytesDone) zip.CancelRequested = true;
    };
    zip.FSpecArgs = files;
    zip.Add();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_EQ(TempDir::read(archive), before);
    EXPECT_FALSE(zip.CancelRequested) << "cleared when Add ends";
    EXPECT_TRUE(zip.FSpecArgs.empty()) << "the engine was called";
    EXPECT_EQ(zip.GetCount(), 3);
}

TEST_F(CommandsTest, ExceptionFromAnEventStopsTheEngine) {
    std::string archive = InfoZipArchive(dir, "keep.zip", kFiles);
    const std::string before = TempDir::read(archive);
    zip.SetFileName(archive);
    onProgress = [](ProgressType type, std::int32_t) {
        if (type == ptFileBegin) throw std::runtime_error("handler failed");
    };
    zip.FSpecArgs = Sources({{"new.bin", std::string(100000, 'n')}});
    zip.Add();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::FatalZip);
    EXPECT_EQ(TempDir::read(archive), before);
    EXPECT_FALSE(zip.AddBusy());
}

TEST_F(CommandsTest, SecondAddOrExtractFromAnEventReturnsAtOnce) {
    std::string archive = InfoZipArchive(dir, "two.zip", kFiles);
    zip.SetFileName(archive);
    zip.ExtrBaseDir = out;
    int nested = 0;
    onProgress = [&](ProgressType type, std::int32_t) {
        if (type != ptFileBegin || nested++ > 0) return;
        EXPECT_TRUE(zip.ExtractBusy());
        zip.FSpecArgs = {"*.*"};
        zip.Extract();  // busy: nothing happens
        EXPECT_EQ(zip.FSpecArgs.size(), 1u);
    };
    zip.FSpecArgs = {"*.*"};
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), 3) << zip.LastMessage();
    EXPECT_EQ(nested, 3);
    EXPECT_FALSE(zip.ExtractBusy());
    EXPECT_EQ(TempDir::read(Out("alpha.nes")), kFiles[0].data);
}

// ---- Extract --------------------------------------------------------------------------------

TEST_F(CommandsTest, ExtractOptions) {
    WriteFiles(src, kFiles);
    for (const FileSpec& f : kFiles) SetTime(src + f.name, 1600000000);  // 2020
    ASSERT_EQ(RunInfoZip(src, dir.file("opts.zip"), "-r", {"."}), 0);
    zip.SetFileName(dir.file("opts.zip"));
    zip.ExtrBaseDir = out;
    const std::string cwd = CurrentFolder();
    auto extract = [&](ExtrOpts options) {
        zip.ExtrOptions = options;
        zip.FSpecArgs = {"*.*"};
        zip.Extract();
        EXPECT_EQ(CurrentFolder(), cwd) << "the current folder is given back";
        EXPECT_TRUE(zip.FSpecArgs.empty());
        return zip.SuccessCount();
    };

    // Test: nothing written.
    EXPECT_EQ(extract({ExtrTest}), 3);
    EXPECT_TRUE(FindFiles(out, "*", FindPlainFiles | FindFolders).empty());

    // Without folder names every member lands in the base folder; with them, in its folder.
    EXPECT_EQ(extract({}), 3);
    EXPECT_TRUE(FileExists(Out("gamma.gb")));
    EXPECT_EQ(extract({ExtrDirNames}), 1) << "the two files of the base folder exist already";
    EXPECT_EQ(TempDir::read(Out("sub/gamma.gb")), kFiles[2].data);

    // Existing files stay unless overwriting.
    dir.write("out/beta.smc", "mine");
    extract({});
    EXPECT_EQ(TempDir::read(Out("beta.smc")), "mine");
    extract({ExtrOverWrite});
    EXPECT_EQ(TempDir::read(Out("beta.smc")), "beta");

    // Freshen replaces older existing files only; update also creates missing ones.
    dir.write("out/beta.smc", "old");
    SetTime(Out("beta.smc"), 1500000000);  // older than the member
    dir.write("out/alpha.nes", "new");
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
    std::string archive = InfoZipArchive(dir, "rel.zip", kFiles);
    const std::string cwd = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(dir.path()));
    zip.SetFileName("rel.zip");
    zip.ExtrBaseDir = out;
    zip.FSpecArgs = {"beta.smc"};
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), 1) << zip.LastMessage();
    EXPECT_EQ(TempDir::read(Out("beta.smc")), "beta");

    zip.SetFileName("gone.zip");
    zip.FSpecArgs = {"*.*"};
    zip.Extract();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoZipSpecified);
    EXPECT_EQ(zip.FSpecArgs.size(), 1u);
    SetCurrentFolder(cwd);
}

TEST_F(CommandsTest, ABaseFolderThatIsNotThereIsRefusedNotTheCurrentFolder) {
    std::string archive = InfoZipArchive(dir, "nowhere.zip", kFiles);
    const std::string cwd = CurrentFolder();
    CreateFolders(dir.file("cwd"));
    ASSERT_TRUE(SetCurrentFolder(dir.file("cwd")));
    zip.SetFileName(archive);
    for (const std::string& base : {dir.file("missing"), dir.write("afile", "mine")}) {
        ClearRecords();
        zip.ExtrBaseDir = base;
        zip.FSpecArgs = {"*.*"};
        zip.Extract();
        EXPECT_EQ(zip.LastErrorId(), ZipMsg::ExtractFolderUnusable) << base;
        EXPECT_EQ(zip.LastMessage(), "Error - cannot extract into the folder: " + base);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, zip.LastMessage());
        EXPECT_EQ(zip.FSpecArgs.size(), 1u) << "a refusal keeps the names";
        EXPECT_EQ(CurrentFolder(), dir.file("cwd/"));
    }
    EXPECT_TRUE(FindFiles(dir.file("cwd"), "*", FindPlainFiles | FindFolders | FindHiddenFiles).empty());
    EXPECT_FALSE(FolderExists(dir.file("missing")));
    EXPECT_EQ(TempDir::read(dir.file("afile")), "mine");
    SetCurrentFolder(cwd);
}

TEST_F(CommandsTest, ZipSlipWritesNothingOutsideTheTarget) {
    CraftedZip z;
    z.Add("../escaped.txt", "evil");
    z.Add(dir.file("absolute.txt"), "evil");
    z.Add("deep/../../../escaped2.txt", "evil");
    z.Add("fine.txt", "good");
    zip.SetFileName(dir.write("slip.zip", z.Build()));
    zip.ExtrBaseDir = out;
    zip.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
    zip.FSpecArgs = {"*.*"};
    zip.Extract();
    EXPECT_EQ(TempDir::read(Out("fine.txt")), "good");
    EXPECT_FALSE(FileExists(dir.file("escaped.txt")));
    EXPECT_FALSE(FileExists(dir.file("absolute.txt")));
    EXPECT_FALSE(FileExists(dir.file("escaped2.txt")));
    EXPECT_EQ(std::count(codes.begin(), codes.end(), ZERR_UNSAFE_NAME), 3);
    EXPECT_TRUE(ui.boxes.empty()) << "engine messages show no box";
}

TEST_F(CommandsTest, EngineErrorCodesBecomeTheLastErrorId) {
    std::string archive = InfoZipArchive(dir, "e.zip", kFiles);
    zip.SetFileName(archive);
    zip.ExtrBaseDir = out;
    zip.FSpecArgs = {"no-such-member"};
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_EQ(zip.LastErrorId(), ZERR_NOTHING_TO_DO);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), ZERR_NOTHING_TO_DO);
    EXPECT_EQ(zip.LastMessage(), messages.back());
    EXPECT_FALSE(zip.LastMessage().empty());
    EXPECT_NE(zip.LastMessage().back(), ' ');
}

// One rule reads names in the list, extraction and deletion: a member is extracted under the
// name it is listed with, and found by that name, whatever the CodePage setting. Hosts follow
// Info-ZIP's numbering: 11 with version 50 is Windows NT, 10 is not.
TEST_F(CommandsTest, MembersAreFoundAndWrittenUnderTheNamesTheListShows) {
    const std::vector<PyMember> members = {{"dos\x82.txt", "d", 0, 20, "", false},
                                           {"ntfs\x82.txt", "n", 11, 50, "", false},
                                           {"ten\x82.txt", "t", 10, 20, "", false},
                                           {"unix\x82.txt", "u", 3, 20, "", false}};
    const std::string archive = PythonZipArchive(dir, "names.zip", members);
    zip.ExtrBaseDir = out;
    for (CPOpts codePage : {cpAUTO, cpOEM, cpNone}) {
        zip.CodePage = codePage;
        zip.SetFileName(archive);
        const std::vector<std::string> listed = Listed();
        ASSERT_EQ(listed.size(), members.size());
        for (std::size_t i = 0; i < listed.size(); ++i) {
            std::filesystem::remove_all(out);
            CreateFolders(out);
            zip.FSpecArgs = {listed[i]};
            zip.Extract();
            EXPECT_EQ(zip.SuccessCount(), 1) << codePage << " " << listed[i] << ": " << zip.LastMessage();
            EXPECT_EQ(FindFiles(out, "*", FindPlainFiles), std::vector<std::string>{listed[i]}) << codePage;
        }
    }
    zip.CodePage = cpAUTO;
    zip.SetFileName(archive);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"dos\xc3\xa9.txt", "ntfs\xc3\xa9.txt", "ten\x82.txt", "unix\x82.txt"}));

    zip.CodePage = cpOEM;
    zip.SetFileName(archive);
    zip.FSpecArgs = {"unix\xc3\xa9.txt", "ten\xc3\xa9.txt"};
    zip.Delete();
    EXPECT_EQ(zip.SuccessCount(), 2) << zip.LastMessage();
    EXPECT_EQ(UnzipNames(archive).size(), 2u);
}

// ---- Delete ---------------------------------------------------------------------------------

TEST_F(CommandsTest, DeleteRemovesMembersAndListsAgain) {
    std::string archive = InfoZipArchive(dir, "d.zip", kFiles);
    zip.SetFileName(archive);
    zip.Delete();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoFilesToDelete);
    EXPECT_EQ(zip.GetCount(), 3);

    zip.FSpecArgs = {"beta.smc"};
    zip.Delete();
    EXPECT_EQ(zip.SuccessCount(), 1) << zip.LastMessage();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"alpha.nes", "sub/gamma.gb"}));
    EXPECT_EQ(UnzipNames(archive), Listed());
    EXPECT_EQ(UnzipTest(archive), 0);
    EXPECT_TRUE(zip.FSpecArgs.empty());

    zip.SetFileName(dir.file("none.zip"));
    zip.FSpecArgs = {"x"};
    zip.Delete();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoZipSpecified);
}

// Deleting rewrites the archive, copying every member kept: the copy shows as progress and
// Stop during it leaves the archive byte for byte as it was.
TEST_F(CommandsTest, DeleteReportsTheRewriteAndStopLeavesTheArchiveWhole) {
    std::string noise(4 << 20, '\0');
    std::uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    std::string archive = InfoZipArchive(dir, "big.zip", {{"big.bin", noise}, {"a.txt", "a"}, {"b.txt", "b"}}, "-0");
    const std::string before = TempDir::read(archive);
    zip.SetFileName(archive);
    std::int64_t total = 0, done = 0;
    onProgress = [&](ProgressType type, std::int32_t size) {
        if (type == ptByteCount) total = size;
        if (type == ptBytesDone) done += size;
        if (type == ptBytesDone && size > 0) zip.CancelRequested = true;
    };
    zip.FSpecArgs = {"a.txt"};
    zip.Delete();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_GT(done, 0) << "the copy was reported";
    EXPECT_EQ(TempDir::read(archive), before);
    EXPECT_EQ(zip.GetCount(), 3);

    onProgress = [&](ProgressType type, std::int32_t size) {
        if (type == ptByteCount) total = size;
        if (type == ptBytesDone) done += size;
    };
    done = 0;
    zip.FSpecArgs = {"a.txt"};
    zip.Delete();
    EXPECT_EQ(zip.SuccessCount(), 1) << zip.LastMessage();
    EXPECT_GE(total, std::int64_t(noise.size()));
    EXPECT_EQ(done, total);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"big.bin", "b.txt"}));
    EXPECT_EQ(UnzipTest(archive), 0);
}

// As with Info-ZIP, an archive left without members is no archive: deleting every member
// removes the file (ROM properties warns of it).
TEST_F(CommandsTest, DeletingEveryMemberRemovesTheArchive) {
    std::string archive = InfoZipArchive(dir, "all.zip", kFiles);
    zip.SetFileName(archive);
    zip.FSpecArgs = {"alpha.nes", "beta.smc"};
    zip.Delete();
    ASSERT_EQ(zip.SuccessCount(), 2) << zip.LastMessage();
    EXPECT_TRUE(FileExists(archive));
    zip.FSpecArgs = {"*.*"};
    zip.Delete();
    EXPECT_EQ(zip.SuccessCount(), 1) << zip.LastMessage();
    EXPECT_FALSE(FileExists(archive));
    EXPECT_EQ(zip.GetCount(), 0);
    EXPECT_EQ(zip.ArchiveFileSize(), 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(FindFiles(dir.path(), "*", FindPlainFiles), std::vector<std::string>{}) << "nothing left beside it";
}

// ---- Passwords ------------------------------------------------------------------------------

TEST_F(CommandsTest, PasswordBoxes) {
    ui.inputs = {"secret", "secret"};
    zip.GetAddPassword();
    EXPECT_EQ(zip.Password, "secret");
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].caption, "Password");
    EXPECT_EQ(ui.boxes[0].text, "Enter Password for New Archive");
    EXPECT_EQ(ui.boxes[1].text, "Confirm Password");

    ui.inputs = {"one", "two"};
    zip.GetAddPassword();
    EXPECT_EQ(zip.Password, "");
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::PasswordMismatch);

    ui.boxes.clear();
    ui.inputs = {std::string(81, 'p')};  // too long: counts as none, no confirmation asked
    zip.GetAddPassword();
    EXPECT_EQ(zip.Password, "");
    EXPECT_EQ(ui.boxes.size(), 1u);

    ui.inputs = {"open sesame"};
    zip.GetExtrPassword();
    EXPECT_EQ(zip.Password, "open sesame");
    zip.Unattended = true;
    zip.GetExtrPassword();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoExtrPassword);
    zip.GetAddPassword();
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::NoAddPassword);
    EXPECT_EQ(zip.Password, "open sesame");
}

TEST_F(CommandsTest, EncryptedAddAndExtract) {
    zip.SetFileName(dir.file("locked.zip"));
    zip.AddOptions = {AddEncrypt};
    zip.Password = "pw";
    zip.FSpecArgs = Sources({{"hidden.nes", "treasure"}});
    zip.Add();
    ASSERT_EQ(zip.SuccessCount(), 1) << zip.LastMessage();
    EXPECT_TRUE(zip.DirEntries()[0].GeneralFlags & 1);

    zip.ExtrBaseDir = out;
    zip.Password = "wrong";
    zip.FSpecArgs = {"*.*"};
    zip.Extract();
    EXPECT_FALSE(FileExists(Out("hidden.nes")) && TempDir::read(Out("hidden.nes")) == "treasure");
    EXPECT_EQ(zip.LastErrorId(), ZERR_PASSWORD);

    zip.Password = "pw";
    zip.FSpecArgs = {"*.*"};
    zip.ExtrOptions = {ExtrOverWrite};
    zip.Extract();
    EXPECT_EQ(TempDir::read(Out("hidden.nes")), "treasure");
}
