// Add, Extract and Delete through the engine libraries; the engine callback; passwords.
#include "engines/EngineApi.h"
#include "platform/Descriptor.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipEngines.h"
#include "zip/ZipUi.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <shared_mutex>

namespace {

// Copies of the file specs that live as long as the engine call, whatever an event handler
// does to FSpecArgs meanwhile.
template <typename Spec>
struct SpecArray {
    explicit SpecArray(const std::vector<std::string>& lines) : texts(lines), specs(lines.size()) {
        for (std::size_t i = 0; i < texts.size(); ++i) specs[i].FileSpec = texts[i].c_str();
    }
    std::vector<std::string> texts;
    std::vector<Spec> specs;
};

const char* OrNull(const std::string& s) {
    return s.empty() ? nullptr : s.c_str();
}

// The engine's text without trailing blanks and control characters.
std::string TrimmedMessage(const char* text) {
    std::string s(text, strnlen(text, ZCALLBACK_TEXT_SIZE));
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
    return s;
}

}  // namespace

// ---- The callback ---------------------------------------------------------------------------

std::int32_t ZCallback(ZCallBackStruct* info) {
    if (!info || !info->Caller) return 0;
    return static_cast<TZipArchiver*>(info->Caller)->HandleCallback(*info);
}

std::int32_t TZipArchiver::HandleCallback(const ZCallBackStruct& info) {
    // An exception must not unwind through the engine: it stops the engine and is reported
    // once the call has returned.
    try {
        std::string text(info.FileNameOrMsg, strnlen(info.FileNameOrMsg, ZCALLBACK_TEXT_SIZE));
        switch (info.ActionCode) {
            case ZACTION_FILE_BEGIN:
                FireProgress(ptFileBegin, text, info.FileSize);
                break;
            case ZACTION_BYTES_DONE:
                FireProgress(ptBytesDone, "", info.FileSize);
                break;
            case ZACTION_BATCH_END:
                FireProgress(ptBatchEnd, "", 0);
                break;
            case ZACTION_FILE_COUNT:
                FireProgress(ptFileCount, "", info.FileSize);
                break;
            case ZACTION_BYTE_COUNT:
                FireProgress(ptByteCount, "", info.FileSize);
                break;
            case ZACTION_MESSAGE: {
                lastMessage_ = TrimmedMessage(info.FileNameOrMsg);
                if (info.ErrorCode != 0) lastErrorId_ = static_cast<std::int8_t>(info.ErrorCode & 0xFF);
                FireMessage(info.ErrorCode, lastMessage_);
                break;
            }
            default:
                break;
        }
        Ui().ProcessMessages();
        // A call that may only delete what an archive holds stops before writing anything.
        if (heldOnly_ && info.ActionCode == ZACTION_FILE_BEGIN) return 1;
    } catch (...) {
        if (!callbackError_) callbackError_ = std::current_exception();
        return 1;
    }
    return CancelRequested || callbackError_ ? 1 : 0;
}

namespace {

// The fields both command records share: zero-filled, then caller, version, callback, trace,
// verbosity, password, archive name, file specs and the closing marker.
template <typename Record, typename Spec>
void FillShared(Record& rec, TZipArchiver* caller, std::int32_t version, const std::string& password,
                const std::string& name, const SpecArray<Spec>& specs) {
    std::memset(&rec, 0, sizeof rec);
    rec.Caller = caller;
    rec.Version = version;
    rec.Callback = ZCallback;
    rec.TraceEnabled = caller->Trace;
    rec.Verbose = caller->Verbose || caller->Trace;
    rec.Quiet = 1;
    rec.Password = password.c_str();
    rec.FileSpecCount = static_cast<std::int32_t>(specs.specs.size());
    rec.ZipFileName = name.c_str();
    rec.FileSpecs = specs.specs.data();
    rec.Seven = ENGINE_RECORD_MARKER;
}

}  // namespace

void TZipArchiver::RethrowCallbackError() {
    if (!callbackError_) return;
    std::exception_ptr e = callbackError_;
    callbackError_ = nullptr;
    std::rethrow_exception(e);
}

// ---- Engine calls ---------------------------------------------------------------------------

void TZipArchiver::ClearResult() {
    lastErrorId_ = 0;
    successCount_ = 0;
    lastMessage_.clear();
}

