#include "platform/AutoResetEvent.h"

namespace platform {

void AutoResetEvent::Set()
{
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    // One signal can release one waiter only, so waking one is enough.
    m_condition.notify_one();
}

void AutoResetEvent::Wait()
{
    std::unique_lock lock(m_mutex);
    m_condition.wait(lock, [this] { return m_signalled; });
    m_signalled = false;
}

bool AutoResetEvent::TryWait()
{
    std::lock_guard lock(m_mutex);
    const bool wasSignalled = m_signalled;
    m_signalled = false;
    return wasSignalled;
}

}  // namespace platform
