// larkspur-report: the scan of a click on a folder, without a window. See
// ReportCommandLine::UsageText for what it prints.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include "engine/FolderPopulation.h"
#include "engine/ScanTree.h"
#include "engine/TaskManager.h"
#include "platform/MessageQueue.h"
#include "report/ReportCommandLine.h"
#include "report/ReportListing.h"
#include "report/ReportWindow.h"

namespace {

constexpr int kExitBadUsage = 2;
constexpr int kExitInterrupted = 130;

// The write end of the pipe that turns SIGINT and SIGTERM into an event of
// the UI thread's loop.
int g_signalPipe = -1;
volatile std::sig_atomic_t g_signalCount = 0;

void OnSignal(int)
{
    // A second Ctrl+C while the first is being handled ends at once.
    if (g_signalCount != 0) ::_exit(kExitInterrupted);
    g_signalCount = 1;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe, &byte, 1);
    errno = saved;
}

bool WatchSignals(int readEnd[1])
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    g_signalPipe = ends[1];
    *readEnd = ends[0];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

int BadUsage(const std::string& message)
{
    std::fprintf(stderr, "larkspur-report: %s (see larkspur-report --help)\n", message.c_str());
    return kExitBadUsage;
}

// The canonical path of a folder we may list; empty with why otherwise.
std::string ReadableFolder(const std::string& path, std::string& why)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        why = std::strerror(errno);
        return {};
    }
    if (!S_ISDIR(status.st_mode)) {
        why = "not a folder";
        return {};
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::access(path.c_str(), R_OK | X_OK) != 0) {
        why = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return {};
    }
    ::close(fd);
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        why = std::strerror(errno);
        return {};
    }
    return resolved;
}

// Writes the listing to standard output: the exit status, 1 when it could
// not be written.
int WriteListing(const ReportListing& listing)
{
    if (!listing.Write(stdout)) {
        std::fprintf(stderr, "larkspur-report: cannot write the report: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const ReportCommandLine line = ReportCommandLine::Parse(argc, argv);
    if (line.outcome == ReportCommandLine::Outcome::Help) {
        std::fputs(ReportCommandLine::UsageText(), stdout);
        return 0;
    }
    if (line.outcome == ReportCommandLine::Outcome::BadUsage) return BadUsage(line.error);
    std::string why;
    const std::string folder = ReadableFolder(line.path, why);
    if (folder.empty()) {
        return BadUsage(EscapeForLine(line.path) + ": not a readable folder: " + why);
    }

    // Qt sees no arguments of ours: a folder named like a Qt option stays a
    // folder.
    int qtArgc = 1;
    QCoreApplication application(qtArgc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    int signalRead = -1;
    if (!WatchSignals(&signalRead)) {
        std::fprintf(stderr, "larkspur-report: cannot watch for signals: %s\n",
                     std::strerror(errno));
        return 1;
    }

    bool interrupted = false;
    {
        ScanTree tree;
        FolderScan& scan = tree.Scan();
        QEventLoop loop;
        ReportWindow window(scan, [&loop] { loop.quit(); });
        TaskManager::Instance().SetNotifyWindow(window.Handle());
        scan.SetMainView(window.Handle());
        scan.SetFrame(window.Handle());
        FolderPopulation::BuildTopLevel(tree);
        if (line.sizeOnly) scan.SetDuplicateMode(false);

        QSocketNotifier signalNotifier(signalRead, QSocketNotifier::Read);
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
            signalNotifier.setEnabled(false);
            interrupted = true;
            // As closing the window does: no new task, the running one told to
            // stop, and the worker idle before anything is torn down.
            scan.StopScanning();
            TaskManager::Instance().CancelAll();
            TaskManager::Instance().WaitUntilIdle();
            loop.quit();
        });

        const TreeItem top = FolderPopulation::BringPathIntoTree(tree, folder);
        if (top == TreeItem::None) {
            return BadUsage(EscapeForLine(line.path) + ": not a readable folder: not reachable");
        }
        // What a plain left click on the folder does: populate it, then scan.
        FolderPopulation::PopulateChildren(tree, top);
        scan.ScanFolder(static_cast<FolderRecord&>(*tree.RecordOf(top)));
        if (scan.IsScanning() || TaskManager::Instance().PendingCount() != 0) loop.exec();
        window.ClearStatus();
        if (!interrupted) {
            ReportListing listing;
            listing.Collect(tree, top, PathAsPrinted(line.path));
            // The scan is over: the listing is written from the tree, and
            // then the process ends here, and the system takes back the
            // scanned tree at once instead of its records being freed one by
            // one, which takes as long as the listing on a tree of many
            // small folders.
            std::_Exit(WriteListing(listing));
        }
        TaskManager::Instance().SetNotifyWindow(0);
    }
    return kExitInterrupted;
}
