#include "platform/MountTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <sstream>

namespace platform {

namespace {

// mountinfo escapes space, tab, newline and backslash as \ooo.
std::string DecodeOctal(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out.push_back(static_cast<char>(std::strtol(digits.c_str(), nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

// udev escapes unsafe bytes of labels as \xHH.
std::string DecodeHex(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i + 3 < name.size() && name.compare(i, 2, "\\x") == 0) {
            const std::string digits = name.substr(i + 2, 2);
            if (digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
                out.push_back(static_cast<char>(std::strtol(digits.c_str(), nullptr, 16)));
                i += 3;
                continue;
            }
        }
        out.push_back(name[i]);
    }
    return out;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

constexpr std::array kNetworkTypes{"nfs",  "nfs4",  "cifs",  "smb3",      "smbfs", "ncpfs",
                                   "afs",  "ceph",  "9p",    "glusterfs", "coda",  "lustre",
                                   "gfs2", "ocfs2", "davfs", "webdav"};

bool IsNetworkType(const std::string& type)
{
    for (const char* network : kNetworkTypes) {
        if (type == network) {
            return true;
        }
    }
    return false;
}

bool IsUserSpaceType(const std::string& type)
{
    return type == "fuse" || StartsWith(type, "fuse.");
}

// A mount point inside a network or user-space mount is reached through
// that mount: looking it up may wait for a server that is gone.
bool UnderRemoteMount(const std::vector<MountEntry>& table, const MountEntry& entry)
{
    if (entry.mountPoint == "/") {
        return false;
    }
    const std::string parent = entry.mountPoint.substr(0, entry.mountPoint.find_last_of('/'));
    const MountEntry* holder = MountTable::Containing(table, parent.empty() ? "/" : parent);
    return holder != nullptr && holder != &entry && MountTable::IsRemote(*holder);
}

}  // namespace

std::vector<MountEntry> MountTable::Parse(const std::string& text)
{
    // ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - FSTYPE SOURCE SUPEROPTIONS
    std::vector<MountEntry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        std::string word;
        while (fields >> word) {
            words.push_back(word);
        }
        std::size_t separator = 6;
        while (separator < words.size() && words[separator] != "-") {
            ++separator;
        }
        if (words.size() < 6 || separator + 2 >= words.size()) {
            continue;
        }
        MountEntry entry;
        entry.root = DecodeOctal(words[3]);
        entry.mountPoint = DecodeOctal(words[4]);
        entry.fsType = words[separator + 1];
        entry.source = DecodeOctal(words[separator + 2]);
        if (entry.mountPoint.empty() || entry.mountPoint[0] != '/') {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MountEntry> MountTable::ReadCurrent()
{
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return Parse(text);
}

bool MountTable::IsRemote(const MountEntry& entry)
{
    return IsNetworkType(entry.fsType) || IsUserSpaceType(entry.fsType);
}

bool MountTable::IsVolume(const MountEntry& entry)
{
    if (entry.mountPoint == "/") {
        return true;
    }
    if (entry.fsType == "fuse.gvfsd-fuse" || entry.fsType == "fuse.portal") {
        return false;
    }
    if (IsNetworkType(entry.fsType) || IsUserSpaceType(entry.fsType) || entry.fsType == "fuseblk") {
        return true;
    }
    // A block device; memory and kernel file systems name no device here.
    return StartsWith(entry.source, "/dev/") && entry.fsType != "devtmpfs";
}

std::vector<MountEntry> MountTable::Volumes(const std::vector<MountEntry>& table,
                                            bool checkDirectories)
{
    std::vector<MountEntry> volumes;
    for (const MountEntry& entry : table) {
        // A later mount on the same point hides the earlier one, whatever it is.
        for (auto it = volumes.begin(); it != volumes.end(); ++it) {
            if (it->mountPoint == entry.mountPoint) {
                volumes.erase(it);
                break;
            }
        }
        if (!IsVolume(entry)) {
            continue;
        }
        if (checkDirectories && !IsRemote(entry) && !UnderRemoteMount(table, entry)) {
            struct stat status {};
            if (::lstat(entry.mountPoint.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
                continue;
            }
        }
        volumes.push_back(entry);
    }
    return volumes;
}

const MountEntry* MountTable::Containing(const std::vector<MountEntry>& table,
                                         const std::string& path)
{
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : table) {
        const std::string& point = entry.mountPoint;
        const bool inside = point == "/"
                                ? StartsWith(path, "/")
                                : (StartsWith(path, point.c_str()) &&
                                   (path.size() == point.size() || path[point.size()] == '/'));
        // Later entries hide earlier ones on the same point.
        if (inside && (best == nullptr || point.size() >= best->mountPoint.size())) {
            best = &entry;
        }
    }
    return best;
}

std::string MountTable::LabelOf(const std::string& device)
{
    char resolvedDevice[PATH_MAX];
    if (::realpath(device.c_str(), resolvedDevice) == nullptr) {
        return {};
    }
    const char* const folder = "/dev/disk/by-label";
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) {
        return {};
    }
    std::string label;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        char target[PATH_MAX];
        const std::string link = std::string(folder) + "/" + name;
        if (::realpath(link.c_str(), target) != nullptr && std::string(target) == resolvedDevice) {
            label = DecodeHex(name);
            break;
        }
    }
    ::closedir(dir);
    return label;
}

std::string MountTable::DisplayName(const std::string& label, const std::string& mountPoint)
{
    std::string name = label;
    if (name.empty()) {
        const std::size_t slash = mountPoint.find_last_of('/');
        name = (slash == std::string::npos || slash + 1 == mountPoint.size())
                   ? mountPoint
                   : mountPoint.substr(slash + 1);
    }
    return name + " (" + mountPoint + ")";
}

}  // namespace platform
