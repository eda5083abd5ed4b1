#include "resources/icon/ProgramIcon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace resources {

namespace {

constexpr QPointF kCentre(124, 140);
constexpr double kRadius = 100;
// The share set apart runs counter-clockwise from kShareStart, in degrees
// from three o'clock, and is pushed out along its middle by kShareGap.
constexpr double kShareStart = 20;
constexpr double kShareSweep = 115;
constexpr double kShareGap = 14;
constexpr double kOutlineWidth = 6;

const QColor kOutline(0x2B, 0x1A, 0x4F);

struct Piece {
    QPainterPath path;
    QColor top;     // gradient colour at the disc's top
    QColor bottom;  // and at its bottom
    const char* id;
};

QPainterPath Slice(QPointF centre, double start, double sweep)
{
    const QRectF box(centre.x() - kRadius, centre.y() - kRadius, 2 * kRadius, 2 * kRadius);
    QPainterPath path(centre);
    path.arcTo(box, start, sweep);
    path.closeSubpath();
    return path;
}

std::array<Piece, 2> Pieces()
{
    const double middle = (kShareStart + kShareSweep / 2) * std::numbers::pi / 180;
    const QPointF shareCentre =
        kCentre + QPointF(kShareGap * std::cos(middle), -kShareGap * std::sin(middle));
    return {{
        {Slice(kCentre, kShareStart + kShareSweep, 360 - kShareSweep), QColor(0x7D, 0x58, 0xCC),
         QColor(0x56, 0x34, 0x9C), "rest"},
        {Slice(shareCentre, kShareStart, kShareSweep), QColor(0xDD, 0xCF, 0xF8),
         QColor(0xB5, 0x9C, 0xE8), "share"},
    }};
}

// The gradient runs down the whole disc, from its top to its bottom.
constexpr double kGradientTop = kCentre.y() - kRadius - kShareGap;
constexpr double kGradientBottom = kCentre.y() + kRadius;

QString Number(double value) { return QString::number(value, 'f', 2); }

QString PathData(const QPainterPath& path)
{
    QString data;
    for (int index = 0; index < path.elementCount(); ++index) {
        const QPainterPath::Element element = path.elementAt(index);
        switch (element.type) {
            case QPainterPath::MoveToElement:
                data += QStringLiteral("M");
                break;
            case QPainterPath::LineToElement:
                data += QStringLiteral("L");
                break;
            case QPainterPath::CurveToElement:
                data += QStringLiteral("C");
                break;
            case QPainterPath::CurveToDataElement:
                data += QStringLiteral(" ");
                break;
        }
        data += Number(element.x) + QStringLiteral(" ") + Number(element.y);
    }
    return data + QStringLiteral("Z");
}

}  // namespace

QImage ProgramIcon::Render(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = double(size) / kArtSize;
    painter.scale(scale, scale);
    QPen outline(kOutline, std::max(kOutlineWidth, 1 / scale));
    outline.setJoinStyle(Qt::RoundJoin);
    painter.setPen(outline);
    for (const Piece& piece : Pieces()) {
        QLinearGradient fill(0, kGradientTop, 0, kGradientBottom);
        fill.setColorAt(0, piece.top);
        fill.setColorAt(1, piece.bottom);
        painter.setBrush(fill);
        painter.drawPath(piece.path);
    }
    painter.end();
    return image;
}

QString ProgramIcon::Svg()
{
    const QString size = QString::number(kArtSize);
    QString defs;
    QString shapes;
    for (const Piece& piece : Pieces()) {
        const QString id = QString::fromLatin1(piece.id);
        defs += QStringLiteral(
                    "    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                    "x1=\"0\" y1=\"%2\" x2=\"0\" y2=\"%3\">\n"
                    "      <stop offset=\"0\" stop-color=\"%4\"/>\n"
                    "      <stop offset=\"1\" stop-color=\"%5\"/>\n"
                    "    </linearGradient>\n")
                    .arg(id, Number(kGradientTop), Number(kGradientBottom), piece.top.name(),
                         piece.bottom.name());
        shapes += QStringLiteral("    <path fill=\"url(#%1)\" d=\"%2\"/>\n")
                      .arg(id, PathData(piece.path));
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
               "viewBox=\"0 0 %1 %1\">\n"
               "  <defs>\n%2  </defs>\n"
               "  <g stroke=\"%3\" stroke-width=\"%4\" stroke-linejoin=\"round\">\n"
               "%5  </g>\n"
               "</svg>\n")
        .arg(size, defs, kOutline.name(), Number(kOutlineWidth), shapes);
}

}  // namespace resources
