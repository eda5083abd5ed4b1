#include "resources/AcceleratorTable.h"

#include "resources/CommandIds.h"

namespace resources {

namespace {

// New, Open, Save and Print have nothing behind them (the document holds
// nothing): their keys are left unbound, so they reach nothing.
constexpr Accelerator kMainAccelerators[] = {
    {"Ctrl+Z", ID_EDIT_UNDO},   {"Alt+Backspace", ID_EDIT_UNDO}, {"Ctrl+X", ID_EDIT_CUT},
    {"Shift+Del", ID_EDIT_CUT}, {"Ctrl+C", ID_EDIT_COPY},        {"Ctrl+Ins", ID_EDIT_COPY},
    {"Ctrl+V", ID_EDIT_PASTE},  {"Shift+Ins", ID_EDIT_PASTE},    {"F6", ID_NEXT_PANE},
    {"Shift+F6", ID_PREV_PANE}, {"Shift+F1", ID_CONTEXT_HELP},   {"F1", ID_HELP},
};

}  // namespace

std::span<const Accelerator> AcceleratorTable::Load(int resourceId)
{
    if (resourceId == IDR_MAINFRAME) return kMainAccelerators;
    return {};
}

}  // namespace resources
