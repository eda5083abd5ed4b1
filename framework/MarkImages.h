#pragma once

#include <utility>

#include <QImage>

namespace framework {

// The two state images of the duplicate search marks, 16x16 each, drawn on
// a light grey field (red, green and blue 192) that is then masked out, so
// only the dots show:
// - first (state image 1): three red dots with black rims in a triangle,
//   "the file has duplicates";
// - second (state image 2): one green dot with a black rim, "searched, no
//   other copy".
// Needs no display; turn them into pixmaps for a DetailListView.
[[nodiscard]] std::pair<QImage, QImage> MarkImages();

}  // namespace framework
