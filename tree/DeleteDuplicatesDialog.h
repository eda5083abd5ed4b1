#pragma once

#include <vector>

#include <QDialog>
#include <QString>

struct DupMember;
class FolderRecord;
class QRadioButton;
class QTreeWidget;
class TreeAccess;

// The Delete Duplicate Files dialog: for a selected folder, proposes the
// copies to delete so that every duplicated file keeps a copy on one side
// of the folder's boundary. The inside rule (the default) proposes the
// copies inside the folder that have a copy outside it; the outside rule the
// copies outside that have a copy inside. While protection is on, no file of
// the protected directory is proposed. Delete hands the proposed files, in
// the order they were found, to the main view's deletion, after leaving out
// every file that no longer has an identical copy outside the files to
// delete (see LastCopyCheck).
//
// UI thread only. The caller holds the tree-data lock for the dialog's
// whole life, and the dialog runs as a modal loop of ours (ModalScope), so
// neither the worker's duplicate search nor its messages change the members
// shown; after Delete the members handed over may be freed, and the dialog
// drops every pointer to them first.
class DeleteDuplicatesDialog : public QDialog {
    Q_OBJECT

public:
    explicit DeleteDuplicatesDialog(TreeAccess& tree, QWidget* parent = nullptr);

    // Before the dialog is shown: the folder whose boundary counts; its path
    // is shown. Rebuilds the list.
    void SetFolder(FolderRecord* folder);
    // exec() inside a ModalScope.
    int DoModal();

    // True: the inside rule. Choosing a rule rebuilds and refills the list.
    [[nodiscard]] bool InsideRule() const { return m_insideRule; }
    void SetRule(bool inside);

    // The proposed files in the order they were found; the list's rows show
    // them ordered by folder path, then name, without regard to case.
    [[nodiscard]] const std::vector<DupMember*>& Candidates() const { return m_candidates; }
    [[nodiscard]] QTreeWidget* List() const { return m_list; }
    [[nodiscard]] const QString& FolderPathText() const { return m_pathText; }

    // Builds the chain of what may go and hands it to the deletion; then
    // closes with OK. Members without another copy are named in one
    // message and not handed over.
    void OnDelete();

    // The candidates, in their order, that still have a copy that would stay:
    // another member of their group, not a candidate, that exists now, is
    // another file (device and inode) than every candidate, and is byte for
    // byte identical with the candidate at this moment. The others go to
    // leftOut.
    [[nodiscard]] static std::vector<DupMember*> LastCopyCheck(
        const std::vector<DupMember*>& candidates, std::vector<DupMember*>& leftOut);

private:
    void Rebuild();
    void Refill();
    // The folder and its descendants, depth first in tree order.
    [[nodiscard]] std::vector<FolderRecord*> Subtree() const;
    [[nodiscard]] bool Inside(const DupMember& member) const;

    TreeAccess& m_tree;
    QTreeWidget* m_list = nullptr;
    QString m_pathText;
    FolderRecord* m_folder = nullptr;
    bool m_insideRule = true;
    std::vector<DupMember*> m_candidates;
    QRadioButton* m_inside = nullptr;
    QRadioButton* m_outside = nullptr;
};
