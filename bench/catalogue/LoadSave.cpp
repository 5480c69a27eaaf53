// catalogue-load-save: LoadRomList + SaveRomList of a 100,000-ROM list file, against copying
// the same file. The save replaces its file durably (written, fsynced, renamed), so the copy is
// made as durably: read whole, written to a new file, fsynced.
#include <fcntl.h>
#include <unistd.h>

#include "BenchCommon.h"
#include "platform/Files.h"

namespace {

void DurableCopy(const std::string& from, const std::string& to)
{
    auto bytes = ReadWholeFile(from);
    const int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (bytes && fd >= 0 && done < bytes->size()) {
        const ssize_t n = write(fd, bytes->data() + done, bytes->size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    if (fd < 0 || done != bytes->size() || fsync(fd) != 0) {
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

    const bench::Times t = bench::Duel(
        7, [&] { DurableCopy(list, copy); },
        [&] {
            EmuManager m(scratch.path() + "none.log");
            m.LoadRomList(list);
            m.SaveRomList(list);
            if (m.RomCount() != RomCount)
                std::exit(3);
        });
    bench::Report("catalogue-load-save", t, 1.5,
                  "roms=" + std::to_string(RomCount) + " bytes=" + std::to_string(FileSize(list)));
    return 0;
}
