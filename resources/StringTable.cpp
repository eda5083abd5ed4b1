#include "resources/StringTable.h"

#include <array>
#include <span>

namespace resources {

namespace {

struct Entry {
    int id;
    const char* text;  // UTF-8
};

// Strings are kept in blocks by where they are used. Add a block, or add to
// one; an id may appear only once in all blocks (checked when compiling).

// Message boxes.
constexpr Entry kMessages[] = {
    {IDS_NO_DUPLICATES_FOUND, "No duplicate files found under the selected folder."},
    {IDS_NOT_SCANNED_FOR_DUPLICATES, "The selected folder has not been scanned for duplicates."},
    {IDS_OPEN_NO_APPLICATION,
     "Can not open '%1', since there is no application registered for this type of file."},
    {IDS_OPEN_ACCESS_DENIED, "You do not have permission to open '%s'."},
    {IDS_OPEN_FAILED, "Can not open '%1'."},
    {IDS_PROTECTED_DIRECTORY,
     "One or more of the files you have selected is in the protected directory '%1'.  "
     "You can only delete files from this directory if you turn off the option to protect "
     "system files (from the View/Options menu).  "
     "Do not do this unless you are certain that you know what you are doing."},
};

// Deletion to the Trash: the one confirmation before anything moves, the
// report of what stayed, and the files the Delete Duplicate Files dialog
// keeps because no other copy of them is left.
constexpr Entry kDeletion[] = {
    {IDS_CONFIRM_TRASH_ONE, "Move '%1' to the Trash?"},
    {IDS_CONFIRM_TRASH_MANY, "Move these %1 items to the Trash?"},
    {IDS_CONFIRM_TRASH_GROUP,
     "Move all %1 copies of '%2' to the Trash?  No copy of this file will be kept."},
    {IDS_CONFIRM_TRASH_GROUPS,
     "Move these %1 items to the Trash?  They hold every copy of %2 duplicated files: no copy "
     "of those files will be kept."},
    {IDS_TRASH_FAILED,
     "These items could not be moved to the Trash and were left where they are:\n\n%1"},
    {IDS_LAST_COPIES_LEFT_OUT,
     "These files were not deleted, since no identical copy of them is left outside the files "
     "to delete:\n\n%1"},
    {IDS_PROGRESS_TRASH, "Moving to the Trash..."},
    {IDS_PROGRESS_COMPARING, "Comparing the files with their copies..."},
    {IDS_PROGRESS_CANCELLING, "Cancelling..."},
};

// The application, its window and its status bar.
constexpr Entry kApplication[] = {
    {IDS_DOCUMENT_STRING, "Larkspur\n\nLarksp\n\n\nLarkspur.Document\nLarksp Document"},
    {IDS_APPLICATION_TITLE, "Larkspur"},
    {IDS_IDLE_PROMPT, "For Help, press F1"},
    {IDS_SCANNING, "Scanning: %1"},
    {IDS_OPTIONS_CAPTION, "Options"},
};

// Column headers of the lists and the duplicates window's caption.
constexpr Entry kColumns[] = {
    {IDS_COLUMN_NAME, "Name"},
    {IDS_COLUMN_PATH, "Path"},
    {IDS_COLUMN_DISK_SPACE, "Disk Space"},
    {IDS_COLUMN_FILE_SIZE, "File Size"},
    {IDS_COLUMN_MODIFIED, "Modified"},
    {IDS_COLUMN_SIZE, "Size"},
    {IDS_COLUMN_NO_DUPS, "No. Dups."},
    {IDS_DUPLICATES_CAPTION, " Duplicate Files"},
};

// The treemap's texts for the tile under the pointer.
constexpr Entry kTreemap[] = {
    {IDS_TREEMAP_TILE_STATUS, "%1    Disk Space: %2    File Size: %3"},
    {IDS_TREEMAP_SMALL_STATUS, "%1: files and folders too small to show"},
};

// Command prompts, under the command's id: the status-bar prompt, then
// optionally a line feed and the tooltip. Clear Folder Data (32792) and the
// framework's default help command (57671) have none.
constexpr Entry kCommandPrompts[] = {
    {32774, "Clears all folder sizes and the duplicate files list\nReset"},
    {32775, "Show sizes in bytes"},
    {32776, "Show sizes in kilo-bytes"},
    {32777, "Show sizes in mega-bytes"},
    {32778, "Show sizes in giga-bytes"},
    {32779, "Automatically show size as bytes, KB, MB or GB"},
    {32780, "Stop scanning folders\nStop"},
    {32783, "Enable searching for duplicate files\nEnable Scan For Duplicates"},
    {32784,
     "Disable searching for duplicates, scan folders for file sizes only\nScan For Size Only"},
    {32785, "When checked, disables scanning for duplicates"},
    {32786, "Change program options"},
    {32788, "Delete duplicate files"},
    {32789, "Delete the selected file(s) or folder(s)"},
    {32793, "Open the selected file or folder"},
    {32794, "Opens the file manager to show the selected file or folder"},
    {32795, "Show or hide the treemap of the selected folder\nToggle Treemap"},
    {32796, "Outline the files that have copies in the treemap"},
    {57664, "Display program information, version number and copyright\nAbout"},
    {57665, "Quit the application\nExit"},
    {57667, "List Help topics\nHelp Topics"},
    {57669, "Display help for clicked on buttons, menus and windows\nHelp"},
    {57670, "Display help for current task or command\nHelp"},
    {59392, "Show or hide the toolbar\nToggle ToolBar"},
    {59393, "Show or hide the status bar\nToggle StatusBar"},
};

// Application shell: the main frame's own messages.
constexpr Entry kApplicationShell[] = {
    {IDS_HELP_NOT_AVAILABLE,
     "The help file could not be opened. It belongs in the folder help beside the program."},
};

constexpr std::array<std::span<const Entry>, 7> kBlocks = {
    std::span<const Entry>(kMessages),       std::span<const Entry>(kDeletion),
    std::span<const Entry>(kApplication),    std::span<const Entry>(kColumns),
    std::span<const Entry>(kCommandPrompts), std::span<const Entry>(kApplicationShell),
    std::span<const Entry>(kTreemap),
};

constexpr bool IdsAreUnique()
{
    for (std::size_t b = 0; b < kBlocks.size(); ++b) {
        for (std::size_t i = 0; i < kBlocks[b].size(); ++i) {
            // Compare with every entry after this one, in this block and the later ones.
            for (std::size_t c = b; c < kBlocks.size(); ++c) {
                for (std::size_t j = (c == b ? i + 1 : 0); j < kBlocks[c].size(); ++j) {
                    if (kBlocks[b][i].id == kBlocks[c][j].id) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}
static_assert(IdsAreUnique(), "a string id is used twice");

const char* Find(int id)
{
    for (const auto& block : kBlocks) {
        for (const Entry& entry : block) {
            if (entry.id == id) {
                return entry.text;
            }
        }
    }
    return nullptr;
}

}  // namespace

QString StringTable::Load(int id)
{
    const char* text = Find(id);
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

bool StringTable::Contains(int id) { return Find(id) != nullptr; }

QString StringTable::Format(int id, const QStringList& args) { return Format(Load(id), args); }

QString StringTable::Format(const QString& text, const QStringList& args)
{
    QString result;
    result.reserve(text.size());
    const qsizetype length = text.size();
    qsizetype i = 0;
    while (i < length) {
        const QChar c = text.at(i);
        if (c == u'%' && i + 1 < length) {
            const QChar next = text.at(i + 1);
            qsizetype index = -1;
            if (next >= u'1' && next <= u'9') {
                index = next.unicode() - u'1';
            } else if (next == u's') {
                index = 0;
            }
            if (index >= 0 && index < args.size()) {
                result += args.at(index);
                i += 2;
                continue;
            }
        }
        result += c;
        ++i;
    }
    return result;
}

}  // namespace resources
