#include "engine/FileSize.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(FileSize, SumsSaturateAndComparisonsSeeAllSixtyFourBits)
{
    FileSize sum = FileSize::Largest();
    sum += FileSize::Largest();
    EXPECT_EQ(sum, FileSize::Largest());
    FileSize low = FileSize::FromBytes(INT64_MIN);
    low += FileSize::FromBytes(-1);
    EXPECT_EQ(low.Bytes(), INT64_MIN);
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
        {9, 1, "9"},
        {10, 2, "10"},
        {999, 3, "999"},
        {1000, 4, "1,000"},
        {100000, 6, "100,000"},
        {999999, 6, "999,999"},
        {1234567, 7, "1,234,567"},
        {999999999999999999LL, 18, "999,999,999,999,999,999"},
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

}  // namespace
