#include "engine/NameOrder.h"

#include <algorithm>

#include <QString>

#include "platform/DecodedName.h"

namespace {

bool IsAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int CompareNamesNoCase(std::string_view first, std::string_view second)
{
    // Most names are plain ASCII: compare them without decoding.
    if (IsAscii(first) && IsAscii(second)) {
        const std::size_t common = std::min(first.size(), second.size());
        for (std::size_t i = 0; i < common; ++i) {
            const char a = LowerAscii(first[i]);
            const char b = LowerAscii(second[i]);
            if (a != b) {
                return a < b ? -1 : 1;
            }
        }
        return first.size() == second.size() ? 0 : (first.size() < second.size() ? -1 : 1);
    }
    const QString a = platform::DecodedName(first);
    const QString b = platform::DecodedName(second);
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}
