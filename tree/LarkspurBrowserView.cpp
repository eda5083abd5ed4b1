#include "tree/LarkspurBrowserView.h"

#include <algorithm>
#include <mutex>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include "engine/DupFileList.h"
#include "engine/DupGroup.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/FindDupFileTask.h"
#include "engine/FindSizeTask.h"
#include "engine/FindSubfoldersTask.h"
#include "engine/FolderListing.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "framework/MenuBuilder.h"
#include "framework/MessageBox.h"
#include "framework/SizeTextSource.h"
#include "framework/WaitCursor.h"
#include "platform/ModalScope.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tree/DeleteDuplicatesDialog.h"
#include "tree/DeletionHandler.h"
#include "platform/MessageQueue.h"
#include "tree/FolderListDisplay.h"

namespace {

FolderRecord& AsFolder(TreeItemRecord& record) { return static_cast<FolderRecord&>(record); }
const FolderRecord& AsFolder(const TreeItemRecord& record)
{
    return static_cast<const FolderRecord&>(record);
}
FolderRecord* ParentOf(const FolderRecord& record)
{
    return static_cast<FolderRecord*>(record.parent);
}

// Changed labels are announced to the view together, at most this often: a
// scan changes the labels of the folders above every folder it finishes,
// and each announcement repaints what is in view.
constexpr int kLabelRefreshMs = 100;
// A turn of the event loop delivers finished tasks for at most this long;
// the rest wait for the next turn, so that input and painting come between.
constexpr qint64 kDeliveryBudgetNs = 8'000'000;

}  // namespace

LarkspurBrowserView::LarkspurBrowserView(QWidget* parent)
    : FileBrowserView(parent), m_labelTimer(new QTimer(this))
{
    m_labelTimer->setSingleShot(true);
    m_labelTimer->setInterval(kLabelRefreshMs);
    connect(m_labelTimer, &QTimer::timeout, this, &LarkspurBrowserView::FlushLabels);
}

LarkspurBrowserView::~LarkspurBrowserView()
{
    // The hooks above must see the teardown; afterwards no task runs and no
    // record holds a member, so the groups can go.
    DestroyTree();
    std::lock_guard lock(DataLock());
    m_dupTable.Clear();
}

// --- Tree walking helpers ----------------------------------------------------

FolderRecord* LarkspurBrowserView::Root() const { return static_cast<FolderRecord*>(RootRecord()); }

FolderRecord* LarkspurBrowserView::FirstChild(const FolderRecord& record) const
{
    return static_cast<FolderRecord*>(FirstChildRecord(record));
}

FolderRecord* LarkspurBrowserView::NextSibling(const FolderRecord& record) const
{
    return static_cast<FolderRecord*>(NextSiblingRecord(record));
}

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

std::unique_ptr<TreeItemRecord> LarkspurBrowserView::CreateItemRecord(TreeItem item)
{
    auto record = std::make_unique<FolderRecord>(item);
    const TreeItem parentItem = item == TreeItem::None ? TreeItem::None : Tree().Parent(item);
    if (parentItem == TreeItem::None) {
        return record;
    }
    auto* parent = static_cast<FolderRecord*>(RecordOf(parentItem));
    if (parent == nullptr) {
        return record;
    }
    // A scan under way spreads into folders that were not in the tree when
    // it started.
    if (parent->Has(FolderRecord::SizeQueued)) {
        record->Set(FolderRecord::SizeQueued);
        parent->Set(FolderRecord::TreeSizePending);
        RefreshItemLabel(*parent);
    }
    if (parent->Has(FolderRecord::DupsQueued)) {
        record->Set(FolderRecord::DupsQueued);
        parent->Set(FolderRecord::TreeDupsPending);
    }
    record->clusterSize = parent->clusterSize;
    return record;
}

void LarkspurBrowserView::InitItemRecord(TreeItemRecord& record)
{
    FolderRecord& folder = AsFolder(record);
    if (folder.clusterSize != 0) {
        return;
    }
    const std::string path = FullPathOf(folder);
    if (!path.empty()) {
        folder.clusterSize = std::max<std::uint32_t>(GetClusterSize(path), 1);
    }
}

