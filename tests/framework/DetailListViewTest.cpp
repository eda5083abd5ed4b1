#include "framework/DetailListView.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QTest>

namespace {

using Rows = std::vector<int>;

// Twenty rows of two columns in a shown window; records what reaches the hooks: clicks as {row,
// selection then}, menus as {position, from keyboard}, the rest by name.
struct DetailListViewTest : ::testing::Test, framework::DetailListView {
    QStringList m_events;
    std::vector<std::pair<int, Rows>> m_clicks;
    std::vector<std::pair<QPoint, bool>> m_menus;

    DetailListViewTest() : DetailListView(framework::ListSelection::Multiple)
    {
        Control().InsertColumn(0, {"Name", 140, Qt::AlignLeft});
        Control().InsertColumn(1, {"Size", 80, Qt::AlignRight});
        for (int row = 0; row < 20; ++row) Control().InsertItem(row, QString::number(row));
        resize(400, 300);
        show();
    }
    void SetUp() override { ASSERT_TRUE(QTest::qWaitForWindowActive(this)); }
    void OnColumnClick(int column) override { m_events << "column " + QString::number(column); }
    void OnClick(int row) override { m_clicks.emplace_back(row, Control().SelectedItems()); }
    void OnDoubleClick(int row) override { m_events << "double " + QString::number(row); }
    void OnOpen() override { m_events << "open"; }
    void OnDeleteKey() override { m_events << "delete"; }
    void OnEscapeKey() override { m_events << "escape"; }
    void OnContextMenu(const QPoint& at, bool key) override { m_menus.emplace_back(at, key); }
    // Selected rows as the view shows them.
    Rows Shown() const
    {
        Rows rows;
        for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

// Delete and Escape reach their hooks before the window's shortcuts; a keyboard context menu
// opens at its offset inside the top left corner; a click reports its row after the selection
// followed it.
TEST_F(DetailListViewTest, MouseAndKeysReachTheirHooks)
{
    QTest::mouseClick(header()->viewport(), Qt::LeftButton, {},
                      QPoint(header()->sectionViewportPosition(1) + 40, header()->height() / 2));
    EXPECT_EQ(Control().ItemText(0, 0), "0");  // the view does not sort by itself
    for (const auto key : {Qt::Key_Delete, Qt::Key_Escape})
        addAction(QString(), QKeySequence(key), [&] { m_events << "shortcut"; });
    for (const auto key : {Qt::Key_Delete, Qt::Key_Escape, Qt::Key_Return})
        QTest::keyClick(this, key);
    QTest::keyClick(this, Qt::Key_Delete, Qt::ShiftModifier);  // not ours
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, ItemRect(2).center());
    EXPECT_EQ(m_events, QStringList({"column 1", "delete", "escape", "open", "double 2"}));

    const QPoint corner = mapToGlobal(QPoint(frameWidth(), frameWidth()) + kKeyboardMenuOffset);
    QTest::keyClick(this, Qt::Key_F10, Qt::ShiftModifier);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(60, 60), QPoint(60, 60));
    QApplication::sendEvent(this, &key);  // the menu key
    const QPoint at = viewport()->mapToGlobal(QPoint(30, 40));
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(30, 40), at);
    QApplication::sendEvent(viewport(), &mouse);
    EXPECT_EQ(m_menus,
              (std::vector<std::pair<QPoint, bool>>{{corner, true}, {corner, true}, {at, false}}));

    m_clicks.clear();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, ItemRect(1).center());
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, ItemRect(3).center());
    EXPECT_EQ(m_clicks, (std::vector<std::pair<int, Rows>>{{1, {1}}, {3, {1, 3}}}));
    EXPECT_EQ(Control().FocusedItem(), 3);
}

TEST_F(DetailListViewTest, SelectionSetOnTheRowsShowsInTheViewAndSurvivesASort)
{
    SelectOnly(19);
    EXPECT_TRUE(Shown() == Rows{19} && currentIndex().row() == 19);
    EXPECT_TRUE(viewport()->rect().contains(ItemRect(19)));

    // Reverse the rows: the selected row moves to the top, in the view too.
    std::vector<int> keys(20);
    for (int row = 0; row < 20; ++row) Control().SetItemData(row, &(keys[row] = row));
    Control().SortItems([](void* a, void* b, std::intptr_t) { return *(int*)b - *(int*)a; }, 0);
    EXPECT_EQ(Shown(), Rows{0});

    // Rows filled under a suspended redraw enter the view selected; a selected row that goes
    // leaves the count right on both sides.
    Control().SuspendRedraw();
    const int added = Control().InsertItem(Control().ItemCount(), "added");
    Control().SetItemState(added, ListControl::Selected, ListControl::Selected);
    Control().ResumeRedraw();
    EXPECT_EQ(Shown(), (Rows{0, added}));
    Control().DeleteItem(0);
    EXPECT_TRUE(Control().SelectedCount() == 1 && Shown() == Rows{added - 1});
}

}  // namespace
