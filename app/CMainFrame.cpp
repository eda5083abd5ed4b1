#include "app/CMainFrame.h"

#include <string>

#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurDoc.h"
#include "app/CLarkspurView.h"
#include "engine/WindowMessages.h"
#include "framework/CommandRouter.h"
#include "framework/MenuBuilder.h"
#include "platform/DecodedName.h"
#include "resources/AcceleratorTable.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "resources/ToolbarResource.h"

using namespace resources;

namespace {

QIcon ToolbarIcon(const ToolbarButton& button)
{
    QIcon drawn;
    if (const char* const* image = ToolbarResource::Image(button.command))
        drawn = QIcon(QPixmap(image));
    if (button.themeIcon == nullptr) return drawn;
    return QIcon::fromTheme(QString::fromLatin1(button.themeIcon), drawn);
}

}  // namespace

CMainFrame::CMainFrame() : m_router(new framework::CommandRouter(this))
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize available = screen->availableSize();
        resize(available.width() * 3 / 4, available.height() * 3 / 4);
    }
}

CMainFrame::~CMainFrame()
{
    m_router->SetUpdateWhenIdle(false);
    m_router->SetFallbackTargets({});
}

int CMainFrame::Create(CLarkspurDoc* document)
{
    m_document = document;
    CreateMenus();
    if (!CreateToolBar() || !CreateStatusBar()) return -1;
    CreateAccelerators();

    m_view = new CLarkspurView(this);
    setCentralWidget(m_view);
    if (m_view->CreatePanes(Handle(), m_router) != 0) return -1;

    m_router->SetFallbackTargets({m_view, m_document, this, CLarkspurApp::Instance()});
    m_router->SetUpdateWhenIdle(true);
    m_router->UpdateAll();
    return 0;
}

void CMainFrame::InitialUpdateFrame()
{
    const QString title = m_document != nullptr ? m_document->Title() : QString();
    setWindowTitle(title + QStringLiteral(" - ") + StringTable::Load(IDS_APPLICATION_TITLE));
    if (m_view != nullptr) m_view->OnInitialUpdate();
}

void CMainFrame::CreateMenus()
{
    framework::MenuBuilder::FillMenuBar(menuBar(), IDR_MAINFRAME, *m_router);
    // Only SetScanMode and UpdateSizeFormatChecks change these checks.
    for (int command : {ID_SCAN_SIZE_ONLY, ID_SIZE_BYTES, ID_SIZE_KBYTES, ID_SIZE_MBYTES,
                        ID_SIZE_GBYTES, ID_SIZE_AUTO, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR})
        m_router->Action(command)->setCheckable(true);
    m_router->Action(ID_SIZE_BYTES)->setChecked(true);
}

bool CMainFrame::CreateToolBar()
{
    const auto buttons = ToolbarResource::Load(IDR_MAINFRAME);
    if (buttons.empty()) return false;
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    for (const ToolbarButton& button : buttons) {
        if (button.command == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = m_router->Action(button.command);
        action->setIcon(ToolbarIcon(button));
        // Menu entries are text only; the icons belong to the toolbar.
        action->setIconVisibleInMenu(false);
        if (action->text().isEmpty()) action->setText(action->toolTip());
        m_toolBar->addAction(action);
    }
    m_router->Action(ID_SCAN_DUPLICATES)->setCheckable(true);
    m_router->Action(ID_SCAN_SIZE)->setCheckable(true);
    m_router->Action(ID_SCAN_DUPLICATES)->setChecked(true);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    return true;
}

bool CMainFrame::CreateStatusBar()
{
    m_messagePane = new QLabel(this);
    // Long paths must not widen the window: the pane takes what is left.
    m_messagePane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_messagePane->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_messagePane, 1);
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(100);
    connect(m_statusTimer, &QTimer::timeout, this, [this] {
        if (m_statusPending) {
            SetMessageText(m_pendingStatus);
            m_statusTimer->start();
        }
    });
    SetMessageText(QString());
    return true;
}

void CMainFrame::CreateAccelerators()
{
    std::map<int, QList<QKeySequence>> keysByCommand;
    for (const Accelerator& accelerator : AcceleratorTable::Load(IDR_MAINFRAME))
        keysByCommand[accelerator.command].append(
            QKeySequence(QString::fromLatin1(accelerator.keys), QKeySequence::PortableText));
    for (const auto& [command, keys] : keysByCommand) {
        QAction* action = m_router->Action(command);
        action->setShortcuts(keys);
        addAction(action);
    }
}

void CMainFrame::SetScanMode(bool findDuplicates)
{
    m_router->Action(ID_SCAN_SIZE_ONLY)->setChecked(!findDuplicates);
    m_router->Action(ID_SCAN_DUPLICATES)->setChecked(findDuplicates);
    m_router->Action(ID_SCAN_SIZE)->setChecked(!findDuplicates);
    if (TheMainView != nullptr) TheMainView->SetDuplicateMode(findDuplicates);
}

void CMainFrame::UpdateSizeFormatChecks()
{
    const CLarkspurApp* app = CLarkspurApp::Instance();
    const int current = static_cast<int>(app != nullptr ? app->GetSizeFormat() : SizeFormat::Bytes);
    for (int command = ID_SIZE_BYTES; command <= ID_SIZE_AUTO; ++command)
        m_router->Action(command)->setChecked(command - ID_SIZE_BYTES == current);
}

void CMainFrame::SetMessageText(const QString& text)
{
    m_statusPending = false;
    m_pendingStatus.clear();
    m_messagePane->setText(text.isEmpty() ? StringTable::Load(IDS_IDLE_PROMPT) : text);
}

QString CMainFrame::MessageText() const
{
    if (m_statusPending) {
        return m_pendingStatus.isEmpty() ? StringTable::Load(IDS_IDLE_PROMPT) : m_pendingStatus;
    }
    return m_messagePane->text();
}

platform::MessageResult CMainFrame::OnMessage(platform::MessageId message, platform::WParam wParam,
                                              platform::LParam)
{
    if (message == UM_STATUS_TEXT) {
        // The text is raw bytes: a file name within it need not be UTF-8.
        const auto* text = reinterpret_cast<const std::string*>(wParam);
        const QString decoded = text != nullptr ? platform::DecodedName(*text) : QString();
        // Setting the pane's text lays the status bar out and paints it:
        // while the timer runs the text waits for it, and only the last
        // one is shown.
        if (m_statusTimer->isActive()) {
            m_pendingStatus = decoded;
            m_statusPending = true;
        } else {
            SetMessageText(decoded);
            m_statusTimer->start();
        }
    }
    return 0;
}

bool CMainFrame::event(QEvent* event)
{
    // Menu and toolbar prompts go into the message pane, replacing what it
    // showed; when the pointer leaves them the idle prompt returns.
    if (event->type() == QEvent::StatusTip) {
        SetMessageText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}
