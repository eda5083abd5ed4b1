#include "platform/ShellActions.h"

#include "support/TempTree.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QProcess>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include <gtest/gtest.h>

namespace {

using platform::ShellActions;

// isolated-run.sh gives the program its own HOME, XDG directories and TMPDIR.
std::string Env(const char* name) { return qEnvironmentVariable(name).toStdString(); }

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Each path is reported in order, a failure stopping no other; only an absolute
// path without "." or ".." goes (it says exactly what goes, "sub/.." would be the
// tree itself). The Trash keeps the original bytes, URL-escaped.
TEST(ShellActionsTest, EachPathGoesToTheTrashWithItsOriginalPathOrStays)
{
    TempTree tree;
    struct stat data = {}, folder = {};  // the home Trash takes files of its own file system only
    ASSERT_EQ(::stat(Env("XDG_DATA_HOME").c_str(), &data), 0) << "run through ctest";
    ASSERT_TRUE(::stat(tree.Root().c_str(), &folder) == 0 && data.st_dev == folder.st_dev);
    const std::string files[] = {"plain.txt", "caf\xe9 latin-1.bin", "line\nbreak", "50% #1 [a]?*"};
    for (const std::string& name : files) ASSERT_TRUE(tree.MakeFile(name, name + '\0' + "\xff"));
    ASSERT_TRUE(tree.MakeDir("sub") && tree.MakeFile("sub/keep.txt", "keep"));
    std::vector<std::string> paths = {tree.Path(files[0]), tree.Path("missing"), "",
                                      "relative.txt"};
    for (const char* path : {"sub/..", "sub/./keep.txt", "sub/../sub/keep.txt"})
        paths.push_back(tree.Path(path));
    for (int i = 1; i < 4; ++i) paths.push_back(tree.Path(files[i]));
    const auto outcomes = ShellActions::MoveToTrash(paths);
    // The home Trash by original path (decoded): the item and its Path= value as written.
    const std::string trash = Env("XDG_DATA_HOME") + "/Trash";
    std::map<std::string, std::pair<std::string, std::string>> trashed;
    for (const auto& file : std::filesystem::directory_iterator(trash + "/info")) {
        const std::string info = ReadBytes(file.path()) + "\n";
        const std::size_t start = info.find("\nPath=") + 6;
        const std::string raw = info.substr(start, info.find('\n', start) - start);
        trashed[QByteArray::fromPercentEncoding(raw.c_str()).toStdString()] = {
            trash + "/files/" + file.path().stem().string(), raw};
    }
    ASSERT_EQ(outcomes.size(), paths.size());
    EXPECT_EQ(trashed.size(), 4u);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        const bool goes = i == 0 || i >= 7;
        EXPECT_EQ(outcomes[i].path, paths[i]);
        EXPECT_TRUE(outcomes[i].trashed == goes && outcomes[i].reason.empty() == goes)
            << outcomes[i].reason;
        if (!goes) continue;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(paths[i])));
        ASSERT_EQ(trashed.count(paths[i]), 1u);
        const auto& [item, raw] = trashed.at(paths[i]);
        EXPECT_EQ(raw.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                        "0123456789-._~/%!$&'()*+,;=:@"),
                  std::string::npos)
            << raw;
        EXPECT_EQ(ReadBytes(item), paths[i].substr(tree.Root().size() + 1) + '\0' + "\xff");
    }
}

