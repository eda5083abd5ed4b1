#include <gtest/gtest.h>

#include "app/SplitterPlacement.h"

namespace {

constexpr int kBar = 7;

TEST(SplitterPlacement, FirstLayoutLeavesTheLowestHundredFiftyPixels)
{
    EXPECT_EQ(SplitterPlacement::InitialUpperRow(600), 450);
    EXPECT_EQ(SplitterPlacement::InitialUpperRow(300), 150);
    EXPECT_EQ(SplitterPlacement::InitialUpperRow(299), 149);
    EXPECT_EQ(SplitterPlacement::InitialUpperRow(200), 100);
}

TEST(SplitterPlacement, WithoutALayoutTheSplitterOnlyTakesTheNewSize)
{
    const auto placement = SplitterPlacement::ForViewHeight(-1, 0, 0, 500);
    EXPECT_TRUE(placement.keepTop);
    EXPECT_EQ(placement.height, 500);
    EXPECT_FALSE(placement.upperRow);
}

TEST(SplitterPlacement, TheUpperRowTakesTheWholeChange)
{
    // Rows 450 and 143 under a 7-pixel bar fill a 600-pixel view.
    for (int height : {900, 601, 599, 151}) {
        const auto placement = SplitterPlacement::ForViewHeight(450, 143, 600, height);
        ASSERT_TRUE(placement.upperRow) << height;
        EXPECT_EQ(*placement.upperRow, height - 143 - kBar) << height;
        EXPECT_EQ(placement.top, 0);
        EXPECT_EQ(placement.height, height);
    }
}

TEST(SplitterPlacement, ASmallLowerPaneMovesUpPastTheTopEdge)
{
    const auto placement = SplitterPlacement::ForViewHeight(10, 100, 117, 80);
    EXPECT_FALSE(placement.upperRow);
    EXPECT_EQ(placement.top, 80 - 100 - kBar);
    EXPECT_EQ(placement.height, 117);
}

TEST(SplitterPlacement, ATallLowerPaneShrinksToAHundredThenKeepsItsTopInSight)
{
    // Upper row 20, lower pane 300: the view shrinks from 327.
    auto placement = SplitterPlacement::ForViewHeight(20, 300, 327, 200);
    ASSERT_TRUE(placement.upperRow);
    EXPECT_EQ(*placement.upperRow, 20);  // the lower pane shrinks to 173
    EXPECT_EQ(placement.top, 0);
    EXPECT_EQ(placement.height, 200);

    placement = SplitterPlacement::ForViewHeight(20, 300, 327, 120);
    ASSERT_TRUE(placement.upperRow);
    EXPECT_EQ(*placement.upperRow, 0);
    EXPECT_EQ(placement.top, 120 - kBar - 100);  // the lower pane's top 100 pixels at the bottom
    EXPECT_EQ(placement.height, 327);
}

}  // namespace
