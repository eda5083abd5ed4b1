#include "engine/FindSizeTask.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <thread>
#include <tuple>

#include "support/FolderTreeFake.h"
#include "support/HostileTree.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

TEST(FileSize, SumsSaturateAndComparisonsSeeAllSixtyFourBits)
{
    EXPECT_EQ(FileSize::Largest() += FileSize::Largest(), FileSize::Largest());
    EXPECT_EQ((FileSize::FromBytes(INT64_MIN) += FileSize::FromBytes(-1)).Bytes(), INT64_MIN);
    EXPECT_EQ(FileSize::Largest() - FileSize::FromBytes(-1), FileSize::Largest());
    EXPECT_EQ(FileSize::FromUnsigned(~std::uint64_t{0}), FileSize::Largest());
    // Sizes 4 GiB apart differ only in the high word: a comparison narrowed
    // to an int would call them equal.
    EXPECT_EQ(FileSize::Compare(FileSize::FromBytes(4LL << 30), FileSize::FromBytes(0)), 1);
    EXPECT_EQ(FileSize::Compare(FileSize::FromBytes(0), FileSize::Largest()), -1);
    EXPECT_EQ(FileSize::Compare(FileSize::Largest(), FileSize::Largest()), 0);
    EXPECT_TRUE(FileSize::FromBytes(-1) < 0 && !(FileSize::FromBytes(0x80000000LL) < 0));
}

// Negative values count one digit and are written without a sign.
TEST(FileSize, DigitsAndThousandsSeparators)
{
    using Row = std::tuple<std::int64_t, int, const char*>;
    for (const auto& [bytes, digits, text] :
         {Row{0, 1, "0"}, Row{10, 2, "10"}, Row{1000, 4, "1,000"}, Row{999999, 6, "999,999"},
          Row{1234567, 7, "1,234,567"}, Row{-1234, 1, "1,234"},
          Row{1000000000000000000LL, 19, "1,000,000,000,000,000,000"},
          Row{INT64_MAX, 19, "9,223,372,036,854,775,807"},
          Row{INT64_MIN, 1, "9,223,372,036,854,775,808"}}) {
        EXPECT_EQ(FileSize::FromBytes(bytes).DigitCount(), digits) << bytes;
        EXPECT_EQ(FileSize::FromBytes(bytes).ToString(), text);
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
    for (const auto& [size, attributes, occupied, unit, expected] :
         {Row{0, 0, 0, 4096, 0}, Row{1, 0, 0, 4096, 4096}, Row{4097, 0, 0, 4096, 8192},
          Row{4097, 0, 0, 1, 4097}, Row{4097, 0, 0, 0, 4097},
          Row{10000, kCompressed, 3072, 1 << 20, 3072}, Row{1 << 30, kCompressed, 0, 4096, 0},
          Row{(5ull << 30) + 1, 0, 0, 4096, (5LL << 30) + 4096},
          Row{UINT64_MAX, 0, 0, 4096, INT64_MAX}}) {
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

// The case of the extension does not matter; a name without one is Other.
TEST(FolderFiles, FamilyComesFromTheNamesMimeType)
{
    using F = FolderFiles::Family;
    const std::pair<const char*, F> rows[] = {
        {"a.JPG", F::Images},      {"a.jpg", F::Images},
        {"b.tar.gz", F::Archives}, {"b.zip", F::Archives},
        {"c.cpp", F::Code},        {"c.py", F::Code},
        {"d.so", F::Executables},  {"libd.so.6.4.2", F::Executables},
        {"e.deb", F::Packages},    {"f.iso", F::DiskImages},
        {"g.pdf", F::Documents},   {"g.odt", F::Documents},
        {"h.mkv", F::Video},       {"i.flac", F::Audio},
        {"j.otf", F::Fonts},       {"k.txt", F::Other},
        {"noext", F::Other},       {"trailing.", F::Other}};
    for (const auto& [name, family] : rows) {
        EXPECT_EQ(FolderFiles::FamilyOfName(name), family) << name;
    }
}

TEST(FolderFiles, OverlongNamesKeepTheirFirst65535Bytes)
{
    FolderFiles::Builder builder;
    builder.Reserve(2, 10);
    builder.Add(std::string(70000, 'n'), FileSize(), FileSize());
    builder.Add("next", FileSize(), FileSize());
    const std::unique_ptr<FolderFiles> files = builder.Build();
    ASSERT_EQ(files->Files().size(), 2u);
    EXPECT_EQ(files->NameOf(files->Files()[0]), std::string(65535, 'n'));
    EXPECT_EQ(files->NameOf(files->Files()[1]), "next");
}

// Each file that is not a folder, by name: its length, the disk space lstat
// finds (the occupied blocks, or the length rounded up to whole units when
// that is less) and its family; and the same from a list of files.
using FileRows = std::map<std::string, std::tuple<long long, long long, FolderFiles::Family>>;
FileRows FilesOnDisk(const std::string& folder, long long unit)
{
    FileRows rows;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        struct stat status {};
        const std::string name = entry.path().filename();
        if (::lstat(entry.path().c_str(), &status) == 0 && !S_ISDIR(status.st_mode))
            rows[name] = {status.st_size,
                          std::min<long long>(status.st_blocks * 512,
                                              (status.st_size + unit - 1) / unit * unit),
                          FolderFiles::FamilyOfName(name)};
    }
    return rows;
}
FileRows FilesListed(const FolderFiles& files)
{
    FileRows rows;
    for (const FolderFiles::File& file : files.Files())
        rows[std::string(files.NameOf(file))] = {file.size.Bytes(), file.diskSpace.Bytes(),
                                                 files.FamilyOf(file)};
    return rows;
}

// The own size and disk space of a folder agree with an lstat walk, and so
// does the list of its files that the record gets. The propagation re-sorts
// the tree: another thread finds the tree-data lock taken meanwhile.
TEST(FindSizeTask, OwnSizesAreTheSumOverTheFolderEntriesDeliveredUnderTheLock)
{
    TempTree files;
    ASSERT_TRUE(files.MakeFile("ordinary", std::string(5000, 'x')) && files.MakeFile("empty") &&
                files.MakeFile("photo.JPG", "x") && files.MakeFile("notes.tar.gz", "y") &&
                files.MakeHardLink("hardlink", "ordinary") &&
                files.MakeSymlink("link", "ordinary") && files.MakeDir("sub") &&
                files.MakeFile("sub/not-counted", std::string(100000, 'y')) &&
                files.MakeSparseFile("sparse", 64 << 20));
    const std::uint32_t unit = GetClusterSize(files.Root());
    auto totals = testsupport::FolderTotalsOnDisk(files.Root());
    const std::int64_t size = totals[""].size - totals["sub"].size;
    const std::int64_t space = totals[""].diskSpace - totals["sub"].diskSpace;
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
                tree, tree.references, folder, path,
                shared ? std::make_shared<FolderListing>(path, platform::SearchDetail::Full)
                       : nullptr);
            task.Run();
            EXPECT_EQ(task.Size().Bytes(), size);
            EXPECT_EQ(task.DiskSpace().Bytes(), space);
            task.Deliver();
            EXPECT_TRUE(folder.Has(FolderRecord::TreeSizeKnown));  // no child items
            EXPECT_EQ(folder.treeDiskSpace.Bytes(), space);
            ASSERT_NE(folder.files, nullptr);
            EXPECT_EQ(FilesListed(*folder.files), FilesOnDisk(files.Root(), unit));
        }
    }
    EXPECT_TRUE(tree.sortsUnlocked == 0 && !tree.sorted.empty());
}

