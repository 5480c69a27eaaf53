// Self-extracting archives and the shared file routines: copying in blocks, erasing to the
// trash or for good.
#include "zip/ZipSfx.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <new>
#include <vector>

#include "engines/zipsfx/SfxHeader.h"
#include "platform/Descriptor.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trash.h"
#include "zip/ZipSpan.h"
#include "zip/ZipUi.h"

using namespace zipfmt;

// ---- Copying and erasing -----------------------------------------------------------------------

ZipSfxMaker::ZipSfxMaker(TZipArchiver& zip) : zip_(zip) {}

int ZipSfxMaker::CopyBuffer(int inFile, int outFile, std::int64_t count) {
    char block[8192];
    while (count != 0) {
        const std::size_t want =
            count < 0 ? sizeof block : static_cast<std::size_t>(std::min<std::int64_t>(count, sizeof block));
        const ssize_t got = ReadAll(inFile, block, want);
        if (got <= 0) return 0;
        if (!WriteAll(outFile, block, static_cast<std::size_t>(got))) return -2;
        if (count > 0) count -= got;
        zip_.Ui().ProcessMessages();
        if (static_cast<std::size_t>(got) < want) return 0;
    }
    return 0;
}

int ZipSfxMaker::CopyFileA(const std::string& source, const std::string& target) {
    ZipBusyCursor busy(zip_.Ui());
    const Descriptor in = OpenDescriptor(source, O_RDONLY);
    if (!in.IsOpen()) return -3;
    if (FileExists(target)) EraseFile(target, zip_.HowToDelete);
    Descriptor out = OpenDescriptor(target, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (!out.IsOpen()) return -1;
    const int copied = CopyBuffer(in.Get(), out.Get(), -1);
    struct stat st {};
    fstat(in.Get(), &st);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    const bool dated = futimens(out.Get(), times) == 0;
    const bool closed = out.Close();
    if (copied != 0 || !closed || FileSize(target) != FileSize(source)) {
        DeleteFile(target);
        return -9;
    }
    return dated ? 0 : -4;
}

int ZipSfxMaker::EraseFile(const std::string& path, DeleteOpts how) {
    if (!FileExists(path)) return -1;
    if (how == htdAllowUndo) return MoveToTrash(path);
    return DeleteFile(path) ? 0 : errno;
}

// ---- Self-extracting archives ------------------------------------------------------------------

std::string ZipSfxMaker::FindStub() const {
    const std::vector<std::string> candidates = {
        zip_.SFXPath,
        JoinPath(CurrentFolder(), "ZIPSFX.BIN"),
        JoinPath(ProgramFolder(), "ZIPSFX.BIN"),
        zip_.DLLDirectory().empty() ? std::string() : JoinPath(zip_.DLLDirectory(), "ZIPSFX.BIN"),
    };
    for (const std::string& candidate : candidates)
        if (!candidate.empty() && FileExists(candidate)) return candidate;
    return "";
}

int ZipSfxMaker::ConvertSFX(bool newFile) {
    const std::string source = zip_.ZipFileName();
    if (!newFile && (source.empty() || !FileExists(source))) {
        zip_.ShowZipMessage(ZipMsg::NoZipSpecified);
        return -3;
    }
    const std::size_t textBytes =
        zip_.SFXCaption.size() + zip_.SFXDefaultDir.size() + zip_.SFXCommandLine.size();
    if (textBytes > sfx::kMaxTextBytes) {
        zip_.ShowZipMessage(ZipMsg::SfxStringsTooLong,
                            "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine = " + std::to_string(textBytes));
        return -9;
    }
    const std::string stub = FindStub();
    if (stub.empty()) {
        zip_.ShowZipMessage(ZipMsg::SfxStubMissing);
        return -9;
    }
    zip_.SFXPath = stub;
    if (!newFile && !EqualsNoCase(ExtensionPart(source), ".zip")) {
        zip_.ShowZipMessage(ZipMsg::SfxNotZip);
        return -9;
    }
    const std::string target = newFile ? source : WithoutExtension(source) + ".exe";
    if (!newFile && FileExists(target)) EraseFile(target, zip_.HowToDelete);
    return WriteSfx(stub, source, target, newFile);
}

bool ZipSfxMaker::WriteHeader(int out) {
    sfx::Header header;
    const SFXOpts& options = zip_.SFXOptions;
    header.flags = (options.Has(SFXAskCmdLine) ? sfx::kAskCmdLine : 0) |
                   (options.Has(SFXAskFiles) ? sfx::kAskFiles : 0) |
                   (options.Has(SFXHideOverWriteBox) ? sfx::kHideOverWriteBox : 0) |
                   (zip_.SFXOverWriteMode == OvrAlways ? sfx::kOverwriteAlways : 0) |
                   (zip_.SFXOverWriteMode == OvrNever ? sfx::kOverwriteNever : 0) |
                   (options.Has(SFXCheckSize) ? 0 : sfx::kNoCheckSize) |
                   (options.Has(SFXAutoRun) ? sfx::kAutoRun : 0);
    header.caption = zip_.SFXCaption;
    header.defaultDir = zip_.SFXDefaultDir;
    header.commandLine = zip_.SFXCommandLine;
    const auto bytes = sfx::BuildHeader(header);
    return bytes && WriteAll(out, bytes->data(), bytes->size());
}

void ZipSfxMaker::WriteEmptyArchive(int out, std::uint32_t centralOffset) {
    ZipEndOfCentral eoc;
    eoc.HeaderSig = EndSig;
    eoc.CentralOffset = centralOffset;
    unsigned char bytes[EndSize];
    eoc.ToBytes(bytes);
    if (!WriteAll(out, bytes, EndSize)) throw EZipArchiver::Failed(ZipMsg::WriteEndOfCentral, errno);
}

int ZipSfxMaker::WriteSfx(const std::string& stub, const std::string& source, const std::string& target,
                          bool newFile) {
    Descriptor out = OpenDescriptor(target, O_WRONLY | O_CREAT | O_EXCL, 0777);
    if (!out.IsOpen()) {
        zip_.ShowExceptionError(EZipArchiver::Failed(ZipMsg::CreateOutput, errno));
        return -9;
    }
    const std::int64_t delta = FileSize(stub) + static_cast<std::int64_t>(sfx::kHeaderSize);
    std::int64_t expected = delta + EndSize;
    const int result = Converting(target, [&] {
        WriteStub(stub, out.Get());
        if (newFile) {
            WriteEmptyArchive(out.Get(), static_cast<std::uint32_t>(delta));
            return;
        }
        const Descriptor in = OpenDescriptor(source, O_RDONLY);
        if (!in.IsOpen()) throw EZipArchiver::Failed(ZipMsg::OpenFailed, errno);
        const zipdir::EndRecord end = ArchiveEndRecord(in.Get());
        expected = delta + end.position + EndSize + end.commentLength;
        CopyWithOffsets(in.Get(), out.Get(), 0, delta);
    });
    return FinishConversion(source, target, expected, CloseOutput(out, result), newFile);
}

// The stub and the header behind it, at the start of out.
void ZipSfxMaker::WriteStub(const std::string& stub, int out) {
    const Descriptor in = OpenDescriptor(stub, O_RDONLY);
    if (!in.IsOpen() || CopyBuffer(in.Get(), out, -1) != 0 || !WriteHeader(out))
        throw EZipArchiver::Failed(ZipMsg::WriteOutput, errno);
}

// Runs a conversion's writing, reporting its failures: 0, -7 or -8 (out of memory). Anything
// else that escapes takes the partial target with it.
int ZipSfxMaker::Converting(const std::string& target, const std::function<void()>& write) {
    try {
        write();
        return 0;
    } catch (const EZipArchiver& e) {
        zip_.ShowExceptionError(e);
        return -7;
    } catch (const std::bad_alloc&) {
        zip_.ShowZipMessage(ZipMsg::NoMemory);
        return -8;
    } catch (...) {
        DeleteFile(target);
        throw;
    }
}

// Closes a written target; a close that loses bytes fails a conversion that had succeeded.
int ZipSfxMaker::CloseOutput(Descriptor& out, int result) {
    if (out.Close() || result != 0) return result;
    zip_.ShowExceptionError(EZipArchiver::Failed(ZipMsg::WriteOutput, errno));
    return -9;
}

// Copies the archive from start on: everything before its central directory as it is, then
// each central header and the end record with their offsets moved by delta. When the offsets
// do not agree with where the directory lies (an archive copied behind a stub unchanged), the
// rest is copied unchanged, as those offsets are then already relative to start.
void ZipSfxMaker::CopyWithOffsets(int in, int out, std::int64_t start, std::int64_t delta) {
    const zipdir::EndRecord end = ArchiveEndRecord(in);
    const std::int64_t centralStart = end.ExpectedDirectoryStart();
    const bool consistent = centralStart == static_cast<std::int64_t>(end.centralOffset);
    const std::int64_t copyEnd = consistent ? centralStart : end.RecordEnd();
    if (centralStart < start || lseek(in, start, SEEK_SET) != start)
        throw EZipArchiver(ZipMsg::InputSeek, true);
    if (CopyBuffer(in, out, copyEnd - start) != 0) throw EZipArchiver::Failed(ZipMsg::WriteOutput, errno);
    if (!consistent) return;
    const zipdir::ZipFile file(in);
    zipdir::CentralDirectoryReader reader(file, centralStart);
    zipdir::CentralEntry central;
    const std::uint64_t shift = static_cast<std::uint64_t>(delta);  // wraps for a lowering
    for (std::uint64_t i = 0; i < end.totalEntries; ++i) {
        try {
            if (!reader.Next(central)) throw EZipArchiver(ZipMsg::CopyCentralName, true);
        } catch (const zipdir::ReadError&) {
            throw EZipArchiver(ZipMsg::CopyCentralName, true);
        }
        std::string record(reinterpret_cast<const char*>(central.header), CentralSize);
        record += central.name + central.extra + central.comment;
        SetCentralLocation(record, central.values.diskStart, central.values.localOffset + shift,
                           ZipMsg::CopyCentralName);
        if (!WriteAll(out, record)) throw EZipArchiver::Failed(ZipMsg::CopyCentralName, errno);
    }
    zipdir::DirectoryValues values = end;
    values.centralOffset += shift;
    const std::string bytes = DirectoryEndBytes(
        values, end.Zip64(), static_cast<std::uint64_t>(end.DirectoryEnd()) + shift, end.comment);
    if (!WriteAll(out, bytes)) throw EZipArchiver::Failed(ZipMsg::WriteEndOfCentral, errno);
}

// The size check, and then either the partial target goes or (a conversion) the source does.
int ZipSfxMaker::FinishConversion(const std::string& source, const std::string& target,
                                  std::int64_t expectedSize, int result, bool newFile) {
    if (result == 0 && FileSize(target) != expectedSize) {
        zip_.ShowZipMessage(ZipMsg::WriteOutput);
        result = -9;
    }
    if (result != 0) {
        DeleteFile(target);
        return result;
    }
    if (!newFile) {
        EraseFile(source, zip_.HowToDelete);
        zip_.SetFileName(target);
    }
    return 0;
}

int ZipSfxMaker::ConvertZIP() {
    const std::string source = zip_.ZipFileName();
    if (source.empty() || !FileExists(source)) {
        zip_.ShowZipMessage(ZipMsg::NoExeSpecified);
        return -3;
    }
    if (!EqualsNoCase(ExtensionPart(source), ".exe")) {
        zip_.ShowZipMessage(ZipMsg::NotExe);
        return -3;
    }
    // An archive without entries has its data offset at its end: it starts at its directory.
    const std::int64_t start = std::min(zip_.ZipDataOffset(), zip_.CentralDirOffset());
    if (zip_.ZipDataOffset() <= 0 || start <= 0) {
        zip_.ShowZipMessage(ZipMsg::SfxTypeUnknown);
        return -9;
    }
    const std::string target = WithoutExtension(source) + ".zip";
    if (FileExists(target)) EraseFile(target, zip_.HowToDelete);
    Descriptor out = OpenDescriptor(target, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (!out.IsOpen()) {
        zip_.ShowExceptionError(EZipArchiver::Failed(ZipMsg::CreateOutput, errno));
        return -9;
    }
    std::int64_t expected = 0;
    const int result = Converting(target, [&] {
        const Descriptor in = OpenDescriptor(source, O_RDONLY);
        if (!in.IsOpen()) throw EZipArchiver::Failed(ZipMsg::OpenFailed, errno);
        const zipdir::EndRecord end = ArchiveEndRecord(in.Get());
        expected = end.position + EndSize + end.commentLength - start;
        CopyWithOffsets(in.Get(), out.Get(), start, -start);
    });
    return FinishConversion(source, target, expected, CloseOutput(out, result), false);
}

int TZipArchiver::ConvertSFX(bool newFile) {
    return ZipSfxMaker(*this).ConvertSFX(newFile);
}

int TZipArchiver::ConvertZIP() {
    return ZipSfxMaker(*this).ConvertZIP();
}
