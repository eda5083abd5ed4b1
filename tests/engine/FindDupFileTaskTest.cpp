// The duplicate search run by the worker thread against files on disk, with
// stand-ins for the sized tree, the duplicates window and the file list.
#include "engine/FindDupFileTask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/DupFileList.h"
#include "engine/DupGroupOwner.h"
#include "engine/DupTable.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "platform/FileReader.h"
#include "platform/MessageQueue.h"
#include "support/FolderTreeFake.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

constexpr platform::MessageId kWakeUp = platform::WM_USER + 100;

// The main view, the sized tree's duplicate bookkeeping, the duplicates
// window and the file list in one.
class Harness : public platform::MessageWindow,
                public DupGroupOwner,
                public DuplicatesDisplay,
                public DupFileList {
public:
    FolderTreeFake tree;
    DupTable table;
    std::vector<std::pair<std::string, platform::LParam>> marks;
    std::vector<const DupGroup*> updated;
    int removedGroups = 0;
    std::vector<const FolderRecord*> searched;

    DupSearchContext Context() { return {tree, tree.references, table, Handle(), 0, this, this}; }
    void Show(const FolderRecord* folder)
    {
        std::lock_guard lock(tree.DataLock());
        BeginFill(folder);
    }
    // The ordinary groups, bucket by bucket, then the pending ones.
    std::vector<DupGroup*> Groups() const
    {
        std::vector<DupGroup*> groups = Ordinary();
        for (DupGroup* group : Pending()) {
            groups.push_back(group);
        }
        return groups;
    }
    std::vector<DupGroup*> Ordinary() const
    {
        std::vector<DupGroup*> groups;
        for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
            for (DupGroup* group = table.Chain(bucket); group != nullptr; group = group->next) {
                EXPECT_FALSE(group->pending);
                groups.push_back(group);
            }
        }
        return groups;
    }
    std::vector<DupGroup*> Pending() const
    {
        std::vector<DupGroup*> groups;
        for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
            for (DupGroup* group = table.PendingChain(bucket); group != nullptr;
                 group = group->next) {
                EXPECT_TRUE(group->pending && group->IsSingle());
                groups.push_back(group);
            }
        }
        return groups;
    }
    static std::set<std::string> Names(const DupGroup& group)
    {
        std::set<std::string> names;
        for (const DupLink* link = group.members; link != nullptr; link = link->next) {
            names.insert(link->member->name);
        }
        return names;
    }
    static int CountMembers(const FolderRecord& folder)
    {
        int count = 0;
        for (const DupMember* member = folder.duplicates; member != nullptr;
             member = member->nextInFolder) {
            ++count;
        }
        return count;
    }

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam lParam) override
    {
        if (message == UM_TASK_DONE) {
            while (std::unique_ptr<Task> task = TaskManager::Instance().TakeFinished()) {
                task->Deliver();
            }
        } else if (message == UM_CLEAR_FOLDER_DUPS) {
            ClearFolderDuplicates(*reinterpret_cast<const FolderRecordRef*>(wParam));
        } else if (message == UM_FILE_DUP_STATE) {
            marks.emplace_back(*reinterpret_cast<const std::string*>(wParam), lParam);
        }
        return 0;
    }

    void ClearFolderDuplicates(const FolderRecordRef& folder) override
    {
        std::lock_guard lock(tree.DataLock());
        if (FolderRecord* record = folder.Get()) {
            record->ClearDuplicates(false, this);
        }
    }
    void RemoveDupMember(DupMember& member) override
    {
        DupGroup* group = member.group;
        if (group == nullptr || !group->RemoveMemberLink(member)) {
            return;
        }
        if (group->members == nullptr) {
            DropGroup(*group);
        } else {
            RefreshGroup(*group);
        }
    }
    void DropGroup(DupGroup& group) override
    {
        {
            std::lock_guard references(tree.references);
            tree.references.Forget(&group);
        }
        RemoveGroup(group);
        table.Unlink(&group);
        delete &group;
    }

    void AddOrUpdateGroup(DupGroup& group) override { updated.push_back(&group); }
    void RemoveGroup(DupGroup&) override { ++removedGroups; }
    void RefreshGroup(DupGroup&) override {}
    void ClearAll() override {}
    void EnableLists(bool) override {}

    platform::WindowHandle DupStateWindow() const override { return Handle(); }
    void MarkFolderSearched(FolderRecord& folder) override { searched.push_back(&folder); }
};

class FindDupFileTaskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        TaskManager::Instance().SetNotifyWindow(m_harness.Handle());
        m_top = &m_harness.tree.Add(m_harness.tree.MakeRoot(), m_files.Root());
    }

    FolderRecord& Folder(const std::string& name)
    {
        EXPECT_TRUE(m_files.MakeDir(name));
        return m_harness.tree.Add(*m_top, name);
    }
    // Queues a search of folder and runs the event loop until it is done.
    // The files whose heads it reads are added to m_reads, relative to the
    // temporary tree; onRead is called with each before it is read.
    void Search(FolderRecord& folder, std::function<void()> hook = {},
                std::function<void(const std::string&)> onRead = {})
    {
        auto task =
            std::make_unique<FindDupFileTask>(m_harness.Context(), folder, DirectoryPathOf(folder));
        task->SetComparisonHookForTesting(std::move(hook));
        task->SetHeadReadHookForTesting([this, onRead](const std::string& path) {
            const std::string prefix = m_files.Root() + "/";
            const bool inside = path.compare(0, prefix.size(), prefix) == 0;
            const std::string name = inside ? path.substr(prefix.size()) : path;
            if (onRead) {
                onRead(name);
            }
            m_reads.insert(name);
        });
        TaskManager::Instance().Add(std::move(task));
        WaitUntilDone();
    }
    void WaitUntilDone()
    {
        ASSERT_TRUE(
            testsupport::PumpUntil([] { return TaskManager::Instance().PendingCount() == 0; }));
    }
    // Searches folder and cancels the search while the worker waits at its
    // atCheck-th look for a cancel during a comparison; observe runs on the
    // worker at that moment, with the search's files open, and afterCancel
    // here once the search is cancelled. Answers how many looks there were.
    int CancelAtComparisonCheck(FolderRecord& folder, int atCheck,
                                const std::function<void()>& observe,
                                const std::function<void()>& afterCancel = {})
    {
        std::mutex mutex;
        std::condition_variable changed;
        std::atomic<int> checks{0};
        bool cancelled = false;
        auto hook = [&, window = m_harness.Handle()] {
            if (++checks != atCheck) {
                return;
            }
            observe();
            platform::MessageQueue::Instance().Post(window, kWakeUp, 0, 0);
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return cancelled; });
        };
        auto task =
            std::make_unique<FindDupFileTask>(m_harness.Context(), folder, DirectoryPathOf(folder));
        task->SetComparisonHookForTesting(hook);
        TaskManager::Instance().Add(std::move(task));
        EXPECT_TRUE(testsupport::PumpUntil([&] { return checks >= atCheck; }));
        TaskManager::Instance().CancelAll();
        if (afterCancel) {
            afterCancel();
        }
        {
            std::lock_guard lock(mutex);
            cancelled = true;
        }
        changed.notify_all();
        WaitUntilDone();
        return checks;
    }
    // A file of size bytes with no data but the given bytes at offset.
    bool MakeSparse(const std::string& name, std::uint64_t size, std::uint64_t offset = 0,
                    const std::string& bytes = {})
    {
        const int fd = ::open(m_files.Path(name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) {
            return false;
        }
        bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
        if (!bytes.empty()) {
            ok = ok && ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                           static_cast<ssize_t>(bytes.size());
        }
        return ::close(fd) == 0 && ok;
    }

    TempTree m_files;
    Harness m_harness;
    FolderRecord* m_top = nullptr;
    std::multiset<std::string> m_reads;
};

const std::string kContents = std::string(20000, 'c') + "end";

