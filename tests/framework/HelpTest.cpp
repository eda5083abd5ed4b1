#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "framework/ContextHelp.h"
#include "framework/HelpFile.h"
#include "framework/MessageBox.h"
#include "platform/MessageQueue.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

using framework::ContextHelp;
using framework::HelpFile;

namespace {

// The source tree's help file, with a recorder in place of the browser.
class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HelpFile::SetFile(m_file);
        HelpFile::SetOpener([this](const QUrl& url) { return m_opened.push_back(url), true; });
    }
    void TearDown() override
    {
        HelpFile::SetOpener(nullptr);
        HelpFile::SetFile(QString());
    }

    const QString m_file =
        qEnvironmentVariable("LARKSPUR_SOURCE_DIR") + "/resources/help/larkspur.html";
    std::vector<QUrl> m_opened;
};

// Every pane, message box and dialog topic has its section; a topic opens at
// its anchor, and nothing opens without the file.
TEST_F(HelpTest, EveryTopicHasASectionAndOpensAtItsAnchor)
{
    QFile file(m_file);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << m_file.toStdString();
    const QString html = QString::fromUtf8(file.readAll());
    std::vector<int> topics = {resources::HID_FOLDER_TREE, resources::HID_FILE_LIST,
                               resources::HID_DUPLICATE_GROUPS, resources::HID_DUPLICATE_COPIES,
                               0x20087};  // the Delete Duplicate Files dialog
    for (int message = 40002; message <= 40015; ++message) {
        if (message < 40008 || message >= 40010) topics.push_back(message);
    }
    EXPECT_TRUE(html.contains("<section id=\"contents\">"));
    for (const int topic : topics) {
        EXPECT_TRUE(html.contains("<section id=\"" + HelpFile::AnchorFor(topic) + "\">\n<h2>"))
            << topic;
    }

    EXPECT_TRUE(HelpFile::ShowTopic(resources::IDS_PROTECTED_DIRECTORY));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].toLocalFile(), m_file);
    EXPECT_EQ(m_opened[0].fragment(), "topic-40007");
    HelpFile::SetFile(m_file + ".missing");
    EXPECT_FALSE(HelpFile::ShowTopic(resources::HID_FILE_LIST));
    EXPECT_EQ(m_opened.size(), 1u);
}

// F1 and What's This clicks open the topic of the enclosing pane, else the
// contents.
TEST_F(HelpTest, FocusAndWhatsThisClicksOpenTheTopicOfTheEnclosingPane)
{
    QWidget window;
    auto* pane = new QWidget(&window);
    auto* inside = new QWidget(pane);
    auto* outside = new QWidget(&window);
    inside->setFocusPolicy(Qt::StrongFocus);
    outside->setFocusPolicy(Qt::StrongFocus);
    ContextHelp::SetTopic(pane, resources::HID_DUPLICATE_GROUPS);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    inside->setFocus();
    EXPECT_TRUE(ContextHelp::ShowFocusTopic());
    QHelpEvent click(QEvent::WhatsThis, QPoint(1, 1), inside->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(inside, &click);
    outside->setFocus();
    EXPECT_TRUE(ContextHelp::ShowFocusTopic());
    const QString topic = HelpFile::AnchorFor(resources::HID_DUPLICATE_GROUPS);
    ASSERT_EQ(m_opened.size(), 3u);
    EXPECT_EQ(QStringList({m_opened[0].fragment(), m_opened[1].fragment(), m_opened[2].fragment()}),
              QStringList({topic, topic, "contents"}));
}

// A message box shows its string filled (as plain text), runs as a modal
// loop of ours, and its Help button opens the string's topic without closing
// the box.
TEST_F(HelpTest, AMessageBoxsHelpOpensItsTopicWithoutClosingIt)
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
    EXPECT_EQ(framework::MessageBox::Show(nullptr, resources::IDS_OPEN_ACCESS_DENIED, {name},
                                          QMessageBox::Warning),
              QMessageBox::Ok);
    EXPECT_EQ(texts, QStringList(2, resources::StringTable::Format(
                                        resources::IDS_OPEN_ACCESS_DENIED, {name})));
    EXPECT_TRUE(modalSeen);
    EXPECT_FALSE(platform::MessageQueue::Instance().InModalLoop());
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].fragment(), HelpFile::AnchorFor(resources::IDS_OPEN_ACCESS_DENIED));
}

}  // namespace
