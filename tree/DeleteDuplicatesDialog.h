#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "model/TreeDataLock.h"

struct DupMember;
class DeletionHandler;
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
// shown. Only while Delete reads the files (off the UI thread) is the lock
// let go (SetHeldLock): the UI thread then stays in a modal loop of ours
// that takes no input before its progress dialog blocks the window, and the
// worker, which may finish filing a file meanwhile, only adds members. After
// Delete the members handed over may be freed, and the dialog drops every
// pointer to them first.
class DeleteDuplicatesDialog : public QDialog {
    Q_OBJECT

public:
    explicit DeleteDuplicatesDialog(TreeAccess& tree, QWidget* parent = nullptr);

    // Before the dialog is shown: the folder whose boundary counts; its path
    // is shown. Rebuilds the list.
    void SetFolder(FolderRecord* folder);
    // True: the inside rule. Choosing a rule rebuilds and refills the list.
    [[nodiscard]] bool InsideRule() const { return m_insideRule; }
    void SetRule(bool inside);

    // The proposed files in the order they were found; the list's rows show
    // them ordered by folder path, then name, without regard to case.
    [[nodiscard]] const std::vector<DupMember*>& Candidates() const { return m_candidates; }
    [[nodiscard]] QTreeWidget* List() const { return m_list; }
    [[nodiscard]] const QString& FolderPathText() const { return m_pathText; }

    // The caller's hold of the tree-data lock, released while Delete reads
    // files and taken again before anything else. Null: kept throughout.
    void SetHeldLock(std::unique_lock<TreeDataLock>* held) { m_held = held; }
    // Where Delete hands its chain, and whose protection hides candidates;
    // null: nothing is protected and nothing deleted. Not owned.
    void SetDeletionHandler(DeletionHandler* deletion) { m_deletion = deletion; }

    // Checks every candidate for a copy that stays (LastCopyCheck) on a
    // thread of its own, with a progress dialog whose Cancel goes back to
    // this dialog and deletes nothing. Then builds the chain of what may go
    // and hands it to the deletion, and closes with OK. Members without
    // another copy are named in one message and not handed over.
    void OnDelete();

    // What the check needs of one candidate, taken under the tree-data lock:
    // its path, the file the search read (device and inode; 0 and 0 when
    // unknown) and the paths of the other members of its group that are no
    // candidates.
    struct CopyCheck {
        std::string path;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::vector<std::string> copies;
    };
    [[nodiscard]] static std::vector<CopyCheck> CopyChecks(
        const std::vector<DupMember*>& candidates);
    // Any thread; reads files, touches no record. For each check, in order:
    // whether the candidate keeps a copy. It does when its path still names
    // the file the search read, and a copy is another file than every
    // candidate, now and as read, and byte for byte identical with it; and
    // when, after every comparison, both paths still show the stamps
    // (platform::FileStamp) they had before theirs. A file that changed,
    // went or was replaced meanwhile keeps nothing: it is not deleted.
    // stop() is asked between blocks; once it says true nothing more is
    // kept. done counts the checks finished.
    [[nodiscard]] static std::vector<bool> LastCopyCheck(const std::vector<CopyCheck>& checks,
                                                         const std::function<bool()>& stop,
                                                         std::atomic<int>& done);
    // For tests: called on the checking thread before each comparison.
    static void SetCompareHookForTesting(std::function<void()> hook);

private:
    // Runs LastCopyCheck on a thread of its own while the window is served;
    // false when the user cancelled.
    bool CheckOffThread(const std::vector<CopyCheck>& checks, std::vector<bool>& kept);
    void Rebuild();
    void Refill();
    // The folder and its descendants, depth first in tree order.
    [[nodiscard]] std::vector<FolderRecord*> Subtree() const;
    [[nodiscard]] bool Inside(const DupMember& member) const;

    TreeAccess& m_tree;
    DeletionHandler* m_deletion = nullptr;
    std::unique_lock<TreeDataLock>* m_held = nullptr;
    QTreeWidget* m_list = nullptr;
    QString m_pathText;
    FolderRecord* m_folder = nullptr;
    bool m_insideRule = true;
    std::vector<DupMember*> m_candidates;
    QRadioButton* m_inside = nullptr;
    QRadioButton* m_outside = nullptr;
};
