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

ZipSpanner::ZipSpanner(TZipArchiver& zip, const SpanFields& fields)
    : zip_(zip), f_(fields), state_(State(fields.FSpanExtra)) {}

SpanState& ZipSpanner::State(std::shared_ptr<void>& extra) {
    if (!extra) extra = std::make_shared<SpanState>();
    return *static_cast<SpanState*>(extra.get());
}

void ZipSpanner::Progress(ProgressType type, const std::string& name, std::int64_t size) {
    if (zip_.OnProgress) zip_.OnProgress(&zip_, type, name, static_cast<std::int32_t>(size));
}

void ZipSpanner::Message(const std::string& text) {
    if (zip_.OnMessage) zip_.OnMessage(&zip_, 0, text);
}

void ZipSpanner::ReadAt(int fd, std::int64_t at, unsigned char* to, std::int64_t count, int errorId) {
    if (lseek(fd, at, SEEK_SET) != at) throw EZipArchiver(ZipMsg::InputSeek, true);
    ReadFrom(fd, to, count, errorId);
}

void ZipSpanner::ReadFrom(int fd, unsigned char* to, std::int64_t count, int errorId) {
    while (count > 0) {
        const ssize_t n = read(fd, to, static_cast<std::size_t>(count));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EZipArchiver(errorId, true);
        to += n;
        count -= n;
    }
}

// Reads the central headers from where the input stands into FMDZipData (name, compressed
// size, volume and offset of the local header); returns the bytes they describe.
std::int64_t ZipSpanner::ReadCentralEntries(int count, const Reader& read) {
    f_.FMDZipData.clear();
    std::int64_t total = 0;
    std::vector<unsigned char> rest;
    for (int i = 0; i < count; ++i) {
        unsigned char header[CentralSize];
        read(header, CentralSize, ZipMsg::ReadCentralHeader);
        if (Get32(header) != CentralSig) throw EZipArchiver(ZipMsg::CentralSignature, true);
        MDZipData entry;
        entry.FileNameLen = Get16(header + CenNameLength);
        entry.FileName.resize(entry.FileNameLen);
        read(reinterpret_cast<unsigned char*>(entry.FileName.data()), entry.FileNameLen,
             ZipMsg::ReadCentralName);
        entry.ComprSize = Get32(header + CenCompressedSize);
        entry.DiskStart = Get16(header + CenDiskStart);
        entry.RelOffLocal = Get32(header + CenLocalOffset);
        rest.resize(Get16(header + CenExtraLength) + Get16(header + CenCommentLength));
        read(rest.data(), static_cast<std::int64_t>(rest.size()), ZipMsg::ReadCentralExtra);
        total += entry.FileNameLen + static_cast<std::int64_t>(rest.size()) + entry.ComprSize;
        f_.FMDZipData.push_back(std::move(entry));
    }
    return total;
}

int ZipSpanner::ReportFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const EZipArchiver& e) {
        zip_.ShowExceptionError(e);
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
    f_.FMDZipData.clear();
    zip_.CloseInFile();
    return FinishOutput(result);
}

// ---- Splitting ----------------------------------------------------------------------------------

int ZipSpanner::WriteSpan(const std::string& source, const std::string& target) {
    state_ = SpanState{};
    f_.FBusy = true;
    state_.writing = true;
    state_.outFileName = target;
    f_.FDrive = DriveRoot(target);
    f_.FDiskNr = 0;
    f_.FFreeOnDisk = 0;
    f_.FBytesWritten = 0;
    f_.FNewDisk = true;
    f_.FShowProgress = false;
    zip_.Ui().SetBusyCursor(true);
    if (zip_.Verbose) Message("Now creating spanning chunks from " + source + " to " + target);
    const int result = RunSpanStep([&] { BeginSplit(source); });
    if (result != 0) DeletePartialVolumes();
    const std::string lastVolume = state_.volumePath;
    state_.writing = false;
    f_.FBusy = false;
    zip_.Ui().SetBusyCursor(false);
    // On a fixed drive the set is known by its last volume file: list that one.
    if (result == 0 && lastVolume != target && FileExists(lastVolume)) zip_.SetFileName(lastVolume);
    return result;
}

