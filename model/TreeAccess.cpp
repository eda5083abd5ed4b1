#include "model/TreeAccess.h"

#include <unordered_map>
#include <vector>

#include "platform/DecodedName.h"

TreeAccess::TreeAccess()
{
    m_tree.SetTextProvider([this](TreeItem item) {
        const TreeItemRecord* record = RecordOf(item);
        return record != nullptr ? GetItemText(*record) : QString();
    });
}

TreeAccess::~TreeAccess()
{
    // A derived view is partly gone by now: tell no one, show no label, and
    // free the records the view left. The items go with the control.
    m_tree.blockSignals(true);
    m_tree.SetTextProvider({});
    std::vector<TreeItem> stack;
    for (TreeItem top = m_tree.FirstChild(TreeItem::None); top != TreeItem::None;
         top = m_tree.NextSibling(top)) {
        stack.push_back(top);
    }
    while (!stack.empty()) {
        const TreeItem item = stack.back();
        stack.pop_back();
        for (TreeItem child = m_tree.FirstChild(item); child != TreeItem::None;
             child = m_tree.NextSibling(child)) {
            stack.push_back(child);
        }
        delete static_cast<TreeItemRecord*>(m_tree.ItemData(item));
        m_tree.SetItemData(item, nullptr);
    }
}

void TreeAccess::SetRootRecord(std::unique_ptr<TreeItemRecord> root) { m_root = std::move(root); }

TreeItemRecord* TreeAccess::RecordOf(TreeItem item) const
{
    if (item == TreeItem::None) {
        return m_root.get();
    }
    return static_cast<TreeItemRecord*>(m_tree.ItemData(item));
}

TreeItemRecord* TreeAccess::FirstChildRecord(const TreeItemRecord& record) const
{
    if (record.item != TreeItem::None && !m_tree.Contains(record.item)) {
        return nullptr;
    }
    const TreeItem child = m_tree.FirstChild(record.item);
    return child == TreeItem::None ? nullptr : RecordOf(child);
}

TreeItemRecord* TreeAccess::NextSiblingRecord(const TreeItemRecord& record) const
{
    if (record.item == TreeItem::None) {
        return nullptr;
    }
    const TreeItem next = m_tree.NextSibling(record.item);
    return next == TreeItem::None ? nullptr : RecordOf(next);
}

void TreeAccess::ChildRecords(const TreeItemRecord& record, std::vector<TreeItemRecord*>& out) const
{
    thread_local std::vector<void*> data;
    m_tree.ChildData(record.item, data);
    out.clear();
    for (void* item : data) {
        if (item != nullptr) {
            out.push_back(static_cast<TreeItemRecord*>(item));
        }
    }
}

void TreeAccess::DeleteItemTree(TreeItem item, bool destroying)
{
    if (!m_tree.Contains(item)) {
        return;
    }
    // Post-order with an explicit stack: each item is emitted after all of
    // its children, so the deepest records come first and the item's last.
    std::vector<TreeItemRecord*> order;
    struct Frame {
        TreeItem item;
        TreeItem nextChild;
    };
    std::vector<Frame> stack{{item, m_tree.FirstChild(item)}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.nextChild != TreeItem::None) {
            const TreeItem child = top.nextChild;
            // The sibling is fetched before descending.
            top.nextChild = m_tree.NextSibling(child);
            stack.push_back({child, m_tree.FirstChild(child)});
            continue;
        }
        if (auto* record = RecordOf(top.item)) {
            order.push_back(record);
        }
        stack.pop_back();
    }
    for (TreeItemRecord* record : order) {
        OnDeleteItemRecord(*record, destroying);
    }
    // The items leave the model before any record is freed, so no view can
    // ask for the label of a freed record.
    m_tree.DeleteItem(item);
    for (TreeItemRecord* record : order) {
        delete record;
    }
}

std::unique_ptr<TreeItemRecord> TreeAccess::CreateItemRecord(TreeItem item)
{
    return std::make_unique<TreeItemRecord>(item);
}

void TreeAccess::InitItemRecord(TreeItemRecord& /*record*/) {}

void TreeAccess::OnDeleteItemRecord(TreeItemRecord& /*record*/, bool /*destroying*/) {}

void TreeAccess::SortChildren(TreeItemRecord& /*record*/) {}

void TreeAccess::RefreshItemLabel(TreeItemRecord& record)
{
    if (record.item != TreeItem::None) {
        m_tree.SetTextCallback(record.item);
    }
}

void TreeAccess::NotifyListIfShown(TreeItemRecord& /*record*/) {}

QString TreeAccess::GetItemText(const TreeItemRecord& record)
{
    return platform::DecodedName(DisplayNameOf(record));
}

void TreeAccess::RefreshAllLabels() { m_tree.RefreshAll(); }

QString TreeAccess::NameSortKey(const TreeItemRecord& record)
{
    return platform::DecodedName(DisplayNameOf(record)).toCaseFolded();
}

void TreeAccess::SortChildrenWith(TreeItemRecord& record, const ChildOrder& order)
{
    // A display name may have to be asked of a shell folder: once per child,
    // not once per comparison.
    std::unordered_map<const void*, QString> keys;
    for (TreeItem child = m_tree.FirstChild(record.item); child != TreeItem::None;
         child = m_tree.NextSibling(child)) {
        if (const TreeItemRecord* childRecord = RecordOf(child)) {
            keys.emplace(childRecord, NameSortKey(*childRecord));
        }
    }
    m_tree.SortChildren(record.item, [&keys, &order](void* first, void* second) {
        // Every child has its record by the time its parent is sorted.
        if (first == nullptr || second == nullptr) {
            return first == second ? 0 : (first == nullptr ? 1 : -1);
        }
        return order(*static_cast<const TreeItemRecord*>(first), keys.at(first),
                     *static_cast<const TreeItemRecord*>(second), keys.at(second));
    });
}
