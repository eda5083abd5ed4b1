#include "tree/DeleteDuplicatesDialog.h"

#include <algorithm>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "engine/DupGroup.h"
#include "engine/DupMember.h"
#include "engine/FileComparison.h"
#include "engine/FolderRecord.h"
#include "framework/ContextHelp.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "framework/ProgressWait.h"
#include "platform/DecodedName.h"
#include "platform/FileQueries.h"
#include "resources/StringTable.h"
#include "tree/DeletionChain.h"
#include "tree/DeletionHandler.h"
#include "model/TreeAccess.h"
#include "model/TreeItemRecord.h"

namespace {

// The help topic of the dialog and its controls.
constexpr int kHelpTopic = 0x20087;

using FileId = std::pair<std::uint64_t, std::uint64_t>;

std::function<void()>& CompareHook()
{
    static std::function<void()> hook;
    return hook;
}

}  // namespace

DeleteDuplicatesDialog::DeleteDuplicatesDialog(TreeAccess& tree, QWidget* parent)
    : QDialog(parent), m_tree(tree)
{
    setObjectName(QStringLiteral("dialog135"));
    setWindowTitle(QStringLiteral("Delete Duplicate Files"));
    const framework::DialogUnits units(font());
    setFixedSize(units.ToPixelsX(296), units.ToPixelsY(214));

    auto* group = new QGroupBox(QStringLiteral("Files to delete"), this);
    group->setGeometry(units.ToPixels(7, 52, 282, 136));
    auto* label = new QLabel(QStringLiteral("Selected folder:"), this);
    label->setGeometry(units.ToPixels(7, 7, 53, 8));
    auto* path = new QLineEdit(this);
    path->setObjectName(QStringLiteral("control1007"));
    path->setReadOnly(true);
    path->setGeometry(units.ToPixels(64, 7, 225, 14));
    m_inside = new QRadioButton(
        QStringLiteral("Delete files inside selected folder, which have a copy outside"), this);
    m_inside->setObjectName(QStringLiteral("control1003"));
    m_inside->setGeometry(units.ToPixels(7, 25, 282, 10));
    m_inside->setChecked(true);
    m_outside = new QRadioButton(
        QStringLiteral("Delete files outside selected folder, which have a copy inside"), this);
    m_outside->setObjectName(QStringLiteral("control1004"));
    m_outside->setGeometry(units.ToPixels(7, 38, 282, 10));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("control1006"));
    m_list->setGeometry(units.ToPixels(13, 64, 270, 120));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({resources::StringTable::Load(resources::IDS_COLUMN_NAME),
                             resources::StringTable::Load(resources::IDS_COLUMN_PATH)});
    m_list->header()->resizeSection(0, 140);
    m_list->header()->resizeSection(1, 261);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("control2"));
    cancel->setGeometry(units.ToPixels(181, 193, 50, 14));
    auto* remove = new QPushButton(QStringLiteral("Delete"), this);
    remove->setObjectName(QStringLiteral("control1"));
    remove->setGeometry(units.ToPixels(239, 193, 50, 14));
    remove->setDefault(true);

    connect(m_inside, &QRadioButton::clicked, this, [this] { SetRule(true); });
    connect(m_outside, &QRadioButton::clicked, this, [this] { SetRule(false); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(remove, &QPushButton::clicked, this, &DeleteDuplicatesDialog::OnDelete);
    framework::ContextHelp::SetTopic(this, kHelpTopic);
}

void DeleteDuplicatesDialog::SetFolder(FolderRecord* folder)
{
    m_folder = folder;
    m_pathText = folder != nullptr ? platform::DecodedName(FullPathOf(*folder)) : QString();
    if (auto* path = findChild<QLineEdit*>(QStringLiteral("control1007"))) {
        path->setText(m_pathText);
        path->setCursorPosition(0);
    }
    Rebuild();
    Refill();
}

void DeleteDuplicatesDialog::SetRule(bool inside)
{
    m_insideRule = inside;
    m_inside->setChecked(inside);
    m_outside->setChecked(!inside);
    Rebuild();
    Refill();
}

std::vector<FolderRecord*> DeleteDuplicatesDialog::Subtree() const
{
    std::vector<FolderRecord*> order;
    if (m_folder == nullptr) return order;
    m_tree.ForEachInSubtree(*m_folder, [&order](TreeItemRecord& record) {
        order.push_back(static_cast<FolderRecord*>(&record));
    });
    return order;
}

bool DeleteDuplicatesDialog::Inside(const DupMember& member) const
{
    for (const TreeItemRecord* folder = member.folder; folder != nullptr; folder = folder->parent) {
        if (folder == m_folder) return true;
    }
    return false;
}

void DeleteDuplicatesDialog::Rebuild()
{
    m_candidates.clear();
    std::set<const DupMember*> listed;
    for (FolderRecord* folder : Subtree()) {
        for (DupMember* member = folder->duplicates; member != nullptr;
             member = member->nextInFolder) {
            const DupGroup* group = member->group;
            if (group == nullptr || group->MemberCount() < 2) continue;
            if (m_insideRule) {
                if (group->HasMemberOutside(*m_folder) && listed.insert(member).second)
                    m_candidates.push_back(member);
                continue;
            }
            for (DupMember* member : group->Members()) {
                if (!Inside(*member) && listed.insert(member).second)
                    m_candidates.push_back(member);
            }
        }
    }
    // Files of the protected directory are never offered.
    const DeletionHandler* handler = m_deletion;
    if (handler != nullptr && handler->ProtectSystemFiles()) {
        std::erase_if(m_candidates, [handler](const DupMember* member) {
            return member->folder != nullptr && handler->IsInProtectedDirectory(*member->folder);
        });
    }
}

void DeleteDuplicatesDialog::Refill()
{
    m_list->clear();
    struct Row {
        QString name;
        QString path;
        DupMember* member;
    };
    std::vector<Row> rows;
    rows.reserve(m_candidates.size());
    for (DupMember* member : m_candidates)
        rows.push_back({platform::DecodedName(member->Name()),
                        member->folder != nullptr
                            ? platform::DecodedName(FullPathOf(*member->folder))
                            : QString(),
                        member});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& first, const Row& second) {
        const int byPath = first.path.compare(second.path, Qt::CaseInsensitive);
        if (byPath != 0) return byPath < 0;
        return first.name.compare(second.name, Qt::CaseInsensitive) < 0;
    });
    for (const Row& row : rows) {
        auto* item = new QTreeWidgetItem(m_list, {row.name, row.path});
        item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(row.member)));
    }
}

