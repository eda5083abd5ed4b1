#include "platform/DirectorySearch.h"
#include "platform/FileReader.h"

#include <cerrno>
#include <climits>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/FileQueries.h"
#include "support/TempTree.h"

using namespace platform;

namespace {

constexpr SearchDetail kDetails[] = {SearchDetail::Full, SearchDetail::TypeOnly};

// Every entry of a search by name; a name given twice fails the test.
std::map<std::string, FindData> Search(const std::string& pattern,
                                       SearchDetail detail = SearchDetail::Full)
{
    std::map<std::string, FindData> entries;
    DirectorySearch search;
    FindData entry;
    for (bool more = search.Start(pattern, entry, detail); more; more = search.Next(entry))
        EXPECT_TRUE(entries.emplace(entry.name, entry).second) << "twice: " << entry.name;
    EXPECT_EQ(search.LastError(), 0) << pattern;
    return entries;
}

std::set<std::string> Names(const std::map<std::string, FindData>& entries)
{
    std::set<std::string> names;
    for (const auto& [name, entry] : entries) names.insert(name);
    return names;
}

struct stat Status(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Reads in blocks of 32 KiB of which only the last may come short.
std::string ReadAll(FileReader& reader)
{
    std::string read;
    std::vector<char> block(32768);
    std::int64_t got;
    while ((got = reader.Read(block.data(), block.size())) > 0) {
        EXPECT_TRUE(got == 32768 || reader.Size() == read.size() + got);
        read.append(block.data(), static_cast<std::size_t>(got));
    }
    EXPECT_EQ(got, 0);
    return read;
}

// An entry of every kind the scan meets, and names to be taken as bytes:
// wildcards (beside their matches), a newline, bytes that are not UTF-8.
class DirectorySearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"plain", "a*b", "a-b", "c?d", "cXd", "[x]", "x", "first\nsecond"})
            ASSERT_TRUE(m_tree.MakeFile(name, name));
        ASSERT_TRUE(m_tree.MakeFile("empty") && m_tree.MakeFile("dense", m_dense) &&
                    m_tree.MakeDir("sub") && m_tree.MakeFile("sub/inner", "x") &&
                    m_tree.MakeSymlink("to-sub", "sub") &&
                    m_tree.MakeSymlink("to-plain", "plain") && m_tree.MakeSymlink("loop", "loop") &&
                    m_tree.MakeSymlink("broken", "nowhere") &&
                    m_tree.MakeHardLink("plain-again", "plain") && m_tree.MakeFifo("fifo") &&
                    m_tree.MakeSocket("socket") &&
                    m_tree.MakeSparseFile("sparse", std::uint64_t{1} << 30) &&
                    m_tree.MakeSparseFile("huge", (std::uint64_t{5} << 30) + 123));
        if (m_tree.MakeFile("caf\xe9-\xff\xfe")) m_names.insert("caf\xe9-\xff\xfe");
        if (::mknod(m_tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
            m_names.insert("null");
    }

    std::string Listing() const { return m_tree.Root() + "/*"; }

    TempTree m_tree;
    const std::string m_dense = [] {
        std::string bytes(100000, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 7919) >> 3);
        return bytes;
    }();
    std::set<std::string> m_names = {
        ".",    "..",     "plain", "empty",  "dense",       "sub",          "to-sub", "to-plain",
        "loop", "broken", "fifo",  "socket", "plain-again", "huge",         "sparse", "a*b",
        "a-b",  "c?d",    "cXd",   "[x]",    "x",           "first\nsecond"};
};

