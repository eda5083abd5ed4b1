// larkspur-window-driver: the program as the user runs it, offscreen, for
// the shutdown tests. It starts the application as main() does, clicks
// FOLDER and closes the main window as the window manager does, either once
// the status text has changed CHANGES times (or the scan has ended) or once
// the program holds FILE1 and FILE2 open (the duplicate search compares
// them); then it returns what exec() returned. Just before the close it
// writes "closing while scanning" (or "closing after the scan"), and as the
// process's last act "closed to exit: N ms".
//
//   larkspur-window-driver FOLDER (CHANGES | FILE1 FILE2)
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <QTimer>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "support/IsolatedEnvironment.h"
#include "tree/LarkspurBrowserView.h"

namespace {

// Made before anything else, so destroyed after everything else: writes the
// time from the close to the end of the process.
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
    if (!InIsolatedEnvironment()) return 1;
    const bool comparing = argc == 4;
    const std::string folder = argc > 2 ? Real(argv[1]) : std::string();
    if ((argc != 3 && argc != 4) || folder.empty()) {
        std::fputs("usage: larkspur-window-driver FOLDER (CHANGES | FILE1 FILE2)\n", stderr);
        return 2;
    }
    const int changesWanted = comparing ? 0 : std::atoi(argv[2]);
    const std::string first = comparing ? Real(argv[2]) : std::string();
    const std::string second = comparing ? Real(argv[3]) : std::string();

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
