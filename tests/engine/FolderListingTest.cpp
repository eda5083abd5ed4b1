// The listing of a folder, the tasks of its batch that share it, and the
// subfolders becoming items.
#include "engine/FolderListing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "engine/FindSizeTask.h"
#include "engine/FindSubfoldersTask.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "support/FolderTreeFake.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

namespace {

// Stands in for a task that reads the listing: only its state matters.
class Reader : public Task {
public:
    void Run() override {}
    const char* GetName() const override { return "Reader"; }
};

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

TEST(FolderListing, ListsOnceUnlessStoppedByACancel)
{
    TempTree files;
    ASSERT_TRUE(files.MakeFile("a", "12345") && files.MakeDir("sub") &&
                files.MakeFile("name with\nnewline", "x"));
    FolderListing listing(files.Root() + "/", platform::SearchDetail::Full);
    Reader cancelled;
    cancelled.SetState(TaskState::Cancelling);
    EXPECT_FALSE(listing.Fill(cancelled));
    EXPECT_FALSE(listing.IsFilled());

    Reader reader;
    ASSERT_TRUE(listing.Fill(reader));
    EXPECT_TRUE(listing.IsFilled());
    std::vector<std::string> names;
    for (const FolderListing::Entry& entry : listing.Entries())
        names.emplace_back(listing.NameOf(entry));
    const std::vector<std::string> expected{".", "..", "a", "name with\nnewline", "sub"};
    EXPECT_EQ(Sorted(names), expected);
    // Later readers get the same entries, whatever the disk does meanwhile.
    ASSERT_TRUE(files.MakeFile("late", "y"));
    ASSERT_TRUE(listing.Fill(reader));
    EXPECT_EQ(listing.Count(), expected.size());

    for (const std::string& path : {files.Path("missing") + "/", std::string()}) {
        FolderListing unreadable(path, platform::SearchDetail::Full);
        EXPECT_FALSE(unreadable.Fill(reader));
        EXPECT_TRUE(unreadable.IsFilled());
        EXPECT_EQ(unreadable.Count(), 0u);
    }
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
    Listing Share(platform::SearchDetail detail = platform::SearchDetail::Full)
    {
        return std::make_shared<FolderListing>(m_path, detail);
    }
    FindSizeTask Size(Listing listing)
    {
        return FindSizeTask(m_tree, m_tree.references, *m_folder, m_path, 0, std::move(listing));
    }
    FindSubfoldersTask Subfolders(Listing listing)
    {
        return FindSubfoldersTask(m_tree, *m_folder, m_path, std::move(listing));
    }

    TempTree m_files;
    std::string m_path = m_files.Root() + "/";
    testsupport::FolderTreeFake m_tree;
    FolderRecord& m_root = m_tree.MakeRoot();
    FolderRecord* m_folder = &m_tree.Add(m_root, m_files.Root());
};

// Either task may list the folder; the other reads the same entries, whatever
// the disk does meanwhile.
TEST_F(SharedListingTest, EachTaskSeesWhatTheFirstListed)
{
    const std::vector<std::string> folders{"d1", "d2"};
    for (const bool sizeFirst : {false, true}) {
        SCOPED_TRACE(sizeFirst);
        Listing listing = Share();
        FindSizeTask size = Size(listing);
        FindSubfoldersTask subfolders = Subfolders(listing);
        (sizeFirst ? static_cast<Task&>(size) : subfolders).Run();
        ASSERT_TRUE(m_files.MakeFile("late", std::string(3000, 'z')) && m_files.MakeDir("d3") &&
                    std::remove(m_files.Path("f2").c_str()) == 0);
        (sizeFirst ? static_cast<Task&>(subfolders) : size).Run();
        EXPECT_EQ(Found(subfolders), folders);
        EXPECT_EQ(size.Size().Bytes(), 5010);
        ASSERT_TRUE(std::remove(m_files.Path("late").c_str()) == 0 &&
                    std::remove(m_files.Path("d3").c_str()) == 0 &&
                    m_files.MakeFile("f2", std::string(10, 'y')));
    }
    // A type-only listing serves the subfolders; the size lists on its own.
    Listing typeOnly = Share(platform::SearchDetail::TypeOnly);
    FindSubfoldersTask subfolders = Subfolders(typeOnly);
    FindSizeTask size = Size(typeOnly);
    subfolders.Run();
    size.Run();
    EXPECT_EQ(Found(subfolders), folders);
    EXPECT_EQ(size.Size().Bytes(), 5010);
}

TEST_F(SharedListingTest, AFolderThatCannotBeListedDeliversNothingFound)
{
    m_path = m_files.Path("gone") + "/";
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared);
        m_tree.Add(*m_folder, "d1");
        Listing listing = shared ? Share() : nullptr;
        FindSubfoldersTask subfolders = Subfolders(listing);
        FindSizeTask size = Size(listing);
        subfolders.Run();
        size.Run();
        subfolders.Deliver();
        size.Deliver();
        EXPECT_TRUE(m_tree.ChildNames(*m_folder).empty());
        EXPECT_TRUE(m_folder->Has(FolderRecord::OwnSizeKnown));
        EXPECT_EQ(m_folder->ownSize.Bytes(), 0);
    }
}

