// Listing archives made by Info-ZIP, Python's zipfile and by hand; messages and properties.
#include "tests/support/Archives.h"
#include "tests/support/TempDir.h"

#include "platform/Drives.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

using namespace archives;

namespace {

// A component with a silent seam that records its boxes, messages and directory updates.
class ListTest : public ::testing::Test {
protected:
    ListTest() {
        zip_.SetUi(&ui_);
        zip_.OnMessage = [this](TZipArchiver*, int code, const std::string& text) {
            codes_.push_back(code);
            messages_.push_back(text);
        };
        zip_.OnDirUpdate = [this](TZipArchiver*) { ++dirUpdates_; };
    }

    // Lists the bytes written as name; the archive's path.
    std::string ListBytes(const std::string& bytes, const std::string& name = "a.zip") {
        std::string path = dir_.write(name, bytes);
        listed_ = path;
        zip_.SetFileName(path);
        return path;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const ZipDirEntry& e : zip_.DirEntries()) names.push_back(e.FileName);
        return names;
    }

    // Expects a failed listing with exactly one message of this id.
    void ExpectFailure(int id) {
        EXPECT_EQ(zip_.LastErrorId(), id) << zip_.LastMessage();
        EXPECT_EQ(zip_.ZipFileName(), "");
        EXPECT_EQ(zip_.GetCount(), 0);
        EXPECT_EQ(zip_.ZipDataOffset(), 0);
        ASSERT_FALSE(messages_.empty());
        EXPECT_EQ(messages_.back(), zip_.LastMessage());
        EXPECT_EQ(ui_.boxes.size(), messages_.size());
        EXPECT_EQ(dirUpdates_, 1);
        // The box says which archive: the message, then the archive's name on a line of its own.
        const std::string& message = zip_.LastMessage();
        EXPECT_EQ(ui_.boxes.back().text, (message.ends_with('\n') ? message : message + "\n") + listed_);
    }

    std::string listed_;  // the archive ListBytes named last

    TempDir dir_;
    SilentZipUi ui_;
    TZipArchiver zip_;
    std::vector<int> codes_;
    std::vector<std::string> messages_;
    int dirUpdates_ = 0;
};

const std::vector<FileSpec> kGames = {
    {"game.nes", std::string(5000, 'n')},
    {"roms/snes/mario.smc", "mario data mario data mario data"},
    {"roms/readme.txt", "read me"},
};

}  // namespace

TEST_F(ListTest, InfoZipArchiveWithFoldersAndCommentListsEveryMember) {
    std::string path = InfoZipArchive(dir_, "games.zip", kGames, "", "Best of 1990");
    const std::string bytes = TempDir::read(path);
    const std::string comment = ShellOutput(
        "python3 -c \"import sys, zipfile; "
        "sys.stdout.write(zipfile.ZipFile(sys.argv[1]).comment.decode())\" " +
        ShellQuote(path));
    ASSERT_EQ(comment.rfind("Best of 1990", 0), 0u);
    zip_.SetFileName(path);
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(Names(), UnzipNames(path));
    EXPECT_EQ(Names(), (std::vector<std::string>{"game.nes", "roms/snes/mario.smc", "roms/readme.txt"}));
    EXPECT_EQ(zip_.GetCount(), 3);
    EXPECT_EQ(zip_.GetZipComment(), comment);
    EXPECT_EQ(zip_.ZipDataOffset(), 0);
    EXPECT_EQ(zip_.ArchiveFileSize(), static_cast<std::int32_t>(TempDir::read(path).size()));
    const ZipDirEntry& first = zip_.DirEntries()[0];
    EXPECT_EQ(first.UncompressedSize, 5000u);
    EXPECT_EQ(first.Crc32, Crc32(std::string(5000, 'n')));
    EXPECT_EQ(first.CompressionMethod, 8);
    EXPECT_EQ(first.FileNameLength, 8);
    EXPECT_EQ(first.VersionMadeBy >> 8, 3);  // made on Unix
    EXPECT_EQ(first.HeaderBytes[20], 5000 & 0xFF);
    const std::size_t endRecord = bytes.size() - 22 - comment.size();
    std::uint32_t recorded = 0;
    for (int i = 3; i >= 0; --i)
        recorded = (recorded << 8) | static_cast<unsigned char>(bytes[endRecord + 16 + i]);
    EXPECT_EQ(zip_.CentralDirOffset(), static_cast<std::int32_t>(recorded));
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(dirUpdates_, 1);
    EXPECT_EQ(ui_.busyCount, 1);
    EXPECT_EQ(ui_.busyDepth, 0);
}

