#include "support/HostileTree.h"

#include <climits>
#include <functional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testsupport {

bool MakeSpecialFilesAndLoops(const TempTree& files, const std::string& folder)
{
    const std::string top = folder + "/";
    const bool made =
        files.MakeDir(top + "a") && files.MakeDir(top + "a/b") && files.MakeFifo(top + "a/fifo") &&
        files.MakeSocket(top + "a/socket") && files.MakeSymlink(top + "a/b/loop", "../..") &&
        files.MakeSymlink(top + "self", "self") && files.MakeSymlink(top + "a/ping", "pong") &&
        files.MakeSymlink(top + "a/pong", "ping") &&
        files.MakeFile(top + "a/b/data", "some data") &&
        files.MakeFile(top + "a/data", "some data");
    // A device node needs privilege; where it cannot be made the rest runs.
    if (made) ::mknod(files.Path(top + "a/null").c_str(), S_IFCHR | 0666, makedev(1, 3));
    return made;
}

std::string DeepestFolder(const std::string& folder)
{
    std::string deep = folder + "/deep";
    for (int level = 0; level < 300; ++level) deep += "/d";
    return deep;
}

namespace {

const std::string kLongName(200, 'n');

bool LongerFits(const TempTree& files, const std::string& lengthy)
{
    return files.Path(lengthy).size() + 1 + kLongName.size() + 40 < PATH_MAX;
}

}  // namespace

std::string LongestFolder(const TempTree& files, const std::string& folder)
{
    std::string lengthy = folder + "/long";
    while (LongerFits(files, lengthy)) lengthy += "/" + kLongName;
    return lengthy;
}

bool MakeDeepAndLongPaths(const TempTree& files, const std::string& folder)
{
    std::string deep = folder + "/deep";
    if (!files.MakeDir(deep)) return false;
    for (int level = 0; level < 300; ++level) {
        deep += "/d";
        if (!files.MakeDir(deep)) return false;
    }
    if (!files.MakeFile(deep + "/bottom", std::string(1234, 'b'))) return false;

    // Names of 200 bytes until the full path is a little short of PATH_MAX.
    std::string lengthy = folder + "/long";
    if (!files.MakeDir(lengthy)) return false;
    while (LongerFits(files, lengthy)) {
        lengthy += "/" + kLongName;
        if (!files.MakeDir(lengthy)) return false;
    }
    const std::string tail(PATH_MAX - 2 - files.Path(lengthy).size() - 1, 't');
    return files.MakeFile(lengthy + "/" + tail, "at the limit") &&
           files.MakeFile(lengthy + "/twin", "at the limit");
}

std::vector<std::string> OddFolderNames()
{
    return {"odd\\name\twith\nnewline", "caf\xe9", "\xff\xfe folder", "line\n"};
}

bool MakeOddNames(const TempTree& files, const std::string& folder)
{
    const std::vector<std::string> names = OddFolderNames();
    for (const std::string& name : names) {
        if (!files.MakeDir(folder + "/" + name)) return false;
    }
    return files.MakeFile(folder + "/" + names[0] + "/copy\n1", "twins") &&
           files.MakeFile(folder + "/" + names[0] + "/\n", std::string(300, 'n')) &&
           files.MakeFile(folder + "/" + names[1] + "/\xff\xfe", "twins") &&
           files.MakeFile(folder + "/" + names[1] + "/caf\xe9 \xe9t\xe9", std::string(77, 'e')) &&
           files.MakeFile(folder + "/" + names[2] + "/a\\b", std::string(5000, 'x')) &&
           files.MakeFile(folder + "/" + names[3] + "/\xc3(", std::string(5000, 'x')) &&
           files.MakeFile(folder + "/\xe9\n\t", "twins");
}

