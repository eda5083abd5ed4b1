#pragma once

#include <optional>

namespace framework {

// What the user interface shows of a command: whether it can be chosen and,
// for a checkable entry, whether it is checked. A check left unset keeps
// the entry's current check.
struct CommandState {
    bool enabled = true;
    std::optional<bool> checked;
};

// A window or object that handles commands (menu entries, toolbar buttons,
// accelerators). CommandRouter asks the targets in order: the focused pane
// (or the widget of ours nearest above the focus), the main view, the
// document, the frame, the application. The first target that claims a
// command decides its state and receives it. UI thread only.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    // Returns true when this target handles command; it then fills state
    // (which arrives enabled, with the check unset). Asked before a menu
    // opens, when the application is idle, and right before the command
    // runs. Must not change anything.
    virtual bool OnUpdateCommand(int command, CommandState& state) = 0;

    // Runs the command. Called only on the target that claimed it, and only
    // while it is enabled. A checkable entry still shows the check it had
    // when the user chose it.
    virtual void OnCommand(int command) = 0;
};

}  // namespace framework
