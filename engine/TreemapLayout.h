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
        Small,    // the files and folders of folder too small to draw one by one,
                  // with its own files while they are not listed
    };
    QRectF rect;
    const FolderRecord* folder = nullptr;
    std::int32_t file = -1;   // File only: index into folder->files->Files()
    std::uint16_t depth = 0;  // 0: the laid-out root
    Kind kind = Kind::Folder;
    FolderFiles::Family family = FolderFiles::Family::Other;  // File only
};

// The squarified treemap of a folder's subtree: every folder a framed
// rectangle holding its subfolders and its files, rectangles kept close to
// square, siblings largest first, areas proportional to disk space.
//
// Inside a folder's tile (less its frame, see Interior) lie its items: each
// subfolder and each file of its list (FolderRecord::files), or, while the
// folder has no file list, all its own files as one block of ownDiskSpace
// (a Small tile). Each item weighs its disk space (a subfolder: its
// treeDiskSpace); an item of no space has no tile. While a scan runs the
// picture is live:
// - a folder partly sized (its own files known, its total not yet) is a
//   Folder tile and is entered; it weighs its own files, what is known of
//   its subfolders and the guesses below for the rest;
// - a folder of which nothing is known yet (not even its own files) is one
//   Unsized tile, never entered, whose weight is a guess:
//   - the space of the folder not accounted for (treeDiskSpace less the
//     sized subfolders and the own files), shared equally among its unsized
//     subfolders, when the folder's total is known and leaves some over;
//   - otherwise the mean weight of the sized subfolders of some space;
//   - otherwise, when none is sized, the space of the own files (each
//     unsized subfolder as large as all the files together), or 1 byte when
//     there are none (equal shares of the whole tile).
// The items are laid largest first; those whose tile would be smaller than
// minimumArea (the trailing ones) and the block of unlisted own files make
// one Small tile of the folder, placed in size order among the others. A
// folder is entered only when its tile reaches both minimumArea and
// MinimumEnteredArea; a smaller one is drawn whole. So the pixels, not the
// number of files, bound the work.
//
// UI thread, under the tree-data lock of tree (the records are read as they
// are now; a scan delivering later needs a new layout). The tiles point into
// the records: they are valid until the tree changes.
class TreemapLayout {
public:
    // The frame of a folder tile, in pixels on each side, drawn around what
    // the folder holds; a tile narrower or lower than FramedMinimumSide has
    // no frame (its items fill it).
    static constexpr double FrameWidth = 2.0;
    static constexpr double FramedMinimumSide = 10.0;
    // A folder tile smaller than this, in square pixels, is not entered (its
    // items are not laid): their tiles would be specks of a pixel or two,
    // while reading its children and files costs as much as for a large one.
    static constexpr double MinimumEnteredArea = 36.0;

    // Tiles of root's subtree inside bounds, each folder before what it
    // holds (the order to draw them in; a hit test takes the last tile that
    // contains a point); the tiles of one folder's items follow each other,
    // largest first. Tiles smaller than minimumArea square pixels are not
    // made one by one: they are merged into their folder's Small tile. Root
    // gives the first tile, filling bounds: Folder, or Unsized (and the only
    // one) when not even its own files are known. Nothing for empty bounds.
    static std::vector<TreemapTile> Lay(const TreeAccess& tree, const FolderRecord& root,
                                        const QRectF& bounds, double minimumArea = 1.0);

    // The squarified placement of weights (largest first, all above 0) in
    // bounds: one rectangle per weight, in the same order, covering bounds,
    // each of an area proportional to its weight. Rows are laid along the
    // shorter side of what is left, each growing while its worst aspect ratio
    // does not get worse. Weights of 0 or less (which break the precondition) get an
    // empty rectangle at the bottom-right corner.
    static std::vector<QRectF> Squarify(const std::vector<double>& weights, const QRectF& bounds);

    // The part of a folder tile that holds its items: the tile less its frame.
    static QRectF Interior(const QRectF& folderRect);
};
