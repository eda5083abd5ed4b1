#include "lists/LarkspurListView.h"

#include <mutex>

#include <QDateTime>
#include <QElapsedTimer>
#include <QMenu>

#include "engine/DupGroup.h"
#include "engine/DupMember.h"
#include "engine/FindSizeTask.h"
#include "engine/FolderRecord.h"
#include "engine/WindowMessages.h"
#include "framework/ContextHelp.h"
#include "framework/MarkImages.h"
#include "framework/MenuBuilder.h"
#include "lists/FileLauncher.h"
#include "platform/DirectorySearch.h"
#include "platform/ModalScope.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tree/DeletionChain.h"
#include "tree/DeletionHandler.h"
#include "tree/FolderTreeActions.h"
#include "model/SharedImageList.h"
#include "model/TreeAccess.h"

namespace {

// Pending icons are worked out in slices this long, between the events.
constexpr qint64 kIconSliceMs = 8;

std::int64_t WholeSeconds(std::int64_t nanoseconds)
{
    // Toward minus infinity, so that times before 1970 keep their second.
    std::int64_t seconds = nanoseconds / 1000000000;
    if (nanoseconds % 1000000000 < 0) {
        --seconds;
    }
    return seconds;
}

}  // namespace

LarkspurListView::LarkspurListView(QWidget* parent)
    : framework::DetailListView(framework::ListSelection::Multiple, parent)
{
    using resources::StringTable;
    ListControl& control = Control();
    control.InsertColumn(FileListItem::NameColumn,
                         {StringTable::Load(resources::IDS_COLUMN_NAME), 140, Qt::AlignLeft});
    control.InsertColumn(FileListItem::DiskSpaceColumn,
                         {StringTable::Load(resources::IDS_COLUMN_DISK_SPACE), 80, Qt::AlignRight});
    control.InsertColumn(FileListItem::FileSizeColumn,
                         {StringTable::Load(resources::IDS_COLUMN_FILE_SIZE), 80, Qt::AlignRight});
    // The locale's full date and time ("%c") is wider in most locales than
    // 130 pixels: the column takes what a long date needs, at least that.
    const QString longDate = FileListItem::ModifiedText(
        QDateTime(QDate(2026, 9, 30), QTime(23, 58, 58)).toSecsSinceEpoch());
    const int modifiedWidth = std::max(130, fontMetrics().horizontalAdvance(longDate) + 16);
    control.InsertColumn(
        FileListItem::ModifiedColumn,
        {StringTable::Load(resources::IDS_COLUMN_MODIFIED), modifiedWidth, Qt::AlignLeft});

    const auto [hasCopies, noCopy] = framework::MarkImages();
    SetStateImages(QPixmap::fromImage(hasCopies), QPixmap::fromImage(noCopy));
    framework::ContextHelp::SetTopic(this, resources::HID_FILE_LIST);

    m_iconTimer.setInterval(0);
    connect(&m_iconTimer, &QTimer::timeout, this, &LarkspurListView::ResolveSomeIcons);
}

LarkspurListView::~LarkspurListView()
{
    m_iconTimer.stop();
    ReleaseItems(false);
    BeginFill(nullptr);
}

void LarkspurListView::SetTree(TreeAccess* tree) { m_tree = tree; }

void LarkspurListView::SetCommandRouter(framework::CommandRouter* router) { m_router = router; }

void LarkspurListView::SetShowCopy(std::function<void(DupMember&)> showCopy)
{
    m_showCopy = std::move(showCopy);
}

// --- Items and rows -------------------------------------------------------------

FileListItem* LarkspurListView::Item(int row) const
{
    return static_cast<FileListItem*>(Control().ItemData(row));
}

const FileListItem* LarkspurListView::ItemAt(int row) const { return Item(row); }

int LarkspurListView::FileRow(std::string_view name) const
{
    const auto found = m_fileByName.find(name);
    return found == m_fileByName.end() ? -1 : Control().FindItem(found->second);
}

void LarkspurListView::ReleaseItems(bool clearFlags)
{
    if (clearFlags) {
        for (FileListItem& item : m_items) {
            if (item.folder != nullptr) {
                item.folder->Clear(FolderRecord::InFileList);
            }
        }
    }
    m_pendingIcons.clear();
    m_iconTimer.stop();
    m_fileByName.clear();
    m_folderItems.clear();
    m_items.clear();
}

