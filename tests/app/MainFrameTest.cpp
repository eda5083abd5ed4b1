#include <gtest/gtest.h>

#include <QSplitter>
#include <QTest>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/WindowMessages.h"
#include "framework/CommandRouter.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tree/LarkspurBrowserView.h"

using namespace resources;

namespace {

struct FakeTree : framework::ScanControl {
    void StopScanning() override { ++stops, scanning = false; }
    void ResetAll() override { StopScanning(), scannedSomething = false; }
    void SetDuplicateMode(bool findDuplicates) override { modes.push_back(findDuplicates); }
    bool IsScanning() const override { return scanning; }
    bool HasScannedSomething() const override { return scannedSomething; }

    bool scanning = false, scannedSomething = false;
    int stops = 0;
    std::vector<bool> modes;
};

const QString kSection("Options"), kSizeFormat("Size Format"), kProtect("Protect Sys Files");

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        TheMainView->SetBrowserPane(&m_tree);
    }
    void TearDown() override
    {
        TheMainView->SetBrowserPane(TheMainView->Tree());
        m_frame->SetScanMode(true);
    }

    QAction* Action(int command) { return m_frame->Router().Action(command); }
    bool Enabled(int command)
    {
        return m_frame->Router().UpdateAll(), Action(command)->isEnabled();
    }

    CLarkspurApp& m_app = *CLarkspurApp::Instance();
    platform::SettingsStore& m_settings = m_app.Settings();
    CMainFrame* m_frame = m_app.MainFrame();
    FakeTree m_tree;
};

TEST_F(MainFrameTest, ResizingTheShownViewKeepsTheLowerPanesHeight)
{
    QSplitter* outer = TheMainView->OuterSplitter();
    const QSize size = TheMainView->size();
    outer->setSizes({outer->sizes()[0] + outer->sizes()[1] - 200, 200});
    for (int height : {size.height() - 40, size.height() + 40}) {
        TheMainView->resize(size.width(), height);
        EXPECT_EQ(outer->sizes()[1], 200) << height;
    }
    TheMainView->resize(size);
}

TEST_F(MainFrameTest, StopResetAndTheScanModeCommandsFollowAndSwitchTheScan)
{
    // Stop is on while the tree scans; Reset once it has scanned something.
    for (const bool scanning : {false, true})
        for (const bool scanned : {false, true}) {
            m_tree.scanning = scanning, m_tree.scannedSomething = scanned;
            EXPECT_EQ(Enabled(ID_STOP_SCANNING), scanning);
            EXPECT_EQ(Enabled(ID_RESET), scanned);
        }
    Action(ID_STOP_SCANNING)->trigger();
    EXPECT_EQ(m_tree.stops, 1);
    Action(ID_RESET)->trigger();
    EXPECT_FALSE(m_tree.scannedSomething);

    // The menu entry toggles the scan mode and the buttons repeat their switch;
    // each step: the command and whether duplicates are searched after it.
    const std::pair<int, bool> steps[] = {
        {ID_SCAN_SIZE_ONLY, false}, {ID_SCAN_SIZE_ONLY, true},  {ID_SCAN_SIZE, false},
        {ID_SCAN_SIZE, false},      {ID_SCAN_DUPLICATES, true}, {ID_SCAN_DUPLICATES, true},
    };
    std::vector<bool> modes;
    for (const auto& [command, search] : steps) {
        Action(command)->trigger();
        EXPECT_EQ(Action(ID_SCAN_SIZE_ONLY)->isChecked(), !search) << command;
        EXPECT_EQ(Action(ID_SCAN_DUPLICATES)->isChecked(), search) << command;
        EXPECT_EQ(Action(ID_SCAN_SIZE)->isChecked(), !search) << command;
        modes.push_back(search);
    }
    EXPECT_EQ(m_tree.modes, modes);
}

