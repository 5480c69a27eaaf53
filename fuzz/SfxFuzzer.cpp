// libFuzzer target: the self-extractor conversions. The bytes are converted from a
// self-extracting file to an archive (ConvertZIP), and from an archive to a self-extracting
// file (ConvertSFX) behind a small stub. Every input must end in a converted file or a
// numbered message, and a failed conversion must leave its source as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzFiles.h"
#include "platform/Files.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

namespace {

void Convert(const std::string& name, const uint8_t* data, size_t size, bool toSfx) {
    static SilentZipUi ui;
    static const std::string stub = [] {
        const char bytes[] = "#!/bin/sh\nexit 0\n";
        return fuzzfiles::Write("ZIPSFX.BIN", reinterpret_cast<const uint8_t*>(bytes), sizeof bytes - 1);
    }();
    const std::string path = fuzzfiles::Write(name, data, size);
    TZipArchiver zip;
    zip.SetUi(&ui);
    zip.Unattended = true;
    zip.HowToDelete = htdFinal;
    zip.SFXPath = stub;
    zip.SetFileName(path);
    const int result = toSfx ? zip.ConvertSFX() : zip.ConvertZIP();
    if (result != 0 && FileSize(path) != static_cast<std::int64_t>(size)) abort();
    for (const char* left : {"in.zip", "in.exe", "sfx.zip", "sfx.exe"}) fuzzfiles::Remove(left);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzfiles::UseFixedDrive();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Convert("sfx.exe", data, size, false);
    Convert("in.zip", data, size, true);
    return 0;
}
