#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ItemIdList.h"

namespace platform {

// A folder of the shell namespace: the Desktop (the root), Computer with the
// mounted volumes, and file-system folders (Home, the folders of the user's
// desktop directory, a volume, any folder below them).
//
//   Desktop
//     Computer               the volumes of the mount table (MountTable)
//       LABEL (MOUNT POINT)  a file-system folder
//     Home                   the home directory (real path)
//     NAME ...               each subfolder of the desktop directory (real path;
//                            symbolic links are not followed)
//
// Held by std::shared_ptr, which counts the references: a tree record and a
// queued enumeration may share one folder. Identifiers given to and returned
// by a folder are relative to it (one item each); absolute identifiers start
// at the Desktop.
//
// Thread-safe: a folder is immutable, and enumeration only reads the disk and
// the mount table. Nothing here queries a network mount itself.
class ShellFolder {
public:
    virtual ~ShellFolder() = default;

    // The root of the namespace.
    static std::shared_ptr<ShellFolder> Desktop();

    // The child folders, hidden ones included, in the file system's order
    // (Computer, Home, then the desktop's folders for the Desktop). False when
    // the folder cannot be listed.
    [[nodiscard]] virtual bool EnumFolders(std::vector<ItemIdList>& children) const = 0;
    // The name of a child as shown in this folder: raw bytes for file-system
    // folders, UTF-8 text for the others.
    [[nodiscard]] std::string DisplayNameOf(const ItemIdList& child) const;
    // The child's own folder; null when the child is not a folder of this one.
    [[nodiscard]] virtual std::shared_ptr<ShellFolder> BindToFolder(
        const ItemIdList& child) const = 0;

    struct IconKeys {
        std::string closed;
        std::string open;
    };
    // The keys of a child's small icons (closed and open), for ImageList.
    [[nodiscard]] static IconKeys IconKeysOf(const ItemIdList& child);

    // The file-system path of an absolute identifier; empty when it has none
    // (the Desktop, Computer). Works on the bytes alone.
    [[nodiscard]] static std::string PathFromIdList(const ItemIdList& absolute);

    // A file-system folder by path (used to bind, and by tests).
    [[nodiscard]] static std::shared_ptr<ShellFolder> ForPath(const std::string& path);
};

}  // namespace platform
