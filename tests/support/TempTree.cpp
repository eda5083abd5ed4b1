#include "support/TempTree.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Empties the folder open as fd, then closes fd. Anything that is not a
// folder goes at the first try, which never follows a link; a folder is
// made writable and passable, then emptied through its own descriptor.
void RemoveContents(int fd)
{
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) return (void)::close(fd);
    std::vector<std::string> names;
    while (const dirent* found = ::readdir(dir)) {
        if (std::strcmp(found->d_name, ".") != 0 && std::strcmp(found->d_name, "..") != 0)
            names.emplace_back(found->d_name);
    }
    const int at = ::dirfd(dir);
    for (const std::string& name : names) {
        if (::unlinkat(at, name.c_str(), 0) == 0) continue;
        ::fchmodat(at, name.c_str(), 0700, 0);
        const int child =
            ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) RemoveContents(child);
        ::unlinkat(at, name.c_str(), AT_REMOVEDIR);
    }
    ::closedir(dir);
}

}  // namespace

TempTree::TempTree()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/larkspur-tree.XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) m_root = pattern;
}

TempTree::~TempTree()
{
    if (m_root.empty()) return;
    ::chmod(m_root.c_str(), 0700);
    const int fd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) RemoveContents(fd);
    ::rmdir(m_root.c_str());
}

std::string TempTree::Path(const std::string& relative) const { return m_root + "/" + relative; }

std::string TempTree::RealPath(const std::string& relative) const
{
    char* resolved = ::realpath(Path(relative).c_str(), nullptr);
    const std::string path = resolved != nullptr ? resolved : "";
    std::free(resolved);
    return path;
}

bool TempTree::MakeDir(const std::string& relative) const
{
    return ::mkdir(Path(relative).c_str(), 0755) == 0;
}

bool TempTree::MakeFile(const std::string& relative, const std::string& contents) const
{
    const int fd = ::open(Path(relative).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written =
        ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
    return ::close(fd) == 0 && written;
}

bool TempTree::MakeSparseFile(const std::string& relative, std::uint64_t size) const
{
    return MakeFile(relative) && ::truncate(Path(relative).c_str(), static_cast<off_t>(size)) == 0;
}

bool TempTree::MakeSymlink(const std::string& relative, const std::string& target) const
{
    return ::symlink(target.c_str(), Path(relative).c_str()) == 0;
}

bool TempTree::MakeHardLink(const std::string& relative, const std::string& existing) const
{
    return ::link(Path(existing).c_str(), Path(relative).c_str()) == 0;
}

bool TempTree::MakeFifo(const std::string& relative) const
{
    return ::mkfifo(Path(relative).c_str(), 0644) == 0;
}

bool TempTree::MakeSocket(const std::string& relative) const
{
    const std::string path = Path(relative);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return errno = ENAMETOOLONG, false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    errno = error;
    return bound;
}
