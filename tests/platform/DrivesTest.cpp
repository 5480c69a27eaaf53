// Mount tables fed as text, drive types from a fake sysfs, and replacing the drives provider.
#include "platform/Drives.h"
#include "platform/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const char* const kMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "30 22 0:25 / /home rw shared:2 - btrfs /dev/sda2 rw,space_cache\n"
    "31 22 11:0 / /media/cd\\040rom ro - iso9660 /dev/sr0 ro\n"
    "32 22 0:40 / /mnt/share rw - cifs //server/share rw\n"
    "33 22 0:41 / /mnt/ssh rw - fuse.sshfs me@host: rw\n"
    "34 22 8:17 / /media/usb rw - vfat /dev/sdb1 rw\n"
    "35 22 0:42 / /mnt/nfs rw master:3 unbindable - nfs4 host:/export rw\n"
    "garbage line\n"
    "36 22 0:43 / /home/me/ram rw - tmpfs tmpfs rw\n";

}  // namespace

TEST(MountInfo, ParsesFieldsAndEscapes) {
    const auto mounts = ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 8u);
    EXPECT_EQ(mounts[2].mountPoint, "/media/cd rom");
    EXPECT_EQ(mounts[2].fsType, "iso9660");
    EXPECT_EQ(mounts[2].source, "/dev/sr0");
    EXPECT_EQ(mounts[5].major, 8u);
    EXPECT_EQ(mounts[5].minor, 17u);
    EXPECT_EQ(mounts[6].fsType, "nfs4");  // optional fields before "-" skipped
}

TEST(MountInfo, LongestMountPointHoldingThePath) {
    const auto mounts = ParseMountInfo(kMountInfo);
    const auto at = [&](const char* path) {
        const MountEntry* m = FindMount(mounts, path);
        return m ? m->mountPoint : std::string("(none)");
    };
    EXPECT_EQ(at("/home/me/roms/a.zip"), "/home");
    EXPECT_EQ(at("/home/me/ram/x"), "/home/me/ram");
    EXPECT_EQ(at("/home/me/rambo"), "/home");  // whole components only
    EXPECT_EQ(at("/media/cd rom/GAME.ZIP"), "/media/cd rom");
    EXPECT_EQ(at("/media/cd"), "/");
    EXPECT_EQ(at("/"), "/");
    EXPECT_EQ(at("relative"), "(none)");
    EXPECT_EQ(FindMount({}, "/x"), nullptr);

    // A mount over the same point: the later one is on top.
    const auto stacked =
        ParseMountInfo(std::string(kMountInfo) + "40 34 0:50 / /media/usb rw - udf /dev/sr1 ro\n");
    EXPECT_EQ(FindMount(stacked, "/media/usb/a")->fsType, "udf");
}

TEST(MountInfo, DriveTypes) {
    // A fake sysfs: sdb (removable) with partition sdb1 (8:17), sda (fixed) with sda1 (8:1).
    TempDir sys;
    sys.write("devices/sdb/removable", "1\n");
    sys.write("devices/sdb/sdb1/partition", "1\n");
    sys.write("devices/sda/removable", "0\n");
    sys.write("devices/sda/sda1/partition", "1\n");
    CreateFolders(sys.file("dev/block"));
    symlink("../../devices/sdb/sdb1", sys.file("dev/block/8:17").c_str());
    symlink("../../devices/sda/sda1", sys.file("dev/block/8:1").c_str());
    const std::string root = sys.path().substr(0, sys.path().size() - 1);

    const auto mounts = ParseMountInfo(kMountInfo);
    const auto type = [&](const char* path) { return DriveTypeOfMount(FindMount(mounts, path), root); };
    EXPECT_EQ(type("/media/usb/a.zip"), DriveRemovable);
    EXPECT_EQ(type("/media/cd rom/a.zip"), DriveCdRom);
    EXPECT_EQ(type("/mnt/share/a.zip"), DriveRemote);
    EXPECT_EQ(type("/mnt/ssh/a.zip"), DriveRemote);
    EXPECT_EQ(type("/mnt/nfs/a.zip"), DriveRemote);
    EXPECT_EQ(type("/etc/a.zip"), DriveFixed);
    EXPECT_EQ(type("/home/me/ram/a"), DriveFixed);
    EXPECT_EQ(type("relative"), DriveNoRoot);
    EXPECT_EQ(DriveTypeOfFsType("9p"), DriveRemote);
    EXPECT_EQ(DriveTypeOfFsType("udf"), DriveCdRom);
}

