#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "platform/MessageQueue.h"
#include "platform/MessageWindow.h"
#include "support/MessagePump.h"

namespace {

// A one-shot gate the worker waits at until the test opens it.
class Gate {
public:
    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_condition.notify_all();
    }
    void Wait()
    {
        std::unique_lock lock(m_mutex);
        m_condition.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_open = false;
};

// What the tasks of one test did, in order, from both threads.
struct Journal {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;

    void Add(const std::string& event)
    {
        std::lock_guard lock(mutex);
        events.push_back(event);
        changed.notify_all();
    }
    // Worker side may be slower than the test: wait until an event is there.
    void WaitFor(const std::string& event)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return std::find(events.begin(), events.end(), event) != events.end(); });
    }
    std::vector<std::string> Snapshot()
    {
        std::lock_guard lock(mutex);
        return events;
    }
};

class JournalTask : public Task {
public:
    JournalTask(Journal& journal, std::string id, const char* name = "JournalTask",
                Gate* gate = nullptr)
        : m_journal(journal), m_id(std::move(id)), m_name(name), m_gate(gate)
    {
    }
    ~JournalTask() override { m_journal.Add("destroy " + m_id); }
    void Run() override
    {
        m_journal.Add("run " + m_id);
        if (m_gate)
            m_gate->Wait();
        if (m_duringRun)
            m_duringRun();
    }
    void Deliver() override { m_journal.Add("deliver " + m_id); }
    const char* GetName() const override { return m_name; }

    std::function<void()> m_duringRun;

private:
    Journal& m_journal;
    std::string m_id;
    const char* m_name;
    Gate* m_gate;
};

// Stands in for the main view: counts the worker's UM_TASK_DONE messages and
// answers a test message sent from a running task.
class NotifyWindow : public platform::MessageWindow {
public:
    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam,
                                      platform::LParam) override
    {
        if (message == UM_TASK_DONE)
            ++doneCount;
        else
            ++otherCount;
        return 7;
    }
    int doneCount = 0;
    int otherCount = 0;
};

class TaskManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TaskManager::Instance().SetNotifyWindow(m_window.Handle());
    }
    void TearDown() override
    {
        // Leave the one queue empty for the next test.
        auto& manager = TaskManager::Instance();
        manager.CancelAll();
        manager.WaitUntilIdle();
        Drain();
        EXPECT_EQ(manager.PendingCount(), 0);
    }

    // The receiver's side of UM_TASK_DONE.
    static int Drain()
    {
        int delivered = 0;
        while (std::unique_ptr<Task> task = TaskManager::Instance().TakeFinished()) {
            task->Deliver();
            ++delivered;
        }
        return delivered;
    }

    void RunUntilIdle()
    {
        ASSERT_TRUE(testsupport::PumpUntil([] {
            Drain();
            return TaskManager::Instance().PendingCount() == 0;
        }));
    }

    Journal m_journal;
    NotifyWindow m_window;
};

TEST_F(TaskManagerTest, RunsTasksOneAtATimeInTheOrderAdded)
{
    auto& manager = TaskManager::Instance();
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "1", "JournalTask", &gate));
    manager.Add(std::make_unique<JournalTask>(m_journal, "2"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "3"));
    m_journal.WaitFor("run 1");
    manager.Add(std::make_unique<JournalTask>(m_journal, "4"));
    EXPECT_EQ(manager.PendingCount(), 4);
    gate.Open();
    RunUntilIdle();

    const std::vector<std::string> expected = {
        "run 1", "run 2", "run 3", "run 4",
    };
    std::vector<std::string> runs;
    for (const auto& event : m_journal.Snapshot())
        if (event.rfind("run ", 0) == 0)
            runs.push_back(event);
    EXPECT_EQ(runs, expected);
    // Each task delivers once and is destroyed after its delivery.
    const auto events = m_journal.Snapshot();
    for (const char* id : {"1", "2", "3", "4"}) {
        const auto deliver = std::find(events.begin(), events.end(), std::string("deliver ") + id);
        const auto destroy = std::find(events.begin(), events.end(), std::string("destroy ") + id);
        ASSERT_NE(deliver, events.end()) << id;
        EXPECT_LT(deliver, destroy) << id;
    }
    // The worker announced its work to the notify window.
    EXPECT_TRUE(testsupport::PumpUntil([this] { return m_window.doneCount >= 1; }));
}

