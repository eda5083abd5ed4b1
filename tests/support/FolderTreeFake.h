#pragma once

#include <string>
#include <vector>

#include "engine/FolderRecord.h"
#include "engine/TrackedReferences.h"
#include "model/TreeAccess.h"

namespace testsupport {

// A folder tree of FolderRecords standing in for the sized tree view: it
// forgets the tracked references of a record it deletes and notes what the
// records and tasks asked of it. Header-only: the support library does not
// link the engine.
class FolderTreeFake : public TreeAccess {
public:
    TrackedReferences references;
    std::vector<std::string> sorted;       // names of records whose children were sorted
    std::vector<std::string> deleted;      // names, in hook order
    std::vector<std::string> initialised;  // names, in hook order

    ~FolderTreeFake() override
    {
        for (TreeItem top; (top = Tree().FirstChild(TreeItem::None)) != TreeItem::None;)
            DeleteItemTree(top, true);
    }

    FolderRecord& MakeRoot()
    {
        SetRootRecord(CreateItemRecord(TreeItem::None));
        return Root();
    }
    FolderRecord& Root() { return *static_cast<FolderRecord*>(RootRecord()); }

    // A child item with its record, as an enumeration would insert it.
    FolderRecord& Add(FolderRecord& parent, const std::string& name)
    {
        const TreeItem item = Tree().InsertItem(parent.item, "XYZZY");
        auto record = CreateItemRecord(item);
        record->name = name;
        record->parent = &parent;
        auto* raw = static_cast<FolderRecord*>(record.release());
        Tree().SetItemData(item, raw);
        Tree().SetTextCallback(item);
        return *raw;
    }

    FolderRecord* Child(const TreeItemRecord& parent, const std::string& name)
    {
        for (TreeItemRecord* child = FirstChildRecord(parent); child;
             child = NextSiblingRecord(*child))
            if (child->name == name) return static_cast<FolderRecord*>(child);
        return nullptr;
    }
    std::vector<std::string> ChildNames(const TreeItemRecord& parent)
    {
        std::vector<std::string> names;
        for (TreeItemRecord* child = FirstChildRecord(parent); child;
             child = NextSiblingRecord(*child))
            names.push_back(child->name);
        return names;
    }
    std::unique_ptr<TreeItemRecord> CreateItemRecord(TreeItem item) override
    {
        return std::make_unique<FolderRecord>(item);
    }
    void InitItemRecord(TreeItemRecord& record) override { initialised.push_back(record.name); }
    void OnDeleteItemRecord(TreeItemRecord& record, bool /*destroying*/) override
    {
        deleted.push_back(record.name);
        std::lock_guard lock(references);
        references.Forget(static_cast<FolderRecord*>(&record));
    }
    void SortChildren(TreeItemRecord& record) override { sorted.push_back(record.name); }
};

}  // namespace testsupport
