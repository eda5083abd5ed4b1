#include <gtest/gtest.h>

#include "app/SizeFormat.h"

namespace {

constexpr std::int64_t KB = 1024;
constexpr std::int64_t MB = 1024 * KB;
constexpr std::int64_t GB = 1024 * MB;

QString Text(SizeFormat format, std::int64_t bytes)
{
    return SizeText(format, FileSize::FromBytes(bytes));
}

int Width(SizeFormat format, std::int64_t bytes)
{
    return SizeTextWidth(format, FileSize::FromBytes(bytes));
}

QString Padded(SizeFormat format, std::int64_t bytes, std::int64_t reference)
{
    return PaddedSizeText(format, FileSize::FromBytes(bytes), FileSize::FromBytes(reference));
}

TEST(SizeFormatTest, FixedUnitsRoundUpToWholeUnits)
{
    EXPECT_EQ(Text(SizeFormat::Bytes, 0), "0");
    EXPECT_EQ(Text(SizeFormat::Bytes, 1023), "1,023");
    EXPECT_EQ(Text(SizeFormat::Bytes, GB), "1,073,741,824");

    EXPECT_EQ(Text(SizeFormat::KBytes, 0), "0KB");
    EXPECT_EQ(Text(SizeFormat::KBytes, 1), "1KB");
    EXPECT_EQ(Text(SizeFormat::KBytes, KB), "1KB");
    EXPECT_EQ(Text(SizeFormat::KBytes, KB + 1), "2KB");
    EXPECT_EQ(Text(SizeFormat::KBytes, MB - 1), "1,024KB");

    EXPECT_EQ(Text(SizeFormat::MBytes, 123456789), "118MB");
    EXPECT_EQ(Text(SizeFormat::GBytes, 1), "1GB");
}

TEST(SizeFormatTest, AutoPicksTheUnitPerValueAtEachBoundary)
{
    EXPECT_EQ(Text(SizeFormat::Auto, KB - 1), "1,023");
    EXPECT_EQ(Text(SizeFormat::Auto, KB), "1KB");
    EXPECT_EQ(Text(SizeFormat::Auto, MB - 1), "1,024KB");
    EXPECT_EQ(Text(SizeFormat::Auto, MB), "1MB");
    EXPECT_EQ(Text(SizeFormat::Auto, GB - 1), "1,024MB");
    EXPECT_EQ(Text(SizeFormat::Auto, GB), "1GB");
    EXPECT_EQ(Text(SizeFormat::Auto, 5 * (GB * KB)), "5,120GB");

    EXPECT_EQ(EffectiveSizeFormat(SizeFormat::Auto, FileSize::FromBytes(-5)), SizeFormat::Bytes);
    EXPECT_EQ(EffectiveSizeFormat(SizeFormat::MBytes, FileSize::FromBytes(1)), SizeFormat::MBytes);
}

TEST(SizeFormatTest, TheLargestSizeDoesNotOverflowWhenRoundedUp)
{
    // 2^63 - 1 bytes is one byte short of 2^33 GB.
    EXPECT_EQ(SizeText(SizeFormat::GBytes, FileSize::Largest()), "8,589,934,592GB");
    EXPECT_EQ(SizeText(SizeFormat::Auto, FileSize::Largest()), "8,589,934,592GB");
    EXPECT_EQ(SizeText(SizeFormat::KBytes, FileSize::Largest()), "9,007,199,254,740,992KB");
}

TEST(SizeFormatTest, WidthsCountDigitsAndLettersTwiceAndCommasOnce)
{
    EXPECT_EQ(Width(SizeFormat::Bytes, 999), 6);
    EXPECT_EQ(Width(SizeFormat::Bytes, 1023), 9);
    EXPECT_EQ(Width(SizeFormat::KBytes, KB), 6);
    EXPECT_EQ(Width(SizeFormat::Bytes, MB - 1), 16);
    EXPECT_EQ(Width(SizeFormat::Auto, MB - 1), 2 * (4 + 2) + 1);  // "1,024KB"
}

TEST(SizeFormatTest, PaddingLinesUpWithTheReferenceAndAtLeastTwelve)
{
    EXPECT_EQ(Padded(SizeFormat::Auto, 500, 2 * MB), "      500");
    EXPECT_EQ(Padded(SizeFormat::Auto, 3 * GB, 10), "      3GB");
    EXPECT_EQ(Padded(SizeFormat::Bytes, 1234567, 987654321), "    1,234,567");
    // A text wider than the target gets no blanks.
    EXPECT_EQ(Padded(SizeFormat::Bytes, 987654321, 10), "987,654,321");
}

TEST(SizeFormatTest, SettingTextsRoundTripAndMatchWithoutRegardToCase)
{
    for (SizeFormat format : {SizeFormat::Bytes, SizeFormat::KBytes, SizeFormat::MBytes,
                              SizeFormat::GBytes, SizeFormat::Auto})
        EXPECT_EQ(SizeFormatFromSettingText(SizeFormatSettingText(format)), format);
    EXPECT_EQ(SizeFormatSettingText(SizeFormat::Auto), "auto");
    EXPECT_EQ(SizeFormatFromSettingText("kb"), SizeFormat::KBytes);
    EXPECT_EQ(SizeFormatFromSettingText("Auto"), SizeFormat::Auto);
    EXPECT_EQ(SizeFormatFromSettingText("KBytes"), std::nullopt);
    EXPECT_EQ(SizeFormatFromSettingText(" KB"), std::nullopt);
    EXPECT_EQ(SizeFormatFromSettingText(""), std::nullopt);
}

}  // namespace
