#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/TempTree.h"

// Folder trees that try to break a scan, shared by the tests of the report
// and of the window; and what a faithful scan of them must find, worked out
// from the files themselves.
//
// Every builder makes its parts below folder (relative to files, which must
// exist already) and answers false on the first failure, errno set.
namespace testsupport {

// A FIFO, a bound socket, a character device where privilege allows one
// (its absence is no failure), a link to an ancestor, a link to itself, two
// links to each other, and two small files in folders a and a/b.
bool MakeSpecialFilesAndLoops(const TempTree& files, const std::string& folder);

// deep/d/d/... 300 levels with one file at the bottom, and long/NNN/NNN/...
// (names of 200 bytes) down to a file whose full path is one byte short of
// PATH_MAX, with a twin of the same contents beside it.
bool MakeDeepAndLongPaths(const TempTree& files, const std::string& folder);
// The relative paths of the bottom folders of MakeDeepAndLongPaths.
std::string DeepestFolder(const std::string& folder);
std::string LongestFolder(const TempTree& files, const std::string& folder);

// Folders and files whose names are not UTF-8 or hold a newline, a tab or a
// backslash, with twin files across them.
bool MakeOddNames(const TempTree& files, const std::string& folder);
// The names of the folders MakeOddNames makes, raw bytes.
std::vector<std::string> OddFolderNames();

// count files in folder (made here): every thousandth holds a few bytes,
// the rest are empty.
bool MakeCrowdedFolder(const TempTree& files, const std::string& folder, int count);

// open/ (readable, with a copy), closed/ (mode 0, with a file and a folder
// inside), passonly/ (mode 0711), a copy at the top and a copy of it
// nobody may read (open/"secret copy", mode 0).
bool MakeUnreadableParts(const TempTree& files, const std::string& folder);

// Unreadable parts mean nothing to root, who reads everything: as root a
// program under test runs as nobody instead (through setpriv), which needs
// the folders above the tree to let others pass. While this object lives,
// every folder from path up to / lets others read and pass; the destructor
// gives back their modes. Not root: nothing changes and no prefix is needed.
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
    // Whether the program's user may list folder.
    static bool Listable(const std::string& folder);

private:
    bool m_usable = true;
    std::vector<std::string> m_prefix;
    std::vector<std::pair<std::string, unsigned>> m_opened;
};

// Two identical sparse files huge1 and huge2 of size bytes each, whose
// comparison takes seconds, and folders folders d0.. each with one byte.
bool MakeHugeTwins(const TempTree& files, const std::string& folder, std::uint64_t size,
                   int folders);

// The totals a scan must find for one folder: over every entry that is not
// a folder in its subtree, the sum of the lengths and of the disk space as
// the volume allocates it (a sparse file: its blocks; others: the length
// rounded up to whole allocation units).
struct FolderTotals {
    long long size = 0;
    long long diskSpace = 0;
    friend bool operator==(const FolderTotals&, const FolderTotals&) = default;
    friend std::ostream& operator<<(std::ostream& out, const FolderTotals& totals)
    {
        return out << "{size " << totals.size << ", disk space " << totals.diskSpace << "}";
    }
};

// Every folder in root's subtree (root itself as "") by its path relative
// to root ("a", "a/b"), with its totals. Folders whose contents visible(full
// path) says are hidden, or that cannot be opened, count as empty. Walks
// with descriptors, so that any depth and path length works.
std::map<std::string, FolderTotals> FolderTotalsOnDisk(
    const std::string& root, bool (*visible)(const std::string& folder) = nullptr);

// The entries of folder that are not folders, by raw name, with their
// lengths (lstat: a link's own length).
std::map<std::string, long long> FilesOf(const std::string& folder);

// What every file and folder under root looks like: type, mode, length,
// modification time and, for regular files up to 16 MiB, a hash of the
// contents. Two snapshots are equal when nothing was changed.
std::map<std::string, std::string> Snapshot(const std::string& root);

// Makes and removes folders and files below folder/churn, and rewrites
// folder/churn/rewritten (same head and size as folder/churn/twin, which
// the constructor makes) so that it changes while it is compared, until
// destroyed. Nothing outside folder/churn changes.
class Churn {
public:
    Churn(const TempTree& files, const std::string& folder);
    ~Churn();
    Churn(const Churn&) = delete;
    Churn& operator=(const Churn&) = delete;

    // Rounds of changes made so far.
    [[nodiscard]] unsigned Rounds() const { return m_rounds.load(); }

private:
    void Loop();

    const TempTree& m_files;
    const std::string m_folder;
    std::atomic<bool> m_stop{false};
    std::atomic<unsigned> m_rounds{0};
    std::thread m_thread;
};

}  // namespace testsupport
