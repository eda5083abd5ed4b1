// Duplicate groups, their table, their orderings, and reading files for them.
#include "engine/DupGroup.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/DupTable.h"
#include "engine/FileComparison.h"
#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

// A group whose members live in the fixture, named as given.
class DupGroupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FolderRecord& root = m_tree.MakeRoot();
        m_top = &m_tree.Add(root, "/top");
        m_inner = &m_tree.Add(*m_top, "inner");
        m_other = &m_tree.Add(root, "/other");
    }
    DupMember& Member(FolderRecord& folder, const std::string& name)
    {
        m_members.push_back(std::make_unique<DupMember>());
        DupMember& member = *m_members.back();
        member.folder = &folder;
        member.name = name;
        return member;
    }
    static std::vector<std::string> Names(const DupGroup& group)
    {
        std::vector<std::string> names;
        for (const DupLink* link = group.members; link != nullptr; link = link->next) {
            names.push_back(link->member->name);
        }
        return names;
    }
    void Insert(DupGroup& group, DupMember& member)
    {
        group.InsertMemberLink(new DupLink{nullptr, &member});
    }

    FolderTreeFake m_tree;
    FolderRecord* m_top = nullptr;
    FolderRecord* m_inner = nullptr;
    FolderRecord* m_other = nullptr;
    std::vector<std::unique_ptr<DupMember>> m_members;
};

TEST_F(DupGroupTest, MembersAreKeptInNameOrderRegardlessOfCase)
{
    DupGroup group(0, 1);
    DupMember& firstB = Member(*m_top, "b");
    Insert(group, Member(*m_top, "C"));
    Insert(group, firstB);
    Insert(group, Member(*m_top, "a"));
    DupMember& secondB = Member(*m_inner, "B");
    Insert(group, secondB);  // before the equal name
    EXPECT_EQ(Names(group), (std::vector<std::string>{"a", "B", "b", "C"}));
    EXPECT_EQ(group.MemberCount(), 4);
    // Identity is looked for in every member, not only the first.
    secondB.device = 3;
    secondB.inode = 9;
    EXPECT_TRUE(group.HoldsFile(3, 9));
    EXPECT_FALSE(group.HoldsFile(3, 8));

    EXPECT_TRUE(group.RemoveMemberLink(firstB));
    EXPECT_FALSE(group.RemoveMemberLink(firstB));
    EXPECT_EQ(Names(group), (std::vector<std::string>{"a", "B", "C"}));
}

TEST_F(DupGroupTest, MemberOutsideAFolderTree)
{
    DupGroup group(0, 1);
    Insert(group, Member(*m_inner, "x"));
    EXPECT_TRUE(group.IsSingle());
    EXPECT_FALSE(group.HasMemberOutside(*m_top));
    EXPECT_FALSE(group.HasMemberOutside(*m_inner));
    Insert(group, Member(*m_top, "y"));
    EXPECT_FALSE(group.IsSingle());
    EXPECT_TRUE(group.HasMemberOutside(*m_inner));
    EXPECT_FALSE(group.HasMemberOutside(*m_top));
    Insert(group, Member(*m_other, "z"));
    EXPECT_TRUE(group.HasMemberOutside(*m_top));
}

TEST_F(DupGroupTest, GroupOrderings)
{
    // Differences beyond 32 bits keep their sign.
    DupGroup big(0, (1ull << 32) + 1);
    DupGroup small(0, 2);
    Insert(big, Member(*m_top, "b"));
    Insert(small, Member(*m_top, "a"));
    EXPECT_EQ(DupGroup::CompareBySize(big, small, true), 1);
    EXPECT_EQ(DupGroup::CompareBySize(big, small, false), -1);
    EXPECT_EQ(DupGroup::CompareByName(big, small, true), 1);
    EXPECT_EQ(DupGroup::CompareByName(big, small, false), -1);

    // Equal sizes go by name ascending, whatever the flag.
    DupGroup same(0, 2);
    Insert(same, Member(*m_top, "B"));
    EXPECT_EQ(DupGroup::CompareBySize(small, same, true), -1);
    EXPECT_EQ(DupGroup::CompareBySize(small, same, false), -1);

    Insert(same, Member(*m_top, "c"));
    EXPECT_EQ(DupGroup::CompareByCount(same, small, true), 1);
    EXPECT_EQ(DupGroup::CompareByCount(same, small, false), -1);
    EXPECT_EQ(DupGroup::CompareByCount(small, big, true), 0);
}