TEST_F(ListTest, ArchiveBehindAStub) {
    const std::string stub(1234, 's');
    std::string plain = InfoZipArchive(dir_, "plain.zip", kGames);
    std::string bytes = TempDir::read(plain);

    // Offsets not adjusted: the structure warning, every entry, the stub's size as data offset.
    std::string unadjusted = dir_.write("unadjusted.exe", stub + bytes);
    zip_.SetFileName(unadjusted);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::WarnStructure);
    EXPECT_EQ(zip_.GetCount(), 3);
    EXPECT_EQ(zip_.ZipDataOffset(), 1234);
    EXPECT_EQ(zip_.ZipFileName(), unadjusted);

    // zip -A adjusts them: no warning, the same data offset.
    std::string adjusted = dir_.write("adjusted.exe", stub + bytes);
    ASSERT_EQ(RunShell("zip -q -A " + ShellQuote(adjusted) + " >/dev/null 2>&1"), 0);
    messages_.clear();
    zip_.SetFileName(adjusted);
    EXPECT_TRUE(messages_.empty()) << messages_[0];
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::WarnStructure) << "left from before: List itself does not clear it";
    EXPECT_EQ(zip_.GetCount(), 3);
    EXPECT_EQ(zip_.ZipDataOffset(), 1234);
}

TEST_F(ListTest, CodePageRuleByHostAndSetting) {
    // 0x81 is u-umlaut in code page 437; Python writes the name bytes as given.
    std::string path = PythonZipArchive(dir_, "oem.zip",
                                        {{"\x81"
                                          "ber.nes",
                                          "a", 0, 20, "Gr\x81\xe1"},
                                         {"\x81nix.nes", "b", 3, 20, ""},
                                         {"ntfs\x81.nes", "c", 11, 50, ""},
                                         {"ntfs\x81.gb", "d", 11, 20, ""},
                                         {"utf8-\xc3\xbc.nes", "e", 0, 20, "", true, 0x800}},
                                        "Archiv \x81");
    zip_.SetFileName(path);
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(Names(), (std::vector<std::string>{"\xc3\xbc"
                                                 "ber.nes",
                                                 "\x81nix.nes", "ntfs\xc3\xbc.nes", "ntfs\x81.gb",
                                                 "utf8-\xc3\xbc.nes"}));
    EXPECT_EQ(zip_.DirEntries()[0].FileComment, "Gr\xc3\xbc\xc3\x9f");
    EXPECT_EQ(zip_.DirEntries()[1].FileComment, "");
    // The archive comment follows the host of the last entry listed (0 here).
    EXPECT_EQ(zip_.GetZipComment(), "Archiv \xc3\xbc");

    zip_.CodePage = cpNone;
    zip_.List();
    EXPECT_EQ(zip_.DirEntries()[0].FileName,
              "\x81"
              "ber.nes");
    EXPECT_EQ(zip_.GetZipComment(), "Archiv \x81");

    zip_.CodePage = cpOEM;
    zip_.List();
    EXPECT_EQ(zip_.DirEntries()[1].FileName, "\xc3\xbcnix.nes");
    EXPECT_EQ(zip_.DirEntries()[4].FileName, "utf8-\xc3\xbc.nes")
        << "a name flagged UTF-8 is never converted";
}

