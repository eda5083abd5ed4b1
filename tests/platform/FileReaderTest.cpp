#include "platform/FileReader.h"

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

std::string ReadAll(FileReader& reader)
{
    std::string read;
    std::vector<char> block(32768);
    std::int64_t got;
    while ((got = reader.Read(block.data(), block.size())) > 0) {
        // Only the last block may come short.
        EXPECT_TRUE(got == 32768 || reader.Size() == read.size() + got);
        read.append(block.data(), static_cast<std::size_t>(got));
    }
    EXPECT_EQ(got, 0);
    return read;
}

TEST(FileReaderTest, ReadsTheWholeFileInBlocks)
{
    TempTree tree;
    std::string contents(100000, '\0');
    for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = char((i * 7919) >> 3);
    ASSERT_TRUE(tree.MakeFile("data", contents) && tree.MakeFile("two", "22"));
    FileReader reader;
    ASSERT_TRUE(reader.Open(tree.Path("data")));
    EXPECT_EQ(reader.Size(), contents.size());
    EXPECT_EQ(reader.Device(), Status(tree.Path("data")).st_dev);
    EXPECT_EQ(reader.Inode(), Status(tree.Path("data")).st_ino);
    EXPECT_EQ(ReadAll(reader), contents);

    // Opening again starts over, also after asking for the start ahead.
    ASSERT_TRUE(reader.Open(tree.Path("data")));
    reader.AdviseWillNeed(8192);
    EXPECT_EQ(ReadAll(reader), contents);

    // Open replaces the open file; Close may come twice; no file reads as -1.
    ASSERT_TRUE(reader.Open(tree.Path("two")));
    EXPECT_EQ(ReadAll(reader), "22");
    reader.Close();
    reader.Close();
    char buffer[4];
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), -1);
    FileReader().AdviseWillNeed(8192);  // nothing open: nothing done
}

// By path and by name in a listed folder, only a regular file stays open;
// nothing waits on the FIFO, which no one writes to.
TEST(FileReaderTest, OpensRegularFilesOnly)
{
    TempTree tree;
    ASSERT_TRUE(tree.MakeFile("file", "contents") && tree.MakeDir("folder") &&
                tree.MakeSymlink("link", "file") && tree.MakeSymlink("broken", "nowhere") &&
                tree.MakeFifo("fifo") && tree.MakeSocket("socket"));
    (void)::mknod(tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3));
    platform::DirectorySearch search;
    FileReader reader;
    EXPECT_FALSE(reader.Open(search, "file"));  // no listing open
    platform::FindData entry;
    ASSERT_TRUE(search.Start(tree.Root() + "/*", entry));
    for (const char* name : {"file", "folder", "link", "broken", "fifo", "socket", "null", "x"}) {
        const bool regular = name == std::string("file");
        EXPECT_EQ(reader.Open(tree.Path(name)), regular) << name;
        EXPECT_EQ(reader.IsOpen(), regular) << name;
        EXPECT_EQ(reader.Open(search, name), regular) << name;
        EXPECT_EQ(reader.IsOpen(), regular) << name;
    }
    ASSERT_TRUE(reader.Open(search, "file"));
    EXPECT_EQ(reader.Inode(), Status(tree.Path("file")).st_ino);
    EXPECT_EQ(ReadAll(reader), "contents");
    search.Close();
    EXPECT_FALSE(reader.Open(search, "file"));
}

// With the access-time flag, and without it (the kernel refuses it for
// files of other owners), a read leaves the last-access time as it was, and
// a time that did not move is not written back (the status-change time
// stays).
TEST(FileReaderTest, ReadingLeavesTheAccessTime)
{
    for (const bool flag : {true, false}) {
        SCOPED_TRACE(flag ? "O_NOATIME" : "restored");
        FileReader::UseNoAccessTimeFlagForTesting(flag);
        TempTree tree;
        // An access time older than the modification time is one the kernel
        // updates on a read even under relatime.
        const struct timespec old = {1000000000, 123456789};
        const struct timespec modified = {1500000000, 0};
        ASSERT_TRUE(tree.MakeFile("old", std::string(20000, 'o')));
        ASSERT_TRUE(SetTimes(tree.Path("old"), old, modified));
        // A recent access time after the modification and status-change
        // times stays under relatime. A minute ahead, so that setting the
        // times (which sets the status-change time, to a coarse clock)
        // cannot pass it.
        struct timespec ahead {};
        ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &ahead), 0);
        ahead.tv_sec += 60;
        for (const char* name : {"witness", "recent"}) {
            ASSERT_TRUE(tree.MakeFile(name, "contents"));
            ASSERT_TRUE(SetTimes(tree.Path(name), ahead, {ahead.tv_sec - 3600, 0}));
        }
        const struct stat before = Status(tree.Path("recent"));

        FileReader reader;
        for (const char* name : {"old", "recent"}) {
            ASSERT_TRUE(reader.Open(tree.Path(name)));
            EXPECT_FALSE(ReadAll(reader).empty());
            reader.Close();
        }
        const struct stat after = Status(tree.Path("old"));
        EXPECT_TRUE(SameTime(after.st_atim, old)) << after.st_atim.tv_sec;
        EXPECT_TRUE(SameTime(after.st_mtim, modified));

        // The witness, read the plain way, tells whether a read moves a
        // recent access time here at all.
        const int fd = ::open(tree.Path("witness").c_str(), O_RDONLY | O_CLOEXEC);
        char buffer[64];
        ASSERT_GT(::read(fd, buffer, sizeof buffer), 0);
        ::close(fd);
        if (SameTime(Status(tree.Path("witness")).st_atim, ahead)) {
            const struct stat recent = Status(tree.Path("recent"));
            EXPECT_TRUE(SameTime(recent.st_atim, ahead));
            EXPECT_TRUE(SameTime(recent.st_ctim, before.st_ctim));
        }
    }
    FileReader::UseNoAccessTimeFlagForTesting(true);
}

}  // namespace
