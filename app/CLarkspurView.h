#pragma once

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include <QWidget>

#include "framework/CommandTarget.h"
#include "platform/MessageWindow.h"
#include "platform/ShellActions.h"
#include "tree/DeletionHandler.h"

class QSplitter;
class LarkspurBrowserView;
class LarkspurListView;
class LarkspurDupsWnd;
class TreemapView;
class FolderRecord;

namespace framework {
class CommandRouter;
class ScanControl;
class SizeDisplay;
}  // namespace framework

// The main view: fills the frame's client area with the panes (the sized
// folder tree beside the file list, with the treemap below the list when it
// is shown, all above the duplicates window), keeps the lower pane's height
// when the window is resized, receives the worker's UM_TASK_DONE and
// UM_CLEAR_FOLDER_DUPS and hands them to the tree, holds the system-file
// protection flag, forwards the frame's scan commands to the tree, and is
// where every deletion ends (DeletionHandler). UI thread only.
//
// Destruction cancels every task and waits for the worker before any pane
// goes, since a running duplicate search reaches the file list and the
// duplicates window. A worker that does not stop within kWorkerStopLimit
// (stuck in a read) ends the process there, with a line on standard error
// and exit status 1: the view is destroyed only when the program ends.
class CLarkspurView : public QWidget,
                      public platform::MessageWindow,
                      public framework::CommandTarget,
                      public DeletionHandler {
    Q_OBJECT

public:
    explicit CLarkspurView(QWidget* parent = nullptr);
    ~CLarkspurView() override;

    // How long destruction waits for the running task to stop.
    static constexpr std::chrono::seconds kWorkerStopLimit{3};

    // Makes the panes and wires them to each other; the frame (or 0) gets the
    // status texts and router (or null) serves the panes' context menus.
    // Returns 0, or -1 when a pane cannot be made.
    int CreatePanes(platform::WindowHandle frame, framework::CommandRouter* router);

    // Called once, after the view and its document are ready: reads the
    // protection setting, builds the tree's top level and gives the lower
    // pane its first height.
    void OnInitialUpdate();

    [[nodiscard]] LarkspurBrowserView* Tree() const { return m_tree; }
    [[nodiscard]] LarkspurListView* FileList() const { return m_fileList; }
    [[nodiscard]] LarkspurDupsWnd* DupsPane() const { return m_dupsPane; }
    [[nodiscard]] TreemapView* Treemap() const { return m_treemap; }

    // Shows or hides the treemap pane (the View command) and writes the
    // setting; ShowTreemap leaves the settings alone (when they are read).
    void SetTreemapShown(bool on);
    void ShowTreemap(bool on);
    [[nodiscard]] bool TreemapShown() const;
    [[nodiscard]] QSplitter* OuterSplitter() const { return m_outer; }

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam lParam) override;

    [[nodiscard]] bool ProtectSystemFiles() const override { return m_protectSystemFiles; }
    // The directory deletions are kept out of while protection is on, as
    // the system named it when the view was made (raw bytes).
    [[nodiscard]] const std::string& ProtectedDirectory() const { return m_protectedDirectory; }
    // Sets the flag and writes it to the settings.
    void SetProtectSystemFiles(bool on);

    // --- Deletion ---------------------------------------------------------
    // Stops the scan; refuses the whole chain with message 40007 when
    // protection is on and any request lies in the protected directory;
    // otherwise moves the chain's paths to the Trash (SendToRecycleBin) and
    // brings records and panes up to date for what has gone
    // (UpdateAfterDeletion). Frees the chain. Takes the tree-data lock
    // (callers may hold it already); never waits for the worker. Returns
    // once the moves are over; meanwhile the window is served but takes no
    // input, and a deletion asked for meanwhile is dropped (its chain freed).
    void DeleteRequests(std::unique_ptr<DeletionRequest> chain) override;
    // Compares the folder's path, upper-cased, with the protected directory
    // and a separator, upper-cased: the directory itself and everything
    // below it, in any letter case.
    [[nodiscard]] bool IsInProtectedDirectory(const FolderRecord& folder) const override;
    // True as soon as one request's folder is protected; false for null.
    [[nodiscard]] bool AnyInProtectedDirectory(const DeletionRequest* chain) const;
    // The file's path (folder's directory path and name), or for a folder
    // its own path; empty when the folder is outside the file system.
    [[nodiscard]] static std::string RequestPath(const DeletionRequest& request);
    // False only when the request has a path and the file system says it
    // does not exist (ENOENT); every other outcome counts as still there.
    [[nodiscard]] static bool RequestStillExists(const DeletionRequest& request);
    // Asks once (naming the item, the number of items, or that every copy
    // of a file goes), then moves every path to the Trash (MoveAll) and
    // names in one message whatever could not be moved. Requests without a
    // path are left out; without any path nothing is asked. The paths a
    // cancel left untried go to untried (when given). Returns false when
    // the user declined.
    bool SendToRecycleBin(const DeletionRequest* chain, std::set<std::string>* untried = nullptr);
    // Moves the paths to the Trash one after another off the UI thread
    // (platform::TrashRun) and waits for the run with the window served
    // (framework::WaitWithProgress): a progress dialog once it takes long,
    // whose Cancel lets the move under way end (cancelled through GIO) and
    // starts no other; a close of the window does the same and is carried
    // out afterwards. Returns the outcomes of the paths tried, in order: a
    // prefix of paths.
    std::vector<platform::TrashOutcome> MoveAll(const std::vector<std::string>& paths);
    // For each request whose path is gone: its duplicate record leaves the
    // duplicate data; a file clears its folder's own size and the tree sizes
    // up to the root (the listed folder's file list is refreshed once); a
    // folder leaves the tree with its subtree and its parent's totals are
    // worked out again. Requests that are still there change nothing, nor
    // do those whose path is in untried (not asked for).
    void UpdateAfterDeletion(const DeletionRequest* chain,
                             const std::set<std::string>& untried = {});

    // The sized tree's scan operations; null detaches. Not owned.
    void SetBrowserPane(framework::ScanControl* browserPane);
    [[nodiscard]] framework::ScanControl* BrowserPane() const { return m_browserPane; }

    // Forwarders of the frame's commands; each does nothing without a tree.
    void ResetAll();
    void StopScanning();
    void SetDuplicateMode(bool findDuplicates);
    [[nodiscard]] bool CanStopScanning() const;
    [[nodiscard]] bool CanReset() const;

    // Panes that show sizes, asked in the order added by RedrawSizes.
    void AddSizeDisplay(framework::SizeDisplay* display);
    void RemoveSizeDisplay(framework::SizeDisplay* display);
    // Shows every size again after the size format changed.
    void RedrawSizes();

    // The panes in the order Next Pane (F6) visits them: those not hidden.
    [[nodiscard]] std::vector<QWidget*> Panes() const;
    void AddPane(QWidget* pane);

    // The treemap's View command.
    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyInitialLayout();

    bool m_initialLayoutPending = false;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    LarkspurBrowserView* m_tree = nullptr;
    LarkspurListView* m_fileList = nullptr;
    LarkspurDupsWnd* m_dupsPane = nullptr;
    // The file list above the treemap, in the right column.
    QSplitter* m_right = nullptr;
    TreemapView* m_treemap = nullptr;
    framework::ScanControl* m_browserPane = nullptr;
    std::vector<framework::SizeDisplay*> m_sizeDisplays;
    std::vector<QWidget*> m_panes;
    bool m_protectSystemFiles = true;
    bool m_deleting = false;
    std::string m_protectedDirectory;
    // The protected directory with a separator, upper-cased; empty when
    // there is none.
    QString m_protectedPrefix;
};

// The one main view while it exists; null before and after.
extern CLarkspurView* TheMainView;
