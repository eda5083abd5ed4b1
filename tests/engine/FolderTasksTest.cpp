// The worker's queue, the tasks that read a folder, and the top of the tree.
#include "engine/TaskManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/FindSizeTask.h"
#include "engine/FindSubfoldersTask.h"
#include "engine/FolderListing.h"
#include "engine/FolderPopulation.h"
#include "engine/WindowMessages.h"
#include "model/SharedImageList.h"
#include "platform/ImageList.h"
#include "platform/MessageQueue.h"
#include "platform/ShellIcons.h"
#include "support/FolderTreeFake.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

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
            return std::ranges::count(events, event) || std::ranges::count(events, "open all");
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
        if (m_kind == '^')
            m_journal.Add("sent " + std::to_string(platform::MessageQueue::Instance().Send(
                                        m_window, UM_CLEAR_FOLDER_DUPS, 0, 0)));
    }
    void Deliver() override { m_journal.Add("delivered " + m_id); }
    const char* GetName() const override { return m_name.c_str(); }

    Journal& m_journal;
    const platform::WindowHandle m_window;
    std::string m_id, m_name = "JournalTask";
    char m_kind = ' ';
};

// The main view: counts UM_TASK_DONE (draining if drains) and answers any
// message with 7.
class NotifyWindow : public platform::MessageWindow {
public:
    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam,
                                      platform::LParam) override
    {
        doneCount += message == UM_TASK_DONE ? 1 : 0;
        while (drains && message == UM_TASK_DONE &&
               (m_task = TaskManager::Instance().TakeFinished()))
            m_task->Deliver(), ++delivered;
        return 7;
    }
    bool drains = false;
    int doneCount = 0, delivered = 0;
    std::unique_ptr<Task> m_task;
};

// Steps split by "|": "+id..." adds (see JournalTask); "run id" waits for it to run; "cancel
// [Name]" / "discard" cancel keeping / destroying finished tasks; "wait" / "busy" wait for an
// idle worker, unbounded / giving up; "take ids", "finish id" act as the worker; "done n" counts
// UM_TASK_DONE; "drain ids"; "pending n"; "idle" drains until empty; other verbs: the journal.
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
    // The next queued task is cancelled while another runs: the queue goes
    // on from the one after it.
    {"TheTasksAfterACancelledNextOneStillRunInOrder",
     "+g! | run g | +a:A +b | cancel A | +c | open g | idle | runs g b c | delivered g b c"},
    {"CancelByNameMatchesTheExactClassName",
     "+gate!:FindSizeTask +dup:FindDupFileTask +sub:FindSubfoldersTask | run gate | "
     "cancel finddupfiletask | pending 3 | cancel FindDupFileTask | pending 2 | open gate | "
     "idle | runs gate sub | delivered gate sub"},
    {"AFinishedTaskIsAnnouncedAtOnceTheOnesBeforeADrainTogether",
     "+a +b +c! | run c | done 1 | drain a b | open c | idle | done 2 | delivered a b c"},
    // However the worker races the adds, the messages alone bring every batch
    // to its drain (the pump waits for them, never for the worker).
    {"BatchesQueuedAfterEachDrainAreEachAnnounced",
     [] {
         std::string steps;
         for (int i = 0; i < 50; ++i) steps += "+a +b | idle | ";
         return steps + "pending 0";
     }()},
    {"CancelsByNameOrAllKeepWhatHasFinished",
     "+a:FindSubfoldersTask +b! +c | run b | cancel FindSubfoldersTask | cancel | drain a | "
     "open b | idle | runs a b | delivered a"},
    {"DiscardingDropsWhatHasFinishedABoundedWaitGivesUp",
     "+a +b! | run b | discard | busy | drain | open b | idle | delivered | destroyed a b"},
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
        std::vector<std::string> ids;
        while (std::unique_ptr<Task> task = m_manager.TakeFinished())
            task->Deliver(), ids.push_back(static_cast<JournalTask&>(*task).m_id);
        return ids;
    }
    void Step(const std::vector<std::string>& all)
    {
        const std::string verb = all[0], first = all.size() > 1 ? all[1] : "";
        const std::vector<std::string> words(all.begin() + 1, all.end());
        if (verb == "run") return m_journal.WaitFor("runs " + first);
        if (verb == "open") return m_journal.Add("open " + first);
        if (verb == "discard") return m_manager.CancelAll(TaskManager::FinishedTasks::Discard);
        if (verb == "wait") return m_manager.WaitUntilIdle();
        if (verb == "finish") return m_manager.Finish(m_taken.at(first));
        if (verb == "cancel")
            return first.empty() ? m_manager.CancelAll() : m_manager.CancelByName(first.c_str());
        if (verb[0] == '+') {  // "+a +b" adds several tasks in one step
            for (const std::string& add : all)
                m_manager.Add(std::make_unique<JournalTask>(m_journal, add, m_window.Handle()));
        } else if (verb == "busy") {
            EXPECT_FALSE(m_manager.WaitUntilIdle(std::chrono::milliseconds(5)));
        } else if (verb == "take") {
            for (const std::string& id : words)
                ASSERT_EQ(static_cast<JournalTask*>(m_taken[id] = m_manager.TakeNext())->m_id, id);
        } else if (verb == "done") {
            platform::MessageQueue::Instance().DispatchPending();
            EXPECT_EQ(m_window.doneCount, std::stoi(first));
        } else if (verb == "drain") {
            EXPECT_EQ(Drain(), words);
        } else if (verb == "pending") {
            EXPECT_EQ(m_manager.PendingCount(), std::stoi(first));
        } else if (verb == "idle") {
            ASSERT_TRUE(
                testsupport::PumpUntil([this] { return Drain(), m_manager.PendingCount() == 0; }));
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
        Step({std::istream_iterator<std::string>(parts), {}});
    }
}

