#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "resources/CommandIds.h"
#include "resources/MenuResource.h"
#include "resources/ToolbarResource.h"

using namespace resources;

// Every string id the header names has a text (the table refuses a duplicate
// id when compiling), and every command on a menu or the toolbar a prompt, but
// two. Placeholders are filled once, left to right, "%s" as the first.
TEST(StringTable, EveryUsedIdHasATextAndPlaceholdersAreFilledOnce)
{
    QFile header(qEnvironmentVariable("LARKSPUR_SOURCE_DIR") + "/resources/StringTable.h");
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    const QString text = header.readAll();
    QList<int> ids;
    for (const auto& match : QRegularExpression("IDS_\\w+ = (\\d+)").globalMatch(text))
        ids << match.captured(1).toInt();
    ASSERT_GE(ids.size(), 20);
    for (const int menu : {IDR_MAINFRAME, IDR_CONTEXT_MENUS})
        for (const auto& entry : MenuResource::Load(menu)) ids << entry.command;
    for (const auto& button : ToolbarResource::Load(IDR_MAINFRAME)) ids << button.command;
    const QList<int> withoutText = {0, ID_CLEAR_FOLDER_DATA, ID_DEFAULT_HELP};
    for (const int id : ids) EXPECT_NE(StringTable::Contains(id), withoutText.contains(id)) << id;

    // An argument is not filled in turn; a placeholder without argument, other
    // '%' and a second digit stay.
    EXPECT_EQ(StringTable::Format("%1 and %2 %1", {"a%2b", "c%1"}), "a%2b and c%1 a%2b");
    EXPECT_EQ(StringTable::Format("%2-%1 %3 %x 100% %10 '%s'", {"x", "y"}),
              "y-x %3 %x 100% x0 'x'");
}
