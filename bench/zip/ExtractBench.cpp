// zip-extract: Extract of every member of a 200 MB archive of mixed compressible and random
// members against `unzip -o -qq` into a fresh folder.
#include "BenchSupport.h"

#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

#include <cstdio>

using namespace zipbench;

int main() {
    Scratch scratch;
    const std::string files = scratch.file("files/");
    WriteMixedFiles(files, 200u << 20, 40);
    const std::string archive = scratch.file("mixed.zip");
    Shell("cd " + Quote(files) + " && zip -q -j " + Quote(archive) + " *");

    SilentZipUi ui;
    TZipArchiver zip;
    PrepareComponent(zip, ui);
    zip.Load_Unz_Dll();
    zip.SetFileName(archive);
    const std::string ourOut = scratch.file("ours/");
    const std::string theirOut = scratch.file("unzip/");
    // Each side starts every round from an empty folder of its own.
    const auto fresh = [](const std::string& folder) {
        return [folder] { Shell("rm -rf " + Quote(folder) + " && mkdir -p " + Quote(folder)); };
    };
    int extracted = 0;
    const bench::Times t = bench::Duel(
        3, [&] { Shell("unzip -o -qq " + Quote(archive) + " -d " + Quote(theirOut)); },
        [&] {
            zip.ExtrBaseDir = ourOut;
            zip.ExtrOptions = {ExtrOverWrite};
            zip.FSpecArgs = {"*.*"};
            zip.Extract();
            extracted = zip.SuccessCount();
        },
        fresh(theirOut), fresh(ourOut));
    if (extracted != 40) {
        std::fprintf(stderr, "extracted %d members: %s\n", extracted, zip.LastMessage().c_str());
        return 1;
    }
    Shell("diff -r " + Quote(ourOut) + " " + Quote(files) + " >/dev/null");
    zip.Unload_Unz_Dll();
    return bench::Report("zip-extract", t, 1.1, "bytes=" + std::to_string(SizeOf(archive))) ? 0 : 1;
}