INSTANTIATE_TEST_SUITE_P(Queue, TaskManagerTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Found(const FindSubfoldersTask& task)
{
    std::vector<std::string> names;
    for (const SubfolderEntry& entry : task.Entries())
        if (entry.found) names.push_back(entry.name);
    return Sorted(names);
}

// One folder's batch, as the sized tree queues it: the subfolders and the
// size read one listing between them.
class SharedListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.MakeFile("f1", std::string(5000, 'x')) &&
                    m_files.MakeFile("f2", std::string(10, 'y')) && m_files.MakeDir("d1") &&
                    m_files.MakeDir("d2") && m_files.MakeFile("d1/deeper", "not counted"));
    }
    using Listing = std::shared_ptr<FolderListing>;

    TempTree m_files;
    std::string m_path = m_files.Root() + "/";
    testsupport::FolderTreeFake m_tree;
    FolderRecord& m_root = m_tree.MakeRoot();
    FolderRecord* m_folder = &m_tree.Add(m_root, m_files.Root());
};

// A cancelled read leaves the folder to the next reader; no path lists no current folder.
TEST_F(SharedListingTest, ACancelledReadIsNotKeptAndAPathlessListingIsEmpty)
{
    Journal journal;  // the readers' states alone matter
    JournalTask cancelled(journal, "+cancelled", 0), reader(journal, "+reader", 0);
    cancelled.SetState(TaskState::Cancelling);
    FolderListing listing(m_path, platform::SearchDetail::Full), pathless("", listing.Detail());
    EXPECT_FALSE(listing.Fill(cancelled) || listing.IsFilled());
    EXPECT_TRUE(listing.Fill(reader) && listing.IsFilled() && listing.Count() == 6);
    EXPECT_FALSE(pathless.Fill(reader));
    EXPECT_TRUE(pathless.IsFilled() && pathless.Count() == 0);
}

