// Splitting an archive over disks or numbered volume files and joining such a set back.
#include "zip/ZipSpan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <numeric>

#include "platform/Descriptor.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "zip/ZipSfx.h"
#include "zip/ZipUi.h"

std::optional<zipdir::EndRecord> FindEndRecord(int fd) {
    try {
        return zipdir::FindEndRecord(zipdir::ZipFile(fd));
    } catch (const zipdir::ReadError& e) {
        throw EZipArchiver(e);
    }
}

void SeekInput(int fd, std::uint64_t at) {
    if (at > static_cast<std::uint64_t>(INT64_MAX) ||
        lseek(fd, static_cast<off_t>(at), SEEK_SET) != static_cast<off_t>(at))
        throw EZipArchiver(ZipMsg::InputSeek, true);
}

zipdir::EndRecord ArchiveEndRecord(int fd) {
    std::optional<zipdir::EndRecord> end = FindEndRecord(fd);
    if (!end) throw EZipArchiver(ZipMsg::NotValidZip, true);
    return *end;
}

using namespace zipfmt;

namespace {

constexpr std::uint32_t kAllOnes32 = 0xFFFFFFFF;
constexpr std::uint16_t kAllOnes16 = 0xFFFF;

// A value read from an archive as a count of bytes; an absurd one (past any file) stays large.
std::int64_t ByteCount(std::uint64_t v) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(v, INT64_MAX));
}

}  // namespace

void SetCentralLocation(std::string& record, std::uint32_t disk, std::uint64_t offset, int failureId) {
    auto* header = reinterpret_cast<unsigned char*>(record.data());
    unsigned char* extra = header + CentralSize + Get16(header + CenNameLength);
    const std::string_view extraField(reinterpret_cast<const char*>(extra), Get16(header + CenExtraLength));
    const zipdir::Zip64Slots slots = zipdir::FindZip64Slots(extraField, header);
    if (slots.localOffset >= 0)
        Put64(extra + slots.localOffset, offset);
    else if (offset < kAllOnes32)
        Put32(header + CenLocalOffset, static_cast<std::uint32_t>(offset));
    else
        throw EZipArchiver(failureId, true);
    if (slots.diskStart >= 0)
        Put32(extra + slots.diskStart, disk);
    else if (disk < kAllOnes16)
        Put16(header + CenDiskStart, static_cast<std::uint16_t>(disk));
    else
        throw EZipArchiver(failureId, true);
}

bool NeedsZip64(const zipdir::DirectoryValues& end) {
    return end.thisDisk >= kAllOnes16 || end.centralDisk >= kAllOnes16 || end.totalEntries >= kAllOnes16 ||
           end.centralSize >= kAllOnes32 || end.centralOffset >= kAllOnes32;
}

std::string DirectoryEndBytes(const zipdir::DirectoryValues& end, bool zip64, std::uint64_t recordAt,
                              const std::string& comment) {
    zip64 = zip64 || NeedsZip64(end);
    std::string bytes(zip64 ? Zip64EndSize + Zip64LocatorSize : 0, '\0');
    auto* b = reinterpret_cast<unsigned char*>(bytes.data());
    if (zip64) {
        Put32(b, Zip64EndSig);
        Put64(b + 4, Zip64EndSize - 12);
        Put16(b + 12, 45);
        Put16(b + 14, 45);
        Put32(b + 16, end.thisDisk);
        Put32(b + 20, end.centralDisk);
        Put64(b + 24, end.entriesThisDisk);
        Put64(b + 32, end.totalEntries);
        Put64(b + 40, end.centralSize);
        Put64(b + 48, end.centralOffset);
        Put32(b + Zip64EndSize, Zip64LocatorSig);
        Put32(b + Zip64EndSize + 4, end.thisDisk);
        Put64(b + Zip64EndSize + 8, recordAt);
        Put32(b + Zip64EndSize + 16, end.thisDisk + 1);
    }
    ZipEndOfCentral eoc;
    eoc.HeaderSig = EndSig;
    eoc.ThisDiskNo = static_cast<std::uint16_t>(std::min<std::uint32_t>(end.thisDisk, kAllOnes16));
    eoc.CentralDiskNo = static_cast<std::uint16_t>(std::min<std::uint32_t>(end.centralDisk, kAllOnes16));
    eoc.CentralEntriesThisDisk =
        static_cast<std::uint16_t>(std::min<std::uint64_t>(end.entriesThisDisk, kAllOnes16));
    eoc.TotalEntries = static_cast<std::uint16_t>(std::min<std::uint64_t>(end.totalEntries, kAllOnes16));
    eoc.CentralSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(end.centralSize, kAllOnes32));
    eoc.CentralOffset = static_cast<std::uint32_t>(std::min<std::uint64_t>(end.centralOffset, kAllOnes32));
    eoc.ZipCommentLen = static_cast<std::uint16_t>(comment.size());
    unsigned char record[EndSize];
    eoc.ToBytes(record);
    bytes.append(reinterpret_cast<const char*>(record), EndSize);
    return bytes + comment;
}

// ---- Volume names and labels ------------------------------------------------------------------

