#include "engine/FolderRecord.h"

#include <gtest/gtest.h>

#include "support/FolderTreeFake.h"

using testsupport::FolderTreeFake;

namespace {

FileSize Bytes(std::int64_t bytes) { return FileSize::FromBytes(bytes); }

class UpdateTotalsTest : public ::testing::Test {
protected:
    //   root ── top ─┬─ a ── a1
    //                └─ b
    FolderTreeFake tree;
    FolderRecord* root = &tree.MakeRoot();
    FolderRecord* top = &tree.Add(*root, "top");
    FolderRecord* a = &tree.Add(*top, "a");
    FolderRecord* a1 = &tree.Add(*a, "a1");
    FolderRecord* b = &tree.Add(*top, "b");
};

TEST_F(UpdateTotalsTest, TotalsReachTheRootOnceEveryFolderIsKnown)
{
    top->SetOwnSizes(Bytes(1), Bytes(4096));
    top->UpdateTotals(tree);
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));  // children unknown

    a1->SetOwnSizes(Bytes(10), Bytes(8192));
    a1->UpdateTotals(tree);
    // A leaf is complete at once; its parent, without its own size, is not.
    EXPECT_TRUE(a1->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(a1->treeDiskSpace, Bytes(8192));
    EXPECT_FALSE(a->Has(FolderRecord::TreeSizeKnown));

    // The parent's own size arrives: its totals are computed in one pass.
    a->SetOwnSizes(Bytes(5), Bytes(4096));
    a->UpdateTotals(tree);
    EXPECT_TRUE(a->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(a->treeSize, Bytes(15));
    EXPECT_EQ(a->treeDiskSpace, Bytes(12288));
    EXPECT_EQ(a1->siblingMaxDiskSpace, Bytes(8192));
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));  // b is still missing

    tree.sorted.clear();
    b->SetOwnSizes(Bytes(100), Bytes(20480));
    b->UpdateTotals(tree);
    EXPECT_TRUE(top->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(top->treeSize, Bytes(1 + 15 + 100));
    EXPECT_EQ(top->treeDiskSpace, Bytes(4096 + 12288 + 20480));
    EXPECT_EQ(a->siblingMaxDiskSpace, Bytes(20480));
    EXPECT_EQ(b->siblingMaxDiskSpace, Bytes(20480));
    // The root has no size of its own: it stays incomplete, and the walk
    // stops there. Children are re-sorted from the top down.
    EXPECT_FALSE(root->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(tree.sorted, (std::vector<std::string>{"top", "b"}));
}

TEST_F(UpdateTotalsTest, StoppedScanClearsPendingWithoutATotal)
{
    top->Set(FolderRecord::TreeSizePending);
    a->Set(FolderRecord::SizeQueued);
    b->SetOwnSizes(Bytes(7), Bytes(4096));
    b->UpdateTotals(tree);
    // a is still queued: top keeps waiting.
    EXPECT_TRUE(top->Has(FolderRecord::TreeSizePending));

    // Scanning stopped: the queued and pending bits go, sizes stay.
    a->ClearMask(FolderRecord::ClearPendingMask);
    top->UpdateTotals(tree);
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizePending));
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(b->treeDiskSpace, Bytes(4096));

    // Forgetting zeroes the sizes; a clear by mask leaves them.
    b->ClearMask(FolderRecord::ClearAllMask);
    EXPECT_EQ(b->ownSize, Bytes(7));
    EXPECT_EQ(FolderRecord::ClearAllMask & FolderRecord::InFileList, 0);
    b->ForgetOwnSizes();
    b->ForgetTreeSizes();
    EXPECT_FALSE(b->Has(FolderRecord::OwnSizeKnown) || b->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(b->ownSize, Bytes(0));
    EXPECT_EQ(b->ownDiskSpace, Bytes(0));
    EXPECT_EQ(b->treeDiskSpace, Bytes(0));
}

TEST(UpdateTotalsDepth, FiveThousandLevelsPropagateWithoutRecursion)
{
    FolderTreeFake tree;
    FolderRecord* record = &tree.MakeRoot();
    std::vector<FolderRecord*> chain;
    for (int depth = 0; depth < 5000; ++depth) {
        record = &tree.Add(*record, "d");
        record->SetOwnSizes(Bytes(1), Bytes(512));
        chain.push_back(record);
    }
    // Deepest first, so that each level finds its child known.
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        (*it)->Clear(FolderRecord::TreeSizeKnown);
    }
    chain.back()->UpdateTotals(tree);
    EXPECT_TRUE(chain.front()->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(chain.front()->treeSize, Bytes(5000));
    EXPECT_EQ(chain.front()->treeDiskSpace, Bytes(5000 * 512));
}

