// The duplicates window and its two lists, over groups whose members live in
// the folders of a fake folder tree.
#include "lists/LarkspurDupsWnd.h"

#include <memory>
#include <vector>

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <gtest/gtest.h>

#include "engine/DupGroup.h"
#include "framework/SizeTextSource.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "support/FakeDeletionHandler.h"
#include "support/FakeTreeActions.h"
#include "support/FolderTreeFake.h"
#include "support/WidgetTestMain.h"

namespace {

class FakeSizeText : public framework::SizeTextSource {
public:
    QString SizeText(FileSize value) const override
    {
        return QString::number(value.Bytes() / 1024) + QStringLiteral("KB");
    }
    int SizeTextWidth(FileSize) const override { return 0; }
    QString PaddedSizeText(FileSize value, FileSize) const override { return SizeText(value); }
};

class DupsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FolderRecord& root = m_tree.MakeRoot();
        m_a = &m_tree.Add(root, "/a");
        m_b = &m_tree.Add(root, "/b");
        m_window.SetDataLock(&m_tree.DataLock());
    }

    // A group whose members keep the order given.
    DupGroup& Group(std::uint64_t size, const std::vector<std::string>& names,
                    FolderRecord* folder = nullptr)
    {
        m_groups.push_back(std::make_unique<DupGroup>(0, size));
        DupGroup& group = *m_groups.back();
        for (const std::string& name : names) Add(group, folder ? *folder : *m_a, name);
        return group;
    }
    DupMember& Add(DupGroup& group, FolderRecord& folder, const std::string& name)
    {
        m_members.push_back(std::make_unique<DupMember>());
        DupMember& member = *m_members.back();
        member.folder = &folder;
        member.name = name;
        member.group = &group;
        DupLink** end = &group.members;
        while (*end != nullptr) end = &(*end)->next;
        *end = new DupLink{nullptr, &member};
        return member;
    }

    static std::vector<QString> Cells(const framework::DetailListView& list, int column)
    {
        std::vector<QString> cells;
        for (int row = 0; row < list.Control().ItemCount(); ++row) {
            cells.push_back(list.Control().ItemText(row, column));
        }
        return cells;
    }
    static void ClickHeader(framework::DetailListView& list, int column)
    {
        Q_EMIT list.header()->sectionClicked(column);
    }

    // The copies a chain asks to delete; each request must name its copy.
    static std::vector<DupMember*> RequestedCopies(
        const std::vector<testsupport::FakeDeletionHandler::Request>& chain)
    {
        std::vector<DupMember*> copies;
        for (const auto& request : chain) {
            EXPECT_EQ(request.folder, request.copy->folder);
            EXPECT_EQ(request.name, request.copy->name);
            copies.push_back(request.copy);
        }
        return copies;
    }

    BrindleDupsListView& Groups() { return m_window.GroupsList(); }
    BrindleFileListView& Copies() { return m_window.CopiesList(); }

    testsupport::FolderTreeFake m_tree;
    FolderRecord* m_a = nullptr;
    FolderRecord* m_b = nullptr;
    std::vector<std::unique_ptr<DupMember>> m_members;
    std::vector<std::unique_ptr<DupGroup>> m_groups;
    testsupport::FakeTreeActions m_actions;
    testsupport::FakeDeletionHandler m_deletion{m_tree.DataLock()};
    LarkspurDupsWnd m_window;
};

using Names = std::vector<QString>;

TEST_F(DupsWindowTest, NamesTextShowsEachRunOfEqualNamesOnce)
{
    const struct {
        std::vector<std::string> names;
        QString text;
    } cases[] = {
        {{"Report.doc", "report.doc", "Report.doc"}, "Report.doc, report.doc, Report.doc"},
        {{"a.txt", "a.txt", "b", "b", "a.txt"}, "a.txt, b, a.txt"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BrindleDupsListView::NamesText(Group(1, c.names)), c.text);
    }

    m_window.AddOrUpdateGroup(Group(2048, {"a.txt", "a.txt", "a.txt"}));
    EXPECT_EQ(Cells(Groups(), 0), Names{"a.txt"});
    EXPECT_EQ(Cells(Groups(), 1), Names{"2,048"});
    EXPECT_EQ(Cells(Groups(), 2), Names{"3"});
}

