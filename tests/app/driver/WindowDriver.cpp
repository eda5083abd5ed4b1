// larkspur-window-driver FOLDER SIZED: the application, offscreen, clicks
// FOLDER and closes its main window once SIZED folders have their own sizes
// (or the scan has ended). It writes "closing while scanning" (or "...
// after the scan") before the close and "closed to exit: N ms" as the
// process's last act.
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <optional>

#include <QTimer>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/FolderPopulation.h"
#include "engine/FolderRecord.h"
#include "engine/TaskManager.h"
#include "support/IsolatedEnvironment.h"
#include "tree/LarkspurBrowserView.h"

namespace {

using namespace std::chrono;

// Made first, so destroyed last: writes the time from the close to the exit.
struct ExitTimer {
    std::optional<steady_clock::time_point> closed;
    ~ExitTimer()
    {
        if (!closed) return;
        const auto took = duration_cast<milliseconds>(steady_clock::now() - *closed);
        std::printf("closed to exit: %lld ms\n", static_cast<long long>(took.count()));
    }
} exitTimer;

}  // namespace

int main(int argc, char** argv)
{
    if (!InIsolatedEnvironment() || argc != 3) return 2;
    const std::string folder = std::filesystem::weakly_canonical(argv[1]).string();
    const int sizedWanted = std::atoi(argv[2]);

    std::setlocale(LC_ALL, "");
    // No arguments of ours: the application would take one for a document.
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

    // Neither moment announces itself: a short timer looks for it.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        int sized = 0;
        tree->ForEachInSubtree(*tree->RecordOf(item), [&sized](TreeItemRecord& record) {
            sized += static_cast<FolderRecord&>(record).Has(FolderRecord::OwnSizeKnown) ? 1 : 0;
        });
        const bool ended = !tree->IsScanning() && TaskManager::Instance().PendingCount() == 0;
        if (sized < sizedWanted && !ended) return;
        watch.stop();
        std::fputs(tree->IsScanning() ? "closing while scanning\n" : "closing after the scan\n",
                   stdout);
        exitTimer.closed = steady_clock::now();
        frame->close();
    });
    watch.start(2);
    return application.exec();
}
