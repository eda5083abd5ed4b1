#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

// An event that releases one waiter and then resets itself. It is created
// not signalled. Signalling an event that is already signalled does nothing
// more: two Sets before a Wait release that Wait only, and the next Wait
// blocks until the next Set. Every operation may be called from any thread.
class AutoResetEvent {
public:
    void Set();
    // Waits without time limit until the event is signalled, then resets it.
    // When several threads wait, one Set releases exactly one of them.
    void Wait();
    // Returns at once: true (and resets the event) if it was signalled,
    // false otherwise.
    [[nodiscard]] bool TryWait();

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_signalled = false;
};

}  // namespace platform
