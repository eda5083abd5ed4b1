#pragma once

#include <span>

namespace resources {

struct Accelerator {
    const char* keys;  // in QKeySequence's portable text form, e.g. "Ctrl+N"
    int command;
};

// The main window's accelerators (IDR_MAINFRAME). Del and Esc are not among
// them: each pane handles those keys itself. Nor are the document commands
// (New, Open, Save, Print), which the program does not have.
class AcceleratorTable {
public:
    // The accelerators of the table with that id; empty for an unknown id.
    [[nodiscard]] static std::span<const Accelerator> Load(int resourceId);
};

}  // namespace resources