void ZipSpanner::BeginSplit(const std::string& source) {
    if (!FileExists(source)) throw EZipArchiver(ZipMsg::InputMissing, true);
    zip_.CloseInFile();
    f_.FInFile = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (f_.FInFile < 0) throw EZipArchiver(ZipMsg::OpenFailed, true);
    const zipdir::EndRecord end = ArchiveEndRecord(f_.FInFile);
    state_.archiveSize = end.position + EndSize + end.commentLength;
    f_.FDateStamp = FileModified(source);
    SeekInput(f_.FInFile, end.centralOffset);
    ReadCentralEntries(end.totalEntries, [this](unsigned char* to, std::int64_t count, int errorId) {
        ReadFrom(f_.FInFile, to, count, errorId);
    });

    const unsigned char signature[4] = {0x50, 0x4b, 0x07, 0x08};
    WriteSplit(signature, 4, 4);
    f_.FShowProgress = true;
    Progress(ptFileCount, "", end.totalEntries);
    Progress(ptByteCount, "", state_.archiveSize);

    std::vector<std::size_t> fileOrder(f_.FMDZipData.size());
    std::iota(fileOrder.begin(), fileOrder.end(), 0);
    std::stable_sort(fileOrder.begin(), fileOrder.end(), [&](std::size_t a, std::size_t b) {
        return f_.FMDZipData[a].RelOffLocal < f_.FMDZipData[b].RelOffLocal;
    });
    std::vector<unsigned char> buffer(kCopyBlock);
    SplitLocalEntries(fileOrder, buffer);
    SplitCentralDirectory(end);
}

// Copies each local header (kept on one volume), its data and its data descriptor, and notes
// the volume and offset where the header landed.
void ZipSpanner::SplitLocalEntries(const std::vector<std::size_t>& fileOrder,
                                   std::vector<unsigned char>& buffer) {
    for (std::size_t index : fileOrder) {
        MDZipData& entry = f_.FMDZipData[index];
        unsigned char header[LocalSize];
        ReadAt(f_.FInFile, entry.RelOffLocal, header, LocalSize, ZipMsg::ReadLocalHeader);
        if (Get32(header) != LocalSig) throw EZipArchiver(ZipMsg::LocalSignature, true);
        const std::uint16_t nameLength = Get16(header + LocNameLength);
        const std::uint16_t extraLength = Get16(header + LocExtraLength);
        std::vector<unsigned char> whole(LocalSize + nameLength + extraLength);
        std::memcpy(whole.data(), header, LocalSize);
        ReadFrom(f_.FInFile, whole.data() + LocalSize, nameLength, ZipMsg::ReadLocalName);
        if (std::string(reinterpret_cast<char*>(whole.data() + LocalSize), nameLength) != entry.FileName)
            throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        ReadFrom(f_.FInFile, whole.data() + LocalSize + nameLength, extraLength, ZipMsg::ReadLocalExtra);

        const bool descriptor = (Get16(header + LocFlags) & 8) != 0;
        const std::int64_t dataSize = entry.ComprSize;
        Message(ZipMessageText(ZipMsg::Copying) + entry.FileName);
        Progress(ptFileBegin, entry.FileName,
                 static_cast<std::int64_t>(whole.size()) + dataSize + (descriptor ? 16 : 0));

        EnsureRoom(static_cast<std::int64_t>(whole.size()));
        entry.DiskStart = static_cast<std::uint16_t>(f_.FDiskNr);
        entry.RelOffLocal = static_cast<std::uint32_t>(f_.FBytesWritten);
        WriteSplit(whole.data(), static_cast<std::int64_t>(whole.size()),
                   static_cast<std::int64_t>(whole.size()));
        RWSplitData(buffer.data(), dataSize, ZipMsg::ReadZippedData);
        if (descriptor) {
            unsigned char tag[4];
            ReadFrom(f_.FInFile, tag, 4, ZipMsg::DataDescriptor);
            WriteSplit(tag, 4, 0);
            RWSplitData(buffer.data(), Get32(tag) == ExtLocalSig ? 12 : 8, ZipMsg::DataDescriptor);
        }
    }
}

