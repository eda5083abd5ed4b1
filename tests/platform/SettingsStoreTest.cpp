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
QString ConfigHome() { return QFile::decodeName(qgetenv("XDG_CONFIG_HOME")); }

bool WriteFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
}

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(ConfigHome().isEmpty()) << "run through ctest (tests/isolated-run.sh)";
    }
};

TEST_F(SettingsStoreTest, WrittenValuesGoToTheIniFileAndReadBackThroughAFreshStore)
{
    {
        SettingsStore store(kOrganisation, QStringLiteral("Larkspur"));
        EXPECT_TRUE(store.WriteString(kOptions, kSizeFormat, QStringLiteral("KB")));
        EXPECT_TRUE(store.WriteInt(kOptions, kProtect, 0));
        EXPECT_TRUE(
            store.WriteString(kOptions, QStringLiteral("Text"), QStringLiteral("a, b = c; d")));
    }
    const SettingsStore store(kOrganisation, QStringLiteral("Larkspur"));
    EXPECT_EQ(store.ReadString(kOptions, kSizeFormat, {}), QStringLiteral("KB"));
    EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), 0);
    EXPECT_EQ(store.ReadString(kOptions, QStringLiteral("Text"), {}),
              QStringLiteral("a, b = c; d"));
    // The integer is stored as text and reads as a string too.
    EXPECT_EQ(store.ReadString(kOptions, kProtect, {}), QStringLiteral("0"));
    // Absent sections and keys read as the fallback.
    EXPECT_EQ(store.ReadInt(QStringLiteral("Other"), kProtect, 5), 5);
    EXPECT_EQ(store.ReadString(kOptions, QStringLiteral("Absent"), QStringLiteral("none")),
              QStringLiteral("none"));

    QFile file(ConfigHome() + QStringLiteral("/Oakhollow Software/Larkspur.ini"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_TRUE(lines.contains("[Options]"));
    EXPECT_TRUE(lines.contains("Protect%20Sys%20Files=0"));
    EXPECT_TRUE(lines.contains("Size%20Format=KB"));
}

TEST_F(SettingsStoreTest, OnlyAWholeDecimalNumberInRangeReadsAsAnInteger)
{
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"on", 1}, {"7x", 1}, {"99999999999", 1}, {"", 1}, {"7", 7}, {"-3", -3}};
    SettingsStore store(kOrganisation, QStringLiteral("Integers"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(store.WriteString(kOptions, kProtect, QString::fromUtf8(c.text)));
        EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), c.expected);
    }
}

TEST_F(SettingsStoreTest, AHandEditedFileIsRead)
{
    ASSERT_TRUE(WriteFile(ConfigHome() + QStringLiteral("/Oakhollow Software/Edited.ini"),
                          "[Options]\n"
                          "Size%20Format=kb\n"
                          "Protect%20Sys%20Files = 7\n"
                          "List=KB, MB\n"));
    const SettingsStore store(kOrganisation, QStringLiteral("Edited"));
    EXPECT_EQ(store.ReadString(kOptions, kSizeFormat, {}), QStringLiteral("kb"));
    EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), 7);
    // Unquoted commas make a list, which is not one string.
    EXPECT_EQ(store.ReadString(kOptions, QStringLiteral("List"), QStringLiteral("fallback")),
              QStringLiteral("fallback"));
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeWrittenSaysSo)
{
    // A plain file where the organisation's folder should be: the INI file
    // cannot be created, even by root.
    ASSERT_TRUE(WriteFile(ConfigHome() + QStringLiteral("/Blocked Org"), "not a folder\n"));
    SettingsStore store(QStringLiteral("Blocked Org"), QStringLiteral("Larkspur"));
    EXPECT_FALSE(store.WriteString(kOptions, kSizeFormat, QStringLiteral("GB")));
    EXPECT_FALSE(store.WriteInt(kOptions, kProtect, 0));
    EXPECT_EQ(store.ReadString(kOptions, kSizeFormat, QStringLiteral("none")),
              QStringLiteral("none"));
    EXPECT_EQ(store.ReadInt(kOptions, kProtect, 1), 1);
}

}  // namespace
