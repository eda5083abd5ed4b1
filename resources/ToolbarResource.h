#pragma once

#include <span>

namespace resources {

struct ToolbarButton {
    int command;            // 0 for a separator
    const char* themeIcon;  // freedesktop.org icon name to prefer, or null
};

// The main toolbar (IDR_MAINFRAME): its buttons in order, and the drawn
// 16 by 16 images that stand in where the icon theme has no icon.
class ToolbarResource {
public:
    // The buttons of the toolbar with that id; empty for an unknown id.
    [[nodiscard]] static std::span<const ToolbarButton> Load(int resourceId);
    // The drawn image of a command's button in XPM form; null when the
    // command has none. IDR_MAINFRAME gives the 32 by 32 program icon.
    [[nodiscard]] static const char* const* Image(int id);
};

}  // namespace resources
