#include "framework/MarkImages.h"

#include <initializer_list>

#include <QPainter>

namespace framework {

namespace {

constexpr int kSize = 16;
const QColor kField(192, 192, 192);

// Dots are drawn without antialiasing, so every pixel is either field or
// dot and the field can be masked out exactly.
QImage DrawDots(std::initializer_list<QRect> dots, const QColor& fill)
{
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    image.fill(kField);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(fill);
        for (const QRect& dot : dots) {
            painter.drawEllipse(dot);
        }
    }
    const QRgb field = kField.rgb();
    for (int y = 0; y < kSize; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kSize; ++x) {
            if (line[x] == field) {
                line[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    return image;
}

}  // namespace

std::pair<QImage, QImage> MarkImages()
{
    // A rectangle of w x h gives a dot of (w + 1) x (h + 1) pixels with its rim.
    QImage duplicates =
        DrawDots({QRect(4, 1, 6, 6), QRect(1, 8, 6, 6), QRect(8, 8, 6, 6)}, QColor(255, 0, 0));
    QImage single = DrawDots({QRect(3, 3, 9, 9)}, QColor(0, 192, 0));
    return {std::move(duplicates), std::move(single)};
}

}  // namespace framework
