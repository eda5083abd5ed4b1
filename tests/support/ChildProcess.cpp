#include "support/ChildProcess.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

StartedChild::StartedChild(const std::vector<std::string>& words, int outFd, int errFd,
                           const std::string& workingDir)
{
    std::vector<std::string> copies = words;
    std::vector<char*> argv;
    for (std::string& word : copies) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (const auto& [fd, target] : {std::pair{outFd, 1}, std::pair{errFd, 2}}) {
        if (fd < 0)
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_WRONLY, 0);
        else
            posix_spawn_file_actions_adddup2(&actions, fd, target);
    }
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    if (::posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (m_pid > 0) m_exitFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
}

StartedChild::~StartedChild()
{
    Signal(SIGKILL);
    WaitForExit(-1);
    if (m_exitFd >= 0) ::close(m_exitFd);
}

void StartedChild::Signal(int signal) const
{
    if (Started() && !m_reaped) ::kill(m_pid, signal);
}

bool StartedChild::WaitForExit(int timeoutMs)
{
    if (!Started()) return false;
    if (m_reaped) return true;
    // Without a descriptor to watch only an unlimited wait can be kept.
    pollfd watch{m_exitFd, POLLIN, 0};
    const bool exited = m_exitFd >= 0 ? ::poll(&watch, 1, timeoutMs) == 1 : timeoutMs < 0;
    if (!exited) return false;
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_reaped = true;
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

ChildOutcome RunChild(const std::vector<std::string>& words, const std::string& workingDir,
                      int deadlineMs)
{
    ChildOutcome outcome;
    const std::string base =
        std::string(std::getenv("TMPDIR")) + "/child-run." + std::to_string(::getpid());
    const std::string outPath = base + ".out";
    const std::string errPath = base + ".err";
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    const int out = ::open(outPath.c_str(), flags, 0644);
    const int err = ::open(errPath.c_str(), flags, 0644);
    if (out >= 0 && err >= 0) {
        StartedChild child(words, out, err, workingDir);
        if (child.Started()) {
            outcome.timedOut = !child.WaitForExit(deadlineMs);
            outcome.exitCode = child.ExitCode();
        }
    }
    for (const int fd : {out, err}) ::close(fd);  // -1 when not opened: harmless
    outcome.out = ReadWholeFile(outPath);
    outcome.err = ReadWholeFile(errPath);
    for (const std::string& path : {outPath, errPath}) ::unlink(path.c_str());
    return outcome;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace testsupport
