#include "tree/FileBrowserView.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <QAbstractItemDelegate>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTimer>

#include "engine/FolderPopulation.h"
#include "framework/ContextHelp.h"
#include "framework/WaitCursor.h"
#include "platform/ShellActions.h"
#include "resources/CommandIds.h"

FileBrowserView::FileBrowserView(QWidget* parent)
    : QTreeView(parent),
      m_explore([](const std::string& folder) { return platform::ShellActions::Explore(folder); })
{
    TreeControl& tree = Tree();
    // Connected before the view's own slots, so that the flag is up before
    // the view and its selection model move the current index away from
    // rows that are leaving.
    connect(&tree, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { ++m_removingRows; });
    setModel(&tree);
    connect(&tree, &QAbstractItemModel::rowsRemoved, this, [this] {
        --m_removingRows;
        ShowSelection();
    });
    connect(&tree, &TreeControl::ItemExpanding, this, &FileBrowserView::OnItemExpanding);
    connect(&tree, &TreeControl::ExpansionChanged, this, &FileBrowserView::ShowExpansion);
    connect(&tree, &TreeControl::SelectionChanged, this, [this] { ShowSelection(); });
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { OnViewExpansion(index, true); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { OnViewExpansion(index, false); });

    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setAnimated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    // Long labels scroll sideways instead of being cut.
    header()->setStretchLastSection(false);
    // Fitted to the labels while shown (showEvent).
    m_fitTimer = new QTimer(this);
    m_fitTimer->setSingleShot(true);
    m_fitTimer->setInterval(250);
    connect(m_fitTimer, &QTimer::timeout, this, &FileBrowserView::FitLabelColumn);
    connect(&tree, &QAbstractItemModel::rowsInserted, this, &FileBrowserView::FitLabelColumnSoon);
    connect(&tree, &QAbstractItemModel::rowsRemoved, this, &FileBrowserView::FitLabelColumnSoon);
    connect(&tree, &QAbstractItemModel::dataChanged, this, &FileBrowserView::FitLabelColumnSoon);
    connect(&tree, &QAbstractItemModel::layoutChanged, this, &FileBrowserView::FitLabelColumnSoon);
    connect(&tree, &QAbstractItemModel::modelReset, this, &FileBrowserView::FitLabelColumnSoon);
    connect(this, &QTreeView::expanded, this, &FileBrowserView::FitLabelColumnSoon);
    connect(this, &QTreeView::collapsed, this, &FileBrowserView::FitLabelColumnSoon);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &FileBrowserView::FitLabelColumnSoon);
    LeaveLabelsUnmeasured();
    setContextMenuPolicy(Qt::DefaultContextMenu);
    framework::ContextHelp::SetTopic(this, resources::HID_FOLDER_TREE);
}

FileBrowserView::~FileBrowserView()
{
    DestroyTree();
    // The control goes with TreeAccess, before the QTreeView part.
    setModel(nullptr);
}

void FileBrowserView::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    FitLabelColumn();
}

void FileBrowserView::hideEvent(QHideEvent* event)
{
    QTreeView::hideEvent(event);
    LeaveLabelsUnmeasured();
}

bool FileBrowserView::viewportEvent(QEvent* event)
{
    if ((event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick) &&
        m_fitTimer->isActive()) {
        FitLabelColumn();
    }
    return QTreeView::viewportEvent(event);
}

void FileBrowserView::LeaveLabelsUnmeasured()
{
    // Wide enough for any label, so that finding the item under a point
    // works in a hidden view too (ItemAtIconOrLabel measures that one label).
    constexpr int kWidthOfAnyLabel = 1 << 15;
    m_fitTimer->stop();
    header()->setSectionResizeMode(0, QHeaderView::Fixed);
    header()->resizeSection(0, kWidthOfAnyLabel);
}