void LarkspurListView::SetFolder(FolderRecord* folder)
{
    if (m_icons == nullptr && SharedImageList() != nullptr) {
        SetImageList(SharedImageList());
        m_icons = std::make_unique<FileTypeIcons>(*SharedImageList());
    }
    if (folder == m_folder) {
        return;
    }
    if (m_folder != nullptr) {
        m_folder->Clear(FolderRecord::InFileList);
    }
    // The rows go with their items: no row may point at a released item.
    Control().DeleteAllItems();
    ReleaseItems(true);
    m_folder = folder;
    if (m_folder == nullptr) {
        EndFill();
        return;
    }
    m_folder->Set(FolderRecord::InFileList);
    Refresh();
}

void LarkspurListView::Refresh()
{
    if (m_folder == nullptr || m_tree == nullptr) {
        return;
    }
    Fill();
    RebuildRows();
    if (m_folder->clusterSize > 0) {
        Sort();
    }
    if (!m_pendingIcons.empty()) {
        m_iconTimer.start();
    }
}

void LarkspurListView::TakeFolderSizes(FileListItem& item)
{
    if (item.folder->Has(FolderRecord::TreeSizeKnown)) {
        item.diskSpace = item.folder->treeDiskSpace;
        item.fileSize = item.folder->treeSize;
    } else {
        item.diskSpace = FileListItem::kPendingSize;
        item.fileSize = FileListItem::kPendingSize;
    }
}

int LarkspurListView::MarkOf(const DupMember* member)
{
    if (member != nullptr && member->IsPending()) {
        return FileListItem::NoCopy;  // the only file of its size
    }
    if (member == nullptr || member->group == nullptr) {
        return FileListItem::NoMark;
    }
    return member->group->IsSingle() ? FileListItem::NoCopy : FileListItem::HasCopies;
}

std::unordered_map<std::string_view, DupMember*> LarkspurListView::DuplicateIndex() const
{
    std::unordered_map<std::string_view, DupMember*> index;
    if (m_folder == nullptr) {
        return index;
    }
    for (DupMember* member = m_folder->duplicates; member != nullptr;
         member = member->nextInFolder) {
        index.emplace(member->Name(), member);  // the first of a name stays
    }
    return index;
}

void LarkspurListView::Fill()
{
    // The rows go with their items: no row may point at a released item.
    Control().DeleteAllItems();
    ReleaseItems(true);

    // The files first, without the lock: the disk is read only here.
    std::vector<FileListItem> files;
    const std::string directory = DirectoryPathOf(*m_folder);
    if (!directory.empty()) {
        platform::DirectorySearch search;
        platform::FindData entry;
        if (search.Start(directory + "*", entry)) {
            do {
                if (entry.IsDirectory()) {
                    continue;  // ".", ".." and subfolders
                }
                FileListItem& item = files.emplace_back();
                item.SetName(std::move(entry.name));
                item.fileSize = FileSize::FromUnsigned(entry.Size());
                item.diskSpace = AllocatedSize(entry, m_folder->clusterSize);
                item.modified = WholeSeconds(entry.lastWriteTime);
                if (m_icons != nullptr) {
                    // A type not seen before is worked out after the rows are shown.
                    item.icon = m_icons->Cached(item.name).value_or(-1);
                }
            } while (search.Next(entry));
        }
    }

    // The new generation, the tree's children and the duplicate members in
    // one hold of the lock: a mark the search posted before it belongs to
    // the earlier fill, one it posts after finds these rows.
    std::lock_guard lock(m_tree->DataLock());
    BeginFill(m_folder);

    std::size_t folderCount = 0;
    for (TreeItemRecord* child = m_tree->FirstChildRecord(*m_folder); child != nullptr;
         child = m_tree->NextSiblingRecord(*child)) {
        ++folderCount;
    }
    m_items.reserve(folderCount + files.size());
    for (TreeItemRecord* child = m_tree->FirstChildRecord(*m_folder); child != nullptr;
         child = m_tree->NextSiblingRecord(*child)) {
        auto* record = static_cast<FolderRecord*>(child);
        FileListItem& item = m_items.emplace_back();
        item.folder = record;
        item.SetName(DisplayNameOf(*record));
        const std::string path = FullPathOf(*record);
        if (!path.empty()) {
            platform::DirectorySearch search;
            platform::FindData entry;
            if (search.Start(path, entry)) {
                item.modified = WholeSeconds(entry.lastWriteTime);
            }
            if (m_icons != nullptr) {
                item.icon = m_icons->FolderIcon();
            }
        } else {
            // A folder outside the file system shows the tree's own icon.
            const int image = m_tree->Tree().Image(record->item);
            item.icon = image >= 0 || m_icons == nullptr ? image : m_icons->FolderIcon();
        }
        TakeFolderSizes(item);
        item.mark =
            record->Has(FolderRecord::DupsKnown) ? FileListItem::NoCopy : FileListItem::NoMark;
        record->Set(FolderRecord::InFileList);
    }

    const auto duplicates = DuplicateIndex();
    for (FileListItem& file : files) {
        FileListItem& item = m_items.emplace_back(std::move(file));
        if (!duplicates.empty()) {
            const auto found = duplicates.find(item.name);
            item.mark = MarkOf(found == duplicates.end() ? nullptr : found->second);
        }
    }

    // The indexes point into m_items, which grows no more until the next fill.
    m_folderItems.reserve(folderCount);
    m_fileByName.reserve(files.size());
    for (FileListItem& item : m_items) {
        if (item.IsFolder()) {
            m_folderItems.emplace(item.folder, &item);
        } else {
            m_fileByName.emplace(item.name, &item);
            if (item.icon < 0 && m_icons != nullptr) {
                item.icon = m_icons->GenericFileIcon();
                m_pendingIcons.push_back(&item);
            }
        }
    }
}

