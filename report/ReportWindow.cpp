#include "report/ReportWindow.h"

#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "report/ReportListing.h"
#include "engine/FolderScan.h"

ReportWindow::ReportWindow(FolderScan& scan, std::function<void()> onIdle)
    : m_scan(scan), m_onIdle(std::move(onIdle)), m_statusOnTerminal(::isatty(STDERR_FILENO) == 1)
{
}

ReportWindow::~ReportWindow() { ClearStatus(); }

platform::MessageResult ReportWindow::OnMessage(platform::MessageId message,
                                                platform::WParam wParam, platform::LParam)
{
    switch (message) {
        case UM_TASK_DONE:
            m_scan.ProcessCompletedTasks();
            CallIfIdle();
            break;
        case UM_CLEAR_FOLDER_DUPS:
            m_scan.Duplicates().ClearFolderDuplicates(
                *reinterpret_cast<const FolderRecordRef*>(wParam));
            break;
        case UM_STATUS_TEXT:
            if (const auto* text = reinterpret_cast<const std::string*>(wParam)) {
                ShowStatus(*text);
                // The walk's end: its last deliveries may have come in a
                // turn of their own, after the last UM_TASK_DONE.
                if (text->empty()) CallIfIdle();
            }
            break;
        default:
            break;
    }
    return 0;
}

void ReportWindow::CallIfIdle()
{
    if (!m_scan.IsScanning() && TaskManager::Instance().PendingCount() == 0 && m_onIdle) {
        m_onIdle();
    }
}

void ReportWindow::ShowStatus(const std::string& text)
{
    if (!m_statusOnTerminal) return;
    if (text.empty()) {
        ClearStatus();
        return;
    }
    // One line, never wrapped: control bytes written as escapes, cut to the
    // terminal's width (bytes, so a wide name may end a little early).
    std::string line = EscapeForLine(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 &&
        line.size() >= size.ws_col) {
        line.resize(size.ws_col - 1);
    }
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    m_statusShown = true;
}

void ReportWindow::ClearStatus()
{
    if (!m_statusShown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_statusShown = false;
}
