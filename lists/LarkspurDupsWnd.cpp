#include "lists/LarkspurDupsWnd.h"

#include <algorithm>
#include <mutex>

#include <QLabel>
#include <QSplitter>

#include "engine/DupGroup.h"
#include "engine/TaskManager.h"
#include "framework/PaintPacer.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "resources/StringTable.h"
#include "model/TreeDataLock.h"

namespace {

// The groups list's columns, and room for its frame and scroll bar.
constexpr int kGroupsWidth = BrindleDupsListView::kColumnsWidth + 13;
// While the duplicate search delivers, the lists are painted this often
// rather than on every turn of the event loop.
constexpr int kPaintIntervalMs = 40;

}  // namespace

LarkspurDupsWnd::LarkspurDupsWnd(QWidget* parent)
    : QWidget(parent),
      m_caption(new QLabel(resources::StringTable::Load(resources::IDS_DUPLICATES_CAPTION), this)),
      m_splitter(new QSplitter(Qt::Horizontal, this)),
      m_groups(new BrindleDupsListView(m_splitter)),
      m_copies(new BrindleFileListView(m_splitter)),
      m_paintPacer(new framework::PaintPacer(*m_splitter, kPaintIntervalMs, [] {
          return TaskManager::Instance().PendingCount() != 0;
      }))
{
    m_caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_caption->setGeometry(0, 0, 300, kCaptionHeight);
    m_splitter->setChildrenCollapsible(false);
    // The groups list keeps its width; the copies list takes what is left.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kGroupsWidth, 0});

    connect(m_groups, &BrindleDupsListView::GroupSelected, this, &LarkspurDupsWnd::ShowGroupCopies);
}

LarkspurDupsWnd::~LarkspurDupsWnd() = default;

void LarkspurDupsWnd::SetDataLock(TreeDataLock* lock)
{
    m_dataLock = lock;
    m_groups->SetDataLock(lock);
    m_copies->SetDataLock(lock);
}

void LarkspurDupsWnd::SetActions(FolderTreeActions* tree, DeletionHandler* deletion)
{
    m_groups->SetActions(tree, deletion);
    m_copies->SetActions(tree, deletion);
}

void LarkspurDupsWnd::AddOrUpdateGroup(DupGroup& group)
{
    m_paintPacer->Start();
    if (const int row = m_groups->FindGroupRow(group); row >= 0) {
        m_groups->UpdateRowAt(row);
        m_copies->RefreshIfShown(group);
    } else {
        m_groups->AddGroupRow(group);
    }
}

void LarkspurDupsWnd::RemoveGroup(DupGroup& group)
{
    m_groups->DeleteGroupRow(group);
    m_copies->ClearIfShown(group);
}

void LarkspurDupsWnd::RefreshGroup(DupGroup& group)
{
    m_groups->UpdateGroupRow(group);
    m_copies->RefreshIfShown(group);
}

void LarkspurDupsWnd::ClearAll()
{
    m_groups->DeleteAllRows();
    m_copies->Clear();
}

void LarkspurDupsWnd::EnableLists(bool enable)
{
    m_groups->setEnabled(enable);
    m_copies->setEnabled(enable);
}

void LarkspurDupsWnd::ShowGroupCopies(DupGroup& group) { m_copies->ShowGroup(group); }

void LarkspurDupsWnd::ShowCopy(const DupMember& member)
{
    std::unique_lock<TreeDataLock> lock;
    if (m_dataLock != nullptr) {
        lock = std::unique_lock<TreeDataLock>(*m_dataLock);
    }
    if (member.group != nullptr) {
        m_groups->SelectRowOf(*member.group);
    }
    m_copies->SelectRowOf(member);
}

void LarkspurDupsWnd::RefreshSizes() { m_groups->RefreshSizeColumn(); }

void LarkspurDupsWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_caption->setGeometry(0, 0, width(), kCaptionHeight);
    m_splitter->setGeometry(0, kCaptionHeight, width(), std::max(0, height() - kCaptionHeight));
}
