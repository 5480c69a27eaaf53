#include "catalogue/LaunchJournal.h"

#include <sys/stat.h>

#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

// Fields end in NUL, so any name bytes a file system allows fit.
constexpr std::string_view Magic = "Tarnwick launch journal 1";

void PutField(std::string& out, std::string_view field) {
    out.append(field);
    out.push_back('\0');
}

std::vector<std::string> Fields(const std::string& bytes) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(bytes.substr(start, end - start));
    return fields;
}

// A name that stays inside its folder.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Only a plain file can have come from an archive: a link or a folder there now is someone else's.
bool IsUnpackedFile(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string LaunchJournalPath() {
    return DataFile("Launch.journal");
}

bool WriteLaunchJournal(const UnpackRecord& record) {
    std::string bytes;
    PutField(bytes, Magic);
    PutField(bytes, record.folder);
    PutField(bytes, record.folderMade ? "made" : "kept");
    for (const std::string& name : record.files) PutField(bytes, name);
    return WriteFileAtomic(LaunchJournalPath(), bytes);
}

std::optional<UnpackRecord> ReadLaunchJournal() {
    const std::optional<std::string> bytes = ReadWholeFile(LaunchJournalPath());
    if (!bytes) return std::nullopt;
    const std::vector<std::string> fields = Fields(*bytes);
    if (fields.size() < 3 || fields[0] != Magic || fields[1].empty() || fields[1].front() != '/')
        return std::nullopt;
    UnpackRecord record;
    record.folder = fields[1];
    record.folderMade = fields[2] == "made";
    record.files.assign(fields.begin() + 3, fields.end());
    return record;
}

void RemoveLaunchJournal() {
    DeleteFile(LaunchJournalPath());
}

bool RemoveUnpacked(const UnpackRecord& record) {
    // The folder may have been moved or replaced by a link since: then these names are not ours.
    if (record.folder.empty() || RealPath(record.folder) != record.folder) return true;
    bool allGone = true;
    for (const std::string& name : record.files) {
        const std::string path = JoinPath(record.folder, name);
        if (!PlainName(name) || !IsUnpackedFile(path)) continue;
        ClearReadOnly(path);
        if (!DeleteFile(path)) allGone = false;
    }
    // Only an empty folder is removed: the emulator's own files (saves) stay with it.
    if (record.folderMade) RemoveFolder(record.folder);
    return allGone;
}

void FinishInterruptedLaunch() {
    if (const std::optional<UnpackRecord> record = ReadLaunchJournal()) RemoveUnpacked(*record);
    RemoveLaunchJournal();
}
