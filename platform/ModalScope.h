#pragma once

#include "platform/MessageQueue.h"

namespace platform {

// Marks a modal loop of ours (a dialog's exec(), a message box, a popup
// menu, a progress dialog) for as long as it lives. UI thread only; create
// it on the stack right around the nested loop. Scopes nest.
//
// While any scope is open the queued messages of MessageQueue are not
// handled, posted and sent alike: they keep their place in the FIFO, and a
// thread that sent one stays blocked. When the outermost scope closes, the
// UI thread is woken and drains the FIFO from its event loop, after the code
// that closed the scope has returned to it (not from inside this
// destructor).
//
// Never wait for the worker thread while a scope is open: the worker may be
// blocked in a Send that only the closing of the scope can serve.
class ModalScope {
public:
    ModalScope() { MessageQueue::Instance().EnterModal(); }
    ~ModalScope() { MessageQueue::Instance().LeaveModal(); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

}  // namespace platform
