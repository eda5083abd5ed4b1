#include "engine/TaskManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <sstream>

#include "engine/WindowMessages.h"
#include "platform/MessageQueue.h"
#include "support/MessagePump.h"

namespace {

// What the tasks of one test did and what the test allowed them, in order,
// from both threads: "runs id", "open id", "sent id answer", ...
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
    // Until event or "open all" is there.
    void WaitFor(const std::string& event)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] {
            return std::count(events.begin(), events.end(), event) +
                   std::count(events.begin(), events.end(), "open all");
        });
    }
    // What follows "verb " in the events that start so.
    std::vector<std::string> Ids(const std::string& verb)
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> ids;
        for (const std::string& event : events)
            if (event.rfind(verb + " ", 0) == 0) ids.push_back(event.substr(verb.size() + 1));
        return ids;
    }
};

// Journals its life. Made from "+id", "+id:Name" (that GetName), "+id!" (held
// in Run() until "open id") or "+id^" (sends to window from Run()).
class JournalTask : public Task {
public:
    JournalTask(Journal& journal, const std::string& verb, platform::WindowHandle window)
        : m_journal(journal), m_window(window)
    {
        const std::size_t colon = verb.find(':');
        m_id = verb.substr(1, colon - 1);
        if (m_id.back() == '!' || m_id.back() == '^') m_kind = m_id.back(), m_id.pop_back();
        if (colon != std::string::npos) m_name = verb.substr(colon + 1);
    }
    ~JournalTask() override { m_journal.Add("destroyed " + m_id); }
    void Run() override
    {
        m_journal.Add("runs " + m_id);
        if (m_kind == '!') m_journal.WaitFor("open " + m_id);
        if (m_kind == '^') {
            const auto answer =
                platform::MessageQueue::Instance().Send(m_window, UM_CLEAR_FOLDER_DUPS, 0, 0);
            m_journal.Add("sent " + std::to_string(answer));
        }
    }
    void Deliver() override { m_journal.Add("delivered " + m_id); }
    const char* GetName() const override { return m_name.c_str(); }

    Journal& m_journal;
    const platform::WindowHandle m_window;
    std::string m_id, m_name = "JournalTask";
    char m_kind = ' ';
};

// Stands in for the main view: counts the worker's UM_TASK_DONE messages and
// answers any message with 7.
class NotifyWindow : public platform::MessageWindow {
public:
    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam,
                                      platform::LParam) override
    {
        doneCount += message == UM_TASK_DONE ? 1 : 0;
        return 7;
    }
    int doneCount = 0;
};

