#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QIcon>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurDoc.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "framework/CommandRouter.h"
#include "resources/CommandIds.h"
#include "support/IsolatedEnvironment.h"

namespace {

const QString kSection = QStringLiteral("Options");
const QString kAbsent = QStringLiteral("<absent>");

// A first start: nothing in the settings store yet.
TEST(FirstStartTest, ShowsBytesProtectsAndWritesOnlyTheProtectionFlag)
{
    CLarkspurApp* app = CLarkspurApp::Instance();
    platform::SettingsStore& settings = app->Settings();
    ASSERT_EQ(settings.ReadInt(kSection, QStringLiteral("Protect Sys Files"), -1), -1);
    ASSERT_EQ(settings.ReadString(kSection, QStringLiteral("Size Format"), kAbsent), kAbsent);

    ASSERT_TRUE(app->InitInstance());

    CMainFrame* frame = app->MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled - Larkspur"));
    EXPECT_EQ(app->GetSizeFormat(), SizeFormat::Bytes);
    EXPECT_TRUE(frame->Router().Action(resources::ID_SIZE_BYTES)->isChecked());
    ASSERT_NE(TheMainView, nullptr);
    EXPECT_TRUE(TheMainView->ProtectSystemFiles());
    EXPECT_EQ(settings.ReadInt(kSection, QStringLiteral("Protect Sys Files"), -1), 1);
    EXPECT_EQ(settings.ReadString(kSection, QStringLiteral("Size Format"), kAbsent), kAbsent);
}

// The desktop finds the entry and the icon by these names; without an icon
// theme (as here, offscreen) every window still shows the drawn icon.
TEST(FirstStartTest, NamesItselfForTheDesktopAndCarriesItsIcon)
{
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("larkspur"));
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Larkspur"));
    const QIcon icon = QGuiApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(32, 32).size(), QSize(32, 32));
    CMainFrame* frame = CLarkspurApp::Instance()->MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowIcon().cacheKey(), icon.cacheKey());
}

TEST(FirstStartTest, ADocumentNamedOnTheCommandLineGivesOnlyItsTitle)
{
    EXPECT_EQ(CLarkspurDoc().Title(), QStringLiteral("Untitled"));
    // Nothing is read: the file need not exist.
    EXPECT_EQ(CLarkspurDoc(QStringLiteral("/nowhere/at all/report.lsp")).Title(),
              QStringLiteral("report.lsp"));
}

}  // namespace

int main(int argc, char** argv)
{
    if (!InIsolatedEnvironment()) return 1;
    CLarkspurApp application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
