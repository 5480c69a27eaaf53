#include "platform/Text.h"
#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/Descriptor.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

// Where a file goes: the trash folder and the path its info file records.
struct TrashPlace {
    std::string folder;  // empty when the file lies under no mount point
    std::string shownPath;
    bool home = false;  // the home trash, whose parent folders may still have to be made
};

// The nearest folder at or above path that exists; "" when something that is not a folder
// stands in the way (a trash that can never be made there).
std::string NearestFolder(std::string path) {
    struct stat st {};
    while (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT || path == "/") return "";
        path = WithoutTrailingSlash(FolderPart(WithoutTrailingSlash(path)));
    }
    return FolderExists(path) ? path : "";
}

// Anything at path, a dangling link included.
bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool SameDevice(const std::string& file, const std::string& folder) {
    struct stat sf {
    }, sd{};
    // The file itself is moved, not what a link points to.
    return lstat(file.c_str(), &sf) == 0 && stat(folder.c_str(), &sd) == 0 && sf.st_dev == sd.st_dev;
}

TrashPlace PlaceFor(const std::string& absolute) {
    const std::string home = UserDataHome();
    const std::string existing = NearestFolder(home);
    if (existing.empty() || SameDevice(absolute, existing)) return {home + "/Trash", absolute, true};
    const std::string top = WithTrailingSlash(DriveRoot(absolute));
    if (top.empty()) return {};
    const std::string relative = absolute.rfind(top, 0) == 0 ? absolute.substr(top.size()) : absolute;
    return {top + ".Trash-" + std::to_string(getuid()), relative, false};
}

std::string PercentEncoded(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-_.~!*'()", c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string LocalTimeNow() {
    return LocalTimeText("%Y-%m-%dT%H:%M:%S");
}

bool MakeTrashFolders(const std::string& trash) {
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"})
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return FolderExists(trash + "/files") && FolderExists(trash + "/info");
}

// Claims a free name in the trash by creating its info file first; returns that name.
std::string ClaimTrashName(const std::string& trash, const std::string& base, const std::string& info) {
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        const std::string infoPath = trash + "/info/" + name + ".trashinfo";
        Descriptor fd = OpenDescriptor(infoPath, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (!fd.IsOpen()) {
            if (errno == EEXIST) continue;
            return "";
        }
        const bool written = WriteAll(fd.Get(), info);
        if (fd.Close() && written && !FileExists(trash + "/files/" + name)) return name;
        unlink(infoPath.c_str());
        if (!written) return "";
    }
    return "";
}

int TrashInto(const TrashPlace& place, const std::string& absolute) {
    if (!MakeTrashFolders(place.folder)) return errno ? errno : EACCES;
    const std::string info =
        "[Trash Info]\nPath=" + PercentEncoded(place.shownPath) + "\nDeletionDate=" + LocalTimeNow() + "\n";
    const std::string name = ClaimTrashName(place.folder, FileNamePart(absolute), info);
    if (name.empty()) return errno ? errno : EEXIST;
    if (rename(absolute.c_str(), (place.folder + "/files/" + name).c_str()) == 0) return 0;
    const int failure = errno;
    unlink((place.folder + "/info/" + name + ".trashinfo").c_str());
    return failure;
}

}  // namespace

bool CanMoveToTrash(const std::string& path) {
    const std::string absolute = AbsolutePath(path);
    if (!Exists(absolute)) return false;
    const TrashPlace place = PlaceFor(absolute);
    if (place.folder.empty()) return false;
    for (const std::string& folder : {place.folder + "/files", place.folder + "/info"}) {
        const std::string existing = NearestFolder(folder);
        if (existing.empty() || access(existing.c_str(), W_OK | X_OK) != 0) return false;
    }
    // The move is a rename: the trash must lie on the file's own file system.
    return SameDevice(absolute, NearestFolder(place.folder));
}

int MoveToTrash(const std::string& path) {
    const std::string absolute = AbsolutePath(path);
    if (!Exists(absolute)) return ENOENT;  // no trash folders are made for nothing
    const TrashPlace place = PlaceFor(absolute);
    if (place.folder.empty()) return ENOENT;
    if (place.home) CreateFolders(UserDataHome());
    return TrashInto(place, absolute);
}