void ZipSpanner::SplitCentralDirectory(const zipdir::EndRecord& end) {
    const std::string name = ZipMessageText(ZipMsg::CentralDirectory);
    Message(ZipMessageText(ZipMsg::Copying) + name);
    Progress(ptFileBegin, name, std::int64_t(end.centralSize) + end.commentLength + EndSize);
    SeekInput(f_.FInFile, end.centralOffset);
    int centralDisk = -1;
    std::uint32_t centralOffset = 0;
    int onThisDisk = 0;
    for (MDZipData& entry : f_.FMDZipData) {
        unsigned char header[CentralSize];
        ReadFrom(f_.FInFile, header, CentralSize, ZipMsg::ReadCentralHeader);
        if (Get32(header) != CentralSig) throw EZipArchiver(ZipMsg::CentralSignature, true);
        const std::size_t nameLength = Get16(header + CenNameLength);
        const std::size_t extraLength = Get16(header + CenExtraLength);
        const std::size_t commentLength = Get16(header + CenCommentLength);
        std::vector<unsigned char> whole(CentralSize + nameLength + extraLength + commentLength);
        std::memcpy(whole.data(), header, CentralSize);
        ReadFrom(f_.FInFile, whole.data() + CentralSize, nameLength, ZipMsg::ReadCentralName);
        if (std::string(reinterpret_cast<char*>(whole.data() + CentralSize), nameLength) != entry.FileName)
            throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        ReadFrom(f_.FInFile, whole.data() + CentralSize + nameLength, extraLength, ZipMsg::ReadCentralExtra);
        ReadFrom(f_.FInFile, whole.data() + CentralSize + nameLength + extraLength, commentLength,
                 ZipMsg::ReadFileComment);
        Put16(whole.data() + CenDiskStart, entry.DiskStart);
        Put32(whole.data() + CenLocalOffset, entry.RelOffLocal);

        const int diskBefore = f_.FDiskNr;
        EnsureRoom(static_cast<std::int64_t>(whole.size()));
        if (f_.FDiskNr != diskBefore) onThisDisk = 0;
        if (centralDisk < 0) {
            centralDisk = f_.FDiskNr;
            centralOffset = static_cast<std::uint32_t>(f_.FBytesWritten);
        }
        WriteSplit(whole.data(), static_cast<std::int64_t>(whole.size()),
                   static_cast<std::int64_t>(whole.size()));
        ++onThisDisk;
    }
    if (centralDisk < 0) {  // an archive without entries
        EnsureRoom(EndSize + end.commentLength);
        centralDisk = f_.FDiskNr;
        centralOffset = static_cast<std::uint32_t>(f_.FBytesWritten);
    }
    SplitEndRecord(end, centralDisk, centralOffset, onThisDisk);
}

void ZipSpanner::SplitEndRecord(const zipdir::EndRecord& end, int centralDisk, std::uint32_t centralOffset,
                                int entriesOnLastDisk) {
    const std::int64_t length = EndSize + end.commentLength;
    const int diskBefore = f_.FDiskNr;
    EnsureRoom(length);
    if (f_.FDiskNr != diskBefore) entriesOnLastDisk = 0;
    if (static_cast<std::int64_t>(end.comment.size()) != end.commentLength)
        throw EZipArchiver(ZipMsg::ReadArchiveComment, true);
    ZipEndOfCentral eoc = ZipEndOfCentral::FromBytes(end.raw);
    eoc.HeaderSig = EndSig;
    eoc.ThisDiskNo = static_cast<std::uint16_t>(f_.FDiskNr);
    eoc.CentralDiskNo = static_cast<std::uint16_t>(centralDisk);
    eoc.CentralEntriesThisDisk = static_cast<std::uint16_t>(entriesOnLastDisk);
    eoc.CentralOffset = centralOffset;
    std::vector<unsigned char> whole(static_cast<std::size_t>(length));
    eoc.ToBytes(whole.data());
    std::memcpy(whole.data() + EndSize, end.comment.data(), end.comment.size());
    WriteSplit(whole.data(), length, length);
}

std::int64_t ZipSpanner::WriteSplit(const unsigned char* bytes, std::int64_t count,
                                    std::int64_t keepTogether) {
    zip_.Ui().ProcessMessages();
    if (zip_.CancelRequested) throw EZipArchiver(ZipMsg::UserCanceled, false);
    std::int64_t done = 0;
    for (;;) {
        EnsureRoom(keepTogether);
        const std::int64_t n = std::min(count - done, f_.FFreeOnDisk);
        if (n > 0 && write(f_.FOutFile, bytes + done, static_cast<std::size_t>(n)) != n)
            throw EZipArchiver(ZipMsg::WriteOutput, true);
        if (f_.FShowProgress && n > 0) Progress(ptBytesDone, "", n);
        f_.FBytesWritten += n;
        f_.FFreeOnDisk -= n;
        done += n;
        if (done == count) return count;
        NextVolume();
    }
}

