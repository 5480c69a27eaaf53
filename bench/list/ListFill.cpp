// BENCH list-fill: FillRomList over 100,000 ROMs on the offscreen platform (the list shown in
// report style and painted once), against the 100,000 file-presence tests alone, in one run.
// Also prints the peak memory of the process with the catalogue loaded and shown, beside the
// records' own size.
#include <QApplication>
#include <QListView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "catalogue/Emusystem.h"
#include "common/RomCatalogue.h"
#include "common/Rounds.h"
#include "mainwindow/Main.h"
#include "mainwindow/ReportView.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int RomCount = 100000;

double Millis(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// The program folder: lookup lists, and a ROM list whose every other file exists.
std::vector<std::string> LayOut(const fs::path& folder) {
    fs::create_directories(folder / "LISTS");
    for (const char* name : {"Systems.lst", "Types.lst", "Languages.lst"})
        fs::copy_file(fs::path(TARNWICK_DATA_DIR) / "LISTS" / name, folder / "LISTS" / name);
    return bench::WriteRomCatalogue(folder, RomCount);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path folder = fs::temp_directory_path() / ("tarnwick-bench-list-" + std::to_string(getpid()));
    const std::vector<std::string> paths = LayOut(folder);
    SetProgramFolder(folder.string());

    {
        TMainWnd window;
        window.show();
        QApplication::processEvents();
        int present = 0;
        const bench::Times t = bench::Duel(
            5,
            [&] {
                present = 0;
                for (const std::string& p : paths) present += FileExists(p);
            },
            [&] {
                window.FillRomList();
                window.List->ReportView()->viewport()->repaint();
            });
        if (present != RomCount / 2) std::fprintf(stderr, "unexpected presence count %d\n", present);
        if (window.List->Model()->rowCount() != RomCount) std::fprintf(stderr, "the list is not full\n");
        // The other styles lay out the same 100,000 rows.
        auto t0 = Clock::now();
        window.BigIconsExecute();
        window.List->IconView()->viewport()->repaint();
        const double bigIcons = Millis(t0);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double peakMb = usage.ru_maxrss / 1024.0;
        const double recordsMb = static_cast<double>(RomCount) * sizeof(RomRecord) / (1024.0 * 1024.0);
        char details[160];
        std::snprintf(details, sizeof details, "roms=%d big_icons_ms=%.1f peak_rss_mib=%.1f records_mib=%.1f",
                      RomCount, bigIcons, peakMb, recordsMb);
        bench::Report("list-fill", t, 2, details);
        window.close();
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
