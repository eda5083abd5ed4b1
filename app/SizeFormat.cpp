#include "app/SizeFormat.h"

#include <algorithm>
#include <array>

namespace {

struct Unit {
    const char* settingText;
    const char* unitText;
    int shift;
    std::int32_t addend;  // added before shifting, so that the shift rounds up
};

// By SizeFormat value; Auto's row is only used for its setting text.
constexpr std::array<Unit, 5> kUnits = {{
    {"B", "", 0, 0},
    {"KB", "KB", 10, 1023},
    {"MB", "MB", 20, 1048575},
    {"GB", "GB", 30, 1073741823},
    {"auto", "", 0, 0},
}};

const Unit& UnitOf(SizeFormat format) { return kUnits[static_cast<std::size_t>(format)]; }

}  // namespace

SizeFormat EffectiveSizeFormat(SizeFormat format, FileSize value)
{
    if (format != SizeFormat::Auto) return format;
    if (value < 1024) return SizeFormat::Bytes;
    if (value < 1048576) return SizeFormat::KBytes;
    if (value < 1073741824) return SizeFormat::MBytes;
    return SizeFormat::GBytes;
}

FileSize ShownNumber(SizeFormat format, FileSize value)
{
    // (value + addend) >> shift, the addend being 2^shift - 1, written so that
    // it cannot overflow for values near the largest size.
    const Unit& unit = UnitOf(EffectiveSizeFormat(format, value));
    const std::int64_t bytes = value.Bytes();
    const std::int64_t remainder = bytes & unit.addend;
    return FileSize::FromBytes((bytes >> unit.shift) + (remainder != 0 ? 1 : 0));
}

QString SizeText(SizeFormat format, FileSize value)
{
    const Unit& unit = UnitOf(EffectiveSizeFormat(format, value));
    return QString::fromStdString(ShownNumber(format, value).ToString()) +
           QLatin1String(unit.unitText);
}

int SizeTextWidth(SizeFormat format, FileSize value)
{
    const int digits = ShownNumber(format, value).DigitCount();
    const int letters = EffectiveSizeFormat(format, value) == SizeFormat::Bytes ? 0 : 2;
    return 2 * (digits + letters) + (digits - 1) / 3;
}

QString PaddedSizeText(SizeFormat format, FileSize value, FileSize reference)
{
    const int width = SizeTextWidth(format, value);
    const int target = std::max(SizeTextWidth(format, reference), 12);
    QString text;
    if (target - width > 0) text.fill(QLatin1Char(' '), target - width);
    return text + SizeText(format, value);
}

QString SizeFormatSettingText(SizeFormat format)
{
    return QLatin1String(UnitOf(format).settingText);
}

std::optional<SizeFormat> SizeFormatFromSettingText(const QString& text)
{
    for (std::size_t index = 0; index < kUnits.size(); ++index) {
        if (text.compare(QLatin1String(kUnits[index].settingText), Qt::CaseInsensitive) == 0)
            return static_cast<SizeFormat>(index);
    }
    return std::nullopt;
}
