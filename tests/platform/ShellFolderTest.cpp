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

std::string RealHome()
{
    char resolved[PATH_MAX];
    return ::realpath(std::getenv("HOME"), resolved) ? resolved : "";
}

std::vector<std::string> Names(const ShellFolder& folder, const std::vector<ItemIdList>& ids)
{
    std::vector<std::string> names;
    for (const ItemIdList& id : ids) {
        names.push_back(folder.DisplayNameOf(id));
    }
    return names;
}

// HOME is a fresh folder of the test run (isolated-run.sh), so the test may
// give it a desktop directory.
TEST(ShellFolder, DesktopHoldsComputerHomeAndTheDesktopFolders)
{
    const std::string home = RealHome();
    ASSERT_FALSE(home.empty());
    ASSERT_EQ(::mkdir((home + "/Desktop").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((home + "/Desktop/Projects").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((home + "/Desktop/.hidden").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("/usr", (home + "/Desktop/usr-link").c_str()), 0);

    auto desktop = ShellFolder::Desktop();
    std::vector<ItemIdList> children;
    ASSERT_TRUE(desktop->EnumFolders(children));
    std::vector<std::string> names = Names(*desktop, children);
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "Computer");
    EXPECT_EQ(names[1], "Home");
    std::sort(names.begin() + 2, names.end());
    EXPECT_EQ(std::vector<std::string>(names.begin() + 2, names.end()),
              (std::vector<std::string>{".hidden", "Projects"}));  // the link is not followed

    // Paths come from the identifiers alone.
    EXPECT_EQ(ShellFolder::PathFromIdList(children[0]), "");
    EXPECT_EQ(ShellFolder::PathFromIdList(children[1]), home);
    auto projects = std::find_if(children.begin(), children.end(), [&](const ItemIdList& id) {
        return desktop->DisplayNameOf(id) == "Projects";
    });
    EXPECT_EQ(ShellFolder::PathFromIdList(*projects), home + "/Desktop/Projects");

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
    auto desktop = ShellFolder::Desktop();
    const ItemIdList computerId = ItemIdList::Single(ShellItemKind::Computer, "Computer");
    auto computer = desktop->BindToFolder(computerId);
    ASSERT_TRUE(computer);
    std::vector<ItemIdList> volumes;
    ASSERT_TRUE(computer->EnumFolders(volumes));
    bool sawRoot = false;
    for (const ItemIdList& volume : volumes) {
        const std::string path =
            ShellFolder::PathFromIdList(ItemIdList::Concatenate(computerId, volume));
        if (path == "/") {
            sawRoot = true;
            EXPECT_NE(computer->DisplayNameOf(volume).find("(/)"), std::string::npos);
            EXPECT_TRUE(computer->BindToFolder(volume));
        }
    }
    EXPECT_TRUE(sawRoot);
    EXPECT_EQ(ShellFolder::IconKeysOf(computerId).closed, platform::ShellIcons::kComputer);
}

TEST(ShellFolder, BindingRefusesWhatIsNotAChildFolder)
{
    TempTree tree;
    ASSERT_TRUE(tree.MakeDir("sub"));
    auto folder = ShellFolder::ForPath(tree.Root());
    EXPECT_FALSE(folder->BindToFolder(ItemIdList::Single(ShellItemKind::Computer, "Computer")));
    EXPECT_FALSE(folder->BindToFolder(ItemIdList::Single(ShellItemKind::Folder, "a/b")));
    EXPECT_FALSE(folder->BindToFolder(ItemIdList::Empty()));
    EXPECT_TRUE(folder->BindToFolder(ItemIdList::Single(ShellItemKind::Folder, "sub")));
    // A folder path below a non-file-system item has no path.
    EXPECT_EQ(ShellFolder::PathFromIdList(
                  ItemIdList::Concatenate(ItemIdList::Single(ShellItemKind::Computer, "Computer"),
                                          ItemIdList::Single(ShellItemKind::Folder, "x"))),
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

}  // namespace
