#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/ShellActions.h"

namespace platform {

// Moves paths to the Trash, one after another in the order given, on a
// thread of its own (ShellActions::MoveOneToTrash), so that a volume that
// does not answer holds up that thread and not the caller's. Made, asked
// and destroyed on one thread (the UI thread), which learns how far the run
// is by asking: nothing is posted back.
class TrashRun {
public:
    // Starts the run.
    explicit TrashRun(std::vector<std::string> paths);
    // Cancels and waits for the thread: destroy the run once Finished(),
    // or be ready to wait for the move under way.
    ~TrashRun();
    TrashRun(const TrashRun&) = delete;
    TrashRun& operator=(const TrashRun&) = delete;

    // No move starts after this; the one under way is cancelled through
    // its GCancellable, which stops it only before GIO has begun (a call
    // blocked on a volume ends when the volume answers).
    void Cancel();
    [[nodiscard]] bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    // Moves ended so far.
    [[nodiscard]] int MovesDone() const { return m_done.load(std::memory_order_relaxed); }
    // Once Finished(): the outcomes of the paths tried, in order (all the
    // paths unless cancelled). A move that the cancel stopped is not
    // trashed and has no reason: it is no failure.
    [[nodiscard]] const std::vector<TrashOutcome>& Outcomes() const { return m_outcomes; }

private:
    void Run();

    const std::vector<std::string> m_paths;
    std::vector<TrashOutcome> m_outcomes;  // the thread's until finished
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_done{0};
    void* m_cancellable = nullptr;  // a GCancellable, owned
    std::thread m_thread;
};

}  // namespace platform