// Makes sure a volume is open with room for keepTogether bytes (when above 0).
void ZipSpanner::EnsureRoom(std::int64_t keepTogether) {
    if (f_.FOutFile < 0) OpenVolume();
    if (keepTogether <= 0 || keepTogether <= f_.FFreeOnDisk) return;
    if (f_.FBytesWritten == 0) throw EZipArchiver(ZipMsg::NotEnoughSpace, true);
    NextVolume();
    OpenVolume();
    if (keepTogether > f_.FFreeOnDisk) throw EZipArchiver(ZipMsg::NotEnoughSpace, true);
}

// Closes the last output; a close that loses bytes fails an operation that had succeeded.
int ZipSpanner::FinishOutput(int result) {
    if (CloseVolume() || result != 0) return result;
    zip_.ShowExceptionError(EZipArchiver(ZipMsg::WriteOutput, true));
    return -7;
}

void ZipSpanner::NextVolume() {
    if (!CloseVolume()) throw EZipArchiver(ZipMsg::WriteOutput, true);
    f_.FFreeOnDisk = 0;
    ++f_.FDiskNr;
    f_.FNewDisk = true;
}

// Stamps the output with the archive's date and closes it; false when the close reports that
// written bytes were lost.
bool ZipSpanner::CloseVolume() {
    if (f_.FOutFile < 0) return true;
    const struct timespec times[2] = {{f_.FDateStamp, 0}, {f_.FDateStamp, 0}};
    futimens(f_.FOutFile, times);
    const bool closed = close(f_.FOutFile) == 0;
    f_.FOutFile = -1;
    return closed;
}

void ZipSpanner::OpenVolume() {
    for (;;) {
        const int driveType = CheckForDisk();
        const bool removable = !IsFixedOrRemote(driveType);
        const std::string path =
            removable ? state_.outFileName : VolumeFileName(state_.outFileName, f_.FDiskNr);
        if (removable && zip_.AddOptions.Has(AddDiskSpanErase)) {
            const int formatted = ZipFormat();
            if (formatted == -2) throw EZipArchiver(ZipMsg::UserCanceled, false);
            if (formatted == -1) throw EZipArchiver(ZipMsg::UserCanceled, true);
        }
        if (!ClaimVolumeFile(path, removable)) continue;
        if (!VolumeHasRoom(path)) continue;
        if (removable && !SetVolumeLabel(f_.FDrive, SpanVolumeLabel(f_.FDiskNr)))
            throw EZipArchiver(ZipMsg::LabelNotSet, true);
        state_.volumePath = path;
        f_.FBytesWritten = 0;
        return;
    }
}

// Creates the volume file, asking before an existing one is replaced. False: another disk.
bool ZipSpanner::ClaimVolumeFile(const std::string& path, bool removable) {
    if (FileExists(path)) {
        if (zip_.Unattended) throw EZipArchiver(ZipMsg::UnattendedSpan, true);
        const int labelNumber = SpanLabelNumber(f_.FVolumeName);
        const bool earlierVolume =
            removable && FileModified(path) == f_.FDateStamp && labelNumber > 0 && labelNumber <= f_.FDiskNr;
        const std::string text = earlierVolume ? FormatZipStr(ZipMsg::PreviousDisk, labelNumber)
                                               : FormatZipStr(ZipMsg::FileExistsOverwrite, path);
        const auto answer = zip_.Ui().MessageBox("Confirm", text, ZipUi::Buttons::YesNoCancel,
                                                 ZipUi::Icon::Warning, ZipUi::Answer::No);
        if (answer == ZipUi::Answer::No && removable) {
            f_.FNewDisk = true;
            return false;
        }
        // On a fixed drive there is no other disk to offer: No ends the split like Cancel.
        if (answer != ZipUi::Answer::Yes) throw EZipArchiver(ZipMsg::UserCanceled, false);
    }
    f_.FOutFile = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (f_.FOutFile < 0) throw EZipArchiver(ZipMsg::CreateOutput, true);
    if (std::find(state_.writtenVolumes.begin(), state_.writtenVolumes.end(), path) ==
        state_.writtenVolumes.end())
        state_.writtenVolumes.push_back(path);
    return true;
}

