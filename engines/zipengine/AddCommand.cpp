#include "engines/zipengine/AddCommand.h"

#include "engines/common/Archive.h"
#include "engines/common/Names.h"
#include "platform/Process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr uint32_t kDosReadOnly = 0x01, kDosFolder = 0x10, kDosArchive = 0x20;
constexpr zip_uint16_t kExtendedTimestampField = 0x5455, kOldUnixField = 0x5855, kNtfsField = 0x000a;

bool Flag(int32_t value) {
    return value != 0;
}
}  // namespace

AddCommand::AddCommand(const ZipExecRecord& record, EngineReporter& reporter)
    : record_(record),
      reporter_(reporter),
      archivePath_(record.ZipFileName),
      password_(HasText(record.Password) ? record.Password : ""),
      level_(std::clamp(record.Level, 0, 9)) {}

int32_t AddCommand::run() {
    if (Flag(record_.Encrypt) && password_.empty()) {
        reporter_.error(ZERR_PASSWORD, "no password given for encrypting " + archivePath_);
        return 0;
    }
    AddList list(listOptions(), reporter_);
    if (!collect(list)) return 0;
    zip_t* archive = OpenArchive(archivePath_, ZIP_CREATE, reporter_);
    if (archive == nullptr) return 0;
    std::vector<const AddItem*> chosen = plan(archive, list.items());
    std::set<zip_uint64_t> fresh;
    if (!stage(archive, chosen, fresh)) return 0;
    RewriteProgress rewrite(archive, fresh, reporter_);
    reportTotals(chosen, rewrite.copiedBytes());
    if (!CommitArchive(archive, archivePath_, rewrite, reporter_)) return 0;
    finish(chosen);
    return static_cast<int32_t>(chosen.size());
}

AddListOptions AddCommand::listOptions() const {
    AddListOptions options;
    options.keepFolders = !Flag(record_.JunkDirs);
    options.recurse = Flag(record_.Recurse);
    options.includeHidden = Flag(record_.IncludeHidden);
    options.forceDos = Flag(record_.ForceDOS);
    options.folderEntries = !Flag(record_.NoDirEntries);
    return options;
}

// The files added and every byte the archive's writing handles: the files read and the
// members kept, which are copied from the old archive.
void AddCommand::reportTotals(const std::vector<const AddItem*>& chosen, int64_t copied) {
    int64_t files = 0, bytes = copied;
    for (const AddItem* item : chosen)
        if (!item->isFolder) ++files, bytes += item->size;
    reporter_.fileCount(files);
    reporter_.byteCount(bytes);
    if (chosen.empty())
        reporter_.message(ZERR_NONE, "nothing to add to " + archivePath_ + ": every file is up to date");
}

// What follows a written archive: sources moved, the archive's time, the summary.
void AddCommand::finish(const std::vector<const AddItem*>& chosen) {
    if (Flag(record_.Move)) removeSources();
    if (Flag(record_.LatestTime)) setArchiveTime();
    if (Flag(record_.Verbose) || Flag(record_.TraceEnabled))
        reporter_.message(ZERR_NONE, std::to_string(chosen.size()) + " entries written to " + archivePath_);
}

bool AddCommand::collect(AddList& list) {
    list.exclude(archivePath_);
    for (const auto& spec : SpecTexts(record_.FileSpecs, record_.FileSpecCount)) {
        if (reporter_.stopped()) return false;
        if (!list.addSpec(spec)) reporter_.message(ZERR_NONE, "name not matched: " + spec);
    }
    if (list.items().empty()) {
        reporter_.error(ZERR_NOTHING_TO_DO, "nothing to do: no files found to add to " + archivePath_);
        return false;
    }
    return !reporter_.stopped();
}

std::vector<const AddItem*> AddCommand::plan(zip_t* archive, const std::vector<AddItem>& items) {
    std::vector<const AddItem*> chosen;
    for (const AddItem& item : items) {
        Fate fate = fateOf(archive, item);
        if (fate == Fate::Write) chosen.push_back(&item);
        if (fate != Fate::Skip) moving_.push_back(&item);
    }
    return chosen;
}

// Freshen replaces older members only; update adds new files as well; a plain add takes
// every file, replacing members of the same name. A file the archive already holds up to
// date is held: a move deletes it too, as Info-ZIP's does.
AddCommand::Fate AddCommand::fateOf(zip_t* archive, const AddItem& item) {
    // Stored bytes first (names from this system), then names read as libzip guesses them.
    zip_int64_t index = zip_name_locate(archive, item.storedName.c_str(), ZIP_FL_ENC_RAW);
    if (index < 0) index = zip_name_locate(archive, item.storedName.c_str(), 0);
    if (index < 0) return Flag(record_.Freshen) ? Fate::Skip : Fate::Write;
    if (item.isFolder) return Fate::Held;
    if (!Flag(record_.Freshen) && !Flag(record_.Update)) return Fate::Write;
    zip_stat_t st;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &st) != 0) return Fate::Write;
    bool newer = FileNewerThanMember(item.mtime, ReadMemberTime(archive, zip_uint64_t(index), st));
    return newer ? Fate::Write : Fate::Held;
}

