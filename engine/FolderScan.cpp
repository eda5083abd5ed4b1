#include "engine/FolderScan.h"

#include <algorithm>
#include <mutex>

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include "engine/DupFileList.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/FindDupFileTask.h"
#include "engine/FindSizeTask.h"
#include "engine/FindSubfoldersTask.h"
#include "engine/FolderListDisplay.h"
#include "engine/FolderListing.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "model/TreeAccess.h"
#include "platform/DecodedName.h"
#include "platform/MessageQueue.h"
#include "resources/StringTable.h"

namespace {

FolderRecord* ParentOf(const FolderRecord& record)
{
    return static_cast<FolderRecord*>(record.parent);
}
FolderRecord* FirstChildOf(const TreeAccess& tree, const FolderRecord& record)
{
    return static_cast<FolderRecord*>(tree.FirstChildRecord(record));
}
FolderRecord* NextSiblingOf(const TreeAccess& tree, const FolderRecord& record)
{
    return static_cast<FolderRecord*>(tree.NextSiblingRecord(record));
}

// A turn of the event loop delivers finished tasks for at most this long;
// the rest wait for the next turn, so that input and painting come between.
constexpr qint64 kDeliveryBudgetNs = 8'000'000;
// Turns of deliveries start at least this long after the previous one ended.
// Each turn ends by letting the worker announce the next finished task, and
// a quick turn would let it announce nearly every task with a wake-up of its
// own: spaced, one wake-up covers the tasks of a millisecond.
constexpr int kTurnSpacingMs = 1;
// The walk keeps at most this many tasks queued ahead of the deliveries: a
// few milliseconds of work for the worker, a few dozen folders, so that it
// does not run dry between two turns.
constexpr int kQueueAheadTasks = 128;

}  // namespace

FolderScan::FolderScan(TreeAccess& tree) : m_tree(tree), m_dups(tree, m_context) {}

FolderScan::~FolderScan() = default;

void FolderScan::SetDisplays(DuplicatesDisplay* duplicates, FolderListDisplay* fileList)
{
    m_fileList = fileList;
    m_dups.SetDisplays(duplicates, fileList);
}

FolderRecord* FolderScan::Root() const { return static_cast<FolderRecord*>(m_tree.RootRecord()); }

void FolderScan::RefreshFileList()
{
    if (m_fileList != nullptr) {
        m_fileList->Refresh();
    }
}

// --- Record hooks --------------------------------------------------------------

std::unique_ptr<TreeItemRecord> FolderScan::CreateItemRecord(TreeItem item)
{
    auto record = std::make_unique<FolderRecord>(item);
    const TreeItem parentItem =
        item == TreeItem::None ? TreeItem::None : m_tree.Tree().Parent(item);
    if (parentItem == TreeItem::None) {
        return record;
    }
    auto* parent = static_cast<FolderRecord*>(m_tree.RecordOf(parentItem));
    if (parent == nullptr) {
        return record;
    }
    // A scan under way spreads into folders that were not in the tree when
    // it started.
    if (parent->Has(FolderRecord::SizeQueued)) {
        record->Set(FolderRecord::SizeQueued);
        parent->Set(FolderRecord::TreeSizePending);
        m_tree.RefreshItemLabel(*parent);
    }
    if (parent->Has(FolderRecord::DupsQueued)) {
        record->Set(FolderRecord::DupsQueued);
        parent->Set(FolderRecord::TreeDupsPending);
    }
    record->clusterSize = parent->clusterSize;
    return record;
}

void FolderScan::InitItemRecord(TreeItemRecord& record)
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

void FolderScan::OnDeleteItemRecord(TreeItemRecord& record, bool destroying)
{
    FolderRecord& folder = AsFolder(record);
    if (destroying) {
        folder.ClearDuplicates(true, nullptr);
        return;
    }
    for (DupMember* member = folder.duplicates; member != nullptr; member = member->nextInFolder) {
        m_dups.RemoveDupMember(*member);
    }
    {
        std::lock_guard references(m_dups.References());
        m_dups.References().Forget(&folder);
    }
    for (FolderRecord* ancestor = ParentOf(folder);
         ancestor != nullptr && ancestor->Has(FolderRecord::TreeSizeKnown);
         ancestor = ParentOf(*ancestor)) {
        ancestor->ForgetTreeSizes();
        m_tree.RefreshItemLabel(*ancestor);
    }
    if (m_fileList != nullptr) {
        m_fileList->ForgetFolder(folder);
    }
    folder.ClearDuplicates(true, nullptr);

    m_inFlight.erase(&folder);
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
            QTimer::singleShot(0, &m_context, [this] { SettleAfterRemovals(); });
        }
        m_removedFrom.push_back(folder.parent->item);
    }
}