// Sets the room on the new volume; when it is below the minimum the file goes again and the
// user is asked for another disk (false).
bool ZipSpanner::VolumeHasRoom(const std::string& path) {
    DiskFreeAndSize(3);
    std::int64_t room = f_.FFreeOnDisk;
    if (zip_.MaxVolumeSize > 0)
        room = room < 0 ? zip_.MaxVolumeSize : std::min<std::int64_t>(room, zip_.MaxVolumeSize);
    if (f_.FDiskNr == 0 && zip_.KeepFreeOnDisk1 > 0) room -= zip_.KeepFreeOnDisk1;
    f_.FFreeOnDisk = room;
    const std::int64_t minimum = zip_.MinFreeVolumeSize > 0 ? zip_.MinFreeVolumeSize : 1;
    if (room >= minimum) return true;
    zip_.CloseOutFile();
    DeleteFile(path);
    std::erase(state_.writtenVolumes, path);
    if (zip_.Unattended) throw EZipArchiver(ZipMsg::UnattendedSpan, true);
    const auto answer =
        zip_.Ui().MessageBox("", ZipMessageText(ZipMsg::NotEnoughSpace), ZipUi::Buttons::RetryCancel,
                             ZipUi::Icon::Error, ZipUi::Answer::Retry);
    if (answer == ZipUi::Answer::Failed) throw EZipArchiver(ZipMsg::NoMemoryForBox, true);
    if (answer != ZipUi::Answer::Retry) throw EZipArchiver(ZipMsg::UserCanceled, false);
    f_.FNewDisk = true;
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
        ReadFrom(f_.FInFile, buffer, block, errorId);
        WriteSplit(buffer, block, 0);
        count -= block;
    }
}

// ---- Disks ------------------------------------------------------------------------------------

bool ZipSpanner::DiskIsThere() {
    try {
        zip_.CheckDrive(f_.FDrive);
        return true;
    } catch (const EZipArchiver&) {
        return false;
    }
}

std::string ZipSpanner::CheckForDiskText() {
    std::string text;
    if (f_.FDiskNr < 0) {
        text = ZipMessageText(ZipMsg::InsertLastDisk);
    } else if (state_.writing) {
        std::int64_t divisor = f_.FSizeOfDisk;
        if (zip_.MaxVolumeSize > 0 && (divisor <= 0 || zip_.MaxVolumeSize < divisor))
            divisor = zip_.MaxVolumeSize;
        if (divisor > 0) {
            const std::int64_t keep = std::max(zip_.KeepFreeOnDisk1, 0);
            const std::int64_t estimate =
                std::max<std::int64_t>((state_.archiveSize + keep + 4) / divisor, f_.FDiskNr);
            f_.FLastDiskNumber = static_cast<std::uint16_t>(estimate);
            text = FormatZipStr(ZipMsg::InsertVolumeOf, f_.FDiskNr + 1, estimate + 1);
        } else {
            text = FormatZipStr(ZipMsg::InsertVolume, f_.FDiskNr + 1);
        }
    } else {
        text = FormatZipStr(ZipMsg::InsertVolumeOf, f_.FDiskNr + 1, f_.FLastDiskNumber + 1);
    }
    return text + FormatZipStr(ZipMsg::InDrive, f_.FDrive);
}

int ZipSpanner::CheckForDisk() {
    const int driveType = DriveTypeOf(f_.FDrive);
    zip_.Ui().ProcessMessages();
    while (f_.FNewDisk || !DiskIsThere()) {
        if (IsFixedOrRemote(driveType)) {
            f_.FNewDisk = false;
            break;
        }
        if (zip_.Unattended) throw EZipArchiver(ZipMsg::UnattendedSpan, true);
        const auto icon = f_.FDiskNr < 0 ? ZipUi::Icon::Stop : ZipUi::Icon::None;
        const auto answer =
            zip_.Ui().MessageBox("", CheckForDiskText(), ZipUi::Buttons::OkCancel, icon, ZipUi::Answer::Ok);
        f_.FNewDisk = false;
        if (answer != ZipUi::Answer::Ok) throw EZipArchiver(ZipMsg::UserCanceled, false);
    }
    return driveType;
}

bool ZipSpanner::IsRightDisk(int driveType) {
    if (IsFixedOrRemote(driveType)) {
        state_.inFileName = WithVolumeNumber(state_.inFileName, f_.FDiskNr);
        return true;
    }
    const auto volume = VolumeOf(f_.FDrive);
    f_.FVolumeName = volume ? volume->label : std::string();
    return f_.FVolumeName == SpanVolumeLabel(f_.FDiskNr);
}

