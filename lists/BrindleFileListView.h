#pragma once

#include "lists/DupListView.h"

class DupGroup;
struct DupMember;

// The duplicate copies list, the right pane of the duplicates window: the
// copies (members) of the one group chosen in the groups list, one row per
// copy with its name and its folder's path. Each row's data is its
// DupMember; the list owns neither the group nor the members, and the
// group's owner tells it (through the duplicates window) before a member or
// the group goes.
//
// A click on a copy takes the folder tree and the file list to it. Sorted by
// Name ascending until a header is clicked; a selection stays with its copy
// when the rows move or the group is shown again.
//
// UI thread only. Reached only through the duplicates window; every
// operation reads members under the tree-data lock.
class BrindleFileListView : public DupListView {
    Q_OBJECT

public:
    enum Column { NameColumn = 0, PathColumn = 1 };

    explicit BrindleFileListView(QWidget* parent = nullptr);
    ~BrindleFileListView() override;

    // Fills the list with the group's members and sorts it. A copy that was
    // selected and is still a member stays selected.
    void ShowGroup(DupGroup& group);
    // Clear when group is the one shown.
    void ClearIfShown(const DupGroup& group);
    // When group is the one shown: shown again while it has two or more
    // members, else Clear.
    void RefreshIfShown(DupGroup& group);
    // No rows and no group shown.
    void Clear();
    // Makes the member's row the only selected and focused row and scrolls
    // it into view; nothing when it has no row.
    void SelectRowOf(const DupMember& member);

    // The group whose members are shown; null for none.
    [[nodiscard]] DupGroup* ShownGroup() const { return m_group; }
    [[nodiscard]] int SortColumn() const { return m_sortColumn; }
    [[nodiscard]] bool Ascending() const { return m_ascending; }

    // One deletion request per selected copy.
    void AppendSelectedCopies(DeletionChain& chain) override;
    void OpenSelected() override;

protected:
    // Either header first sorts ascending; a second click on the sort column
    // reverses it.
    void OnColumnClick(int column) override;
    // Goes to the first selected copy in the folder tree and the file list.
    void OnClick(int row) override;

private:
    void Sort();
    [[nodiscard]] DupMember* MemberAt(int row) const;

    DupGroup* m_group = nullptr;
    int m_sortColumn = NameColumn;
    bool m_ascending = true;
};
