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
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

using platform::ShellActions;
using platform::TrashOutcome;

// isolated-run.sh gives the test program its own HOME, XDG directories and
// TMPDIR; everything here happens inside them.
std::string Env(const char* name) { return qEnvironmentVariable(name).toStdString(); }

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
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

// The home Trash: by original path (decoded), the item's path under
// Trash/files and its Path= value as written.
std::map<std::string, std::pair<std::string, std::string>> Trashed()
{
    const std::string trash = Env("XDG_DATA_HOME") + "/Trash";
    std::map<std::string, std::pair<std::string, std::string>> items;
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(trash + "/info", error)) {
        std::istringstream info(ReadBytes(file.path().string()));
        for (std::string line; std::getline(info, line);) {
            if (line.rfind("Path=", 0) != 0) continue;
            const QByteArray raw = QByteArray::fromStdString(line.substr(5));
            items[QByteArray::fromPercentEncoding(raw).toStdString()] = {
                trash + "/files/" + file.path().stem().string(), raw.toStdString()};
        }
    }
    return items;
}

class ShellActionsTrashTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The home Trash takes files of its own file system only.
        struct stat dataInfo {};
        struct stat dirInfo {};
        ASSERT_EQ(::stat(Env("XDG_DATA_HOME").c_str(), &dataInfo), 0) << "run through ctest";
        ASSERT_EQ(::stat(m_tree.Root().c_str(), &dirInfo), 0);
        ASSERT_EQ(dataInfo.st_dev, dirInfo.st_dev);
    }

    TempTree m_tree;
};

// Each path is reported in order, a failure stops no other, a folder goes
// whole, and the Trash keeps the exact original bytes, URL-escaped.
TEST_F(ShellActionsTrashTest, EachPathGoesWithItsOriginalPath)
{
    const std::vector<std::string> names = {"plain.txt", "caf\xe9 latin-1.bin", "line\nbreak",
                                            "missing",   "50% #1 [a]?*",        "folder"};
    ASSERT_TRUE(m_tree.MakeDir("folder") && m_tree.MakeDir("folder/sub") &&
                m_tree.MakeFile("folder/sub/inner.dat", "inner"));
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        paths.push_back(m_tree.Path(name));
        if (name != "missing" && name != "folder") {
            ASSERT_TRUE(m_tree.MakeFile(name, name + std::string(1, '\0') + "\xff"));
        }
    }
    const std::size_t before = Trashed().size();
    const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash(paths);
    const auto trashed = Trashed();
    ASSERT_EQ(outcomes.size(), names.size());
    EXPECT_EQ(trashed.size(), before + names.size() - 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(outcomes[i].path, paths[i]);
        EXPECT_EQ(outcomes[i].trashed, names[i] != "missing") << outcomes[i].reason;
        EXPECT_EQ(outcomes[i].reason.empty(), outcomes[i].trashed);
        EXPECT_FALSE(Exists(paths[i]));
        if (!outcomes[i].trashed) continue;
        ASSERT_EQ(trashed.count(paths[i]), 1u);
        const auto& [item, raw] = trashed.at(paths[i]);
        EXPECT_EQ(raw.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                        "0123456789-._~/%!$&'()*+,;=:@"),
                  std::string::npos)
            << raw;
        EXPECT_EQ(ReadBytes(item + (names[i] == "folder" ? "/sub/inner.dat" : "")),
                  names[i] == "folder" ? "inner" : names[i] + std::string(1, '\0') + "\xff");
    }
    EXPECT_TRUE(ShellActions::MoveToTrash({}).empty());
}

TEST_F(ShellActionsTrashTest, PathsThatDoNotSayExactlyWhatGoesAreRefused)
{
    ASSERT_TRUE(m_tree.MakeDir("sub") && m_tree.MakeFile("sub/keep.txt", "keep"));
    const std::size_t before = Trashed().size();
    const auto outcomes = ShellActions::MoveToTrash({
        "",
        "relative.txt",
        m_tree.Path("sub/.."),  // would be the tree itself
        m_tree.Path("sub/./keep.txt"),
        m_tree.Path("sub/../sub/keep.txt"),
    });
    ASSERT_EQ(outcomes.size(), 5u);
    for (const TrashOutcome& outcome : outcomes) {
        EXPECT_FALSE(outcome.trashed || outcome.reason.empty()) << outcome.path;
    }
    EXPECT_TRUE(Exists(m_tree.Path("sub/keep.txt")));
    EXPECT_EQ(Trashed().size(), before);
}

