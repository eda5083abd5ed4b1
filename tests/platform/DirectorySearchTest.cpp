#include "platform/DirectorySearch.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TempTree.h"

using platform::DirectorySearch;
using platform::FindData;
using platform::SearchDetail;

namespace {

// Every entry of a search by name; a name given twice fails the test.
std::map<std::string, FindData> Search(const std::string& pattern,
                                       SearchDetail detail = SearchDetail::Full)
{
    std::map<std::string, FindData> entries;
    DirectorySearch search;
    FindData entry;
    for (bool more = search.Start(pattern, entry, detail); more; more = search.Next(entry)) {
        EXPECT_TRUE(entries.emplace(entry.name, entry).second) << "twice: " << entry.name;
    }
    EXPECT_EQ(search.LastError(), 0) << pattern;
    return entries;
}

std::set<std::string> Names(const std::map<std::string, FindData>& entries)
{
    std::set<std::string> names;
    for (const auto& [name, entry] : entries) {
        names.insert(name);
    }
    return names;
}

std::set<std::string> Directories(const std::map<std::string, FindData>& entries)
{
    std::set<std::string> names;
    for (const auto& [name, entry] : entries) {
        if (entry.IsDirectory()) {
            names.insert(name);
        }
    }
    return names;
}

struct stat LinkStatus(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

// A folder with one entry of every kind that the scan meets.
class DirectorySearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tree.IsValid());
        ASSERT_TRUE(m_tree.MakeFile("plain", "hello"));
        ASSERT_TRUE(m_tree.MakeFile("empty"));
        ASSERT_TRUE(m_tree.MakeDir("sub"));
        ASSERT_TRUE(m_tree.MakeFile("sub/inner", "x"));
        ASSERT_TRUE(m_tree.MakeSymlink("to-sub", "sub"));
        ASSERT_TRUE(m_tree.MakeSymlink("loop", "loop"));
        ASSERT_TRUE(m_tree.MakeSymlink("broken", "nowhere"));
        ASSERT_TRUE(m_tree.MakeFifo("fifo")) << std::strerror(errno);
        ASSERT_TRUE(m_tree.MakeSocket("socket")) << std::strerror(errno);
    }

    std::string Listing() const { return m_tree.Root() + "/*"; }

    TempTree m_tree;
};

TEST_F(DirectorySearchTest, ListsEveryEntryOnceAndFollowsNoLink)
{
    ASSERT_TRUE(m_tree.MakeHardLink("plain-again", "plain"));
    const auto entries = Search(Listing());
    EXPECT_EQ(Names(entries),
              (std::set<std::string>{".", "..", "plain", "plain-again", "empty", "sub", "to-sub",
                                     "loop", "broken", "fifo", "socket"}));
    EXPECT_EQ(Directories(entries), (std::set<std::string>{".", "..", "sub"}));

    // Each entry describes itself, a link included (lstat, not stat).
    for (const auto& [name, entry] : entries) {
        const struct stat status = LinkStatus(m_tree.Path(name));
        EXPECT_EQ(entry.isRegularFile, S_ISREG(status.st_mode)) << name;
        EXPECT_EQ(entry.Size(), static_cast<std::uint64_t>(status.st_size)) << name;
        EXPECT_EQ(entry.occupiedBytes, static_cast<std::uint64_t>(status.st_blocks) * 512) << name;
        EXPECT_EQ(entry.device, status.st_dev) << name;
        EXPECT_EQ(entry.inode, status.st_ino) << name;
    }
    EXPECT_EQ(entries.at("plain-again").inode, entries.at("plain").inode);

    // Type only: the same entries and directories, and nothing else filled.
    const auto typeOnly = Search(Listing(), SearchDetail::TypeOnly);
    EXPECT_EQ(Names(typeOnly), Names(entries));
    EXPECT_EQ(Directories(typeOnly), Directories(entries));
    EXPECT_EQ(typeOnly.at("plain").Size(), 0u);
    EXPECT_EQ(typeOnly.at("plain").attributes, 0u);
}

TEST_F(DirectorySearchTest, LiteralPathYieldsItsOwnEntryOnly)
{
    struct Case {
        std::string pattern;
        std::string name;
        bool directory;
    };
    const std::vector<Case> cases = {
        {m_tree.Path("plain"), "plain", false},    {m_tree.Path("sub"), "sub", true},
        {m_tree.Path("sub/"), "sub", true},        {m_tree.Path("to-sub"), "to-sub", false},
        {m_tree.Path("to-sub/"), "to-sub", false}, {m_tree.Path("broken"), "broken", false},
        {m_tree.Path("fifo"), "fifo", false},      {"/", "/", true},
    };
    for (const Case& c : cases) {
        for (const SearchDetail detail : {SearchDetail::Full, SearchDetail::TypeOnly}) {
            const auto entries = Search(c.pattern, detail);
            ASSERT_EQ(entries.size(), 1u) << c.pattern;
            EXPECT_EQ(entries.begin()->first, c.name) << c.pattern;
            EXPECT_EQ(entries.begin()->second.IsDirectory(), c.directory) << c.pattern;
        }
    }
    EXPECT_EQ(Search(m_tree.Path("plain")).at("plain").Size(), 5u);
}

