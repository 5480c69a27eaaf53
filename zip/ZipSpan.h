#pragma once
// Multi-disk sets: splitting a finished archive over removable disks or numbered volume files
// (archive001.zip, archive002.zip, ...) and joining such a set back into one archive.
//
// A ZipSpanner lives for one split, one join or one change of disk for List, and keeps its own
// state; it reads the component's settings and reports through the component.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Descriptor.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipBytes.h"

// The end record of an open file, read by the directory reader; nothing when there is none.
// A tail that cannot be read raises 11011.
std::optional<zipdir::EndRecord> FindEndRecord(int fd);
// The same, raising 11036 when there is none.
zipdir::EndRecord ArchiveEndRecord(int fd);
// Moves an input to a position read from an archive; raises 11008 when it cannot.
void SeekInput(int fd, std::uint64_t at);

// Puts a member's volume and local-header offset into its central record (header, name, extra
// field, comment as stored): into the header, or into the zip64 block where the header holds
// all ones. Raises failureId when a value needs a zip64 field the record does not have.
void SetCentralLocation(std::string& record, std::uint32_t disk, std::uint64_t offset, int failureId);

// Whether a value does not fit the 22-byte end record.
bool NeedsZip64(const zipdir::DirectoryValues& end);
// The end of a directory as written: zip64's end record and locator when zip64 is asked for or a
// value does not fit the 22-byte record, then that record and the comment. recordAt is where
// these bytes start in their volume.
std::string DirectoryEndBytes(const zipdir::DirectoryValues& end, bool zip64, std::uint64_t recordAt,
                              const std::string& comment);

// Volume file of a set on a fixed or network drive: the archive's base name followed by the
// volume number (counting from 1) in three digits, then its extension.
std::string VolumeFileName(const std::string& archive, int volume);
// The number the three digits before the extension give; -1 when they are not digits.
int VolumeNumberOf(const std::string& path);
// The same path naming another volume of its set (volume counts from 0).
std::string WithVolumeNumber(const std::string& path, int volume);
// The label of a set's removable disk: "PKBACK# " + three digits, counting from 1.
std::string SpanVolumeLabel(int volume);
// The volume number a disk label gives (counting from 1); 0 when it is not a set's label.
int SpanLabelNumber(const std::string& label);

// One entry while splitting or joining a set.
struct MDZipData {
    std::uint32_t DiskStart = 0;
    std::uint64_t RelOffLocal = 0;
    std::uint16_t FileNameLen = 0;
    std::string FileName;
    std::uint64_t ComprSize = 0;
    std::string CentralRecord;  // header, name, extra field and comment as read
};

// The names a split or join works with.
struct SpanState {
    std::string inFileName;                   // the volume being read
    std::string outFileName;                  // the target as given (base of numbered names)
    std::string volumePath;                   // the volume being written
    std::vector<std::string> writtenVolumes;  // made by this split: deleted when it fails
    bool writing = false;
    std::int64_t archiveSize = 0;  // of the archive being split (disk-count estimate)
    bool zip64 = false;            // the archive being split or joined has zip64's end record
};

// The volumes: where they are, which one is in use, the open files.
struct SpanFields {
    std::string drive;  // drive root of the current volume, ending in '/'
    int diskNr = 0;     // current volume number (-1: the last disk is wanted)
    std::int64_t bytesWritten = 0;
    std::int64_t freeOnDisk = 0;
    std::int64_t sizeOfDisk = 0;
    std::string volumeName;
    bool newDisk = false;
    bool showProgress = false;
    std::int64_t dateStamp = 0;  // seconds since 1970 for volume files
    Descriptor inFile;
    Descriptor outFile;
    std::vector<MDZipData> mdZipData;
    std::uint16_t lastDiskNumber = 0;
};

class ZipSpanner {
public:
    // The component whose settings and reporting the spanner uses.
    explicit ZipSpanner(TZipArchiver& zip);
    ~ZipSpanner();
    ZipSpanner(const ZipSpanner&) = delete;
    ZipSpanner& operator=(const ZipSpanner&) = delete;

