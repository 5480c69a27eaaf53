// TZipArchiver: properties, reporting, the CodePage rule, the drive check, the end-record
// search and List. Archives are read through bounded buffers: no length field read from the
// file is trusted to size anything before the bytes are actually there.
#include "zip/ZipArchiver.h"

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "zip/ZipBytes.h"
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

constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kSpanSig = 0x08074b50;
constexpr int kCentralHeaderSize = 46;
constexpr std::int64_t kMaxEndSearch = 65535 + ZipEndOfCentral::Size;
constexpr std::uint16_t kUtf8NameFlag = 0x0800;  // general flag bit 11: names are UTF-8

using zipfmt::Get16;
using zipfmt::Get32;
using zipfmt::Put16;
using zipfmt::Put32;

std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Reads everything asked for unless the file ends or fails first; the count actually read.
std::size_t ReadAt(int fd, std::int64_t pos, unsigned char* to, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = pread(fd, to + done, count - done, static_cast<off_t>(pos + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Sequential reading of the central directory through one buffer, so 65,535 entries cost a
// few dozen system calls rather than three per entry.
class DirectoryReader {
public:
    explicit DirectoryReader(const int& fd) : fd_(fd), buf_(1 << 16) {}
    // Drops the buffer (the descriptor now reads another volume, or was moved).
    void Reset() { pos_ = len_ = 0; }
    // Copies up to count bytes; the number copied (less only at the end of the file).
    std::size_t Read(unsigned char* to, std::size_t count) {
        std::size_t done = 0;
        while (done < count) {
            if (pos_ == len_ && !Fill()) break;
            std::size_t n = std::min(count - done, len_ - pos_);
            std::memcpy(to + done, buf_.data() + pos_, n);
            pos_ += n;
            done += n;
        }
        return done;
    }
    // Moves forward by count bytes; false when the file cannot seek there.
    bool Skip(std::size_t count) {
        std::size_t inBuffer = len_ - pos_;
        if (count <= inBuffer) {
            pos_ += count;
            return true;
        }
        off_t beyond = static_cast<off_t>(count - inBuffer);
        Reset();
        return lseek(fd_, beyond, SEEK_CUR) >= 0;
    }

private:
    bool Fill() {
        ssize_t n;
        do n = read(fd_, buf_.data(), buf_.size());
        while (n < 0 && errno == EINTR);
        pos_ = 0;
        len_ = n > 0 ? static_cast<std::size_t>(n) : 0;
        return len_ > 0;
    }

    const int& fd_;
    std::vector<unsigned char> buf_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

// A text up to its first NUL byte, as the name and comment buffers end there.
std::string UpToNul(const unsigned char* bytes, std::size_t count) {
    if (count == 0) return {};
    const void* nul = std::memchr(bytes, 0, count);
    std::size_t n = nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - bytes) : count;
    return std::string(reinterpret_cast<const char*>(bytes), n);
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
    CloseOutFile();
}

ZipUi& TZipArchiver::Ui() const { return FUi ? *FUi : CurrentZipUi(); }

void TZipArchiver::SetFileName(const std::string& name) {
    FZipFileName = name;
    List();
}

void TZipArchiver::SetDLLDirectory(const std::string& folder) {
    if (folder == FDLLDirectory) return;
    FDLLDirectory = folder;
    if (FDLLDirectory.size() > 1 && FDLLDirectory.back() == '/') FDLLDirectory.pop_back();
}

std::int32_t TZipArchiver::GetCount() const {
    return FZipFileName.empty() ? 0 : static_cast<std::int32_t>(FDirEntries.size());
}

std::string TZipArchiver::GetZipComment() const { return ConvertOem2Iso(FZipComment, FHostNum, FHostVer); }

void TZipArchiver::CloseInFile() {
    if (FInFile >= 0) close(FInFile);
    FInFile = -1;
}

void TZipArchiver::CloseOutFile() {
    if (FOutFile >= 0) close(FOutFile);
    FOutFile = -1;
}

// ---- Reporting ------------------------------------------------------------------------------

void TZipArchiver::SetMessage(int id, const std::string& text) {
    FLastErrorId = id;
    FLastMessage = text;
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
    if (!Unattended) Ui().ShowMessage(text);
    FireMessage(0, text);
}

void TZipArchiver::ShowExceptionError(const EZipArchiver& e) {
    if (e.DisplayMsg && !Unattended) Ui().ShowMessage(e.Message);
    SetMessage(e.Id, e.Message);
    FireMessage(0, e.Message);
}

// ---- The CodePage rule ----------------------------------------------------------------------

bool TZipArchiver::ConvertsNames(int hostNum, int hostVer) const {
    switch (CodePage) {
    case cpOEM: return true;
    case cpNone: return false;
    case cpAUTO: return hostNum == 0 || hostNum == 6 || (hostNum == 11 && hostVer == 50);
    }
    return false;
}

std::string TZipArchiver::ConvertOem2Iso(const std::string& text, int hostNum, int hostVer) const {
    std::string s = text.substr(0, text.find('\0'));
    if (!ConvertsNames(hostNum, hostVer) || !HasHighBytes(s)) return s;
    return Cp437ToUtf8(s);
}

// ---- Drive check ----------------------------------------------------------------------------

void TZipArchiver::CheckDrive(const std::string& path) {
    std::string full = CanonicalPath(path);
    if (full.empty() || full[0] != '/') throw EZipArchiver(ZipMsg::InvalidDrive, full);
    DriveProvider& drives = Drives();
    FDrive = drives.Root(full);
    if (FDrive.empty()) throw EZipArchiver(ZipMsg::DriveNotDefined, FolderPart(full));
    std::int64_t freeBytes = -1, total = -1;
    drives.FreeAndSize(FDrive, freeBytes, total);
    FFreeOnDisk = freeBytes;
    FSizeOfDisk = total;
    std::optional<VolumeInfo> volume = drives.Volume(FDrive);
    bool present;
    if (volume) {
        FVolumeName = volume->label;
        FVolumeSerial = volume->serial;
        present = drives.Type(FDrive) == DriveRemote || total >= 0;
    } else {
        // A blank disk that is to be formatted has no volume to read.
        FVolumeName.clear();
        FVolumeSerial = 0;
        present = AddOptions.Has(AddDiskSpanErase);
    }
    if (!present) throw EZipArchiver(ZipMsg::DriveNotDefined, FDrive);
}

// ---- End-record search ----------------------------------------------------------------------

bool TZipArchiver::OpenEOC(ZipEndOfCentral& eoc, bool raiseErrors) {
    FZipComment.clear();
    CloseInFile();
    // Non-blocking, so a FIFO named as an archive cannot hang the open; only regular files pass.
    FInFile = open(FZipFileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st{};
    if (FInFile >= 0 && (fstat(FInFile, &st) != 0 || !S_ISREG(st.st_mode))) CloseInFile();
    if (FInFile < 0) {
        if (raiseErrors) throw EZipArchiver(ZipMsg::InputMissing, true);
        ShowZipMessage(ZipMsg::OpenFailed);
        return false;
    }
    auto fail = [&](int id) {
        if (raiseErrors) throw EZipArchiver(id, true);
        return false;
    };

    int labelDisk = 0;
    if (FVolumeName.rfind("PKBACK# ", 0) == 0) {
        std::string digits = FVolumeName.substr(8, 3);
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            labelDisk = std::stoi(digits);
    }

    const std::int64_t size = st.st_size;
    FArchiveFileSize = Clamp32(size);
    FArchiveEnd = size;

    unsigned char start[8];
    bool firstDisk = ReadAt(FInFile, 0, start, 8) == 8 && Get32(start) == kSpanSig && Get32(start + 4) == kLocalSig;
    if (firstDisk) FSpannedSet = true;

    std::int64_t found = -1;
    unsigned char tail[ZipEndOfCentral::Size];
    if (size >= ZipEndOfCentral::Size) {
        if (ReadAt(FInFile, size - ZipEndOfCentral::Size, tail, sizeof tail) != sizeof tail)
            return fail(ZipMsg::ReadEndOfCentral);
        if (Get32(tail) == ZipEndOfCentral::Signature) {
            found = size - ZipEndOfCentral::Size;
            eoc = ZipEndOfCentral::FromBytes(tail);
        }
    }
    std::vector<unsigned char> block;
    std::int64_t blockStart = 0;
    if (found < 0) {
        const std::int64_t n = std::min(size, kMaxEndSearch);
        blockStart = size - n;
        block.resize(static_cast<std::size_t>(n));
        if (ReadAt(FInFile, blockStart, block.data(), block.size()) != block.size())
            return fail(ZipMsg::ReadEndOfCentral);
        for (std::int64_t p = n - 23; p >= 0; --p) {
            const unsigned char* b = block.data() + p;
            if (b[0] == 0x50 && b[1] == 0x4B && b[2] == 0x05 && b[3] == 0x06) {
                found = blockStart + p;
                eoc = ZipEndOfCentral::FromBytes(b);
                break;
            }
        }
    }
    if (found < 0) {
        if (!raiseErrors) return false;
        if (firstDisk) throw EZipArchiver(labelDisk == 1 ? ZipMsg::FirstDiskOfSet : ZipMsg::FirstFileOfSet, true);
        if (labelDisk > 0) throw EZipArchiver(ZipMsg::NthDiskOfSet, static_cast<std::int64_t>(labelDisk));
        throw EZipArchiver(ZipMsg::NotValidZip, true);
    }

    FEndRecordPos = found;
    const std::int64_t commentStart = found + ZipEndOfCentral::Size;
    const std::int64_t recordEnd = commentStart + eoc.ZipCommentLen;
    if (recordEnd < size) {
        FArchiveEnd = recordEnd;
        if (!IsZeroFiller(blockStart, block, recordEnd, size)) ShowZipMessage(ZipMsg::WarnGarbage);
    }
    // A comment running past the end of the file keeps the bytes that are there.
    if (recordEnd > size) ShowZipMessage(ZipMsg::WarnStructure);
    std::int64_t commentLen = std::min(recordEnd, size) - commentStart;
    if (commentLen > 0) {
        FZipComment.resize(static_cast<std::size_t>(commentLen));
        std::size_t got = ReadAt(FInFile, commentStart, reinterpret_cast<unsigned char*>(FZipComment.data()),
                                 FZipComment.size());
        FZipComment.resize(got);
    }
    return true;
}

bool TZipArchiver::IsZeroFiller(std::int64_t blockStart, const std::vector<unsigned char>& block,
                                std::int64_t from, std::int64_t size) const {
    if (size - from >= 512 || size % 512 != 0) return false;
    if (from < blockStart) return false;
    return std::all_of(block.begin() + (from - blockStart), block.end(), [](unsigned char c) { return c == 0; });
}

// ---- List -----------------------------------------------------------------------------------

void TZipArchiver::FreeZipDirEntryRecords() {
    FDirEntries.clear();
    FDirEntries.shrink_to_fit();
}

void TZipArchiver::ResetListing() {
    FreeZipDirEntryRecords();
    FArchiveFileSize = 0;
    FCentralDirOffset = 0;
    FZipDataOffset = 0;
    FLastDiskNumber = 0;
    FSpannedSet = false;
}

void TZipArchiver::List() {
    ResetListing();
    if (FZipFileName.empty() || !FileExists(FZipFileName)) {
        if (OnDirUpdate) OnDirUpdate(this);
        return;
    }
    {
        ZipBusyCursor busy(Ui());
        bool failed = true;
        try {
            ListArchive();
            failed = false;
        } catch (const EZipArchiver& e) {
            ShowExceptionError(e);
        } catch (const std::bad_alloc&) {
            ShowZipMessage(ZipMsg::NoMemory);
        } catch (const std::exception& e) {
            ShowZipMessage(ZipMsg::ListUnknown, e.what());
        } catch (...) {
            ShowZipMessage(ZipMsg::ListUnknown);
        }
        if (failed) {
            FZipFileName.clear();
            FZipDataOffset = 0;
            FreeZipDirEntryRecords();
        }
        CloseInFile();
    }
    if (OnDirUpdate) OnDirUpdate(this);
}

void TZipArchiver::ListArchive() {
    CheckDrive(FZipFileName);
    ZipEndOfCentral eoc;
    OpenEOC(eoc, true);
    FLastDiskNumber = eoc.ThisDiskNo;
    if (FLastDiskNumber > 0) FSpannedSet = true;

    std::int64_t expected;
    if (eoc.CentralDiskNo != eoc.ThisDiskNo) {
#ifdef TARNWICK_ZIP_SPAN
        GetNewDisk(eoc.CentralDiskNo);
        struct stat st{};
        FArchiveEnd = fstat(FInFile, &st) == 0 ? st.st_size : 0;
        expected = eoc.CentralOffset;
#else
        throw EZipArchiver(ZipMsg::SpanNotBuilt, true);
#endif
    } else {
        expected = FEndRecordPos - static_cast<std::int64_t>(eoc.CentralSize);
        if (expected != static_cast<std::int64_t>(eoc.CentralOffset)) ShowZipMessage(ZipMsg::WarnStructure);
    }
    if (expected < 0 || lseek(FInFile, static_cast<off_t>(expected), SEEK_SET) < 0)
        throw EZipArchiver(ZipMsg::SeekError, true);
    FCentralDirOffset = Clamp32(expected);
    ListCentralDirectory(eoc, expected);
}

void TZipArchiver::ListCentralDirectory(const ZipEndOfCentral& eoc, std::int64_t expected) {
    DirectoryReader reader(FInFile);
    // Never room for more entries than the file's bytes could hold, whatever the count says.
    const std::int64_t room = std::min<std::int64_t>(eoc.CentralSize, FArchiveEnd) / kCentralHeaderSize + 1;
    FDirEntries.reserve(static_cast<std::size_t>(std::min<std::int64_t>(eoc.TotalEntries, room)));
    std::int64_t dataOffset = expected;
    unsigned char header[kCentralHeaderSize];
    std::vector<unsigned char> text;
    for (unsigned i = 0; i < eoc.TotalEntries; ++i) {
        std::size_t got = reader.Read(header, sizeof header);
#ifdef TARNWICK_ZIP_SPAN
        while (got < sizeof header && FSpannedSet && FDiskNr >= 0 && FDiskNr < FLastDiskNumber) {
            GetNewDisk(FDiskNr + 1);
            reader.Reset();
            got += reader.Read(header + got, sizeof header - got);
        }
#endif
        if (got != sizeof header) throw EZipArchiver(ZipMsg::ReadCentralHeader, true);
        if (Get32(header) != kCentralSig) throw EZipArchiver(ZipMsg::CentralSignature, true);

        ZipDirEntry entry;
        entry.SetHeader(header + 4);
        FHostNum = entry.VersionMadeBy >> 8;
        FHostVer = entry.VersionMadeBy & 0xFF;
        const bool utf8 = (entry.GeneralFlags & kUtf8NameFlag) != 0;

        text.resize(entry.FileNameLength);
        if (reader.Read(text.data(), text.size()) != text.size()) throw EZipArchiver(ZipMsg::ReadCentralName, true);
        entry.FileName = UpToNul(text.data(), text.size());
        if (!utf8) entry.FileName = ConvertOem2Iso(entry.FileName, FHostNum, FHostVer);

        if (!reader.Skip(entry.ExtraFieldLength)) throw EZipArchiver(ZipMsg::SeekError, true);
        if (entry.FileCommentLength > 0) {
            text.resize(entry.FileCommentLength);
            if (reader.Read(text.data(), text.size()) != text.size())
                throw EZipArchiver(ZipMsg::ReadFileComment, true);
            entry.FileComment = UpToNul(text.data(), text.size());
            if (!utf8) entry.FileComment = ConvertOem2Iso(entry.FileComment, FHostNum, FHostVer);
        }
        dataOffset = std::min<std::int64_t>(dataOffset, entry.LocalHeaderOffset);
        FDirEntries.push_back(std::move(entry));
    }
    // Anything in front of an archive whose offsets were not adjusted (a stub) moves its data.
    if (!FDirEntries.empty()) dataOffset += expected - static_cast<std::int64_t>(eoc.CentralOffset);
    FZipDataOffset = Clamp32(std::max<std::int64_t>(dataOffset, 0));
}
