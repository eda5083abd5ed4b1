#pragma once

#include <string>
#include <vector>

#include "support/ChildProcess.h"

// Runs the built larkspur-report (LARKSPUR_REPORT_PROGRAM) as a process, and
// works out from the files themselves what it ought to print.
namespace reporttest {

// Runs the program with arguments in folder workingDir (empty: ours), after
// the words of prefix (for example setpriv's); kills it after two minutes.
testsupport::ChildOutcome RunReport(const std::vector<std::string>& arguments,
                                    const std::string& workingDir = {},
                                    const std::vector<std::string>& prefix = {});

// The whole output for root's subtree as the files stand, shownRoot standing
// for root in the paths, with the duplicate groups unless sizeOnly. What
// the program's user may not read (AsUnprivileged::Listable) is not seen.
std::string ExpectedReport(const std::string& root, const std::string& shownRoot, bool sizeOnly);

}  // namespace reporttest
