#include "engine/TaskManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>

#include "engine/WindowMessages.h"
#include "platform/MessageQueue.h"
#include "support/MessagePump.h"

namespace {

// What the tasks of one test did, in order, from both threads, and the
// gates that hold tasks in their Run() until the test opens them.
struct Journal {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    std::map<std::string, bool> gates;  // id: open

    void Add(const std::string& event)
    {
        std::lock_guard lock(mutex);
        events.push_back(event);
        changed.notify_all();
    }
    void WaitUntil(const std::function<bool()>& condition)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, condition);
    }
    void SetGate(const std::string& id, bool open)
    {
        std::lock_guard lock(mutex);
        gates[id] = open;
        changed.notify_all();
    }
    // The ids of the events that start with prefix.
    std::vector<std::string> Ids(const std::string& prefix)
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> ids;
        for (const std::string& event : events)
            if (event.rfind(prefix, 0) == 0) ids.push_back(event.substr(prefix.size()));
        return ids;
    }
};

class JournalTask : public Task {
public:
    JournalTask(Journal& journal, std::string id, const char* name = "JournalTask")
        : m_id(std::move(id)), m_journal(journal), m_name(name)
    {
    }
    ~JournalTask() override { m_journal.Add("destroy " + m_id); }
    void Run() override
    {
        m_journal.Add("run " + m_id);
        m_journal.WaitUntil([this] {
            auto gate = m_journal.gates.find(m_id);
            return gate == m_journal.gates.end() || gate->second;
        });
        if (m_duringRun) m_duringRun();
    }
    void Deliver() override { m_journal.Add("deliver " + m_id); }
    const char* GetName() const override { return m_name; }

    const std::string m_id;
    std::function<void()> m_duringRun;

private:
    Journal& m_journal;
    const char* m_name;
};

// Stands in for the main view: counts the worker's UM_TASK_DONE messages and
// answers any other message (sent from a running task) with 7.
class NotifyWindow : public platform::MessageWindow {
public:
    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam,
                                      platform::LParam) override
    {
        ++(message == UM_TASK_DONE ? doneCount : otherCount);
        return 7;
    }
    int doneCount = 0;
    int otherCount = 0;
};

class TaskManagerTest : public ::testing::Test {
protected:
    void SetUp() override { m_manager.SetNotifyWindow(m_window.Handle()); }
    void TearDown() override
    {
        // Leave the one queue empty for the next test.
        for (auto& [id, open] : m_journal.gates) m_journal.SetGate(id, true);
        m_manager.CancelAll();
        m_manager.WaitUntilIdle();
        Drain();
        EXPECT_EQ(m_manager.PendingCount(), 0);
    }
    // The receiver's side of UM_TASK_DONE: the ids delivered.
    std::vector<std::string> Drain()
    {
        const std::size_t before = m_journal.Ids("deliver ").size();
        while (std::unique_ptr<Task> task = m_manager.TakeFinished()) task->Deliver();
        std::vector<std::string> ids = m_journal.Ids("deliver ");
        return {ids.begin() + static_cast<std::ptrdiff_t>(before), ids.end()};
    }
    void RunUntilIdle()
    {
        ASSERT_TRUE(testsupport::PumpUntil([this] {
            Drain();
            return m_manager.PendingCount() == 0;
        }));
    }

    TaskManager& m_manager = TaskManager::Instance();
    Journal m_journal;
    NotifyWindow m_window;
};

// One scenario per row, its steps separated by "|":
//  "+id" adds a task ("+id:Name" with that GetName, "+id!" held in its Run
//  until "open id"); "run id" waits until it runs; "cancel [Name]" and
//  "discard" cancel (keeping / destroying finished tasks); "busy": a wait of
//  a few milliseconds for the worker gives up; "take ids" and "finish id"
//  play the worker's part by hand; "done n" handles what was posted and
//  checks the count of UM_TASK_DONE; "drain ids" drains and checks what was
//  delivered; "batches n": n times two tasks, each pair delivered through
//  the messages alone; "pending n"; "idle" drains until the queue is empty;
//  "runs ids", "delivered ids", "destroyed ids": the journal so far.
const struct Scenario {
    const char* name;
    const char* steps;
} kScenarios[] = {
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
    {"batches queued after each drain are each announced", "batches 50"},
    {"a cancel keeps what has finished",
     "+a +b! +c | run b | cancel | drain a | open b | idle | runs a b | delivered a"},
    {"a cancel by name keeps what has finished",
     "+a:FindSubfoldersTask +b!:FindSizeTask | run b | cancel FindSubfoldersTask | drain a | "
     "open b | idle | delivered a b"},
    {"discarding drops what has finished",
     "+a +b! | run b | discard | drain | open b | idle | delivered | destroyed a b"},
    {"a bounded wait gives up on a task that does not return",
     "+s! | run s | cancel | busy | open s | idle | destroyed s"},
    {"a drain destroys discarded tasks on its way and skips unfinished ones",
     "+g! | run g | +a:A +b +c +d | take a b c | cancel A | finish a | finish c | drain c | "
     "destroyed a c | drain | finish b | drain b | open g | idle | delivered c b g d"},
};