void FolderScan::SettleAfterRemovals()
{
    if (m_settling || m_removedFrom.empty()) {
        return;
    }
    m_settling = true;
    std::lock_guard lock(m_tree.DataLock());
    std::vector<TreeItem> parents;
    parents.swap(m_removedFrom);
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    for (TreeItem item : parents) {
        // A parent that went with the same removal is skipped.
        if (item != TreeItem::None && !m_tree.Tree().Contains(item)) {
            continue;
        }
        if (auto* parent = static_cast<FolderRecord*>(m_tree.RecordOf(item))) {
            parent->UpdateTotals(m_tree);
            parent->UpdateDupsPending(m_tree);
            m_tree.RefreshItemLabel(*parent);
        }
    }
    m_settling = false;
}

void FolderScan::NotifyListIfShown(TreeItemRecord& record)
{
    FolderRecord& folder = AsFolder(record);
    if (folder.Has(FolderRecord::InFileList)) {
        if (m_fileList != nullptr) {
            m_fileList->UpdateFolderRow(folder);
        }
    }
}

void FolderScan::OnTreeDestroy()
{
    // The lists keep their entries: the references are destroyed later, by
    // their holders, and take themselves out then.
    m_dups.References().NullEverything();
}

void FolderScan::SortChildren(TreeItemRecord& record)
{
    // An enumeration that removed vanished folders ends here; their parents'
    // totals are settled before the order is taken from them.
    SettleAfterRemovals();
    if (AsFolder(record).clusterSize < 1) {
        return;  // outside the file system the shell's order stays
    }
    m_tree.SortChildrenWith(record, [](const TreeItemRecord& first, const QString& firstKey,
                                       const TreeItemRecord& second, const QString& secondKey) {
        const int bySize =
            FileSize::Compare(AsFolder(second).treeDiskSpace, AsFolder(first).treeDiskSpace);
        return bySize != 0 ? bySize : firstKey.compare(secondKey);
    });
}

void FolderScan::ScanFolder(FolderRecord& folder)
{
    if (folder.clusterSize < 1) {
        return;
    }
    std::lock_guard lock(m_tree.DataLock());
    MarkForSizeScan(folder);
    if (m_duplicateMode) {
        MarkForDuplicateScan(folder);
    }
    StartWalk(folder);
    QueueTasksFor(folder);
}

// --- Marks -------------------------------------------------------------------

void FolderScan::Mark(FolderRecord& record, FolderRecord::Flag known, FolderRecord::Flag queued,
                      FolderRecord::Flag pending)
{
    m_tree.ForEachInSubtree(record, [&](TreeItemRecord& item) {
        FolderRecord& current = AsFolder(item);
        if (current.Has(known)) {
            return;
        }
        current.Set(queued);
        m_tree.RefreshItemLabel(current);
        for (FolderRecord* ancestor = ParentOf(current);
             ancestor != nullptr && !ancestor->Has(pending); ancestor = ParentOf(*ancestor)) {
            ancestor->Set(pending);
            m_tree.RefreshItemLabel(*ancestor);
        }
    });
}

void FolderScan::MarkForSizeScan(FolderRecord& record)
{
    Mark(record, FolderRecord::OwnSizeKnown, FolderRecord::SizeQueued,
         FolderRecord::TreeSizePending);
}

void FolderScan::MarkForDuplicateScan(FolderRecord& record)
{
    Mark(record, FolderRecord::DupsKnown, FolderRecord::DupsQueued, FolderRecord::TreeDupsPending);
}

void FolderScan::ClearStateBits(FolderRecord& record, std::uint16_t mask)
{
    std::vector<FolderRecord*> order;
    m_tree.ForEachInSubtree(record, [&order, mask](TreeItemRecord& item) {
        AsFolder(item).ClearMask(mask);
        // The files listed go with the own size that they make up.
        if ((mask & FolderRecord::OwnSizeKnown) != 0) {
            AsFolder(item).files.reset();
        }
        order.push_back(&AsFolder(item));
    });
    // Children before their parents, as a recursion would sort them.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (m_tree.FirstChildRecord(**it) != nullptr) {
            m_tree.SortChildren(**it);
        }
    }
}

// --- Scheduling --------------------------------------------------------------