bool MakeCrowdedFolder(const TempTree& files, const std::string& folder, int count)
{
    if (!files.MakeDir(folder)) return false;
    // Made relative to the folder's descriptor: no path to look up each time.
    const int dirFd = ::open(files.Path(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    bool made = true;
    for (int i = 0; made && i < count; ++i) {
        const std::string name = "f" + std::to_string(i);
        const int fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            made = false;
            break;
        }
        if (i % 1000 == 0) {
            const std::string contents(i / 1000 % 7 + 1, 'x');
            made = ::write(fd, contents.data(), contents.size()) ==
                   static_cast<ssize_t>(contents.size());
        }
        made = ::close(fd) == 0 && made;
    }
    ::close(dirFd);
    return made;
}

bool MakeUnreadableParts(const TempTree& files, const std::string& folder)
{
    const std::string top = folder + "/";
    return files.MakeDir(top + "open") && files.MakeDir(top + "closed") &&
           files.MakeDir(top + "closed/inner") && files.MakeDir(top + "passonly") &&
           files.MakeFile(top + "closed/hidden", std::string(4000, 'h')) &&
           files.MakeFile(top + "open/copy", std::string(3000, 'c')) &&
           files.MakeFile(top + "open/secret copy", std::string(3000, 'c')) &&
           files.MakeFile(top + "copy", std::string(3000, 'c')) &&
           files.MakeFile(top + "passonly/f", "xyz") &&
           ::chmod(files.Path(top + "open/secret copy").c_str(), 0) == 0 &&
           ::chmod(files.Path(top + "closed").c_str(), 0) == 0 &&
           ::chmod(files.Path(top + "passonly").c_str(), 0711) == 0;
}

bool MakeHugeTwins(const TempTree& files, const std::string& folder, std::uint64_t size,
                   int folders)
{
    if (!files.MakeSparseFile(folder + "/huge1", size) ||
        !files.MakeSparseFile(folder + "/huge2", size)) {
        return false;
    }
    for (int i = 0; i < folders; ++i) {
        const std::string sub = folder + "/d" + std::to_string(i);
        if (!files.MakeDir(sub) || !files.MakeFile(sub + "/f", "x")) return false;
    }
    return true;
}

AsUnprivileged::AsUnprivileged(const std::string& path)
{
    if (::geteuid() != 0) return;
    if (::access("/usr/bin/setpriv", X_OK) != 0) {
        m_usable = false;
        return;
    }
    m_prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    for (std::string folder = path; folder.size() > 1;
         folder = folder.substr(0, folder.rfind('/'))) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) != 0) {
            m_usable = false;
            return;
        }
        if ((status.st_mode & 0005) != 0005) {
            m_opened.emplace_back(folder, status.st_mode & 07777);
            if (::chmod(folder.c_str(), (status.st_mode & 07777) | 0005) != 0) {
                m_usable = false;
                return;
            }
        }
    }
}

AsUnprivileged::~AsUnprivileged()
{
    for (auto it = m_opened.rbegin(); it != m_opened.rend(); ++it)
        ::chmod(it->first.c_str(), it->second);
}

bool AsUnprivileged::Listable(const std::string& folder)
{
    if (::geteuid() != 0) return ::access(folder.c_str(), R_OK | X_OK) == 0;
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && (status.st_mode & S_IROTH) != 0 &&
           (status.st_mode & S_IXOTH) != 0;
}

namespace {

FolderTotals Walk(int dirFd, const std::string& path, const std::string& relative,
                  unsigned long unit, bool (*visible)(const std::string&),
                  std::map<std::string, FolderTotals>& out)
{
    FolderTotals totals;
    out[relative] = {};
    DIR* dir = (visible == nullptr || visible(path)) ? ::fdopendir(dirFd) : nullptr;
    if (dir == nullptr) {
        ::close(dirFd);
        return totals;
    }
    const std::string prefix = relative.empty() ? "" : relative + "/";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat status {};
        if (::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            const int child =
                ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            FolderTotals below;
            if (child >= 0) {
                below = Walk(child, path + "/" + name, prefix + name, unit, visible, out);
            } else {
                out[prefix + name] = {};
            }
            totals.size += below.size;
            totals.diskSpace += below.diskSpace;
            continue;
        }
        const long long length = status.st_size;
        const long long occupied = static_cast<long long>(status.st_blocks) * 512;
        totals.size += length;
        if (occupied < length) {
            totals.diskSpace += occupied;
        } else {
            const long long u = static_cast<long long>(unit);
            totals.diskSpace += (length + u - 1) / u * u;
        }
    }
    ::closedir(dir);
    out[relative] = totals;
    return totals;
}

