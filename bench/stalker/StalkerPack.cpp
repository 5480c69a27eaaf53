// stalker-pack: one Stalker run over 500 files of 2 MB each (text-like, binary-like and random in
// turn) at level 9, against a shell loop of Info-ZIP's `zip -9 -q -j` over the same files, one
// archive per file, in alternating rounds of the same run. The Stalker packs on one worker per
// processor, Info-ZIP's loop one file at a time: on two processors the target is 0.55. Prints the
// median time ratio (ours / Info-ZIP) and the total archive sizes (ours must stay within 1% of
// Info-ZIP's).
#include <QApplication>
#include <QComboBox>
#include <QListWidget>

#include <functional>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/Rounds.h"
#include "platform/Files.h"
#include "stalker/Stalkmain.h"
#include "toolkit/FileEdit.h"
#include "toolkit/StatusPanels.h"
#include "zip/ZipUi.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 500;
constexpr std::size_t kFileSize = 2u * 1024 * 1024;

struct Rng {
    std::uint64_t s;
    std::uint64_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
};

// Words drawn unevenly from a small vocabulary, in lines: compresses about as text does.
std::string TextLike(Rng& rng) {
    static const char* const words[] = {"the",   "game",   "level", "player", "score",  "enemy",    "bonus",
                                        "stage", "world",  "power", "jump",   "castle", "princess", "dragon",
                                        "sword", "shield", "magic", "potion", "key",    "door"};
    std::string out;
    out.reserve(kFileSize + 16);
    int column = 0;
    while (out.size() < kFileSize) {
        const std::uint64_t r = rng.next();
        out += words[(r % 20) * (r % 20) / 20];
        if (r % 7 == 0) out += std::to_string(r % 1000);
        column += 7;
        out += column > 70 ? '\n' : ' ';
        if (column > 70) column = 0;
    }
    out.resize(kFileSize);
    return out;
}

// Structured records with counters, small tables and some noise, as in a cartridge image.
std::string BinaryLike(Rng& rng) {
    std::string out(kFileSize, '\0');
    for (std::size_t i = 0; i < kFileSize; i += 16) {
        const std::uint64_t r = rng.next();
        const std::uint32_t counter = static_cast<std::uint32_t>(i / 16);
        for (int b = 0; b < 4; ++b) out[i + b] = static_cast<char>(counter >> (8 * b));
        for (int b = 4; b < 10; ++b) out[i + b] = static_cast<char>((i >> 10) & 0x3f);
        for (int b = 10; b < 16; ++b) out[i + b] = static_cast<char>(r % 4 == 0 ? (r >> (8 * b)) : 0xff);
    }
    return out;
}

std::string RandomBytes(Rng& rng) {
    std::string out(kFileSize, '\0');
    for (std::size_t i = 0; i < kFileSize; i += 8) {
        const std::uint64_t r = rng.next();
        for (int b = 0; b < 8; ++b) out[i + b] = static_cast<char>(r >> (8 * b));
    }
    return out;
}

void MakeFiles(const fs::path& folder) {
    Rng rng{0x9e3779b97f4a7c15ull};
    for (int i = 0; i < kFiles; ++i) {
        const std::string bytes = i % 3 == 0   ? TextLike(rng)
                                  : i % 3 == 1 ? BinaryLike(rng)
                                               : RandomBytes(rng);
        char name[32];
        std::snprintf(name, sizeof name, "rom%03d.bin", i);
        std::ofstream(folder / name, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

// Total size of the .zip files of a folder, and how many there are.
std::uint64_t ArchiveBytes(const fs::path& folder, int& count) {
    std::uint64_t total = 0;
    count = 0;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".zip") {
            total += e.file_size();
            ++count;
        }
    return total;
}

void InfoZipRun(const fs::path& source, const fs::path& out) {
    const std::string loop = "cd '" + source.string() + "' && for f in *.bin; do zip -9 -q -j '" +
                             out.string() + "/'\"${f%.*}\".zip \"$f\" || exit 1; done";
    if (std::system(loop.c_str()) != 0) throw std::runtime_error("the Info-ZIP loop failed");
}

void StalkerRun(const fs::path& source, const fs::path& out, SilentZipUi& ui) {
    TStalkDlg dlg;
    dlg.Zip->SetDLLDirectory(TARNWICK_APP_DIR);
    dlg.Source->setText(QString::fromStdString(source.string()));
    dlg.Dest->setText(QString::fromStdString(out.string()));
    dlg.Ext->addItem("*.bin");
    dlg.FormShow();  // level 9
    dlg.BtnGoClick();
    if (!ui.boxes.empty() || dlg.StatusBar1->Panel(0) != "Done")
        throw std::runtime_error("the Stalker run reported: " + (ui.boxes.empty()
                                                                     ? dlg.StatusBar1->Panel(0).toStdString()
                                                                     : ui.boxes.front().text));
}

// Empties a side's output folder before its run.
std::function<void()> Emptied(const fs::path& folder) {
    return [folder] {
        fs::remove_all(folder);
        fs::create_directories(folder);
    };
}

// Both runs over the same generated files below root; prints the BENCH line. True when every
// file got an archive on both sides and ours pass unzip -t.
bool Measure(const fs::path& root, SilentZipUi& ui) {
    const fs::path source = root / "src", ours = root / "ours", theirs = root / "infozip";
    for (const auto& p : {source, ours, theirs}) fs::create_directories(p);
    MakeFiles(source);

    const bench::Times t = bench::Duel(
        3, [&] { InfoZipRun(source, theirs); }, [&] { StalkerRun(source, ours, ui); }, Emptied(theirs),
        Emptied(ours));

    int ourCount = 0, theirCount = 0;
    const std::uint64_t ourBytes = ArchiveBytes(ours, ourCount);
    const std::uint64_t theirBytes = ArchiveBytes(theirs, theirCount);
    const bool tested =
        std::system(("cd '" + ours.string() + "' && unzip -tqq '*.zip' >/dev/null").c_str()) == 0;

    const double sizeRatio = static_cast<double>(ourBytes) / static_cast<double>(theirBytes);
    char details[256];
    std::snprintf(
        details, sizeof details,
        "files=%d stalker_bytes=%llu infozip_bytes=%llu size_ratio=%.4f size_target=1.01 archives=%d/%d "
        "unzip_t=%s",
        kFiles, static_cast<unsigned long long>(ourBytes), static_cast<unsigned long long>(theirBytes),
        sizeRatio, ourCount, theirCount, tested ? "ok" : "FAILED");
    const bool fast = bench::Report("stalker-pack", t, 0.55, details);
    return fast && sizeRatio <= 1.01 && ourCount == kFiles && theirCount == kFiles && tested;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SilentZipUi ui;
    SetZipUi(&ui);
    const fs::path root = fs::temp_directory_path() / ("stalker-pack-" + std::to_string(::getpid()));
    int status = 1;
    try {
        status = Measure(root, ui) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stalker-pack: %s\n", e.what());
        status = 2;
    }
    fs::remove_all(root);  // a gigabyte of generated files
    SetZipUi(nullptr);
    return status;
}
