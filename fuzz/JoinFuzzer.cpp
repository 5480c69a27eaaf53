// libFuzzer target: a set of volume files joined into one archive, as Extract joins a set.
// Input: one byte n (1 + n % 6 volumes), then n - 1 little-endian 32-bit lengths, each taking
// that many of the following bytes as a volume (fewer at the end of the input); what is left
// is the last volume. Every input must end in a joined archive or a numbered message.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzFiles.h"
#include "platform/Files.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipSpan.h"
#include "zip/ZipUi.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzfiles::UseFixedDrive();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int volumes = 1 + data[0] % 6;
    std::size_t at = 1;
    std::vector<std::string> names;
    for (int v = 0; v < volumes; ++v) {
        std::size_t length = size - at;
        if (v + 1 < volumes && at + 4 <= size) {
            const std::uint32_t wanted = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                                         (static_cast<std::uint32_t>(data[at + 3]) << 24);
            at += 4;
            length = std::min<std::size_t>(wanted, size - at);
        } else if (v + 1 < volumes) {
            length = 0;
        }
        names.push_back(VolumeFileName("set.zip", v));
        fuzzfiles::Write(names.back(), data + at, length);
        at += length;
    }
    static SilentZipUi ui;
    TZipArchiver zip;
    zip.SetUi(&ui);
    zip.Unattended = true;
    zip.HowToDelete = htdFinal;
    zip.TempDir = fuzzfiles::Folder();
    std::string joined = fuzzfiles::Folder() + "joined.zip";
    const int result = zip.ReadSpan(fuzzfiles::Folder() + names.back(), joined);
    if (result == 0 && !FileExists(joined)) abort();
    if (result != 0 && !joined.empty()) abort();
    fuzzfiles::Remove("joined.zip");
    for (const std::string& name : names) fuzzfiles::Remove(name);
    return 0;
}
