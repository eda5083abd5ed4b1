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

using framework::ListSelection;
using framework::DetailListView;

namespace {

// Records what reaches the hooks.
class RecordingList : public DetailListView {
public:
    using DetailListView::DetailListView;

    std::vector<int> columnClicks;
    std::vector<int> clicks;
    std::vector<std::vector<int>> selectedAtClick;
    std::vector<int> doubleClicks;
    std::vector<std::pair<QPoint, bool>> menus;
    int opens = 0;
    int deletes = 0;
    int escapes = 0;

protected:
    void OnColumnClick(int column) override { columnClicks.push_back(column); }
    void OnClick(int row) override
    {
        clicks.push_back(row);
        selectedAtClick.push_back(Control().SelectedItems());
    }
    void OnDoubleClick(int row) override { doubleClicks.push_back(row); }
    void OnOpen() override { ++opens; }
    void OnDeleteKey() override { ++deletes; }
    void OnEscapeKey() override { ++escapes; }
    void OnContextMenu(const QPoint& globalPos, bool fromKeyboard) override
    {
        menus.emplace_back(globalPos, fromKeyboard);
    }
};

class DetailListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&m_window);
        layout->addWidget(&m_list);
        ListControl& control = m_list.Control();
        control.InsertColumn(0, {"Name", 140, Qt::AlignLeft});
        control.InsertColumn(1, {"Size", 80, Qt::AlignRight});
        for (int row = 0; row < 20; ++row) {
            control.InsertItem(row, QStringLiteral("row %1").arg(row));
        }
        m_window.resize(400, 300);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        m_list.setFocus();
    }

    // Selected rows as the view shows them.
    std::vector<int> ShownSelection() const
    {
        std::vector<int> rows;
        for (const QModelIndex& index : m_list.selectionModel()->selectedRows()) {
            rows.push_back(index.row());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    QWidget m_window;
    RecordingList m_list{ListSelection::Multiple, &m_window};
};

TEST_F(DetailListViewTest, HeaderClicksReachTheHook)
{
    QHeaderView* header = m_list.header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 40, header->height() / 2));
    EXPECT_EQ(m_list.columnClicks, (std::vector<int>{1}));
    EXPECT_EQ(m_list.Control().ItemText(0, 0), "row 0");  // the view does not sort by itself
}

TEST_F(DetailListViewTest, KeyboardContextMenuOpensFivePixelsInsideTheTopLeftCorner)
{
    const int frame = m_list.frameWidth();
    const QPoint expected = m_list.mapToGlobal(QPoint(frame + 5, frame + 5));
    QTest::keyClick(&m_list, Qt::Key_F10, Qt::ShiftModifier);
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(60, 60),
                               m_list.mapToGlobal(QPoint(60, 60)));
    QApplication::sendEvent(&m_list, &keyboard);
    const QPoint at = m_list.viewport()->mapToGlobal(QPoint(30, 40));
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(30, 40), at);
    QApplication::sendEvent(m_list.viewport(), &mouse);

    using Menu = std::pair<QPoint, bool>;
    EXPECT_EQ(m_list.menus, (std::vector<Menu>{{expected, true}, {expected, true}, {at, false}}));
}

TEST_F(DetailListViewTest, DeleteEscapeAndEnterReachTheirHooksBeforeShortcuts)
{
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    int shortcutRuns = 0;
    auto* action = new QAction(&m_window);
    action->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Escape)});
    m_window.addAction(action);
    QObject::connect(action, &QAction::triggered, [&] { ++shortcutRuns; });

    QTest::keyClick(&m_list, Qt::Key_Delete);
    QTest::keyClick(&m_list, Qt::Key_Escape);
    QTest::keyClick(&m_list, Qt::Key_Return);
    QTest::keyClick(&m_list, Qt::Key_Delete, Qt::ShiftModifier);  // not ours

    EXPECT_EQ(m_list.deletes, 1);
    EXPECT_EQ(m_list.escapes, 1);
    EXPECT_EQ(m_list.opens, 1);
    EXPECT_EQ(shortcutRuns, 0);
}

TEST_F(DetailListViewTest, ClicksReportTheirRowAfterTheSelectionFollowed)
{
    QTest::mouseClick(m_list.viewport(), Qt::LeftButton, {}, m_list.ItemRect(1).center());
    QTest::mouseClick(m_list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      m_list.ItemRect(3).center());
    QTest::mouseDClick(m_list.viewport(), Qt::LeftButton, {}, m_list.ItemRect(2).center());

    ASSERT_GE(m_list.clicks.size(), 2u);
    EXPECT_EQ(m_list.clicks[0], 1);
    EXPECT_EQ(m_list.selectedAtClick[0], (std::vector<int>{1}));
    EXPECT_EQ(m_list.clicks[1], 3);
    EXPECT_EQ(m_list.selectedAtClick[1], (std::vector<int>{1, 3}));
    EXPECT_EQ(m_list.doubleClicks, (std::vector<int>{2}));
    EXPECT_EQ(m_list.Control().SelectedItems(), (std::vector<int>{2}));
    EXPECT_EQ(m_list.Control().FocusedItem(), 2);
}

TEST_F(DetailListViewTest, SelectionSetOnTheRowsShowsInTheViewAndSurvivesASort)
{
    ListControl& control = m_list.Control();
    m_list.SelectOnly(19);
    EXPECT_EQ(ShownSelection(), (std::vector<int>{19}));
    EXPECT_EQ(m_list.currentIndex().row(), 19);
    EXPECT_TRUE(m_list.viewport()->rect().contains(m_list.ItemRect(19)));

    // Reverse the rows: the selected row moves to the top, in the view too.
    std::vector<int> keys(20);
    for (int row = 0; row < 20; ++row) {
        keys[row] = row;
        control.SetItemData(row, &keys[row]);
    }
    control.SortItems([](void* a, void* b,
                         std::intptr_t) { return *static_cast<int*>(b) - *static_cast<int*>(a); },
                      0);
    EXPECT_EQ(control.SelectedItems(), (std::vector<int>{0}));
    EXPECT_EQ(ShownSelection(), (std::vector<int>{0}));

    // Rows filled under a suspended redraw enter the view selected.
    control.SuspendRedraw();
    const int added = control.InsertItem(control.ItemCount(), "added");
    control.SetItemState(added, ListControl::Selected, ListControl::Selected);
    control.ResumeRedraw();
    EXPECT_EQ(ShownSelection(), (std::vector<int>{0, added}));

    // A selected row that goes leaves the count right on both sides.
    control.DeleteItem(0);
    EXPECT_EQ(control.SelectedCount(), 1);
    EXPECT_EQ(control.SelectedItems(), (std::vector<int>{added - 1}));
    EXPECT_EQ(ShownSelection(), (std::vector<int>{added - 1}));
}

TEST(MarkImagesTest, DotsOnAMaskedOutField)
{
    const auto [duplicates, single] = framework::MarkImages();
    ASSERT_EQ(duplicates.size(), QSize(16, 16));
    ASSERT_EQ(single.size(), QSize(16, 16));
    // Opaque dots on a transparent field: red for duplicates, green for a single copy.
    EXPECT_EQ(qAlpha(duplicates.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(single.pixel(0, 0)), 0);
    EXPECT_EQ(duplicates.pixel(7, 4), qRgb(255, 0, 0));
    EXPECT_EQ(single.pixel(7, 7), qRgb(0, 192, 0));
}

}  // namespace
