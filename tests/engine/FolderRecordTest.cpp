#include "engine/FolderRecord.h"

#include <gtest/gtest.h>

#include "support/FolderTreeFake.h"

namespace {

FileSize Bytes(std::int64_t bytes) { return FileSize::FromBytes(bytes); }

class FolderRecordTest : public ::testing::Test {
protected:
    //   root ── top ─┬─ a ── a1
    //                └─ b
    testsupport::FolderTreeFake tree;
    FolderRecord* root = &tree.MakeRoot();
    FolderRecord* top = &tree.Add(*root, "top");
    FolderRecord* a = &tree.Add(*top, "a");
    FolderRecord* a1 = &tree.Add(*a, "a1");
    FolderRecord* b = &tree.Add(*top, "b");
};

TEST_F(FolderRecordTest, TotalsReachTheRootOnceEveryFolderIsKnown)
{
    top->SetOwnSizes(Bytes(1), Bytes(4096));
    top->UpdateTotals(tree);
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));  // children unknown
    // A leaf is complete at once; its parent, without its own size, is not.
    a1->SetOwnSizes(Bytes(10), Bytes(8192));
    a1->UpdateTotals(tree);
    EXPECT_TRUE(a1->Has(FolderRecord::TreeSizeKnown));
    EXPECT_FALSE(a->Has(FolderRecord::TreeSizeKnown));
    a->SetOwnSizes(Bytes(5), Bytes(4096));
    a->UpdateTotals(tree);
    EXPECT_EQ(a->treeSize, Bytes(15));
    EXPECT_EQ(a1->siblingMaxDiskSpace, Bytes(8192));
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));  // b is still missing

    tree.sorted.clear();
    b->SetOwnSizes(Bytes(100), Bytes(20480));
    b->UpdateTotals(tree);
    EXPECT_TRUE(top->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(top->treeSize, Bytes(1 + 15 + 100));
    EXPECT_EQ(top->treeDiskSpace, Bytes(4096 + 12288 + 20480));
    EXPECT_EQ(a->siblingMaxDiskSpace, Bytes(20480));
    // The root has no size of its own: it stays incomplete, and the walk
    // stops there. Children are re-sorted from the top down.
    EXPECT_FALSE(root->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(tree.sorted, (std::vector<std::string>{"top", "b"}));
}

// Pending sizes and duplicates clear upward until a folder is still queued.
TEST_F(FolderRecordTest, StoppedScanClearsPendingWithoutATotal)
{
    for (FolderRecord* folder : {root, top}) {
        folder->Set(FolderRecord::TreeSizePending);
        folder->Set(FolderRecord::TreeDupsPending);
    }
    a->Set(FolderRecord::SizeQueued);
    a->Set(FolderRecord::DupsQueued);
    b->SetOwnSizes(Bytes(7), Bytes(4096));
    b->UpdateTotals(tree);
    b->UpdateDupsPending(tree);
    EXPECT_TRUE(top->Has(FolderRecord::TreeSizePending));
    EXPECT_TRUE(top->Has(FolderRecord::TreeDupsPending));

    a->ClearMask(FolderRecord::ClearPendingMask);
    top->UpdateTotals(tree);
    a->UpdateDupsPending(tree);
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizePending));
    EXPECT_FALSE(top->Has(FolderRecord::TreeSizeKnown));
    EXPECT_FALSE(root->Has(FolderRecord::TreeDupsPending));
    EXPECT_EQ(b->treeDiskSpace, Bytes(4096));
}

TEST(FolderRecordDepth, FiveThousandLevelsPropagateWithoutRecursion)
{
    testsupport::FolderTreeFake tree;
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
    EXPECT_EQ(chain.front()->treeDiskSpace, Bytes(5000 * 512));
}

// Destroyed references leave their lists: the owner's later walks would
// touch them otherwise (the sanitizer build sees it).
TEST(TrackedReferences, KindsAreListedApartAndTheListsMayGoFirst)
{
    struct Group {};
    Group group;
    Group other;
    FolderRecord folder;
    auto references = std::make_unique<TrackedReferences>();
    TrackedRef<Group> groupRef(*references, &group);
    FolderRecordRef folderRef(*references, &folder);
    {
        TrackedRef<Group> toOther(*references, &other);
        TrackedRef<Group> alsoToOther(*references, &other);
        references->Forget(&other);
        EXPECT_TRUE(toOther.IsNull() && alsoToOther.IsNull());
    }
    EXPECT_EQ(groupRef.Get(), &group);
    references->ForgetAll<Group>();
    EXPECT_TRUE(groupRef.IsNull());
    EXPECT_EQ(folderRef.Get(), &folder);

    references->NullEverything();
    EXPECT_TRUE(folderRef.IsNull());
    // The owner goes while a reference lives on: the reference is detached
    // and its own destruction later touches nothing.
    TrackedRef<Group> outliving(*references, &group);
    references.reset();
    EXPECT_TRUE(outliving.IsNull());
}

}  // namespace
