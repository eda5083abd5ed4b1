// The duplicate search run by the worker thread against files on disk, with
// stand-ins for the sized tree, the duplicates window and the file list.
#include "engine/FindDupFileTask.h"

#include <gtest/gtest.h>

#include <condition_variable>
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
#include "platform/MessageQueue.h"
#include "support/FolderTreeFake.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

namespace {

using Mark = std::pair<std::string, platform::LParam>;
const std::string K = std::string(20000, 'c') + "end";

// The sized tree's duplicate bookkeeping (as DupGroupOwner describes it),
// the main view's handling of the search's messages, the duplicates window
// and the file list, in one.
class Harness : public platform::MessageWindow,
                public DupGroupOwner,
                public DuplicatesDisplay,
                public DupFileList {
public:
    testsupport::FolderTreeFake tree;
    DupTable table;
    std::vector<Mark> marks;
    std::vector<const DupGroup*> updated;
    std::vector<const FolderRecord*> searched;

    void Show(const FolderRecord* folder)
    {
        std::lock_guard lock(tree.DataLock());
        BeginFill(folder);
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
        if (FolderRecord* record = folder.Get()) record->ClearDuplicates(false, this);
    }
    void RemoveDupMember(DupMember& member) override
    {
        DupGroup* group = member.group;
        if (group->RemoveMemberLink(member) && group->members == nullptr) DropGroup(*group);
    }
    void DropGroup(DupGroup& group) override
    {
        {
            std::lock_guard references(tree.references);
            tree.references.Forget(&group);
        }
        table.Unlink(&group);
        delete &group;
    }
    void AddOrUpdateGroup(DupGroup& group) override { updated.push_back(&group); }
    void RemoveGroup(DupGroup&) override {}
    void RefreshGroup(DupGroup&) override {}
    void ClearAll() override {}
    void EnableLists(bool) override {}
    platform::WindowHandle DupStateWindow() const override { return Handle(); }
    void MarkFolderSearched(FolderRecord& folder) override { searched.push_back(&folder); }
};

// How many descriptors this process has open on files under folder.
int OpenUnder(const std::string& folder)
{
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        count += target.rfind(folder + "/", 0) == 0 ? 1 : 0;
    }
    return count;
}

class FindDupFileTaskTest : public ::testing::Test {
protected:
    void SetUp() override { TaskManager::Instance().SetNotifyWindow(m_harness.Handle()); }

    FolderRecord& Folder(const std::string& name)
    {
        if (FolderRecord* folder = m_harness.tree.Child(m_top, name)) return *folder;
        std::filesystem::create_directory(m_files.Path(name));
        return m_harness.tree.Add(m_top, name);
    }
    // Queues a search of folder; hook runs on the worker each time a
    // comparison looks for a cancel, onRead with each file (relative to the
    // tree) whose head is about to be read, which also goes to m_reads.
    void Start(FolderRecord& folder, std::function<void()> hook = {},
               std::function<void(const std::string&)> onRead = {})
    {
        auto task = std::make_unique<FindDupFileTask>(
            DupSearchContext{m_harness.tree, m_harness.tree.references, m_harness.table,
                             m_harness.Handle(), 0, &m_harness, &m_harness},
            folder, DirectoryPathOf(folder));
        task->SetComparisonHookForTesting(std::move(hook));
        task->SetHeadReadHookForTesting([this, onRead](const std::string& path) {
            const std::string name = path.substr(m_files.Root().size() + 1);
            if (onRead) onRead(name);
            m_reads.insert(name);
        });
        TaskManager::Instance().Add(std::move(task));
    }
    void WaitUntilDone()
    {
        ASSERT_TRUE(
            testsupport::PumpUntil([] { return TaskManager::Instance().PendingCount() == 0; }));
    }
    void Search(FolderRecord& folder, std::function<void()> hook = {},
                std::function<void(const std::string&)> onRead = {})
    {
        Start(folder, std::move(hook), std::move(onRead));
        WaitUntilDone();
    }

