#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QHelpEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "framework/CommandRouter.h"
#include "framework/ContextHelp.h"
#include "framework/HelpFile.h"
#include "framework/MenuBuilder.h"
#include "framework/MessageBox.h"
#include "platform/MessageQueue.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

using namespace framework;
using namespace resources;

namespace {

constexpr int kCommandA = ID_RESET, kCommandB = ID_STOP_SCANNING;  // any ids do
constexpr CommandState kDisabled = {.enabled = false, .checked = std::nullopt};

// Claims the commands it is given, with their states; records what it ran, and the check its
// action had then.
struct Recorder : CommandTarget {
    std::map<int, CommandState> claims;
    std::vector<int> ran;
    std::vector<bool> checkSeen;
    CommandRouter* router = nullptr;
    bool OnUpdateCommand(int command, CommandState& state) override
    {
        return claims.count(command) && (state = claims[command], true);
    }
    void OnCommand(int command) override
    {
        ran.push_back(command);
        if (router != nullptr) checkSeen.push_back(router->Action(command)->isChecked());
    }
};
struct Pane : QWidget, Recorder {
    using QWidget::QWidget;
};

// A window holding a pane (with a child) and another widget, both children focusable; the router
// falls back to a view, then a frame. Help comes from the source tree's file, opened as
// "file#anchor" into a list, not a browser.
struct CommandAndHelpTest : ::testing::Test {
    QWidget m_window;
    Pane* m_pane = new Pane(&m_window);
    QWidget* m_paneChild = new QWidget(m_pane);
    QWidget* m_other = new QWidget(&m_window);
    Recorder m_view, m_frame;
    CommandRouter m_router{&m_window};
    const QString m_file =
        qEnvironmentVariable("LARKSPUR_SOURCE_DIR") + "/resources/help/larkspur.html";
    QStringList m_opened;

    CommandAndHelpTest()
    {
        for (QWidget* widget : {m_paneChild, m_other}) widget->setFocusPolicy(Qt::StrongFocus);
        m_router.SetFallbackTargets({&m_view, &m_frame});
        HelpFile::SetFile(m_file);
        HelpFile::SetOpener([this](const QUrl& url) {
            return m_opened << url.toLocalFile() + '#' + url.fragment(), true;
        });
    }
    ~CommandAndHelpTest() override { HelpFile::SetOpener(nullptr), HelpFile::SetFile({}); }
    bool ShowWindow() { return m_window.show(), QTest::qWaitForWindowActive(&m_window); }
    QString Opened(int topic) const { return m_file + '#' + HelpFile::AnchorFor(topic); }
};

// The first claim decides, a disabled one too; an unclaimed command is disabled.
TEST_F(CommandAndHelpTest, CommandsGoToTheFocusedPaneThenTheFallbacksInOrder)
{
    ASSERT_TRUE(ShowWindow());
    m_pane->claims[kCommandA] = m_view.claims[kCommandA] = m_frame.claims[kCommandA] = {};
    m_paneChild->setFocus();  // a widget inside the pane counts as the pane
    EXPECT_TRUE(!m_router.Execute(kCommandB) && m_router.Execute(kCommandA));
    m_frame.claims[kCommandB] = {};
    m_other->setFocus();
    EXPECT_TRUE(m_router.Execute(kCommandA) && m_router.Execute(kCommandB));
    EXPECT_EQ((std::vector{m_pane->ran, m_view.ran, m_frame.ran}),
              (std::vector<std::vector<int>>{{kCommandA}, {kCommandA}, {kCommandB}}));

    m_pane->claims[kCommandB] = kDisabled;
    QAction* action = m_router.Action(kCommandB);
    for (QWidget* focus : {m_paneChild, m_other}) {
        focus->setFocus();
        m_router.UpdateAction(action);
        EXPECT_EQ(action->isEnabled(), focus == m_other);
        EXPECT_EQ(m_router.Execute(kCommandB), focus == m_other);
    }
    EXPECT_EQ(m_frame.ran, (std::vector<int>{kCommandB, kCommandB}));
}

// Choosing does not flip the check: the handler sees the check from before the choice (of the
// same action each time); the rules apply when a watched menu opens and when the event loop is
// about to wait.
TEST_F(CommandAndHelpTest, CommandStatesFollowTheTargetsNotTheChoice)
{
    QAction* action = m_router.Action(kCommandA);
    action->setCheckable(true);
    m_frame.claims[kCommandA] = {};  // no check rule: the handler alone sets it
    m_frame.router = &m_router;
    action->trigger();
    action->setChecked(true);
    action->trigger();
    EXPECT_TRUE(m_frame.checkSeen == (std::vector<bool>{false, true}) && action->isChecked());

    QMenu menu;
    menu.addAction(action);
    m_router.WatchMenu(&menu);
    m_frame.claims[kCommandA] = {.enabled = false, .checked = false};
    Q_EMIT menu.aboutToShow();
    EXPECT_FALSE(action->isEnabled() || action->isChecked());

    m_frame.claims[kCommandA] = {.enabled = true, .checked = true};
    m_router.SetUpdateWhenIdle(true);
    QEventLoop loop;
    // Connected after the router's own update, so this runs after it.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(action->isEnabled() && action->isChecked());
    m_router.SetUpdateWhenIdle(false);
}

// A context menu asks its pane before the router's chain for every entry, and runs a chosen entry
// where it was claimed first.
TEST_F(CommandAndHelpTest, AContextMenuAsksAndRunsItsPaneFirst)
{
    Recorder tree;
    tree.claims = {{ID_EXPLORE, {}}, {ID_DELETE, kDisabled}};
    m_frame.claims = {{ID_EXPLORE, {}}, {ID_DELETE, {}}, {ID_CLEAR_FOLDER_DATA, {}}};
    auto menu = MenuBuilder::CreatePopup(IDR_CONTEXT_MENUS, 0, m_router, &tree);
    ASSERT_NE(menu, nullptr);
    Q_EMIT menu->aboutToShow();
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        const int command = action->data().toInt();
        EXPECT_EQ(action->isEnabled(), command == ID_EXPLORE || command == ID_CLEAR_FOLDER_DATA);
        if (action->isEnabled()) action->trigger();
    }
    EXPECT_EQ(tree.ran, std::vector<int>{ID_EXPLORE});
    EXPECT_EQ(m_frame.ran, std::vector<int>{ID_CLEAR_FOLDER_DATA});
}

