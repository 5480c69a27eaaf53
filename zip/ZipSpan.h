#pragma once
// Multi-disk sets: splitting a finished archive over removable disks or numbered volume files
// (archive001.zip, archive002.zip, ...) and joining such a set back into one archive.
//
// ZipSpanner works on a TZipArchiver's spanning state (its F... fields); what that state lacks
// (the input and output names, the volumes written so far) lives in a SpanState kept in the
// component's FSpanExtra, so that GetNewDisk called from List finds it too.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zip/ZipArchiver.h"
#include "zip/ZipBytes.h"

// The end record of an open file, read by the directory reader; nothing when there is none.
// A tail that cannot be read raises 11011.
std::optional<zipdir::EndRecord> FindEndRecord(int fd);
// The same, raising 11036 when there is none.
zipdir::EndRecord ArchiveEndRecord(int fd);
// Moves an input to a position read from an archive; raises 11008 when it cannot.
void SeekInput(int fd, std::uint64_t at);

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

// What the spanning code keeps beyond the component's own fields.
struct SpanState {
    std::string inFileName;                   // the volume being read
    std::string outFileName;                  // the target as given (base of numbered names)
    std::string volumePath;                   // the volume being written
    std::vector<std::string> writtenVolumes;  // made by this split: deleted when it fails
    bool writing = false;
    bool reading = false;
    std::int64_t archiveSize = 0;  // of the archive being split (disk-count estimate)
};

// The component's spanning state, reached by reference (the members that start the spanning
// code hand it over; see SPAN_FIELDS in ZipSpan.cpp).
struct SpanFields {
    std::string& FDrive;
    int& FDiskNr;
    std::int64_t& FBytesWritten;
    std::int64_t& FFreeOnDisk;
    std::int64_t& FSizeOfDisk;
    std::string& FVolumeName;
    bool& FNewDisk;
    bool& FShowProgress;
    std::int64_t& FDateStamp;
    int& FInFile;
    int& FOutFile;
    std::vector<MDZipData>& FMDZipData;
    std::shared_ptr<void>& FSpanExtra;
    bool& FBusy;  // AddBusy while splitting, ExtractBusy while joining
    std::uint16_t& FLastDiskNumber;
};

class ZipSpanner {
public:
    ZipSpanner(TZipArchiver& zip, const SpanFields& fields);

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
    // Free bytes (bit 0 of which) and total size (bit 1) of the current drive into the
    // component; returns the total size, -1 when unknown.
    std::int64_t DiskFreeAndSize(int which);
    // Formatting a disk is not offered on this platform: always -3 (not started).
    int ZipFormat();

    static SpanState& State(std::shared_ptr<void>& extra);

private:
    void BeginSplit(const std::string& source);
    void SplitLocalEntries(const std::vector<std::size_t>& fileOrder, std::vector<unsigned char>& buffer);
    void SplitCentralDirectory(const zipdir::EndRecord& end);
    void SplitEndRecord(const zipdir::EndRecord& end, int centralDisk, std::uint32_t centralOffset,
                        int entriesOnLastDisk);
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
    void JoinEndRecord(const zipdir::EndRecord& end, std::int64_t centralStart, std::int64_t centralSize);
    void OpenJoinedOutput(std::string& outPath);
    zipdir::EndRecord FindLastVolume();
    void ReadJoinedCentral(const zipdir::EndRecord& end, std::int64_t& total);
    void JoinLocalEntries(const zipdir::EndRecord& end, std::vector<unsigned char>& buffer);
    bool InputAt(int disk, std::int64_t offset);
    void JoinCentralDirectory(const zipdir::EndRecord& end, std::int64_t& centralStart,
                              std::int64_t& centralSize);
    void ReadJoined(unsigned char* to, std::int64_t count, int errorId);

    using Reader = std::function<void(unsigned char* to, std::int64_t count, int errorId)>;
    std::int64_t ReadCentralEntries(int count, const Reader& read);
    void ReadAt(int fd, std::int64_t at, unsigned char* to, std::int64_t count, int errorId);
    void ReadFrom(int fd, unsigned char* to, std::int64_t count, int errorId);
    void Progress(ProgressType type, const std::string& name, std::int64_t size);
    void Message(const std::string& text);
    int ReportFailure(const std::exception_ptr& failure);
    // Runs a split or a join: a failure gives its message and result, progress ends, the
    // entries go and both files are closed.
    int RunSpanStep(const std::function<void()>& step);
    void DeletePartialVolumes();

    TZipArchiver& zip_;
    SpanFields f_;
    SpanState& state_;
};