void LarkspurBrowserView::OnDeleteItemRecord(TreeItemRecord& record, bool destroying)
{
    FolderRecord& folder = AsFolder(record);
    if (destroying) {
        folder.ClearDuplicates(true, nullptr);
        return;
    }
    for (DupMember* member = folder.duplicates; member != nullptr; member = member->nextInFolder) {
        RemoveDupMember(*member);
    }
    {
        std::lock_guard references(m_references);
        m_references.Forget(&folder);
    }
    for (FolderRecord* ancestor = ParentOf(folder);
         ancestor != nullptr && ancestor->Has(FolderRecord::TreeSizeKnown);
         ancestor = ParentOf(*ancestor)) {
        ancestor->ForgetTreeSizes();
        RefreshItemLabel(*ancestor);
    }
    if (FolderListDisplay* list = FolderListDisplay::Instance()) {
        list->ForgetFolder(folder);
    }
    folder.ClearDuplicates(true, nullptr);

    // The walk must never read a freed record: when this one lies on its
    // path, it starts over from its scan root, which heads the path and so
    // stays while anything below it goes, or from the root record when the
    // scan root itself is going.
    if (m_depth >= 0 &&
        std::find(m_pathStack.begin(), m_pathStack.end(), &folder) != m_pathStack.end()) {
        if (FolderRecord* restart = m_scanRoot != &folder ? m_scanRoot : Root();
            restart != nullptr && restart != &folder) {
            StartWalk(*restart);
        } else {
            ResetTraversal();
        }
    }

    // Once the item has left the tree, its parent's totals and pending marks
    // are worked out again (see SettleAfterRemovals).
    if (folder.parent != nullptr) {
        if (m_removedFrom.empty()) {
            // For removals outside an enumeration or a delivery.
            QTimer::singleShot(0, this, &LarkspurBrowserView::SettleAfterRemovals);
        }
        m_removedFrom.push_back(folder.parent->item);
    }
}

void LarkspurBrowserView::SettleAfterRemovals()
{
    if (m_settling || m_removedFrom.empty()) {
        return;
    }
    m_settling = true;
    std::lock_guard lock(DataLock());
    std::vector<TreeItem> parents;
    parents.swap(m_removedFrom);
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    for (TreeItem item : parents) {
        // A parent that went with the same removal is skipped.
        if (item != TreeItem::None && !Tree().Contains(item)) {
            continue;
        }
        if (auto* parent = static_cast<FolderRecord*>(RecordOf(item))) {
            parent->UpdateTotals(*this);
            parent->UpdateDupsPending(*this);
            RefreshItemLabel(*parent);
        }
    }
    m_settling = false;
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
}

void LarkspurBrowserView::RedrawAll()
{
    m_dirtyLabels.clear();
    Tree().RefreshAll();
}

void LarkspurBrowserView::NotifyListIfShown(TreeItemRecord& record)
{
    FolderRecord& folder = AsFolder(record);
    if (folder.Has(FolderRecord::InFileList)) {
        if (FolderListDisplay* list = FolderListDisplay::Instance()) {
            list->UpdateFolderRow(folder);
        }
    }
}