// A test handler, installed in the test's XDG directories before GIO looks,
// is the default for application/x-larkspur-handled and for folders, so no
// real application starts; it writes its path and a zero byte into a FIFO.
// application/x-larkspur-unhandled has no application.
class LaunchHandler : public testing::Environment {
public:
    void SetUp() override
    {
        const std::string data = Env("XDG_DATA_HOME"), config = Env("XDG_CONFIG_HOME");
        const std::string temp = Env("TMPDIR");  // goes into the Exec key unquoted
        ASSERT_EQ(temp.find_first_of(" \"'\\%$`"), std::string::npos) << "run through ctest";
        for (const std::string& folder : {data + "/mime/packages", data + "/applications", config})
            std::filesystem::create_directories(folder);
        std::string types =
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">";
        for (const std::string kind : {"handled", "unhandled"})
            types += "<mime-type type=\"application/x-larkspur-" + kind +
                     "\"><glob pattern=\"*.lks" + kind + "\"/></mime-type>";
        const std::pair<std::string, std::string> files[] = {
            {data + "/mime/packages/larkspur-test.xml", types + "</mime-info>\n"},
            {temp + "/handler.sh", "printf '%s\\000' \"$1\" > \"${0%/*}/launched.fifo\"\n"},
            {data + "/applications/larkspur-test-handler.desktop",
             "[Desktop Entry]\nType=Application\nName=Test handler\nNoDisplay=true\nExec=/bin/sh " +
                 temp +
                 "/handler.sh %f\nMimeType=application/x-larkspur-handled;inode/directory;\n"},
            {config + "/mimeapps.list",
             "[Default Applications]\n"
             "application/x-larkspur-handled=larkspur-test-handler.desktop\n"
             "inode/directory=larkspur-test-handler.desktop\n"}};
        for (const auto& [path, bytes] : files)
            ASSERT_TRUE((std::ofstream(path, std::ios::binary) << bytes).good()) << path;
        s_mimeTypesKnown = QProcess::execute("update-mime-database",
                                             {QString::fromStdString(data + "/mime")}) == 0;
        // Read and write: no wait for a writer, and no end read between launches.
        ASSERT_EQ(::mkfifo((temp + "/launched.fifo").c_str(), 0600), 0);
        s_fifo = ::open((temp + "/launched.fifo").c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(s_fifo, 0);
    }

    // The path the handler was last started with; nothing after a generous guard time.
    static std::optional<std::string> NextLaunchedPath()
    {
        std::string path;
        pollfd ready{s_fifo, POLLIN, 0};
        for (char c; ::poll(&ready, 1, 120'000) == 1 && ::read(s_fifo, &c, 1) == 1; path += c)
            if (c == '\0') return path;
        return std::nullopt;
    }

    static inline int s_fifo = -1;
    static inline bool s_mimeTypesKnown = false;
};

[[maybe_unused]] testing::Environment* const launchHandler =
    testing::AddGlobalTestEnvironment(new LaunchHandler);

TEST(ShellActionsLaunchTest, OpensTheExactPathOrFailsWhenMissingEmptyRelativeOrClosed)
{
    TempTree tree;
    for (const int result : {ShellActions::LaunchDefault(tree.Path("missing.lkshandled"), ""),
                             ShellActions::LaunchDefault("", tree.Root()),
                             ShellActions::LaunchDefault(std::string("a\0b", 3), tree.Root()),
                             ShellActions::Explore(tree.Path("missing")),
                             ShellActions::Explore("relative"), ShellActions::Explore("")})
        EXPECT_EQ(result, platform::kLaunchFailed);
    if (::geteuid() != 0) {  // root may read every file and enter every folder
        ASSERT_TRUE(tree.MakeFile("secret.lkshandled", "x") && tree.MakeDir("closed"));
        for (const char* name : {"secret.lkshandled", "closed"})
            ASSERT_EQ(::chmod(tree.Path(name).c_str(), 0), 0);
        EXPECT_EQ(ShellActions::LaunchDefault(tree.Path("secret.lkshandled"), ""),
                  platform::kLaunchAccessDenied);
        EXPECT_EQ(ShellActions::Explore(tree.Path("closed")), platform::kLaunchAccessDenied);
    }
    const std::string folder = "a #folder% \xfe";
    ASSERT_TRUE(tree.MakeDir(folder));
    ASSERT_EQ(ShellActions::Explore(tree.Path(folder)), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), tree.Path(folder));

    if (!LaunchHandler::s_mimeTypesKnown) GTEST_SKIP() << "no update-mime-database";
    const std::string name = "we#ird %25 \xff\nname.lkshandled";
    ASSERT_TRUE(tree.MakeFile(name, "x") && tree.MakeFile("named.lkshandled", "x") &&
                tree.MakeFile("orphan.lksunhandled", "x"));
    ASSERT_EQ(ShellActions::LaunchDefault(tree.Path(name), ""), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), tree.Path(name));
    // A relative name is taken in the given working directory.
    EXPECT_GT(ShellActions::LaunchDefault("named.lkshandled", tree.Root()), 32);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), tree.Path("named.lkshandled"));
    EXPECT_EQ(ShellActions::LaunchDefault(tree.Path("orphan.lksunhandled"), ""),
              platform::kLaunchNoApplication);
}

}  // namespace
