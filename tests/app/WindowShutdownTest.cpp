// The real application (larkspur-window-driver) closed by its window in the
// middle of a scan, and while the duplicate search compares two large
// identical files: it must exit within a second, with status 0, and leave
// every file as it was. Built with the address sanitizer, an exit that uses
// a freed record or leaks one fails here too.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/ChildProcess.h"
#include "support/HostileTree.h"
#include "support/TempTree.h"

namespace {

using testsupport::Snapshot;

// Runs the driver with arguments (after prefix) and expects it to announce
// the close as closing and exit cleanly within a second of it.
void ExpectCleanExitWithinASecond(std::vector<std::string> arguments, const std::string& closing,
                                  std::vector<std::string> prefix = {})
{
    prefix.push_back(LARKSPUR_WINDOW_DRIVER);
    arguments.insert(arguments.begin(), prefix.begin(), prefix.end());
    const testsupport::ChildOutcome outcome = testsupport::RunChild(arguments);
    ASSERT_FALSE(outcome.timedOut) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    ASSERT_EQ(outcome.out.rfind(closing + "\nclosed to exit: ", 0), 0u) << outcome.out;
    EXPECT_LT(std::stol(outcome.out.substr(closing.size() + 17)), 1000) << outcome.out;
}

TEST(WindowShutdownTest, ClosingTheWindowAnywhereInTheWalkEndsTheProgramWithinASecond)
{
    // 20 folders of 20 folders each, every folder with two copies of a
    // small file: the walk goes on for hundreds of status texts, and every
    // folder's duplicate search compares.
    TempTree files;
    ASSERT_TRUE(files.MakeDir("top"));
    for (int i = 0; i < 20; ++i) {
        const std::string outer = "top/o" + std::to_string(i);
        ASSERT_TRUE(files.MakeDir(outer));
        for (int j = 0; j < 20; ++j) {
            const std::string inner = outer + "/i" + std::to_string(j);
            const std::string contents(100 + j, static_cast<char>('a' + i));
            ASSERT_TRUE(files.MakeDir(inner));
            ASSERT_TRUE(files.MakeFile(inner + "/one", contents));
            ASSERT_TRUE(files.MakeFile(inner + "/two", contents));
        }
    }
    const std::string top = files.Path("top");
    const auto before = Snapshot(top);
    // The close comes after this many status texts.
    for (const char* changes : {"1", "3", "40", "150"}) {
        SCOPED_TRACE(std::string("after status texts: ") + changes);
        ExpectCleanExitWithinASecond({top, changes}, "closing while scanning");
    }
    EXPECT_EQ(Snapshot(top), before);
}

TEST(WindowShutdownTest, ClosingTheWindowMidComparisonEndsTheProgramWithinASecond)
{
    // Comparing the two large identical files takes seconds, so the close
    // always comes while the scan runs.
    TempTree files;
    ASSERT_TRUE(files.MakeDir("top"));
    ASSERT_TRUE(testsupport::MakeHugeTwins(files, "top", 8ull << 30, 200));
    const std::string top = files.Path("top");
    const auto before = Snapshot(top);
    ExpectCleanExitWithinASecond({top, top + "/huge1", top + "/huge2"}, "closing while scanning");
    EXPECT_EQ(Snapshot(top), before);
}

// Root, as which the tests run here, reads everything: the window meets
// unreadable folders and files only when the program runs as nobody.
TEST(WindowShutdownTest, AnUnprivilegedUserScansUnreadablePartsToTheEndAndExitsCleanly)
{
    TempTree files;
    ASSERT_TRUE(files.MakeDir("top"));
    ASSERT_TRUE(files.MakeDir("top/closed") && files.MakeFile("top/closed/f", "hidden") &&
                files.MakeDir("top/passonly") && files.MakeFile("top/passonly/f", "xyz") &&
                files.MakeFile("top/copy", "same") && files.MakeFile("top/secret copy", "same"));
    ASSERT_EQ(::chmod(files.Path("top/closed").c_str(), 0), 0);
    ASSERT_EQ(::chmod(files.Path("top/passonly").c_str(), 0711), 0);
    ASSERT_EQ(::chmod(files.Path("top/secret copy").c_str(), 0), 0);
    const std::string top = files.RealPath("top");
    const auto before = Snapshot(top);
    {
        const testsupport::AsUnprivileged unprivileged(top);
        if (!unprivileged.Usable()) GTEST_SKIP() << "cannot run the program as nobody";
        ExpectCleanExitWithinASecond({top, "1000000"}, "closing after the scan",
                                     unprivileged.Prefix());
    }
    EXPECT_EQ(Snapshot(top), before);
}

}  // namespace
