#include "platform/DirectorySearch.h"

#include <cerrno>
#include <climits>
#include <limits>
#include <map>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/FileQueries.h"
#include "support/TempTree.h"

using platform::DirectorySearch;
using platform::FileQueries;
using platform::FindData;
using platform::kAttributeCompressed;
using platform::SearchDetail;

namespace {

constexpr SearchDetail kDetails[] = {SearchDetail::Full, SearchDetail::TypeOnly};

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
    for (const auto& [name, entry] : entries) names.insert(name);
    return names;
}

// A folder with one entry of every kind that the scan meets, and names
// that must be taken as bytes: wildcards (beside what they would match),
// a newline, and bytes that are not UTF-8 where the file system allows.
class DirectorySearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name :
             {"plain", "a*b", "a-b", "c?d", "cXd", "[x]", "x", "first\nsecond"}) {
            ASSERT_TRUE(m_tree.MakeFile(name, name));
        }
        ASSERT_TRUE(m_tree.MakeFile("empty") && m_tree.MakeFile("dense", std::string(10000, 'd')) &&
                    m_tree.MakeDir("sub") && m_tree.MakeFile("sub/inner", "x") &&
                    m_tree.MakeSymlink("to-sub", "sub") && m_tree.MakeSymlink("loop", "loop") &&
                    m_tree.MakeSymlink("broken", "nowhere") &&
                    m_tree.MakeHardLink("plain-again", "plain") && m_tree.MakeFifo("fifo") &&
                    m_tree.MakeSocket("socket") &&
                    m_tree.MakeSparseFile("sparse", std::uint64_t{1} << 30) &&
                    m_tree.MakeSparseFile("huge", (std::uint64_t{5} << 30) + 123));
        if (m_tree.MakeFile("caf\xe9-\xff\xfe")) m_names.insert("caf\xe9-\xff\xfe");
        if (::mknod(m_tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
            m_names.insert("null");
        }
    }

    std::string Listing() const { return m_tree.Root() + "/*"; }

    TempTree m_tree;
    std::set<std::string> m_names = {
        ".",    "..",     "plain", "empty",  "dense",       "sub",  "to-sub",
        "loop", "broken", "fifo",  "socket", "plain-again", "huge", "sparse",
        "a*b",  "a-b",    "c?d",   "cXd",    "[x]",         "x",    "first\nsecond"};
};

