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
    int added = 0;
    const bench::Times t = bench::Duel(
        3, [&] { Shell("cd " + Quote(files) + " && zip -9 -q -j " + Quote(theirZip) + " *"); },
        [&] {
            zip.SetFileName(ourZip);
            zip.AddCompLevel = 9;
            zip.FSpecArgs.clear();
            for (const std::string& n : names) zip.FSpecArgs.push_back(files + n);
            zip.Add();
            added = zip.SuccessCount();
        },
        [&] { Shell("rm -f " + Quote(theirZip)); }, [&] { Shell("rm -f " + Quote(ourZip)); });
    if (added != 40) {
        std::fprintf(stderr, "added %d files: %s\n", added, zip.LastMessage().c_str());
        return 1;
    }
    Shell("unzip -tqq " + Quote(ourZip) + " >/dev/null");
    zip.Unload_Zip_Dll();
    const double sizeRatio = static_cast<double>(SizeOf(ourZip)) / static_cast<double>(SizeOf(theirZip));
    char extra[160];
    std::snprintf(extra, sizeof extra, "size_ratio=%.4f size_target=1.01 ours_bytes=%lld infozip_bytes=%lld",
                  sizeRatio, SizeOf(ourZip), SizeOf(theirZip));
    return bench::Report("zip-add", t, 1.1, extra) && sizeRatio <= 1.01 ? 0 : 1;
}
