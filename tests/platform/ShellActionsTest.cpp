#include "platform/ShellActions.h"

#include "support/TempTree.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QProcess>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace {

using platform::ShellActions;
using platform::TrashOutcome;

// isolated-run.sh gives the test program its own HOME, XDG directories and
// TMPDIR; everything here happens inside them.
std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : std::string();
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// Whether a Path= value is escaped as a URL path: unreserved characters, the
// characters a URL path may hold, and %XX escapes only.
bool IsUrlEscaped(const std::string& value)
{
    const std::string_view allowed = "-._~/%!$&'()*+,;=:@";
    for (const unsigned char c : value) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && allowed.find(static_cast<char>(c)) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

std::string TrashDir() { return Env("XDG_DATA_HOME") + "/Trash"; }

// One item of the home Trash: its name under Trash/files, and the Path= line
// of its .trashinfo, as written and decoded.
struct TrashEntry {
    std::string name;
    std::string rawPath;
    std::string originalPath;
};

std::vector<TrashEntry> TrashEntries()
{
    std::vector<TrashEntry> entries;
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(TrashDir() + "/info", error)) {
        if (file.path().extension() != ".trashinfo") {
            continue;
        }
        TrashEntry entry{file.path().stem().string(), {}, {}};
        std::istringstream info(ReadBytes(file.path().string()));
        for (std::string line; std::getline(info, line);) {
            if (line.rfind("Path=", 0) == 0) {
                entry.rawPath = line.substr(5);
                entry.originalPath =
                    QByteArray::fromPercentEncoding(QByteArray::fromStdString(entry.rawPath))
                        .toStdString();
            }
        }
        entries.push_back(entry);
    }
    return entries;
}

std::optional<TrashEntry> FindTrashed(const std::string& originalPath)
{
    for (const TrashEntry& entry : TrashEntries()) {
        if (entry.originalPath == originalPath) {
            return entry;
        }
    }
    return std::nullopt;
}

class ShellActionsTrashTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Env("XDG_DATA_HOME").empty()) << "run through ctest (tests/isolated-run.sh)";
        ASSERT_TRUE(m_tree.IsValid());
        // The home Trash takes files of its own file system only.
        struct stat dataInfo {};
        struct stat dirInfo {};
        ASSERT_EQ(stat(Env("XDG_DATA_HOME").c_str(), &dataInfo), 0);
        ASSERT_EQ(stat(m_tree.Root().c_str(), &dirInfo), 0);
        ASSERT_EQ(dataInfo.st_dev, dirInfo.st_dev);
    }

    TempTree m_tree;
};

TEST_F(ShellActionsTrashTest, FilesGoToTheHomeTrashWithTheirOriginalPaths)
{
    const std::vector<std::string> names = {
        "plain.txt",
        "caf\xe9 latin-1.bin",  // not UTF-8
        "line\nbreak",
        "50% #1 [a]?*",
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const std::string path = m_tree.Path(names[i]);
        const std::string contents =
            "contents " + std::to_string(i) + std::string(1, '\0') + "\xff";
        WriteBytes(path, contents);

        const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash({path});
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].path, path);
        EXPECT_TRUE(outcomes[0].trashed) << outcomes[0].reason;
        EXPECT_FALSE(Exists(path));

        const std::optional<TrashEntry> entry = FindTrashed(path);
        ASSERT_TRUE(entry.has_value());
        EXPECT_TRUE(IsUrlEscaped(entry->rawPath)) << entry->rawPath;
        EXPECT_EQ(ReadBytes(TrashDir() + "/files/" + entry->name), contents);
    }
}

TEST_F(ShellActionsTrashTest, AFolderGoesWhole)
{
    ASSERT_TRUE(m_tree.MakeDir("folder"));
    ASSERT_TRUE(m_tree.MakeDir("folder/sub"));
    ASSERT_TRUE(m_tree.MakeFile("folder/sub/inner.dat", "inner"));
    ASSERT_TRUE(m_tree.MakeFile("folder/top.dat", "top"));
    const std::string folder = m_tree.Path("folder");

    const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash({folder});
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].trashed) << outcomes[0].reason;
    EXPECT_FALSE(Exists(folder));

    const std::optional<TrashEntry> entry = FindTrashed(folder);
    ASSERT_TRUE(entry.has_value());
    const std::string trashed = TrashDir() + "/files/" + entry->name;
    EXPECT_EQ(ReadBytes(trashed + "/sub/inner.dat"), "inner");
    EXPECT_EQ(ReadBytes(trashed + "/top.dat"), "top");
}

