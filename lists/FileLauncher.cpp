#include "lists/FileLauncher.h"

#include "engine/FolderRecord.h"
#include "framework/MessageBox.h"
#include "platform/DecodedName.h"
#include "platform/ShellActions.h"
#include "resources/StringTable.h"
#include "model/TreeItemRecord.h"

namespace {

FileLauncher::Launch& LaunchOverride()
{
    static FileLauncher::Launch launch;
    return launch;
}

FileLauncher::Report& ReportOverride()
{
    static FileLauncher::Report report;
    return report;
}

int MessageFor(int result)
{
    switch (result) {
        case platform::kLaunchNoApplication:
            return resources::IDS_OPEN_NO_APPLICATION;
        case platform::kLaunchAccessDenied:
            return resources::IDS_OPEN_ACCESS_DENIED;
        default:
            return resources::IDS_OPEN_FAILED;
    }
}

}  // namespace

void FileLauncher::OpenFile(QWidget* owner, const FolderRecord& folder, const std::string& name)
{
    // The name is taken relative to the folder, which is empty for a folder
    // outside the file system.
    const std::string directory = DirectoryPathOf(folder);
    const int result = LaunchOverride() ? LaunchOverride()(name, directory)
                                        : platform::ShellActions::LaunchDefault(name, directory);
    if (result > 32) {
        return;
    }
    const int stringId = MessageFor(result);
    const QString fileName = platform::DecodedName(name);
    if (ReportOverride()) {
        ReportOverride()(owner, stringId, fileName);
        return;
    }
    framework::MessageBox::Show(owner, stringId, {fileName}, QMessageBox::Warning);
}

void FileLauncher::SetForTesting(Launch launch, Report report)
{
    LaunchOverride() = std::move(launch);
    ReportOverride() = std::move(report);
}