std::vector<DeleteDuplicatesDialog::CopyCheck> DeleteDuplicatesDialog::CopyChecks(
    const std::vector<DupMember*>& candidates)
{
    const std::set<const DupMember*> chain(candidates.begin(), candidates.end());
    std::vector<CopyCheck> checks;
    for (const DupMember* member : candidates) {
        CopyCheck& check = checks.emplace_back();
        check.path = member->FullPath();
        check.device = member->identity.device;
        check.inode = member->identity.inode;
        if (member->group != nullptr) {
            for (const DupMember* copy : member->group->Members()) {
                if (chain.count(copy) == 0) check.copies.push_back(copy->FullPath());
            }
        }
    }
    return checks;
}

std::vector<bool> DeleteDuplicatesDialog::LastCopyCheck(const std::vector<CopyCheck>& checks,
                                                        const std::function<bool()>& stop,
                                                        std::atomic<int>& done)
{
    // The files the chain names, as they are now and as they were read: one
    // folder can stand under two records, and a copy that is one of these
    // files under another name would go with them.
    std::set<FileId> chainFiles;
    for (const CopyCheck& check : checks) {
        chainFiles.insert({check.device, check.inode});
        if (const auto stamp = platform::FileQueries::Stamp(check.path))
            chainFiles.insert({stamp->device, stamp->inode});
    }
    struct Proof {
        std::string copy;
        platform::FileStamp file;
        platform::FileStamp copyFile;
    };
    std::vector<std::optional<Proof>> proofs(checks.size());
    for (std::size_t i = 0; i < checks.size() && !stop(); ++i, ++done) {
        const CopyCheck& check = checks[i];
        const auto file = platform::FileQueries::Stamp(check.path);
        if (check.path.empty() || !file ||
            ((check.device != 0 || check.inode != 0) &&
             FileId{file->device, file->inode} != FileId{check.device, check.inode}))
            continue;
        for (const std::string& copy : check.copies) {
            const auto copyFile = platform::FileQueries::Stamp(copy);
            if (copy.empty() || !copyFile ||
                chainFiles.count({copyFile->device, copyFile->inode}) != 0)
                continue;
            if (CompareHook()) CompareHook()();
            if (SameContents(check.path, copy, stop)) {
                proofs[i] = Proof{copy, *file, *copyFile};
                break;
            }
        }
    }
    std::vector<bool> kept(checks.size(), false);
    if (stop()) return kept;
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const std::optional<Proof>& proof = proofs[i];
        kept[i] = proof && platform::FileQueries::Stamp(checks[i].path) == proof->file &&
                  platform::FileQueries::Stamp(proof->copy) == proof->copyFile;
    }
    return kept;
}

void DeleteDuplicatesDialog::SetCompareHookForTesting(std::function<void()> hook)
{
    CompareHook() = std::move(hook);
}

bool DeleteDuplicatesDialog::CheckOffThread(const std::vector<CopyCheck>& checks,
                                            std::vector<bool>& kept)
{
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::atomic<int> done{0};
    std::thread checker([&] {
        kept = LastCopyCheck(
            checks, [&] { return cancelled.load(); }, done);
        finished = true;
    });
    (void)framework::WaitWithProgress(
        this, resources::StringTable::Load(resources::IDS_PROGRESS_COMPARING),
        static_cast<int>(checks.size()), [&] { return finished.load(); },
        [&] { return done.load(); }, [&] { cancelled = true; });
    checker.join();
    return !cancelled;
}

void DeleteDuplicatesDialog::OnDelete()
{
    const std::vector<CopyCheck> checks = CopyChecks(m_candidates);
    std::vector<bool> kept;
    // Every candidate is read again, in full, beside its copy, without the
    // tree-data lock.
    if (m_held != nullptr) m_held->unlock();
    const bool checked = CheckOffThread(checks, kept);
    if (m_held != nullptr) m_held->lock();
    if (!checked) return;

    std::vector<DupMember*> leftOut;
    DeletionChain chain;
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
        if (kept[i])
            chain.AppendCopy(*m_candidates[i]);
        else
            leftOut.push_back(m_candidates[i]);
    }
    if (!leftOut.empty()) {
        QStringList names;
        for (const DupMember* member : leftOut) names << platform::DecodedName(member->FullPath());
        framework::MessageBox::Show(this, resources::IDS_LAST_COPIES_LEFT_OUT,
                                    {names.join(QLatin1Char('\n'))}, QMessageBox::Information);
    }
    // The members handed over may be freed by the deletion: nothing here
    // keeps them past this point.
    m_list->clear();
    m_candidates.clear();
    if (m_deletion != nullptr) m_deletion->DeleteRequests(chain.Take());
    accept();
}
