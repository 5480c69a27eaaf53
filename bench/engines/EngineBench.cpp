// Times the engine libraries against Info-ZIP zip and unzip on the same files, in one run.
// The ratios compare processor time (user + system), which other work on a shared machine
// disturbs far less than elapsed time; the wall-time figures are printed beside them.
#include "engines/EngineApi.h"
#include "engines/client/EngineClient.h"

#include "common/Rounds.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr int kFiles = 40;
constexpr size_t kFileSize = 5 * 1024 * 1024;  // 40 x 5 MB = 200 MB

// The verdict is on processor time; the median wall ratio and its spread stand beside it.
void Print(const char* id, const bench::Times& t) {
    std::printf(
        "BENCH %s ratio=%.3f target=1.1 (processor time) wall_ratio=%.3f spread=%.3f-%.3f rounds=%zu "
        "engine=%.2fs infozip=%.2fs (median wall) %s\n",
        id, t.CpuRatio(), t.Ratio(), t.MinRatio(), t.MaxRatio(), t.measured.size(), t.MeasuredWall(),
        t.BaselineWall(), t.CpuRatio() <= 1.1 ? "within-target" : "OVER-TARGET");
}

// Text-like data (deflates to about a third) for even files, random bytes for odd ones.
std::string MakeData(int index) {
    std::mt19937_64 random(1234 + index);
    std::string data;
    data.reserve(kFileSize);
    if (index % 2 == 1) {
        while (data.size() < kFileSize) {
            uint64_t v = random();
            data.append(reinterpret_cast<const char*>(&v), sizeof v);
        }
    } else {
        static const char* words[] = {"sprite", "palette", "tile",    "bank",  "mapper", "vblank", "scroll",
                                      "joypad", "sound",   "channel", "timer", "level",  "score",  "lives"};
        while (data.size() < kFileSize) {
            data += words[random() % 14];
            data += (random() % 9 == 0) ? '\n' : ' ';
            if (random() % 5 == 0) data += std::to_string(random() % 100000);
        }
    }
    data.resize(kFileSize);
    return data;
}

int32_t Quiet(ZCallBackStruct*) {
    return 0;
}

int Run(const std::string& command) {
    return std::system(command.c_str());
}

long long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/bench-engines-XXXXXX";
    std::string root = mkdtemp(pattern);
    std::string src = root + "/src/";
    mkdir(src.c_str(), 0755);
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(src + "file" + std::to_string(i) + (i % 2 ? ".bin" : ".txt"));
        std::ofstream(files.back(), std::ios::binary) << MakeData(i);
    }

    EngineClient engines(TARNWICK_APP_DIR);
    if (!engines.loaded()) {
        std::fprintf(stderr, "cannot load the engines: %s\n", engines.error().c_str());
        return 1;
    }

    // Add: each side into a new archive of its own every round.
    std::string infoZip = root + "/info.zip", ours = root + "/ours.zip";
    std::vector<ZipExecFileSpec> specs(1);
    std::string mask = src + "*";
    specs[0].FileSpec = mask.c_str();
    ZipExecRecord add = BasicAddRecord(ours.c_str(), specs.data(), 1, Quiet, nullptr);
    int32_t added = 0;
    const bench::Times adding = bench::Duel(
        3, [&] { Run("zip -9 -q -j " + infoZip + " " + src + "*"); }, [&] { added = engines.zip(add); },
        [&] { std::remove(infoZip.c_str()); }, [&] { std::remove(ours.c_str()); });
    if (added != kFiles) std::fprintf(stderr, "the engine added %d files\n", added);

    // Extract: both read Info-ZIP's archive into fresh folders of their own.
    std::string outInfo = root + "/out-info", outOurs = root + "/out-ours";
    std::vector<UnzExecFileSpec> members(1);
    members[0].FileSpec = "*.*";
    UnzExecRecord extract = BasicExtractRecord(infoZip.c_str(), members.data(), 1, Quiet, nullptr);
    extract.OverWrite = 1;
    const auto fresh = [](const std::string& folder) {
        return [folder] { Run("rm -rf " + folder + " && mkdir -p " + folder); };
    };
    int32_t extracted = 0;
    const bench::Times extracting = bench::Duel(
        3, [&] { Run("unzip -o -qq " + infoZip + " -d " + outInfo); },
        [&] {
            if (chdir(outOurs.c_str()) == 0) extracted = engines.unzip(extract);
        },
        fresh(outInfo), fresh(outOurs));
    if (extracted != kFiles) std::fprintf(stderr, "the engine extracted %d files\n", extracted);
    if (chdir(root.c_str()) != 0) return 1;

    long long infoSize = FileSize(infoZip), ourSize = FileSize(ours);
    double sizeRatio = double(ourSize) / double(infoSize);
    Print("engines-add", adding);
    std::printf("BENCH engines-add-size ratio=%.4f target=1.01 engine=%lld zip=%lld\n", sizeRatio, ourSize,
                infoSize);
    Print("engines-extract", extracting);
    Run("rm -rf " + root);
    bool good = added == kFiles && extracted == kFiles && adding.CpuRatio() <= 1.1 && sizeRatio <= 1.01 &&
                extracting.CpuRatio() <= 1.1;
    return good ? 0 : 1;
}