bool FolderScan::QueueTasksFor(FolderRecord& record)
{
    const std::string path = DirectoryPathOf(record);
    if (path.empty()) {
        return false;
    }
    m_inFlight.insert(&record);
    if (m_queueHook) {
        m_queueHook(record);
    }
    TaskManager& tasks = TaskManager::Instance();
    // With a size scan or a duplicate search to follow, the folder is read
    // once for all the tasks, with every entry's details; otherwise the
    // enumeration lists the folder itself, types only.
    const bool sizeQueued = record.Has(FolderRecord::SizeQueued);
    const bool dupsQueued = record.Has(FolderRecord::DupsQueued);
    std::shared_ptr<FolderListing> listing;
    if (sizeQueued || dupsQueued) {
        listing = std::make_shared<FolderListing>(path, platform::SearchDetail::Full);
    }
    tasks.Add(std::make_unique<FindSubfoldersTask>(m_tree, record, path, listing));
    if (sizeQueued) {
        tasks.Add(
            std::make_unique<FindSizeTask>(m_tree, m_dups.References(), record, path, listing));
    }
    if (dupsQueued) {
        const DupSearchContext context{m_tree,
                                       m_dups.References(),
                                       m_dups.Table(),
                                       m_mainView,
                                       dynamic_cast<DupFileList*>(m_fileList),
                                       m_dups.Display()};
        tasks.Add(std::make_unique<FindDupFileTask>(context, record, path, std::move(listing)));
    }
    return true;
}

void FolderScan::StartWalk(FolderRecord& start)
{
    m_scanRoot = &start;
    m_pathStack.assign(1, &start);
    m_depth = 0;
    m_depthLimit = 1;
    m_passDeepest = 0;
    m_passEnded = false;
    m_passIncomplete = false;
}

void FolderScan::ResetTraversal()
{
    m_depth = -1;
    m_scanRoot = nullptr;
    m_pathStack.clear();
    m_depthLimit = 0;
    m_passDeepest = 0;
    m_passEnded = false;
    m_passIncomplete = false;
}