namespace {

std::string ThreeDigits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", number);
    return text;
}

bool IsFixedOrRemote(int driveType) {
    return driveType == DriveFixed || driveType == DriveRemote;
}

constexpr std::size_t kCopyBlock = 65536;

}  // namespace

std::string VolumeFileName(const std::string& archive, int volume) {
    return WithoutExtension(archive) + ThreeDigits(volume + 1) + ExtensionPart(archive);
}

int VolumeNumberOf(const std::string& path) {
    const std::string base = FileNamePart(WithoutExtension(path));
    if (base.size() < 3) return -1;
    const std::string digits = base.substr(base.size() - 3);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return -1;
    return std::stoi(digits);
}

std::string WithVolumeNumber(const std::string& path, int volume) {
    if (VolumeNumberOf(path) < 0) return VolumeFileName(path, volume);
    const std::string base = WithoutExtension(path);
    return base.substr(0, base.size() - 3) + ThreeDigits(volume + 1) + ExtensionPart(path);
}

std::string SpanVolumeLabel(int volume) {
    return "PKBACK# " + ThreeDigits(volume + 1);
}

int SpanLabelNumber(const std::string& label) {
    if (label.rfind("PKBACK# ", 0) != 0 || label.size() < 11) return 0;
    const std::string digits = label.substr(8, 3);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return 0;
    return std::stoi(digits);
}

// ---- Common -------------------------------------------------------------------------------------

ZipSpanner::ZipSpanner(TZipArchiver& zip) : zip_(zip) {}

ZipSpanner::~ZipSpanner() {
    CloseInput();
    CloseVolume();
}

void ZipSpanner::CloseInput() {
    f_.inFile.Reset();
}

void ZipSpanner::Progress(ProgressType type, const std::string& name, std::int64_t size) {
    if (zip_.OnProgress) zip_.OnProgress(&zip_, type, name, static_cast<std::int32_t>(size));
}

void ZipSpanner::Message(const std::string& text) {
    if (zip_.OnMessage) zip_.OnMessage(&zip_, 0, text);
}

void ZipSpanner::ReadFrom(int fd, unsigned char* to, std::int64_t count, int errorId) {
    if (count <= 0) return;
    const ssize_t n = ReadAll(fd, to, static_cast<std::size_t>(count));
    if (n < 0) throw EZipArchiver::Failed(errorId, errno);
    if (n < count) throw EZipArchiver(errorId, true);
}

// Reads the central headers into mdZipData (name, compressed size, volume and offset of the
// local header) from the directory's start on the open input, on a set going on to the next
// volume when one ends; returns the bytes they describe.
std::uint64_t ZipSpanner::ReadCentralEntries(const zipdir::EndRecord& end, bool acrossVolumes) {
    f_.mdZipData.clear();
    std::uint64_t total = 0;
    zipdir::ZipFile file(f_.inFile.Get());
    zipdir::CentralDirectoryReader reader(file, ByteCount(end.centralOffset));
    zipdir::CentralEntry central;
    for (std::uint64_t i = 0; i < end.totalEntries; ++i) {
        bool got = reader.Next(central);
        while (!got && acrossVolumes && f_.diskNr < f_.lastDiskNumber) {
            GetNewDisk(f_.diskNr + 1);
            file = zipdir::ZipFile(f_.inFile.Get());
            reader.Continue(file);
            got = reader.Next(central);
        }
        if (!got) throw EZipArchiver(ZipMsg::ReadCentralHeader, true);
        MDZipData entry;
        entry.FileNameLen = static_cast<std::uint16_t>(central.name.size());
        entry.FileName = central.name;
        entry.ComprSize = central.values.compressedSize;
        entry.DiskStart = central.values.diskStart;
        entry.RelOffLocal = central.values.localOffset;
        entry.CentralRecord = std::string(reinterpret_cast<const char*>(central.header), CentralSize) +
                              central.name + central.extra + central.comment;
        total += static_cast<std::uint64_t>(central.RecordSize() - CentralSize) + entry.ComprSize;
        f_.mdZipData.push_back(std::move(entry));
    }
    return total;
}

int ZipSpanner::ReportFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const EZipArchiver& e) {
        zip_.ShowExceptionError(e);
        return -7;
    } catch (const zipdir::ReadError& e) {
        zip_.ShowExceptionError(EZipArchiver(e));
        return -7;
    } catch (const std::bad_alloc&) {
        zip_.ShowZipMessage(ZipMsg::NoMemory);
        return -8;
    } catch (const std::exception& e) {
        zip_.ShowZipMessage(ZipMsg::SpanUnknown, e.what());
        return -9;
    } catch (...) {
        zip_.ShowZipMessage(ZipMsg::SpanUnknown);
        return -9;
    }
}

int ZipSpanner::RunSpanStep(const std::function<void()>& step) {
    int result = 0;
    try {
        step();
    } catch (...) {
        result = ReportFailure(std::current_exception());
    }
    Progress(ptBatchEnd, "", 0);
    f_.mdZipData.clear();
    CloseInput();
    return FinishOutput(result);
}

// ---- Splitting ----------------------------------------------------------------------------------