// Names are bytes: wildcard characters, newlines and bytes that are not UTF-8
// are neither interpreted nor changed.
TEST_F(DirectorySearchTest, NamesAreLiteralBytes)
{
    std::vector<std::string> names = {"a*b", "c?d", "[x]", "first\nsecond"};
    for (const char* name : {"a*b", "a-b", "c?d", "cXd", "[x]", "x", "first\nsecond"}) {
        ASSERT_TRUE(m_tree.MakeFile(name, name));
    }
    const std::string latin1 = "caf\xe9-\xff\xfe";
    if (m_tree.MakeFile(latin1, latin1)) {  // some file systems refuse names that are not UTF-8
        names.push_back(latin1);
    }
    const auto listed = Search(Listing());
    for (const std::string& name : names) {
        ASSERT_EQ(listed.count(name), 1u) << name;
        EXPECT_EQ(listed.at(name).Size(), name.size()) << name;
        EXPECT_EQ(Names(Search(m_tree.Path(name))), std::set<std::string>{name});
    }
    DirectorySearch search;
    FindData entry;
    EXPECT_FALSE(search.Start(m_tree.Path("a?b"), entry));
    EXPECT_EQ(search.LastError(), ENOENT);
}

TEST_F(DirectorySearchTest, SparseFilesAreMarkedCompressedAndSizesKeepAllBits)
{
    constexpr std::uint64_t kHuge = (std::uint64_t{5} << 30) + 123;  // 5 GiB and a bit
    ASSERT_TRUE(m_tree.MakeSparseFile("sparse", std::uint64_t{1} << 30));
    ASSERT_TRUE(m_tree.MakeSparseFile("huge", kHuge));
    ASSERT_TRUE(m_tree.MakeFile("dense", std::string(10000, 'd')));
    const auto entries = Search(Listing());

    const FindData& sparse = entries.at("sparse");
    EXPECT_TRUE(sparse.attributes & platform::kAttributeCompressed);
    EXPECT_LT(sparse.occupiedBytes, std::uint64_t{1} << 20);
    const FindData& huge = entries.at("huge");
    EXPECT_EQ(huge.sizeHigh, 1u);
    EXPECT_EQ(huge.sizeLow, 0x40000000u + 123);
    EXPECT_EQ(huge.Size(), kHuge);
    EXPECT_TRUE(huge.attributes & platform::kAttributeCompressed);

    for (const char* name : {"dense", "empty", "sub"}) {
        EXPECT_FALSE(entries.at(name).attributes & platform::kAttributeCompressed) << name;
    }
}

TEST_F(DirectorySearchTest, LastWriteTimeInNanoseconds)
{
    const auto setModified = [&](const char* name, std::int64_t seconds, long nanoseconds) {
        const struct timespec times[2] = {{0, UTIME_OMIT},
                                          {static_cast<time_t>(seconds), nanoseconds}};
        return ::utimensat(AT_FDCWD, m_tree.Path(name).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
    };
    ASSERT_TRUE(setModified("plain", 1234567890, 123456789));
    ASSERT_TRUE(setModified("empty", -1, 500000000));
    ASSERT_TRUE(setModified("broken", 1000000000, 7));
    auto entries = Search(Listing());
    EXPECT_EQ(entries.at("plain").lastWriteTime, 1234567890123456789);
    EXPECT_EQ(entries.at("empty").lastWriteTime, -500000000);
    EXPECT_EQ(entries.at("broken").lastWriteTime, 1000000000000000007);

    // Beyond the year 2262 the time saturates rather than wrapping around.
    constexpr std::int64_t kYear2286 = 10000000000;
    if (!setModified("plain", kYear2286, 0) ||
        LinkStatus(m_tree.Path("plain")).st_mtim.tv_sec != kYear2286) {
        GTEST_SKIP() << "this file system does not keep times that far ahead";
    }
    entries = Search(Listing());
    EXPECT_EQ(entries.at("plain").lastWriteTime, std::numeric_limits<std::int64_t>::max());
}

TEST_F(DirectorySearchTest, EntriesThatVanishAreSkipped)
{
    const std::vector<std::string> doomed = {"v1", "v2", "v3", "v4", "v5"};
    for (const std::string& name : doomed) {
        ASSERT_TRUE(m_tree.MakeFile(name));
    }
    DirectorySearch search;
    FindData entry;
    ASSERT_TRUE(search.Start(Listing(), entry));
    std::set<std::string> names = {entry.name};
    // The directory stream already holds their names; examining them fails.
    for (const std::string& name : doomed) {
        ASSERT_EQ(::unlink(m_tree.Path(name).c_str()), 0);
    }
    while (search.Next(entry)) {
        EXPECT_TRUE(names.insert(entry.name).second);
    }
    EXPECT_EQ(search.LastError(), 0);
    int vanishedSeen = 0;
    for (const std::string& name : doomed) {
        vanishedSeen += static_cast<int>(names.count(name));
    }
    EXPECT_LE(vanishedSeen, 1) << "only the entry given by Start may name one";
    EXPECT_TRUE(names.count("plain") && names.count("sub") && names.count(".."));
}

TEST_F(DirectorySearchTest, FailsForWhatCannotBeListed)
{
    struct Case {
        std::string pattern;
        int error;
    };
    const std::vector<Case> cases = {
        {m_tree.Path("missing/*"), ENOENT},
        {m_tree.Path("missing"), ENOENT},
        {m_tree.Path("plain/*"), ENOTDIR},
        {m_tree.Path("to-sub/*"), 0},  // the folder itself may be reached through a link
        {"", ENOENT},
    };
    DirectorySearch search;
    FindData entry;
    for (const Case& c : cases) {
        EXPECT_EQ(search.Start(c.pattern, entry), c.error == 0) << c.pattern;
        EXPECT_EQ(search.LastError(), c.error) << c.pattern;
    }
    search.Close();
    EXPECT_FALSE(search.Next(entry));
    // A search object can start again after a failure.
    EXPECT_TRUE(search.Start(Listing(), entry));
}

TEST_F(DirectorySearchTest, UnreadableFolderFails)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    ASSERT_EQ(::chmod(m_tree.Path("sub").c_str(), 0), 0);
    DirectorySearch search;
    FindData entry;
    EXPECT_FALSE(search.Start(m_tree.Path("sub/*"), entry));
    EXPECT_EQ(search.LastError(), EACCES);
    // The folder's own entry is still known from its parent.
    EXPECT_TRUE(Search(Listing()).at("sub").IsDirectory());
}

