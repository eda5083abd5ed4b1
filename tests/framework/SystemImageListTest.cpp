#include "framework/SystemImageList.h"

#include <gtest/gtest.h>

#include "platform/ShellIcons.h"

// Each key is loaded once, at a fixed index; without an icon theme the
// style's icons stand in, so no icon is ever empty.
TEST(SystemImageList, EachKeyIsLoadedOnceAtAFixedIndex)
{
    SystemImageList list;
    const int folder = list.IndexOf(platform::ShellIcons::kFolder);
    EXPECT_NE(list.IndexOf(platform::ShellIcons::kOpenFolder), folder);
    EXPECT_EQ(list.IndexOf(platform::ShellIcons::kFolder), folder);
    for (const char* key : {"text/plain", "no/such-type", "nothing"}) list.IndexOf(key);
    EXPECT_EQ(list.Count(), 5);
    for (int index = 0; index < list.Count(); ++index)
        EXPECT_FALSE(list.Icon(index).value<QIcon>().isNull()) << index;
    EXPECT_FALSE(list.Icon(-1).isValid() || list.Icon(list.Count()).isValid());
}
