// stats-load: what opening the ROM statistics store with the facts of 100,000 ROMs costs the
// thread that starts the program, against loading the ROM list file of the same 100,000 ROMs
// (LoadRomList). Start-up hands the store's read to a worker and takes the result once the
// windows are made; the read's own time is printed beside (read_ms), and the startup benchmark
// starts a catalogue with these facts, so a read that outlasts the windows shows there.
#include "BenchCommon.h"
#include "common/RomCatalogue.h"
#include "catalogue/RomStats.h"
#include "platform/Files.h"

namespace {

constexpr int RomCount = 100000;

// The list file and the store, written once.
void WriteCatalogue(const bench::Scratch& scratch, const std::string& list, const std::string& store) {
    std::mt19937 random(1);
    EmuManager maker(scratch.file("none.log"));
    for (int i = 0; i < RomCount; ++i) maker.AddRom(bench::MakeRom(random, i));
    maker.SaveRomList(list);
    std::vector<std::string_view> paths;
    for (int i = 0; i < RomCount; ++i) paths.push_back(FieldView(maker.GetRom(i)->FilePath));
    bench::WriteRomFacts(store, paths);
}

}  // namespace

int main() {
    bench::Scratch scratch;
    const std::string list = scratch.file("ROMS.LST");
    const std::string store = scratch.file("Stats.db");
    WriteCatalogue(scratch, list, store);

    // Each measured step opens a new store object, as start-up does; the list keeps its memory
    // from round to round, as the catalogue keeps its records'.
    EmuManager m(scratch.file("none.log"));
    auto facts = std::make_unique<RomStats>();
    bool opening = false;
    // Untimed, before every step: the read begun by the last measured step ends, whole.
    const auto finishRead = [&] {
        if (!opening) return;
        opening = false;
        if (!facts->FinishOpen().empty() || facts->Count() != RomCount) std::exit(4);
        facts = std::make_unique<RomStats>();
    };
    const bench::Times t = bench::Duel(
        41,  // each side takes a tenth of a millisecond: many rounds keep the median steady
        [&] {
            m.LoadRomList(list);
            if (m.RomCount() != RomCount) std::exit(3);
        },
        [&] {
            facts->StartOpen(store);
            opening = true;
        },
        [&] {
            finishRead();
            m.ClearRoms();
        });
    finishRead();

    // The worker's read on its own: the whole open, waited for.
    const bench::Times read = bench::Duel(
        5, [&] { m.LoadRomList(list); },
        [&] {
            if (!facts->Open(store).empty()) std::exit(5);
        },
        [&] { m.ClearRoms(); });
    char readMs[64];
    std::snprintf(readMs, sizeof readMs, " start_us=%.1f load_us=%.1f read_ms=%.2f list_ms=%.2f",
                  t.MeasuredWall() * 1e6, t.BaselineWall() * 1e6, read.MeasuredWall() * 1000,
                  read.BaselineWall() * 1000);
    bench::Report("stats-load", t, 1.0,
                  "roms=" + std::to_string(RomCount) + readMs + " store_bytes=" +
                      std::to_string(FileSize(store)) + " list_bytes=" + std::to_string(FileSize(list)));
    return 0;
}
