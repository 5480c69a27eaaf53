#include "platform/Drives.h"

#include "platform/Files.h"
#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <sstream>

namespace {

// Undoes the octal escapes of mountinfo fields (\040 blank, \011 tab, \012 newline, \134 '\').
std::string UnescapeOctal(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](std::size_t k) { return field[k] >= '0' && field[k] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// Undoes the \xHH escapes udev puts in /dev/disk/by-label names.
std::string UnescapeHex(std::string_view name) {
    const auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) &&
            hex(name[i + 3])) {
            out += static_cast<char>(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

bool ParseDeviceNumbers(std::string_view field, unsigned& major, unsigned& minor) {
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) return false;
    char* end = nullptr;
    const std::string maj(field.substr(0, colon)), min(field.substr(colon + 1));
    major = static_cast<unsigned>(std::strtoul(maj.c_str(), &end, 10));
    if (maj.empty() || *end) return false;
    minor = static_cast<unsigned>(std::strtoul(min.c_str(), &end, 10));
    return !min.empty() && !*end;
}

// One mountinfo line: "id parent major:minor root mountpoint options [optional...] - type source
// superoptions".
std::optional<MountEntry> ParseMountLine(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string f; in >> f;) fields.push_back(f);
    std::size_t dash = 6;
    while (dash < fields.size() && fields[dash] != "-") ++dash;
    if (fields.size() < 7 || dash + 1 >= fields.size()) return std::nullopt;
    MountEntry entry;
    if (!ParseDeviceNumbers(fields[2], entry.major, entry.minor)) return std::nullopt;
    entry.mountPoint = WithoutTrailingSlash(UnescapeOctal(fields[4]));
    entry.fsType = UnescapeOctal(fields[dash + 1]);
    if (dash + 2 < fields.size()) entry.source = UnescapeOctal(fields[dash + 2]);
    if (entry.mountPoint.empty() || entry.mountPoint.front() != '/') return std::nullopt;
    return entry;
}

bool Holds(std::string_view mountPoint, std::string_view path) {
    if (mountPoint == "/") return !path.empty() && path.front() == '/';
    return path.size() >= mountPoint.size() && path.substr(0, mountPoint.size()) == mountPoint &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The nearest folder at or above path that exists (statvfs needs one).
std::string ExistingAncestor(std::string path) {
    while (path.size() > 1 && !FolderExists(path) && !FileExists(path))
        path = WithoutTrailingSlash(FolderPart(WithoutTrailingSlash(path)));
    return path.empty() ? std::string("/") : path;
}

// Reads a sysfs flag file holding "1".
bool FlagFileSet(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    return bytes && !bytes->empty() && (*bytes)[0] == '1';
}

// The removable flag of a block device's sysfs folder (a partition asks its disk).
bool RemovableAt(const std::string& deviceFolder) {
    if (FileExists(deviceFolder + "/partition")) return FlagFileSet(deviceFolder + "/../removable");
    return FlagFileSet(deviceFolder + "/removable");
}

DriveProvider*& CurrentProvider() {
    static DriveProvider* provider = nullptr;
    return provider;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    for (const std::string& line : SplitTextLines(text))
        if (auto entry = ParseMountLine(line)) mounts.push_back(std::move(*entry));
    return mounts;
}

const MountEntry* FindMount(const std::vector<MountEntry>& mounts, std::string_view path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts)
        if (Holds(m.mountPoint, path) && (!best || m.mountPoint.size() >= best->mountPoint.size())) best = &m;
    return best;
}

DriveType DriveTypeOfFsType(std::string_view fsType) {
    for (const char* cd : {"iso9660", "udf"})
        if (fsType == cd) return DriveCdRom;
    for (const char* remote : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p"})
        if (fsType == remote) return DriveRemote;
    return DriveFixed;
}

bool IsRemovableDevice(unsigned major, unsigned minor, const std::string& sysRoot) {
    return RemovableAt(sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor));
}

DriveType DriveTypeOfMount(const MountEntry* mount, const std::string& sysRoot) {
    if (!mount) return DriveNoRoot;
    const DriveType byType = DriveTypeOfFsType(mount->fsType);
    if (byType != DriveFixed) return byType;
    bool removable = mount->major != 0 && IsRemovableDevice(mount->major, mount->minor, sysRoot);
    if (!removable && mount->source.starts_with("/dev/")) {
        // File systems on anonymous device numbers (btrfs) are found by their source device.
        const std::string device = CanonicalPath(mount->source);
        removable = RemovableAt(sysRoot + "/class/block/" + FileNamePart(device));
    }
    return removable ? DriveRemovable : DriveFixed;
}

SystemDriveProvider::SystemDriveProvider(std::string mountInfoFile, std::string sysRoot,
                                         std::string labelFolder)
    : mountInfoFile_(std::move(mountInfoFile)),
      sysRoot_(std::move(sysRoot)),
      labelFolder_(std::move(labelFolder)) {}

std::optional<MountEntry> SystemDriveProvider::MountOf(std::string_view path) const {
    const auto text = ReadWholeFile(mountInfoFile_);
    if (!text) return std::nullopt;
    const std::vector<MountEntry> mounts = ParseMountInfo(*text);
    const MountEntry* m = FindMount(mounts, CanonicalPath(path));
    return m ? std::optional<MountEntry>(*m) : std::nullopt;
}

std::string SystemDriveProvider::Root(std::string_view path) {
    const auto m = MountOf(path);
    return m ? WithTrailingSlash(m->mountPoint) : std::string();
}

DriveType SystemDriveProvider::Type(std::string_view path) {
    const auto m = MountOf(path);
    return DriveTypeOfMount(m ? &*m : nullptr, sysRoot_);
}

bool SystemDriveProvider::FreeAndSize(std::string_view path, std::int64_t& freeBytes,
                                      std::int64_t& totalBytes) {
    freeBytes = totalBytes = -1;
    struct statvfs st;
    if (statvfs(ExistingAncestor(CanonicalPath(path)).c_str(), &st) != 0) return false;
    freeBytes = static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
    totalBytes = static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
    return true;
}

std::optional<VolumeInfo> SystemDriveProvider::Volume(std::string_view path) {
    struct statvfs st;
    if (statvfs(ExistingAncestor(CanonicalPath(path)).c_str(), &st) != 0) return std::nullopt;
    VolumeInfo info;
    info.serial = static_cast<std::uint32_t>(st.f_fsid);
    const auto m = MountOf(path);
    if (!m) return info;
    // udev publishes each labelled block device as a link named by its label.
    if (DIR* dir = opendir(labelFolder_.c_str())) {
        while (const dirent* e = readdir(dir)) {
            struct stat dev;
            const std::string link = JoinPath(labelFolder_, e->d_name);
            if (stat(link.c_str(), &dev) == 0 && S_ISBLK(dev.st_mode) && major(dev.st_rdev) == m->major &&
                minor(dev.st_rdev) == m->minor) {
                info.label = UnescapeHex(e->d_name);
                break;
            }
        }
        closedir(dir);
    }
    return info;
}

bool SystemDriveProvider::SetLabel(std::string_view, std::string_view) {
    errno = ENOTSUP;
    return false;
}

bool SystemDriveProvider::DiskPresent(std::string_view path) {
    struct statvfs st;
    return MountOf(path) && statvfs(ExistingAncestor(CanonicalPath(path)).c_str(), &st) == 0;
}

DriveProvider& Drives() {
    static SystemDriveProvider system;
    DriveProvider* p = CurrentProvider();
    return p ? *p : system;
}

void SetDriveProvider(DriveProvider* provider) {
    CurrentProvider() = provider;
}

std::string DriveRoot(std::string_view path) {
    return Drives().Root(path);
}

DriveType DriveTypeOf(std::string_view path) {
    return Drives().Type(path);
}

bool DiskFreeAndSize(std::string_view path, std::int64_t& freeBytes, std::int64_t& totalBytes) {
    return Drives().FreeAndSize(path, freeBytes, totalBytes);
}

std::optional<VolumeInfo> VolumeOf(std::string_view path) {
    return Drives().Volume(path);
}

bool SetVolumeLabel(std::string_view path, std::string_view label) {
    return Drives().SetLabel(path, label);
}

bool DiskPresent(std::string_view path) {
    return Drives().DiskPresent(path);
}

std::string CanonicalPath(std::string_view path) {
    std::string head = AbsolutePath(path);
    std::string tail;
    for (;;) {
        if (char* real = realpath(head.c_str(), nullptr)) {
            std::string out = tail.empty() ? std::string(real) : JoinPath(real, tail);
            free(real);
            return out;
        }
        if (head == "/") return JoinPath("/", tail);
        const std::string name = FileNamePart(head);
        tail = tail.empty() ? name : name + "/" + tail;
        head = WithoutTrailingSlash(FolderPart(head));
        if (head.empty())
            head.push_back('/');  // not `= "/"`: GCC 12 warns falsely of an overlapping copy there
    }
}
