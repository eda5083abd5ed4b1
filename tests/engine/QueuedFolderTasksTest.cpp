// The folder tasks handed to the worker thread and delivered back on the UI
// thread, as the sized tree runs them.
#include <gtest/gtest.h>

#include <QFile>

#include "engine/FindSizeTask.h"
#include "engine/FindSubfoldersTask.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "support/FolderTreeFake.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

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

TEST(QueuedFolderTasks, ResultsArriveOnTheUiThreadUnlessTheFolderWentMeanwhile)
{
    Receiver receiver;
    TempTree files;
    testsupport::FolderTreeFake tree;
    auto& manager = TaskManager::Instance();
    manager.SetNotifyWindow(receiver.Handle());
    ASSERT_TRUE(files.MakeDir("p") && files.MakeDir("p/q") &&
                files.MakeFile("p/file", std::string(3000, 'z')));
    FolderRecord& top = tree.Add(tree.MakeRoot(), files.Root());
    FolderRecord& p = tree.Add(top, "p");
    FolderRecord& gone = tree.Add(top, "gone");
    p.Set(FolderRecord::SizeQueued);
    // Both list p's folder: only the deletion keeps q out of "gone".
    const std::string path = DirectoryPathOf(p);
    for (FolderRecord* folder : {&p, &gone}) {
        manager.Add(std::make_unique<FindSubfoldersTask>(tree, *folder, path));
        manager.Add(std::make_unique<FindSizeTask>(tree, tree.references, *folder, path,
                                                   receiver.Handle()));
    }
    // Before any delivery (which only the UI thread makes), an item goes.
    tree.DeleteItemTree(gone.item, false);
    const int items = tree.Tree().Count();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return manager.PendingCount() == 0; }));

    EXPECT_EQ(receiver.delivered, 4);
    EXPECT_EQ(tree.ChildNames(p), std::vector<std::string>{"q"});
    EXPECT_EQ(tree.Tree().Count(), items + 1);
    EXPECT_TRUE(p.Has(FolderRecord::OwnSizeKnown));
    EXPECT_FALSE(p.Has(FolderRecord::SizeQueued));
    EXPECT_EQ(p.ownSize.Bytes(), 3000);
    EXPECT_FALSE(top.Has(FolderRecord::OwnSizeKnown));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !receiver.statusTexts.empty(); }));
    EXPECT_EQ(QFile::decodeName(QByteArray::fromStdString(receiver.statusTexts.front())),
              "Scanning: " + QFile::decodeName(QByteArray::fromStdString(path)));
}

}  // namespace
