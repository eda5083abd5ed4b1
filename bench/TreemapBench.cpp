// The treemap of a large scanned folder: a record tree of FILES files in
// FOLDERS folders (built in memory, no disk), with seeded long-tailed file
// sizes, laid out on a 1280x400 pane as the treemap pane does on every
// change of size or data.
//
// Usage: [ROUNDS=n] larkspur_bench_treemap [FILES [FOLDERS [MINIMUM_AREA]]].
// Prints the median wall and processor time of ROUNDS layouts (20) of
// 200,000 files in 20,000 folders with a minimum tile area of 1 square pixel,
// the number of tiles and how many of them are folders and files; then the
// time of the treemap pane's whole picture (layout at the pane's own minimum
// area and painting into an image, offscreen): the first one and the median
// of 10.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <time.h>
#include <vector>

#include <QElapsedTimer>
#include <QGuiApplication>

#include "engine/FolderRecord.h"
#include "engine/TreemapLayout.h"
#include "model/TreeAccess.h"
#include "treemap/TreemapView.h"

namespace {

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A tree of FolderRecords without a window or a scan.
class RecordTree : public TreeAccess {
public:
    std::unique_ptr<TreeItemRecord> CreateItemRecord(TreeItem item) override
    {
        return std::make_unique<FolderRecord>(item);
    }
};

// Every folder's parent is one of the folders made before it, so the tree
// is a few levels deep with a few large folders near the top, as real ones
// are; each folder gets a random share of the files. Sizes and totals are
// known everywhere, as at the end of a scan.
FolderRecord& BuildTree(RecordTree& tree, int files, int folderCount, std::mt19937& random)
{
    tree.SetRootRecord(tree.CreateItemRecord(TreeItem::None));
    std::vector<FolderRecord*> folders{static_cast<FolderRecord*>(tree.RootRecord())};
    folders.reserve(folderCount);
    while (static_cast<int>(folders.size()) < folderCount) {
        FolderRecord& parent = *folders[random() % folders.size()];
        const TreeItem item = tree.Tree().InsertItem(parent.item, QStringLiteral("folder"));
        auto record = tree.CreateItemRecord(item);
        record->name = "folder" + std::to_string(folders.size());
        record->parent = &parent;
        folders.push_back(static_cast<FolderRecord*>(record.release()));
        tree.Tree().SetItemData(item, folders.back());
    }
    std::vector<int> fileCounts(folders.size());
    for (int i = 0; i < files; ++i) {
        ++fileCounts[random() % folders.size()];
    }
    // File sizes spread evenly over the orders of magnitude up to 100 MB.
    std::uniform_real_distribution<double> magnitude(0.0, std::log(1e8));
    for (std::size_t f = 0; f < folders.size(); ++f) {
        FolderRecord& folder = *folders[f];
        FolderFiles::Builder builder;
        builder.Reserve(fileCounts[f]);
        FileSize own;
        for (int i = 0; i < fileCounts[f]; ++i) {
            const auto bytes = static_cast<std::int64_t>(std::exp(magnitude(random)));
            const FileSize space = FileSize::FromBytes((bytes + 4095) / 4096 * 4096);
            builder.Add("file" + std::to_string(i), FileSize::FromBytes(bytes), space);
            own += space;
        }
        folder.files = builder.Build();
        folder.SetOwnSizes(own, own);
        folder.treeDiskSpace = own;
        folder.Set(FolderRecord::TreeSizeKnown);
    }
    // Children come after their parents: add the totals up from the end.
    for (std::size_t f = folders.size() - 1; f > 0; --f) {
        static_cast<FolderRecord*>(folders[f]->parent)->treeDiskSpace += folders[f]->treeDiskSpace;
    }
    return *folders[0];
}

}  // namespace

int main(int argc, char** argv)
{
    const int files = argc > 1 ? std::max(0, std::atoi(argv[1])) : 200000;
    const int folders = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20000;
    const double minimumArea = argc > 3 ? std::atof(argv[3]) : 1.0;
    const int rounds = std::getenv("ROUNDS") ? std::max(1, std::atoi(std::getenv("ROUNDS"))) : 20;
    const QRectF bounds(0, 0, 1280, 400);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);

    std::mt19937 random(20261207);
    RecordTree tree;
    QElapsedTimer clock;
    clock.start();
    const FolderRecord& root = BuildTree(tree, files, folders, random);
    std::printf("tree: %d files in %d folders, %.1f MB, built in %.0f ms\n", files, folders,
                double(root.treeDiskSpace.Bytes()) / 1e6, double(clock.nsecsElapsed()) / 1e6);

    // The processor time beside the wall time: on a busy machine the wall
    // time counts the turns of other processes too.
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;
    std::vector<TreemapTile> tiles;
    for (int round = 0; round < rounds; ++round) {
        const double cpuStart = ThreadCpuSeconds();
        clock.restart();
        tiles = TreemapLayout::Lay(tree, root, bounds, minimumArea);
        seconds.push_back(double(clock.nsecsElapsed()) / 1e9);
        cpuSeconds.push_back(ThreadCpuSeconds() - cpuStart);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpuSeconds.begin(), cpuSeconds.end());
    std::size_t folderTiles = 0;
    std::size_t fileTiles = 0;
    for (const TreemapTile& tile : tiles) {
        folderTiles += tile.kind == TreemapTile::Kind::Folder;
        fileTiles += tile.kind == TreemapTile::Kind::File;
    }
    std::printf(
        "layout on %.0fx%.0f, minimum tile %.1f px^2: %.2f ms (median of %d, fastest %.2f, "
        "slowest %.2f), processor time %.2f ms; %zu tiles: %zu folders, %zu files, %zu others\n",
        bounds.width(), bounds.height(), minimumArea, seconds[rounds / 2] * 1e3, rounds,
        seconds.front() * 1e3, seconds.back() * 1e3, cpuSeconds[rounds / 2] * 1e3, tiles.size(),
        folderTiles, fileTiles, tiles.size() - folderTiles - fileTiles);

    // The pane's picture: layout and painting, as after a change of selection.
    constexpr int kPictures = 10;
    std::vector<double> pictureSeconds;
    for (int round = 0; round < kPictures; ++round) {
        clock.restart();
        const QImage picture =
            TreemapView::Paint(tree, root, bounds.size().toSize(), 1.0, false, tiles);
        pictureSeconds.push_back(double(clock.nsecsElapsed()) / 1e9);
    }
    const double first = pictureSeconds.front();
    std::sort(pictureSeconds.begin(), pictureSeconds.end());
    std::printf(
        "pane picture on %.0fx%.0f, minimum tile %.1f px^2: first %.2f ms, median of %d "
        "%.2f ms (target: under 200 ms); %zu tiles\n",
        bounds.width(), bounds.height(), TreemapView::kMinimumArea, first * 1e3, kPictures,
        pictureSeconds[kPictures / 2] * 1e3, tiles.size());
    return 0;
}
