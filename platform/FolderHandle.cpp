#include "platform/FolderHandle.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FolderHandle::~FolderHandle() { Close(); }

bool FolderHandle::Open(const std::string& path)
{
    Close();
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_device = status.st_dev;
    m_inode = status.st_ino;
    return true;
}

void FolderHandle::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_device = 0;
    m_inode = 0;
}

}  // namespace platform
