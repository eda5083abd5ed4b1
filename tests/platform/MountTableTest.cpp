#include "platform/MountTable.h"

#include <gtest/gtest.h>

#include <algorithm>

using platform::MountEntry;
using platform::MountTable;

namespace {

const char* const kSample =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "23 27 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
    "24 27 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
    "25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
    "30 27 8:17 / /media/My\\040Disk rw shared:5 master:2 - vfat /dev/sdb1 rw\n"
    "31 27 0:40 / /home rw - btrfs /dev/sda2 rw,subvol=/@home\n"
    "32 27 0:41 / /net/share rw - nfs4 server:/export rw\n"
    "33 27 0:42 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "34 27 0:43 / /run/user/1000/doc rw - fuse.portal portal rw\n"
    "35 27 0:44 / /home/u/remote rw - fuse.sshfs u@host:/ rw\n"
    "36 27 0:45 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "37 27 8:33 / /mnt/old rw - ext4 /dev/sdc1 rw\n"
    "38 27 0:46 / /mnt/old rw - tmpfs tmpfs rw\n"
    "not a mount line\n";

std::vector<std::string> MountPoints(const std::vector<MountEntry>& entries)
{
    std::vector<std::string> points;
    for (const MountEntry& entry : entries) points.push_back(entry.mountPoint);
    return points;
}

// Optional fields before "-" are skipped and escapes decoded; a line that is
// no mount is left out.
TEST(MountTable, ParsesFieldsAndDecodesEscapes)
{
    const std::vector<MountEntry> table = MountTable::Parse(kSample);
    ASSERT_EQ(table.size(), 14u);
    const MountEntry& disk = table[5];
    EXPECT_EQ(disk.mountPoint + "|" + disk.fsType + "|" + disk.source + "|" + disk.root,
              "/media/My Disk|vfat|/dev/sdb1|/");
}

TEST(MountTable, VolumesAreDisksNetworkAndUserSpaceFileSystemsOnly)
{
    for (const auto& [what, table, checkDirectories, volumes] : std::initializer_list<
             std::tuple<const char*, std::string, bool, std::vector<std::string>>>{
             // No pseudo or memory file systems, no desktop FUSE helpers, and a
             // mount point mounted over by tmpfs is hidden.
             {"sample",
              kSample,
              false,
              {"/", "/media/My Disk", "/home", "/net/share", "/home/u/remote"}},
             // Neither mount point exists. The local one is looked at and left out;
             // the one inside a network mount is not looked at (its server may be
             // gone) and is kept, as is the network mount itself.
             {"missing points",
              "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
              "2 1 8:2 / /no-such-local-point rw - ext4 /dev/sdb1 rw\n"
              "3 1 0:9 / /no-such-share rw - nfs4 server:/x rw\n"
              "4 3 8:3 / /no-such-share/usb rw - vfat /dev/sdc1 rw\n",
              true,
              {"/", "/no-such-share", "/no-such-share/usb"}},
             {"overlay root", "1 0 0:2 / / rw - overlay overlay rw\n", false, {"/"}}}) {
        EXPECT_EQ(MountPoints(MountTable::Volumes(MountTable::Parse(table), checkDirectories)),
                  volumes)
            << what;
    }
    const auto current = MountPoints(MountTable::Volumes(MountTable::ReadCurrent(), true));
    EXPECT_NE(std::find(current.begin(), current.end(), "/"), current.end());
}

// The longest whole-component match contains a path; remote file systems are
// known by their type, without asking them.
TEST(MountTable, ContainingMountAndDisplayName)
{
    const auto table = MountTable::Parse(kSample);
    for (const auto& [path, mountPoint, remote] :
         std::initializer_list<std::tuple<const char*, const char*, bool>>{
             {"/home/u/remote/x", "/home/u/remote", true},
             {"/net/share", "/net/share", true},
             {"/home/u/remotely", "/home", false},
             {"/homework", "/", false}}) {
        const MountEntry* entry = MountTable::Containing(table, path);
        ASSERT_NE(entry, nullptr) << path;
        EXPECT_EQ(entry->mountPoint, mountPoint);
        EXPECT_EQ(MountTable::IsRemote(*entry), remote) << path;
    }
    EXPECT_EQ(MountTable::Containing(table, "/mnt/old/a")->fsType, "tmpfs");  // the last mount

    EXPECT_EQ(MountTable::DisplayName("DATA", "/media/u/DATA"), "DATA (/media/u/DATA)");
    EXPECT_EQ(MountTable::DisplayName("", "/media/u/stick"), "stick (/media/u/stick)");
    EXPECT_EQ(MountTable::DisplayName("", "/"), "/ (/)");
}

}  // namespace
