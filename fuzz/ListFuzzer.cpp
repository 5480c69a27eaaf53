// libFuzzer target: arbitrary bytes listed as an archive, and read record by record by the
// directory reader as the unzip engine reads them. Every input must end in a listing or a
// numbered message, never a crash, a hang or a sanitizer report.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzFiles.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipUi.h"

namespace {

// Every member's local header, as an extractor reaches it from the directory.
void ReadEveryRecord(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) abort();
    const zipdir::ZipFile file(fd);
    try {
        const std::optional<zipdir::EndRecord> end = zipdir::FindEndRecord(file);
        if (end) {
            zipdir::CentralDirectoryReader reader(file, end->ExpectedDirectoryStart());
            zipdir::CentralEntry central;
            const std::int64_t shift =
                end->ExpectedDirectoryStart() - static_cast<std::int64_t>(end->centralOffset);
            for (std::uint64_t i = 0; i < end->totalEntries && reader.Next(central); ++i) {
                try {
                    const auto local = zipdir::ReadLocalHeader(
                        file, static_cast<std::int64_t>(central.values.localOffset) + shift);
                    if (local.DataStart() < local.position) abort();
                } catch (const zipdir::ReadError&) {
                }
            }
        }
    } catch (const zipdir::ReadError&) {
    }
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzfiles::UseFixedDrive();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzfiles::Write("input.zip", data, size);
    static SilentZipUi ui;
    TZipArchiver zip;
    zip.SetUi(&ui);
    zip.Unattended = true;
    // The first byte picks the code page so every conversion path is fed.
    zip.CodePage = size > 0 ? static_cast<CPOpts>(data[0] % 3) : cpAUTO;
    zip.SetFileName(path);
    // Touch what a caller reads afterwards.
    std::size_t total = zip.GetZipComment().size();
    for (const ZipDirEntry& e : zip.DirEntries()) total += e.FileName.size() + e.FileComment.size();
    if (zip.GetCount() < 0 || total > (size_t{1} << 32)) abort();
    ReadEveryRecord(path);
    return 0;
}
