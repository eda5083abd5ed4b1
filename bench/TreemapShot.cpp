// larkspur_treemap_shot FOLDER PNG: the whole program on a display, which
// clicks FOLDER (scanning it), waits for the scan to end, turns the treemap
// on and saves a picture of the main window to PNG. Run it with HOME and
// XDG_* in a scratch folder (scripts/treemap-screenshot.sh does): turning
// the treemap on writes the setting.
#include <clocale>
#include <cstdio>
#include <filesystem>

#include <QTimer>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "tree/LarkspurBrowserView.h"

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const std::string folder = std::filesystem::weakly_canonical(argv[1]).string();
    const QString png = QString::fromLocal8Bit(argv[2]);
    std::setlocale(LC_ALL, "");
    int qtArgc = 1;
    CLarkspurApp application(qtArgc, argv);
    if (!application.InitInstance()) return 1;
    CMainFrame* frame = application.MainFrame();
    frame->resize(1100, 760);
    LarkspurBrowserView* tree = TheMainView->Tree();
    const TreeItem item = FolderPopulation::BringPathIntoTree(*tree, folder);
    if (item == TreeItem::None) return 1;
    tree->PopulateAndSelect(item);
    tree->OnItemClicked(*tree->RecordOf(item), false);

    // The scan's end does not announce itself: a short timer looks for it,
    // then the treemap shows and gets a moment to lay itself out.
    int idleTicks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (tree->IsScanning() || TaskManager::Instance().PendingCount() != 0) return;
        if (++idleTicks == 1) {
            TheMainView->SetTreemapShown(true);
            // Only the folder's own branch shows: the picture names nothing
            // else of the machine it was made on.
            for (QModelIndex index = tree->Tree().IndexOf(item); index.isValid();
                 index = index.parent()) {
                const int rows = tree->model()->rowCount(index.parent());
                for (int row = 0; row < rows; ++row)
                    if (row != index.row()) tree->setRowHidden(row, index.parent(), true);
            }
            tree->expand(tree->Tree().IndexOf(item));
            tree->scrollTo(tree->Tree().IndexOf(item), QAbstractItemView::PositionAtTop);
        } else if (idleTicks == 10) {
            poll.stop();
            const bool saved = frame->grab().save(png);
            std::printf("%s %s\n", saved ? "saved" : "could not save", argv[2]);
            application.exit(saved ? 0 : 1);
        }
    });
    poll.start(50);
    return application.exec();
}
