// Archives past the classic limits, through the component and the real engines: one over
// 4 GiB that takes almost no disk (its big member is a hole in the file), a member over 4 GiB,
// and 70,000 entries. Each goes through Add, List, Extract and Delete.
#include "tests/support/Archives.h"
#include "tests/support/TempDir.h"

#include "platform/Files.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipEngines.h"
#include "zip/ZipUi.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

using namespace archives;

namespace {

constexpr std::uint64_t kBig = (4ull << 30) + (300ull << 20);  // 4.3 GiB
constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;

void Put64(std::string& out, std::uint64_t v) {
    Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}

// The CRC of size zero bytes, without reading them.
std::uint32_t ZerosCrc(std::uint64_t size) {
    static const std::string block(1 << 20, '\0');
    const uLong blockCrc = crc32(0, reinterpret_cast<const Bytef*>(block.data()), uInt(block.size()));
    uLong crc = crc32(0, nullptr, 0);
    for (; size >= block.size(); size -= block.size())
        crc = crc32_combine(crc, blockCrc, z_off_t(block.size()));
    return static_cast<std::uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(block.data()), uInt(size)));
}

std::string LocalHeader(const std::string& name, std::uint32_t crc, std::uint32_t size,
                        const std::string& extra) {
    std::string h;
    Put32(h, 0x04034b50);
    Put16(h, 45), Put16(h, 0), Put16(h, 0), Put16(h, 0), Put16(h, 0x5021);  // stored, 2020
    Put32(h, crc), Put32(h, size), Put32(h, size);
    Put16(h, static_cast<std::uint16_t>(name.size())), Put16(h, static_cast<std::uint16_t>(extra.size()));
    return h + name + extra;
}

std::string CentralHeader(const std::string& name, std::uint32_t crc, std::uint32_t size,
                          std::uint32_t offset, const std::string& extra) {
    std::string h;
    Put32(h, 0x02014b50);
    Put16(h, 3 << 8 | 45), Put16(h, 45), Put16(h, 0), Put16(h, 0), Put16(h, 0), Put16(h, 0x5021);
    Put32(h, crc), Put32(h, size), Put32(h, size);
    Put16(h, static_cast<std::uint16_t>(name.size())), Put16(h, static_cast<std::uint16_t>(extra.size()));
    Put16(h, 0), Put16(h, 0), Put16(h, 0), Put32(h, 0100644u << 16), Put32(h, offset);
    return h + name + extra;
}

std::string Zip64Extra(std::initializer_list<std::uint64_t> values) {
    std::string e;
    Put16(e, 1), Put16(e, static_cast<std::uint16_t>(values.size() * 8));
    for (std::uint64_t v : values) Put64(e, v);
    return e;
}

// big.bin (kBig stored zero bytes, a hole in the file) and small.txt behind it, past 4 GiB.
std::string SparseZip64(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::uint32_t bigCrc = ZerosCrc(kBig), smallCrc = Crc32("small");
    const std::string first = LocalHeader("big.bin", bigCrc, kAllOnes, Zip64Extra({kBig, kBig}));
    const std::uint64_t smallAt = first.size() + kBig;
    const std::string second = LocalHeader("small.txt", smallCrc, 5, "") + "small";
    const std::uint64_t directoryAt = smallAt + second.size();
    const std::string directory = CentralHeader("big.bin", bigCrc, kAllOnes, 0, Zip64Extra({kBig, kBig})) +
                                  CentralHeader("small.txt", smallCrc, 5, kAllOnes, Zip64Extra({smallAt}));
    std::string end;
    Put32(end, 0x06064b50), Put64(end, 44), Put16(end, 45), Put16(end, 45), Put32(end, 0), Put32(end, 0);
    Put64(end, 2), Put64(end, 2), Put64(end, directory.size()), Put64(end, directoryAt);
    Put32(end, 0x07064b50), Put32(end, 0), Put64(end, directoryAt + directory.size()), Put32(end, 1);
    Put32(end, 0x06054b50), Put16(end, 0), Put16(end, 0), Put16(end, 2), Put16(end, 2);
    Put32(end, static_cast<std::uint32_t>(directory.size())), Put32(end, kAllOnes), Put16(end, 0);
    const std::string tail = directory + end;
    const bool written = pwrite(fd, first.data(), first.size(), 0) == ssize_t(first.size()) &&
                         pwrite(fd, second.data(), second.size(), off_t(smallAt)) == ssize_t(second.size()) &&
                         pwrite(fd, tail.data(), tail.size(), off_t(directoryAt)) == ssize_t(tail.size());
    close(fd);
    if (!written) throw std::runtime_error("cannot write " + path);
    return path;
}

