#pragma once
// An archive's central directory read by the zip component's own reader: the names the
// component lists, the same in every engine, and where each member's data lies, for archives
// that libzip refuses but Info-ZIP reads.
#include "zip/ZipDirectory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct DirectoryEntry {
    zipdir::CentralEntry central;
    std::string name;              // as listed: up to the first NUL, the code page rule unless UTF-8
    std::string rawName;           // the stored bytes up to the first NUL
    std::int64_t localHeader = 0;  // where its local header lies in the file

    bool encrypted() const { return (central.Flags() & 1) != 0; }
    std::uint8_t host() const { return static_cast<std::uint8_t>(central.VersionMadeBy() >> 8); }
    std::uint32_t externalAttributes() const { return zipfmt::Get32(central.header + 38); }
};

// A name or comment as the component lists it, by the record's code page (0 auto, 1 none,
// 2 OEM): the bytes up to the first NUL, read as code page 437 where the rule says so.
std::string ListedName(std::string_view stored, std::uint16_t versionMadeBy, std::uint16_t flags,
                       int codePage);

// The entries of the archive at path in directory order; nothing when its records cannot be
// read (no end record, a header cut short or out of place).
std::optional<std::vector<DirectoryEntry>> ReadDirectory(const std::string& path, int codePage);
