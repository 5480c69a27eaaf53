#pragma once
// The 256-byte header between the ZIPSFX.BIN stub and the archive behind it. The component
// writes it (ConvertSFX) and the stub reads it back; both sides share this one definition.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sfx {

constexpr std::size_t kHeaderSize = 256;
// Caption, default folder and command line share what is left after the 7 leading bytes.
constexpr std::size_t kMaxTextBytes = kHeaderSize - 7;
constexpr std::array<std::uint8_t, 3> kSignature = {'T', 'W', 'X'};

// Flag bits of byte 3.
enum : std::uint8_t {
    kAskCmdLine = 1 << 0,
    kAskFiles = 1 << 1,
    kHideOverWriteBox = 1 << 2,
    kOverwriteAlways = 1 << 3,
    kOverwriteNever = 1 << 4,
    kNoCheckSize = 1 << 5,
    kAutoRun = 1 << 6,
};

struct Header {
    std::uint8_t flags = 0;
    std::string caption;
    std::string defaultDir;
    std::string commandLine;

    std::size_t TextBytes() const { return caption.size() + defaultDir.size() + commandLine.size(); }
};

// The header's bytes; nullopt when the three texts together exceed kMaxTextBytes.
std::optional<std::array<std::uint8_t, kHeaderSize>> BuildHeader(const Header& header);
// Reads a header; nullopt when the signature is wrong or the text lengths do not fit.
std::optional<Header> ParseHeader(const std::uint8_t* bytes, std::size_t size);

}  // namespace sfx