TEST(SystemDrives, AnswersFromAFedMountTable) {
    TempDir dir;
    const std::string folder = dir.path().substr(0, dir.path().size() - 1);
    const std::string table = dir.write("mountinfo",
                                        "22 1 0:99 / / rw - ext4 /dev/fake rw\n"
                                        "23 22 0:98 / " +
                                            folder + " rw - iso9660 /dev/sr9 ro\n");
    SystemDriveProvider drives(table, dir.file("sys"), dir.file("labels"));
    EXPECT_EQ(drives.Root(dir.file("sub/not yet/a.zip")), dir.path());
    EXPECT_EQ(drives.Type(dir.file("a.zip")), DriveCdRom);
    EXPECT_EQ(drives.Type("/usr"), DriveFixed);
    EXPECT_FALSE(drives.SetLabel(dir.path(), "PKBACK# 001"));
    EXPECT_TRUE(drives.DiskPresent(dir.file("missing.zip")));
    std::int64_t freeBytes = 0, total = 0;
    ASSERT_TRUE(drives.FreeAndSize(dir.file("missing.zip"), freeBytes, total));
    EXPECT_GT(total, 0);
    EXPECT_GE(total, freeBytes);
    ASSERT_TRUE(drives.Volume(dir.path()).has_value());
    EXPECT_EQ(drives.Volume(dir.path())->label, "");

    SystemDriveProvider noTable(dir.file("no table"));
    EXPECT_EQ(noTable.Type("/"), DriveNoRoot);
    EXPECT_EQ(noTable.Root("/"), "");
}

TEST(SystemDrives, RealTableHoldsTheRoot) {
    EXPECT_EQ(DriveRoot("/"), "/");
    EXPECT_NE(DriveTypeOf("/"), DriveNoRoot);
    EXPECT_EQ(CanonicalPath("/usr/./bin/../nonexistent/x"), CanonicalPath("/usr") + "/nonexistent/x");
}

namespace {

// A removable drive whose disk can be taken out, as a spanning test would stand one in.
class FakeRemovable : public DriveProvider {
public:
    std::string Root(std::string_view) override { return "/fake/"; }
    DriveType Type(std::string_view) override { return DriveRemovable; }
    bool FreeAndSize(std::string_view, std::int64_t& f, std::int64_t& t) override {
        f = 1000, t = 1440000;
        return true;
    }
    std::optional<VolumeInfo> Volume(std::string_view) override { return VolumeInfo{label, 7}; }
    bool SetLabel(std::string_view, std::string_view l) override {
        label = l;
        return true;
    }
    bool DiskPresent(std::string_view) override { return present; }
    std::string label;
    bool present = true;
};

}  // namespace

TEST(DriveProviders, ReplacedAndRestored) {
    FakeRemovable fake;
    SetDriveProvider(&fake);
    EXPECT_EQ(DriveTypeOf("/anything"), DriveRemovable);
    EXPECT_EQ(DriveRoot("/anything"), "/fake/");
    EXPECT_TRUE(SetVolumeLabel("/anything", "PKBACK# 002"));
    EXPECT_EQ(VolumeOf("/anything")->label, "PKBACK# 002");
    fake.present = false;
    EXPECT_FALSE(DiskPresent("/anything"));
    std::int64_t f, t;
    EXPECT_TRUE(DiskFreeAndSize("/x", f, t));
    EXPECT_EQ(t, 1440000);
    SetDriveProvider(nullptr);
    EXPECT_EQ(DriveRoot("/"), "/");
    EXPECT_FALSE(SetVolumeLabel("/", "x"));
}
