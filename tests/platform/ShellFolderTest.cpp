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

    // Paths come from the identifiers alone; Home binds to a folder that
    // lists its subfolders.
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
}

TEST(ShellFolder, ComputerListsTheRootVolumeWithItsPath)
{
    const ItemIdList computerId = ItemIdList::Single(ShellItemKind::Computer, "Computer");
    auto computer = ShellFolder::Desktop()->BindToFolder(computerId);
    ASSERT_TRUE(computer);
    std::vector<ItemIdList> volumes;
    ASSERT_TRUE(computer->EnumFolders(volumes));
    const auto root = std::find_if(volumes.begin(), volumes.end(), [&](const ItemIdList& volume) {
        return ShellFolder::PathFromIdList(ItemIdList::Concatenate(computerId, volume)) == "/";
    });
    ASSERT_NE(root, volumes.end());
    EXPECT_NE(computer->DisplayNameOf(*root).find("(/)"), std::string::npos);
    EXPECT_TRUE(computer->BindToFolder(*root));
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
    EXPECT_EQ(ab.Items()[0].kind, ShellItemKind::Volume);
    EXPECT_EQ(ab.Items()[0].payload, "/mnt\0l"s);
    EXPECT_EQ(ab.Last().payload, name);
    for (const ItemIdList& none : {ItemIdList(), ItemIdList::Empty()}) {
        EXPECT_EQ(ItemIdList::Concatenate(none, b), b);
        EXPECT_EQ(ItemIdList::Concatenate(b, none), b);
    }
    EXPECT_TRUE(ItemIdList::Single(ShellItemKind::Folder, std::string(70000, 'x')).IsNone());
}

}  // namespace
