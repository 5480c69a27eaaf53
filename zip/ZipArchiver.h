#pragma once
/*
 * TZipArchiver: the zip archive component. It reads an archive's central directory itself
 * (List) and drives the two engine libraries (libzipengine.so, libunzengine.so) to add,
 * extract and delete. Every failure is a numbered message: a box through the ZipUi seam
 * (unless Unattended), LastErrorId / LastMessage, and the OnMessage event. Nothing raises to
 * the caller.
 *
 * Sources: ZipArchiver.cpp (properties, messages, List), ZipCommands.cpp (Add, Extract,
 * Delete, passwords, the engine callback), ZipEngines.cpp (loading the engines),
 * ZipMessages.cpp (the message catalogue), ZipUi.cpp (the seam and its silent form),
 * QtZipUi.cpp (the Qt form, in tarnwick_gui).
 *
 * Paths use '/'. Member names keep zip's own separator '/', which is this platform's
 * separator, so the "turn the zip separator into the path separator" step changes nothing.
 *
 * ---- Spanning and self-extracting archives (zip/ZipSpan.cpp, zip/ZipSfx.cpp) ----
 * The members of the "spanning and self-extracting" section below are defined there: Add makes
 * a new ".exe" archive with ConvertSFX(true) and splits with WriteSpan; Extract joins a set with
 * ReadSpan; List asks for another disk of a set with GetNewDisk. Every reader of an archive's
 * records (List, spanning, the self-extractor conversions) goes through ZipDirectory.h.
 */
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/Descriptor.h"
#include "zip/ZipDirectory.h"

class TZipArchiver;
class ZipUi;
struct ZCallBackStruct;

// ---- Option sets: member n is bit n -------------------------------------------------------

enum AddOptsEnum {
    AddDirNames,
    AddRecurseDirs,
    AddMove,
    AddFreshen,
    AddUpdate,
    AddZipTime,
    AddForceDOS,
    AddHiddenFiles,
    AddEncrypt,
    AddSeparateDirs,
    AddDiskSpan,
    AddDiskSpanErase
};
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
enum SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize };
enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum CPOpts { cpAUTO, cpNone, cpOEM };
enum DeleteOpts { htdFinal, htdAllowUndo };
enum ProgressType { ptFileBegin = 0, ptBytesDone = 1, ptBatchEnd = 2, ptFileCount = 3, ptByteCount = 4 };

