#pragma once

#include <cstdint>
#include <vector>

#include <QRectF>

#include "engine/FolderFiles.h"

class FolderRecord;
class TreeAccess;

// One rectangle of a treemap picture.
struct TreemapTile {
    enum class Kind : std::uint8_t {
        Folder,   // a sized folder: a frame around its subfolders and files
        File,     // one file of folder (file indexes folder->files)
        Unsized,  // a folder whose size is not known yet (drawn hatched)
        Small,    // the files and folders of folder too small to draw one by one
    };
    QRectF rect;
    const FolderRecord* folder = nullptr;
    std::int32_t file = -1;  // File only: index into folder->files->Files()
    std::uint16_t depth = 0;  // 0: the laid-out root
    Kind kind = Kind::Folder;
    FolderFiles::Family family = FolderFiles::Family::Other;  // File only
};

// The squarified treemap of a folder's subtree: every folder a framed
// rectangle holding its subfolders and its files, rectangles kept close to
// square, siblings largest first, areas proportional to disk space.
//
// UI thread, under the tree-data lock of tree (the records are read as they
// are now; a scan delivering later needs a new layout). The tiles point into
// the records: they are valid until the tree changes.
class TreemapLayout {
public:
    // Tiles of root's subtree inside bounds, each folder before what it
    // holds (the order to draw them in; a hit test takes the last tile that
    // contains a point). Tiles smaller than minimumArea square pixels are not
    // made one by one: they are merged into their folder's Small tile.
    static std::vector<TreemapTile> Lay(const TreeAccess& tree, const FolderRecord& root,
                                        const QRectF& bounds, double minimumArea = 1.0);

    // The squarified placement of weights (largest first, all above 0) in
    // bounds: one rectangle per weight, in the same order, covering bounds.
    static std::vector<QRectF> Squarify(const std::vector<double>& weights, const QRectF& bounds);
};
