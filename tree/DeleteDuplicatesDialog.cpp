#include "tree/DeleteDuplicatesDialog.h"

#include <algorithm>
#include <set>
#include <utility>

#include <QFile>
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
#include "framework/WaitCursor.h"
#include "platform/ModalScope.h"
#include "resources/StringTable.h"
#include "tree/DeletionChain.h"
#include "tree/DeletionHandler.h"
#include "model/TreeAccess.h"
#include "model/TreeItemRecord.h"

namespace {

// The help topic of the dialog and its controls.
constexpr int kHelpTopic = 0x20087;

QString Decoded(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

using FileId = std::pair<std::uint64_t, std::uint64_t>;

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
    m_pathText = folder != nullptr ? Decoded(FullPathOf(*folder)) : QString();
    if (auto* path = findChild<QLineEdit*>(QStringLiteral("control1007"))) {
        path->setText(m_pathText);
        path->setCursorPosition(0);
    }
    Rebuild();
    Refill();
}

int DeleteDuplicatesDialog::DoModal()
{
    const platform::ModalScope modal;
    return exec();
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
    std::vector<FolderRecord*> stack{m_folder};
    std::vector<FolderRecord*> children;
    while (!stack.empty()) {
        FolderRecord* current = stack.back();
        stack.pop_back();
        order.push_back(current);
        children.clear();
        for (TreeItemRecord* child = m_tree.FirstChildRecord(*current); child != nullptr;
             child = m_tree.NextSiblingRecord(*child))
            children.push_back(static_cast<FolderRecord*>(child));
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
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
            for (const DupLink* link = group->members; link != nullptr; link = link->next) {
                if (!Inside(*link->member) && listed.insert(link->member).second)
                    m_candidates.push_back(link->member);
            }
        }
    }
    // Files of the protected directory are never offered.
    const DeletionHandler* handler = DeletionHandler::Instance();
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
        rows.push_back(
            {Decoded(member->name),
             member->folder != nullptr ? Decoded(FullPathOf(*member->folder)) : QString(), member});
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

std::vector<DupMember*> DeleteDuplicatesDialog::LastCopyCheck(
    const std::vector<DupMember*>& candidates, std::vector<DupMember*>& leftOut)
{
    const std::set<const DupMember*> chain(candidates.begin(), candidates.end());
    // The files the chain names, as they are now and as they were read: one
    // folder can stand under two records, and a copy that is one of these
    // files under another name would go with them.
    std::set<FileId> chainFiles;
    for (const DupMember* member : candidates) {
        chainFiles.insert({member->device, member->inode});
        if (const auto head = HeadHash(member->FullPath()))
            chainFiles.insert({head->device, head->inode});
    }
    const auto never = [] { return false; };
    std::vector<DupMember*> kept;
    for (DupMember* member : candidates) {
        const std::string path = member->FullPath();
        bool hasCopy = false;
        for (const DupLink* link = member->group != nullptr ? member->group->members : nullptr;
             link != nullptr && !hasCopy; link = link->next) {
            const DupMember* other = link->member;
            if (other == member || chain.count(other) != 0) continue;
            const std::string otherPath = other->FullPath();
            if (otherPath.empty() || path.empty()) continue;
            const auto head = HeadHash(otherPath);
            if (!head || chainFiles.count({head->device, head->inode}) != 0) continue;
            hasCopy = SameContents(path, otherPath, never);
        }
        (hasCopy ? kept : leftOut).push_back(member);
    }
    return kept;
}

void DeleteDuplicatesDialog::OnDelete()
{
    std::vector<DupMember*> leftOut;
    std::vector<DupMember*> kept;
    {
        // Every candidate is read again, in full, beside its copy.
        const framework::WaitCursor wait;
        kept = LastCopyCheck(m_candidates, leftOut);
    }
    if (!leftOut.empty()) {
        QStringList names;
        for (const DupMember* member : leftOut) names << Decoded(member->FullPath());
        framework::MessageBox::Show(this, resources::IDS_LAST_COPIES_LEFT_OUT,
                                    {names.join(QLatin1Char('\n'))}, QMessageBox::Information);
    }
    DeletionChain chain;
    for (DupMember* member : kept) {
        chain.AppendCopy(*member);
    }
    // The members handed over may be freed by the deletion: nothing here
    // keeps them past this point.
    m_list->clear();
    m_candidates.clear();
    if (DeletionHandler* handler = DeletionHandler::Instance())
        handler->DeleteRequests(chain.Take());
    accept();
}