void TZipArchiver::RunZipEngine(const std::string& archive, AddOpts options, bool deleting) {
    const std::int32_t version = ZipVersionEntry()();
    if (version < ZIP_ENGINE_MIN_CURRENT_LAYOUT) {
        ShowZipMessage(ZipMsg::ZipTooOld, std::to_string(version));
        return;
    }
    const std::string password = Password, tempDir = TempDir, name = archive;
    SpecArray<ZipExecFileSpec> specs(FSpecArgs);
    ZipExecRecord rec;
    FillShared(rec, this, ZIP_ENGINE_VERSION, password, name, specs);
    rec.CodePage = static_cast<std::int16_t>(CodePage);
    rec.Encrypt = options.Has(AddEncrypt);
    rec.IncludeHidden = options.Has(AddHiddenFiles);
    rec.NoDirEntries = !options.Has(AddSeparateDirs);
    rec.Level = AddCompLevel;
    rec.JunkDirs = !options.Has(AddDirNames);
    rec.Recurse = options.Has(AddRecurseDirs);
    rec.Grow = 1;
    rec.ForceDOS = options.Has(AddForceDOS);
    rec.Move = options.Has(AddMove);
    rec.Update = options.Has(AddUpdate);
    rec.Freshen = options.Has(AddFreshen) && !options.Has(AddUpdate);
    rec.LatestTime = options.Has(AddZipTime);
    rec.TempDir = OrNull(tempDir);
    if (deleting) {
        rec.DeleteEntries = 1;
        rec.Encrypt = rec.JunkDirs = rec.Recurse = rec.Grow = rec.Move = rec.Update = rec.Freshen = 0;
    }
    callbackError_ = nullptr;
    {
        // Relative names are found from the current folder: it stays put while the engine runs.
        const std::shared_lock folderKept(CurrentFolderLock());
        successCount_ = ZipExecEntry()(&rec);
    }
    RethrowCallbackError();
}

void TZipArchiver::RunUnzEngine(const std::string& archive) {
    const std::int32_t version = UnzVersionEntry()();
    if (version < UNZ_ENGINE_MIN_CURRENT_LAYOUT) {
        ShowZipMessage(ZipMsg::UnzTooOld, std::to_string(version));
        return;
    }
    const std::string password = Password, name = archive;
    SpecArray<UnzExecFileSpec> specs(FSpecArgs);
    UnzExecRecord rec;
    FillShared(rec, this, UNZ_ENGINE_VERSION, password, name, specs);
    rec.CodePage = static_cast<std::int16_t>(CodePage);
    rec.Test = ExtrOptions.Has(ExtrTest);
    rec.Update = ExtrOptions.Has(ExtrUpdate);
    rec.Freshen = ExtrOptions.Has(ExtrFreshen) && !ExtrOptions.Has(ExtrUpdate);
    rec.Directories = ExtrOptions.Has(ExtrDirNames);
    rec.OverWrite = ExtrOptions.Has(ExtrOverWrite);
    callbackError_ = nullptr;
    successCount_ = UnzExecEntry()(&rec);
    RethrowCallbackError();
}

// A fresh name for a temporary archive in TempDir (or the system's temporary folder).
bool TZipArchiver::MakeTempArchiveName(std::string& name) {
    std::error_code ec;
    std::string folder = TempDir.empty() ? std::filesystem::temp_directory_path(ec).string() : TempDir;
    std::string pattern = JoinPath(folder, "zipXXXXXX.zip");
    if (!Descriptor(mkstemps(pattern.data(), 4)).IsOpen()) return false;
    // The engine creates the archive itself; the empty file only reserved the name.
    DeleteFile(pattern);
    name = pattern;
    return true;
}

// ---- Add ------------------------------------------------------------------------------------

void TZipArchiver::Add() {
    ClearResult();
    if (FSpecArgs.empty()) return ShowZipMessage(ZipMsg::NoFilesToZip);
    if (zipFileName_.empty()) return ShowZipMessage(ZipMsg::NoZipSpecified);
    if (Unattended && AddOptions.Has(AddEncrypt) && Password.empty())
        return ShowZipMessage(ZipMsg::UnattendedNoPassword);
    if (addBusy_) return;
    CancelRequested = false;

    const bool exe = EqualsNoCase(ExtensionPart(zipFileName_), ".exe");
    const bool spanning = AddOptions.Has(AddDiskSpan) || AddOptions.Has(AddDiskSpanErase);
    // A self-extractor made for this call goes again unless the call added something.
    std::string madeExe;
    struct RemoveUnlessAdded {
        const std::string& path;
        const std::int32_t& added;
        ~RemoveUnlessAdded() {
            if (!path.empty() && added <= 0) DeleteFile(path);
        }
    } cleanUp{madeExe, successCount_};
    if (exe && zipDataOffset_ == 0 && !FileExists(zipFileName_)) {
        if (ConvertSFX(true) != 0) return;
        madeExe = zipFileName_;
    }

    ZipEngineLease lease(*this, EngineKind::Zip);
    if (!lease.Loaded()) return;
    std::string target = zipFileName_;
    if (spanning) {
        if (AddOptions.Has(AddFreshen) || AddOptions.Has(AddUpdate))
            return ShowZipMessage(ZipMsg::SpanFreshenUpdate);
        if (exe) return ShowZipMessage(ZipMsg::SfxNoSpan);
        if (!MakeTempArchiveName(target))
            return ShowExceptionError(EZipArchiver::Failed(ZipMsg::TempFileFailed, errno));
        if (Verbose) FireMessage(0, "Temporary zipfile: " + target);
    }

    addBusy_ = true;
    try {
        // Spanning keeps the sources until every volume is written.
        RunZipEngine(target, spanning ? AddOpts(AddOptions).Exclude(AddMove) : AddOptions, false);
        if (spanning) {
            if (successCount_ != 0 && WriteSpan(target, zipFileName_) != 0) successCount_ = 0;
            if (successCount_ != 0 && AddOptions.Has(AddMove)) MoveSpannedSources(target);
            DeleteFile(target);
        }
    } catch (...) {
        ShowZipMessage(ZipMsg::FatalZip);
    }
    FSpecArgs.clear();
    lease.Release();
    CancelRequested = false;
    addBusy_ = false;
    if (successCount_ > 0) List();
}