TEST_F(ListTest, EmptyArchivesAndMissingFiles) {
    ListBytes(EmptyArchive());
    EXPECT_EQ(zip_.GetCount(), 0);
    EXPECT_EQ(zip_.ZipDataOffset(), 0);
    EXPECT_EQ(zip_.ArchiveFileSize(), 22);
    EXPECT_FALSE(zip_.ZipFileName().empty());
    EXPECT_EQ(zip_.LastErrorId(), 0);

    // Python's empty archive with a comment: found by the backward search.
    std::string py = PythonZipArchive(dir_, "empty-comment.zip", {}, "nothing here");
    zip_.SetFileName(py);
    EXPECT_EQ(zip_.LastErrorId(), 0);
    EXPECT_EQ(zip_.GetZipComment(), "nothing here");
    EXPECT_EQ(zip_.ZipDataOffset(), 0);

    // A missing file and a folder: nothing listed, no message, the update still fired.
    dirUpdates_ = 0;
    zip_.SetFileName(dir_.file("missing.zip"));
    EXPECT_EQ(zip_.GetCount(), 0);
    EXPECT_EQ(zip_.ArchiveFileSize(), 0);
    EXPECT_EQ(zip_.ZipFileName(), dir_.file("missing.zip"));
    zip_.SetFileName(dir_.path());
    EXPECT_EQ(dirUpdates_, 2);
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ListTest, TrailingBytes) {
    CraftedZip z;
    z.Add("a.nes", "aaaa");
    z.Add("dir/b.nes", "bbbbbbbb");
    const std::string archive = z.Build();

    // Zeros filling up to a multiple of 512: a disk image's filler, no warning.
    std::string padded = archive + std::string(512 - archive.size() % 512, '\0');
    ListBytes(padded);
    EXPECT_EQ(zip_.LastErrorId(), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.nes", "dir/b.nes"}));

    // Zeros that do not end on a 512 boundary, non-zero bytes, or 512 zeros or more: garbage.
    for (const std::string& tail : {std::string(7, '\0'), std::string(512 - archive.size() % 512, 'x'),
                                    std::string(512 - archive.size() % 512 + 512, '\0')}) {
        messages_.clear();
        ListBytes(archive + tail);
        EXPECT_EQ(zip_.LastErrorId(), ZipMsg::WarnGarbage) << tail.size();
        EXPECT_EQ(messages_, std::vector<std::string>{"Warning - Garbage at the end of the zipfile!"});
        EXPECT_EQ(zip_.GetCount(), 2) << "the listing goes on";
    }
}

TEST_F(ListTest, CommentLengthsAtTheLimits) {
    CraftedZip z;
    z.Add("x.bin", "x");
    z.archiveComment = std::string(65535, 'k');
    ListBytes(z.Build());
    EXPECT_EQ(zip_.LastErrorId(), 0);
    EXPECT_EQ(zip_.GetZipComment().size(), 65535u);

    // A comment length running past the end of the file keeps what is there and warns.
    z.archiveComment = "short";
    z.commentLength = 40;
    ListBytes(z.Build());
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::WarnStructure);
    EXPECT_EQ(zip_.GetZipComment(), "short");
    EXPECT_EQ(zip_.GetCount(), 1);
}

TEST_F(ListTest, LongAndOddNames) {
    CraftedZip z;
    std::string longName = std::string(200, 'd') + "/" + std::string(299, 'f');
    z.Add(longName, "1");
    z.Add(std::string("cut\0here", 8), "2");
    z.entries[0].extra = std::string(20, 'e');
    z.entries[1].comment = "second";
    ListBytes(z.Build());
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(zip_.DirEntries()[0].FileName, longName);
    EXPECT_EQ(zip_.DirEntries()[1].FileName, "cut");
    EXPECT_EQ(zip_.DirEntries()[1].FileComment, "second");
    EXPECT_EQ(zip_.DirEntries()[1].ExtraFieldLength, 0);
    EXPECT_EQ(zip_.DirEntries()[0].ExtraFieldLength, 20);
}

// ---- zip64: what Info-ZIP and Python write, listed as `unzip -l` lists it ----

namespace {

std::vector<ListedMember> Listed(const TZipArchiver& zip) {
    std::vector<ListedMember> listed;
    for (const ZipDirEntry& e : zip.DirEntries()) listed.push_back({e.UncompressedSize64, e.FileName});
    return listed;
}

}  // namespace

TEST_F(ListTest, Zip64ArchivesOfInfoZip) {
    // zip -fz writes zip64 records for every archive; zip from standard input can only write
    // sizes it does not know yet as zip64.
    const std::string forced = InfoZipArchive(dir_, "forced.zip", kGames, "-fz");
    const std::string piped = dir_.file("piped.zip");
    ASSERT_EQ(RunShell("echo x | zip -q " + ShellQuote(piped) + " - 2>/dev/null"), 0);
    // The same zip64 archive behind a stub: its locator's offset counts without the stub.
    const std::string behind = dir_.write("behind.exe", std::string(777, 's') + TempDir::read(forced));
    for (const std::string& path : {forced, piped, behind}) {
        SCOPED_TRACE(path);
        messages_.clear();
        zip_.SetFileName(path);
        ASSERT_EQ(zip_.ZipFileName(), path) << zip_.LastMessage();
        ASSERT_FALSE(UnzipListing(path).empty());
        EXPECT_EQ(Listed(zip_), UnzipListing(path));
    }
    EXPECT_EQ(zip_.ZipDataOffset(), 777);
    EXPECT_EQ(messages_, std::vector<std::string>{"Warning - Error in zip structure!"});
    zip_.SetFileName(piped);
    EXPECT_TRUE(messages_.size() == 1) << messages_.back();
    ASSERT_EQ(zip_.GetCount(), 1);
    EXPECT_EQ(zip_.DirEntries()[0].FileName, "-");
    EXPECT_EQ(zip_.DirEntries()[0].UncompressedSize64, 2u);
}

