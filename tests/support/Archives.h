#pragma once
// Builders of zip archives for tests: real ones made by Info-ZIP zip and by Python's zipfile,
// and crafted bytes for damaged or unusual archives.
#include <cstdint>
#include <string>
#include <vector>

class TempDir;

namespace archives {

// A file to put on disk (name relative to a folder; '/' makes subfolders).
struct FileSpec {
    std::string name;
    std::string data;
};

// Writes the files below folder (created when missing).
void WriteFiles(const std::string& folder, const std::vector<FileSpec>& files);

// Quotes a text for /bin/sh (single quotes).
std::string ShellQuote(const std::string& text);

// Runs Info-ZIP zip in folder: `zip -q <options> archive <names...>`; with a comment given,
// it is set with -z. Returns zip's exit status.
int RunInfoZip(const std::string& folder, const std::string& archive, const std::string& options,
               const std::vector<std::string>& names, const std::string& comment = "");

// Writes files into dir/<archive-stem>.src/ and zips them there into dir/archive with Info-ZIP
// (names as given, folders kept). Returns the archive's full path; throws when zip fails.
std::string InfoZipArchive(const TempDir& dir, const std::string& archive, const std::vector<FileSpec>& files,
                           const std::string& options = "", const std::string& comment = "");

// One member for Python's zipfile.
struct PyMember {
    std::string name;  // stored name bytes (written as they are, whatever the host)
    std::string data;
    int createSystem = 3;    // host byte (0 MS-DOS, 3 Unix)
    int createVersion = 20;  // version byte
    std::string comment;     // entry comment bytes
    bool deflate = true;
    int flagBits = 0;  // extra general flag bits (0x800: UTF-8 names)
};

// Writes dir/archive with Python's zipfile; returns the full path; throws when Python fails.
std::string PythonZipArchive(const TempDir& dir, const std::string& archive,
                             const std::vector<PyMember>& members, const std::string& comment = "");

// Exit status of `unzip -tqq` and `python3 -m zipfile -t` on an archive (0 when whole).
int UnzipTest(const std::string& archive);
int PythonZipTest(const std::string& archive);
// Member names as `unzip -Z1` prints them, one per line (empty on failure).
std::vector<std::string> UnzipNames(const std::string& archive);

// Members as `unzip -l` lists them: size and name, in its order (empty on failure).
struct ListedMember {
    std::uint64_t size = 0;
    std::string name;
    bool operator==(const ListedMember&) const = default;
};
std::vector<ListedMember> UnzipListing(const std::string& archive);

// Little-endian byte writers.
void Put16(std::string& out, std::uint16_t v);
void Put32(std::string& out, std::uint32_t v);
void Put64(std::string& out, std::uint64_t v);
std::uint32_t Crc32(const std::string& data);

// Crafted archives of stored members, every field open to change.
class CraftedZip {
public:
    struct Entry {
        std::string name;
        std::string data;
        std::string extra;
        std::string comment;
        std::uint16_t versionMadeBy = 20;  // low: version, high: host
        std::uint16_t flags = 0;
        std::uint32_t localOffset = 0;  // filled by Build unless keepOffset
        bool keepOffset = false;
    };

    // Adds a stored member made on host (high byte of VersionMadeBy).
    Entry& Add(const std::string& name, const std::string& data, int host = 3);

    std::string prefix;          // bytes in front (a stub); offsets are not adjusted for it
    bool adjustOffsets = false;  // add prefix.size() to every offset (like zip -A)
    std::string archiveComment;
    // Overrides of end-record fields (-1: computed).
    std::int64_t totalEntries = -1;
    std::int64_t centralSize = -1;
    std::int64_t centralOffset = -1;
    std::int64_t commentLength = -1;
    std::uint16_t thisDisk = 0;
    std::uint16_t centralDisk = 0;

    // The whole archive. centralStart receives where the central directory begins.
    std::string Build(std::size_t* centralStart = nullptr) const;

    std::vector<Entry> entries;
};

// Writes a zip64 archive of two stored members at path: "dvd.iso", zeroSize bytes of zeros
// (a multiple of 1 MiB, left as a hole of a sparse file, so 4 GiB and more cost no disk), then
// "readme.txt" holding "hello" behind it. Sizes and offsets past 32 bits go into zip64 extra
// fields, the directory's place and count into zip64's end record; CRCs are right, so unzip
// tests it whole.
void WriteSparseZip64(const std::string& path, std::uint64_t zeroSize);

// The 22 bytes of an empty archive.
std::string EmptyArchive();

}  // namespace archives