    // The worker waits at its atCheck-th look for a cancel in a comparison,
    // while observe runs there; then the search is cancelled, afterCancel runs
    // here, and the worker goes on. Answers how many looks there were.
    int CancelAtCheck(FolderRecord& folder, int atCheck, const std::function<void()>& observe,
                      const std::function<void()>& afterCancel)
    {
        std::mutex mutex;
        std::condition_variable changed;
        int checks = 0;
        bool cancelled = false;
        Start(folder, [&] {
            std::unique_lock lock(mutex);
            if (++checks != atCheck) return;
            observe();
            changed.notify_all();
            changed.wait(lock, [&] { return cancelled; });
        });
        EXPECT_TRUE(testsupport::PumpUntil([&] {
            std::lock_guard lock(mutex);
            return checks >= atCheck;
        }));
        TaskManager::Instance().CancelAll();
        afterCancel();
        {
            std::lock_guard lock(mutex);
            cancelled = true;
        }
        changed.notify_all();
        WaitUntilDone();
        return checks;
    }
    std::vector<const DupGroup*> Groups()
    {
        std::vector<const DupGroup*> groups;
        for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
            for (const DupGroup* group = m_harness.table.Chain(bucket); group; group = group->next)
                groups.push_back(group);
            for (const DupGroup* group = m_harness.table.PendingChain(bucket); group;
                 group = group->next) {
                EXPECT_TRUE(group->pending && group->IsSingle());
                groups.push_back(group);
            }
        }
        return groups;
    }
    // Compares the table with the recorded files' bytes, read here: the
    // members of a group have the same bytes and are distinct files; files
    // with the same bytes share as few groups as their links allow; a
    // pending group's size is no other recorded file's; each member is in
    // its folder's list. Answers the recorded files.
    std::multiset<std::string> CheckTable()
    {
        std::map<std::string, std::map<std::uint64_t, int>> linksByBytes;
        std::map<std::string, int> groupsByBytes;
        std::map<std::uint64_t, int> filesBySize;
        std::multiset<std::string> recorded;
        for (const DupGroup* group : Groups()) {
            std::set<std::string> bytesSeen;
            std::set<std::uint64_t> inodes;
            for (const DupLink* link = group->members; link != nullptr; link = link->next) {
                const DupMember& member = *link->member;
                std::ifstream in(member.FullPath(), std::ios::binary);
                const std::string bytes{std::istreambuf_iterator<char>(in), {}};
                struct stat status {};
                EXPECT_EQ(::stat(member.FullPath().c_str(), &status), 0);
                EXPECT_EQ(status.st_ino, member.inode) << member.name;
                EXPECT_TRUE(inodes.insert(member.inode).second) << "links of one file together";
                EXPECT_EQ(bytes.size(), group->size);
                EXPECT_EQ(member.group, group);
                const DupMember* listed = member.folder->duplicates;
                while (listed != nullptr && listed != &member) listed = listed->nextInFolder;
                EXPECT_EQ(listed, &member);
                bytesSeen.insert(bytes);
                ++linksByBytes[bytes][member.inode];
                ++filesBySize[group->size];
                recorded.insert(member.FullPath().substr(m_files.Root().size() + 1));
            }
            EXPECT_EQ(bytesSeen.size(), 1u) << "different files together";
            ++groupsByBytes[*bytesSeen.begin()];
        }
        for (const auto& [bytes, links] : linksByBytes) {
            int most = 0;
            for (const auto& [inode, count] : links) most = std::max(most, count);
            EXPECT_EQ(groupsByBytes[bytes], most) << "copies apart";
        }
        for (const DupGroup* group : Groups()) {
            EXPECT_TRUE(!group->pending || filesBySize[group->size] == 1);
        }
        return recorded;
    }
    // The regular, non-empty files of folders, found here.
    std::multiset<std::string> OnDisk(const std::set<std::string>& folders)
    {
        std::multiset<std::string> files;
        for (const std::string& folder : folders) {
            for (const auto& entry : std::filesystem::directory_iterator(m_files.Path(folder))) {
                if (entry.is_regular_file() && !entry.is_symlink() && entry.file_size() > 0)
                    files.insert(folder + "/" + entry.path().filename().string());
            }
        }
        return files;
    }

    TempTree m_files;
    Harness m_harness;
    FolderRecord& m_top = m_harness.tree.Add(m_harness.tree.MakeRoot(), m_files.Root());
    std::multiset<std::string> m_reads;
};

// One file to make before a search: contents, or "=path" a hard link to
// path, "->name" a symbolic link, "|" a FIFO, "-" the file removed.
struct File {
    std::string name;
    std::string contents;
};
struct Step {
    const char* folder;  // searched after its files are made
    std::vector<File> files;
    int reads;  // files whose heads the search reads; -1: not checked
};
struct Scenario {
    const char* name;
    std::vector<Step> steps;
};
void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

