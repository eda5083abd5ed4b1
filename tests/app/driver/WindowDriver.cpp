// larkspur-window-driver: the program as the user runs it, on the offscreen
// platform, driven from outside by the shutdown tests. It starts the
// application as main() does, clicks a folder (as a plain left click does),
// and closes the main window (as the window manager's close does) at a
// chosen moment of the scan; then it lets the application quit and returns
// what exec() returned.
//
//   larkspur-window-driver scanning FOLDER [CHANGES]
//       closes once the frame's status text has changed CHANGES times
//       (default 1: a task runs), counted as seen at each look
//   larkspur-window-driver comparing FOLDER FILE1 FILE2
//       closes once the program holds both files open (the duplicate
//       search is comparing them)
//   larkspur-window-driver sizes FOLDER
//       closes once the scan has ended, after printing a line
//       "folder\tSIZE\tDISK SPACE\tPATH" for every folder record below
//       FOLDER (PATH relative to it, "" for FOLDER itself; backslash, tab
//       and newline escaped as \\, \t and \n), as far as sizes are known
//
// It writes "closing while scanning" (or "closing after the scan" when the
// scan had ended) on a line of its own to standard output just before it
// closes the window, so that the test can time the way to the exit.
// Refuses to run outside the scratch folders of isolated-run.sh, since the
// application writes its settings.
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include <QTimer>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/FolderPopulation.h"
#include "engine/FolderRecord.h"
#include "engine/TaskManager.h"
#include "resources/StringTable.h"
#include "support/IsolatedEnvironment.h"
#include "support/ReportEscaping.h"
#include "tree/LarkspurBrowserView.h"

namespace {

std::string Real(const char* path)
{
    char resolved[PATH_MAX];
    return ::realpath(path, resolved) != nullptr ? resolved : "";
}

// Whether this process has both files open.
bool HoldsOpen(const std::string& first, const std::string& second)
{
    bool sawFirst = false;
    bool sawSecond = false;
    for (int fd = 0; fd < 256; ++fd) {
        char target[PATH_MAX];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
        if (length <= 0) continue;
        const std::string path(target, static_cast<std::size_t>(length));
        sawFirst = sawFirst || path == first;
        sawSecond = sawSecond || path == second;
    }
    return sawFirst && sawSecond;
}

// The sizes line of every folder record in top's subtree that knows its
// totals.
void PrintSizes(const LarkspurBrowserView& tree, const FolderRecord& top)
{
    std::vector<std::pair<const FolderRecord*, std::string>> pending{{&top, ""}};
    while (!pending.empty()) {
        const auto [record, relative] = pending.back();
        pending.pop_back();
        if (record->Has(FolderRecord::TreeSizeKnown)) {
            std::printf("folder\t%lld\t%lld\t%s\n",
                        static_cast<long long>(record->treeSize.Bytes()),
                        static_cast<long long>(record->treeDiskSpace.Bytes()),
                        testsupport::ReportEscaped(relative).c_str());
        }
        for (TreeItemRecord* child = tree.FirstChildRecord(*record); child != nullptr;
             child = tree.NextSiblingRecord(*child)) {
            pending.emplace_back(static_cast<const FolderRecord*>(child),
                                 relative.empty() ? child->name : relative + "/" + child->name);
        }
    }
}

int Usage()
{
    std::fputs(
        "usage: larkspur-window-driver scanning FOLDER | comparing FOLDER FILE1 FILE2 | "
        "sizes FOLDER\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!InIsolatedEnvironment()) return 1;
    if (argc < 3) return Usage();
    const bool scanning = std::strcmp(argv[1], "scanning") == 0;
    const bool comparing = std::strcmp(argv[1], "comparing") == 0;
    const bool sizes = std::strcmp(argv[1], "sizes") == 0;
    const bool argumentsFit = scanning ? argc <= 4 : comparing ? argc == 5 : argc == 3;
    if (!(scanning || comparing || sizes) || !argumentsFit) return Usage();
    const int changesWanted = scanning && argc == 4 ? std::atoi(argv[3]) : 1;
    const std::string folder = Real(argv[2]);
    const std::string first = comparing ? Real(argv[3]) : std::string();
    const std::string second = comparing ? Real(argv[4]) : std::string();
    if (folder.empty()) return Usage();

    std::setlocale(LC_ALL, "");
    // The application sees no arguments of ours: it would take the first
    // as the name of a document.
    int qtArgc = 1;
    CLarkspurApp application(qtArgc, argv);
    if (!application.InitInstance()) return 1;
    CMainFrame* frame = application.MainFrame();
    LarkspurBrowserView* tree = TheMainView->Tree();

    const TreeItem item = FolderPopulation::BringPathIntoTree(*tree, folder);
    if (item == TreeItem::None) return 1;
    tree->PopulateChildren(item);
    tree->OnItemClicked(*tree->RecordOf(item), false);
    if (!tree->IsScanning()) return 1;

    // Looks for the moment at every turn of the event loop that a short
    // timer makes: neither condition announces itself.
    const QString idle = resources::StringTable::Load(resources::IDS_IDLE_PROMPT);
    QString lastText = idle;
    int changes = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        bool now = false;
        if (comparing) {
            now = HoldsOpen(first, second);
        } else if (sizes) {
            now = !tree->IsScanning() && TaskManager::Instance().PendingCount() == 0;
        } else {
            const QString text = frame->MessageText();
            if (text != lastText) ++changes;
            lastText = text;
            now = changes >= changesWanted;
        }
        if (!now) return;
        watch.stop();
        if (sizes) PrintSizes(*tree, *static_cast<FolderRecord*>(tree->RecordOf(item)));
        std::fputs(tree->IsScanning() ? "closing while scanning\n" : "closing after the scan\n",
                   stdout);
        std::fflush(stdout);
        frame->close();
    });
    watch.start(2);
    return application.exec();
}
