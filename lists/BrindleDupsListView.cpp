#include "lists/BrindleDupsListView.h"

#include "engine/DupGroup.h"
#include "engine/FileSize.h"
#include "framework/SizeTextSource.h"
#include "lists/FileLauncher.h"
#include "platform/DecodedName.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tree/DeletionChain.h"
#include "model/TreeDataLock.h"

namespace {

QString SizeTextOf(std::uint64_t size)
{
    return framework::SizeTextSource::CurrentText(FileSize::FromUnsigned(size));
}

}  // namespace

BrindleDupsListView::BrindleDupsListView(QWidget* parent)
    : DupListView(resources::HID_DUPLICATE_GROUPS, parent)
{
    using resources::StringTable;
    ListControl& control = Control();
    control.InsertColumn(NameColumn,
                         {StringTable::Load(resources::IDS_COLUMN_NAME), 140, Qt::AlignLeft});
    control.InsertColumn(SizeColumn,
                         {StringTable::Load(resources::IDS_COLUMN_SIZE), 80, Qt::AlignRight});
    control.InsertColumn(CountColumn,
                         {StringTable::Load(resources::IDS_COLUMN_NO_DUPS), 80, Qt::AlignRight});
}

BrindleDupsListView::~BrindleDupsListView() = default;

QString BrindleDupsListView::NamesText(const DupGroup& group)
{
    QString text;
    const DupMember* last = nullptr;
    for (const DupMember* member : group.Members()) {
        const std::string_view name = member->Name();
        if (last != nullptr && name == last->Name()) {
            continue;
        }
        if (last != nullptr) {
            text += QStringLiteral(", ");
        }
        text += platform::DecodedName(name);
        last = member;
    }
    return text;
}

DupGroup* BrindleDupsListView::GroupAt(int row) const
{
    return static_cast<DupGroup*>(Control().ItemData(row));
}

int BrindleDupsListView::AddGroupRow(DupGroup& group)
{
    const auto lock = LockData();
    if (const int existing = FindGroupRow(group); existing >= 0) {
        return existing;
    }
    const int count = group.MemberCount();
    if (count < 2) {
        return -1;
    }
    ListControl& control = Control();
    if (!m_inOrder) {
        const int row = control.InsertItem(control.ItemCount(), NamesText(group), -1, 0, &group);
        control.SetItemText(row, SizeColumn, SizeTextOf(group.size));
        control.SetItemText(row, CountColumn, QString::number(count));
        Sort();
        return FindGroupRow(group);
    }
    // After every row it does not come before, as a stable sort of the list
    // with the row appended would place it.
    int first = 0;
    int last = control.ItemCount();
    while (first < last) {
        const int middle = first + (last - first) / 2;
        if (Compare(group, *GroupAt(middle)) < 0) {
            last = middle;
        } else {
            first = middle + 1;
        }
    }
    const int row = control.InsertItem(first, NamesText(group), -1, 0, &group);
    control.SetItemText(row, SizeColumn, SizeTextOf(group.size));
    control.SetItemText(row, CountColumn, QString::number(count));
    return row;
}

int BrindleDupsListView::Compare(const DupGroup& first, const DupGroup& second) const
{
    switch (m_sortColumn) {
        case NameColumn:
            return DupGroup::CompareByName(first, second, m_ascending);
        case CountColumn:
            return DupGroup::CompareByCount(first, second, m_ascending);
        default:
            return DupGroup::CompareBySize(first, second, m_ascending);
    }
}

bool BrindleDupsListView::InOrderAt(int row) const
{
    const DupGroup& group = *GroupAt(row);
    return (row == 0 || Compare(*GroupAt(row - 1), group) <= 0) &&
           (row + 1 >= Control().ItemCount() || Compare(group, *GroupAt(row + 1)) <= 0);
}

void BrindleDupsListView::UpdateRowAt(int row)
{
    DupGroup* group = GroupAt(row);
    if (group == nullptr) {
        return;
    }
    const auto lock = LockData();
    const int count = group->MemberCount();
    if (count < 2) {
        Control().DeleteItem(row);
        return;
    }
    Control().SetItemText(row, NameColumn, NamesText(*group));
    Control().SetItemText(row, CountColumn, QString::number(count));
    // Its names or count may have moved it out of order.
    m_inOrder = m_inOrder && InOrderAt(row);
}

int BrindleDupsListView::FindGroupRow(const DupGroup& group) const
{
    return Control().FindItem(&group);
}

void BrindleDupsListView::DeleteGroupRow(const DupGroup& group)
{
    if (const int row = FindGroupRow(group); row >= 0) {
        Control().DeleteItem(row);
    }
}

void BrindleDupsListView::UpdateGroupRow(const DupGroup& group)
{
    if (const int row = FindGroupRow(group); row >= 0) {
        UpdateRowAt(row);
    }
}

void BrindleDupsListView::DeleteAllRows()
{
    Control().DeleteAllItems();
    m_inOrder = true;
}

void BrindleDupsListView::RefreshSizeColumn()
{
    const auto lock = LockData();
    ListControl& control = Control();
    control.SuspendRedraw();
    for (int row = 0; row < control.ItemCount(); ++row) {
        control.SetItemText(row, SizeColumn, SizeTextOf(GroupAt(row)->size));
    }
    control.ResumeRedraw();
}

void BrindleDupsListView::SelectRowOf(const DupGroup& group)
{
    if (const int row = FindGroupRow(group); row >= 0) {
        SelectOnly(row);
    }
}

void BrindleDupsListView::Sort()
{
    const auto lock = LockData();
    Control().SortItems(
        [this](void* first, void* second, std::intptr_t) {
            return Compare(*static_cast<const DupGroup*>(first),
                           *static_cast<const DupGroup*>(second));
        },
        m_ascending ? 1 : 0);
    m_inOrder = true;
}

void BrindleDupsListView::OnColumnClick(int column)
{
    if (column < NameColumn || column > CountColumn) {
        return;
    }
    if (column == m_sortColumn) {
        m_ascending = !m_ascending;
    } else {
        m_sortColumn = column;
        m_ascending = column == NameColumn;
    }
    Sort();
}

void BrindleDupsListView::OnItemStateChanged(int row, ListControl::State previous,
                                             ListControl::State current)
{
    // Only a row that becomes selected; a focus change of the selected row
    // would only fill the copies list again.
    if (!current.testFlag(ListControl::Selected) || previous.testFlag(ListControl::Selected)) {
        return;
    }
    if (DupGroup* group = GroupAt(row)) {
        const BusyCursor busy;
        Q_EMIT GroupSelected(*group);
    }
}

void BrindleDupsListView::AppendSelectedCopies(DeletionChain& chain)
{
    for (const int row : Control().SelectedItems()) {
        for (DupMember* member : GroupAt(row)->Members()) {
            chain.AppendCopy(*member);
        }
    }
}

void BrindleDupsListView::OpenSelected()
{
    const auto lock = LockData();
    for (const int row : Control().SelectedItems()) {
        for (const DupMember* member : GroupAt(row)->Members()) {
            if (member->folder != nullptr) {
                FileLauncher::OpenFile(this, *member->folder, std::string(member->Name()));
            }
        }
    }
}
