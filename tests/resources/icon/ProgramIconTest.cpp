#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QXmlStreamReader>

#include "resources/icon/ProgramIcon.h"

namespace {

using resources::ProgramIcon;

// A point of the art square (0..256) at the pixel it falls on.
QColor At(const QImage& image, double x, double y)
{
    const double scale = double(image.width()) / ProgramIcon::kArtSize;
    return image.pixelColor(int(x * scale), int(y * scale));
}

class ProgramIconRenderTest : public ::testing::TestWithParam<int> {};

TEST_P(ProgramIconRenderTest, FillsTheDiscAndLeavesTheCornersAndTheGapClear)
{
    const int size = GetParam();
    const QImage image = ProgramIcon::Render(size);
    ASSERT_EQ(image.size(), QSize(size, size));
    ASSERT_TRUE(image.hasAlphaChannel());
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();

    // Well inside the lower part of the disc: opaque, and purple rather than grey.
    const QColor rest = At(image, 124, 200);
    EXPECT_EQ(rest.alpha(), 255);
    EXPECT_GT(rest.blue(), rest.green() + 40);
    // Well inside the share set apart: opaque and lighter than the rest.
    const QColor share = At(image, 130, 70);
    EXPECT_EQ(share.alpha(), 255);
    EXPECT_GT(share.lightness(), rest.lightness() + 40);
}

INSTANTIATE_TEST_SUITE_P(ThemeSizes, ProgramIconRenderTest,
                         ::testing::Values(16, 22, 24, 32, 48, 64, 128, 256));

TEST(ProgramIconTest, TheSvgIsOneWellFormedSquareDocumentWithBothPieces)
{
    QXmlStreamReader reader(ProgramIcon::Svg());
    int paths = 0;
    int gradients = 0;
    QString viewBox;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        if (reader.name() == QLatin1String("svg"))
            viewBox = reader.attributes().value(QLatin1String("viewBox")).toString();
        if (reader.name() == QLatin1String("linearGradient")) ++gradients;
        if (reader.name() == QLatin1String("path")) ++paths;
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(viewBox, QStringLiteral("0 0 256 256"));
    EXPECT_EQ(paths, 2);
    EXPECT_EQ(gradients, 2);
}

}  // namespace
