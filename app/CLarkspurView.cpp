#include "app/CLarkspurView.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QKeyEvent>
#include <QSplitter>

#include "app/CLarkspurApp.h"
#include "app/SplitterPlacement.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "framework/ScanControl.h"
#include "framework/SizeDisplay.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "platform/DecodedName.h"
#include "platform/FileQueries.h"
#include "tree/LarkspurBrowserView.h"
#include "treemap/TreemapView.h"
#include "resources/CommandIds.h"
#include "model/TreeItemRecord.h"

CLarkspurView* TheMainView = nullptr;

CLarkspurView::CLarkspurView(QWidget* parent)
    : QWidget(parent), m_protectedDirectory(platform::FileQueries::ProtectedSystemDirectory())
{
    TheMainView = this;
    if (!m_protectedDirectory.empty())
        m_protectedPrefix = platform::DecodedName(AppendBackslash(m_protectedDirectory)).toUpper();
    setFocusPolicy(Qt::StrongFocus);
    TaskManager::Instance().SetNotifyWindow(Handle());
}

CLarkspurView::~CLarkspurView()
{
    // A running duplicate search reads the file list and reports to the
    // duplicates window: no pane goes before the worker is idle. Sent
    // messages are still answered meanwhile, by this view and the tree.
    TaskManager& tasks = TaskManager::Instance();
    tasks.CancelAll(TaskManager::FinishedTasks::Discard);
    if (!tasks.WaitUntilIdle(kWorkerStopLimit)) {
        // The running task is stuck in the file system (a read from a server
        // that is gone) and may still touch the panes and records once it
        // returns. The window is closed and the process is ending: end it
        // here, freeing nothing the worker could reach.
        std::fprintf(stderr,
                     "larkspur: a scan did not stop within %lld seconds; exiting without it\n",
                     static_cast<long long>(kWorkerStopLimit.count()));
        std::fflush(nullptr);
        std::_Exit(EXIT_FAILURE);
    }
    m_sizeDisplays.clear();
    m_panes.clear();
    m_browserPane = nullptr;
    if (m_tree != nullptr) m_tree->SetPanes(nullptr, nullptr);
    delete m_treemap;
    m_treemap = nullptr;
    delete m_dupsPane;
    m_dupsPane = nullptr;
    delete m_fileList;
    m_fileList = nullptr;
    delete m_tree;
    m_tree = nullptr;
    if (TheMainView == this) TheMainView = nullptr;
}

int CLarkspurView::CreatePanes(platform::WindowHandle frame, framework::CommandRouter* router)
{
    // The outer splitter is placed by hand (resizeEvent), not by a layout: a
    // lower pane that no longer fits keeps its height and the splitter may
    // stand partly above the view's edge.
    m_outer = new QSplitter(Qt::Vertical, this);
    m_outer->setChildrenCollapsible(true);
    m_inner = new QSplitter(Qt::Horizontal, m_outer);
    m_inner->setChildrenCollapsible(true);

    m_tree = new LarkspurBrowserView(m_inner);
    m_tree->SetMainView(Handle());
    m_tree->SetFrame(frame);
    m_tree->SetCommandRouter(router);
    // The right column: the file list above the treemap.
    m_right = new QSplitter(Qt::Vertical, m_inner);
    m_right->setChildrenCollapsible(true);
    m_fileList = new LarkspurListView(m_right);
    m_fileList->SetTree(m_tree);
    m_fileList->SetCommandRouter(router);
    m_fileList->SetShowCopy([](DupMember& member) {
        if (LarkspurDupsWnd* dups = LarkspurDupsWnd::Instance()) dups->ShowCopy(member);
    });
    m_treemap = new TreemapView(m_right);
    m_treemap->hide();
    m_right->setStretchFactor(0, 1);
    m_right->setStretchFactor(1, 1);
    m_inner->setSizes({315, 300});
    m_inner->setStretchFactor(1, 1);

    m_dupsPane = new LarkspurDupsWnd(m_outer);
    m_dupsPane->SetDataLock(&m_tree->DataLock());
    m_dupsPane->EnableLists(m_tree->DuplicateMode());
    m_tree->SetPanes(m_fileList, m_dupsPane);
    m_tree->SetDeletionHandler(this);
    m_fileList->SetActions(m_tree, this);
    m_dupsPane->SetActions(m_tree, this);
    m_treemap->SetPanes(m_tree, m_fileList);
    m_treemap->SetActions(this, router);
    connect(m_treemap, &TreemapView::MarkDuplicatesChanged, this, [] {
        if (CLarkspurApp* app = CLarkspurApp::Instance()) app->SaveTreemapSettings();
    });
    m_outer->setStretchFactor(0, 1);
    m_outer->setStretchFactor(1, 0);
    m_outer->setGeometry(0, 0, width(), height());

    SetBrowserPane(m_tree);
    for (framework::SizeDisplay* display :
         std::initializer_list<framework::SizeDisplay*>{m_tree, m_fileList, m_dupsPane})
        AddSizeDisplay(display);
    AddPane(m_tree);
    AddPane(m_fileList);
    AddPane(m_treemap);
    AddPane(&m_dupsPane->GroupsList());
    AddPane(&m_dupsPane->CopiesList());
    return 0;
}

void CLarkspurView::OnInitialUpdate()
{
    if (CLarkspurApp* app = CLarkspurApp::Instance()) {
        app->LoadProtectSetting();
        app->LoadTreemapSettings();
    }
    if (m_tree == nullptr) return;
    m_tree->OnInitialUpdate();
    // The view has its real height only once the frame is shown: until then
    // every resize lays the panes out as for the first time.
    m_initialLayoutPending = true;
    ApplyInitialLayout();
}