// Either task may list the folder; the other reads the same entries, whatever
// the disk does meanwhile. A type-only listing serves the subfolders only.
TEST_F(SharedListingTest, EachTaskSeesWhatTheFirstListed)
{
    using enum platform::SearchDetail;
    for (const auto& [sizeFirst, detail] :
         {std::pair{false, Full}, {true, Full}, {false, TypeOnly}}) {
        SCOPED_TRACE(sizeFirst + 2 * (detail == TypeOnly));
        Listing listing = std::make_shared<FolderListing>(m_path, detail);
        FindSizeTask size(m_tree, m_tree.references, *m_folder, m_path, listing);
        FindSubfoldersTask subfolders(m_tree, *m_folder, m_path, listing);
        (sizeFirst ? static_cast<Task&>(size) : subfolders).Run();
        ASSERT_TRUE(m_files.MakeFile("late", std::string(3000, 'z')) && m_files.MakeDir("d3"));
        (sizeFirst ? static_cast<Task&>(subfolders) : size).Run();
        EXPECT_EQ(Found(subfolders), (std::vector<std::string>{"d1", "d2"}));
        EXPECT_EQ(size.Size().Bytes(), detail == TypeOnly ? 8010 : 5010);
        ASSERT_TRUE(std::filesystem::remove(m_files.Path("late")) &&
                    std::filesystem::remove(m_files.Path("d3")));
    }
}

// An unlistable folder loses its subfolders and expand button; a cancel stops at the next entry.
TEST_F(SharedListingTest, AnUnlistableFolderDeliversNothingACancelledTaskStops)
{
    for (int i = 3; i < 50; ++i)
        ASSERT_TRUE(m_files.MakeFile("f" + std::to_string(i), std::string(1000, 'x')) &&
                    m_files.MakeDir("d" + std::to_string(i)));
    for (const int row : {0, 1, 2}) {  // unlistable, the same with a shared listing, cancelled
        SCOPED_TRACE(row);
        m_path = row < 2 ? m_files.Path("gone") + "/" : m_files.Root() + "/";
        m_tree.Add(*m_folder, "d1");
        m_tree.Tree().SetHasChildren(m_folder->item, true);
        Listing listing =
            row == 1 ? std::make_shared<FolderListing>(m_path, platform::SearchDetail::Full)
                     : nullptr;
        FindSubfoldersTask subfolders(m_tree, *m_folder, m_path, listing);
        FindSizeTask size(m_tree, m_tree.references, *m_folder, m_path, listing);
        for (Task* task : {static_cast<Task*>(&subfolders), static_cast<Task*>(&size)}) {
            if (row == 2) task->SetState(TaskState::Cancelling);
            task->Run();
            if (row < 2) task->Deliver();
        }
        if (row == 2) {
            EXPECT_TRUE(Found(subfolders).size() <= 1 && size.Size().Bytes() <= 5000);
            continue;
        }
        EXPECT_TRUE(m_tree.ChildNames(*m_folder).empty() && m_folder->ownSize.Bytes() == 0);
        EXPECT_TRUE(m_folder->Has(FolderRecord::OwnSizeKnown) &&
                    !m_tree.Tree().HasChildrenMark(m_folder->item));
    }
}

// Nothing reaches a folder whose item went before the delivery.
TEST_F(SharedListingTest, QueuedResultsArriveOnTheUiThread)
{
    NotifyWindow receiver;
    receiver.drains = true;
    auto& manager = TaskManager::Instance();
    manager.SetNotifyWindow(receiver.Handle());
    FolderRecord& gone = m_tree.Add(*m_folder, "gone");
    // Both list the same folder: only the deletion keeps d1 and d2 from "gone".
    for (FolderRecord* folder : {m_folder, &gone}) {
        manager.Add(std::make_unique<FindSubfoldersTask>(m_tree, *folder, m_path));
        manager.Add(std::make_unique<FindSizeTask>(m_tree, m_tree.references, *folder, m_path));
    }
    m_tree.DeleteItemTree(gone.item, false);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return manager.PendingCount() == 0; }));
    EXPECT_TRUE(receiver.delivered == 4 && m_tree.Tree().Count() == 3);
    EXPECT_EQ(Sorted(m_tree.ChildNames(*m_folder)), (std::vector<std::string>{"d1", "d2"}));
    EXPECT_EQ(m_folder->ownSize.Bytes(), 5010);
}

