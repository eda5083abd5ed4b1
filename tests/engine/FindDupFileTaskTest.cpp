// Duplicate groups, their table, file comparison, and the search on the worker thread.
#include "engine/FindDupFileTask.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <ranges>
#include <set>
#include <sstream>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/DupFileList.h"
#include "engine/DupGroupOwner.h"
#include "engine/DupTable.h"
#include "engine/FileComparison.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "support/FolderTreeFake.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

namespace {

using Mark = std::pair<std::string, platform::LParam>;
const std::string K = std::string(20000, 'c') + "end";

// The sized tree's duplicate bookkeeping, main view, duplicates window and file list.
class Harness : public platform::MessageWindow,
                public DupGroupOwner,
                public DuplicatesDisplay,
                public DupFileList {
public:
    std::unique_ptr<Task> finished;
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
        while (message == UM_TASK_DONE && (finished = TaskManager::Instance().TakeFinished()))
            finished->Deliver();
        if (message == UM_CLEAR_FOLDER_DUPS)
            ClearFolderDuplicates(*reinterpret_cast<const FolderRecordRef*>(wParam));
        if (message == UM_FILE_DUP_STATE)
            marks.emplace_back(*reinterpret_cast<const std::string*>(wParam), lParam);
        return 0;
    }
    void ClearFolderDuplicates(const FolderRecordRef& folder) override
    {
        std::lock_guard lock(tree.DataLock());
        if (FolderRecord* record = folder.Get()) record->ClearDuplicates(false, this);
    }
    void RemoveDupMember(DupMember& member) override
    {
        if (member.IsPending()) {
            table.UnlinkPending(&member);
            return;
        }
        DupGroup* group = member.group;
        if (group->RemoveMember(member) && group->IsEmpty()) DropGroup(*group);
    }
    void DropGroup(DupGroup& group) override
    {
        std::unique_lock references(tree.references);
        tree.references.Forget(&group);
        references.unlock();
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
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        count += std::filesystem::read_symlink(fd.path(), error).string().starts_with(folder + "/");
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
    // hook: on the worker at each cancel check of a comparison; onRead and m_reads: each head read.
    void Search(FolderRecord& folder, std::function<void(Task&)> hook = {},
                std::function<void(const std::string&)> onRead = {},
                std::shared_ptr<FolderListing> listing = nullptr)
    {
        auto task = std::make_unique<FindDupFileTask>(
            DupSearchContext{m_harness.tree, m_harness.tree.references, m_harness.table,
                             m_harness.Handle(), &m_harness, &m_harness},
            folder, DirectoryPathOf(folder), std::move(listing));
        if (hook) task->SetComparisonHookForTesting([hook, &task = *task] { hook(task); });
        task->SetHeadReadHookForTesting([this, onRead](const std::string& path) {
            if (onRead) onRead(path.substr(m_files.Root().size() + 1));
            m_reads.insert(path.substr(m_files.Root().size() + 1));
        });
        TaskManager::Instance().Add(std::move(task));
        ASSERT_TRUE(
            testsupport::PumpUntil([] { return TaskManager::Instance().PendingCount() == 0; }));
    }
    std::vector<const DupGroup*> Groups()
    {
        std::vector<const DupGroup*> groups;
        for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket)
            for (auto* group = m_harness.table.Chain(bucket); group; group = group->next)
                groups.push_back(group);
        return groups;
    }
    std::vector<const DupMember*> PendingMembers()
    {
        std::vector<const DupMember*> pending;
        for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket)
            for (auto* member = m_harness.table.PendingChain(bucket); member;
                 member = member->waiting.next)
                pending.push_back(member);
        return pending;
    }
    static bool InItsFolder(const DupMember& member)
    {
        const DupMember* listed = member.folder->duplicates;
        while (listed != nullptr && listed != &member) listed = listed->nextInFolder;
        return listed == &member;
    }
    // Checks the table against the recorded files' bytes, read here; answers the recorded files.
    std::multiset<std::string> CheckTable()
    {
        std::map<std::string, std::map<std::uint64_t, int>> linksByBytes;
        std::map<std::string, int> groupsByBytes;
        std::map<std::uint64_t, int> filesBySize;
        std::multiset<std::string> recorded;
        for (const DupGroup* group : Groups()) {
            std::set<std::string> bytesSeen;
            std::set<std::uint64_t> inodes;
            for (const DupMember* copy : group->Members()) {
                const DupMember& member = *copy;
                std::ifstream in(member.FullPath(), std::ios::binary);
                const std::string bytes{std::istreambuf_iterator<char>(in), {}};
                EXPECT_TRUE(inodes.insert(member.identity.inode).second)
                    << "links of one file together";
                EXPECT_EQ(bytes.size(), group->size);
                EXPECT_TRUE(InItsFolder(member) && member.group == group && !member.IsPending());
                bytesSeen.insert(bytes);
                ++linksByBytes[bytes][member.identity.inode];
                ++filesBySize[group->size];
                recorded.insert(member.FullPath().substr(m_files.Root().size() + 1));
            }
            EXPECT_EQ(bytesSeen.size(), 1u) << "different files together";
            ++groupsByBytes[*bytesSeen.begin()];
        }
        for (const auto& [bytes, links] : linksByBytes)
            EXPECT_EQ(groupsByBytes[bytes], std::ranges::max(links | std::views::values))
                << "copies apart";
        // A pending file is the only one of its size, in no group.
        for (const DupMember* member : PendingMembers()) {
            const std::uint64_t size = member->waiting.size;
            EXPECT_EQ(std::filesystem::file_size(member->FullPath()), size);
            EXPECT_TRUE(InItsFolder(*member) && member->IsPending() && member->group == nullptr);
            EXPECT_EQ(++filesBySize[size], 1) << member->FullPath();
            EXPECT_EQ(m_harness.table.PendingOfSize(size), member);
            recorded.insert(member->FullPath().substr(m_files.Root().size() + 1));
        }
        return recorded;
    }
    // The regular, non-empty files of folders, found here.
    std::multiset<std::string> OnDisk(const std::set<std::string>& folders)
    {
        std::vector<testsupport::FoundFile> found;
        testsupport::FolderTotalsOnDisk(m_files.Root(), nullptr, &found);
        std::multiset<std::string> files;
        for (const auto& file : found)
            if (folders.count(file.relative.substr(0, file.relative.find('/'))))
                files.insert(file.relative);
        return files;
    }

    TempTree m_files;
    Harness m_harness;
    FolderRecord& m_top = m_harness.tree.Add(m_harness.tree.MakeRoot(), m_files.Root());
    std::multiset<std::string> m_reads;
};

