#include "framework/MenuBuilder.h"

#include <span>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "framework/CommandRouter.h"
#include "resources/MenuResource.h"
#include "resources/StringTable.h"

namespace framework {

namespace {

using resources::MenuEntry;
using Kind = MenuEntry::Kind;

// Adds the entries from position up to the popup's end to menu; returns the
// position after its EndPopup. makeItem turns an item entry into an action.
template <typename MakeItem>
std::size_t FillMenu(QMenu* menu, std::span<const MenuEntry> entries, std::size_t position,
                     MakeItem& makeItem, CommandRouter& router, bool watch)
{
    while (position < entries.size()) {
        const MenuEntry& entry = entries[position++];
        switch (entry.kind) {
            case Kind::Item:
                menu->addAction(makeItem(entry));
                break;
            case Kind::Separator:
                menu->addSeparator();
                break;
            case Kind::Popup: {
                QMenu* submenu = menu->addMenu(QString::fromUtf8(entry.text));
                if (watch) router.WatchMenu(submenu);
                position = FillMenu(submenu, entries, position, makeItem, router, watch);
                break;
            }
            case Kind::EndPopup:
                return position;
        }
    }
    return position;
}

}  // namespace

void MenuBuilder::FillMenuBar(QMenuBar* menuBar, int resourceId, CommandRouter& router)
{
    const std::span<const MenuEntry> entries = resources::MenuResource::Load(resourceId);
    auto makeItem = [&router](const MenuEntry& entry) {
        QAction* action = router.Action(entry.command);
        action->setText(QString::fromUtf8(entry.text));
        return action;
    };
    std::size_t position = 0;
    while (position < entries.size()) {
        const MenuEntry& entry = entries[position++];
        if (entry.kind != Kind::Popup) continue;
        QMenu* menu = menuBar->addMenu(QString::fromUtf8(entry.text));
        router.WatchMenu(menu);
        position = FillMenu(menu, entries, position, makeItem, router, true);
    }
}

std::unique_ptr<QMenu> MenuBuilder::CreatePopup(int resourceId, int index, CommandRouter& router,
                                                CommandTarget* target)
{
    const std::span<const MenuEntry> entries = resources::MenuResource::Load(resourceId);
    // Find the index-th popup at the top level.
    std::size_t position = 0;
    int depth = 0;
    int found = -1;
    while (position < entries.size()) {
        const Kind kind = entries[position++].kind;
        if (kind == Kind::Popup && depth++ == 0 && ++found == index) break;
        if (kind == Kind::EndPopup) --depth;
    }
    if (found != index) return nullptr;

    auto menu = std::make_unique<QMenu>(QString::fromUtf8(entries[position - 1].text));
    QMenu* menuPointer = menu.get();
    auto makeItem = [menuPointer, &router, target](const MenuEntry& entry) {
        auto* action = new QAction(QString::fromUtf8(entry.text), menuPointer);
        action->setData(entry.command);
        action->setStatusTip(
            resources::StringTable::Load(entry.command).section(QLatin1Char('\n'), 0, 0));
        QObject::connect(
            action, &QAction::triggered, menuPointer,
            [&router, target, command = entry.command] { router.Execute(command, target); });
        return action;
    };
    FillMenu(menuPointer, entries, position, makeItem, router, false);
    QObject::connect(menuPointer, &QMenu::aboutToShow, menuPointer, [menuPointer, &router, target] {
        for (QAction* action : menuPointer->actions()) {
            if (action->isSeparator() || !action->data().isValid()) continue;
            const CommandState state = router.QueryState(action->data().toInt(), target);
            action->setEnabled(state.enabled);
            if (state.checked.has_value()) {
                action->setCheckable(true);
                action->setChecked(*state.checked);
            }
        }
    });
    return menu;
}

}  // namespace framework
