#include "engine/TreemapLayout.h"

#include <algorithm>
#include <limits>
#include <span>
#include <unordered_map>

#include "engine/FolderRecord.h"
#include "model/TreeAccess.h"

namespace {

using Kind = TreemapTile::Kind;

// The worst aspect ratio of a row of total area sum laid along side, whose
// largest item has area largest and smallest smallest.
double WorstRatio(double largest, double smallest, double sum, double side)
{
    const double side2 = side * side;
    const double sum2 = sum * sum;
    return std::max(side2 * largest / sum2, sum2 / (side2 * smallest));
}

// Lays weights[0..count) (above 0, largest first, adding up to total) in
// bounds (not empty) into out[0..count). The last row takes what is left of
// bounds and the last item of a row the rest of the row, so that rounding
// never leaves a gap.
void SquarifyInto(const double* weights, std::size_t count, double total, const QRectF& bounds,
                  QRectF* out)
{
    double x = bounds.x();
    double y = bounds.y();
    double width = bounds.width();
    double height = bounds.height();
    const double scale = width * height / total;  // square pixels per unit of weight
    std::size_t first = 0;
    while (first < count) {
        // A wide space gets a column at its left, a tall one a row at its top.
        const bool column = width >= height;
        const double side = column ? height : width;
        const double largest = weights[first] * scale;
        double sum = largest;
        double worst = WorstRatio(largest, largest, sum, side);
        std::size_t end = first + 1;
        for (; end < count; ++end) {
            const double area = weights[end] * scale;
            const double next = WorstRatio(largest, area, sum + area, side);
            if (next > worst) {
                break;
            }
            worst = next;
            sum += area;
        }
        const double room = column ? width : height;
        const double thickness = end == count ? room : std::min(sum / side, room);
        double along = column ? y : x;
        const double sideEnd = along + side;
        for (std::size_t i = first; i < end; ++i) {
            const double length =
                i + 1 == end ? sideEnd - along : side * (weights[i] * scale) / sum;
            out[i] =
                column ? QRectF(x, along, thickness, length) : QRectF(along, y, length, thickness);
            along += length;
        }
        if (column) {
            x += thickness;
            width -= thickness;
        } else {
            y += thickness;
            height -= thickness;
        }
        first = end;
    }
}

// One thing laid inside a folder.
struct Item {
    double weight = 0;
    const FolderRecord* folder = nullptr;
    std::int32_t file = -1;
    Kind kind = Kind::Folder;
    FolderFiles::Family family = FolderFiles::Family::Other;
};

// A folder tile still to be filled.
struct Pending {
    const FolderRecord* folder;
    QRectF rect;
    std::uint16_t depth;
};

// Buffers reused for every folder of one layout.
struct Scratch {
    std::vector<TreeItemRecord*> children;
    std::vector<Item> items;
    std::vector<double> weights;
    std::vector<QRectF> rects;
    std::vector<Pending> pending;
    // The weights of the partly sized folders met so far.
    std::unordered_map<const FolderRecord*, double> partial;
};

double Bytes(FileSize size) { return static_cast<double>(size.Bytes()); }

// Whether the folder's tile is entered while its total is still unknown:
// its own files are counted, only parts below it wait.
bool IsPartlySized(const FolderRecord& folder)
{
    return !folder.Has(FolderRecord::TreeSizeKnown) && folder.Has(FolderRecord::OwnSizeKnown);
}

// The space of the folder's own files (what its file list adds up to).
double OwnWeight(const FolderRecord& folder)
{
    return folder.Has(FolderRecord::OwnSizeKnown) ? Bytes(folder.ownDiskSpace) : 0;
}

// The weight of each unsized subfolder of folder (see the class comment).
double UnsizedWeight(const FolderRecord& folder, int unsized, double sizedSum, int sized,
                     double ownSum)
{
    if (folder.Has(FolderRecord::TreeSizeKnown)) {
        const double rest = Bytes(folder.treeDiskSpace) - sizedSum - ownSum;
        if (rest > 0) {
            return rest / unsized;
        }
    }
    if (sized > 0) {
        return sizedSum / sized;
    }
    return ownSum > 0 ? ownSum : 1.0;
}

double PartialWeight(const TreeAccess& tree, const FolderRecord& folder, Scratch& scratch);

// The weight of a subfolder: its total, or for a partly sized one what is
// known of it with guesses for what is not; 0 when nothing is known.
double KnownWeight(const TreeAccess& tree, const FolderRecord& folder, Scratch& scratch)
{
    if (folder.Has(FolderRecord::TreeSizeKnown)) {
        return Bytes(folder.treeDiskSpace);
    }
    return IsPartlySized(folder) ? PartialWeight(tree, folder, scratch) : 0;
}

// The weight of a partly sized folder: its own files, its subfolders' known
// weights, and the guess for each unsized one; worked out once per layout.
double PartialWeight(const TreeAccess& tree, const FolderRecord& folder, Scratch& scratch)
{
    if (const auto known = scratch.partial.find(&folder); known != scratch.partial.end()) {
        return known->second;
    }
    std::vector<TreeItemRecord*> children;  // scratch.children is in use above
    tree.ChildRecords(folder, children);
    double sizedSum = 0;
    int sized = 0;
    int unsized = 0;
    for (const TreeItemRecord* record : children) {
        const auto& child = static_cast<const FolderRecord&>(*record);
        if (child.Has(FolderRecord::TreeSizeKnown) || IsPartlySized(child)) {
            const double weight = KnownWeight(tree, child, scratch);
            sizedSum += weight;
            sized += weight > 0 ? 1 : 0;
        } else {
            ++unsized;
        }
    }
    const double own = OwnWeight(folder);
    const double guess = unsized > 0 ? UnsizedWeight(folder, unsized, sizedSum, sized, own) : 0;
    const double weight = own + sizedSum + guess * unsized;
    scratch.partial.emplace(&folder, weight);
    return weight;
}

// Collects the items of folder into scratch.items, each of a weight above 0.
void CollectItems(const TreeAccess& tree, const FolderRecord& folder, Scratch& scratch)
{
    std::vector<Item>& items = scratch.items;
    items.clear();
    tree.ChildRecords(folder, scratch.children);
    double sizedSum = 0;
    int sized = 0;
    int unsized = 0;
    for (const TreeItemRecord* record : scratch.children) {
        const auto& child = static_cast<const FolderRecord&>(*record);
        if (!child.Has(FolderRecord::TreeSizeKnown) && !IsPartlySized(child)) {
            items.push_back(Item{0, &child, -1, Kind::Unsized});
            ++unsized;
        } else if (const double weight = KnownWeight(tree, child, scratch); weight > 0) {
            items.push_back(Item{weight, &child, -1, Kind::Folder});
            sizedSum += weight;
            ++sized;
        }
    }
    double ownSum = 0;
    if (folder.files) {
        const std::span<const FolderFiles::File> files = folder.files->Files();
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i].diskSpace > FileSize()) {
                items.push_back(Item{Bytes(files[i].diskSpace), &folder,
                                     static_cast<std::int32_t>(i), Kind::File,
                                     folder.files->FamilyOf(files[i])});
                ownSum += items.back().weight;
            }
        }
    } else if (folder.Has(FolderRecord::OwnSizeKnown) && folder.ownDiskSpace > FileSize()) {
        items.push_back(Item{Bytes(folder.ownDiskSpace), &folder, -1, Kind::Small});
        ownSum = items.back().weight;
    }
    if (unsized > 0) {
        const double weight = UnsizedWeight(folder, unsized, sizedSum, sized, ownSum);
        // The unsized subfolders are among the first items, before the files.
        for (std::size_t i = 0, left = unsized; left > 0; ++i) {
            if (items[i].kind == Kind::Unsized) {
                items[i].weight = weight;
                --left;
            }
        }
    }
}

