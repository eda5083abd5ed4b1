#pragma once

#include <string>
#include <vector>

#include "support/ChildProcess.h"

// Runs the built larkspur-report (its path is the compile definition
// LARKSPUR_REPORT_PROGRAM) as a child process, and works out from the files
// themselves what it ought to print.
namespace reporttest {

using Outcome = testsupport::ChildOutcome;

// Runs the program with arguments, stdout and stderr into files under
// $TMPDIR, in folder workingDir (empty: ours). prefix goes before the
// program (for example {"setpriv", "--reuid=nobody", ...}). Kills it and
// sets timedOut after deadlineMs.
Outcome RunReport(const std::vector<std::string>& arguments, const std::string& workingDir = {},
                  const std::vector<std::string>& prefix = {}, int deadlineMs = 120000);

// The folder lines for root's subtree as the files stand: every folder, and
// for each the sum of the lengths (and disk space) of every entry that is
// not a folder in its subtree, disk space as the volume allocates it (a
// sparse file: its blocks; other files: the length rounded up to whole
// allocation units). shownRoot stands for root in the paths. Folders whose
// contents visible(path) says are hidden count as empty. Sorted in byte
// order; the escaped output form.
std::vector<std::string> ExpectedFolderLines(const std::string& root, const std::string& shownRoot,
                                             bool (*visible)(const std::string& folder) = nullptr);

// The lines of out that start with prefix (for example "folder\t").
std::vector<std::string> LinesStartingWith(const std::string& out, const std::string& prefix);

}  // namespace reporttest
