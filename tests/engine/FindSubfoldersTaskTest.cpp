#include "engine/FindSubfoldersTask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

class FindSubfoldersTest : public ::testing::Test {
protected:
    // As the tree view does on an expansion: run and deliver at once.
    void Enumerate(FolderRecord& record)
    {
        FindSubfoldersTask task(m_tree, record, DirectoryPathOf(record));
        task.Run();
        task.Deliver();
    }
    std::vector<std::string> Children() { return Sorted(m_tree.ChildNames(m_parent)); }

    TempTree m_files;
    testsupport::FolderTreeFake m_tree;
    FolderRecord& m_parent = m_tree.Add(m_tree.MakeRoot(), m_files.Root());
};

TEST_F(FindSubfoldersTest, NewFoldersBecomeItemsWithRecordsAndExpandButtons)
{
    const std::string raw("raw\xff\xfe", 5);
    ASSERT_TRUE(m_files.MakeDir("a") && m_files.MakeDir(".hidden") && m_files.MakeDir(raw) &&
                m_files.MakeFile("file") && m_files.MakeSymlink("link-to-a", "a"));
    Enumerate(m_parent);

    // No ".", "..", files or links; hidden folders and any bytes are kept.
    EXPECT_EQ(Children(), Sorted({"a", ".hidden", raw}));
    EXPECT_EQ(Sorted(m_tree.initialised), Children());
    EXPECT_TRUE(m_tree.Tree().HasChildrenMark(m_parent.item));
    for (TreeItemRecord* child = m_tree.FirstChildRecord(m_parent); child != nullptr;
         child = m_tree.NextSiblingRecord(*child)) {
        EXPECT_EQ(child->parent, &m_parent);
        EXPECT_TRUE(m_tree.Tree().HasChildrenMark(child->item));
        EXPECT_EQ(FullPathOf(*child), m_files.Path(child->name));
    }

    // Enumerating again changes nothing: the items and records stay.
    FolderRecord* a = m_tree.Child(m_parent, "a");
    Enumerate(m_parent);
    EXPECT_EQ(m_tree.Child(m_parent, "a"), a);
    EXPECT_EQ(m_tree.ChildNames(m_parent).size(), 3u);
    EXPECT_TRUE(m_tree.deleted.empty());
}

TEST_F(FindSubfoldersTest, VanishedNewAndCaseRenamedFoldersAreReconciled)
{
    ASSERT_TRUE(m_files.MakeDir("keep") && m_files.MakeDir("gone") &&
                m_files.MakeDir("gone/deeper") && m_files.MakeDir("case"));
    Enumerate(m_parent);
    Enumerate(*m_tree.Child(m_parent, "gone"));
    FolderRecord* keep = m_tree.Child(m_parent, "keep");

    ASSERT_EQ(::rmdir(m_files.Path("gone/deeper").c_str()), 0);
    ASSERT_EQ(::rmdir(m_files.Path("gone").c_str()), 0);
    ASSERT_EQ(::rename(m_files.Path("case").c_str(), m_files.Path("CASE").c_str()), 0);
    ASSERT_TRUE(m_files.MakeDir("new"));
    m_tree.initialised.clear();
    Enumerate(m_parent);

    EXPECT_EQ(Children(), Sorted({"keep", "CASE", "new"}));
    EXPECT_EQ(m_tree.Child(m_parent, "keep"), keep);
    // The vanished folder's subtree goes deepest first; a change of case is
    // one folder gone and another come.
    const auto& deleted = m_tree.deleted;
    EXPECT_EQ(Sorted(deleted), Sorted({"deeper", "gone", "case"}));
    EXPECT_LT(std::find(deleted.begin(), deleted.end(), "deeper"),
              std::find(deleted.begin(), deleted.end(), "gone"));
    EXPECT_EQ(Sorted(m_tree.initialised), Sorted({"CASE", "new"}));
}

// A folder whose last subfolder went, or that can no longer be listed,
// loses its children and its expand button.
TEST_F(FindSubfoldersTest, FolderWithoutSubfoldersNowLosesTheExpandButton)
{
    for (const bool lock : {false, true}) {
        if (lock && ::geteuid() == 0) continue;  // root reads every folder
        const std::string path = m_files.Path(lock ? "locked" : "emptied");
        ASSERT_TRUE(std::filesystem::create_directories(path + "/in"));
        FolderRecord& folder = m_tree.Add(m_parent, lock ? "locked" : "emptied");
        Enumerate(folder);
        ASSERT_TRUE(m_tree.Tree().HasChildrenMark(folder.item));
        ASSERT_EQ(lock ? ::chmod(path.c_str(), 0) : ::rmdir((path + "/in").c_str()), 0);
        Enumerate(folder);
        ::chmod(path.c_str(), 0700);
        EXPECT_TRUE(m_tree.ChildNames(folder).empty());
        EXPECT_FALSE(m_tree.Tree().HasChildrenMark(folder.item));
    }
}

// A queued task's snapshot is older than a direct enumeration delivered
// before it: it deletes no item twice and makes no twin.
TEST_F(FindSubfoldersTest, QueuedSnapshotOlderThanADirectEnumeration)
{
    ASSERT_TRUE(m_files.MakeDir("x") && m_files.MakeDir("y"));
    Enumerate(m_parent);
    ASSERT_EQ(::rmdir(m_files.Path("x").c_str()), 0);
    ASSERT_TRUE(m_files.MakeDir("fresh"));

    FindSubfoldersTask queued(m_tree, m_parent, DirectoryPathOf(m_parent));
    queued.Run();
    Enumerate(m_parent);
    ASSERT_EQ(m_tree.deleted, std::vector<std::string>{"x"});
    queued.Deliver();
    EXPECT_EQ(m_tree.deleted, std::vector<std::string>{"x"});
    EXPECT_EQ(Children(), Sorted({"fresh", "y"}));
}

TEST(FindSubfoldersNoPath, RecordWithNeitherPathNorShellFolderGetsNoChildren)
{
    testsupport::FolderTreeFake tree;
    FolderRecord& virtualItem = tree.Add(tree.MakeRoot(), "");
    FindSubfoldersTask task(tree, virtualItem, FullItemIdListOf(virtualItem));
    task.Run();
    task.Deliver();
    EXPECT_TRUE(task.Entries().empty());
    EXPECT_EQ(tree.FirstChildRecord(virtualItem), nullptr);
}

}  // namespace