// Each entry is as lstat sees it, a link included, and as FileQueries says
// for the path. Times are nanoseconds, saturating beyond the year 2262.
// Type only fills the kind and nothing else, as does ".." always.
TEST_F(DirectorySearchTest, ListsEveryEntryOnceAsLstatSeesIt)
{
    // A time past 2262 may not be kept; each is compared with what lstat says.
    const std::pair<const char*, struct timespec> times[] = {{"plain", {1234567890, 123456789}},
                                                             {"empty", {-1, 500000000}},
                                                             {"broken", {1000000000, 7}},
                                                             {"dense", {10000000000, 0}}};
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
        if (name == "..") {
            // Reported bare: only that it is a directory.
            EXPECT_TRUE(entry.IsDirectory() && entry.Size() + entry.occupiedBytes + entry.inode +
                                                       entry.device + entry.lastWriteTime ==
                                                   0);
            continue;
        }
        const std::string path = m_tree.Path(name);
        const struct stat status = Status(path);
        const auto occupied = static_cast<std::uint64_t>(status.st_blocks) * 512;
        EXPECT_EQ(entry.IsDirectory(), S_ISDIR(status.st_mode));
        EXPECT_EQ(entry.isRegularFile, S_ISREG(status.st_mode));
        EXPECT_TRUE(entry.Size() == static_cast<std::uint64_t>(status.st_size) &&
                    entry.occupiedBytes == occupied);
        EXPECT_TRUE(entry.device == status.st_dev && entry.inode == status.st_ino);
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

// A literal path is taken as bytes; a link to a folder is not followed, even with a slash.
TEST_F(DirectorySearchTest, LiteralPathYieldsItsOwnEntryOnly)
{
    for (const std::string& name : m_names)
        for (const std::string slash : {"", "/"}) {
            if (name == "." || name == ".." || (!slash.empty() && name.find("sub") == name.npos))
                continue;
            const auto entries = Search(m_tree.Path(name + slash));
            ASSERT_EQ(Names(entries), std::set<std::string>{name});
            EXPECT_EQ(entries.at(name).IsDirectory(), name == "sub") << name;
        }
    EXPECT_TRUE(Search("/").at("/").IsDirectory());
    EXPECT_EQ(Search(m_tree.Path("plain")).at("plain").Size(), 5u);
    // A folder on another device (a mount point) is left out of a listing.
    struct stat root = {}, proc = {};
    if (::lstat("/", &root) == 0 && ::lstat("/proc", &proc) == 0 && root.st_dev != proc.st_dev)
        for (const SearchDetail detail : kDetails) {
            const auto names = Names(Search("/*", detail));
            EXPECT_TRUE(names.count("usr") && !names.count("proc"));
        }
}

// FileQueries gives the same reason for a literal path; a file in the way is not "not found".
TEST_F(DirectorySearchTest, FailsForWhatCannotBeListed)
{
    for (const char* name : {"v1", "v2", "v3", "v4", "v5"}) ASSERT_TRUE(m_tree.MakeFile(name));
    std::vector<std::pair<std::string, int>> cases = {
        {"missing/*", ENOENT}, {"missing", ENOENT},      {"missing/below", ENOENT},
        {"plain/*", ENOTDIR},  {"plain/below", ENOTDIR}, {"sub/", 0},
        {"to-sub/*", 0},  // the folder itself may be reached through a link
    };
    const bool root = ::geteuid() == 0;  // root reads every folder
    if (!root) {
        // Closed to all; and names readable but nothing examinable, "." and
        // ".." included.
        for (const auto& [folder, mode] : {std::pair{"closed", 0}, {"namesonly", 0444}}) {
            ASSERT_TRUE(m_tree.MakeDir(folder) && m_tree.MakeFile(folder + std::string("/f")));
            ASSERT_EQ(::chmod(m_tree.Path(folder).c_str(), mode), 0);
            cases.emplace_back(folder + std::string("/*"), EACCES);
            m_names.insert(folder);
        }
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
    // An unreadable folder is known from its parent.
    EXPECT_TRUE(Search(Listing()).at(root ? "sub" : "closed").IsDirectory());
    // A search starts again after a failure. Entries gone after Start are
    // skipped (only the one Start gave may be one).
    ASSERT_TRUE(search.Start(Listing(), entry));
    std::set<std::string> names = m_names;
    names.insert(entry.name);
    for (const char* name : {"v1", "v2", "v3", "v4", "v5"}) ::unlink(m_tree.Path(name).c_str());
    while (search.Next(entry)) names.insert(entry.name);
    EXPECT_TRUE(search.LastError() == 0 && names.size() <= m_names.size() + 1);
}

// A folder whose entries take several reads lists each once, as readdir
// does, while other searches on the thread start and end in between.
TEST_F(DirectorySearchTest, LargeFoldersListAcrossReadsBesideOtherSearches)
{
    ASSERT_TRUE(m_tree.MakeDir("large"));
    for (int i = 0; i < 1500; ++i)
        ASSERT_TRUE(m_tree.MakeFile("large/" + std::string(100, 'n') + std::to_string(i)));
    std::set<std::string> expected;
    DIR* dir = ::opendir(m_tree.Path("large").c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* found = ::readdir(dir)) expected.insert(found->d_name);
    ::closedir(dir);

    DirectorySearch search;
    FindData entry;
    std::set<std::string> names;
    for (bool more = search.Start(m_tree.Path("large/*"), entry); more; more = search.Next(entry)) {
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
        if (names.size() % 500 == 0) {
            EXPECT_EQ(Names(Search(Listing())).count("large"), 1u);
        }
    }
    EXPECT_EQ(search.LastError(), 0);
    EXPECT_EQ(names, expected);
}

// An entry whose path would reach PATH_MAX is left out, one a byte shorter is not.
TEST_F(DirectorySearchTest, PathsReachingPathMaxAreSkipped)
{
    std::string folder = m_tree.Path("sub/");
    while (folder.size() < PATH_MAX - 200) folder += "./";
    const std::string fits(PATH_MAX - 1 - folder.size(), 'k');
    ASSERT_TRUE(m_tree.MakeFile("sub/" + fits) && m_tree.MakeFile("sub/" + fits + "f") &&
                m_tree.MakeDir("sub/" + fits + "d"));
    for (const SearchDetail detail : kDetails)
        EXPECT_EQ(Names(Search(folder + "*", detail)),
                  (std::set<std::string>{".", "..", "inner", fits}));
    DirectorySearch search;
    FindData entry;
    EXPECT_TRUE(!search.Start(folder + fits + "f/*", entry) && search.LastError() == ENAMETOOLONG);
}

// By path and by name in a listing only a regular file opens (not a link to
// one), without waiting on the FIFO. Open replaces the open file; without a
// file, Read answers -1 and AdviseWillNeed does nothing.
TEST_F(DirectorySearchTest, FileReaderOpensRegularFilesOnly)
{
    DirectorySearch search;
    FileReader reader;
    EXPECT_FALSE(reader.Open(search.FolderDescriptor(), "dense"));  // no listing open
    FindData entry;
    ASSERT_TRUE(search.Start(Listing(), entry));
    for (const std::string& name : m_names) {
        SCOPED_TRACE(name);
        const struct stat status = Status(m_tree.Path(name));
        const bool regular = S_ISREG(status.st_mode);
        EXPECT_TRUE(reader.Open(m_tree.Path(name)) == regular && reader.IsOpen() == regular);
        EXPECT_TRUE(reader.Open(search.FolderDescriptor(), name.c_str()) == regular &&
                    reader.IsOpen() == regular);
        if (name != "dense") continue;
        EXPECT_TRUE(reader.Size() == m_dense.size() && reader.Device() == status.st_dev &&
                    reader.Inode() == status.st_ino);
        ASSERT_TRUE(reader.Open(m_tree.Path(name)));
        reader.AdviseWillNeed(8192);
        EXPECT_EQ(ReadAll(reader), m_dense);
    }
    search.Close();
    EXPECT_FALSE(reader.Open(search.FolderDescriptor(), "dense"));
    reader.Close();
    reader.Close();
    char buffer[4];
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), -1);
    FileReader().AdviseWillNeed(8192);
}

