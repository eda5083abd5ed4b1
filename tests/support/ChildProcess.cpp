#include "support/ChildProcess.h"

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

extern char** environ;

namespace testsupport {
namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ChildOutcome RunChild(const std::vector<std::string>& words, const std::string& workingDir,
                      int deadlineMs)
{
    ChildOutcome outcome;
    const std::string base =
        std::string(std::getenv("TMPDIR")) + "/child-run." + std::to_string(::getpid());
    const std::string outPath = base + ".out";
    const std::string errPath = base + ".err";

    std::vector<std::string> copies = words;
    std::vector<char*> argv;
    for (std::string& word : copies) argv.push_back(word.data());
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

}  // namespace testsupport
