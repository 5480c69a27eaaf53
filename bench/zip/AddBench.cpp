// zip-add: Add of 200 MB of mixed files at level 9 against `zip -9 -q -j`; the archive's size
// is compared as well (target: within 1% of Info-ZIP's).
#include "BenchSupport.h"

#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

#include <cstdio>

using namespace zipbench;

int main() {
    Scratch scratch;
    const std::string files = scratch.file("files/");
    std::vector<std::string> names = WriteMixedFiles(files, 200u << 20, 40);
    const std::string ourZip = scratch.file("ours.zip");
    const std::string theirZip = scratch.file("infozip.zip");

    SilentZipUi ui;
    TZipArchiver zip;
    PrepareComponent(zip, ui);
    zip.Load_Zip_Dll();
    const double ours = BestSeconds(
        1, [&] { Shell("rm -f " + Quote(ourZip)); },
        [&] {
            zip.SetFileName(ourZip);
            zip.AddCompLevel = 9;
            zip.FSpecArgs.clear();
            for (const std::string& n : names) zip.FSpecArgs.push_back(files + n);
            zip.Add();
        });
    if (zip.SuccessCount() != 40) {
        std::fprintf(stderr, "added %d files: %s\n", zip.SuccessCount(), zip.LastMessage().c_str());
        return 1;
    }
    const double baseline = BestSeconds(
        1, [&] { Shell("rm -f " + Quote(theirZip)); },
        [&] { Shell("cd " + Quote(files) + " && zip -9 -q -j " + Quote(theirZip) + " *"); });
    Shell("unzip -tqq " + Quote(ourZip) + " >/dev/null");
    zip.Unload_Zip_Dll();
    const double sizeRatio = static_cast<double>(SizeOf(ourZip)) / static_cast<double>(SizeOf(theirZip));
    char extra[160];
    std::snprintf(extra, sizeof extra, "size_ratio=%.4f size_target=1.01 ours_bytes=%lld infozip_bytes=%lld", sizeRatio,
                  SizeOf(ourZip), SizeOf(theirZip));
    Report("zip-add", ours, baseline, 1.1, extra);
    return 0;
}
