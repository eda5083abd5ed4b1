#include "framework/DialogUnits.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

using framework::DialogUnits;

// A quarter character across and an eighth down, to the nearest pixel; a
// rectangle keeps its edges where they would be converted alone, so that
// neighbouring controls never overlap by rounding. The units follow the font.
TEST(DialogUnitsTest, ScaleWithTheFont)
{
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.ToPixelsX(17), 26);  // 25.5 rounds up
    EXPECT_EQ(units.ToPixelsY(21), 34);  // 34.125
    EXPECT_EQ(units.ToPixelsY(-8), -13);
    EXPECT_EQ(units.ToPixels(17, 21, 125, 10),
              QRect(26, 34, units.ToPixelsX(17 + 125) - 26, units.ToPixelsY(21 + 10) - 34));

    QFont small = QApplication::font(), large = small;
    small.setPixelSize(10);
    large.setPixelSize(20);
    EXPECT_GT(DialogUnits(large).ToPixelsX(100), DialogUnits(small).ToPixelsX(100));
    EXPECT_GT(DialogUnits(large).ToPixelsY(100), DialogUnits(small).ToPixelsY(100));
}
