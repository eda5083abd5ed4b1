#include "ReportRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/HostileTree.h"

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
    // Byte order of the printed paths: the map's order of relative paths
    // is not it ('/' sorts before other bytes in a path, not in a name).
    std::vector<std::pair<std::string, testsupport::FolderTotals>> folders;
    for (const auto& [relative, totals] : testsupport::FolderTotalsOnDisk(root, visible))
        folders.emplace_back(relative.empty() ? shownRoot : shownRoot + "/" + relative, totals);
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

}  // namespace reporttest
