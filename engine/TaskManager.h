#pragma once

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

private:
    TaskManager();
    ~TaskManager() = delete;
    void WorkerLoop();
    void CancelMatching(const char* name);
    bool AnyRunning() const;

    platform::WindowHandle m_notifyWindow = 0;
    std::list<std::unique_ptr<Task>> m_tasks;
    platform::AutoResetEvent m_wake;
    mutable std::recursive_mutex m_lock;
    std::thread m_worker;
};
