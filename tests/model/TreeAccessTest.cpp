#include "model/TreeAccess.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>

namespace {

// A tree that notes the hook calls, as the views fill them: the name, and
// whether the item was still in the model then.
class RecordingTree : public TreeAccess {
public:
    std::vector<std::pair<std::string, bool>> deleted;

    RecordingTree() { SetRootRecord(CreateItemRecord(TreeItem::None)); }
    void OnDeleteItemRecord(TreeItemRecord& record, bool) override
    {
        deleted.emplace_back(record.name, Tree().Contains(record.item));
    }
    TreeItemRecord& Add(TreeItemRecord* parent, const std::string& name)
    {
        const TreeItem item = Tree().InsertItem(parent ? parent->item : TreeItem::None, "XYZZY");
        auto record = CreateItemRecord(item);
        record->name = name;
        record->parent = parent ? parent : RootRecord();
        Tree().SetItemData(item, record.get());
        Tree().SetTextCallback(item);
        return *record.release();
    }
};

TEST(TreeAccess, PathsJoinNamesBelowTheFirstRecordWithAPath)
{
    RecordingTree tree;
    TreeItemRecord& volume = tree.Add(nullptr, "/");
    TreeItemRecord& share = tree.Add(&tree.Add(&volume, "usr"), "share");
    TreeItemRecord& photos = tree.Add(&tree.Add(nullptr, "/media/disk"), "photos");
    // A virtual item has no path, nor has a child of it without a path of its own.
    TreeItemRecord& computer = tree.Add(nullptr, "");
    const std::pair<std::string, std::string> rows[] = {
        {FullPathOf(volume), "/"},
        {DirectoryPathOf(volume), "/"},
        {FullPathOf(share), "/usr/share"},
        {DirectoryPathOf(share), "/usr/share/"},
        {FullPathOf(photos), "/media/disk/photos"},
        {FullPathOf(computer), ""},
        {DirectoryPathOf(tree.Add(&computer, "")), ""},
        {AppendBackslash("/tmp"), "/tmp/"},
        {AppendBackslash(""), ""},
    };
    for (const auto& [path, expected] : rows) EXPECT_EQ(path, expected);
    // The label is the decoded name; an item without a record has none.
    EXPECT_EQ(tree.Tree().ItemText(tree.Add(nullptr, "caf\xc3\xa9").item),
              QString::fromUtf8("caf\xc3\xa9"));
    const TreeItem bare = tree.Tree().InsertItem(TreeItem::None, "XYZZY");
    tree.Tree().SetTextCallback(bare);
    EXPECT_EQ(tree.Tree().ItemText(bare), QString());
}

// Records outlive their rows: the subtree leaves the model in one removal,
// then the hooks run deepest first, the items still known, without deep
// recursion however deep the chain.
TEST(TreeAccess, DeleteItemTreeHooksDeepestFirstAfterOneRemoval)
{
    RecordingTree tree;
    TreeItemRecord& top = tree.Add(nullptr, "top");
    TreeItemRecord& x = tree.Add(&top, "x");
    TreeItemRecord* deepest = &tree.Add(&tree.Add(&x, "x1"), "x11");
    TreeItemRecord& y = tree.Add(&top, "y");
    TreeItemRecord& other = tree.Add(nullptr, "other");
    EXPECT_EQ(tree.RecordOf(TreeItem::None), tree.RootRecord());
    EXPECT_EQ(tree.NextSiblingRecord(*tree.FirstChildRecord(top)), &y);
    EXPECT_EQ(tree.NextSiblingRecord(y), tree.FirstChildRecord(*deepest));  // both null
    for (int depth = 0; depth < 5000; ++depth) deepest = &tree.Add(deepest, "d");
    std::vector<int> rowsAtRemoval;
    QObject::connect(&tree.Tree(), &QAbstractItemModel::rowsRemoved,
                     [&] { rowsAtRemoval.push_back(tree.Tree().Count()); });
    const TreeItem xItem = x.item;

    tree.DeleteItemTree(top.item, false);
    ASSERT_EQ(tree.deleted.size(), 5005u);
    EXPECT_EQ(tree.deleted.front(), std::make_pair(std::string("d"), true));
    const std::vector<std::pair<std::string, bool>> last(tree.deleted.end() - 4,
                                                         tree.deleted.end());
    EXPECT_EQ(last, (std::vector<std::pair<std::string, bool>>{
                        {"x1", true}, {"x", true}, {"y", true}, {"top", true}}));
    EXPECT_EQ(rowsAtRemoval, std::vector<int>{1});
    EXPECT_EQ(tree.FirstChildRecord(*tree.RootRecord()), &other);
    // Deleting an item that is gone already does nothing.
    tree.DeleteItemTree(xItem, true);
    EXPECT_EQ(tree.deleted.size(), 5005u);
}

}  // namespace
