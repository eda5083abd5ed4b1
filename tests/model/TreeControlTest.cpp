#include "model/TreeControl.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>

#include <map>
#include <vector>

#include "support/ModelRuleCheck.h"

namespace {

class TreeControlTest : public ::testing::Test {
protected:
    void SetUp() override { m_rules = std::make_unique<testsupport::ModelRuleCheck>(&m_tree); }
    void TearDown() override
    {
        EXPECT_EQ(m_rules->Finish(), 0) << "the model broke a rule of QAbstractItemModel";
    }

    std::vector<TreeItem> Children(TreeItem parent) const
    {
        std::vector<TreeItem> children;
        for (TreeItem child = m_tree.FirstChild(parent); child != TreeItem::None;
             child = m_tree.NextSibling(child)) {
            children.push_back(child);
        }
        return children;
    }

    TreeControl m_tree;
    std::unique_ptr<testsupport::ModelRuleCheck> m_rules;
};

TEST_F(TreeControlTest, StructureFollowsInsertionsAndDeletions)
{
    const TreeItem a = m_tree.InsertItem(TreeItem::None, "a");
    const TreeItem b = m_tree.InsertItem(TreeItem::None, "b");
    const TreeItem a1 = m_tree.InsertItem(a, "a1");
    const TreeItem a2 = m_tree.InsertItem(a, "a2");
    const TreeItem a21 = m_tree.InsertItem(a2, "a21");

    EXPECT_EQ(Children(TreeItem::None), (std::vector{a, b}));
    EXPECT_EQ(Children(a), (std::vector{a1, a2}));
    EXPECT_EQ(m_tree.Parent(a21), a2);
    EXPECT_EQ(m_tree.Parent(a), TreeItem::None);
    EXPECT_EQ(m_tree.Count(), 5);
    EXPECT_EQ(m_tree.ItemAt(m_tree.IndexOf(a21)), a21);

    m_tree.DeleteItem(a1);
    EXPECT_EQ(Children(a), (std::vector{a2}));
    EXPECT_EQ(m_tree.IndexOf(a2).row(), 0);

    // Deleting a subtree forgets every handle in it; handles are not reused.
    m_tree.DeleteItem(a);
    EXPECT_FALSE(m_tree.Contains(a2));
    EXPECT_FALSE(m_tree.Contains(a21));
    EXPECT_EQ(m_tree.Parent(a21), TreeItem::None);
    EXPECT_EQ(m_tree.ItemData(a21), nullptr);
    const TreeItem c = m_tree.InsertItem(TreeItem::None, "c");
    EXPECT_NE(c, a);
    EXPECT_NE(c, a21);
    EXPECT_EQ(m_tree.Count(), 2);
    EXPECT_EQ(m_tree.InsertItem(a, "orphan"), TreeItem::None);
}

TEST_F(TreeControlTest, LabelsComeFromTheOwnerOnceTextIsByCallback)
{
    m_tree.SetTextProvider([this](TreeItem item) {
        return QStringLiteral("label %1").arg(static_cast<quint64>(item));
    });
    const TreeItem plain = m_tree.InsertItem(TreeItem::None, "stored");
    EXPECT_EQ(m_tree.ItemText(plain), "stored");

    // A batch enters the model only when complete: no view ever sees the
    // placeholder of an item inserted for a callback label.
    std::vector<QString> seenAtInsertion;
    QObject::connect(
        &m_tree, &QAbstractItemModel::rowsInserted,
        [&](const QModelIndex& parent, int first, int last) {
            for (int row = first; row <= last; ++row) {
                seenAtInsertion.push_back(m_tree.index(row, 0, parent).data().toString());
            }
        });
    m_tree.BeginInsertBatch(plain);
    const TreeItem x = m_tree.InsertItem(plain, "XYZZY");
    const TreeItem y = m_tree.InsertItem(plain, "XYZZY");
    EXPECT_EQ(m_tree.ChildCount(plain), 0);
    EXPECT_EQ(m_tree.Parent(x), plain);
    m_tree.SetTextCallback(x);
    m_tree.SetTextCallback(y);
    m_tree.EndInsertBatch();

    ASSERT_EQ(seenAtInsertion.size(), 2u);
    for (const QString& text : seenAtInsertion) {
        EXPECT_TRUE(text.startsWith("label ")) << text.toStdString();
    }
    EXPECT_EQ(Children(plain), (std::vector{x, y}));

    // Asking for the label again tells the views.
    int changes = 0;
    QObject::connect(&m_tree, &QAbstractItemModel::dataChanged, [&] { ++changes; });
    m_tree.SetTextCallback(x);
    EXPECT_EQ(changes, 1);
}

TEST_F(TreeControlTest, HasChildrenMarkShowsAnExpandButtonBeforeEnumeration)
{
    const TreeItem folder = m_tree.InsertItem(TreeItem::None, "folder");
    const QModelIndex index = m_tree.IndexOf(folder);
    EXPECT_FALSE(m_tree.hasChildren(index));
    m_tree.SetHasChildren(folder, true);
    EXPECT_TRUE(m_tree.hasChildren(index));
    EXPECT_EQ(m_tree.rowCount(index), 0);
    EXPECT_TRUE(index.data(TreeControl::HasChildrenMarkRole).toBool());
}

TEST_F(TreeControlTest, SortKeepsSelectionAndPersistentIndexesWithTheirItems)
{
    std::map<void*, int> keys;
    std::vector<int> values{30, 10, 20, 10};
    std::vector<TreeItem> items;
    for (int& value : values) {
        const TreeItem item = m_tree.InsertItem(TreeItem::None, QString::number(value));
        m_tree.SetItemData(item, &value);
        items.push_back(item);
    }
    ASSERT_TRUE(m_tree.SelectItem(items[0]));
    const QPersistentModelIndex persistent(m_tree.IndexOf(items[2]));

    m_tree.SortChildren(TreeItem::None, [](void* a, void* b) {
        return *static_cast<int*>(a) - *static_cast<int*>(b);
    });

    // Stable: the two 10s keep their order.
    EXPECT_EQ(Children(TreeItem::None), (std::vector{items[1], items[3], items[2], items[0]}));
    EXPECT_EQ(m_tree.Selection(), items[0]);
    EXPECT_EQ(m_tree.ItemAt(persistent), items[2]);
    EXPECT_EQ(persistent.row(), 2);
}

TEST_F(TreeControlTest, SelectingAHiddenItemAnnouncesEachExpansion)
{
    const TreeItem a = m_tree.InsertItem(TreeItem::None, "a");
    const TreeItem b = m_tree.InsertItem(a, "b");
    const TreeItem c = m_tree.InsertItem(b, "c");
    m_tree.Expand(a, ExpandAction::Expand);

    std::vector<TreeItem> expanding;
    QObject::connect(&m_tree, &TreeControl::ItemExpanding,
                     [&](TreeItem item, ExpandAction) { expanding.push_back(item); });
    std::vector<std::pair<TreeItem, TreeItem>> selections;
    QObject::connect(&m_tree, &TreeControl::SelectionChanged,
                     [&](TreeItem from, TreeItem to) { selections.emplace_back(from, to); });

    ASSERT_TRUE(m_tree.SelectItem(c));
    EXPECT_EQ(expanding, (std::vector{b}));
    EXPECT_TRUE(m_tree.IsExpanded(b));
    EXPECT_EQ(m_tree.Selection(), c);

    // Deleting the selected item leaves no selection, and says so.
    m_tree.DeleteItem(b);
    EXPECT_EQ(m_tree.Selection(), TreeItem::None);
    ASSERT_EQ(selections.size(), 2u);
    EXPECT_EQ(selections.back(), std::make_pair(c, TreeItem::None));
}

TEST_F(TreeControlTest, BatchOfItemsIsOneInsertion)
{
    const TreeItem parent = m_tree.InsertItem(TreeItem::None, "parent");
    m_tree.InsertItem(parent, "existing");
    int insertions = 0;
    QObject::connect(&m_tree, &QAbstractItemModel::rowsInserted, [&] { ++insertions; });

    m_tree.BeginInsertBatch(parent);
    std::vector<TreeItem> added;
    for (int i = 0; i < 5; ++i) {
        added.push_back(m_tree.InsertItem(parent, QString::number(i)));
    }
    // A pending item may be dropped before the batch ends.
    m_tree.DeleteItem(added[1]);
    m_tree.EndInsertBatch();

    EXPECT_EQ(insertions, 1);
    EXPECT_EQ(m_tree.ChildCount(parent), 5);
    EXPECT_FALSE(m_tree.Contains(added[1]));
    EXPECT_EQ(m_tree.IndexOf(added[4]).row(), 4);

    // A batch whose parent is deleted meanwhile is dropped.
    m_tree.BeginInsertBatch(parent);
    const TreeItem pending = m_tree.InsertItem(parent, "pending");
    m_tree.DeleteItem(parent);
    m_tree.EndInsertBatch();
    EXPECT_FALSE(m_tree.Contains(pending));
    EXPECT_EQ(m_tree.Count(), 0);
}

// Not a timing test: with a linear scan per lookup this would take minutes.
TEST(TreeControlScale, HundredThousandItemsStayCheap)
{
    TreeControl tree;
    const TreeItem parent = tree.InsertItem(TreeItem::None, "parent");
    tree.BeginInsertBatch(parent);
    std::vector<TreeItem> items;
    for (int i = 0; i < 100000; ++i) {
        items.push_back(tree.InsertItem(parent, {}));
    }
    tree.EndInsertBatch();
    int count = 0;
    for (TreeItem item = tree.FirstChild(parent); item != TreeItem::None;
         item = tree.NextSibling(item)) {
        ++count;
    }
    EXPECT_EQ(count, 100000);
    EXPECT_EQ(tree.IndexOf(items[99999]).row(), 99999);
    for (int i = 0; i < 1000; ++i) {
        tree.DeleteItem(items[static_cast<std::size_t>(i) * 50]);
        EXPECT_EQ(tree.NextSibling(items[99998]), items[99999]);
    }
    EXPECT_EQ(tree.ChildCount(parent), 99000);
}

}  // namespace
