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

// By path and by name in a listed folder, only a regular file opens; nothing
// waits on the FIFO, which no one writes to. Open replaces the open file and
// starts over; without a file, Read answers -1 and AdviseWillNeed does nothing.
TEST(FileReaderTest, ReadsRegularFilesOnly)
{
    TempTree tree;
    std::string contents(100000, '\0');
    for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = char((i * 7919) >> 3);
    ASSERT_TRUE(tree.MakeFile("file", contents) && tree.MakeDir("folder") &&
                tree.MakeSymlink("link", "file") && tree.MakeSymlink("broken", "nowhere") &&
                tree.MakeFifo("fifo") && tree.MakeSocket("socket"));
    (void)::mknod(tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3));
    platform::DirectorySearch search;
    FileReader reader;
    EXPECT_FALSE(reader.Open(search, "file"));  // no listing open
    platform::FindData entry;
    ASSERT_TRUE(search.Start(tree.Root() + "/*", entry));
    for (const std::string name : {"file", "folder", "link", "broken", "fifo", "socket", "null"}) {
        EXPECT_EQ(reader.Open(tree.Path(name)), name == "file") << name;
        EXPECT_EQ(reader.IsOpen(), name == "file") << name;
        EXPECT_EQ(reader.Open(search, name), name == "file") << name;
        EXPECT_EQ(reader.IsOpen(), name == "file") << name;
        if (name != "file") continue;
        EXPECT_EQ(reader.Size(), contents.size());
        EXPECT_EQ(reader.Device(), Status(tree.Path(name)).st_dev);
        EXPECT_EQ(reader.Inode(), Status(tree.Path(name)).st_ino);
        ASSERT_TRUE(reader.Open(tree.Path(name)));
        reader.AdviseWillNeed(8192);
        EXPECT_EQ(ReadAll(reader), contents);
    }
    search.Close();
    EXPECT_FALSE(reader.Open(search, "file"));
    reader.Close();
    reader.Close();
    char buffer[4];
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), -1);
    FileReader().AdviseWillNeed(8192);
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
        // updates on a read even under relatime. A recent one after the
        // modification and status-change times stays under relatime: a
        // minute ahead, so that setting the times (which sets the
        // status-change time, to a coarse clock) cannot pass it.
        timespec ahead{};
        ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &ahead), 0);
        ahead.tv_sec += 60;
        const timespec times[][2] = {{{1000000000, 123456789}, {1500000000, 0}},
                                     {ahead, {ahead.tv_sec - 3600, 0}},
                                     {ahead, {ahead.tv_sec - 3600, 0}}};
        const char* names[] = {"old", "recent", "witness"};
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

        // The witness, read the plain way, tells whether a read moves a
        // recent access time here at all.
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

}  // namespace
