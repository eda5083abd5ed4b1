#include "platform/FileReader.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/DirectorySearch.h"
#include "support/TempTree.h"

using platform::FileReader;

namespace {

struct stat Status(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

bool SetTimes(const std::string& path, struct timespec access, struct timespec modified)
{
    const struct timespec times[2] = {access, modified};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool SameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Reads the whole file the plain way, which the kernel may note in its
// access time.
void ReadPlainly(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    ::close(fd);
}

std::string Contents(std::size_t size)
{
    std::string contents(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        contents[i] = static_cast<char>((i * 7919) >> 3);
    }
    return contents;
}

class FileReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tree.IsValid()); }
    void TearDown() override { FileReader::UseNoAccessTimeFlagForTesting(true); }

    TempTree m_tree;
};

TEST_F(FileReaderTest, ReadsTheWholeFileInBlocks)
{
    const std::string contents = Contents(100000);
    ASSERT_TRUE(m_tree.MakeFile("data", contents));
    FileReader reader;
    ASSERT_TRUE(reader.Open(m_tree.Path("data")));
    const struct stat status = Status(m_tree.Path("data"));
    EXPECT_EQ(reader.Size(), contents.size());
    EXPECT_EQ(reader.Device(), status.st_dev);
    EXPECT_EQ(reader.Inode(), status.st_ino);

    std::string read;
    std::vector<char> block(32768);
    std::int64_t got;
    while ((got = reader.Read(block.data(), block.size())) > 0) {
        // Only the last block may come short.
        EXPECT_TRUE(got == 32768 || read.size() + got == contents.size());
        read.append(block.data(), static_cast<std::size_t>(got));
    }
    EXPECT_EQ(got, 0);
    EXPECT_EQ(read, contents);

    // Opening again starts over; a buffer larger than the file takes it in
    // one go, also after asking for the start of the file ahead.
    ASSERT_TRUE(reader.Open(m_tree.Path("data")));
    reader.AdviseWillNeed(8192);
    std::vector<char> all(200000);
    EXPECT_EQ(reader.Read(all.data(), all.size()), 100000);
    EXPECT_EQ(std::string(all.data(), 100000), contents);

    // Open replaces the open file; Close may come twice; no file reads as -1.
    ASSERT_TRUE(m_tree.MakeFile("two", "22"));
    ASSERT_TRUE(reader.Open(m_tree.Path("two")));
    EXPECT_EQ(reader.Inode(), Status(m_tree.Path("two")).st_ino);
    EXPECT_EQ(reader.Read(all.data(), all.size()), 2);
    reader.Close();
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.Read(all.data(), all.size()), -1);
    EXPECT_EQ(FileReader().Read(all.data(), all.size()), -1);
    FileReader().AdviseWillNeed(8192);  // nothing open: nothing done
}

TEST_F(FileReaderTest, OpensEntriesOfAListedFolderByName)
{
    ASSERT_TRUE(m_tree.MakeDir("folder"));
    ASSERT_TRUE(m_tree.MakeFile("folder/file", "contents"));
    ASSERT_TRUE(m_tree.MakeSymlink("folder/link", "file"));
    ASSERT_TRUE(m_tree.MakeFifo("folder/fifo"));
    platform::DirectorySearch search;
    FileReader reader;
    EXPECT_FALSE(reader.Open(search, "file"));  // no listing open
    platform::FindData entry;
    ASSERT_TRUE(search.Start(m_tree.Path("folder") + "/*", entry));
    ASSERT_TRUE(reader.Open(search, "file"));
    EXPECT_EQ(reader.Inode(), Status(m_tree.Path("folder/file")).st_ino);
    char buffer[16];
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 8);
    // Even when asked for (the listing would not report them as files),
    // what is no regular file does not stay open.
    EXPECT_FALSE(reader.Open(search, "link"));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(reader.Open(search, "fifo"));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(reader.Open(search, "missing"));
    search.Close();
    EXPECT_FALSE(reader.Open(search, "file"));
}

