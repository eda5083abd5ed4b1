#include "model/TreeAccess.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>

#include <map>
#include <string>
#include <vector>

#include "platform/ImageList.h"
#include "platform/ItemIdList.h"
#include "model/SharedImageList.h"

using platform::ItemIdList;
using platform::ShellItemKind;

namespace {

// A tree that notes the hook calls, as the views will fill them.
class RecordingTree : public TreeAccess {
public:
    std::vector<std::string> deleted;
    std::vector<bool> destroyingFlags;
    // Whether the item was still in the model when its hook ran.
    std::vector<bool> itemInModel;

    void OnDeleteItemRecord(TreeItemRecord& record, bool destroying) override
    {
        deleted.push_back(record.name);
        destroyingFlags.push_back(destroying);
        itemInModel.push_back(Tree().Contains(record.item));
    }

    TreeItemRecord& Add(TreeItemRecord* parent, const std::string& name)
    {
        const TreeItem item = Tree().InsertItem(parent ? parent->item : TreeItem::None, "XYZZY");
        auto record = CreateItemRecord(item);
        record->name = name;
        record->parent = parent ? parent : RootRecord();
        TreeItemRecord* raw = record.release();
        Tree().SetItemData(item, raw);
        Tree().SetTextCallback(item);
        return *raw;
    }
};

class TreeAccessTest : public ::testing::Test {
protected:
    void SetUp() override { m_tree.SetRootRecord(m_tree.CreateItemRecord(TreeItem::None)); }
    RecordingTree m_tree;
};

TEST_F(TreeAccessTest, PathsJoinNamesBelowTheFirstRecordWithAPath)
{
    TreeItemRecord& volume = m_tree.Add(nullptr, "/");
    TreeItemRecord& usr = m_tree.Add(&volume, "usr");
    TreeItemRecord& share = m_tree.Add(&usr, "share");
    EXPECT_EQ(FullPathOf(volume), "/");
    EXPECT_EQ(DirectoryPathOf(volume), "/");
    EXPECT_EQ(FullPathOf(share), "/usr/share");
    EXPECT_EQ(DirectoryPathOf(share), "/usr/share/");

    TreeItemRecord& mounted = m_tree.Add(nullptr, "/media/disk");
    TreeItemRecord& photos = m_tree.Add(&mounted, "photos");
    EXPECT_EQ(FullPathOf(photos), "/media/disk/photos");

    // A virtual item has no path, nor has a child of it without a path of its own.
    TreeItemRecord& computer = m_tree.Add(nullptr, "");
    TreeItemRecord& child = m_tree.Add(&computer, "");
    EXPECT_EQ(FullPathOf(computer), "");
    EXPECT_EQ(DirectoryPathOf(child), "");

    EXPECT_EQ(AppendBackslash("/"), "/");
    EXPECT_EQ(AppendBackslash("/tmp"), "/tmp/");
    EXPECT_EQ(AppendBackslash(""), "");
}

TEST_F(TreeAccessTest, DisplayNameOfAShellItemIsAskedOfItsParentsFolder)
{
    TreeItemRecord& root = *m_tree.RootRecord();
    root.shellFolder = platform::ShellFolder::Desktop();
    TreeItemRecord& home = m_tree.Add(nullptr, "/somewhere/real");
    home.itemId = ItemIdList::Single(ShellItemKind::Home, "/somewhere/real");
    home.shellFolder = platform::ShellFolder::ForPath("/somewhere/real");
    EXPECT_EQ(DisplayNameOf(home), "Home");
    // A folder found in a directory shows its own name.
    EXPECT_EQ(DisplayNameOf(m_tree.Add(&home, "raw\xff")), "raw\xff");
}

TEST_F(TreeAccessTest, FullItemIdListConcatenatesTheAncestors)
{
    TreeItemRecord& root = *m_tree.RootRecord();
    root.itemId = ItemIdList::Empty();
    TreeItemRecord& computer = m_tree.Add(nullptr, "");
    computer.itemId = ItemIdList::Single(ShellItemKind::Computer, "Computer");
    TreeItemRecord& volume = m_tree.Add(&computer, "/");
    volume.itemId = ItemIdList::Single(ShellItemKind::Volume, std::string("/\0l", 3));
    const ItemIdList full = FullItemIdListOf(volume);
    EXPECT_EQ(full.Size(), computer.itemId.Size() + volume.itemId.Size() - 2);
    EXPECT_EQ(platform::ShellFolder::PathFromIdList(full), "/");
    EXPECT_EQ(FullItemIdListOf(root), ItemIdList::Empty());
}

TEST_F(TreeAccessTest, LabelsAreTheDecodedNameAndEmptyWithoutARecord)
{
    TreeItemRecord& named = m_tree.Add(nullptr, "caf\xc3\xa9");
    EXPECT_EQ(m_tree.Tree().ItemText(named.item), QString::fromUtf8("caf\xc3\xa9"));
    const TreeItem bare = m_tree.Tree().InsertItem(TreeItem::None, "XYZZY");
    m_tree.Tree().SetTextCallback(bare);
    EXPECT_EQ(m_tree.Tree().ItemText(bare), QString());
}

TEST_F(TreeAccessTest, DeleteItemTreeHooksDeepestFirstAndFreesAfterTheModel)
{
    //   top
    //   ├── x
    //   │   └── x1
    //   │       └── x11
    //   └── y
    TreeItemRecord& top = m_tree.Add(nullptr, "top");
    TreeItemRecord& x = m_tree.Add(&top, "x");
    TreeItemRecord& x1 = m_tree.Add(&x, "x1");
    TreeItemRecord& x11 = m_tree.Add(&x1, "x11");
    TreeItemRecord& y = m_tree.Add(&top, "y");
    TreeItemRecord& other = m_tree.Add(nullptr, "other");
    const TreeItem xItem = x.item;
    // The walk goes through the tree's items, the root record included.
    EXPECT_EQ(m_tree.RecordOf(TreeItem::None), m_tree.RootRecord());
    EXPECT_EQ(m_tree.NextSiblingRecord(*m_tree.RootRecord()), nullptr);
    EXPECT_EQ(m_tree.FirstChildRecord(top), &x);
    EXPECT_EQ(m_tree.NextSiblingRecord(x), &y);
    EXPECT_EQ(m_tree.NextSiblingRecord(y), nullptr);
    EXPECT_EQ(m_tree.FirstChildRecord(x11), nullptr);

    // Records must outlive their rows: no row is still present when records go.
    std::vector<int> rowsAtRemoval;
    QObject::connect(&m_tree.Tree(), &QAbstractItemModel::rowsRemoved,
                     [&] { rowsAtRemoval.push_back(m_tree.Tree().Count()); });

    m_tree.DeleteItemTree(top.item, false);

    EXPECT_EQ(m_tree.deleted, (std::vector<std::string>{"x11", "x1", "x", "y", "top"}));
    EXPECT_EQ(m_tree.destroyingFlags, std::vector<bool>(5, false));
    EXPECT_EQ(m_tree.itemInModel, std::vector<bool>(5, true));
    EXPECT_EQ(rowsAtRemoval, std::vector<int>{1});  // one removal of the whole subtree
    EXPECT_EQ(m_tree.FirstChildRecord(*m_tree.RootRecord()), &other);

    // Deleting an item that is gone already does nothing.
    const std::size_t calls = m_tree.deleted.size();
    m_tree.DeleteItemTree(xItem, true);
    EXPECT_EQ(m_tree.deleted.size(), calls);
}

TEST_F(TreeAccessTest, DeepChainsNeedNoDeepRecursion)
{
    TreeItemRecord* deepest = &m_tree.Add(nullptr, "/");
    const TreeItem top = deepest->item;
    for (int depth = 0; depth < 5000; ++depth) {
        deepest = &m_tree.Add(deepest, "d");
    }
    EXPECT_EQ(FullPathOf(*deepest).size(), 1 + 5000 * 2 - 1);
    m_tree.DeleteItemTree(top, true);
    ASSERT_EQ(m_tree.deleted.size(), 5001u);
    EXPECT_EQ(m_tree.deleted.back(), "/");
    EXPECT_EQ(m_tree.Tree().Count(), 0);
}

class CountingImageList : public platform::ImageList {
public:
    int IndexOf(const std::string& key) override
    {
        auto [it, added] = m_indexes.emplace(key, static_cast<int>(m_indexes.size()));
        return it->second;
    }
    QVariant Icon(int index) const override { return index; }

private:
    std::map<std::string, int> m_indexes;
};

TEST_F(TreeAccessTest, TheSharedImageListIsSetOnceAndGivenToTheTree)
{
    ResetSharedImageListForTesting();
    EXPECT_EQ(SharedImageList(), nullptr);
    TreeControl tree;
    CountingImageList first;
    CountingImageList second;
    SetSharedImageList(tree, &first);
    SetSharedImageList(tree, &second);
    EXPECT_EQ(SharedImageList(), &first);
    EXPECT_EQ(tree.ImageList(), &first);

    const TreeItem item = tree.InsertItem(TreeItem::None, "x");
    tree.SetImages(item, 3, 4);
    EXPECT_EQ(tree.IndexOf(item).data(Qt::DecorationRole).toInt(), 3);
    tree.SelectItem(item);
    EXPECT_EQ(tree.IndexOf(item).data(Qt::DecorationRole).toInt(), 4);
    ResetSharedImageListForTesting();
}

}  // namespace
