#include "platform/MessageQueue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace platform {

namespace {

// Where a sending thread waits for its message's result. Lives on the
// sender's stack; the queue refers to it only while the message is queued or
// being handled, and finishes with it by setting done under the mutex.
struct SendState {
    bool done = false;
    MessageResult result = 0;
};

}  // namespace

struct MessageQueue::Message {
    std::uint64_t sequence = 0;
    WindowHandle window = 0;
    MessageId id = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    std::unique_ptr<std::string> text;  // owned text that wParam points at, if any
    SendState* sender = nullptr;        // null for a posted message
};

struct MessageQueue::Impl {
    // Guards everything up to the UI-thread-only members below.
    mutable std::mutex mutex;
    // Senders wait on it for their SendState to be done.
    std::condition_variable senderReleased;
    // DispatchSentMessages waits on it for a message to arrive.
    std::condition_variable arrived;
    std::deque<Message> fifo;
    std::size_t queuedSends = 0;  // messages in fifo with a sender
    std::uint64_t lastSequence = 0;
    // Counts every Post, PostText and Send from another thread, dropped ones
    // included: a waiter in DispatchSentMessages wakes on any of them, so a
    // worker's notice to a window that is already gone still ends the wait.
    std::uint64_t activity = 0;
    std::unordered_map<WindowHandle, MessageWindow*> windows;
    WindowHandle lastHandle = 0;
    bool shutDown = false;

    // Written once, in the constructor.
    int wakeFd = -1;
    std::atomic<std::thread::id> uiThread{};

    // UI thread only.
    QSocketNotifier* notifier = nullptr;
    bool postRoutineAdded = false;
    int modalDepth = 0;
    bool dispatching = false;

    // Requires mutex. Removes and returns the oldest message queued up to
    // lastToHandle (only sent ones if sentOnly), with its window.
    std::optional<std::pair<Message, MessageWindow*>> TakeNext(std::uint64_t lastToHandle,
                                                               bool sentOnly);
    // Requires mutex. Marks a queued send as finished and counts it out.
    void Release(Message& message, MessageResult result);
};

std::optional<std::pair<MessageQueue::Message, MessageWindow*>> MessageQueue::Impl::TakeNext(
    std::uint64_t lastToHandle, bool sentOnly)
{
    // Messages of windows that are gone were removed by UnregisterWindow, so
    // every queued message has a live window.
    for (auto it = fifo.begin(); it != fifo.end() && it->sequence <= lastToHandle; ++it) {
        if (sentOnly && it->sender == nullptr) continue;
        Message message = std::move(*it);
        fifo.erase(it);
        if (message.sender != nullptr) --queuedSends;
        MessageWindow* window = windows.at(message.window);
        return std::make_pair(std::move(message), window);
    }
    return std::nullopt;
}

void MessageQueue::Impl::Release(Message& message, MessageResult result)
{
    message.sender->result = result;
    message.sender->done = true;
    message.sender = nullptr;
}

MessageQueue& MessageQueue::Instance()
{
    // Never destroyed: the worker thread may post or send until the process
    // ends, after static objects have been destroyed.
    static MessageQueue* const instance = new MessageQueue;
    return *instance;
}

MessageQueue::MessageQueue() : m_impl(std::make_unique<Impl>())
{
    // Non-blocking, so that reading an already-reset counter never blocks
    // the UI thread. Without an eventfd nothing could ever wake the UI thread
    // and every sender would hang, so a process that cannot make one (out of
    // descriptors at start-up) stops here.
    m_impl->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_impl->wakeFd < 0) std::abort();
}

MessageQueue::~MessageQueue() { ::close(m_impl->wakeFd); }

