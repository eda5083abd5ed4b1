#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/WindowMessages.h"
#include "framework/CommandRouter.h"
#include "framework/ScanControl.h"
#include "platform/MessageQueue.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "support/AppTestMain.h"

using namespace resources;

namespace {

// Stands in for the sized folder tree.
class FakeTree : public framework::ScanControl {
public:
    void StopScanning() override
    {
        ++stops;
        scanning = false;
    }
    void ResetAll() override
    {
        StopScanning();
        scannedSomething = false;
    }
    void SetDuplicateMode(bool findDuplicates) override { modes.push_back(findDuplicates); }
    bool IsScanning() const override { return scanning; }
    bool HasScannedSomething() const override { return scannedSomething; }

    bool scanning = false;
    bool scannedSomething = false;
    int stops = 0;
    std::vector<bool> modes;
};

// The entries of a menu as text lines: "-" for a separator, "> " before a
// submenu's title, its entries indented by two blanks.
void Describe(const QMenu* menu, const QString& indent, QStringList& lines)
{
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            lines << indent + QStringLiteral("-");
        else if (action->menu() != nullptr) {
            lines << indent + QStringLiteral("> ") + action->text();
            Describe(action->menu(), indent + QStringLiteral("  "), lines);
        } else
            lines << indent + action->text();
    }
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_frame = CLarkspurApp::Instance()->MainFrame();
        ASSERT_NE(m_frame, nullptr);
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        TheMainView->SetBrowserPane(&m_tree);
    }
    void TearDown() override
    {
        TheMainView->SetBrowserPane(nullptr);
        m_frame->SetScanMode(true);
        m_frame->SetMessageText(QString());
    }

    QAction* Action(int command) { return m_frame->Router().Action(command); }
    bool Enabled(int command)
    {
        m_frame->Router().UpdateAll();
        return Action(command)->isEnabled();
    }
    // Scan-mode states: the menu check, then toolbar buttons 32783 and 32784.
    std::vector<bool> ScanModeStates()
    {
        return {Action(ID_SCAN_SIZE_ONLY)->isChecked(), Action(ID_SCAN_DUPLICATES)->isChecked(),
                Action(ID_SCAN_SIZE)->isChecked()};
    }

    CMainFrame* m_frame = nullptr;
    FakeTree m_tree;
};

TEST_F(MainFrameTest, TheMenuBarHoldsTheProgramsMenusInOrder)
{
    QStringList lines;
    for (const QAction* action : m_frame->menuBar()->actions()) {
        lines << action->text();
        Describe(action->menu(), QStringLiteral("  "), lines);
    }
    const QStringList expected = {
        "&File",
        "  Delete\tDel",
        "  &Delete Duplicates...",
        "  -",
        "  &Scan Size Only",
        "  Stop Scanning\tEsc",
        "  &Reset",
        "  -",
        "  E&xit",
        "&View",
        "  &Toolbar",
        "  &Status Bar",
        "  -",
        "  > Show Size As",
        "    Bytes",
        "    KBytes",
        "    MBytes",
        "    GBytes",
        "    Auto",
        "  &Options...",
        "&Help",
        "  &Help Topics",
        "  -",
        "  &About Larkspur 98...",
    };
    EXPECT_EQ(lines, expected);
    // Del and Esc are hints only: each pane handles those keys itself.
    for (const QAction* action : m_frame->Router().Actions())
        for (const QKeySequence& keys : action->shortcuts())
            EXPECT_TRUE(keys != QKeySequence(Qt::Key_Delete) &&
                        keys != QKeySequence(Qt::Key_Escape));
}

TEST_F(MainFrameTest, ResizingTheShownViewKeepsTheLowerPanesHeight)
{
    // Before anything else has resized the view: its bar dragged, then the
    // window made shorter and taller.
    QSplitter* outer = TheMainView->OuterSplitter();
    const QSize size = TheMainView->size();
    outer->setSizes({outer->sizes()[0] + outer->sizes()[1] - 200, 200});
    for (int height : {size.height() - 40, size.height() + 40}) {
        TheMainView->resize(size.width(), height);
        EXPECT_EQ(outer->sizes()[1], 200) << height;
    }
    TheMainView->resize(size);
}

