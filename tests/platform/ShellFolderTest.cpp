#include "platform/ShellFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/ShellIcons.h"
#include "support/TempTree.h"

using platform::ItemIdList;
using platform::ShellFolder;
using platform::ShellItemKind;

namespace {

std::vector<std::string> Names(const ShellFolder& folder, const std::vector<ItemIdList>& ids)
{
    std::vector<std::string> names;
    for (const ItemIdList& id : ids) names.push_back(folder.DisplayNameOf(id));
    return names;
}

// HOME is a fresh folder of the test run (isolated-run.sh), so the test may
// give it a desktop directory.
TEST(ShellFolder, DesktopHoldsComputerHomeAndTheDesktopFolders)
{
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(std::getenv("HOME"), resolved), nullptr);
    const std::string home = resolved;
    for (const char* folder : {"/Desktop", "/Desktop/Projects", "/Desktop/.hidden"}) {
        ASSERT_EQ(::mkdir((home + folder).c_str(), 0700), 0);
    }
    ASSERT_EQ(::symlink("/usr", (home + "/Desktop/usr-link").c_str()), 0);

    auto desktop = ShellFolder::Desktop();
    std::vector<ItemIdList> children;
    ASSERT_TRUE(desktop->EnumFolders(children));
    std::vector<std::string> names = Names(*desktop, children);
    ASSERT_EQ(names.size(), 4u);  // the link is not followed
    std::sort(names.begin() + 2, names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Computer", "Home", ".hidden", "Projects"}));

    // Paths come from the identifiers alone.
    EXPECT_EQ(ShellFolder::PathFromIdList(children[0]), "");
    EXPECT_EQ(ShellFolder::PathFromIdList(children[1]), home);
    for (const ItemIdList& child : children) {
        if (desktop->DisplayNameOf(child) == "Projects") {
            EXPECT_EQ(ShellFolder::PathFromIdList(child), home + "/Desktop/Projects");
        }
    }
    // Home binds to a folder that lists its subfolders.
    auto homeFolder = desktop->BindToFolder(children[1]);
    ASSERT_TRUE(homeFolder);
    std::vector<ItemIdList> homeChildren;
    ASSERT_TRUE(homeFolder->EnumFolders(homeChildren));
    EXPECT_EQ(Names(*homeFolder, homeChildren), std::vector<std::string>{"Desktop"});
    EXPECT_EQ(ShellFolder::PathFromIdList(ItemIdList::Concatenate(children[1], homeChildren[0])),
              home + "/Desktop");
}

TEST(ShellFolder, ComputerListsTheRootVolumeWithItsPath)
{
    const ItemIdList computerId = ItemIdList::Single(ShellItemKind::Computer, "Computer");
    auto computer = ShellFolder::Desktop()->BindToFolder(computerId);
    ASSERT_TRUE(computer);
    std::vector<ItemIdList> volumes;
    ASSERT_TRUE(computer->EnumFolders(volumes));
    int roots = 0;
    for (const ItemIdList& volume : volumes) {
        if (ShellFolder::PathFromIdList(ItemIdList::Concatenate(computerId, volume)) == "/") {
            ++roots;
            EXPECT_NE(computer->DisplayNameOf(volume).find("(/)"), std::string::npos);
            EXPECT_TRUE(computer->BindToFolder(volume));
        }
    }
    EXPECT_EQ(roots, 1);
    EXPECT_EQ(ShellFolder::IconKeysOf(computerId).closed, platform::ShellIcons::kComputer);
}

TEST(ShellFolder, BindingRefusesWhatIsNotAChildFolder)
{
    TempTree tree;
    ASSERT_TRUE(tree.MakeDir("sub"));
    auto folder = ShellFolder::ForPath(tree.Root());
    const ItemIdList computer = ItemIdList::Single(ShellItemKind::Computer, "Computer");
    EXPECT_FALSE(folder->BindToFolder(computer));
    EXPECT_FALSE(folder->BindToFolder(ItemIdList::Single(ShellItemKind::Folder, "a/b")));
    EXPECT_FALSE(folder->BindToFolder(ItemIdList::Empty()));
    EXPECT_TRUE(folder->BindToFolder(ItemIdList::Single(ShellItemKind::Folder, "sub")));
    // A folder path below a non-file-system item has no path.
    EXPECT_EQ(ShellFolder::PathFromIdList(ItemIdList::Concatenate(
                  computer, ItemIdList::Single(ShellItemKind::Folder, "x"))),
              "");
}

TEST(ShellIcons, MimeTypeComesFromTheNameAlone)
{
    EXPECT_EQ(platform::ShellIcons::MimeTypeOfFileName("notes.txt"), "text/plain");
    // No such file exists; nothing is read.
    EXPECT_EQ(platform::ShellIcons::MimeTypeOfFileName("/nonexistent/picture.png"), "image/png");
    EXPECT_EQ(platform::ShellIcons::MimeTypeOfFileName(std::string("\xff\xfe", 2)),
              "application/octet-stream");
}

TEST(ItemIdList, LayoutConcatenationAndRawBytes)
{
    EXPECT_TRUE(ItemIdList().IsNone());
    EXPECT_EQ(ItemIdList().Size(), 0u);
    EXPECT_EQ(ItemIdList::Empty().Size(), 2u);
    EXPECT_TRUE(ItemIdList::Empty().Items().empty());
    // Each item: count (2, little-endian) + kind (1) + payload; then a zero count.
    const std::string name("caf\xe9\n\x01", 6);  // Latin-1, a newline, a control byte
    const ItemIdList a = ItemIdList::Single(ShellItemKind::Volume, std::string("/mnt\0l", 6));
    const ItemIdList b = ItemIdList::Single(ShellItemKind::Folder, name);
    EXPECT_EQ(b.Bytes(), std::string("\x09\x00", 2) + char(ShellItemKind::Folder) + name +
                             std::string(2, '\0'));
    EXPECT_EQ(ItemIdList::FromBytes(b.Bytes()), b);

    const ItemIdList ab = ItemIdList::Concatenate(a, b);
    EXPECT_EQ(ab.Size(), a.Size() + b.Size() - 2);
    ASSERT_EQ(ab.Items().size(), 2u);
    EXPECT_EQ(ab.Items()[0].kind, ShellItemKind::Volume);
    EXPECT_EQ(ab.Items()[0].payload, std::string("/mnt\0l", 6));
    EXPECT_EQ(ab.Last().payload, name);
    for (const ItemIdList& none : {ItemIdList(), ItemIdList::Empty()}) {
        EXPECT_EQ(ItemIdList::Concatenate(none, b), b);
        EXPECT_EQ(ItemIdList::Concatenate(b, none), b);
    }
    EXPECT_TRUE(ItemIdList::Concatenate(ItemIdList(), ItemIdList()).IsNone());
}

TEST(ItemIdList, MalformedBlocksAreRefused)
{
    using namespace std::string_literals;
    for (const std::string& bytes : {""s,
                                     "\x05\x00"
                                     "ab"s,
                                     "\x09\x00"
                                     "ab\0\0"s,
                                     "\x01\x00\0\0"s}) {
        EXPECT_TRUE(ItemIdList::FromBytes(bytes).IsNone()) << bytes.size();
    }
    EXPECT_TRUE(ItemIdList::Single(ShellItemKind::Folder, std::string(70000, 'x')).IsNone());
}

}  // namespace
