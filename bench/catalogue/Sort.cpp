// catalogue-sort: SortRoms over 100,000 ROMs by methods 0 (name), 6 (system name) and 14
// (times played), against std::sort of the same keys already taken out into a vector. Both
// start from the same shuffled order every run.
#include <algorithm>
#include <cstring>
#include <vector>

#include "BenchCommon.h"
#include "catalogue/Sorting.h"
#include "mainwindow/Settings.h"
#include "platform/Files.h"

namespace {

constexpr int RomCount = 100000;

struct Method {
    int32_t number;
    const char* name;
};

void Refill(EmuManager& m, const std::vector<RomRecord>& master) {
    m.ClearRoms();
    for (const RomRecord& rom : master) {
        auto copy = NewRomRecord();
        std::memcpy(copy.get(), &rom, sizeof rom);
        m.AddRom(std::move(copy));
    }
}

// Adds the rounds of one method to the rounds of the methods before it.
void AddRounds(bench::Times& total, const bench::Times& method) {
    total.measured.resize(method.measured.size());
    total.baseline.resize(method.baseline.size());
    for (std::size_t i = 0; i < method.measured.size(); ++i) {
        total.measured[i].wall += method.measured[i].wall;
        total.measured[i].cpu += method.measured[i].cpu;
        total.baseline[i].wall += method.baseline[i].wall;
        total.baseline[i].cpu += method.baseline[i].cpu;
    }
}

}  // namespace

int main() {
    bench::Scratch scratch;
    const std::string systems = scratch.path() + "Systems.lst";
    WriteTextLines(systems, {"Nintendo", "super nintendo", "Sega", "Mega Drive", "Game Boy", "Atari",
                             "neo geo", "PC Engine", "Amiga", "MSX"});
    EmuManager m(scratch.path() + "none.log");
    m.LoadSystems(systems);

    std::mt19937 random(3);
    std::vector<RomRecord> master;
    master.reserve(RomCount);
    for (int i = 0; i < RomCount; ++i) master.push_back(*bench::MakeRom(random, i));
    std::shuffle(master.begin(), master.end(), random);

    const Method methods[] = {{0, "name"}, {6, "system"}, {14, "played"}};
    bench::Times total;
    std::string details;
    std::vector<std::string> textKeys;
    std::vector<int32_t> numberKeys;
    for (const Method& method : methods) {
        Settings.SortMethod = method.number;
        // The baseline sorts keys taken out of the records beforehand (untimed).
        const auto extract = [&] {
            Refill(m, master);
            textKeys.clear();
            numberKeys.clear();
            for (const RomRecord& rom : master) {
                if (method.number == 14)
                    numberKeys.push_back(rom.TimesPlayed);
                else
                    textKeys.push_back(method.number == 0 ? FieldText(rom.Name)
                                                          : m.SystemName(rom.Emulator.SystemIndex));
            }
        };
        const bench::Times t = bench::Duel(
            7,
            [&] {
                std::sort(textKeys.begin(), textKeys.end());
                std::sort(numberKeys.begin(), numberKeys.end());
            },
            [&] { m.SortRoms(); }, extract);
        AddRounds(total, t);
        char line[160];
        std::snprintf(line, sizeof line, "%s%s=%.4f/%.4fs(%.2f)", details.empty() ? "" : " ", method.name,
                      t.MeasuredWall(), t.BaselineWall(), t.Ratio());
        details += line;
    }
    // One figure for the three methods: each round's total time against the baselines' total.
    bench::Report("catalogue-sort", total, 2, details);
    return 0;
}
