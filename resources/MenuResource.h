#pragma once

#include <span>

namespace resources {

// One entry of a menu resource. A popup's entries follow it up to its
// EndPopup; popups nest.
struct MenuEntry {
    enum class Kind { Item, Separator, Popup, EndPopup };
    Kind kind;
    int command;       // Item: the command id; 0 otherwise
    const char* text;  // Item, Popup: "&" marks the mnemonic, "\t" starts the key hint
};

// The menus: IDR_MAINFRAME (the menu bar: "&File", "&View", "&Help") and
// IDR_CONTEXT_MENUS (the popups "Folder Menu", "File Menu", "Both", then the
// treemap's "Treemap File Menu" and "Treemap Folder Menu").
// The treemap's popups of IDR_CONTEXT_MENUS, by index.
inline constexpr int kTreemapFileMenu = 3;
inline constexpr int kTreemapFolderMenu = 4;

class MenuResource {
public:
    // The entries of the menu with that id, in order; empty for an unknown id.
    [[nodiscard]] static std::span<const MenuEntry> Load(int resourceId);
};

}  // namespace resources
