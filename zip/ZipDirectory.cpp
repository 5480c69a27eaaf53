// Reading a zip archive's records, bounded by the file's size (see ZipDirectory.h).
#include "zip/ZipDirectory.h"

#include "platform/Descriptor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace zipdir {

using namespace zipfmt;

namespace {

constexpr std::int64_t kMaxEndSearch = 65535 + EndSize;
constexpr std::uint32_t kAllOnes32 = 0xFFFFFFFF;
constexpr std::uint16_t kAllOnes16 = 0xFFFF;
constexpr std::size_t kDirectoryBuffer = 1 << 16;

// Where the fields that zip64 replaces lie inside an extra field (-1: not there).
struct SlotPositions {
    int uncompressedSize = -1;
    int compressedSize = -1;
    int localOffset = -1;
    int diskStart = -1;
};

// Which fields hold all ones, and so come from the 0x0001 block.
struct Saturated {
    bool uncompressedSize = false;
    bool compressedSize = false;
    bool localOffset = false;
    bool diskStart = false;
};

// The start of a block's data inside the extra field and its length; npos when missing.
std::size_t FindBlock(std::string_view extra, std::uint16_t id, std::size_t& length) {
    std::size_t at = 0;
    while (at + 4 <= extra.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.data() + at);
        const std::size_t blockLength = Get16(p + 2);
        if (at + 4 + blockLength > extra.size()) break;
        if (Get16(p) == id) {
            length = blockLength;
            return at + 4;
        }
        at += 4 + blockLength;
    }
    return std::string_view::npos;
}

// The 0x0001 block holds one slot per saturated field, in a fixed order; a slot that does not
// fit ends the block for the fields after it too.
SlotPositions FindSlots(std::string_view extra, const Saturated& saturated) {
    SlotPositions slots;
    std::size_t length = 0;
    std::size_t at = FindBlock(extra, Zip64ExtraId, length);
    if (at == std::string_view::npos) return slots;
    const std::size_t end = at + length;
    auto take = [&](bool wanted, int& slot, std::size_t width) {
        if (!wanted) return;
        if (at + width > end) {
            at = end + 1;
            return;
        }
        slot = static_cast<int>(at);
        at += width;
    };
    take(saturated.uncompressedSize, slots.uncompressedSize, 8);
    take(saturated.compressedSize, slots.compressedSize, 8);
    take(saturated.localOffset, slots.localOffset, 8);
    take(saturated.diskStart, slots.diskStart, 4);
    return slots;
}

Saturated SaturatedFields(const Zip64Values& v, bool central) {
    return {v.uncompressedSize == kAllOnes32, v.compressedSize == kAllOnes32,
            central && v.localOffset == kAllOnes32, central && v.diskStart == kAllOnes16};
}

const unsigned char* Bytes(std::string_view s, int at) {
    return reinterpret_cast<const unsigned char*>(s.data()) + at;
}

// zip64's end record named by the locator right in front of the end record, if there is one.
void ReadZip64End(const ZipFile& file, EndRecord& end) {
    const std::int64_t locator = end.position - Zip64LocatorSize;
    if (locator < Zip64EndSize) return;
    unsigned char loc[Zip64LocatorSize];
    if (!file.ReadExactly(locator, loc, sizeof loc) || Get32(loc) != Zip64LocatorSig) return;
    const std::uint64_t recorded = Get64(loc + 8);
    std::int64_t candidates[2] = {-1, locator - Zip64EndSize};
    if (recorded <= static_cast<std::uint64_t>(locator - Zip64EndSize))
        candidates[0] = static_cast<std::int64_t>(recorded);
    for (std::int64_t at : candidates) {
        unsigned char rec[Zip64EndSize];
        if (at < 0 || !file.ReadExactly(at, rec, sizeof rec) || Get32(rec) != Zip64EndSig) continue;
        // The record's own size counts what follows its first 12 bytes; it must end by the locator.
        const std::uint64_t recordSize = Get64(rec + 4);
        if (recordSize < Zip64EndSize - 12 || recordSize > static_cast<std::uint64_t>(locator - at - 12))
            continue;
        end.zip64Position = at;
        end.thisDisk = Get32(rec + 16);
        end.centralDisk = Get32(rec + 20);
        end.entriesThisDisk = Get64(rec + 24);
        end.totalEntries = Get64(rec + 32);
        end.centralSize = Get64(rec + 40);
        end.centralOffset = Get64(rec + 48);
        return;
    }
}

}  // namespace

