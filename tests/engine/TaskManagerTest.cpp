#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <sstream>
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
        changed.wait(
            lock, [&] { return std::find(events.begin(), events.end(), event) != events.end(); });
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
        if (m_gate) m_gate->Wait();
        if (m_duringRun) m_duringRun();
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
    void SetUp() override { TaskManager::Instance().SetNotifyWindow(m_window.Handle()); }
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

// One scenario per row, its steps separated by "|":
//  "+id" adds a task ("+id:Name" with that GetName, "+id!" held in its Run
//  until "open id"); "run id" waits until it runs; "cancel [Name]" and
//  "discard" cancel (keeping / destroying finished tasks); "busy": a wait of
//  a few milliseconds for the worker gives up; "done n" handles what was
//  posted and checks the count of UM_TASK_DONE; "drain ids" drains and
//  checks what was delivered; "pending n"; "idle" drains until the queue is
//  empty; "runs ids", "delivered ids", "destroyed ids": the journal so far.
struct Scenario {
    const char* name;
    const char* steps;
};
void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

const Scenario kScenarios[] = {
    {"tasks run one at a time in the order added",
     "+1! +2 +3 | run 1 | +4 | pending 4 | open 1 | idle | runs 1 2 3 4 | delivered 1 2 3 4"},
    {"cancel destroys the waiting tasks and discards the running one",
     "+1! +2 +3 | run 1 | cancel | destroyed 2 3 | pending 1 | cancel | pending 1 | open 1 | "
     "idle | done 1 | delivered | destroyed 2 3 1"},
    {"cancel by name matches the exact class name",
     "+gate!:FindSizeTask +dup:FindDupFileTask +sub:FindSubfoldersTask | run gate | "
     "cancel finddupfiletask | pending 3 | cancel FindDupFileTask | pending 2 | open gate | "
     "idle | runs gate sub | delivered gate sub"},
    {"a finished task is announced at once, the ones before a drain together",
     "+a +b +c! | run c | done 1 | drain a b | open c | idle | done 2 | delivered a b c"},
    {"a cancel keeps what has finished",
     "+a +b! +c | run b | cancel | drain a | open b | idle | runs a b | delivered a"},
    {"a cancel by name keeps what has finished",
     "+a:FindSubfoldersTask +b!:FindSizeTask | run b | cancel FindSubfoldersTask | drain a | "
     "open b | idle | delivered a b"},
    {"discarding drops what has finished",
     "+a +b! | run b | discard | drain | open b | idle | delivered | destroyed a b"},
    {"a bounded wait gives up on a task that does not return",
     "+s! | run s | cancel | busy | open s | idle | destroyed s"},
};

class TaskManagerScenarioTest : public TaskManagerTest,
                                public ::testing::WithParamInterface<Scenario> {
protected:
    void TearDown() override
    {
        for (auto& [id, gate] : m_gates) gate->Open();
        TaskManagerTest::TearDown();
    }
    std::vector<std::string> Journaled(const std::string& prefix)
    {
        std::vector<std::string> ids;
        for (const std::string& event : m_journal.Snapshot())
            if (event.rfind(prefix, 0) == 0) ids.push_back(event.substr(prefix.size()));
        return ids;
    }
    std::vector<std::string> DrainIds()
    {
        std::vector<std::string> ids;
        const std::size_t before = Journaled("deliver ").size();
        Drain();
        const std::vector<std::string> all = Journaled("deliver ");
        ids.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        return ids;
    }
    void Step(const std::string& verb, std::vector<std::string> words)
    {
        auto& manager = TaskManager::Instance();
        const std::string first = words.empty() ? "" : words.front();
        if (verb[0] == '+') {
            std::string id = verb.substr(1);
            const std::size_t colon = id.find(':');
            const std::string& name = m_names.emplace_back(
                colon == std::string::npos ? "JournalTask" : id.substr(colon + 1));
            id = id.substr(0, colon);
            Gate* gate = nullptr;
            if (!id.empty() && id.back() == '!') {
                id.pop_back();
                gate = (m_gates[id] = std::make_unique<Gate>()).get();
            }
            manager.Add(std::make_unique<JournalTask>(m_journal, id, name.c_str(), gate));
        } else if (verb == "run") {
            m_journal.WaitFor("run " + first);
        } else if (verb == "open") {
            m_gates.at(first)->Open();
        } else if (verb == "cancel") {
            if (first.empty())
                manager.CancelAll();
            else
                manager.CancelByName(first.c_str());
        } else if (verb == "discard") {
            manager.CancelAll(TaskManager::FinishedTasks::Discard);
        } else if (verb == "busy") {
            EXPECT_FALSE(manager.WaitUntilIdle(std::chrono::milliseconds(5)));
        } else if (verb == "done") {
            platform::MessageQueue::Instance().DispatchPending();
            EXPECT_EQ(m_window.doneCount, std::stoi(first));
        } else if (verb == "drain") {
            EXPECT_EQ(DrainIds(), words);
        } else if (verb == "pending") {
            EXPECT_EQ(manager.PendingCount(), std::stoi(first));
        } else if (verb == "idle") {
            RunUntilIdle();
        } else if (verb == "runs" || verb == "delivered" || verb == "destroyed") {
            const char* prefix = verb == "runs"        ? "run "
                                 : verb == "delivered" ? "deliver "
                                                       : "destroy ";
            EXPECT_EQ(Journaled(prefix), words);
        } else {
            ADD_FAILURE() << "unknown step " << verb;
        }
    }

    std::map<std::string, std::unique_ptr<Gate>> m_gates;
    std::deque<std::string> m_names;  // GetName() answers; outlive the tasks
};

TEST_P(TaskManagerScenarioTest, Plays)
{
    std::istringstream steps(GetParam().steps);
    std::string step;
    while (std::getline(steps, step, '|')) {
        std::istringstream parts(step);
        std::string verb;
        parts >> verb;
        // "+a +b" adds several tasks in one step.
        if (verb[0] == '+') {
            for (std::string add = verb; !add.empty(); add.clear(), parts >> add) {
                Step(add, {});
            }
            continue;
        }
        std::vector<std::string> words;
        for (std::string word; parts >> word;) words.push_back(word);
        SCOPED_TRACE(step);
        Step(verb, words);
    }
}

INSTANTIATE_TEST_SUITE_P(Queue, TaskManagerScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

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

TEST_F(TaskManagerTest, BatchesQueuedAfterEachDrainAreEachAnnounced)
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
        })) << "batch "
            << batch;
    }
    RunUntilIdle();
    platform::MessageQueue::Instance().DispatchPending();
    const int announcements = m_window.doneCount;
    EXPECT_GE(announcements, 50);
    EXPECT_LE(announcements, 100);
}

}  // namespace
