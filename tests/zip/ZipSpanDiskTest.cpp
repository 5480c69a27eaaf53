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
    SpanDiskTest() : drive(dir.file("drive/"), dir.file("store/"), 1200000), swapper(drive) {
        std::filesystem::create_directories(dir.file("drive"));
        zip.SetUi(&swapper);
        files = Games(2500000);
        source = InfoZipArchive(dir, "games.zip", files, "-0");
    }

    // Splits onto disks 0, 1, ...; the number of disks written.
    std::size_t SplitOntoDisks() {
        drive.Insert(0);
        EXPECT_EQ(zip.WriteSpan(source, dir.file("drive/games.zip")), 0) << zip.LastMessage();
        return drive.labels.size();
    }

    FakeRemovableDrive drive;
    DiskSwappingUi swapper;
    std::vector<FileSpec> files;
    std::string source;
};

TEST_F(SpanDiskTest, DisksAreAskedForInOrderWhenWritingAndReading) {
    const std::size_t disks = SplitOntoDisks();
    ASSERT_EQ(disks, 3u);
    EXPECT_EQ(swapper.requests, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(drive.labels, (std::vector<std::string>{"PKBACK# 001", "PKBACK# 002", "PKBACK# 003"}));
    EXPECT_NE(swapper.boxes[0].text.find("in drive: " + dir.file("drive/")), std::string::npos)
        << swapper.boxes[0].text;

    // The last disk is in the drive: list it, then extract (disk 1 is asked for first, and a
    // wrong disk offered once is asked for again).
    zip.SetFileName(dir.file("drive/games.zip"));
    ASSERT_EQ(zip.LastErrorId(), 0) << zip.LastMessage();
    EXPECT_EQ(zip.LastDiskNumber(), 2);
    swapper.requests.clear();
    swapper.wrongDiskFirst = true;
    zip.ExtrBaseDir = dir.file("out");
    std::filesystem::create_directories(zip.ExtrBaseDir);
    zip.ExtrOptions = {ExtrDirNames};
    zip.TempDir = dir.file("tmp");
    std::filesystem::create_directories(zip.TempDir);
    zip.SetFSpecArgs({"*.*"});
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), 4) << zip.LastMessage();
    EXPECT_EQ(Snapshot(zip.ExtrBaseDir), Expected(files));
    ASSERT_GE(swapper.requests.size(), 4u);
    EXPECT_EQ(std::vector<int>(swapper.requests.begin(), swapper.requests.begin() + 4),
              (std::vector<int>{1, 2, 2, 3}))
        << "disk 2 is asked for again after the wrong disk";
}

TEST_F(SpanDiskTest, AnEarlierDiskOfTheSameSetIsNotOverwrittenUnasked) {
    swapper.earlierDiskFirst = true;
    ASSERT_EQ(SplitOntoDisks(), 3u);
    EXPECT_EQ(swapper.requests, (std::vector<int>{1, 2, 2, 3}));
    const auto warning = std::find_if(swapper.boxes.begin(), swapper.boxes.end(),
                                      [](const SilentZipUi::Box& b) { return b.caption == "Confirm"; });
    ASSERT_NE(warning, swapper.boxes.end());
    EXPECT_EQ(warning->text, FormatZipStr(ZipMsg::PreviousDisk, 1));
    EXPECT_EQ(drive.labels, (std::vector<std::string>{"PKBACK# 001", "PKBACK# 002", "PKBACK# 003"}));
}

TEST_F(SpanDiskTest, FirstDiskOfASetIsNamedWhenListed) {
    SplitOntoDisks();
    drive.Insert(0);
    zip.SetFileName(dir.file("drive/games.zip"));
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::FirstDiskOfSet) << zip.LastMessage();
}

TEST_F(SpanDiskTest, UnattendedNeedsADiskAndRefuses) {
    drive.Insert(0);
    zip.Unattended = true;
    EXPECT_EQ(zip.WriteSpan(source, dir.file("drive/games.zip")), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::UnattendedSpan);
    EXPECT_TRUE(swapper.boxes.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("drive")));
}

TEST_F(SpanDiskTest, ADiskWhoseLabelCannotBeSetStopsTheSplitAndKeepsNothing) {
    drive.labelsAllowed = false;
    drive.Insert(0);
    EXPECT_EQ(zip.WriteSpan(source, dir.file("drive/games.zip")), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::LabelNotSet);
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("drive")));
}

TEST_F(SpanDiskTest, ADiskTooFullForAVolumeIsRefusedWithRetryOrCancel) {
    drive.Insert(0);
    dir.write("drive/other.bin", std::string(1200000 - 1000, 'x'));
    swapper.answers = {ZipUi::Answer::Ok, ZipUi::Answer::Cancel};
    EXPECT_EQ(zip.WriteSpan(source, dir.file("drive/games.zip")), -7);
    EXPECT_EQ(zip.LastErrorId(), ZipMsg::UserCanceled);
    ASSERT_EQ(swapper.boxes.size(), 2u);
    EXPECT_EQ(swapper.boxes[1].text, ZipMessageText(ZipMsg::NotEnoughSpace));
    EXPECT_EQ(swapper.boxes[1].buttons, ZipUi::Buttons::RetryCancel);
    EXPECT_FALSE(FileExists(dir.file("drive/games.zip")));
    EXPECT_TRUE(FileExists(dir.file("drive/other.bin")));
}

}  // namespace