void LarkspurListView::RebuildRows()
{
    ListControl& control = Control();
    control.SuspendRedraw();
    control.DeleteAllItems();
    control.SetItemCountHint(static_cast<int>(m_items.size()));
    int row = 0;
    for (FileListItem& item : m_items) {
        row = control.InsertItem(row, item.displayName, item.icon, item.mark, &item);
        ShowSizes(row, item);
        control.SetItemText(row, FileListItem::ModifiedColumn,
                            FileListItem::ModifiedText(item.modified));
        ++row;
    }
    control.ResumeRedraw();
    control.RefreshAll();
}

void LarkspurListView::ShowSizes(int row, const FileListItem& item)
{
    Control().SetItemText(row, FileListItem::DiskSpaceColumn,
                          FileListItem::SizeText(item.diskSpace));
    Control().SetItemText(row, FileListItem::FileSizeColumn, FileListItem::SizeText(item.fileSize));
}

void LarkspurListView::SetMark(FileListItem& item, int mark)
{
    item.mark = mark;
    const int row = Control().FindItem(&item);
    if (row >= 0) {
        Control().SetItemStateImage(row, mark);
    }
}

void LarkspurListView::EndFill()
{
    if (m_tree != nullptr) {
        std::lock_guard lock(m_tree->DataLock());
        BeginFill(nullptr);
    } else {
        BeginFill(nullptr);
    }
}

// --- Order ------------------------------------------------------------------------

void LarkspurListView::Sort()
{
    const int column = m_sortColumn;
    Control().SortItems(
        [column](void* first, void* second, std::intptr_t ascending) {
            return FileListItem::Compare(column, *static_cast<const FileListItem*>(first),
                                         *static_cast<const FileListItem*>(second), ascending != 0);
        },
        m_ascending ? 1 : 0);
}

void LarkspurListView::OnColumnClick(int column)
{
    if (column < FileListItem::NameColumn || column > FileListItem::ModifiedColumn) {
        return;
    }
    if (column == m_sortColumn) {
        m_ascending = !m_ascending;
    } else {
        m_sortColumn = column;
        m_ascending = column == FileListItem::NameColumn;
    }
    Sort();
}

// --- What the tree and the search report ----------------------------------------

void LarkspurListView::UpdateFolderRow(FolderRecord& folder)
{
    if (&folder == m_folder) {
        Sort();
        return;
    }
    const auto found = m_folderItems.find(&folder);
    if (found == m_folderItems.end()) {
        return;
    }
    FileListItem& item = *found->second;
    TakeFolderSizes(item);
    const int row = Control().FindItem(&item);
    if (row >= 0) {
        ShowSizes(row, item);
    }
}

void LarkspurListView::MarkFolderSearched(FolderRecord& folder)
{
    if (!folder.Has(FolderRecord::InFileList)) {
        return;
    }
    const auto found = m_folderItems.find(&folder);
    if (found != m_folderItems.end()) {
        SetMark(*found->second, FileListItem::NoCopy);
    }
}

platform::MessageResult LarkspurListView::OnMessage(platform::MessageId message,
                                                    platform::WParam wParam,
                                                    platform::LParam lParam)
{
    if (message != UM_FILE_DUP_STATE || wParam == 0) {
        return 0;
    }
    // The queue frees the name after this returns.
    const auto& name = *reinterpret_cast<const std::string*>(wParam);
    if (!IsCurrentFill(DupStateGeneration(lParam))) {
        return 0;  // meant for rows that have gone
    }
    const auto found = m_fileByName.find(name);
    if (found != m_fileByName.end()) {
        SetMark(*found->second,
                DupStateIsSingle(lParam) ? FileListItem::NoCopy : FileListItem::HasCopies);
    }
    return 0;
}

