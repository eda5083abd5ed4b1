// The first start and the Options sheet: a program of its own, to start
// with empty settings and a protected directory set beforehand.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/CGeneralPage.h"
#include "app/CLarkspurApp.h"
#include "app/CLarkspurDoc.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "framework/CommandRouter.h"
#include "framework/PropertySheet.h"
#include "platform/FileQueries.h"
#include "resources/CommandIds.h"
#include "support/IsolatedEnvironment.h"

namespace {

const QString kSection("Options"), kProtect("Protect Sys Files"), kSizeFormat("Size Format");
const char* const kProtectedDirectory = "/opt/System Files/Mixed";

TEST(OptionsTest, TheFirstStartShowsBytesProtectsAndWritesOnlyTheProtectionFlag)
{
    CLarkspurApp* app = CLarkspurApp::Instance();
    platform::SettingsStore& settings = app->Settings();
    ASSERT_TRUE(app->InitInstance());

    CMainFrame* frame = app->MainFrame();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled - Larkspur"));
    EXPECT_EQ(app->GetSizeFormat(), SizeFormat::Bytes);
    EXPECT_TRUE(TheMainView->ProtectSystemFiles());
    EXPECT_EQ(settings.ReadInt(kSection, kProtect, -1), 1);
    EXPECT_EQ(settings.ReadString(kSection, kSizeFormat, "absent"), "absent");
    // The desktop finds the entry and the icon by these names; without an
    // icon theme (as here) the window still shows the drawn icon.
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("larkspur"));
    EXPECT_EQ(QGuiApplication::windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_EQ(frame->windowIcon().cacheKey(), QGuiApplication::windowIcon().cacheKey());
    // A document named on the command line gives only its title.
    EXPECT_EQ(CLarkspurDoc(QStringLiteral("/nowhere/at all/report.lsp")).Title(), "report.lsp");
}

TEST(OptionsTest, TheSheetShowsTheSettingAndOkWritesItEvenWhenUnchanged)
{
    ASSERT_TRUE(TheMainView != nullptr || CLarkspurApp::Instance()->InitInstance());
    CLarkspurApp& app = *CLarkspurApp::Instance();
    platform::SettingsStore& settings = app.Settings();
    // Each row: whether the box is clicked, the button that closes, then
    // the protection and the stored value (7 before).
    const std::tuple<bool, QDialogButtonBox::StandardButton, bool, int> rows[] = {
        {false, QDialogButtonBox::Ok, true, 1},
        {true, QDialogButtonBox::Cancel, true, 7},
        {true, QDialogButtonBox::Ok, false, 0},
    };
    for (const auto& [click, close, on, stored] : rows) {
        SCOPED_TRACE(close);
        TheMainView->SetProtectSystemFiles(true);
        ASSERT_TRUE(settings.WriteInt(kSection, kProtect, 7));
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* sheet =
                qobject_cast<framework::PropertySheet*>(QApplication::activeModalWidget());
            auto* page = sheet != nullptr ? sheet->findChild<CGeneralPage*>() : nullptr;
            if (page == nullptr) return sheet != nullptr ? sheet->reject() : void();
            shown = true;
            EXPECT_TRUE(page->ProtectBox()->isChecked());
            EXPECT_EQ(page->DirectoryEdit()->text(), QString::fromUtf8(kProtectedDirectory));
            EXPECT_TRUE(page->DirectoryEdit()->isReadOnly());
            if (click) page->ProtectBox()->click();
            sheet->findChild<QDialogButtonBox*>()->button(close)->click();
        });
        app.MainFrame()->Router().Action(resources::ID_VIEW_OPTIONS)->trigger();
        ASSERT_TRUE(shown);
        EXPECT_EQ(TheMainView->ProtectSystemFiles(), on);
        EXPECT_EQ(settings.ReadInt(kSection, kProtect, -1), stored);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (!InIsolatedEnvironment()) return 1;
    platform::FileQueries::SetProtectedSystemDirectoryForTesting(kProtectedDirectory);
    CLarkspurApp application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
