#include "engine/FindSizeTask.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

TEST(AllocatedSize, RoundsToUnitsUnlessTheFileOccupiesLess)
{
    constexpr std::uint32_t kCompressed = platform::kAttributeCompressed;
    const struct {
        std::uint64_t size;
        std::uint32_t attributes;
        std::uint64_t occupied;
        std::uint32_t unit;
        std::int64_t expected;
    } rows[] = {
        {0, 0, 0, 4096, 0},
        {1, 0, 0, 4096, 4096},
        {4096, 0, 0, 4096, 4096},
        {4097, 0, 0, 4096, 8192},
        {4097, 0, 0, 1, 4097},  // 0 or 1: no rounding
        {4097, 0, 0, 0, 4097},
        // What a sparse or compressed file occupies is whole blocks already;
        // a 1 MiB unit (network volumes) must not round it again.
        {10000, kCompressed, 3072, 1 << 20, 3072},
        {1 << 30, kCompressed, 0, 4096, 0},
        {(5ull << 30) + 1, 0, 0, 4096, (5LL << 30) + 4096},
        {UINT64_MAX, 0, 0, 4096, INT64_MAX},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.size << " in units of " << row.unit);
        EXPECT_EQ(AllocatedSize(row.attributes, row.size, row.occupied, row.unit).Bytes(),
                  row.expected);
    }
}

TEST(GetClusterSize, IsTheUnitOfALocalVolumeOnly)
{
    TempTree tree;
    struct statvfs volume {};
    ASSERT_EQ(::statvfs(tree.Root().c_str(), &volume), 0);
    const auto unit =
        static_cast<std::uint32_t>(volume.f_frsize ? volume.f_frsize : volume.f_bsize);
    EXPECT_EQ(GetClusterSize(tree.Root()), unit);
    EXPECT_EQ(GetClusterSize(tree.Path("does-not-exist/x")), 0u);
    // A network or user-space volume's server could be gone: no query.
    for (const char* remote : {"nfs4 server:/export", "fuse.sshfs u@h:/"}) {
        const auto table =
            platform::MountTable::Parse(std::string("1 0 0:1 / / rw - ") + remote +
                                        " rw\n2 1 0:2 / /elsewhere rw - ext4 /dev/sda1 rw\n");
        EXPECT_EQ(GetClusterSize(tree.Root(), table), 0u) << remote;
    }
    const auto local = platform::MountTable::Parse("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
    EXPECT_EQ(GetClusterSize(tree.Root(), local), unit);
}

// The own size and disk space of a folder agree with an lstat of each of its
// entries that is not a folder: the size rounded up to whole allocation
// units, or the blocks it occupies when that is less (a sparse file).
TEST(FindSizeTask, OwnSizesAreTheSumOverTheFolderEntries)
{
    TempTree files;
    ASSERT_TRUE(files.MakeFile("ordinary", std::string(5000, 'x')) && files.MakeFile("empty") &&
                files.MakeHardLink("hardlink", "ordinary") &&
                files.MakeSymlink("link", "ordinary") && files.MakeDir("sub") &&
                files.MakeFile("sub/not-counted", std::string(100000, 'y')));
    // 64 MiB long, one block of data in the middle.
    const int fd = ::open(files.Path("sparse").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "data", 4, 32 << 20), 4);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
    ::close(fd);

    const std::uint32_t unit = GetClusterSize(files.Root());
    ASSERT_GT(unit, 0u);
    std::int64_t size = 0;
    std::int64_t space = 0;
    bool sparseSeen = false;
    for (const auto& entry : std::filesystem::directory_iterator(files.Root())) {
        struct stat status {};
        ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
        if (!S_ISDIR(status.st_mode)) {
            const std::int64_t occupied = status.st_blocks * 512;
            const std::int64_t rounded = (status.st_size + unit - 1) / unit * unit;
            size += status.st_size;
            space += std::min(occupied, rounded);
            sparseSeen = sparseSeen || occupied < status.st_size;
        }
    }
    ASSERT_TRUE(sparseSeen);

    FolderTreeFake tree;
    FolderRecord& folder = tree.Add(tree.MakeRoot(), files.Root());
    const std::string path = files.Root() + "/";
    // A network or FUSE volume's record holds 1 (its unit is not asked for on
    // the UI thread): the worker's own listing finds the unit all the same,
    // whether the task lists the folder or shares a listing.
    for (const std::uint32_t recordUnit : {unit, 1u}) {
        for (const bool shared : {false, true}) {
            SCOPED_TRACE(testing::Message() << "unit " << recordUnit << ", shared " << shared);
            folder.clusterSize = recordUnit;
            FindSizeTask task(
                tree, tree.references, folder, path, 0,
                shared ? std::make_shared<FolderListing>(path, platform::SearchDetail::Full)
                       : nullptr);
            task.Run();
            EXPECT_EQ(task.Size().Bytes(), size);
            EXPECT_EQ(task.DiskSpace().Bytes(), space);
            task.Deliver();
            EXPECT_TRUE(folder.Has(FolderRecord::TreeSizeKnown));  // no child items
            EXPECT_EQ(folder.treeDiskSpace.Bytes(), space);
        }
    }
}

// The propagation re-sorts the tree: another thread finds the tree-data lock
// taken meanwhile.
TEST(FindSizeTask, DeliversUnderTheTreeDataLock)
{
    struct LockProbingTree : FolderTreeFake {
        int sortsUnlocked = 0;
        void SortChildren(TreeItemRecord& record) override
        {
            std::thread([this] {
                if (DataLock().try_lock()) {
                    ++sortsUnlocked;
                    DataLock().unlock();
                }
            }).join();
            FolderTreeFake::SortChildren(record);
        }
    } tree;
    TempTree files;
    FindSizeTask task(tree, tree.references, tree.Add(tree.MakeRoot(), files.Root()),
                      files.Root() + "/", 0);
    task.Run();
    task.Deliver();
    ASSERT_FALSE(tree.sorted.empty());
    EXPECT_EQ(tree.sortsUnlocked, 0);
}

}  // namespace