void LarkspurBrowserView::OnItemClicked(TreeItemRecord& record, bool ctrlHeld)
{
    FolderRecord& folder = AsFolder(record);
    if (FolderListDisplay* list = FolderListDisplay::Instance()) {
        list->SetFolder(&folder);
    }
    // Only a plain left click on a folder on disk scans.
    if (ctrlHeld || folder.clusterSize < 1) {
        return;
    }
    std::lock_guard lock(DataLock());
    MarkForSizeScan(folder);
    if (m_duplicateMode) {
        MarkForDuplicateScan(folder);
    }
    StartWalk(folder);
    QueueTasksFor(folder);
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

void LarkspurBrowserView::OnTreeDestroy()
{
    // The lists keep their entries: the references are destroyed later, by
    // their holders, and take themselves out then.
    m_references.NullEverything();
}

void LarkspurBrowserView::SortChildren(TreeItemRecord& record)
{
    // An enumeration that removed vanished folders ends here; their parents'
    // totals are settled before the order is taken from them.
    SettleAfterRemovals();
    if (AsFolder(record).clusterSize < 1) {
        return;  // outside the file system the shell's order stays
    }
    SortChildrenWith(record, [](const TreeItemRecord& first, const QString& firstKey,
                                const TreeItemRecord& second, const QString& secondKey) {
        const int bySize =
            FileSize::Compare(AsFolder(second).treeDiskSpace, AsFolder(first).treeDiskSpace);
        return bySize != 0 ? bySize : firstKey.compare(secondKey);
    });
}

// --- Marks -------------------------------------------------------------------

void LarkspurBrowserView::Mark(FolderRecord& record, FolderRecord::Flag known,
                               FolderRecord::Flag queued, FolderRecord::Flag pending)
{
    // Depth first, in tree order, without recursion: trees may be deep.
    std::vector<FolderRecord*> stack{&record};
    std::vector<FolderRecord*> children;
    while (!stack.empty()) {
        FolderRecord* current = stack.back();
        stack.pop_back();
        if (!current->Has(known)) {
            current->Set(queued);
            RefreshItemLabel(*current);
            for (FolderRecord* ancestor = ParentOf(*current);
                 ancestor != nullptr && !ancestor->Has(pending); ancestor = ParentOf(*ancestor)) {
                ancestor->Set(pending);
                RefreshItemLabel(*ancestor);
            }
        }
        children.clear();
        for (FolderRecord* child = FirstChild(*current); child != nullptr;
             child = NextSibling(*child)) {
            children.push_back(child);
        }
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

void LarkspurBrowserView::MarkForSizeScan(FolderRecord& record)
{
    Mark(record, FolderRecord::OwnSizeKnown, FolderRecord::SizeQueued,
         FolderRecord::TreeSizePending);
}

void LarkspurBrowserView::MarkForDuplicateScan(FolderRecord& record)
{
    Mark(record, FolderRecord::DupsKnown, FolderRecord::DupsQueued, FolderRecord::TreeDupsPending);
}

void LarkspurBrowserView::ClearStateBits(FolderRecord& record, std::uint16_t mask)
{
    std::vector<FolderRecord*> order;
    std::vector<FolderRecord*> stack{&record};
    while (!stack.empty()) {
        FolderRecord* current = stack.back();
        stack.pop_back();
        current->ClearMask(mask);
        order.push_back(current);
        for (FolderRecord* child = FirstChild(*current); child != nullptr;
             child = NextSibling(*child)) {
            stack.push_back(child);
        }
    }
    // Children before their parents, as a recursion would sort them.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (FirstChild(**it) != nullptr) {
            SortChildren(**it);
        }
    }
}

// --- Scheduling --------------------------------------------------------------

void LarkspurBrowserView::QueueTasksFor(FolderRecord& record)
{
    const std::string path = DirectoryPathOf(record);
    if (path.empty()) {
        return;
    }
    TaskManager& tasks = TaskManager::Instance();
    // With a size scan to follow, the folder is read once for both tasks,
    // with every entry's details; otherwise the enumeration lists the folder
    // itself, types only. The duplicate search lists the folder itself.
    const bool sizeQueued = record.Has(FolderRecord::SizeQueued);
    std::shared_ptr<FolderListing> listing;
    if (sizeQueued) {
        listing = std::make_shared<FolderListing>(path, platform::SearchDetail::Full);
    }
    tasks.Add(std::make_unique<FindSubfoldersTask>(*this, record, path, listing));
    if (sizeQueued) {
        tasks.Add(std::make_unique<FindSizeTask>(*this, m_references, record, path, m_frame,
                                                 std::move(listing)));
    }
    if (record.Has(FolderRecord::DupsQueued)) {
        const DupSearchContext context{*this,
                                       m_references,
                                       m_dupTable,
                                       m_mainView,
                                       m_frame,
                                       dynamic_cast<DupFileList*>(FolderListDisplay::Instance()),
                                       DuplicatesDisplay::Instance()};
        tasks.Add(std::make_unique<FindDupFileTask>(context, record, path));
    }
}

void LarkspurBrowserView::StartWalk(FolderRecord& start)
{
    m_scanRoot = &start;
    m_pathStack.assign(1, &start);
    m_depth = 0;
    m_depthLimit = 1;
    m_passDeepest = 0;
}

void LarkspurBrowserView::ResetTraversal()
{
    m_depth = -1;
    m_scanRoot = nullptr;
    m_pathStack.clear();
    m_depthLimit = 0;
    m_passDeepest = 0;
}

bool LarkspurBrowserView::FindNextFolderToScan()
{
    if (m_scanRoot == nullptr || m_depth < 0) {
        return false;
    }
    if (!m_scanRoot->IsPendingBelow()) {
        FolderRecord* top = Root();
        if (top == nullptr || m_scanRoot == top || !top->IsPendingBelow()) {
            ResetTraversal();
            return false;
        }
        StartWalk(*top);  // work was left behind elsewhere: widen to the whole tree
    }

    enum class Step { Descend, NextSibling, Up };
    Step step = m_depth >= m_depthLimit ? Step::NextSibling : Step::Descend;
    for (;;) {
        FolderRecord* candidate = nullptr;
        switch (step) {
            case Step::Descend:
                if (FolderRecord* child = FirstChild(*m_pathStack[m_depth])) {
                    ++m_depth;
                    m_pathStack.push_back(child);
                    m_passDeepest = std::max(m_passDeepest, m_depth);
                    candidate = child;
                } else {
                    step = Step::NextSibling;
                }
                break;
            case Step::NextSibling:
                // The scan root's own siblings lie outside the walk.
                if (m_depth > 0) {
                    if (FolderRecord* next = NextSibling(*m_pathStack[m_depth])) {
                        m_pathStack[m_depth] = next;
                        candidate = next;
                        break;
                    }
                }
                step = Step::Up;
                break;
            case Step::Up:
                --m_depth;
                m_pathStack.pop_back();
                if (m_depth > 0) {
                    step = Step::NextSibling;
                    break;
                }
                // Back at the scan root. A pass that never reached its depth
                // limit has seen every folder with work below it: a deeper
                // one would find nothing new. This, not a fixed limit, ends
                // the walk, also when the pass found work it could not
                // queue (which every pass finds again).
                if (m_passDeepest < m_depthLimit) {
                    ResetTraversal();
                    return false;
                }
                ++m_depthLimit;
                m_passDeepest = 0;
                m_depth = 0;
                m_pathStack.assign(1, m_scanRoot);
                step = Step::Descend;
                break;
        }
        if (candidate != nullptr) {
            if (candidate->IsQueued()) {
                return true;
            }
            step = m_depth < m_depthLimit && candidate->IsPendingBelow() ? Step::Descend
                                                                         : Step::NextSibling;
        }
    }
}

void LarkspurBrowserView::ProcessCompletedTasks()
{
    TaskManager& tasks = TaskManager::Instance();
    QElapsedTimer turn;
    turn.start();
    while (std::unique_ptr<Task> task = tasks.TakeFinished()) {
        m_scannedSomething = true;
        task->Deliver();
        task.reset();
        SettleAfterRemovals();
        if (turn.nsecsElapsed() >= kDeliveryBudgetNs) {
            // The rest, and the next folder, at the next turn.
            if (!m_deliveryOwed) {
                m_deliveryOwed = true;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        m_deliveryOwed = false;
                        ProcessCompletedTasks();
                    },
                    Qt::QueuedConnection);
            }
            return;
        }
    }
    {
        std::lock_guard lock(DataLock());
        // One folder's tasks at a time; a folder without a path queues
        // nothing and the walk goes on.
        while (tasks.PendingCount() == 0 && FindNextFolderToScan()) {
            QueueTasksFor(*m_pathStack[m_depth]);
        }
    }
    ClearStatusIfIdle();
}

