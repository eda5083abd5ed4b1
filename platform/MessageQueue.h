#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/MessageWindow.h"

namespace platform {

// The process-wide message channel from any thread to the windows of ours.
//
// Posted and sent messages go into one FIFO guarded by a mutex; a write to
// an eventfd, watched on the UI thread by a QSocketNotifier, wakes the UI
// thread, which hands them to their windows in the order they were queued.
// Each wake-up handles the messages queued so far; later ones wait for the
// next pass of the event loop, so a flood of messages cannot starve
// painting and input.
//
// Send from another thread queues the message like a post and blocks until
// its handler has run, then returns the handler's result. It returns 0
// instead when the window is gone (before or while it waits) or when
// Shutdown has begun. Send on the UI thread calls the handler directly,
// ahead of anything queued, even inside a ModalScope.
//
// While a ModalScope is open (see ModalScope.h) queued messages are not
// handled: they wait, and a sending thread waits with them, until the
// outermost scope has closed; then the FIFO is drained from the event loop.
// A queued message is never skipped while its window lives.
//
// A message for a window that does not exist (or no longer exists) is
// dropped; text it carries is freed.
//
// A handler may post, send, open a ModalScope (running a nested loop) or
// call DispatchPending: no queued message is handled inside another
// message's handler, so the FIFO's order holds; the rest is handled once
// the handler has returned. Only DispatchSentMessages handles (sent)
// messages inside a handler.
//
// Never Send while holding a lock that a handler on the UI thread takes,
// and never block the UI thread on another thread except through
// DispatchSentMessages: a sender would wait forever.
//
// The instance is created on first use and never destroyed, so threads that
// still post or send while the process exits find it alive. When the
// QCoreApplication is destroyed the queue shuts down (see Shutdown).
class MessageQueue {
public:
    static MessageQueue& Instance();

    // Makes the calling thread the UI thread and starts watching the eventfd;
    // messages queued before are then handled. Call on the UI thread after
    // the QCoreApplication exists and before any other thread sends.
    void AttachToCurrentThread();
    [[nodiscard]] bool IsUiThread() const;

    // Any thread. Returns at once.
    void Post(WindowHandle window, MessageId message, WParam wParam, LParam lParam);
    // Any thread. Posts a message whose wParam points at a std::string holding
    // text (raw bytes), owned by the queue and freed after the handler ran or
    // when the message is dropped.
    void PostText(WindowHandle window, MessageId message, std::string text, LParam lParam);
    // Any thread. See above: blocks a thread other than the UI thread until
    // the handler has run; returns its result, or 0.
    MessageResult Send(WindowHandle window, MessageId message, WParam wParam, LParam lParam);

    // UI thread: handles the messages queued so far, oldest first. Does
    // nothing inside a ModalScope or inside a handler (the running dispatch
    // goes on with them once the handler returns). The eventfd's notifier
    // calls it; tests and nested loops may call it too.
    void DispatchPending();
    // UI thread, for waits that another thread may be blocked in a Send
    // against (TaskManager::WaitUntilIdle): waits up to timeoutMs until a sent
    // message is queued, or another thread posts or sends anything (even to a
    // window that is gone), or Shutdown; then handles every sent message
    // queued so far, leaving posted ones in place and in order (they are
    // handled later from the event loop). The caller re-checks its own
    // condition and calls again; a message that came before the call does not
    // end the wait, so keep timeoutMs short (tens of milliseconds). Unlike
    // DispatchPending it handles sent messages inside a handler and inside a
    // ModalScope: calling it states that the sent handlers may run here.
    // timeoutMs 0 only handles what is already queued.
    void DispatchSentMessages(int timeoutMs);

    // Any thread. Releases every waiting sender with 0, drops every queued
    // message, and from then on drops posts and makes sends return 0 at once.
    // Cannot be undone. Also done when the QCoreApplication is destroyed.
    void Shutdown();

    // Number of messages waiting in the FIFO. Any thread; a snapshot.
    [[nodiscard]] std::size_t QueuedCount() const;

    // Used by ModalScope. UI thread only.
    void EnterModal();
    void LeaveModal();
    [[nodiscard]] bool InModalLoop() const;

private:
    struct Impl;
    struct Message;

    MessageQueue();
    ~MessageQueue();

    // Used by MessageWindow (UI thread).
    WindowHandle RegisterWindow(MessageWindow* window);
    void UnregisterWindow(WindowHandle handle);

    void Enqueue(Message message);
    void Wake() const;
    void Handle(MessageWindow* window, Message& message);
    static void DetachFromApplication();

    std::unique_ptr<Impl> m_impl;
    friend class MessageWindow;
};

}  // namespace platform
