#include "tree/FileBrowserView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/FolderPopulation.h"
#include "framework/ContextHelp.h"
#include "platform/ShellActions.h"
#include "resources/CommandIds.h"
#include "support/ModelRuleCheck.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"

using namespace resources;

namespace {

// A tree view that notes what its hooks were asked, one line per call.
class RecordingView : public FileBrowserView {
public:
    std::vector<std::string> calls, explored;
    std::vector<QPoint> menus;
    QString labelPrefix = "~";
    std::function<void()> onClick;

    RecordingView()
    {
        SetExploreLauncher([this](const std::string& folder) {
            explored.push_back(folder);
            return platform::kLaunchSucceeded;
        });
    }
    ~RecordingView() override { DestroyTree(); }

    QString GetItemText(const TreeItemRecord& record) override
    {
        return labelPrefix + FileBrowserView::GetItemText(record);
    }
    void OnItemClicked(TreeItemRecord& record, bool ctrlHeld) override
    {
        calls.push_back((ctrlHeld ? "Ctrl+click " : "click ") + record.name);
        if (onClick) onClick();
    }
    void ShowFolderMenu(int x, int y) override { menus.emplace_back(x, y); }
    void DeleteFolder(TreeItemRecord& r) override { calls.push_back("DeleteFolder " + r.name); }
    void DeleteDuplicates(TreeItemRecord& r) override { calls.push_back("Dups " + r.name); }
    void ClearFolderData(TreeItemRecord& r) override { calls.push_back("Clear " + r.name); }
};

class FileBrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.MakeDir("top") && m_files.MakeDir("top/B1") &&
                    m_files.MakeDir("top/a2"));
        m_view = std::make_unique<RecordingView>();
        m_view->resize(500, 300);
        m_view->show();
        m_view->OnInitialUpdate();
        m_top = FolderPopulation::BringPathIntoTree(*m_view, m_files.RealPath("top"));
        ASSERT_NE(m_top, TreeItem::None);
    }

    TreeControl& Tree() { return m_view->Tree(); }
    QWidget* Viewport() { return m_view->viewport(); }

    QPoint PointOn(TreeItem item, int dx) { return testsupport::PointOnRow(*m_view, item, dx); }
    QPoint LabelPoint(TreeItem item) { return testsupport::LabelPoint(*m_view, item); }

    std::vector<std::string> ChildNames(TreeItem item)
    {
        std::vector<std::string> names;
        for (TreeItem child = Tree().FirstChild(item); child != TreeItem::None;
             child = Tree().NextSibling(child))
            names.push_back(m_view->RecordOf(child)->name);
        return names;
    }
    TreeItem Child(TreeItem item, const std::string& name)
    {
        TreeItem child = Tree().FirstChild(item);
        while (child != TreeItem::None && m_view->RecordOf(child)->name != name)
            child = Tree().NextSibling(child);
        return child;
    }

    TempTree m_files;
    std::unique_ptr<RecordingView> m_view;
    TreeItem m_top = TreeItem::None;
};

TEST_F(FileBrowserViewTest, StartsWithComputerOpenAndAsksForEveryLabel)
{
    const TreeItem computer = Tree().FirstChild(TreeItem::None);
    const QModelIndex index = Tree().IndexOf(computer);
    EXPECT_TRUE(m_view->isExpanded(index));
    // Nothing is stored: a label is what GetItemText answers now.
    m_view->labelPrefix = "#";
    EXPECT_EQ(index.data().toString(), "#Computer");
    EXPECT_EQ(framework::ContextHelp::TopicOf(m_view->viewport()), HID_FOLDER_TREE);
}

TEST_F(FileBrowserViewTest, ClicksOnIconOrLabelPopulateAndPassTheCtrlKey)
{
    ASSERT_TRUE(m_files.MakeDir("top/new"));
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::ControlModifier, LabelPoint(m_top));
    EXPECT_EQ(ChildNames(m_top), (std::vector<std::string>{"a2", "B1", "new"}));
    // A second Ctrl+click does not take the selection away from the item.
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::ControlModifier, LabelPoint(m_top));
    EXPECT_TRUE(m_view->selectionModel()->isSelected(Tree().IndexOf(m_top)));

    const TreeItem b1 = Child(m_top, "B1");
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, PointOn(b1, 4));  // the icon
    EXPECT_EQ(Tree().Selection(), b1);

    // The expand button is no click on the item; the expansion populates.
    ASSERT_TRUE(m_files.MakeDir("top/a2/inner"));
    const TreeItem a2 = Child(m_top, "a2");
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, PointOn(a2, -m_view->indentation() / 2));
    EXPECT_EQ(ChildNames(a2), std::vector<std::string>{"inner"});
    EXPECT_EQ(m_view->calls,
              (std::vector<std::string>{"Ctrl+click top", "Ctrl+click top", "click B1"}));
}

