#include "tree/LarkspurBrowserView.h"

#include <mutex>

#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include "engine/FolderListDisplay.h"
#include "engine/TaskManager.h"
#include "framework/MenuBuilder.h"
#include "framework/MessageBox.h"
#include "framework/PaintPacer.h"
#include "framework/SizeTextSource.h"
#include "framework/WaitCursor.h"
#include "platform/ModalScope.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tree/DeleteDuplicatesDialog.h"
#include "tree/DeletionHandler.h"

namespace {

// Changed labels are announced to the view together, at most this often: a
// scan changes the labels of the folders above every folder it finishes,
// and each announcement repaints what is in view.
constexpr int kLabelRefreshMs = 100;
// While a scan delivers, the tree is painted this often (about 25 frames a
// second) rather than on every turn of the event loop.
constexpr int kPaintIntervalMs = 40;

}  // namespace

LarkspurBrowserView::LarkspurBrowserView(QWidget* parent)
    : FileBrowserView(parent), m_labelTimer(new QTimer(this))
{
    m_labelTimer->setSingleShot(true);
    m_labelTimer->setInterval(kLabelRefreshMs);
    connect(m_labelTimer, &QTimer::timeout, this, &LarkspurBrowserView::FlushLabels);
    m_paintPacer = new framework::PaintPacer(*this, kPaintIntervalMs, [this] {
        return IsScanning() || TaskManager::Instance().PendingCount() != 0;
    });
}

void LarkspurBrowserView::ProcessCompletedTasks()
{
    m_scan.ProcessCompletedTasks();
    m_paintPacer->Start();
}

LarkspurBrowserView::~LarkspurBrowserView()
{
    // The scan must see the teardown; afterwards no task runs and no record
    // holds a member, so the scan can free the groups.
    DestroyTree();
}

// --- Tree walking helpers ----------------------------------------------------

// --- Hooks -------------------------------------------------------------------

QString LarkspurBrowserView::GetItemText(const TreeItemRecord& record)
{
    const FolderRecord& folder = AsFolder(record);
    QString label;
    if (folder.Has(FolderRecord::TreeSizeKnown)) {
        const framework::SizeTextSource* sizes = framework::SizeTextSource::Instance();
        label = QStringLiteral("[") +
                (sizes != nullptr
                     ? sizes->PaddedSizeText(folder.treeDiskSpace, folder.siblingMaxDiskSpace)
                     : QString::fromStdString(folder.treeDiskSpace.ToString())) +
                QStringLiteral("] ");
    } else if (folder.Has(FolderRecord::SizeQueued) ||
               (folder.Has(FolderRecord::OwnSizeKnown) &&
                folder.Has(FolderRecord::TreeSizePending))) {
        label = QStringLiteral("[ ] ");
    }
    return label + FileBrowserView::GetItemText(record);
}

void LarkspurBrowserView::RefreshItemLabel(TreeItemRecord& record)
{
    if (record.item == TreeItem::None) {
        return;
    }
    m_dirtyLabels.insert(record.item);
    if (!m_labelTimer->isActive()) {
        m_labelTimer->start();
    }
}

void LarkspurBrowserView::FlushLabels()
{
    std::unordered_set<TreeItem> items;
    items.swap(m_dirtyLabels);
    for (TreeItem item : items) {
        // A handle of an item that has gone names nothing.
        Tree().SetTextCallback(item);
    }
    Q_EMIT LabelsChanged();
}

void LarkspurBrowserView::RefreshAllLabels()
{
    m_dirtyLabels.clear();
    Tree().RefreshAll();
    Q_EMIT LabelsChanged();
}

void LarkspurBrowserView::OnItemClicked(TreeItemRecord& record, bool ctrlHeld)
{
    FolderRecord& folder = AsFolder(record);
    if (FolderListDisplay* list = m_scan.FileList()) {
        list->SetFolder(&folder);
    }
    // Only a plain left click scans.
    if (!ctrlHeld) {
        m_scan.ScanFolder(folder);
    }
}

void LarkspurBrowserView::OnTreeKeyDown(int key)
{
    if (key == Qt::Key_Escape) {
        StopScanning();
        return;
    }
    FileBrowserView::OnTreeKeyDown(key);
}

void LarkspurBrowserView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // Handled here: the main view would only stop the scan again.
        OnTreeKeyDown(event->key());
        event->accept();
        return;
    }
    FileBrowserView::keyPressEvent(event);
}

// --- Marks -------------------------------------------------------------------

// --- Scheduling --------------------------------------------------------------

// --- Commands ----------------------------------------------------------------

void LarkspurBrowserView::GoToCopy(DupMember& copy)
{
    std::lock_guard lock(DataLock());
    FolderRecord* folder = copy.folder;
    if (folder == nullptr) {
        return;
    }
    const std::string name(copy.Name());
    SelectItemQuietly(folder->item);
    if (FolderListDisplay* list = m_scan.FileList()) {
        list->SetFolder(folder);
        list->SelectFileByName(name);
    }
}

void LarkspurBrowserView::PopulateAndSelect(FolderRecord& folder)
{
    FileBrowserView::PopulateAndSelect(folder.item);
}

void LarkspurBrowserView::ExploreFolder(FolderRecord& folder)
{
    FileBrowserView::ExploreFolder(static_cast<TreeItemRecord&>(folder));
}

void LarkspurBrowserView::ClearFolderData(FolderRecord& folder)
{
    ClearFolderData(static_cast<TreeItemRecord&>(folder));
}

// --- Folder commands ---------------------------------------------------------

void LarkspurBrowserView::DeleteFolder(TreeItemRecord& record)
{
    DeletionHandler* handler = m_deletion;
    if (handler == nullptr) {
        return;
    }
    std::lock_guard lock(DataLock());
    auto request = std::make_unique<DeletionRequest>();
    request->folder = &AsFolder(record);
    handler->DeleteRequests(std::move(request));
}

void LarkspurBrowserView::DeleteDuplicates(TreeItemRecord& record)
{
    StopScanning();
    std::unique_lock lock(DataLock());
    FolderRecord& folder = AsFolder(record);
    if (!m_scan.Duplicates().SubtreeSearched(folder)) {
        framework::MessageBox::Show(this, resources::IDS_NOT_SCANNED_FOR_DUPLICATES, {},
                                    QMessageBox::Information);
        return;
    }
    if (!m_scan.Duplicates().SubtreeHasCopies(folder)) {
        framework::MessageBox::Show(this, resources::IDS_NO_DUPLICATES_FOUND, {},
                                    QMessageBox::Information);
        return;
    }
    DeleteDuplicatesDialog dialog(*this, this);
    dialog.SetHeldLock(&lock);
    dialog.SetDeletionHandler(m_deletion);
    dialog.SetFolder(&folder);
    const platform::ModalScope modal;
    if (m_dialogRunner) {
        (void)m_dialogRunner(dialog);
    } else {
        (void)dialog.exec();
    }
}

void LarkspurBrowserView::ClearFolderData(TreeItemRecord& record)
{
    const framework::WaitCursor wait;
    m_scan.ClearFolderData(AsFolder(record));
}

void LarkspurBrowserView::ShowFolderMenu(int x, int y)
{
    if (m_router == nullptr) {
        return;
    }
    const std::unique_ptr<QMenu> menu =
        framework::MenuBuilder::CreatePopup(resources::IDR_CONTEXT_MENUS, 0, *m_router, this);
    if (menu == nullptr) {
        return;
    }
    const platform::ModalScope modal;
    menu->exec(ContextMenuPoint(x, y));
}

// --- Duplicate data ----------------------------------------------------------
