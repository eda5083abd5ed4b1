#pragma once

#include <cstdint>

namespace platform {

using MessageId = unsigned int;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using MessageResult = std::intptr_t;

// First message number of the program's own messages.
inline constexpr MessageId WM_USER = 0x400;

// Identifies a MessageWindow without pointing at it: a message addressed to
// a handle whose window is gone is dropped. Handles are never reused within
// a process. 0 is no window.
using WindowHandle = std::uint64_t;

// A window of ours that receives numbered messages with two parameters.
// A widget class derives from it besides its Qt base (list MessageWindow
// after the Qt base, so that it unregisters before the widget's children
// are destroyed).
//
// Construction registers the window with MessageQueue under a fresh handle;
// destruction unregisters it, drops every message still queued for it
// (freeing the text they carry) and returns 0 to a thread blocked in a Send
// to it. Construction and destruction happen on the UI thread.
//
// OnMessage is called on the UI thread only, by MessageQueue, in posting
// order. A derived class must not run the event loop in its constructor or
// destructor: the window is registered while its derived part is not alive.
class MessageWindow {
public:
    MessageWindow();
    virtual ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    [[nodiscard]] WindowHandle Handle() const { return m_handle; }

    // A message carrying text (MessageQueue::PostText) passes a pointer to a
    // std::string in wParam; the string lives until OnMessage returns, and
    // is freed by the queue afterwards (the handler must not free it).
    // The result goes back to a sender; posted messages ignore it.
    virtual MessageResult OnMessage(MessageId message, WParam wParam, LParam lParam) = 0;

private:
    WindowHandle m_handle;
};

}  // namespace platform
