#include <gtest/gtest.h>

#include "app/SplitterPlacement.h"

namespace {

constexpr int kBar = 7;

TEST(SplitterPlacement, FirstLayoutLeavesTheLowestHundredFiftyPixels)
{
    for (const auto& [height, upper] : {std::pair{600, 450}, {300, 150}, {299, 149}, {200, 100}})
        EXPECT_EQ(SplitterPlacement::InitialUpperRow(height), upper) << height;
    // Without a layout the splitter only takes the new size.
    const auto placement = SplitterPlacement::ForViewHeight(-1, 0, 0, 500);
    EXPECT_TRUE(placement.keepTop);
    EXPECT_EQ(placement.height, 500);
    EXPECT_FALSE(placement.upperRow);
}

TEST(SplitterPlacement, TheUpperRowTakesTheChangeUntilTheLowerPaneMustGive)
{
    // Each row: upper row and lower pane before, the view's height before
    // and after; then the upper row (-1: none), the splitter's top and height.
    const struct {
        int upper, lower, before, after, newUpper, top, height;
    } rows[] = {
        {450, 143, 600, 900, 900 - 143 - kBar, 0, 900},
        {450, 143, 600, 599, 599 - 143 - kBar, 0, 599},
        {450, 143, 600, 151, 151 - 143 - kBar, 0, 151},
        // A small lower pane moves up past the top edge.
        {10, 100, 117, 80, -1, 80 - 100 - kBar, 117},
        // A tall one shrinks to a hundred, then keeps its top in sight.
        {20, 300, 327, 200, 20, 0, 200},
        {20, 300, 327, 120, 0, 120 - kBar - 100, 327},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        const auto placement =
            SplitterPlacement::ForViewHeight(row.upper, row.lower, row.before, row.after);
        EXPECT_EQ(placement.upperRow.value_or(-1), row.newUpper);
        EXPECT_EQ(placement.top, row.top);
        EXPECT_EQ(placement.height, row.height);
    }
}

}  // namespace