// With O_NOATIME and without it (refused for others' files), a read leaves
// the access time, and an unmoved time is not written back (ctime stays).
TEST(FileReaderTest, ReadingLeavesTheAccessTime)
{
    for (const bool flag : {true, false}) {
        SCOPED_TRACE(flag ? "O_NOATIME" : "restored");
        FileReader::UseNoAccessTimeFlagForTesting(flag);
        TempTree tree;
        // Under relatime a read moves an access time older than mtime; a
        // recent one stays: a minute ahead, past the ctime that setting sets.
        timespec ahead{};
        ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &ahead), 0);
        ahead.tv_sec += 60;
        const timespec times[][2] = {{{1000000000, 123456789}, {1500000000, 0}},
                                     {ahead, {ahead.tv_sec - 3600, 0}},
                                     {ahead, {ahead.tv_sec - 3600, 0}}};
        const char* const names[] = {"old", "recent", "witness"};
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(tree.MakeFile(names[i], std::string(20000, 'x')));
            ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path(names[i]).c_str(), times[i], 0), 0);
        }
        const struct stat before = Status(tree.Path("recent"));
        FileReader reader;
        for (const char* name : {"old", "recent"}) {
            ASSERT_TRUE(reader.Open(tree.Path(name)));
            EXPECT_EQ(ReadAll(reader).size(), 20000u);
            reader.Close();
        }
        const struct stat old = Status(tree.Path("old"));
        EXPECT_TRUE(SameTime(old.st_atim, times[0][0]) && SameTime(old.st_mtim, times[0][1]));

        // The witness, read plainly, tells whether a read moves a recent atime here.
        const int fd = ::open(tree.Path("witness").c_str(), O_RDONLY | O_CLOEXEC);
        char buffer[64];
        ASSERT_GT(::read(fd, buffer, sizeof buffer), 0);
        ::close(fd);
        if (!SameTime(Status(tree.Path("witness")).st_atim, ahead)) continue;
        const struct stat recent = Status(tree.Path("recent"));
        EXPECT_TRUE(SameTime(recent.st_atim, ahead) && SameTime(recent.st_ctim, before.st_ctim));
    }
    FileReader::UseNoAccessTimeFlagForTesting(true);
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
