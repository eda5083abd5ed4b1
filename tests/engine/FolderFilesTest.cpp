#include "engine/FolderFiles.h"

#include <gtest/gtest.h>

namespace {

using Family = FolderFiles::Family;

// The case of the extension does not matter; a name without one is Other.
TEST(FolderFiles, FamilyComesFromTheNamesMimeType)
{
    const std::pair<const char*, Family> rows[] = {
        {"a.JPG", Family::Images},       {"a.jpg", Family::Images},
        {"b.tar.gz", Family::Archives},  {"b.zip", Family::Archives},
        {"c.cpp", Family::Code},         {"c.py", Family::Code},
        {"d.so", Family::Executables},   {"e.deb", Family::Packages},
        {"f.iso", Family::DiskImages},   {"g.pdf", Family::Documents},
        {"g.odt", Family::Documents},    {"h.mkv", Family::Video},
        {"i.flac", Family::Audio},       {"j.otf", Family::Fonts},
        {"k.txt", Family::Other},        {"noext", Family::Other},
        {"trailing.", Family::Other},
    };
    for (const auto& [name, family] : rows) {
        EXPECT_EQ(FolderFiles::FamilyOfName(name), family) << name;
    }
}

TEST(FolderFiles, OverlongNamesKeepTheirFirst65535Bytes)
{
    FolderFiles files;
    files.Reserve(2, 10);
    files.Add(std::string(70000, 'n'), FileSize::FromBytes(1), FileSize::FromBytes(4096),
              Family::Other);
    files.Add("next", FileSize(), FileSize(), Family::Code);
    ASSERT_EQ(files.Files().size(), 2u);
    EXPECT_EQ(files.NameOf(files.Files()[0]), std::string(65535, 'n'));
    EXPECT_EQ(files.NameOf(files.Files()[1]), "next");
    EXPECT_GE(files.HeapBytes(), 65539 + 2 * sizeof(FolderFiles::File));
}

}  // namespace
