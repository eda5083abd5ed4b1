#pragma once

#include <cstdint>
#include <string>

// A byte count: the size of a file, the space it occupies, the totals of a
// folder and of a folder tree. A plain signed 64-bit value.
//
// Sizes in use are never negative. A sparse file may claim up to 2^63-1
// bytes, so sums saturate at the limits of the 64-bit range instead of
// wrapping.
class FileSize {
public:
    constexpr FileSize() = default;
    static constexpr FileSize FromBytes(std::int64_t bytes) { return FileSize(bytes); }
    // Saturates at the largest value for sizes beyond the signed range.
    static constexpr FileSize FromUnsigned(std::uint64_t bytes)
    {
        return FileSize(bytes > static_cast<std::uint64_t>(INT64_MAX)
                            ? INT64_MAX
                            : static_cast<std::int64_t>(bytes));
    }
    static constexpr FileSize Largest() { return FileSize(INT64_MAX); }

    FileSize& operator+=(FileSize other);
    FileSize& operator-=(FileSize other);

    friend FileSize operator-(FileSize a, FileSize b) { return a -= b; }

    friend constexpr bool operator==(FileSize a, FileSize b) = default;
    friend constexpr auto operator<=>(FileSize a, FileSize b) = default;
    friend constexpr bool operator<(FileSize a, std::int32_t b) { return a.m_value < b; }

    constexpr std::int64_t Bytes() const { return m_value; }

    // Number of decimal digits; 1 for any value below 10, negatives included.
    int DigitCount() const;
    // Decimal digits of the magnitude with "," between thousands, whatever
    // the locale: 1234567 gives "1,234,567". No sign is written.
    std::string ToString() const;

    // -1, 0 or 1 as a compares with b; for sort callbacks, which must not
    // narrow a 64-bit difference to an int.
    static int Compare(FileSize a, FileSize b) { return (a > b) - (a < b); }

private:
    constexpr explicit FileSize(std::int64_t value) : m_value(value) {}
    std::int64_t m_value = 0;
};