TEST_F(DirectorySearchTest, ListsDeviceNodeAsPlainEntry)
{
    if (::mknod(m_tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    }
    for (const SearchDetail detail : {SearchDetail::Full, SearchDetail::TypeOnly}) {
        const auto entries = Search(Listing(), detail);
        ASSERT_EQ(entries.count("null"), 1u);
        EXPECT_FALSE(entries.at("null").IsDirectory());
        EXPECT_FALSE(entries.at("null").isRegularFile);
    }
}

// Builds folders below the tree until the next one's path would come close
// to PATH_MAX; answers the deepest folder's path and an open descriptor of it.
std::pair<std::string, int> MakeDeepFolder(const TempTree& tree)
{
    const std::string component(200, 'd');
    std::string path = tree.Root();
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (fd >= 0 && path.size() + 1 + component.size() < PATH_MAX - 10) {
        if (::mkdirat(fd, component.c_str(), 0755) != 0) {
            break;
        }
        const int child = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = child;
        path += "/" + component;
    }
    return {path, fd};
}

TEST_F(DirectorySearchTest, PathsReachingPathMaxAreSkipped)
{
    const auto [deep, fd] = MakeDeepFolder(m_tree);
    ASSERT_GE(fd, 0);
    const std::string longName(250, 'f');
    ASSERT_LT(deep.size() + 1 + std::string("short").size(), static_cast<std::size_t>(PATH_MAX));
    ASSERT_GE(deep.size() + 1 + longName.size(), static_cast<std::size_t>(PATH_MAX));
    for (const std::string& name : {longName, std::string("short")}) {
        const int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        ::close(file);
    }
    ASSERT_EQ(::mkdirat(fd, longName.substr(10).c_str(), 0755), 0);

    EXPECT_EQ(Names(Search(deep + "/*")), (std::set<std::string>{".", "..", "short"}));
    EXPECT_EQ(Names(Search(deep + "/*", SearchDetail::TypeOnly)),
              (std::set<std::string>{".", "..", "short"}));

    DirectorySearch search;
    FindData entry;
    EXPECT_FALSE(search.Start(deep + "/" + longName + "/*", entry));
    EXPECT_EQ(search.LastError(), ENAMETOOLONG);
    ::close(fd);
}

TEST(DirectorySearchMountTest, LeavesOutDirectoriesOnOtherDevices)
{
    struct Mount {
        const char* folder;
        const char* pattern;
        const char* name;
        const char* path;
    };
    bool tested = false;
    for (const Mount& mount :
         {Mount{"/", "/*", "proc", "/proc"}, Mount{"/dev", "/dev/*", "shm", "/dev/shm"}}) {
        struct stat folder {};
        struct stat child {};
        if (::lstat(mount.folder, &folder) != 0 || ::lstat(mount.path, &child) != 0 ||
            !S_ISDIR(child.st_mode) || folder.st_dev == child.st_dev) {
            continue;
        }
        tested = true;
        for (const SearchDetail detail : {SearchDetail::Full, SearchDetail::TypeOnly}) {
            const auto entries = Search(mount.pattern, detail);
            EXPECT_EQ(entries.count(mount.name), 0u) << mount.path;
            EXPECT_EQ(entries.count("."), 1u);
            EXPECT_EQ(entries.count(".."), 1u);
        }
    }
    if (!tested) {
        GTEST_SKIP() << "neither /proc nor /dev/shm is a mount point here";
    }
}

}  // namespace
