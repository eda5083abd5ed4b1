#include "engine/FindSizeTask.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

TEST(FileSize, SumsSaturateAndComparisonsSeeAllSixtyFourBits)
{
    FileSize sum = FileSize::Largest();
    sum += FileSize::Largest();
    EXPECT_EQ(sum, FileSize::Largest());
    FileSize low = FileSize::FromBytes(INT64_MIN);
    low += FileSize::FromBytes(-1);
    EXPECT_EQ(low.Bytes(), INT64_MIN);
    EXPECT_EQ(FileSize::Largest() - FileSize::FromBytes(-1), FileSize::Largest());
    EXPECT_EQ(FileSize::FromUnsigned(~std::uint64_t{0}), FileSize::Largest());
    // Sizes 4 GiB apart differ only in the high word: a comparison narrowed
    // to an int would call them equal.
    EXPECT_EQ(FileSize::Compare(FileSize::FromBytes(4LL << 30), FileSize::FromBytes(0)), 1);
    EXPECT_EQ(FileSize::Compare(FileSize::FromBytes(0), FileSize::Largest()), -1);
    EXPECT_EQ(FileSize::Compare(FileSize::Largest(), FileSize::Largest()), 0);
    EXPECT_FALSE(FileSize::FromBytes(0x80000000LL) < 0);
    EXPECT_TRUE(FileSize::FromBytes(-1) < 0);
}

TEST(FileSize, DigitsAndThousandsSeparators)
{
    const struct {
        std::int64_t bytes;
        int digits;
        const char* text;
    } rows[] = {
        {0, 1, "0"},
        {10, 2, "10"},
        {1000, 4, "1,000"},
        {999999, 6, "999,999"},
        {1234567, 7, "1,234,567"},
        {1000000000000000000LL, 19, "1,000,000,000,000,000,000"},
        {INT64_MAX, 19, "9,223,372,036,854,775,807"},
        // Negative values count one digit and are written without a sign.
        {-1234, 1, "1,234"},
        {INT64_MIN, 1, "9,223,372,036,854,775,808"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        EXPECT_EQ(FileSize::FromBytes(row.bytes).DigitCount(), row.digits);
        EXPECT_EQ(FileSize::FromBytes(row.bytes).ToString(), row.text);
    }
}

// What a sparse or compressed file occupies is whole blocks already: a large
// unit (network volumes report 1 MiB) must not round it again. A unit of 0
// or 1 means no rounding.
TEST(AllocatedSize, RoundsToUnitsUnlessTheFileOccupiesLess)
{
    constexpr std::uint32_t kCompressed = platform::kAttributeCompressed;
    using Row =
        std::tuple<std::uint64_t, std::uint32_t, std::uint64_t, std::uint32_t, std::int64_t>;
    for (const auto& [size, attributes, occupied, unit, expected] : {
             Row{0, 0, 0, 4096, 0},
             Row{1, 0, 0, 4096, 4096},
             Row{4097, 0, 0, 4096, 8192},
             Row{4097, 0, 0, 1, 4097},
             Row{4097, 0, 0, 0, 4097},
             Row{10000, kCompressed, 3072, 1 << 20, 3072},
             Row{1 << 30, kCompressed, 0, 4096, 0},
             Row{(5ull << 30) + 1, 0, 0, 4096, (5LL << 30) + 4096},
             Row{UINT64_MAX, 0, 0, 4096, INT64_MAX},
         }) {
        EXPECT_EQ(AllocatedSize(attributes, size, occupied, unit).Bytes(), expected)
            << size << " in units of " << unit;
    }
}

// A network or user-space volume's server could be gone: no query.
TEST(GetClusterSize, IsAskedOfLocalVolumesOnly)
{
    TempTree tree;
    const std::uint32_t unit = GetClusterSize(tree.Root());
    EXPECT_GT(unit, 0u);
    EXPECT_EQ(GetClusterSize(tree.Path("does-not-exist/x")), 0u);
    for (const char* type : {"nfs4 server:/export", "fuse.sshfs u@h:/", "ext4 /dev/sda1"}) {
        const auto table = platform::MountTable::Parse(
            std::string("1 0 0:1 / / rw - ") + type + " rw\n2 1 0:2 / /elsewhere rw - ext4 x rw\n");
        EXPECT_EQ(GetClusterSize(tree.Root(), table), type[0] == 'e' ? unit : 0u) << type;
    }
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
