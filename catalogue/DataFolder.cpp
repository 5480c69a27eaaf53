#include "catalogue/DataFolder.h"

#include "catalogue/Emusystem.h"
#include "platform/Files.h"
#include "platform/Paths.h"

#include <sys/stat.h>

#include <cerrno>

namespace {

// The lookup lists the program folder ships.
constexpr const char* LookupLists[] = {"LISTS\\Systems.lst", "LISTS\\Types.lst", "LISTS\\Languages.lst"};
// What a build that kept its data beside the executable wrote there.
constexpr const char* EarlierData[] = {"LISTS\\EMUS.LST", "LISTS\\ROMS.LST", "Tarnwick.ini", "Tarnwick.log"};

bool NothingAt(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

// Makes the folder; 0 or the errno of the failure.
int MakeFolder(const std::string& folder) {
    if (FolderExists(folder)) return 0;
    errno = 0;
    if (CreateFolders(folder) && FolderExists(folder)) return 0;
    // A file where a folder of the path should be reads better as "Not a directory".
    return errno && errno != EEXIST ? errno : ENOTDIR;
}

void LayEmptyFile(const std::string& path) {
    if (NothingAt(path)) WriteFileAtomic(path, "");
}

}  // namespace

bool CopyToDataFolder(std::string_view relativeName) {
    const std::string target = DataFile(relativeName);
    if (!NothingAt(target)) return FileExists(target);
    const std::string source = ProgramFile(relativeName);
    if (!IsPlainFile(source)) return false;
    const std::optional<std::string> bytes = ReadWholeFile(source);
    return bytes && WriteFileAtomic(target, *bytes);
}

int DataFolderSetUp() {
    const std::string folder = DataFolder();
    const bool fresh = !FolderExists(folder);
    if (const int error = MakeFolder(JoinPath(folder, "LISTS"))) {
        SetDataFolderWritable(false);
        return error;
    }
    SetDataFolderWritable(true);
    if (fresh && folder != ProgramFolder()) {
        for (const char* name : LookupLists) CopyToDataFolder(name);
        for (const char* name : EarlierData) CopyToDataFolder(name);
    }
    LayEmptyFile(EmuListFileName());
    LayEmptyFile(RomListFileName());
    return 0;
}