TEST_F(TaskManagerTest, CancelAllDestroysWaitingTasksAndDiscardsTheRunningOne)
{
    auto& manager = TaskManager::Instance();
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "1", "JournalTask", &gate));
    manager.Add(std::make_unique<JournalTask>(m_journal, "2"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "3"));
    m_journal.WaitFor("run 1");

    manager.CancelAll();
    std::vector<std::string> afterCancel = m_journal.Snapshot();
    EXPECT_EQ(afterCancel, (std::vector<std::string>{"run 1", "destroy 2", "destroy 3"}));
    EXPECT_EQ(manager.PendingCount(), 1);  // the running task is never destroyed under it

    manager.CancelAll();  // a second cancel leaves the cancelling task alone
    EXPECT_EQ(manager.PendingCount(), 1);

    gate.Open();
    RunUntilIdle();
    const auto events = m_journal.Snapshot();
    EXPECT_EQ(std::count(events.begin(), events.end(), "deliver 1"), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "destroy 1"), 1);
}

TEST_F(TaskManagerTest, CancelAllLosesFinishedResultsNotYetDrained)
{
    auto& manager = TaskManager::Instance();
    manager.Add(std::make_unique<JournalTask>(m_journal, "1"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return m_window.doneCount > 0; }));
    manager.CancelAll();
    EXPECT_EQ(manager.PendingCount(), 0);
    EXPECT_EQ(Drain(), 0);
    EXPECT_EQ(m_journal.Snapshot(), (std::vector<std::string>{"run 1", "destroy 1"}));
}

TEST_F(TaskManagerTest, CancelByNameMatchesTheExactClassName)
{
    auto& manager = TaskManager::Instance();
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "gate", "FindSizeTask", &gate));
    manager.Add(std::make_unique<JournalTask>(m_journal, "dup", "FindDupFileTask"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "sub", "FindSubfoldersTask"));
    m_journal.WaitFor("run gate");

    manager.CancelByName("finddupfiletask");
    EXPECT_EQ(manager.PendingCount(), 3);
    manager.CancelByName("FindDupFileTask");
    EXPECT_EQ(manager.PendingCount(), 2);

    gate.Open();
    RunUntilIdle();
    const auto events = m_journal.Snapshot();
    EXPECT_EQ(std::count(events.begin(), events.end(), "deliver gate"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "deliver sub"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "run dup"), 0);
}

TEST_F(TaskManagerTest, TakeFinishedSkipsUnfinishedAndDestroysDiscardedOnTheWay)
{
    auto& manager = TaskManager::Instance();
    // Hold the worker at a gate, then play the worker's part by hand for the
    // tasks queued behind it, to build [gate, discarded, running, finished, queued].
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "gate", "JournalTask", &gate));
    m_journal.WaitFor("run gate");
    manager.Add(std::make_unique<JournalTask>(m_journal, "a", "A"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "b", "B"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "c", "C"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "d", "D"));
    Task* a = manager.TakeNext();
    Task* b = manager.TakeNext();
    Task* c = manager.TakeNext();
    ASSERT_TRUE(a && b && c);
    manager.CancelByName("A");
    manager.Finish(a);
    EXPECT_EQ(a->State(), TaskState::Discarded);
    manager.Finish(c);
    EXPECT_EQ(b->State(), TaskState::Running);

    std::unique_ptr<Task> taken = manager.TakeFinished();
    ASSERT_EQ(taken.get(), c);
    EXPECT_EQ(m_journal.Snapshot().back(), "destroy a");
    EXPECT_EQ(manager.TakeFinished(), nullptr);
    taken.reset();

    manager.Finish(b);
    gate.Open();
    RunUntilIdle();
    const auto events = m_journal.Snapshot();
    EXPECT_EQ(std::count(events.begin(), events.end(), "deliver b"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "deliver d"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "deliver a"), 0);
}

TEST_F(TaskManagerTest, DefaultDeliveryDoesNothingAndNamesAreExact)
{
    class Plain : public Task {
    public:
        void Run() override {}
        const char* GetName() const override { return "Plain"; }
    };
    auto& manager = TaskManager::Instance();
    manager.Add(std::make_unique<Plain>());
    RunUntilIdle();
    EXPECT_EQ(manager.PendingCount(), 0);
}

TEST_F(TaskManagerTest, WaitUntilIdleAnswersATaskBlockedInASend)
{
    auto& manager = TaskManager::Instance();
    auto task = std::make_unique<JournalTask>(m_journal, "sender");
    platform::MessageResult answer = 0;
    const platform::WindowHandle window = m_window.Handle();
    task->m_duringRun = [&answer, window] {
        answer = platform::MessageQueue::Instance().Send(window, UM_CLEAR_FOLDER_DUPS, 0, 0);
    };
    manager.Add(std::move(task));
    m_journal.WaitFor("run sender");
    // As at shutdown: cancel, then wait without returning to the event loop.
    manager.CancelAll();
    manager.WaitUntilIdle();
    EXPECT_EQ(answer, 7);
    EXPECT_EQ(m_window.otherCount, 1);
    EXPECT_EQ(Drain(), 0);
    EXPECT_EQ(manager.PendingCount(), 0);
}

