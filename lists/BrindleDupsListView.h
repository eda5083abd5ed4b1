#pragma once

#include <QString>

#include "lists/DupListView.h"

class DupGroup;

// The duplicate groups list, the left pane of the duplicates window: one row
// per group of two or more identical files, with the files' names, their
// common size and the number of copies. Each row's data is its DupGroup,
// which belongs to the duplicate table; the list never frees one, and the
// group's owner removes the row (through the duplicates window) before the
// group goes.
//
// Sorted by Size, largest first, until a header is clicked. Rows are
// re-sorted when one is added or a header clicked, not when one is updated.
// A selection stays with its group when the rows move.
//
// UI thread only. The rest of the program reaches the list only through
// the duplicates window; every operation reads groups under the tree-data
// lock.
class BrindleDupsListView : public DupListView {
    Q_OBJECT

public:
    enum Column { NameColumn = 0, SizeColumn = 1, CountColumn = 2 };
    // The sum of the column widths.
    static constexpr int kColumnsWidth = 300;

    explicit BrindleDupsListView(QWidget* parent = nullptr);
    ~BrindleDupsListView() override;

    // The members' names in group order, each one after ", " unless it is
    // byte for byte the name shown just before it. Empty without members.
    [[nodiscard]] static QString NamesText(const DupGroup& group);

    // Adds a row for a group of two or more members and re-sorts. A group of
    // fewer members gets no row (deleting it would trash the only copy), and
    // a group that has one keeps it. Returns the group's row or -1.
    int AddGroupRow(DupGroup& group);
    // Shows the row's names and count again, or deletes the row when its
    // group has fewer than two members left. The size stays, the order too.
    // Nothing for a bad index.
    void UpdateRowAt(int row);
    // The group's row, or -1.
    [[nodiscard]] int FindGroupRow(const DupGroup& group) const;
    void DeleteGroupRow(const DupGroup& group);
    void UpdateGroupRow(const DupGroup& group);
    void DeleteAllRows();
    // Writes every row's size in the current size format.
    void RefreshSizeColumn();
    // Makes the group's row the only selected and focused row and scrolls it
    // into view; nothing when the group has no row.
    void SelectRowOf(const DupGroup& group);

    [[nodiscard]] int SortColumn() const { return m_sortColumn; }
    [[nodiscard]] bool Ascending() const { return m_ascending; }

    // One request per member of each selected group, in member order: every
    // copy, the first one included.
    void AppendSelectedCopies(DeletionChain& chain) override;
    // Opens every member of each selected group.
    void OpenSelected() override;

Q_SIGNALS:
    // A row became selected (by the user or by SelectRowOf), under the busy
    // cursor.
    void GroupSelected(DupGroup& group);

protected:
    // Name first sorts ascending, Size and No. Dups. descending; a second
    // click on the sort column reverses it.
    void OnColumnClick(int column) override;
    void OnItemStateChanged(int row, ListControl::State previous,
                            ListControl::State current) override;

private:
    void Sort();
    [[nodiscard]] DupGroup* GroupAt(int row) const;
    // The order of the list: < 0 when first comes before second.
    [[nodiscard]] int Compare(const DupGroup& first, const DupGroup& second) const;
    // Whether the row still lies in order beside its neighbours.
    [[nodiscard]] bool InOrderAt(int row) const;

    int m_sortColumn = SizeColumn;
    bool m_ascending = false;
    // The rows are known to be in order, so that a new row can go straight
    // to its place instead of sorting the whole list (as a scan adds groups
    // by the thousand).
    bool m_inOrder = true;
};