// Each entry describes itself as lstat sees it, a link included; FileQueries
// answers the same for the path alone. Times are nanoseconds, saturating
// beyond the year 2262 rather than wrapping around. Type only fills the
// kind and nothing else.
TEST_F(DirectorySearchTest, ListsEveryEntryOnceAsLstatSeesIt)
{
    const std::pair<const char*, struct timespec> times[] = {
        {"plain", {1234567890, 123456789}},
        {"empty", {-1, 500000000}},
        {"broken", {1000000000, 7}},
        {"dense", {10000000000, 0}},  // may not be kept: compared with what lstat says
    };
    for (const auto& [name, time] : times) {
        const struct timespec both[2] = {{0, UTIME_OMIT}, time};
        (void)::utimensat(AT_FDCWD, m_tree.Path(name).c_str(), both, AT_SYMLINK_NOFOLLOW);
    }
    struct statvfs volume {};
    ASSERT_EQ(::statvfs(m_tree.Root().c_str(), &volume), 0);
    const auto unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
    EXPECT_EQ(FileQueries::AllocationUnit(m_tree.Path("to-sub")), unit);
    EXPECT_EQ(FileQueries::AllocationUnit(m_tree.Path("missing")), 0u);

    const auto entries = Search(Listing());
    const auto typeOnly = Search(Listing(), SearchDetail::TypeOnly);
    ASSERT_EQ(Names(entries), m_names);
    ASSERT_EQ(Names(typeOnly), m_names);
    for (const auto& [name, entry] : entries) {
        SCOPED_TRACE(name);
        const std::string path = m_tree.Path(name);
        struct stat status {};
        ASSERT_EQ(::lstat(path.c_str(), &status), 0);
        const auto occupied = static_cast<std::uint64_t>(status.st_blocks) * 512;
        EXPECT_EQ(entry.IsDirectory(), S_ISDIR(status.st_mode));
        EXPECT_EQ(entry.isRegularFile, S_ISREG(status.st_mode));
        EXPECT_EQ(entry.Size(), static_cast<std::uint64_t>(status.st_size));
        EXPECT_EQ(entry.occupiedBytes, occupied);
        EXPECT_EQ(entry.device, status.st_dev);
        EXPECT_EQ(entry.inode, status.st_ino);
        const __int128 nanoseconds =
            __int128{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
        EXPECT_EQ(entry.lastWriteTime,
                  std::min<__int128>(nanoseconds, std::numeric_limits<std::int64_t>::max()));
        EXPECT_EQ(
            (entry.attributes & kAttributeCompressed) != 0,
            !S_ISDIR(status.st_mode) && FileQueries::IsCompressed(status.st_size, occupied, unit));
        EXPECT_EQ(FileQueries::Attributes(path).attributes, entry.attributes);
        EXPECT_EQ(FileQueries::CompressedFileSize(path), occupied);

        const FindData& bare = typeOnly.at(name);
        EXPECT_EQ(bare.IsDirectory(), entry.IsDirectory());
        EXPECT_EQ(bare.Size() + bare.occupiedBytes + bare.inode, 0u);
        EXPECT_FALSE(bare.isRegularFile || (bare.attributes & kAttributeCompressed));
    }
}

// Wildcards and odd bytes in a literal path are taken as they are; a link
// to a folder is not followed, also with a trailing slash.
TEST_F(DirectorySearchTest, LiteralPathYieldsItsOwnEntryOnly)
{
    for (const std::string& name : m_names) {
        if (name == "." || name == "..") continue;
        for (const std::string slash : {"", "/"}) {
            if (!slash.empty() && name != "sub" && name != "to-sub") continue;
            for (const SearchDetail detail : kDetails) {
                const auto entries = Search(m_tree.Path(name + slash), detail);
                ASSERT_EQ(Names(entries), std::set<std::string>{name});
                EXPECT_EQ(entries.at(name).IsDirectory(), name == "sub") << name;
            }
        }
    }
    EXPECT_TRUE(Search("/").at("/").IsDirectory());
    EXPECT_EQ(Search(m_tree.Path("plain")).at("plain").Size(), 5u);
}

// A folder on another device (a mount point) is left out of a listing.
TEST(DirectorySearchMountTest, LeavesOutDirectoriesOnOtherDevices)
{
    struct stat root {};
    struct stat proc {};
    if (::lstat("/", &root) != 0 || ::lstat("/proc", &proc) != 0 || root.st_dev == proc.st_dev) {
        GTEST_SKIP() << "/proc is no mount point here";
    }
    for (const SearchDetail detail : kDetails) {
        const auto names = Names(Search("/*", detail));
        EXPECT_TRUE(names.count("usr") && !names.count("proc"));
    }
}

// Names the directory stream already holds whose entries are gone are
// skipped; only the entry Start gave may name one.
TEST_F(DirectorySearchTest, EntriesThatVanishAreSkipped)
{
    for (const char* name : {"v1", "v2", "v3", "v4", "v5"}) ASSERT_TRUE(m_tree.MakeFile(name));
    DirectorySearch search;
    FindData entry;
    ASSERT_TRUE(search.Start(Listing(), entry));
    std::set<std::string> names = m_names;
    names.insert(entry.name);
    for (const char* name : {"v1", "v2", "v3", "v4", "v5"}) ::unlink(m_tree.Path(name).c_str());
    while (search.Next(entry)) names.insert(entry.name);
    EXPECT_EQ(search.LastError(), 0);
    EXPECT_LE(names.size(), m_names.size() + 1);
}

// FileQueries tells the same reason for a literal path; only a missing entry
// is "not found", a file in the way is not.
TEST_F(DirectorySearchTest, FailsForWhatCannotBeListed)
{
    std::vector<std::pair<std::string, int>> cases = {
        {"missing/*", ENOENT}, {"missing", ENOENT},      {"missing/below", ENOENT},
        {"plain/*", ENOTDIR},  {"plain/below", ENOTDIR}, {"sub/", 0},
        {"to-sub/*", 0},  // the folder itself may be reached through a link
    };
    if (::geteuid() != 0) {  // root reads every folder
        ASSERT_EQ(::chmod(m_tree.Path("sub").c_str(), 0), 0);
        cases.emplace_back("sub/*", EACCES);
    }
    DirectorySearch search;
    FindData entry;
    for (const auto& [pattern, error] : cases) {
        EXPECT_EQ(search.Start(m_tree.Path(pattern), entry), error == 0) << pattern;
        EXPECT_EQ(search.LastError(), error) << pattern;
        if (pattern.back() != '*') {
            EXPECT_EQ(FileQueries::Attributes(m_tree.Path(pattern)).error, error) << pattern;
        }
    }
    EXPECT_FALSE(search.Start("", entry));
    EXPECT_FALSE(FileQueries::CompressedFileSize(m_tree.Path("missing")).has_value());
    search.Close();
    EXPECT_FALSE(search.Next(entry));
    // A search object can start again after a failure; an unreadable
    // folder's own entry is still known from its parent.
    EXPECT_TRUE(search.Start(Listing(), entry));
    EXPECT_TRUE(Search(Listing()).at("sub").IsDirectory());
}

// A file and a folder whose paths would reach PATH_MAX are left out (made
// through a descriptor, as their paths are too long for the plain calls).
TEST_F(DirectorySearchTest, PathsReachingPathMaxAreSkipped)
{
    const std::string longName(250, 'f');
    std::string deep = "deep";
    ASSERT_TRUE(m_tree.MakeDir(deep));
    while (m_tree.Path(deep).size() + 201 < PATH_MAX - 10)
        ASSERT_TRUE(m_tree.MakeDir(deep += "/" + std::string(200, 'd')));
    ASSERT_TRUE(m_tree.MakeFile(deep + "/short"));
    deep = m_tree.Path(deep);
    const int fd = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::close(::openat(fd, longName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)), 0);
    ASSERT_EQ(::mkdirat(fd, longName.substr(10).c_str(), 0755), 0);
    ::close(fd);
    ASSERT_GE(deep.size() + 1 + longName.size(), static_cast<std::size_t>(PATH_MAX));

    for (const SearchDetail detail : kDetails) {
        EXPECT_EQ(Names(Search(deep + "/*", detail)), (std::set<std::string>{".", "..", "short"}));
    }
    DirectorySearch search;
    FindData entry;
    EXPECT_FALSE(search.Start(deep + "/" + longName + "/*", entry));
    EXPECT_EQ(search.LastError(), ENAMETOOLONG);
}

// Compressed: fewer bytes than the size rounded up to the allocation unit.
TEST(FileQueriesTest, CompressedMeansLessThanTheRoundedSize)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (const auto& [size, occupied, unit, compressed] :
         std::initializer_list<std::tuple<std::uint64_t, std::uint64_t, std::uint32_t, bool>>{
             {0, 0, 4096, false},
             {1, 4096, 4096, false},
             {4096, 4096, 4096, false},
             {4097, 4096, 4096, true},
             {10000, 8192, 4096, true},
             {10000, 16384, 4096, false},  // preallocated beyond the size
             {1, 0, 4096, true},           // held inline, no block of its own
             {1000, 512, 0, true},         // unknown unit: against the size itself
             {512, 512, 0, false},
             {kMax, kMax, 4096, true}}) {  // rounding must not wrap
        EXPECT_EQ(FileQueries::IsCompressed(size, occupied, unit), compressed)
            << size << " " << occupied << " " << unit;
    }
}

}  // namespace