// ---- The file -------------------------------------------------------------------------------

ZipFile::ZipFile(int fd) : fd_(fd) {
    struct stat st {};
    if (fd >= 0 && fstat(fd, &st) == 0) size_ = st.st_size;
}

std::size_t ZipFile::ReadAt(std::int64_t pos, void* to, std::size_t count) const {
    if (pos < 0 || pos >= size_) return 0;
    count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - pos));
    const ssize_t done = ReadAllAt(fd_, to, count, pos);
    return done < 0 ? 0 : static_cast<std::size_t>(done);
}

// ---- The end record -------------------------------------------------------------------------

std::int64_t EndRecord::ExpectedDirectoryStart() const {
    const std::int64_t end = DirectoryEnd();
    if (centralSize > static_cast<std::uint64_t>(end)) return -1;
    return end - static_cast<std::int64_t>(centralSize);
}

std::optional<EndRecord> FindEndRecord(const ZipFile& file) {
    const std::int64_t size = file.Size();
    if (size < EndSize) return std::nullopt;
    EndRecord end;
    if (!file.ReadExactly(size - EndSize, end.raw, EndSize)) throw ReadError(Fault::ReadEnd);
    if (Get32(end.raw) == EndSig) {
        end.position = size - EndSize;
    } else {
        const std::int64_t n = std::min(size, kMaxEndSearch);
        std::vector<unsigned char> block(static_cast<std::size_t>(n));
        if (!file.ReadExactly(size - n, block.data(), block.size())) throw ReadError(Fault::ReadEnd);
        std::int64_t p = n - EndSize - 1;
        while (p >= 0 && Get32(block.data() + p) != EndSig) --p;
        if (p < 0) return std::nullopt;
        end.position = size - n + p;
        std::memcpy(end.raw, block.data() + p, EndSize);
    }
    end.commentLength = Get16(end.raw + EndCommentLength);
    end.thisDisk = Get16(end.raw + EndThisDisk);
    end.centralDisk = Get16(end.raw + EndCentralDisk);
    end.entriesThisDisk = Get16(end.raw + EndEntriesThisDisk);
    end.totalEntries = Get16(end.raw + EndTotalEntries);
    end.centralSize = Get32(end.raw + EndCentralSize);
    end.centralOffset = Get32(end.raw + EndCentralOffset);
    const std::int64_t commentStart = end.position + EndSize;
    end.comment.resize(
        static_cast<std::size_t>(std::min<std::int64_t>(end.commentLength, size - commentStart)));
    end.comment.resize(file.ReadAt(commentStart, end.comment.data(), end.comment.size()));
    ReadZip64End(file, end);
    return end;
}

// ---- Extra fields ---------------------------------------------------------------------------

std::optional<std::string_view> FindExtraBlock(std::string_view extra, std::uint16_t id) {
    std::size_t length = 0;
    const std::size_t at = FindBlock(extra, id, length);
    if (at == std::string_view::npos) return std::nullopt;
    return extra.substr(at, length);
}

void ApplyZip64(std::string_view extra, Zip64Values& values, bool central) {
    const SlotPositions slots = FindSlots(extra, SaturatedFields(values, central));
    if (slots.uncompressedSize >= 0) values.uncompressedSize = Get64(Bytes(extra, slots.uncompressedSize));
    if (slots.compressedSize >= 0) values.compressedSize = Get64(Bytes(extra, slots.compressedSize));
    if (slots.localOffset >= 0) values.localOffset = Get64(Bytes(extra, slots.localOffset));
    if (slots.diskStart >= 0) values.diskStart = Get32(Bytes(extra, slots.diskStart));
}