void MessageQueue::AttachToCurrentThread()
{
    Q_ASSERT(QCoreApplication::instance() != nullptr);
    Impl& d = *m_impl;
    d.uiThread.store(std::this_thread::get_id());
    delete d.notifier;
    d.notifier = new QSocketNotifier(d.wakeFd, QSocketNotifier::Read);
    QObject::connect(d.notifier, &QSocketNotifier::activated, d.notifier, [this] {
        // Reset the counter first, so that a message queued from now on
        // fires the notifier again.
        eventfd_t ignored = 0;
        eventfd_read(m_impl->wakeFd, &ignored);
        DispatchPending();
    });
    if (!d.postRoutineAdded) {
        // Called early in ~QCoreApplication, while the event dispatcher that
        // the notifier is registered with still exists.
        qAddPostRoutine(&MessageQueue::DetachFromApplication);
        d.postRoutineAdded = true;
    }
    if (QueuedCount() > 0) Wake();
}

void MessageQueue::DetachFromApplication()
{
    MessageQueue& queue = Instance();
    queue.Shutdown();
    delete queue.m_impl->notifier;
    queue.m_impl->notifier = nullptr;
}

bool MessageQueue::IsUiThread() const
{
    return m_impl->uiThread.load() == std::this_thread::get_id();
}

WindowHandle MessageQueue::RegisterWindow(MessageWindow* window)
{
    std::lock_guard lock(m_impl->mutex);
    const WindowHandle handle = ++m_impl->lastHandle;
    m_impl->windows.emplace(handle, window);
    return handle;
}

void MessageQueue::UnregisterWindow(WindowHandle handle)
{
    Impl& d = *m_impl;
    std::vector<Message> dropped;  // destroyed (texts freed) outside the lock
    {
        std::lock_guard lock(d.mutex);
        d.windows.erase(handle);
        for (auto it = d.fifo.begin(); it != d.fifo.end();) {
            if (it->window != handle) {
                ++it;
                continue;
            }
            if (it->sender != nullptr) {
                d.Release(*it, 0);
                --d.queuedSends;
            }
            dropped.push_back(std::move(*it));
            it = d.fifo.erase(it);
        }
    }
    d.senderReleased.notify_all();
}

void MessageQueue::Post(WindowHandle window, MessageId message, WParam wParam, LParam lParam)
{
    Message posted;
    posted.window = window;
    posted.id = message;
    posted.wParam = wParam;
    posted.lParam = lParam;
    Enqueue(std::move(posted));
}

void MessageQueue::PostText(WindowHandle window, MessageId message, std::string text, LParam lParam)
{
    Message posted;
    posted.window = window;
    posted.id = message;
    posted.text = std::make_unique<std::string>(std::move(text));
    posted.wParam = reinterpret_cast<WParam>(posted.text.get());
    posted.lParam = lParam;
    Enqueue(std::move(posted));
}

void MessageQueue::Enqueue(Message message)
{
    Impl& d = *m_impl;
    bool queued = false;
    {
        std::lock_guard lock(d.mutex);
        ++d.activity;
        // A message nobody can receive is dropped here; its text goes with it
        // when `message` is destroyed at the end of this function.
        if (!d.shutDown && d.windows.contains(message.window)) {
            message.sequence = ++d.lastSequence;
            d.fifo.push_back(std::move(message));
            queued = true;
        }
    }
    d.arrived.notify_all();
    if (queued) Wake();
}

MessageResult MessageQueue::Send(WindowHandle window, MessageId message, WParam wParam,
                                 LParam lParam)
{
    Impl& d = *m_impl;
    if (IsUiThread()) {
        MessageWindow* target = nullptr;
        {
            std::lock_guard lock(d.mutex);
            if (d.shutDown) return 0;
            const auto found = d.windows.find(window);
            if (found == d.windows.end()) return 0;
            target = found->second;
        }
        return target->OnMessage(message, wParam, lParam);
    }

    SendState state;
    {
        std::lock_guard lock(d.mutex);
        ++d.activity;
        if (d.shutDown || !d.windows.contains(window)) {
            d.arrived.notify_all();
            return 0;
        }
        Message sent;
        sent.sequence = ++d.lastSequence;
        sent.window = window;
        sent.id = message;
        sent.wParam = wParam;
        sent.lParam = lParam;
        sent.sender = &state;
        d.fifo.push_back(std::move(sent));
        ++d.queuedSends;
    }
    d.arrived.notify_all();
    Wake();

    std::unique_lock lock(d.mutex);
    d.senderReleased.wait(lock, [&state] { return state.done; });
    return state.result;
}

