#include "framework/CommandRouter.h"

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QEventLoop>
#include <QMenu>
#include <QTest>

#include "framework/MenuBuilder.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

using framework::CommandState;
using namespace resources;

namespace {

constexpr int kCommandA = ID_RESET;  // any command ids do for routing
constexpr int kCommandB = ID_STOP_SCANNING;
constexpr CommandState kDisabled = {.enabled = false, .checked = std::nullopt};

// Claims the commands it is given, with their states, and records what it
// ran with the check its action had then.
class Recorder : public framework::CommandTarget {
public:
    std::map<int, CommandState> claims;
    std::vector<int> ran;
    std::vector<bool> checkSeen;
    framework::CommandRouter* router = nullptr;

    bool OnUpdateCommand(int command, CommandState& state) override
    {
        return claims.count(command) && (state = claims[command], true);
    }
    void OnCommand(int command) override
    {
        ran.push_back(command);
        if (router != nullptr) checkSeen.push_back(router->Action(command)->isChecked());
    }
};

struct Pane : QWidget, Recorder {
    using QWidget::QWidget;
};

// A shown window holding a pane (a target, with a child) and another widget;
// the router falls back to a view, then a frame.
class CommandRouterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (QWidget* widget : {m_paneChild, m_other}) widget->setFocusPolicy(Qt::StrongFocus);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        m_router.SetFallbackTargets({&m_view, &m_frame});
    }

    QWidget m_window;
    Pane* m_pane = new Pane(&m_window);
    QWidget* m_paneChild = new QWidget(m_pane);
    QWidget* m_other = new QWidget(&m_window);
    Recorder m_view;
    Recorder m_frame;
    framework::CommandRouter m_router{&m_window};
};

// The first claim decides, a disabled one too; an unclaimed command is
// disabled. A given first target (a context menu's pane) comes before all.
TEST_F(CommandRouterTest, OffersCommandsToTheFocusedPaneThenTheFallbacksInOrder)
{
    m_pane->claims[kCommandA] = m_view.claims[kCommandA] = m_frame.claims[kCommandA] = {};
    m_paneChild->setFocus();  // a widget inside the pane counts as the pane
    EXPECT_FALSE(m_router.Execute(kCommandB));
    EXPECT_TRUE(m_router.Execute(kCommandA));
    m_frame.claims[kCommandB] = {};
    m_other->setFocus();
    EXPECT_TRUE(m_router.Execute(kCommandA));
    EXPECT_TRUE(m_router.Execute(kCommandB));
    Recorder context;
    context.claims[kCommandA] = {};
    EXPECT_TRUE(m_router.Execute(kCommandA, &context));
    for (const auto& [target, ran] : {std::pair<Recorder*, int>{m_pane, kCommandA},
                                      {&m_view, kCommandA},
                                      {&m_frame, kCommandB},
                                      {&context, kCommandA}})
        EXPECT_EQ(target->ran, std::vector<int>{ran});

    m_pane->claims[kCommandB] = kDisabled;
    QAction* action = m_router.Action(kCommandB);
    for (QWidget* focus : {m_paneChild, m_other}) {
        focus->setFocus();
        m_router.UpdateAction(action);
        EXPECT_EQ(action->isEnabled(), focus == m_other);
        EXPECT_EQ(m_router.Execute(kCommandB), focus == m_other);
    }
    EXPECT_EQ(m_frame.ran, (std::vector<int>{kCommandB, kCommandB}));
}

// Choosing does not flip the check: the handler sees the check from before
// the choice; the rules apply when a watched menu opens and when the event
// loop is about to wait. Actions carry the command's prompt and tooltip.
TEST_F(CommandRouterTest, StatesFollowTheTargetsNotTheChoice)
{
    QAction* action = m_router.Action(kCommandA);
    action->setCheckable(true);
    m_frame.claims[kCommandA] = {};  // no check rule: the handler alone sets it
    m_frame.router = &m_router;
    action->trigger();
    action->setChecked(true);
    action->trigger();
    EXPECT_EQ(m_frame.checkSeen, (std::vector<bool>{false, true}));
    EXPECT_TRUE(action->isChecked());

    QMenu menu;
    menu.addAction(action);
    m_router.WatchMenu(&menu);
    m_frame.claims[kCommandA] = {.enabled = false, .checked = false};
    Q_EMIT menu.aboutToShow();
    EXPECT_FALSE(action->isEnabled() || action->isChecked());

    m_frame.claims[kCommandA] = {.enabled = true, .checked = true};
    m_router.SetUpdateWhenIdle(true);
    QEventLoop loop;
    // Connected after the router's own update, so this runs after it.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(action->isEnabled() && action->isChecked());
    m_router.SetUpdateWhenIdle(false);

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
    tree.claims = {{ID_EXPLORE, {}}, {ID_DELETE, kDisabled}};
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
