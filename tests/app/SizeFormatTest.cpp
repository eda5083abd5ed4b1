#include <gtest/gtest.h>

#include "app/SizeFormat.h"

namespace {

constexpr std::int64_t KB = 1024;
constexpr std::int64_t MB = 1024 * KB;
constexpr std::int64_t GB = 1024 * MB;
constexpr std::int64_t kLargest = INT64_MAX;  // one byte short of 2^33 GB
using enum SizeFormat;

TEST(SizeFormatTest, TextsRoundUpToWholeUnitsAndAutoPicksTheUnitPerValue)
{
    const std::tuple<SizeFormat, std::int64_t, const char*> rows[] = {
        // clang-format off
        {Bytes, 0, "0"}, {Bytes, GB, "1,073,741,824"}, {KBytes, 0, "0KB"}, {KBytes, 1, "1KB"},
        {KBytes, KB, "1KB"}, {KBytes, KB + 1, "2KB"}, {MBytes, 123456789, "118MB"},
        {GBytes, 1, "1GB"}, {Auto, KB - 1, "1,023"}, {Auto, KB, "1KB"}, {Auto, MB - 1, "1,024KB"},
        {Auto, MB, "1MB"}, {Auto, GB - 1, "1,024MB"}, {Auto, GB, "1GB"},
        {Auto, 5 * GB * KB, "5,120GB"}, {GBytes, kLargest, "8,589,934,592GB"},
        {Auto, kLargest, "8,589,934,592GB"}, {KBytes, kLargest, "9,007,199,254,740,992KB"},
        // clang-format on
    };
    for (const auto& [format, bytes, text] : rows)
        EXPECT_EQ(SizeText(format, FileSize::FromBytes(bytes)), text) << bytes;
    EXPECT_EQ(EffectiveSizeFormat(Auto, FileSize::FromBytes(-5)), Bytes);
}

TEST(SizeFormatTest, PaddingCountsDigitsAndLettersTwiceAndCommasOnceToTheReferenceOrTwelve)
{
    // Each row: the format, the size, the reference, the text.
    const std::tuple<SizeFormat, std::int64_t, std::int64_t, const char*> rows[] = {
        {Auto, 500, 2 * MB, "      500"},  // "1MB": 6, at least 12
        {Auto, 3 * GB, 10, "      3GB"},
        {Auto, 999, MB - 1, "       999"},  // "1,024KB": 13
        {Bytes, 1234567, 987654321, "    1,234,567"},
        {Bytes, 987654321, 10, "987,654,321"},  // wider than the target
    };
    for (const auto& [format, bytes, reference, text] : rows)
        EXPECT_EQ(
            PaddedSizeText(format, FileSize::FromBytes(bytes), FileSize::FromBytes(reference)),
            text)
            << bytes;
}

TEST(SizeFormatTest, SettingTextsRoundTripAndMatchWithoutRegardToCase)
{
    for (SizeFormat format : {Bytes, KBytes, MBytes, GBytes, Auto})
        EXPECT_EQ(SizeFormatFromSettingText(SizeFormatSettingText(format)), format);
    EXPECT_EQ(SizeFormatFromSettingText("kb"), KBytes);
    for (const char* unknown : {"KBytes", " KB", ""})
        EXPECT_EQ(SizeFormatFromSettingText(unknown), std::nullopt) << unknown;
}

}  // namespace