std::string ChangedAt(std::string bytes, std::size_t at)
{
    bytes[at] = 'd';
    return bytes;
}
const std::string kLarge((std::size_t{1} << 20) + 101, 'l');  // a size bit shared with 100

// A file is read only once a second file of its size turns up: until then
// it waits in a pending group.
const Scenario kScenarios[] = {
    {"only non-empty regular files",
     {{"one",
       {{"one/empty", ""},
        {"one/also-empty", ""},
        {"one/fifo", "|"},
        {"one/file", "x"},
        {"one/link", "->file"}},
       0}}},
    {"same head, different further on",
     {{"one", {{"one/a", K}, {"one/b", ChangedAt(K, 15000)}}, 2}}},
    {"copies across folders, searched again",
     {{"x", {{"x/a", K}}, 0},
      {"y", {{"y/copy", K}}, 2},
      {"x", {}, 1},  // replaces its member
      {"y", {{"y/copy", "-"}}, 0},
      {"x", {{"x/a", "-"}}, 0}}},
    {"pending until a second file of its size",
     {{"x", {{"x/a", K}, {"x/short", "s"}, {"x/longer", "longer"}}, 0},
      {"y", {{"y/copy", K}, {"y/other", "other!"}}, 4},
      {"z", {{"z/third", K}}, 1}}},
    {"a folder searched again drops its pending files unread",
     {{"x", {{"x/a", K}}, 0}, {"x", {}, 0}, {"x", {{"x/a", "-"}}, 0}, {"y", {{"y/b", K}}, 0}}},
    {"hard links are never copies of each other",
     {{"one", {{"one/a", K}, {"one/b", "=one/a"}, {"one/c", "=one/a"}, {"one/copy", K}}, -1}}},
    {"a hard link of a pending file is read once",
     {{"x", {{"x/a", K}, {"x/b", "=x/a"}}, 1}, {"y", {{"y/copy", K}}, 1}}},
    {"sizes sharing a bit of the size set cost a read, never a copy",
     {{"x", {{"x/a", std::string(100, 'a')}, {"x/b", std::string(100, 'a')}}, 2},
      {"y", {{"y/large", kLarge}}, 1},
      {"z", {{"z/copy", kLarge}}, 1}}},
};

class DupScenarioTest : public FindDupFileTaskTest,
                        public ::testing::WithParamInterface<Scenario> {};

TEST_P(DupScenarioTest, Plays)
{
    ASSERT_EQ(DupTable::SizeBitOf(100), DupTable::SizeBitOf(kLarge.size()));
    std::set<std::string> searched;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE(step.folder);
        FolderRecord& folder = Folder(step.folder);
        for (const auto& [name, contents] : step.files) {
            const std::string path = m_files.Path(name);
            ASSERT_TRUE(
                contents == "-"                ? ::unlink(path.c_str()) == 0
                : contents == "|"              ? m_files.MakeFifo(name)
                : contents.rfind("=", 0) == 0  ? m_files.MakeHardLink(name, contents.substr(1))
                : contents.rfind("->", 0) == 0 ? m_files.MakeSymlink(name, contents.substr(2))
                                               : m_files.MakeFile(name, contents));
        }
        m_reads.clear();
        Search(folder);
        searched.insert(step.folder);
        if (step.reads >= 0) {
            EXPECT_EQ(m_reads.size(), std::size_t(step.reads));
        }
        EXPECT_EQ(CheckTable(), OnDisk(searched));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DupScenarioTest, ::testing::ValuesIn(kScenarios));