TEST_F(ListTest, MoreThan65535EntriesFromPython) {
    const std::string path = dir_.file("many.zip");
    ASSERT_EQ(RunShell("python3 -c \"import sys, zipfile\n"
                       "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                       "    for i in range(70000): z.writestr('r/%05d.nes' % i, b'')\" " +
                       ShellQuote(path)),
              0);
    zip_.SetFileName(path);
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    ASSERT_EQ(zip_.GetCount(), 70000);
    EXPECT_EQ(Names(), UnzipNames(path));
}

TEST_F(ListTest, SparseArchiveOver4GiB) {
    const std::uint64_t big = (std::uint64_t{17} << 28);  // 4.25 GiB of zeros, a hole on disk
    const std::string path = dir_.file("dvd.zip");
    WriteSparseZip64(path, big);
    zip_.SetFileName(path);
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    EXPECT_EQ(Listed(zip_), UnzipListing(path));
    ASSERT_EQ(zip_.GetCount(), 2);
    const ZipDirEntry& dvd = zip_.DirEntries()[0];
    EXPECT_EQ(dvd.UncompressedSize64, big);
    EXPECT_EQ(dvd.CompressedSize64, big);
    EXPECT_EQ(dvd.UncompressedSize, 0xFFFFFFFFu) << "the 32-bit field keeps what the header holds";
    const ZipDirEntry& readme = zip_.DirEntries()[1];
    EXPECT_EQ(readme.LocalHeaderOffset, 0xFFFFFFFFu);
    EXPECT_EQ(readme.LocalHeaderOffset64, 30u + 7 + 20 + big);
    EXPECT_EQ(zip_.ZipDataOffset(), 0);
}

TEST_F(ListTest, Zip64FieldsWithoutTheirExtraField) {
    // A header saying "see zip64" with no 0x0001 block, or one cut short: listed with what the
    // header holds, as unzip lists it; a block running past the extra field is left alone.
    CraftedZip z;
    z.Add("none.bin", "1");
    z.Add("short.bin", "2");
    z.Add("past.bin", "3");
    z.entries[1].extra = std::string(
        "\x01\x00\x04\x00"
        "abcd",
        8);
    z.entries[2].extra = std::string(
        "\x01\x00\x40\x00"
        "abcd",
        8);
    std::size_t cd = 0;
    std::string bytes = z.Build(&cd);
    for (std::size_t at = cd, i = 0; i < 3; ++i) {
        for (int k = 0; k < 4; ++k) bytes[at + 24 + k] = static_cast<char>(0xFF);  // uncompressed size
        at += 46 + z.entries[i].name.size() + z.entries[i].extra.size();
    }
    ListBytes(bytes);
    ASSERT_EQ(zip_.LastErrorId(), 0) << zip_.LastMessage();
    ASSERT_EQ(zip_.GetCount(), 3);
    for (const ZipDirEntry& e : zip_.DirEntries()) EXPECT_EQ(e.UncompressedSize64, 0xFFFFFFFFu) << e.FileName;
}

TEST_F(ListTest, WrongDiskNumbersOnAWholeArchive) {
    CraftedZip z;
    z.Add("one.nes", "11111");
    z.Add("two.nes", "22222");
    // The directory said to lie on another disk, and an end record claiming to be disk 3 of a
    // set: every record is in this one file, so it is listed with a warning, as one file.
    for (auto [thisDisk, centralDisk] : {std::pair{0, 4}, std::pair{3, 3}, std::pair{2, 0}}) {
        SCOPED_TRACE(thisDisk * 10 + centralDisk);
        z.thisDisk = static_cast<std::uint16_t>(thisDisk);
        z.centralDisk = static_cast<std::uint16_t>(centralDisk);
        messages_.clear();
        const std::string path = ListBytes(z.Build());
        EXPECT_EQ(messages_, std::vector<std::string>{"Warning - Error in zip structure!"});
        EXPECT_EQ(Names(), (std::vector<std::string>{"one.nes", "two.nes"}));
        EXPECT_EQ(Listed(zip_), UnzipListing(path));
        EXPECT_EQ(zip_.LastDiskNumber(), 0);
        EXPECT_FALSE(zip_.SpannedSet());
    }
}

