#include "framework/CommandRouter.h"

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>

#include "framework/MenuBuilder.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

using framework::CommandState;
using namespace resources;

namespace {

constexpr int kCommandA = ID_RESET;  // any command ids do for routing
constexpr int kCommandB = ID_STOP_SCANNING;
constexpr int kCheckable = ID_SCAN_SIZE_ONLY;

// Claims the commands it is given, with their states, and records what it
// ran and, when watching an action, its check at that moment.
class Recorder : public framework::CommandTarget {
public:
    std::map<int, CommandState> claims;
    std::vector<int> ran;
    std::vector<bool> checkSeen;
    QAction* watched = nullptr;

    bool OnUpdateCommand(int command, CommandState& state) override
    {
        const auto found = claims.find(command);
        if (found != claims.end()) state = found->second;
        return found != claims.end();
    }
    void OnCommand(int command) override
    {
        ran.push_back(command);
        if (watched != nullptr) checkSeen.push_back(watched->isChecked());
    }
};

class PaneWidget : public QWidget, public Recorder {};

// A window holding a pane (a target, with a child) and another widget; the
// router falls back to a view, then a frame.
class CommandRouterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&m_window);
        layout->addWidget(m_pane);
        layout->addWidget(m_other);
        for (QWidget* widget : {m_paneChild, m_other}) widget->setFocusPolicy(Qt::StrongFocus);
        m_window.show();
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        m_router.SetFallbackTargets({&m_view, &m_frame});
    }
    void Focus(QWidget* widget)
    {
        widget->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), widget);
    }

    QWidget m_window;
    PaneWidget* m_pane = new PaneWidget;
    QWidget* m_paneChild = new QWidget(m_pane);
    QWidget* m_other = new QWidget;
    Recorder m_view;
    Recorder m_frame;
    framework::CommandRouter m_router{&m_window};
};

// The first claim decides, a disabled one too; an unclaimed command is disabled.
TEST_F(CommandRouterTest, OffersCommandsToTheFocusedPaneThenTheFallbacksInOrder)
{
    m_pane->claims[kCommandA] = m_view.claims[kCommandA] = m_frame.claims[kCommandA] = {};
    Focus(m_paneChild);  // a widget inside the pane counts as the pane
    EXPECT_FALSE(m_router.Execute(kCommandB));
    EXPECT_TRUE(m_router.Execute(kCommandA));
    m_frame.claims[kCommandB] = {};
    Focus(m_other);
    EXPECT_TRUE(m_router.Execute(kCommandA));
    EXPECT_TRUE(m_router.Execute(kCommandB));
    EXPECT_EQ(m_pane->ran, std::vector<int>{kCommandA});
    EXPECT_EQ(m_view.ran, std::vector<int>{kCommandA});
    EXPECT_EQ(m_frame.ran, std::vector<int>{kCommandB});

    // A given first target (a context menu's pane) comes before the focus.
    Recorder contextPane;
    contextPane.claims[kCommandA] = {};
    Focus(m_pane);
    EXPECT_TRUE(m_router.Execute(kCommandA, &contextPane));
    EXPECT_EQ(contextPane.ran, std::vector<int>{kCommandA});

    m_pane->claims[kCommandB] = {.enabled = false, .checked = std::nullopt};
    EXPECT_FALSE(m_router.Execute(kCommandB));
    EXPECT_EQ(m_pane->ran.size() + m_frame.ran.size(), 2u);
    QAction* action = m_router.Action(kCommandB);
    m_router.UpdateAction(action);
    EXPECT_FALSE(action->isEnabled());
    Focus(m_other);
    m_router.UpdateAction(action);
    EXPECT_TRUE(action->isEnabled());
}

// Choosing does not flip the check: the handler sees the check from before
// the choice, and the check rules apply when a watched menu opens.
TEST_F(CommandRouterTest, ChecksFollowTheHandlerAndTheRulesNotTheChoice)
{
    QAction* action = m_router.Action(kCheckable);
    action->setCheckable(true);
    m_frame.claims[kCheckable] = {};  // no check rule: the handler alone sets it
    m_frame.watched = action;
    action->trigger();
    action->setChecked(true);
    action->trigger();
    EXPECT_EQ(m_frame.checkSeen, (std::vector<bool>{false, true}));
    EXPECT_TRUE(action->isChecked());

    QMenu menu;
    menu.addAction(action);
    m_router.WatchMenu(&menu);
    m_frame.claims[kCheckable] = {.enabled = false, .checked = false};
    Q_EMIT menu.aboutToShow();
    EXPECT_FALSE(action->isEnabled());
    EXPECT_FALSE(action->isChecked());
}

TEST_F(CommandRouterTest, StatesFollowTheProgramWhenTheEventLoopWaits)
{
    QAction* action = m_router.Action(kCommandA);
    m_router.UpdateAction(action);
    ASSERT_FALSE(action->isEnabled());
    m_frame.claims[kCommandA] = {};
    m_router.SetUpdateWhenIdle(true);
    QEventLoop loop;
    // Connected after the router's own update, so this runs after it.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(action->isEnabled());
    m_router.SetUpdateWhenIdle(false);

    // Actions are made once, with the command's prompt and tooltip.
    EXPECT_EQ(m_router.Action(kCommandB), m_router.Action(kCommandB));
    EXPECT_EQ(
        m_router.Action(kCommandB)->statusTip() + '\n' + m_router.Action(kCommandB)->toolTip(),
        StringTable::Load(kCommandB));
}

// A context menu asks its pane first for every entry and runs a chosen entry
// there, falling back to the router's chain for what the pane leaves.
TEST_F(CommandRouterTest, AContextMenuAsksAndRunsItsPaneFirst)
{
    Recorder tree;
    tree.claims[ID_EXPLORE] = {};
    tree.claims[ID_DELETE] = {.enabled = false, .checked = std::nullopt};
    m_frame.claims[ID_CLEAR_FOLDER_DATA] = {};
    auto menu = framework::MenuBuilder::CreatePopup(IDR_CONTEXT_MENUS, 0, m_router, &tree);
    ASSERT_NE(menu, nullptr);
    Q_EMIT menu->aboutToShow();
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        const int command = action->data().toInt();
        EXPECT_EQ(action->isEnabled(), command == ID_EXPLORE || command == ID_CLEAR_FOLDER_DATA);
        if (action->isEnabled()) action->trigger();
    }
    EXPECT_EQ(tree.ran, std::vector<int>{ID_EXPLORE});
    EXPECT_EQ(m_frame.ran, std::vector<int>{ID_CLEAR_FOLDER_DATA});
    EXPECT_EQ(framework::MenuBuilder::CreatePopup(IDR_CONTEXT_MENUS, 3, m_router, &tree), nullptr);
}

}  // namespace
