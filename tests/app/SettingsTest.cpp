#include <gtest/gtest.h>

#include <QAction>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "framework/CommandRouter.h"
#include "framework/SizeDisplay.h"
#include "resources/CommandIds.h"
#include "support/AppTestMain.h"

namespace {

const QString kSection = QStringLiteral("Options");
const QString kSizeFormat = QStringLiteral("Size Format");
const QString kProtect = QStringLiteral("Protect Sys Files");

class SettingsTest : public ::testing::Test {
protected:
    CLarkspurApp& App() { return *CLarkspurApp::Instance(); }
    platform::SettingsStore& Settings() { return App().Settings(); }
    int CheckedSizeEntries()
    {
        int checked = 0;
        for (int command = resources::ID_SIZE_BYTES; command <= resources::ID_SIZE_AUTO; ++command)
            checked += App().MainFrame()->Router().Action(command)->isChecked() ? 1 : 0;
        return checked;
    }
    bool Checked(int command) { return App().MainFrame()->Router().Action(command)->isChecked(); }
};

TEST_F(SettingsTest, SizeFormatTextsAreMatchedWithoutCaseAndUnknownOnesMeanBytes)
{
    struct Case {
        const char* stored;
        SizeFormat expected;
        int entry;
    };
    for (const Case& c : {Case{"kb", SizeFormat::KBytes, resources::ID_SIZE_KBYTES},
                          Case{"Auto", SizeFormat::Auto, resources::ID_SIZE_AUTO},
                          Case{"gB", SizeFormat::GBytes, resources::ID_SIZE_GBYTES},
                          Case{"KBx", SizeFormat::Bytes, resources::ID_SIZE_BYTES},
                          Case{"MB", SizeFormat::MBytes, resources::ID_SIZE_MBYTES},
                          Case{"", SizeFormat::Bytes, resources::ID_SIZE_BYTES}}) {
        ASSERT_TRUE(Settings().WriteString(kSection, kSizeFormat, QString::fromLatin1(c.stored)));
        App().LoadSizeFormat();
        EXPECT_EQ(App().GetSizeFormat(), c.expected) << c.stored;
        EXPECT_TRUE(Checked(c.entry)) << c.stored;
        EXPECT_EQ(CheckedSizeEntries(), 1) << c.stored;
        // Reading never rewrites the stored text.
        EXPECT_EQ(Settings().ReadString(kSection, kSizeFormat, QString()),
                  QString::fromLatin1(c.stored));
    }
}

TEST_F(SettingsTest, AnyNonzeroProtectionValueMeansOnAndIsWrittenBackAsOne)
{
    // Which texts read as which number is the settings store's own test.
    for (const auto& [stored, on] : {std::pair{0, false}, std::pair{7, true}}) {
        ASSERT_TRUE(Settings().WriteInt(kSection, kProtect, stored));
        App().LoadProtectSetting();
        EXPECT_EQ(TheMainView->ProtectSystemFiles(), on) << stored;
        EXPECT_EQ(Settings().ReadInt(kSection, kProtect, -1), on ? 1 : 0) << stored;
    }
    TheMainView->SetProtectSystemFiles(false);
    EXPECT_EQ(Settings().ReadInt(kSection, kProtect, -1), 0);
}

class CountingDisplay : public framework::SizeDisplay {
public:
    void RefreshSizes() override { ++refreshes; }
    int refreshes = 0;
};

TEST_F(SettingsTest, ChoosingAFormatRedrawsWritesAndChecksEvenWhenItIsCurrent)
{
    CountingDisplay tree;
    CountingDisplay list;
    TheMainView->AddSizeDisplay(&tree);
    TheMainView->AddSizeDisplay(&list);
    framework::CommandRouter& router = App().MainFrame()->Router();

    router.Action(resources::ID_SIZE_MBYTES)->trigger();
    EXPECT_EQ(App().GetSizeFormat(), SizeFormat::MBytes);
    EXPECT_EQ(App().SizeText(FileSize::FromBytes(123456789)), QStringLiteral("118MB"));
    EXPECT_EQ(Settings().ReadString(kSection, kSizeFormat, QString()), QStringLiteral("MB"));
    EXPECT_TRUE(Checked(resources::ID_SIZE_MBYTES));
    EXPECT_EQ(CheckedSizeEntries(), 1);

    ASSERT_TRUE(Settings().WriteString(kSection, kSizeFormat, QStringLiteral("stale")));
    router.Action(resources::ID_SIZE_MBYTES)->trigger();
    EXPECT_EQ(Settings().ReadString(kSection, kSizeFormat, QString()), QStringLiteral("MB"));
    EXPECT_TRUE(Checked(resources::ID_SIZE_MBYTES));
    EXPECT_EQ(tree.refreshes, 2);
    EXPECT_EQ(list.refreshes, 2);

    router.Action(resources::ID_SIZE_AUTO)->trigger();
    EXPECT_EQ(Settings().ReadString(kSection, kSizeFormat, QString()), QStringLiteral("auto"));
    EXPECT_TRUE(Checked(resources::ID_SIZE_AUTO));
    EXPECT_EQ(CheckedSizeEntries(), 1);
    EXPECT_EQ(framework::SizeTextSource::Instance()->PaddedSizeText(
                  FileSize::FromBytes(500), FileSize::FromBytes(2 * 1048576)),
              QStringLiteral("      500"));

    TheMainView->RemoveSizeDisplay(&tree);
    TheMainView->RemoveSizeDisplay(&list);
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunApplicationTests(argc, argv); }