TEST_F(FindDupFileTaskTest, IdenticalFilesFormOneGroupAndMarkTheShownFolder)
{
    FolderRecord& folder = Folder("one");
    folder.Set(FolderRecord::DupsQueued);
    ASSERT_TRUE(m_files.MakeFile("one/a", kContents));
    ASSERT_TRUE(m_files.MakeFile("one/b", kContents));
    m_harness.Show(&folder);
    const std::uint32_t generation = m_harness.ShownFolder().generation;
    Search(folder);

    const auto groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(Harness::Names(*groups[0]), (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(groups[0]->size, kContents.size());
    EXPECT_EQ(m_harness.updated, std::vector<const DupGroup*>{groups[0]});
    EXPECT_EQ(m_harness.searched, std::vector<const FolderRecord*>{&folder});
    EXPECT_TRUE(folder.Has(FolderRecord::DupsKnown));
    EXPECT_FALSE(folder.Has(FolderRecord::DupsQueued));

    // The first file alone, then the second with a copy, then the first again.
    ASSERT_EQ(m_harness.marks.size(), 3u);
    const std::string first = m_harness.marks[0].first;
    const std::string second = first == "a" ? "b" : "a";
    using Mark = std::pair<std::string, platform::LParam>;
    EXPECT_EQ(m_harness.marks, (std::vector<Mark>{{first, DupStateLParam(generation, true)},
                                                  {second, DupStateLParam(generation, false)},
                                                  {first, DupStateLParam(generation, false)}}));
    // After the list fills again, these marks are stale.
    EXPECT_TRUE(m_harness.IsCurrentFill(DupStateGeneration(m_harness.marks[0].second)));
    m_harness.Show(&folder);
    EXPECT_FALSE(m_harness.IsCurrentFill(DupStateGeneration(m_harness.marks[0].second)));
}

TEST_F(FindDupFileTaskTest, SameHeadButDifferentLaterGivesTwoSinglesInOneChain)
{
    FolderRecord& folder = Folder("one");
    std::string other = kContents;
    other[15000] = 'd';
    ASSERT_TRUE(m_files.MakeFile("one/a", kContents));
    ASSERT_TRUE(m_files.MakeFile("one/b", other));
    Search(folder);

    const auto groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_TRUE(groups[0]->IsSingle());
    EXPECT_TRUE(groups[1]->IsSingle());
    EXPECT_EQ(groups[0]->next, groups[1]);
    EXPECT_TRUE(m_harness.updated.empty());
}

TEST_F(FindDupFileTaskTest, CopiesAcrossFoldersAndSearchingAgain)
{
    FolderRecord& x = Folder("x");
    FolderRecord& y = Folder("y");
    ASSERT_TRUE(m_files.MakeFile("x/a", kContents));
    ASSERT_TRUE(m_files.MakeFile("y/copy", kContents));
    Search(x);
    EXPECT_TRUE(m_harness.updated.empty());
    Search(y);
    auto groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(Harness::Names(*groups[0]), (std::set<std::string>{"a", "copy"}));
    EXPECT_EQ(m_harness.updated, std::vector<const DupGroup*>{groups[0]});

    // Searching a folder again replaces its members instead of adding more.
    Search(x);
    groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->MemberCount(), 2);
    EXPECT_EQ(Harness::CountMembers(x), 1);

    // A group that keeps one member stays; one that loses all goes.
    ASSERT_EQ(::unlink(m_files.Path("y/copy").c_str()), 0);
    Search(y);
    groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(Harness::Names(*groups[0]), std::set<std::string>{"a"});
    EXPECT_EQ(Harness::CountMembers(y), 0);
    ASSERT_EQ(::unlink(m_files.Path("x/a").c_str()), 0);
    Search(x);
    EXPECT_TRUE(m_harness.Groups().empty());
    EXPECT_EQ(m_harness.removedGroups, 1);
}

TEST_F(FindDupFileTaskTest, OnlyNonEmptyRegularFilesAreRead)
{
    FolderRecord& folder = Folder("one");
    ASSERT_TRUE(m_files.MakeFile("one/empty"));
    ASSERT_TRUE(m_files.MakeFile("one/also-empty"));
    ASSERT_TRUE(m_files.MakeFifo("one/fifo"));
    ASSERT_TRUE(m_files.MakeFile("one/file", "x"));
    ASSERT_TRUE(m_files.MakeSymlink("one/link", "file"));
    Search(folder);

    const auto groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(Harness::Names(*groups[0]), std::set<std::string>{"file"});
}

TEST_F(FindDupFileTaskTest, HardLinksAreNeverCopiesOfEachOther)
{
    FolderRecord& folder = Folder("one");
    ASSERT_TRUE(m_files.MakeFile("one/a", kContents));
    ASSERT_TRUE(m_files.MakeHardLink("one/b", "one/a"));
    ASSERT_TRUE(m_files.MakeHardLink("one/c", "one/a"));
    ASSERT_TRUE(m_files.MakeFile("one/copy", kContents));
    Search(folder);

    int pairs = 0;
    int members = 0;
    for (const DupGroup* group : m_harness.Groups()) {
        std::set<std::uint64_t> inodes;
        for (const DupLink* link = group->members; link != nullptr; link = link->next) {
            EXPECT_TRUE(inodes.insert(link->member->inode).second) << link->member->name;
        }
        members += group->MemberCount();
        pairs += group->MemberCount() == 2 ? 1 : 0;
    }
    EXPECT_EQ(members, 4);
    EXPECT_EQ(pairs, 1);  // the real copy with one of the links
}

TEST_F(FindDupFileTaskTest, SizesBeyondThirtyTwoBitsAreKept)
{
    constexpr std::uint64_t k4G = 1ull << 32;
    FolderRecord& folder = Folder("big");
    // Same head (all zeros), same size, different at 10000.
    ASSERT_TRUE(MakeSparse("big/x", k4G, 10000, "x"));
    ASSERT_TRUE(MakeSparse("big/y", k4G, 10000, "y"));
    // Same head and the same low 32 bits of the size: no candidates.
    ASSERT_TRUE(MakeSparse("big/small", 10));
    ASSERT_TRUE(MakeSparse("big/large", k4G + 10));
    int comparisons = 0;
    Search(folder, [&comparisons] { ++comparisons; });

    std::multiset<std::uint64_t> sizes;
    for (const DupGroup* group : m_harness.Groups()) {
        EXPECT_TRUE(group->IsSingle());
        sizes.insert(group->size);
    }
    EXPECT_EQ(sizes, (std::multiset<std::uint64_t>{10, k4G, k4G, k4G + 10}));
    EXPECT_EQ(comparisons, 1);  // x with y, which differ in the first block
}

// Files of sizes that no other file has are recorded without being read;
// the first file of a size is read only once a second one turns up.
TEST_F(FindDupFileTaskTest, AFileIsReadOnlyOnceASecondFileOfItsSizeTurnsUp)
{
    FolderRecord& x = Folder("x");
    FolderRecord& y = Folder("y");
    FolderRecord& z = Folder("z");
    ASSERT_TRUE(m_files.MakeFile("x/a", kContents));
    ASSERT_TRUE(m_files.MakeFile("x/short", "s"));
    ASSERT_TRUE(m_files.MakeFile("x/longer", "longer"));
    m_harness.Show(&x);
    const std::uint32_t generation = m_harness.ShownFolder().generation;
    Search(x);
    EXPECT_TRUE(m_reads.empty());
    EXPECT_TRUE(m_harness.Ordinary().empty());
    ASSERT_EQ(m_harness.Pending().size(), 3u);
    EXPECT_EQ(Harness::CountMembers(x), 3);
    // Each is marked as a file without copies, as when it was read.
    using Mark = std::pair<std::string, platform::LParam>;
    EXPECT_EQ(std::multiset<Mark>(m_harness.marks.begin(), m_harness.marks.end()),
              (std::multiset<Mark>{{"a", DupStateLParam(generation, true)},
                                   {"short", DupStateLParam(generation, true)},
                                   {"longer", DupStateLParam(generation, true)}}));
    m_harness.marks.clear();

    // A copy in another folder reads both; the pending file becomes an
    // ordinary group which the copy joins, and the shown folder's file is
    // marked as having a copy.
    ASSERT_TRUE(m_files.MakeFile("y/copy", kContents));
    ASSERT_TRUE(m_files.MakeFile("y/other", "other!"));  // the size of x/longer
    Search(y);
    EXPECT_EQ(m_reads, (std::multiset<std::string>{"x/a", "y/copy", "x/longer", "y/other"}));
    EXPECT_EQ(m_harness.Pending().size(), 1u);
    auto groups = m_harness.Ordinary();
    ASSERT_EQ(groups.size(), 3u);
    const auto copies = std::find_if(groups.begin(), groups.end(),
                                     [](const DupGroup* group) { return !group->IsSingle(); });
    ASSERT_NE(copies, groups.end());
    DupGroup* const group = *copies;
    EXPECT_EQ(Harness::Names(*group), (std::set<std::string>{"a", "copy"}));
    EXPECT_EQ(m_harness.updated, std::vector<const DupGroup*>{group});
    EXPECT_EQ(m_harness.marks, (std::vector<Mark>{{"a", DupStateLParam(generation, false)}}));

    // A third copy is read and joins; nothing else is read again.
    m_reads.clear();
    ASSERT_TRUE(m_files.MakeFile("z/third", kContents));
    Search(z);
    EXPECT_EQ(m_reads, std::multiset<std::string>{"z/third"});
    EXPECT_EQ(Harness::Names(*group), (std::set<std::string>{"a", "copy", "third"}));
    EXPECT_EQ(m_harness.Groups().size(), 4u);
}

TEST_F(FindDupFileTaskTest, PendingFileThatVanishedOrChangedBeforeBeingRead)
{
    FolderRecord& x = Folder("x");
    FolderRecord& y = Folder("y");
    FolderRecord& z = Folder("z");
    ASSERT_TRUE(m_files.MakeFile("x/gone", kContents));
    ASSERT_TRUE(m_files.MakeFile("x/grows", "1234"));
    Search(x);
    ASSERT_EQ(m_harness.Pending().size(), 2u);

    // The pending file is gone when a second file of its size turns up: it
    // was never read, and leaves the table. A file that grows between the
    // listing and its reading is left out; the pending file of its size is
    // read all the same.
    ASSERT_EQ(::unlink(m_files.Path("x/gone").c_str()), 0);
    ASSERT_TRUE(m_files.MakeFile("y/copy", kContents));
    ASSERT_TRUE(m_files.MakeFile("y/grows", "5678"));
    Search(y, {}, [this](const std::string& name) {
        if (name == "y/grows") {
            std::ofstream(m_files.Path(name), std::ios::app) << "9";
        }
    });
    EXPECT_TRUE(m_harness.Pending().empty());
    EXPECT_EQ(Harness::CountMembers(x), 1);
    EXPECT_EQ(Harness::CountMembers(y), 1);
    auto groups = m_harness.Ordinary();
    ASSERT_EQ(groups.size(), 2u);
    for (const DupGroup* group : groups) {
        EXPECT_TRUE(group->IsSingle());
    }
    EXPECT_TRUE(m_harness.updated.empty());

    // A later copy joins the readable file.
    ASSERT_TRUE(m_files.MakeFile("z/again", kContents));
    Search(z);
    groups = m_harness.Ordinary();
    ASSERT_EQ(groups.size(), 2u);
    std::multiset<std::set<std::string>> names;
    for (const DupGroup* group : groups) {
        names.insert(Harness::Names(*group));
    }
    EXPECT_EQ(names, (std::multiset<std::set<std::string>>{{"grows"}, {"copy", "again"}}));
}

// While it lives, every thread of a process run as root acts as nobody,
// without root's groups.
class AsNobody {
public:
    AsNobody()
    {
        m_groups.resize(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
        m_switched = ::geteuid() == 0 &&
                     ::getgroups(static_cast<int>(m_groups.size()), m_groups.data()) >= 0 &&
                     ::setgroups(0, nullptr) == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~AsNobody()
    {
        if (m_switched && (::seteuid(0) != 0 || ::setegid(0) != 0 ||
                           ::setgroups(m_groups.size(), m_groups.data()) != 0)) {
            std::abort();
        }
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;

private:
    std::vector<gid_t> m_groups;
    bool m_switched = false;
};

// A file of a size of its own that cannot be opened is not recorded.
TEST_F(FindDupFileTaskTest, FileThatCannotBeOpenedIsNotRecorded)
{
    FolderRecord& folder = Folder("one");
    ASSERT_TRUE(m_files.MakeFile("one/locked", "locked"));
    ASSERT_TRUE(m_files.MakeFile("one/open", "open"));
    ASSERT_EQ(::chmod(m_files.Path("one/locked").c_str(), 0), 0);
    const testsupport::AsUnprivileged others(m_files.Path("one"));
    const AsNobody nobody;
    if (!others.Usable() || ::geteuid() == 0) {
        GTEST_SKIP() << "cannot act as nobody";
    }
    Search(folder);
    ASSERT_EQ(m_harness.Pending().size(), 1u);
    EXPECT_EQ(Harness::Names(*m_harness.Pending()[0]), std::set<std::string>{"open"});
}

TEST_F(FindDupFileTaskTest, ClearingAFolderDropsItsPendingGroups)
{
    FolderRecord& x = Folder("x");
    FolderRecord& y = Folder("y");
    ASSERT_TRUE(m_files.MakeFile("x/a", kContents));
    Search(x);
    ASSERT_EQ(m_harness.Pending().size(), 1u);

    // Searching the folder again replaces its pending file, unread.
    Search(x);
    ASSERT_EQ(m_harness.Pending().size(), 1u);
    EXPECT_EQ(m_harness.removedGroups, 1);
    ASSERT_EQ(::unlink(m_files.Path("x/a").c_str()), 0);
    Search(x);
    EXPECT_TRUE(m_harness.Groups().empty());
    EXPECT_EQ(m_harness.removedGroups, 2);

    // A later file of that size waits unread again.
    ASSERT_TRUE(m_files.MakeFile("y/b", kContents));
    Search(y);
    EXPECT_TRUE(m_reads.empty());
    ASSERT_EQ(m_harness.Pending().size(), 1u);
    EXPECT_EQ(Harness::Names(*m_harness.Pending()[0]), std::set<std::string>{"b"});
}

TEST_F(FindDupFileTaskTest, HardLinkOfAPendingFileIsReadOnceAndNeverItsCopy)
{
    FolderRecord& x = Folder("x");
    FolderRecord& y = Folder("y");
    ASSERT_TRUE(m_files.MakeFile("x/a", kContents));
    ASSERT_TRUE(m_files.MakeHardLink("x/b", "x/a"));
    Search(x);
    // Whichever is listed second is read, for both.
    ASSERT_EQ(m_reads.size(), 1u);
    auto groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_TRUE(groups[0]->IsSingle() && groups[1]->IsSingle());
    EXPECT_EQ(groups[0]->headHash, groups[1]->headHash);
    EXPECT_EQ(groups[0]->FirstMember()->inode, groups[1]->FirstMember()->inode);

    ASSERT_TRUE(m_files.MakeFile("y/copy", kContents));
    Search(y);
    int pairs = 0;
    for (const DupGroup* group : m_harness.Groups()) {
        pairs += group->MemberCount() == 2 ? 1 : 0;
    }
    EXPECT_EQ(pairs, 1);
    EXPECT_EQ(m_harness.Groups().size(), 2u);
}

// Sizes that share a bit of the table's size set cost a read, never a copy.
TEST_F(FindDupFileTaskTest, SizesSharingABitAreReadAndFiledApart)
{
    const std::size_t small = 100;
    const std::size_t large = (std::size_t{1} << 20) + 101;
    ASSERT_EQ(DupTable::SizeBitOf(small), DupTable::SizeBitOf(large));
    FolderRecord& x = Folder("x");
    FolderRecord& y = Folder("y");
    FolderRecord& z = Folder("z");
    ASSERT_TRUE(m_files.MakeFile("x/a", std::string(small, 'a')));
    ASSERT_TRUE(m_files.MakeFile("x/b", std::string(small, 'a')));
    Search(x);
    ASSERT_EQ(m_harness.Ordinary().size(), 1u);

    ASSERT_TRUE(m_files.MakeFile("y/large", std::string(large, 'l')));
    Search(y);
    EXPECT_EQ(m_reads.count("y/large"), 1u);
    EXPECT_TRUE(m_harness.Pending().empty());
    ASSERT_EQ(m_harness.Ordinary().size(), 2u);

    ASSERT_TRUE(m_files.MakeFile("z/copy", std::string(large, 'l')));
    Search(z);
    const auto groups = m_harness.Groups();
    ASSERT_EQ(groups.size(), 2u);
    for (const DupGroup* group : groups) {
        EXPECT_EQ(group->MemberCount(), 2);
        EXPECT_EQ(Harness::Names(*group).size(), 2u);
    }
}

// Whether this process has a descriptor open on path.
bool HoldsOpen(const std::string& path)
{
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(fd.path(), error) == path) {
            return true;
        }
    }
    return false;
}

TEST_F(FindDupFileTaskTest, CancellingStopsALongComparisonAtOnce)
{
    FolderRecord& folder = Folder("long");
    ASSERT_TRUE(MakeSparse("long/a", 256ull << 20));
    ASSERT_TRUE(MakeSparse("long/b", 256ull << 20));

    // The worker stops after the first block and waits for the test, which
    // then empties the table as a reset does.
    bool openWhileComparing = false;
    const int checks = CancelAtComparisonCheck(
        folder, 2,
        [&] {
            openWhileComparing =
                HoldsOpen(m_files.Path("long/a")) && HoldsOpen(m_files.Path("long/b"));
        },
        [&] {
            std::lock_guard lock(m_harness.tree.DataLock());
            m_harness.tree.references.ForgetAll<DupGroup>();
            folder.ClearDuplicates(true, nullptr);
            m_harness.table.Clear();
        });

    EXPECT_EQ(checks, 2);  // the check after the first block saw the cancel
    // The cancelled search files nothing more.
    EXPECT_TRUE(m_harness.Groups().empty());
    EXPECT_EQ(folder.duplicates, nullptr);
    EXPECT_TRUE(openWhileComparing);
    EXPECT_FALSE(HoldsOpen(m_files.Path("long/a")));
    EXPECT_FALSE(HoldsOpen(m_files.Path("long/b")));
    // Discarded: nothing delivered.
    EXPECT_FALSE(folder.Has(FolderRecord::DupsKnown));
    EXPECT_TRUE(m_harness.searched.empty());
}

// How many descriptors this process has open on files under folder.
int OpenUnder(const std::string& folder)
{
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        count += target.compare(0, folder.size() + 1, folder + "/") == 0 ? 1 : 0;
    }
    return count;
}

// The heads of the next files to be read are asked for ahead through files
// opened early; a cancelled search closes them all.
TEST_F(FindDupFileTaskTest, FilesOpenedAheadAreClosedWhenCancelled)
{
    FolderRecord& folder = Folder("many");
    for (int i = 0; i < 24; ++i) {
        ASSERT_TRUE(m_files.MakeFile("many/f" + std::to_string(i), kContents));
    }
    int openAhead = 0;
    CancelAtComparisonCheck(folder, 1, [&] { openAhead = OpenUnder(m_files.Path("many")); });

    // The two being compared and the next files of the listing, at most
    // sixteen of them.
    EXPECT_GE(openAhead, 2 + 8);
    EXPECT_LE(openAhead, 2 + 16);
    EXPECT_EQ(OpenUnder(m_files.Path("many")), 0);
    EXPECT_EQ(Harness::CountMembers(folder), 1);  // the one filed before the cancel
}

// Read ahead or not, every file whose size another file has is read once
// and the copies end up together.
TEST_F(FindDupFileTaskTest, ReadingAheadFilesEveryCopy)
{
    FolderRecord& folder = Folder("mixed");
    std::multiset<std::string> shared;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "mixed/f" + std::to_string(i);
        // Sizes 1 to 4 twice each from 0 to 7 on, 8 to 39 unique; contents
        // equal by size.
        const int size = i < 8 ? 1 + i % 4 : i;
        ASSERT_TRUE(m_files.MakeFile(name, std::string(static_cast<std::size_t>(size), 'm')));
        if (i < 8) {
            shared.insert(name);
        }
    }
    Search(folder);
    EXPECT_EQ(m_reads, shared);
    EXPECT_EQ(m_harness.Pending().size(), 32u);
    int copies = 0;
    for (const DupGroup* group : m_harness.Ordinary()) {
        EXPECT_EQ(group->MemberCount(), 2);
        ++copies;
    }
    EXPECT_EQ(copies, 4);
}