TEST_F(DupGroupTest, MemberOrderingsAndPaths)
{
    DupMember& inTop = Member(*m_top, "File");
    DupMember& inOther = Member(*m_other, "file");
    DupMember& later = Member(*m_other, "g");
    EXPECT_EQ(inTop.FullPath(), "/top/File");
    EXPECT_EQ(inTop.FolderPath(), "/top");
    // Equal names: the paths decide.
    EXPECT_EQ(DupMember::CompareByName(inOther, inTop, true), -1);
    EXPECT_EQ(DupMember::CompareByName(inOther, inTop, false), 1);
    EXPECT_EQ(DupMember::CompareByName(inTop, later, true), -1);
    // Paths first, then names.
    EXPECT_EQ(DupMember::CompareByPath(inTop, inOther, true), 1);
    EXPECT_EQ(DupMember::CompareByPath(inOther, later, true), -1);
    EXPECT_EQ(DupMember::CompareByPath(inOther, later, false), 1);
}

TEST(DupTable, ChainsKeepTheirOrderAndTheWholeSize)
{
    EXPECT_EQ(DupTable::BucketOf(0x12345678, (1ull << 32) + 5), DupTable::BucketOf(0x12345678, 5));
    EXPECT_EQ(DupTable::BucketOf(0xABCD0000, 0x1234), 0x1234u);
    DupTable table;
    auto* first = new DupGroup(7, 5);
    auto* second = new DupGroup(7, (1ull << 32) + 5);
    auto* third = new DupGroup(7, 5);
    table.Append(first);
    table.Append(second);
    table.Append(third);
    const std::size_t bucket = DupTable::BucketOf(7, 5);
    EXPECT_EQ(table.Chain(bucket), first);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(second->next, third);
    EXPECT_TRUE(table.Unlink(second));
    EXPECT_FALSE(table.Unlink(second));
    EXPECT_EQ(first->next, third);
    delete second;
    table.Clear();
    EXPECT_EQ(table.Chain(bucket), nullptr);
}

TEST(DupTable, PendingGroupsLieApartUntilPromoted)
{
    constexpr std::uint64_t k4G = 1ull << 32;
    DupTable table;
    EXPECT_FALSE(table.MayHoldSize(10));
    auto pending = [](std::uint64_t size) {
        auto* group = new DupGroup(0, size);
        group->pending = true;
        return group;
    };
    // One pending bucket for both; each is found by its whole size.
    DupGroup* small = pending(10);
    DupGroup* large = pending(k4G + 10);
    table.Append(small);
    table.Append(large);
    EXPECT_EQ(table.PendingOfSize(10), small);
    EXPECT_EQ(table.PendingOfSize(k4G + 10), large);
    EXPECT_EQ(table.PendingOfSize(11), nullptr);
    EXPECT_EQ(table.Chain(DupTable::BucketOf(0, 10)), nullptr);
    EXPECT_FALSE(table.MayHoldSize(10));

    // Promoted: an ordinary group in its hash's bucket, its size marked.
    table.Promote(small, 0x50000);
    EXPECT_FALSE(small->pending);
    EXPECT_EQ(table.PendingOfSize(10), nullptr);
    EXPECT_EQ(table.PendingOfSize(k4G + 10), large);
    EXPECT_EQ(table.Chain(DupTable::BucketOf(0x50000, 10)), small);
    EXPECT_TRUE(table.MayHoldSize(10));

    // Unlinking either kind; the size stays marked until Clear.
    EXPECT_TRUE(table.Unlink(large));
    EXPECT_FALSE(table.Unlink(large));
    EXPECT_EQ(table.PendingOfSize(k4G + 10), nullptr);
    delete large;
    EXPECT_TRUE(table.Unlink(small));
    EXPECT_EQ(table.Chain(DupTable::BucketOf(0x50000, 10)), nullptr);
    EXPECT_TRUE(table.MayHoldSize(10));
    table.Append(small);
    table.Append(pending(20));
    table.Clear();
    EXPECT_FALSE(table.MayHoldSize(10));
    EXPECT_EQ(table.PendingOfSize(20), nullptr);
    EXPECT_EQ(table.Chain(DupTable::BucketOf(0x50000, 10)), nullptr);
}

