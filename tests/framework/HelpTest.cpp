#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "framework/ContextHelp.h"
#include "framework/HelpFile.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

using framework::ContextHelp;
using framework::HelpFile;

namespace {

QString SourceHelpFile()
{
    return qEnvironmentVariable("LARKSPUR_SOURCE_DIR") +
           QStringLiteral("/resources/help/larkspur.html");
}

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HelpFile::SetFile(SourceHelpFile());
        HelpFile::SetOpener([this](const QUrl& url) {
            m_opened.push_back(url);
            return true;
        });
    }
    void TearDown() override
    {
        HelpFile::SetOpener(nullptr);
        HelpFile::SetFile(QString());
    }

    std::vector<QUrl> m_opened;
};

TEST_F(HelpTest, TheHelpFileHasASectionForEveryTopic)
{
    QFile file(SourceHelpFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << SourceHelpFile().toStdString();
    const QString html = QString::fromUtf8(file.readAll());
    std::vector<int> topics = {resources::HID_FOLDER_TREE, resources::HID_FILE_LIST,
                               resources::HID_DUPLICATE_GROUPS, resources::HID_DUPLICATE_COPIES};
    for (int message = 40002; message <= 40007; ++message) topics.push_back(message);
    for (int message = 40010; message <= 40015; ++message) topics.push_back(message);
    topics.push_back(0x20087);  // the Delete Duplicate Files dialog
    for (int topic : topics) {
        const QString section =
            QStringLiteral("<section id=\"%1\">\n<h2>").arg(HelpFile::AnchorFor(topic));
        EXPECT_TRUE(html.contains(section)) << topic;
    }
    EXPECT_TRUE(html.contains(QStringLiteral("<section id=\"contents\">")));
}

TEST_F(HelpTest, TopicsOpenAtTheirAnchorAndNothingOpensWithoutTheFile)
{
    EXPECT_TRUE(HelpFile::ShowTopic(resources::IDS_PROTECTED_DIRECTORY));
    EXPECT_TRUE(HelpFile::ShowContents());
    ASSERT_EQ(m_opened.size(), 2u);
    EXPECT_EQ(m_opened[0].toLocalFile(), SourceHelpFile());
    EXPECT_EQ(m_opened[0].fragment(), QStringLiteral("topic-40007"));
    EXPECT_EQ(m_opened[1].fragment(), QStringLiteral("contents"));

    HelpFile::SetFile(SourceHelpFile() + QStringLiteral(".missing"));
    EXPECT_FALSE(HelpFile::ShowTopic(resources::HID_FILE_LIST));
    EXPECT_EQ(m_opened.size(), 2u);
}

TEST_F(HelpTest, FocusAndWhatsThisClicksOpenTheTopicOfTheEnclosingPane)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* pane = new QWidget(&window);
    auto* inside = new QWidget(pane);
    inside->setFocusPolicy(Qt::StrongFocus);
    auto* outside = new QWidget(&window);
    outside->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(pane);
    layout->addWidget(outside);
    ContextHelp::SetTopic(pane, resources::HID_DUPLICATE_GROUPS);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    inside->setFocus();
    EXPECT_TRUE(ContextHelp::ShowFocusTopic());
    outside->setFocus();
    EXPECT_TRUE(ContextHelp::ShowFocusTopic());

    QHelpEvent click(QEvent::WhatsThis, QPoint(1, 1), inside->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(inside, &click);

    ASSERT_EQ(m_opened.size(), 3u);
    EXPECT_EQ(m_opened[0].fragment(), HelpFile::AnchorFor(resources::HID_DUPLICATE_GROUPS));
    EXPECT_EQ(m_opened[1].fragment(), QStringLiteral("contents"));
    EXPECT_EQ(m_opened[2].fragment(), HelpFile::AnchorFor(resources::HID_DUPLICATE_GROUPS));
}

}  // namespace
