#include "engine/FolderPopulation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "model/SharedImageList.h"
#include "platform/ImageList.h"
#include "platform/ShellIcons.h"
#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

namespace {

class KeyImageList : public platform::ImageList {
public:
    int IndexOf(const std::string& key) override
    {
        return m_indexes.emplace(key, static_cast<int>(m_indexes.size())).first->second;
    }
    QVariant Icon(int index) const override { return index; }
    std::map<std::string, int> m_indexes;
};

// HOME is the test run's own fresh folder (isolated-run.sh).
const std::string kHome = std::filesystem::canonical(std::getenv("HOME")).string();

TEST(FolderPopulation, TopLevelIsComputerWithItsVolumesOpenThenHome)
{
    KeyImageList images;
    platform::ImageList::SetSystem(&images);
    ResetSharedImageListForTesting();
    testsupport::FolderTreeFake tree;
    FolderPopulation::BuildTopLevel(tree);
    TreeItemRecord* computer = tree.FirstChildRecord(*tree.RootRecord());
    ASSERT_NE(computer, nullptr);
    EXPECT_EQ(DisplayNameOf(*computer), "Computer");
    EXPECT_EQ(FullPathOf(*computer), "");
    EXPECT_TRUE(tree.Tree().IsExpanded(computer->item));
    TreeItemRecord* home = tree.NextSiblingRecord(*computer);
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(DisplayNameOf(*home), "Home");
    EXPECT_EQ(home->name, kHome);
    // The root volume is listed with its mount point as its path.
    TreeItemRecord* volume = tree.FirstChildRecord(*computer);
    while (volume != nullptr && volume->name != "/") volume = tree.NextSiblingRecord(*volume);
    ASSERT_NE(volume, nullptr);
    EXPECT_TRUE(DisplayNameOf(*volume).ends_with("(/)"));
    EXPECT_TRUE(volume->shellFolder);
    // The icons come from the system list, which the tree now uses.
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

// A path comes into the tree below its volume under Computer, or below Home
// when it lies there, each folder on the way opened.
TEST(FolderPopulation, BringsAPathIntoTheTree)
{
    TempTree files;
    ASSERT_TRUE(files.MakeDir("a") && files.MakeDir("a/b") && files.MakeDir("a/b/c") &&
                files.MakeDir("a/sibling"));
    std::filesystem::create_directories(kHome + "/Documents");
    const std::string target = std::filesystem::canonical(files.Path("a/b")).string();
    for (const std::string& path : {target, kHome + "/Documents"}) {
        SCOPED_TRACE(path);
        testsupport::FolderTreeFake tree;
        const TreeItem item = FolderPopulation::BringPathIntoTree(tree, path);
        ASSERT_NE(item, TreeItem::None);
        const TreeItemRecord* record = tree.RecordOf(item);
        EXPECT_EQ(FullPathOf(*record), path);
        EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, path + "/"), item);
        EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, path + "/missing"), TreeItem::None);
        const TreeItemRecord* up = record;
        while (up->parent->parent != tree.RootRecord()) up = up->parent;
        EXPECT_EQ(DisplayNameOf(*up->parent), path == target ? "Computer" : "Home");
    }
    testsupport::FolderTreeFake tree;
    const TreeItemRecord& b = *tree.RecordOf(FolderPopulation::BringPathIntoTree(tree, target));
    EXPECT_EQ(tree.ChildNames(b), std::vector<std::string>{"c"});
    EXPECT_EQ(tree.ChildNames(*b.parent).size(), 2u);
    EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, "relative/path"), TreeItem::None);
}

}  // namespace