// The engine is asked again for the same files, freshening the temporary archive that was
// split: every file it holds up to date is deleted. A file changed since it was packed would
// have to be written again, so the call stops and every source stays.
void TZipArchiver::MoveSpannedSources(const std::string& temp) {
    struct Restore {
        TZipArchiver& zip;
        std::int32_t added;
        ~Restore() {
            zip.heldOnly_ = false;
            zip.successCount_ = added;
        }
    } restore{*this, successCount_};
    heldOnly_ = true;
    RunZipEngine(temp, AddOpts(AddOptions).Include(AddFreshen), false);
}

// ---- Extract --------------------------------------------------------------------------------

void TZipArchiver::Extract() {
    ClearResult();
    if (zipFileName_.empty() || !FileExists(zipFileName_)) return ShowZipMessage(ZipMsg::NoZipSpecified);
    CancelRequested = false;
    if (extractBusy_) return;
    if (Unattended && AddOptions.Has(AddEncrypt) && Password.empty()) {
        // A password no one types keeps the engine from waiting for one.
        Password = std::string(79, '*');
        ShowZipMessage(ZipMsg::WarnUnattendedExtract);
    }

    ZipEngineLease lease(*this, EngineKind::Unz);
    if (!lease.Loaded()) return;
    // The engine is given a full path: the current folder changes below.
    std::string source = AbsolutePath(zipFileName_);
    std::string joined;
    if (lastDiskNumber_ > 0) {
        std::error_code ec;
        joined = TempDir.empty() ? std::filesystem::temp_directory_path(ec).string() : TempDir;
        if (ReadSpan(zipFileName_, joined) != 0 || joined.empty()) return;
        source = AbsolutePath(joined);
    }

    // The engine writes below the current folder: a base folder that cannot be made current
    // would leave the members in whatever folder that happens to be. No other thread's engine
    // runs while the folder is changed.
    const std::unique_lock folderHeld(CurrentFolderLock());
    const std::string oldFolder = CurrentFolder();
    if (!ExtrBaseDir.empty() && !SetCurrentFolder(ExtrBaseDir)) {
        if (!joined.empty()) DeleteFile(source);
        return ShowZipMessage(ZipMsg::ExtractFolderUnusable, ExtrBaseDir);
    }
    extractBusy_ = true;
    try {
        RunUnzEngine(source);
    } catch (...) {
        ShowZipMessage(ZipMsg::FatalUnz);
    }
    if (!joined.empty()) DeleteFile(source);
    SetCurrentFolder(oldFolder);
    FSpecArgs.clear();
    lease.Release();
    CancelRequested = false;
    extractBusy_ = false;
}

// ---- Delete ---------------------------------------------------------------------------------

void TZipArchiver::Delete() {
    ClearResult();
    if (FSpecArgs.empty()) return ShowZipMessage(ZipMsg::NoFilesToDelete);
    if (zipFileName_.empty() || !FileExists(zipFileName_)) return ShowZipMessage(ZipMsg::NoZipSpecified);
    if (addBusy_) return;
    CancelRequested = false;

    ZipEngineLease lease(*this, EngineKind::Zip);
    if (!lease.Loaded()) return;
    addBusy_ = true;
    try {
        RunZipEngine(zipFileName_, AddOptions, true);
    } catch (...) {
        ShowZipMessage(ZipMsg::FatalZip);
    }
    FSpecArgs.clear();
    lease.Release();
    addBusy_ = false;
    if (successCount_ > 0) List();
}

// ---- Passwords ------------------------------------------------------------------------------

std::string TZipArchiver::GetPassword(const std::string& prompt) {
    std::string answer;
    if (!Ui().InputBox("Password", prompt, answer, true)) return {};
    return answer.size() > 80 ? std::string() : answer;
}

void TZipArchiver::GetExtrPassword() {
    if (Unattended) return ShowZipMessage(ZipMsg::NoExtrPassword);
    Password = GetPassword("Enter Password");
}

void TZipArchiver::GetAddPassword() {
    if (Unattended) return ShowZipMessage(ZipMsg::NoAddPassword);
    Password.clear();
    std::string first = GetPassword("Enter Password for New Archive");
    if (first.empty()) return;
    std::string second = GetPassword("Confirm Password");
    if (second.empty()) return;
    if (first != second) return ShowZipMessage(ZipMsg::PasswordMismatch);
    Password = first;
}
