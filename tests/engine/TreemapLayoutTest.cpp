#include "engine/TreemapLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

#include "support/FolderTreeFake.h"

using Kind = TreemapTile::Kind;

namespace {

double Area(const QRectF& r) { return r.width() * r.height(); }
bool Within(const QRectF& inner, const QRectF& outer)
{
    return inner.left() >= outer.left() - 1e-6 && inner.top() >= outer.top() - 1e-6 &&
           inner.right() <= outer.right() + 1e-6 && inner.bottom() <= outer.bottom() + 1e-6;
}

// Rectangles inside bounds, pairwise apart, largest first, covering bounds.
void ExpectPartition(const std::vector<QRectF>& rects, const QRectF& bounds)
{
    double area = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        EXPECT_TRUE(Within(rects[i], bounds)) << i;
        if (i > 0) {
            EXPECT_LE(Area(rects[i]), Area(rects[i - 1]) * (1 + 1e-9) + 1e-9) << i;
        }
        for (std::size_t j = 0; j < i; ++j) EXPECT_LE(Area(rects[i] & rects[j]), 1e-6);
        area += Area(rects[i]);
    }
    EXPECT_NEAR(area, Area(bounds), 1e-6 * Area(bounds));
}

double Bytes(FileSize size) { return static_cast<double>(size.Bytes()); }

}  // namespace

TEST(TreemapLayout, RandomTreesKeepTheInvariants)
{
    for (unsigned seed = 1; seed <= 50; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto size = [&] { return FileSize::FromBytes(random() % 4 ? random() % 1000000 : 0); };
        testsupport::FolderTreeFake tree;
        std::vector<FolderRecord*> folders{&tree.MakeRoot()};
        for (int i = 1 + random() % 150; i > 0; --i)
            folders.push_back(&tree.Add(*folders[random() % folders.size()], "f"));
        for (FolderRecord* folder : folders) {  // sizes; a fifth have no file list
            if (random() % 5 == 0) {
                folder->SetOwnSizes(size(), size());
            } else {
                folder->files = std::make_unique<FolderFiles>();
                for (int n = random() % 9; n > 0; --n) {
                    const FileSize space = size();
                    folder->files->Add("x", space, space, FolderFiles::Family::Other);
                    folder->ownDiskSpace += space;
                }
            }
            folder->treeDiskSpace = folder->ownDiskSpace;
            folder->Set(FolderRecord::TreeSizeKnown);
        }
        for (auto it = folders.rbegin(); it + 1 != folders.rend(); ++it) {
            static_cast<FolderRecord*>((*it)->parent)->treeDiskSpace += (*it)->treeDiskSpace;
            if (random() % 10 == 0) (*it)->Clear(FolderRecord::TreeSizeKnown);
        }
        const QRectF bounds(random() % 9, 3, 20 + random() % 1500, 20 + random() % 600);
        const double minimumArea = std::vector{0.5, 1.0, 4.0, 30.0}[random() % 4];
        const std::vector<TreemapTile> tiles =
            TreemapLayout::Lay(tree, *folders[0], bounds, minimumArea);

        std::vector<double> weights(1 + random() % 60);
        for (double& weight : weights) weight = 1 + random() % 1000;
        std::sort(weights.rbegin(), weights.rend());
        const std::vector<QRectF> rects = TreemapLayout::Squarify(weights, bounds);
        ExpectPartition(rects, bounds);
        const double scale = Area(bounds) / std::accumulate(weights.begin(), weights.end(), 0.0);
        for (std::size_t i = 0; i < rects.size(); ++i)
            EXPECT_NEAR(Area(rects[i]), weights[i] * scale, 1e-6 * Area(bounds));

        ASSERT_FALSE(tiles.empty());
        EXPECT_EQ(tiles[0].rect, bounds);
        std::map<const FolderRecord*, std::size_t> folderTile;
        std::map<std::size_t, std::vector<std::size_t>> children;  // by folder tile
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            const TreemapTile& tile = tiles[i];
            if (tile.kind == Kind::Folder) folderTile[tile.folder] = i;
            if (i == 0) continue;
            const bool item = tile.kind == Kind::File || tile.kind == Kind::Small;
            const auto parent = folderTile.find(
                static_cast<const FolderRecord*>(item ? tile.folder : tile.folder->parent));
            ASSERT_NE(parent, folderTile.end()) << i;
            EXPECT_EQ(tile.depth, tiles[parent->second].depth + 1);
            EXPECT_GE(Area(tile.rect), tile.kind == Kind::Small ? 0.0 : minimumArea * (1 - 1e-9));
            children[parent->second].push_back(i);
        }
        for (const auto& [folder, index] : folderTile) {
            const QRectF inner = TreemapLayout::Interior(tiles[index].rect);
            const std::vector<std::size_t>& laid = children[index];
            // Entered exactly when there is room and something to show.
            EXPECT_EQ(!laid.empty(),
                      Area(tiles[index].rect) >=
                              std::max(minimumArea, TreemapLayout::MinimumEnteredArea) &&
                          folder->treeDiskSpace > FileSize());
            if (laid.empty()) continue;
            std::vector<QRectF> rects;
            std::map<std::pair<const void*, int>, double> areas;  // by record and file
            int smallTiles = 0;
            for (std::size_t i : laid) {
                rects.push_back(tiles[i].rect);
                areas[{tiles[i].folder, tiles[i].file}] = Area(tiles[i].rect);
                smallTiles += tiles[i].kind == Kind::Small;
            }
            EXPECT_LE(smallTiles, 1);
            ExpectPartition(rects, inner);
            // Each item has its tile of an area proportional to its space, or
            // is too small for one. Unsized subfolders share the space the
            // others leave of the total.
            std::vector<std::pair<std::pair<const void*, int>, double>> expected;
            double unsizedTruth = 0;
            int unsized = 0;
            for (TreeItemRecord* record = tree.FirstChildRecord(*folder); record;
                 record = tree.NextSiblingRecord(*record)) {
                const auto* child = static_cast<const FolderRecord*>(record);
                if (!child->Has(FolderRecord::TreeSizeKnown))
                    unsizedTruth += Bytes(child->treeDiskSpace), ++unsized;
                expected.push_back({{child, -1}, Bytes(child->treeDiskSpace)});
            }
            for (int i = 0; folder->files && i < int(folder->files->Files().size()); ++i)
                expected.push_back({{folder, i}, Bytes(folder->files->Files()[i].diskSpace)});
            if (unsized > 0 && unsizedTruth == 0) continue;  // shares guessed otherwise
            const double scale = Area(inner) / Bytes(folder->treeDiskSpace);
            for (auto [key, weight] : expected) {
                const auto* child = static_cast<const FolderRecord*>(key.first);
                if (key.second < 0 && !child->Has(FolderRecord::TreeSizeKnown))
                    weight = unsizedTruth / unsized;
                if (areas.count(key))
                    EXPECT_NEAR(areas[key], weight * scale, 1.0);
                else
                    EXPECT_LT(weight * scale, minimumArea * (1 + 1e-9));
            }
        }
    }
}

