#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

enum class TaskState : std::int32_t {
    Queued = 0,      // waiting in the queue
    Running = 1,     // taken by the worker; Run() is executing
    Finished = 2,    // Run() returned; results wait for Deliver()
    Cancelling = 3,  // cancelled while running; Run() may stop early
    Discarded = 4,   // returned from Run() after being cancelled; destroyed undelivered
};

// A unit of background work in two steps.
//
// Call order and threads:
//  - constructed on the UI thread and handed at once to TaskManager::Add,
//    which owns it from then on;
//  - Run() once, on the worker thread, with no queue lock held; it reads the
//    disk and fills the task's own fields, and may poll IsCancelling();
//  - Deliver() at most once, on the UI thread, after Run() returned and only
//    if the task was not cancelled; it alone changes records and windows;
//  - destroyed on the UI thread, by the queue's cancel operations or drain.
//    A running task is never destroyed before its Run() has returned.
// A task's fields other than its state belong to one thread at a time: the
// creator until Add, the worker during Run(), the UI thread from Deliver() on.
// Destructors take no lock of the queue nor of the folder tree.
//
// One subfolder enumeration is the exception: the tree view may call Run()
// and Deliver() itself on the UI thread, without queuing it.
class Task {
public:
    Task() = default;
    virtual ~Task() = default;
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;

    virtual void Run() = 0;
    virtual void Deliver() {}
    // The class name, used to cancel every task of one kind.
    virtual const char* GetName() const = 0;
    // The folder path the task works on, which the scan's status text names
    // once the task is delivered; empty: the task is not worth naming.
    virtual std::string_view StatusFolder() const { return {}; }

    // Written under the queue lock; read by Run() without it.
    TaskState State() const { return m_state.load(std::memory_order_acquire); }
    void SetState(TaskState state) { m_state.store(state, std::memory_order_release); }
    bool IsCancelling() const { return State() == TaskState::Cancelling; }

private:
    std::atomic<TaskState> m_state{TaskState::Queued};
};
