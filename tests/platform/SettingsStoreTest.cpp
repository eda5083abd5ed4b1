#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using platform::SettingsStore;

const QString kOrganisation = QStringLiteral("Oakhollow Software");

// isolated-run.sh gives every test program its own XDG_CONFIG_HOME.
QString ConfigHome() { return QFile::decodeName(qgetenv("XDG_CONFIG_HOME")); }

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(ConfigHome().isEmpty()) << "run through ctest (tests/isolated-run.sh)";
    }

    static bool WriteFile(const QString& path, const QByteArray& contents)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(contents) == contents.size();
    }
};

TEST_F(SettingsStoreTest, WrittenValuesReadBackThroughAFreshStore)
{
    {
        SettingsStore store(kOrganisation, QStringLiteral("RoundTrip"));
        EXPECT_TRUE(store.WriteString(QStringLiteral("Options"), QStringLiteral("Size Format"),
                                      QStringLiteral("KB")));
        EXPECT_TRUE(
            store.WriteInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 0));
        EXPECT_TRUE(store.WriteString(QStringLiteral("Options"), QStringLiteral("Text"),
                                      QStringLiteral("a, b = c; d")));
    }
    const SettingsStore store(kOrganisation, QStringLiteral("RoundTrip"));
    EXPECT_EQ(store.ReadString(QStringLiteral("Options"), QStringLiteral("Size Format"), {}),
              QStringLiteral("KB"));
    EXPECT_EQ(store.ReadInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 1), 0);
    EXPECT_EQ(store.ReadString(QStringLiteral("Options"), QStringLiteral("Text"), {}),
              QStringLiteral("a, b = c; d"));
    // The integer is stored as text and reads as a string too.
    EXPECT_EQ(store.ReadString(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), {}),
              QStringLiteral("0"));
}

TEST_F(SettingsStoreTest, AbsentValuesReadAsTheFallback)
{
    SettingsStore store(kOrganisation, QStringLiteral("Absent"));
    EXPECT_EQ(store.ReadString(QStringLiteral("Options"), QStringLiteral("Size Format"),
                               QStringLiteral("none")),
              QStringLiteral("none"));
    EXPECT_EQ(store.ReadInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 1), 1);

    ASSERT_TRUE(store.WriteInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 0));
    EXPECT_EQ(store.ReadInt(QStringLiteral("Other"), QStringLiteral("Protect Sys Files"), 5), 5);
}

TEST_F(SettingsStoreTest, TextThatIsNotAnIntegerReadsAsTheFallback)
{
    SettingsStore store(kOrganisation, QStringLiteral("NotInteger"));
    const QString section = QStringLiteral("Options");
    const QString key = QStringLiteral("Protect Sys Files");

    ASSERT_TRUE(store.WriteString(section, key, QStringLiteral("on")));
    EXPECT_EQ(store.ReadInt(section, key, 1), 1);
    ASSERT_TRUE(store.WriteString(section, key, QStringLiteral("7x")));
    EXPECT_EQ(store.ReadInt(section, key, 1), 1);
    ASSERT_TRUE(store.WriteString(section, key, QStringLiteral("99999999999")));
    EXPECT_EQ(store.ReadInt(section, key, 1), 1);
    ASSERT_TRUE(store.WriteString(section, key, QString()));
    EXPECT_EQ(store.ReadInt(section, key, 1), 1);

    ASSERT_TRUE(store.WriteString(section, key, QStringLiteral("7")));
    EXPECT_EQ(store.ReadInt(section, key, 1), 7);
    ASSERT_TRUE(store.WriteString(section, key, QStringLiteral("-3")));
    EXPECT_EQ(store.ReadInt(section, key, 1), -3);
}

TEST_F(SettingsStoreTest, TheFileIsAnIniFileUnderTheConfigHome)
{
    SettingsStore store(kOrganisation, QStringLiteral("Larkspur"));
    ASSERT_TRUE(store.WriteInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 1));
    ASSERT_TRUE(store.WriteString(QStringLiteral("Options"), QStringLiteral("Size Format"),
                                  QStringLiteral("auto")));

    QFile file(ConfigHome() + QStringLiteral("/Oakhollow Software/Larkspur.ini"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_TRUE(lines.contains("[Options]"));
    EXPECT_TRUE(lines.contains("Protect%20Sys%20Files=1"));
    EXPECT_TRUE(lines.contains("Size%20Format=auto"));
}

TEST_F(SettingsStoreTest, AHandEditedFileIsRead)
{
    ASSERT_TRUE(WriteFile(ConfigHome() + QStringLiteral("/Oakhollow Software/Edited.ini"),
                          "[Options]\n"
                          "Size%20Format=kb\n"
                          "Protect%20Sys%20Files = 7\n"
                          "List=KB, MB\n"));
    const SettingsStore store(kOrganisation, QStringLiteral("Edited"));
    EXPECT_EQ(store.ReadString(QStringLiteral("Options"), QStringLiteral("Size Format"), {}),
              QStringLiteral("kb"));
    EXPECT_EQ(store.ReadInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 1), 7);
    // Unquoted commas make a list, which is not one string.
    EXPECT_EQ(store.ReadString(QStringLiteral("Options"), QStringLiteral("List"),
                               QStringLiteral("fallback")),
              QStringLiteral("fallback"));
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeWrittenSaysSo)
{
    // A plain file where the organisation's folder should be: the INI file
    // cannot be created, even by root.
    ASSERT_TRUE(WriteFile(ConfigHome() + QStringLiteral("/Blocked Org"), "not a folder\n"));
    SettingsStore store(QStringLiteral("Blocked Org"), QStringLiteral("Larkspur"));
    EXPECT_FALSE(store.WriteString(QStringLiteral("Options"), QStringLiteral("Size Format"),
                                   QStringLiteral("GB")));
    EXPECT_FALSE(store.WriteInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 0));
    EXPECT_EQ(store.ReadString(QStringLiteral("Options"), QStringLiteral("Size Format"),
                               QStringLiteral("none")),
              QStringLiteral("none"));
    EXPECT_EQ(store.ReadInt(QStringLiteral("Options"), QStringLiteral("Protect Sys Files"), 1), 1);
}

}  // namespace
