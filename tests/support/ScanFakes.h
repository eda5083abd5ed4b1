#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/DupFileList.h"
#include "engine/DupGroup.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/FolderListDisplay.h"
#include "engine/FolderScan.h"
#include "engine/WindowMessages.h"
#include "model/TreeAccess.h"

// Stand-ins for the panes and the main view around a scanned folder tree,
// and a way to find its records.
namespace testsupport {

// Stands in for the main view and the frame: hands the worker's messages to
// the scan, keeps the status texts, and lets a test act at those moments.
class FakeMainView : public platform::MessageWindow {
public:
    FolderScan* scan = nullptr;
    std::vector<std::string> statusTexts;
    std::function<void()> afterTasks;
    std::function<void(const std::string&)> onStatus;

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam) override
    {
        if (message == UM_TASK_DONE) {
            scan->ProcessCompletedTasks();
            if (afterTasks) afterTasks();
        } else if (message == UM_CLEAR_FOLDER_DUPS) {
            scan->Duplicates().ClearFolderDuplicates(
                *reinterpret_cast<const FolderRecordRef*>(wParam));
        } else if (message == UM_STATUS_TEXT) {
            statusTexts.push_back(*reinterpret_cast<const std::string*>(wParam));
            if (onStatus) onStatus(statusTexts.back());
        }
        return 0;
    }
};

// The file list; the duplicate marks it would show are dropped (window 0).
class FakeFileList : public FolderListDisplay, public DupFileList {
public:
    std::vector<FolderRecord*> shown;
    int refreshes = 0;
    std::set<const FolderRecord*> forgotten;

    void SetFolder(FolderRecord* folder) override { shown.push_back(folder); }
    void Refresh() override { ++refreshes; }
    void UpdateFolderRow(FolderRecord&) override {}
    void ForgetFolder(FolderRecord& folder) override { forgotten.insert(&folder); }
    void SelectFileByName(const std::string&) override {}
    void RefreshMarks() override {}
    platform::WindowHandle DupStateWindow() const override { return 0; }
    void MarkFolderSearched(FolderRecord&) override {}
};

// Lists the groups of two or more, as the duplicates pane does.
class FakeDuplicatesPane : public DuplicatesDisplay {
public:
    std::set<const DupGroup*> listed;
    std::vector<std::string> calls;

    void AddOrUpdateGroup(DupGroup& group) override
    {
        if (group.MemberCount() > 1) listed.insert(&group);
    }
    void RemoveGroup(DupGroup& group) override { listed.erase(&group), calls.push_back("remove"); }
    void RefreshGroup(DupGroup& group) override
    {
        if (group.MemberCount() < 2) listed.erase(&group);
        calls.push_back("refresh");
    }
    void ClearAll() override { listed.clear(), calls.push_back("clear"); }
    void EnableLists(bool on) override { calls.push_back(on ? "enable" : "disable"); }
};

// The folder record at relative below top ("a/b"; "" is top itself), found
// through the tree's items; null when the tree does not hold it.
inline FolderRecord* RecordBelow(TreeAccess& tree, TreeItemRecord* top, const std::string& relative)
{
    TreeItemRecord* record = top;
    for (std::size_t start = 0; record != nullptr && start < relative.size();) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        const std::string name = relative.substr(start, end - start);
        record = tree.FirstChildRecord(*record);
        while (record != nullptr && record->name != name) record = tree.NextSiblingRecord(*record);
        start = end + 1;
    }
    return static_cast<FolderRecord*>(record);
}

}  // namespace testsupport
