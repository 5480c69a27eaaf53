#pragma once
// The catalogue the list and start-up benchmarks share: one emulator and `count` ROMs, every
// other one of whose files exists, written as LISTS/EMUS.LST, LISTS/ROMS.LST and roms/ under a
// program folder. Returns the ROM files' paths.
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/Emusystem.h"
#include "catalogue/RomStats.h"

namespace bench {

inline std::vector<std::string> WriteRomCatalogue(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder / "LISTS");
    std::filesystem::create_directories(folder / "roms");
    auto emu = NewEmulatorRecord();
    SetFieldText(emu->Name, "Bench Emulator");
    SetFieldText(emu->ExePath, "/usr/bin/true");
    std::ofstream(folder / "LISTS" / "EMUS.LST", std::ios::binary)
        .write(reinterpret_cast<const char*>(emu.get()), sizeof(EmulatorRecord));
    std::vector<std::string> paths;
    std::ofstream list(folder / "LISTS" / "ROMS.LST", std::ios::binary);
    for (int i = 0; i < count; ++i) {
        const std::string path = (folder / "roms" / ("game" + std::to_string(i) + ".zip")).string();
        if (i % 2 == 0) std::ofstream(path).put('x');
        auto rom = NewRomRecord();
        rom->Emulator = *emu;
        SetFieldText(rom->Name, "Game number " + std::to_string(i));
        SetFieldText(rom->FilePath, path);
        rom->Rating = i % 101;
        rom->TypeIndex = i % 12;
        list.write(reinterpret_cast<const char*>(rom.get()), sizeof(RomRecord));
        paths.push_back(path);
    }
    return paths;
}

// The facts a scanned and played catalogue has, in the store at `store`: every ROM's date added,
// in one transaction, and a play of every thousandth ROM.
inline void WriteRomFacts(const std::string& store, const std::vector<std::string_view>& paths) {
    RomStats facts;
    if (!facts.Open(store).empty()) std::exit(2);
    facts.RecordAdded(paths, 1700000000);
    for (std::size_t i = 0; i < paths.size(); i += 1000)
        facts.RecordPlay(paths[i], 1700000000 + static_cast<int64_t>(i), static_cast<int64_t>(i));
}

}  // namespace bench
