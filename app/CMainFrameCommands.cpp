// The main frame's commands: which it claims, their enabling and checks, and
// what they do.
#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

#include "app/CGeneralPage.h"
#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "framework/CommandRouter.h"
#include "framework/ContextHelp.h"
#include "framework/HelpFile.h"
#include "framework/PropertySheet.h"
#include "platform/DecodedName.h"
#include "platform/ModalScope.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

using namespace resources;

bool CMainFrame::OnUpdateCommand(int command, framework::CommandState& state)
{
    switch (command) {
        case ID_STOP_SCANNING:
            state.enabled = TheMainView != nullptr && TheMainView->CanStopScanning();
            return true;
        case ID_RESET:
            state.enabled = TheMainView != nullptr && TheMainView->CanReset();
            return true;
        case ID_VIEW_TOOLBAR:
            state.checked = !m_toolBar->isHidden();
            return true;
        case ID_VIEW_STATUS_BAR:
            state.checked = !statusBar()->isHidden();
            return true;
        // Their checks are set only by SetScanMode and UpdateSizeFormatChecks.
        case ID_SCAN_SIZE_ONLY:
        case ID_SCAN_DUPLICATES:
        case ID_SCAN_SIZE:
        case ID_SIZE_BYTES:
        case ID_SIZE_KBYTES:
        case ID_SIZE_MBYTES:
        case ID_SIZE_GBYTES:
        case ID_SIZE_AUTO:
        case ID_VIEW_OPTIONS:
        case ID_APP_EXIT:
        case ID_HELP_FINDER:
        case ID_DEFAULT_HELP:
        case ID_HELP:
        case ID_CONTEXT_HELP:
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
        // The panes clear a folder's data; the frame only keeps the entry enabled.
        case ID_CLEAR_FOLDER_DATA:
            return true;
        default:
            return false;
    }
}

void CMainFrame::OnCommand(int command)
{
    CLarkspurApp* app = CLarkspurApp::Instance();
    switch (command) {
        case ID_SCAN_SIZE_ONLY:
            // Checked means size-only scanning was on when the entry was chosen.
            SetScanMode(m_router->Action(ID_SCAN_SIZE_ONLY)->isChecked());
            break;
        case ID_SCAN_DUPLICATES:
            SetScanMode(true);
            break;
        case ID_SCAN_SIZE:
            SetScanMode(false);
            break;
        case ID_STOP_SCANNING:
            if (TheMainView != nullptr) TheMainView->StopScanning();
            break;
        case ID_RESET:
            if (TheMainView != nullptr) TheMainView->ResetAll();
            break;
        case ID_SIZE_BYTES:
        case ID_SIZE_KBYTES:
        case ID_SIZE_MBYTES:
        case ID_SIZE_GBYTES:
        case ID_SIZE_AUTO:
            if (app != nullptr)
                app->SetSizeFormat(static_cast<SizeFormat>(command - ID_SIZE_BYTES));
            break;
        case ID_VIEW_TOOLBAR:
            m_toolBar->setVisible(m_toolBar->isHidden());
            break;
        case ID_VIEW_STATUS_BAR:
            statusBar()->setVisible(statusBar()->isHidden());
            break;
        case ID_APP_EXIT:
            close();
            break;
        case ID_HELP_FINDER:
        case ID_DEFAULT_HELP:
            if (!framework::HelpFile::ShowContents()) ReportHelpMissing();
            break;
        case ID_HELP:
            if (!framework::ContextHelp::ShowFocusTopic()) ReportHelpMissing();
            break;
        case ID_CONTEXT_HELP:
            framework::ContextHelp::EnterWhatsThisMode();
            break;
        case ID_NEXT_PANE:
            MoveToPane(1);
            break;
        case ID_PREV_PANE:
            MoveToPane(-1);
            break;
        case ID_VIEW_OPTIONS:
            OnViewOptions();
            break;
        default:
            // Clear Folder Data: nothing of the frame's own.
            break;
    }
}

void CMainFrame::OnViewOptions()
{
    CLarkspurView* view = TheMainView;
    if (view == nullptr) return;
    framework::PropertySheet sheet(StringTable::Load(IDS_OPTIONS_CAPTION), this);
    auto* page = new CGeneralPage;
    page->SetProtect(view->ProtectSystemFiles() ? 1 : 0);
    page->SetDirectory(platform::DecodedName(view->ProtectedDirectory()));
    sheet.AddPage(page);
    // The directory is shown only: it is never read back.
    if (sheet.exec() == QDialog::Accepted) view->SetProtectSystemFiles(page->Protect() != 0);
}

void CMainFrame::MoveToPane(int step)
{
    if (m_view == nullptr) return;
    const std::vector<QWidget*> panes = m_view->Panes();
    if (panes.empty()) return;
    const QWidget* focus = QApplication::focusWidget();
    const auto current = std::find_if(panes.begin(), panes.end(), [focus](const QWidget* pane) {
        return focus != nullptr && (pane == focus || pane->isAncestorOf(focus));
    });
    const int count = static_cast<int>(panes.size());
    const int index = current == panes.end()
                          ? 0
                          : (static_cast<int>(current - panes.begin()) + step + count) % count;
    panes[static_cast<std::size_t>(index)]->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ReportHelpMissing()
{
    platform::ModalScope modal;
    QMessageBox::warning(this, StringTable::Load(IDS_APPLICATION_TITLE),
                         StringTable::Load(IDS_HELP_NOT_AVAILABLE));
}
