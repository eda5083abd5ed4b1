// The folder tasks handed to the worker thread and delivered back on the UI
// thread, as the sized tree will run them.
#include <gtest/gtest.h>

#include <QFile>

#include "engine/FindSizeTask.h"
#include "engine/FindSubfoldersTask.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "platform/MessageWindow.h"
#include "support/FolderTreeFake.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

// Stands in for the main view (drains finished tasks on UM_TASK_DONE) and
// the main frame (keeps the status text).
class Receiver : public platform::MessageWindow {
public:
    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam) override
    {
        if (message == UM_TASK_DONE) {
            while (std::unique_ptr<Task> task = TaskManager::Instance().TakeFinished()) {
                task->Deliver();
                ++delivered;
            }
        } else if (message == UM_STATUS_TEXT) {
            statusTexts.push_back(*reinterpret_cast<const std::string*>(wParam));
        }
        return 0;
    }
    int delivered = 0;
    std::vector<std::string> statusTexts;
};

class QueuedFolderTasksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TaskManager::Instance().SetNotifyWindow(m_receiver.Handle());
        ASSERT_TRUE(m_files.MakeDir("p"));
        ASSERT_TRUE(m_files.MakeDir("p/q"));
        ASSERT_TRUE(m_files.MakeFile("p/file", std::string(3000, 'z')));
        m_folder = &m_tree.Add(m_tree.MakeRoot(), m_files.Root());
        m_folder->clusterSize = 1;
    }
    void RunUntilIdle()
    {
        ASSERT_TRUE(
            testsupport::PumpUntil([] { return TaskManager::Instance().PendingCount() == 0; }));
    }

    Receiver m_receiver;
    TempTree m_files;
    FolderTreeFake m_tree;
    FolderRecord* m_folder = nullptr;
};

TEST_F(QueuedFolderTasksTest, ResultsArriveInTheTreeOnTheUiThread)
{
    auto& manager = TaskManager::Instance();
    FolderRecord& p = m_tree.Add(*m_folder, "p");
    p.clusterSize = 1;
    p.Set(FolderRecord::SizeQueued);
    const std::string path = DirectoryPathOf(p);
    manager.Add(std::make_unique<FindSubfoldersTask>(m_tree, p, path));
    manager.Add(
        std::make_unique<FindSizeTask>(m_tree, m_tree.references, p, path, m_receiver.Handle()));
    RunUntilIdle();

    EXPECT_EQ(m_receiver.delivered, 2);
    EXPECT_EQ(m_tree.ChildNames(p), std::vector<std::string>{"q"});
    EXPECT_TRUE(p.Has(FolderRecord::OwnSizeKnown));
    EXPECT_FALSE(p.Has(FolderRecord::SizeQueued));
    EXPECT_EQ(p.ownSize.Bytes(), 3000);
    ASSERT_TRUE(testsupport::PumpUntil([this] { return !m_receiver.statusTexts.empty(); }));
    EXPECT_EQ(QFile::decodeName(QByteArray::fromStdString(m_receiver.statusTexts.front())),
              "Scanning: " + QFile::decodeName(QByteArray::fromStdString(path)));
}

TEST_F(QueuedFolderTasksTest, FolderDeletedWhileQueuedReceivesNothing)
{
    auto& manager = TaskManager::Instance();
    FolderRecord& p = m_tree.Add(*m_folder, "p");
    const std::string path = DirectoryPathOf(p);
    manager.Add(std::make_unique<FindSubfoldersTask>(m_tree, p, path));
    manager.Add(std::make_unique<FindSizeTask>(m_tree, m_tree.references, p, path, 0));
    // Before any delivery (which only the UI thread makes), the item goes.
    m_tree.DeleteItemTree(p.item, false);
    const int items = m_tree.Tree().Count();
    RunUntilIdle();

    EXPECT_EQ(m_receiver.delivered, 2);
    EXPECT_EQ(m_tree.Tree().Count(), items);
    EXPECT_FALSE(m_folder->Has(FolderRecord::OwnSizeKnown));
}

}  // namespace