void CLarkspurView::ApplyInitialLayout()
{
    m_outer->setGeometry(0, 0, width(), height());
    const int available = height() - m_outer->handleWidth();
    const int upper = SplitterPlacement::InitialUpperRow(height());
    m_outer->setSizes({upper, std::max(0, available - upper)});
    if (isVisible()) m_initialLayoutPending = false;
}

void CLarkspurView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The resize that comes with showing arrives while the view is not yet
    // visible; the first layout is done once it shows, so that every later
    // resize keeps the lower pane's height.
    if (m_initialLayoutPending && m_outer != nullptr) ApplyInitialLayout();
}

platform::MessageResult CLarkspurView::OnMessage(platform::MessageId message,
                                                 platform::WParam wParam, platform::LParam)
{
    switch (message) {
        case UM_TASK_DONE:
            if (m_tree != nullptr) m_tree->ProcessCompletedTasks();
            break;
        case UM_CLEAR_FOLDER_DUPS:
            if (LarkspurBrowserView* tree = LarkspurBrowserView::Instance())
                tree->ClearFolderDuplicates(*reinterpret_cast<const FolderRecordRef*>(wParam));
            break;
        default:
            break;
    }
    return 0;
}

void CLarkspurView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_outer == nullptr) return;
    if (m_initialLayoutPending) {
        ApplyInitialLayout();
        return;
    }
    const QList<int> rows = m_outer->sizes();
    const bool laidOut = rows.size() == 2 && m_outer->height() > 0;
    const SplitterPlacement placement = SplitterPlacement::ForViewHeight(
        laidOut ? rows[0] : -1, laidOut ? rows[1] : -1, m_outer->height(), height());
    const int top = placement.keepTop ? m_outer->y() : placement.top;
    m_outer->setGeometry(0, top, width(), placement.height);
    if (placement.upperRow) {
        const int lower = placement.height - m_outer->handleWidth() - *placement.upperRow;
        m_outer->setSizes({*placement.upperRow, std::max(0, lower)});
    }
}

void CLarkspurView::SetProtectSystemFiles(bool on)
{
    m_protectSystemFiles = on;
    if (CLarkspurApp* app = CLarkspurApp::Instance()) app->SaveProtectSetting();
}

void CLarkspurView::SetBrowserPane(framework::ScanControl* browserPane)
{
    m_browserPane = browserPane;
}

void CLarkspurView::ResetAll()
{
    if (m_browserPane != nullptr) m_browserPane->ResetAll();
}

void CLarkspurView::StopScanning()
{
    if (m_browserPane != nullptr) m_browserPane->StopScanning();
}

void CLarkspurView::SetDuplicateMode(bool findDuplicates)
{
    if (m_browserPane != nullptr) m_browserPane->SetDuplicateMode(findDuplicates);
}

bool CLarkspurView::CanStopScanning() const
{
    return m_browserPane != nullptr && m_browserPane->IsScanning();
}

bool CLarkspurView::CanReset() const
{
    return m_browserPane != nullptr && m_browserPane->HasScannedSomething();
}

void CLarkspurView::AddSizeDisplay(framework::SizeDisplay* display)
{
    m_sizeDisplays.push_back(display);
}

void CLarkspurView::RemoveSizeDisplay(framework::SizeDisplay* display)
{
    std::erase(m_sizeDisplays, display);
}

void CLarkspurView::RedrawSizes()
{
    for (framework::SizeDisplay* display : m_sizeDisplays) display->RefreshSizes();
}

std::vector<QWidget*> CLarkspurView::Panes() const
{
    std::vector<QWidget*> shown;
    for (QWidget* pane : m_panes)
        if (!pane->isHidden()) shown.push_back(pane);
    return shown;
}

void CLarkspurView::AddPane(QWidget* pane) { m_panes.push_back(pane); }

void CLarkspurView::ShowTreemap(bool on)
{
    if (m_treemap == nullptr) return;
    m_treemap->setVisible(on);
    if (on) {
        // A treemap shown for the first time shares the column with the list.
        const QList<int> rows = m_right->sizes();
        // Before the window is laid out the column has no height yet, and
        // the splitter's stretch factors share it.
        if (rows.size() == 2 && rows[1] == 0 && rows[0] > 0) {
            const int half = (rows[0] + rows[1]) / 2;
            m_right->setSizes({half, rows[0] + rows[1] - half});
        }
    } else if (m_treemap->isAncestorOf(QApplication::focusWidget()) || m_treemap->hasFocus()) {
        m_fileList->setFocus(Qt::OtherFocusReason);
    }
}

void CLarkspurView::SetTreemapShown(bool on)
{
    ShowTreemap(on);
    if (CLarkspurApp* app = CLarkspurApp::Instance()) app->SaveTreemapSettings();
}

bool CLarkspurView::TreemapShown() const { return m_treemap != nullptr && !m_treemap->isHidden(); }

bool CLarkspurView::OnUpdateCommand(int command, framework::CommandState& state)
{
    // The view draws nothing of its own: there is nothing to print.
    if (command != resources::ID_VIEW_TREEMAP) return false;
    state.enabled = m_treemap != nullptr;
    state.checked = TreemapShown();
    return true;
}

void CLarkspurView::OnCommand(int command)
{
    if (command == resources::ID_VIEW_TREEMAP) SetTreemapShown(!TreemapShown());
}

void CLarkspurView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) StopScanning();
    QWidget::keyPressEvent(event);
}
