// The main view's deletion: every deletion of the program ends here.
#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <QEvent>
#include <QLocale>
#include <QTimer>

#include "app/CLarkspurView.h"
#include "engine/DupGroup.h"
#include "engine/DupMember.h"
#include "engine/FolderRecord.h"
#include "engine/TaskManager.h"
#include "framework/MessageBox.h"
#include "framework/ProgressWait.h"
#include "lists/LarkspurListView.h"
#include "platform/DecodedName.h"
#include "platform/FileQueries.h"
#include "platform/ShellActions.h"
#include "platform/TrashRun.h"
#include "resources/StringTable.h"
#include "tree/LarkspurBrowserView.h"
#include "model/TreeItemRecord.h"

namespace {

bool PathStillExists(const std::string& path)
{
    return path.empty() ||
           platform::FileQueries::Attributes(path).error != platform::kErrorFileNotFound;
}

// Frees a chain one request at a time, in chain order: a long chain freed
// through its owning links would recurse once per request.
void FreeChain(std::unique_ptr<DeletionRequest> chain)
{
    while (chain != nullptr) chain = std::move(chain->next);
}

// The duplicate groups of two or more whose every copy the chain names: the
// user must be told that no copy of those files stays.
std::vector<const DupGroup*> WholeGroups(const DeletionRequest* chain)
{
    std::set<const DupMember*> copies;
    std::vector<const DupGroup*> groups;
    for (const DeletionRequest* request = chain; request != nullptr;
         request = request->next.get()) {
        if (request->copy == nullptr) continue;
        copies.insert(request->copy);
        const DupGroup* group = request->copy->group;
        if (group != nullptr && std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    std::erase_if(groups, [&copies](const DupGroup* group) {
        if (group->MemberCount() < 2) return true;
        for (const DupMember* member : group->Members())
            if (copies.count(member) == 0) return true;
        return false;
    });
    return groups;
}

// Refuses the window's close while the moves run, cancels them instead and
// notes that the close was asked for.
class CloseGuard : public QObject {
public:
    explicit CloseGuard(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    bool asked = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Close) return QObject::eventFilter(watched, event);
        event->ignore();
        asked = true;
        m_cancel();
        return true;
    }

private:
    std::function<void()> m_cancel;
};

}  // namespace

bool CLarkspurView::IsInProtectedDirectory(const FolderRecord& folder) const
{
    if (m_protectedPrefix.isEmpty()) return false;
    const std::string path = DirectoryPathOf(folder);
    if (path.empty()) return false;
    // Both sides are upper case: the comparison itself keeps case.
    return QLocale()
        .toUpper(platform::DecodedName(path))
        .startsWith(m_protectedPrefix, Qt::CaseSensitive);
}

bool CLarkspurView::AnyInProtectedDirectory(const DeletionRequest* chain) const
{
    for (const DeletionRequest* request = chain; request != nullptr;
         request = request->next.get()) {
        if (request->folder != nullptr && IsInProtectedDirectory(*request->folder)) return true;
    }
    return false;
}

std::string CLarkspurView::RequestPath(const DeletionRequest& request)
{
    if (request.folder == nullptr) return {};
    if (request.name.empty()) return FullPathOf(*request.folder);
    const std::string directory = DirectoryPathOf(*request.folder);
    return directory.empty() ? std::string() : directory + request.name;
}

bool CLarkspurView::RequestStillExists(const DeletionRequest& request)
{
    return PathStillExists(RequestPath(request));
}

void CLarkspurView::DeleteRequests(std::unique_ptr<DeletionRequest> chain)
{
    // One deletion at a time: the running one refers to records and panes
    // while it waits for the Trash.
    if (m_deleting) {
        FreeChain(std::move(chain));
        return;
    }
    StopScanning();
    // A size measured before the deletion must not come back after it.
    TaskManager::Instance().CancelAll(TaskManager::FinishedTasks::Discard);
    if (m_protectSystemFiles && AnyInProtectedDirectory(chain.get())) {
        framework::MessageBox::Show(this, resources::IDS_PROTECTED_DIRECTORY,
                                    {platform::DecodedName(m_protectedDirectory)},
                                    QMessageBox::Warning);
        FreeChain(std::move(chain));
        return;
    }
    if (m_tree == nullptr || chain == nullptr) {
        FreeChain(std::move(chain));
        return;
    }
    // The records and duplicate members the chain names stay as they are
    // until the end: the worker's duplicate search changes duplicate data
    // only under this lock, its messages wait while a box or the progress
    // dialog is open (ModalScope), and user input waits or is blocked by
    // the progress dialog while the moves run (MoveAll).
    std::lock_guard lock(m_tree->DataLock());
    m_deleting = true;
    std::set<std::string> untried;
    if (SendToRecycleBin(chain.get(), &untried)) UpdateAfterDeletion(chain.get(), untried);
    m_deleting = false;
    FreeChain(std::move(chain));
    m_tree->RedrawAll();
}

bool CLarkspurView::SendToRecycleBin(const DeletionRequest* chain, std::set<std::string>* untried)
{
    std::vector<std::string> paths;
    std::set<std::string> seen;
    for (const DeletionRequest* request = chain; request != nullptr;
         request = request->next.get()) {
        std::string path = RequestPath(*request);
        // One folder can stand under two records: its files are asked for
        // and moved once.
        if (!path.empty() && seen.insert(path).second) paths.push_back(std::move(path));
    }
    if (paths.empty()) return true;

    const std::vector<const DupGroup*> wholeGroups = WholeGroups(chain);
    const QMessageBox::StandardButtons yesNo = QMessageBox::Yes | QMessageBox::No;
    QMessageBox::StandardButton answer;
    if (wholeGroups.size() == 1 &&
        static_cast<std::size_t>(wholeGroups.front()->MemberCount()) == paths.size()) {
        const DupMember* first = wholeGroups.front()->FirstMember();
        answer = framework::MessageBox::Show(
            this, resources::IDS_CONFIRM_TRASH_GROUP,
            {QString::number(paths.size()), platform::DecodedName(first->Name())},
            QMessageBox::Warning, yesNo);
    } else if (!wholeGroups.empty()) {
        answer = framework::MessageBox::Show(
            this, resources::IDS_CONFIRM_TRASH_GROUPS,
            {QString::number(paths.size()), QString::number(wholeGroups.size())},
            QMessageBox::Warning, yesNo);
    } else if (paths.size() == 1) {
        answer = framework::MessageBox::Show(this, resources::IDS_CONFIRM_TRASH_ONE,
                                             {platform::DecodedName(paths.front())},
                                             QMessageBox::Question, yesNo);
    } else {
        answer = framework::MessageBox::Show(this, resources::IDS_CONFIRM_TRASH_MANY,
                                             {QString::number(paths.size())}, QMessageBox::Question,
                                             yesNo);
    }
    if (answer != QMessageBox::Yes) return false;

    const std::vector<platform::TrashOutcome> outcomes = MoveAll(paths);
    if (untried != nullptr) {
        for (std::size_t i = outcomes.size(); i < paths.size(); ++i) untried->insert(paths[i]);
    }

    QStringList failed;
    for (const platform::TrashOutcome& outcome : outcomes) {
        if (!outcome.trashed && !outcome.reason.empty() && PathStillExists(outcome.path))
            failed << platform::DecodedName(outcome.path) + QStringLiteral(" (") +
                          QString::fromStdString(outcome.reason) + QStringLiteral(")");
    }
    if (!failed.isEmpty())
        framework::MessageBox::Show(this, resources::IDS_TRASH_FAILED,
                                    {failed.join(QLatin1Char('\n'))}, QMessageBox::Warning);
    return true;
}

std::vector<platform::TrashOutcome> CLarkspurView::MoveAll(const std::vector<std::string>& paths)
{
    platform::TrashRun run(paths);
    CloseGuard closeGuard([&run] { run.Cancel(); });
    QWidget* frame = window();
    frame->installEventFilter(&closeGuard);
    (void)framework::WaitWithProgress(
        this, resources::StringTable::Load(resources::IDS_PROGRESS_TRASH),
        static_cast<int>(paths.size()), [&run] { return run.Finished(); },
        [&run] { return run.MovesDone(); }, [&run] { run.Cancel(); });
    frame->removeEventFilter(&closeGuard);
    // The window closes once the deletion is over.
    if (closeGuard.asked) QTimer::singleShot(0, frame, &QWidget::close);
    return run.Outcomes();
}

void CLarkspurView::UpdateAfterDeletion(const DeletionRequest* chain,
                                        const std::set<std::string>& untried)
{
    if (m_tree == nullptr) return;
    std::lock_guard lock(m_tree->DataLock());

    // What has gone is found out before any record changes: removing a
    // folder frees its subtree's records and members, which later requests
    // of the chain may name. So files go first, every member once, and then
    // the folders, each only while its item is still in the tree.
    struct Gone {
        const DeletionRequest* request;
        TreeItem item;
    };
    std::vector<Gone> files;
    std::vector<Gone> folders;
    for (const DeletionRequest* request = chain; request != nullptr;
         request = request->next.get()) {
        // A path never tried is still there: it is not asked for, since its
        // volume may be the one that did not answer.
        if (request->folder == nullptr || untried.count(RequestPath(*request)) != 0 ||
            RequestStillExists(*request))
            continue;
        (request->name.empty() ? folders : files).push_back({request, request->folder->item});
    }

    FolderRecord* listed = m_fileList != nullptr ? m_fileList->ListedFolder() : nullptr;
    std::set<const DupMember*> removed;
    for (const Gone& gone : files) {
        FolderRecord& folder = *gone.request->folder;
        // A caller that did not know the file's duplicate record: the record
        // of that exact name goes all the same.
        DupMember* copy = gone.request->copy != nullptr ? gone.request->copy
                                                        : folder.DuplicateNamed(gone.request->name);
        if (copy != nullptr && copy->folder != nullptr && removed.insert(copy).second)
            m_tree->RemoveFileFromFolder(*copy->folder, *copy);

        folder.ForgetOwnSizes();
        for (FolderRecord* up = &folder; up != nullptr;
             up = static_cast<FolderRecord*>(up->parent)) {
            up->ForgetTreeSizes();
            m_tree->RefreshItemLabel(*up);
        }
        if (&folder == listed) {
            m_fileList->Refresh();
            listed = nullptr;
        }
    }

    for (const Gone& gone : folders) {
        // A folder that went with an earlier one of the chain is gone from
        // the tree already, and its record with it.
        if (gone.item == TreeItem::None || !m_tree->Tree().Contains(gone.item)) continue;
        auto* folder = static_cast<FolderRecord*>(m_tree->RecordOf(gone.item));
        if (folder == nullptr) continue;
        const TreeItem parentItem =
            folder->parent != nullptr ? folder->parent->item : TreeItem::None;
        m_tree->DeleteItemTree(gone.item, false);
        if (parentItem != TreeItem::None && m_tree->Tree().Contains(parentItem)) {
            if (auto* parent = static_cast<FolderRecord*>(m_tree->RecordOf(parentItem)))
                parent->UpdateTotals(*m_tree);
        }
    }
}
