// stats-load: reading the ROM statistics store with the facts of 100,000 ROMs, as start-up
// does, against loading the ROM list file of the same 100,000 ROMs (LoadRomList).
#include "BenchCommon.h"
#include "catalogue/RomStats.h"
#include "platform/Files.h"

int main() {
    constexpr int RomCount = 100000;
    bench::Scratch scratch;
    const std::string list = scratch.file("ROMS.LST");
    const std::string store = scratch.file("Stats.db");
    {
        std::mt19937 random(1);
        EmuManager maker(scratch.file("none.log"));
        for (int i = 0; i < RomCount; ++i) maker.AddRom(bench::MakeRom(random, i));
        maker.SaveRomList(list);
        RomStats facts;
        if (!facts.Open(store).empty()) std::exit(2);
        std::vector<std::string_view> paths;
        for (int i = 0; i < RomCount; ++i) paths.push_back(FieldView(maker.GetRom(i)->FilePath));
        facts.RecordAdded(paths, 1700000000);     // one transaction
        for (int i = 0; i < RomCount; i += 1000)  // and some of everything else
            facts.RecordPlay(paths[static_cast<std::size_t>(i)], 1700000000 + i, i);
    }

    // Both sides keep their memory from round to round, as the catalogue keeps its records'.
    EmuManager m(scratch.file("none.log"));
    RomStats facts;
    std::size_t read = 0;
    const bench::Times t = bench::Duel(
        9,
        [&] {
            m.LoadRomList(list);
            if (m.RomCount() != RomCount) std::exit(3);
        },
        [&] {
            if (!facts.Open(store).empty()) std::exit(3);
            read = facts.Count();
        },
        [&] { m.ClearRoms(); });
    if (read != RomCount) std::exit(4);
    bench::Report("stats-load", t, 1.0,
                  "roms=" + std::to_string(RomCount) + " store_bytes=" + std::to_string(FileSize(store)) +
                      " list_bytes=" + std::to_string(FileSize(list)));
    return 0;
}