TEST_F(ListTest, DamagedDirectoriesGiveTheirErrors) {
    CraftedZip z;
    z.Add("one.nes", "11111");
    z.Add("two.nes", "22222");
    z.entries[1].comment = "a comment";
    std::size_t cd = 0;
    const std::string good = z.Build(&cd);

    struct Case {
        const char* what;
        int id;
        std::string bytes;
    };
    std::vector<Case> cases;
    {
        CraftedZip more = z;  // the count claims more entries than there are
        more.totalEntries = 3;
        cases.push_back({"count past the directory", ZipMsg::ReadCentralHeader, more.Build()});
    }
    {
        std::string b = good;
        b[cd] = 'X';
        cases.push_back({"central signature", ZipMsg::CentralSignature, b});
    }
    {
        CraftedZip big = z;  // the second name runs past the end of the file
        big.entries[1].name = "two.nes";
        std::string b = big.Build();
        std::size_t secondHeader = cd + 46 + 7;
        b[secondHeader + 28] = static_cast<char>(0xFF);  // file name length
        b[secondHeader + 29] = static_cast<char>(0xFF);
        b[secondHeader + 32] = 0;  // no comment
        cases.push_back({"name past the end", ZipMsg::ReadCentralName, b});
    }
    {
        std::string b = good;
        std::size_t secondHeader = cd + 46 + 7;
        b[secondHeader + 32] = static_cast<char>(0xF0);  // comment length far past the end
        cases.push_back({"comment past the end", ZipMsg::ReadFileComment, b});
    }
    {
        CraftedZip huge = z;  // a directory larger than the file in front of it
        huge.centralSize = 1 << 20;
        cases.push_back({"directory size", ZipMsg::SeekError, huge.Build()});
    }
    cases.push_back({"no end record", ZipMsg::NotValidZip, std::string(70000, 'r')});
    cases.push_back({"tiny file", ZipMsg::NotValidZip, "PK\x05\x06"});
    cases.push_back({"empty file", ZipMsg::NotValidZip, ""});
    cases.push_back({"end record cut", ZipMsg::NotValidZip, good.substr(0, good.size() - 5)});
    {
        // The first file of a set: spanning signature then a local header, end record elsewhere.
        std::string first = std::string("PK\x07\x08", 4) + good.substr(0, cd);
        cases.push_back({"first file of a set", ZipMsg::FirstFileOfSet, first});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.clear();
        ui_.boxes.clear();
        dirUpdates_ = 0;
        ListBytes(c.bytes);
        ExpectFailure(c.id);
    }
}

TEST_F(ListTest, HeadersCountedAreNeverTrusted) {
    // 65,535 entries claimed by a 22-byte file: an error, not a huge allocation.
    CraftedZip z;
    z.totalEntries = 65535;
    z.centralSize = 0;
    ListBytes(z.Build());
    ExpectFailure(ZipMsg::ReadCentralHeader);
}

TEST_F(ListTest, FifoIsRefusedWithoutHanging) {
    std::string fifo = dir_.file("pipe.zip");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    listed_ = fifo;
    zip_.SetFileName(fifo);
    ExpectFailure(ZipMsg::InputMissing);
}

TEST_F(ListTest, UnattendedFailureShowsNoBox) {
    zip_.Unattended = true;
    ListBytes("not a zip at all, not even close............");
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NotValidZip);
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_EQ(codes_, std::vector<int>{0});
}

// ---- The drive check and the set signs, through a replaced drive provider ----

namespace {

class FakeDrives : public DriveProvider {
public:
    std::string root = "/";
    std::optional<VolumeInfo> volume = VolumeInfo{"", 0};
    std::int64_t total = 1 << 30;
    DriveType type = DriveFixed;

