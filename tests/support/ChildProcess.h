#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace testsupport {

// A child process running words (the program, found on PATH unless it holds
// a '/', then its arguments) with standard input from /dev/null, standard
// output and error on the descriptors given (-1: /dev/null), in folder
// workingDir (empty: ours). Destroying the object kills the child if it still
// runs, and reaps it.
class StartedChild {
public:
    StartedChild(const std::vector<std::string>& words, int outFd, int errFd,
                 const std::string& workingDir = {});
    ~StartedChild();
    StartedChild(const StartedChild&) = delete;
    StartedChild& operator=(const StartedChild&) = delete;

    [[nodiscard]] bool Started() const { return m_pid > 0; }
    [[nodiscard]] pid_t Pid() const { return m_pid; }
    // Sends the signal unless the child has been reaped.
    void Signal(int signal) const;
    // Waits up to timeoutMs (negative: for ever) for the exit and reaps the
    // child; false when it still runs.
    bool WaitForExit(int timeoutMs);
    // Once reaped: the exit status (-1 when a signal ended it).
    [[nodiscard]] int ExitCode() const { return m_exitCode; }

private:
    pid_t m_pid = -1;
    int m_exitFd = -1;  // readable once the child has exited
    bool m_reaped = false;
    int m_exitCode = -1;
};

struct ChildOutcome {
    int exitCode = -1;      // -1: ended by a signal or not run
    bool timedOut = false;  // killed after the deadline
    std::string out;
    std::string err;
};

// Runs words as a StartedChild with standard output and error into files
// under $TMPDIR, and answers what it wrote and how it exited. Kills it and
// sets timedOut after deadlineMs.
ChildOutcome RunChild(const std::vector<std::string>& words, const std::string& workingDir = {},
                      int deadlineMs = 120000);

// A file's whole contents; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace testsupport
