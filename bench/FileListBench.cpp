// Filling the file list for a folder of 100,000 files and sorting it by
// each column, beside `ls -lU` of the same folder in the same run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QHeaderView>

#include "framework/SystemImageList.h"
#include "lists/LarkspurListView.h"
#include "platform/MessageQueue.h"
#include "tests/support/FolderTreeFake.h"
#include "model/SharedImageList.h"

namespace {

constexpr int kFiles = 100000;

// A scratch folder of kFiles files of a few types and sizes under $TMPDIR,
// removed (only the files made here) when the object dies.
class ScratchFolder {
public:
    ScratchFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                              "/larkspur-bench.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        m_path = pattern;
        static const char* const kSuffixes[] = {".txt", ".jpg", ".dat", ".pdf",
                                                ".c",   ".png", ".mp3", ""};
        const std::string bytes(4096, 'x');
        for (int i = 0; i < kFiles; ++i) {
            std::string name = "file" + std::to_string(i) + kSuffixes[i % 8];
            const int fd = ::open((m_path + "/" + name).c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) {
                continue;
            }
            const std::size_t size = static_cast<std::size_t>((i * 7919) % 4096);
            [[maybe_unused]] const ssize_t written = ::write(fd, bytes.data(), size);
            ::close(fd);
            m_names.push_back(std::move(name));
        }
    }
    ~ScratchFolder()
    {
        for (const std::string& name : m_names) {
            ::unlink((m_path + "/" + name).c_str());
        }
        if (!m_path.empty()) {
            ::rmdir(m_path.c_str());
        }
    }

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::vector<std::string> m_names;
};

ScratchFolder* g_folder = nullptr;

// The list and the tree it lists from, made once.
struct Listing {
    SystemImageList images;
    testsupport::FolderTreeFake tree;
    FolderRecord* folder = nullptr;
    LarkspurListView list;

    Listing()
    {
        ResetSharedImageListForTesting();
        SetSharedImageList(tree.Tree(), &images);
        FolderRecord& root = tree.MakeRoot();
        folder = &tree.Add(root, g_folder->Path());
        folder->clusterSize = 4096;
        list.SetTree(&tree);
    }
};

Listing* g_listing = nullptr;

Listing& TheListing() { return *g_listing; }

// A fresh listing of the folder: directory search, items, rows and the
// sort by the current column.
void BM_FillFileList(benchmark::State& state)
{
    Listing& listing = TheListing();
    for (auto _ : state) {
        listing.list.SetFolder(nullptr);
        listing.list.SetFolder(listing.folder);
        benchmark::DoNotOptimize(listing.list.Control().ItemCount());
    }
    state.counters["rows"] = listing.list.Control().ItemCount();
    state.counters["icons_pending"] = static_cast<double>(listing.list.PendingIconCount());
    listing.list.ResolvePendingIcons();
}
BENCHMARK(BM_FillFileList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One header click on the column: a sort of all rows.
void BM_SortFileList(benchmark::State& state)
{
    Listing& listing = TheListing();
    listing.list.SetFolder(listing.folder);
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Q_EMIT listing.list.header()->sectionClicked(column);
    }
    state.SetLabel(column == 0   ? "Name"
                   : column == 1 ? "Disk Space"
                   : column == 2 ? "File Size"
                                 : "Modified");
}
BENCHMARK(BM_SortFileList)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The peer: `ls -lU` of the same folder (lists in directory order, stats
// every entry, formats a line per file), read to its end.
void BM_LsLU(benchmark::State& state)
{
    const std::string command = "ls -lU '" + g_folder->Path() + "'";
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            state.SkipWithError("popen failed");
            break;
        }
        std::size_t total = 0;
        while (const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
            total += got;
        }
        ::pclose(pipe);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_LsLU)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    benchmark::Initialize(&argc, argv);
    ScratchFolder folder;
    if (folder.Path().empty()) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }
    g_folder = &folder;
    {
        Listing listing;  // goes before the application and the folder
        g_listing = &listing;
        benchmark::RunSpecifiedBenchmarks();
        g_listing = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
