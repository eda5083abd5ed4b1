// Duplicate groups, their table, their orderings, and reading files for them.
#include "engine/DupGroup.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "engine/DupTable.h"
#include "engine/FileComparison.h"
#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

namespace {

class DupGroupTest : public ::testing::Test {
protected:
    DupMember& Member(FolderRecord& folder, const std::string& name, DupGroup* group = nullptr)
    {
        DupMember& member = *m_members.emplace_back(new DupMember{nullptr, &folder, name});
        if (group != nullptr) group->InsertMemberLink(new DupLink{nullptr, &member});
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

    testsupport::FolderTreeFake m_tree;
    FolderRecord& m_root = m_tree.MakeRoot();
    FolderRecord& m_top = m_tree.Add(m_root, "/top");
    FolderRecord& m_inner = m_tree.Add(m_top, "inner");
    FolderRecord& m_other = m_tree.Add(m_root, "/other");
    std::vector<std::unique_ptr<DupMember>> m_members;
};

TEST_F(DupGroupTest, MembersAreKeptInNameOrderRegardlessOfCase)
{
    DupGroup group(0, 1);
    Member(m_inner, "x", &group);
    EXPECT_TRUE(group.IsSingle());
    EXPECT_FALSE(group.HasMemberOutside(m_inner));
    Member(m_top, "C", &group);
    DupMember& firstB = Member(m_top, "b", &group);
    Member(m_top, "a", &group);
    DupMember& secondB = Member(m_inner, "B", &group);  // before the equal name
    EXPECT_EQ(Names(group), (std::vector<std::string>{"a", "B", "b", "C", "x"}));
    EXPECT_EQ(group.MemberCount(), 5);
    EXPECT_TRUE(group.HasMemberOutside(m_inner));
    EXPECT_FALSE(group.HasMemberOutside(m_top));
    Member(m_other, "z", &group);
    EXPECT_TRUE(group.HasMemberOutside(m_top));
    // Identity is looked for in every member, not only the first.
    secondB.device = 3;
    secondB.inode = 9;
    EXPECT_TRUE(group.HoldsFile(3, 9));
    EXPECT_FALSE(group.HoldsFile(3, 8));

    EXPECT_TRUE(group.RemoveMemberLink(firstB));
    EXPECT_FALSE(group.RemoveMemberLink(firstB));
}

// Each row: first against second, ascending; descending negates it.
TEST_F(DupGroupTest, Orderings)
{
    DupGroup big(0, (1ull << 32) + 1);  // differences beyond 32 bits keep their sign
    DupGroup small(0, 2);
    DupGroup same(0, 2);
    Member(m_top, "b", &big);
    Member(m_top, "a", &small);
    Member(m_top, "B", &same);
    Member(m_top, "c", &same);
    DupMember& inTop = Member(m_top, "File");
    DupMember& inOther = Member(m_other, "file");
    DupMember& later = Member(m_other, "g");
    const std::function<int(bool)> rows[] = {
        [&](bool up) { return DupGroup::CompareBySize(big, small, up); },
        [&](bool up) { return DupGroup::CompareByName(big, small, up); },
        [&](bool up) { return DupGroup::CompareByCount(same, small, up); },
        [&](bool up) { return DupMember::CompareByName(inTop, inOther, up); },  // then path
        [&](bool up) { return DupMember::CompareByName(later, inTop, up); },
        [&](bool up) { return DupMember::CompareByPath(inTop, inOther, up); },
        [&](bool up) { return DupMember::CompareByPath(later, inOther, up); },  // then name
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        EXPECT_EQ(rows[row](true), 1) << row;
        EXPECT_EQ(rows[row](false), -1) << row;
    }
    // Equal sizes go by name ascending, whatever the flag.
    EXPECT_EQ(DupGroup::CompareBySize(small, same, true), -1);
    EXPECT_EQ(DupGroup::CompareBySize(small, same, false), -1);
    EXPECT_EQ(DupGroup::CompareByCount(small, big, true), 0);
    EXPECT_EQ(inTop.FullPath(), "/top/File");
    EXPECT_EQ(inTop.FolderPath(), "/top");
}

TEST(DupTable, ChainsAndPendingGroupsKeepTheWholeSize)
{
    constexpr std::uint64_t k4G = 1ull << 32;
    EXPECT_EQ(DupTable::BucketOf(0x12345678, k4G + 5), DupTable::BucketOf(0x12345678, 5));
    EXPECT_EQ(DupTable::BucketOf(0xABCD0000, 0x1234), 0x1234u);
    DupTable table;
    auto* first = new DupGroup(7, 5);
    auto* second = new DupGroup(7, k4G + 5);
    auto* third = new DupGroup(7, 5);
    for (DupGroup* group : {first, second, third}) table.Append(group);
    EXPECT_EQ(table.Chain(DupTable::BucketOf(7, 5)), first);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(second->next, third);
    EXPECT_TRUE(table.Unlink(second));
    EXPECT_FALSE(table.Unlink(second));
    EXPECT_EQ(first->next, third);
    delete second;

    // Pending groups lie apart, each found by its whole size, until promoted.
    auto pending = [](std::uint64_t size) {
        auto* group = new DupGroup(0, size);
        group->pending = true;
        return group;
    };
    DupGroup* small = pending(10);
    DupGroup* large = pending(k4G + 10);
    table.Append(small);
    table.Append(large);
    EXPECT_EQ(table.PendingOfSize(10), small);
    EXPECT_EQ(table.PendingOfSize(k4G + 10), large);
    EXPECT_FALSE(table.MayHoldSize(10));
    table.Promote(small, 0x50000);
    EXPECT_FALSE(small->pending);
    EXPECT_EQ(table.PendingOfSize(10), nullptr);
    EXPECT_EQ(table.Chain(DupTable::BucketOf(0x50000, 10)), small);
    EXPECT_TRUE(table.MayHoldSize(10));
    // The size stays marked until Clear.
    EXPECT_TRUE(table.Unlink(large));
    EXPECT_EQ(table.PendingOfSize(k4G + 10), nullptr);
    delete large;
    EXPECT_TRUE(table.Unlink(small));
    EXPECT_TRUE(table.MayHoldSize(10));
    table.Append(small);
    table.Clear();
    EXPECT_FALSE(table.MayHoldSize(10));
    EXPECT_EQ(table.Chain(DupTable::BucketOf(7, 5)), nullptr);
}

TEST(HeadHash, IsTheByteAtATimeHashOfTheFirst8192Bytes)
{
    std::mt19937 random(2026);
    // Eight spare bytes in front, to start at every alignment.
    std::vector<unsigned char> bytes(kHeadHashBytes + 8);
    for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(random());
    std::vector<std::size_t> counts{100, kHeadHashBytes};
    for (std::size_t count = 0; count < 18; ++count) counts.push_back(count);
    for (const std::uint32_t start : {0u, 1u, 0x80000001u, 0xFFFFFFFFu}) {
        for (std::size_t offset = 0; offset < 8; ++offset) {
            for (const std::size_t count : counts) {
                std::uint32_t hash = start;
                for (std::size_t i = 0; i < count; ++i) {
                    const unsigned char byte = bytes[offset + i];
                    hash = hash ^ byte ^ (hash << 11) ^ (hash >> 17);
                }
                ASSERT_EQ(HashBytes(start, bytes.data() + offset, count), hash)
                    << "start " << start << ", offset " << offset << ", count " << count;
            }
        }
    }

    // Only the head counts.
    TempTree files;
    const std::string head(kHeadHashBytes, 'h');
    ASSERT_TRUE(files.MakeFile("a", head + "a") && files.MakeFile("b", head + "b"));
    const auto a = HeadHash(files.Path("a"));
    const auto b = HeadHash(files.Path("b"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->hash, b->hash);
    EXPECT_EQ(a->size, kHeadHashBytes + 1);
    EXPECT_FALSE(HeadHash(files.Path("missing")));
}

TEST(SameContents, ComparesWholeFiles)
{
    TempTree files;
    const std::string blocks(3 * kCompareBlockBytes, 's');
    ASSERT_TRUE(files.MakeFile("a", blocks) && files.MakeFile("b", blocks) &&
                files.MakeFile("late", blocks.substr(1) + "t"));
    const auto never = [] { return false; };
    EXPECT_TRUE(SameContents(files.Path("a"), files.Path("b"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("b"), [] { return true; }));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("late"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("missing"), never));
}

}  // namespace