void FileBrowserView::FitLabelColumn()
{
    m_fitTimer->stop();
    if (!isVisible()) {
        return;
    }
    // The labels in view only, measured from the column's start (their
    // indentation included), bounded by the header's limits.
    executeDelayedItemsLayout();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int width = 0;
    const int bottom = viewport()->height();
    for (QModelIndex index = indexAt(QPoint(0, 0)); index.isValid(); index = indexBelow(index)) {
        const QRect rect = visualRect(index);
        if (rect.top() >= bottom) {
            break;
        }
        option.rect = rect;
        width = std::max(width, rect.left() + horizontalOffset() +
                                    itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    QHeaderView& labels = *header();
    width = std::max(width, labels.sectionSizeHint(0));
    labels.resizeSection(
        0, std::clamp(width, labels.minimumSectionSize(), labels.maximumSectionSize()));
}

void FileBrowserView::FitLabelColumnSoon()
{
    if (isVisible() && !m_fitTimer->isActive()) {
        m_fitTimer->start();
    }
}

void FileBrowserView::OnInitialUpdate() { FolderPopulation::BuildTopLevel(*this); }

void FileBrowserView::PopulateChildren(TreeItem item)
{
    FolderPopulation::PopulateChildren(*this, item);
}

void FileBrowserView::SelectItemQuietly(TreeItem item)
{
    QScopedValueRollback quiet(m_quietSelection, true);
    Tree().SelectItem(item);
}

void FileBrowserView::PopulateAndSelect(TreeItem item)
{
    PopulateChildren(item);
    SelectItemQuietly(item);
}

void FileBrowserView::DeleteSelectedFolder()
{
    std::lock_guard lock(DataLock());
    const TreeItem selected = Tree().Selection();
    if (selected == TreeItem::None) {
        return;
    }
    if (TreeItemRecord* record = RecordOf(selected)) {
        DeleteFolder(*record);
    }
}

void FileBrowserView::DestroyTree()
{
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    FolderPopulation::TearDown(*this, [this] { OnTreeDestroy(); });
}

QPoint FileBrowserView::ContextMenuPoint(int x, int y) const
{
    if (x != -1 || y != -1) {
        return {x, y};
    }
    // As for the lists: inside the frame, 5 pixels right and down.
    return mapToGlobal(contentsRect().topLeft() + QPoint(5, 5));
}

void FileBrowserView::SetExploreLauncher(ExploreLauncher launcher)
{
    m_explore = std::move(launcher);
}

// --- Commands ----------------------------------------------------------------

bool FileBrowserView::OnUpdateCommand(int command, framework::CommandState& state)
{
    switch (command) {
        case resources::ID_DELETE:
        case resources::ID_DELETE_DUPLICATES:
        case resources::ID_CLEAR_FOLDER_DATA:
        case resources::ID_EXPLORE:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

void FileBrowserView::OnCommand(int command)
{
    if (command == resources::ID_DELETE) {
        DeleteSelectedFolder();
        return;
    }
    TreeItemRecord* record = nullptr;
    if (const TreeItem selected = Tree().Selection(); selected != TreeItem::None) {
        record = RecordOf(selected);
    }
    if (record == nullptr) {
        return;
    }
    switch (command) {
        case resources::ID_DELETE_DUPLICATES:
            DeleteDuplicates(*record);
            break;
        case resources::ID_CLEAR_FOLDER_DATA:
            ClearFolderData(*record);
            break;
        case resources::ID_EXPLORE:
            ExploreFolder(*record);
            break;
        default:
            break;
    }
}

// --- Hooks -------------------------------------------------------------------

void FileBrowserView::OnItemClicked(TreeItemRecord& /*record*/, bool /*ctrlHeld*/) {}

void FileBrowserView::DeleteFolder(TreeItemRecord& /*record*/) {}

void FileBrowserView::OnTreeKeyDown(int key)
{
    if (key == Qt::Key_Delete) {
        DeleteSelectedFolder();
    }
}

void FileBrowserView::ShowFolderMenu(int /*x*/, int /*y*/) {}

void FileBrowserView::DeleteDuplicates(TreeItemRecord& /*record*/) {}

void FileBrowserView::ClearFolderData(TreeItemRecord& /*record*/) {}

void FileBrowserView::ExploreFolder(TreeItemRecord& record)
{
    if (m_explore) {
        (void)m_explore(FullPathOf(record));
    }
}

void FileBrowserView::OnTreeDestroy() {}

void FileBrowserView::SortChildren(TreeItemRecord& record)
{
    SortChildrenWith(record,
                     [](const TreeItemRecord&, const QString& firstKey, const TreeItemRecord&,
                        const QString& secondKey) { return firstKey.compare(secondKey); });
}

// --- Events ------------------------------------------------------------------

TreeItem FileBrowserView::ItemAtIconOrLabel(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) {
        return TreeItem::None;
    }
    // visualRect starts after the indentation and the expand button and runs
    // to the column's end; the icon and label take the delegate's width.
    QRect rect = visualRect(index);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = rect;
    const int contentWidth = itemDelegateForIndex(index)->sizeHint(option, index).width();
    rect.setWidth(std::min(rect.width(), contentWidth));
    return rect.contains(pos) ? Tree().ItemAt(index) : TreeItem::None;
}

void FileBrowserView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const TreeItem item = ItemAtIconOrLabel(pos);
    if (event->button() == Qt::LeftButton && item != TreeItem::None) {
        {
            framework::WaitCursor wait;
            PopulateChildren(item);
            if (TreeItemRecord* record = RecordOf(item)) {
                OnItemClicked(*record, event->modifiers().testFlag(Qt::ControlModifier));
            }
        }
        // The hook may have changed what the label shows.
        const QRect rect = visualRect(Tree().IndexOf(item));
        viewport()->update(QRect(0, rect.top(), viewport()->width(), rect.height()));
        QTreeView::mousePressEvent(event);  // selects the item at the point
        // Populating may have removed rows or re-sorted the item's siblings,
        // so the point may lie on another item now: the clicked one is selected.
        if (Tree().Selection() != item && Tree().Contains(item)) {
            Tree().SelectItem(item);
        }
        return;
    }
    if (event->button() == Qt::RightButton && item != TreeItem::None) {
        // The tree's own right-click handling does not run; the context menu
        // comes with the context-menu event.
        Tree().SelectItem(item);
        framework::WaitCursor wait;
        PopulateChildren(item);
        if (TreeItemRecord* record = RecordOf(item)) {
            OnItemClicked(*record, true);
        }
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void FileBrowserView::mouseMoveEvent(QMouseEvent* event)
{
    // Only a press selects. Dragging with the button held does not take the
    // selection along: the row under the pointer may hold another item than
    // the one pressed (see mousePressEvent), and an item selected that way
    // would not have been populated nor shown in the file list.
    if (event->buttons().testFlag(Qt::LeftButton)) {
        event->accept();
        return;
    }
    QTreeView::mouseMoveEvent(event);
}

void FileBrowserView::keyPressEvent(QKeyEvent* event)
{
    // Shift+F10 asks for the context menu from the keyboard; the Menu key
    // comes as a context-menu event.
    if (event->key() == Qt::Key_F10 &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        ShowFolderMenu(-1, -1);
        event->accept();
        return;
    }
    OnTreeKeyDown(event->key());
    QTreeView::keyPressEvent(event);
}

void FileBrowserView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        ShowFolderMenu(-1, -1);
    } else {
        ShowFolderMenu(event->globalPos().x(), event->globalPos().y());
    }
    event->accept();
}

void FileBrowserView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    if (m_syncingSelection || m_removingRows > 0 || m_destroyed) {
        return;
    }
    const TreeItem item = Tree().ItemAt(current);
    if (item != Tree().Selection()) {
        Tree().SelectItem(item);
    }
}

QItemSelectionModel::SelectionFlags FileBrowserView::selectionCommand(const QModelIndex& index,
                                                                      const QEvent* event) const
{
    QItemSelectionModel::SelectionFlags flags = QTreeView::selectionCommand(index, event);
    // The tree always shows its one selected item: Ctrl+click selects like a
    // plain click instead of clearing the selection.
    if (flags.testFlag(QItemSelectionModel::Deselect)) {
        flags = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    }
    return flags;
}

// --- Keeping the view and the control in step ---------------------------------

void FileBrowserView::OnItemExpanding(TreeItem item, ExpandAction action)
{
    if (action == ExpandAction::Collapse || m_quietSelection) {
        return;
    }
    framework::WaitCursor wait;
    PopulateChildren(item);
}

void FileBrowserView::OnViewExpansion(const QModelIndex& index, bool expanded)
{
    const TreeItem item = Tree().ItemAt(index);
    if (item == TreeItem::None || Tree().IsExpanded(item) == expanded) {
        return;  // the control changed first and the view followed
    }
    // The user opened or closed the item: the control announces it (and the
    // item is populated) before its state changes.
    Tree().RequestExpand(item, expanded ? ExpandAction::Expand : ExpandAction::Collapse);
}

void FileBrowserView::ShowExpansion(TreeItem item, bool expanded)
{
    const QModelIndex index = Tree().IndexOf(item);
    if (index.isValid() && isExpanded(index) != expanded) {
        setExpanded(index, expanded);
    }
}

void FileBrowserView::ShowSelection()
{
    if (m_removingRows > 0 || m_destroyed) {
        return;  // once the rows are gone
    }
    const QModelIndex index = Tree().IndexOf(Tree().Selection());
    if (index == currentIndex() && (!index.isValid() || selectionModel()->isSelected(index))) {
        return;
    }
    QScopedValueRollback syncing(m_syncingSelection, true);
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
}
