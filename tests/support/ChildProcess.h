#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ChildOutcome {
    int exitCode = -1;      // -1: ended by a signal or not run
    bool timedOut = false;  // killed after the deadline
    std::string out;
    std::string err;
};

// Runs words (the program, found on PATH unless it holds a '/', then its
// arguments) as a child process with standard input from /dev/null and
// standard output and error into files under $TMPDIR, in folder workingDir
// (empty: ours), and answers what it wrote and how it exited. Kills it and
// sets timedOut after deadlineMs.
ChildOutcome RunChild(const std::vector<std::string>& words, const std::string& workingDir = {},
                      int deadlineMs = 120000);

}  // namespace testsupport