TEST_F(FindDupFileTaskTest, MarksTheShownFolderAndAnnouncesGroupsThatGainAMember)
{
    FolderRecord& x = Folder("x");
    x.Set(FolderRecord::DupsQueued);
    ASSERT_TRUE(m_files.MakeFile("x/a", K) && m_files.MakeFile("x/b", K) &&
                m_files.MakeFile("x/short", "s"));
    m_harness.Show(&x);
    const std::uint32_t generation = m_harness.ShownFolder().generation;
    Search(x);
    EXPECT_EQ(m_harness.searched, std::vector<const FolderRecord*>{&x});
    EXPECT_TRUE(x.Has(FolderRecord::DupsKnown));
    EXPECT_FALSE(x.Has(FolderRecord::DupsQueued));
    // The pending file is marked alone, as when it was read; of the copies
    // the first alone, then the second with a copy, then the first again.
    std::vector<Mark>& marks = m_harness.marks;
    const auto pending =
        std::find(marks.begin(), marks.end(), Mark{"short", DupStateLParam(generation, true)});
    ASSERT_NE(pending, marks.end());
    marks.erase(pending);
    ASSERT_EQ(marks.size(), 3u);
    const std::string first = marks[0].first;
    const std::string second = first == "a" ? "b" : "a";
    EXPECT_EQ(marks, (std::vector<Mark>{{first, DupStateLParam(generation, true)},
                                        {second, DupStateLParam(generation, false)},
                                        {first, DupStateLParam(generation, false)}}));
    ASSERT_EQ(m_harness.updated.size(), 1u);
    EXPECT_EQ(m_harness.updated[0]->MemberCount(), 2);

    // A copy in another folder of the pending file: the shown file is
    // marked as having a copy, and the group announced.
    marks.clear();
    FolderRecord& y = Folder("y");
    ASSERT_TRUE(m_files.MakeFile("y/copy", "s"));
    Search(y);
    EXPECT_EQ(marks, (std::vector<Mark>{{"short", DupStateLParam(generation, false)}}));
    ASSERT_EQ(m_harness.updated.size(), 2u);
    EXPECT_EQ(m_harness.updated[1]->FirstMember()->name, "copy");
    // After the list fills again, the marks are stale.
    EXPECT_TRUE(m_harness.IsCurrentFill(DupStateGeneration(marks[0].second)));
    m_harness.Show(&x);
    EXPECT_FALSE(m_harness.IsCurrentFill(DupStateGeneration(marks[0].second)));
}

TEST_F(FindDupFileTaskTest, SizesBeyondThirtyTwoBitsAreKept)
{
    constexpr std::uint64_t k4G = 1ull << 32;
    FolderRecord& big = Folder("big");
    // Same head (all zeros) and size, different at 10000; and two sizes with
    // the same low 32 bits, which are no candidates.
    for (const auto& [name, size] : std::map<std::string, std::uint64_t>{
             {"big/x", k4G}, {"big/y", k4G}, {"big/small", 10}, {"big/large", k4G + 10}}) {
        ASSERT_TRUE(m_files.MakeSparseFile(name, size));
        if (size == k4G) {
            std::fstream(m_files.Path(name), std::ios::in | std::ios::out).seekp(10000)
                << name.back();
        }
    }
    int comparisons = 0;
    Search(big, [&comparisons] { ++comparisons; });
    std::multiset<std::uint64_t> sizes;
    for (const DupGroup* group : Groups()) {
        EXPECT_TRUE(group->IsSingle());
        sizes.insert(group->size);
    }
    EXPECT_EQ(sizes, (std::multiset<std::uint64_t>{10, k4G, k4G, k4G + 10}));
    EXPECT_EQ(comparisons, 1);  // x with y, which differ in the first block
}

TEST_F(FindDupFileTaskTest, PendingFileThatVanishedOrChangedBeforeBeingRead)
{
    FolderRecord& x = Folder("x");
    FolderRecord& y = Folder("y");
    ASSERT_TRUE(m_files.MakeFile("x/gone", K) && m_files.MakeFile("x/grows", "1234"));
    Search(x);
    // The pending file is gone when a second file of its size turns up: it
    // leaves the table unread. A file that grows between the listing and its
    // reading is left out; the pending file of its size is read all the same.
    ASSERT_EQ(::unlink(m_files.Path("x/gone").c_str()), 0);
    ASSERT_TRUE(m_files.MakeFile("y/copy", K) && m_files.MakeFile("y/grows", "5678"));
    Search(y, {}, [this](const std::string& name) {
        if (name == "y/grows") std::ofstream(m_files.Path(name), std::ios::app) << "9";
    });
    EXPECT_EQ(CheckTable(), (std::multiset<std::string>{"x/grows", "y/copy"}));
    EXPECT_TRUE(m_harness.updated.empty());
    for (const DupGroup* group : Groups()) EXPECT_FALSE(group->pending);
    // The file read in place of the vanished one was filed by its head.
    FolderRecord& z = Folder("z");
    ASSERT_TRUE(m_files.MakeFile("z/again", K));
    Search(z);
    EXPECT_EQ(m_harness.updated.size(), 1u);
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

private:
    std::vector<gid_t> m_groups;
    bool m_switched = false;
};

