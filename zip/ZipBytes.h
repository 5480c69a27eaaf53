#pragma once
// Little-endian fields of zip records, read and written in place, and the records' layouts.
#include <cstdint>

namespace zipfmt {

inline std::uint16_t Get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t Get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t Get64(const unsigned char* p) {
    return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

inline void Put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void Put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline void Put64(unsigned char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

constexpr std::uint32_t LocalSig = 0x04034b50;
constexpr std::uint32_t CentralSig = 0x02014b50;
constexpr std::uint32_t EndSig = 0x06054b50;
constexpr std::uint32_t Zip64EndSig = 0x06064b50;
constexpr std::uint32_t Zip64LocatorSig = 0x07064b50;
constexpr std::uint32_t ExtLocalSig = 0x08074b50;  // data descriptor; also marks a set's first volume
constexpr int LocalSize = 30;
constexpr int CentralSize = 46;
constexpr int EndSize = 22;
constexpr int Zip64EndSize = 56;  // without its extensible data
constexpr int Zip64LocatorSize = 20;
constexpr std::uint16_t Zip64ExtraId = 0x0001;

// Offsets inside a local header.
constexpr int LocFlags = 6, LocMethod = 8, LocCrc = 14, LocCompressedSize = 18, LocUncompressedSize = 22,
              LocNameLength = 26, LocExtraLength = 28;
// Offsets inside a central header.
constexpr int CenFlags = 8, CenCompressedSize = 20, CenUncompressedSize = 24, CenNameLength = 28,
              CenExtraLength = 30, CenCommentLength = 32, CenDiskStart = 34, CenLocalOffset = 42;
// Offsets inside the end record.
constexpr int EndThisDisk = 4, EndCentralDisk = 6, EndEntriesThisDisk = 8, EndTotalEntries = 10,
              EndCentralSize = 12, EndCentralOffset = 16, EndCommentLength = 20;

}  // namespace zipfmt