TEST_F(DupsWindowTest, OnlyGroupsOfTwoOrMoreCopiesHaveRows)
{
    DupGroup& growing = Group(4096, {"x"});
    m_window.AddOrUpdateGroup(growing);
    EXPECT_EQ(Groups().Control().ItemCount(), 0);

    Add(growing, *m_b, "y");
    m_window.AddOrUpdateGroup(growing);
    DupGroup& other = Group(2048, {"p", "q"});
    m_window.AddOrUpdateGroup(other);
    EXPECT_EQ(Cells(Groups(), 0), (Names{"x, y", "p, q"}));

    // An update shows names and count, not the size in a new format.
    FakeSizeText sizes;
    framework::SizeTextSource::SetInstance(&sizes);
    Add(other, *m_b, "r");
    m_window.AddOrUpdateGroup(other);
    EXPECT_EQ(Cells(Groups(), 2), (Names{"2", "3"}));
    EXPECT_EQ(Cells(Groups(), 1), (Names{"4,096", "2,048"}));
    m_window.RefreshSizes();
    EXPECT_EQ(Cells(Groups(), 1), (Names{"4KB", "2KB"}));
    framework::SizeTextSource::SetInstance(nullptr);

    // Down to one copy: the row goes, whichever road the news takes.
    ASSERT_TRUE(growing.RemoveMemberLink(*growing.members->member));
    m_window.AddOrUpdateGroup(growing);
    EXPECT_EQ(Cells(Groups(), 0), Names{"p, q, r"});
    growing.RemoveMemberLink(*growing.members->member);
    m_window.AddOrUpdateGroup(growing);
    EXPECT_EQ(Groups().Control().ItemCount(), 1);
}

TEST_F(DupsWindowTest, GroupSortsAndFirstClickDirections)
{
    m_window.AddOrUpdateGroup(Group(100, {"z", "z"}));
    m_window.AddOrUpdateGroup(Group(200, {"b", "b"}));
    m_window.AddOrUpdateGroup(Group(300, {"m", "m", "m"}));
    m_window.AddOrUpdateGroup(Group(200, {"A", "A", "A", "A"}));
    // Largest first; equal sizes by name ascending in both directions.
    EXPECT_EQ(Cells(Groups(), 0), (Names{"m", "A", "b", "z"}));
    ClickHeader(Groups(), BrindleDupsListView::SizeColumn);
    EXPECT_TRUE(Groups().Ascending());
    EXPECT_EQ(Cells(Groups(), 0), (Names{"z", "A", "b", "m"}));

    ClickHeader(Groups(), BrindleDupsListView::NameColumn);
    EXPECT_EQ(Cells(Groups(), 0), (Names{"A", "b", "m", "z"}));
    ClickHeader(Groups(), BrindleDupsListView::NameColumn);
    EXPECT_EQ(Cells(Groups(), 0), (Names{"z", "m", "b", "A"}));

    ClickHeader(Groups(), BrindleDupsListView::CountColumn);
    EXPECT_FALSE(Groups().Ascending());
    EXPECT_EQ(Cells(Groups(), 2).front(), "4");
    ClickHeader(Groups(), BrindleDupsListView::SizeColumn);
    EXPECT_FALSE(Groups().Ascending());
    EXPECT_EQ(Cells(Groups(), 0), (Names{"m", "A", "b", "z"}));
    ClickHeader(Groups(), 3);
    EXPECT_EQ(Groups().SortColumn(), BrindleDupsListView::SizeColumn);
}

TEST_F(DupsWindowTest, CopiesSortByNameThenPathAndFirstClickAscends)
{
    DupGroup& group = Group(10, {});
    Add(group, *m_b, "f");
    Add(group, *m_a, "f");
    Add(group, *m_b, "E");
    m_window.AddOrUpdateGroup(group);
    Groups().SelectRowOf(group);
    ASSERT_EQ(Copies().ShownGroup(), &group);
    EXPECT_EQ(Cells(Copies(), 0), (Names{"E", "f", "f"}));
    EXPECT_EQ(Cells(Copies(), 1), (Names{"/b", "/a", "/b"}));

    ClickHeader(Copies(), BrindleFileListView::NameColumn);
    EXPECT_EQ(Cells(Copies(), 1), (Names{"/b", "/a", "/b"}));
    EXPECT_EQ(Cells(Copies(), 0), (Names{"f", "f", "E"}));
    ClickHeader(Copies(), BrindleFileListView::PathColumn);
    EXPECT_TRUE(Copies().Ascending());
    EXPECT_EQ(Cells(Copies(), 0), (Names{"f", "E", "f"}));
}

