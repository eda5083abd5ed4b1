#include "platform/ShellFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/MountTable.h"
#include "platform/ShellIcons.h"

using namespace platform;

namespace {

std::vector<std::string> Names(const ShellFolder& folder, const std::vector<ItemIdList>& ids)
{
    std::vector<std::string> names;
    for (const ItemIdList& id : ids) names.push_back(folder.DisplayNameOf(id));
    return names;
}

// HOME is the test run's own fresh folder (isolated-run.sh).
TEST(ShellFolder, DesktopHoldsComputerHomeAndTheDesktopFolders)
{
    const std::string home = std::filesystem::canonical(std::getenv("HOME"));
    for (const char* folder : {"/Desktop", "/Desktop/Projects", "/Desktop/.hidden"})
        ASSERT_EQ(::mkdir((home + folder).c_str(), 0700), 0);
    ASSERT_EQ(::symlink("/usr", (home + "/Desktop/usr-link").c_str()), 0);

    auto desktop = ShellFolder::Desktop();
    std::vector<ItemIdList> children;
    ASSERT_TRUE(desktop->EnumFolders(children));
    std::vector<std::string> names = Names(*desktop, children);
    ASSERT_EQ(names.size(), 4u);  // the link is not followed
    std::sort(names.begin() + 2, names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Computer", "Home", ".hidden", "Projects"}));

    // Paths come from the identifiers alone; Home binds to a folder of its subfolders.
    EXPECT_EQ(ShellFolder::PathFromIdList(children[0]), "");
    EXPECT_EQ(ShellFolder::PathFromIdList(children[1]), home);
    EXPECT_EQ(ShellFolder::PathFromIdList(children[2]).rfind(home + "/Desktop/", 0), 0u);
    auto homeFolder = desktop->BindToFolder(children[1]);
    ASSERT_TRUE(homeFolder);
    std::vector<ItemIdList> homeChildren;
    ASSERT_TRUE(homeFolder->EnumFolders(homeChildren));
    ASSERT_EQ(Names(*homeFolder, homeChildren), std::vector<std::string>{"Desktop"});
    EXPECT_EQ(ShellFolder::PathFromIdList(ItemIdList::Concatenate(children[1], homeChildren[0])),
              home + "/Desktop");
    EXPECT_TRUE(homeFolder->BindToFolder(homeChildren[0]));
    // Only a child folder binds; a folder below a virtual item has no path.
    for (const ItemIdList& id :
         {children[0], ItemIdList::Single(ShellItemKind::Folder, "a/b"), ItemIdList::Empty()})
        EXPECT_FALSE(homeFolder->BindToFolder(id));
    EXPECT_EQ(ShellFolder::PathFromIdList(ItemIdList::Concatenate(
                  children[0], ItemIdList::Single(ShellItemKind::Folder, "x"))),
              "");

    // Computer lists the root volume, with its mount point as its path.
    EXPECT_EQ(ShellFolder::IconKeysOf(children[0]).closed, ShellIcons::kComputer);
    auto computer = desktop->BindToFolder(children[0]);
    ASSERT_TRUE(computer);
    std::vector<ItemIdList> volumes;
    ASSERT_TRUE(computer->EnumFolders(volumes));
    const auto root = std::find_if(volumes.begin(), volumes.end(), [&](const ItemIdList& volume) {
        return ShellFolder::PathFromIdList(ItemIdList::Concatenate(children[0], volume)) == "/";
    });
    ASSERT_NE(root, volumes.end());
    EXPECT_NE(computer->DisplayNameOf(*root).find("(/)"), std::string::npos);
    EXPECT_TRUE(computer->BindToFolder(*root));
}

TEST(ShellIcons, MimeTypeComesFromTheNameAlone)
{
    // No such file exists; nothing is read.
    EXPECT_EQ(ShellIcons::MimeTypeOfFileName("/nonexistent/picture.png"), "image/png");
    EXPECT_EQ(ShellIcons::MimeTypeOfFileName(std::string("\xff\xfe", 2)),
              "application/octet-stream");
}

// Each item: count (2, little-endian), kind, payload of raw bytes; then a
// zero count. Payloads too long for a count are refused.
TEST(ItemIdList, LayoutAndConcatenation)
{
    using namespace std::string_literals;
    EXPECT_TRUE(ItemIdList().IsNone() && ItemIdList::Empty().Size() == 2);
    const std::string name = "caf\xe9\n\x01"s;
    const ItemIdList a = ItemIdList::Single(ShellItemKind::Volume, "/mnt\0l"s);
    const ItemIdList b = ItemIdList::Single(ShellItemKind::Folder, name);
    EXPECT_EQ(b.Bytes(), "\x09\x00"s + char(ShellItemKind::Folder) + name + "\0\0"s);
    const ItemIdList ab = ItemIdList::Concatenate(a, b);
    EXPECT_EQ(ab.Bytes(), a.Bytes().substr(0, a.Size() - 2) + b.Bytes());
    ASSERT_EQ(ab.Items().size(), 2u);
    EXPECT_TRUE(ab.Items()[0].kind == ShellItemKind::Volume && ab.Items()[0].payload == "/mnt\0l"s);
    EXPECT_EQ(ab.Last().payload, name);
    for (const ItemIdList& none : {ItemIdList(), ItemIdList::Empty()})
        EXPECT_TRUE(ItemIdList::Concatenate(none, b) == b && ItemIdList::Concatenate(b, none) == b);
    EXPECT_TRUE(ItemIdList::Single(ShellItemKind::Folder, std::string(70000, 'x')).IsNone());
}

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

TEST(MountTable, VolumesAreDisksNetworkAndUserSpaceFileSystemsOnly)
{
    // No pseudo or memory file systems, no desktop FUSE helpers, nothing mounted over.
    // A missing local mount point is left out; one inside a network mount is kept
    // without looking at it (its server may be gone).
    using Volumes = std::vector<std::string>;
    for (const auto& [table, check, volumes] :
         std::initializer_list<std::tuple<std::string, bool, Volumes>>{
             {kSample, false, {"/", "/media/My Disk", "/home", "/net/share", "/home/u/remote"}},
             {"1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
              "2 1 8:2 / /no-such-local-point rw - ext4 /dev/sdb1 rw\n"
              "3 1 0:9 / /no-such-share rw - nfs4 server:/x rw\n"
              "4 3 8:3 / /no-such-share/usb rw - vfat /dev/sdc1 rw\n",
              true,
              {"/", "/no-such-share", "/no-such-share/usb"}},
             {"1 0 0:2 / / rw - overlay overlay rw\n", false, {"/"}}})
        EXPECT_EQ(MountPoints(MountTable::Volumes(MountTable::Parse(table), check)), volumes)
            << table;
}

// Optional fields are skipped, escapes decoded, a line that is no mount left out. The
// longest whole-component match contains a path; remote means by type, without asking.
TEST(MountTable, ParsesAndFindsTheContainingMount)
{
    const auto table = MountTable::Parse(kSample);
    ASSERT_EQ(table.size(), 14u);
    const MountEntry& disk = table[5];
    EXPECT_EQ(disk.mountPoint + "|" + disk.fsType + "|" + disk.source + "|" + disk.root,
              "/media/My Disk|vfat|/dev/sdb1|/");
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
