#include "model/ListControl.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>

#include <memory>
#include <vector>

#include "support/ModelRuleCheck.h"

namespace {

// A record behind a row: a sort key and a name.
struct Record {
    int key = 0;
    QString name;
};

// By key; the caller value is the ascending flag, as the lists pass it.
int ByKey(void* first, void* second, std::intptr_t ascending)
{
    const int a = static_cast<Record*>(first)->key;
    const int b = static_cast<Record*>(second)->key;
    const int order = a < b ? -1 : (a > b ? 1 : 0);
    return ascending != 0 ? order : -order;
}

class ListControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_rules = std::make_unique<testsupport::ModelRuleCheck>(&m_list);
        m_list.InsertColumn(0, {"Name", 140, Qt::AlignLeft});
        m_list.InsertColumn(1, {"Size", 80, Qt::AlignRight});
    }
    void TearDown() override
    {
        EXPECT_EQ(m_rules->Finish(), 0) << "the model broke a rule of QAbstractItemModel";
    }

    // Appends one row per record, in order.
    void Fill(std::vector<Record>& records)
    {
        for (Record& record : records) {
            const int row = m_list.InsertItem(m_list.ItemCount(), record.name, -1, 0, &record);
            m_list.SetItemText(row, 1, QString::number(record.key));
        }
    }

    std::vector<QString> Names() const
    {
        std::vector<QString> names;
        for (int row = 0; row < m_list.ItemCount(); ++row) {
            names.push_back(m_list.ItemText(row, 0));
        }
        return names;
    }

    ListControl m_list;
    std::unique_ptr<testsupport::ModelRuleCheck> m_rules;
};

