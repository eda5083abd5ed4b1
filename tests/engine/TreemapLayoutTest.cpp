#include "engine/TreemapLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "support/FolderTreeFake.h"

using Kind = TreemapTile::Kind;
using Kinds = std::map<const FolderRecord*, Kind>;
using Laid = std::vector<std::pair<QRectF, double>>;  // rectangles, with weights where known

namespace {

double Area(const QRectF& r) { return r.width() * r.height(); }

// Inside bounds, pairwise apart, largest first, covering bounds; the areas of
// known weight (above 0) proportional to it within a pixel.
void ExpectPartition(const Laid& laid, const QRectF& bounds)
{
    double area = 0, known = 0, knownArea = 0;
    for (std::size_t i = 0; i < laid.size(); ++i) {
        const auto& [rect, weight] = laid[i];
        EXPECT_TRUE(bounds.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(rect)) << i;
        EXPECT_LE(Area(rect), Area(laid[i ? i - 1 : 0].first) * (1 + 1e-9)) << i;
        for (std::size_t j = 0; j < i; ++j) EXPECT_LE(Area(rect & laid[j].first), 1e-6);
        area += Area(rect), known += weight, knownArea += weight > 0 ? Area(rect) : 0;
    }
    EXPECT_NEAR(area, Area(bounds), 1e-6 * Area(bounds));
    for (const auto& [rect, weight] : laid)
        EXPECT_NEAR(Area(rect), weight > 0 ? weight * knownArea / known : Area(rect), 1.0);
}

}  // namespace

TEST(TreemapLayout, RandomTreesKeepTheInvariants)
{
    for (unsigned seed = 1; seed <= 50; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto bytes = [&] { return FileSize::FromBytes(random() % 4 ? random() % 1000000 : 0); };
        testsupport::FolderTreeFake tree;
        std::vector<FolderRecord*> folders{&tree.MakeRoot()};
        for (int i = random() % 150; i >= 0; --i)
            folders.push_back(&tree.Add(*folders[random() % folders.size()], "f"));
        for (FolderRecord* folder : folders) {  // a fifth without a file list
            const bool listed = random() % 5;
            FolderFiles::Builder files;
            for (int n = random() % 9; listed && n > 0; --n) {
                const FileSize space = bytes();
                files.Add("x", {}, space);
                folder->ownDiskSpace += space;
            }
            if (listed) folder->files = files.Build();
            folder->ownDiskSpace = folder->files ? folder->ownDiskSpace : bytes();
            folder->treeDiskSpace = folder->ownDiskSpace;
            folder->flags = FolderRecord::OwnSizeKnown | FolderRecord::TreeSizeKnown;
        }
        for (std::size_t i = folders.size() - 1; i > 0; --i) {  // a tenth unsized
            auto* parent = static_cast<FolderRecord*>(folders[i]->parent);
            parent->treeDiskSpace += folders[i]->treeDiskSpace;
            if (random() % 10 == 0) folders[i]->Clear(FolderRecord::TreeSizeKnown);
        }
        const QRectF bounds(random() % 9, 3, 20 + random() % 1500, 20 + random() % 600);
        const double minimumArea = std::vector{0.5, 1.0, 4.0, 30.0}[random() % 4];

        // Each tile after its folder's tile, one level deeper, of minimumArea
        // unless Small; by folder tile, what was laid in it.
        const auto tiles = TreemapLayout::Lay(tree, *folders[0], bounds, minimumArea);
        ASSERT_EQ(tiles.at(0).rect, bounds);
        std::map<const void*, std::size_t> folderTile;
        std::map<std::size_t, Laid> laid;
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            const TreemapTile& t = tiles[i];
            const void* parent =
                t.kind == Kind::File || t.kind == Kind::Small ? t.folder : t.folder->parent;
            if (i > 0) {
                ASSERT_EQ(folderTile.count(parent), 1u) << i;
                EXPECT_EQ(t.depth, tiles[folderTile[parent]].depth + 1);
                EXPECT_GE(Area(t.rect), t.kind == Kind::Small ? 0 : minimumArea * (1 - 1e-9));
                laid[folderTile[parent]].emplace_back(
                    t.rect, t.kind == Kind::Folder ? t.folder->treeDiskSpace.Bytes()
                            : t.kind == Kind::File
                                ? t.folder->files->Files()[t.file].diskSpace.Bytes()
                                : 0);
            }
            if (t.kind == Kind::Folder) folderTile[t.folder] = i;
        }
        for (const auto& [record, i] : folderTile) {
            EXPECT_EQ(
                laid.count(i) != 0,
                Area(tiles[i].rect) >= std::max(minimumArea, TreemapLayout::MinimumEnteredArea) &&
                    static_cast<const FolderRecord*>(record)->treeDiskSpace > FileSize());
            if (laid.count(i)) ExpectPartition(laid[i], TreemapLayout::Interior(tiles[i].rect));
        }
    }
}

// A subfolder is one Unsized tile, weighing a guess, until its own files are
// known; then it is a Folder, entered while its own subfolders are not sized.
TEST(TreemapLayout, UnsizedFolderBecomesFolderOnceSized)
{
    testsupport::FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& later = tree.Add(root, "later");
    root.ownDiskSpace = FileSize::FromBytes(100);
    auto kinds = [&](double laterArea) {
        Kinds kinds;
        for (const TreemapTile& tile : TreemapLayout::Lay(tree, root, QRectF(0, 0, 400, 300))) {
            kinds.emplace(tile.folder, tile.kind);
            EXPECT_NEAR(Area(tile.rect), tile.folder == &later ? laterArea : Area(tile.rect), 1e-6);
        }
        return kinds;
    };
    EXPECT_EQ(kinds(0), (Kinds{{&root, Kind::Unsized}}));
    root.Set(FolderRecord::OwnSizeKnown);  // as large as the own files, for now
    EXPECT_EQ(kinds(396 * 296 * 0.5), (Kinds{{&root, Kind::Folder}, {&later, Kind::Unsized}}));
    root.treeDiskSpace = FileSize::FromBytes(400);  // a total known from elsewhere
    root.Set(FolderRecord::TreeSizeKnown);
    EXPECT_EQ(kinds(396 * 296 * 0.75), (Kinds{{&root, Kind::Folder}, {&later, Kind::Unsized}}));
    FolderRecord& inner = tree.Add(later, "inner");
    later.SetOwnSizes({}, {});  // partly sized: its guessed 1 byte beside the 100 own
    EXPECT_EQ(kinds(396 * 296 / 101.0),
              (Kinds{{&root, Kind::Folder}, {&later, Kind::Folder}, {&inner, Kind::Unsized}}));
    inner.SetOwnSizes({}, FileSize::FromBytes(300));
    inner.UpdateTotals(tree);
    EXPECT_EQ(kinds(396 * 296 * 0.75),
              (Kinds{{&root, Kind::Folder}, {&later, Kind::Folder}, {&inner, Kind::Folder}}));
}

// Rows run along the shorter side of what is left and cover it: six equal
// weights in 300 by 100 make three columns of two (rows along 300 would end
// in 150 by 33).
TEST(TreemapLayout, SquarifyLaysRowsAlongTheShorterSide)
{
    const auto rects = TreemapLayout::Squarify(std::vector(6, 1.0), QRectF(0, 0, 300, 100));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(rects.at(i), QRectF(i / 2 * 100, i % 2 * 50, 100, 50));
}