TEST_F(ShellActionsTrashTest, EachPathIsReportedInOrderAndAFailureStopsNoOther)
{
    ASSERT_TRUE(m_tree.MakeFile("first", "1"));
    ASSERT_TRUE(m_tree.MakeFile("second", "2"));
    const std::string first = m_tree.Path("first");
    const std::string missing = m_tree.Path("missing");
    const std::string second = m_tree.Path("second");
    const std::size_t before = TrashEntries().size();

    const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash({first, missing, second});
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].path, first);
    EXPECT_TRUE(outcomes[0].trashed) << outcomes[0].reason;
    EXPECT_EQ(outcomes[1].path, missing);
    EXPECT_FALSE(outcomes[1].trashed);
    EXPECT_FALSE(outcomes[1].reason.empty());
    EXPECT_EQ(outcomes[2].path, second);
    EXPECT_TRUE(outcomes[2].trashed) << outcomes[2].reason;
    EXPECT_TRUE(FindTrashed(first).has_value());
    EXPECT_TRUE(FindTrashed(second).has_value());
    EXPECT_EQ(TrashEntries().size(), before + 2);
    EXPECT_TRUE(ShellActions::MoveToTrash({}).empty());
}

TEST_F(ShellActionsTrashTest, PathsThatDoNotSayExactlyWhatGoesAreRefused)
{
    ASSERT_TRUE(m_tree.MakeDir("sub"));
    ASSERT_TRUE(m_tree.MakeFile("sub/keep.txt", "keep"));
    const std::size_t before = TrashEntries().size();

    const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash({
        "",
        "relative.txt",
        m_tree.Path("sub/.."),  // would be the tree itself
        m_tree.Path("sub/./keep.txt"),
        m_tree.Path("sub/../sub/keep.txt"),
    });
    ASSERT_EQ(outcomes.size(), 5u);
    for (const TrashOutcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.path);
        EXPECT_FALSE(outcome.trashed);
        EXPECT_FALSE(outcome.reason.empty());
    }
    EXPECT_TRUE(Exists(m_tree.Path("sub/keep.txt")));
    EXPECT_EQ(TrashEntries().size(), before);
}

// Launching: a test handler, installed in the test's own XDG directories
// before GIO first looks at them, stands in for every application. It is the
// default for the test type application/x-larkspur-handled and for folders
// (inode/directory), so no real application or file manager ever starts. It
// writes the path it was given, ended by a zero byte, into a FIFO that the
// tests read. A second test type, application/x-larkspur-unhandled, has no
// application at all.
class LaunchHandler : public testing::Environment {
public:
    void SetUp() override
    {
        const std::string dataHome = Env("XDG_DATA_HOME");
        const std::string configHome = Env("XDG_CONFIG_HOME");
        const std::string temp = Env("TMPDIR");
        ASSERT_FALSE(dataHome.empty() || configHome.empty() || temp.empty())
            << "run through ctest (tests/isolated-run.sh)";

        std::filesystem::create_directories(dataHome + "/mime/packages");
        std::filesystem::create_directories(dataHome + "/applications");
        std::filesystem::create_directories(configHome);
        WriteBytes(dataHome + "/mime/packages/larkspur-test.xml",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                   "  <mime-type type=\"application/x-larkspur-handled\">\n"
                   "    <comment>Handled test file</comment><glob pattern=\"*.lkshandled\"/>\n"
                   "  </mime-type>\n"
                   "  <mime-type type=\"application/x-larkspur-unhandled\">\n"
                   "    <comment>Unhandled test file</comment><glob pattern=\"*.lksunhandled\"/>\n"
                   "  </mime-type>\n"
                   "</mime-info>\n");
        s_mimeTypesKnown = QProcess::execute(QStringLiteral("update-mime-database"),
                                             {QString::fromStdString(dataHome + "/mime")}) == 0;

        const std::string fifo = temp + "/launched.fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        // Read and write: opening does not wait for a writer, and the FIFO
        // never reads as ended between two launches.
        s_fifo = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(s_fifo, 0);

        // The script's path goes into the Exec key unquoted.
        ASSERT_EQ(temp.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "0123456789/._-"),
                  std::string::npos)
            << temp;
        const std::string script = temp + "/handler.sh";
        WriteBytes(script, "printf '%s\\000' \"$1\" > \"${0%/*}/launched.fifo\"\n");
        WriteBytes(dataHome + "/applications/larkspur-test-handler.desktop",
                   "[Desktop Entry]\n"
                   "Type=Application\n"
                   "Name=Larkspur test handler\n"
                   "Exec=/bin/sh " +
                       script +
                       " %f\n"
                       "MimeType=application/x-larkspur-handled;inode/directory;\n"
                       "NoDisplay=true\n");
        WriteBytes(configHome + "/mimeapps.list",
                   "[Default Applications]\n"
                   "application/x-larkspur-handled=larkspur-test-handler.desktop\n"
                   "inode/directory=larkspur-test-handler.desktop\n");
    }

    // The path the handler was last started with; nothing when it has not
    // been started within a generous guard time (the test then fails rather
    // than hangs).
    static std::optional<std::string> NextLaunchedPath()
    {
        std::string path;
        for (;;) {
            pollfd ready{s_fifo, POLLIN, 0};
            if (poll(&ready, 1, 120'000) != 1) {
                return std::nullopt;
            }
            char buffer[4096];
            const ssize_t count = read(s_fifo, buffer, sizeof buffer);
            if (count <= 0) {
                return std::nullopt;
            }
            path.append(buffer, static_cast<std::size_t>(count));
            if (!path.empty() && path.back() == '\0') {
                path.pop_back();
                return path;
            }
        }
    }

    static inline int s_fifo = -1;
    static inline bool s_mimeTypesKnown = false;
};

