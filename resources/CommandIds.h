#pragma once

// Command identifiers. A command's status prompt and tooltip are the string
// of the same id in the string table ("prompt\ntooltip"). Ids from 0xE000 up
// are the framework's own commands; the others are the program's.
namespace resources {

enum CommandId : int {
    // The program's commands.
    ID_RESET = 32774,
    ID_SIZE_BYTES = 32775,
    ID_SIZE_KBYTES = 32776,
    ID_SIZE_MBYTES = 32777,
    ID_SIZE_GBYTES = 32778,
    ID_SIZE_AUTO = 32779,
    ID_STOP_SCANNING = 32780,
    ID_SCAN_DUPLICATES = 32783,  // toolbar: duplicate search on
    ID_SCAN_SIZE = 32784,        // toolbar: duplicate search off
    ID_SCAN_SIZE_ONLY = 32785,   // menu: checked while duplicate search is off
    ID_VIEW_OPTIONS = 32786,
    ID_DELETE_DUPLICATES = 32788,
    ID_DELETE = 32789,
    ID_CLEAR_FOLDER_DATA = 32792,
    ID_OPEN = 32793,
    ID_EXPLORE = 32794,
    ID_VIEW_TREEMAP = 32795,             // the treemap pane shown or hidden
    ID_TREEMAP_MARK_DUPLICATES = 32796,  // the treemap outlines files that have copies

    // The framework's commands.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,   // Help Topics
    ID_CONTEXT_HELP = 57669,  // Shift+F1: What's This mode
    ID_HELP = 57670,          // F1: the focused pane's topic
    ID_DEFAULT_HELP = 57671,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// Help topics of the panes. A message box's topic is the id of its string.
enum HelpTopic : int {
    HID_FOLDER_TREE = 0x2006D,
    HID_FILE_LIST = 0x2006E,
    HID_DUPLICATE_GROUPS = 0x2006F,
    HID_DUPLICATE_COPIES = 0x20070,
};

// Menu resources: the main menu and the panes' context menus (popups
// "Folder Menu", "File Menu" and "Both", in that order).
enum MenuResourceId : int {
    IDR_MAINFRAME = 128,
    IDR_CONTEXT_MENUS = 136,
};

}  // namespace resources
