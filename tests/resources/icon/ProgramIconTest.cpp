#include <gtest/gtest.h>

#include <QImage>
#include <QXmlStreamReader>

#include "resources/icon/ProgramIcon.h"

using resources::ProgramIcon;

// Clear corners, an opaque purple disc and the share set apart opaque and
// lighter at every theme size; a well-formed SVG that holds both pieces.
TEST(ProgramIconTest, RendersTheDiscAndTheShareAtEveryThemeSize)
{
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage image = ProgramIcon::Render(size);
        ASSERT_EQ(image.size(), QSize(size, size));
        const int art = ProgramIcon::kArtSize;
        const auto at = [&](int x, int y) {
            return image.pixelColor(x * size / art, y * size / art);
        };
        const QColor rest = at(124, 200), share = at(130, 70);
        for (const int x : {0, art - 1}) EXPECT_EQ(at(x, 0).alpha() + at(x, art - 1).alpha(), 0);
        EXPECT_EQ(rest.alpha() + share.alpha(), 510) << size;
        EXPECT_GT(rest.blue(), rest.green() + 40) << size;
        EXPECT_GT(share.lightness(), rest.lightness() + 40) << size;
    }
    const QString svg = ProgramIcon::Svg();
    QXmlStreamReader reader(svg);
    while (!reader.atEnd()) reader.readNext();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_TRUE(svg.contains(QLatin1String("viewBox=\"0 0 256 256\"")));
    EXPECT_EQ(svg.count(QLatin1String("<path")) + svg.count(QLatin1String("<linearGradient")), 4);
}
