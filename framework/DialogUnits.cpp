#include "framework/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>

namespace framework {

namespace {

int MultiplyDivideRounded(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

int AverageLetterWidth(const QFontMetrics& metrics)
{
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
    : DialogUnits(AverageLetterWidth(QFontMetrics(font)), QFontMetrics(font).height())
{
}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : m_averageCharWidth(averageCharWidth > 0 ? averageCharWidth : 1),
      m_charHeight(charHeight > 0 ? charHeight : 1)
{
}

int DialogUnits::ToPixelsX(int x) const { return MultiplyDivideRounded(x, m_averageCharWidth, 4); }

int DialogUnits::ToPixelsY(int y) const { return MultiplyDivideRounded(y, m_charHeight, 8); }

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const
{
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return QRect(left, top, ToPixelsX(x + width) - left, ToPixelsY(y + height) - top);
}

}  // namespace framework
