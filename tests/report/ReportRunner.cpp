#include "ReportRunner.h"

#include <algorithm>
#include <map>
#include <set>

#include "support/HostileTree.h"
#include "support/ReportEscaping.h"

namespace reporttest {

testsupport::ChildOutcome RunReport(const std::vector<std::string>& arguments,
                                    const std::string& workingDir,
                                    const std::vector<std::string>& prefix)
{
    std::vector<std::string> words = prefix;
    words.push_back(LARKSPUR_REPORT_PROGRAM);
    words.insert(words.end(), arguments.begin(), arguments.end());
    return testsupport::RunChild(words, workingDir);
}

std::string ExpectedReport(const std::string& root, const std::string& shownRoot, bool sizeOnly)
{
    using testsupport::ReportEscaped;
    std::vector<testsupport::FoundFile> files;
    const auto shown = [&](const std::string& relative) {
        return relative.empty() ? shownRoot : shownRoot + "/" + relative;
    };
    // Byte order of the printed paths, which is not the map's order of
    // relative paths ('/' sorts before other bytes in a path, not in a name).
    std::map<std::string, std::string> folders;
    for (const auto& [relative, totals] :
         testsupport::FolderTotalsOnDisk(root, testsupport::AsUnprivileged::Listable, &files)) {
        folders[shown(relative)] = "folder\t" + std::to_string(totals.diskSpace) + "\t" +
                                   std::to_string(totals.size) + "\t" +
                                   ReportEscaped(shown(relative)) + "\n";
    }
    std::string out;
    for (const auto& [path, line] : folders) out += line;
    if (sizeOnly) return out;

    // Copies: files of equal bytes, one link of each file (the tree holds no
    // link to a file that has copies, whose other links would each start
    // a group of their own in the order the folders list them).
    std::set<std::pair<dev_t, ino_t>> seen;
    std::erase_if(files, [&](const auto& file) {
        return !seen.insert({file.device, file.inode}).second;
    });
    std::map<long long, int> ofSize;  // only sizes that two files share are read
    for (const testsupport::FoundFile& file : files) ++ofSize[file.size];
    std::map<std::string, std::vector<std::string>> byContents;
    for (const testsupport::FoundFile& file : files) {
        if (ofSize[file.size] < 2) continue;
        const std::string bytes = testsupport::ReadWholeFile(root + "/" + file.relative);
        byContents[bytes].push_back(shown(file.relative));
    }
    // Largest first, then by the first copy's path.
    std::map<std::pair<long long, std::string>, std::vector<std::string>> groups;
    for (auto& [bytes, copies] : byContents) {
        std::sort(copies.begin(), copies.end());
        const auto size = static_cast<long long>(bytes.size());
        if (copies.size() > 1) groups[{-size, copies.front()}] = copies;
    }
    for (const auto& [key, copies] : groups) {
        out += "group\t" + std::to_string(-key.first) + "\t" + std::to_string(copies.size()) + "\n";
        for (const std::string& copy : copies) out += "copy\t" + ReportEscaped(copy) + "\n";
    }
    return out;
}

}  // namespace reporttest