void LarkspurBrowserView::ClearStatusIfIdle()
{
    if (m_depth < 0 && m_frame != 0 && TaskManager::Instance().PendingCount() == 0) {
        platform::MessageQueue::Instance().PostText(m_frame, UM_STATUS_TEXT, std::string(), 0);
    }
}

// --- Commands ----------------------------------------------------------------

void LarkspurBrowserView::StopScanning()
{
    ResetTraversal();
    if (FolderRecord* root = Root()) {
        std::lock_guard lock(DataLock());
        ClearStateBits(*root, FolderRecord::ClearPendingMask);
    }
    TaskManager::Instance().CancelAll();
    RedrawAll();
    // A task still running reports its end later; otherwise nothing will.
    ClearStatusIfIdle();
}

void LarkspurBrowserView::ResetAll()
{
    StopScanning();
    // Sizes that finished but were not yet delivered would come back.
    TaskManager::Instance().CancelAll(TaskManager::FinishedTasks::Discard);
    if (FolderRecord* root = Root()) {
        std::lock_guard lock(DataLock());
        ClearStateBits(*root, FolderRecord::ClearAllMask);
    }
    if (DuplicatesDisplay* display = DuplicatesDisplay::Instance()) {
        display->ClearAll();
    }
    ClearAllFolderData();
    m_scannedSomething = false;
    RedrawAll();
    if (FolderListDisplay* list = FolderListDisplay::Instance()) {
        list->Refresh();
    }
}

