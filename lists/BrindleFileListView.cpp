#include "lists/BrindleFileListView.h"

#include "engine/DupGroup.h"
#include "lists/FileLauncher.h"
#include "platform/DecodedName.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tree/DeletionChain.h"
#include "tree/FolderTreeActions.h"
#include "model/TreeDataLock.h"

BrindleFileListView::BrindleFileListView(QWidget* parent)
    : DupListView(resources::HID_DUPLICATE_COPIES, parent)
{
    using resources::StringTable;
    Control().InsertColumn(NameColumn,
                           {StringTable::Load(resources::IDS_COLUMN_NAME), 140, Qt::AlignLeft});
    Control().InsertColumn(PathColumn,
                           {StringTable::Load(resources::IDS_COLUMN_PATH), 288, Qt::AlignLeft});
}

BrindleFileListView::~BrindleFileListView() = default;

DupMember* BrindleFileListView::MemberAt(int row) const
{
    return static_cast<DupMember*>(Control().ItemData(row));
}

void BrindleFileListView::ShowGroup(DupGroup& group)
{
    const auto lock = LockData();
    ListControl& control = Control();
    // The selected copy, by identity only (it may have left the group): it is
    // selected again if it is still a member, so a refresh during a scan does
    // not take it from the user.
    const void* selected = m_group == &group ? control.ItemData(control.FirstSelected()) : nullptr;

    control.SuspendRedraw();
    control.DeleteAllItems();
    m_group = &group;
    for (DupMember* member : group.Members()) {
        const int row = control.InsertItem(0, platform::DecodedName(member->Name()), -1, 0, member);
        control.SetItemText(row, PathColumn, platform::DecodedName(member->FolderPath()));
    }
    Sort();
    control.ResumeRedraw();

    if (const int row = selected != nullptr ? control.FindItem(selected) : -1; row >= 0) {
        SelectOnly(row);
    }
}

void BrindleFileListView::ClearIfShown(const DupGroup& group)
{
    if (m_group == &group) {
        Clear();
    }
}

void BrindleFileListView::RefreshIfShown(DupGroup& group)
{
    if (m_group != &group) {
        return;
    }
    const auto lock = LockData();
    if (group.MemberCount() >= 2) {
        ShowGroup(group);
    } else {
        Clear();
    }
}

void BrindleFileListView::Clear()
{
    Control().DeleteAllItems();
    m_group = nullptr;
}

void BrindleFileListView::SelectRowOf(const DupMember& member)
{
    if (const int row = Control().FindItem(&member); row >= 0) {
        SelectOnly(row);
    }
}

void BrindleFileListView::Sort()
{
    const auto lock = LockData();
    const bool byPath = m_sortColumn == PathColumn;
    Control().SortItems(
        [byPath](void* first, void* second, std::intptr_t ascending) {
            const auto& a = *static_cast<const DupMember*>(first);
            const auto& b = *static_cast<const DupMember*>(second);
            return byPath ? DupMember::CompareByPath(a, b, ascending != 0)
                          : DupMember::CompareByName(a, b, ascending != 0);
        },
        m_ascending ? 1 : 0);
}

void BrindleFileListView::OnColumnClick(int column)
{
    if (column != NameColumn && column != PathColumn) {
        return;
    }
    if (column == m_sortColumn) {
        m_ascending = !m_ascending;
    } else {
        m_sortColumn = column;
        m_ascending = true;
    }
    Sort();
}

void BrindleFileListView::OnClick(int /*row*/)
{
    DupMember* member = MemberAt(Control().FirstSelected());
    FolderTreeActions* tree = m_treeActions;
    if (member == nullptr || tree == nullptr) {
        return;
    }
    const BusyCursor busy;
    const auto lock = LockData();
    tree->GoToCopy(*member);
}

void BrindleFileListView::AppendSelectedCopies(DeletionChain& chain)
{
    for (const int row : Control().SelectedItems()) {
        chain.AppendCopy(*MemberAt(row));
    }
}

void BrindleFileListView::OpenSelected()
{
    const auto lock = LockData();
    for (const int row : Control().SelectedItems()) {
        const DupMember* member = MemberAt(row);
        if (member->folder != nullptr) {
            FileLauncher::OpenFile(this, *member->folder, std::string(member->Name()));
        }
    }
}
