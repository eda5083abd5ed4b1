#include "engine/FolderPopulation.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <map>

#include <sys/stat.h>

#include "platform/ImageList.h"
#include "platform/ShellIcons.h"
#include "support/FolderTreeFake.h"
#include "support/TempTree.h"
#include "model/SharedImageList.h"

using testsupport::FolderTreeFake;

namespace {

std::string Real(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? resolved : "";
}

class KeyImageList : public platform::ImageList {
public:
    int IndexOf(const std::string& key) override
    {
        return m_indexes.emplace(key, static_cast<int>(m_indexes.size())).first->second;
    }
    QVariant Icon(int index) const override { return index; }
    std::map<std::string, int> m_indexes;
};

TEST(FolderPopulation, TopLevelIsComputerThenHomeWithComputerOpen)
{
    KeyImageList images;
    platform::ImageList::SetSystem(&images);
    ResetSharedImageListForTesting();

    FolderTreeFake tree;
    FolderPopulation::BuildTopLevel(tree);
    TreeItemRecord* root = tree.RootRecord();
    ASSERT_NE(root, nullptr);
    TreeItemRecord* computer = tree.FirstChildRecord(*root);
    ASSERT_NE(computer, nullptr);
    EXPECT_EQ(DisplayNameOf(*computer), "Computer");
    EXPECT_EQ(FullPathOf(*computer), "");
    EXPECT_TRUE(tree.Tree().IsExpanded(computer->item));
    TreeItemRecord* home = tree.NextSiblingRecord(*computer);
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(DisplayNameOf(*home), "Home");
    EXPECT_EQ(home->name, Real(std::getenv("HOME")));

    // The root volume is listed with its mount point as its path.
    TreeItemRecord* rootVolume = nullptr;
    for (TreeItemRecord* volume = tree.FirstChildRecord(*computer); volume != nullptr;
         volume = tree.NextSiblingRecord(*volume)) {
        if (volume->name == "/") {
            rootVolume = volume;
        }
    }
    ASSERT_NE(rootVolume, nullptr);
    EXPECT_EQ(DisplayNameOf(*rootVolume).substr(DisplayNameOf(*rootVolume).size() - 3), "(/)");
    EXPECT_TRUE(rootVolume->shellFolder);

    // Icons were taken from the system list, which the tree now uses.
    EXPECT_EQ(SharedImageList(), &images);
    EXPECT_EQ(tree.Tree().ImageList(), &images);
    EXPECT_EQ(tree.Tree().Image(computer->item), images.IndexOf(platform::ShellIcons::kComputer));
    EXPECT_EQ(tree.Tree().Image(home->item), images.IndexOf(platform::ShellIcons::kHome));

    // Building again does nothing.
    const int items = tree.Tree().Count();
    FolderPopulation::BuildTopLevel(tree);
    EXPECT_EQ(tree.Tree().Count(), items);

    platform::ImageList::SetSystem(nullptr);
    ResetSharedImageListForTesting();
}

TEST(FolderPopulation, BringsAPathIntoTheTreeFromItsVolume)
{
    TempTree files;
    ASSERT_TRUE(files.MakeDir("a"));
    ASSERT_TRUE(files.MakeDir("a/b"));
    ASSERT_TRUE(files.MakeDir("a/b/c"));
    ASSERT_TRUE(files.MakeDir("a/sibling"));
    const std::string target = Real(files.Path("a/b"));

    FolderTreeFake tree;
    const TreeItem item = FolderPopulation::BringPathIntoTree(tree, target);
    ASSERT_NE(item, TreeItem::None);
    TreeItemRecord* record = tree.RecordOf(item);
    EXPECT_EQ(FullPathOf(*record), target);
    // The folder was opened too, and so was each folder on the way.
    EXPECT_EQ(tree.ChildNames(*record), std::vector<std::string>{"c"});
    EXPECT_EQ(tree.ChildNames(*record->parent).size(), 2u);
    // The path starts at a volume below Computer.
    const TreeItemRecord* up = record;
    while (up->parent != nullptr && up->parent->parent != nullptr &&
           up->parent->parent->parent != nullptr) {
        up = up->parent;
    }
    EXPECT_EQ(DisplayNameOf(*up->parent), "Computer");

    // Asking again finds the same item.
    EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, target + "/"), item);
    EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, target + "/missing"), TreeItem::None);
    EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, "relative/path"), TreeItem::None);
}

// HOME is the test run's own fresh folder (isolated-run.sh).
TEST(FolderPopulation, PathUnderHomeStartsAtHome)
{
    const std::string home = Real(std::getenv("HOME"));
    ASSERT_FALSE(home.empty());
    ASSERT_EQ(::mkdir((home + "/Documents").c_str(), 0700), 0);

    FolderTreeFake tree;
    const TreeItem item = FolderPopulation::BringPathIntoTree(tree, home + "/Documents");
    ASSERT_NE(item, TreeItem::None);
    const TreeItemRecord* record = tree.RecordOf(item);
    ASSERT_NE(record->parent, nullptr);
    EXPECT_EQ(DisplayNameOf(*record->parent), "Home");
    EXPECT_EQ(record->name, "Documents");
}

}  // namespace
