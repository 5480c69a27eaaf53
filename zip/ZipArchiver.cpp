// TZipArchiver: properties, reporting, the CodePage rule, the drive check, the end-record
// search and List. The archive's records are read by the directory reader (ZipDirectory.h).
#include "zip/ZipArchiver.h"

#include "engines/EngineApi.h"

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "zip/ZipBytes.h"
#include "zip/ZipSpan.h"
#include "zip/ZipUi.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace {

constexpr int kCentralHeaderSize = 46;
constexpr std::uint16_t kUtf8NameFlag = 0x0800;  // general flag bit 11: names are UTF-8

using namespace zipfmt;

std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool HasHighBytes(const std::string& s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

// ---- Records --------------------------------------------------------------------------------

void ZipDirEntry::SetHeader(const unsigned char* b) {
    std::memcpy(HeaderBytes, b, HeaderSize);
    VersionMadeBy = Get16(b + 0);
    VersionNeeded = Get16(b + 2);
    GeneralFlags = Get16(b + 4);
    CompressionMethod = Get16(b + 6);
    ModTime = Get16(b + 8);
    ModDate = Get16(b + 10);
    Crc32 = Get32(b + 12);
    CompressedSize = Get32(b + 16);
    UncompressedSize = Get32(b + 20);
    FileNameLength = Get16(b + 24);
    ExtraFieldLength = Get16(b + 26);
    FileCommentLength = Get16(b + 28);
    DiskNumberStart = Get16(b + 30);
    InternalAttributes = Get16(b + 32);
    ExternalAttributes = Get32(b + 34);
    LocalHeaderOffset = Get32(b + 38);
}

ZipEndOfCentral ZipEndOfCentral::FromBytes(const unsigned char* b) {
    ZipEndOfCentral e;
    e.HeaderSig = Get32(b + 0);
    e.ThisDiskNo = Get16(b + 4);
    e.CentralDiskNo = Get16(b + 6);
    e.CentralEntriesThisDisk = Get16(b + 8);
    e.TotalEntries = Get16(b + 10);
    e.CentralSize = Get32(b + 12);
    e.CentralOffset = Get32(b + 16);
    e.ZipCommentLen = Get16(b + 20);
    return e;
}

void ZipEndOfCentral::ToBytes(unsigned char* b) const {
    Put32(b + 0, HeaderSig);
    Put16(b + 4, ThisDiskNo);
    Put16(b + 6, CentralDiskNo);
    Put16(b + 8, CentralEntriesThisDisk);
    Put16(b + 10, TotalEntries);
    Put32(b + 12, CentralSize);
    Put32(b + 16, CentralOffset);
    Put16(b + 20, ZipCommentLen);
}

// ---- Construction and properties ------------------------------------------------------------

TZipArchiver::TZipArchiver() = default;

TZipArchiver::~TZipArchiver() {
    CloseInFile();
}

ZipUi& TZipArchiver::Ui() const {
    return ui_ ? *ui_ : CurrentZipUi();
}

void TZipArchiver::SetFileName(const std::string& name) {
    zipFileName_ = name;
    List();
}

void TZipArchiver::SetDLLDirectory(const std::string& folder) {
    if (folder == dllDirectory_) return;
    dllDirectory_ = folder;
    if (dllDirectory_.size() > 1 && dllDirectory_.back() == '/') dllDirectory_.pop_back();
}

std::int32_t TZipArchiver::GetCount() const {
    return zipFileName_.empty() ? 0 : static_cast<std::int32_t>(dirEntries_.size());
}

std::string TZipArchiver::GetZipComment() const {
    return ConvertOem2Iso(zipComment_, hostNum_, hostVer_);
}

void TZipArchiver::CloseInFile() {
    inFile_.Reset();
}

// ---- Reporting ------------------------------------------------------------------------------

void TZipArchiver::SetMessage(int id, const std::string& text) {
    lastErrorId_ = id;
    lastMessage_ = text;
}

void TZipArchiver::FireMessage(int errCode, const std::string& text) {
    if (OnMessage) OnMessage(this, errCode, text);
}

void TZipArchiver::FireProgress(ProgressType type, const std::string& name, std::int32_t size) {
    if (OnProgress) OnProgress(this, type, name, size);
}

void TZipArchiver::ShowZipMessage(int id, const std::string& extra) {
    std::string text = ZipMessageText(id) + extra;
    SetMessage(id, text);
    if (!Unattended) Ui().ShowMessage(BoxText(text));
    FireMessage(0, text);
}

std::string TZipArchiver::BoxText(const std::string& message) const {
    if (!listing_ || zipFileName_.empty()) return message;
    return (message.ends_with('\n') ? message : message + "\n") + zipFileName_;
}

void TZipArchiver::ShowExceptionError(const EZipArchiver& e) {
    if (e.DisplayMsg && !Unattended) Ui().ShowMessage(BoxText(e.Message));
    SetMessage(e.Id, e.Message);
    FireMessage(0, e.Reason.empty() ? e.Message : e.Message + ": " + e.Reason);
}

// ---- The CodePage rule ----------------------------------------------------------------------

// The rule the engines read names by, so a listed name is the name extracted.
bool TZipArchiver::ConvertsNames(int hostNum, int hostVer) const {
    return ZipNameIsOem(static_cast<int>(CodePage), hostNum, hostVer) != 0;
}

std::string TZipArchiver::ConvertOem2Iso(const std::string& text, int hostNum, int hostVer) const {
    std::string s = text.substr(0, text.find('\0'));
    if (!ConvertsNames(hostNum, hostVer) || !HasHighBytes(s)) return s;
    return Cp437ToUtf8(s);
}

// ---- Drive check ----------------------------------------------------------------------------

ZipDriveInfo CheckZipDrive(const std::string& path, bool blankDiskAllowed) {
    std::string full = CanonicalPath(path);
    if (full.empty() || full[0] != '/') throw EZipArchiver(ZipMsg::InvalidDrive, full);
    DriveProvider& drives = Drives();
    ZipDriveInfo info;
    info.drive = drives.Root(full);
    if (info.drive.empty()) throw EZipArchiver(ZipMsg::DriveNotDefined, FolderPart(full));
    drives.FreeAndSize(info.drive, info.freeOnDisk, info.sizeOfDisk);
    std::optional<VolumeInfo> volume = drives.Volume(info.drive);
    bool present;
    if (volume) {
        info.volumeName = volume->label;
        info.volumeSerial = volume->serial;
        present = drives.Type(info.drive) == DriveRemote || info.sizeOfDisk >= 0;
    } else {
        // A blank disk that is to be formatted has no volume to read.
        present = blankDiskAllowed;
    }
    if (!present) throw EZipArchiver(ZipMsg::DriveNotDefined, info.drive);
    return info;
}

void TZipArchiver::CheckDrive(const std::string& path) {
    const ZipDriveInfo info = CheckZipDrive(path, AddOptions.Has(AddDiskSpanErase));
    drive_ = info.drive;
    volumeName_ = info.volumeName;
    volumeSerial_ = info.volumeSerial;
    freeOnDisk_ = info.freeOnDisk;
    sizeOfDisk_ = info.sizeOfDisk;
}

// ---- End-record search ----------------------------------------------------------------------

zipdir::EndRecord TZipArchiver::OpenEOC() {
    zipComment_.clear();
    CloseInFile();
    // Non-blocking, so a FIFO named as an archive cannot hang the open; only regular files pass.
    inFile_ = OpenDescriptor(zipFileName_, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (inFile_.IsOpen() && (fstat(inFile_.Get(), &st) != 0 || !S_ISREG(st.st_mode))) CloseInFile();
    if (!inFile_.IsOpen()) throw EZipArchiver(ZipMsg::InputMissing, true);

    const zipdir::ZipFile file(inFile_.Get());
    const std::int64_t size = file.Size();
    archiveFileSize_ = Clamp32(size);
    archiveEnd_ = size;
    unsigned char start[8];
    const bool firstDisk =
        file.ReadExactly(0, start, 8) && Get32(start) == ExtLocalSig && Get32(start + 4) == LocalSig;
    if (firstDisk) spannedSet_ = true;

    const std::optional<zipdir::EndRecord> end = zipdir::FindEndRecord(file);
    if (!end) {
        const int labelDisk = SpanLabelNumber(volumeName_);
        if (firstDisk)
            throw EZipArchiver(labelDisk == 1 ? ZipMsg::FirstDiskOfSet : ZipMsg::FirstFileOfSet, true);
        if (labelDisk > 0) throw EZipArchiver(ZipMsg::NthDiskOfSet, static_cast<std::int64_t>(labelDisk));
        throw EZipArchiver(ZipMsg::NotValidZip, true);
    }
    const std::int64_t recordEnd = end->RecordEnd();
    if (recordEnd < size) {
        archiveEnd_ = recordEnd;
        if (!IsZeroFiller(file, recordEnd)) ShowZipMessage(ZipMsg::WarnGarbage);
    }
    // A comment running past the end of the file keeps the bytes that are there.
    if (recordEnd > size) ShowZipMessage(ZipMsg::WarnStructure);
    zipComment_ = end->comment;
    return *end;
}

// Fewer than 512 bytes of zeros filling the file up to a multiple of 512: a disk image's filler.
bool TZipArchiver::IsZeroFiller(const zipdir::ZipFile& file, std::int64_t from) const {
    const std::int64_t size = file.Size();
    if (size - from >= 512 || size % 512 != 0) return false;
    unsigned char rest[512];
    const std::size_t count = static_cast<std::size_t>(size - from);
    return file.ReadExactly(from, rest, count) &&
           std::all_of(rest, rest + count, [](unsigned char c) { return c == 0; });
}

// ---- List -----------------------------------------------------------------------------------

void TZipArchiver::FreeZipDirEntryRecords() {
    dirEntries_.clear();
    dirEntries_.shrink_to_fit();
}

void TZipArchiver::ResetListing() {
    FreeZipDirEntryRecords();
    archiveFileSize_ = 0;
    centralDirOffset_ = 0;
    zipDataOffset_ = 0;
    lastDiskNumber_ = 0;
    spannedSet_ = false;
}

void TZipArchiver::List() {
    ResetListing();
    if (zipFileName_.empty() || !FileExists(zipFileName_)) {
        if (OnDirUpdate) OnDirUpdate(this);
        return;
    }
    {
        ZipBusyCursor busy(Ui());
        listing_ = true;
        bool failed = true;
        try {
            ListArchive();
            failed = false;
        } catch (const EZipArchiver& e) {
            ShowExceptionError(e);
        } catch (const zipdir::ReadError& e) {
            ShowExceptionError(EZipArchiver(e));
        } catch (const std::bad_alloc&) {
            ShowZipMessage(ZipMsg::NoMemory);
        } catch (const std::exception& e) {
            ShowZipMessage(ZipMsg::ListUnknown, e.what());
        } catch (...) {
            ShowZipMessage(ZipMsg::ListUnknown);
        }
        listing_ = false;
        if (failed) {
            zipFileName_.clear();
            zipDataOffset_ = 0;
            FreeZipDirEntryRecords();
        }
        CloseInFile();
    }
    if (OnDirUpdate) OnDirUpdate(this);
}

void TZipArchiver::ListArchive() {
    CheckDrive(zipFileName_);
    const zipdir::EndRecord end = OpenEOC();
    lastDiskNumber_ = static_cast<std::uint16_t>(std::min<std::uint32_t>(end.thisDisk, 0xFFFF));
    if (lastDiskNumber_ > 0) spannedSet_ = true;

    std::int64_t expected = end.ExpectedDirectoryStart();
    const bool namesOtherDisks = end.thisDisk > 0 || end.centralDisk > 0;
    if (namesOtherDisks && HoldsWholeArchive(end)) {
        // Wrong disk numbers on a file that holds every record: listed as one file, as unzip does.
        ShowZipMessage(ZipMsg::WarnStructure);
        lastDiskNumber_ = 0;
        spannedSet_ = false;
    } else if (end.centralDisk != end.thisDisk) {
        GetNewDisk(static_cast<int>(std::min<std::uint32_t>(end.centralDisk, 0xFFFF)));
        archiveEnd_ = zipdir::ZipFile(inFile_.Get()).Size();
        expected = end.centralOffset > static_cast<std::uint64_t>(INT64_MAX)
                       ? -1
                       : static_cast<std::int64_t>(end.centralOffset);
    } else if (expected != static_cast<std::int64_t>(end.centralOffset)) {
        ShowZipMessage(ZipMsg::WarnStructure);
    }
    if (expected < 0) throw EZipArchiver(ZipMsg::SeekError, true);
    centralDirOffset_ = Clamp32(expected);
    ListCentralDirectory(end, expected);
}

// Whether a file whose end record names other disks holds the whole archive itself: not a disk
// labelled as part of a set, its central directory where the end record puts it, and the first
// member's local header where that directory says, under the same name.
bool TZipArchiver::HoldsWholeArchive(const zipdir::EndRecord& end) const {
    if (SpanLabelNumber(volumeName_) > 0) return false;
    const std::int64_t start = end.ExpectedDirectoryStart();
    if (start < 0) return false;
    if (end.totalEntries == 0) return start == static_cast<std::int64_t>(end.centralOffset);
    const zipdir::ZipFile file(inFile_.Get());
    try {
        zipdir::CentralDirectoryReader reader(file, start);
        zipdir::CentralEntry first;
        if (!reader.Next(first)) return false;
        const std::int64_t shift = start - static_cast<std::int64_t>(end.centralOffset);
        const std::int64_t local = static_cast<std::int64_t>(first.values.localOffset) + shift;
        return zipdir::ReadLocalHeader(file, local).name == first.name;
    } catch (const zipdir::ReadError&) {
        return false;
    }
}

void TZipArchiver::ListCentralDirectory(const zipdir::EndRecord& end, std::int64_t expected) {
    zipdir::ZipFile file(inFile_.Get());
    zipdir::CentralDirectoryReader reader(file, expected);
    // Never room for more entries than the file's bytes could hold, whatever the count says.
    const std::uint64_t room = static_cast<std::uint64_t>(archiveEnd_) / kCentralHeaderSize + 1;
    dirEntries_.reserve(static_cast<std::size_t>(
        std::min({end.totalEntries, room, end.centralSize / kCentralHeaderSize + 1})));
    std::int64_t dataOffset = expected;
    zipdir::CentralEntry central;
    for (std::uint64_t i = 0; i < end.totalEntries; ++i) {
        bool got = reader.Next(central);
        // A set's directory may go on on the next disk; a header is never cut between two.
        while (!got && spannedSet_ && diskNr_ >= 0 && diskNr_ < lastDiskNumber_) {
            GetNewDisk(diskNr_ + 1);
            file = zipdir::ZipFile(inFile_.Get());
            reader.Continue(file);
            got = reader.Next(central);
        }
        if (!got) throw EZipArchiver(ZipMsg::ReadCentralHeader, true);
        dirEntries_.push_back(DirEntryOf(central));
        dataOffset = std::min<std::int64_t>(dataOffset, static_cast<std::int64_t>(std::min<std::uint64_t>(
                                                            central.values.localOffset, INT64_MAX)));
    }
    // Anything in front of an archive whose offsets were not adjusted (a stub) moves its data.
    if (!dirEntries_.empty()) dataOffset += expected - static_cast<std::int64_t>(end.centralOffset);
    zipDataOffset_ = Clamp32(std::max<std::int64_t>(dataOffset, 0));
}

// The listed form of a central header: names and comments after the CodePage rule unless
// flagged UTF-8, each name up to its first NUL byte, sizes and offset with zip64 applied.
ZipDirEntry TZipArchiver::DirEntryOf(const zipdir::CentralEntry& central) {
    ZipDirEntry entry;
    entry.SetHeader(central.header + 4);
    entry.UncompressedSize64 = central.values.uncompressedSize;
    entry.CompressedSize64 = central.values.compressedSize;
    entry.LocalHeaderOffset64 = central.values.localOffset;
    entry.DiskNumberStart32 = central.values.diskStart;
    hostNum_ = entry.VersionMadeBy >> 8;
    hostVer_ = entry.VersionMadeBy & 0xFF;
    const bool utf8 = (entry.GeneralFlags & kUtf8NameFlag) != 0;
    entry.FileName = zipdir::NameUpToNul(central.name);
    entry.FileComment = zipdir::NameUpToNul(central.comment);
    if (!utf8) {
        entry.FileName = ConvertOem2Iso(entry.FileName, hostNum_, hostVer_);
        entry.FileComment = ConvertOem2Iso(entry.FileComment, hostNum_, hostVer_);
    }
    return entry;
}