TEST_F(MainFrameTest, TheToolbarShowsItsButtonsInOrderEachWithAnIcon)
{
    QStringList buttons;
    for (const QAction* action : m_frame->ToolBar()->actions()) {
        buttons << (action->isSeparator() ? QStringLiteral("-") : action->toolTip());
        EXPECT_TRUE(action->isSeparator() || !action->icon().isNull())
            << action->toolTip().toStdString();
    }
    EXPECT_EQ(buttons, (QStringList{"Enable Scan For Duplicates", "Scan For Size Only", "-", "Stop",
                                    "Reset", "-", "About", "Help"}));
}

TEST_F(MainFrameTest, AcceleratorsReachTheirCommands)
{
    const std::vector<std::pair<QKeySequence, int>> keys = {
        {QKeySequence(QStringLiteral("F1")), ID_HELP},
        {QKeySequence(QStringLiteral("Shift+F1")), ID_CONTEXT_HELP},
        {QKeySequence(QStringLiteral("F6")), ID_NEXT_PANE},
        {QKeySequence(QStringLiteral("Shift+F6")), ID_PREV_PANE},
        {QKeySequence(QStringLiteral("Alt+Backspace")), ID_EDIT_UNDO},
        {QKeySequence(QStringLiteral("Shift+Ins")), ID_EDIT_PASTE},
    };
    for (const auto& [sequence, command] : keys)
        EXPECT_TRUE(Action(command)->shortcuts().contains(sequence)) << command;
    // Undo, Cut, Copy and Paste have no handler.
    for (int command : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE})
        EXPECT_FALSE(Enabled(command)) << command;
    // Nor have New, Open, Save and Print: their keys reach no enabled action.
    m_frame->Router().UpdateAll();
    for (const QAction* action : m_frame->findChildren<QAction*>())
        for (const char* keys : {"Ctrl+N", "Ctrl+O", "Ctrl+S", "Ctrl+P"})
            EXPECT_FALSE(action->isEnabled() && action->shortcuts().contains(QKeySequence(keys)))
                << keys;
    for (int command :
         {ID_APP_ABOUT, ID_APP_EXIT, ID_VIEW_OPTIONS, ID_HELP_FINDER, ID_CLEAR_FOLDER_DATA})
        EXPECT_TRUE(Enabled(command)) << command;
}

TEST_F(MainFrameTest, StopScanningAndResetFollowTheScan)
{
    EXPECT_FALSE(Enabled(ID_STOP_SCANNING));
    EXPECT_FALSE(Enabled(ID_RESET));

    m_tree.scanning = true;
    EXPECT_TRUE(Enabled(ID_STOP_SCANNING));
    EXPECT_FALSE(Enabled(ID_RESET));
    m_tree.scannedSomething = true;
    EXPECT_TRUE(Enabled(ID_RESET));

    Action(ID_STOP_SCANNING)->trigger();
    EXPECT_EQ(m_tree.stops, 1);
    EXPECT_FALSE(Enabled(ID_STOP_SCANNING));
    EXPECT_TRUE(Enabled(ID_RESET));

    Action(ID_RESET)->trigger();
    EXPECT_FALSE(m_tree.scannedSomething);
    EXPECT_FALSE(Enabled(ID_RESET));

    // Without a tree both stay disabled and Escape in the view is harmless
    // (Escape with a tree is checked from every pane by the end-to-end test).
    TheMainView->SetBrowserPane(nullptr);
    EXPECT_FALSE(Enabled(ID_STOP_SCANNING));
    EXPECT_FALSE(Enabled(ID_RESET));
    QTest::keyClick(TheMainView, Qt::Key_Escape);
}

