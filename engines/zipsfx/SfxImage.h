#pragma once
// Finds what lies behind the stub in a self-extracting file: the header and the archive.
#include <cstdint>
#include <optional>
#include <string>

#include "engines/zipsfx/SfxHeader.h"

namespace sfx {

struct Image {
    std::string path;            // the self-extracting file
    std::uint64_t stubSize = 0;  // where the header starts
    std::uint64_t fileSize = 0;
    Header header;
};

// Length of an ELF executable as laid out by the linker: the furthest end of its program
// segments, its sections and its section header table. 0 when the bytes are not ELF64.
std::uint64_t ElfExtent(const std::string& path);

// Reads the header that follows the stub. Fails with a message when there is none.
std::optional<Image> OpenImage(const std::string& path, std::string& error);

// Where the archive inside [start, fileSize) ends by its end record: position of the end
// record + 22 + comment length; 0 when no end record is found.
std::uint64_t ArchiveEnd(const std::string& path, std::uint64_t start, std::uint64_t fileSize);

}  // namespace sfx