// A subfolder is one Unsized tile until its size is known; then it is framed
// around its own items.
TEST(TreemapLayout, UnsizedFolderBecomesFolderOnceSized)
{
    testsupport::FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& sized = tree.Add(root, "sized");
    FolderRecord& later = tree.Add(root, "later");
    sized.SetOwnSizes(FileSize::FromBytes(100), FileSize::FromBytes(100));
    sized.UpdateTotals(tree);
    root.SetOwnSizes(FileSize(), FileSize());
    auto kinds = [&] {
        std::map<const FolderRecord*, Kind> kinds;
        for (const TreemapTile& tile : TreemapLayout::Lay(tree, root, QRectF(0, 0, 400, 300)))
            if (tile.file < 0) kinds.emplace(tile.folder, tile.kind);
        return kinds;
    };
    EXPECT_EQ(kinds(), (std::map<const FolderRecord*, Kind>{{&root, Kind::Unsized}}));
    root.treeDiskSpace = FileSize::FromBytes(400);  // a total known from elsewhere
    root.Set(FolderRecord::TreeSizeKnown);
    EXPECT_EQ(kinds()[&later], Kind::Unsized);

    FolderRecord& inner = tree.Add(later, "inner");
    inner.SetOwnSizes(FileSize::FromBytes(200), FileSize::FromBytes(200));
    later.files = std::make_unique<FolderFiles>();
    later.files->Add("a", FileSize::FromBytes(100), FileSize::FromBytes(100), {});
    later.SetOwnSizes(FileSize::FromBytes(100), FileSize::FromBytes(100));
    inner.UpdateTotals(tree);
    const std::map<const FolderRecord*, Kind> sizedKinds = kinds();
    EXPECT_EQ(sizedKinds.at(&later), Kind::Folder);
    EXPECT_EQ(sizedKinds.at(&inner), Kind::Folder);
    EXPECT_EQ(root.treeDiskSpace, FileSize::FromBytes(400));
}

// Rows run along the shorter side of what is left, each growing while its
// worst aspect ratio does not get worse: six equal weights in 300 by 100 make
// three columns of two (rows along the 300 side would end in 150 by 33).
TEST(TreemapLayout, SquarifyLaysRowsAlongTheShorterSide)
{
    std::vector<QRectF> expected;
    for (int i = 0; i < 6; ++i) expected.emplace_back(i / 2 * 100, i % 2 * 50, 100, 50);
    EXPECT_EQ(TreemapLayout::Squarify(std::vector(6, 1.0), QRectF(0, 0, 300, 100)), expected);
}