// One scenario per row, its steps separated by "|":
//  "+id..." adds a task (see JournalTask); "run id"
//  waits until it runs; "cancel [Name]" and "discard" cancel (keeping /
//  destroying finished tasks); "wait": for the worker to be idle; "busy": a
//  wait of a few milliseconds for the worker gives up; "take ids" and
//  "finish id" play the worker's part by hand; "done n" handles what was
//  posted and checks the count of UM_TASK_DONE; "drain ids" drains and checks
//  what was delivered; "pending n"; "idle" drains until the queue is empty; "runs ids", "delivered
//  ids", "destroyed ids", "sent answers": the journal so far.
struct Scenario {
    const char* name;
    std::string steps;
};
const Scenario kScenarios[] = {
    {"TasksRunOneAtATimeInTheOrderAdded",
     "+1! +2 +3 | run 1 | +4 | pending 4 | open 1 | idle | runs 1 2 3 4 | delivered 1 2 3 4"},
    {"CancelDestroysTheWaitingTasksAndDiscardsTheRunningOne",
     "+1! +2 +3 | run 1 | cancel | destroyed 2 3 | pending 1 | cancel | pending 1 | open 1 | "
     "idle | done 1 | delivered | destroyed 2 3 1"},
    {"CancelByNameMatchesTheExactClassName",
     "+gate!:FindSizeTask +dup:FindDupFileTask +sub:FindSubfoldersTask | run gate | "
     "cancel finddupfiletask | pending 3 | cancel FindDupFileTask | pending 2 | open gate | "
     "idle | runs gate sub | delivered gate sub"},
    {"AFinishedTaskIsAnnouncedAtOnceTheOnesBeforeADrainTogether",
     "+a +b +c! | run c | done 1 | drain a b | open c | idle | done 2 | delivered a b c"},
    // Whether the worker takes the first task before the second is added or
    // not, the messages alone bring every batch to its drain (the pump waits
    // for them, never for the worker).
    {"BatchesQueuedAfterEachDrainAreEachAnnounced",
     [] {
         std::string steps;
         for (int i = 0; i < 50; ++i) steps += "+a +b | idle | ";
         return steps + "pending 0";
     }()},
    {"ACancelKeepsWhatHasFinished",
     "+a +b! +c | run b | cancel | drain a | open b | idle | runs a b | delivered a"},
    {"ACancelByNameKeepsWhatHasFinished",
     "+a:FindSubfoldersTask +b!:FindSizeTask | run b | cancel FindSubfoldersTask | drain a | "
     "open b | idle | delivered a b"},
    {"DiscardingDropsWhatHasFinished",
     "+a +b! | run b | discard | drain | open b | idle | delivered | destroyed a b"},
    {"ABoundedWaitGivesUpOnATaskThatDoesNotReturn",
     "+s! | run s | cancel | busy | open s | idle | destroyed s"},
    {"ADrainDestroysDiscardedTasksOnItsWayAndSkipsUnfinishedOnes",
     "+g! | run g | +a:A +b +c +d | take a b c | cancel A | finish a | finish c | drain c | "
     "destroyed a c | drain | finish b | drain b | open g | idle | delivered c b g d"},
    // As at shutdown: cancel, then wait without returning to the event loop.
    {"WaitingForIdleAnswersATaskBlockedInASend",
     "+s^ | run s | cancel | wait | sent 7 | drain | pending 0"},
};

class TaskManagerTest : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override { m_manager.SetNotifyWindow(m_window.Handle()); }
    void TearDown() override
    {
        // Leave the one queue empty for the next test.
        m_journal.Add("open all");
        m_manager.CancelAll();
        m_manager.WaitUntilIdle();
        Drain();
        EXPECT_EQ(m_manager.PendingCount(), 0);
    }
    // The receiver's side of UM_TASK_DONE: the ids delivered.
    std::vector<std::string> Drain()
    {
        const std::size_t before = m_journal.Ids("delivered").size();
        while (std::unique_ptr<Task> task = m_manager.TakeFinished()) task->Deliver();
        const std::vector<std::string> ids = m_journal.Ids("delivered");
        return {ids.begin() + static_cast<std::ptrdiff_t>(before), ids.end()};
    }
    void Step(const std::string& verb, const std::vector<std::string>& words)
    {
        const std::string first = words.empty() ? "" : words.front();
        if (verb[0] == '+') {
            m_manager.Add(std::make_unique<JournalTask>(m_journal, verb, m_window.Handle()));
        } else if (verb == "run") {
            m_journal.WaitFor("runs " + first);
        } else if (verb == "open") {
            m_journal.Add("open " + first);
        } else if (verb == "cancel") {
            first.empty() ? m_manager.CancelAll() : m_manager.CancelByName(first.c_str());
        } else if (verb == "discard") {
            m_manager.CancelAll(TaskManager::FinishedTasks::Discard);
        } else if (verb == "wait") {
            m_manager.WaitUntilIdle();
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
        } else if (verb == "pending") {
            EXPECT_EQ(m_manager.PendingCount(), std::stoi(first));
        } else if (verb == "idle") {
            ASSERT_TRUE(testsupport::PumpUntil([this] {
                Drain();
                return m_manager.PendingCount() == 0;
            }));
        } else {
            EXPECT_EQ(m_journal.Ids(verb), words);  // runs, delivered, destroyed, sent
        }
    }

    TaskManager& m_manager = TaskManager::Instance();
    Journal m_journal;
    NotifyWindow m_window;
    std::map<std::string, Task*> m_taken;
};

TEST_P(TaskManagerTest, Plays)
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

INSTANTIATE_TEST_SUITE_P(Queue, TaskManagerTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
