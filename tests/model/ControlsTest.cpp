// The list and tree item models, and the records behind the tree's items.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "model/ListControl.h"
#include "model/TreeAccess.h"
#include "model/TreeControl.h"
#include "support/ModelRuleCheck.h"

namespace {

// By the ints behind the rows; the caller value is the ascending flag.
int ByKey(void* first, void* second, std::intptr_t ascending)
{
    const int order = *static_cast<int*>(first) - *static_cast<int*>(second);
    return ascending != 0 ? order : -order;
}

class ListControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_list.InsertColumn(0, {"Name", 140, Qt::AlignLeft});
        m_list.InsertColumn(1, {"Size", 80, Qt::AlignRight});
    }
    void TearDown() override { EXPECT_EQ(m_rules.Finish(), 0) << "a rule of item models broken"; }
    QString Names() const
    {
        QString names;
        for (int row = 0; row < m_list.ItemCount(); ++row) names += m_list.ItemText(row, 0);
        return names;
    }

    ListControl m_list;
    testsupport::ModelRuleCheck m_rules{&m_list};
};

// States and persistent indexes go with the rows; equal keys keep their order both ways.
TEST_F(ListControlTest, SortIsStableAndKeepsTheSelectionWithItsRows)
{
    std::vector<int> keys{3, 1, 2, 4, 2};
    for (int row = 0; row < 5; ++row) {  // named by their places
        m_list.InsertItem(row, QString::number(row), -1, 0, &keys[row]);
        m_list.SetItemText(row, 1, QString::number(keys[row]));
    }
    m_list.SelectOnly(4);
    m_list.SetItemState(0, ListControl::Selected, ListControl::Selected);
    const QPersistentModelIndex size(m_list.index(0, 1));
    int signals = 0;
    QObject::connect(&m_list, &ListControl::ItemStateChanged, [&] { ++signals; });
    QObject::connect(&m_list, &QAbstractItemModel::layoutChanged, [&] { signals += 100; });

    m_list.SortItems(ByKey, 1);
    EXPECT_TRUE(Names() == "12403" && m_list.SelectedItems() == (std::vector<int>{2, 3}));
    EXPECT_TRUE(m_list.FocusedItem() == 2 && size.row() == 3 && size.data().toString() == "3");
    EXPECT_EQ(signals, 100);  // one layout change, no state change
    m_list.SortItems(ByKey, 0);
    EXPECT_EQ(Names(), "30241");

    // Finding a row by its data follows deletions and new data.
    EXPECT_EQ((std::vector{int(m_list.DeleteItem(0)), m_list.FindItem(&keys[3]),
                           m_list.FindItem(&keys[1]), m_list.FirstSelected()}),
              (std::vector{1, -1, 3, 0}));
    int other = 9;
    m_list.SetItemData(3, &other);
    EXPECT_TRUE(m_list.FindItem(&keys[1]) == -1 && m_list.FindItem(&other) == 3);
    m_list.DeleteAllItems();
    EXPECT_TRUE(m_list.FindItem(&other) == -1 &&
                m_list.SelectedCount() + m_list.FocusedItem() == -1 && !m_list.DeleteItem(0));
}

TEST_F(ListControlTest, SingleSelectionAndFocusMoveFromRowToRow)
{
    m_list.SetSingleSelection(true);
    for (int i = 0; i < 3; ++i) m_list.InsertItem(i, QString::number(i));
    QString changes;  // row:previous>current, Selected 2, Focused 1
    QObject::connect(&m_list, &ListControl::ItemStateChanged,
                     [&](int row, ListControl::State was, ListControl::State now) {
                         changes += QString("%1:%2>%3 ").arg(row).arg(int(was)).arg(int(now));
                     });
    const auto both = ListControl::Selected | ListControl::Focused;
    m_list.SelectOnly(0);
    m_list.SetItemState(2, both, both);
    EXPECT_EQ(changes, "0:0>3 0:3>2 0:2>0 2:0>3 ");
    m_list.SelectOnly(-1);
    EXPECT_EQ(m_list.SelectedCount() + m_list.FocusedItem(), -1);
}

