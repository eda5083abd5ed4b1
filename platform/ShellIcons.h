#pragma once

#include <string>

namespace platform {

// Icon keys, as the system image list (ImageList) takes them. Working out a
// key never touches the disk, so the worker may do it; turning a key into an
// icon and an index is done on the UI thread.
class ShellIcons {
public:
    static constexpr const char* kFolder = "inode/directory";
    static constexpr const char* kOpenFolder = "folder-open";
    static constexpr const char* kComputer = "computer";
    static constexpr const char* kVolume = "drive-harddisk";
    static constexpr const char* kRemoteVolume = "folder-remote";
    static constexpr const char* kHome = "user-home";

    // The MIME type name of a file, from its name alone (raw bytes); never
    // reads or stats the file. "application/octet-stream" when unknown.
    // Thread-safe.
    static std::string MimeTypeOfFileName(const std::string& name);
};

}  // namespace platform