int ZipSpanner::WriteSpan(const std::string& source, const std::string& target) {
    state_ = SpanState{};
    state_.writing = true;
    state_.outFileName = target;
    f_.drive = DriveRoot(target);
    f_.diskNr = 0;
    f_.freeOnDisk = 0;
    f_.bytesWritten = 0;
    f_.newDisk = true;
    f_.showProgress = false;
    ZipBusyCursor busy(zip_.Ui());
    if (zip_.Verbose) Message("Now creating spanning chunks from " + source + " to " + target);
    const int result = RunSpanStep([&] { BeginSplit(source); });
    if (result != 0) DeletePartialVolumes();
    state_.writing = false;
    return result;
}

void ZipSpanner::BeginSplit(const std::string& source) {
    if (!FileExists(source)) throw EZipArchiver(ZipMsg::InputMissing, true);
    CloseInput();
    f_.inFile = OpenDescriptor(source, O_RDONLY);
    if (!f_.inFile.IsOpen()) throw EZipArchiver::Failed(ZipMsg::OpenFailed, errno);
    const zipdir::EndRecord end = ArchiveEndRecord(f_.inFile.Get());
    state_.archiveSize = end.RecordEnd();
    state_.zip64 = end.Zip64();
    f_.dateStamp = FileModified(source);
    ReadCentralEntries(end, false);

    const unsigned char signature[4] = {0x50, 0x4b, 0x07, 0x08};
    WriteSplit(signature, 4, 4);
    f_.showProgress = true;
    Progress(ptFileCount, "", ByteCount(end.totalEntries));
    Progress(ptByteCount, "", state_.archiveSize);

    std::vector<std::size_t> fileOrder(f_.mdZipData.size());
    std::iota(fileOrder.begin(), fileOrder.end(), 0);
    std::stable_sort(fileOrder.begin(), fileOrder.end(), [&](std::size_t a, std::size_t b) {
        return f_.mdZipData[a].RelOffLocal < f_.mdZipData[b].RelOffLocal;
    });
    std::vector<unsigned char> buffer(kCopyBlock);
    SplitLocalEntries(fileOrder, buffer);
    SplitCentralDirectory(end);
}

// Copies each local header (kept on one volume), its data and its data descriptor, and notes
// the volume and offset where the header landed.
void ZipSpanner::SplitLocalEntries(const std::vector<std::size_t>& fileOrder,
                                   std::vector<unsigned char>& buffer) {
    const zipdir::ZipFile file(f_.inFile.Get());
    for (std::size_t index : fileOrder) {
        MDZipData& entry = f_.mdZipData[index];
        const zipdir::LocalEntry local = zipdir::ReadLocalHeader(file, ByteCount(entry.RelOffLocal));
        if (local.name != entry.FileName) throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        std::string whole(reinterpret_cast<const char*>(local.header), LocalSize);
        whole += local.name + local.extra;

        const bool descriptor = (local.Flags() & 8) != 0;
        const std::int64_t dataSize = ByteCount(entry.ComprSize);
        Message(ZipMessageText(ZipMsg::Copying) + entry.FileName);
        Progress(ptFileBegin, entry.FileName,
                 static_cast<std::int64_t>(whole.size()) + dataSize + (descriptor ? 16 : 0));

        EnsureRoom(static_cast<std::int64_t>(whole.size()));
        entry.DiskStart = static_cast<std::uint32_t>(f_.diskNr);
        entry.RelOffLocal = static_cast<std::uint64_t>(f_.bytesWritten);
        WriteSplit(reinterpret_cast<const unsigned char*>(whole.data()),
                   static_cast<std::int64_t>(whole.size()), static_cast<std::int64_t>(whole.size()));
        SeekInput(f_.inFile.Get(), static_cast<std::uint64_t>(local.DataStart()));
        RWSplitData(buffer.data(), dataSize, ZipMsg::ReadZippedData);
        if (descriptor) CopyDescriptor(local.Zip64Sizes(), buffer, false);
    }
}

// The data descriptor behind a member's data: its signature when it has one, the CRC, and both
// sizes in 8 bytes each when the member's local header has zip64's field, else in 4.
void ZipSpanner::CopyDescriptor(bool zip64Sizes, std::vector<unsigned char>& buffer, bool joining) {
    unsigned char tag[4];
    if (joining)
        ReadJoined(tag, 4, ZipMsg::DataDescriptor);
    else
        ReadFrom(f_.inFile.Get(), tag, 4, ZipMsg::DataDescriptor);
    const std::int64_t rest = zipdir::DescriptorRest(Get32(tag) == ExtLocalSig, zip64Sizes);
    if (joining) {
        WriteJoin(tag, 4, ZipMsg::DataDescriptor);
        RWJoinData(buffer.data(), rest, ZipMsg::DataDescriptor);
    } else {
        WriteSplit(tag, 4, 0);
        RWSplitData(buffer.data(), rest, ZipMsg::DataDescriptor);
    }
}