void MessageQueue::Handle(MessageWindow* window, Message& message)
{
    const MessageResult result = window->OnMessage(message.id, message.wParam, message.lParam);
    if (message.sender == nullptr) return;
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->Release(message, result);
    }
    m_impl->senderReleased.notify_all();
}

void MessageQueue::DispatchPending()
{
    Impl& d = *m_impl;
    if (!IsUiThread()) {
        Q_ASSERT(!"MessageQueue::DispatchPending called off the UI thread");
        return;
    }
    // Inside a modal loop LeaveModal wakes us again; inside a handler the
    // dispatch that called it goes on once the handler returns.
    if (d.modalDepth > 0 || d.dispatching) return;

    d.dispatching = true;
    std::uint64_t lastToHandle = 0;
    {
        std::lock_guard lock(d.mutex);
        lastToHandle = d.lastSequence;
    }
    // A handler may open a ModalScope that outlives it (a window-modal
    // dialog): then stop, and let the scope's closing resume.
    while (d.modalDepth == 0) {
        std::optional<std::pair<Message, MessageWindow*>> next;
        {
            std::lock_guard lock(d.mutex);
            next = d.TakeNext(lastToHandle, false);
        }
        if (!next) break;
        Handle(next->second, next->first);
    }
    d.dispatching = false;

    // Messages queued while we were handling: come back for them after the
    // event loop has had its turn.
    if (d.modalDepth == 0 && QueuedCount() > 0) Wake();
}

void MessageQueue::DispatchSentMessages(int timeoutMs)
{
    Impl& d = *m_impl;
    if (!IsUiThread()) {
        Q_ASSERT(!"MessageQueue::DispatchSentMessages called off the UI thread");
        return;
    }
    std::uint64_t lastToHandle = 0;
    {
        std::unique_lock lock(d.mutex);
        const std::uint64_t seenBefore = d.activity;
        d.arrived.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] {
            return d.shutDown || d.queuedSends > 0 || d.activity != seenBefore;
        });
        lastToHandle = d.lastSequence;
    }

    // Posted messages must not run nested in a sent message's handler.
    const bool wasDispatching = d.dispatching;
    d.dispatching = true;
    for (;;) {
        std::optional<std::pair<Message, MessageWindow*>> next;
        {
            std::lock_guard lock(d.mutex);
            next = d.TakeNext(lastToHandle, true);
        }
        if (!next) break;
        Handle(next->second, next->first);
    }
    d.dispatching = wasDispatching;

    if (!wasDispatching && d.modalDepth == 0 && QueuedCount() > 0) Wake();
}

void MessageQueue::Shutdown()
{
    Impl& d = *m_impl;
    std::deque<Message> dropped;  // destroyed (texts freed) outside the lock
    {
        std::lock_guard lock(d.mutex);
        d.shutDown = true;
        for (Message& message : d.fifo) {
            if (message.sender != nullptr) d.Release(message, 0);
        }
        d.queuedSends = 0;
        dropped.swap(d.fifo);
    }
    d.senderReleased.notify_all();
    d.arrived.notify_all();
}

std::size_t MessageQueue::QueuedCount() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->fifo.size();
}

void MessageQueue::EnterModal()
{
    Q_ASSERT(m_impl->uiThread.load() == std::thread::id{} || IsUiThread());
    ++m_impl->modalDepth;
}

void MessageQueue::LeaveModal()
{
    Impl& d = *m_impl;
    Q_ASSERT(d.modalDepth > 0);
    if (d.modalDepth == 0) return;
    // Wake the UI thread rather than drain here: the scope closes inside the
    // code that ran the modal loop (often a dialog's destructor stack), which
    // should finish before other windows' handlers run.
    if (--d.modalDepth == 0 && QueuedCount() > 0) Wake();
}

bool MessageQueue::InModalLoop() const { return m_impl->modalDepth > 0; }

void MessageQueue::Wake() const { eventfd_write(m_impl->wakeFd, 1); }

}  // namespace platform