// A cancelled task that lists the folder itself stops at the next entry.
TEST_F(SharedListingTest, ACancelledTaskStopsAtTheNextEntry)
{
    for (int i = 3; i < 50; ++i) {
        ASSERT_TRUE(m_files.MakeFile("f" + std::to_string(i), std::string(1000, 'x')) &&
                    m_files.MakeDir("d" + std::to_string(i)));
    }
    FindSubfoldersTask subfolders = Subfolders(nullptr);
    FindSizeTask size = Size(nullptr);
    subfolders.SetState(TaskState::Cancelling);
    size.SetState(TaskState::Cancelling);
    subfolders.Run();
    size.Run();
    EXPECT_LE(Found(subfolders).size(), 1u);
    EXPECT_LE(size.Size().Bytes(), 5000);
}

// Stands in for the main view (drains finished tasks on UM_TASK_DONE) and
// the main frame (keeps the status text).
class Receiver : public platform::MessageWindow {
public:
    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam) override
    {
        while (message == UM_TASK_DONE && (m_task = TaskManager::Instance().TakeFinished())) {
            m_task->Deliver();
            ++delivered;
        }
        if (message == UM_STATUS_TEXT) texts.push_back(*reinterpret_cast<std::string*>(wParam));
        return 0;
    }
    int delivered = 0;
    std::vector<std::string> texts;
    std::unique_ptr<Task> m_task;
};

// The batch queued to the worker thread is delivered back on the UI thread;
// nothing reaches a folder whose item went before the delivery.
TEST_F(SharedListingTest, QueuedResultsArriveOnTheUiThread)
{
    Receiver receiver;
    auto& manager = TaskManager::Instance();
    manager.SetNotifyWindow(receiver.Handle());
    FolderRecord& gone = m_tree.Add(*m_folder, "gone");
    m_folder->Set(FolderRecord::SizeQueued);
    // Both list the same folder: only the deletion keeps d1 and d2 from "gone".
    for (FolderRecord* folder : {m_folder, &gone}) {
        manager.Add(std::make_unique<FindSubfoldersTask>(m_tree, *folder, m_path));
        manager.Add(std::make_unique<FindSizeTask>(m_tree, m_tree.references, *folder, m_path,
                                                   receiver.Handle()));
    }
    m_tree.DeleteItemTree(gone.item, false);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return manager.PendingCount() == 0; }));
    EXPECT_EQ(receiver.delivered, 4);
    EXPECT_EQ(m_tree.Tree().Count(), 3);
    EXPECT_EQ(Sorted(m_tree.ChildNames(*m_folder)), (std::vector<std::string>{"d1", "d2"}));
    EXPECT_TRUE(m_folder->Has(FolderRecord::OwnSizeKnown));
    EXPECT_FALSE(m_folder->Has(FolderRecord::SizeQueued));
    EXPECT_EQ(m_folder->ownSize.Bytes(), 5010);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !receiver.texts.empty(); }));
    EXPECT_EQ(QFile::decodeName(QByteArray::fromStdString(receiver.texts.front())),
              "Scanning: " + QFile::decodeName(QByteArray::fromStdString(m_path)));
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
         child = m_tree.NextSiblingRecord(*child)) {
        EXPECT_EQ(child->parent, &m_parent);
        EXPECT_TRUE(m_tree.Tree().HasChildrenMark(child->item));
        EXPECT_EQ(FullPathOf(*child), m_files.Path(child->name));
    }

    // Enumerating again changes nothing: the items and records stay.
    FolderRecord* a = m_tree.Child(m_parent, "a");
    Enumerate(m_parent);
    EXPECT_EQ(m_tree.Child(m_parent, "a"), a);
    EXPECT_EQ(m_tree.ChildNames(m_parent).size(), 3u);
    EXPECT_TRUE(m_tree.deleted.empty());
}

