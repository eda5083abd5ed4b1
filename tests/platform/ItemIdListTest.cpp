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
    using namespace std::string_literals;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"nothing", ""},
        {"no terminator",
         "\x05\x00"
         "ab"s},
        {"item overruns",
         "\x09\x00"
         "ab\0\0"s},
        {"count below 3", "\x01\x00\0\0"s},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(ItemIdList::FromBytes(c.bytes).IsNone()) << c.what;
    }
    EXPECT_TRUE(ItemIdList::Single(ShellItemKind::Folder, std::string(70000, 'x')).IsNone());
}

}  // namespace
