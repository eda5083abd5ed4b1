#include "platform/ItemIdList.h"

#include <gtest/gtest.h>

using platform::ItemIdList;
using platform::ShellItemKind;

namespace {

TEST(ItemIdList, SizeCountsEveryItemAndTheTerminator)
{
    EXPECT_EQ(ItemIdList().Size(), 0u);
    EXPECT_TRUE(ItemIdList().IsNone());
    EXPECT_EQ(ItemIdList::Empty().Size(), 2u);
    EXPECT_TRUE(ItemIdList::Empty().Items().empty());

    // count (2) + kind (1) + payload, then the terminator (2).
    const ItemIdList one = ItemIdList::Single(ShellItemKind::Folder, "abc");
    EXPECT_EQ(one.Size(), 2u + 1u + 3u + 2u);
    const std::string& bytes = one.Bytes();
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]) | (static_cast<unsigned char>(bytes[1]) << 8),
              6);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string(2, '\0'));
}

TEST(ItemIdList, ConcatenationJoinsItemsAndCopiesWhenOneSideIsNone)
{
    const ItemIdList a = ItemIdList::Single(ShellItemKind::Volume, std::string("/mnt\0l", 6));
    const ItemIdList b = ItemIdList::Single(ShellItemKind::Folder, "sub");
    const ItemIdList ab = ItemIdList::Concatenate(a, b);
    EXPECT_EQ(ab.Size(), a.Size() + b.Size() - 2);
    ASSERT_EQ(ab.Items().size(), 2u);
    EXPECT_EQ(ab.Items()[0].kind, ShellItemKind::Volume);
    EXPECT_EQ(ab.Items()[0].payload, std::string("/mnt\0l", 6));
    EXPECT_EQ(ab.Last().payload, "sub");

    EXPECT_EQ(ItemIdList::Concatenate(ItemIdList(), b), b);
    EXPECT_EQ(ItemIdList::Concatenate(a, ItemIdList()), a);
    EXPECT_EQ(ItemIdList::Concatenate(ItemIdList::Empty(), b), b);
    EXPECT_TRUE(ItemIdList::Concatenate(ItemIdList(), ItemIdList()).IsNone());

    // Lists are values: a copy is equal and independent.
    ItemIdList copy = ab;
    EXPECT_EQ(copy, ab);
    copy = ItemIdList::Concatenate(copy, b);
    EXPECT_NE(copy, ab);
    EXPECT_EQ(ab.Items().size(), 2u);
}

TEST(ItemIdList, NamesAreKeptAsRawBytes)
{
    const std::string name("caf\xe9\n\x01", 6);  // Latin-1, a newline, a control byte
    const ItemIdList id = ItemIdList::Single(ShellItemKind::Folder, name);
    EXPECT_EQ(id.Last().payload, name);
    EXPECT_EQ(ItemIdList::FromBytes(id.Bytes()), id);
}

TEST(ItemIdList, MalformedBlocksAreRefused)
{
    EXPECT_TRUE(ItemIdList::FromBytes("").IsNone());
    EXPECT_TRUE(ItemIdList::FromBytes(std::string("\x05\x00"
                                                  "ab",
                                                  4))
                    .IsNone());  // no terminator
    EXPECT_TRUE(ItemIdList::FromBytes(std::string("\x09\x00"
                                                  "ab\0\0",
                                                  6))
                    .IsNone());                                                   // overruns
    EXPECT_TRUE(ItemIdList::FromBytes(std::string("\x01\x00\0\0", 4)).IsNone());  // count below 3
    EXPECT_TRUE(ItemIdList::Single(ShellItemKind::Folder, std::string(70000, 'x')).IsNone());
}

}  // namespace
