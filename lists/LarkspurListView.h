#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QTimer>

#include "engine/DupFileList.h"
#include "framework/DetailListView.h"
#include "framework/SizeDisplay.h"
#include "lists/FileListItem.h"
#include "lists/FileTypeIcons.h"
#include "platform/MessageWindow.h"
#include "engine/FolderListDisplay.h"

class FolderRecord;
class TreeAccess;
class DeletionHandler;
class FolderTreeActions;
struct DupMember;

namespace framework {
class CommandRouter;
}

// The file list: the pane beside the folder tree that shows the subfolders
// (as far as the tree knows them, in tree order) and then the files of the
// folder selected in the tree, with the columns Name, Disk Space, File Size
// and Modified, and the duplicate-search marks on the rows. The first one
// made is the process-wide file list (FolderListDisplay::Instance).
//
// Wiring, before the first SetFolder: SetTree (the folder tree whose records
// are listed; its tree-data lock guards the duplicate data read here),
// SetCommandRouter (for the context menus) and SetShowCopy (the duplicates
// window). The main view registers the list for RefreshSizes; the tree
// calls RefreshMarks when a listed file's duplicate data changed.
//
// Records: the listed folder and each subfolder row's record carry
// InFileList while they are listed; the tree calls ForgetFolder before it
// frees any record. UI thread only.
class LarkspurListView : public framework::DetailListView,
                         public FolderListDisplay,
                         public DupFileList,
                         public platform::MessageWindow,
                         public framework::SizeDisplay {
    Q_OBJECT

public:
    // Which popup of the context menus a selection gets.
    enum class ContextMenu { None = -1, Folder = 0, File = 1, Both = 2 };

    explicit LarkspurListView(QWidget* parent = nullptr);
    // Releases the items without touching the records (they may be gone).
    ~LarkspurListView() override;

    // The folder tree that holds the listed records; not owned, outlives the
    // list or is replaced. Without a tree nothing is listed.
    void SetTree(TreeAccess* tree);
    // The tree that entering a folder, Escape, Explore and Clear Folder Data
    // act on, and where deletions go; either may be null (then nothing
    // happens). Not owned.
    void SetActions(FolderTreeActions* tree, DeletionHandler* deletion)
    {
        m_treeActions = tree;
        m_deletion = deletion;
    }
    // The router that carries the context menus' commands; not owned. Null:
    // no context menu.
    void SetCommandRouter(framework::CommandRouter* router);
    // Shows a copy in the duplicates window (selects its group and the copy);
    // called under the tree-data lock. Empty: a click shows nothing there.
    void SetShowCopy(std::function<void(DupMember&)> showCopy);

    // --- FolderListDisplay ------------------------------------------------
    void SetFolder(FolderRecord* folder) override;
    // Lists the folder again: rows in tree order then enumeration order,
    // sorted by the current column unless the folder lies outside the file
    // system. Nothing is selected afterwards.
    void Refresh() override;
    // The listed folder: sorts again. A subfolder row: shows its totals,
    // without re-sorting.
    void UpdateFolderRow(FolderRecord& folder) override;
    // The listed folder: the list empties and lists nothing. A subfolder
    // row: the row goes at once.
    void ForgetFolder(FolderRecord& folder) override;
    void SelectFileByName(const std::string& name) override;

    // --- DupFileList --------------------------------------------------------
    [[nodiscard]] platform::WindowHandle DupStateWindow() const override { return Handle(); }
    // A subfolder row gets the searched mark.
    void MarkFolderSearched(FolderRecord& folder) override;

    // UM_FILE_DUP_STATE: marks the file row of that name, unless the mark
    // was made for an earlier fill.
    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam lParam) override;

    // --- SizeDisplay ----------------------------------------------------------
    // The size texts again, in the current format; rows, order and
    // selection stay.
    void RefreshSizes() override;

    // Every row's mark again from the records' duplicate data; marks still
    // on their way from an earlier state are dropped. The tree calls it when
    // a listed file, or the last other copy of one, left its group, so that
    // no stale mark stays.
    void RefreshMarks() override;

    // Moves the selected rows to the Trash through the deletion handler:
    // one chain of requests in row order, handed over under the tree-data
    // lock. Rows are not changed here; the deletion refreshes the list.
    void DeleteSelected();

    // --- State, for the main view and tests -------------------------------
    [[nodiscard]] FolderRecord* ListedFolder() const { return m_folder; }
    [[nodiscard]] int SortColumn() const { return m_sortColumn; }
    [[nodiscard]] bool SortAscending() const { return m_ascending; }
    // The item of a row; null for a bad row.
    [[nodiscard]] const FileListItem* ItemAt(int row) const;
    // The row of the file with exactly that name; -1 when none.
    [[nodiscard]] int FileRow(std::string_view name) const;
    // The popup the current selection gets.
    [[nodiscard]] ContextMenu ContextMenuForSelection() const;
    // File rows whose icons are still to be worked out.
    [[nodiscard]] std::size_t PendingIconCount() const { return m_pendingIcons.size(); }
    // Works out every pending icon now.
    void ResolvePendingIcons();

    // --- CommandTarget ------------------------------------------------------
    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

protected:
    void OnColumnClick(int column) override;
    void OnClick(int row) override;
    void OnDoubleClick(int row) override;
    void OnDeleteKey() override;
    void OnEscapeKey() override;
    void OnContextMenu(const QPoint& globalPos, bool fromKeyboard) override;

private:
    [[nodiscard]] FileListItem* Item(int row) const;
    // Clears InFileList of the subfolder rows' records (when clearFlags) and
    // drops every item, index and pending icon. Rows are not touched.
    void ReleaseItems(bool clearFlags);
    void Fill();
    // No folder is shown: marks still on their way are dropped.
    void EndFill();
    void RebuildRows();
    void Sort();
    void ShowSizes(int row, const FileListItem& item);
    void SetMark(FileListItem& item, int mark);
    // The totals of a subfolder, or the pending size while not known.
    static void TakeFolderSizes(FileListItem& item);
    // Under the tree-data lock: the listed folder's first member of each
    // name.
    [[nodiscard]] std::unordered_map<std::string_view, DupMember*> DuplicateIndex() const;
    [[nodiscard]] static int MarkOf(const DupMember* member);
    void ResolveSomeIcons();
    void OpenSelectedFiles();
    [[nodiscard]] FolderRecord* FirstSelectedFolder() const;

    TreeAccess* m_tree = nullptr;
    FolderTreeActions* m_treeActions = nullptr;
    DeletionHandler* m_deletion = nullptr;
    framework::CommandRouter* m_router = nullptr;
    std::function<void(DupMember&)> m_showCopy;
    FolderRecord* m_folder = nullptr;
    int m_sortColumn = FileListItem::FileSizeColumn;
    bool m_ascending = false;

    // The items of the current fill, subfolders first. Never appended to
    // after the rows are built, so the rows' pointers into it stay valid.
    std::vector<FileListItem> m_items;
    // File items by name (views into the items' names) and subfolder items
    // by record.
    std::unordered_map<std::string_view, FileListItem*> m_fileByName;
    std::unordered_map<const FolderRecord*, FileListItem*> m_folderItems;

    std::unique_ptr<FileTypeIcons> m_icons;
    std::vector<FileListItem*> m_pendingIcons;
    QTimer m_iconTimer;
};