// A set of enumeration members (Delphi's "set of"): AddOptions = {AddDirNames, AddMove}.
template <typename E>
class ZipOptionSet {
public:
    constexpr ZipOptionSet() = default;
    constexpr ZipOptionSet(std::initializer_list<E> members) {
        for (E m : members) bits_ |= Bit(m);
    }
    constexpr bool Has(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr ZipOptionSet& Include(E m) {
        bits_ |= Bit(m);
        return *this;
    }
    constexpr ZipOptionSet& Exclude(E m) {
        bits_ &= ~Bit(m);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr std::uint32_t Bits() const { return bits_; }
    constexpr bool operator==(const ZipOptionSet&) const = default;

private:
    static constexpr std::uint32_t Bit(E m) { return 1u << static_cast<unsigned>(m); }
    std::uint32_t bits_ = 0;
};
using AddOpts = ZipOptionSet<AddOptsEnum>;
using ExtrOpts = ZipOptionSet<ExtrOptsEnum>;
using SFXOpts = ZipOptionSet<SFXOptsEnum>;

// A size setting that keeps its value when given one below Least.
template <std::int32_t Least>
class ZipSizeSetting {
public:
    constexpr explicit ZipSizeSetting(std::int32_t value) : value_(value) {}
    constexpr ZipSizeSetting& operator=(std::int32_t value) {
        if (value >= Least) value_ = value;
        return *this;
    }
    constexpr operator std::int32_t() const { return value_; }

private:
    std::int32_t value_;
};

// ---- Messages -------------------------------------------------------------------------------

// Every id of the message catalogue. Texts: LoadZipStr / ZipMessageText (ZipMessages.cpp).
namespace ZipMsg {
enum : int {
    FatalZip = 10101,
    NoZipSpecified = 10102,
    NoMemory = 10103,
    PasswordMismatch = 10104,
    Copying = 10105,
    NoAddPassword = 10150,
    NoExtrPassword = 10151,
    SeekError = 10201,
    ListUnknown = 10202,
    WarnStructure = 10203,
    WarnGarbage = 10204,
    NoFilesToZip = 10301,
    UnattendedNoPassword = 10302,
    SpanFreshenUpdate = 10303,
    NoFilesToDelete = 10401,
    FatalUnz = 10501,
    WarnUnattendedExtract = 10502,
    ExtractFolderUnusable = 10503,
    ZipLoaded = 10601,
    ZipExecMissing = 10602,
    ZipVersionMissing = 10603,
    ZipNotFound = 10604,
    ZipTooOld = 10605,
    UnzLoaded = 10701,
    UnzExecMissing = 10702,
    UnzVersionMissing = 10703,
    UnzNotFound = 10704,
    UnzTooOld = 10705,
    SfxStringsTooLong = 10801,
    SfxStubMissing = 10802,
    SfxNotZip = 10803,
    NoExeSpecified = 10901,
    NotExe = 10902,
    SfxTypeUnknown = 10903,
    InputMissing = 11001,
    OpenFailed = 11002,
    InvalidDrive = 11003,
    DriveNotDefined = 11004,
    LabelNotSet = 11005,
    NoMemoryForBox = 11006,
    UserCanceled = 11007,
    InputSeek = 11008,
    CreateOutput = 11009,
    WriteOutput = 11010,
    ReadEndOfCentral = 11011,
    ReadLocalHeader = 11012,
    ReadCentralHeader = 11013,
    LocalSignature = 11014,
    CentralSignature = 11015,
    ReadLocalName = 11016,
    ReadCentralName = 11017,
    ReadLocalExtra = 11018,
    ReadCentralExtra = 11019,
    DataDescriptor = 11020,
    ReadZippedData = 11021,
    ReadFileComment = 11022,
    ReadArchiveComment = 11023,
    SpanUnknown = 11024,
    UnattendedSpan = 11025,
    LocalHeaderNotFound = 11026,
    TempFileFailed = 11027,
    WriteLocalHeader = 11028,
    WriteCentralHeader = 11029,
    WriteEndOfCentral = 11030,
    ReadExtendedLocal = 11031,
    NotEnoughSpace = 11032,
    InsertLastDisk = 11033,
    InsertVolumeOf = 11034,
    InDrive = 11035,
    NotValidZip = 11036,
    FirstDiskOfSet = 11037,
    NthDiskOfSet = 11038,
    FileExistsOverwrite = 11039,
    PreviousDisk = 11040,
    SfxNoSpan = 11041,
    CopyCentralName = 11042,
    SkipEndOfCentral = 11043,
    CopyArchiveComment = 11044,
    FirstFileOfSet = 11045,
    InsertVolume = 11046,
    CentralDirectory = 11047
};
}  // namespace ZipMsg

// The catalogue text of an id; empty when the id has none.
std::string LoadZipStr(int id);
// The text of an id, or the missing-text message naming the id.
std::string ZipMessageText(int id);
// The text of an id used as a format: each %s / %d / %.1d takes the next value in order.
std::string FormatZipStr(int id, const std::vector<std::string>& values);
std::string FormatZipStr(int id, std::int64_t value);
std::string FormatZipStr(int id, std::int64_t first, std::int64_t second);
std::string FormatZipStr(int id, const std::string& value);

// A failure inside List or the spanning code; reported by ShowExceptionError where caught.
class EZipArchiver : public std::exception {
public:
    EZipArchiver(int id, bool display);              // the id's text
    EZipArchiver(int id, std::int64_t value);        // the id's text as format, display on
    EZipArchiver(int id, const std::string& value);  // the id's text as format, display on
    EZipArchiver(int id, const char* value) : EZipArchiver(id, std::string(value)) {}
    // The message of a record the directory reader could not read, display on.
    explicit EZipArchiver(const zipdir::ReadError& e);
    // A ready text (two-number formats, texts with an appended part).
    static EZipArchiver WithText(int id, std::string text, bool display);
    // The id's text, display on, for a system call that failed with error: its text is the Reason.
    static EZipArchiver Failed(int id, int error);

    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
    bool DisplayMsg = true;
    int Id = 0;
    // The system's text for the failure behind it; OnMessage gets it after Message, a box never.
    std::string Reason;

private:
    EZipArchiver() = default;
};

// ---- Directory records ----------------------------------------------------------------------

// One entry of the central directory: the 42 header bytes after the signature, decoded, the
// name after the CodePage rule, and the entry comment after the CodePage rule.
struct ZipDirEntry {
    static constexpr int HeaderSize = 42;
    unsigned char HeaderBytes[HeaderSize] = {};  // byte copy, little-endian as stored

    std::uint16_t VersionMadeBy = 0;  // low byte: version; high byte: host system
    std::uint16_t VersionNeeded = 0;
    std::uint16_t GeneralFlags = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint16_t ModTime = 0;  // DOS time
    std::uint16_t ModDate = 0;  // DOS date
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    std::uint16_t FileCommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint32_t LocalHeaderOffset = 0;

    // The values shown and used: zip64's where a field above holds all ones, else the same.
    std::uint64_t CompressedSize64 = 0;
    std::uint64_t UncompressedSize64 = 0;
    std::uint64_t LocalHeaderOffset64 = 0;
    std::uint32_t DiskNumberStart32 = 0;

    std::string FileName;
    std::string FileComment;

    // Fills the decoded fields from 42 header bytes.
    void SetHeader(const unsigned char* bytes);
};

// The 22-byte end-of-central-directory record, read unchanged.
struct ZipEndOfCentral {
    static constexpr std::uint32_t Signature = 0x06054b50;
    static constexpr int Size = 22;
    std::uint32_t HeaderSig = 0;
    std::uint16_t ThisDiskNo = 0;
    std::uint16_t CentralDiskNo = 0;
    std::uint16_t CentralEntriesThisDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralSize = 0;
    std::uint32_t CentralOffset = 0;
    std::uint16_t ZipCommentLen = 0;

    // Decodes 22 bytes.
    static ZipEndOfCentral FromBytes(const unsigned char* bytes);
    // Encodes into 22 bytes.
    void ToBytes(unsigned char* bytes) const;
};

// What the drive check learns of a path's drive.
struct ZipDriveInfo {
    std::string drive;  // its root, ending in '/'
    std::string volumeName;
    std::uint32_t volumeSerial = 0;
    std::int64_t freeOnDisk = -1;
    std::int64_t sizeOfDisk = -1;
};
// The drive check: raises 11003 for a path without a root, 11004 when the drive or its disk is
// missing; a blank disk (no volume to read) counts as present only when it is to be formatted.
ZipDriveInfo CheckZipDrive(const std::string& path, bool blankDiskAllowed);

// ---- The component --------------------------------------------------------------------------

class TZipArchiver {
public:
    using TProgressEvent = std::function<void(TZipArchiver* Sender, ProgressType ProgrType,
                                              const std::string& FileName, std::int32_t FileSize)>;
    using TMessageEvent = std::function<void(TZipArchiver* Sender, int ErrCode, const std::string& Message)>;
    using TNotifyEvent = std::function<void(TZipArchiver* Sender)>;

    TZipArchiver();
    ~TZipArchiver();  // frees the directory; does not unload the engines
    TZipArchiver(const TZipArchiver&) = delete;
    TZipArchiver& operator=(const TZipArchiver&) = delete;

    // ---- Published properties (defaults of a new component) ----
    bool Verbose = false;
    bool Trace = false;
    std::int32_t AddCompLevel = 9;
    AddOpts AddOptions;
    ExtrOpts ExtrOptions;
    SFXOpts SFXOptions{SFXCheckSize};
    std::string ExtrBaseDir;
    // File names or masks for the next Add, Extract or Delete (an owned copy of the lines).
    std::vector<std::string> FSpecArgs;
    void SetFSpecArgs(const std::vector<std::string>& lines) { FSpecArgs = lines; }
    std::string Password;
    std::string SFXPath;
    OvrOpts SFXOverWriteMode = OvrConfirm;
    std::string SFXCaption = "Self-extracting Archive";
    std::string SFXDefaultDir;
    std::string SFXCommandLine;
    std::string TempDir;
    ZipSizeSetting<0> KeepFreeOnDisk1{0};        // a negative value is ignored
    ZipSizeSetting<0> MaxVolumeSize{0};          // a negative value is ignored
    ZipSizeSetting<1> MinFreeVolumeSize{65536};  // 0 or less is ignored
    bool ConfirmErase = true;
    bool Unattended = false;
    CPOpts CodePage = cpAUTO;
    DeleteOpts HowToDelete = htdAllowUndo;

    // The archive path; assigning it lists the archive at once.
    const std::string& ZipFileName() const { return zipFileName_; }
    void SetFileName(const std::string& name);
    // Folder searched first for the engines; a new value loses one trailing '/'.
    const std::string& DLLDirectory() const { return dllDirectory_; }
    void SetDLLDirectory(const std::string& folder);
    // Always "1.52 L"; assigning is ignored.
    std::string VersionInfo() const { return "1.52 L"; }
    void SetVersionInfo(const std::string&) {}

    // ---- Events (fire on the caller's thread; an empty one is skipped) ----
    TProgressEvent OnProgress;
    TMessageEvent OnMessage;
    TNotifyEvent OnDirUpdate;  // after every List

    // ---- Run-time state ----
    const std::vector<ZipDirEntry>& DirEntries() const { return dirEntries_; }
    std::int32_t GetCount() const;  // 0 whenever ZipFileName is empty
    std::int32_t ArchiveFileSize() const { return archiveFileSize_; }
    std::int32_t ZipDataOffset() const { return zipDataOffset_; }
    std::int32_t CentralDirOffset() const { return centralDirOffset_; }
    std::uint16_t LastDiskNumber() const { return lastDiskNumber_; }
    bool SpannedSet() const { return spannedSet_; }
    bool AddBusy() const { return addBusy_; }
    bool ExtractBusy() const { return extractBusy_; }
    // Set by a user to stop the running engine; the next callback returns it to the engine.
    bool CancelRequested = false;
    std::int32_t LastErrorId() const { return lastErrorId_; }
    const std::string& LastMessage() const { return lastMessage_; }
    std::int32_t SuccessCount() const { return successCount_; }

    // ---- Operations (no arguments, no result: read the state afterwards) ----
    void List();
    std::string GetZipComment() const;  // converted by the CodePage rule
    void Add();
    void Extract();
    void Delete();
    std::int32_t GetZipVers();
    std::int32_t GetUnzVers();
    void GetAddPassword();
    void GetExtrPassword();
    void Load_Zip_Dll();
    void Load_Unz_Dll();
    void Unload_Zip_Dll();
    void Unload_Unz_Dll();

    // ---- Reporting ----
    // The id's text followed by extra: LastErrorId, LastMessage, a box unless Unattended,
    // then OnMessage with error code 0.
    void ShowZipMessage(int id, const std::string& extra = "");
    // A box with the exception's text when its display flag is set and not Unattended;
    // LastErrorId, LastMessage, OnMessage with error code 0 (the text and then the reason).
    void ShowExceptionError(const EZipArchiver& e);
    // A box's text: while an archive is listed, its name follows on a second line, so a damaged
    // archive met during other work (a launch, a scan) is named; the messages keep their text.
    std::string BoxText(const std::string& message) const;
    // The CodePage rule applied to a name or comment of an entry made by host / version.
    std::string ConvertOem2Iso(const std::string& text, int hostNum, int hostVer) const;

    // The seam for boxes, message pumping and the cursor: the one given to this component, or
    // the process-wide one (CurrentZipUi).
    ZipUi& Ui() const;
    void SetUi(ZipUi* ui) { ui_ = ui; }

    // ---- Spanning and self-extracting (ZipSpan.cpp / ZipSfx.cpp, see the top of this file) ----
    int ConvertSFX(bool newFile = false);
    int ConvertZIP();
    int WriteSpan(const std::string& inFileName, const std::string& outFileName);
    int ReadSpan(const std::string& inFileName, std::string& outFilePath);
    void GetNewDisk(int diskSeq);

    // ---- Shared with the spanning code ----
    // The end-record search of ZipFileName; failures raise EZipArchiver. Sets archiveFileSize_,
    // archiveEnd_, zipComment_, and spannedSet_ for a first disk; leaves inFile_ open.
    zipdir::EndRecord OpenEOC();
    // The drive check of a path's drive: raises 11003 / 11004; keeps drive_, volumeName_,
    // volumeSerial_, freeOnDisk_, sizeOfDisk_.
    void CheckDrive(const std::string& path);
    // Closes inFile_ when open.
    void CloseInFile();

private:
    friend std::int32_t ZCallback(ZCallBackStruct* info);

    void FreeZipDirEntryRecords();
    void ResetListing();
    void ListArchive();
    void ListCentralDirectory(const zipdir::EndRecord& end, std::int64_t expectedPos);
    bool HoldsWholeArchive(const zipdir::EndRecord& end) const;
    ZipDirEntry DirEntryOf(const zipdir::CentralEntry& central);
    bool ConvertsNames(int hostNum, int hostVer) const;
    bool IsZeroFiller(const zipdir::ZipFile& file, std::int64_t from) const;
    void SetMessage(int id, const std::string& text);
    void ClearResult();
    void FireProgress(ProgressType type, const std::string& name, std::int32_t size);
    void FireMessage(int errCode, const std::string& text);
    std::int32_t HandleCallback(const ZCallBackStruct& info);
    bool MakeTempArchiveName(std::string& name);
    // Runs the zip engine with the record built from options (AddOptions, or a variant).
    void RunZipEngine(const std::string& archive, AddOpts options, bool deleting);
    void MoveSpannedSources(const std::string& temp);
    void RunUnzEngine(const std::string& archive);
    void RethrowCallbackError();
    std::string GetPassword(const std::string& prompt);

    std::string zipFileName_;
    bool listing_ = false;  // List is at work: boxes name the archive
    std::string dllDirectory_;
    std::vector<ZipDirEntry> dirEntries_;
    std::int32_t archiveFileSize_ = 0;
    std::int32_t zipDataOffset_ = 0;
    std::int32_t centralDirOffset_ = 0;
    std::uint16_t lastDiskNumber_ = 0;
    bool spannedSet_ = false;
    bool addBusy_ = false;
    bool extractBusy_ = false;
    std::int32_t lastErrorId_ = 0;
    std::string lastMessage_;
    std::int32_t successCount_ = 0;
    std::string zipComment_;  // raw, as read
    int hostNum_ = 0;         // host-system and version bytes of the last listed entry
    int hostVer_ = 0;
    ZipUi* ui_ = nullptr;
    bool zipHeld_ = false;  // this instance holds a reference on a loaded engine
    bool unzHeld_ = false;
    std::exception_ptr callbackError_;  // an exception thrown by an event during an engine call
    bool heldOnly_ = false;             // the running add may delete sources the archive holds, write nothing

    // ---- State of the end-record search and the drive check (the spanning code keeps its own) ----
    std::int64_t archiveEnd_ = 0;  // where the archive ends in its file
    std::string drive_;            // drive root of the archive, ending in '/'
    int diskNr_ = 0;               // the volume of a set that List reads
    std::int64_t freeOnDisk_ = 0;
    std::int64_t sizeOfDisk_ = 0;
    std::string volumeName_;
    std::uint32_t volumeSerial_ = 0;
    Descriptor inFile_;
};
