#pragma once

#include <QWidget>

#include "engine/DuplicatesDisplay.h"
#include "framework/SizeDisplay.h"

class QLabel;
class QSplitter;
class BrindleDupsListView;
class BrindleFileListView;
class TreeDataLock;
class DeletionHandler;
class FolderTreeActions;
namespace framework {
class PaintPacer;
}
struct DupMember;

// The duplicates window, the lower pane of the main view: a caption strip
// " Duplicate Files" 20 pixels high, and below it a splitter with the
// duplicate groups list on the left (313 pixels at first: its columns and
// room for the frame and scroll bar) and the copies of the selected group
// on the right (the rest of the width).
//
// The single entry point through which the program tells the two lists
// what changed; the first window constructed is the process-wide
// DuplicatesDisplay. It and its lists only point at the groups and members,
// which belong to the duplicate search's table and the folder records.
//
// UI thread only. Before groups arrive the main view hands in the tree-data
// lock of the tree that owns the duplicate data (SetDataLock); the lists
// hold it whenever they read groups or members.
class LarkspurDupsWnd : public QWidget, public DuplicatesDisplay, public framework::SizeDisplay {
    Q_OBJECT

public:
    static constexpr int kCaptionHeight = 20;

    explicit LarkspurDupsWnd(QWidget* parent = nullptr);
    ~LarkspurDupsWnd() override;

    // The process-wide duplicates window (the file list's road to ShowCopy);
    // null when the process-wide DuplicatesDisplay is none or not a window.
    [[nodiscard]] static LarkspurDupsWnd* Instance()
    {
        return dynamic_cast<LarkspurDupsWnd*>(DuplicatesDisplay::Instance());
    }

    // The tree-data lock for both lists (not owned; null: none yet).
    void SetDataLock(TreeDataLock* lock);
    // Hands both lists the tree and the deletion handler (DupListView).
    void SetActions(FolderTreeActions* tree, DeletionHandler* deletion);

    [[nodiscard]] BrindleDupsListView& GroupsList() const { return *m_groups; }
    [[nodiscard]] BrindleFileListView& CopiesList() const { return *m_copies; }
    [[nodiscard]] QLabel& Caption() const { return *m_caption; }
    [[nodiscard]] QSplitter& Splitter() const { return *m_splitter; }

    // DuplicatesDisplay. A listed group's row is updated (or goes when the
    // group has fewer than two members) and the copies list refreshed if it
    // shows the group; an unlisted group gets a row once it has two members.
    void AddOrUpdateGroup(DupGroup& group) override;
    // The group's row goes, and the copies list empties if it shows it.
    void RemoveGroup(DupGroup& group) override;
    // The group's row is updated or goes; the copies list is refreshed if it
    // shows the group.
    void RefreshGroup(DupGroup& group) override;
    void ClearAll() override;
    // Both lists together.
    void EnableLists(bool enable) override;

    // The groups list chose a group: the copies list shows it.
    void ShowGroupCopies(DupGroup& group);
    // The file list's click on a file with copies: its group is selected in
    // the groups list (which shows its copies), then the copy in the copies
    // list. Nothing is selected for a group without a row.
    void ShowCopy(const DupMember& member);

    // SizeDisplay: the groups list's Size column in the current format.
    void RefreshSizes() override;

protected:
    // The caption takes the top 20 pixels, the splitter the rest.
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_caption;
    QSplitter* m_splitter;
    BrindleDupsListView* m_groups;  // owned by the splitter
    BrindleFileListView* m_copies;  // owned by the splitter
    // Paints the lists at a steady pace while groups arrive; owned by the
    // splitter.
    framework::PaintPacer* m_paintPacer;
    TreeDataLock* m_dataLock = nullptr;
};