// The hash as it is defined, one byte at a time.
std::uint32_t HashByteAtATime(std::uint32_t hash, const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        hash = hash ^ bytes[i] ^ (hash << 11) ^ (hash >> 17);
    }
    return hash;
}

TEST(HeadHash, BlockwiseHashIsTheByteAtATimeHash)
{
    std::mt19937 random(2026);
    // Eight spare bytes in front, to start at every alignment.
    std::vector<unsigned char> bytes(kHeadHashBytes + 8);
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    const std::uint32_t starts[] = {
        0, 1, 0x80000001u, 0xDEADBEEFu, 0xFFFFFFFFu, static_cast<std::uint32_t>(random()) | 1u};
    for (const std::uint32_t start : starts) {
        for (std::size_t offset = 0; offset < 8; ++offset) {
            for (std::size_t count = 0; count <= 100; ++count) {
                ASSERT_EQ(HashBytes(start, bytes.data() + offset, count),
                          HashByteAtATime(start, bytes.data() + offset, count))
                    << "start " << start << ", offset " << offset << ", count " << count;
            }
            EXPECT_EQ(HashBytes(start, bytes.data() + offset, kHeadHashBytes),
                      HashByteAtATime(start, bytes.data() + offset, kHeadHashBytes));
        }
    }
    // Every byte value in every place of a block, high bits included.
    for (int value = 0; value < 256; ++value) {
        for (std::size_t place = 0; place < 8; ++place) {
            unsigned char block[8] = {};
            block[place] = static_cast<unsigned char>(value);
            ASSERT_EQ(HashBytes(0xFFFFFFFFu, block, 8), HashByteAtATime(0xFFFFFFFFu, block, 8))
                << value << " at " << place;
        }
    }
}

TEST(HeadHash, HashesTheFirst8192BytesAsUnsigned)
{
    const unsigned char bytes[] = {1, 2, 0xFF};
    EXPECT_EQ(HashBytes(0, bytes, 2), 2051u);  // 1, then 1 ^ 2 ^ (1 << 11)
    EXPECT_EQ(HashBytes(0, bytes + 2, 1), 0xFFu);

    TempTree files;
    const std::string head(8192, 'h');
    ASSERT_TRUE(files.MakeFile("a", head + "a"));
    ASSERT_TRUE(files.MakeFile("b", head + "b"));
    ASSERT_TRUE(files.MakeFile("c", head.substr(1) + "cc"));
    ASSERT_TRUE(files.MakeFifo("fifo"));
    const auto a = HeadHash(files.Path("a"));
    const auto b = HeadHash(files.Path("b"));
    const auto c = HeadHash(files.Path("c"));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->hash, b->hash);
    EXPECT_NE(a->hash, c->hash);
    EXPECT_EQ(a->size, 8193u);
    EXPECT_NE(a->inode, b->inode);
    EXPECT_FALSE(HeadHash(files.Path("fifo")));
    EXPECT_FALSE(HeadHash(files.Path("missing")));
}

TEST(SameContents, ComparesWholeFiles)
{
    TempTree files;
    const std::string blocks(3 * kCompareBlockBytes, 's');
    ASSERT_TRUE(files.MakeFile("a", blocks));
    ASSERT_TRUE(files.MakeFile("b", blocks));
    ASSERT_TRUE(files.MakeFile("late", blocks.substr(1) + "t"));
    ASSERT_TRUE(files.MakeFile("longer", blocks + "s"));
    ASSERT_TRUE(files.MakeFifo("fifo"));
    ASSERT_TRUE(files.MakeHardLink("link", "a"));
    const auto never = [] { return false; };
    EXPECT_TRUE(SameContents(files.Path("a"), files.Path("b"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("link"), never));  // one file
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("late"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("longer"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("missing"), never));
    EXPECT_FALSE(SameContents(files.Path("fifo"), files.Path("a"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("b"), [] { return true; }));
}

}  // namespace
