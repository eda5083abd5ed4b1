#include <functional>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/CGeneralPage.h"
#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "framework/CommandRouter.h"
#include "framework/PropertySheet.h"
#include "platform/FileQueries.h"
#include "resources/CommandIds.h"
#include "support/IsolatedEnvironment.h"

namespace {

const QString kSection = QStringLiteral("Options");
const QString kProtect = QStringLiteral("Protect Sys Files");
// Only shown, never touched: no such folder needs to exist.
const char* const kProtectedDirectory = "/opt/System Files/Mixed";

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override { TheMainView->SetProtectSystemFiles(true); }

    platform::SettingsStore& Settings() { return CLarkspurApp::Instance()->Settings(); }

    // Chooses Options and, once the sheet shows, lets act work on it before
    // it is closed with the button given.
    void RunOptions(const std::function<void(framework::PropertySheet&, CGeneralPage&)>& act,
                    QDialogButtonBox::StandardButton close)
    {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* sheet =
                qobject_cast<framework::PropertySheet*>(QApplication::activeModalWidget());
            if (sheet == nullptr) return;
            auto* page = sheet->findChild<CGeneralPage*>();
            auto* buttons = sheet->findChild<QDialogButtonBox*>();
            shown = page != nullptr && buttons != nullptr;
            if (shown) act(*sheet, *page);
            if (shown)
                buttons->button(close)->click();
            else
                sheet->reject();
        });
        CLarkspurApp::Instance()
            ->MainFrame()
            ->Router()
            .Action(resources::ID_VIEW_OPTIONS)
            ->trigger();
        ASSERT_TRUE(shown);
    }
};

TEST_F(OptionsTest, TheSheetShowsTheFlagAndTheDirectoryAsTheSystemNamedIt)
{
    RunOptions(
        [](framework::PropertySheet& sheet, CGeneralPage& page) {
            EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Options"));
            auto* tabs = sheet.findChild<QTabWidget*>();
            ASSERT_NE(tabs, nullptr);
            EXPECT_EQ(tabs->count(), 1);
            EXPECT_EQ(tabs->tabText(0), QStringLiteral("General"));
            auto* buttons = sheet.findChild<QDialogButtonBox*>();
            EXPECT_EQ(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
            EXPECT_TRUE(page.ProtectBox()->isChecked());
            EXPECT_EQ(page.ProtectBox()->text(),
                      QStringLiteral("Protect system files from deletion"));
            EXPECT_EQ(page.DirectoryEdit()->text(), QString::fromUtf8(kProtectedDirectory));
            EXPECT_TRUE(page.DirectoryEdit()->isReadOnly());
        },
        QDialogButtonBox::Cancel);
}

TEST_F(OptionsTest, OkWritesTheFlagEvenWhenUnchanged)
{
    ASSERT_TRUE(Settings().WriteInt(kSection, kProtect, 7));
    RunOptions([](framework::PropertySheet&, CGeneralPage&) {}, QDialogButtonBox::Ok);
    EXPECT_TRUE(TheMainView->ProtectSystemFiles());
    EXPECT_EQ(Settings().ReadInt(kSection, kProtect, -1), 1);

    RunOptions([](framework::PropertySheet&, CGeneralPage& page) { page.ProtectBox()->click(); },
               QDialogButtonBox::Ok);
    EXPECT_FALSE(TheMainView->ProtectSystemFiles());
    EXPECT_EQ(Settings().ReadInt(kSection, kProtect, -1), 0);
}

TEST_F(OptionsTest, CancelChangesAndWritesNothing)
{
    ASSERT_TRUE(Settings().WriteInt(kSection, kProtect, 7));
    RunOptions([](framework::PropertySheet&, CGeneralPage& page) { page.ProtectBox()->click(); },
               QDialogButtonBox::Cancel);
    EXPECT_TRUE(TheMainView->ProtectSystemFiles());
    EXPECT_EQ(Settings().ReadInt(kSection, kProtect, -1), 7);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!InIsolatedEnvironment()) return 1;
    platform::FileQueries::SetProtectedSystemDirectoryForTesting(kProtectedDirectory);
    CLarkspurApp application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (!application.InitInstance()) return 1;
    return RUN_ALL_TESTS();
}
