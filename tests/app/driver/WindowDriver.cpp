// larkspur-window-driver FOLDER (CHANGES | FILE1 FILE2): the application,
// offscreen, clicks FOLDER and closes its main window once the status text has
// changed CHANGES times (or the scan has ended), or once it holds FILE1 and
// FILE2 open. It writes "closing while scanning" (or "... after the scan")
// before the close and "closed to exit: N ms" as the process's last act.
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
#include "engine/TaskManager.h"
#include "support/IsolatedEnvironment.h"
#include "tree/LarkspurBrowserView.h"

namespace {

// Made first, so destroyed last: writes the time from the close to the exit.
struct ExitTimer {
    std::optional<std::chrono::steady_clock::time_point> closed;
    ~ExitTimer()
    {
        if (!closed) return;
        const auto took = std::chrono::steady_clock::now() - *closed;
        std::printf("closed to exit: %lld ms\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    }
} exitTimer;

std::string Real(const char* path)
{
    std::error_code error;
    return std::filesystem::canonical(path, error).string();
}

// Whether this process has both files open.
bool HoldsOpen(const std::string& first, const std::string& second)
{
    int held = 0;
    for (int fd = 0; fd < 256; ++fd) {
        std::error_code error;
        const auto path =
            std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
        held |= (path == first ? 1 : 0) | (path == second ? 2 : 0);
    }
    return held == 3;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!InIsolatedEnvironment() || argc < 3 || argc > 4) return 2;
    const bool comparing = argc == 4;
    const std::string folder = Real(argv[1]);
    const int changesWanted = comparing ? 0 : std::atoi(argv[2]);
    const std::string first = comparing ? Real(argv[2]) : std::string();
    const std::string second = comparing ? Real(argv[3]) : std::string();

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
    QString lastText = frame->MessageText();
    int changes = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QString text = frame->MessageText();
        changes += text != lastText ? 1 : 0;
        lastText = text;
        const bool ended = !tree->IsScanning() && TaskManager::Instance().PendingCount() == 0;
        if (!(comparing ? HoldsOpen(first, second) : changes >= changesWanted || ended)) return;
        watch.stop();
        std::fputs(tree->IsScanning() ? "closing while scanning\n" : "closing after the scan\n",
                   stdout);
        exitTimer.closed = std::chrono::steady_clock::now();
        frame->close();
    });
    watch.start(2);
    return application.exec();
}
