// The real application (larkspur-window-driver) closed by its window mid-scan
// must exit within a second, with status 0, leaving every file as it was.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/ChildProcess.h"
#include "support/HostileTree.h"
#include "support/TempTree.h"

namespace {

// Runs the driver on top (after the words in command) and expects a clean exit
// within a second of the close, announced as closing; the files stay as they were.
void ExpectCleanExitWithinASecond(const std::string& top, const std::string& sized,
                                  const std::string& closing, std::vector<std::string> command = {})
{
    const auto before = testsupport::Snapshot(top);
    command.insert(command.end(), {LARKSPUR_WINDOW_DRIVER, top, sized});
    const testsupport::ChildOutcome outcome = testsupport::RunChild(command);
    ASSERT_FALSE(outcome.timedOut) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    ASSERT_EQ(outcome.out.rfind(closing + "\nclosed to exit: ", 0), 0u) << outcome.out;
    EXPECT_LT(std::stol(outcome.out.substr(closing.size() + 17)), 1000) << outcome.out;
    EXPECT_EQ(testsupport::Snapshot(top), before);
}

TEST(WindowShutdownTest, ClosingTheWindowAnywhereInTheWalkEndsTheProgramWithinASecond)
{
    // 400 folders with two copies each, and a comparison in every folder.
    TempTree files;
    ASSERT_TRUE(files.MakeDir("top"));
    for (int i = 0; i < 20; ++i) {
        const std::string outer = "top/o" + std::to_string(i);
        ASSERT_TRUE(files.MakeDir(outer));
        for (int j = 0; j < 20; ++j) {
            const std::string inner = outer + "/i" + std::to_string(j);
            const std::string contents(100 + j, static_cast<char>('a' + i));
            ASSERT_TRUE(files.MakeDir(inner) && files.MakeFile(inner + "/one", contents) &&
                        files.MakeFile(inner + "/two", contents));
        }
    }
    // The close comes once this many folders are sized.
    for (const char* sized : {"1", "3", "40", "150"})
        ExpectCleanExitWithinASecond(files.Path("top"), sized, "closing while scanning");
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
    const testsupport::AsUnprivileged unprivileged(top);
    if (!unprivileged.Usable()) GTEST_SKIP() << "cannot run the program as nobody";
    ExpectCleanExitWithinASecond(top, "1000000", "closing after the scan", unprivileged.Prefix());
}

}  // namespace
