#pragma once

#include <functional>
#include <string>

#include "platform/MessageWindow.h"

class FolderScan;

// Stands in for the main view and the main frame of the window: hands the
// worker's messages to the scan as they do, and calls onIdle each time the
// walk is found idle with nothing queued: after a drain, and when the scan
// clears the status text at the walk's end.
//
// The status texts ("Scanning: PATH") go to standard error on one line that
// each new text overwrites, but only when standard error is a terminal; an
// empty text clears the line.
//
// UI thread only. The scan must outlive the window's use by the task queue
// and the scan (clear their handles, or destroy the scan, first).
class ReportWindow : public platform::MessageWindow {
public:
    ReportWindow(FolderScan& scan, std::function<void()> onIdle);
    ~ReportWindow() override;

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam lParam) override;

    // Clears the status line if one is shown.
    void ClearStatus();

private:
    void CallIfIdle();
    void ShowStatus(const std::string& text);

    FolderScan& m_scan;
    std::function<void()> m_onIdle;
    bool m_statusOnTerminal = false;
    bool m_statusShown = false;
};
