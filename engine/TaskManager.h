#pragma once

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/Task.h"
#include "platform/AutoResetEvent.h"
#include "platform/MessageWindow.h"

// The process-wide queue of scan tasks and the one worker thread that runs
// them, one at a time, in the order they were added.
//
// UI thread: Add, PendingCount, TakeFinished, CancelAll, CancelByName,
// WaitUntilIdle, SetNotifyWindow. Worker: TakeNext, Finish (called by the
// worker loop). Every operation but SetNotifyWindow holds the queue lock for
// its whole duration; the lock guards the task list and every task's state.
//
// Drain: on UM_TASK_DONE the receiver calls TakeFinished() until it returns
// null, and for each task calls Deliver() and destroys it. PendingCount() 0
// after the drain means the worker is idle and nothing waits.
//
// One UM_TASK_DONE per batch: Finish posts only when no task is left
// Queued, so the tasks added together (one folder's) are announced once, by
// the last of them. A task that finishes while others wait is announced by
// the Finish of the last one; a cancel that removes the waiting tasks posts
// in their stead when finished tasks remain and nothing will run. Since
// TakeFinished finds every finished task, one message drains them all.
//
// The worker, once it finds nothing queued, watches the count of queued
// tasks for a few tens of microseconds (yielding the processor between
// looks) before it sleeps on the wake event: the next folder's tasks, which
// the UI thread queues right after its drain, then start without a
// sleep/wake round trip.
class TaskManager {
public:
    // The one instance; the first call creates it and starts the worker. It
    // is never destroyed.
    static TaskManager& Instance();

    void SetNotifyWindow(platform::WindowHandle window);

    // Takes ownership; the task is appended as Queued and the worker woken.
    void Add(std::unique_ptr<Task> task);
    // Tasks in the list, in any state.
    int PendingCount();
    // Destroys Discarded tasks from the head on and removes and returns the
    // first Finished one; null when there is none.
    std::unique_ptr<Task> TakeFinished();
    // Destroys every task that is not running; a running one is marked
    // Cancelling and destroyed by a later drain after its Run() returned.
    void CancelAll();
    // The same for the tasks whose GetName() equals name exactly.
    void CancelByName(const char* name);
    // Returns once no task is running, handling sent messages meanwhile so
    // that a task blocked in a Send to the UI thread can finish. Queued tasks
    // are not waited for: call CancelAll() first at shutdown.
    void WaitUntilIdle();

    // Worker side.
    Task* TakeNext();
    void Finish(Task* task);

    // How long the idle worker watches for new tasks before it sleeps.
    static constexpr std::chrono::microseconds kSpinBeforeSleep{50};

private:
    TaskManager();
    ~TaskManager() = delete;
    void WorkerLoop();
    void CancelMatching(const char* name);
    bool AnyRunning() const;
    // True as soon as a task is queued; false after kSpinBeforeSleep.
    bool SpinForWork() const;
    void PostTaskDone();

    platform::WindowHandle m_notifyWindow = 0;
    std::list<std::unique_ptr<Task>> m_tasks;
    // Tasks in m_tasks in state Queued. Written under m_lock; read by the
    // idle worker without it.
    std::atomic<int> m_queuedCount{0};
    platform::AutoResetEvent m_wake;
    mutable std::recursive_mutex m_lock;
    std::thread m_worker;
};
