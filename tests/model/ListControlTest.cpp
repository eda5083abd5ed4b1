#include "model/ListControl.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>
#include <QSignalSpy>

#include "support/ModelRuleCheck.h"

namespace {

// By the ints behind the rows; the caller value is the ascending flag, as
// the lists pass it.
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

// The rows' states and persistent indexes go with the rows; equal keys keep
// their order both ways.
TEST_F(ListControlTest, SortIsStableAndKeepsTheSelectionWithItsRows)
{
    std::vector<int> keys{3, 1, 2, 4, 2};
    for (int row = 0; row < 5; ++row) {  // named by their places
        m_list.InsertItem(row, QString::number(row), -1, 0, &keys[row]);
        m_list.SetItemText(row, 1, QString::number(keys[row]));
    }
    m_list.SetItemState(0, ListControl::Selected, ListControl::Selected);
    const auto both = ListControl::Selected | ListControl::Focused;
    m_list.SetItemState(4, both, both);
    const QPersistentModelIndex size(m_list.index(0, 1));
    int signals = 0;
    QObject::connect(&m_list, &ListControl::ItemStateChanged, [&] { ++signals; });
    QObject::connect(&m_list, &QAbstractItemModel::layoutChanged, [&] { signals += 100; });

    m_list.SortItems(ByKey, 1);
    EXPECT_EQ(Names(), "12403");
    EXPECT_EQ(m_list.SelectedItems(), (std::vector<int>{2, 3}));
    EXPECT_EQ(m_list.FocusedItem(), 2);
    EXPECT_EQ(size.row(), 3);
    EXPECT_EQ(size.data().toString(), "3");
    EXPECT_EQ(signals, 100);  // one layout change, no state change
    m_list.SortItems(ByKey, 0);
    EXPECT_EQ(Names(), "30241");

    // Finding a row by its data follows deletions and new data.
    EXPECT_TRUE(m_list.DeleteItem(0));
    EXPECT_EQ(m_list.FindItem(&keys[3]), -1);
    EXPECT_EQ(m_list.FindItem(&keys[1]), 3);
    EXPECT_EQ(m_list.FirstSelected(), 0);
    int other = 9;
    m_list.SetItemData(3, &other);
    EXPECT_EQ(m_list.FindItem(&keys[1]), -1);
    EXPECT_EQ(m_list.FindItem(&other), 3);
    m_list.DeleteAllItems();
    EXPECT_EQ(m_list.FindItem(&other), -1);
    EXPECT_EQ(m_list.SelectedCount() + m_list.FocusedItem(), -1);
    EXPECT_FALSE(m_list.DeleteItem(0));
}

TEST_F(ListControlTest, SingleSelectionAndFocusMoveFromRowToRow)
{
    m_list.SetSingleSelection(true);
    for (int i = 0; i < 3; ++i) m_list.InsertItem(i, QString::number(i));
    std::string changes;  // row:previous>current, Selected 2, Focused 1
    QObject::connect(&m_list, &ListControl::ItemStateChanged,
                     [&](int row, ListControl::State previous, ListControl::State current) {
                         changes += std::to_string(row) + ":" + std::to_string(previous) + ">" +
                                    std::to_string(current) + " ";
                     });
    const auto both = ListControl::Selected | ListControl::Focused;
    m_list.SelectOnly(0);
    m_list.SetItemState(2, both, both);
    EXPECT_EQ(changes, "0:0>3 0:3>2 0:2>0 2:0>3 ");
    EXPECT_EQ(m_list.SelectedItems(), (std::vector<int>{2}));
    m_list.SelectOnly(-1);
    EXPECT_EQ(m_list.SelectedCount() + m_list.FocusedItem(), -1);
}

// The one test of 100,000 items: a folder that crowded comes into the file
// list as one insertion, and finding a row by its data stays cheap (with a
// linear scan per lookup this would take minutes).
TEST_F(ListControlTest, SuspendedRedrawAnnouncesAHundredThousandRowsAndChangesAtOnce)
{
    constexpr int kRows = 100000;
    m_rules.Finish();  // the tester would re-read every row after each signal
    QSignalSpy inserted(&m_list, &QAbstractItemModel::rowsInserted);
    std::vector<int> keys(kRows);
    m_list.SuspendRedraw();
    m_list.SetItemCountHint(kRows);
    for (int i = 0; i < kRows; ++i) {
        keys[i] = i;
        m_list.InsertItem(i, QString::number(i), -1, 0, &keys[i]);
        m_list.SetItemText(i, 1, QString::number(i * 2));
    }
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_EQ(m_list.ItemCount(), kRows);
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
    EXPECT_EQ(changes[0][0].toModelIndex(), m_list.index(1, 0));
    EXPECT_EQ(changes[0][1].toModelIndex(), m_list.index(3, 1));
}

}  // namespace