// Lays the items of one folder tile, appends their tiles and queues the
// subfolders to enter.
void LayFolder(const TreeAccess& tree, const Pending& at, double minimumArea, Scratch& scratch,
               std::vector<TreemapTile>& tiles)
{
    const double enteredArea = std::max(minimumArea, TreemapLayout::MinimumEnteredArea);
    const QRectF inner = TreemapLayout::Interior(at.rect);
    const double innerArea = inner.width() * inner.height();
    if (!(innerArea > 0)) {
        return;
    }
    CollectItems(tree, *at.folder, scratch);
    std::vector<Item>& items = scratch.items;
    double total = 0;
    for (const Item& item : items) {
        total += item.weight;
    }
    if (!(total > 0)) {
        return;
    }
    // Tile areas are exactly proportional to weights, so what would fall
    // below minimumArea is known before sorting: only the items that get a
    // tile of their own are sorted.
    const double threshold = minimumArea * total / innerArea;
    const auto smallBegin = std::partition(items.begin(), items.end(), [threshold](const Item& i) {
        return i.weight >= threshold && i.kind != Kind::Small;
    });
    double smallWeight = 0;
    for (auto it = smallBegin; it != items.end(); ++it) {
        smallWeight += it->weight;
    }
    items.erase(smallBegin, items.end());
    if (smallWeight > 0) {
        items.push_back(Item{smallWeight, at.folder, -1, Kind::Small});
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.weight > b.weight; });

    scratch.weights.resize(items.size());
    scratch.rects.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        scratch.weights[i] = items[i].weight;
    }
    SquarifyInto(scratch.weights.data(), items.size(), total, inner, scratch.rects.data());

    const std::uint16_t depth =
        at.depth == std::numeric_limits<std::uint16_t>::max() ? at.depth : at.depth + 1;
    const std::size_t firstPending = scratch.pending.size();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const QRectF& rect = scratch.rects[i];
        tiles.push_back(TreemapTile{rect, item.folder, item.file, depth, item.kind, item.family});
        if (item.kind == Kind::Folder && rect.width() * rect.height() >= enteredArea) {
            scratch.pending.push_back(Pending{item.folder, rect, depth});
        }
    }
    // Entered in their order (the stack pops the last first).
    std::reverse(scratch.pending.begin() + static_cast<std::ptrdiff_t>(firstPending),
                 scratch.pending.end());
}

}  // namespace

