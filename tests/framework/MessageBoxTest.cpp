#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "framework/HelpFile.h"
#include "framework/MessageBox.h"
#include "platform/MessageQueue.h"
#include "resources/StringTable.h"

namespace {

// Presses the given buttons, one per showing of the modal box, and notes
// what the box said and whether our modal scope was open.
class Presser {
public:
    explicit Presser(std::vector<QMessageBox::StandardButton> presses) : m_presses(presses) {}

    void ArmNext()
    {
        QTimer::singleShot(0, [this] { PressNow(); });
    }

    QStringList texts;
    bool modalSeen = true;

private:
    void PressNow()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        texts << box->text();
        modalSeen = modalSeen && platform::MessageQueue::Instance().InModalLoop();
        const QMessageBox::StandardButton press = m_presses[m_next++];
        if (m_next < m_presses.size()) ArmNext();
        box->button(press)->click();
    }

    std::vector<QMessageBox::StandardButton> m_presses;
    std::size_t m_next = 0;
};

TEST(MessageBoxTest, FillsTheStringAndHelpOpensItsTopicWithoutClosingTheBox)
{
    std::vector<QUrl> opened;
    framework::HelpFile::SetFile(qEnvironmentVariable("LARKSPUR_SOURCE_DIR") +
                                 QStringLiteral("/resources/help/larkspur.html"));
    framework::HelpFile::SetOpener([&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    });

    Presser presser({QMessageBox::Help, QMessageBox::Ok});
    presser.ArmNext();
    const auto result =
        framework::MessageBox::Show(nullptr, resources::IDS_OPEN_ACCESS_DENIED,
                                    {QStringLiteral("<b>notes.txt</b>")}, QMessageBox::Warning);

    EXPECT_EQ(result, QMessageBox::Ok);
    ASSERT_EQ(presser.texts.size(), 2);
    EXPECT_EQ(presser.texts[0],
              resources::StringTable::Format(resources::IDS_OPEN_ACCESS_DENIED,
                                             {QStringLiteral("<b>notes.txt</b>")}));
    EXPECT_TRUE(presser.texts[0].contains(QStringLiteral("'<b>notes.txt</b>'")));
    EXPECT_TRUE(presser.modalSeen);
    EXPECT_FALSE(platform::MessageQueue::Instance().InModalLoop());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].fragment(), QStringLiteral("topic-40005"));

    framework::HelpFile::SetOpener(nullptr);
    framework::HelpFile::SetFile(QString());
}

}  // namespace
