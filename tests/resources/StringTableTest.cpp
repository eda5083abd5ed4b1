#include "resources/StringTable.h"

#include <gtest/gtest.h>

namespace {

using resources::StringTable;

// The texts users read, word for word; command prompts carry their tooltip
// after a line feed.
TEST(StringTableLoad, TextsAreWordForWord)
{
    const struct {
        int id;
        const char* text;
    } cases[] = {
        {resources::IDS_PROTECTED_DIRECTORY,
         "One or more of the files you have selected is in the protected directory '%1'.  You "
         "can only delete files from this directory if you turn off the option to protect system "
         "files (from the View/Options menu).  Do not do this unless you are certain that you "
         "know what you are doing."},
        {40002, "No duplicate files found under the selected folder."},
        {40003, "The selected folder has not been scanned for duplicates."},
        {40004,
         "Can not open '%1', since there is no application registered for this type of file."},
        {40005, "You do not have permission to open '%s'."},
        {40006, "Can not open '%1'."},
        {57344, "Larkspur"},
        {57345, "For Help, press F1"},
        {61696, "Scanning: %1"},
        {resources::IDS_COLUMN_NAME, "Name"},
        {resources::IDS_COLUMN_PATH, "Path"},
        {resources::IDS_COLUMN_DISK_SPACE, "Disk Space"},
        {resources::IDS_COLUMN_FILE_SIZE, "File Size"},
        {resources::IDS_COLUMN_MODIFIED, "Modified"},
        {resources::IDS_COLUMN_SIZE, "Size"},
        {resources::IDS_COLUMN_NO_DUPS, "No. Dups."},
        {resources::IDS_DUPLICATES_CAPTION, " Duplicate Files"},
        {32780, "Stop scanning folders\nStop"},
        {32784,
         "Disable searching for duplicates, scan folders for file sizes only\nScan For Size Only"},
        {32789, "Delete the selected file(s) or folder(s)"},
        {59393, "Show or hide the status bar\nToggle StatusBar"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StringTable::Load(c.id), QString::fromUtf8(c.text)) << c.id;
    }
}

TEST(StringTableLoad, UnknownIdsAndCommandsWithoutPromptAreEmpty)
{
    EXPECT_TRUE(StringTable::Load(12345).isEmpty());
    EXPECT_FALSE(StringTable::Contains(12345));
    EXPECT_FALSE(StringTable::Contains(32792));  // Clear Folder Data has no prompt
    EXPECT_TRUE(StringTable::Contains(resources::IDS_SCANNING));
}

TEST(StringTableFormat, FillsEachPlaceholderOnceAndLeavesTheRest)
{
    const struct {
        const char* pattern;
        QStringList arguments;
        const char* expected;
    } cases[] = {
        // Inserted arguments are not filled again.
        {"%1 and %2", {"a%2b", "c%1"}, "a%2b and c%1"},
        // Any order, repeated.
        {"%2-%1-%2", {"x", "y"}, "y-x-y"},
        // Placeholders without arguments and other percent signs stay.
        {"%1 %3 %x 100% %", {"a"}, "a %3 %x 100% %"},
        {"%10", {"a"}, "a0"},
        {"%1", {}, "%1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StringTable::Format(QString::fromUtf8(c.pattern), c.arguments),
                  QString::fromUtf8(c.expected))
            << c.pattern;
    }
    // The table's own strings; %s counts as the first argument.
    EXPECT_EQ(StringTable::Format(resources::IDS_OPEN_FAILED, {QStringLiteral("100%2.txt")}),
              QStringLiteral("Can not open '100%2.txt'."));
    EXPECT_EQ(StringTable::Format(resources::IDS_OPEN_ACCESS_DENIED, {QStringLiteral("a %s b")}),
              QStringLiteral("You do not have permission to open 'a %s b'."));
}

}  // namespace