class TaskManagerScenarioTest : public TaskManagerTest,
                                public ::testing::WithParamInterface<Scenario> {
protected:
    void Step(const std::string& verb, const std::vector<std::string>& words)
    {
        const std::string first = words.empty() ? "" : words.front();
        if (verb[0] == '+') {
            std::string id = verb.substr(1);
            const std::size_t colon = id.find(':');
            const char* name =
                m_names
                    .emplace_back(colon == std::string::npos ? "JournalTask" : id.substr(colon + 1))
                    .c_str();
            id = id.substr(0, colon);
            if (id.back() == '!') {
                id.pop_back();
                m_journal.SetGate(id, false);
            }
            m_manager.Add(std::make_unique<JournalTask>(m_journal, id, name));
        } else if (verb == "run") {
            m_journal.WaitUntil([&] {
                return std::count(m_journal.events.begin(), m_journal.events.end(), "run " + first);
            });
        } else if (verb == "open") {
            m_journal.SetGate(first, true);
        } else if (verb == "cancel") {
            first.empty() ? m_manager.CancelAll() : m_manager.CancelByName(first.c_str());
        } else if (verb == "discard") {
            m_manager.CancelAll(TaskManager::FinishedTasks::Discard);
        } else if (verb == "busy") {
            EXPECT_FALSE(m_manager.WaitUntilIdle(std::chrono::milliseconds(5)));
        } else if (verb == "take") {
            for (const std::string& id : words) {
                m_taken[id] = m_manager.TakeNext();
                ASSERT_EQ(static_cast<JournalTask*>(m_taken[id])->m_id, id);
            }
        } else if (verb == "finish") {
            m_manager.Finish(m_taken.at(first));
        } else if (verb == "done") {
            platform::MessageQueue::Instance().DispatchPending();
            EXPECT_EQ(m_window.doneCount, std::stoi(first));
        } else if (verb == "drain") {
            EXPECT_EQ(Drain(), words);
        } else if (verb == "batches") {
            // Whether the worker takes the first task before the second is
            // added or not, the messages alone bring every batch to its drain
            // (the pump waits for them, never for the worker).
            const int batches = std::stoi(first);
            for (int batch = 0; batch < batches; ++batch) {
                m_manager.Add(std::make_unique<JournalTask>(m_journal, "sub"));
                m_manager.Add(std::make_unique<JournalTask>(m_journal, "size"));
                int delivered = 0;
                ASSERT_TRUE(testsupport::PumpUntil([&] {
                    delivered += static_cast<int>(Drain().size());
                    return delivered == 2 && m_manager.PendingCount() == 0;
                })) << "batch "
                    << batch;
            }
            platform::MessageQueue::Instance().DispatchPending();
            EXPECT_GE(m_window.doneCount, batches);
            EXPECT_LE(m_window.doneCount, 2 * batches);
        } else if (verb == "pending") {
            EXPECT_EQ(m_manager.PendingCount(), std::stoi(first));
        } else if (verb == "idle") {
            RunUntilIdle();
        } else if (verb == "runs" || verb == "delivered" || verb == "destroyed") {
            EXPECT_EQ(m_journal.Ids(verb == "runs" ? "run " : verb.substr(0, 7) + " "), words);
        } else {
            ADD_FAILURE() << "unknown step " << verb;
        }
    }

    std::deque<std::string> m_names;  // GetName() answers; outlive the tasks
    std::map<std::string, Task*> m_taken;
};

TEST_P(TaskManagerScenarioTest, Plays)
{
    std::istringstream steps(GetParam().steps);
    for (std::string step; std::getline(steps, step, '|');) {
        SCOPED_TRACE(step);
        std::istringstream parts(step);
        std::vector<std::string> words;
        for (std::string word; parts >> word;) words.push_back(word);
        if (words[0][0] == '+') {  // "+a +b" adds several tasks in one step
            for (const std::string& add : words) Step(add, {});
        } else {
            Step(words[0], {words.begin() + 1, words.end()});
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Queue, TaskManagerScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

// As at shutdown: cancel, then wait without returning to the event loop.
TEST_F(TaskManagerTest, WaitUntilIdleAnswersATaskBlockedInASend)
{
    auto task = std::make_unique<JournalTask>(m_journal, "sender");
    platform::MessageResult answer = 0;
    task->m_duringRun = [&answer, window = m_window.Handle()] {
        answer = platform::MessageQueue::Instance().Send(window, UM_CLEAR_FOLDER_DUPS, 0, 0);
    };
    m_manager.Add(std::move(task));
    m_journal.WaitUntil([this] { return !m_journal.events.empty(); });
    m_manager.CancelAll();
    m_manager.WaitUntilIdle();
    EXPECT_EQ(answer, 7);
    EXPECT_EQ(m_window.otherCount, 1);
    EXPECT_TRUE(Drain().empty());
    EXPECT_EQ(m_manager.PendingCount(), 0);
}

}  // namespace
