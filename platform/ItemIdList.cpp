#include "platform/ItemIdList.h"

#include <cstring>
#include <limits>

namespace platform {

namespace {

std::uint16_t CountAt(const std::string& bytes, std::size_t offset)
{
    std::uint16_t count = 0;
    std::memcpy(&count, bytes.data() + offset, sizeof count);
    return count;
}

void AppendCount(std::string& bytes, std::uint16_t count)
{
    char raw[sizeof count];
    std::memcpy(raw, &count, sizeof count);
    bytes.append(raw, sizeof raw);
}

// Length of the items of a well-formed block without its terminator, or
// npos when the block is not well formed.
std::size_t ItemsLength(const std::string& bytes)
{
    std::size_t offset = 0;
    while (offset + 2 <= bytes.size()) {
        const std::uint16_t count = CountAt(bytes, offset);
        if (count == 0) {
            return offset + 2 == bytes.size() ? offset : std::string::npos;
        }
        if (count < 3 || offset + count > bytes.size()) {
            return std::string::npos;
        }
        offset += count;
    }
    return std::string::npos;
}

}  // namespace

ItemIdList ItemIdList::Empty()
{
    std::string bytes;
    AppendCount(bytes, 0);
    return ItemIdList(std::move(bytes));
}

ItemIdList ItemIdList::Single(ShellItemKind kind, const std::string& payload)
{
    const std::size_t count = 2 + 1 + payload.size();
    if (count > std::numeric_limits<std::uint16_t>::max()) {
        return {};
    }
    std::string bytes;
    bytes.reserve(count + 2);
    AppendCount(bytes, static_cast<std::uint16_t>(count));
    bytes.push_back(static_cast<char>(kind));
    bytes += payload;
    AppendCount(bytes, 0);
    return ItemIdList(std::move(bytes));
}

ItemIdList ItemIdList::FromBytes(const std::string& bytes)
{
    if (ItemsLength(bytes) == std::string::npos) {
        return {};
    }
    return ItemIdList(bytes);
}

ItemIdList ItemIdList::Concatenate(const ItemIdList& a, const ItemIdList& b)
{
    if (a.IsNone()) {
        return b;
    }
    if (b.IsNone()) {
        return a;
    }
    std::string bytes = a.m_bytes.substr(0, a.m_bytes.size() - 2);
    bytes += b.m_bytes;
    return ItemIdList(std::move(bytes));
}

std::vector<ItemIdList::Item> ItemIdList::Items() const
{
    std::vector<Item> items;
    std::size_t offset = 0;
    while (offset + 2 <= m_bytes.size()) {
        const std::uint16_t count = CountAt(m_bytes, offset);
        if (count < 3) {
            break;
        }
        items.push_back(Item{static_cast<ShellItemKind>(m_bytes[offset + 2]),
                             m_bytes.substr(offset + 3, count - 3u)});
        offset += count;
    }
    return items;
}

ItemIdList::Item ItemIdList::Last() const
{
    std::vector<Item> items = Items();
    if (items.empty()) {
        return Item{static_cast<ShellItemKind>(0), {}};
    }
    return items.back();
}

}  // namespace platform
