#include "model/TreeControl.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>

#include "support/ModelRuleCheck.h"

namespace {

class TreeControlTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_rules.Finish(), 0) << "a rule of item models broken"; }
    std::vector<TreeItem> Children(TreeItem parent) const
    {
        std::vector<TreeItem> children;
        for (TreeItem child = m_tree.FirstChild(parent); child != TreeItem::None;
             child = m_tree.NextSibling(child)) {
            children.push_back(child);
        }
        return children;
    }
    TreeItem Add(TreeItem parent, const QString& text) { return m_tree.InsertItem(parent, text); }

    TreeControl m_tree;
    testsupport::ModelRuleCheck m_rules{&m_tree};
};

TEST_F(TreeControlTest, StructureFollowsInsertionsAndDeletions)
{
    const TreeItem a = Add(TreeItem::None, "a");
    const TreeItem b = Add(TreeItem::None, "b");
    const TreeItem a1 = Add(a, "a1");
    const TreeItem a2 = Add(a, "a2");
    const TreeItem a21 = Add(a2, "a21");
    EXPECT_EQ(Children(a), (std::vector{a1, a2}));
    EXPECT_EQ(m_tree.Parent(a21), a2);
    EXPECT_EQ(m_tree.ItemAt(m_tree.IndexOf(a21)), a21);
    m_tree.DeleteItem(a1);
    EXPECT_EQ(m_tree.IndexOf(a2).row(), 0);
    // Deleting a subtree forgets every handle in it; handles are not reused.
    m_tree.DeleteItem(a);
    EXPECT_FALSE(m_tree.Contains(a2) || m_tree.Contains(a21));
    EXPECT_EQ(m_tree.ItemData(a21), nullptr);
    const TreeItem c = Add(TreeItem::None, "c");
    EXPECT_TRUE(c != a && c != a21);
    EXPECT_EQ(m_tree.Count(), 2);
    EXPECT_EQ(Add(a, "orphan"), TreeItem::None);

    // An expand button shows before the children are known.
    EXPECT_FALSE(m_tree.hasChildren(m_tree.IndexOf(b)));
    m_tree.SetHasChildren(b, true);
    EXPECT_TRUE(m_tree.hasChildren(m_tree.IndexOf(b)));
    EXPECT_EQ(m_tree.rowCount(m_tree.IndexOf(b)), 0);
}

// A batch enters the model as one insertion, and only when complete: no
// view ever sees the placeholder of an item labelled by the owner. Items
// may go before it ends; a batch whose parent went is dropped.
TEST_F(TreeControlTest, ABatchIsOneInsertionOfLabelledItems)
{
    m_tree.SetTextProvider([](TreeItem item) { return "label " + QString::number(quint64(item)); });
    const TreeItem parent = Add(TreeItem::None, "stored");
    EXPECT_EQ(m_tree.ItemText(parent), "stored");
    Add(parent, "existing");
    std::vector<QString> seen;
    QObject::connect(&m_tree, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex& index, int first, int last) {
                         for (int row = first; row <= last; ++row)
                             seen.push_back(m_tree.index(row, 0, index).data().toString());
                     });
    m_tree.BeginInsertBatch(parent);
    std::vector<TreeItem> added;
    for (int i = 0; i < 4; ++i) {
        added.push_back(Add(parent, "XYZZY"));
        m_tree.SetTextCallback(added.back());
    }
    EXPECT_EQ(m_tree.ChildCount(parent), 1);
    EXPECT_EQ(m_tree.Parent(added[0]), parent);
    m_tree.DeleteItem(added[1]);
    m_tree.EndInsertBatch();
    EXPECT_EQ(seen.size(), 3u);
    for (const QString& text : seen) EXPECT_TRUE(text.startsWith("label ")) << text.toStdString();
    EXPECT_EQ(m_tree.IndexOf(added[3]).row(), 3);
    // Asking for the label again tells the views.
    int changes = 0;
    QObject::connect(&m_tree, &QAbstractItemModel::dataChanged, [&] { ++changes; });
    m_tree.SetTextCallback(added[0]);
    EXPECT_EQ(changes, 1);

    m_tree.BeginInsertBatch(parent);
    const TreeItem pending = Add(parent, "pending");
    m_tree.DeleteItem(parent);
    m_tree.EndInsertBatch();
    EXPECT_FALSE(m_tree.Contains(pending));
    EXPECT_EQ(m_tree.Count(), 0);
}

// Stable, and persistent indexes follow their items (the selection after a
// sort is tested once, with the list control).
TEST_F(TreeControlTest, SortIsStableAndMovesPersistentIndexes)
{
    std::vector<int> values{30, 10, 20, 10};
    std::vector<TreeItem> items;
    for (int& value : values) {
        items.push_back(Add(TreeItem::None, QString::number(value)));
        m_tree.SetItemData(items.back(), &value);
    }
    const QPersistentModelIndex persistent(m_tree.IndexOf(items[2]));
    m_tree.SortChildren(TreeItem::None, [](void* a, void* b) {
        return *static_cast<int*>(a) - *static_cast<int*>(b);
    });
    EXPECT_EQ(Children(TreeItem::None), (std::vector{items[1], items[3], items[2], items[0]}));
    EXPECT_EQ(m_tree.ItemAt(persistent), items[2]);
    EXPECT_EQ(persistent.row(), 2);
}

TEST_F(TreeControlTest, SelectingAHiddenItemAnnouncesEachExpansion)
{
    const TreeItem a = Add(TreeItem::None, "a");
    const TreeItem b = Add(a, "b");
    const TreeItem c = Add(b, "c");
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
    // Deleting the selected item leaves no selection, and says so.
    m_tree.DeleteItem(b);
    EXPECT_EQ(m_tree.Selection(), TreeItem::None);
    EXPECT_EQ(selections, (std::vector<std::pair<TreeItem, TreeItem>>{{TreeItem::None, c},
                                                                      {c, TreeItem::None}}));
}

}  // namespace
