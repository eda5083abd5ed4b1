#include "resources/StringTable.h"

#include <gtest/gtest.h>

namespace {

using resources::StringTable;

TEST(StringTableLoad, ProtectedDirectoryMessageIsWordForWord)
{
    EXPECT_EQ(StringTable::Load(resources::IDS_PROTECTED_DIRECTORY),
              QStringLiteral(
                  "One or more of the files you have selected is in the protected directory "
                  "'%1'.  You can only delete files from this directory if you turn off the "
                  "option to protect system files (from the View/Options menu).  Do not do this "
                  "unless you are certain that you know what you are doing."));
}

TEST(StringTableLoad, MessagesAndFrameworkStrings)
{
    EXPECT_EQ(StringTable::Load(40002),
              QStringLiteral("No duplicate files found under the selected folder."));
    EXPECT_EQ(StringTable::Load(40003),
              QStringLiteral("The selected folder has not been scanned for duplicates."));
    EXPECT_EQ(StringTable::Load(40004),
              QStringLiteral("Can not open '%1', since there is no application registered for "
                             "this type of file."));
    EXPECT_EQ(StringTable::Load(40005), QStringLiteral("You do not have permission to open '%s'."));
    EXPECT_EQ(StringTable::Load(40006), QStringLiteral("Can not open '%1'."));
    EXPECT_EQ(StringTable::Load(57344), QStringLiteral("Larkspur"));
    EXPECT_EQ(StringTable::Load(57345), QStringLiteral("For Help, press F1"));
    EXPECT_EQ(StringTable::Load(61696), QStringLiteral("Scanning: %1"));
}

TEST(StringTableLoad, ColumnHeadersAndCaption)
{
    EXPECT_EQ(StringTable::Load(resources::IDS_COLUMN_NAME), QStringLiteral("Name"));
    EXPECT_EQ(StringTable::Load(resources::IDS_COLUMN_PATH), QStringLiteral("Path"));
    EXPECT_EQ(StringTable::Load(resources::IDS_COLUMN_DISK_SPACE), QStringLiteral("Disk Space"));
    EXPECT_EQ(StringTable::Load(resources::IDS_COLUMN_FILE_SIZE), QStringLiteral("File Size"));
    EXPECT_EQ(StringTable::Load(resources::IDS_COLUMN_MODIFIED), QStringLiteral("Modified"));
    EXPECT_EQ(StringTable::Load(resources::IDS_COLUMN_SIZE), QStringLiteral("Size"));
    EXPECT_EQ(StringTable::Load(resources::IDS_COLUMN_NO_DUPS), QStringLiteral("No. Dups."));
    EXPECT_EQ(StringTable::Load(resources::IDS_DUPLICATES_CAPTION),
              QStringLiteral(" Duplicate Files"));
}

TEST(StringTableLoad, CommandPromptsCarryTheirTooltipAfterALineFeed)
{
    EXPECT_EQ(StringTable::Load(32780), QStringLiteral("Stop scanning folders\nStop"));
    EXPECT_EQ(StringTable::Load(32784),
              QStringLiteral("Disable searching for duplicates, scan folders for file sizes "
                             "only\nScan For Size Only"));
    EXPECT_EQ(StringTable::Load(32789), QStringLiteral("Delete the selected file(s) or folder(s)"));
    EXPECT_EQ(StringTable::Load(59393),
              QStringLiteral("Show or hide the status bar\nToggle StatusBar"));
}

TEST(StringTableLoad, UnknownIdsAndCommandsWithoutPromptAreEmpty)
{
    EXPECT_TRUE(StringTable::Load(12345).isEmpty());
    EXPECT_FALSE(StringTable::Contains(12345));
    EXPECT_FALSE(StringTable::Contains(32792));  // Clear Folder Data has no prompt
    EXPECT_TRUE(StringTable::Contains(resources::IDS_SCANNING));
}

TEST(StringTableFormat, InsertedArgumentsAreNotFilledAgain)
{
    EXPECT_EQ(StringTable::Format(QStringLiteral("%1 and %2"),
                                  {QStringLiteral("a%2b"), QStringLiteral("c%1")}),
              QStringLiteral("a%2b and c%1"));
    EXPECT_EQ(StringTable::Format(resources::IDS_OPEN_FAILED, {QStringLiteral("100%2.txt")}),
              QStringLiteral("Can not open '100%2.txt'."));
}

TEST(StringTableFormat, PercentSCountsAsTheFirstArgument)
{
    EXPECT_EQ(StringTable::Format(resources::IDS_OPEN_ACCESS_DENIED, {QStringLiteral("a %s b")}),
              QStringLiteral("You do not have permission to open 'a %s b'."));
}

TEST(StringTableFormat, PlaceholdersInAnyOrderAndRepeated)
{
    EXPECT_EQ(
        StringTable::Format(QStringLiteral("%2-%1-%2"), {QStringLiteral("x"), QStringLiteral("y")}),
        QStringLiteral("y-x-y"));
    EXPECT_EQ(StringTable::Format(resources::IDS_SCANNING, {QStringLiteral("/home/u")}),
              QStringLiteral("Scanning: /home/u"));
}

TEST(StringTableFormat, PlaceholdersWithoutArgumentsAndOtherPercentSignsStay)
{
    EXPECT_EQ(StringTable::Format(QStringLiteral("%1 %3 %x 100% %"), {QStringLiteral("a")}),
              QStringLiteral("a %3 %x 100% %"));
    EXPECT_EQ(StringTable::Format(QStringLiteral("%10"), {QStringLiteral("a")}),
              QStringLiteral("a0"));
    EXPECT_EQ(StringTable::Format(QStringLiteral("%1"), {}), QStringLiteral("%1"));
}

}  // namespace