TEST_F(FindDupFileTaskTest, LastAccessTimesStayAsTheyWere)
{
    for (const bool noAccessTimeFlag : {true, false}) {
        SCOPED_TRACE(noAccessTimeFlag);
        platform::FileReader::UseNoAccessTimeFlagForTesting(noAccessTimeFlag);
        const std::string name = noAccessTimeFlag ? "with" : "without";
        FolderRecord& folder = Folder(name);
        std::vector<std::string> paths;
        for (const char* file : {"/a", "/b"}) {
            paths.push_back(m_files.Path(name + file));
            ASSERT_TRUE(m_files.MakeFile(name + file, kContents));
            // Long before the last change, so that even relatime would
            // update it on a read.
            const struct timespec times[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
            ASSERT_EQ(::utimensat(AT_FDCWD, paths.back().c_str(), times, 0), 0);
        }
        Search(folder);
        ASSERT_EQ(m_harness.Groups().size(), 1u);
        for (const std::string& path : paths) {
            struct stat status {};
            ASSERT_EQ(::stat(path.c_str(), &status), 0);
            EXPECT_EQ(status.st_atim.tv_sec, 1000000000) << path;
        }
        m_harness.tree.DeleteItemTree(folder.item, true);
        m_harness.table.Clear();
    }
    platform::FileReader::UseNoAccessTimeFlagForTesting(true);
}

}  // namespace
