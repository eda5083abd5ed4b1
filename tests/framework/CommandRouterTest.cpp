#include <map>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "framework/CommandRouter.h"
#include "framework/MenuBuilder.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

using framework::CommandRouter;
using framework::CommandState;
using framework::CommandTarget;

namespace {

constexpr int kCommandA = 32774;  // any command ids do for routing
constexpr int kCommandB = 32780;
constexpr int kCheckable = 32785;

// Claims the commands it is given, with their states, and records what it ran.
class Recorder : public CommandTarget {
public:
    std::map<int, CommandState> claims;
    std::vector<int> ran;
    std::vector<bool> checkSeen;
    QAction* watched = nullptr;

    bool OnUpdateCommand(int command, CommandState& state) override
    {
        const auto found = claims.find(command);
        if (found == claims.end()) return false;
        state = found->second;
        return true;
    }
    void OnCommand(int command) override
    {
        ran.push_back(command);
        if (watched != nullptr) checkSeen.push_back(watched->isChecked());
    }
};

class PaneWidget : public QWidget, public Recorder {
public:
    explicit PaneWidget(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
};

class CommandRouterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&m_window);
        m_pane = new PaneWidget(&m_window);
        m_paneChild = new QWidget(m_pane);
        m_paneChild->setFocusPolicy(Qt::StrongFocus);
        m_other = new QWidget(&m_window);
        m_other->setFocusPolicy(Qt::StrongFocus);
        layout->addWidget(m_pane);
        layout->addWidget(m_other);
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
    PaneWidget* m_pane = nullptr;
    QWidget* m_paneChild = nullptr;
    QWidget* m_other = nullptr;
    Recorder m_view;
    Recorder m_frame;
    CommandRouter m_router{&m_window};
};

TEST_F(CommandRouterTest, OffersCommandsToTheFocusedPaneThenTheFallbacksInOrder)
{
    m_pane->claims[kCommandA] = {};
    m_view.claims[kCommandA] = {};
    m_frame.claims[kCommandA] = {};
    m_frame.claims[kCommandB] = {};

    Focus(m_paneChild);  // a widget inside the pane counts as the pane
    EXPECT_TRUE(m_router.Execute(kCommandA));
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
    EXPECT_EQ(m_pane->ran.size(), 1u);
}

TEST_F(CommandRouterTest, AnUnclaimedCommandIsDisabledAndADisabledClaimEndsTheSearch)
{
    Focus(m_pane);
    EXPECT_FALSE(m_router.QueryState(kCommandA).enabled);
    EXPECT_FALSE(m_router.Execute(kCommandA));

    m_pane->claims[kCommandA] = {.enabled = false, .checked = std::nullopt};
    m_frame.claims[kCommandA] = {};
    EXPECT_FALSE(m_router.QueryState(kCommandA).enabled);
    EXPECT_FALSE(m_router.Execute(kCommandA));
    EXPECT_TRUE(m_frame.ran.empty());

    QAction* action = m_router.Action(kCommandA);
    m_router.UpdateAction(action);
    EXPECT_FALSE(action->isEnabled());
    Focus(m_other);
    m_router.UpdateAction(action);
    EXPECT_TRUE(action->isEnabled());
}

TEST_F(CommandRouterTest, AChosenCheckableEntryShowsItsCheckFromBeforeTheChoice)
{
    QAction* action = m_router.Action(kCheckable);
    action->setCheckable(true);
    m_frame.claims[kCheckable] = {};  // no check rule: the handler alone sets it
    m_frame.watched = action;

    action->trigger();
    action->trigger();
    EXPECT_EQ(m_frame.checkSeen, (std::vector<bool>{false, false}));
    EXPECT_FALSE(action->isChecked());

    action->setChecked(true);
    action->trigger();
    EXPECT_EQ(m_frame.checkSeen.back(), true);
    EXPECT_TRUE(action->isChecked());
}

TEST_F(CommandRouterTest, CheckRulesApplyAfterTheCommandAndWhenAMenuOpens)
{
    QAction* action = m_router.Action(kCheckable);
    m_frame.claims[kCheckable] = {.enabled = true, .checked = true};
    QMenu menu;
    menu.addAction(action);
    m_router.WatchMenu(&menu);
    Q_EMIT menu.aboutToShow();
    EXPECT_TRUE(action->isCheckable());
    EXPECT_TRUE(action->isChecked());

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
}

TEST_F(CommandRouterTest, ActionsCarryTheCommandsPromptAndTooltip)
{
    const QString strings = resources::StringTable::Load(resources::ID_STOP_SCANNING);
    ASSERT_TRUE(strings.contains(QLatin1Char('\n')));
    QAction* action = m_router.Action(resources::ID_STOP_SCANNING);
    EXPECT_EQ(action->statusTip() + QLatin1Char('\n') + action->toolTip(), strings);
    EXPECT_EQ(m_router.Action(resources::ID_STOP_SCANNING), action);
}

TEST_F(CommandRouterTest, AContextMenuAsksAndRunsItsPaneFirst)
{
    Recorder tree;
    tree.claims[resources::ID_EXPLORE] = {};
    tree.claims[resources::ID_DELETE] = {.enabled = false, .checked = std::nullopt};
    m_frame.claims[resources::ID_CLEAR_FOLDER_DATA] = {};

    auto menu =
        framework::MenuBuilder::CreatePopup(resources::IDR_CONTEXT_MENUS, 0, m_router, &tree);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("Folder Menu"));
    Q_EMIT menu->aboutToShow();

    std::map<QString, QAction*> byText;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) byText[action->text()] = action;
    ASSERT_EQ(byText.size(), 4u);
    EXPECT_TRUE(byText[QStringLiteral("Explore")]->isEnabled());
    EXPECT_FALSE(byText[QStringLiteral("Delete")]->isEnabled());
    EXPECT_FALSE(byText[QStringLiteral("Delete Duplicates...")]->isEnabled());
    EXPECT_TRUE(byText[QStringLiteral("Clear Folder Data")]->isEnabled());

    byText[QStringLiteral("Explore")]->trigger();
    byText[QStringLiteral("Clear Folder Data")]->trigger();
    EXPECT_EQ(tree.ran, std::vector<int>{resources::ID_EXPLORE});
    EXPECT_EQ(m_frame.ran, std::vector<int>{resources::ID_CLEAR_FOLDER_DATA});

    EXPECT_EQ(framework::MenuBuilder::CreatePopup(resources::IDR_CONTEXT_MENUS, 2, m_router, &tree)
                  ->title(),
              QStringLiteral("Both"));
    EXPECT_EQ(framework::MenuBuilder::CreatePopup(resources::IDR_CONTEXT_MENUS, 3, m_router, &tree),
              nullptr);
}

}  // namespace
