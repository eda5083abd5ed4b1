#include <string>
#include <vector>

#include <QFile>
#include <gtest/gtest.h>

#include "lists/FileLauncher.h"
#include "resources/StringTable.h"
#include "support/FolderTreeFake.h"

namespace {

struct Reported {
    int stringId;
    QString fileName;
};

TEST(FileLauncher, OpensTheNameInItsFolderAndReportsEachKindOfFailure)
{
    testsupport::FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& folder = tree.Add(root, "/data/photos");

    int result = 0;
    std::vector<std::pair<std::string, std::string>> launched;
    std::vector<Reported> reported;
    FileLauncher::SetForTesting(
        [&](const std::string& name, const std::string& directory) {
            launched.emplace_back(name, directory);
            return result;
        },
        [&](QWidget*, int stringId, const QString& fileName) {
            reported.push_back({stringId, fileName});
        });

    const std::string name = "holiday #1 \xff.jpg";
    for (int outcome : {33, 31, 5, 0, 2}) {
        result = outcome;
        FileLauncher::OpenFile(nullptr, folder, name);
    }
    FileLauncher::SetForTesting({}, {});

    ASSERT_EQ(launched.size(), 5u);
    EXPECT_EQ(launched[0].first, name);
    EXPECT_EQ(launched[0].second, DirectoryPathOf(folder));
    ASSERT_EQ(reported.size(), 4u);  // success reports nothing
    EXPECT_EQ(reported[0].stringId, resources::IDS_OPEN_NO_APPLICATION);
    EXPECT_EQ(reported[1].stringId, resources::IDS_OPEN_ACCESS_DENIED);
    EXPECT_EQ(reported[2].stringId, resources::IDS_OPEN_FAILED);
    EXPECT_EQ(reported[3].stringId, resources::IDS_OPEN_FAILED);
    EXPECT_EQ(reported[0].fileName, QFile::decodeName(QByteArray::fromStdString(name)));
}

}  // namespace