void ZipSpanner::SplitCentralDirectory(const zipdir::EndRecord& end) {
    const std::string name = ZipMessageText(ZipMsg::CentralDirectory);
    Message(ZipMessageText(ZipMsg::Copying) + name);
    Progress(ptFileBegin, name, ByteCount(end.centralSize) + end.commentLength + EndSize);
    int centralDisk = -1;
    std::uint64_t centralOffset = 0;
    std::uint64_t onThisDisk = 0;
    for (MDZipData& entry : f_.mdZipData) {
        std::string& record = entry.CentralRecord;
        const int diskBefore = f_.diskNr;
        EnsureRoom(ByteCount(record.size()));
        if (f_.diskNr != diskBefore) onThisDisk = 0;
        SetCentralLocation(record, entry.DiskStart, entry.RelOffLocal, ZipMsg::WriteCentralHeader);
        if (centralDisk < 0) {
            centralDisk = f_.diskNr;
            centralOffset = static_cast<std::uint64_t>(f_.bytesWritten);
        }
        WriteSplit(reinterpret_cast<const unsigned char*>(record.data()), ByteCount(record.size()),
                   ByteCount(record.size()));
        ++onThisDisk;
    }
    if (centralDisk < 0) {  // an archive without entries
        EnsureRoom(EndSize + end.commentLength);
        centralDisk = f_.diskNr;
        centralOffset = static_cast<std::uint64_t>(f_.bytesWritten);
    }
    SplitEndRecord(end, centralDisk, centralOffset, onThisDisk);
}

void ZipSpanner::SplitEndRecord(const zipdir::EndRecord& end, int centralDisk, std::uint64_t centralOffset,
                                std::uint64_t entriesOnLastDisk) {
    if (end.comment.size() != end.commentLength) throw EZipArchiver(ZipMsg::ReadArchiveComment, true);
    zipdir::DirectoryValues values;
    values.centralDisk = static_cast<std::uint32_t>(centralDisk);
    values.totalEntries = f_.mdZipData.size();
    values.centralSize = end.centralSize;
    values.centralOffset = centralOffset;
    // Whether zip64 is needed does not change with the disk it lands on but past the next one.
    values.thisDisk = static_cast<std::uint32_t>(f_.diskNr) + 1;
    const bool zip64 = state_.zip64 || NeedsZip64(values);
    const std::int64_t length = ByteCount(DirectoryEndBytes(values, zip64, 0, end.comment).size());
    const int diskBefore = f_.diskNr;
    EnsureRoom(length);
    if (f_.diskNr != diskBefore) entriesOnLastDisk = 0;
    values.thisDisk = static_cast<std::uint32_t>(f_.diskNr);
    values.entriesThisDisk = entriesOnLastDisk;
    const std::string bytes =
        DirectoryEndBytes(values, zip64, static_cast<std::uint64_t>(f_.bytesWritten), end.comment);
    WriteSplit(reinterpret_cast<const unsigned char*>(bytes.data()), length, length);
}

std::int64_t ZipSpanner::WriteSplit(const unsigned char* bytes, std::int64_t count,
                                    std::int64_t keepTogether) {
    zip_.Ui().ProcessMessages();
    if (zip_.CancelRequested) throw EZipArchiver(ZipMsg::UserCanceled, false);
    std::int64_t done = 0;
    for (;;) {
        EnsureRoom(keepTogether);
        const std::int64_t n = std::min(count - done, f_.freeOnDisk);
        if (n > 0 && !WriteAll(f_.outFile.Get(), bytes + done, static_cast<std::size_t>(n)))
            throw EZipArchiver::Failed(ZipMsg::WriteOutput, errno);
        if (f_.showProgress && n > 0) Progress(ptBytesDone, "", n);
        f_.bytesWritten += n;
        f_.freeOnDisk -= n;
        done += n;
        if (done == count) return count;
        NextVolume();
    }
}

// Makes sure a volume is open with room for keepTogether bytes (when above 0).
void ZipSpanner::EnsureRoom(std::int64_t keepTogether) {
    if (!f_.outFile.IsOpen()) OpenVolume();
    if (keepTogether <= 0 || keepTogether <= f_.freeOnDisk) return;
    if (f_.bytesWritten == 0) throw EZipArchiver(ZipMsg::NotEnoughSpace, true);
    NextVolume();
    OpenVolume();
    if (keepTogether > f_.freeOnDisk) throw EZipArchiver(ZipMsg::NotEnoughSpace, true);
}

// Closes the last output; a close that loses bytes fails an operation that had succeeded.
int ZipSpanner::FinishOutput(int result) {
    if (CloseVolume() || result != 0) return result;
    zip_.ShowExceptionError(EZipArchiver::Failed(ZipMsg::WriteOutput, errno));
    return -7;
}

void ZipSpanner::NextVolume() {
    if (!CloseVolume()) throw EZipArchiver::Failed(ZipMsg::WriteOutput, errno);
    f_.freeOnDisk = 0;
    ++f_.diskNr;
    f_.newDisk = true;
}

// Stamps the output with the archive's date and closes it; false when the close reports that
// written bytes were lost.
bool ZipSpanner::CloseVolume() {
    if (!f_.outFile.IsOpen()) return true;
    const struct timespec times[2] = {{f_.dateStamp, 0}, {f_.dateStamp, 0}};
    futimens(f_.outFile.Get(), times);
    return f_.outFile.Close();
}

