#pragma once
/*
 * Reading a zip archive's own records: the end record with zip64's locator and end record,
 * central headers, local headers and their extra fields. Stateless and self-contained (the
 * standard library and POSIX only), so the component's listing, spanning and self-extractor
 * code and the unzip engine read archives the same way.
 *
 * Every read is bounded by the file's size: no count or length taken from the file sizes a
 * buffer before the bytes are actually there, and no count is trusted to end a loop early or
 * late (callers stop at the file's end or a wrong signature).
 */
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ZipBytes.h"

namespace zipdir {

// What went wrong while reading a record.
enum class Fault {
    ReadEnd,           // the end of the file could not be read
    CentralHeader,     // a central header cut short
    CentralSignature,  // a central header's signature is wrong
    CentralName,       // its name, extra field or comment cut short
    CentralExtra,
    CentralComment,
    LocalHeader,  // a local header cut short
    LocalSignature,
    LocalName,
    LocalExtra,
};

class ReadError : public std::exception {
public:
    explicit ReadError(Fault f) : fault(f) {}
    const char* what() const noexcept override { return "zip record cannot be read"; }
    Fault fault;
};

// An open file read by position. It does not own the descriptor.
class ZipFile {
public:
    // The size is taken once, when made; -1 as descriptor gives an empty file.
    explicit ZipFile(int fd);
    int Fd() const { return fd_; }
    std::int64_t Size() const { return size_; }
    // Reads up to count bytes at pos; the number read, less only at the end or on a failure.
    std::size_t ReadAt(std::int64_t pos, void* to, std::size_t count) const;
    bool ReadExactly(std::int64_t pos, void* to, std::size_t count) const {
        return ReadAt(pos, to, count) == count;
    }

private:
    int fd_;
    std::int64_t size_ = 0;
};

// The values an end of a central directory records.
struct DirectoryValues {
    std::uint32_t thisDisk = 0;
    std::uint32_t centralDisk = 0;
    std::uint64_t entriesThisDisk = 0;
    std::uint64_t totalEntries = 0;
    std::uint64_t centralSize = 0;
    std::uint64_t centralOffset = 0;
};

// The end of the central directory: the 22-byte record, and zip64's record when there is one,
// whose values then stand in DirectoryValues (else the 22-byte record's do).
struct EndRecord : DirectoryValues {
    unsigned char raw[zipfmt::EndSize] = {};  // the 22-byte record as stored
    std::int64_t position = 0;                // where it lies in its file
    std::uint16_t commentLength = 0;          // as recorded
    std::string comment;                      // the comment bytes the file holds (raw)
    std::int64_t zip64Position = -1;          // of zip64's end record; -1 when there is none

    bool Zip64() const { return zip64Position >= 0; }
    // Where the central directory ends when it lies in this file: at the first end record.
    std::int64_t DirectoryEnd() const { return Zip64() ? zip64Position : position; }
    // Where the central directory starts counted back from its end (may be negative).
    std::int64_t ExpectedDirectoryStart() const;
    // Where the record and its comment end as recorded (may lie past the end of the file).
    std::int64_t RecordEnd() const { return position + zipfmt::EndSize + commentLength; }
};

// Finds the end record of a file: its last 22 bytes when they are one, else the nearest hit
// searching backwards through the last 65,557 bytes; then zip64's locator in front of it and
// the record that names (where the locator says, else right in front of the locator: an
// archive behind a stub). Nothing when there is no end record; a file whose tail cannot be
// read throws ReadError(ReadEnd).
std::optional<EndRecord> FindEndRecord(const ZipFile& file);

// The bytes of one block of an extra field, found by id; nothing when it is missing. A block
// whose length runs past the end of the field ends the search.
std::optional<std::string_view> FindExtraBlock(std::string_view extra, std::uint16_t id);

// The values of a header that zip64 may replace: a field holding all ones takes its value from
// the next 8 bytes (4 for the disk) of the 0x0001 block, in this order; a block too short for
// a field leaves it as it is, as Info-ZIP does.
struct Zip64Values {
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t localOffset = 0;  // central headers only
    std::uint32_t diskStart = 0;    // central headers only
};
void ApplyZip64(std::string_view extra, Zip64Values& values, bool central);
// Where each replaced field lies inside the extra field (-1: not there), for a writer that
// moves a header: the offset and disk slots of a central header.
struct Zip64Slots {
    int localOffset = -1;
    int diskStart = -1;
};
Zip64Slots FindZip64Slots(std::string_view extra, const unsigned char* centralHeader);

// Whether an extra field has zip64's block: a local header with one says its member's data
// descriptor holds both sizes in 8 bytes each.
bool HasZip64Sizes(std::string_view extra);
// The bytes of a data descriptor after its first four, which are its signature when it has one
// (then the CRC follows) or else the CRC.
int DescriptorRest(bool firstIsSignature, bool zip64Sizes);

// One central header with its name, extra field and comment, zip64 applied.
struct CentralEntry {
    unsigned char header[zipfmt::CentralSize] = {};  // as stored, signature first
    std::string name;                                // raw bytes, all of them
    std::string extra;
    std::string comment;
    Zip64Values values;

    std::uint16_t VersionMadeBy() const { return zipfmt::Get16(header + 4); }
    std::uint16_t Flags() const { return zipfmt::Get16(header + zipfmt::CenFlags); }
    std::uint16_t Method() const { return zipfmt::Get16(header + 10); }
    std::uint32_t Crc() const { return zipfmt::Get32(header + 16); }
    // The bytes the header, its name, extra field and comment take.
    std::int64_t RecordSize() const {
        return zipfmt::CentralSize + static_cast<std::int64_t>(name.size() + extra.size() + comment.size());
    }
};

// A name holds one name: the stored bytes up to the first NUL byte, if any.
std::string NameUpToNul(std::string_view bytes);

// Reads central headers one after another from a position, through one buffer.
class CentralDirectoryReader {
public:
    CentralDirectoryReader(const ZipFile& file, std::int64_t start);
    // Reads the next header with its name, extra field and comment. False when the file ends
    // exactly where the header would start (a set's next volume may hold it); a header cut
    // short or with a wrong signature throws ReadError.
    bool Next(CentralEntry& entry);
    // Goes on in another file (the next volume of a set) at start.
    void Continue(const ZipFile& file, std::int64_t start = 0);
    // Where the next header starts.
    std::int64_t Position() const { return bufferStart_ + static_cast<std::int64_t>(pos_); }

private:
    std::size_t Read(void* to, std::size_t count);
    void Take(std::string& to, std::size_t count, Fault fault);

    const ZipFile* file_;
    std::vector<unsigned char> buffer_;
    std::int64_t bufferStart_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

// One local header with its name and extra field, zip64 applied to its sizes.
struct LocalEntry {
    unsigned char header[zipfmt::LocalSize] = {};
    std::int64_t position = 0;
    std::string name;
    std::string extra;
    Zip64Values values;  // sizes only

    std::uint16_t Flags() const { return zipfmt::Get16(header + zipfmt::LocFlags); }
    std::uint16_t Method() const { return zipfmt::Get16(header + zipfmt::LocMethod); }
    bool Zip64Sizes() const { return HasZip64Sizes(extra); }
    // Where the member's data starts.
    std::int64_t DataStart() const {
        return position + zipfmt::LocalSize + static_cast<std::int64_t>(name.size() + extra.size());
    }
};

// Reads the local header at position; throws ReadError when it is cut short or its signature
// is wrong.
LocalEntry ReadLocalHeader(const ZipFile& file, std::int64_t position);

}  // namespace zipdir
