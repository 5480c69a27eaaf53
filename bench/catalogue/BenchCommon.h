#pragma once
// Shared pieces of the catalogue benchmarks: a scratch folder, a clock, best-of-N timing,
// catalogue generation and the BENCH line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "catalogue/Emusystem.h"

namespace bench {

// A scratch folder under the system's temporary folder, removed at the end.
class Scratch {
public:
    Scratch()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        path_ = tmpl + "/";
    }
    ~Scratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Seconds of one call of `work`.
inline double TimeOnce(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

// `runs` rounds, each timing the baseline and then the measured work, so that both meet the
// same load of the machine; `prepare` runs untimed before each timing. The ratio is the median
// of the rounds' ratios, which a busy moment of the machine moves less than a ratio of bests.
struct Times {
    double measured = 1e30; // best
    double baseline = 1e30; // best
    double firstMeasured = 0; // the first round, before anything was warm
    std::vector<double> ratios;
    double Ratio() const
    {
        std::vector<double> r = ratios;
        std::sort(r.begin(), r.end());
        return r.empty() ? 0 : (r.size() % 2 ? r[r.size() / 2] : (r[r.size() / 2 - 1] + r[r.size() / 2]) / 2);
    }
};
inline Times Duel(int runs, const std::function<void()>& baseline,
                  const std::function<void()>& measured,
                  const std::function<void()>& prepare = [] {})
{
    Times best;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double base = TimeOnce(baseline);
        prepare();
        const double took = TimeOnce(measured);
        if (i == 0)
            best.firstMeasured = took;
        best.baseline = std::min(best.baseline, base);
        best.measured = std::min(best.measured, took);
        best.ratios.push_back(took / base);
    }
    return best;
}

// A ROM with a made-up name, path and numbers, as a large real catalogue would hold.
inline std::unique_ptr<RomRecord> MakeRom(std::mt19937& random, int i)
{
    static const char* const words[] = {"Super", "mega", "Zelda", "kart", "Street", "fighter",
                                        "Sonic", "_demo", "Metroid", "castle"};
    auto rom = NewRomRecord();
    const std::string name = std::string(words[random() % 10]) + " " + words[random() % 10] + " " +
                             std::to_string(i);
    SetFieldText(rom->Name, name);
    SetFieldText(rom->FilePath, "/home/user/roms/" + std::string(words[random() % 10]) + "/" + name + ".zip");
    SetFieldText(rom->Emulator.Name, words[random() % 10]);
    rom->Emulator.SystemIndex = static_cast<int32_t>(random() % 12) - 1;
    rom->TimesPlayed = static_cast<int32_t>(random() % 1000);
    rom->Rating = static_cast<int32_t>(random() % 101);
    rom->LanguageIndex = static_cast<int32_t>(random() % 6);
    rom->TypeIndex = static_cast<int32_t>(random() % 10);
    return rom;
}

inline void Report(const char* id, const Times& t, double target, const std::string& details)
{
    std::printf("BENCH %s ratio=%.2f target=%g measured=%.4fs baseline=%.4fs first=%.4fs %s\n", id,
                t.Ratio(), target, t.measured, t.baseline, t.firstMeasured, details.c_str());
    std::fflush(stdout);
}

} // namespace bench
