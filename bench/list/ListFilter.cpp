// BENCH list-filter: typing a two-word search into the main window's search box over 100,000
// ROMs, the list updated and painted, against the plain search a first attempt would make: the
// same names held in a vector, each tested for both words with a case-folded substring search
// (strcasestr). The filter looks further (file name, emulator, system) and also ignores accents.
#include <QApplication>
#include <QLineEdit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "catalogue/Emusystem.h"
#include "common/Rounds.h"
#include "mainwindow/Main.h"
#include "mainwindow/ReportView.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr int RomCount = 100000;
const char* const Query[] = {"mega", "castle"};

// The program folder: lookup lists and 100,000 ROMs (files not present) of a few emulators;
// returns their names.
std::vector<std::string> LayOut(const fs::path& folder) {
    fs::create_directories(folder / "LISTS");
    for (const char* name : {"Systems.lst", "Types.lst", "Languages.lst"})
        fs::copy_file(fs::path(TARNWICK_DATA_DIR) / "LISTS" / name, folder / "LISTS" / name);
    static const char* const words[] = {"Super", "Mega",           "Zelda",   "Kart",   "Street", "Fighter",
                                        "Sonic", "Pok\xC3\xA9mon", "Metroid", "Castle", "Dragon", "Quest"};
    static const char* const emulators[] = {"Nestopia", "Snes9x", "Mednafen", "Gambatte", "MAME"};
    std::mt19937 random(3);
    std::vector<std::string> names;
    std::string records;
    records.reserve(static_cast<size_t>(RomCount) * sizeof(RomRecord));
    for (int i = 0; i < RomCount; ++i) {
        auto rom = NewRomRecord();
        const std::string name = std::string(words[random() % 12]) + " " + words[random() % 12] + " " +
                                 words[random() % 12] + " " + std::to_string(i);
        SetFieldText(rom->Name, name);
        SetFieldText(rom->FilePath, (folder / "roms" / (std::to_string(i) + ".zip")).string());
        SetFieldText(rom->Emulator.Name, emulators[random() % 5]);
        rom->Emulator.SystemIndex = static_cast<int32_t>(random() % 12);
        records.append(reinterpret_cast<const char*>(rom.get()), sizeof(RomRecord));
        names.push_back(name);
    }
    std::ofstream(folder / "LISTS" / "ROMS.LST", std::ios::binary).write(records.data(), records.size());
    std::ofstream(folder / "LISTS" / "EMUS.LST", std::ios::binary);
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path folder = fs::temp_directory_path() / ("tarnwick-bench-filter-" + std::to_string(getpid()));
    const std::vector<std::string> names = LayOut(folder);
    SetFolders(folder.string(), folder.string());
    {
        TMainWnd window;
        window.show();
        QApplication::processEvents();
        const QString typed = QString("%1 %2").arg(Query[0], Query[1]);
        size_t plain = 0;
        const bench::Times t = bench::Duel(
            9,
            [&] {
                plain = 0;
                for (const std::string& name : names)
                    plain += strcasestr(name.c_str(), Query[0]) && strcasestr(name.c_str(), Query[1]);
            },
            [&] {
                window.SearchBox->setText(typed);
                window.List->ReportView()->viewport()->repaint();
            },
            [] {}, [&] { window.SearchBox->clear(); });
        const int shown = window.List->Model()->rowCount();
        if (shown < static_cast<int>(plain))
            std::fprintf(stderr, "the filter found fewer ROMs than the names hold\n");
        char details[160];
        std::snprintf(details, sizeof details, "roms=%d words=2 shown=%d filter_ms=%.2f plain_ms=%.2f",
                      RomCount, shown, t.MeasuredWall() * 1000, t.BaselineWall() * 1000);
        bench::Report("list-filter", t, 2, details);
        window.close();
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
