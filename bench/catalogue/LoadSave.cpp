// catalogue-load-save: LoadRomList + SaveRomList of a 100,000-ROM list file, against copying
// the same file as safely as the save replaces its own.
#include <fcntl.h>
#include <unistd.h>

#include "BenchCommon.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

// Copies as cp does, through a buffer of a few hundred KiB, with the steps that make a
// replacement safe, as the save takes them: a temporary file beside the target, fsync, rename
// over the target, fsync of the folder.
void SafeCopy(const std::string& from, const std::string& to) {
    const std::string temporary = to + ".part";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = fd >= 0;
    const bool read = ok && ReadFileChunks(from, [&](std::string_view chunk) {
                          while (ok && !chunk.empty()) {
                              const ssize_t n = write(fd, chunk.data(), chunk.size());
                              ok = n > 0;
                              if (ok) chunk.remove_prefix(static_cast<std::size_t>(n));
                          }
                      });
    ok = read && ok && fsync(fd) == 0 && close(fd) == 0 && rename(temporary.c_str(), to.c_str()) == 0;
    const int folder = open(FolderPart(to).c_str(), O_RDONLY | O_DIRECTORY);
    if (!ok || folder < 0 || fsync(folder) != 0) {
        std::perror("copy");
        std::exit(2);
    }
    close(folder);
}

}  // namespace

int main() {
    constexpr int RomCount = 100000;
    bench::Scratch scratch;
    const std::string list = scratch.path() + "ROMS.LST";
    const std::string copy = scratch.path() + "COPY.LST";
    {
        std::mt19937 random(1);
        EmuManager maker(scratch.path() + "none.log");
        for (int i = 0; i < RomCount; ++i) maker.AddRom(bench::MakeRom(random, i));
        maker.SaveRomList(list);
    }

    // Emptying the catalogue between rounds is not part of a load or a save.
    EmuManager m(scratch.path() + "none.log");
    const bench::Times t = bench::Duel(
        15, [&] { SafeCopy(list, copy); },
        [&] {
            m.LoadRomList(list);
            m.SaveRomList(list);
            if (m.RomCount() != RomCount) std::exit(3);
        },
        [&] { m.ClearRoms(); });
    bench::Report("catalogue-load-save", t, 1.5,
                  "roms=" + std::to_string(RomCount) + " bytes=" + std::to_string(FileSize(list)));
    return 0;
}