    std::string Root(std::string_view) override { return root; }
    DriveType Type(std::string_view) override { return type; }
    bool FreeAndSize(std::string_view, std::int64_t& freeBytes, std::int64_t& totalBytes) override {
        freeBytes = total;
        totalBytes = total;
        return total >= 0;
    }
    std::optional<VolumeInfo> Volume(std::string_view) override { return volume; }
    bool SetLabel(std::string_view, std::string_view) override { return false; }
    bool DiskPresent(std::string_view) override { return volume.has_value(); }
};

class DriveTest : public ListTest {
protected:
    DriveTest() { SetDriveProvider(&drives_); }
    ~DriveTest() override { SetDriveProvider(nullptr); }
    FakeDrives drives_;
};

}  // namespace

TEST_F(DriveTest, MissingDrivesAndDisks) {
    const std::string good = EmptyArchive();
    drives_.root = "";
    ListBytes(good);
    ExpectFailure(ZipMsg::DriveNotDefined);
    EXPECT_EQ(zip_.LastMessage(), "Drive " + dir_.path() + " is NOT defined");

    // A drive whose disk cannot be read: absent, unless a blank disk is to be formatted.
    drives_.root = "/media/floppy/";
    drives_.volume.reset();
    messages_.clear();
    ui_.boxes.clear();
    dirUpdates_ = 0;
    ListBytes(good);
    ExpectFailure(ZipMsg::DriveNotDefined);
    EXPECT_EQ(zip_.LastMessage(), "Drive /media/floppy/ is NOT defined");
    zip_.AddOptions = {AddDiskSpan, AddDiskSpanErase};
    ListBytes(good);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::DriveNotDefined) << "left from before";
    EXPECT_FALSE(zip_.ZipFileName().empty());

    // A disk without a known size counts as present only on a network drive.
    drives_.volume = VolumeInfo{"DATA", 7};
    drives_.total = -1;
    messages_.clear();
    ListBytes(good);
    EXPECT_EQ(zip_.ZipFileName(), "");
    drives_.type = DriveRemote;
    ListBytes(good);
    EXPECT_FALSE(zip_.ZipFileName().empty());
}

TEST_F(DriveTest, BackupSetLabels) {
    CraftedZip z;
    z.Add("one.nes", "1");
    std::size_t cd = 0;
    std::string archive = z.Build(&cd);
    std::string firstOfSet = std::string("PK\x07\x08", 4) + archive.substr(0, cd);
    std::string middle = archive.substr(0, cd);

    drives_.volume = VolumeInfo{"PKBACK# 001", 1};
    ListBytes(firstOfSet);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::FirstDiskOfSet);

    drives_.volume = VolumeInfo{"PKBACK# 003", 1};
    ListBytes(middle);
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NthDiskOfSet);
    EXPECT_EQ(zip_.LastMessage(),
              "This is the 3th disk in a backup set,\nplease insert the last disk of this set");

    // The last disk of a set lists, marked as a set with its disk number.
    drives_.volume = VolumeInfo{"PKBACK# 002", 1};
    z.thisDisk = 1;
    z.centralDisk = 1;
    ListBytes(z.Build());
    EXPECT_EQ(zip_.LastErrorId(), ZipMsg::NthDiskOfSet) << "left from before";
    EXPECT_EQ(zip_.GetCount(), 1);
    EXPECT_EQ(zip_.LastDiskNumber(), 1);
    EXPECT_TRUE(zip_.SpannedSet());
}

// ---- Messages and properties ----

TEST(ZipMessages, CatalogueTextsAndFormats) {
    EXPECT_EQ(ZipMessageText(10102), "Error - no zip file specified!");
    EXPECT_EQ(ZipMessageText(10604), "libzipengine.so not found!");
    EXPECT_EQ(ZipMessageText(11047), "Central directory");
    EXPECT_EQ(ZipMessageText(4242),
              "ZipMessages.res is probably not bound to the executable\nMissing String ID is: 4242");
    EXPECT_EQ(LoadZipStr(4242), "");
    EXPECT_EQ(FormatZipStr(11034, 2, 5), "Please insert disk volume 2 of 5");
    EXPECT_EQ(FormatZipStr(11003, std::string("/x/")), "Not a valid drive: /x/");
    EXPECT_EQ(FormatZipStr(11039, std::string("50% off.zip")),
              "There is already a file 50% off.zip\nDo you want to overwrite this file");

    EZipArchiver plain(11036, false);
    EXPECT_EQ(plain.Id, 11036);
    EXPECT_FALSE(plain.DisplayMsg);
    EXPECT_STREQ(plain.what(), "This archive is not a valid Zip archive");
    EZipArchiver number(11040, std::int64_t{4});
    EXPECT_TRUE(number.DisplayMsg);
    EXPECT_EQ(number.Message,
              "ATTENTION: This is previous disk no 4!!!\nAre you sure you want to overwrite the contents");
    EXPECT_EQ(EZipArchiver(99, true).Message, ZipMessageText(99));
}