TEST_F(DupsWindowTest, DeleteActsOnTheSelectedGroupAfterItMoved)
{
    DupGroup& chosen = Group(20, {"c", "d", "e"});
    m_window.AddOrUpdateGroup(chosen);
    m_window.AddOrUpdateGroup(Group(10, {"a", "b"}));
    Groups().SelectOnly(Groups().FindGroupRow(chosen));
    m_window.AddOrUpdateGroup(Group(30, {"x", "y"}));
    ASSERT_EQ(Groups().FindGroupRow(chosen), 1);

    QTest::keyClick(&Groups(), Qt::Key_Delete);
    ASSERT_EQ(m_deletion.chains.size(), 1u);
    std::vector<DupMember*> expected;
    for (const DupLink* link = chosen.members; link != nullptr; link = link->next) {
        expected.push_back(link->member);
    }
    EXPECT_EQ(RequestedCopies(m_deletion.chains[0]), expected);
    EXPECT_TRUE(m_deletion.senderHeldLock);

    // A copy: one request for it alone.
    Copies().SelectOnly(2);
    auto* copy = static_cast<DupMember*>(Copies().Control().ItemData(2));
    Copies().DeleteSelected();
    ASSERT_EQ(m_deletion.chains.size(), 2u);
    EXPECT_EQ(RequestedCopies(m_deletion.chains[1]), std::vector<DupMember*>{copy});
}

TEST_F(DupsWindowTest, CopiesFollowTheirGroup)
{
    DupGroup& pair = Group(10, {"p", "q"});
    m_window.AddOrUpdateGroup(pair);
    Groups().SelectOnly(0);
    ASSERT_EQ(Copies().Control().ItemCount(), 2);

    // A new member refills the list; the chosen copy stays chosen.
    const DupMember& q = *pair.members->next->member;
    Copies().SelectRowOf(q);
    Add(pair, *m_b, "a");
    m_window.AddOrUpdateGroup(pair);
    ASSERT_EQ(Copies().Control().ItemCount(), 3);
    EXPECT_EQ(Copies().Control().ItemData(Copies().Control().FirstSelected()), &q);

    // A group that is not shown leaves the list alone.
    DupGroup& other = Group(5, {"o", "o"});
    m_window.AddOrUpdateGroup(other);
    other.RemoveMemberLink(*other.members->member);
    m_window.RefreshGroup(other);
    EXPECT_EQ(Copies().Control().ItemCount(), 3);

    pair.RemoveMemberLink(*pair.members->member);
    pair.RemoveMemberLink(*pair.members->member);
    m_window.RefreshGroup(pair);
    EXPECT_EQ(Copies().Control().ItemCount(), 0);
    EXPECT_EQ(Copies().ShownGroup(), nullptr);
    EXPECT_EQ(Groups().Control().ItemCount(), 0);
}

TEST_F(DupsWindowTest, ShowCopySelectsGroupAndCopy)
{
    ASSERT_EQ(LarkspurDupsWnd::Instance(), &m_window);
    DupGroup& group = Group(10, {"s", "t"});
    DupMember& t = *group.members->next->member;
    m_window.ShowCopy(t);  // no row yet: nothing
    EXPECT_EQ(Copies().ShownGroup(), nullptr);

    m_window.AddOrUpdateGroup(Group(99, {"big", "big"}));
    m_window.AddOrUpdateGroup(group);
    m_window.ShowCopy(t);
    EXPECT_EQ(Groups().Control().FirstSelected(), Groups().FindGroupRow(group));
    EXPECT_EQ(Copies().ShownGroup(), &group);
    EXPECT_EQ(Copies().Control().ItemData(Copies().Control().FirstSelected()), &t);

    m_window.ClearAll();
    EXPECT_EQ(Groups().Control().ItemCount(), 0);
    EXPECT_EQ(Copies().ShownGroup(), nullptr);
}

TEST_F(DupsWindowTest, LayoutAndAClickOnACopy)
{
    m_window.resize(800, 300);
    m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    EXPECT_EQ(m_window.Caption().geometry(), QRect(0, 0, 800, 20));
    EXPECT_EQ(m_window.Splitter().geometry(), QRect(0, 20, 800, 280));
    EXPECT_EQ(Groups().width(), 313);
    m_window.resize(1000, 400);
    EXPECT_EQ(m_window.Splitter().geometry(), QRect(0, 20, 1000, 380));
    EXPECT_EQ(Groups().width(), 313);

    DupGroup& group = Group(10, {"u", "v"});
    m_window.AddOrUpdateGroup(group);
    Groups().SelectOnly(0);
    QTest::mouseClick(Copies().viewport(), Qt::LeftButton, {}, Copies().ItemRect(1).center());
    ASSERT_EQ(m_actions.wentTo.size(), 1u);
    EXPECT_EQ(m_actions.wentTo[0], Copies().Control().ItemData(1));
    EXPECT_TRUE(m_deletion.chains.empty());
}

}  // namespace
