#pragma once

#include <QRect>

class QFont;

namespace framework {

// Dialog layouts are given in dialog units, which scale with the dialog's
// font: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its character height. The average
// width is that of the 52 Latin letters, as the desktop platform the
// layouts were made for measures it. Conversions round to the nearest pixel.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int charHeight);

    [[nodiscard]] int AverageCharWidth() const { return m_averageCharWidth; }
    [[nodiscard]] int CharHeight() const { return m_charHeight; }

    [[nodiscard]] int ToPixelsX(int x) const;
    [[nodiscard]] int ToPixelsY(int y) const;
    // A rectangle given as left, top, width and height in dialog units.
    [[nodiscard]] QRect ToPixels(int x, int y, int width, int height) const;

private:
    int m_averageCharWidth;
    int m_charHeight;
};

}  // namespace framework
