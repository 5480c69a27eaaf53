#pragma once
// The catalogue benchmarks' made-up ROMs; timing and the BENCH line come from common/Rounds.h.
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
#include "common/Rounds.h"

namespace bench {

// A ROM with a made-up name, path and numbers, as a large real catalogue would hold.
inline std::unique_ptr<RomRecord> MakeRom(std::mt19937& random, int i) {
    static const char* const words[] = {"Super",   "mega",  "Zelda", "kart",    "Street",
                                        "fighter", "Sonic", "_demo", "Metroid", "castle"};
    auto rom = NewRomRecord();
    const std::string name =
        std::string(words[random() % 10]) + " " + words[random() % 10] + " " + std::to_string(i);
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

}  // namespace bench