void ZipSpanner::OpenVolume() {
    for (;;) {
        const int driveType = CheckForDisk();
        const bool removable = !IsFixedOrRemote(driveType);
        const std::string path =
            removable ? state_.outFileName : VolumeFileName(state_.outFileName, f_.diskNr);
        if (removable && zip_.AddOptions.Has(AddDiskSpanErase)) {
            const int formatted = ZipFormat();
            if (formatted == -2) throw EZipArchiver(ZipMsg::UserCanceled, false);
            if (formatted == -1) throw EZipArchiver(ZipMsg::UserCanceled, true);
        }
        if (!ClaimVolumeFile(path, removable)) continue;
        if (!VolumeHasRoom(path)) continue;
        if (removable && !SetVolumeLabel(f_.drive, SpanVolumeLabel(f_.diskNr)))
            throw EZipArchiver(ZipMsg::LabelNotSet, true);
        state_.volumePath = path;
        f_.bytesWritten = 0;
        return;
    }
}

// Creates the volume file, asking before an existing one is replaced. False: another disk.
bool ZipSpanner::ClaimVolumeFile(const std::string& path, bool removable) {
    if (FileExists(path)) {
        if (zip_.Unattended) throw EZipArchiver(ZipMsg::UnattendedSpan, true);
        const int labelNumber = SpanLabelNumber(f_.volumeName);
        const bool earlierVolume =
            removable && FileModified(path) == f_.dateStamp && labelNumber > 0 && labelNumber <= f_.diskNr;
        const std::string text = earlierVolume ? FormatZipStr(ZipMsg::PreviousDisk, labelNumber)
                                               : FormatZipStr(ZipMsg::FileExistsOverwrite, path);
        const auto answer = zip_.Ui().MessageBox("Confirm", text, ZipUi::Buttons::YesNoCancel,
                                                 ZipUi::Icon::Warning, ZipUi::Answer::No);
        if (answer == ZipUi::Answer::No && removable) {
            f_.newDisk = true;
            return false;
        }
        // On a fixed drive there is no other disk to offer: No ends the split like Cancel.
        if (answer != ZipUi::Answer::Yes) throw EZipArchiver(ZipMsg::UserCanceled, false);
    }
    f_.outFile = OpenDescriptor(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!f_.outFile.IsOpen()) throw EZipArchiver::Failed(ZipMsg::CreateOutput, errno);
    if (std::find(state_.writtenVolumes.begin(), state_.writtenVolumes.end(), path) ==
        state_.writtenVolumes.end())
        state_.writtenVolumes.push_back(path);
    return true;
}

// Sets the room on the new volume; when it is below the minimum the file goes again and the
// user is asked for another disk (false).
bool ZipSpanner::VolumeHasRoom(const std::string& path) {
    DiskFreeAndSize(3);
    std::int64_t room = f_.freeOnDisk;
    if (zip_.MaxVolumeSize > 0)
        room = room < 0 ? std::int64_t{zip_.MaxVolumeSize} : std::min<std::int64_t>(room, zip_.MaxVolumeSize);
    if (f_.diskNr == 0 && zip_.KeepFreeOnDisk1 > 0) room -= zip_.KeepFreeOnDisk1;
    f_.freeOnDisk = room;
    if (room >= zip_.MinFreeVolumeSize) return true;
    CloseVolume();
    DeleteFile(path);
    std::erase(state_.writtenVolumes, path);
    if (zip_.Unattended) throw EZipArchiver(ZipMsg::UnattendedSpan, true);
    const auto answer =
        zip_.Ui().MessageBox("", ZipMessageText(ZipMsg::NotEnoughSpace), ZipUi::Buttons::RetryCancel,
                             ZipUi::Icon::Error, ZipUi::Answer::Retry);
    if (answer == ZipUi::Answer::Failed) throw EZipArchiver(ZipMsg::NoMemoryForBox, true);
    if (answer != ZipUi::Answer::Retry) throw EZipArchiver(ZipMsg::UserCanceled, false);
    f_.newDisk = true;
    return false;
}

void ZipSpanner::DeletePartialVolumes() {
    for (const std::string& path : state_.writtenVolumes) DeleteFile(path);
    state_.writtenVolumes.clear();
    state_.volumePath.clear();
}

void ZipSpanner::RWSplitData(unsigned char* buffer, std::int64_t count, int errorId) {
    while (count > 0) {
        const std::int64_t block = std::min<std::int64_t>(count, kCopyBlock);
        ReadFrom(f_.inFile.Get(), buffer, block, errorId);
        WriteSplit(buffer, block, 0);
        count -= block;
    }
}

// ---- Disks ------------------------------------------------------------------------------------

bool ZipSpanner::DiskIsThere() {
    try {
        const ZipDriveInfo info = CheckZipDrive(f_.drive, zip_.AddOptions.Has(AddDiskSpanErase));
        f_.volumeName = info.volumeName;
        f_.freeOnDisk = info.freeOnDisk;
        f_.sizeOfDisk = info.sizeOfDisk;
        return true;
    } catch (const EZipArchiver&) {
        return false;
    }
}

