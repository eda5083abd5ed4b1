#include "platform/FileQueries.h"

#include <cerrno>
#include <cstdint>
#include <limits>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include "platform/DirectorySearch.h"
#include "support/TempTree.h"

using platform::FileQueries;
using platform::kAttributeCompressed;
using platform::kAttributeDirectory;

namespace {

std::uint64_t OccupiedBytes(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return static_cast<std::uint64_t>(status.st_blocks) * 512;
}

class FileQueriesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tree.IsValid());
        ASSERT_TRUE(m_tree.MakeFile("dense", std::string(100000, 'd')));
        ASSERT_TRUE(m_tree.MakeSparseFile("sparse", std::uint64_t{1} << 30));
        ASSERT_TRUE(m_tree.MakeDir("folder"));
        ASSERT_TRUE(m_tree.MakeSymlink("to-dense", "dense"));
        ASSERT_TRUE(m_tree.MakeSymlink("to-folder", "folder"));
        ASSERT_TRUE(m_tree.MakeSymlink("broken", "nowhere"));
    }

    TempTree m_tree;
};

TEST_F(FileQueriesTest, CompressedSizeIsWhatTheEntryItselfOccupies)
{
    EXPECT_EQ(FileQueries::CompressedFileSize(m_tree.Path("dense")),
              OccupiedBytes(m_tree.Path("dense")));
    EXPECT_LT(*FileQueries::CompressedFileSize(m_tree.Path("sparse")), std::uint64_t{1} << 20);
    // A link is measured itself, not its target.
    EXPECT_EQ(FileQueries::CompressedFileSize(m_tree.Path("to-dense")),
              OccupiedBytes(m_tree.Path("to-dense")));
    EXPECT_LT(*FileQueries::CompressedFileSize(m_tree.Path("to-dense")), 100000u);
    EXPECT_FALSE(FileQueries::CompressedFileSize(m_tree.Path("missing")).has_value());
}

TEST_F(FileQueriesTest, AllocationUnitOfTheVolume)
{
    struct statvfs volume {};
    ASSERT_EQ(::statvfs(m_tree.Root().c_str(), &volume), 0);
    const auto expected = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
    EXPECT_EQ(FileQueries::AllocationUnit(m_tree.Root()), expected);
    EXPECT_EQ(FileQueries::AllocationUnit(m_tree.Path("dense")), expected);
    EXPECT_EQ(FileQueries::AllocationUnit(m_tree.Path("missing")), 0u);
}

TEST_F(FileQueriesTest, AttributesWithTheReasonOfAFailure)
{
    struct Case {
        const char* name;
        bool directory;
        int error;
    };
    for (const Case& c : {
             Case{"dense", false, 0},
             Case{"folder", true, 0},
             Case{"folder/", true, 0},
             Case{"to-folder", false, 0},
             Case{"broken", false, 0},
             Case{"missing", false, platform::kErrorFileNotFound},
             Case{"missing/below", false, platform::kErrorFileNotFound},
             // Only a missing entry is "not found"; a file in the way is not.
             Case{"dense/below", false, ENOTDIR},
         }) {
        const platform::AttributesResult result = FileQueries::Attributes(m_tree.Path(c.name));
        EXPECT_EQ(result.error, c.error) << c.name;
        EXPECT_EQ(result.Exists(), c.error == 0) << c.name;
        EXPECT_EQ((result.attributes & kAttributeDirectory) != 0, c.directory) << c.name;
    }
    EXPECT_EQ(FileQueries::Attributes(m_tree.Path("sparse")).attributes, kAttributeCompressed);
    EXPECT_EQ(FileQueries::Attributes(m_tree.Path("dense")).attributes, 0u);
}

TEST(FileQueriesRuleTest, CompressedMeansLessThanTheRoundedSize)
{
    struct Case {
        std::uint64_t size;
        std::uint64_t occupied;
        std::uint32_t unit;
        bool compressed;
    };
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (const Case& c : {
             Case{0, 0, 4096, false}, Case{1, 4096, 4096, false}, Case{4096, 4096, 4096, false},
             Case{4097, 4096, 4096, true}, Case{10000, 8192, 4096, true},
             Case{10000, 16384, 4096, false},  // preallocated beyond the size
             Case{1, 0, 4096, true},           // held inline, no block of its own
             Case{1000, 512, 0, true},         // unknown unit: against the size itself
             Case{512, 512, 0, false},
             Case{kMax, kMax, 4096, true},  // rounding up must not wrap around
         }) {
        EXPECT_EQ(FileQueries::IsCompressed(c.size, c.occupied, c.unit), c.compressed)
            << c.size << " " << c.occupied << " " << c.unit;
    }
}

}  // namespace
