#include "engine/TaskManager.h"

#include <cstring>

#include "engine/WindowMessages.h"
#include "platform/MessageQueue.h"

TaskManager& TaskManager::Instance()
{
    // Never destroyed: the worker runs until the process ends.
    static TaskManager* instance = new TaskManager;
    return *instance;
}

TaskManager::TaskManager() : m_worker([this] { WorkerLoop(); })
{
    m_worker.detach();
}

void TaskManager::SetNotifyWindow(platform::WindowHandle window)
{
    std::lock_guard lock(m_lock);
    m_notifyWindow = window;
}

void TaskManager::Add(std::unique_ptr<Task> task)
{
    std::lock_guard lock(m_lock);
    task->SetState(TaskState::Queued);
    m_tasks.push_back(std::move(task));
    m_queuedCount.fetch_add(1, std::memory_order_release);
    m_wake.Set();
}

int TaskManager::PendingCount()
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_tasks.size());
}

std::unique_ptr<Task> TaskManager::TakeFinished()
{
    std::lock_guard lock(m_lock);
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
        const TaskState state = (*it)->State();
        if (state == TaskState::Discarded) {
            it = m_tasks.erase(it);
        } else if (state == TaskState::Finished) {
            std::unique_ptr<Task> task = std::move(*it);
            m_tasks.erase(it);
            return task;
        } else {
            ++it;
        }
    }
    return nullptr;
}

void TaskManager::CancelAll()
{
    CancelMatching(nullptr);
}

void TaskManager::CancelByName(const char* name)
{
    CancelMatching(name);
}

void TaskManager::CancelMatching(const char* name)
{
    std::lock_guard lock(m_lock);
    bool removedQueued = false;
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
        Task& task = **it;
        if (name != nullptr && std::strcmp(task.GetName(), name) != 0) {
            ++it;
            continue;
        }
        switch (task.State()) {
        case TaskState::Running:
            task.SetState(TaskState::Cancelling);
            ++it;
            break;
        case TaskState::Cancelling:
            ++it;
            break;
        case TaskState::Queued:
            m_queuedCount.fetch_sub(1, std::memory_order_relaxed);
            removedQueued = true;
            it = m_tasks.erase(it);
            break;
        case TaskState::Finished:
        case TaskState::Discarded:
            it = m_tasks.erase(it);
            break;
        }
    }
    if (!removedQueued) {
        return;
    }
    // A task that finished while the removed ones waited was not announced:
    // their last Finish would have done it. When nothing left will run,
    // announce it here.
    bool owed = false;
    for (const auto& task : m_tasks) {
        const TaskState state = task->State();
        if (state == TaskState::Queued || state == TaskState::Running ||
            state == TaskState::Cancelling) {
            return;
        }
        owed = true;
    }
    if (owed) {
        PostTaskDone();
    }
}

bool TaskManager::AnyRunning() const
{
    std::lock_guard lock(m_lock);
    for (const auto& task : m_tasks) {
        const TaskState state = task->State();
        if (state == TaskState::Running || state == TaskState::Cancelling)
            return true;
    }
    return false;
}

void TaskManager::WaitUntilIdle()
{
    // A running task may be blocked in a Send to the UI thread; handling sent
    // messages while waiting lets it finish. The wait is woken by any message,
    // and Finish posts one, so no poll interval matters for correctness.
    auto& messages = platform::MessageQueue::Instance();
    while (AnyRunning())
        messages.DispatchSentMessages(50);
}

Task* TaskManager::TakeNext()
{
    std::lock_guard lock(m_lock);
    for (auto& task : m_tasks) {
        if (task->State() == TaskState::Queued) {
            task->SetState(TaskState::Running);
            m_queuedCount.fetch_sub(1, std::memory_order_relaxed);
            return task.get();
        }
    }
    return nullptr;
}

void TaskManager::Finish(Task* task)
{
    std::lock_guard lock(m_lock);
    task->SetState(task->State() == TaskState::Cancelling ? TaskState::Discarded
                                                          : TaskState::Finished);
    // The tasks still waiting end with a Finish of their own, which announces
    // this one too.
    if (m_queuedCount.load(std::memory_order_relaxed) == 0) {
        PostTaskDone();
    }
}

void TaskManager::PostTaskDone()
{
    platform::MessageQueue::Instance().Post(m_notifyWindow, UM_TASK_DONE, 0, 0);
}

bool TaskManager::SpinForWork() const
{
    const auto until = std::chrono::steady_clock::now() + kSpinBeforeSleep;
    do {
        if (m_queuedCount.load(std::memory_order_acquire) != 0) {
            return true;
        }
        // On a busy machine the thread that queues the work may be waiting
        // for this very processor.
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < until);
    return m_queuedCount.load(std::memory_order_acquire) != 0;
}

void TaskManager::WorkerLoop()
{
    for (;;) {
        if (SpinForWork()) {
            // The Add that queued the work also set the event; taking that
            // signal now spares the next wait an empty round. A task queued
            // after this sets it again.
            (void)m_wake.TryWait();
        } else {
            m_wake.Wait();
        }
        while (Task* task = TakeNext()) {
            task->Run();
            Finish(task);
        }
    }
}
