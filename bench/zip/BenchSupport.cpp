#include "BenchSupport.h"

#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace zipbench {

Scratch::Scratch() {
    std::string tmpl = (fs::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl + "/";
}

Scratch::~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "command failed: %s\n", command.c_str());
        std::exit(2);
    }
}

double BestSeconds(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        auto start = std::chrono::steady_clock::now();
        work();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

namespace {

// Text-like bytes: words from a small vocabulary with numbers, which deflate about 3:1.
std::string TextLike(std::size_t size, std::mt19937_64& rng) {
    static const char* words[] = {"level", "sprite", "palette", "tile", "mapper", "bank", "vector", "score",
                                  "player", "enemy", "timer", "sound", "channel", "frame", "scroll", "jump"};
    std::string out;
    out.reserve(size + 32);
    while (out.size() < size) {
        std::uint64_t r = rng();
        out += words[r % 16];
        out += ' ';
        if ((r >> 8) % 5 == 0) out += std::to_string((r >> 16) % 100000) + ' ';
        if ((r >> 40) % 12 == 0) out += '\n';
    }
    out.resize(size);
    return out;
}

std::string Random(std::size_t size, std::mt19937_64& rng) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        std::uint64_t r = rng();
        for (int k = 0; k < 8; ++k) out[i + k] = static_cast<char>(r >> (8 * k));
    }
    return out;
}

}  // namespace

std::vector<std::string> WriteMixedFiles(const std::string& folder, std::size_t totalBytes, int count) {
    fs::create_directories(folder);
    std::mt19937_64 rng(20261209);
    std::vector<std::string> names;
    const std::size_t each = totalBytes / static_cast<std::size_t>(count);
    for (int i = 0; i < count; ++i) {
        bool text = i % 2 == 0;
        std::string name = (text ? "text" : "random") + std::to_string(i) + (text ? ".txt" : ".bin");
        std::string data = text ? TextLike(each, rng) : Random(each, rng);
        std::ofstream out(fs::path(folder) / name, std::ios::binary);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        names.push_back(name);
    }
    return names;
}

long long SizeOf(const std::string& path) {
    std::error_code ec;
    auto s = fs::file_size(path, ec);
    return ec ? -1 : static_cast<long long>(s);
}

void PrepareComponent(TZipArchiver& zip, SilentZipUi& ui) {
    zip.SetUi(&ui);
    zip.Unattended = true;
    zip.SetDLLDirectory(TARNWICK_APP_DIR);
}

void Report(const std::string& id, double ours, double baseline, double target, const std::string& extra) {
    std::printf("BENCH %s ratio=%.3f target=%.1f ours=%.4fs baseline=%.4fs%s%s\n", id.c_str(), ours / baseline, target,
                ours, baseline, extra.empty() ? "" : " ", extra.c_str());
    std::fflush(stdout);
}

}  // namespace zipbench
