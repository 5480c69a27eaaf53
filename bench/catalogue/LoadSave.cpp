// catalogue-load-save: LoadRomList + SaveRomList of a 100,000-ROM list file, against copying
// the same file. The save replaces its file durably (written, fsynced, renamed), so the copy is
// made as durably: read in chunks, written to a new file, fsynced.
#include <fcntl.h>
#include <unistd.h>

#include "BenchCommon.h"
#include "platform/Files.h"

namespace {

// Copies as cp does, through a buffer of a few hundred KiB, then fsyncs.
void DurableCopy(const std::string& from, const std::string& to)
{
    const int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = fd >= 0;
    const bool read = ok && ReadFileChunks(from, [&](std::string_view chunk) {
        while (ok && !chunk.empty()) {
            const ssize_t n = write(fd, chunk.data(), chunk.size());
            ok = n > 0;
            if (ok)
                chunk.remove_prefix(static_cast<std::size_t>(n));
        }
    });
    if (!read || !ok || fsync(fd) != 0) {
        std::perror("copy");
        std::exit(2);
    }
    close(fd);
}

} // namespace

int main()
{
    constexpr int RomCount = 100000;
    bench::Scratch scratch;
    const std::string list = scratch.path() + "ROMS.LST";
    const std::string copy = scratch.path() + "COPY.LST";
    {
        std::mt19937 random(1);
        EmuManager maker(scratch.path() + "none.log");
        for (int i = 0; i < RomCount; ++i)
            maker.AddRom(bench::MakeRom(random, i));
        maker.SaveRomList(list);
    }

    // Emptying the catalogue between rounds is not part of a load or a save.
    EmuManager m(scratch.path() + "none.log");
    const bench::Times t = bench::Duel(
        9, [&] { DurableCopy(list, copy); },
        [&] {
            m.LoadRomList(list);
            m.SaveRomList(list);
            if (m.RomCount() != RomCount)
                std::exit(3);
        },
        [&] { m.ClearRoms(); });
    bench::Report("catalogue-load-save", t, 1.5,
                  "roms=" + std::to_string(RomCount) + " bytes=" + std::to_string(FileSize(list)));
    return 0;
}
