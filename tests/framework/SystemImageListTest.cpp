#include "framework/SystemImageList.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "platform/ShellIcons.h"

namespace {

TEST(SystemImageList, EachKeyIsLoadedOnceAtAFixedIndex)
{
    SystemImageList list;
    const int folder = list.IndexOf(platform::ShellIcons::kFolder);
    const int open = list.IndexOf(platform::ShellIcons::kOpenFolder);
    const int text = list.IndexOf("text/plain");
    EXPECT_NE(folder, open);
    EXPECT_EQ(list.IndexOf(platform::ShellIcons::kFolder), folder);
    EXPECT_EQ(list.Count(), 3);

    // Without an icon theme the style's icons stand in: never an empty icon.
    for (int index : {folder, open, text, list.IndexOf("no/such-type"), list.IndexOf("nothing")}) {
        const QIcon icon = list.Icon(index).value<QIcon>();
        EXPECT_FALSE(icon.isNull()) << index;
    }
    EXPECT_FALSE(list.Icon(-1).isValid());
    EXPECT_FALSE(list.Icon(list.Count()).isValid());
}

}  // namespace
