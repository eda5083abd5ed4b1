#include "engine/FolderListing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/FindSizeTask.h"
#include "engine/FindSubfoldersTask.h"
#include "support/FolderTreeFake.h"
#include "support/TempTree.h"

using testsupport::FolderTreeFake;

namespace {

// Stands in for a task that reads the listing: only its state matters.
class Reader : public Task {
public:
    void Run() override {}
    const char* GetName() const override { return "Reader"; }
};

std::vector<std::string> Names(const FolderListing& listing)
{
    std::vector<std::string> names;
    for (const FolderListing::Entry& entry : listing.Entries()) {
        names.emplace_back(listing.NameOf(entry));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FoundNames(const FindSubfoldersTask& task)
{
    std::vector<std::string> names;
    for (const SubfolderEntry& entry : task.Entries()) {
        if (entry.found) names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FolderListing, ListsOnceAndKeepsWhatItSaw)
{
    TempTree files;
    ASSERT_TRUE(files.MakeFile("a", "12345") && files.MakeDir("sub") &&
                files.MakeFile("name with\nnewline", "x"));
    FolderListing listing(files.Root() + "/", platform::SearchDetail::Full);
    EXPECT_FALSE(listing.IsFilled());
    Reader reader;
    ASSERT_TRUE(listing.Fill(reader));
    EXPECT_TRUE(listing.IsFilled());
    EXPECT_EQ(Names(listing),
              (std::vector<std::string>{".", "..", "a", "name with\nnewline", "sub"}));

    // Later readers get the same entries, whatever the disk does meanwhile.
    ASSERT_TRUE(files.MakeFile("late", "y"));
    ASSERT_TRUE(listing.Fill(reader));
    EXPECT_EQ(listing.Count(), 5u);

    // Each entry carries what a directory search reports for it.
    platform::DirectorySearch search;
    platform::FindData direct;
    ASSERT_TRUE(search.Start(files.Path("a"), direct));
    for (std::size_t i = 0; i < listing.Count(); ++i) {
        if (listing.NameOf(listing[i]) != "a") continue;
        platform::FindData copied;
        copied.name = "a much longer name left from an earlier entry";
        listing.CopyTo(i, copied);
        EXPECT_EQ(copied.name, "a");
        EXPECT_EQ(copied.Size(), 5u);
        EXPECT_EQ(copied.attributes, direct.attributes);
        EXPECT_EQ(copied.occupiedBytes, direct.occupiedBytes);
        EXPECT_EQ(copied.inode, direct.inode);
        EXPECT_EQ(copied.device, direct.device);
        EXPECT_EQ(copied.lastWriteTime, direct.lastWriteTime);
        EXPECT_TRUE(copied.isRegularFile);
    }
}

TEST(FolderListing, AFolderThatCannotBeListedIsFilledEmpty)
{
    TempTree files;
    FolderListing missing(files.Path("missing") + "/", platform::SearchDetail::Full);
    FolderListing noPath("", platform::SearchDetail::TypeOnly);
    Reader reader;
    EXPECT_FALSE(missing.Fill(reader));
    EXPECT_TRUE(missing.IsFilled());
    EXPECT_EQ(missing.Count(), 0u);
    EXPECT_FALSE(noPath.Fill(reader));
    EXPECT_EQ(noPath.Count(), 0u);
}

TEST(FolderListing, AListingStoppedByCancellationIsListedAgainByTheNextReader)
{
    TempTree files;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(files.MakeFile("f" + std::to_string(i), "x"));
    }
    FolderListing listing(files.Root() + "/", platform::SearchDetail::Full);
    Reader cancelled;
    cancelled.SetState(TaskState::Cancelling);
    EXPECT_FALSE(listing.Fill(cancelled));
    EXPECT_FALSE(listing.IsFilled());
    Reader next;
    ASSERT_TRUE(listing.Fill(next));
    EXPECT_EQ(listing.Count(), 22u);
}

// One folder's batch, as the sized tree queues it: the subfolders and the
// size read one listing between them.
class SharedListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        ASSERT_TRUE(m_files.MakeFile("f1", std::string(5000, 'x')) &&
                    m_files.MakeFile("f2", std::string(10, 'y')) && m_files.MakeDir("d1") &&
                    m_files.MakeDir("d2") && m_files.MakeFile("d1/deeper", "not counted"));
        m_root = &m_tree.MakeRoot();
        m_folder = &m_tree.Add(*m_root, m_files.Root());
        m_folder->clusterSize = GetClusterSize(m_files.Root());
        ASSERT_GT(m_folder->clusterSize, 0u);
    }

    std::shared_ptr<FolderListing> Listing(platform::SearchDetail detail)
    {
        return std::make_shared<FolderListing>(Path(), detail);
    }
    std::unique_ptr<FindSizeTask> SizeTask(std::shared_ptr<FolderListing> listing = nullptr)
    {
        return std::make_unique<FindSizeTask>(m_tree, m_tree.references, *m_folder, Path(), 0,
                                              std::move(listing));
    }
    std::unique_ptr<FindSubfoldersTask> SubfoldersTask(
        std::shared_ptr<FolderListing> listing = nullptr)
    {
        return std::make_unique<FindSubfoldersTask>(m_tree, *m_folder, Path(), std::move(listing));
    }
    std::string Path() const { return m_files.Root() + "/"; }

    TempTree m_files;
    FolderTreeFake m_tree;
    FolderRecord* m_root = nullptr;
    FolderRecord* m_folder = nullptr;
};

TEST_F(SharedListingTest, GivesTheSameResultsAsTwoListings)
{
    auto ownSize = SizeTask();
    auto ownSubfolders = SubfoldersTask();
    ownSize->Run();
    ownSubfolders->Run();

    auto listing = Listing(platform::SearchDetail::Full);
    auto subfolders = SubfoldersTask(listing);
    auto size = SizeTask(listing);
    subfolders->Run();
    EXPECT_TRUE(listing->IsFilled());
    size->Run();

    EXPECT_EQ(FoundNames(*subfolders), FoundNames(*ownSubfolders));
    EXPECT_EQ(FoundNames(*subfolders), (std::vector<std::string>{"d1", "d2"}));
    EXPECT_EQ(size->Size(), ownSize->Size());
    EXPECT_EQ(size->DiskSpace(), ownSize->DiskSpace());
    EXPECT_EQ(size->Size().Bytes(), 5010);

    // Either task may come first.
    auto reversed = Listing(platform::SearchDetail::Full);
    auto sizeFirst = SizeTask(reversed);
    auto subfoldersSecond = SubfoldersTask(reversed);
    sizeFirst->Run();
    subfoldersSecond->Run();
    EXPECT_EQ(sizeFirst->Size(), ownSize->Size());
    EXPECT_EQ(FoundNames(*subfoldersSecond), FoundNames(*ownSubfolders));
}

TEST_F(SharedListingTest, EntriesChangedBetweenTheTasksGiveOneConsistentPicture)
{
    auto listing = Listing(platform::SearchDetail::Full);
    auto subfolders = SubfoldersTask(listing);
    auto size = SizeTask(listing);
    subfolders->Run();
    // Between the two tasks a file and a folder come, and a file goes.
    ASSERT_TRUE(m_files.MakeFile("late", std::string(3000, 'z')) && m_files.MakeDir("d3"));
    ASSERT_EQ(std::remove(m_files.Path("f2").c_str()), 0);
    size->Run();
    EXPECT_EQ(size->Size().Bytes(), 5010) << "the size is that of the folder the subfolders saw";
    EXPECT_EQ(FoundNames(*subfolders), (std::vector<std::string>{"d1", "d2"}));

    subfolders->Deliver();
    size->Deliver();
    std::vector<std::string> children = m_tree.ChildNames(*m_folder);
    std::sort(children.begin(), children.end());
    EXPECT_EQ(children, (std::vector<std::string>{"d1", "d2"}));
    EXPECT_TRUE(m_folder->Has(FolderRecord::OwnSizeKnown));

    // The next scan of the folder sees the change.
    auto again = SizeTask(Listing(platform::SearchDetail::Full));
    again->Run();
    EXPECT_EQ(again->Size().Bytes(), 8000);
}

TEST_F(SharedListingTest, AFolderThatCannotBeListedBehavesAsWithoutSharing)
{
    // Both children were in the tree; the folder is gone from the disk.
    m_tree.Add(*m_folder, "d1");
    m_tree.Add(*m_folder, "d2");
    FolderRecord& gone = *m_folder;
    auto listing =
        std::make_shared<FolderListing>(m_files.Path("gone") + "/", platform::SearchDetail::Full);
    FindSubfoldersTask subfolders(m_tree, gone, m_files.Path("gone") + "/", listing);
    FindSizeTask size(m_tree, m_tree.references, gone, m_files.Path("gone") + "/", 0, listing);
    subfolders.Run();
    size.Run();
    EXPECT_TRUE(FoundNames(subfolders).empty());
    subfolders.Deliver();
    size.Deliver();
    EXPECT_TRUE(m_tree.ChildNames(gone).empty()) << "a parent that cannot be listed keeps no child";
    EXPECT_TRUE(gone.Has(FolderRecord::OwnSizeKnown));
    EXPECT_EQ(gone.ownSize.Bytes(), 0);
}

TEST_F(SharedListingTest, ACancelledFirstTaskLeavesTheListingToTheNext)
{
    auto listing = Listing(platform::SearchDetail::Full);
    auto subfolders = SubfoldersTask(listing);
    auto size = SizeTask(listing);
    subfolders->SetState(TaskState::Cancelling);
    subfolders->Run();
    size->Run();
    EXPECT_EQ(size->Size().Bytes(), 5010);

    // A cancelled size scan stops, as it does on its own listing.
    auto cancelledSize = SizeTask(Listing(platform::SearchDetail::Full));
    cancelledSize->SetState(TaskState::Cancelling);
    cancelledSize->Run();
    EXPECT_LE(cancelledSize->Size().Bytes(), 5000);
}

TEST_F(SharedListingTest, ATypeOnlyListingServesTheSubfoldersAndNotTheSize)
{
    auto listing = Listing(platform::SearchDetail::TypeOnly);
    auto subfolders = SubfoldersTask(listing);
    auto size = SizeTask(listing);
    subfolders->Run();
    size->Run();  // lists the folder itself: the shared entries have no sizes
    EXPECT_EQ(FoundNames(*subfolders), (std::vector<std::string>{"d1", "d2"}));
    EXPECT_EQ(size->Size().Bytes(), 5010);
}

}  // namespace