FileSize Bytes(std::int64_t bytes) { return FileSize::FromBytes(bytes); }

class FolderRecordTest : public ::testing::Test {
protected:
    //   root ── top ─┬─ a ── a1
    //                └─ b
    testsupport::FolderTreeFake tree;
    FolderRecord* root = &tree.MakeRoot();
    FolderRecord* top = &tree.Add(*root, "top");
    FolderRecord* a = &tree.Add(*top, "a");
    FolderRecord* a1 = &tree.Add(*a, "a1");
    FolderRecord* b = &tree.Add(*top, "b");
};

TEST_F(FolderRecordTest, TotalsReachTheRootOnceEveryFolderIsKnown)
{
    top->SetOwnSizes(Bytes(1), Bytes(4096));
    top->UpdateTotals(tree);
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));  // children unknown
    // A leaf is complete at once; its parent, without its own size, is not.
    a1->SetOwnSizes(Bytes(10), Bytes(8192));
    a1->UpdateTotals(tree);
    EXPECT_TRUE(a1->Has(FolderRecord::TreeSizeKnown) && !a->Has(FolderRecord::TreeSizeKnown));
    a->SetOwnSizes(Bytes(5), Bytes(4096));
    a->UpdateTotals(tree);
    EXPECT_EQ(a->treeSize, Bytes(15));
    EXPECT_EQ(a1->siblingMaxDiskSpace, Bytes(8192));
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));  // b is still missing

    tree.sorted.clear();
    b->SetOwnSizes(Bytes(100), Bytes(20480));
    b->UpdateTotals(tree);
    EXPECT_TRUE(top->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(top->treeSize, Bytes(1 + 15 + 100));
    EXPECT_EQ(top->treeDiskSpace, Bytes(4096 + 12288 + 20480));
    EXPECT_EQ(a->siblingMaxDiskSpace, Bytes(20480));
    // The root has no size of its own: it stays incomplete, and the walk
    // stops there. Children are re-sorted from the top down.
    EXPECT_FALSE(root->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(tree.sorted, (std::vector<std::string>{"top", "b"}));
}

// Pending sizes and duplicates clear upward until a folder is still queued.
TEST_F(FolderRecordTest, StoppedScanClearsPendingWithoutATotal)
{
    for (FolderRecord* folder : {root, top})
        folder->flags |= FolderRecord::TreeSizePending | FolderRecord::TreeDupsPending;
    a->flags |= FolderRecord::SizeQueued | FolderRecord::DupsQueued;
    b->SetOwnSizes(Bytes(7), Bytes(4096));
    b->UpdateTotals(tree);
    b->UpdateDupsPending(tree);
    EXPECT_TRUE(top->Has(FolderRecord::TreeSizePending) && top->Has(FolderRecord::TreeDupsPending));

    a->ClearMask(FolderRecord::ClearPendingMask);
    top->UpdateTotals(tree);
    a->UpdateDupsPending(tree);
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizePending) || top->Has(FolderRecord::TreeSizeKnown) ||
                 root->Has(FolderRecord::TreeDupsPending));
}

TEST(FolderRecordDepth, FiveThousandLevelsPropagateWithoutRecursion)
{
    testsupport::FolderTreeFake tree;
    FolderRecord* record = &tree.MakeRoot();
    std::vector<FolderRecord*> chain;
    for (int depth = 0; depth < 5000; ++depth) {
        record = &tree.Add(*record, "d");
        record->SetOwnSizes(Bytes(1), Bytes(512));
        chain.push_back(record);
    }
    // Deepest first, so that each level finds its child known.
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it)
        (*it)->Clear(FolderRecord::TreeSizeKnown);
    chain.back()->UpdateTotals(tree);
    EXPECT_TRUE(chain.front()->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(chain.front()->treeDiskSpace, Bytes(5000 * 512));
}

}  // namespace
