#include "app/CLarkspurView.h"

#include <algorithm>

#include <QKeyEvent>

#include "app/CLarkspurApp.h"
#include "framework/ScanControl.h"
#include "framework/SizeDisplay.h"
#include "platform/FileQueries.h"
#include "resources/CommandIds.h"

CLarkspurView* TheMainView = nullptr;

CLarkspurView::CLarkspurView(QWidget* parent)
    : QWidget(parent), m_protectedDirectory(platform::FileQueries::ProtectedSystemDirectory())
{
    TheMainView = this;
    setFocusPolicy(Qt::StrongFocus);
}

CLarkspurView::~CLarkspurView()
{
    if (TheMainView == this) TheMainView = nullptr;
}

void CLarkspurView::OnInitialUpdate()
{
    if (CLarkspurApp* app = CLarkspurApp::Instance()) app->LoadProtectSetting();
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

std::vector<QWidget*> CLarkspurView::Panes() const { return m_panes; }

void CLarkspurView::AddPane(QWidget* pane) { m_panes.push_back(pane); }

bool CLarkspurView::OnUpdateCommand(int command, framework::CommandState&)
{
    // Printing belongs to the view; there is nothing to print.
    return command == resources::ID_FILE_PRINT || command == resources::ID_FILE_PRINT_PREVIEW;
}

void CLarkspurView::OnCommand(int) {}

void CLarkspurView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) StopScanning();
    QWidget::keyPressEvent(event);
}