bool AddCommand::stage(zip_t* archive, const std::vector<const AddItem*>& chosen,
                       std::set<zip_uint64_t>& fresh) {
    for (const AddItem* item : chosen) {
        zip_int64_t index = item->isFolder ? stageFolder(archive, *item) : stageFile(archive, *item);
        bool staged = index >= 0;
        if (staged) fresh.insert(zip_uint64_t(index));
        if (!staged || reporter_.stopped()) {
            if (!staged && !reporter_.stopped())
                reporter_.error(ZERR_WRITE, "cannot add " + item->storedName + ": " + zip_strerror(archive));
            zip_discard(archive);
            return false;
        }
    }
    return true;
}

// Each stage function gives the index of the entry it staged, or -1.
zip_int64_t AddCommand::stageFile(zip_t* archive, const AddItem& item) {
    sources_.push_back(std::make_unique<FileSource>(item, reporter_));
    zip_source_t* source = sources_.back()->makeSource(archive);
    if (source == nullptr) return -1;
    zip_int64_t index =
        zip_file_add(archive, item.storedName.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
    if (index < 0) {
        zip_source_free(source);
        return -1;
    }
    auto at = zip_uint64_t(index);
    if (zip_set_file_compression(archive, at, level_ == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 zip_uint32_t(level_)) != 0)
        return -1;
    // Set either way: a replaced member would keep the encryption of the one it replaces.
    bool encrypt = Flag(record_.Encrypt) && !password_.empty();
    if (zip_file_set_encryption(archive, at, encrypt ? ZIP_EM_AES_256 : ZIP_EM_NONE,
                                encrypt ? password_.c_str() : nullptr) != 0)
        return -1;
    dropOldTimes(archive, at);
    bool set = zip_file_set_mtime(archive, at, item.mtime, 0) == 0 && setAttributes(archive, at, item);
    return set ? index : -1;
}

// A replaced member keeps the extra fields of the one it replaces; those holding times
// (extended timestamp, old Unix, NTFS) would give readers the old file's time.
void AddCommand::dropOldTimes(zip_t* archive, zip_uint64_t index) {
    for (zip_uint16_t id : {kExtendedTimestampField, kOldUnixField, kNtfsField})
        if (zip_file_extra_fields_count_by_id(archive, index, id, ZIP_FL_CENTRAL | ZIP_FL_LOCAL) > 0)
            zip_file_extra_field_delete_by_id(archive, index, id, ZIP_EXTRA_FIELD_ALL,
                                              ZIP_FL_CENTRAL | ZIP_FL_LOCAL);
}

zip_int64_t AddCommand::stageFolder(zip_t* archive, const AddItem& item) {
    zip_int64_t index = zip_dir_add(archive, item.storedName.c_str(), ZIP_FL_ENC_GUESS);
    if (index < 0) return -1;
    bool set = zip_file_set_mtime(archive, zip_uint64_t(index), item.mtime, 0) == 0 &&
               setAttributes(archive, zip_uint64_t(index), item);
    return set ? index : -1;
}

// MS-DOS names carry MS-DOS attributes only; otherwise the Unix mode goes in the high half,
// with the MS-DOS bits beside it for readers that look only there.
bool AddCommand::setAttributes(zip_t* archive, zip_uint64_t index, const AddItem& item) {
    uint32_t dos = (item.isFolder ? kDosFolder : kDosArchive) | ((item.mode & S_IWUSR) ? 0 : kDosReadOnly);
    if (Flag(record_.ForceDOS))
        return zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_DOS, dos) == 0;
    uint32_t unixMode = uint32_t(item.mode & 0xFFFF) << 16;
    return zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_UNIX, unixMode | dos) == 0;
}

// Sources go only once the archive holding them has been written; folders last, deepest
// first, and only when they are empty by then.
void AddCommand::removeSources() {
    for (const AddItem* item : moving_)
        if (!item->isFolder && ::unlink(item->sourcePath.c_str()) != 0)
            reporter_.error(ZERR_MOVE, "cannot delete " + item->sourcePath + ": " + ErrorText(errno));
    for (auto it = moving_.rbegin(); it != moving_.rend(); ++it)
        if ((*it)->isFolder) ::rmdir((*it)->sourcePath.c_str());
}

void AddCommand::setArchiveTime() {
    int code = 0;
    zip_t* archive = zip_open(archivePath_.c_str(), ZIP_RDONLY, &code);
    if (archive == nullptr) return;
    time_t newest = 0;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &st) == 0)
            newest = std::max(newest, ReadMemberTime(archive, zip_uint64_t(i), st).time);
    }
    zip_discard(archive);
    if (newest == 0) return;
    struct timespec times[2] = {{0, UTIME_OMIT}, {newest, 0}};
    if (utimensat(AT_FDCWD, archivePath_.c_str(), times, 0) != 0)
        reporter_.error(ZERR_WRITE, "cannot set the time of " + archivePath_ + ": " + ErrorText(errno));
}
