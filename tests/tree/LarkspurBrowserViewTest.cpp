// The sized folder tree on scratch folders: its labels, its clicks and keys.
// The walk itself is the scan's and is tested without a window. No size text
// source is set, so sizes show as plain byte counts.
#include "tree/LarkspurBrowserView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <string>

#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "framework/CommandRouter.h"
#include "support/MessagePump.h"
#include "support/ScanFakes.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"

namespace {

class LarkspurBrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TaskManager::Instance().SetNotifyWindow(m_main.Handle());
        m_main.scan = &m_view.Scan();
        m_view.SetMainView(m_main.Handle());
        m_view.SetFrame(m_main.Handle());
        m_view.SetPanes(&m_list, nullptr);
        m_view.OnInitialUpdate();
        ASSERT_TRUE(m_files.MakeDir("top") && m_files.MakeDir("top/a") &&
                    m_files.MakeFile("top/a/f", std::string(5000, 'x')));
        m_top = FolderPopulation::BringPathIntoTree(m_view, m_files.RealPath("top"));
        ASSERT_NE(m_top, TreeItem::None);
        m_view.resize(600, 400);  // laid out, not shown: nothing paints
    }

    QString Label(TreeItem item) { return m_view.Tree().ItemText(item); }
    TreeItem A() { return m_view.Tree().FirstChild(m_top); }

    testsupport::FakeMainView m_main;
    testsupport::FakeFileList m_list;
    TempTree m_files;
    LarkspurBrowserView m_view;
    TreeItem m_top = TreeItem::None;
};

TEST_F(LarkspurBrowserViewTest, OnlyAPlainLeftClickScansEscapeStopsItAndLabelsShowTheSubtree)
{
    const QPoint onLabel = testsupport::LabelPoint(m_view, m_top);
    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, Qt::ControlModifier, onLabel);
    QTest::mouseClick(m_view.viewport(), Qt::RightButton, {}, onLabel);
    // Computer lies outside the file system.
    m_view.OnItemClicked(*m_view.RecordOf(m_view.Tree().FirstChild(TreeItem::None)), false);
    EXPECT_FALSE(m_view.IsScanning());
    EXPECT_EQ(TaskManager::Instance().PendingCount(), 0);
    EXPECT_EQ(Label(m_top), "top");
    EXPECT_EQ(m_list.shown.size(), 3u);  // every click lists

    // The marks go when the scan stops; the sizes come once it ends.
    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, onLabel);
    EXPECT_EQ(Label(m_top), "[ ] top");
    EXPECT_EQ(Label(A()), "[ ] a");
    QTest::keyClick(&m_view, Qt::Key_Escape);
    EXPECT_EQ(Label(A()), "a");

    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, onLabel);
    ASSERT_TRUE(testsupport::PumpUntil([this] {  // until the scan and its tasks are done
        return !m_view.IsScanning() && TaskManager::Instance().PendingCount() == 0 &&
               !m_main.statusTexts.empty() && m_main.statusTexts.back().empty();
    }));
    const auto size = [this](TreeItem item) {
        return QString::fromStdString(
            static_cast<FolderRecord*>(m_view.RecordOf(item))->treeDiskSpace.ToString());
    };
    EXPECT_EQ(Label(m_top), "[" + size(m_top) + "] top");
    EXPECT_EQ(Label(A()), "[" + size(A()) + "] a");
}

TEST_F(LarkspurBrowserViewTest, TheFolderMenuOpensWhereTheTreeSaysAKeyboardMenuGoes)
{
    framework::CommandRouter router(&m_view);
    m_view.SetCommandRouter(&router);
    QString title;
    QPoint at;
    QTimer::singleShot(0, [&] {
        // No menu leaves the title empty.
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            title = menu->title(), at = menu->pos(), menu->close();
    });
    m_view.ShowFolderMenu(-1, -1);
    EXPECT_EQ(title, QStringLiteral("Folder Menu"));
    EXPECT_EQ(at, m_view.ContextMenuPoint(-1, -1));
    m_view.SetCommandRouter(nullptr);
}

}  // namespace