TEST(ZipMessages, ReportingAndPropertyRules) {
    SilentZipUi ui;
    TZipArchiver zip;
    zip.SetUi(&ui);
    std::vector<std::pair<int, std::string>> seen;
    zip.OnMessage = [&](TZipArchiver* sender, int code, const std::string& text) {
        EXPECT_EQ(sender, &zip);
        seen.emplace_back(code, text);
    };

    zip.ShowZipMessage(10202, "disk on fire");
    EXPECT_EQ(zip.LastErrorId(), 10202);
    EXPECT_EQ(zip.LastMessage(), "Unknown error in List() function\ndisk on fire");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, zip.LastMessage());
    EXPECT_EQ(ui.boxes[0].buttons, ZipUi::Buttons::Ok);
    zip.ShowExceptionError(EZipArchiver(11007, false));
    EXPECT_EQ(ui.boxes.size(), 1u) << "no display flag, no box";
    EXPECT_EQ(zip.LastErrorId(), 11007);
    zip.Unattended = true;
    zip.ShowZipMessage(10301);
    EXPECT_EQ(ui.boxes.size(), 1u);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], std::make_pair(0, std::string("Error - no files to zip!")));

    // Defaults of a new component.
    TZipArchiver fresh;
    EXPECT_EQ(fresh.AddCompLevel, 9);
    EXPECT_TRUE(fresh.SFXOptions == SFXOpts{SFXCheckSize});
    EXPECT_EQ(fresh.SFXCaption, "Self-extracting Archive");
    EXPECT_EQ(fresh.MinFreeVolumeSize, 65536);
    EXPECT_TRUE(fresh.ConfirmErase);
    EXPECT_EQ(fresh.HowToDelete, htdAllowUndo);
    EXPECT_EQ(fresh.CodePage, cpAUTO);
    EXPECT_EQ(fresh.GetCount(), 0);
    fresh.SetVersionInfo("9.99");
    EXPECT_EQ(fresh.VersionInfo(), "1.52 L");

    fresh.SetDLLDirectory("/opt/engines//");
    EXPECT_EQ(fresh.DLLDirectory(), "/opt/engines/") << "one separator dropped";
    fresh.SetDLLDirectory("/opt/engines/");
    EXPECT_EQ(fresh.DLLDirectory(), "/opt/engines/") << "the same value is not changed";

    // The size settings keep their value when given one they ignore.
    fresh.MaxVolumeSize = 4096;
    fresh.MaxVolumeSize = -1;
    fresh.KeepFreeOnDisk1 = 100;
    fresh.KeepFreeOnDisk1 = -5;
    fresh.MinFreeVolumeSize = 0;
    fresh.MinFreeVolumeSize = -1;
    EXPECT_EQ(fresh.MaxVolumeSize, 4096);
    EXPECT_EQ(fresh.KeepFreeOnDisk1, 100);
    EXPECT_EQ(fresh.MinFreeVolumeSize, 65536);
    fresh.KeepFreeOnDisk1 = 0;
    fresh.MinFreeVolumeSize = 1;
    EXPECT_EQ(fresh.KeepFreeOnDisk1, 0);
    EXPECT_EQ(fresh.MinFreeVolumeSize, 1);

    std::vector<std::string> specs{"*.nes", "*.smc"};
    fresh.SetFSpecArgs(specs);
    specs.push_back("*.gb");
    EXPECT_EQ(fresh.FSpecArgs.size(), 2u);

    AddOpts opts{AddDirNames, AddEncrypt};
    EXPECT_TRUE(opts.Has(AddEncrypt));
    EXPECT_EQ(opts.Bits(), (1u << 0) | (1u << 8));
    opts.Exclude(AddEncrypt).Include(AddDiskSpanErase);
    EXPECT_EQ(opts.Bits(), (1u << 0) | (1u << 11));
}
