#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "model/TreeControl.h"
#include "model/TreeDataLock.h"
#include "model/TreeItemRecord.h"

// A folder tree: the tree control with its items, the records behind them
// (the control's item data), the root record of the Desktop and the tree-data
// lock. It owns every record: a record lives exactly as long as its item.
//
// The folder tree views derive from it and fill the record hooks; the scan
// tasks, the deletion and the lists walk the tree only through RecordOf,
// FirstChildRecord, NextSiblingRecord and the records' parent fields.
//
// The tree control's labels come from GetItemText of the item's record; an
// item without a record (not yet filled in) has an empty label, so no label
// ever reads a record that is not there.
//
// UI thread, except that the duplicate search reads records from the worker
// while it holds DataLock().
class TreeAccess {
public:
    TreeAccess();
    // Frees every record left, without hooks and without notifying views (a
    // derived view tears its tree down itself, with DeleteItemTree(..., true),
    // before it goes, and detaches the model from its QTreeView).
    virtual ~TreeAccess();
    TreeAccess(const TreeAccess&) = delete;
    TreeAccess& operator=(const TreeAccess&) = delete;

    TreeControl& Tree() { return m_tree; }
    const TreeControl& Tree() const { return m_tree; }
    TreeDataLock& DataLock() { return m_dataLock; }

    // The Desktop's record; null until set.
    TreeItemRecord* RootRecord() const { return m_root.get(); }
    void SetRootRecord(std::unique_ptr<TreeItemRecord> root);

    // The item's record; the root record for None; null for an item that
    // does not exist or has no record yet.
    TreeItemRecord* RecordOf(TreeItem item) const;
    // The record of the first child of record's item (of the first top-level
    // item for the root record); null when there is none.
    TreeItemRecord* FirstChildRecord(const TreeItemRecord& record) const;
    // The record of the next sibling item; null for the root record or the
    // last child.
    TreeItemRecord* NextSiblingRecord(const TreeItemRecord& record) const;
    // The records of record's children in tree order, replacing out's
    // contents; the cheap way to visit every child of a large folder.
    void ChildRecords(const TreeItemRecord& record, std::vector<TreeItemRecord*>& out) const;

    // Removes item with its whole subtree: OnDeleteItemRecord for every
    // record of the subtree, children before their parent (post-order, the
    // item's own record last); then the subtree leaves the tree control in
    // one step; then the records are freed in the same order. Iterative: any
    // depth. Nothing for None or an item that does not exist. Call under the
    // tree-data lock.
    void DeleteItemTree(TreeItem item, bool destroying);

    // Calls visit(record) for top and every record below it, depth first in
    // tree order, each before its children. Iterative: any depth. visit may
    // change the records' data but not the tree's shape.
    template <typename Visit>
    void ForEachInSubtree(TreeItemRecord& top, Visit&& visit) const
    {
        std::vector<TreeItemRecord*> stack{&top};
        std::vector<TreeItemRecord*> children;
        while (!stack.empty()) {
            TreeItemRecord* current = stack.back();
            stack.pop_back();
            visit(*current);
            ChildRecords(*current, children);
            stack.insert(stack.end(), children.rbegin(), children.rend());
        }
    }

    // Case-folded display name: the key of the name order (compare keys with
    // QString::compare, case-sensitive).
    [[nodiscard]] static QString NameSortKey(const TreeItemRecord& record);
    // Orders two siblings: < 0 when first goes before second. Each comes
    // with its NameSortKey.
    using ChildOrder = std::function<int(const TreeItemRecord& first, const QString& firstKey,
                                         const TreeItemRecord& second, const QString& secondKey)>;
    // Sorts the children of record's item, stably, with order; the name keys
    // are worked out once per child. The selection stays with its item.
    void SortChildrenWith(TreeItemRecord& record, const ChildOrder& order);

    // --- Record hooks (plain behaviour given here) ----------------------
    // A new record for item, every other field empty. Also made once for
    // the root record, with item None.
    virtual std::unique_ptr<TreeItemRecord> CreateItemRecord(TreeItem item);
    // After a new record was filled in and made its item's data.
    virtual void InitItemRecord(TreeItemRecord& record);
    // By DeleteItemTree, before the record is freed; destroying is true when
    // the whole tree is being torn down.
    virtual void OnDeleteItemRecord(TreeItemRecord& record, bool destroying);

    // --- What the records and tasks ask of the view ----------------------
    // The label of an item; the tree control asks for it whenever it shows
    // an item whose text is supplied on demand. Plain: the display name,
    // decoded for display.
    virtual QString GetItemText(const TreeItemRecord& record);
    // Orders the children of record's item; plain: leaves them as they are.
    virtual void SortChildren(TreeItemRecord& record);
    // The record's data changed: its label is asked for anew.
    virtual void RefreshItemLabel(TreeItemRecord& record);
    // Every label is asked for anew (after many records changed at once).
    virtual void RefreshAllLabels();
    // The record's totals changed: the file list shows them if it lists the
    // folder; plain: nothing.
    virtual void NotifyListIfShown(TreeItemRecord& record);

private:
    TreeControl m_tree;
    TreeDataLock m_dataLock;
    std::unique_ptr<TreeItemRecord> m_root;
};