TEST_F(FileBrowserViewTest, AClickSelectsTheClickedItemEvenWhenItsRowMoved)
{
    ASSERT_TRUE(m_files.MakeDir("top/c3"));
    m_view->expand(Tree().IndexOf(m_top));
    const TreeItem b1 = Child(m_top, "B1");
    const QPoint point = LabelPoint(b1);
    // The row above goes while the click is handled: c3 comes under the pointer.
    m_view->onClick = [&] {
        ASSERT_EQ(::rmdir(m_files.Path("top/a2").c_str()), 0);
        m_view->PopulateChildren(m_top);
    };
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, point);
    QTest::mouseMove(Viewport(), point + QPoint(2, 0));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, point + QPoint(2, 0));
    EXPECT_EQ(Tree().Selection(), b1);
}

TEST_F(FileBrowserViewTest, RightClickSelectsAndPopulatesAndTheMenuFollows)
{
    ASSERT_TRUE(m_files.MakeDir("top/late"));
    const QPoint point = LabelPoint(m_top);
    QTest::mouseClick(Viewport(), Qt::RightButton, {}, point);
    EXPECT_EQ(Tree().Selection(), m_top);
    EXPECT_EQ(m_view->calls, std::vector<std::string>{"Ctrl+click top"});
    EXPECT_EQ(ChildNames(m_top), (std::vector<std::string>{"a2", "B1", "late"}));

    const QPoint global = Viewport()->mapToGlobal(point);
    QContextMenuEvent byMouse(QContextMenuEvent::Mouse, point, global);
    QApplication::sendEvent(Viewport(), &byMouse);
    QContextMenuEvent byKey(QContextMenuEvent::Keyboard, QPoint(), m_view->mapToGlobal(QPoint()));
    QApplication::sendEvent(m_view.get(), &byKey);
    QTest::keyClick(m_view.get(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(m_view->menus, (std::vector<QPoint>{global, QPoint(-1, -1), QPoint(-1, -1)}));
    // A menu asked for from the keyboard opens near the tree's corner.
    EXPECT_EQ(Viewport()->mapFromGlobal(m_view->ContextMenuPoint(-1, -1)), QPoint(5, 5));
}

TEST_F(FileBrowserViewTest, QuietSelectionDoesNotRepopulateTheParentsItOpens)
{
    const TreeItem b1 = Child(m_top, "B1");
    ASSERT_TRUE(m_files.MakeDir("top/B1/c"));
    m_view->PopulateChildren(b1);
    const TreeItem c = Child(b1, "c");
    ASSERT_TRUE(m_files.MakeDir("top/B1/d") && m_files.MakeDir("top/B1/c/e"));
    m_view->PopulateAndSelect(c);
    EXPECT_EQ(m_view->currentIndex(), Tree().IndexOf(c));
    EXPECT_TRUE(m_view->isExpanded(Tree().IndexOf(b1)));
    EXPECT_EQ(ChildNames(b1), std::vector<std::string>{"c"});  // "d" not yet
    EXPECT_EQ(ChildNames(c), std::vector<std::string>{"e"});   // the item itself was
}

TEST_F(FileBrowserViewTest, ReExpandingFollowsTheDiskInNameOrder)
{
    testsupport::ModelRuleCheck rules(&Tree());
    const QModelIndex top = Tree().IndexOf(m_top);
    m_view->expand(top);
    m_view->SelectItemQuietly(Child(m_top, "a2"));
    ASSERT_TRUE(m_files.MakeDir("top/C3"));
    ASSERT_EQ(::rmdir(m_files.Path("top/a2").c_str()), 0);
    m_view->collapse(top);
    EXPECT_EQ(ChildNames(m_top), (std::vector<std::string>{"a2", "B1"}));  // read on opening
    m_view->expand(top);
    EXPECT_EQ(ChildNames(m_top), (std::vector<std::string>{"B1", "C3"}));
    // The selection went with its item, in the view too.
    EXPECT_EQ(Tree().Selection(), TreeItem::None);
    EXPECT_FALSE(m_view->currentIndex().isValid());
    EXPECT_EQ(rules.Finish(), 0) << "the model broke a rule of QAbstractItemModel";
}

TEST_F(FileBrowserViewTest, CommandsActOnTheSelectedItemOnly)
{
    const std::vector<int> commands{ID_DELETE, ID_DELETE_DUPLICATES, ID_CLEAR_FOLDER_DATA,
                                    ID_EXPLORE};
    Tree().SelectItem(TreeItem::None);
    framework::CommandState state;
    for (int command : commands) {
        EXPECT_TRUE(m_view->OnUpdateCommand(command, state) && state.enabled);
        m_view->OnCommand(command);
    }
    QTest::keyClick(m_view.get(), Qt::Key_Delete);
    EXPECT_TRUE(m_view->calls.empty() && m_view->explored.empty());
    EXPECT_FALSE(m_view->OnUpdateCommand(ID_OPEN, state));

    Tree().SelectItem(m_top);
    for (int command : commands) m_view->OnCommand(command);
    QTest::keyClick(m_view.get(), Qt::Key_Delete);
    EXPECT_EQ(m_view->calls, (std::vector<std::string>{"DeleteFolder top", "Dups top", "Clear top",
                                                       "DeleteFolder top"}));
    // Explore gets the folder's path; outside the file system an empty one.
    Tree().SelectItem(Tree().FirstChild(TreeItem::None));
    m_view->OnCommand(ID_EXPLORE);
    EXPECT_EQ(m_view->explored, (std::vector<std::string>{m_files.RealPath("top"), ""}));
}

}  // namespace
