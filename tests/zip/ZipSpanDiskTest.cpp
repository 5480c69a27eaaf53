// Sets on removable disks: a fake drive whose disks are folders, swapped in when the component
// asks for one.
#include <algorithm>
#include <regex>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "tests/zip/ZipSpanFixture.h"
#include "zip/ZipSpan.h"

using namespace archives;
using namespace spantest;

namespace {

// A removable drive mounted at one folder; each disk is a folder of its own that is copied in
// when inserted. Labels can be set, as on a system that offers it.
class FakeRemovableDrive : public DriveProvider {
public:
    FakeRemovableDrive(std::string mount, std::string store, std::int64_t capacity)
        : mount_(std::move(mount)), store_(std::move(store)), capacity_(capacity) {
        SetDriveProvider(this);
    }
    ~FakeRemovableDrive() override { SetDriveProvider(nullptr); }

    // Takes the disk out (keeping what is on it) and puts disk n in; n beyond the last: a blank
    // disk. Files move by rename, so they keep their dates.
    void Insert(std::size_t n) {
        Eject();
        if (n >= labels.size()) labels.resize(n + 1);
        std::filesystem::create_directories(DiskFolder(n));
        MoveAll(DiskFolder(n), mount_);
        inserted_ = static_cast<int>(n);
    }
    void Eject() {
        if (inserted_ < 0) return;
        MoveAll(mount_, DiskFolder(inserted_));
        inserted_ = -1;
    }
    int Inserted() const { return inserted_; }

    std::string Root(std::string_view path) override {
        return Mine(path) ? mount_ : SystemDrives().Root(path);
    }
    DriveType Type(std::string_view path) override {
        return Mine(path) ? DriveRemovable : SystemDrives().Type(path);
    }
    bool FreeAndSize(std::string_view path, std::int64_t& freeBytes, std::int64_t& totalBytes) override {
        if (!Mine(path)) return SystemDrives().FreeAndSize(path, freeBytes, totalBytes);
        if (inserted_ < 0) return false;
        std::int64_t used = 0;
        for (const auto& e : std::filesystem::directory_iterator(mount_)) used += e.file_size();
        freeBytes = capacity_ - used;
        totalBytes = capacity_;
        return true;
    }
    std::optional<VolumeInfo> Volume(std::string_view path) override {
        if (!Mine(path)) return SystemDrives().Volume(path);
        if (inserted_ < 0) return std::nullopt;
        return VolumeInfo{labels[inserted_], 1000u + static_cast<unsigned>(inserted_)};
    }
    bool SetLabel(std::string_view path, std::string_view label) override {
        if (!Mine(path) || inserted_ < 0 || !labelsAllowed) return false;
        labels[inserted_] = std::string(label);
        return true;
    }
    bool DiskPresent(std::string_view path) override { return !Mine(path) || inserted_ >= 0; }

    std::vector<std::string> labels;
    bool labelsAllowed = true;

private:
    bool Mine(std::string_view path) const {
        return std::string(path).rfind(mount_, 0) == 0 || path == WithoutSlash();
    }
    std::string WithoutSlash() const { return mount_.substr(0, mount_.size() - 1); }
    std::string DiskFolder(std::size_t n) const { return store_ + "disk" + std::to_string(n) + "/"; }
    static void MoveAll(const std::string& from, const std::string& to) {
        for (const auto& e : std::filesystem::directory_iterator(from))
            std::filesystem::rename(e.path(), to + e.path().filename().string());
    }
    static DriveProvider& SystemDrives() {
        static SystemDriveProvider system;
        return system;
    }

    std::string mount_, store_;
    std::int64_t capacity_;
    int inserted_ = -1;
};

// The user at the drive: answers each request for a disk by inserting the one it names
// ("volume n"), or a blank one while writing, and records the requests.
class DiskSwappingUi : public SilentZipUi {
public:
    explicit DiskSwappingUi(FakeRemovableDrive& drive) : drive_(drive) {}
    Answer MessageBox(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                      Answer defaultButton) override {
        const Answer scripted = SilentZipUi::MessageBox(caption, text, buttons, icon, defaultButton);
        std::smatch m;
        if (!std::regex_search(text, m, std::regex("volume (\\d+)"))) return scripted;
        requests.push_back(std::stoi(m[1]));
        const int wanted = std::stoi(m[1]) - 1;
        const bool wrong = requests.size() == 2 && (wrongDiskFirst || earlierDiskFirst);
        drive_.Insert(wrong ? (wrongDiskFirst ? wanted + 1 : 0) : wanted);
        return Answer::Ok;
    }
    std::vector<int> requests;
    bool wrongDiskFirst = false;    // a disk after the wanted one, once
    bool earlierDiskFirst = false;  // the set's first disk, once

private:
    FakeRemovableDrive& drive_;
};

class SpanDiskTest : public ComponentTest {
protected:
    SpanDiskTest() : drive_(dir_.file("drive/"), dir_.file("store/"), 1200000), swapper_(drive_) {
        std::filesystem::create_directories(dir_.file("drive"));
        zip_.SetUi(&swapper_);
        files_ = Games(2500000);
        source_ = InfoZipArchive(dir_, "games.zip", files_, "-0");
    }

