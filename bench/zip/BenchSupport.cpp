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

namespace {

// Text-like bytes: words from a small vocabulary with numbers, which deflate about 3:1.
std::string TextLike(std::size_t size, std::mt19937_64& rng) {
    static const char* words[] = {"level",   "sprite", "palette", "tile",  "mapper", "bank",
                                  "vector",  "score",  "player",  "enemy", "timer",  "sound",
                                  "channel", "frame",  "scroll",  "jump"};
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

}  // namespace zipbench