TEST_F(FindSubfoldersTest, VanishedNewAndCaseRenamedFoldersAreReconciled)
{
    ASSERT_TRUE(m_files.MakeDir("keep") && m_files.MakeDir("gone") &&
                m_files.MakeDir("gone/deeper") && m_files.MakeDir("case"));
    Enumerate(m_parent);
    Enumerate(*m_tree.Child(m_parent, "gone"));
    FolderRecord* keep = m_tree.Child(m_parent, "keep");

    ASSERT_EQ(::rmdir(m_files.Path("gone/deeper").c_str()), 0);
    ASSERT_EQ(::rmdir(m_files.Path("gone").c_str()), 0);
    ASSERT_EQ(::rename(m_files.Path("case").c_str(), m_files.Path("CASE").c_str()), 0);
    ASSERT_TRUE(m_files.MakeDir("new"));
    m_tree.initialised.clear();
    Enumerate(m_parent);

    EXPECT_EQ(Children(), Sorted({"keep", "CASE", "new"}));
    EXPECT_EQ(m_tree.Child(m_parent, "keep"), keep);
    // The vanished folder's subtree goes deepest first; a change of case is
    // one folder gone and another come.
    const auto& deleted = m_tree.deleted;
    EXPECT_EQ(Sorted(deleted), Sorted({"deeper", "gone", "case"}));
    EXPECT_LT(std::find(deleted.begin(), deleted.end(), "deeper"),
              std::find(deleted.begin(), deleted.end(), "gone"));
    EXPECT_EQ(Sorted(m_tree.initialised), Sorted({"CASE", "new"}));
}

// A folder whose last subfolder went, or that can no longer be listed,
// loses its children and its expand button.
TEST_F(FindSubfoldersTest, FolderWithoutSubfoldersNowLosesTheExpandButton)
{
    for (const bool lock : {false, true}) {
        if (lock && ::geteuid() == 0) continue;  // root reads every folder
        const std::string path = m_files.Path(lock ? "locked" : "emptied");
        ASSERT_TRUE(std::filesystem::create_directories(path + "/in"));
        FolderRecord& folder = m_tree.Add(m_parent, lock ? "locked" : "emptied");
        Enumerate(folder);
        ASSERT_TRUE(m_tree.Tree().HasChildrenMark(folder.item));
        ASSERT_EQ(lock ? ::chmod(path.c_str(), 0) : ::rmdir((path + "/in").c_str()), 0);
        Enumerate(folder);
        ::chmod(path.c_str(), 0700);
        EXPECT_TRUE(m_tree.ChildNames(folder).empty());
        EXPECT_FALSE(m_tree.Tree().HasChildrenMark(folder.item));
    }
}

// A queued task's snapshot is older than a direct enumeration delivered
// before it: it deletes no item twice and makes no twin.
TEST_F(FindSubfoldersTest, QueuedSnapshotOlderThanADirectEnumeration)
{
    ASSERT_TRUE(m_files.MakeDir("x") && m_files.MakeDir("y"));
    Enumerate(m_parent);
    ASSERT_EQ(::rmdir(m_files.Path("x").c_str()), 0);
    ASSERT_TRUE(m_files.MakeDir("fresh"));

    FindSubfoldersTask queued(m_tree, m_parent, DirectoryPathOf(m_parent));
    queued.Run();
    Enumerate(m_parent);
    ASSERT_EQ(m_tree.deleted, std::vector<std::string>{"x"});
    queued.Deliver();
    EXPECT_EQ(m_tree.deleted, std::vector<std::string>{"x"});
    EXPECT_EQ(Children(), Sorted({"fresh", "y"}));
}

TEST_F(FindSubfoldersTest, RecordWithNeitherPathNorShellFolderGetsNoChildren)
{
    FolderRecord& virtualItem = m_tree.Add(m_root, "");
    FindSubfoldersTask task(m_tree, virtualItem, FullItemIdListOf(virtualItem));
    task.Run();
    task.Deliver();
    EXPECT_TRUE(task.Entries().empty());
    EXPECT_EQ(m_tree.FirstChildRecord(virtualItem), nullptr);
}

}  // namespace
