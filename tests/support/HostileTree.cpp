#include "support/HostileTree.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace testsupport {

AsUnprivileged::AsUnprivileged(const std::string& path)
{
    if (::geteuid() != 0) return;
    m_usable = ::access("/usr/bin/setpriv", X_OK) == 0;
    m_prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    for (std::string folder = path; m_usable && folder.size() > 1;
         folder = folder.substr(0, folder.rfind('/'))) {
        struct stat status {};
        m_usable = ::stat(folder.c_str(), &status) == 0;
        const unsigned mode = status.st_mode & 07777;
        if (m_usable && (mode & 0005) != 0005) {
            m_opened.emplace_back(folder, mode);
            m_usable = ::chmod(folder.c_str(), mode | 0005) == 0;
        }
    }
}

AsUnprivileged::~AsUnprivileged()
{
    for (auto it = m_opened.rbegin(); it != m_opened.rend(); ++it)
        ::chmod(it->first.c_str(), it->second);
}

bool AsUnprivileged::Listable(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return false;
    const bool folder = S_ISDIR(status.st_mode);
    if (::geteuid() != 0) return ::access(path.c_str(), folder ? R_OK | X_OK : R_OK) == 0;
    return (status.st_mode & S_IROTH) != 0 && (!folder || (status.st_mode & S_IXOTH) != 0);
}

bool MakeHugeTwins(const TempTree& files, const std::string& folder, std::uint64_t size,
                   int folders)
{
    bool made = files.MakeSparseFile(folder + "/huge1", size) &&
                files.MakeSparseFile(folder + "/huge2", size);
    for (int i = 0; made && i < folders; ++i) {
        const std::string sub = folder + "/d" + std::to_string(i);
        made = files.MakeDir(sub) && files.MakeFile(sub + "/f", "x");
    }
    return made;
}

namespace {

// One walk for the totals, the files and the snapshot; each may be unused.
struct Walker {
    long long unit = 1;
    dev_t device = 0;
    bool (*visible)(const std::string&) = nullptr;
    std::map<std::string, FolderTotals> totals;
    std::vector<FoundFile>* files = nullptr;
    std::map<std::string, std::string> states;

    FolderTotals Walk(int dirFd, const std::string& path, const std::string& relative)
    {
        FolderTotals sum;
        totals[relative] = {};
        DIR* dir = (visible == nullptr || visible(path)) ? ::fdopendir(dirFd) : nullptr;
        if (dir == nullptr) {
            ::close(dirFd);
            return sum;
        }
        const std::string prefix = relative.empty() ? "" : relative + "/";
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            struct stat status {};
            if (name == "." || name == ".." ||
                ::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            states[prefix + name] = std::to_string(status.st_mode) + " " +
                                    std::to_string(status.st_size) + " " +
                                    std::to_string(status.st_mtim.tv_sec) + "." +
                                    std::to_string(status.st_mtim.tv_nsec);
            if (S_ISDIR(status.st_mode)) {
                if (status.st_dev != device) continue;
                const int child =
                    ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
                const FolderTotals below = child >= 0
                                               ? Walk(child, path + "/" + name, prefix + name)
                                               : (totals[prefix + name] = {});
                sum.size += below.size;
                sum.diskSpace += below.diskSpace;
                continue;
            }
            const long long length = status.st_size;
            sum.size += length;
            sum.diskSpace += std::min(static_cast<long long>(status.st_blocks) * 512,
                                      (length + unit - 1) / unit * unit);
            if (files != nullptr && S_ISREG(status.st_mode) && length > 0 &&
                (visible == nullptr || visible(path + "/" + name))) {
                files->push_back({prefix + name, length, status.st_dev, status.st_ino});
            }
        }
        ::closedir(dir);
        return totals[relative] = sum;
    }

    Walker& Run(const std::string& root)
    {
        struct statvfs volume {};
        struct stat status {};
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && ::fstatvfs(fd, &volume) == 0 && ::fstat(fd, &status) == 0) {
            unit = std::max<long long>(volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize, 1);
            device = status.st_dev;
            Walk(fd, root, "");
        } else if (fd >= 0) {
            ::close(fd);
        }
        return *this;
    }
};

}  // namespace

std::map<std::string, FolderTotals> FolderTotalsOnDisk(const std::string& root,
                                                       bool (*visible)(const std::string&),
                                                       std::vector<FoundFile>* files)
{
    Walker walker;
    walker.visible = visible;
    walker.files = files;
    return std::move(walker.Run(root).totals);
}

std::map<std::string, std::string> Snapshot(const std::string& root)
{
    return std::move(Walker().Run(root).states);
}

}  // namespace testsupport