void LarkspurBrowserView::SetDuplicateMode(bool findDuplicates)
{
    if (findDuplicates) {
        StopScanning();
    } else {
        TaskManager::Instance().CancelByName("FindDupFileTask",
                                             TaskManager::FinishedTasks::Discard);
        if (FolderRecord* root = Root()) {
            std::lock_guard lock(DataLock());
            ClearStateBits(*root, FolderRecord::ClearDupsMask);
        }
        if (DuplicatesDisplay* display = DuplicatesDisplay::Instance()) {
            display->ClearAll();
        }
        ClearAllFolderData();
    }
    m_duplicateMode = findDuplicates;
    if (DuplicatesDisplay* display = DuplicatesDisplay::Instance()) {
        display->EnableLists(findDuplicates);
    }
    if (!findDuplicates) {
        // The marks of the files listed now belong to data that is gone.
        if (FolderListDisplay* list = FolderListDisplay::Instance()) {
            list->Refresh();
        }
        // The cancelled searches may have been the last tasks of the current
        // folder: no task will report its end, so the walk goes on from here.
        ProcessCompletedTasks();
    }
}

void LarkspurBrowserView::GoToCopy(DupMember& copy)
{
    std::lock_guard lock(DataLock());
    FolderRecord* folder = copy.folder;
    if (folder == nullptr) {
        return;
    }
    const std::string name = copy.name;
    SelectItemQuietly(folder->item);
    if (FolderListDisplay* list = FolderListDisplay::Instance()) {
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
    DeletionHandler* handler = DeletionHandler::Instance();
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
    std::vector<FolderRecord*> subtree;
    std::vector<FolderRecord*> stack{&AsFolder(record)};
    while (!stack.empty()) {
        FolderRecord* current = stack.back();
        stack.pop_back();
        subtree.push_back(current);
        for (FolderRecord* child = FirstChild(*current); child != nullptr;
             child = NextSibling(*child)) {
            stack.push_back(child);
        }
    }
    const bool searched = std::any_of(subtree.begin(), subtree.end(), [](const FolderRecord* f) {
        return f->Has(FolderRecord::DupsKnown);
    });
    if (!searched) {
        framework::MessageBox::Show(this, resources::IDS_NOT_SCANNED_FOR_DUPLICATES, {},
                                    QMessageBox::Information);
        return;
    }
    const bool found = std::any_of(subtree.begin(), subtree.end(), [](const FolderRecord* f) {
        for (const DupMember* member = f->duplicates; member != nullptr;
             member = member->nextInFolder) {
            if (member->group != nullptr && member->group->MemberCount() > 1) {
                return true;
            }
        }
        return false;
    });
    if (!found) {
        framework::MessageBox::Show(this, resources::IDS_NO_DUPLICATES_FOUND, {},
                                    QMessageBox::Information);
        return;
    }
    DeleteDuplicatesDialog dialog(*this, this);
    dialog.SetHeldLock(&lock);
    dialog.SetFolder(&AsFolder(record));
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
    StopScanning();
    TaskManager::Instance().CancelAll(TaskManager::FinishedTasks::Discard);
    {
        // The stopped scan's duplicate search may still be filing its current
        // file under the tree-data lock: take it first, then the reference
        // lock, as every other change of duplicate data does.
        std::lock_guard lock(DataLock());
        std::lock_guard references(m_references);
        FolderRecord& folder = AsFolder(record);
        ClearStateBits(folder, FolderRecord::ClearAllMask);
        std::vector<FolderRecord*> stack{&folder};
        while (!stack.empty()) {
            FolderRecord* current = stack.back();
            stack.pop_back();
            current->ClearDuplicates(false, this);
            for (FolderRecord* child = FirstChild(*current); child != nullptr;
                 child = NextSibling(*child)) {
                stack.push_back(child);
            }
        }
        for (FolderRecord* ancestor = ParentOf(folder);
             ancestor != nullptr && ancestor->Has(FolderRecord::TreeSizeKnown);
             ancestor = ParentOf(*ancestor)) {
            ancestor->ForgetTreeSizes();
        }
    }
    RedrawAll();
    if (FolderListDisplay* list = FolderListDisplay::Instance()) {
        list->Refresh();
    }
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

void LarkspurBrowserView::RemoveFileFromFolder(FolderRecord& folder, DupMember& member)
{
    std::lock_guard lock(DataLock());
    folder.RemoveDuplicateMember(&member);
    RemoveDupMember(member);
    delete &member;
}

// --- Duplicate data ----------------------------------------------------------

void LarkspurBrowserView::ClearFolderDuplicates(const FolderRecordRef& folder)
{
    std::lock_guard lock(DataLock());
    if (FolderRecord* record = folder.Get()) {
        record->ClearDuplicates(false, this);
    }
}

void LarkspurBrowserView::RemoveDupMember(DupMember& member)
{
    std::lock_guard lock(DataLock());
    DupGroup* group = member.group;
    if (group == nullptr || !group->RemoveMemberLink(member)) {
        return;
    }
    member.group = nullptr;
    // A listed file may have lost its mark's meaning: the leaving one, or
    // the copy now left alone.
    const auto listed = [](const DupMember* file) {
        return file != nullptr && file->folder != nullptr &&
               file->folder->Has(FolderRecord::InFileList);
    };
    if (listed(&member) || (group->IsSingle() && listed(group->FirstMember()))) {
        RefreshListMarksLater();
    }
    if (group->members == nullptr) {
        DropGroup(*group);
    } else if (DuplicatesDisplay* display = DuplicatesDisplay::Instance()) {
        display->RefreshGroup(*group);
    }
}

void LarkspurBrowserView::RefreshListMarksLater()
{
    if (m_listMarksStale) {
        return;
    }
    m_listMarksStale = true;
    // Once per turn of the event loop, however many members left.
    QTimer::singleShot(0, this, [this] {
        m_listMarksStale = false;
        if (FolderListDisplay* list = FolderListDisplay::Instance()) {
            list->RefreshMarks();
        }
    });
}

void LarkspurBrowserView::DropGroup(DupGroup& group)
{
    std::lock_guard lock(DataLock());
    {
        std::lock_guard references(m_references);
        m_references.Forget(&group);
    }
    if (DuplicatesDisplay* display = DuplicatesDisplay::Instance()) {
        display->RemoveGroup(group);
    }
    // Every group with a member lies in the table; one that does not is not
    // this table's to free.
    if (m_dupTable.Unlink(&group)) {
        delete &group;
    }
}

void LarkspurBrowserView::ClearAllFolderData()
{
    std::lock_guard lock(DataLock());
    std::vector<FolderRecord*> stack;
    if (FolderRecord* root = Root()) {
        stack.push_back(root);
    }
    while (!stack.empty()) {
        FolderRecord* record = stack.back();
        stack.pop_back();
        record->ClearDuplicates(true, nullptr);
        for (FolderRecord* child = FirstChild(*record); child != nullptr;
             child = NextSibling(*child)) {
            stack.push_back(child);
        }
    }
    {
        std::lock_guard references(m_references);
        m_references.ForgetAll<DupGroup>();
    }
    m_dupTable.Clear();
}
