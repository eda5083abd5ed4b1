#include "framework/DetailListView.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QVBoxLayout>

#include <utility>
#include <vector>

#include "framework/MarkImages.h"

namespace {

// Records what reaches the hooks: clicks as {row, selection then}, menus as
// {position, from keyboard}, keys as counts.
class RecordingList : public framework::DetailListView {
public:
    using DetailListView::DetailListView;

    std::vector<int> columnClicks;
    std::vector<std::pair<int, std::vector<int>>> clicks;
    std::vector<int> doubleClicks;
    std::vector<std::pair<QPoint, bool>> menus;
    int opens = 0, deletes = 0, escapes = 0;

protected:
    void OnColumnClick(int column) override { columnClicks.push_back(column); }
    void OnClick(int row) override { clicks.emplace_back(row, Control().SelectedItems()); }
    void OnDoubleClick(int row) override { doubleClicks.push_back(row); }
    void OnOpen() override { ++opens; }
    void OnDeleteKey() override { ++deletes; }
    void OnEscapeKey() override { ++escapes; }
    void OnContextMenu(const QPoint& at, bool keyboard) override
    {
        menus.emplace_back(at, keyboard);
    }
};

// Twenty rows of two columns in a shown window, the list focused.
class DetailListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        (new QVBoxLayout(&m_window))->addWidget(&m_list);
        m_list.Control().InsertColumn(0, {"Name", 140, Qt::AlignLeft});
        m_list.Control().InsertColumn(1, {"Size", 80, Qt::AlignRight});
        for (int row = 0; row < 20; ++row) m_list.Control().InsertItem(row, QString::number(row));
        m_window.resize(400, 300);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        m_list.setFocus();
    }
    // Selected rows as the view shows them.
    std::vector<int> Shown() const
    {
        std::vector<int> rows;
        for (const QModelIndex& index : m_list.selectionModel()->selectedRows())
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    void Click(int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(m_list.viewport(), Qt::LeftButton, modifiers,
                          m_list.ItemRect(row).center());
    }

    QWidget m_window;
    RecordingList m_list{framework::ListSelection::Multiple, &m_window};
};

// The header and the keys reach their hooks (Delete and Escape before the
// window's shortcuts); a keyboard context menu opens five pixels inside the
// top left corner; clicks come after the selection followed them.
TEST_F(DetailListViewTest, MouseAndKeysReachTheirHooks)
{
    QHeaderView* header = m_list.header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 40, header->height() / 2));
    EXPECT_EQ(m_list.columnClicks, (std::vector<int>{1}));
    EXPECT_EQ(m_list.Control().ItemText(0, 0), "0");  // the view does not sort by itself

    int shortcutRuns = 0;
    auto* action = new QAction(&m_window);
    action->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Escape)});
    m_window.addAction(action);
    QObject::connect(action, &QAction::triggered, [&] { ++shortcutRuns; });
    for (const auto key : {Qt::Key_Delete, Qt::Key_Escape, Qt::Key_Return}) {
        QTest::keyClick(&m_list, key);
    }
    QTest::keyClick(&m_list, Qt::Key_Delete, Qt::ShiftModifier);  // not ours
    EXPECT_EQ(std::vector<int>({m_list.deletes, m_list.escapes, m_list.opens, shortcutRuns}),
              std::vector<int>({1, 1, 1, 0}));

    const int frame = m_list.frameWidth();
    const QPoint corner = m_list.mapToGlobal(QPoint(frame + 5, frame + 5));
    QTest::keyClick(&m_list, Qt::Key_F10, Qt::ShiftModifier);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(60, 60), QPoint(60, 60));
    QApplication::sendEvent(&m_list, &key);  // the menu key
    const QPoint at = m_list.viewport()->mapToGlobal(QPoint(30, 40));
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(30, 40), at);
    QApplication::sendEvent(m_list.viewport(), &mouse);
    EXPECT_EQ(m_list.menus,
              (std::vector<std::pair<QPoint, bool>>{{corner, true}, {corner, true}, {at, false}}));

    Click(1);
    Click(3, Qt::ControlModifier);
    QTest::mouseDClick(m_list.viewport(), Qt::LeftButton, {}, m_list.ItemRect(2).center());
    ASSERT_GE(m_list.clicks.size(), 2u);
    EXPECT_EQ(m_list.clicks[0], (std::pair<int, std::vector<int>>{1, {1}}));
    EXPECT_EQ(m_list.clicks[1], (std::pair<int, std::vector<int>>{3, {1, 3}}));
    EXPECT_EQ(m_list.doubleClicks, (std::vector<int>{2}));
    EXPECT_EQ(m_list.Control().SelectedItems(), (std::vector<int>{2}));
    EXPECT_EQ(m_list.Control().FocusedItem(), 2);
}

TEST_F(DetailListViewTest, SelectionSetOnTheRowsShowsInTheViewAndSurvivesASort)
{
    ListControl& control = m_list.Control();
    m_list.SelectOnly(19);
    EXPECT_EQ(Shown(), (std::vector<int>{19}));
    EXPECT_EQ(m_list.currentIndex().row(), 19);
    EXPECT_TRUE(m_list.viewport()->rect().contains(m_list.ItemRect(19)));

    // Reverse the rows: the selected row moves to the top, in the view too.
    std::vector<int> keys(20);
    for (int row = 0; row < 20; ++row) control.SetItemData(row, &(keys[row] = row));
    control.SortItems([](void* a, void* b, std::intptr_t) { return *(int*)b - *(int*)a; }, 0);
    EXPECT_EQ(control.SelectedItems(), (std::vector<int>{0}));
    EXPECT_EQ(Shown(), (std::vector<int>{0}));

    // Rows filled under a suspended redraw enter the view selected.
    control.SuspendRedraw();
    const int added = control.InsertItem(control.ItemCount(), "added");
    control.SetItemState(added, ListControl::Selected, ListControl::Selected);
    control.ResumeRedraw();
    EXPECT_EQ(Shown(), (std::vector<int>{0, added}));

    // A selected row that goes leaves the count right on both sides.
    control.DeleteItem(0);
    EXPECT_EQ(control.SelectedCount(), 1);
    EXPECT_EQ(control.SelectedItems(), (std::vector<int>{added - 1}));
    EXPECT_EQ(Shown(), (std::vector<int>{added - 1}));
}

// Opaque dots on a transparent field: red for duplicates, green for a single copy.
TEST(MarkImagesTest, DotsOnAMaskedOutField)
{
    const auto [duplicates, single] = framework::MarkImages();
    ASSERT_EQ(duplicates.size(), QSize(16, 16));
    ASSERT_EQ(single.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(duplicates.pixel(0, 0)) + qAlpha(single.pixel(0, 0)), 0);
    EXPECT_EQ(duplicates.pixel(7, 4), qRgb(255, 0, 0));
    EXPECT_EQ(single.pixel(7, 7), qRgb(0, 192, 0));
}

}  // namespace
