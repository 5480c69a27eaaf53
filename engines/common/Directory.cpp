#include "engines/common/Directory.h"

#include "engines/EngineApi.h"
#include "platform/Descriptor.h"
#include "platform/Text.h"

#include <fcntl.h>

namespace {
constexpr std::uint16_t kUtf8Flag = 0x0800;
}  // namespace

std::string ListedName(std::string_view stored, std::uint16_t versionMadeBy, std::uint16_t flags,
                       int codePage) {
    std::string name = zipdir::NameUpToNul(stored);
    bool oem = (flags & kUtf8Flag) == 0 && ZipNameIsOem(codePage, versionMadeBy >> 8, versionMadeBy & 0xFF);
    return oem ? Cp437ToUtf8(name) : name;
}

std::optional<std::vector<DirectoryEntry>> ReadDirectory(const std::string& path, int codePage) {
    const Descriptor fd = OpenDescriptor(path, O_RDONLY);
    if (!fd.IsOpen()) return std::nullopt;
    std::optional<std::vector<DirectoryEntry>> entries;
    try {
        zipdir::ZipFile file(fd.Get());
        std::optional<zipdir::EndRecord> end = zipdir::FindEndRecord(file);
        std::int64_t start = end ? end->ExpectedDirectoryStart() : -1;
        if (start >= 0) {
            // Offsets of an archive copied behind a stub without being adjusted miss the stub.
            std::int64_t shift = start - static_cast<std::int64_t>(end->centralOffset);
            zipdir::CentralDirectoryReader reader(file, start);
            entries.emplace();
            DirectoryEntry entry;
            for (std::uint64_t i = 0; i < end->totalEntries && reader.Next(entry.central); ++i) {
                entry.rawName = zipdir::NameUpToNul(entry.central.name);
                entry.name = ListedName(entry.central.name, entry.central.VersionMadeBy(),
                                        entry.central.Flags(), codePage);
                entry.localHeader = static_cast<std::int64_t>(entry.central.values.localOffset) + shift;
                entries->push_back(entry);
            }
            if (entries->size() != end->totalEntries) entries.reset();
        }
    } catch (const zipdir::ReadError&) {
        entries.reset();
    }
    return entries;
}
