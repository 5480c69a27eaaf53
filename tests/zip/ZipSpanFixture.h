#pragma once
// Shared by the spanning and self-extractor tests: a component with a recording seam and the
// real engines, file contents made from a seed, and folder snapshots.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/Archives.h"
#include "tests/support/TempDir.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

namespace spantest {

// Bytes that do not compress, so an archive of them is as large as they are.
inline std::string NoiseBytes(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint64_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        c = static_cast<char>(state >> 56);
    }
    return bytes;
}

// A file's content in short: its size and checksum, so a failed comparison prints little.
inline std::string Digest(const std::string& bytes) {
    return std::to_string(bytes.size()) + " bytes, crc " + std::to_string(archives::Crc32(bytes));
}

// Every file below folder: relative name -> Digest of its content.
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] =
                Digest(TempDir::read(entry.path().string()));
    return files;
}

class ComponentTest : public ::testing::Test {
protected:
    ComponentTest() {
        zip_.SetUi(&ui_);
        zip_.SetDLLDirectory(TARNWICK_APP_DIR);
        zip_.HowToDelete = htdFinal;
        zip_.OnMessage = [this](TZipArchiver*, int, const std::string& text) { messages_.push_back(text); };
    }

    // Files for Info-ZIP below dir/<stem>.src, expected back after a round trip.
    std::vector<archives::FileSpec> Games(std::size_t bigSize) const {
        return {{"big.bin", NoiseBytes(bigSize, 1)},
                {"roms/snes/mario.smc", NoiseBytes(300000, 2)},
                {"roms/readme.txt", "read me\n"},
                {"empty.txt", ""}};
    }

    std::map<std::string, std::string> Expected(const std::vector<archives::FileSpec>& files) const {
        std::map<std::string, std::string> expected;
        for (const auto& f : files) expected[f.name] = Digest(f.data);
        return expected;
    }

    TempDir dir_;
    SilentZipUi ui_;
    TZipArchiver zip_;
    std::vector<std::string> messages_;
};

}  // namespace spantest
