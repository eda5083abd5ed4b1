#include "platform/ShellActions.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

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

bool MakeDirs(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

std::string MakeTempDir()
{
    std::string pattern = Env("TMPDIR") + "/shellactions.XXXXXX";
    const char* made = mkdtemp(pattern.data());
    return made != nullptr ? std::string(made) : std::string();
}

std::vector<std::string> ListDir(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// Whether a Path= value is escaped as a URL: only unreserved characters, "/"
// and the other characters a URL path may hold, plus %XX escapes.
bool IsUrlEscaped(const std::string& value)
{
    for (const unsigned char c : value) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') ||
                             std::string_view("-._~/%!$&'()*+,;=:@").find(static_cast<char>(c)) !=
                                 std::string_view::npos;
        if (!allowed) {
            return false;
        }
    }
    return true;
}

// One item of the home Trash: its name under Trash/files, and the Path=
// line of its .trashinfo, as written and decoded.
struct TrashEntry {
    std::string name;
    std::string rawPath;
    std::string originalPath;
};

std::string TrashDir() { return Env("XDG_DATA_HOME") + "/Trash"; }

std::vector<TrashEntry> TrashEntries()
{
    const std::string suffix = ".trashinfo";
    std::vector<TrashEntry> entries;
    for (const std::string& infoName : ListDir(TrashDir() + "/info")) {
        if (infoName.size() <= suffix.size() ||
            infoName.compare(infoName.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        TrashEntry entry;
        entry.name = infoName.substr(0, infoName.size() - suffix.size());
        std::istringstream info(ReadBytes(TrashDir() + "/info/" + infoName));
        std::string line;
        while (std::getline(info, line)) {
            if (line.rfind("Path=", 0) == 0) {
                entry.rawPath = line.substr(5);
                entry.originalPath = PercentDecode(entry.rawPath);
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
        m_dir = MakeTempDir();
        ASSERT_FALSE(m_dir.empty());
        // The home Trash takes files of its own file system only.
        struct stat dataInfo {};
        struct stat dirInfo {};
        ASSERT_EQ(stat(Env("XDG_DATA_HOME").c_str(), &dataInfo), 0);
        ASSERT_EQ(stat(m_dir.c_str(), &dirInfo), 0);
        ASSERT_EQ(dataInfo.st_dev, dirInfo.st_dev);
    }

    std::string m_dir;
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
        const std::string path = m_dir + "/" + names[i];
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
    const std::string folder = m_dir + "/folder";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder + "/sub").c_str(), 0755), 0);
    WriteBytes(folder + "/sub/inner.dat", "inner");
    WriteBytes(folder + "/top.dat", "top");

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

TEST_F(ShellActionsTrashTest, AMissingPathIsReportedWithAReason)
{
    const std::string missing = m_dir + "/never-was";
    const std::size_t before = TrashEntries().size();

    const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash({missing});
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].path, missing);
    EXPECT_FALSE(outcomes[0].trashed);
    EXPECT_FALSE(outcomes[0].reason.empty());
    EXPECT_EQ(TrashEntries().size(), before);
}

TEST_F(ShellActionsTrashTest, PathsThatDoNotSayExactlyWhatGoesAreRefused)
{
    ASSERT_EQ(mkdir((m_dir + "/sub").c_str(), 0755), 0);
    WriteBytes(m_dir + "/sub/keep.txt", "keep");
    const std::size_t before = TrashEntries().size();

    const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash({
        "",
        "relative.txt",
        m_dir + "/sub/..",  // would be m_dir itself
        m_dir + "/sub/./keep.txt",
        m_dir + "/sub/../sub/keep.txt",
    });
    ASSERT_EQ(outcomes.size(), 5u);
    for (const TrashOutcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.path);
        EXPECT_FALSE(outcome.trashed);
        EXPECT_FALSE(outcome.reason.empty());
    }
    EXPECT_TRUE(Exists(m_dir + "/sub/keep.txt"));
    EXPECT_EQ(TrashEntries().size(), before);
}