QRectF TreemapLayout::Interior(const QRectF& folderRect)
{
    if (folderRect.width() < FramedMinimumSide || folderRect.height() < FramedMinimumSide) {
        return folderRect;
    }
    return folderRect.adjusted(FrameWidth, FrameWidth, -FrameWidth, -FrameWidth);
}

std::vector<TreemapTile> TreemapLayout::Lay(const TreeAccess& tree, const FolderRecord& root,
                                            const QRectF& bounds, double minimumArea)
{
    std::vector<TreemapTile> tiles;
    if (!(bounds.width() > 0 && bounds.height() > 0)) {
        return tiles;
    }
    minimumArea = std::max(minimumArea, 0.0);
    // All tiles but the Small ones have minimumArea or more, and the tiles
    // of one level do not overlap: the pixels bound the count. The guess
    // spares the first reallocations.
    const double area = bounds.width() * bounds.height();
    tiles.reserve(static_cast<std::size_t>(std::min(area / std::max(minimumArea, 1.0), 16384.0)));
    const bool sized = root.Has(FolderRecord::TreeSizeKnown) || IsPartlySized(root);
    tiles.push_back(TreemapTile{bounds, &root, -1, 0, sized ? Kind::Folder : Kind::Unsized});
    if (!sized || area < std::max(minimumArea, MinimumEnteredArea)) {
        return tiles;
    }
    Scratch scratch;
    scratch.pending.push_back(Pending{&root, bounds, 0});
    while (!scratch.pending.empty()) {
        const Pending at = scratch.pending.back();
        scratch.pending.pop_back();
        LayFolder(tree, at, minimumArea, scratch, tiles);
    }
    return tiles;
}

std::vector<QRectF> TreemapLayout::Squarify(const std::vector<double>& weights,
                                            const QRectF& bounds)
{
    std::vector<QRectF> rects(weights.size(), QRectF(bounds.bottomRight(), QSizeF(0, 0)));
    std::size_t count = 0;
    double total = 0;
    while (count < weights.size() && weights[count] > 0) {
        total += weights[count++];
    }
    if (count > 0 && bounds.width() > 0 && bounds.height() > 0) {
        SquarifyInto(weights.data(), count, total, bounds, rects.data());
    }
    return rects;
}
