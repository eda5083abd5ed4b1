#pragma once

#include <QImage>
#include <QString>

namespace resources {

// The program icon as vector art: a disc with one share of it set apart,
// in the colours of the drawn 32 by 32 image. One drawing gives both the
// scalable SVG and the PNGs of the icon theme, so they cannot drift apart.
// Art units: a square of kArtSize by kArtSize, y downwards. Any thread.
class ProgramIcon {
public:
    static constexpr int kArtSize = 256;

    // The icon drawn on a transparent square of size by size pixels
    // (size > 0). The outline never gets thinner than one pixel.
    [[nodiscard]] static QImage Render(int size);
    // The icon as a standalone SVG document of kArtSize by kArtSize.
    [[nodiscard]] static QString Svg();
};

}  // namespace resources
