#include "engine/TaskManager.h"

#include <algorithm>
#include <cstring>

#include "engine/WindowMessages.h"
#include "platform/MessageQueue.h"

TaskManager& TaskManager::Instance()
{
    // Never destroyed: the worker runs until the process ends.
    static TaskManager* instance = new TaskManager;
    return *instance;
}

TaskManager::TaskManager() : m_worker([this] { WorkerLoop(); }) { m_worker.detach(); }

void TaskManager::SetNotifyWindow(platform::WindowHandle window)
{
    std::lock_guard lock(m_lock);
    m_notifyWindow = window;
    // Whatever was announced went to the old window.
    m_announced = false;
    for (const auto& task : m_tasks) {
        const TaskState state = task->State();
        if (state == TaskState::Finished || state == TaskState::Discarded) {
            PostTaskDone();
            break;
        }
    }
}

void TaskManager::Add(std::unique_ptr<Task> task)
{
    std::lock_guard lock(m_lock);
    task->SetState(TaskState::Queued);
    m_tasks.push_back(std::move(task));
    if (m_firstUntaken == m_tasks.end()) {
        m_firstUntaken = std::prev(m_tasks.end());
    }
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
            it = Erase(it);
        } else if (state == TaskState::Finished) {
            std::unique_ptr<Task> task = std::move(*it);
            Erase(it);
            return task;
        } else {
            ++it;
        }
    }
    // The drain has taken everything announced: the next Finish posts.
    m_announced = false;
    return nullptr;
}

void TaskManager::CancelAll(FinishedTasks finished) { CancelMatching(nullptr, finished); }

void TaskManager::CancelByName(const char* name, FinishedTasks finished)
{
    CancelMatching(name, finished);
}

void TaskManager::CancelMatching(const char* name, FinishedTasks finished)
{
    std::lock_guard lock(m_lock);
    bool finishedLeft = false;
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
        Task& task = **it;
        if (name != nullptr && std::strcmp(task.GetName(), name) != 0) {
            finishedLeft = finishedLeft || task.State() == TaskState::Finished ||
                           task.State() == TaskState::Discarded;
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
                it = Erase(it);
                break;
            case TaskState::Finished:
                // Announced by its Finish; its results are still good.
                if (finished == FinishedTasks::Keep) {
                    finishedLeft = true;
                    ++it;
                } else {
                    it = Erase(it);
                }
                break;
            case TaskState::Discarded:
                it = Erase(it);
                break;
        }
    }
    // Nothing announced is left: a message still on its way drains nothing,
    // and the next Finish posts anew (the old notify window may be gone).
    if (!finishedLeft) {
        m_announced = false;
    }
}

bool TaskManager::AnyRunning() const
{
    std::lock_guard lock(m_lock);
    for (const auto& task : m_tasks) {
        const TaskState state = task->State();
        if (state == TaskState::Running || state == TaskState::Cancelling) return true;
    }
    return false;
}

void TaskManager::WaitUntilIdle()
{
    while (!WaitUntilIdle(std::chrono::minutes(1))) {
    }
}

bool TaskManager::WaitUntilIdle(std::chrono::milliseconds limit)
{
    // A running task may be blocked in a Send to the UI thread; handling sent
    // messages while waiting lets it finish. The wait is woken by any message,
    // and Finish posts one, so no poll interval matters for correctness.
    auto& messages = platform::MessageQueue::Instance();
    const auto until = std::chrono::steady_clock::now() + limit;
    while (AnyRunning()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        messages.DispatchSentMessages(static_cast<int>(std::min<long long>(left.count(), 50)));
    }
    return true;
}

TaskManager::TaskList::iterator TaskManager::Erase(TaskList::iterator task)
{
    if (task == m_firstUntaken) {
        ++m_firstUntaken;
    }
    return m_tasks.erase(task);
}

Task* TaskManager::TakeNext()
{
    std::lock_guard lock(m_lock);
    if (m_queuedCount.load(std::memory_order_relaxed) == 0) {
        return nullptr;
    }
    // The tasks before m_firstUntaken run or wait for delivery: a scan that
    // queues ahead leaves many of them, and passing them all for every
    // task taken would cost more than running a small task.
    for (auto it = m_firstUntaken; it != m_tasks.end(); ++it) {
        if ((*it)->State() == TaskState::Queued) {
            (*it)->SetState(TaskState::Running);
            m_queuedCount.fetch_sub(1, std::memory_order_relaxed);
            m_firstUntaken = std::next(it);
            return it->get();
        }
    }
    return nullptr;
}

void TaskManager::Finish(Task* task)
{
    std::lock_guard lock(m_lock);
    task->SetState(task->State() == TaskState::Cancelling ? TaskState::Discarded
                                                          : TaskState::Finished);
    // A message on its way that no drain has acted on yet covers this task
    // too.
    if (!m_announced) {
        PostTaskDone();
    }
}

void TaskManager::PostTaskDone()
{
    m_announced = true;
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
