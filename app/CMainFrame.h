#pragma once

#include <QMainWindow>

#include "framework/CommandTarget.h"
#include "platform/MessageWindow.h"

class QLabel;
class QTimer;
class QToolBar;
class CLarkspurDoc;
class CLarkspurView;

namespace framework {
class CommandRouter;
}

// The program's one top-level window: menu bar, a dockable toolbar, a
// status bar with one message pane, and the main view as its client area.
// It handles the commands that act on the program as a whole and shows the
// scan's progress text (UM_STATUS_TEXT). UI thread only.
class CMainFrame : public QMainWindow,
                   public platform::MessageWindow,
                   public framework::CommandTarget {
    Q_OBJECT

public:
    CMainFrame();
    ~CMainFrame() override;

    // Builds the menus, toolbar, status bar, accelerators and the main view
    // for document (not owned; it must outlive the frame). Returns 0, or -1
    // when a part could not be made.
    int Create(CLarkspurDoc* document);
    // Gives the view its initial update and the frame its title.
    void InitialUpdateFrame();

    // Duplicate search on or off: the menu check, both toolbar buttons and
    // the sized tree, every time, even when the mode does not change.
    void SetScanMode(bool findDuplicates);
    // Checks the Show Size As entry of the application's size format only.
    void UpdateSizeFormatChecks();

    // The message pane's text; an empty text shows the idle prompt.
    void SetMessageText(const QString& text);
    // The text the pane shows, or is about to show (see UM_STATUS_TEXT).
    [[nodiscard]] QString MessageText() const;

    [[nodiscard]] framework::CommandRouter& Router() const { return *m_router; }
    [[nodiscard]] QToolBar* ToolBar() const { return m_toolBar; }
    [[nodiscard]] CLarkspurView* View() const { return m_view; }

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam lParam) override;

    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

protected:
    bool event(QEvent* event) override;

private:
    void CreateMenus();
    bool CreateToolBar();
    bool CreateStatusBar();
    void CreateAccelerators();
    void MoveToPane(int step);
    void ReportHelpMissing();
    void OnViewOptions();

    framework::CommandRouter* m_router;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_messagePane = nullptr;
    // The scan's texts (UM_STATUS_TEXT) come once per folder, thousands a
    // second; the pane shows one at once and then at most one per interval
    // of this timer, the latest.
    QTimer* m_statusTimer = nullptr;
    QString m_pendingStatus;
    bool m_statusPending = false;
    CLarkspurDoc* m_document = nullptr;
    CLarkspurView* m_view = nullptr;
};
