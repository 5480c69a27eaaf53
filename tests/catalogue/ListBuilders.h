#pragma once
// Byte-level builders of list file records for the tests: every field is placed at its file
// offset by hand, independent of the structs under test. Bytes after a text's terminator are
// filled with a marker so that tests can see they survive.
#include <cstdint>
#include <cstring>
#include <string>

namespace builders {

constexpr std::size_t EmuSize = 692;
constexpr std::size_t RomSize = 1004;
constexpr char Filler = '\xA5';

inline void PutText(std::string& bytes, std::size_t offset, std::size_t width, const std::string& text) {
    std::memset(bytes.data() + offset, Filler, width);
    std::memcpy(bytes.data() + offset, text.data(), std::min(text.size(), width));
    if (text.size() < width) bytes[offset + text.size()] = '\0';
}

inline void PutInt(std::string& bytes, std::size_t offset, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

inline int32_t GetInt(const std::string& bytes, std::size_t offset) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return static_cast<int32_t>(u);
}

struct Emu {
    std::string name = "Nes";
    int32_t system = 0;
    std::string exe = "/usr/games/nes";
    std::string cfg;
    std::string params = "-fullscreen";
    int32_t zip = 0;
    int32_t mame = 0;

    std::string Bytes() const {
        std::string b(EmuSize, '\0');
        PutText(b, 0, 40, name);
        PutInt(b, 40, system);
        PutText(b, 44, 256, exe);
        PutText(b, 300, 256, cfg);
        PutText(b, 556, 128, params);
        PutInt(b, 684, zip);
        PutInt(b, 688, mame);
        return b;
    }
};

struct Rom {
    Emu emulator;
    std::string name = "game.zip";
    std::string path = "/roms/game.zip";
    int32_t played = 0;
    int32_t language = 0;
    int32_t type = 0;
    int32_t rating = 0;

    std::string Bytes() const {
        std::string b = emulator.Bytes();
        b.resize(RomSize, '\0');
        PutText(b, 692, 40, name);
        PutText(b, 732, 256, path);
        PutInt(b, 988, played);
        PutInt(b, 992, language);
        PutInt(b, 996, type);
        PutInt(b, 1000, rating);
        return b;
    }
};

}  // namespace builders
