#include "engine/FindSizeTask.h"

#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "support/FolderTreeFake.h"
#include "engine/FindSubfoldersTask.h"
#include "support/TempTree.h"

using platform::FindData;
using testsupport::FolderTreeFake;

namespace {

FindData Entry(std::uint64_t size, std::uint32_t attributes = 0, std::uint64_t occupied = 0)
{
    FindData entry;
    entry.name = "file";
    entry.sizeLow = static_cast<std::uint32_t>(size);
    entry.sizeHigh = static_cast<std::uint32_t>(size >> 32);
    entry.attributes = attributes;
    entry.occupiedBytes = occupied;
    return entry;
}

std::int64_t Allocated(std::uint64_t size, std::uint32_t cluster)
{
    return AllocatedSize(Entry(size), cluster).Bytes();
}

TEST(AllocatedSize, RoundsUpToWholeAllocationUnits)
{
    EXPECT_EQ(Allocated(0, 4096), 0);
    EXPECT_EQ(Allocated(1, 4096), 4096);
    EXPECT_EQ(Allocated(4096, 4096), 4096);
    EXPECT_EQ(Allocated(4097, 4096), 8192);
}

TEST(AllocatedSize, ClusterSizeOneMeansNoRounding)
{
    EXPECT_EQ(Allocated(4097, 1), 4097);
    EXPECT_EQ(Allocated(4097, 0), 4097);
    EXPECT_EQ(AllocatedSize(Entry(10000, platform::kAttributeCompressed, 3072), 1).Bytes(), 3072);
}

TEST(AllocatedSize, OccupiedSpaceIsNotRoundedAgain)
{
    // What a sparse or compressed file occupies is already whole blocks; a
    // large allocation unit (network file systems report 1 MiB) must not
    // turn each small file into a megabyte.
    const FindData compressed = Entry(10000, platform::kAttributeCompressed, 3072);
    EXPECT_EQ(AllocatedSize(compressed, 512).Bytes(), 3072);
    EXPECT_EQ(AllocatedSize(compressed, 1 << 20).Bytes(), 3072);
    // A file with no data blocks occupies nothing.
    EXPECT_EQ(AllocatedSize(Entry(1 << 30, platform::kAttributeCompressed, 0), 4096).Bytes(), 0);
}

TEST(AllocatedSize, FiveGigabytesKeepAllSixtyFourBits)
{
    const std::uint64_t fiveGb = 5ull << 30;
    EXPECT_EQ(Allocated(fiveGb, 4096), static_cast<std::int64_t>(fiveGb));
    EXPECT_EQ(Allocated(fiveGb + 1, 4096), static_cast<std::int64_t>(fiveGb + 4096));
    EXPECT_EQ(Allocated(UINT64_MAX, 4096), FileSize::Largest().Bytes());
}

std::uint32_t FrSize(const std::string& path)
{
    struct statvfs volume {};
    if (::statvfs(path.c_str(), &volume) != 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize);
}

TEST(GetClusterSize, IsTheVolumesAllocationUnit)
{
    TempTree tree;
    ASSERT_TRUE(tree.IsValid());
    EXPECT_EQ(GetClusterSize(tree.Root()), FrSize(tree.Root()));
    EXPECT_GT(GetClusterSize(tree.Root()), 0u);
    EXPECT_EQ(GetClusterSize(tree.Path("does-not-exist/x")), 0u);
}

TEST(GetClusterSize, RemoteVolumesAreNotAsked)
{
    TempTree tree;
    ASSERT_TRUE(tree.IsValid());
    // Were the scratch folder on a network volume, its server could be gone:
    // no query, no rounding.
    const auto table = platform::MountTable::Parse(
        "1 0 0:1 / / rw - nfs4 server:/export rw\n"
        "2 1 0:2 / /elsewhere rw - ext4 /dev/sda1 rw\n");
    EXPECT_EQ(GetClusterSize(tree.Root(), table), 0u);
    const auto sshfs = platform::MountTable::Parse("1 0 0:1 / / rw - fuse.sshfs u@h:/ rw\n");
    EXPECT_EQ(GetClusterSize(tree.Root(), sshfs), 0u);
    const auto local = platform::MountTable::Parse("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
    EXPECT_EQ(GetClusterSize(tree.Root(), local), FrSize(tree.Root()));
}

// The own disk space of a folder agrees with the file system: each file
// counts its size in whole allocation units, or the blocks it really
// occupies when that is less (a sparse file counts its data, not its length).
class FolderSpaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        ASSERT_TRUE(m_files.MakeFile("ordinary", std::string(5000, 'x')));
        ASSERT_TRUE(m_files.MakeFile("empty"));
        ASSERT_TRUE(m_files.MakeHardLink("hardlink", "ordinary"));
        ASSERT_TRUE(m_files.MakeSymlink("link", "ordinary"));
        ASSERT_TRUE(m_files.MakeDir("sub"));
        ASSERT_TRUE(m_files.MakeFile("sub/not-counted", std::string(100000, 'y')));
        // 64 MiB long, one block of data in the middle.
        const int fd = ::open(m_files.Path("sparse").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "data", 4, 32 << 20), 4);
        ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
        ::close(fd);
    }

    struct stat Stat(const std::string& name)
    {
        struct stat status {};
        EXPECT_EQ(::lstat(m_files.Path(name).c_str(), &status), 0);
        return status;
    }

    TempTree m_files;
};

