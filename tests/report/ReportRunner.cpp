#include "ReportRunner.h"

#include <algorithm>
#include <sstream>

#include "support/HostileTree.h"
#include "support/ReportEscaping.h"

namespace reporttest {

Outcome RunReport(const std::vector<std::string>& arguments, const std::string& workingDir,
                  const std::vector<std::string>& prefix, int deadlineMs)
{
    std::vector<std::string> words = prefix;
    words.push_back(LARKSPUR_REPORT_PROGRAM);
    words.insert(words.end(), arguments.begin(), arguments.end());
    return testsupport::RunChild(words, workingDir, deadlineMs);
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
                        std::to_string(totals.size) + "\t" + testsupport::ReportEscaped(path));
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
