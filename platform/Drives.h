#pragma once
// Drives: the mount that holds a path, its type, free and total size, volume label.
// Every query goes through the current DriveProvider, which tests may replace (for instance
// with a removable disk that is really a temporary folder).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Drive types, numbered as the system's drive-type query numbers them.
enum DriveType : int {
    DriveUnknown = 0,
    DriveNoRoot = 1,     // the path lies under no mount point
    DriveRemovable = 2,  // a block device whose disk is removable
    DriveFixed = 3,      // anything else mounted
    DriveRemote = 4,     // network file systems
    DriveCdRom = 5,      // iso9660, udf
};

// One line of a mountinfo table.
struct MountEntry {
    std::string mountPoint;  // unescaped (\040 read as blank), no trailing '/' except "/"
    std::string fsType;      // e.g. "ext4", "iso9660", "fuse.sshfs"
    std::string source;      // the mount source, e.g. "/dev/sdb1"
    unsigned major = 0;      // device number of the mounted file system
    unsigned minor = 0;
};

// Parses /proc/self/mountinfo text; lines that cannot be read are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// The entry with the longest mount point holding the absolute path (whole components only),
// nullptr when none does. Of equal mount points the later line (the one on top) wins.
const MountEntry* FindMount(const std::vector<MountEntry>& mounts, std::string_view path);
// The drive type by file-system type alone: CD-ROM, remote or fixed.
DriveType DriveTypeOfFsType(std::string_view fsType);
// Whether the block device major:minor belongs to a removable disk, by sysRoot + /dev/block/M:m
// (a partition asks its disk's "removable" file).
bool IsRemovableDevice(unsigned major, unsigned minor, const std::string& sysRoot = "/sys");
// Full drive type of a mount entry: by file-system type, then removable block devices.
DriveType DriveTypeOfMount(const MountEntry* mount, const std::string& sysRoot = "/sys");

// Label and serial number of a volume.
struct VolumeInfo {
    std::string label;         // empty when the system publishes none
    std::uint32_t serial = 0;  // a number identifying the file system (0 when unknown)
};

// Source of all drive answers. The default one reads the real system.
class DriveProvider {
public:
    virtual ~DriveProvider() = default;
    // The mount point holding path, ending in '/'; "" when the path lies under none.
    virtual std::string Root(std::string_view path) = 0;
    // The drive type of the drive holding path.
    virtual DriveType Type(std::string_view path) = 0;
    // Free bytes (for this user) and total size of the drive holding path; -1 for each value
    // that cannot be obtained. False when neither could.
    virtual bool FreeAndSize(std::string_view path, std::int64_t& freeBytes, std::int64_t& totalBytes) = 0;
    // The volume's label and serial number; nullopt when the volume cannot be read.
    virtual std::optional<VolumeInfo> Volume(std::string_view path) = 0;
    // Gives the volume holding path a new label. False when not possible.
    virtual bool SetLabel(std::string_view path, std::string_view label) = 0;
    // Whether a disk is there to be read at the drive holding path.
    virtual bool DiskPresent(std::string_view path) = 0;
};

// The real system: mount table from a file (default /proc/self/mountinfo, read at each query),
// removable flags from sysRoot, labels from labelFolder (default /dev/disk/by-label).
class SystemDriveProvider : public DriveProvider {
public:
    SystemDriveProvider(std::string mountInfoFile = "/proc/self/mountinfo", std::string sysRoot = "/sys",
                        std::string labelFolder = "/dev/disk/by-label");
    std::string Root(std::string_view path) override;
    DriveType Type(std::string_view path) override;
    bool FreeAndSize(std::string_view path, std::int64_t& freeBytes, std::int64_t& totalBytes) override;
    std::optional<VolumeInfo> Volume(std::string_view path) override;
    // Labels cannot be set on this platform: always false.
    bool SetLabel(std::string_view path, std::string_view label) override;
    // The path's mount point can be read (statvfs succeeds).
    bool DiskPresent(std::string_view path) override;

private:
    // The mount entry holding path (canonical form), read fresh from the mount table.
    std::optional<MountEntry> MountOf(std::string_view path) const;

    std::string mountInfoFile_;
    std::string sysRoot_;
    std::string labelFolder_;
};

// The provider in use (the system's unless replaced).
DriveProvider& Drives();
// Replaces the provider; nullptr puts the system's back. The caller keeps ownership.
void SetDriveProvider(DriveProvider* provider);

// Shorthands through Drives():
// The mount point holding path, ending in '/' ("drive part" followed by the separator).
std::string DriveRoot(std::string_view path);
// The drive type of the drive holding path.
DriveType DriveTypeOf(std::string_view path);
// Free and total bytes of the drive holding path (-1 each when unknown).
bool DiskFreeAndSize(std::string_view path, std::int64_t& freeBytes, std::int64_t& totalBytes);
// Label and serial of the volume holding path.
std::optional<VolumeInfo> VolumeOf(std::string_view path);
// Sets the volume's label; false when the drive does not allow it.
bool SetVolumeLabel(std::string_view path, std::string_view label);
// Whether the drive holding path has a disk in it.
bool DiskPresent(std::string_view path);
// The canonical absolute form of path: links followed as far as the path exists, the rest
// folded lexically.
std::string CanonicalPath(std::string_view path);