void LarkspurListView::ForgetFolder(FolderRecord& folder)
{
    if (&folder == m_folder) {
        Control().DeleteAllItems();
        ReleaseItems(true);
        m_folder->Clear(FolderRecord::InFileList);
        m_folder = nullptr;
        EndFill();
        return;
    }
    // A subfolder row: the row goes now, and its item forgets the record, so
    // that neither a row nor the release of the items reaches it again.
    const auto found = m_folderItems.find(&folder);
    if (found == m_folderItems.end()) {
        return;
    }
    FileListItem& item = *found->second;
    m_folderItems.erase(found);
    const int row = Control().FindItem(&item);
    if (row >= 0) {
        Control().DeleteItem(row);
    }
    folder.Clear(FolderRecord::InFileList);
    item.folder = nullptr;
}

void LarkspurListView::SelectFileByName(const std::string& name)
{
    ListControl& control = Control();
    for (int row : control.SelectedItems()) {
        control.SetItemState(row, {}, ListControl::Selected | ListControl::Focused);
    }
    const int row = FileRow(name);
    if (row >= 0) {
        SelectOnly(row);
    }
}

void LarkspurListView::RefreshSizes()
{
    for (int row = 0; row < Control().ItemCount(); ++row) {
        ShowSizes(row, *Item(row));
    }
}

void LarkspurListView::RefreshMarks()
{
    if (m_folder == nullptr || m_tree == nullptr) {
        return;
    }
    std::lock_guard lock(m_tree->DataLock());
    // Marks posted before this hold describe duplicate data read here anew.
    BeginFill(m_folder);
    const auto duplicates = DuplicateIndex();
    ListControl& control = Control();
    for (int row = 0; row < control.ItemCount(); ++row) {
        FileListItem& item = *Item(row);
        int mark = FileListItem::NoMark;
        if (item.IsFolder()) {
            mark = item.folder->Has(FolderRecord::DupsKnown) ? FileListItem::NoCopy
                                                             : FileListItem::NoMark;
        } else if (const auto found = duplicates.find(item.name); found != duplicates.end()) {
            mark = MarkOf(found->second);
        }
        if (mark != item.mark) {
            item.mark = mark;
            control.SetItemStateImage(row, mark);
        }
    }
}

// --- Icons --------------------------------------------------------------------------

void LarkspurListView::ResolveSomeIcons()
{
    if (m_pendingIcons.empty() || m_icons == nullptr) {
        m_pendingIcons.clear();
        m_iconTimer.stop();
        return;
    }
    QElapsedTimer slice;
    slice.start();
    ListControl& control = Control();
    control.SuspendRedraw();
    while (!m_pendingIcons.empty() && !slice.hasExpired(kIconSliceMs)) {
        FileListItem* item = m_pendingIcons.back();
        m_pendingIcons.pop_back();
        item->icon = m_icons->Resolve(item->name);
        const int row = control.FindItem(item);
        if (row >= 0) {
            control.SetItemImage(row, item->icon);
        }
    }
    control.ResumeRedraw();
    if (m_pendingIcons.empty()) {
        m_iconTimer.stop();
    }
}

void LarkspurListView::ResolvePendingIcons()
{
    while (!m_pendingIcons.empty()) {
        ResolveSomeIcons();
    }
}

// --- Selection, keys and commands ---------------------------------------------

FolderRecord* LarkspurListView::FirstSelectedFolder() const
{
    const FileListItem* item = Item(Control().FirstSelected());
    return item != nullptr ? item->folder : nullptr;
}

void LarkspurListView::OnClick(int /*row*/)
{
    const ListControl& control = Control();
    if (control.SelectedCount() != 1 || m_folder == nullptr || m_tree == nullptr || !m_showCopy) {
        return;
    }
    const FileListItem* item = Item(control.FirstSelected());
    if (item == nullptr || item->IsFolder()) {
        return;
    }
    std::lock_guard lock(m_tree->DataLock());
    DupMember* member = m_folder->DuplicateNamed(item->name);
    if (member != nullptr && member->group != nullptr && member->group->MemberCount() > 1) {
        m_showCopy(*member);
    }
}

