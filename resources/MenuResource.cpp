#include "resources/MenuResource.h"

#include "resources/CommandIds.h"

namespace resources {

namespace {

using Kind = MenuEntry::Kind;

constexpr MenuEntry Item(int command, const char* text) { return {Kind::Item, command, text}; }
constexpr MenuEntry Popup(const char* text) { return {Kind::Popup, 0, text}; }
constexpr MenuEntry kSeparator{Kind::Separator, 0, nullptr};
constexpr MenuEntry kEndPopup{Kind::EndPopup, 0, nullptr};

// Indented by nesting, as the menus appear.
// clang-format off
constexpr MenuEntry kMainMenu[] = {
    Popup("&File"),
        Item(ID_DELETE, "Delete\tDel"),
        Item(ID_DELETE_DUPLICATES, "&Delete Duplicates..."),
        kSeparator,
        Item(ID_SCAN_SIZE_ONLY, "&Scan Size Only"),
        Item(ID_STOP_SCANNING, "Stop Scanning\tEsc"),
        Item(ID_RESET, "&Reset"),
        kSeparator,
        Item(ID_APP_EXIT, "E&xit"),
    kEndPopup,
    Popup("&View"),
        Item(ID_VIEW_TOOLBAR, "&Toolbar"),
        Item(ID_VIEW_STATUS_BAR, "&Status Bar"),
        Item(ID_VIEW_TREEMAP, "Tree&map"),
        kSeparator,
        Popup("Show Size As"),
            Item(ID_SIZE_BYTES, "Bytes"),
            Item(ID_SIZE_KBYTES, "KBytes"),
            Item(ID_SIZE_MBYTES, "MBytes"),
            Item(ID_SIZE_GBYTES, "GBytes"),
            Item(ID_SIZE_AUTO, "Auto"),
        kEndPopup,
        Item(ID_VIEW_OPTIONS, "&Options..."),
    kEndPopup,
    Popup("&Help"),
        Item(ID_HELP_FINDER, "&Help Topics"),
        kSeparator,
        Item(ID_APP_ABOUT, "&About Larkspur 98..."),
    kEndPopup,
};

constexpr MenuEntry kContextMenus[] = {
    Popup("Folder Menu"),
        Item(ID_EXPLORE, "Explore"),
        kSeparator,
        Item(ID_DELETE, "Delete"),
        Item(ID_DELETE_DUPLICATES, "Delete Duplicates..."),
        kSeparator,
        Item(ID_CLEAR_FOLDER_DATA, "Clear Folder Data"),
    kEndPopup,
    Popup("File Menu"),
        Item(ID_OPEN, "Open"),
        kSeparator,
        Item(ID_DELETE, "Delete"),
    kEndPopup,
    Popup("Both"),
        Item(ID_DELETE, "Delete"),
    kEndPopup,
    Popup("Treemap File Menu"),
        Item(ID_OPEN, "Open"),
        Item(ID_EXPLORE, "Explore"),
        kSeparator,
        Item(ID_DELETE, "Delete"),
        kSeparator,
        Item(ID_TREEMAP_MARK_DUPLICATES, "Mark Duplicates"),
    kEndPopup,
    Popup("Treemap Folder Menu"),
        Item(ID_EXPLORE, "Explore"),
        kSeparator,
        Item(ID_DELETE, "Delete"),
        Item(ID_DELETE_DUPLICATES, "Delete Duplicates..."),
        kSeparator,
        Item(ID_CLEAR_FOLDER_DATA, "Clear Folder Data"),
        kSeparator,
        Item(ID_TREEMAP_MARK_DUPLICATES, "Mark Duplicates"),
    kEndPopup,
};
// clang-format on

}  // namespace

std::span<const MenuEntry> MenuResource::Load(int resourceId)
{
    switch (resourceId) {
        case IDR_MAINFRAME:
            return kMainMenu;
        case IDR_CONTEXT_MENUS:
            return kContextMenus;
        default:
            return {};
    }
}

}  // namespace resources