// The report lists groups of copies only: a pending file of a size of its
// own that cannot be opened is not recorded.
TEST_F(FindDupFileTaskTest, FileThatCannotBeOpenedIsNotRecorded)
{
    FolderRecord& folder = Folder("one");
    ASSERT_TRUE(m_files.MakeFile("one/locked", "locked") && m_files.MakeFile("one/open", "open"));
    ASSERT_EQ(::chmod(m_files.Path("one/locked").c_str(), 0), 0);
    const testsupport::AsUnprivileged others(m_files.Path("one"));
    const AsNobody nobody;
    if (!others.Usable() || ::geteuid() == 0) GTEST_SKIP() << "cannot act as nobody";
    Search(folder);
    EXPECT_EQ(CheckTable(), std::multiset<std::string>{"one/open"});
}

TEST_F(FindDupFileTaskTest, CancellingStopsALongComparisonAndClosesTheFiles)
{
    FolderRecord& folder = Folder("long");
    ASSERT_TRUE(m_files.MakeSparseFile("long/a", 256ull << 20) &&
                m_files.MakeSparseFile("long/b", 256ull << 20));
    // The worker stops after the first block, and the test empties the
    // table as a reset does.
    int openWhileComparing = 0;
    const int checks = CancelAtCheck(
        folder, 2, [&] { openWhileComparing = OpenUnder(m_files.Path("long")); },
        [&] {
            std::lock_guard lock(m_harness.tree.DataLock());
            m_harness.tree.references.ForgetAll<DupGroup>();
            folder.ClearDuplicates(true, nullptr);
            m_harness.table.Clear();
        });
    EXPECT_EQ(checks, 2);  // the look after the first block saw the cancel
    EXPECT_EQ(openWhileComparing, 2);
    EXPECT_EQ(OpenUnder(m_files.Path("long")), 0);
    // The cancelled search files nothing more, and delivers nothing.
    EXPECT_TRUE(Groups().empty());
    EXPECT_EQ(folder.duplicates, nullptr);
    EXPECT_FALSE(folder.Has(FolderRecord::DupsKnown));
    EXPECT_TRUE(m_harness.searched.empty());
}

// The next files to be read are opened ahead, at most sixteen, and their
// heads asked for; a cancelled search closes them all. Read ahead or not,
// every file whose size another file has is read once.
TEST_F(FindDupFileTaskTest, FilesOpenedAheadAreReadOnceAndClosedWhenCancelled)
{
    FolderRecord& many = Folder("many");
    for (int i = 0; i < 40; ++i) {
        // Sizes 1 to 4 twice each among the first 8, then sizes of their own.
        const int size = i < 8 ? 1 + i % 4 : i;
        ASSERT_TRUE(m_files.MakeFile("many/f" + std::to_string(i), std::string(size, 'm')));
    }
    Search(many);
    EXPECT_EQ(m_reads.size(), 8u);
    EXPECT_EQ(CheckTable(), OnDisk({"many"}));

    FolderRecord& copies = Folder("copies");
    for (int i = 0; i < 24; ++i) {
        ASSERT_TRUE(m_files.MakeFile("copies/f" + std::to_string(i), K));
    }
    int openAhead = 0;
    CancelAtCheck(
        copies, 1, [&] { openAhead = OpenUnder(m_files.Path("copies")); }, [] {});
    // The two being compared and the next files of the listing.
    EXPECT_GE(openAhead, 2 + 8);
    EXPECT_LE(openAhead, 2 + 16);
    EXPECT_EQ(OpenUnder(m_files.Path("copies")), 0);
    EXPECT_EQ(copies.duplicates->nextInFolder, nullptr);  // the one filed before the cancel
}

TEST_F(FindDupFileTaskTest, LastAccessTimesStayAsTheyWere)
{
    // Long before the last change, so that even relatime would update it.
    const struct timespec times[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
    FolderRecord& folder = Folder("one");
    for (const char* name : {"one/a", "one/b"}) {
        ASSERT_TRUE(m_files.MakeFile(name, K));
        ASSERT_EQ(::utimensat(AT_FDCWD, m_files.Path(name).c_str(), times, 0), 0);
    }
    Search(folder);
    ASSERT_EQ(Groups().size(), 1u);
    for (const char* name : {"one/a", "one/b"}) {
        struct stat status {};
        ASSERT_EQ(::stat(m_files.Path(name).c_str(), &status), 0);
        EXPECT_EQ(status.st_atim.tv_sec, 1000000000) << name;
    }
}

}  // namespace