std::string ZipSpanner::CheckForDiskText() {
    std::string text;
    if (f_.diskNr < 0) {
        text = ZipMessageText(ZipMsg::InsertLastDisk);
    } else if (state_.writing) {
        std::int64_t divisor = f_.sizeOfDisk;
        if (zip_.MaxVolumeSize > 0 && (divisor <= 0 || zip_.MaxVolumeSize < divisor))
            divisor = zip_.MaxVolumeSize;
        if (divisor > 0) {
            const std::int64_t keep = zip_.KeepFreeOnDisk1;
            const std::int64_t estimate =
                std::max<std::int64_t>((state_.archiveSize + keep + 4) / divisor, f_.diskNr);
            f_.lastDiskNumber = static_cast<std::uint16_t>(estimate);
            text = FormatZipStr(ZipMsg::InsertVolumeOf, f_.diskNr + 1, estimate + 1);
        } else {
            text = FormatZipStr(ZipMsg::InsertVolume, f_.diskNr + 1);
        }
    } else {
        text = FormatZipStr(ZipMsg::InsertVolumeOf, f_.diskNr + 1, f_.lastDiskNumber + 1);
    }
    return text + FormatZipStr(ZipMsg::InDrive, f_.drive);
}

int ZipSpanner::CheckForDisk() {
    const int driveType = DriveTypeOf(f_.drive);
    zip_.Ui().ProcessMessages();
    while (f_.newDisk || !DiskIsThere()) {
        if (IsFixedOrRemote(driveType)) {
            f_.newDisk = false;
            break;
        }
        if (zip_.Unattended) throw EZipArchiver(ZipMsg::UnattendedSpan, true);
        const auto icon = f_.diskNr < 0 ? ZipUi::Icon::Stop : ZipUi::Icon::None;
        const auto answer =
            zip_.Ui().MessageBox("", CheckForDiskText(), ZipUi::Buttons::OkCancel, icon, ZipUi::Answer::Ok);
        f_.newDisk = false;
        if (answer != ZipUi::Answer::Ok) throw EZipArchiver(ZipMsg::UserCanceled, false);
    }
    return driveType;
}

bool ZipSpanner::IsRightDisk(int driveType) {
    if (IsFixedOrRemote(driveType)) {
        state_.inFileName = WithVolumeNumber(state_.inFileName, f_.diskNr);
        return true;
    }
    const auto volume = VolumeOf(f_.drive);
    f_.volumeName = volume ? volume->label : std::string();
    return f_.volumeName == SpanVolumeLabel(f_.diskNr);
}

void ZipSpanner::GetNewDisk(int diskSeq) {
    CloseInput();
    f_.diskNr = diskSeq;
    for (;;) {
        int driveType = 0;
        do {
            f_.newDisk = true;
            driveType = CheckForDisk();
        } while (!IsRightDisk(driveType));
        f_.inFile = OpenDescriptor(state_.inFileName, O_RDONLY);
        if (f_.inFile.IsOpen()) return;
        if (IsFixedOrRemote(driveType)) throw EZipArchiver(ZipMsg::InputMissing, true);
        zip_.ShowZipMessage(ZipMsg::InputMissing);
    }
}

Descriptor ZipSpanner::TakeVolume(int diskSeq, std::uint16_t lastDisk) {
    state_.inFileName = zip_.ZipFileName();
    f_.drive = DriveRoot(state_.inFileName);
    f_.lastDiskNumber = lastDisk;
    GetNewDisk(diskSeq);
    return std::move(f_.inFile);
}

std::int64_t ZipSpanner::DiskFreeAndSize(int which) {
    std::int64_t freeBytes = -1, totalBytes = -1;
    ::DiskFreeAndSize(f_.drive, freeBytes, totalBytes);
    if (which & 1) f_.freeOnDisk = freeBytes;
    if (which & 2) f_.sizeOfDisk = totalBytes;
    return totalBytes;
}

int ZipSpanner::ZipFormat() {
    return -3;
}

// ---- Joining ------------------------------------------------------------------------------------

int ZipSpanner::ReadSpan(const std::string& lastVolume, std::string& outPath) {
    state_ = SpanState{};
    state_.inFileName = lastVolume;
    f_.drive = DriveRoot(lastVolume);
    f_.diskNr = -1;
    f_.showProgress = false;
    ZipBusyCursor busy(zip_.Ui());
    const int result = RunSpanStep([&] { JoinSet(outPath); });
    if (result != 0 && !state_.outFileName.empty()) DeleteFile(state_.outFileName);
    outPath = result == 0 ? state_.outFileName : std::string();
    return result;
}

