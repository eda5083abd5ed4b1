#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform {
class ImageList;
}

// The small icons of the file list's rows, from the MIME type of each file's
// name (never from its contents). Working out a MIME type from a name takes
// tens of microseconds, so types are remembered by the name's type key: a
// fill looks each name up in that cache (Cached, cheap) and leaves the
// misses for later (Resolve), so that listing a large folder never waits on
// MIME look-ups.
//
// The type key is the part of the name from its first dot on (a leading dot
// of a hidden file does not count), case kept: "a.tar.gz" and "b.tar.gz"
// share ".tar.gz"; a name without a dot is its own key. The first name of a
// key decides the icon of every name with that key.
//
// UI thread only (the image list loads icons).
class FileTypeIcons {
public:
    // images: the small-image list the indexes refer to; not owned, outlives
    // this object.
    explicit FileTypeIcons(platform::ImageList& images) : m_images(images) {}

    [[nodiscard]] platform::ImageList& Images() const { return m_images; }

    // The icon of name if its key was resolved before; no MIME look-up.
    [[nodiscard]] std::optional<int> Cached(std::string_view name) const;
    // The icon of name, working out its MIME type when its key is new.
    int Resolve(const std::string& name);
    // The icon of a file whose type is not known (yet).
    int GenericFileIcon();
    // The icon of a file-system folder.
    int FolderIcon();

    [[nodiscard]] static std::string_view TypeKeyOf(std::string_view name);

private:
    // Names without a dot each make a key; beyond this many keys the cache
    // starts afresh rather than grow without bound.
    static constexpr std::size_t kMaxKeys = 16384;

    platform::ImageList& m_images;
    std::unordered_map<std::string, int> m_byKey;
};