// Launching: a test handler, installed in the test's own XDG directories
// before GIO first looks at them, stands in for every application. It is the
// default for the test type application/x-larkspur-handled and for folders,
// so no real application or file manager ever starts. It writes the path it
// was given, ended by a zero byte, into a FIFO that the tests read. The type
// application/x-larkspur-unhandled has no application at all.
class LaunchHandler : public testing::Environment {
public:
    void SetUp() override
    {
        const std::string data = Env("XDG_DATA_HOME");
        const std::string config = Env("XDG_CONFIG_HOME");
        const std::string temp = Env("TMPDIR");
        ASSERT_FALSE(data.empty() || config.empty() || temp.empty()) << "run through ctest";
        std::filesystem::create_directories(data + "/mime/packages");
        std::filesystem::create_directories(data + "/applications");
        std::filesystem::create_directories(config);
        std::string types =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
        for (const char* kind : {"handled", "unhandled"}) {
            types += std::string("<mime-type type=\"application/x-larkspur-") + kind +
                     "\"><glob pattern=\"*.lks" + kind + "\"/></mime-type>\n";
        }
        WriteBytes(data + "/mime/packages/larkspur-test.xml", types + "</mime-info>\n");
        s_mimeTypesKnown = QProcess::execute(QStringLiteral("update-mime-database"),
                                             {QString::fromStdString(data + "/mime")}) == 0;

        const std::string fifo = temp + "/launched.fifo";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        // Read and write: opening does not wait for a writer, and the FIFO
        // never reads as ended between two launches.
        s_fifo = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(s_fifo, 0);
        // The script's path goes into the Exec key unquoted.
        ASSERT_EQ(temp.find_first_of(" \"'\\%$`"), std::string::npos) << temp;
        WriteBytes(temp + "/handler.sh", "printf '%s\\000' \"$1\" > \"${0%/*}/launched.fifo\"\n");
        WriteBytes(
            data + "/applications/larkspur-test-handler.desktop",
            "[Desktop Entry]\nType=Application\nName=Larkspur test handler\n"
            "Exec=/bin/sh " +
                temp +
                "/handler.sh %f\n"
                "MimeType=application/x-larkspur-handled;inode/directory;\nNoDisplay=true\n");
        WriteBytes(config + "/mimeapps.list",
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
        pollfd ready{s_fifo, POLLIN, 0};
        char buffer[4096];
        while (::poll(&ready, 1, 120'000) == 1) {
            const ssize_t count = ::read(s_fifo, buffer, sizeof buffer);
            if (count <= 0) break;
            path.append(buffer, static_cast<std::size_t>(count));
            if (path.back() == '\0') return path.substr(0, path.size() - 1);
        }
        return std::nullopt;
    }

    static inline int s_fifo = -1;
    static inline bool s_mimeTypesKnown = false;
};

[[maybe_unused]] testing::Environment* const launchHandler =
    testing::AddGlobalTestEnvironment(new LaunchHandler);

TEST(ShellActionsLaunchTest, FilesAndFoldersOpenWithTheirExactPath)
{
    TempTree tree;
    const std::string folder = "a #folder% \xfe";
    ASSERT_TRUE(tree.MakeDir(folder));
    ASSERT_EQ(ShellActions::Explore(tree.Path(folder)), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), tree.Path(folder));

    if (!LaunchHandler::s_mimeTypesKnown) {
        GTEST_SKIP() << "update-mime-database (shared-mime-info) is not available";
    }
    const std::string name = "we#ird %25 \xff\nname.lkshandled";
    ASSERT_TRUE(tree.MakeFile(name, "x"));
    ASSERT_EQ(ShellActions::LaunchDefault(tree.Path(name), ""), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), tree.Path(name));
    // A relative name is taken in the given working directory.
    ASSERT_TRUE(tree.MakeFile("named.lkshandled", "x"));
    EXPECT_GT(ShellActions::LaunchDefault("named.lkshandled", tree.Root()), 32);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), tree.Path("named.lkshandled"));
    ASSERT_TRUE(tree.MakeFile("orphan.lksunhandled", "x"));
    EXPECT_EQ(ShellActions::LaunchDefault(tree.Path("orphan.lksunhandled"), ""),
              platform::kLaunchNoApplication);
}

TEST(ShellActionsLaunchTest, MissingEmptyRelativeOrClosedPathsFail)
{
    TempTree tree;
    const int results[] = {
        ShellActions::LaunchDefault(tree.Path("missing.lkshandled"), ""),
        ShellActions::LaunchDefault("", tree.Root()),
        ShellActions::LaunchDefault(std::string("a\0b", 3), tree.Root()),
        ShellActions::Explore(tree.Path("missing")),
        ShellActions::Explore("relative"),
        ShellActions::Explore(""),
    };
    for (const int result : results) EXPECT_EQ(result, platform::kLaunchFailed);

    if (::geteuid() == 0) GTEST_SKIP() << "root may read every file and enter every folder";
    ASSERT_TRUE(tree.MakeFile("secret.lkshandled", "x") && tree.MakeDir("closed"));
    ASSERT_EQ(::chmod(tree.Path("secret.lkshandled").c_str(), 0), 0);
    ASSERT_EQ(::chmod(tree.Path("closed").c_str(), 0), 0);
    EXPECT_EQ(ShellActions::LaunchDefault(tree.Path("secret.lkshandled"), ""),
              platform::kLaunchAccessDenied);
    EXPECT_EQ(ShellActions::Explore(tree.Path("closed")), platform::kLaunchAccessDenied);
}

}  // namespace