class LargeTest : public ::testing::Test {
protected:
    LargeTest() {
        zip_.SetUi(&ui_);
        zip_.SetDLLDirectory(TARNWICK_APP_DIR);
        zip_.Unattended = true;
        zip_.ExtrBaseDir = out_;
        CreateFolders(out_);
    }

    std::int32_t Extract(const std::vector<std::string>& specs, ExtrOpts options = {}) {
        zip_.ExtrOptions = options;
        zip_.FSpecArgs = specs;
        zip_.Extract();
        return zip_.SuccessCount();
    }

    TempDir dir_;
    std::string out_ = dir_.file("out/");
    SilentZipUi ui_;
    TZipArchiver zip_;
};

TEST_F(LargeTest, AnArchiveOverFourGiBIsListedExtractedAndShrunk) {
    const std::string archive = SparseZip64(dir_.file("dvd.zip"));
    ASSERT_EQ(UnzipNames(archive), (std::vector<std::string>{"big.bin", "small.txt"})) << "Info-ZIP reads it";
    zip_.SetFileName(archive);
    ASSERT_EQ(zip_.GetCount(), 2) << zip_.LastMessage();
    EXPECT_EQ(zip_.DirEntries()[0].UncompressedSize64, kBig);
    EXPECT_GT(zip_.DirEntries()[1].LocalHeaderOffset64, kBig);

    EXPECT_EQ(Extract({"small.txt"}), 1) << zip_.LastMessage();
    EXPECT_EQ(TempDir::read(out_ + "small.txt"), "small");
    EXPECT_EQ(Extract({"big.bin"}, {ExtrTest}), 1) << "read whole, its CRC checked: " << zip_.LastMessage();

    zip_.FSpecArgs = {"big.bin"};
    zip_.Delete();
    EXPECT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    EXPECT_EQ(zip_.GetCount(), 1);
    EXPECT_LT(FileSize(archive), 1000);
    EXPECT_EQ(UnzipTest(archive), 0);
}

TEST_F(LargeTest, AMemberOverFourGiBIsAddedListedAndTested) {
    const std::string image = dir_.file("src/disc.iso");
    CreateFolders(dir_.file("src"));
    {
        const int fd = open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_EQ(ftruncate(fd, off_t(kBig)), 0);  // zeros, a hole in the file
        close(fd);
    }
    zip_.SetFileName(dir_.file("disc.zip"));
    zip_.AddCompLevel = 1;
    zip_.FSpecArgs = {image};
    zip_.Add();
    ASSERT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    ASSERT_EQ(zip_.GetCount(), 1);
    EXPECT_EQ(zip_.DirEntries()[0].UncompressedSize64, kBig);
    EXPECT_EQ(UnzipNames(zip_.ZipFileName()), std::vector<std::string>{"disc.iso"});
    EXPECT_EQ(Extract({"disc.iso"}, {ExtrTest}), 1) << zip_.LastMessage();
}

TEST_F(LargeTest, SeventyThousandEntriesRoundTrip) {
    const std::string archive = dir_.file("many.zip");
    ASSERT_EQ(RunShell("python3 -c 'import zipfile,sys\n"
                       "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                       "    [z.writestr(\"f%05d.txt\" % i, str(i)) for i in range(70000)]' " +
                       ShellQuote(archive)),
              0);
    zip_.SetFileName(archive);
    ASSERT_EQ(zip_.GetCount(), 70000) << zip_.LastMessage();
    EXPECT_EQ(zip_.DirEntries().back().FileName, "f69999.txt");

    zip_.FSpecArgs = {dir_.write("extra.txt", "one more")};
    zip_.Add();
    ASSERT_EQ(zip_.SuccessCount(), 1) << zip_.LastMessage();
    EXPECT_EQ(zip_.GetCount(), 70001);
    EXPECT_EQ(UnzipNames(archive).size(), 70001u);

    EXPECT_EQ(Extract({"f12345.txt", "f69999.txt", "extra.txt"}), 3) << zip_.LastMessage();
    EXPECT_EQ(TempDir::read(out_ + "f69999.txt"), "69999");
    EXPECT_EQ(TempDir::read(out_ + "extra.txt"), "one more");

    zip_.FSpecArgs = {"f0000?.txt"};
    zip_.Delete();
    EXPECT_EQ(zip_.SuccessCount(), 10) << zip_.LastMessage();
    EXPECT_EQ(zip_.GetCount(), 69991);
    EXPECT_EQ(UnzipTest(archive), 0);
}

}  // namespace
