#include "ReportRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace reporttest {
namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Escaped(const std::string& path)
{
    std::string escaped;
    for (const char c : path) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

struct Totals {
    long long size = 0;
    long long diskSpace = 0;
};

// Walks with descriptors, so that any depth and path length works.
Totals Walk(int dirFd, const std::string& path, const std::string& shown, unsigned long unit,
            bool (*visible)(const std::string&), std::vector<std::pair<std::string, Totals>>& out)
{
    Totals totals;
    const std::size_t index = out.size();
    out.push_back({shown, {}});
    DIR* dir = (visible == nullptr || visible(path)) ? ::fdopendir(dirFd) : nullptr;
    if (dir == nullptr) {
        ::close(dirFd);
        return totals;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat status {};
        if (::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            const int child =
                ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            Totals below;
            if (child >= 0) {
                below = Walk(child, path + "/" + name, shown + "/" + name, unit, visible, out);
            } else {
                out.push_back({shown + "/" + name, {}});
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
    out[index].second = totals;
    return totals;
}

}  // namespace

Outcome RunReport(const std::vector<std::string>& arguments, const std::string& workingDir,
                  const std::vector<std::string>& prefix, int deadlineMs)
{
    Outcome outcome;
    const std::string base =
        std::string(std::getenv("TMPDIR")) + "/report-run." + std::to_string(::getpid());
    const std::string outPath = base + ".out";
    const std::string errPath = base + ".err";

    std::vector<std::string> words = prefix;
    words.push_back(LARKSPUR_REPORT_PROGRAM);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    pid_t child = -1;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return outcome;

    // A descriptor of the child that becomes readable when it exits.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    pollfd watch{pidFd, POLLIN, 0};
    if (pidFd < 0 || ::poll(&watch, 1, deadlineMs) != 1) {
        ::kill(child, SIGKILL);
        outcome.timedOut = true;
    }
    if (pidFd >= 0) ::close(pidFd);
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadWhole(outPath);
    outcome.err = ReadWhole(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return outcome;
}

std::vector<std::string> ExpectedFolderLines(const std::string& root, const std::string& shownRoot,
                                             bool (*visible)(const std::string&))
{
    struct statvfs volume {};
    ::statvfs(root.c_str(), &volume);
    const unsigned long unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
    std::vector<std::pair<std::string, Totals>> folders;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) Walk(fd, root, shownRoot, unit, visible, folders);
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> lines;
    for (const auto& [path, totals] : folders) {
        lines.push_back("folder\t" + std::to_string(totals.diskSpace) + "\t" +
                        std::to_string(totals.size) + "\t" + Escaped(path));
    }
    return lines;
}

std::vector<std::string> LinesStartingWith(const std::string& out, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

namespace {

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

std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> snapshot;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) SnapshotWalk(fd, "", snapshot);
    return snapshot;
}

}  // namespace reporttest
