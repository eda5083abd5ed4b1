#pragma once

#include <string>
#include <vector>

namespace platform {

// One line of the kernel's mount table (/proc/self/mountinfo).
struct MountEntry {
    std::string mountPoint;  // absolute, octal escapes (\040 ...) decoded
    std::string root;        // the mounted directory inside its file system
    std::string fsType;      // "ext4", "nfs4", "fuse.sshfs" ...
    std::string source;      // "/dev/sda1", "server:/export", "tmpfs" ...
};

// The mounted volumes that hold the user's files, as Computer lists them.
//
// Reading the table never touches a mount itself, so a dead network mount
// cannot block it; the only per-volume query (is the mount point a
// directory) is made for block-device mounts alone.
class MountTable {
public:
    // Parses mountinfo text; malformed lines are skipped.
    static std::vector<MountEntry> Parse(const std::string& text);
    // The current process's table; empty when it cannot be read.
    static std::vector<MountEntry> ReadCurrent();

    // Block-device, network and FUSE file systems are volumes; kernel pseudo
    // file systems and memory file systems are not, nor the desktop's own
    // FUSE helpers (fuse.gvfsd-fuse, fuse.portal). "/" always is.
    static bool IsVolume(const MountEntry& entry);
    // File systems served over the network or by a user-space daemon, which
    // may hang when their server is gone: never queried on the UI thread.
    static bool IsRemote(const MountEntry& entry);

    // The volumes of a table, in table order. A mount point mounted over
    // keeps only its last (visible) entry. With checkDirectories, a
    // block-device mount whose mount point is not a directory (a file bind
    // mount) is left out; mount points inside a remote mount are not looked
    // at and are kept.
    static std::vector<MountEntry> Volumes(const std::vector<MountEntry>& table,
                                           bool checkDirectories);

    // The entry whose mount point holds path (the longest matching mount
    // point, whole components only); null when none does.
    static const MountEntry* Containing(const std::vector<MountEntry>& table,
                                        const std::string& path);

    // The file-system label of a block device (from /dev/disk/by-label);
    // empty when it has none.
    static std::string LabelOf(const std::string& device);

    // The text shown for a volume: "LABEL (MOUNT POINT)", LABEL being the
    // label or else the mount point's last name ("/" for the root).
    static std::string DisplayName(const std::string& label, const std::string& mountPoint);
};

}  // namespace platform