TEST_F(FolderSpaceTest, OwnDiskSpaceIsTheSumOverItsFiles)
{
    const std::uint32_t unit = GetClusterSize(m_files.Root());
    ASSERT_GT(unit, 0u);
    const std::string path = m_files.Root() + "/";
    FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& folder = tree.Add(root, m_files.Root());
    // A network or FUSE volume's record holds 1 (its unit is not asked for on
    // the UI thread): the worker's own listing knows the unit all the same,
    // whether the task lists the folder or shares a listing.
    std::vector<std::unique_ptr<FindSizeTask>> tasks;
    for (const std::uint32_t recordUnit : {unit, 1u}) {
        folder.clusterSize = recordUnit;
        tasks.push_back(std::make_unique<FindSizeTask>(tree, tree.references, folder, path, 0));
        tasks.push_back(std::make_unique<FindSizeTask>(
            tree, tree.references, folder, path, 0,
            std::make_shared<FolderListing>(path, platform::SearchDetail::Full)));
    }
    for (auto& each : tasks) {
        each->Run();
    }
    FindSizeTask& task = *tasks.front();

    std::int64_t expectedSize = 0;
    std::int64_t expectedSpace = 0;
    for (const char* name : {"ordinary", "empty", "hardlink", "link", "sparse"}) {
        const struct stat status = Stat(name);
        const std::int64_t occupied = status.st_blocks * 512;
        const std::int64_t rounded = (status.st_size + unit - 1) / unit * unit;
        expectedSize += status.st_size;
        expectedSpace += occupied < rounded ? occupied : rounded;
    }
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        EXPECT_EQ(tasks[i]->Size().Bytes(), expectedSize) << i;
        EXPECT_EQ(tasks[i]->DiskSpace().Bytes(), expectedSpace) << i;
    }

    // An ordinary file takes what the file system says it takes; the sparse
    // one its data blocks only, far less than its length.
    const struct stat ordinary = Stat("ordinary");
    const struct stat sparse = Stat("sparse");
    EXPECT_EQ((ordinary.st_size + unit - 1) / unit * unit, ordinary.st_blocks * 512);
    EXPECT_LT(sparse.st_blocks * 512, sparse.st_size);
    EXPECT_LE(task.DiskSpace().Bytes(), 2 * ordinary.st_blocks * 512 + sparse.st_blocks * 512);

    task.Deliver();
    EXPECT_TRUE(folder.Has(FolderRecord::OwnSizeKnown));
    EXPECT_TRUE(folder.Has(FolderRecord::TreeSizeKnown));  // no child items
    EXPECT_EQ(folder.ownDiskSpace, task.DiskSpace());
    EXPECT_EQ(folder.treeDiskSpace, task.DiskSpace());
}

TEST(FindSizeTask, FolderWithOnlySubfoldersOrUnreadableDeliversZero)
{
    TempTree files;
    ASSERT_TRUE(files.MakeDir("only"));
    ASSERT_TRUE(files.MakeDir("only/child"));
    FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& folder = tree.Add(root, files.Path("only"));
    folder.Set(FolderRecord::SizeQueued);
    FindSizeTask task(tree, tree.references, folder, files.Path("only") + "/", 0);
    task.Run();
    task.Deliver();
    EXPECT_TRUE(folder.Has(FolderRecord::OwnSizeKnown));
    EXPECT_FALSE(folder.Has(FolderRecord::SizeQueued));
    EXPECT_EQ(folder.ownSize.Bytes(), 0);

    FolderRecord& missing = tree.Add(root, files.Path("missing"));
    FindSizeTask none(tree, tree.references, missing, files.Path("missing") + "/", 0);
    none.Run();
    none.Deliver();
    EXPECT_TRUE(missing.Has(FolderRecord::OwnSizeKnown));
    EXPECT_EQ(missing.ownDiskSpace.Bytes(), 0);
}

TEST(FindSizeTask, DeliversUnderTheTreeDataLock)
{
    // The propagation re-sorts the tree: another thread must find the
    // tree-data lock taken meanwhile.
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
    FolderRecord& folder = tree.Add(tree.MakeRoot(), files.Root());
    FindSizeTask task(tree, tree.references, folder, files.Root() + "/", 0);
    task.Run();
    task.Deliver();
    ASSERT_FALSE(tree.sorted.empty());
    EXPECT_EQ(tree.sortsUnlocked, 0);
}

TEST(FindSizeTask, RecordDestroyedBeforeDeliveryIsLeftAlone)
{
    TempTree files;
    ASSERT_TRUE(files.MakeFile("f", "abc"));
    FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& folder = tree.Add(root, files.Root());
    FindSizeTask task(tree, tree.references, folder, files.Root() + "/", 0);
    task.Run();
    tree.DeleteItemTree(folder.item, false);
    EXPECT_STREQ(task.GetName(), "FindSizeTask");
    task.Deliver();  // the reference is null: nothing is touched
    EXPECT_FALSE(root.Has(FolderRecord::OwnSizeKnown));
    EXPECT_EQ(tree.references.Count<FolderRecord>(), 0u);
}

}  // namespace

TEST(FolderTasks, CancelledScanStopsAtTheNextEntry)
{
    // Its results are discarded anyway; a folder of many files must not keep
    // the worker after Stop.
    TempTree files;
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(files.MakeFile("f" + std::to_string(i), std::string(1000, 'x')));
    }
    FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& folder = tree.Add(root, files.Root());
    FindSizeTask task(tree, tree.references, folder, files.Root() + "/", 0);
    task.SetState(TaskState::Cancelling);
    task.Run();
    EXPECT_LE(task.Size().Bytes(), 1000);

    FindSubfoldersTask subfolders(tree, folder, files.Root() + "/");
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(files.MakeDir("d" + std::to_string(i)));
    }
    subfolders.SetState(TaskState::Cancelling);
    subfolders.Run();
    EXPECT_LE(subfolders.Entries().size(), 1u);
}