Zip64Slots FindZip64Slots(std::string_view extra, const unsigned char* centralHeader) {
    const Zip64Values stored{Get32(centralHeader + CenUncompressedSize),
                             Get32(centralHeader + CenCompressedSize), Get32(centralHeader + CenLocalOffset),
                             Get16(centralHeader + CenDiskStart)};
    const SlotPositions slots = FindSlots(extra, SaturatedFields(stored, true));
    return {slots.localOffset, slots.diskStart};
}

bool HasZip64Sizes(std::string_view extra) {
    return FindExtraBlock(extra, Zip64ExtraId).has_value();
}

int DescriptorRest(bool firstIsSignature, bool zip64Sizes) {
    return (firstIsSignature ? 4 : 0) + (zip64Sizes ? 16 : 8);
}

std::string NameUpToNul(std::string_view bytes) {
    return std::string(bytes.substr(0, bytes.find('\0')));
}

// ---- Central headers ------------------------------------------------------------------------

CentralDirectoryReader::CentralDirectoryReader(const ZipFile& file, std::int64_t start)
    : file_(&file), buffer_(kDirectoryBuffer), bufferStart_(start) {}

void CentralDirectoryReader::Continue(const ZipFile& file, std::int64_t start) {
    file_ = &file;
    bufferStart_ = start;
    pos_ = len_ = 0;
}

std::size_t CentralDirectoryReader::Read(void* to, std::size_t count) {
    auto* bytes = static_cast<unsigned char*>(to);
    std::size_t done = 0;
    while (done < count) {
        if (pos_ == len_) {
            bufferStart_ += static_cast<std::int64_t>(len_);
            pos_ = 0;
            len_ = file_->ReadAt(bufferStart_, buffer_.data(), buffer_.size());
            if (len_ == 0) break;
        }
        const std::size_t n = std::min(count - done, len_ - pos_);
        std::memcpy(bytes + done, buffer_.data() + pos_, n);
        pos_ += n;
        done += n;
    }
    return done;
}

void CentralDirectoryReader::Take(std::string& to, std::size_t count, Fault fault) {
    to.resize(count);
    if (Read(to.data(), count) != count) throw ReadError(fault);
}

bool CentralDirectoryReader::Next(CentralEntry& entry) {
    const std::size_t got = Read(entry.header, CentralSize);
    if (got == 0) return false;
    if (got < CentralSize) throw ReadError(Fault::CentralHeader);
    const unsigned char* h = entry.header;
    if (Get32(h) != CentralSig) throw ReadError(Fault::CentralSignature);
    Take(entry.name, Get16(h + CenNameLength), Fault::CentralName);
    Take(entry.extra, Get16(h + CenExtraLength), Fault::CentralExtra);
    Take(entry.comment, Get16(h + CenCommentLength), Fault::CentralComment);
    entry.values = {Get32(h + CenUncompressedSize), Get32(h + CenCompressedSize), Get32(h + CenLocalOffset),
                    Get16(h + CenDiskStart)};
    ApplyZip64(entry.extra, entry.values, true);
    return true;
}

// ---- Local headers --------------------------------------------------------------------------

LocalEntry ReadLocalHeader(const ZipFile& file, std::int64_t position) {
    LocalEntry entry;
    entry.position = position;
    if (!file.ReadExactly(position, entry.header, LocalSize)) throw ReadError(Fault::LocalHeader);
    if (Get32(entry.header) != LocalSig) throw ReadError(Fault::LocalSignature);
    entry.name.resize(Get16(entry.header + LocNameLength));
    if (!file.ReadExactly(position + LocalSize, entry.name.data(), entry.name.size()))
        throw ReadError(Fault::LocalName);
    entry.extra.resize(Get16(entry.header + LocExtraLength));
    if (!file.ReadExactly(position + LocalSize + static_cast<std::int64_t>(entry.name.size()),
                          entry.extra.data(), entry.extra.size()))
        throw ReadError(Fault::LocalExtra);
    entry.values.uncompressedSize = Get32(entry.header + LocUncompressedSize);
    entry.values.compressedSize = Get32(entry.header + LocCompressedSize);
    ApplyZip64(entry.extra, entry.values, false);
    return entry;
}

}  // namespace zipdir