// Stories in tokens: "path=bytes" makes a file ("K": 20003 bytes, "K'": the same but one byte,
// "L": large, its size sharing a bit of the size set with 100, "100a": a hundred "a"s), "=@other"
// a hard link; "path-" removes; "folder:n" searches, reading n heads ("?": any number), and
// checks the table against the files.
const struct Scenario {
    const char* name;
    std::string story;
} kScenarios[] = {
    {"SameHeadDifferentFurtherOn", "one/a=K one/b=K' one:2"},
    {"CopiesAcrossFoldersSearchedAgain", "x/a=K x:0 y/copy=K y:2 x:1 y/copy- y:0 x/a- x:0"},
    {"AFileIsReadOnceASecondOfItsSizeTurnsUp",
     "x/a=K x/short=s x/longer=longer x:0 y/copy=K y/other=other! y:4 z/third=K z:1"},
    {"SearchingAgainDropsPendingFilesUnread", "x/a=K x:0 x:0 x/a- x:0 y/b=K y:0"},
    {"AHardLinkOfAPendingFileIsReadOnce", "x/a=K x/b=@x/a x:1 y/copy=K y:1"},
    {"SizesSharingABitCostAReadNeverACopy", "x/a=100a x/b=100a x:2 y/l=L y:1 z/l=L z:1"},
    // The file read in place of the vanished one is filed by its head.
    {"APendingFileThatVanishedLeavesTheTable", "x/gone=K x:0 x/gone- y/copy=K y:? z/again=K z:1"},
    // Read ahead or not, a file is read once: sizes 1 to 4 twice each, then sizes of their own.
    {"FilesOpenedAheadAreReadOnce",
     [] {
         std::string story;
         for (int i = 0; i < 40; ++i)
             story +=
                 "many/f" + std::to_string(i) + "=" + std::to_string(i < 8 ? 1 + i % 4 : i) + "m ";
         return story + "many:8";
     }()},
};

class DupScenarioTest : public FindDupFileTaskTest,
                        public ::testing::WithParamInterface<Scenario> {};

