#pragma once

#include <map>
#include <vector>

#include <QList>
#include <QMetaObject>
#include <QObject>

#include "framework/CommandTarget.h"

class QAction;
class QMenu;
class QWidget;

namespace framework {

// Owns one QAction per command id and routes commands to their targets.
//
// A command is offered to the CommandTargets among the window's focus widget
// and its ancestors (nearest first), then to the fallback targets
// in their order; the first target that claims it decides its state and
// receives it. A command that no target claims is disabled.
//
// States are asked before a menu opens (for the menus given to WatchMenu),
// whenever the event loop is about to wait (so toolbar buttons and
// accelerators follow the program's state), and again right before a
// command runs. Choosing a checkable entry does not flip its check: the
// handler sees the check the entry had when chosen, and the check follows
// the targets' rules afterwards.
//
// UI thread only. Targets must outlive the router or be removed from it
// (SetFallbackTargets) before they die.
class CommandRouter : public QObject {
    Q_OBJECT

public:
    // window: the top-level window whose focus starts the chain; the
    // router's actions are children of it.
    explicit CommandRouter(QWidget* window);
    ~CommandRouter() override;

    void SetFallbackTargets(std::vector<CommandTarget*> targets);

    // The action of a command, made on first use with the command's status
    // prompt and tooltip from the string table ("prompt\ntooltip").
    QAction* Action(int command);
    // The action of a command if it has been made, else null.
    [[nodiscard]] QAction* FindAction(int command) const;
    [[nodiscard]] QList<QAction*> Actions() const;

    // The targets a command is offered to, in order; first, when given,
    // comes before all others (a context menu's pane).
    [[nodiscard]] std::vector<CommandTarget*> Chain(CommandTarget* first = nullptr) const;
    // The state the first claiming target gives; disabled when none claims.
    [[nodiscard]] CommandState QueryState(int command, CommandTarget* first = nullptr) const;
    // Runs the command on the first target that claims it, if it is
    // enabled there. Returns whether it ran.
    bool Execute(int command, CommandTarget* first = nullptr);

    // Brings the actions' enabled and checked states up to date.
    void UpdateAction(QAction* action);
    void UpdateActions(const QList<QAction*>& actions);
    void UpdateAll();

    // Updates a menu's entries each time it is about to show.
    void WatchMenu(QMenu* menu);
    // Whether UpdateAll runs each time the event loop is about to wait.
    void SetUpdateWhenIdle(bool on);

private:
    void OnTriggered(QAction* action, bool checked);

    QWidget* m_window;
    std::vector<CommandTarget*> m_fallbackTargets;
    std::map<int, QAction*> m_actions;
    QMetaObject::Connection m_idleConnection;
};

}  // namespace framework