TEST_F(ShellActionsTrashTest, SeveralPathsAreEachReportedInOrder)
{
    const std::string first = m_dir + "/first";
    const std::string missing = m_dir + "/missing";
    const std::string second = m_dir + "/second";
    WriteBytes(first, "1");
    WriteBytes(second, "2");

    const std::vector<TrashOutcome> outcomes = ShellActions::MoveToTrash({first, missing, second});
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].path, first);
    EXPECT_TRUE(outcomes[0].trashed) << outcomes[0].reason;
    EXPECT_EQ(outcomes[1].path, missing);
    EXPECT_FALSE(outcomes[1].trashed);
    EXPECT_FALSE(outcomes[1].reason.empty());
    EXPECT_EQ(outcomes[2].path, second);
    EXPECT_TRUE(outcomes[2].trashed) << outcomes[2].reason;
    EXPECT_FALSE(Exists(first));
    EXPECT_FALSE(Exists(second));
    EXPECT_TRUE(FindTrashed(first).has_value());
    EXPECT_TRUE(FindTrashed(second).has_value());
    EXPECT_TRUE(ShellActions::MoveToTrash({}).empty());
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

        // The two test types, known by their file name extensions.
        ASSERT_TRUE(MakeDirs(dataHome + "/mime/packages"));
        ASSERT_TRUE(MakeDirs(dataHome + "/applications"));
        ASSERT_TRUE(MakeDirs(configHome));
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
        s_mimeTypesKnown = Run({"update-mime-database", dataHome + "/mime"});

        const std::string fifo = temp + "/launched.fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        // Read and write: opening does not wait for a writer, and the FIFO
        // never reads as ended between two launches.
        s_fifo = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(s_fifo, 0);

        const std::string script = temp + "/handler.sh";
        WriteBytes(script, "printf '%s\\000' \"$1\" > \"${0%/*}/launched.fifo\"\n");
        const std::string exec = "Exec=/bin/sh " + ExecArgument(script) + " %f\n";
        WriteBytes(dataHome + "/applications/larkspur-test-handler.desktop",
                   "[Desktop Entry]\n"
                   "Type=Application\n"
                   "Name=Larkspur test handler\n" +
                       exec +
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

    static bool MimeTypesKnown() { return s_mimeTypesKnown; }

private:
    static bool Run(const std::vector<std::string>& command)
    {
        std::vector<char*> argv;
        for (const std::string& argument : command) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            return false;
        }
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // One quoted argument of a desktop entry's Exec key: quoted for the
    // command line, then escaped as the key's string value.
    static std::string ExecArgument(const std::string& argument)
    {
        std::string quoted = "\"";
        for (const char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') {
                quoted += '\\';
            }
            quoted += c;
            if (c == '%') {
                quoted += '%';
            }
        }
        quoted += '"';
        std::string value;
        for (const char c : quoted) {
            value += c;
            if (c == '\\') {
                value += '\\';
            }
        }
        return value;
    }

    static inline int s_fifo = -1;
    static inline bool s_mimeTypesKnown = false;
};

[[maybe_unused]] testing::Environment* const launchHandler =
    testing::AddGlobalTestEnvironment(new LaunchHandler);

class ShellActionsLaunchTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = MakeTempDir();
        ASSERT_FALSE(m_dir.empty());
    }

    std::string m_dir;
};

TEST_F(ShellActionsLaunchTest, AFileIsOpenedByItsTypesApplicationWithItsExactPath)
{
    if (!LaunchHandler::MimeTypesKnown()) {
        GTEST_SKIP() << "update-mime-database (shared-mime-info) is not available";
    }
    const std::string path = m_dir + "/we#ird %25 \xff\nname.lkshandled";
    WriteBytes(path, "x");
    ASSERT_EQ(ShellActions::LaunchDefault(path, ""), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), path);
}

TEST_F(ShellActionsLaunchTest, ARelativeNameIsOpenedInItsWorkingDirectory)
{
    if (!LaunchHandler::MimeTypesKnown()) {
        GTEST_SKIP() << "update-mime-database (shared-mime-info) is not available";
    }
    WriteBytes(m_dir + "/named.lkshandled", "x");
    EXPECT_GT(ShellActions::LaunchDefault("named.lkshandled", m_dir), 32);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), m_dir + "/named.lkshandled");
}

TEST_F(ShellActionsLaunchTest, AFileTypeWithoutApplicationSaysNoApplication)
{
    if (!LaunchHandler::MimeTypesKnown()) {
        GTEST_SKIP() << "update-mime-database (shared-mime-info) is not available";
    }
    const std::string path = m_dir + "/orphan.lksunhandled";
    WriteBytes(path, "x");
    EXPECT_EQ(ShellActions::LaunchDefault(path, ""), platform::kLaunchNoApplication);
}

TEST_F(ShellActionsLaunchTest, AMissingOrEmptyPathFails)
{
    EXPECT_EQ(ShellActions::LaunchDefault(m_dir + "/missing.lkshandled", ""),
              platform::kLaunchFailed);
    EXPECT_EQ(ShellActions::LaunchDefault("", m_dir), platform::kLaunchFailed);
    EXPECT_EQ(ShellActions::LaunchDefault(std::string("a\0b", 3), m_dir), platform::kLaunchFailed);
}

TEST_F(ShellActionsLaunchTest, AFileTheUserMayNotReadIsAccessDenied)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may read every file";
    }
    const std::string path = m_dir + "/secret.lkshandled";
    WriteBytes(path, "x");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    EXPECT_EQ(ShellActions::LaunchDefault(path, ""), platform::kLaunchAccessDenied);
}

TEST_F(ShellActionsLaunchTest, ExploreOpensTheFolderInTheFileManager)
{
    const std::string folder = m_dir + "/a #folder% \xfe";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(ShellActions::Explore(folder), platform::kLaunchSucceeded);
    EXPECT_EQ(LaunchHandler::NextLaunchedPath(), folder);
}

TEST_F(ShellActionsLaunchTest, ExploreOfAMissingOrRelativeFolderFails)
{
    EXPECT_EQ(ShellActions::Explore(m_dir + "/missing"), platform::kLaunchFailed);
    EXPECT_EQ(ShellActions::Explore("relative"), platform::kLaunchFailed);
    EXPECT_EQ(ShellActions::Explore(""), platform::kLaunchFailed);
}

TEST_F(ShellActionsLaunchTest, ExploreOfAFolderTheUserMayNotEnterIsAccessDenied)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may enter every folder";
    }
    const std::string folder = m_dir + "/closed";
    ASSERT_EQ(mkdir(folder.c_str(), 0), 0);
    EXPECT_EQ(ShellActions::Explore(folder), platform::kLaunchAccessDenied);
}

}  // namespace