// A folder of 100,000 files comes in as one insertion, and finding a row by
// its data stays cheap (a linear scan per lookup would take minutes).
TEST_F(ListControlTest, SuspendedRedrawAnnouncesAHundredThousandRowsAndChangesAtOnce)
{
    constexpr int kRows = 100000;
    m_rules.Finish();  // the tester would re-read every row after each signal
    QSignalSpy inserted(&m_list, &QAbstractItemModel::rowsInserted);
    std::vector<int> keys(kRows);
    m_list.SuspendRedraw();
    m_list.SetItemCountHint(kRows);
    for (int i = 0; i < kRows; ++i) {
        m_list.InsertItem(i, QString::number(i), -1, 0, &(keys[i] = i));
        m_list.SetItemText(i, 1, QString::number(i * 2));
    }
    EXPECT_TRUE(m_list.rowCount() == 0 && m_list.ItemCount() == kRows);
    m_list.ResumeRedraw();
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt() + inserted[0][2].toInt(), kRows - 1);
    EXPECT_EQ(m_list.index(kRows - 1, 1).data().toString(), QString::number(2 * (kRows - 1)));
    EXPECT_EQ(m_list.FindItem(&keys[kRows / 2]), kRows / 2);
    m_list.SortItems(ByKey, 0);
    for (int i = 0; i < kRows; i += 997) EXPECT_EQ(m_list.FindItem(&keys[i]), kRows - 1 - i);

    // Changes of shown rows while suspended, however deep, are one change.
    QSignalSpy changes(&m_list, &QAbstractItemModel::dataChanged);
    m_list.SuspendRedraw();
    m_list.SuspendRedraw();
    m_list.SetItemText(3, 1, "three");
    m_list.SetItemStateImage(1, 2);
    m_list.ResumeRedraw();
    EXPECT_TRUE(changes.empty());
    m_list.ResumeRedraw();
    ASSERT_EQ(changes.count(), 1);
    EXPECT_TRUE(changes[0][0].toModelIndex() == m_list.index(1, 0) &&
                changes[0][1].toModelIndex() == m_list.index(3, 1));
}

class TreeControlTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_rules.Finish(), 0) << "a rule of item models broken"; }
    TreeItem Add(TreeItem parent, const QString& text) { return m_tree.InsertItem(parent, text); }

    TreeControl m_tree;
    testsupport::ModelRuleCheck m_rules{&m_tree};
};

TEST_F(TreeControlTest, StructureFollowsInsertionsAndDeletions)
{
    const TreeItem a = Add(TreeItem::None, "a"), b = Add(TreeItem::None, "b");
    const TreeItem a1 = Add(a, "a1"), a2 = Add(a, "a2"), a21 = Add(a2, "a21");
    EXPECT_EQ((std::vector{m_tree.FirstChild(a), m_tree.NextSibling(a1), m_tree.NextSibling(a2),
                           m_tree.Parent(a21), m_tree.ItemAt(m_tree.IndexOf(a21))}),
              (std::vector{a1, a2, TreeItem::None, a2, a21}));
    // Selecting a hidden item announces each expansion.
    m_tree.Expand(a, ExpandAction::Expand);
    std::vector<TreeItem> expanding;
    QObject::connect(&m_tree, &TreeControl::ItemExpanding,
                     [&](TreeItem item, ExpandAction) { expanding.push_back(item); });
    std::vector<std::pair<TreeItem, TreeItem>> selections;
    QObject::connect(&m_tree, &TreeControl::SelectionChanged,
                     [&](TreeItem from, TreeItem to) { selections.emplace_back(from, to); });
    ASSERT_TRUE(m_tree.SelectItem(a21));
    EXPECT_TRUE(expanding == std::vector{a2} && m_tree.IsExpanded(a2));
    m_tree.DeleteItem(a1);
    EXPECT_EQ(m_tree.IndexOf(a2).row(), 0);
    // Deleting a subtree forgets every handle in it (handles are not reused)
    // and leaves no selection, and says so.
    m_tree.DeleteItem(a);
    EXPECT_EQ(m_tree.Selection(), TreeItem::None);
    EXPECT_EQ(selections, (std::vector<std::pair<TreeItem, TreeItem>>{{TreeItem::None, a21},
                                                                      {a21, TreeItem::None}}));
    EXPECT_FALSE(m_tree.Contains(a2) || m_tree.Contains(a21) || m_tree.ItemData(a21));
    const TreeItem c = Add(TreeItem::None, "c");
    EXPECT_TRUE(c != a && c != a21 && m_tree.Count() == 2 && Add(a, "orphan") == TreeItem::None);

    // An expand button shows before the children are known.
    EXPECT_FALSE(m_tree.hasChildren(m_tree.IndexOf(b)));
    m_tree.SetHasChildren(b, true);
    EXPECT_TRUE(m_tree.hasChildren(m_tree.IndexOf(b)) && m_tree.rowCount(m_tree.IndexOf(b)) == 0);
}