// --- One UM_TASK_DONE per batch ---------------------------------------------

class TaskDoneCountTest : public TaskManagerTest {
protected:
    // Handles every message posted so far (the worker posts under the queue
    // lock, before a finished task can be taken) and answers the count.
    int DoneCountAfterIdle()
    {
        RunUntilIdle();
        platform::MessageQueue::Instance().DispatchPending();
        return m_window.doneCount;
    }
    int Count(const std::string& event)
    {
        const auto events = m_journal.Snapshot();
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
};

TEST_F(TaskDoneCountTest, ThreeTasksAddedTogetherAreAnnouncedOnce)
{
    auto& manager = TaskManager::Instance();
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "1", "JournalTask", &gate));
    manager.Add(std::make_unique<JournalTask>(m_journal, "2"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "3"));
    gate.Open();
    EXPECT_EQ(DoneCountAfterIdle(), 1);
    for (const char* id : {"1", "2", "3"})
        EXPECT_EQ(Count(std::string("deliver ") + id), 1) << id;
}

TEST_F(TaskDoneCountTest, ATaskAddedWhileOneRunsIsAnnouncedByTheLastFinish)
{
    auto& manager = TaskManager::Instance();
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "1", "JournalTask", &gate));
    m_journal.WaitFor("run 1");
    manager.Add(std::make_unique<JournalTask>(m_journal, "2"));
    gate.Open();
    EXPECT_EQ(DoneCountAfterIdle(), 1);
    EXPECT_EQ(Count("deliver 1"), 1);
    EXPECT_EQ(Count("deliver 2"), 1);
}

TEST_F(TaskDoneCountTest, BatchesQueuedAfterEachDrainAreEachAnnounced)
{
    // The walk's pattern: a batch, a drain, the next batch. Whether the
    // worker takes the first task before the second is added or not, the
    // messages alone bring every batch to its drain (the pump waits for
    // them, never for the worker).
    auto& manager = TaskManager::Instance();
    for (int batch = 0; batch < 50; ++batch) {
        manager.Add(std::make_unique<JournalTask>(m_journal, "sub"));
        manager.Add(std::make_unique<JournalTask>(m_journal, "size"));
        int delivered = 0;
        ASSERT_TRUE(testsupport::PumpUntil([&] {
            delivered += Drain();
            return delivered == 2 && manager.PendingCount() == 0;
        })) << "batch " << batch;
    }
    const int announcements = DoneCountAfterIdle();
    EXPECT_GE(announcements, 50);
    EXPECT_LE(announcements, 100);
}

TEST_F(TaskDoneCountTest, CancellingTheRunningTaskStillAnnouncesItsEnd)
{
    auto& manager = TaskManager::Instance();
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "1", "JournalTask", &gate));
    manager.Add(std::make_unique<JournalTask>(m_journal, "2"));
    m_journal.WaitFor("run 1");
    manager.CancelAll();
    gate.Open();
    // The discarded task's drain is what empties the queue.
    EXPECT_EQ(DoneCountAfterIdle(), 1);
    EXPECT_EQ(Count("deliver 1"), 0);
    EXPECT_EQ(Count("run 2"), 0);
}

TEST_F(TaskDoneCountTest, CancellingTheWaitingTasksLosesNoFinishedOne)
{
    // [gate running, a finished unannounced, dup waiting]: cancelling the
    // waiting search must not leave a without an announcement.
    auto& manager = TaskManager::Instance();
    Gate gate;
    manager.Add(std::make_unique<JournalTask>(m_journal, "gate", "FindSizeTask", &gate));
    m_journal.WaitFor("run gate");
    manager.Add(std::make_unique<JournalTask>(m_journal, "a", "FindSubfoldersTask"));
    manager.Add(std::make_unique<JournalTask>(m_journal, "dup", "FindDupFileTask"));
    Task* a = manager.TakeNext();
    ASSERT_NE(a, nullptr);
    manager.Finish(a);
    platform::MessageQueue::Instance().DispatchPending();
    EXPECT_EQ(m_window.doneCount, 0);  // the waiting search will announce it

    manager.CancelByName("FindDupFileTask");
    gate.Open();
    EXPECT_EQ(DoneCountAfterIdle(), 1);
    EXPECT_EQ(Count("deliver a"), 1);
    EXPECT_EQ(Count("deliver gate"), 1);
    EXPECT_EQ(Count("run dup"), 0);
}

}  // namespace

int main(int argc, char** argv)
{
    return testsupport::RunTestsWithMessageQueue(argc, argv);
}
