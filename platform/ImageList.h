#pragma once

#include <string>

#include <QVariant>

namespace platform {

// The process-wide list of small icons, addressed by index, that the folder
// tree and the file list share. An icon is asked for by its key: a MIME type
// name ("text/plain", "inode/directory") or a desktop icon name ("folder-open",
// "computer", "drive-harddisk", "user-home"). The implementation (in the
// framework, with the icon theme) loads each icon once and keeps its index.
//
// UI thread only: the worker works out keys, never icons.
class ImageList {
public:
    virtual ~ImageList() = default;

    // Index of the icon for key, loading it on first use; never fails (an
    // unknown key gets a generic file or folder icon).
    virtual int IndexOf(const std::string& key) = 0;
    // The icon at index as a QVariant holding a QIcon; empty for a bad index.
    virtual QVariant Icon(int index) const = 0;

    // The system image list, as the icon queries return it: the one the
    // framework registered at start-up, or null (headless use).
    static ImageList* System();
    static void SetSystem(ImageList* list);
};

}  // namespace platform
