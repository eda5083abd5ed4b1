#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using platform::SettingsStore;

const QString kOrganisation = QStringLiteral("Oakhollow Software");
const QString kOptions = QStringLiteral("Options");
const QString kSizeFormat = QStringLiteral("Size Format");
const QString kProtect = QStringLiteral("Protect Sys Files");

// isolated-run.sh gives every test program its own XDG_CONFIG_HOME.
QString ConfigFile(const QString& name)
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/") + name;
}

TEST(SettingsStoreTest, ValuesGoToTheIniFileAndReadBackThroughAFreshStore)
{
    {
        SettingsStore store(kOrganisation, QStringLiteral("Larkspur"));
        EXPECT_TRUE(store.WriteString(kOptions, kSizeFormat, "KB") &&
                    store.WriteInt(kOptions, kProtect, 0) &&
                    store.WriteString(kOptions, "Text", "a, b = c; d"));
    }
    const SettingsStore store(kOrganisation, QStringLiteral("Larkspur"));
    EXPECT_EQ(store.ReadString(kOptions, kSizeFormat, {}), QStringLiteral("KB"));
    EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), 0);
    EXPECT_EQ(store.ReadString(kOptions, "Text", {}), "a, b = c; d");
    EXPECT_EQ(store.ReadString(kOptions, kProtect, {}), QStringLiteral("0"));  // stored as text
    EXPECT_EQ(store.ReadInt(QStringLiteral("Other"), kProtect, 5), 5);
    EXPECT_EQ(store.ReadString(kOptions, "Absent", "none"), "none");

    QFile file(ConfigFile(QStringLiteral("Oakhollow Software/Larkspur.ini")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const char* line : {"[Options]", "Protect%20Sys%20Files=0", "Size%20Format=KB"}) {
        EXPECT_TRUE(lines.contains(line)) << line;
    }
}

// A hand-edited file is read; only a whole number in range is an integer.
// A plain file where the organisation's folder should be makes a store that
// cannot be written, even by root.
TEST(SettingsStoreTest, AHandEditedFileIsReadAndABlockedOneSaysSo)
{
    QDir().mkpath(ConfigFile(QStringLiteral("Edited Org")));
    QFile edited(ConfigFile(QStringLiteral("Edited Org/Edited.ini")));
    QFile blocked(ConfigFile(QStringLiteral("Blocked Org")));
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly) && blocked.open(QIODevice::WriteOnly));
    edited.write("[Options]\nSize%20Format=kb\nProtect%20Sys%20Files = 7\nList=KB, MB\n");
    edited.close();
    blocked.close();
    SettingsStore store(QStringLiteral("Edited Org"), QStringLiteral("Edited"));
    EXPECT_EQ(store.ReadString(kOptions, kSizeFormat, {}), QStringLiteral("kb"));
    EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), 7);
    // Unquoted commas make a list, which is not one string.
    EXPECT_EQ(store.ReadString(kOptions, "List", "fallback"), "fallback");
    for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, int>>{
             {"on", 1}, {"7x", 1}, {"99999999999", 1}, {"", 1}, {"7", 7}, {"-3", -3}}) {
        ASSERT_TRUE(store.WriteString(kOptions, kProtect, text));
        EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), expected) << text;
    }

    SettingsStore none(QStringLiteral("Blocked Org"), QStringLiteral("Larkspur"));
    EXPECT_FALSE(none.WriteString(kOptions, kSizeFormat, "GB") ||
                 none.WriteInt(kOptions, kProtect, 0));
    EXPECT_EQ(none.ReadString(kOptions, kSizeFormat, "none"), "none");
    EXPECT_EQ(none.ReadInt(kOptions, kProtect, 1), 1);
}

}  // namespace
