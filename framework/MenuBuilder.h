#pragma once

#include <memory>

class QMenu;
class QMenuBar;

namespace framework {

class CommandRouter;
class CommandTarget;

// Builds Qt menus from the menu resources (resources/MenuResource.h).
class MenuBuilder {
public:
    // Fills menuBar with the popups of the menu resource. Entries are the
    // router's actions (one per command, shared with toolbar and
    // accelerators); each menu asks its entries' states when it opens.
    static void FillMenuBar(QMenuBar* menuBar, int resourceId, CommandRouter& router);

    // The index-th popup of a menu resource as a menu of its own, for a
    // pane's context menu. Its entries have actions of their own (their
    // data is the command id); their states are asked of target first when
    // the menu opens, and a chosen entry runs through the router with target
    // first. Null when there is no such popup. The menu has no Qt parent:
    // the caller owns it. Show it with exec() inside a platform::ModalScope.
    static std::unique_ptr<QMenu> CreatePopup(int resourceId, int index, CommandRouter& router,
                                              CommandTarget* target);
};

}  // namespace framework
