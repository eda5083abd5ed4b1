#include "lists/FileTypeIcons.h"

#include "platform/ImageList.h"
#include "platform/ShellIcons.h"

std::string_view FileTypeIcons::TypeKeyOf(std::string_view name)
{
    const std::size_t dot = name.find('.', 1);
    return dot == std::string_view::npos ? name : name.substr(dot);
}

std::optional<int> FileTypeIcons::Cached(std::string_view name) const
{
    // A string key for the look-up: the map's keys are std::string, and a
    // heterogeneous find needs a transparent hash, which is not worth it for
    // keys this short.
    const auto found = m_byKey.find(std::string(TypeKeyOf(name)));
    if (found == m_byKey.end()) {
        return std::nullopt;
    }
    return found->second;
}

int FileTypeIcons::Resolve(const std::string& name)
{
    if (const std::optional<int> cached = Cached(name)) {
        return *cached;
    }
    const int icon = m_images.IndexOf(platform::ShellIcons::MimeTypeOfFileName(name));
    if (m_byKey.size() >= kMaxKeys) {
        m_byKey.clear();
    }
    m_byKey.emplace(std::string(TypeKeyOf(name)), icon);
    return icon;
}

int FileTypeIcons::GenericFileIcon() { return m_images.IndexOf("application/octet-stream"); }

int FileTypeIcons::FolderIcon() { return m_images.IndexOf(platform::ShellIcons::kFolder); }