TEST_F(ListControlTest, RowsHoldWhatTheOwnerSet)
{
    Record a{1, "a"};
    EXPECT_EQ(m_list.InsertItem(5, "b"), 0);  // clamped to the end
    EXPECT_EQ(m_list.InsertItem(0, "a", 7, 1, &a), 0);
    m_list.SetItemText(0, 1, "1,024");
    m_list.SetItemText(0, 2, "no such column");
    m_list.SetItemStateImage(1, 3);  // no such state image: none

    EXPECT_EQ(Names(), (std::vector<QString>{"a", "b"}));
    const QModelIndex size = m_list.index(0, 1);
    EXPECT_EQ(size.data().toString(), "1,024");
    EXPECT_EQ(size.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(m_list.index(0, 0).data(ListControl::ImageRole).toInt(), 7);
    EXPECT_EQ(m_list.index(0, 0).data(ListControl::StateImageRole).toInt(), 1);
    EXPECT_EQ(m_list.index(0, 0).data(ListControl::ItemDataRole).value<quintptr>(),
              reinterpret_cast<quintptr>(&a));
    EXPECT_EQ(m_list.ItemStateImage(1), 0);
    EXPECT_EQ(m_list.ItemText(1, 1), "");

    // A column inserted later moves the texts after it.
    m_list.InsertColumn(1, {"Modified", 130, Qt::AlignLeft});
    EXPECT_EQ(m_list.ItemText(0, 1), "");
    EXPECT_EQ(m_list.ItemText(0, 2), "1,024");
}

TEST_F(ListControlTest, SortIsStableAndKeepsStatesAndPersistentIndexesWithTheirRows)
{
    std::vector<Record> records{{3, "c"}, {1, "a"}, {2, "b1"}, {4, "d"}, {2, "b2"}};
    Fill(records);
    m_list.SetItemState(0, ListControl::Selected, ListControl::Selected);  // c
    m_list.SetItemState(4, ListControl::Selected | ListControl::Focused,
                        ListControl::Selected | ListControl::Focused);  // b2
    const QPersistentModelIndex cSize(m_list.index(0, 1));
    int stateSignals = 0;
    QObject::connect(&m_list, &ListControl::ItemStateChanged, [&] { ++stateSignals; });
    int layouts = 0;
    QObject::connect(&m_list, &QAbstractItemModel::layoutChanged, [&] { ++layouts; });

    m_list.SortItems(ByKey, 1);

    EXPECT_EQ(Names(), (std::vector<QString>{"a", "b1", "b2", "c", "d"}));
    EXPECT_EQ(m_list.SelectedItems(), (std::vector<int>{2, 3}));
    EXPECT_EQ(m_list.FocusedItem(), 2);
    EXPECT_EQ(m_list.SelectedCount(), 2);
    EXPECT_EQ(cSize.row(), 3);
    EXPECT_EQ(cSize.data().toString(), "3");
    EXPECT_EQ(stateSignals, 0);
    EXPECT_EQ(layouts, 1);

    // Equal keys keep their order in the other direction too.
    m_list.SortItems(ByKey, 0);
    EXPECT_EQ(Names(), (std::vector<QString>{"d", "c", "b1", "b2", "a"}));
}

TEST_F(ListControlTest, FindByDataFollowsSortsDeletionsAndNewData)
{
    std::vector<Record> records{{3, "c"}, {1, "a"}, {2, "b"}};
    Fill(records);
    m_list.SortItems(ByKey, 1);
    EXPECT_EQ(m_list.FindItem(&records[0]), 2);

    m_list.SetItemState(2, ListControl::Selected, ListControl::Selected);
    EXPECT_TRUE(m_list.DeleteItem(0));  // a
    EXPECT_EQ(m_list.FindItem(&records[1]), -1);
    EXPECT_EQ(m_list.FindItem(&records[0]), 1);
    EXPECT_EQ(m_list.FindItem(&records[2]), 0);
    EXPECT_EQ(m_list.FirstSelected(), 1);

    Record other{9, "other"};
    m_list.SetItemData(1, &other);
    EXPECT_EQ(m_list.FindItem(&records[0]), -1);
    EXPECT_EQ(m_list.FindItem(&other), 1);
    EXPECT_EQ(m_list.SelectedCount(), 1);

    m_list.DeleteAllItems();
    EXPECT_EQ(m_list.FindItem(&other), -1);
    EXPECT_EQ(m_list.SelectedCount(), 0);
    EXPECT_EQ(m_list.FocusedItem(), -1);
    EXPECT_FALSE(m_list.DeleteItem(0));
}

TEST_F(ListControlTest, SingleSelectionAndFocusMoveFromRowToRow)
{
    m_list.SetSingleSelection(true);
    for (int i = 0; i < 3; ++i) m_list.InsertItem(i, QString::number(i));
    std::vector<std::tuple<int, int, int>> changes;
    QObject::connect(&m_list, &ListControl::ItemStateChanged,
                     [&](int row, ListControl::State previous, ListControl::State current) {
                         changes.emplace_back(row, int(previous), int(current));
                     });

    m_list.SelectOnly(0);
    m_list.SetItemState(2, ListControl::Selected | ListControl::Focused,
                        ListControl::Selected | ListControl::Focused);

    const int both = ListControl::Selected | ListControl::Focused;
    EXPECT_EQ(changes, (std::vector<std::tuple<int, int, int>>{{0, 0, both},
                                                               {0, both, ListControl::Selected},
                                                               {0, ListControl::Selected, 0},
                                                               {2, 0, both}}));
    EXPECT_EQ(m_list.SelectedItems(), (std::vector<int>{2}));
    EXPECT_EQ(m_list.FocusedItem(), 2);

    m_list.SelectOnly(-1);
    EXPECT_EQ(m_list.SelectedCount(), 0);
    EXPECT_EQ(m_list.FocusedItem(), -1);
}

TEST_F(ListControlTest, SuspendedRedrawAnnouncesAHundredThousandRowsAtOnce)
{
    constexpr int kRows = 100000;
    m_rules->Finish();  // the tester would re-read every row after each signal
    int first = -1;
    int last = -1;
    int insertions = 0;
    QObject::connect(&m_list, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int from, int to) {
                         ++insertions;
                         first = from;
                         last = to;
                     });
    std::vector<Record> records(kRows);
    m_list.SuspendRedraw();
    m_list.SetItemCountHint(kRows);
    for (int i = 0; i < kRows; ++i) {
        records[i].key = i;
        m_list.InsertItem(i, QString::number(i), -1, 0, &records[i]);
        m_list.SetItemText(i, 1, QString::number(i * 2));
    }
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_EQ(m_list.ItemCount(), kRows);
    m_list.ResumeRedraw();

    EXPECT_EQ(insertions, 1);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, kRows - 1);
    EXPECT_EQ(m_list.rowCount(), kRows);
    EXPECT_EQ(m_list.index(kRows - 1, 1).data().toString(), QString::number(2 * (kRows - 1)));
    EXPECT_EQ(m_list.FindItem(&records[kRows / 2]), kRows / 2);
    m_list.SortItems(ByKey, 0);
    EXPECT_EQ(m_list.FindItem(&records[0]), kRows - 1);
}

TEST_F(ListControlTest, SuspendedRedrawBatchesChangesOfShownRows)
{
    for (int i = 0; i < 5; ++i) m_list.InsertItem(i, QString::number(i));
    std::vector<std::pair<QModelIndex, QModelIndex>> changes;
    QObject::connect(&m_list, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                         changes.emplace_back(topLeft, bottomRight);
                     });

    m_list.SuspendRedraw();
    m_list.SuspendRedraw();
    m_list.SetItemText(3, 1, "three");
    m_list.SetItemStateImage(1, 2);
    m_list.ResumeRedraw();
    EXPECT_TRUE(changes.empty());
    m_list.ResumeRedraw();

    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].first, m_list.index(1, 0));
    EXPECT_EQ(changes[0].second, m_list.index(3, 1));
}

}  // namespace
