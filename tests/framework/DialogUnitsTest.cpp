#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>

#include "framework/DialogUnits.h"

using framework::DialogUnits;

namespace {

TEST(DialogUnitsTest, ScaleByAQuarterCharacterAcrossAndAnEighthDown)
{
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.ToPixelsX(4), 6);
    EXPECT_EQ(units.ToPixelsX(17), 26);  // 25.5 rounds up
    EXPECT_EQ(units.ToPixelsY(8), 13);
    EXPECT_EQ(units.ToPixelsY(21), 34);  // 34.125
    EXPECT_EQ(units.ToPixelsY(-8), -13);

    // A rectangle keeps its edges where they would be converted alone, so
    // neighbouring controls never overlap by rounding.
    const QRect box = units.ToPixels(17, 21, 125, 10);
    EXPECT_EQ(box.left(), units.ToPixelsX(17));
    EXPECT_EQ(box.left() + box.width(), units.ToPixelsX(17 + 125));
    EXPECT_EQ(box.top() + box.height(), units.ToPixelsY(21 + 10));
}

TEST(DialogUnitsTest, FollowTheDialogFont)
{
    QFont small = QApplication::font();
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    const DialogUnits smallUnits(small);
    const DialogUnits largeUnits(large);
    EXPECT_EQ(smallUnits.CharHeight(), QFontMetrics(small).height());
    EXPECT_GT(smallUnits.AverageCharWidth(), 0);
    EXPECT_GT(largeUnits.AverageCharWidth(), smallUnits.AverageCharWidth());
    EXPECT_GT(largeUnits.ToPixelsY(100), smallUnits.ToPixelsY(100));
}

}  // namespace