TEST_F(MainFrameTest, StatusTextStaysUntilReplacedByTextAPromptOrTheEmptyText)
{
    const QString idle = StringTable::Load(IDS_IDLE_PROMPT);
    EXPECT_EQ(m_frame->MessageText(), idle);
    auto post = [this](std::string text) {
        m_frame->OnMessage(UM_STATUS_TEXT, reinterpret_cast<platform::WParam>(&text), 0);
    };
    post("Scanning: /home/m\xC3\xBCsic");
    EXPECT_EQ(m_frame->MessageText(), QStringLiteral("Scanning: /home/m\u00FCsic"));

    // A menu prompt replaces it; when the pointer leaves, the idle prompt.
    for (const QString& tip : {Action(ID_RESET)->statusTip(), QString()}) {
        QStatusTipEvent event(tip);
        QApplication::sendEvent(m_frame, &event);
        EXPECT_EQ(m_frame->MessageText(), tip.isEmpty() ? idle : tip);
    }
    post("Scanning: /srv");
    post("");
    EXPECT_EQ(m_frame->MessageText(), idle);
}

TEST_F(MainFrameTest, PaneCommandsAndKeysGoToTheFocusedPaneAndF6VisitsThePanes)
{
    // No frame shortcut takes Delete or Escape from the panes.
    for (const QAction* action : m_frame->Router().Actions())
        for (const QKeySequence& keys : action->shortcuts())
            EXPECT_TRUE(keys != QKeySequence(Qt::Key_Delete) &&
                        keys != QKeySequence(Qt::Key_Escape));
    // The tree, the file list and the two duplicate lists, in F6 order.
    const std::vector<QWidget*> panes = TheMainView->Panes();
    ASSERT_EQ(panes.size(), 4u);
    TheMainView->setFocus();
    EXPECT_FALSE(Enabled(ID_DELETE));  // no pane has the focus to claim it
    panes[0]->setFocus();
    EXPECT_TRUE(Enabled(ID_DELETE));  // the folder tree deletes its folder

    for (std::size_t i = 1; i <= panes.size(); ++i) {
        Action(ID_NEXT_PANE)->trigger();
        EXPECT_EQ(QApplication::focusWidget(), panes[i % panes.size()]) << i;
    }
    Action(ID_PREV_PANE)->trigger();
    EXPECT_EQ(QApplication::focusWidget(), panes.back());
}

TEST_F(MainFrameTest, SizeFormatsAndTheProtectionAreReadOrChosenAndWrittenBack)
{
    struct : framework::SizeDisplay {
        void RefreshSizes() override { ++refreshes; }
        int refreshes = 0;
    } display;
    TheMainView->AddSizeDisplay(&display);
    // Each step: the text stored, the entry chosen (0: the text is read
    // instead), the entry checked and the text stored after.
    const std::tuple<const char*, int, int, const char*> steps[] = {
        {"gB", 0, ID_SIZE_GBYTES, "gB"},
        {"", 0, ID_SIZE_BYTES, ""},
        {"", ID_SIZE_MBYTES, ID_SIZE_MBYTES, "MB"},
        {"stale", ID_SIZE_MBYTES, ID_SIZE_MBYTES, "MB"},
        {"", ID_SIZE_AUTO, ID_SIZE_AUTO, "auto"},
    };
    int refreshes = 0;
    for (const auto& [stored, chosen, checked, after] : steps) {
        SCOPED_TRACE(stored);
        ASSERT_TRUE(m_settings.WriteString(kSection, kSizeFormat, stored));
        if (chosen == 0) m_app.LoadSizeFormat();
        if (chosen != 0) Action(chosen)->trigger(), ++refreshes;
        for (int command = ID_SIZE_BYTES; command <= ID_SIZE_AUTO; ++command)
            EXPECT_EQ(Action(command)->isChecked(), command == checked) << command;
        EXPECT_EQ(m_settings.ReadString(kSection, kSizeFormat, QString()), after);
        EXPECT_EQ(display.refreshes, refreshes);
    }
    // The chosen format reaches the texts the panes draw.
    EXPECT_EQ(framework::SizeTextSource::Instance()->PaddedSizeText(
                  FileSize::FromBytes(500), FileSize::FromBytes(2 * 1048576)),
              QStringLiteral("      500"));
    TheMainView->RemoveSizeDisplay(&display);
    Action(ID_SIZE_BYTES)->trigger();

    // Any nonzero protection value means on.
    for (const auto& [stored, on] : {std::pair{0, false}, std::pair{7, true}}) {
        ASSERT_TRUE(m_settings.WriteInt(kSection, kProtect, stored));
        m_app.LoadProtectSetting();
        EXPECT_EQ(TheMainView->ProtectSystemFiles(), on) << stored;
    }
}

}  // namespace