void ZipSpanner::GetNewDisk(int diskSeq) {
    zip_.CloseInFile();
    if (!state_.reading && !state_.writing) {  // List reading a set it was given
        state_.inFileName = zip_.ZipFileName();
        f_.FDrive = DriveRoot(state_.inFileName);
    }
    f_.FDiskNr = diskSeq;
    for (;;) {
        int driveType = 0;
        do {
            f_.FNewDisk = true;
            driveType = CheckForDisk();
        } while (!IsRightDisk(driveType));
        f_.FInFile = open(state_.inFileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (f_.FInFile >= 0) return;
        if (IsFixedOrRemote(driveType)) throw EZipArchiver(ZipMsg::InputMissing, true);
        zip_.ShowZipMessage(ZipMsg::InputMissing);
    }
}

std::int64_t ZipSpanner::DiskFreeAndSize(int which) {
    std::int64_t freeBytes = -1, totalBytes = -1;
    ::DiskFreeAndSize(f_.FDrive, freeBytes, totalBytes);
    if (which & 1) f_.FFreeOnDisk = freeBytes;
    if (which & 2) f_.FSizeOfDisk = totalBytes;
    return totalBytes;
}

int ZipSpanner::ZipFormat() {
    return -3;
}

// ---- Joining ------------------------------------------------------------------------------------

int ZipSpanner::ReadSpan(const std::string& lastVolume, std::string& outPath) {
    state_ = SpanState{};
    f_.FBusy = true;
    state_.reading = true;
    state_.inFileName = lastVolume;
    f_.FDrive = DriveRoot(lastVolume);
    f_.FDiskNr = -1;
    f_.FShowProgress = false;
    zip_.Ui().SetBusyCursor(true);
    const int result = RunSpanStep([&] { JoinSet(outPath); });
    if (result != 0 && !state_.outFileName.empty()) DeleteFile(state_.outFileName);
    outPath = result == 0 ? state_.outFileName : std::string();
    state_.reading = false;
    f_.FBusy = false;
    zip_.Ui().SetBusyCursor(false);
    return result;
}

void ZipSpanner::JoinSet(std::string& outPath) {
    OpenJoinedOutput(outPath);
    const zipdir::EndRecord end = FindLastVolume();
    std::int64_t total = 0;
    ReadJoinedCentral(end, total);
    GetNewDisk(0);
    f_.FShowProgress = true;
    Progress(ptFileCount, "", end.totalEntries);
    Progress(ptByteCount, "", total);
    unsigned char signature[4];
    ReadFrom(f_.FInFile, signature, 4, ZipMsg::ReadExtendedLocal);
    if (Get32(signature) != ExtLocalSig) throw EZipArchiver(ZipMsg::ReadExtendedLocal, true);
    std::vector<unsigned char> buffer(kCopyBlock);
    JoinLocalEntries(end, buffer);
    f_.FShowProgress = false;
    std::int64_t centralStart = 0, centralSize = 0;
    JoinCentralDirectory(end, centralStart, centralSize);
    JoinEndRecord(end, centralStart, centralSize);
}

// The end record of the joined archive: one disk, the directory where it now lies.
void ZipSpanner::JoinEndRecord(const zipdir::EndRecord& end, std::int64_t centralStart,
                               std::int64_t centralSize) {
    ZipEndOfCentral eoc = ZipEndOfCentral::FromBytes(end.raw);
    eoc.HeaderSig = EndSig;
    eoc.ThisDiskNo = eoc.CentralDiskNo = 0;
    eoc.CentralEntriesThisDisk = eoc.TotalEntries;
    eoc.CentralSize = static_cast<std::uint32_t>(centralSize);
    eoc.CentralOffset = static_cast<std::uint32_t>(centralStart);
    eoc.ZipCommentLen = static_cast<std::uint16_t>(end.comment.size());
    unsigned char record[EndSize];
    eoc.ToBytes(record);
    WriteJoin(record, EndSize, ZipMsg::WriteEndOfCentral);
    WriteJoin(reinterpret_cast<const unsigned char*>(end.comment.data()),
              static_cast<std::int64_t>(end.comment.size()), ZipMsg::ReadArchiveComment);
}

// The joined file: a new name in a folder, or the given file replaced; always ".zip".
void ZipSpanner::OpenJoinedOutput(std::string& outPath) {
    if (outPath.empty())
        outPath = zip_.TempDir.empty() ? std::filesystem::temp_directory_path().string() : zip_.TempDir;
    std::string name;
    if (FolderExists(outPath)) {
        std::string pattern = JoinPath(outPath, "zipXXXXXX");
        const int fd = mkstemp(pattern.data());
        if (fd < 0) throw EZipArchiver(ZipMsg::TempFileFailed, true);
        close(fd);
        DeleteFile(pattern);
        name = pattern;
    } else {
        if (FileExists(outPath)) ZipSfxMaker(zip_).EraseFile(outPath, zip_.HowToDelete);
        name = outPath;
    }
    name = WithoutExtension(name) + ".zip";
    f_.FOutFile = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (f_.FOutFile < 0) throw EZipArchiver(ZipMsg::CreateOutput, true);
    state_.outFileName = name;
}

// Asks for the last disk until its end record is found.
zipdir::EndRecord ZipSpanner::FindLastVolume() {
    std::optional<zipdir::EndRecord> end;
    // The disk the user chose is tried first; a prompt comes only when it is not the last one.
    for (bool first = true; !end; first = false) {
        f_.FNewDisk = !first;
        const int driveType = CheckForDisk();
        const bool fixed = IsFixedOrRemote(driveType);
        zip_.CloseInFile();
        f_.FInFile = open(state_.inFileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (f_.FInFile < 0 && fixed) throw EZipArchiver(ZipMsg::InputMissing, true);
        if (f_.FInFile >= 0) end = FindEndRecord(f_.FInFile);
        if (!end && fixed) {
            const int number = VolumeNumberOf(state_.inFileName);
            if (number == 1) throw EZipArchiver(ZipMsg::FirstDiskOfSet, true);
            if (number > 1) throw EZipArchiver(ZipMsg::NthDiskOfSet, static_cast<std::int64_t>(number));
            throw EZipArchiver(ZipMsg::NotValidZip, true);
        }
    }
    f_.FDateStamp = FileModified(state_.inFileName);
    f_.FLastDiskNumber = static_cast<std::uint16_t>(end->thisDisk);
    f_.FDiskNr = static_cast<int>(end->thisDisk);
    if (end->centralDisk > end->thisDisk) throw EZipArchiver(ZipMsg::NotValidZip, true);
    return *end;
}

void ZipSpanner::ReadJoined(unsigned char* to, std::int64_t count, int errorId) {
    while (count > 0) {
        const ssize_t n = read(f_.FInFile, to, static_cast<std::size_t>(count));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EZipArchiver(errorId, true);
        if (n == 0) {
            if (f_.FDiskNr >= f_.FLastDiskNumber) throw EZipArchiver(errorId, true);
            GetNewDisk(f_.FDiskNr + 1);
            continue;
        }
        to += n;
        count -= n;
    }
}

void ZipSpanner::ReadJoinedCentral(const zipdir::EndRecord& end, std::int64_t& total) {
    if (static_cast<int>(end.centralDisk) != f_.FDiskNr) GetNewDisk(static_cast<int>(end.centralDisk));
    SeekInput(f_.FInFile, end.centralOffset);
    total = ReadCentralEntries(end.totalEntries, [this](unsigned char* to, std::int64_t count, int errorId) {
        ReadJoined(to, count, errorId);
    });
}

// Whether the input stands at offset on volume disk (the end of the volume before counts too).
bool ZipSpanner::InputAt(int disk, std::int64_t offset) {
    const std::int64_t here = lseek(f_.FInFile, 0, SEEK_CUR);
    if (f_.FDiskNr == disk) return here == offset;
    struct stat st {};
    return f_.FDiskNr == disk - 1 && offset == 0 && fstat(f_.FInFile, &st) == 0 && here == st.st_size;
}

// Copies the entries in the order they lie on the volumes; each local header must stand where
// the central directory says, which catches cut, missing and foreign volumes before any data
// of theirs reaches the joined file.
void ZipSpanner::JoinLocalEntries(const zipdir::EndRecord& end, std::vector<unsigned char>& buffer) {
    std::vector<std::size_t> order(f_.FMDZipData.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const MDZipData &x = f_.FMDZipData[a], &y = f_.FMDZipData[b];
        return x.DiskStart != y.DiskStart ? x.DiskStart < y.DiskStart : x.RelOffLocal < y.RelOffLocal;
    });
    for (std::size_t index : order) {
        MDZipData& entry = f_.FMDZipData[index];
        if (!InputAt(entry.DiskStart, entry.RelOffLocal))
            throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        unsigned char header[LocalSize];
        ReadJoined(header, LocalSize, ZipMsg::ReadLocalHeader);
        if (Get32(header) != LocalSig) throw EZipArchiver(ZipMsg::LocalSignature, true);
        const std::uint16_t nameLength = Get16(header + LocNameLength);
        std::string name(nameLength, '\0');
        ReadJoined(reinterpret_cast<unsigned char*>(name.data()), nameLength, ZipMsg::ReadLocalName);
        if (name != entry.FileName) throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        entry.DiskStart = 0;
        entry.RelOffLocal = static_cast<std::uint32_t>(lseek(f_.FOutFile, 0, SEEK_CUR));
        const bool descriptor = (Get16(header + LocFlags) & 8) != 0;
        const std::int64_t dataSize = entry.ComprSize;
        const std::uint16_t extraLength = Get16(header + LocExtraLength);
        Message(ZipMessageText(ZipMsg::Copying) + name);
        Progress(ptFileBegin, name, LocalSize + nameLength + extraLength + dataSize + (descriptor ? 16 : 0));
        WriteJoin(header, LocalSize, ZipMsg::WriteLocalHeader);
        WriteJoin(reinterpret_cast<const unsigned char*>(name.data()), nameLength, ZipMsg::WriteLocalHeader);
        RWJoinData(buffer.data(), extraLength, ZipMsg::ReadLocalExtra);
        RWJoinData(buffer.data(), dataSize, ZipMsg::ReadZippedData);
        if (descriptor) {
            unsigned char tag[4];
            ReadJoined(tag, 4, ZipMsg::DataDescriptor);
            WriteJoin(tag, 4, ZipMsg::DataDescriptor);
            RWJoinData(buffer.data(), Get32(tag) == ExtLocalSig ? 12 : 8, ZipMsg::DataDescriptor);
        }
    }
    if (!InputAt(end.centralDisk, end.centralOffset)) throw EZipArchiver(ZipMsg::ReadZippedData, true);
}

void ZipSpanner::JoinCentralDirectory(const zipdir::EndRecord& end, std::int64_t& centralStart,
                                      std::int64_t& centralSize) {
    GetNewDisk(end.centralDisk);
    SeekInput(f_.FInFile, end.centralOffset);
    centralStart = lseek(f_.FOutFile, 0, SEEK_CUR);
    std::vector<unsigned char> buffer(kCopyBlock);
    for (const MDZipData& entry : f_.FMDZipData) {
        std::vector<unsigned char> header(CentralSize + entry.FileNameLen);
        ReadJoined(header.data(), CentralSize, ZipMsg::ReadCentralHeader);
        if (Get32(header.data()) != CentralSig) throw EZipArchiver(ZipMsg::CentralSignature, true);
        if (Get16(header.data() + CenNameLength) != entry.FileNameLen)
            throw EZipArchiver(ZipMsg::LocalHeaderNotFound, true);
        ReadJoined(header.data() + CentralSize, entry.FileNameLen, ZipMsg::ReadCentralName);
        Put16(header.data() + CenDiskStart, 0);
        Put32(header.data() + CenLocalOffset, entry.RelOffLocal);
        WriteJoin(header.data(), static_cast<std::int64_t>(header.size()), ZipMsg::WriteCentralHeader);
        RWJoinData(buffer.data(), Get16(header.data() + CenExtraLength), ZipMsg::ReadCentralExtra);
        RWJoinData(buffer.data(), Get16(header.data() + CenCommentLength), ZipMsg::ReadFileComment);
    }
    centralSize = lseek(f_.FOutFile, 0, SEEK_CUR) - centralStart;
}

void ZipSpanner::WriteJoin(const unsigned char* bytes, std::int64_t count, int errorId) {
    while (count > 0) {
        const ssize_t n = write(f_.FOutFile, bytes, static_cast<std::size_t>(count));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EZipArchiver(errorId, true);
        if (f_.FShowProgress) Progress(ptBytesDone, "", n);
        bytes += n;
        count -= n;
    }
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

// The component's own state handed to the spanning code (the members below may reach it).
#define SPAN_FIELDS(busy)                                                                               \
    SpanFields {                                                                                        \
        FDrive, FDiskNr, FBytesWritten, FFreeOnDisk, FSizeOfDisk, FVolumeName, FNewDisk, FShowProgress, \
            FDateStamp, FInFile, FOutFile, FMDZipData, FSpanExtra, busy, FLastDiskNumber                \
    }

int TZipArchiver::WriteSpan(const std::string& inFileName, const std::string& outFileName) {
    return ZipSpanner(*this, SPAN_FIELDS(FAddBusy)).WriteSpan(inFileName, outFileName);
}

int TZipArchiver::ReadSpan(const std::string& inFileName, std::string& outFilePath) {
    return ZipSpanner(*this, SPAN_FIELDS(FExtractBusy)).ReadSpan(inFileName, outFilePath);
}

void TZipArchiver::GetNewDisk(int diskSeq) {
    ZipSpanner(*this, SPAN_FIELDS(FExtractBusy)).GetNewDisk(diskSeq);
}