// A batch enters as one insertion when complete (no view sees the placeholder of an
// owner-labelled item); items may go before; a batch whose parent went is dropped.
TEST_F(TreeControlTest, ABatchIsOneInsertionOfLabelledItems)
{
    m_tree.SetTextProvider([](TreeItem) { return QString("label"); });
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
    for (int i = 0; i < 4; ++i) m_tree.SetTextCallback(added.emplace_back(Add(parent, "XYZZY")));
    EXPECT_TRUE(m_tree.ChildCount(parent) == 1 && m_tree.Parent(added[0]) == parent);
    m_tree.DeleteItem(added[1]);
    m_tree.EndInsertBatch();
    EXPECT_EQ(seen, std::vector<QString>(3, "label"));
    EXPECT_EQ(m_tree.IndexOf(added[3]).row(), 3);
    // Asking for the label again tells the views.
    QSignalSpy changes(&m_tree, &QAbstractItemModel::dataChanged);
    m_tree.SetTextCallback(added[0]);
    EXPECT_EQ(changes.count(), 1);

    m_tree.BeginInsertBatch(parent);
    const TreeItem pending = Add(parent, "pending");
    m_tree.DeleteItem(parent);
    m_tree.EndInsertBatch();
    EXPECT_TRUE(!m_tree.Contains(pending) && m_tree.Count() == 0);
}

// Stable; persistent indexes follow their items (selection: the list's test).
TEST_F(TreeControlTest, SortIsStableAndMovesPersistentIndexes)
{
    std::vector<int> values{30, 10, 20, 10};
    std::vector<TreeItem> items;
    for (int& value : values)
        m_tree.SetItemData(items.emplace_back(Add(TreeItem::None, QString::number(value))), &value);
    const QPersistentModelIndex persistent(m_tree.IndexOf(items[0]));
    m_tree.SortChildren(TreeItem::None, [](void* a, void* b) { return ByKey(a, b, 1); });
    const int order[] = {1, 3, 2, 0};
    for (int row = 0; row < 4; ++row) EXPECT_EQ(m_tree.IndexOf(items[order[row]]).row(), row);
    EXPECT_TRUE(m_tree.ItemAt(persistent) == items[0] && persistent.row() == 3);
}

// Notes each deletion hook: the name, and whether the item was still in the model.
struct RecordingTree : TreeAccess {
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
    using Row = std::pair<std::string, std::string>;
    for (const auto& [path, expected] :
         {Row{FullPathOf(volume), "/"}, Row{DirectoryPathOf(volume), "/"},
          Row{FullPathOf(share), "/usr/share"}, Row{DirectoryPathOf(share), "/usr/share/"},
          Row{FullPathOf(photos), "/media/disk/photos"}, Row{FullPathOf(computer), ""},
          Row{DirectoryPathOf(tree.Add(&computer, "")), ""}, Row{AppendBackslash("/tmp"), "/tmp/"},
          Row{AppendBackslash(""), ""}})
        EXPECT_EQ(path, expected);
    // The label is the decoded name; an item without a record has none.
    EXPECT_EQ(tree.Tree().ItemText(tree.Add(nullptr, "caf\xc3\xa9").item),
              QString::fromUtf8("caf\xc3\xa9"));
    const TreeItem bare = tree.Tree().InsertItem(TreeItem::None, "XYZZY");
    tree.Tree().SetTextCallback(bare);
    EXPECT_EQ(tree.Tree().ItemText(bare), QString());
}

// The subtree leaves the model in one removal, then the hooks run deepest
// first, items still known, without recursion however deep the chain.
TEST(TreeAccess, DeleteItemTreeHooksDeepestFirstAfterOneRemoval)
{
    RecordingTree tree;
    TreeItemRecord& top = tree.Add(nullptr, "top");
    TreeItemRecord& x = tree.Add(&top, "x");
    TreeItemRecord* deepest = &tree.Add(&tree.Add(&x, "x1"), "x11");
    TreeItemRecord& y = tree.Add(&top, "y");
    TreeItemRecord& other = tree.Add(nullptr, "other");
    EXPECT_TRUE(tree.RecordOf(TreeItem::None) == tree.RootRecord() &&
                tree.NextSiblingRecord(*tree.FirstChildRecord(top)) == &y);
    EXPECT_EQ(tree.NextSiblingRecord(y), tree.FirstChildRecord(*deepest));  // both null
    for (int depth = 0; depth < 5000; ++depth) deepest = &tree.Add(deepest, "d");
    std::vector<int> rowsAtRemoval;
    QObject::connect(&tree.Tree(), &QAbstractItemModel::rowsRemoved,
                     [&] { rowsAtRemoval.push_back(tree.Tree().Count()); });
    const TreeItem xItem = x.item;

    tree.DeleteItemTree(top.item, false);
    ASSERT_EQ(tree.deleted.size(), 5005u);
    EXPECT_EQ(tree.deleted.front(), std::make_pair(std::string("d"), true));
    EXPECT_EQ(decltype(tree.deleted)(tree.deleted.end() - 4, tree.deleted.end()),
              (decltype(tree.deleted){{"x1", true}, {"x", true}, {"y", true}, {"top", true}}));
    EXPECT_TRUE(rowsAtRemoval == std::vector<int>{1} &&
                tree.FirstChildRecord(*tree.RootRecord()) == &other);
    // Deleting an item that is gone already does nothing.
    tree.DeleteItemTree(xItem, true);
    EXPECT_EQ(tree.deleted.size(), 5005u);
}

}  // namespace
