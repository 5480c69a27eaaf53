// Times the engine libraries against Info-ZIP zip and unzip on the same files, in one run.
// The ratios compare processor time (user + system), which other work on a shared machine
// disturbs far less than elapsed time; elapsed times are printed beside them.
#include "engines/EngineApi.h"
#include "engines/client/EngineClient.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr int kFiles = 40;
constexpr size_t kFileSize = 5 * 1024 * 1024; // 40 x 5 MB = 200 MB

// Elapsed and processor seconds of one step; the processor time counts this process and the
// children it waited for.
struct Timing {
    double elapsed = 0, processor = 0;
};

double ProcessorSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

template <typename Step> Timing Measure(Step&& step) {
    auto start = std::chrono::steady_clock::now();
    double processor = ProcessorSeconds();
    step();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            ProcessorSeconds() - processor};
}

void Print(const char* id, const Timing& ours, const char* other, const Timing& theirs) {
    std::printf("BENCH %s ratio=%.3f target=1.1 engine=%.2fs %s=%.2fs (processor) engine=%.2fs %s=%.2fs (elapsed)\n",
                id, ours.processor / theirs.processor, ours.processor, other, theirs.processor, ours.elapsed, other,
                theirs.elapsed);
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
        static const char* words[] = {"sprite", "palette", "tile", "bank", "mapper", "vblank", "scroll",
                                      "joypad", "sound", "channel", "timer", "level", "score", "lives"};
        while (data.size() < kFileSize) {
            data += words[random() % 14];
            data += (random() % 9 == 0) ? '\n' : ' ';
            if (random() % 5 == 0)
                data += std::to_string(random() % 100000);
        }
    }
    data.resize(kFileSize);
    return data;
}

int32_t Quiet(ZCallBackStruct*) { return 0; }

int Run(const std::string& command) { return std::system(command.c_str()); }

long long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

} // namespace

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

    // Add: Info-ZIP first, then the engine, each into a new archive.
    std::string infoZip = root + "/info.zip", ours = root + "/ours.zip";
    Timing zipTime = Measure([&] { Run("zip -9 -q -j " + infoZip + " " + src + "*"); });

    std::vector<ZipExecFileSpec> specs(1);
    std::string mask = src + "*";
    specs[0].FileSpec = mask.c_str();
    ZipExecRecord add = BasicAddRecord(ours.c_str(), specs.data(), 1, Quiet, nullptr);
    int32_t added = 0;
    Timing addTime = Measure([&] { added = engines.zip(add); });
    if (added != kFiles)
        std::fprintf(stderr, "the engine added %d files\n", added);

    // Extract: both read Info-ZIP's archive into folders of their own.
    std::string outInfo = root + "/out-info", outOurs = root + "/out-ours";
    mkdir(outInfo.c_str(), 0755);
    mkdir(outOurs.c_str(), 0755);
    Timing unzipTime = Measure([&] { Run("unzip -o -qq " + infoZip + " -d " + outInfo); });

    std::vector<UnzExecFileSpec> members(1);
    members[0].FileSpec = "*.*";
    UnzExecRecord extract = BasicExtractRecord(infoZip.c_str(), members.data(), 1, Quiet, nullptr);
    extract.OverWrite = 1;
    if (chdir(outOurs.c_str()) != 0)
        return 1;
    int32_t extracted = 0;
    Timing extractTime = Measure([&] { extracted = engines.unzip(extract); });
    if (extracted != kFiles)
        std::fprintf(stderr, "the engine extracted %d files\n", extracted);

    long long infoSize = FileSize(infoZip), ourSize = FileSize(ours);
    double sizeRatio = double(ourSize) / double(infoSize);
    Print("engines-add", addTime, "zip", zipTime);
    std::printf("BENCH engines-add-size ratio=%.4f target=1.01 engine=%lld zip=%lld\n", sizeRatio, ourSize, infoSize);
    Print("engines-extract", extractTime, "unzip", unzipTime);
    Run("rm -rf " + root);
    bool good = added == kFiles && extracted == kFiles && addTime.processor <= 1.1 * zipTime.processor &&
                sizeRatio <= 1.01 && extractTime.processor <= 1.1 * unzipTime.processor;
    return good ? 0 : 1;
}
