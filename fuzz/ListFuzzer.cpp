// libFuzzer target: arbitrary bytes listed as an archive. Every input must end in a listing or a
// numbered message, never a crash, a hang or a sanitizer report.
#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const std::string& ArchivePath() {
    static const std::string path = [] {
        // Memory-backed when there is one: the fuzzer writes a file per input.
        std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        folder += "/tarnwick-fuzz-XXXXXX";
        if (!mkdtemp(folder.data())) abort();
        return folder + "/input.zip";
    }();
    return path;
}

void WriteInput(const uint8_t* data, size_t size) {
    int fd = open(ArchivePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) abort();
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n <= 0) abort();
        data += n;
        size -= static_cast<size_t>(n);
    }
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteInput(data, size);
    static SilentZipUi ui;
    TZipArchiver zip;
    zip.SetUi(&ui);
    zip.Unattended = true;
    // The first byte picks the code page so every conversion path is fed.
    zip.CodePage = size > 0 ? static_cast<CPOpts>(data[0] % 3) : cpAUTO;
    zip.SetFileName(ArchivePath());
    // Touch what a caller reads afterwards.
    std::size_t total = zip.GetZipComment().size();
    for (const ZipDirEntry& e : zip.DirEntries()) total += e.FileName.size() + e.FileComment.size();
    if (zip.GetCount() < 0 || total > (size_t{1} << 32)) abort();
    return 0;
}