    // Splits onto disks 0, 1, ...; the number of disks written.
    std::size_t SplitOntoDisks() {
        drive_.Insert(0);
        EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("drive/games.zip")), 0) << zip_.LastMessage();
        return drive_.labels.size();
    }

    FakeRemovableDrive drive_;
    DiskSwappingUi swapper_;
    std::vector<FileSpec> files_;
    std::string source_;
};

TEST_F(SpanDiskTest, DisksAreAskedForInOrderWhenWritingAndReading) {
    const std::size_t disks = SplitOntoDisks();
    ASSERT_EQ(disks, 3u);
    EXPECT_EQ(swapper_.requests, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(drive_.labels, (std::vector<std::string>{"PKBACK# 001", "PKBACK# 002", "PKBACK# 003"}));
    EXPECT_NE(swapper_.boxes[0].text.find("in drive: " + dir_.file("drive/")), std::string::npos)
        << swapper_.boxes[0].text;

    // The last disk is in the drive: list it, then extract (disk 1 is asked for first, and a
    // wrong disk offered once is asked for again).
    zip_.SetFileName(dir_.file("drive/games.zip"));
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(zip_.LastDiskNumber(), 2);
    swapper_.requests.clear();
    swapper_.wrongDiskFirst = true;
    zip_.ExtrBaseDir = dir_.file("out");
    std::filesystem::create_directories(zip_.ExtrBaseDir);
    zip_.ExtrOptions = {ExtrDirNames};
    zip_.TempDir = dir_.file("tmp");
    std::filesystem::create_directories(zip_.TempDir);
    zip_.SetFSpecArgs({"*.*"});
    zip_.Extract();
    EXPECT_EQ(zip_.SuccessCount(), 4) << zip_.LastMessage();
    EXPECT_EQ(Snapshot(zip_.ExtrBaseDir), Expected(files_));
    ASSERT_GE(swapper_.requests.size(), 4u);
    EXPECT_EQ(std::vector<int>(swapper_.requests.begin(), swapper_.requests.begin() + 4),
              (std::vector<int>{1, 2, 2, 3}))
        << "disk 2 is asked for again after the wrong disk";
}

TEST_F(SpanDiskTest, AnEarlierDiskOfTheSameSetIsNotOverwrittenUnasked) {
    swapper_.earlierDiskFirst = true;
    ASSERT_EQ(SplitOntoDisks(), 3u);
    EXPECT_EQ(swapper_.requests, (std::vector<int>{1, 2, 2, 3}));
    const auto warning = std::find_if(swapper_.boxes.begin(), swapper_.boxes.end(),
                                      [](const SilentZipUi::Box& b) { return b.caption == "Confirm"; });
    ASSERT_NE(warning, swapper_.boxes.end());
    EXPECT_EQ(warning->text, FormatZipStr(ZipMsg::PreviousDisk, 1));
    EXPECT_EQ(drive_.labels, (std::vector<std::string>{"PKBACK# 001", "PKBACK# 002", "PKBACK# 003"}));
}

TEST_F(SpanDiskTest, FirstDiskOfASetIsNamedWhenListed) {
    SplitOntoDisks();
    drive_.Insert(0);
    zip_.SetFileName(dir_.file("drive/games.zip"));
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::FirstDiskOfSet) << zip_.LastMessage();
}

TEST_F(SpanDiskTest, UnattendedNeedsADiskAndRefuses) {
    drive_.Insert(0);
    zip_.Unattended = true;
    EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("drive/games.zip")), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::UnattendedSpan);
    EXPECT_TRUE(swapper_.boxes.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir_.file("drive")));
}

TEST_F(SpanDiskTest, ADiskWhoseLabelCannotBeSetStopsTheSplitAndKeepsNothing) {
    drive_.labelsAllowed = false;
    drive_.Insert(0);
    EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("drive/games.zip")), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::LabelNotSet);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.file("drive")));
}

TEST_F(SpanDiskTest, ADiskTooFullForAVolumeIsRefusedWithRetryOrCancel) {
    drive_.Insert(0);
    dir_.write("drive/other.bin", std::string(1200000 - 1000, 'x'));
    swapper_.answers = {ZipUi::Answer::Ok, ZipUi::Answer::Cancel};
    EXPECT_EQ(zip_.WriteSpan(source_, dir_.file("drive/games.zip")), -7);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::UserCanceled);
    ASSERT_EQ(swapper_.boxes.size(), 2u);
    EXPECT_EQ(swapper_.boxes[1].text, ZipMessageText(ZipMsg::NotEnoughSpace));
    EXPECT_EQ(swapper_.boxes[1].buttons, ZipUi::Buttons::RetryCancel);
    EXPECT_FALSE(FileExists(dir_.file("drive/games.zip")));
    EXPECT_TRUE(FileExists(dir_.file("drive/other.bin")));
}

}  // namespace
