#include "framework/DetailListView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace framework {

namespace {
constexpr int kStateImageSize = 16;
}

// Draws column 0 with the row's state image in a place of its own before
// the icon and the text.
class DetailListView::StateImageDelegate : public QStyledItemDelegate {
public:
    explicit StateImageDelegate(DetailListView* view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        if (index.column() != 0 || !m_view->HasStateImages()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // The selection background covers the state image's place too.
        QStyleOptionViewItem background(option);
        initStyleOption(&background, index);
        background.text.clear();
        background.icon = QIcon();
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

        const QRect place(option.rect.left(),
                          option.rect.top() + (option.rect.height() - kStateImageSize) / 2,
                          kStateImageSize, kStateImageSize);
        const QPixmap image = m_view->StateImage(index.data(ListControl::StateImageRole).toInt());
        if (!image.isNull()) {
            painter->drawPixmap(place, image);
        }
        QStyleOptionViewItem rest(option);
        rest.rect.setLeft(place.right() + 1);
        QStyledItemDelegate::paint(painter, rest, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() == 0 && m_view->HasStateImages()) {
            size.rwidth() += kStateImageSize;
            size.setHeight(std::max(size.height(), kStateImageSize));
        }
        return size;
    }

private:
    DetailListView* m_view;
};

DetailListView::DetailListView(ListSelection selection, QWidget* parent)
    : QTreeView(parent), m_control(new ListControl(this))
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setIconSize(QSize(16, 16));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    setItemDelegate(new StateImageDelegate(this));

    const bool single = selection == ListSelection::Single;
    setSelectionMode(single ? QAbstractItemView::SingleSelection
                            : QAbstractItemView::ExtendedSelection);
    m_control->SetSingleSelection(single);
    setModel(m_control);

    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { OnColumnClick(column); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DetailListView::OnViewSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &DetailListView::OnViewCurrentChanged);
    connect(m_control, &ListControl::ItemStateChanged, this,
            &DetailListView::OnControlStateChanged);
    connect(m_control, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { ShowRowStates(first, last); });
    connect(m_control, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int column = first; column <= last; ++column) {
                    header()->resizeSection(column, m_control->Column(column).width);
                }
            });
}

DetailListView::~DetailListView() = default;

void DetailListView::SetImageList(platform::ImageList* list) { m_control->SetImageList(list); }

void DetailListView::SetStateImages(const QPixmap& first, const QPixmap& second)
{
    m_stateImages = {first, second};
    scheduleDelayedItemsLayout();
    viewport()->update();
}

QPixmap DetailListView::StateImage(int index) const
{
    if (index < 1 || index > 2) {
        return {};
    }
    return m_stateImages[static_cast<std::size_t>(index - 1)];
}

void DetailListView::SelectOnly(int row)
{
    // The view follows in one step rather than row by row: after Select All
    // of a large list that is a single change instead of one per row.
    const QScopedValueRollback guard(m_syncing, true);
    m_control->SelectOnly(row);
    const QModelIndex index = m_control->index(row, 0);
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->clearCurrentIndex();
    }
    EnsureVisible(row);
}

void DetailListView::EnsureVisible(int row)
{
    const QModelIndex index = m_control->index(row, 0);
    if (index.isValid()) {
        scrollTo(index, QAbstractItemView::EnsureVisible);
    }
}

QRect DetailListView::ItemRect(int row) const
{
    QRect rect;
    for (int column = 0; column < m_control->ColumnCount(); ++column) {
        rect |= visualRect(m_control->index(row, column));
    }
    return rect;
}

int DetailListView::RowAt(const QPoint& viewportPoint) const
{
    return m_control->RowOf(indexAt(viewportPoint));
}

QPoint DetailListView::KeyboardMenuPosition() const
{
    return mapToGlobal(contentsRect().topLeft() + kKeyboardMenuOffset);
}

bool DetailListView::OnUpdateCommand(int /*command*/, CommandState& /*state*/) { return false; }

void DetailListView::OnCommand(int /*command*/) {}

// --- Hooks -------------------------------------------------------------------------

void DetailListView::OnColumnClick(int /*column*/) {}
void DetailListView::OnClick(int /*row*/) {}
void DetailListView::OnDoubleClick(int /*row*/) {}
void DetailListView::OnOpen() {}
void DetailListView::OnDeleteKey() {}
void DetailListView::OnEscapeKey() {}
void DetailListView::OnContextMenu(const QPoint& /*globalPos*/, bool /*fromKeyboard*/) {}
void DetailListView::OnItemStateChanged(int /*row*/, ListControl::State /*previous*/,
                                        ListControl::State /*current*/)
{
}