TEST_P(DupScenarioTest, Plays)
{
    const std::string large((std::size_t{1} << 20) + 101, 'l');
    ASSERT_EQ(DupTable::SizeBitOf(100), DupTable::SizeBitOf(large.size()));
    const std::string changed = K.substr(0, 15000) + 'd' + K.substr(15001);
    std::set<std::string> searched;
    std::istringstream story(GetParam().story);
    for (std::string token; story >> token;) {
        SCOPED_TRACE(token);
        const std::size_t colon = token.find(':'), equals = token.find('=');
        const std::string name = token.substr(0, equals),
                          bytes = equals == std::string::npos ? "" : token.substr(equals + 1);
        if (colon != std::string::npos) {
            const std::string folder = token.substr(0, colon);
            m_reads.clear();
            Search(Folder(folder));
            searched.insert(folder);
            const bool any = token[colon + 1] == '?';
            EXPECT_EQ(m_reads.size(), any ? m_reads.size() : std::stoul(token.substr(colon + 1)));
            EXPECT_EQ(CheckTable(), OnDisk(searched));
        } else if (token.back() == '-') {
            ASSERT_EQ(::unlink(m_files.Path(token.substr(0, token.size() - 1)).c_str()), 0);
        } else {
            Folder(name.substr(0, name.find('/')));
            ASSERT_TRUE(bytes[0] == '@' ? m_files.MakeHardLink(name, bytes.substr(1))
                        : bytes == "K"  ? m_files.MakeFile(name, K)
                        : bytes == "K'" ? m_files.MakeFile(name, changed)
                        : bytes == "L"  ? m_files.MakeFile(name, large)
                        : std::isdigit(bytes[0])
                            ? m_files.MakeFile(name, std::string(std::stoul(bytes), bytes.back()))
                            : m_files.MakeFile(name, bytes));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DupScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FindDupFileTaskTest, MarksTheShownFolderAndAnnouncesGroupsThatGainAMember)
{
    FolderRecord &x = Folder("x"), &y = Folder("y");
    x.Set(FolderRecord::DupsQueued);
    ASSERT_TRUE(m_files.MakeFile("x/a", K) && m_files.MakeFile("x/b", K) &&
                m_files.MakeFile("x/short", "s"));
    m_harness.Show(&x);
    const std::uint32_t generation = m_harness.ShownFolder().generation;
    Search(x);
    EXPECT_TRUE(m_harness.searched == std::vector<const FolderRecord*>{&x} &&
                x.Has(FolderRecord::DupsKnown) && !x.Has(FolderRecord::DupsQueued));
    // The pending file is marked alone, as when it was read; of the copies
    // the first alone, then the second with a copy, then the first again.
    std::vector<Mark>& marks = m_harness.marks;
    const auto pending =
        std::find(marks.begin(), marks.end(), Mark{"short", DupStateLParam(generation, true)});
    ASSERT_NE(pending, marks.end());
    marks.erase(pending);
    ASSERT_EQ(marks.size(), 3u);
    const std::string first = marks[0].first, second = first == "a" ? "b" : "a";
    EXPECT_EQ(marks, (std::vector<Mark>{{first, DupStateLParam(generation, true)},
                                        {second, DupStateLParam(generation, false)},
                                        {first, DupStateLParam(generation, false)}}));
    ASSERT_EQ(m_harness.updated.size(), 1u);
    EXPECT_EQ(m_harness.updated[0]->MemberCount(), 2);

    // A copy of the pending file elsewhere; then the list fills again.
    marks.clear();
    ASSERT_TRUE(m_files.MakeFile("y/copy", "s"));
    Search(y);
    EXPECT_EQ(marks, (std::vector<Mark>{{"short", DupStateLParam(generation, false)}}));
    EXPECT_EQ(m_harness.updated.back()->FirstMember()->Name(), "copy");
    EXPECT_TRUE(m_harness.IsCurrentFill(DupStateGeneration(marks[0].second)));
    m_harness.Show(&x);
    EXPECT_FALSE(m_harness.IsCurrentFill(DupStateGeneration(marks[0].second)));
}

// x, y: same size and head, differing at 10000; two sizes equal in their low 32 bits are no pair.
TEST_F(FindDupFileTaskTest, SizesBeyondThirtyTwoBitsAreKept)
{
    constexpr std::uint64_t k4G = 1ull << 32;
    FolderRecord& big = Folder("big");
    for (const auto& [name, size] : std::map<std::string, std::uint64_t>{
             {"big/x", k4G}, {"big/y", k4G}, {"big/small", 10}, {"big/large", k4G + 10}}) {
        ASSERT_TRUE(m_files.MakeSparseFile(name, size));
        if (size == k4G) std::fstream(m_files.Path(name)).seekp(10000) << name.back();
    }
    int comparisons = 0;
    Search(big, [&comparisons](Task&) { ++comparisons; });
    std::multiset<std::uint64_t> sizes;
    for (const DupGroup* group : Groups()) sizes.insert(group->IsSingle() ? group->size : 0);
    for (const DupMember* member : PendingMembers()) sizes.insert(member->waiting.size);
    EXPECT_EQ(sizes, (std::multiset<std::uint64_t>{10, k4G, k4G, k4G + 10}));
    EXPECT_EQ(comparisons, 1);  // x with y, which differ in the first block
}

// While it lives, every thread of a root process acts as nobody (root needs no groups back).
struct AsNobody {
    const bool switched = ::geteuid() == 0 && ::setgroups(0, nullptr) == 0 &&
                          ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    ~AsNobody()
    {
        if (switched && (::seteuid(0) != 0 || ::setegid(0) != 0)) std::abort();
    }
};

// A file that grows before its head is read, or that cannot be opened, is not recorded.
// The pending file's folder is searched again (its members cleared) while the heads are read.
TEST_F(FindDupFileTaskTest, APendingFileClearedDuringTheReadIsNotFiled)
{
    FolderRecord &x = Folder("x"), &y = Folder("y");
    ASSERT_TRUE(m_files.MakeFile("x/a", K) && m_files.MakeFile("y/copy", K));
    Search(x);
    Search(y, {}, [&](const std::string& name) {
        if (name == "y/copy")
            m_harness.ClearFolderDuplicates(FolderRecordRef(m_harness.tree.references, &x));
    });
    EXPECT_EQ(CheckTable(), std::multiset<std::string>{"y/copy"});
    EXPECT_TRUE(x.duplicates == nullptr && PendingMembers().empty());
}

TEST_F(FindDupFileTaskTest, FilesThatGrowOrCannotBeOpenedAreLeftOut)
{
    FolderRecord &x = Folder("x"), &y = Folder("y"), &one = Folder("one");
    ASSERT_TRUE(m_files.MakeFile("x/grows", "1234"));
    Search(x);
    ASSERT_TRUE(m_files.MakeFile("y/grows", "5678"));
    Search(y, {}, [this](const std::string& name) {
        if (name == "y/grows") std::ofstream(m_files.Path(name), std::ios::app) << "9";
    });
    EXPECT_EQ(CheckTable(), std::multiset<std::string>{"x/grows"});
    EXPECT_TRUE(PendingMembers().empty());

    ASSERT_TRUE(m_files.MakeFile("one/locked", "locked!") &&
                m_files.MakeFile("one/open", "opened"));
    ASSERT_EQ(::chmod(m_files.Path("one/locked").c_str(), 0), 0);
    const testsupport::AsUnprivileged others(m_files.Path("one"));
    const AsNobody nobody;
    if (!others.Usable() || ::geteuid() == 0) GTEST_SKIP() << "cannot act as nobody";
    Search(one);
    EXPECT_EQ(CheckTable(), (std::multiset<std::string>{"one/open", "x/grows"}));
}

// A shared listing files what the task's own would, filled or not; a type-only one, or one of a
// folder since moved, is not used.
TEST_F(FindDupFileTaskTest, ASharedListingFilesWhatTheTasksOwnWould)
{
    struct Reader : Task {
        void Run() override {}
        const char* GetName() const override { return "Reader"; }
    } reader;
    std::set<std::string> searched;
    for (const int row : {0, 1, 2, 3}) {  // unfilled, filled, type-only, of a moved folder
        SCOPED_TRACE(row);
        const std::string x = *searched.insert("x" + std::to_string(row)).first;
        FolderRecord& folder = Folder(x);
        ASSERT_TRUE(m_files.MakeFile(x + "/a", K) && m_files.MakeFile(x + "/b", K) &&
                    m_files.MakeHardLink(x + "/c", x + "/a") && m_files.MakeFile(x + "/e", "") &&
                    m_files.MakeFile(x + "/s", "s") && m_files.MakeSymlink(x + "/l", "a") &&
                    m_files.MakeFifo(x + "/f"));
        auto listing = std::make_shared<FolderListing>(
            DirectoryPathOf(folder),
            row == 2 ? platform::SearchDetail::TypeOnly : platform::SearchDetail::Full);
        ASSERT_TRUE(row == 0 || listing->Fill(reader));
        if (row == 3) {
            ASSERT_EQ(::rename(m_files.Path(x).c_str(), m_files.Path("moved").c_str()), 0);
            ASSERT_TRUE(::mkdir(m_files.Path(x).c_str(), 0700) == 0 &&
                        m_files.MakeFile(x + "/new", K) && m_files.MakeFile(x + "/t", "t"));
        }
        Search(folder, {}, {}, listing);
        EXPECT_EQ(CheckTable(), OnDisk(searched));
    }
}

// Files are opened ahead, at most sixteen; a cancel closes them all and files nothing.
TEST_F(FindDupFileTaskTest, CancellingStopsALongComparisonAndClosesTheFiles)
{
    FolderRecord& folder = Folder("long");
    for (int i = 0; i < 24; ++i)
        ASSERT_TRUE(m_files.MakeSparseFile("long/f" + std::to_string(i), 256ull << 20));
    int checks = 0, openWhileComparing = 0;
    Search(folder, [&](Task& task) {
        if (++checks != 2) return;
        openWhileComparing = OpenUnder(m_files.Path("long"));
        task.SetState(TaskState::Cancelling);  // as TaskManager::CancelAll does
        std::lock_guard lock(m_harness.tree.DataLock());
        m_harness.tree.references.ForgetAll<DupGroup>();
        folder.ClearDuplicates(true, nullptr);
        m_harness.table.Clear();
    });
    EXPECT_EQ(checks, 2);
    // The two being compared and the next files of the listing.
    EXPECT_TRUE(openWhileComparing >= 2 + 8 && openWhileComparing <= 2 + 16) << openWhileComparing;
    EXPECT_EQ(OpenUnder(m_files.Path("long")), 0);
    EXPECT_TRUE(Groups().empty() && folder.duplicates == nullptr && m_harness.searched.empty());
    EXPECT_FALSE(folder.Has(FolderRecord::DupsKnown));
}

TEST(DupMember, KeepsNamesOfEveryLengthBesideItsFields)
{
    // Around the record's tail padding, the longest Linux name, and past the cap.
    for (const std::size_t length : {0, 1, 6, 7, 8, 255, 70000}) {
        std::string name(length, '\0');
        for (std::size_t i = 0; i < length; ++i) name[i] = static_cast<char>(i % 251 + 1);
        const std::unique_ptr<DupMember> member(DupMember::Make(name));
        member->Wait(~0ULL);
        EXPECT_TRUE(member->IsPending());
        member->SetIdentity(~0ULL, ~0ULL);
        EXPECT_EQ(member->Name(), std::string_view(name).substr(0, DupMember::kMaxNameLength));
        EXPECT_FALSE(member->IsPending());
    }
}

TEST(DupTable, GroupsKeepNameOrderChainsAndPendingGroupsTheWholeSize)
{
    testsupport::FolderTreeFake tree;
    FolderRecord &root = tree.MakeRoot(), &top = tree.Add(root, "/top"),
                 &inner = tree.Add(top, "inner");
    std::vector<std::unique_ptr<DupMember>> members;
    DupGroup group(0, 1);
    const auto add = [&](FolderRecord& folder, const char* name) -> DupMember& {
        members.emplace_back(DupMember::Make(name));
        members.back()->folder = &folder;
        group.InsertMember(members.back().get());
        return *members.back();
    };
    DupMember& x = add(inner, "x");
    EXPECT_TRUE(group.IsSingle() && !group.HasMemberOutside(inner));
    // The only member leaves and comes back.
    EXPECT_TRUE(group.RemoveMember(x) && group.IsEmpty() && !group.RemoveMember(x));
    group.InsertMember(&x);
    add(top, "C");
    DupMember& firstB = add(top, "b");
    add(top, "a");
    add(inner, "B").identity.inode = 9;  // before the equal name
    std::string names;
    for (const DupMember* member : group.Members()) names += member->Name();
    EXPECT_EQ(names, "aBbCx");
    EXPECT_TRUE(group.HasMemberOutside(inner) && !group.HasMemberOutside(top));
    add(tree.Add(root, "/other"), "z");
    EXPECT_TRUE(group.HasMemberOutside(top));
    // Identity is looked for in every member, not only the first.
    EXPECT_TRUE(group.HoldsFile(0, 9) && !group.HoldsFile(0, 8));
    EXPECT_TRUE(group.RemoveMember(firstB) && !group.RemoveMember(firstB));
    while (group.MemberCount() > 1) group.RemoveMember(*group.FirstMember());
    EXPECT_TRUE(group.IsSingle() && group.FirstMember()->Name() == "z");
    EXPECT_TRUE(group.RemoveMember(*group.FirstMember()) && group.IsEmpty());

    // The table: chains in order of arrival, the low 16 bits of the size choosing the bucket;
    // a size stays marked until Clear; pending members apart, each found by its whole size.
    constexpr std::uint64_t k4G = 1ull << 32;
    DupTable table;
    DupGroup* chain[] = {new DupGroup(7, 5), new DupGroup(7, k4G + 5), new DupGroup(7, 5)};
    for (DupGroup* chained : chain) table.Append(chained);
    EXPECT_EQ(table.Chain(DupTable::BucketOf(7, 5)), chain[0]);
    EXPECT_TRUE(chain[0]->next == chain[1] && chain[1]->next == chain[2]);
    EXPECT_TRUE(table.Unlink(chain[1]) && !table.Unlink(chain[1]) && chain[0]->next == chain[2]);
    EXPECT_TRUE(table.MayHoldSize(k4G + 5));
    delete chain[1];
    const std::unique_ptr<DupMember> small(DupMember::Make("s")), large(DupMember::Make("l"));
    small->Wait(10);
    large->Wait(k4G + 10);
    for (DupMember* apart : {small.get(), large.get()}) table.AppendPending(apart);
    EXPECT_TRUE(table.PendingOfSize(10) == small.get() &&
                table.PendingOfSize(k4G + 10) == large.get());
    EXPECT_TRUE(table.UnlinkPending(small.get()) && !table.UnlinkPending(small.get()));
    EXPECT_TRUE(table.PendingOfSize(10) == nullptr && table.PendingOfSize(k4G + 10) == large.get());
    table.Clear();
    EXPECT_EQ(table.PendingOfSize(k4G + 10), nullptr);
    EXPECT_FALSE(table.MayHoldSize(5) || table.MayHoldSize(k4G + 5));
}

TEST(FileComparison, HashesTheHeadByteAtATimeAndComparesWholeFiles)
{
    std::mt19937 random(2026);
    // Each start, alignment (eight spare bytes) and count up to the head, against a hash made here.
    std::vector<unsigned char> bytes(kHeadHashBytes + 8);
    for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(random());
    for (const std::uint32_t start : {0u, 1u, 0x80000001u, 0xFFFFFFFFu}) {
        for (std::size_t offset = 0; offset < 8; ++offset) {
            std::uint32_t hash = start;
            for (std::size_t count = 0; count <= kHeadHashBytes; ++count) {
                if (count < 18 || count == 100 || count == kHeadHashBytes) {
                    ASSERT_EQ(HashBytes(start, bytes.data() + offset, count), hash)
                        << "start " << start << ", offset " << offset << ", count " << count;
                }
                hash ^= bytes[offset + count] ^ (hash << 11) ^ (hash >> 17);
            }
        }
    }
    // The head hash reads the head only; SameContents compares whole files.
    TempTree files;
    const std::string head(kHeadHashBytes, 'h'), blocks(3 * kCompareBlockBytes, 's');
    ASSERT_TRUE(files.MakeFile("ha", head + "a") && files.MakeFile("hb", head + "b") &&
                files.MakeFile("a", blocks) && files.MakeFile("b", blocks) &&
                files.MakeFile("late", blocks.substr(1) + "t"));
    const auto a = HeadHash(files.Path("ha")), b = HeadHash(files.Path("hb"));
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->hash == b->hash && a->size == kHeadHashBytes + 1);
    EXPECT_FALSE(HeadHash(files.Path("missing")));
    const auto never = [] { return false; };
    EXPECT_TRUE(SameContents(files.Path("a"), files.Path("b"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("b"), [] { return true; }));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("late"), never));
    EXPECT_FALSE(SameContents(files.Path("a"), files.Path("missing"), never));
}

}  // namespace
