#pragma once

#include <optional>

#include <QString>

#include "engine/FileSize.h"

// The unit in which sizes are shown. Units are binary (a kilobyte is 1024
// bytes) and a value is rounded up to whole units: any part of a unit
// counts as one. Auto picks the unit per value.
enum class SizeFormat : int { Bytes = 0, KBytes = 1, MBytes = 2, GBytes = 3, Auto = 4 };

// The unit that shows value in format: format itself unless it is Auto;
// then Bytes below 1024, KBytes below 1048576, MBytes below 1073741824,
// GBytes from there (a negative value gives Bytes).
[[nodiscard]] SizeFormat EffectiveSizeFormat(SizeFormat format, FileSize value);
// The number shown: value in bytes, else value rounded up to whole units.
[[nodiscard]] FileSize ShownNumber(SizeFormat format, FileSize value);
// "1,023" in bytes; "2KB", "1,024MB" in a unit (no blank before it).
[[nodiscard]] QString SizeText(SizeFormat format, FileSize value);
// The width of SizeText in half-digit units: digits and letters 2, commas 1.
[[nodiscard]] int SizeTextWidth(SizeFormat format, FileSize value);
// SizeText(value) preceded by one blank per unit that its width falls short
// of the width of reference's text, taken as at least 12. Each value picks
// its own unit under Auto.
[[nodiscard]] QString PaddedSizeText(SizeFormat format, FileSize value, FileSize reference);

// The text that stores a format in the settings: "B", "KB", "MB", "GB", "auto".
[[nodiscard]] QString SizeFormatSettingText(SizeFormat format);
// The format a stored text names, compared without regard to case; none
// for any other text.
[[nodiscard]] std::optional<SizeFormat> SizeFormatFromSettingText(const QString& text);
