#pragma once

#include <memory>
#include <string>

#include "platform/MessageWindow.h"

namespace platform {

// The process-wide message channel from any thread to the windows of ours.
//
// Posted messages go into one FIFO; a write to an eventfd, watched on the UI
// thread, wakes the UI thread, which hands them to their windows in posting
// order. Send from another thread waits until the handler has run (or until
// the window is gone, or shutdown began, when it returns 0); Send on the UI
// thread calls the handler directly.
//
// While a modal loop runs (a dialog, message box, popup menu or progress
// dialog, each inside a ModalScope) queued messages are not handled: they
// wait, and a sending thread waits with them, until the outermost modal
// loop has closed; then the FIFO is drained.
//
// A message for a window that no longer exists is dropped; text it carries
// is freed.
class MessageQueue {
public:
    static MessageQueue& Instance();

    // Makes the calling thread the UI thread and starts watching the eventfd.
    // Call once, on the UI thread, after the QCoreApplication exists.
    void AttachToCurrentThread();
    bool IsUiThread() const;

    void Post(WindowHandle window, MessageId message, WParam wParam, LParam lParam);
    // Posts a message whose wParam points at a copy of text (raw bytes).
    void PostText(WindowHandle window, MessageId message, std::string text, LParam lParam);
    MessageResult Send(WindowHandle window, MessageId message, WParam wParam, LParam lParam);

    // UI thread: handles every queued message now (unless a modal loop runs).
    void DispatchPending();
    // UI thread: waits up to timeoutMs for a sent message and handles the
    // sent messages queued so far, leaving posted ones in place. For waits
    // that the worker may be blocked in a Send against.
    void DispatchSentMessages(int timeoutMs);

    // Unblocks every waiting sender and makes later sends return 0 at once.
    void Shutdown();

    // Used by ModalScope.
    void EnterModal();
    void LeaveModal();
    bool InModalLoop() const;

private:
    MessageQueue();
    ~MessageQueue();
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    friend class MessageWindow;
};

// Marks a modal loop of ours for as long as it lives (UI thread only).
class ModalScope {
public:
    ModalScope() { MessageQueue::Instance().EnterModal(); }
    ~ModalScope() { MessageQueue::Instance().LeaveModal(); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

}  // namespace platform