TEST(UpdateDupsPending, ClearsUpwardUntilSomethingIsQueued)
{
    FolderTreeFake tree;
    FolderRecord& root = tree.MakeRoot();
    FolderRecord& top = tree.Add(root, "top");
    FolderRecord& a = tree.Add(top, "a");
    FolderRecord& b = tree.Add(top, "b");
    root.Set(FolderRecord::TreeDupsPending);
    top.Set(FolderRecord::TreeDupsPending);
    b.Set(FolderRecord::DupsQueued);

    a.UpdateDupsPending(tree);
    EXPECT_TRUE(top.Has(FolderRecord::TreeDupsPending));  // b still queued

    b.Clear(FolderRecord::DupsQueued);
    b.UpdateDupsPending(tree);
    EXPECT_FALSE(top.Has(FolderRecord::TreeDupsPending));
    EXPECT_FALSE(root.Has(FolderRecord::TreeDupsPending));
}

class RemovalLog : public DupMemberRemover {
public:
    void RemoveDupMember(DupMember& member) override { removed.push_back(member.name); }
    std::vector<std::string> removed;
};

TEST(DuplicateMembers, ListOperations)
{
    FolderRecord folder;
    auto* first = new DupMember{nullptr, &folder, "first", nullptr};
    auto* second = new DupMember{nullptr, &folder, "second", nullptr};
    auto* third = new DupMember{nullptr, &folder, "third", nullptr};
    folder.AddDuplicateMember(first);
    folder.AddDuplicateMember(second);
    folder.AddDuplicateMember(third);
    EXPECT_EQ(folder.duplicates, third);  // pushed at the front

    folder.RemoveDuplicateMember(second);
    EXPECT_EQ(third->nextInFolder, first);
    folder.RemoveDuplicateMember(second);  // absent: nothing
    delete second;

    RemovalLog groups;
    folder.ClearDuplicates(false, &groups);
    EXPECT_EQ(groups.removed, (std::vector<std::string>{"third", "first"}));
    EXPECT_EQ(folder.duplicates, nullptr);

    // Destroying: members are freed without group bookkeeping.
    folder.AddDuplicateMember(new DupMember{nullptr, &folder, "x", nullptr});
    groups.removed.clear();
    folder.ClearDuplicates(true, &groups);
    EXPECT_TRUE(groups.removed.empty());
    // The destructor frees what is left (checked by the sanitizer build).
    folder.AddDuplicateMember(new DupMember{nullptr, &folder, "left", nullptr});
}

TEST(TrackedReferences, KindsAreListedApartAndTheListsMayGoFirst)
{
    struct Group {};
    Group group;
    FolderRecord folder;
    auto references = std::make_unique<TrackedReferences>();
    TrackedRef<Group> groupRef(*references, &group);
    FolderRecordRef folderRef(*references, &folder);
    {
        TrackedRef<Group> shortLived(*references, &group);
        EXPECT_EQ(references->Count<Group>(), 2u);
    }
    EXPECT_EQ(references->Count<Group>(), 1u);
    Group other;
    TrackedRef<Group> toOther(*references, &other);
    TrackedRef<Group> alsoToOther(*references, &other);
    references->Forget(&other);
    EXPECT_TRUE(toOther.IsNull() && alsoToOther.IsNull());
    EXPECT_EQ(groupRef.Get(), &group);
    references->ForgetAll<Group>();
    EXPECT_TRUE(groupRef.IsNull());
    EXPECT_EQ(folderRef.Get(), &folder);

    references->NullEverything();
    EXPECT_TRUE(folderRef.IsNull());
    EXPECT_EQ(references->Count<FolderRecord>(), 1u);  // entries stay

    // The owner goes while a reference lives on: the reference is detached
    // and its own destruction later touches nothing.
    TrackedRef<Group> outliving(*references, &group);
    references.reset();
    EXPECT_TRUE(outliving.IsNull());
}

}  // namespace
