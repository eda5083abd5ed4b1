#pragma once

#include <functional>
#include <string>

#include <QString>

class FolderRecord;
class QWidget;

// Opens files of the tree's folders with their default applications, for
// the file list and both duplicate lists. UI thread.
class FileLauncher {
public:
    // Opens name (raw bytes) in folder. A failure is reported in a message
    // box owned by owner, naming the file: no application for its type
    // (40004), no permission (40005), or any other failure (40006).
    static void OpenFile(QWidget* owner, const FolderRecord& folder, const std::string& name);

    // Tests put their own launch and report in place; empty functions
    // restore the real ones.
    using Launch = std::function<int(const std::string& name, const std::string& directory)>;
    using Report = std::function<void(QWidget* owner, int stringId, const QString& fileName)>;
    static void SetForTesting(Launch launch, Report report);
};