// --- Input -------------------------------------------------------------------------

DetailListView::OwnKey DetailListView::KeyOf(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
        case Qt::Key_Delete:
            return modifiers == Qt::NoModifier ? OwnKey::Delete : OwnKey::None;
        case Qt::Key_Escape:
            return modifiers == Qt::NoModifier ? OwnKey::Escape : OwnKey::None;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return modifiers == Qt::NoModifier ? OwnKey::Open : OwnKey::None;
        case Qt::Key_F10:
            return modifiers == Qt::ShiftModifier ? OwnKey::Menu : OwnKey::None;
        default:
            return OwnKey::None;
    }
}

bool DetailListView::event(QEvent* event)
{
    // These keys belong to the list while it has focus, before any shortcut.
    if (event->type() == QEvent::ShortcutOverride &&
        KeyOf(static_cast<QKeyEvent*>(event)) != OwnKey::None) {
        event->accept();
        return true;
    }
    return QTreeView::event(event);
}

void DetailListView::keyPressEvent(QKeyEvent* event)
{
    switch (KeyOf(event)) {
        case OwnKey::Delete:
            OnDeleteKey();
            break;
        case OwnKey::Escape:
            OnEscapeKey();
            break;
        case OwnKey::Open:
            OnOpen();
            break;
        case OwnKey::Menu:
            OnContextMenu(KeyboardMenuPosition(), true);
            break;
        case OwnKey::None:
            QTreeView::keyPressEvent(event);
            return;
    }
    event->accept();
}

void DetailListView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        OnContextMenu(KeyboardMenuPosition(), true);
    } else {
        OnContextMenu(event->globalPos(), false);
    }
    event->accept();
}

void DetailListView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        OnClick(RowAt(event->position().toPoint()));
    }
}

void DetailListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        OnDoubleClick(RowAt(event->position().toPoint()));
    }
}

// --- Selection ---------------------------------------------------------------------

void DetailListView::OnViewSelectionChanged(const QItemSelection& selected,
                                            const QItemSelection& deselected)
{
    if (m_syncing) {
        return;
    }
    const QScopedValueRollback guard(m_syncing, true);
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            m_control->SetItemState(row, {}, ListControl::Selected);
        }
    }
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            m_control->SetItemState(row, ListControl::Selected, ListControl::Selected);
        }
    }
}

void DetailListView::OnViewCurrentChanged(const QModelIndex& current)
{
    if (m_syncing) {
        return;
    }
    const QScopedValueRollback guard(m_syncing, true);
    const int row = m_control->RowOf(current);
    if (row >= 0) {
        m_control->SetItemState(row, ListControl::Focused, ListControl::Focused);
    } else if (m_control->FocusedItem() >= 0) {
        m_control->SetItemState(m_control->FocusedItem(), {}, ListControl::Focused);
    }
}

void DetailListView::OnControlStateChanged(int row, ListControl::State previous,
                                           ListControl::State current)
{
    if (!m_syncing && row < m_control->rowCount()) {
        const QScopedValueRollback guard(m_syncing, true);
        const QModelIndex index = m_control->index(row, 0);
        const ListControl::State changed = previous ^ current;
        if (changed.testFlag(ListControl::Selected)) {
            selectionModel()->select(
                index, (current.testFlag(ListControl::Selected) ? QItemSelectionModel::Select
                                                                : QItemSelectionModel::Deselect) |
                           QItemSelectionModel::Rows);
        }
        if (changed.testFlag(ListControl::Focused)) {
            if (current.testFlag(ListControl::Focused)) {
                selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            } else if (selectionModel()->currentIndex().row() == row) {
                selectionModel()->clearCurrentIndex();
            }
        }
    }
    OnItemStateChanged(row, previous, current);
}

// Rows enter the view with the states they were given before.
void DetailListView::ShowRowStates(int first, int last)
{
    if (m_control->SelectedCount() == 0 && m_control->FocusedItem() < first) {
        return;
    }
    const QScopedValueRollback guard(m_syncing, true);
    QItemSelection selection;
    for (int row = first; row <= last; ++row) {
        const ListControl::State state = m_control->ItemState(row);
        if (state.testFlag(ListControl::Selected)) {
            const QModelIndex index = m_control->index(row, 0);
            selection.select(index, index);
        }
        if (state.testFlag(ListControl::Focused)) {
            selectionModel()->setCurrentIndex(m_control->index(row, 0),
                                              QItemSelectionModel::NoUpdate);
        }
    }
    if (!selection.isEmpty()) {
        selectionModel()->select(selection,
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

}  // namespace framework