void ZipSpanner::JoinSet(std::string& outPath) {
    OpenJoinedOutput(outPath);
    const zipdir::EndRecord end = FindLastVolume();
    state_.zip64 = end.Zip64();
    if (static_cast<int>(end.centralDisk) != f_.diskNr) GetNewDisk(static_cast<int>(end.centralDisk));
    const std::uint64_t total = ReadCentralEntries(end, true);
    GetNewDisk(0);
    f_.showProgress = true;
    Progress(ptFileCount, "", ByteCount(end.totalEntries));
    Progress(ptByteCount, "", ByteCount(total));
    unsigned char signature[4];
    ReadFrom(f_.inFile.Get(), signature, 4, ZipMsg::ReadExtendedLocal);
    if (Get32(signature) != ExtLocalSig) throw EZipArchiver(ZipMsg::ReadExtendedLocal, true);
    std::vector<unsigned char> buffer(kCopyBlock);
    JoinLocalEntries(end, buffer);
    f_.showProgress = false;
    JoinCentralDirectory(end);
}

// The joined file: a new name in a folder, or the given file replaced; always ".zip".
void ZipSpanner::OpenJoinedOutput(std::string& outPath) {
    if (outPath.empty())
        outPath = zip_.TempDir.empty() ? std::filesystem::temp_directory_path().string() : zip_.TempDir;
    std::string name;
    if (FolderExists(outPath)) {
        std::string pattern = JoinPath(outPath, "zipXXXXXX");
        if (!Descriptor(mkstemp(pattern.data())).IsOpen())
            throw EZipArchiver::Failed(ZipMsg::TempFileFailed, errno);
        DeleteFile(pattern);
        name = pattern;
    } else {
        if (FileExists(outPath)) ZipSfxMaker(zip_).EraseFile(outPath, zip_.HowToDelete);
        name = outPath;
    }
    name = WithoutExtension(name) + ".zip";
    f_.outFile = OpenDescriptor(name, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (!f_.outFile.IsOpen()) throw EZipArchiver::Failed(ZipMsg::CreateOutput, errno);
    state_.outFileName = name;
}

// Asks for the last disk until its end record is found.
zipdir::EndRecord ZipSpanner::FindLastVolume() {
    std::optional<zipdir::EndRecord> end;
    // The disk the user chose is tried first; a prompt comes only when it is not the last one.
    for (bool first = true; !end; first = false) {
        f_.newDisk = !first;
        const int driveType = CheckForDisk();
        const bool fixed = IsFixedOrRemote(driveType);
        CloseInput();
        f_.inFile = OpenDescriptor(state_.inFileName, O_RDONLY);
        if (!f_.inFile.IsOpen() && fixed) throw EZipArchiver::Failed(ZipMsg::InputMissing, errno);
        if (f_.inFile.IsOpen()) end = FindEndRecord(f_.inFile.Get());
        if (!end && fixed) {
            const int number = VolumeNumberOf(state_.inFileName);
            if (number == 1) throw EZipArchiver(ZipMsg::FirstDiskOfSet, true);
            if (number > 1) throw EZipArchiver(ZipMsg::NthDiskOfSet, static_cast<std::int64_t>(number));
            throw EZipArchiver(ZipMsg::NotValidZip, true);
        }
    }
    f_.dateStamp = FileModified(state_.inFileName);
    f_.lastDiskNumber = static_cast<std::uint16_t>(end->thisDisk);
    f_.diskNr = static_cast<int>(end->thisDisk);
    if (end->centralDisk > end->thisDisk) throw EZipArchiver(ZipMsg::NotValidZip, true);
    return *end;
}

void ZipSpanner::ReadJoined(unsigned char* to, std::int64_t count, int errorId) {
    while (count > 0) {
        const ssize_t n = ReadAll(f_.inFile.Get(), to, static_cast<std::size_t>(count));
        if (n < 0) throw EZipArchiver::Failed(errorId, errno);
        if (n == 0) {
            if (f_.diskNr >= f_.lastDiskNumber) throw EZipArchiver(errorId, true);
            GetNewDisk(f_.diskNr + 1);
            continue;
        }
        to += n;
        count -= n;
    }
}

// Whether the input stands at offset on volume disk (the end of the volume before counts too).
bool ZipSpanner::InputAt(int disk, std::int64_t offset) {
    const std::int64_t here = lseek(f_.inFile.Get(), 0, SEEK_CUR);
    if (f_.diskNr == disk) return here == offset;
    struct stat st {};
    return f_.diskNr == disk - 1 && offset == 0 && fstat(f_.inFile.Get(), &st) == 0 && here == st.st_size;
}

// Copies the entries in the order they lie on the volumes; each local header must stand where
// the central directory says, which catches cut, missing and foreign volumes before any data
// of theirs reaches the joined file.
void ZipSpanner::JoinLocalEntries(const zipdir::EndRecord& end, std::vector<unsigned char>& buffer) {
    std::vector<std::size_t> order(f_.mdZipData.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const MDZipData &x = f_.mdZipData[a], &y = f_.mdZipData[b];
        return x.DiskStart != y.DiskStart ? x.DiskStart < y.DiskStart : x.RelOffLocal < y.RelOffLocal;
    });
    for (std::size_t index : order) {
        MDZipData& entry = f_.mdZipData[index];
        if (!InputAt(static_cast<int>(entry.DiskStart), ByteCount(entry.RelOffLocal)))
            throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        unsigned char header[LocalSize];
        ReadJoined(header, LocalSize, ZipMsg::ReadLocalHeader);
        if (Get32(header) != LocalSig) throw EZipArchiver(ZipMsg::LocalSignature, true);
        std::string name(Get16(header + LocNameLength), '\0');
        ReadJoined(reinterpret_cast<unsigned char*>(name.data()), ByteCount(name.size()),
                   ZipMsg::ReadLocalName);
        if (name != entry.FileName) throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        std::string extra(Get16(header + LocExtraLength), '\0');
        ReadJoined(reinterpret_cast<unsigned char*>(extra.data()), ByteCount(extra.size()),
                   ZipMsg::ReadLocalExtra);
        entry.DiskStart = 0;
        entry.RelOffLocal = static_cast<std::uint64_t>(lseek(f_.outFile.Get(), 0, SEEK_CUR));
        const bool descriptor = (Get16(header + LocFlags) & 8) != 0;
        const std::int64_t dataSize = ByteCount(entry.ComprSize);
        const std::string whole =
            std::string(reinterpret_cast<const char*>(header), LocalSize) + name + extra;
        Message(ZipMessageText(ZipMsg::Copying) + name);
        Progress(ptFileBegin, name, ByteCount(whole.size()) + dataSize + (descriptor ? 16 : 0));
        WriteJoin(reinterpret_cast<const unsigned char*>(whole.data()), ByteCount(whole.size()),
                  ZipMsg::WriteLocalHeader);
        RWJoinData(buffer.data(), dataSize, ZipMsg::ReadZippedData);
        if (descriptor) CopyDescriptor(zipdir::HasZip64Sizes(extra), buffer, true);
    }
    if (!InputAt(static_cast<int>(end.centralDisk), ByteCount(end.centralOffset)))
        throw EZipArchiver(ZipMsg::ReadZippedData, true);
}