bool FolderScan::FindNextFolderToScan()
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

    enum class Step { Descend, NextSibling, Up, PassEnd };
    Step step = m_passEnded               ? Step::PassEnd
                : m_depth >= m_depthLimit ? Step::NextSibling
                                          : Step::Descend;
    for (;;) {
        FolderRecord* candidate = nullptr;
        switch (step) {
            case Step::Descend:
                if (FolderRecord* child = FirstChildOf(m_tree, *m_pathStack[m_depth])) {
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
                    if (FolderRecord* next = NextSiblingOf(m_tree, *m_pathStack[m_depth])) {
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
                step = m_depth > 0 ? Step::NextSibling : Step::PassEnd;
                break;
            case Step::PassEnd:
                // Back at the scan root. Folders queued ahead may still bring
                // children within this pass's reach: the pass waits for
                // them before it decides anything.
                m_depth = 0;
                m_pathStack.assign(1, m_scanRoot);
                if (TaskManager::Instance().PendingCount() != 0) {
                    m_passEnded = true;
                    return false;
                }
                m_passEnded = false;
                if (!m_passIncomplete) {
                    // A complete pass that never reached its depth limit
                    // has seen every folder with work below it: a deeper
                    // one would find nothing new. This, not a fixed limit,
                    // ends the walk, also when the pass found work it could
                    // not queue (which every pass finds again).
                    if (m_passDeepest < m_depthLimit) {
                        ResetTraversal();
                        return false;
                    }
                    ++m_depthLimit;
                }
                // Otherwise the same pass again, now that the children of
                // the folders it queued above its limit are in the tree.
                m_passIncomplete = false;
                m_passDeepest = 0;
                step = Step::Descend;
                break;
        }
        if (candidate != nullptr) {
            if (candidate->IsQueued()) {
                if (m_inFlight.count(candidate) == 0) {
                    return true;
                }
                m_passIncomplete = true;  // comes again once its tasks are delivered
            }
            step = m_depth < m_depthLimit && candidate->IsPendingBelow() ? Step::Descend
                                                                         : Step::NextSibling;
        }
    }
}

void FolderScan::ProcessCompletedTasks()
{
    if (m_lastTurn.isValid() && m_lastTurn.nsecsElapsed() < kTurnSpacingMs * 1'000'000) {
        OweTurn();
        return;
    }
    TaskManager& tasks = TaskManager::Instance();
    QElapsedTimer turn;
    turn.start();
    // The status text names the folder last delivered, once per turn rather
    // than once per folder.
    std::string lastFolder;
    while (std::unique_ptr<Task> task = tasks.TakeFinished()) {
        m_scannedSomething = true;
        task->Deliver();
        if (const std::string_view folder = task->StatusFolder(); !folder.empty()) {
            lastFolder = folder;
        }
        task.reset();
        SettleAfterRemovals();
        if (turn.nsecsElapsed() >= kDeliveryBudgetNs) {
            ShowScanning(lastFolder);
            // The rest, and the next folders, at the next turn.
            m_lastTurn.start();
            OweTurn();
            return;
        }
    }
    ShowScanning(lastFolder);
    if (tasks.PendingCount() == 0) {
        m_inFlight.clear();
    }
    {
        std::lock_guard lock(m_tree.DataLock());
        // The walk queues ahead, so that the worker never waits for the
        // deliveries: folders in the walk's order until the window is full.
        // A folder without a path queues nothing and the walk goes on.
        while (tasks.PendingCount() < kQueueAheadTasks && FindNextFolderToScan()) {
            if (QueueTasksFor(*m_pathStack[m_depth]) && m_depth < m_depthLimit) {
                m_passIncomplete = true;  // its children fall within this pass
            }
        }
    }
    ClearStatusIfIdle();
    m_lastTurn.start();
}

void FolderScan::OweTurn()
{
    if (m_deliveryOwed) {
        return;
    }
    m_deliveryOwed = true;
    QTimer::singleShot(kTurnSpacingMs, Qt::PreciseTimer, &m_context, [this] {
        m_deliveryOwed = false;
        ProcessCompletedTasks();
    });
}

void FolderScan::ShowScanning(const std::string& folder) const
{
    if (folder.empty() || m_frame == 0) {
        return;
    }
    const QString text =
        resources::StringTable::Format(resources::IDS_SCANNING, {platform::DecodedName(folder)});
    const std::string bytes = QFile::encodeName(text).toStdString();
    platform::MessageQueue::Instance().Send(m_frame, UM_STATUS_TEXT,
                                            reinterpret_cast<platform::WParam>(&bytes), 0);
}

void FolderScan::ClearStatusIfIdle()
{
    if (m_depth < 0 && m_frame != 0 && TaskManager::Instance().PendingCount() == 0) {
        platform::MessageQueue::Instance().PostText(m_frame, UM_STATUS_TEXT, std::string(), 0);
    }
}

// --- Commands ----------------------------------------------------------------

void FolderScan::StopScanning()
{
    ResetTraversal();
    m_inFlight.clear();
    if (FolderRecord* root = Root()) {
        std::lock_guard lock(m_tree.DataLock());
        ClearStateBits(*root, FolderRecord::ClearPendingMask);
    }
    TaskManager::Instance().CancelAll();
    m_tree.RefreshAllLabels();
    // A task still running reports its end later; otherwise nothing will.
    ClearStatusIfIdle();
}

void FolderScan::ForgetTree(std::uint16_t mask)
{
    if (FolderRecord* root = Root()) {
        std::lock_guard lock(m_tree.DataLock());
        ClearStateBits(*root, mask);
    }
    if (DuplicatesDisplay* display = m_dups.Display()) {
        display->ClearAll();
    }
    m_dups.ClearAll();
}

void FolderScan::ResetAll()
{
    StopScanning();
    // Sizes that finished but were not yet delivered would come back.
    TaskManager::Instance().CancelAll(TaskManager::FinishedTasks::Discard);
    ForgetTree(FolderRecord::ClearAllMask);
    m_scannedSomething = false;
    m_tree.RefreshAllLabels();
    RefreshFileList();
}

void FolderScan::SetDuplicateMode(bool findDuplicates)
{
    if (findDuplicates) {
        StopScanning();
    } else {
        TaskManager::Instance().CancelByName("FindDupFileTask",
                                             TaskManager::FinishedTasks::Discard);
        ForgetTree(FolderRecord::ClearDupsMask);
    }
    m_duplicateMode = findDuplicates;
    if (DuplicatesDisplay* display = m_dups.Display()) {
        display->EnableLists(findDuplicates);
    }
    if (!findDuplicates) {
        // The marks of the files listed now belong to data that is gone.
        RefreshFileList();
        // The cancelled searches may have been the last tasks of the current
        // folder: no task will report its end, so the walk goes on from here.
        ProcessCompletedTasks();
    }
}

void FolderScan::ClearFolderData(FolderRecord& folder)
{
    StopScanning();
    TaskManager::Instance().CancelAll(TaskManager::FinishedTasks::Discard);
    {
        // The stopped scan's duplicate search may still be filing its current
        // file under the tree-data lock: take it first, then the reference
        // lock, as every other change of duplicate data does.
        std::lock_guard lock(m_tree.DataLock());
        std::lock_guard references(m_dups.References());
        ClearStateBits(folder, FolderRecord::ClearAllMask);
        m_dups.ClearSubtree(folder);
        for (FolderRecord* ancestor = ParentOf(folder);
             ancestor != nullptr && ancestor->Has(FolderRecord::TreeSizeKnown);
             ancestor = ParentOf(*ancestor)) {
            ancestor->ForgetTreeSizes();
        }
    }
    m_tree.RefreshAllLabels();
    RefreshFileList();
}