[[maybe_unused]] testing::Environment* const launchHandler =
    testing::AddGlobalTestEnvironment(new LaunchHandler);

class ShellActionsLaunchTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tree.IsValid()); }

    TempTree m_tree;
};

TEST_F(ShellActionsLaunchTest, AFileIsOpenedByItsTypesApplicationWithItsExactPath)
{
    if (!LaunchHandler::s_mimeTypesKnown) {
        GTEST_SKIP() << "update-mime-database (shared-mime-info) is not available";
    }
    const std::string name = "we#ird %25 \xff\nname.lkshandled";
    ASSERT_TRUE(m_tree.MakeFile(name, "x"));
    ASSERT_EQ(ShellActions::LaunchDefault(m_tree.Path(name), ""), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), m_tree.Path(name));

    // A relative name is taken in the given working directory.
    ASSERT_TRUE(m_tree.MakeFile("named.lkshandled", "x"));
    EXPECT_GT(ShellActions::LaunchDefault("named.lkshandled", m_tree.Root()), 32);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), m_tree.Path("named.lkshandled"));

    ASSERT_TRUE(m_tree.MakeFile("orphan.lksunhandled", "x"));
    EXPECT_EQ(ShellActions::LaunchDefault(m_tree.Path("orphan.lksunhandled"), ""),
              platform::kLaunchNoApplication);
}

TEST_F(ShellActionsLaunchTest, ExploreOpensTheFolderInTheFileManager)
{
    const std::string name = "a #folder% \xfe";
    ASSERT_TRUE(m_tree.MakeDir(name));
    ASSERT_EQ(ShellActions::Explore(m_tree.Path(name)), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), m_tree.Path(name));
}

TEST_F(ShellActionsLaunchTest, MissingEmptyOrRelativePathsFail)
{
    const struct {
        const char* what;
        std::function<int()> launch;
    } cases[] = {
        {"missing file",
         [&] { return ShellActions::LaunchDefault(m_tree.Path("missing.lkshandled"), ""); }},
        {"empty file", [&] { return ShellActions::LaunchDefault("", m_tree.Root()); }},
        {"embedded zero",
         [&] { return ShellActions::LaunchDefault(std::string("a\0b", 3), m_tree.Root()); }},
        {"missing folder", [&] { return ShellActions::Explore(m_tree.Path("missing")); }},
        {"relative folder", [] { return ShellActions::Explore("relative"); }},
        {"empty folder", [] { return ShellActions::Explore(""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.launch(), platform::kLaunchFailed);
    }
}

TEST_F(ShellActionsLaunchTest, WhatTheUserMayNotReadOrEnterIsAccessDenied)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may read every file and enter every folder";
    }
    ASSERT_TRUE(m_tree.MakeFile("secret.lkshandled", "x"));
    ASSERT_EQ(chmod(m_tree.Path("secret.lkshandled").c_str(), 0), 0);
    EXPECT_EQ(ShellActions::LaunchDefault(m_tree.Path("secret.lkshandled"), ""),
              platform::kLaunchAccessDenied);
    ASSERT_TRUE(m_tree.MakeDir("closed"));
    ASSERT_EQ(chmod(m_tree.Path("closed").c_str(), 0), 0);
    EXPECT_EQ(ShellActions::Explore(m_tree.Path("closed")), platform::kLaunchAccessDenied);
}

}  // namespace
