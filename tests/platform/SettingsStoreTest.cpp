#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool WriteFile(const QString& name, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(ConfigFile(name)).absolutePath());
    QFile file(ConfigFile(name));
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
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

TEST(SettingsStoreTest, AHandEditedFileIsReadAndOnlyAWholeNumberInRangeIsAnInteger)
{
    ASSERT_TRUE(WriteFile(QStringLiteral("Oakhollow Software/Edited.ini"),
                          "[Options]\nSize%20Format=kb\nProtect%20Sys%20Files = 7\nList=KB, MB\n"));
    SettingsStore store(kOrganisation, QStringLiteral("Edited"));
    EXPECT_EQ(store.ReadString(kOptions, kSizeFormat, {}), QStringLiteral("kb"));
    EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), 7);
    // Unquoted commas make a list, which is not one string.
    EXPECT_EQ(store.ReadString(kOptions, "List", "fallback"), "fallback");

    for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, int>>{
             {"on", 1}, {"7x", 1}, {"99999999999", 1}, {"", 1}, {"7", 7}, {"-3", -3}}) {
        ASSERT_TRUE(store.WriteString(kOptions, kProtect, text));
        EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), expected) << text;
    }
}

TEST(SettingsStoreTest, AStoreThatCannotBeWrittenSaysSo)
{
    // A plain file where the organisation's folder should be: the INI file
    // cannot be created, even by root.
    ASSERT_TRUE(WriteFile(QStringLiteral("Blocked Org"), "not a folder\n"));
    SettingsStore store(QStringLiteral("Blocked Org"), QStringLiteral("Larkspur"));
    EXPECT_FALSE(store.WriteString(kOptions, kSizeFormat, "GB"));
    EXPECT_FALSE(store.WriteInt(kOptions, kProtect, 0));
    EXPECT_EQ(store.ReadString(kOptions, kSizeFormat, "none"), "none");
    EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), 1);
}

}  // namespace
