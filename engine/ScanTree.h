#pragma once

#include "engine/FolderScan.h"
#include "model/TreeAccess.h"

// A folder tree without a window, scanned by its own FolderScan: the tree
// larkspur-report scans, and the one the tests of the walk use. Its labels
// are never drawn, so changed labels are not announced.
//
// UI thread only. The destructor cancels every task and waits for the
// worker before any record goes; never destroy it inside a modal loop.
class ScanTree : public TreeAccess {
public:
    ScanTree();
    ~ScanTree() override;

    FolderScan& Scan() { return m_scan; }

    std::unique_ptr<TreeItemRecord> CreateItemRecord(TreeItem item) override
    {
        return m_scan.CreateItemRecord(item);
    }
    void InitItemRecord(TreeItemRecord& record) override { m_scan.InitItemRecord(record); }
    void OnDeleteItemRecord(TreeItemRecord& record, bool destroying) override
    {
        m_scan.OnDeleteItemRecord(record, destroying);
    }
    void SortChildren(TreeItemRecord& record) override { m_scan.SortChildren(record); }
    void RefreshItemLabel(TreeItemRecord&) override {}
    void RefreshAllLabels() override {}
    void NotifyListIfShown(TreeItemRecord& record) override { m_scan.NotifyListIfShown(record); }

private:
    FolderScan m_scan{*this};
};
