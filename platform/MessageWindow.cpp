#include "platform/MessageWindow.h"

#include "platform/MessageQueue.h"

namespace platform {

MessageWindow::MessageWindow() : m_handle(MessageQueue::Instance().RegisterWindow(this)) {}

MessageWindow::~MessageWindow() { MessageQueue::Instance().UnregisterWindow(m_handle); }

}  // namespace platform
