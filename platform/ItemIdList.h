#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What a shell item stands for; the first payload byte of each item.
enum class ShellItemKind : std::uint8_t {
    Computer = 1,  // the virtual folder of the mounted volumes
    Volume = 2,    // a mount point: absolute path, NUL, label (display text)
    Home = 3,      // the user's home directory: absolute real path
    Place = 4,     // a folder of the user's desktop directory: absolute real path
    Folder = 5,    // a subfolder of a file-system folder: its name
};

// An item identifier list in the shell's byte format: a sequence of items,
// each beginning with its 16-bit byte count (the count's own two bytes
// included, native byte order), ended by a zero count. Our payload is a kind
// byte followed by raw name bytes (file names are bytes, not text).
//
// A default-constructed list is "none" (no block at all), which differs from
// the empty list (just the terminator, size 2): the Desktop's own identifier
// is the empty list. Lists are values; copying copies the block.
class ItemIdList {
public:
    ItemIdList() = default;

    // The empty list: the terminator alone.
    static ItemIdList Empty();
    // A list of one item. Payloads longer than an item can hold give none.
    static ItemIdList Single(ShellItemKind kind, const std::string& payload);
    // Adopts a block as it stands; a block that is not a well-formed list
    // (no terminator, counts running past the end, a count below 2) gives none.
    static ItemIdList FromBytes(const std::string& bytes);

    // a without its terminator followed by the whole of b. When one of them
    // is none the result is a copy of the other.
    static ItemIdList Concatenate(const ItemIdList& a, const ItemIdList& b);

    [[nodiscard]] bool IsNone() const { return m_bytes.empty(); }
    [[nodiscard]] bool IsEmpty() const { return m_bytes.size() == 2; }
    // Sum of the items' counts plus 2 for the terminator; 0 for none.
    [[nodiscard]] std::size_t Size() const { return m_bytes.size(); }
    [[nodiscard]] const std::string& Bytes() const { return m_bytes; }

    // The items, each as (kind, payload), in order.
    struct Item {
        ShellItemKind kind;
        std::string payload;
    };
    [[nodiscard]] std::vector<Item> Items() const;
    // The last item; kind 0 and an empty payload for none or empty.
    [[nodiscard]] Item Last() const;

    friend bool operator==(const ItemIdList&, const ItemIdList&) = default;

private:
    explicit ItemIdList(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::string m_bytes;
};

}  // namespace platform
