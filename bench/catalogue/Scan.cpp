// catalogue-scan: ScanFolder with the duplicate check, 100,000 files into a catalogue that
// already holds 100,000 ROMs (of another folder), against listing the same folder with readdir
// and stat. Every run scans into the same catalogue, so every file is added each time.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BenchCommon.h"
#include "platform/Files.h"

namespace {

constexpr int FileCount = 100000;

std::size_t ListFolder(const std::string& folder)
{
    std::size_t files = 0;
    DIR* dir = opendir(folder.c_str());
    while (dir) {
        const dirent* e = readdir(dir);
        if (!e)
            break;
        struct stat st;
        if (e->d_name[0] != '.' && stat((folder + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ++files;
    }
    if (dir)
        closedir(dir);
    return files;
}

} // namespace

int main()
{
    bench::Scratch scratch;
    const std::string folder = scratch.path() + "roms/";
    CreateFolder(folder);
    for (int i = 0; i < FileCount; ++i) {
        const std::string name = folder + "Game " + std::to_string(i * 7919 % FileCount) + ".zip";
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0) {
            std::perror("create");
            return 2;
        }
        close(fd);
    }

    EmuManager m(scratch.path() + "none.log");
    std::mt19937 random(5);
    for (int i = 0; i < FileCount; ++i)
        m.AddRom(bench::MakeRom(random, i));
    auto emu = NewEmulatorRecord();
    SetFieldText(emu->Name, "Nes");

    const bench::Times t = bench::Duel(
        11,
        [&] {
            if (ListFolder(folder) != FileCount)
                std::exit(3);
        },
        [&] {
            if (m.ScanFolder(*emu, folder, {"*.zip"}, true) != FileCount)
                std::exit(4);
        },
        [&] {
            while (m.RomCount() > FileCount)
                m.DeleteRom(m.RomCount() - 1);
        });
    bench::Report("catalogue-scan", t, 2,
                  "files=" + std::to_string(FileCount) + " catalogue=" + std::to_string(FileCount));
    return 0;
}
