#pragma once

#include <functional>
#include <string>

#include "platform/MessageWindow.h"

class LarkspurBrowserView;

// Stands in for the main view and the main frame of the window: hands the
// worker's messages to the sized tree as they do, and calls onIdle each time
// a drain leaves the walk idle with nothing queued.
//
// The status texts ("Scanning: PATH") go to standard error on one line that
// each new text overwrites, but only when standard error is a terminal; an
// empty text clears the line.
//
// UI thread only. The view must outlive the window's use by the task queue
// and the view (clear their handles, or destroy the view, first).
class ReportWindow : public platform::MessageWindow {
public:
    ReportWindow(LarkspurBrowserView& view, std::function<void()> onIdle);
    ~ReportWindow() override;

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam lParam) override;

    // Clears the status line if one is shown.
    void ClearStatus();

private:
    void ShowStatus(const std::string& text);

    LarkspurBrowserView& m_view;
    std::function<void()> m_onIdle;
    bool m_statusOnTerminal = false;
    bool m_statusShown = false;
};
