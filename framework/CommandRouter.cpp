#include "framework/CommandRouter.h"

#include <algorithm>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QMenu>
#include <QWidget>

#include "resources/StringTable.h"

namespace framework {

namespace {

constexpr const char* kCommandProperty = "larkspurCommand";

void AddOnce(std::vector<CommandTarget*>& chain, CommandTarget* target)
{
    if (target != nullptr && std::find(chain.begin(), chain.end(), target) == chain.end())
        chain.push_back(target);
}

}  // namespace

CommandRouter::CommandRouter(QWidget* window) : QObject(window), m_window(window) {}

CommandRouter::~CommandRouter() { QObject::disconnect(m_idleConnection); }

void CommandRouter::SetFallbackTargets(std::vector<CommandTarget*> targets)
{
    m_fallbackTargets = std::move(targets);
}

QAction* CommandRouter::Action(int command)
{
    if (QAction* existing = FindAction(command)) return existing;

    auto* action = new QAction(m_window);
    action->setProperty(kCommandProperty, command);
    const QString strings = resources::StringTable::Load(command);
    const qsizetype lineFeed = strings.indexOf(QLatin1Char('\n'));
    const QString prompt = lineFeed < 0 ? strings : strings.left(lineFeed);
    action->setStatusTip(prompt);
    action->setWhatsThis(prompt);
    if (lineFeed >= 0) action->setToolTip(strings.mid(lineFeed + 1));
    connect(action, &QAction::triggered, this,
            [this, action](bool checked) { OnTriggered(action, checked); });
    m_actions.emplace(command, action);
    return action;
}

QAction* CommandRouter::FindAction(int command) const
{
    const auto found = m_actions.find(command);
    return found == m_actions.end() ? nullptr : found->second;
}

QList<QAction*> CommandRouter::Actions() const
{
    QList<QAction*> actions;
    for (const auto& [command, action] : m_actions) actions.append(action);
    return actions;
}

std::vector<CommandTarget*> CommandRouter::Chain(CommandTarget* first) const
{
    std::vector<CommandTarget*> chain;
    AddOnce(chain, first);
    // The window's own focus widget: the toolbar keeps its states while
    // another window is active.
    QWidget* focus = m_window->focusWidget();
    if (focus != nullptr && (focus == m_window || m_window->isAncestorOf(focus))) {
        for (QWidget* widget = focus; widget != nullptr; widget = widget->parentWidget()) {
            AddOnce(chain, dynamic_cast<CommandTarget*>(widget));
            if (widget == m_window) break;
        }
    }
    for (CommandTarget* target : m_fallbackTargets) AddOnce(chain, target);
    return chain;
}

CommandState CommandRouter::QueryState(int command, CommandTarget* first) const
{
    for (CommandTarget* target : Chain(first)) {
        CommandState state;
        if (target->OnUpdateCommand(command, state)) return state;
    }
    return CommandState{.enabled = false, .checked = std::nullopt};
}

bool CommandRouter::Execute(int command, CommandTarget* first)
{
    for (CommandTarget* target : Chain(first)) {
        CommandState state;
        if (!target->OnUpdateCommand(command, state)) continue;
        if (!state.enabled) return false;
        target->OnCommand(command);
        return true;
    }
    return false;
}

void CommandRouter::UpdateAction(QAction* action)
{
    const QVariant command = action->property(kCommandProperty);
    if (!command.isValid()) return;
    const CommandState state = QueryState(command.toInt());
    action->setEnabled(state.enabled);
    if (state.checked.has_value()) {
        action->setCheckable(true);
        action->setChecked(*state.checked);
    }
}

void CommandRouter::UpdateActions(const QList<QAction*>& actions)
{
    for (QAction* action : actions) UpdateAction(action);
}

void CommandRouter::UpdateAll()
{
    for (const auto& [command, action] : m_actions) UpdateAction(action);
}

void CommandRouter::WatchMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateActions(menu->actions()); });
}

void CommandRouter::SetUpdateWhenIdle(bool on)
{
    QObject::disconnect(m_idleConnection);
    m_idleConnection = {};
    if (!on) return;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        m_idleConnection = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                                   &CommandRouter::UpdateAll);
}

void CommandRouter::OnTriggered(QAction* action, bool checked)
{
    // Qt has already flipped a checkable action; give it back the check it
    // had when chosen, so that the handler decides from that state.
    if (action->isCheckable()) action->setChecked(!checked);
    Execute(action->property(kCommandProperty).toInt());
    UpdateAll();
}

}  // namespace framework
