// startup: the real program started with `--measure-startup` (splash, windows, lookup lists,
// settings, both list files, ended at the ROM list's first paint), with 100,000 ROMs against the
// same start with an empty catalogue, in alternating rounds.
// startup-cold: the 100,000-ROM start after the page cache was dropped, against reading ROMS.LST
// and looking at every ROM file once, also from a cold cache. Skipped with a note where the
// machine does not let the page cache be dropped.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/Emusystem.h"
#include "common/RomCatalogue.h"
#include "common/Rounds.h"

namespace fs = std::filesystem;

namespace {

constexpr int RomCount = 100000;

// A portable program folder: the executable, the engines, the lookup lists, one emulator and `roms` ROMs,
// every other one of whose files exists, each with its date added and every thousandth with a
// play, as a scanned and played catalogue has. Returns the ROM files' paths.
std::vector<std::string> LayOut(const fs::path& folder, int roms) {
    fs::create_directories(folder / "LISTS");
    for (const char* name : {"Tarnwick", "libzipengine.so", "libunzengine.so", "ZIPSFX.BIN"})
        fs::copy_file(fs::path(TARNWICK_APP_DIR) / name, folder / name);
    for (const char* name : {"Systems.lst", "Types.lst", "Languages.lst"})
        fs::copy_file(fs::path(TARNWICK_APP_DIR) / "LISTS" / name, folder / "LISTS" / name);
    std::ofstream(folder / "portable.txt") << "portable\n";
    std::vector<std::string> paths = bench::WriteRomCatalogue(folder, roms);
    bench::WriteRomFacts((folder / "LISTS" / "Stats.db").string(), {paths.begin(), paths.end()});
    return paths;
}

// One start of the program of the folder, to the first paint of its list.
void Start(const fs::path& folder) {
    const std::string program = (folder / "Tarnwick").string();
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(program.c_str(), program.c_str(), "--measure-startup", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the start of %s failed (status %d)\n", program.c_str(), status);
        std::exit(2);
    }
}

bool DropPageCache() {
    sync();
    const int fd = open("/proc/sys/vm/drop_caches", O_WRONLY);
    const bool dropped = fd >= 0 && write(fd, "3", 1) == 1;
    if (fd >= 0) close(fd);
    return dropped;
}

// What a start cannot do with less: read the list file and look at every ROM file once.
void ReadListAndStat(const fs::path& folder, const std::vector<std::string>& paths) {
    bench::Shell("cat " + bench::Quote((folder / "LISTS" / "ROMS.LST").string()) + " >/dev/null");
    struct stat st;
    int present = 0;
    for (const std::string& p : paths) present += stat(p.c_str(), &st) == 0;
    if (present != RomCount / 2) std::exit(3);
}

std::string Millis(const char* name, double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%s_ms=%.0f", name, seconds * 1000);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--lay-out") {  // a folder to profile a start in
        LayOut(argv[2], RomCount);
        return 0;
    }
    bench::Scratch scratch;
    const fs::path empty = scratch.path() + "empty", full = scratch.path() + "full";
    LayOut(empty, 0);
    const std::vector<std::string> paths = LayOut(full, RomCount);
    Start(empty);  // the first start of all also loads the libraries from disk
    Start(full);

    // Forty-one rounds: beside other work one start can take twice as long as the next, and a
    // start costs a twentieth of a second.
    const bench::Times warm = bench::Duel(
        41, [&] { Start(empty); }, [&] { Start(full); });
    bench::Report("startup", warm, 1.1,
                  "roms=" + std::to_string(RomCount) + " " + Millis("full", warm.MeasuredWall()) + " " +
                      Millis("empty", warm.BaselineWall()));

    if (!DropPageCache()) {
        std::printf("BENCH startup-cold skipped: the page cache cannot be dropped on this machine\n");
        return 0;
    }
    const auto cold = [] {
        if (!DropPageCache()) std::exit(4);
    };
    const bench::Times t = bench::Duel(
        3, [&] { ReadListAndStat(full, paths); }, [&] { Start(full); }, cold);
    bench::Report("startup-cold", t, 1.2,
                  Millis("full", t.MeasuredWall()) + " " + Millis("list_and_stat", t.BaselineWall()));
    return 0;
}
