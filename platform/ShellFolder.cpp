#include "platform/ShellFolder.h"

#include <climits>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "platform/DirectorySearch.h"
#include "platform/MountTable.h"
#include "platform/ShellIcons.h"

namespace platform {

namespace {

std::string WithSlash(const std::string& path)
{
    return (path.empty() || path.back() == '/') ? path : path + "/";
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string LastName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == path.size()) {
        return path;
    }
    return path.substr(slash + 1);
}

// The only item of a relative identifier; kind 0 when it has not one item.
ItemIdList::Item OnlyItem(const ItemIdList& child)
{
    std::vector<ItemIdList::Item> items = child.Items();
    if (items.size() != 1) {
        return {static_cast<ShellItemKind>(0), {}};
    }
    return items.front();
}

// The subfolders of a directory, symbolic links and other devices left out.
bool ListSubfolders(const std::string& path, std::vector<std::string>& names)
{
    DirectorySearch search;
    FindData entry;
    if (!search.Start(WithSlash(path) + "*", entry, SearchDetail::TypeOnly)) {
        return false;
    }
    do {
        if (entry.IsDirectory() && entry.name != "." && entry.name != "..") {
            names.push_back(entry.name);
        }
    } while (search.Next(entry));
    return true;
}

class FileSystemFolder final : public ShellFolder {
public:
    explicit FileSystemFolder(std::string path) : m_path(std::move(path)) {}

    bool EnumFolders(std::vector<ItemIdList>& children) const override
    {
        std::vector<std::string> names;
        if (!ListSubfolders(m_path, names)) {
            return false;
        }
        for (const std::string& name : names) {
            ItemIdList id = ItemIdList::Single(ShellItemKind::Folder, name);
            if (!id.IsNone()) {
                children.push_back(std::move(id));
            }
        }
        return true;
    }

    std::shared_ptr<ShellFolder> BindToFolder(const ItemIdList& child) const override
    {
        const ItemIdList::Item item = OnlyItem(child);
        if (item.kind != ShellItemKind::Folder || item.payload.empty() ||
            item.payload.find('/') != std::string::npos) {
            return nullptr;
        }
        return ForPath(WithSlash(m_path) + item.payload);
    }

private:
    std::string m_path;
};

class ComputerFolder final : public ShellFolder {
public:
    bool EnumFolders(std::vector<ItemIdList>& children) const override
    {
        const std::vector<MountEntry> table = MountTable::ReadCurrent();
        if (table.empty()) {
            return false;
        }
        for (const MountEntry& volume : MountTable::Volumes(table, true)) {
            const std::string label = (volume.source.rfind("/dev/", 0) == 0)
                                          ? MountTable::LabelOf(volume.source)
                                          : std::string();
            std::string payload = volume.mountPoint;
            payload.push_back('\0');
            payload += label;
            // Remote volumes are told apart in the payload's last byte, so
            // that their icon needs no query of the mount.
            payload.push_back(MountTable::IsRemote(volume) ? 'r' : 'l');
            ItemIdList id = ItemIdList::Single(ShellItemKind::Volume, payload);
            if (!id.IsNone()) {
                children.push_back(std::move(id));
            }
        }
        return true;
    }

    std::shared_ptr<ShellFolder> BindToFolder(const ItemIdList& child) const override
    {
        const ItemIdList::Item item = OnlyItem(child);
        if (item.kind != ShellItemKind::Volume) {
            return nullptr;
        }
        return ForPath(item.payload.substr(0, item.payload.find('\0')));
    }
};

class DesktopFolder final : public ShellFolder {
public:
    bool EnumFolders(std::vector<ItemIdList>& children) const override
    {
        children.push_back(ItemIdList::Single(ShellItemKind::Computer, "Computer"));
        const std::string home = RealPath(QFile::encodeName(QDir::homePath()).toStdString());
        if (!home.empty()) {
            children.push_back(ItemIdList::Single(ShellItemKind::Home, home));
        }
        const QString desktopLocation =
            QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        const std::string desktop =
            desktopLocation.isEmpty() ? std::string()
                                      : RealPath(QFile::encodeName(desktopLocation).toStdString());
        std::vector<std::string> names;
        if (!desktop.empty() && ListSubfolders(desktop, names)) {
            for (const std::string& name : names) {
                ItemIdList id = ItemIdList::Single(ShellItemKind::Place, WithSlash(desktop) + name);
                if (!id.IsNone()) {
                    children.push_back(std::move(id));
                }
            }
        }
        return true;
    }

    std::shared_ptr<ShellFolder> BindToFolder(const ItemIdList& child) const override
    {
        const ItemIdList::Item item = OnlyItem(child);
        switch (item.kind) {
            case ShellItemKind::Computer:
                return std::make_shared<ComputerFolder>();
            case ShellItemKind::Home:
            case ShellItemKind::Place:
                return item.payload.empty() ? nullptr : ForPath(item.payload);
            default:
                return nullptr;
        }
    }
};

}  // namespace

std::shared_ptr<ShellFolder> ShellFolder::Desktop() { return std::make_shared<DesktopFolder>(); }

std::shared_ptr<ShellFolder> ShellFolder::ForPath(const std::string& path)
{
    return std::make_shared<FileSystemFolder>(path);
}

std::string ShellFolder::DisplayNameOf(const ItemIdList& child) const
{
    const ItemIdList::Item item = OnlyItem(child);
    switch (item.kind) {
        case ShellItemKind::Computer:
            return "Computer";
        case ShellItemKind::Home:
            return "Home";
        case ShellItemKind::Place:
            return LastName(item.payload);
        case ShellItemKind::Volume: {
            const std::size_t nul = item.payload.find('\0');
            if (nul == std::string::npos) {
                return MountTable::DisplayName({}, item.payload);
            }
            std::string label = item.payload.substr(nul + 1);
            if (!label.empty()) {
                label.pop_back();  // the remote mark
            }
            return MountTable::DisplayName(label, item.payload.substr(0, nul));
        }
        case ShellItemKind::Folder:
            return item.payload;
    }
    return {};
}

ShellFolder::IconKeys ShellFolder::IconKeysOf(const ItemIdList& child)
{
    const ItemIdList::Item item = child.Last();
    switch (item.kind) {
        case ShellItemKind::Computer:
            return {ShellIcons::kComputer, ShellIcons::kComputer};
        case ShellItemKind::Home:
            return {ShellIcons::kHome, ShellIcons::kHome};
        case ShellItemKind::Volume: {
            const bool remote = !item.payload.empty() && item.payload.back() == 'r' &&
                                item.payload.find('\0') != std::string::npos;
            const char* key = remote ? ShellIcons::kRemoteVolume : ShellIcons::kVolume;
            return {key, key};
        }
        default:
            return {ShellIcons::kFolder, ShellIcons::kOpenFolder};
    }
}

std::string ShellFolder::PathFromIdList(const ItemIdList& absolute)
{
    std::string path;
    for (const ItemIdList::Item& item : absolute.Items()) {
        switch (item.kind) {
            case ShellItemKind::Computer:
                path.clear();
                break;
            case ShellItemKind::Volume:
                path = item.payload.substr(0, item.payload.find('\0'));
                break;
            case ShellItemKind::Home:
            case ShellItemKind::Place:
                path = item.payload;
                break;
            case ShellItemKind::Folder:
                if (path.empty()) {
                    return {};
                }
                path = WithSlash(path) + item.payload;
                break;
            default:
                return {};
        }
    }
    return path;
}

}  // namespace platform
