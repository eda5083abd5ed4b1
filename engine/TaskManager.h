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
// One UM_TASK_DONE per batch of finished tasks: Finish posts unless a
// message is already on its way that the receiver has not yet acted on, so
// a finished task is announced at once, never held back behind a running or
// queued one, and the tasks that finish before the receiver drains share
// one message. The drain's last TakeFinished (the one that finds nothing)
// opens the next batch. Since TakeFinished finds every finished task, one
// message drains them all.
//
// Cancelling keeps what has finished: a Finished task stays in the list,
// announced, and is delivered by the next drain. Teardown and forgetting
// every result ask for FinishedTasks::Discard instead.
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

    // What a cancel does with tasks that finished but were not yet drained.
    enum class FinishedTasks { Keep, Discard };

    void SetNotifyWindow(platform::WindowHandle window);

    // Takes ownership; the task is appended as Queued and the worker woken.
    void Add(std::unique_ptr<Task> task);
    // Tasks in the list, in any state.
    int PendingCount();
    // Destroys Discarded tasks from the head on and removes and returns the
    // first Finished one; null when there is none.
    std::unique_ptr<Task> TakeFinished();
    // Destroys every queued task (and, with Discard, every finished one
    // undelivered); a running one is marked Cancelling and destroyed by a
    // later drain after its Run() returned.
    void CancelAll(FinishedTasks finished = FinishedTasks::Keep);
    // The same for the tasks whose GetName() equals name exactly.
    void CancelByName(const char* name, FinishedTasks finished = FinishedTasks::Keep);
    // Returns once no task is running, handling sent messages meanwhile so
    // that a task blocked in a Send to the UI thread can finish. Queued tasks
    // are not waited for: call CancelAll() first at shutdown.
    void WaitUntilIdle();
    // The same, but gives up after limit: false when a task still runs then
    // (a read stuck on a dead server never reaches a cancellation point).
    [[nodiscard]] bool WaitUntilIdle(std::chrono::milliseconds limit);

    // Worker side.
    Task* TakeNext();
    void Finish(Task* task);

    // How long the idle worker watches for new tasks before it sleeps.
    static constexpr std::chrono::microseconds kSpinBeforeSleep{50};

private:
    TaskManager();
    ~TaskManager() = delete;
    void WorkerLoop();
    void CancelMatching(const char* name, FinishedTasks finished);
    bool AnyRunning() const;
    // True as soon as a task is queued; false after kSpinBeforeSleep.
    bool SpinForWork() const;
    void PostTaskDone();

    using TaskList = std::list<std::unique_ptr<Task>>;
    // Erases task from m_tasks, keeping m_firstUntaken valid; answers the
    // task after it.
    TaskList::iterator Erase(TaskList::iterator task);

    platform::WindowHandle m_notifyWindow = 0;
    TaskList m_tasks;
    // No task before this one in m_tasks is queued: tasks are queued at the
    // end and taken in order. end() when none after the last taken is left;
    // the next Add makes it the new task. Under m_lock.
    TaskList::iterator m_firstUntaken = m_tasks.end();
    // Tasks in m_tasks in state Queued. Written under m_lock; read by the
    // idle worker without it.
    std::atomic<int> m_queuedCount{0};
    // A UM_TASK_DONE has been posted and no drain has yet found the list
    // without a finished task. Under m_lock.
    bool m_announced = false;
    platform::AutoResetEvent m_wake;
    mutable std::recursive_mutex m_lock;
    std::thread m_worker;
};