// The directory and its end behind the members: each entry where it now lies, on one disk.
void ZipSpanner::JoinCentralDirectory(const zipdir::EndRecord& end) {
    const std::uint64_t centralStart = static_cast<std::uint64_t>(lseek(f_.outFile.Get(), 0, SEEK_CUR));
    for (MDZipData& entry : f_.mdZipData) {
        SetCentralLocation(entry.CentralRecord, 0, entry.RelOffLocal, ZipMsg::WriteCentralHeader);
        WriteJoin(reinterpret_cast<const unsigned char*>(entry.CentralRecord.data()),
                  ByteCount(entry.CentralRecord.size()), ZipMsg::WriteCentralHeader);
    }
    zipdir::DirectoryValues values;
    values.entriesThisDisk = values.totalEntries = f_.mdZipData.size();
    values.centralOffset = centralStart;
    const std::uint64_t recordAt = static_cast<std::uint64_t>(lseek(f_.outFile.Get(), 0, SEEK_CUR));
    values.centralSize = recordAt - centralStart;
    const std::string bytes = DirectoryEndBytes(values, state_.zip64, recordAt, end.comment);
    WriteJoin(reinterpret_cast<const unsigned char*>(bytes.data()), ByteCount(bytes.size()),
              ZipMsg::WriteEndOfCentral);
}

void ZipSpanner::WriteJoin(const unsigned char* bytes, std::int64_t count, int errorId) {
    if (count <= 0) return;
    if (!WriteAll(f_.outFile.Get(), bytes, static_cast<std::size_t>(count)))
        throw EZipArchiver::Failed(errorId, errno);
    if (f_.showProgress) Progress(ptBytesDone, "", count);
}

void ZipSpanner::RWJoinData(unsigned char* buffer, std::int64_t count, int errorId) {
    while (count > 0) {
        zip_.Ui().ProcessMessages();
        if (zip_.CancelRequested) throw EZipArchiver(ZipMsg::UserCanceled, false);
        const std::int64_t block = std::min<std::int64_t>(count, kCopyBlock);
        ReadJoined(buffer, block, errorId);
        WriteJoin(buffer, block, ZipMsg::WriteOutput);
        count -= block;
    }
}

// ---- The component's members ----------------------------------------------------------------

int TZipArchiver::WriteSpan(const std::string& inFileName, const std::string& outFileName) {
    addBusy_ = true;
    ZipSpanner span(*this);
    const int result = span.WriteSpan(inFileName, outFileName);
    addBusy_ = false;
    lastDiskNumber_ = span.LastDiskNumber();
    // On a fixed drive the set is known by its last volume file: list that one.
    const std::string& lastVolume = span.LastVolume();
    if (result == 0 && lastVolume != outFileName && FileExists(lastVolume)) SetFileName(lastVolume);
    return result;
}

int TZipArchiver::ReadSpan(const std::string& inFileName, std::string& outFilePath) {
    extractBusy_ = true;
    ZipSpanner span(*this);
    const int result = span.ReadSpan(inFileName, outFilePath);
    extractBusy_ = false;
    lastDiskNumber_ = span.LastDiskNumber();
    return result;
}

void TZipArchiver::GetNewDisk(int diskSeq) {
    CloseInFile();
    inFile_ = ZipSpanner(*this).TakeVolume(diskSeq, lastDiskNumber_);
    diskNr_ = diskSeq;
}