// Starts from an empty folder.
class FindSubfoldersTest : public SharedListingTest {
protected:
    void SetUp() override {}
    // As the tree view does on an expansion: run and deliver at once.
    void Enumerate(FolderRecord& record)
    {
        FindSubfoldersTask task(m_tree, record, DirectoryPathOf(record));
        task.Run();
        task.Deliver();
    }
    std::vector<std::string> Children() { return Sorted(m_tree.ChildNames(m_parent)); }

    FolderRecord& m_parent = *m_folder;
};

TEST_F(FindSubfoldersTest, NewFoldersBecomeItemsWithRecordsAndExpandButtons)
{
    const std::string raw("raw\xff\xfe", 5);
    ASSERT_TRUE(m_files.MakeDir("a") && m_files.MakeDir(".hidden") && m_files.MakeDir(raw) &&
                m_files.MakeFile("file") && m_files.MakeSymlink("link-to-a", "a"));
    Enumerate(m_parent);

    // No ".", "..", files or links; hidden folders and any bytes are kept.
    EXPECT_EQ(Children(), Sorted({"a", ".hidden", raw}));
    EXPECT_EQ(Sorted(m_tree.initialised), Children());
    EXPECT_TRUE(m_tree.Tree().HasChildrenMark(m_parent.item));
    for (TreeItemRecord* child = m_tree.FirstChildRecord(m_parent); child != nullptr;
         child = m_tree.NextSiblingRecord(*child))
        EXPECT_TRUE(m_tree.Tree().HasChildrenMark(child->item) &&
                    FullPathOf(*child) == m_files.Path(child->name));

    // Enumerating again changes nothing: no item goes, none is twinned.
    Enumerate(m_parent);
    EXPECT_TRUE(m_tree.ChildNames(m_parent).size() == 3 && m_tree.deleted.empty());

    // A record with neither a path nor a shell folder gets no children.
    FolderRecord& virtualItem = m_tree.Add(m_root, "");
    Enumerate(virtualItem);
    EXPECT_EQ(m_tree.FirstChildRecord(virtualItem), nullptr);
}

TEST_F(FindSubfoldersTest, VanishedNewAndCaseRenamedFoldersAreReconciled)
{
    ASSERT_TRUE(m_files.MakeDir("keep") && m_files.MakeDir("keep/in") && m_files.MakeDir("gone") &&
                m_files.MakeDir("gone/deeper") && m_files.MakeDir("case"));
    Enumerate(m_parent);
    Enumerate(*m_tree.Child(m_parent, "gone"));
    FolderRecord* keep = m_tree.Child(m_parent, "keep");
    Enumerate(*keep);

    ASSERT_TRUE(std::filesystem::remove_all(m_files.Path("gone")) == 2 && m_files.MakeDir("new") &&
                ::rmdir(m_files.Path("keep/in").c_str()) == 0);
    ASSERT_EQ(::rename(m_files.Path("case").c_str(), m_files.Path("CASE").c_str()), 0);
    Enumerate(m_parent);

    EXPECT_EQ(Children(), Sorted({"keep", "CASE", "new"}));
    // The vanished subtree goes deepest first; a change of case is a folder gone and one come.
    const auto& deleted = m_tree.deleted;
    EXPECT_EQ(Sorted(deleted), Sorted({"deeper", "gone", "case"}));
    EXPECT_LT(std::find(deleted.begin(), deleted.end(), "deeper"),
              std::find(deleted.begin(), deleted.end(), "gone"));
    // Its last subfolder gone, a folder loses its expand button.
    ASSERT_TRUE(m_tree.Tree().HasChildrenMark(keep->item));
    Enumerate(*keep);
    EXPECT_TRUE(m_tree.ChildNames(*keep).empty() && !m_tree.Tree().HasChildrenMark(keep->item));

    // A queued snapshot older than a direct enumeration deletes no item twice, makes no twin.
    ASSERT_TRUE(::rmdir(m_files.Path("keep").c_str()) == 0 && m_files.MakeDir("fresh"));
    m_tree.deleted.clear();
    FindSubfoldersTask queued(m_tree, m_parent, DirectoryPathOf(m_parent));
    queued.Run();
    Enumerate(m_parent);
    ASSERT_EQ(m_tree.deleted, std::vector<std::string>{"keep"});
    queued.Deliver();
    EXPECT_EQ(m_tree.deleted, std::vector<std::string>{"keep"});
    EXPECT_EQ(Children(), Sorted({"CASE", "fresh", "new"}));
}