// Every pane, message box and dialog topic has its section; a topic opens at its anchor, and
// nothing opens without the file.
TEST_F(CommandAndHelpTest, EveryTopicHasASectionAndOpensAtItsAnchor)
{
    QFile file(m_file);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << m_file.toStdString();
    const QString html = QString::fromUtf8(file.readAll());
    std::vector<int> topics = {HID_FOLDER_TREE, HID_FILE_LIST, HID_DUPLICATE_GROUPS,
                               HID_DUPLICATE_COPIES, 0x20087};  // 0x20087: Delete Duplicate Files
    for (int message = 40002; message <= 40015; ++message)
        if (message < 40008 || message >= 40010) topics.push_back(message);
    EXPECT_TRUE(html.contains("<section id=\"contents\">"));
    for (const int topic : topics)
        EXPECT_TRUE(html.contains("<section id=\"" + HelpFile::AnchorFor(topic) + "\">\n<h2>"))
            << topic;

    EXPECT_TRUE(HelpFile::ShowTopic(IDS_PROTECTED_DIRECTORY));
    EXPECT_EQ(m_opened, QStringList{m_file + "#topic-40007"});
    HelpFile::SetFile(m_file + ".missing");
    EXPECT_TRUE(!HelpFile::ShowTopic(HID_FILE_LIST) && m_opened.size() == 1);
}

// F1 and What's This clicks open the topic of the enclosing pane, else the contents.
TEST_F(CommandAndHelpTest, FocusAndWhatsThisClicksOpenTheTopicOfTheEnclosingPane)
{
    ContextHelp::SetTopic(m_pane, HID_DUPLICATE_GROUPS);
    ASSERT_TRUE(ShowWindow());
    m_paneChild->setFocus();
    EXPECT_TRUE(ContextHelp::ShowFocusTopic());
    QHelpEvent click(QEvent::WhatsThis, QPoint(1, 1), m_paneChild->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(m_paneChild, &click);
    m_other->setFocus();
    EXPECT_TRUE(ContextHelp::ShowFocusTopic());
    EXPECT_EQ(m_opened, QStringList({Opened(HID_DUPLICATE_GROUPS), Opened(HID_DUPLICATE_GROUPS),
                                     m_file + "#contents"}));
}

// A message box shows its string filled (as plain text), runs as a modal loop of ours, and its
// Help button opens the string's topic without closing the box.
TEST_F(CommandAndHelpTest, AMessageBoxsHelpOpensItsTopicWithoutClosingIt)
{
    QStringList texts;
    bool modalSeen = true;
    // Presses Help, then OK, noting each time what the box says.
    std::function<void()> press = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        texts << box->text();
        modalSeen = modalSeen && platform::MessageQueue::Instance().InModalLoop();
        if (texts.size() < 2) QTimer::singleShot(0, press);
        box->button(texts.size() < 2 ? QMessageBox::Help : QMessageBox::Ok)->click();
    };
    QTimer::singleShot(0, press);
    const QString name = "<b>notes.txt</b>";
    EXPECT_EQ(MessageBox::Show(nullptr, IDS_OPEN_ACCESS_DENIED, {name}, QMessageBox::Warning),
              QMessageBox::Ok);
    EXPECT_EQ(texts, QStringList(2, StringTable::Format(IDS_OPEN_ACCESS_DENIED, {name})));
    EXPECT_TRUE(modalSeen && !platform::MessageQueue::Instance().InModalLoop());
    EXPECT_EQ(m_opened, QStringList{Opened(IDS_OPEN_ACCESS_DENIED)});
}

}  // namespace
