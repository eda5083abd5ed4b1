#include "engine/FindSubfoldersTask.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

class FindSubfoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        m_parent = &m_tree.Add(m_tree.MakeRoot(), m_files.Root());
    }

    // As the tree view does on an expansion: run and deliver at once.
    void Enumerate(FolderRecord& record)
    {
        FindSubfoldersTask task(m_tree, record, DirectoryPathOf(record));
        task.Run();
        task.Deliver();
    }

    std::vector<std::string> Children(const TreeItemRecord& record)
    {
        return Sorted(m_tree.ChildNames(record));
    }

    TempTree m_files;
    FolderTreeFake m_tree;
    FolderRecord* m_parent = nullptr;
};

TEST_F(FindSubfoldersTest, NewFoldersBecomeItemsWithRecordsAndExpandButtons)
{
    ASSERT_TRUE(m_files.MakeDir("a"));
    ASSERT_TRUE(m_files.MakeDir(".hidden"));
    ASSERT_TRUE(m_files.MakeDir(std::string("raw\xff\xfe", 5)));
    ASSERT_TRUE(m_files.MakeFile("file"));
    ASSERT_TRUE(m_files.MakeSymlink("link-to-a", "a"));

    Enumerate(*m_parent);

    // No ".", "..", files or links; hidden folders and any bytes are kept.
    EXPECT_EQ(Children(*m_parent), Sorted({"a", ".hidden", std::string("raw\xff\xfe", 5)}));
    EXPECT_EQ(Sorted(m_tree.initialised), Children(*m_parent));
    EXPECT_TRUE(m_tree.Tree().HasChildrenMark(m_parent->item));
    for (TreeItemRecord* child = m_tree.FirstChildRecord(*m_parent); child != nullptr;
         child = m_tree.NextSiblingRecord(*child)) {
        EXPECT_EQ(child->parent, m_parent);
        EXPECT_TRUE(m_tree.Tree().HasChildrenMark(child->item));
        EXPECT_NE(m_tree.Tree().ItemText(child->item), "XYZZY");
        EXPECT_EQ(FullPathOf(*child), m_files.Path(child->name));
    }

    // Enumerating again changes nothing: the items and records stay.
    FolderRecord* a = m_tree.Child(*m_parent, "a");
    Enumerate(*m_parent);
    EXPECT_EQ(m_tree.Child(*m_parent, "a"), a);
    EXPECT_EQ(m_tree.ChildNames(*m_parent).size(), 3u);
    EXPECT_TRUE(m_tree.deleted.empty());
}

TEST_F(FindSubfoldersTest, VanishedNewAndCaseRenamedFoldersAreReconciled)
{
    ASSERT_TRUE(m_files.MakeDir("keep"));
    ASSERT_TRUE(m_files.MakeDir("gone"));
    ASSERT_TRUE(m_files.MakeDir("gone/deeper"));
    ASSERT_TRUE(m_files.MakeDir("case"));
    Enumerate(*m_parent);
    Enumerate(*m_tree.Child(*m_parent, "gone"));
    FolderRecord* keep = m_tree.Child(*m_parent, "keep");

    ASSERT_EQ(::rmdir(m_files.Path("gone/deeper").c_str()), 0);
    ASSERT_EQ(::rmdir(m_files.Path("gone").c_str()), 0);
    ASSERT_EQ(::rename(m_files.Path("case").c_str(), m_files.Path("CASE").c_str()), 0);
    ASSERT_TRUE(m_files.MakeDir("new"));
    m_tree.initialised.clear();
    Enumerate(*m_parent);

    EXPECT_EQ(Children(*m_parent), Sorted({"keep", "CASE", "new"}));
    EXPECT_EQ(m_tree.Child(*m_parent, "keep"), keep);
    // The vanished folder's subtree goes deepest first; a change of case is
    // one folder gone and another come.
    EXPECT_EQ(Sorted(m_tree.deleted), Sorted({"deeper", "gone", "case"}));
    EXPECT_LT(std::find(m_tree.deleted.begin(), m_tree.deleted.end(), "deeper"),
              std::find(m_tree.deleted.begin(), m_tree.deleted.end(), "gone"));
    EXPECT_EQ(Sorted(m_tree.initialised), Sorted({"CASE", "new"}));
}

TEST_F(FindSubfoldersTest, LastSubfolderRemovedTakesTheExpandButton)
{
    ASSERT_TRUE(m_files.MakeDir("only"));
    Enumerate(*m_parent);
    ASSERT_TRUE(m_tree.Tree().HasChildrenMark(m_parent->item));
    ASSERT_EQ(::rmdir(m_files.Path("only").c_str()), 0);
    Enumerate(*m_parent);
    EXPECT_TRUE(m_tree.ChildNames(*m_parent).empty());
    EXPECT_FALSE(m_tree.Tree().HasChildrenMark(m_parent->item));
}

