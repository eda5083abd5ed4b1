// Scanning a tree of 200,000 files with the sized folder tree, as a click on
// its top folder does, against `du -s` of the same tree in the same run; and
// how late the UI thread's event loop answers while the scan runs.
//
// Usage: larkspur_bench_scan [FILES [SEED]]. Runs offscreen; the tree is
// made in a fresh folder under $TMPDIR and removed at the end.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "platform/MessageQueue.h"
#include "tree/LarkspurBrowserView.h"

namespace {

// Files per folder on average; folders hang under a random earlier folder,
// so depths vary as in a real home directory.
constexpr int kFilesPerFolder = 100;
// Share of files that copy an earlier file's contents.
constexpr double kCopyShare = 0.05;

bool WriteFile(const std::string& path, const std::string& contents)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok =
        ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
    return ::close(fd) == 0 && ok;
}

// Makes the tree; returns false on any failure.
bool MakeTree(const std::string& root, int files, unsigned seed)
{
    std::mt19937 random(seed);
    const int folderCount = std::max(1, files / kFilesPerFolder);
    std::vector<std::string> folders{root};
    for (int i = 1; i < folderCount; ++i) {
        const std::string& parent = folders[random() % folders.size()];
        const std::string folder = parent + "/d" + std::to_string(i);
        if (::mkdir(folder.c_str(), 0755) != 0) return false;
        folders.push_back(folder);
    }
    std::uniform_int_distribution<int> sizes(1, 6000);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::vector<std::string> earlier;
    for (int i = 0; i < files; ++i) {
        std::string contents;
        if (!earlier.empty() && share(random) < kCopyShare) {
            contents = earlier[random() % earlier.size()];
        } else {
            contents.resize(sizes(random));
            for (char& c : contents) c = static_cast<char>(random());
            if (earlier.size() < 1000) earlier.push_back(contents);
        }
        const std::string& folder = folders[random() % folders.size()];
        if (!WriteFile(folder + "/f" + std::to_string(i), contents)) return false;
    }
    return true;
}

// Stands in for the main view: hands the worker's messages to the tree and
// ends the wait once the walk is idle.
class MainView : public platform::MessageWindow {
public:
    LarkspurBrowserView* view = nullptr;
    QEventLoop* loop = nullptr;

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam) override
    {
        if (message == UM_TASK_DONE) {
            view->ProcessCompletedTasks();
            if (loop != nullptr && !view->IsScanning() &&
                TaskManager::Instance().PendingCount() == 0) {
                loop->quit();
            }
        } else if (message == UM_CLEAR_FOLDER_DUPS) {
            view->ClearFolderDuplicates(*reinterpret_cast<const FolderRecordRef*>(wParam));
        }
        return 0;
    }
};

struct ScanResult {
    double seconds = 0;
    FileSize diskSpace;
    std::vector<double> lateMs;  // how late each 10 ms tick came
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

ScanResult Scan(LarkspurBrowserView& view, MainView& main, TreeItem top)
{
    ScanResult result;
    QEventLoop loop;
    main.loop = &loop;

    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        result.lateMs.push_back(std::max(0.0, double(sinceTick.nsecsElapsed()) / 1e6 - 10.0));
        sinceTick.restart();
    });

    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticks.start();
    // What a plain left click on the folder does: populate it, then scan.
    view.PopulateChildren(top);
    view.OnItemClicked(*view.RecordOf(top), false);
    loop.exec();
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    ticks.stop();
    main.loop = nullptr;
    result.diskSpace = static_cast<FolderRecord*>(view.RecordOf(top))->treeDiskSpace;
    return result;
}

void Report(const char* what, const ScanResult& result, double duSeconds)
{
    std::printf("%-34s %8.2f s  (%5.1f x du)  disk space %s bytes\n", what, result.seconds,
                duSeconds > 0 ? result.seconds / duSeconds : 0.0,
                result.diskSpace.ToString().c_str());
    std::printf(
        "  UI event loop lateness over %zu ticks of 10 ms: p50 %.1f ms, p99 %.1f ms, "
        "max %.1f ms\n",
        result.lateMs.size(), Percentile(result.lateMs, 0.50), Percentile(result.lateMs, 0.99),
        result.lateMs.empty() ? 0.0
                              : *std::max_element(result.lateMs.begin(), result.lateMs.end()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 42u;

    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    char resolved[PATH_MAX];
    const std::string root =
        ::realpath(scratch.path().toStdString().c_str(), resolved) ? resolved : "";
    QElapsedTimer clock;
    clock.start();
    if (root.empty() || !MakeTree(root, files, seed)) {
        std::fprintf(stderr, "cannot make the tree\n");
        return 1;
    }
    std::printf("tree: %d files in %d folders (seed %u), made in %.1f s\n", files,
                std::max(1, files / kFilesPerFolder), seed, double(clock.nsecsElapsed()) / 1e9);

    // The peer, on the same tree with the same warm caches.
    clock.restart();
    QProcess du;
    du.start("du", {"-s", "-B1", QString::fromStdString(root)});
    du.waitForFinished(-1);
    const double duSeconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("%-34s %8.2f s             disk space %s", "du -s", duSeconds,
                du.readAllStandardOutput().split('\t').value(0).constData());
    std::printf(" bytes (the folders' own blocks included)\n");

    MainView main;
    LarkspurBrowserView view;
    main.view = &view;
    TaskManager::Instance().SetNotifyWindow(main.Handle());
    view.SetMainView(main.Handle());
    view.resize(400, 700);
    view.show();
    view.OnInitialUpdate();
    const TreeItem top = FolderPopulation::BringPathIntoTree(view, root);
    if (top == TreeItem::None) {
        std::fprintf(stderr, "the tree is not reachable\n");
        return 1;
    }

    Report("scan, sizes and duplicates", Scan(view, main, top), duSeconds);
    view.ResetAll();
    view.SetDuplicateMode(false);
    Report("scan, sizes only", Scan(view, main, top), duSeconds);
    return 0;
}