void SnapshotWalk(int dirFd, const std::string& shown, std::map<std::string, std::string>& out)
{
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat status {};
        if (::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        std::string state = std::to_string(status.st_mode) + " " + std::to_string(status.st_size) +
                            " " + std::to_string(status.st_mtim.tv_sec) + "." +
                            std::to_string(status.st_mtim.tv_nsec);
        if (S_ISREG(status.st_mode) && status.st_size <= (16 << 20)) {
            const int file = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW);
            std::string contents;
            // On the heap: the walk recurses once per level, hundreds deep.
            std::vector<char> buffer(65536);
            for (ssize_t got;
                 file >= 0 && (got = ::read(file, buffer.data(), buffer.size())) > 0;) {
                contents.append(buffer.data(), static_cast<std::size_t>(got));
            }
            if (file >= 0) ::close(file);
            state += " " + std::to_string(std::hash<std::string>{}(contents));
        }
        out[shown + "/" + name] = state;
        if (S_ISDIR(status.st_mode)) {
            const int child =
                ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (child >= 0) SnapshotWalk(child, shown + "/" + name, out);
        }
    }
    ::closedir(dir);
}

}  // namespace

std::map<std::string, FolderTotals> FolderTotalsOnDisk(const std::string& root,
                                                       bool (*visible)(const std::string&))
{
    struct statvfs volume {};
    ::statvfs(root.c_str(), &volume);
    const unsigned long unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
    std::map<std::string, FolderTotals> folders;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) Walk(fd, root, "", unit, visible, folders);
    return folders;
}

std::map<std::string, long long> FilesOf(const std::string& folder)
{
    std::map<std::string, long long> found;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return found;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat status {};
        if (::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(status.st_mode)) {
            found[entry->d_name] = status.st_size;
        }
    }
    ::closedir(dir);
    return found;
}

std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> snapshot;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) SnapshotWalk(fd, "", snapshot);
    return snapshot;
}

Churn::Churn(const TempTree& files, const std::string& folder)
    : m_files(files), m_folder(folder + "/churn")
{
    m_files.MakeDir(m_folder);
    m_files.MakeFile(m_folder + "/twin", std::string(8192, 'h') + std::string(1 << 20, 'a'));
    m_thread = std::thread([this] { Loop(); });
}

Churn::~Churn()
{
    m_stop = true;
    m_thread.join();
}

void Churn::Loop()
{
    const std::string head(8192, 'h');
    for (unsigned round = 0; !m_stop; ++round) {
        const std::string folder = m_folder + "/r" + std::to_string(round % 8);
        if (m_files.MakeDir(folder)) {
            m_files.MakeFile(folder + "/f", std::string(round % 5000, 'c'));
        } else {
            ::unlink(m_files.Path(folder + "/f").c_str());
            ::rmdir(m_files.Path(folder).c_str());
        }
        // Rewritten in place, same length and head as the twin: a
        // comparison that reads it meanwhile sees either body.
        const int fd = ::open(m_files.Path(m_folder + "/rewritten").c_str(),
                              O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const std::string body =
                head + std::string(1 << 20, static_cast<char>('a' + round % 2));
            [[maybe_unused]] const ssize_t written = ::write(fd, body.data(), body.size());
            ::close(fd);
        }
        m_rounds.fetch_add(1);
    }
}

}  // namespace testsupport
