#pragma once

// A main view with its panes over a scanned scratch tree, for the tests of
// deletion and of the folder commands: real files in TMPDIR, the real Trash
// of the test's XDG_DATA_HOME, message boxes answered by the test.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <QFile>

#include "app/CLarkspurView.h"
#include "engine/DupGroup.h"
#include "engine/FolderPopulation.h"
#include "engine/FolderRecord.h"
#include "engine/TaskManager.h"
#include "model/ListControl.h"
#include "framework/MessageBox.h"
#include "lists/LarkspurListView.h"
#include "platform/FileQueries.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"
#include "tree/LarkspurBrowserView.h"
#include "model/TreeItemRecord.h"

namespace testsupport {

inline bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

inline std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Box {
    int id;
    QString text;
};

class ScannedMainViewTest : public ::testing::Test {
protected:
    // Makes the folders and files (paths below the scratch folder, "top"
    // first), shows a main view with its panes whose protected directory is
    // top/SYS, brings top into the tree and scans it to the end. Message
    // boxes are answered by m_answer and kept in m_boxes.
    void Start(const std::vector<std::string>& folders,
               const std::vector<std::pair<std::string, std::string>>& files)
    {
        for (const std::string& folder : folders) ASSERT_TRUE(m_files.MakeDir(folder));
        for (const auto& [path, contents] : files) ASSERT_TRUE(m_files.MakeFile(path, contents));
        m_top = m_files.RealPath("top");
        // Upper case: the protection compares paths without regard to case.
        platform::FileQueries::SetProtectedSystemDirectoryForTesting(m_top + "/SYS");

        framework::MessageBox::SetForTesting(
            [this](int id, const QString& text, QMessageBox::Icon) {
                m_boxes.push_back({id, text});
                return m_answer;
            });
        m_view = std::make_unique<CLarkspurView>();
        ASSERT_EQ(m_view->CreatePanes(0, nullptr), 0);
        m_view->OnInitialUpdate();
        m_view->SetProtectSystemFiles(true);
        m_topItem = FolderPopulation::BringPathIntoTree(*Tree(), m_top);
        ASSERT_NE(m_topItem, TreeItem::None);
        // A click on it, then the scan to its end.
        Tree()->PopulateChildren(m_topItem);
        Tree()->OnItemClicked(*Record("top"), false);
        ASSERT_TRUE(testsupport::PumpUntil([this] {
            return !Tree()->IsScanning() && TaskManager::Instance().PendingCount() == 0;
        }));
        ASSERT_TRUE(Record("top")->Has(FolderRecord::TreeSizeKnown));
    }
    void TearDown() override
    {
        m_view.reset();
        framework::MessageBox::SetForTesting({});
    }

    LarkspurBrowserView* Tree() const { return m_view->Tree(); }
    LarkspurListView* List() const { return m_view->FileList(); }

    // The record of "top/..."; null when it is not in the tree.
    FolderRecord* Record(const std::string& relative) const
    {
        return RecordBelow(*Tree(), Tree()->RecordOf(m_topItem),
                           relative.size() > 4 ? relative.substr(4) : "");
    }
    std::string Path(const std::string& relative) const { return m_top + relative.substr(3); }
    DupMember* Member(const std::string& folder, const std::string& name) const
    {
        for (DupMember* member = Record(folder)->duplicates; member; member = member->nextInFolder)
            if (member->name == name) return member;
        return nullptr;
    }
    std::unique_ptr<DeletionRequest> Request(const std::string& folder,
                                             const std::string& name = {},
                                             DupMember* copy = nullptr)
    {
        auto request = std::make_unique<DeletionRequest>();
        request->folder = Record(folder);
        request->name = name;
        request->copy = copy;
        return request;
    }
    // Lists folder and selects the rows of exactly these names.
    void SelectInList(const std::string& folder, const std::vector<std::string>& names)
    {
        List()->SetFolder(Record(folder));
        ListControl& control = List()->Control();
        control.SelectOnly(-1);
        for (int row = 0; row < control.ItemCount(); ++row) {
            for (const std::string& name : names)
                if (control.ItemText(row, 0) == QFile::decodeName(QByteArray::fromStdString(name)))
                    control.SetItemState(row, ListControl::Selected, ListControl::Selected);
        }
        ASSERT_EQ(control.SelectedCount(), static_cast<int>(names.size()));
    }
    std::string TrashDir() const { return std::string(std::getenv("XDG_DATA_HOME")) + "/Trash"; }

    TempTree m_files;
    std::string m_top;
    TreeItem m_topItem = TreeItem::None;
    std::unique_ptr<CLarkspurView> m_view;
    std::vector<Box> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
};

}  // namespace testsupport
