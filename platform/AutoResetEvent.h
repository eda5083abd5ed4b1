#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

// An event that releases one waiter and then resets itself. Signalling an
// event that is already signalled does nothing more.
class AutoResetEvent {
public:
    void Set();
    // Waits without time limit until the event is signalled, then resets it.
    void Wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_signalled = false;
};

}  // namespace platform