TEST_F(FindSubfoldersTest, ParentThatCannotBeListedKeepsNoChild)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    ASSERT_TRUE(m_files.MakeDir("locked"));
    ASSERT_TRUE(m_files.MakeDir("locked/inner"));
    FolderRecord& locked = m_tree.Add(*m_parent, "locked");
    Enumerate(locked);
    ASSERT_EQ(m_tree.ChildNames(locked).size(), 1u);
    ASSERT_EQ(::chmod(m_files.Path("locked").c_str(), 0), 0);
    Enumerate(locked);
    ::chmod(m_files.Path("locked").c_str(), 0700);
    EXPECT_TRUE(m_tree.ChildNames(locked).empty());
    EXPECT_FALSE(m_tree.Tree().HasChildrenMark(locked.item));
}

TEST_F(FindSubfoldersTest, ParentRemovedFromDiskLosesItsChildren)
{
    ASSERT_TRUE(m_files.MakeDir("was"));
    ASSERT_TRUE(m_files.MakeDir("was/child"));
    FolderRecord& was = m_tree.Add(*m_parent, "was");
    Enumerate(was);
    ASSERT_EQ(m_tree.ChildNames(was).size(), 1u);
    ASSERT_EQ(::rmdir(m_files.Path("was/child").c_str()), 0);
    ASSERT_EQ(::rmdir(m_files.Path("was").c_str()), 0);
    Enumerate(was);
    EXPECT_TRUE(m_tree.ChildNames(was).empty());
}

TEST_F(FindSubfoldersTest, ParentDeletedBeforeDeliveryIsNotTouched)
{
    ASSERT_TRUE(m_files.MakeDir("p"));
    ASSERT_TRUE(m_files.MakeDir("p/q"));
    Enumerate(*m_parent);
    FolderRecord* p = m_tree.Child(*m_parent, "p");
    Enumerate(*p);

    // Queued for p; then an enumeration of p's parent removes p.
    FindSubfoldersTask queued(m_tree, *p, DirectoryPathOf(*p));
    ASSERT_TRUE(m_files.MakeDir("p/r"));
    queued.Run();
    m_tree.DeleteItemTree(p->item, false);
    const int items = m_tree.Tree().Count();
    m_tree.initialised.clear();
    queued.Deliver();  // the parent record is gone: nothing happens
    EXPECT_EQ(m_tree.Tree().Count(), items);
    EXPECT_TRUE(m_tree.initialised.empty());
}

TEST_F(FindSubfoldersTest, SnapshotItemDeletedBeforeDeliveryIsNotDeletedAgain)
{
    ASSERT_TRUE(m_files.MakeDir("x"));
    ASSERT_TRUE(m_files.MakeDir("y"));
    Enumerate(*m_parent);

    FindSubfoldersTask queued(m_tree, *m_parent, DirectoryPathOf(*m_parent));
    ASSERT_EQ(::rmdir(m_files.Path("x").c_str()), 0);
    queued.Run();
    // Meanwhile a direct enumeration removed x already.
    Enumerate(*m_parent);
    ASSERT_EQ(m_tree.deleted, std::vector<std::string>{"x"});
    queued.Deliver();
    EXPECT_EQ(m_tree.deleted, std::vector<std::string>{"x"});
    EXPECT_EQ(m_tree.ChildNames(*m_parent), std::vector<std::string>{"y"});
}

TEST_F(FindSubfoldersTest, QueuedSnapshotOlderThanADirectEnumerationMakesNoTwin)
{
    ASSERT_TRUE(m_files.MakeDir("old"));
    Enumerate(*m_parent);
    ASSERT_TRUE(m_files.MakeDir("fresh"));

    // Snapshot taken before the direct enumeration below inserts "fresh".
    FindSubfoldersTask queued(m_tree, *m_parent, DirectoryPathOf(*m_parent));
    Enumerate(*m_parent);
    queued.Run();
    ASSERT_EQ(std::count_if(queued.Entries().begin(), queued.Entries().end(),
                            [](const SubfolderEntry& e) { return e.name == "fresh"; }),
              1);
    queued.Deliver();
    EXPECT_EQ(Children(*m_parent), Sorted({"old", "fresh"}));
}

TEST(FindSubfoldersNoPath, RecordWithNeitherPathNorShellFolderGetsNoChildren)
{
    FolderTreeFake tree;
    FolderRecord& virtualItem = tree.Add(tree.MakeRoot(), "");
    FindSubfoldersTask task(tree, virtualItem, FullItemIdListOf(virtualItem));
    task.Run();
    task.Deliver();
    EXPECT_STREQ(task.GetName(), "FindSubfoldersTask");
    EXPECT_TRUE(task.Entries().empty());
    EXPECT_EQ(tree.FirstChildRecord(virtualItem), nullptr);
}

}  // namespace