    // Splits source onto disks or volume files named after target. 0, or -7 / -8 / -9.
    int WriteSpan(const std::string& source, const std::string& target);
    // Joins the set whose last volume is lastVolume into one archive: outPath names a folder
    // (a new temporary name is made there) or a file; it becomes the joined file's name, or
    // empty on failure. 0, or -7 / -8 / -9.
    int ReadSpan(const std::string& lastVolume, std::string& outPath);

    // Writes count bytes over as many volumes as needed; keepTogether bytes (when above 0)
    // must all land on one volume. Returns count; raises EZipArchiver.
    std::int64_t WriteSplit(const unsigned char* bytes, std::int64_t count, std::int64_t keepTogether);
    // Writes count bytes to the joined output; a short write raises errorId.
    void WriteJoin(const unsigned char* bytes, std::int64_t count, int errorId);
    // Copies count bytes from the set (across volume ends) to the joined output.
    void RWJoinData(unsigned char* buffer, std::int64_t count, int errorId);
    // Copies count bytes from the source archive onto the volumes.
    void RWSplitData(unsigned char* buffer, std::int64_t count, int errorId);
    // Waits until the wanted disk is in the drive; returns the drive type.
    int CheckForDisk();
    // Whether the wanted volume is present (on fixed drives: names it).
    bool IsRightDisk(int driveType);
    // Opens volume diskSeq (counting from 0) as the input.
    void GetNewDisk(int diskSeq);
    // For List: opens volume diskSeq of the set ZipFileName belongs to, whose last disk is
    // lastDisk, and hands the open file over.
    Descriptor TakeVolume(int diskSeq, std::uint16_t lastDisk);
    // The last volume written by a split; LastDiskNumber as the split or join left it.
    const std::string& LastVolume() const { return state_.volumePath; }
    std::uint16_t LastDiskNumber() const { return f_.lastDiskNumber; }
    // Free bytes (bit 0 of which) and total size (bit 1) of the current drive into the
    // component; returns the total size, -1 when unknown.
    std::int64_t DiskFreeAndSize(int which);
    // Formatting a disk is not offered on this platform: always -3 (not started).
    int ZipFormat();

private:
    void BeginSplit(const std::string& source);
    void SplitLocalEntries(const std::vector<std::size_t>& fileOrder, std::vector<unsigned char>& buffer);
    void SplitCentralDirectory(const zipdir::EndRecord& end);
    void SplitEndRecord(const zipdir::EndRecord& end, int centralDisk, std::uint64_t centralOffset,
                        std::uint64_t entriesOnLastDisk);
    void OpenVolume();
    bool ClaimVolumeFile(const std::string& path, bool removable);
    bool VolumeHasRoom(const std::string& path);
    void EnsureRoom(std::int64_t keepTogether);
    bool CloseVolume();
    int FinishOutput(int result);
    void NextVolume();
    std::string CheckForDiskText();
    bool DiskIsThere();

    void JoinSet(std::string& outPath);
    void OpenJoinedOutput(std::string& outPath);
    zipdir::EndRecord FindLastVolume();
    void JoinLocalEntries(const zipdir::EndRecord& end, std::vector<unsigned char>& buffer);
    bool InputAt(int disk, std::int64_t offset);
    void JoinCentralDirectory(const zipdir::EndRecord& end);
    void ReadJoined(unsigned char* to, std::int64_t count, int errorId);

    std::uint64_t ReadCentralEntries(const zipdir::EndRecord& end, bool acrossVolumes);
    void ReadFrom(int fd, unsigned char* to, std::int64_t count, int errorId);
    void CopyDescriptor(bool zip64Sizes, std::vector<unsigned char>& buffer, bool joining);
    void CloseInput();
    void Progress(ProgressType type, const std::string& name, std::int64_t size);
    void Message(const std::string& text);
    int ReportFailure(const std::exception_ptr& failure);
    // Runs a split or a join: a failure gives its message and result, progress ends, the
    // entries go and both files are closed.
    int RunSpanStep(const std::function<void()>& step);
    void DeletePartialVolumes();

    TZipArchiver& zip_;
    SpanFields f_;
    SpanState state_;
};
