#include "engine/FileSize.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

}  // namespace

FileSize& FileSize::operator+=(FileSize other)
{
    if (__builtin_add_overflow(m_value, other.m_value, &m_value))
        m_value = other.m_value > 0 ? kMax : kMin;
    return *this;
}

FileSize& FileSize::operator-=(FileSize other)
{
    if (__builtin_sub_overflow(m_value, other.m_value, &m_value))
        m_value = other.m_value < 0 ? kMax : kMin;
    return *this;
}

int FileSize::DigitCount() const
{
    // Compare against powers of ten without ever forming one beyond the
    // 64-bit range: the largest value has 19 digits.
    int count = 1;
    std::uint64_t power = 10;
    while (m_value >= 0 && static_cast<std::uint64_t>(m_value) >= power) {
        ++count;
        if (power > std::numeric_limits<std::uint64_t>::max() / 10) break;
        power *= 10;
    }
    return count;
}

std::string FileSize::ToString() const
{
    // The magnitude of the smallest value does not fit a signed integer.
    std::uint64_t magnitude =
        m_value < 0 ? 0 - static_cast<std::uint64_t>(m_value) : static_cast<std::uint64_t>(m_value);
    char reversed[32];
    int length = 0;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) reversed[length++] = ',';
        reversed[length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude != 0);
    return std::string(std::make_reverse_iterator(reversed + length),
                       std::make_reverse_iterator(reversed));
}
