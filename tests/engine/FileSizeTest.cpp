#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "engine/FileSize.h"

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(FileSize, MadeFromHalvesKeepsTheLowWordUnsigned)
{
    EXPECT_EQ(FileSize::FromHalves(0xFFFFFFFFu, 0).Bytes(), 4294967295LL);
    EXPECT_EQ(FileSize::FromHalves(0, 1).Bytes(), 4294967296LL);
    EXPECT_EQ(FileSize::FromHalves(0xFFFFFFFFu, 0x7FFFFFFF).Bytes(), kMax);
    const FileSize five = FileSize::FromBytes(5LL << 30);
    EXPECT_EQ(FileSize::FromHalves(five.Low(), five.High()), five);
}

TEST(FileSize, SignExtendsThirtyTwoBitOperands)
{
    FileSize size;
    EXPECT_EQ(size.Bytes(), 0);
    size = -5;
    EXPECT_EQ(size.Bytes(), -5);
    size += -7;
    EXPECT_EQ(size.Bytes(), -12);
    size *= -3;
    EXPECT_EQ(size.Bytes(), 36);
    size /= -5;
    EXPECT_EQ(size.Bytes(), -7);  // toward zero
    EXPECT_TRUE(size < 0);
    EXPECT_FALSE(size >= -6);
    EXPECT_TRUE(FileSize::FromBytes(1LL << 32) >= 1);
    // A value whose low word looks negative is still large and positive.
    EXPECT_FALSE(FileSize::FromHalves(0x80000000u, 0) < 0);
}

TEST(FileSize, ComparesAllSixtyFourBits)
{
    const FileSize small = FileSize::FromHalves(0xFFFFFFFFu, 0);
    const FileSize large = FileSize::FromHalves(0, 1);
    EXPECT_LT(small, large);
    EXPECT_NE(small, large);
    EXPECT_LT(FileSize::FromBytes(-1), FileSize::FromBytes(0));
    EXPECT_LT(FileSize::FromHalves(0, -1), FileSize::FromHalves(0xFFFFFFFFu, -1));
    // Two sizes 4 GiB apart differ only in the high word; a comparison that
    // narrowed the difference to an int would call them equal.
    EXPECT_EQ(FileSize::Compare(FileSize::FromBytes(4LL << 30), FileSize::FromBytes(0)), 1);
    EXPECT_EQ(FileSize::Compare(FileSize::FromBytes(0), FileSize::Largest()), -1);
    EXPECT_EQ(FileSize::Compare(FileSize::Largest(), FileSize::Largest()), 0);
}

TEST(FileSize, ShiftsArithmetically)
{
    FileSize size = FileSize::FromBytes(1023);
    size >>= 10;
    EXPECT_EQ(size.Bytes(), 0);
    size = FileSize::FromBytes(1024);
    size >>= 10;
    EXPECT_EQ(size.Bytes(), 1);
    size = FileSize::FromBytes(5LL << 30);
    size >>= 30;
    EXPECT_EQ(size.Bytes(), 5);
    size = -1024;
    size >>= 10;
    EXPECT_EQ(size.Bytes(), -1);
}

TEST(FileSize, SaturatesInsteadOfOverflowing)
{
    FileSize sum = FileSize::Largest();
    sum += FileSize::Largest();
    EXPECT_EQ(sum.Bytes(), kMax);
    sum += 1;
    EXPECT_EQ(sum.Bytes(), kMax);

    FileSize product = FileSize::FromBytes(kMax / 2 + 1);
    product *= 2;
    EXPECT_EQ(product.Bytes(), kMax);
    product = FileSize::FromBytes(kMax);
    product *= -2;
    EXPECT_EQ(product.Bytes(), kMin);

    FileSize low = FileSize::FromBytes(kMin);
    low += -1;
    EXPECT_EQ(low.Bytes(), kMin);
    low /= -1;
    EXPECT_EQ(low.Bytes(), kMax);

    EXPECT_EQ(FileSize::FromUnsigned(~std::uint64_t{0}).Bytes(), kMax);
    FileSize unchanged = FileSize::FromBytes(10);
    unchanged /= 0;
    EXPECT_EQ(unchanged.Bytes(), 10);
}

TEST(FileSize, CountsDigits)
{
    EXPECT_EQ(FileSize::FromBytes(0).DigitCount(), 1);
    EXPECT_EQ(FileSize::FromBytes(9).DigitCount(), 1);
    EXPECT_EQ(FileSize::FromBytes(10).DigitCount(), 2);
    EXPECT_EQ(FileSize::FromBytes(999999).DigitCount(), 6);
    EXPECT_EQ(FileSize::FromBytes(1000000).DigitCount(), 7);
    EXPECT_EQ(FileSize::FromBytes(999999999999999999LL).DigitCount(), 18);
    EXPECT_EQ(FileSize::FromBytes(1000000000000000000LL).DigitCount(), 19);
    EXPECT_EQ(FileSize::Largest().DigitCount(), 19);
    EXPECT_EQ(FileSize::FromBytes(-123456).DigitCount(), 1);
    EXPECT_EQ(FileSize::FromBytes(kMin).DigitCount(), 1);
}

TEST(FileSize, WritesThousandsWithCommas)
{
    EXPECT_EQ(FileSize::FromBytes(0).ToString(), "0");
    EXPECT_EQ(FileSize::FromBytes(999).ToString(), "999");
    EXPECT_EQ(FileSize::FromBytes(1000).ToString(), "1,000");
    EXPECT_EQ(FileSize::FromBytes(100000).ToString(), "100,000");
    EXPECT_EQ(FileSize::FromBytes(1234567).ToString(), "1,234,567");
    EXPECT_EQ(FileSize::Largest().ToString(), "9,223,372,036,854,775,807");
    EXPECT_EQ(FileSize::FromBytes(-1234).ToString(), "1,234");
    EXPECT_EQ(FileSize::FromBytes(kMin).ToString(), "9,223,372,036,854,775,808");
}

}  // namespace