TEST_F(MainFrameTest, TheMenuEntryTogglesTheScanModeAndTheButtonsRepeatTheirSwitch)
{
    const std::vector<bool> searching = {false, true, false};
    const std::vector<bool> sizeOnly = {true, false, true};
    EXPECT_EQ(ScanModeStates(), searching);
    // Each step: the command, the check states after it, the mode the tree got.
    const struct {
        int command;
        std::vector<bool> states;
        bool findDuplicates;
    } steps[] = {
        {ID_SCAN_SIZE_ONLY, sizeOnly, false},  {ID_SCAN_SIZE_ONLY, searching, true},
        {ID_SCAN_SIZE, sizeOnly, false},       {ID_SCAN_SIZE, sizeOnly, false},
        {ID_SCAN_DUPLICATES, searching, true}, {ID_SCAN_DUPLICATES, searching, true},
    };
    for (const auto& step : steps) {
        Action(step.command)->trigger();
        EXPECT_EQ(ScanModeStates(), step.states) << step.command;
        ASSERT_FALSE(m_tree.modes.empty());
        EXPECT_EQ(m_tree.modes.back(), step.findDuplicates) << step.command;
    }
    EXPECT_EQ(m_tree.modes.size(), std::size(steps));
}

TEST_F(MainFrameTest, ToolbarAndStatusBarEntriesShowAndHideThemWithTheirChecks)
{
    const std::pair<int, QWidget*> bars[] = {{ID_VIEW_TOOLBAR, m_frame->ToolBar()},
                                             {ID_VIEW_STATUS_BAR, m_frame->statusBar()}};
    for (const auto& [command, bar] : bars) {
        SCOPED_TRACE(command);
        for (const bool shown : {false, true}) {
            Action(command)->trigger();
            m_frame->Router().UpdateAll();
            EXPECT_EQ(bar->isHidden(), !shown);
            EXPECT_EQ(Action(command)->isChecked(), shown);
        }
    }
}

TEST_F(MainFrameTest, StatusTextStaysUntilReplacedByTextAPromptOrTheEmptyText)
{
    const QString idle = StringTable::Load(IDS_IDLE_PROMPT);
    EXPECT_EQ(m_frame->MessageText(), idle);

    auto post = [this](const std::string& text) {
        std::string copy = text;
        EXPECT_EQ(m_frame->OnMessage(UM_STATUS_TEXT, reinterpret_cast<platform::WParam>(&copy), 0),
                  0);
    };
    post("Scanning: /home/user/m\xC3\xBCsic");
    EXPECT_EQ(m_frame->MessageText(), QStringLiteral("Scanning: /home/user/m\u00FCsic"));
    post("Scanning: /home/user/other");
    EXPECT_EQ(m_frame->MessageText(), QStringLiteral("Scanning: /home/user/other"));

    // A menu prompt replaces it; when the pointer leaves, the idle prompt.
    QStatusTipEvent prompt(Action(ID_RESET)->statusTip());
    QApplication::sendEvent(m_frame, &prompt);
    EXPECT_EQ(m_frame->MessageText(), Action(ID_RESET)->statusTip());
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(m_frame, &leave);
    EXPECT_EQ(m_frame->MessageText(), idle);

    post("Scanning: /srv");
    post("");
    EXPECT_EQ(m_frame->MessageText(), idle);

    // A name that is not UTF-8 still shows, with its bad byte replaced.
    post("Scanning: /tmp/\xFF");
    EXPECT_TRUE(m_frame->MessageText().startsWith(QStringLiteral("Scanning: /tmp/")));
}

TEST_F(MainFrameTest, PaneCommandsGoToTheFocusedPaneAndF6VisitsThePanes)
{
    // The tree, the file list and the two duplicate lists, in F6 order.
    const std::vector<QWidget*> panes = TheMainView->Panes();
    ASSERT_EQ(panes.size(), 4u);

    TheMainView->setFocus();
    EXPECT_FALSE(Enabled(ID_DELETE));  // no pane has the focus to claim it
    panes[0]->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), panes[0]);
    EXPECT_TRUE(Enabled(ID_DELETE));  // the folder tree deletes its folder

    // F6 and Shift+F6 move the focus from pane to pane, round the end.
    for (std::size_t i = 1; i <= panes.size(); ++i) {
        Action(ID_NEXT_PANE)->trigger();
        EXPECT_EQ(QApplication::focusWidget(), panes[i % panes.size()]) << i;
    }
    Action(ID_PREV_PANE)->trigger();
    EXPECT_EQ(QApplication::focusWidget(), panes.back());
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunApplicationTests(argc, argv); }