class KeyImageList : public platform::ImageList {
public:
    int IndexOf(const std::string& key) override
    {
        return m_indexes.emplace(key, static_cast<int>(m_indexes.size())).first->second;
    }
    QVariant Icon(int index) const override { return index; }
    std::map<std::string, int> m_indexes;
};

// HOME is the test run's own fresh folder (isolated-run.sh).
const std::string kHome = std::filesystem::canonical(std::getenv("HOME")).string();

TEST(FolderPopulation, TopLevelIsComputerWithItsVolumesOpenThenHomeAndPathsComeBelow)
{
    KeyImageList images;
    platform::ImageList::SetSystem(&images);
    ResetSharedImageListForTesting();
    testsupport::FolderTreeFake top;
    FolderPopulation::BuildTopLevel(top);
    TreeItemRecord* computer = top.FirstChildRecord(*top.RootRecord());
    TreeItemRecord* home = computer ? top.NextSiblingRecord(*computer) : nullptr;
    ASSERT_TRUE(computer && home);
    EXPECT_EQ(DisplayNameOf(*computer) + "|" + FullPathOf(*computer), "Computer|");
    EXPECT_EQ(DisplayNameOf(*home) + "|" + home->name, "Home|" + kHome);
    EXPECT_TRUE(top.Tree().IsExpanded(computer->item));
    // The root volume is listed with its mount point as its path.
    TreeItemRecord* volume = top.FirstChildRecord(*computer);
    while (volume != nullptr && volume->name != "/") volume = top.NextSiblingRecord(*volume);
    ASSERT_NE(volume, nullptr);
    EXPECT_TRUE(DisplayNameOf(*volume).ends_with("(/)") && volume->shellFolder);
    // The icons come from the system list, which the tree now uses.
    EXPECT_TRUE(SharedImageList() == &images && top.Tree().ImageList() == &images);
    EXPECT_EQ(top.Tree().Image(computer->item), images.IndexOf(platform::ShellIcons::kComputer));
    EXPECT_EQ(top.Tree().Image(home->item), images.IndexOf(platform::ShellIcons::kHome));
    // Building again does nothing.
    const int items = top.Tree().Count();
    FolderPopulation::BuildTopLevel(top);
    EXPECT_EQ(top.Tree().Count(), items);
    platform::ImageList::SetSystem(nullptr);
    ResetSharedImageListForTesting();

    // A path is brought in below its volume under Computer, or below Home when it lies there.
    TempTree files;
    ASSERT_TRUE(files.MakeDir("a") && files.MakeDir("a/b") && files.MakeDir("a/b/c") &&
                files.MakeDir("a/sibling"));
    std::filesystem::create_directories(kHome + "/Documents");
    const std::string target = std::filesystem::canonical(files.Path("a/b")).string();
    for (const std::string& path : {target, kHome + "/Documents"}) {
        SCOPED_TRACE(path);
        testsupport::FolderTreeFake tree;
        const TreeItem item = FolderPopulation::BringPathIntoTree(tree, path);
        ASSERT_NE(item, TreeItem::None);
        const TreeItemRecord* record = tree.RecordOf(item);
        EXPECT_EQ(FullPathOf(*record), path);
        EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, path + "/"), item);
        EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, path + "/missing"), TreeItem::None);
        const TreeItemRecord* up = record;
        while (up->parent->parent != tree.RootRecord()) up = up->parent;
        EXPECT_EQ(DisplayNameOf(*up->parent), path == target ? "Computer" : "Home");
        EXPECT_EQ(FolderPopulation::BringPathIntoTree(tree, "relative/path"), TreeItem::None);
        if (path != target) continue;  // each folder on the way is opened
        EXPECT_EQ(tree.ChildNames(*record), std::vector<std::string>{"c"});
        EXPECT_EQ(tree.ChildNames(*record->parent).size(), 2u);
    }
}

}  // namespace
