// zip-list: List of a 65,535-entry archive against `unzip -Z1` on the same file.
#include "BenchSupport.h"

#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

#include <cstdio>

using namespace zipbench;

int main() {
    Scratch scratch;
    const std::string archive = scratch.file("many.zip");
    // Python's zipfile writes 65,535 small stored members quickly.
    Shell(
        "python3 -c \"import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
        "    for i in range(65535): z.writestr('roms/set%03d/game%05d.nes' % (i % 500, i), b'x' * (i % "
        "7))\" " +
        Quote(archive));

    SilentZipUi ui;
    TZipArchiver zip;
    zip.SetUi(&ui);
    int count = 0;
    const bench::Times t = bench::Duel(
        7, [&] { Shell("unzip -Z1 " + Quote(archive) + " >/dev/null"); },
        [&] {
            zip.SetFileName(archive);
            count = zip.GetCount();
        });
    if (count != 65535 || zip.LastErrorId() != 0) {
        std::fprintf(stderr, "listed %d entries, message %d\n", count, zip.LastErrorId());
        return 1;
    }
    return bench::Report("zip-list", t, 1.0, "entries=65535") ? 0 : 1;
}
