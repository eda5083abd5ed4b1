// The program's main window as the user runs it (tree, file list and
// duplicates window on a real display), timed over one click on a folder:
// from the click to the end of the walk, when the status line shows the idle
// prompt again; and how late the UI thread's event loop answers meanwhile
// (a 10 ms timer measuring its own lateness).
//
// Usage: larkspur_bench_window [--size-only] FOLDER
// Prints one line of figures:
//   seconds S ticks N p50 MS p99 MS max MS digest HEX groups G items I
// where digest sums up what the window shows at the end (every label of the
// folder's subtree in order, every row of the file list with its mark, every
// row of the groups list), so that runs can be compared for the same outcome.
//
// The application reads and writes its settings: run it with HOME and XDG_*
// pointing at a scratch folder (bench/run-window.sh does), never against the
// real ones.
#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "model/ListControl.h"
#include "model/TreeControl.h"
#include "lists/BrindleDupsListView.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "resources/StringTable.h"
#include "tree/LarkspurBrowserView.h"

namespace {

double Percentile(std::vector<double> values, double p)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void AddList(QCryptographicHash& hash, const ListControl& control, bool marks)
{
    for (int row = 0; row < control.ItemCount(); ++row) {
        for (int column = 0; column < control.ColumnCount(); ++column) {
            hash.addData(control.ItemText(row, column).toUtf8());
            hash.addData(QByteArrayView("\t"));
        }
        if (marks) hash.addData(QByteArray::number(control.ItemStateImage(row)));
        hash.addData(QByteArrayView("\n"));
    }
}

// What the window shows of the scanned folder, summed up (its siblings and
// those of its ancestors, in a shared folder such as /tmp, come and go);
// items: the item count of its subtree.
QByteArray Digest(CLarkspurView& view, TreeItem top, int& items)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    TreeControl& tree = view.Tree()->Tree();
    items = 0;
    std::vector<TreeItem> stack{top};
    while (!stack.empty()) {
        const TreeItem item = stack.back();
        stack.pop_back();
        if (item == TreeItem::None) continue;
        ++items;
        hash.addData(tree.ItemText(item).toUtf8());
        hash.addData(QByteArrayView("\n"));
        if (item != top) stack.push_back(tree.NextSibling(item));
        stack.push_back(tree.FirstChild(item));
    }
    hash.addData(QByteArrayView("--\n"));
    AddList(hash, view.FileList()->Control(), true);
    hash.addData(QByteArrayView("--\n"));
    if (LarkspurDupsWnd* dups = LarkspurDupsWnd::Instance()) {
        AddList(hash, dups->GroupsList().Control(), false);
    }
    return hash.result().toHex().left(16);
}

// Counts the paint events of each widget, by the class of the widget (of
// the scroll area, for a viewport), printed to standard error at the end.
class PaintCounter : public QObject {
public:
    std::map<std::string, int> counts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const QObject* owner = watched->objectName() == QLatin1String("qt_scrollarea_viewport")
                                       ? watched->parent()
                                       : watched;
            ++counts[owner->metaObject()->className()];
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const bool sizeOnly = argc == 3 && std::strcmp(argv[1], "--size-only") == 0;
    if (argc != 2 && !sizeOnly) {
        std::fputs("usage: larkspur_bench_window [--size-only] FOLDER\n", stderr);
        return 2;
    }
    char resolved[PATH_MAX];
    if (::realpath(argv[argc - 1], resolved) == nullptr) {
        std::fputs("no such folder\n", stderr);
        return 2;
    }
    const std::string folder = resolved;

    std::setlocale(LC_ALL, "");
    int qtArgc = 1;
    CLarkspurApp application(qtArgc, argv);
    if (!application.InitInstance()) return 1;
    CMainFrame* frame = application.MainFrame();
    frame->resize(1024, 720);
    LarkspurBrowserView* tree = TheMainView->Tree();
    tree->SetDuplicateMode(!sizeOnly);

    const TreeItem item = FolderPopulation::BringPathIntoTree(*tree, folder);
    if (item == TreeItem::None) return 1;
    const QString idle = resources::StringTable::Load(resources::IDS_IDLE_PROMPT);
    PaintCounter paints;

    std::vector<double> lateMs;
    QElapsedTimer sinceTick;
    QElapsedTimer clock;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(10);
    bool clicked = false;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (!clicked) return;
        lateMs.push_back(std::max(0.0, double(sinceTick.nsecsElapsed()) / 1e6 - 10.0));
        sinceTick.restart();
        if (tree->IsScanning() || TaskManager::Instance().PendingCount() != 0 ||
            frame->MessageText() != idle) {
            return;
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        ticks.stop();
        int items = 0;
        const QByteArray digest = Digest(*TheMainView, item, items);
        const int groups = LarkspurDupsWnd::Instance() != nullptr
                               ? LarkspurDupsWnd::Instance()->GroupsList().Control().ItemCount()
                               : 0;
        std::printf(
            "seconds %.3f ticks %zu p50 %.1f p99 %.1f max %.1f digest %s groups %d "
            "items %d\n",
            seconds, lateMs.size(), Percentile(lateMs, 0.50), Percentile(lateMs, 0.99),
            lateMs.empty() ? 0.0 : *std::max_element(lateMs.begin(), lateMs.end()),
            digest.constData(), groups, items);
        std::fflush(stdout);
        application.removeEventFilter(&paints);
        for (const auto& [name, count] : paints.counts)
            std::fprintf(stderr, "paints %s %d\n", name.c_str(), count);
        frame->close();
    });

    // Once the window is up: the folder is shown open (its subfolders
    // visible), and a plain left click on its label starts the scan.
    QTimer::singleShot(500, [&] {
        tree->PopulateChildren(item);
        tree->Tree().Expand(item, ExpandAction::Expand);
        const QModelIndex index = tree->Tree().IndexOf(item);
        tree->scrollTo(index, QAbstractItemView::PositionAtTop);
        const QRect rect = tree->visualRect(index);
        const QPointF at(rect.left() + 30, rect.center().y());
        const QPointF global = tree->viewport()->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        clicked = true;
        application.installEventFilter(&paints);
        clock.start();
        sinceTick.start();
        ticks.start();
        QCoreApplication::sendEvent(tree->viewport(), &press);
        QCoreApplication::sendEvent(tree->viewport(), &release);
        if (!tree->IsScanning()) {
            std::fputs("the click started no scan\n", stderr);
            QCoreApplication::exit(1);
        }
    });
    return application.exec();
}
