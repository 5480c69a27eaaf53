#include "engines/zipsfx/SfxImage.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace sfx {
namespace {

bool ReadAt(std::ifstream& in, std::uint64_t at, void* buffer, std::size_t size) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
    return in.gcount() == static_cast<std::streamsize>(size);
}

std::uint64_t FileSize(std::ifstream& in) {
    in.clear();
    in.seekg(0, std::ios::end);
    const auto end = in.tellg();
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::uint64_t ElfExtent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Elf64_Ehdr eh{};
    if (!ReadAt(in, 0, &eh, sizeof eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64)
        return 0;
    std::uint64_t extent = eh.e_shoff + std::uint64_t(eh.e_shnum) * eh.e_shentsize;
    extent = std::max<std::uint64_t>(extent, eh.e_phoff + std::uint64_t(eh.e_phnum) * eh.e_phentsize);
    for (unsigned i = 0; i < eh.e_phnum; ++i) {
        Elf64_Phdr ph{};
        if (!ReadAt(in, eh.e_phoff + std::uint64_t(i) * eh.e_phentsize, &ph, sizeof ph)) return 0;
        extent = std::max<std::uint64_t>(extent, ph.p_offset + ph.p_filesz);
    }
    for (unsigned i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh{};
        if (!ReadAt(in, eh.e_shoff + std::uint64_t(i) * eh.e_shentsize, &sh, sizeof sh)) return 0;
        if (sh.sh_type != SHT_NOBITS) extent = std::max<std::uint64_t>(extent, sh.sh_offset + sh.sh_size);
    }
    return extent;
}

std::optional<Image> OpenImage(const std::string& path, std::string& error) {
    Image image;
    image.path = path;
    image.stubSize = ElfExtent(path);
    std::ifstream in(path, std::ios::binary);
    image.fileSize = FileSize(in);
    std::uint8_t bytes[kHeaderSize];
    if (image.stubSize == 0 || !ReadAt(in, image.stubSize, bytes, sizeof bytes)) {
        error = "This program holds no archive: nothing follows the extractor.";
        return std::nullopt;
    }
    auto header = ParseHeader(bytes, sizeof bytes);
    if (!header) {
        error = "This program holds no archive: the self-extractor header is missing or damaged.";
        return std::nullopt;
    }
    image.header = *header;
    return image;
}

std::uint64_t ArchiveEnd(const std::string& path, std::uint64_t start, std::uint64_t fileSize) {
    if (fileSize < start + 22) return 0;
    const std::uint64_t span = std::min<std::uint64_t>(fileSize - start, 65535 + 22);
    std::vector<unsigned char> tail(span);
    std::ifstream in(path, std::ios::binary);
    if (!ReadAt(in, fileSize - span, tail.data(), span)) return 0;
    // The end record whose comment reaches the end of the file wins over a signature that
    // merely appears inside a comment; without one, the last signature found decides.
    std::uint64_t firstEnd = 0;
    for (std::size_t p = span - 22 + 1; p-- > 0;) {
        if (Le32(&tail[p]) != 0x06054b50) continue;
        const std::uint64_t commentLength = tail[p + 20] | (tail[p + 21] << 8);
        const std::uint64_t end = fileSize - span + p + 22 + commentLength;
        if (end == fileSize) return end;
        if (firstEnd == 0) firstEnd = end;
    }
    return firstEnd;
}

}  // namespace sfx
