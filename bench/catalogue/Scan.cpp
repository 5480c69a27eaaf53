// catalogue-scan: ScanFolder with the duplicate check, 100,000 files into a catalogue that
// already holds 100,000 ROMs (of another folder), against listing the same folder with readdir
// and stat. Every run scans into the same catalogue, so every file is added each time.
// catalogue-scan-tree: the same with subfolders, the files spread over 1,000 folders, against
// find(1) listing the tree with each file's size.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BenchCommon.h"
#include "platform/Files.h"

namespace {

constexpr int FileCount = 100000;
constexpr int FolderCount = 1000;

bool CreateEmptyFile(const std::string& name) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) {
        std::perror("create");
        return false;
    }
    close(fd);
    return true;
}

std::string GameName(int i) {
    return "Game " + std::to_string(i * 7919 % FileCount) + ".zip";
}

std::size_t ListFolder(const std::string& folder) {
    std::size_t files = 0;
    DIR* dir = opendir(folder.c_str());
    while (dir) {
        const dirent* e = readdir(dir);
        if (!e) break;
        struct stat st;
        if (e->d_name[0] != '.' && stat((folder + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ++files;
    }
    if (dir) closedir(dir);
    return files;
}

}  // namespace

int main() {
    bench::Scratch scratch;
    const std::string folder = scratch.path() + "roms/";
    CreateFolder(folder);
    const std::string tree = scratch.path() + "tree/";
    CreateFolder(tree);
    for (int d = 0; d < FolderCount; ++d) CreateFolder(tree + "set " + std::to_string(d));
    for (int i = 0; i < FileCount; ++i)
        if (!CreateEmptyFile(folder + GameName(i)) ||
            !CreateEmptyFile(tree + "set " + std::to_string(i % FolderCount) + "/" + GameName(i)))
            return 2;

    EmuManager m(scratch.path() + "none.log");
    std::mt19937 random(5);
    for (int i = 0; i < FileCount; ++i) m.AddRom(bench::MakeRom(random, i));
    auto emu = NewEmulatorRecord();
    SetFieldText(emu->Name, "Nes");

    const auto forget = [&] {
        while (m.RomCount() > FileCount) m.DeleteRom(m.RomCount() - 1);
    };
    const bench::Times t = bench::Duel(
        11,
        [&] {
            if (ListFolder(folder) != FileCount) std::exit(3);
        },
        [&] {
            if (m.ScanFolder(*emu, folder, {"*.zip"}, true).added != FileCount) std::exit(4);
        },
        forget);
    bench::Report("catalogue-scan", t, 2,
                  "files=" + std::to_string(FileCount) + " catalogue=" + std::to_string(FileCount));

    const std::string find = "find '" + tree + "' -type f -printf '%s %p\\n' > /dev/null";
    const bench::Times tt = bench::Duel(
        5,
        [&] {
            if (std::system(find.c_str()) != 0) std::exit(5);
        },
        [&] {
            if (m.ScanFolder(*emu, tree, {"*.zip"}, true, true).added != FileCount) std::exit(6);
        },
        forget);
    bench::Report("catalogue-scan-tree", tt, 2,
                  "files=" + std::to_string(FileCount) + " folders=" + std::to_string(FolderCount) +
                      " catalogue=" + std::to_string(FileCount));
    return 0;
}
