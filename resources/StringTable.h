#pragma once

#include <QString>
#include <QStringList>

namespace resources {

// The program's strings, by id. Ids below 0xE000 are the program's own; the
// others are the framework's strings the program shows. Command prompts are
// kept under their command's id ("prompt\ntooltip") and have no name here:
// the command ids name them.
enum StringId : int {
    // Messages shown in message boxes; the id is also the help context.
    IDS_NO_DUPLICATES_FOUND = 40002,
    IDS_NOT_SCANNED_FOR_DUPLICATES = 40003,
    IDS_OPEN_NO_APPLICATION = 40004,
    IDS_OPEN_ACCESS_DENIED = 40005,
    IDS_OPEN_FAILED = 40006,
    IDS_PROTECTED_DIRECTORY = 40007,

    // Deletion to the Trash: the confirmation and the reports.
    IDS_CONFIRM_TRASH_ONE = 40010,     // %1: the path
    IDS_CONFIRM_TRASH_MANY = 40011,    // %1: the number of items
    IDS_CONFIRM_TRASH_GROUP = 40012,   // %1: the number of copies, %2: the name
    IDS_TRASH_FAILED = 40013,          // %1: one line per path left in place
    IDS_LAST_COPIES_LEFT_OUT = 40014,  // %1: one line per file left out
    IDS_CONFIRM_TRASH_GROUPS = 40015,  // %1: the number of items, %2: of whole groups
    // The progress dialogs of a deletion.
    IDS_PROGRESS_TRASH = 40016,
    IDS_PROGRESS_COMPARING = 40017,
    IDS_PROGRESS_CANCELLING = 40018,

    // Column headers and captions that have no id of the framework's.
    IDS_COLUMN_DISK_SPACE = 41001,   // "Disk Space"
    IDS_COLUMN_FILE_SIZE = 41002,    // "File Size"
    IDS_COLUMN_MODIFIED = 41003,     // "Modified"
    IDS_COLUMN_SIZE = 41004,         // "Size"
    IDS_COLUMN_NO_DUPS = 41005,      // "No. Dups."
    IDS_DUPLICATES_CAPTION = 41050,  // " Duplicate Files" (with its leading blank)

    // The treemap's status-bar texts for the tile under the pointer.
    IDS_TREEMAP_TILE_STATUS = 41060,   // %1: the path, %2: disk space, %3: size
    IDS_TREEMAP_SMALL_STATUS = 41061,  // %1: the folder's path

    // The framework's strings.
    IDS_DOCUMENT_STRING = 128,      // the document template's seven fields
    IDS_APPLICATION_TITLE = 57344,  // "Larkspur"
    IDS_IDLE_PROMPT = 57345,        // "For Help, press F1"
    IDS_SCANNING = 61696,           // "Scanning: %1"
    IDS_COLUMN_NAME = 61705,        // "Name"
    IDS_COLUMN_PATH = 61706,        // "Path"
    IDS_OPTIONS_CAPTION = 61715,    // "Options"

    // Application shell.
    IDS_HELP_NOT_AVAILABLE = 40100,  // the help file is missing or cannot be opened
};

// The table is constant data: every function may be called from any thread.
class StringTable {
public:
    // The string with that id; empty when there is none.
    [[nodiscard]] static QString Load(int id);
    // Whether the table has a string with that id (some commands have none).
    [[nodiscard]] static bool Contains(int id);
    // The string with its numbered placeholders %1 to %9 filled from args
    // (%1 is args[0]); a "%s" counts as %1. Only one digit belongs to a
    // placeholder ("%10" is %1 followed by "0"). A placeholder without an
    // argument, and any other "%", stay as they are. The text is read once,
    // from left to right: whatever an argument holds (a name with "%2" in
    // it) is inserted literally and never filled in turn.
    [[nodiscard]] static QString Format(int id, const QStringList& args);
    [[nodiscard]] static QString Format(const QString& text, const QStringList& args);
};

}  // namespace resources
