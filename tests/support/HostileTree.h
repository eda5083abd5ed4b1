#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "support/TempTree.h"

// What a faithful scan of a folder tree must find, worked out from the files
// themselves with descriptors (any depth and path length), and a way to run
// a program as a user who cannot read everything.
namespace testsupport {

// Root reads everything: as root a program under test runs as nobody
// (setpriv), and while this object lives every folder from path up to / lets
// others read and pass. Not root: nothing changes and no prefix is needed.
class AsUnprivileged {
public:
    explicit AsUnprivileged(const std::string& path);
    ~AsUnprivileged();
    AsUnprivileged(const AsUnprivileged&) = delete;
    AsUnprivileged& operator=(const AsUnprivileged&) = delete;

    // False when root and there is no setpriv or a folder could not be
    // opened: the test must skip.
    [[nodiscard]] bool Usable() const { return m_usable; }
    // Words to run before the program (empty when not root).
    [[nodiscard]] const std::vector<std::string>& Prefix() const { return m_prefix; }
    // Whether the program's user may list the folder (or read the file).
    static bool Listable(const std::string& path);

private:
    bool m_usable = true;
    std::vector<std::string> m_prefix;
    std::vector<std::pair<std::string, unsigned>> m_opened;
};

// Two identical sparse files huge1 and huge2 of size bytes each, whose
// comparison takes seconds, and folders d0.. each with one byte.
bool MakeHugeTwins(const TempTree& files, const std::string& folder, std::uint64_t size,
                   int folders);

// The totals a scan must find for one folder's subtree: over every entry
// that is not a folder, each link on its own, the sum of the lengths (lstat)
// and of the disk space: the occupied blocks, or the length rounded up to
// whole allocation units of the volume when that is less.
struct FolderTotals {
    long long size = 0, diskSpace = 0;
    friend bool operator==(const FolderTotals&, const FolderTotals&) = default;
};

// A regular file, not empty, that the program's user may read.
struct FoundFile {
    std::string relative;
    long long size = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// Every folder in root's subtree (root itself as "") by its path relative
// to root ("a", "a/b"), with its totals; folders visible(full path) hides,
// or that cannot be opened, count as empty; none on other volumes. files
// gets the regular files, not empty, that visible lets be read.
std::map<std::string, FolderTotals> FolderTotalsOnDisk(
    const std::string& root, bool (*visible)(const std::string& path) = nullptr,
    std::vector<FoundFile>* files = nullptr);

// What every file and folder under root looks like, by relative path: type,
// mode, length and modification time. Equal snapshots: nothing was changed.
std::map<std::string, std::string> Snapshot(const std::string& root);

}  // namespace testsupport