void LarkspurListView::OnDoubleClick(int /*row*/)
{
    const FileListItem* item = Item(Control().FirstSelected());
    if (item == nullptr || m_folder == nullptr) {
        return;
    }
    if (!item->IsFolder()) {
        FileLauncher::OpenFile(this, *m_folder, item->name);
        return;
    }
    FolderRecord* folder = item->folder;
    if (FolderTreeActions* tree = m_treeActions) {
        tree->PopulateAndSelect(*folder);
    }
    // Entering the folder in the tree may already have listed it, or may
    // have freed its record (it vanished from the disk): list it only while
    // it is still a known record.
    if (folder == m_folder || m_folderItems.contains(folder)) {
        SetFolder(folder);
    }
}

void LarkspurListView::OnDeleteKey() { DeleteSelected(); }

void LarkspurListView::OnEscapeKey()
{
    if (FolderTreeActions* tree = m_treeActions) {
        tree->StopScanning();
    }
}

void LarkspurListView::DeleteSelected()
{
    if (m_folder == nullptr || m_tree == nullptr) {
        return;
    }
    std::lock_guard lock(m_tree->DataLock());
    const auto duplicates = DuplicateIndex();
    DeletionChain chain;
    for (int row : Control().SelectedItems()) {
        const FileListItem& item = *Item(row);
        if (item.IsFolder()) {
            chain.Append(item.folder);
        } else {
            const auto found = duplicates.find(item.name);
            chain.Append(m_folder, item.name, found == duplicates.end() ? nullptr : found->second);
        }
    }
    if (chain.Empty()) {
        return;
    }
    if (DeletionHandler* handler = m_deletion) {
        handler->DeleteRequests(chain.Take());
    }
}

void LarkspurListView::OpenSelectedFiles()
{
    if (m_folder == nullptr || m_tree == nullptr) {
        return;
    }
    // The names are taken first: a failure's message box runs the event
    // loop, which may refill the list.
    std::vector<std::string> names;
    for (int row : Control().SelectedItems()) {
        if (const FileListItem* item = Item(row); !item->IsFolder()) {
            names.push_back(item->name);
        }
    }
    std::lock_guard lock(m_tree->DataLock());
    FolderRecord* folder = m_folder;
    for (const std::string& name : names) {
        if (m_folder != folder) {
            break;  // the folder was forgotten meanwhile
        }
        FileLauncher::OpenFile(this, *folder, name);
    }
}

LarkspurListView::ContextMenu LarkspurListView::ContextMenuForSelection() const
{
    int folders = 0;
    int files = 0;
    for (int row : Control().SelectedItems()) {
        ++(Item(row)->IsFolder() ? folders : files);
    }
    if (folders == 1 && files == 0) {
        return ContextMenu::Folder;
    }
    if (folders == 0 && files > 0) {
        return ContextMenu::File;
    }
    if (folders > 0) {
        return ContextMenu::Both;
    }
    return ContextMenu::None;
}

void LarkspurListView::OnContextMenu(const QPoint& globalPos, bool /*fromKeyboard*/)
{
    const ContextMenu choice = ContextMenuForSelection();
    if (choice == ContextMenu::None || m_router == nullptr) {
        return;
    }
    const std::unique_ptr<QMenu> menu = framework::MenuBuilder::CreatePopup(
        resources::IDR_CONTEXT_MENUS, static_cast<int>(choice), *m_router, this);
    if (menu == nullptr) {
        return;
    }
    const platform::ModalScope modal;
    menu->exec(globalPos);
}

bool LarkspurListView::OnUpdateCommand(int command, framework::CommandState& state)
{
    switch (command) {
        case resources::ID_DELETE:
            state.enabled = Control().SelectedCount() > 0;
            return true;
        case resources::ID_OPEN:
        case resources::ID_EXPLORE:
        case resources::ID_CLEAR_FOLDER_DATA:
            return true;
        case resources::ID_DELETE_DUPLICATES:
            // The folder tree deletes a folder's duplicates; from this list the
            // entry is shown but cannot be chosen.
            state.enabled = false;
            return true;
        default:
            return false;
    }
}

void LarkspurListView::OnCommand(int command)
{
    switch (command) {
        case resources::ID_DELETE:
            DeleteSelected();
            break;
        case resources::ID_OPEN:
            OpenSelectedFiles();
            break;
        case resources::ID_EXPLORE:
            if (FolderRecord* folder = FirstSelectedFolder()) {
                if (FolderTreeActions* tree = m_treeActions) {
                    tree->ExploreFolder(*folder);
                }
            }
            break;
        case resources::ID_CLEAR_FOLDER_DATA:
            if (FolderRecord* folder = FirstSelectedFolder()) {
                if (FolderTreeActions* tree = m_treeActions) {
                    tree->ClearFolderData(*folder);
                }
            }
            break;
        default:
            break;
    }
}