TEST_F(FileReaderTest, RefusesAllButRegularFiles)
{
    ASSERT_TRUE(m_tree.MakeFile("plain", "x"));
    ASSERT_TRUE(m_tree.MakeDir("folder"));
    ASSERT_TRUE(m_tree.MakeSymlink("link", "plain"));
    ASSERT_TRUE(m_tree.MakeSymlink("broken", "nowhere"));
    // Nothing writes to the FIFO: opening it for reading without care blocks.
    ASSERT_TRUE(m_tree.MakeFifo("fifo"));
    ASSERT_TRUE(m_tree.MakeSocket("socket")) << std::strerror(errno);
    FileReader reader;
    for (const char* name : {"folder", "link", "broken", "fifo", "socket", "missing"}) {
        EXPECT_FALSE(reader.Open(m_tree.Path(name))) << name;
        EXPECT_FALSE(reader.IsOpen()) << name;
    }
    if (::mknod(m_tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_FALSE(reader.Open(m_tree.Path("null")));
    }
}

// With the access-time flag, and without it (the kernel refuses it for
// files of other owners), a read leaves the last-access time as it was.
class FileReaderAccessTimeTest : public FileReaderTest,
                                 public ::testing::WithParamInterface<bool> {};

TEST_P(FileReaderAccessTimeTest, OldAccessTimeSurvivesReading)
{
    FileReader::UseNoAccessTimeFlagForTesting(GetParam());
    // An access time older than the modification time is one the kernel
    // updates on a read even under relatime.
    const struct timespec old = {1000000000, 123456789};
    const struct timespec modified = {1500000000, 0};
    ASSERT_TRUE(m_tree.MakeFile("read", Contents(20000)));
    ASSERT_TRUE(SetTimes(m_tree.Path("read"), old, modified));

    FileReader reader;
    ASSERT_TRUE(reader.Open(m_tree.Path("read")));
    std::vector<char> buffer(32768);
    EXPECT_EQ(reader.Read(buffer.data(), buffer.size()), 20000);
    reader.Close();
    const struct stat after = Status(m_tree.Path("read"));
    EXPECT_TRUE(SameTime(after.st_atim, old)) << after.st_atim.tv_sec;
    EXPECT_TRUE(SameTime(after.st_mtim, modified));
}

TEST_P(FileReaderAccessTimeTest, UnchangedAccessTimeIsNotRewritten)
{
    FileReader::UseNoAccessTimeFlagForTesting(GetParam());
    // A recent access time after the modification and status-change times
    // stays under relatime, so nothing needs restoring and the status-change
    // time must not move. A minute ahead, so that setting the times (which
    // sets the status-change time, to a coarse clock) cannot pass it.
    struct timespec now {};
    ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &now), 0);
    now.tv_sec += 60;
    const struct timespec modified = {now.tv_sec - 3600, 0};
    for (const char* name : {"witness", "read"}) {
        ASSERT_TRUE(m_tree.MakeFile(name, "contents"));
        ASSERT_TRUE(SetTimes(m_tree.Path(name), now, modified));
    }
    ReadPlainly(m_tree.Path("witness"));
    if (!SameTime(Status(m_tree.Path("witness")).st_atim, now)) {
        GTEST_SKIP() << "every read updates the access time here";
    }
    const struct stat before = Status(m_tree.Path("read"));
    FileReader reader;
    ASSERT_TRUE(reader.Open(m_tree.Path("read")));
    char buffer[64];
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 8);
    reader.Close();
    const struct stat after = Status(m_tree.Path("read"));
    EXPECT_TRUE(SameTime(after.st_atim, now));
    EXPECT_TRUE(SameTime(after.st_ctim, before.st_ctim));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutNoAccessTimeFlag, FileReaderAccessTimeTest,
                         ::testing::Bool());

}  // namespace
