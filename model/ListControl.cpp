#include "model/ListControl.h"

#include <algorithm>

#include "platform/ImageList.h"

struct ListControl::Row {
    void* data = nullptr;
    // Texts by column; columns past the end are empty.
    std::vector<QString> texts;
    int image = -1;
    int stateImage = 0;
    State state;
    // Index of this row; valid while it lies below m_firstStale.
    mutable std::size_t index = 0;
};

namespace {

int ClampStateImage(int index) { return index == 1 || index == 2 ? index : 0; }

}  // namespace

ListControl::ListControl(QObject* parent) : QAbstractItemModel(parent) {}

ListControl::~ListControl() = default;

// --- Bookkeeping ---------------------------------------------------------------

ListControl::Row* ListControl::At(int row) const
{
    if (row < 0 || row >= ItemCount()) {
        return nullptr;
    }
    return m_rows[static_cast<std::size_t>(row)].get();
}

void ListControl::Renumber() const
{
    for (std::size_t i = m_firstStale; i < m_rows.size(); ++i) {
        m_rows[i]->index = i;
    }
    m_firstStale = m_rows.size();
}

int ListControl::IndexOfRow(const Row* row) const
{
    const std::size_t kept = row->index;
    if (kept >= m_firstStale || kept >= m_rows.size() || m_rows[kept].get() != row) {
        Renumber();
    }
    return static_cast<int>(row->index);
}

int ListControl::ShownCount() const { return static_cast<int>(m_rows.size() - m_pendingRows); }

// Drops the row's share of the selection count, the focus and the data index.
void ListControl::Forget(Row* row)
{
    if (row->state.testFlag(Selected)) {
        --m_selectedCount;
    }
    if (m_focused == row) {
        m_focused = nullptr;
    }
    Unindex(row);
}

void ListControl::Unindex(Row* row)
{
    if (row->data == nullptr) {
        return;
    }
    auto [first, last] = m_byData.equal_range(row->data);
    for (auto it = first; it != last; ++it) {
        if (it->second == row) {
            m_byData.erase(it);
            return;
        }
    }
}

void ListControl::RowChanged(int index, int firstColumn, int lastColumn)
{
    if (index >= ShownCount()) {
        return;  // not in the model yet: it enters with its texts
    }
    if (m_suspended > 0) {
        m_changedFirst = m_changedFirst < 0 ? index : std::min(m_changedFirst, index);
        m_changedLast = std::max(m_changedLast, index);
        return;
    }
    Q_EMIT dataChanged(this->index(index, firstColumn), this->index(index, lastColumn));
}

void ListControl::FlushChangedRows()
{
    const int first = m_changedFirst;
    const int last = std::min(m_changedLast, ShownCount() - 1);
    m_changedFirst = -1;
    m_changedLast = -1;
    if (first < 0 || first > last || m_columns.empty()) {
        return;
    }
    Q_EMIT dataChanged(index(first, 0), index(last, ColumnCount() - 1));
}

void ListControl::FlushPendingRows()
{
    if (m_pendingRows == 0) {
        return;
    }
    beginInsertRows({}, ShownCount(), ItemCount() - 1);
    m_pendingRows = 0;
    endInsertRows();
}

// --- Columns -------------------------------------------------------------------

int ListControl::InsertColumn(int column, const ListColumn& definition)
{
    FlushChangedRows();
    column = std::clamp(column, 0, ColumnCount());
    beginInsertColumns({}, column, column);
    m_columns.insert(m_columns.begin() + column, definition);
    for (const auto& row : m_rows) {
        if (static_cast<int>(row->texts.size()) > column) {
            row->texts.insert(row->texts.begin() + column, QString());
        }
    }
    endInsertColumns();
    return column;
}

ListColumn ListControl::Column(int column) const
{
    if (column < 0 || column >= ColumnCount()) {
        return {};
    }
    return m_columns[static_cast<std::size_t>(column)];
}

// --- Rows ----------------------------------------------------------------------

int ListControl::InsertItem(int row, const QString& text, int image, int stateImage, void* data)
{
    row = std::clamp(row, 0, ItemCount());
    auto item = std::make_unique<Row>();
    item->data = data;
    item->texts.push_back(text);
    item->image = image;
    item->stateImage = ClampStateImage(stateImage);
    item->index = static_cast<std::size_t>(row);
    Row* raw = item.get();

    const auto place = [&] {
        const bool append = row == ItemCount();
        const bool wasClean = m_firstStale == m_rows.size();
        m_rows.insert(m_rows.begin() + row, std::move(item));
        if (append && wasClean) {
            m_firstStale = m_rows.size();
        } else {
            m_firstStale = std::min(m_firstStale, static_cast<std::size_t>(row));
        }
        if (data != nullptr) {
            m_byData.emplace(data, raw);
        }
    };

    if (m_suspended > 0 && row >= ShownCount()) {
        // Joins the rows that enter the model at the outermost resume.
        place();
        ++m_pendingRows;
        return row;
    }
    FlushChangedRows();
    beginInsertRows({}, row, row);
    place();
    endInsertRows();
    return row;
}

bool ListControl::DeleteItem(int row)
{
    Row* item = At(row);
    if (item == nullptr) {
        return false;
    }
    const auto erase = [&] {
        Forget(item);
        m_rows.erase(m_rows.begin() + row);
        m_firstStale = std::min(m_firstStale, static_cast<std::size_t>(row));
    };
    if (row >= ShownCount()) {
        erase();
        --m_pendingRows;
        return true;
    }
    FlushChangedRows();
    beginRemoveRows({}, row, row);
    erase();
    endRemoveRows();
    return true;
}

void ListControl::DeleteAllItems()
{
    beginResetModel();
    m_rows.clear();
    m_byData.clear();
    m_firstStale = 0;
    m_selectedCount = 0;
    m_focused = nullptr;
    m_pendingRows = 0;
    m_changedFirst = -1;
    m_changedLast = -1;
    endResetModel();
}

void ListControl::SetItemCountHint(int count)
{
    if (count > 0) {
        m_rows.reserve(static_cast<std::size_t>(count));
        m_byData.reserve(static_cast<std::size_t>(count));
    }
}

// --- Cells and attributes -------------------------------------------------------

void ListControl::SetItemText(int row, int column, const QString& text)
{
    Row* item = At(row);
    if (item == nullptr || column < 0 || column >= ColumnCount()) {
        return;
    }
    const auto cell = static_cast<std::size_t>(column);
    if (item->texts.size() <= cell) {
        item->texts.resize(cell + 1);
    }
    item->texts[cell] = text;
    RowChanged(row, column, column);
}

QString ListControl::ItemText(int row, int column) const
{
    const Row* item = At(row);
    if (item == nullptr || column < 0 || static_cast<std::size_t>(column) >= item->texts.size()) {
        return {};
    }
    return item->texts[static_cast<std::size_t>(column)];
}

void ListControl::SetItemImage(int row, int image)
{
    Row* item = At(row);
    if (item != nullptr && item->image != image) {
        item->image = image;
        RowChanged(row, 0, 0);
    }
}

int ListControl::ItemImage(int row) const
{
    const Row* item = At(row);
    return item == nullptr ? -1 : item->image;
}

void ListControl::SetItemStateImage(int row, int index)
{
    Row* item = At(row);
    index = ClampStateImage(index);
    if (item != nullptr && item->stateImage != index) {
        item->stateImage = index;
        RowChanged(row, 0, 0);
    }
}

int ListControl::ItemStateImage(int row) const
{
    const Row* item = At(row);
    return item == nullptr ? 0 : item->stateImage;
}

void ListControl::SetItemData(int row, void* data)
{
    Row* item = At(row);
    if (item == nullptr || item->data == data) {
        return;
    }
    Unindex(item);
    item->data = data;
    if (data != nullptr) {
        m_byData.emplace(data, item);
    }
}

void* ListControl::ItemData(int row) const
{
    const Row* item = At(row);
    return item == nullptr ? nullptr : item->data;
}

int ListControl::FindItem(const void* data) const
{
    if (data == nullptr) {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i]->data == nullptr) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    int found = -1;
    auto [first, last] = m_byData.equal_range(data);
    for (auto it = first; it != last; ++it) {
        const int row = IndexOfRow(it->second);
        found = found < 0 ? row : std::min(found, row);
    }
    return found;
}

void ListControl::SetImageList(platform::ImageList* list)
{
    m_imageList = list;
    RefreshAll();
}

// --- Selection and focus ----------------------------------------------------------

void ListControl::ApplyState(int index, Row* row, State state)
{
    if (row->state == state) {
        return;
    }
    if (state.testFlag(Focused) && m_focused != nullptr && m_focused != row) {
        Row* previous = m_focused;
        ApplyState(IndexOfRow(previous), previous, previous->state & ~State(Focused));
    }
    if (m_singleSelection && state.testFlag(Selected) && !row->state.testFlag(Selected)) {
        for (std::size_t i = 0; i < m_rows.size() && m_selectedCount > 0; ++i) {
            Row* other = m_rows[i].get();
            if (other != row && other->state.testFlag(Selected)) {
                ApplyState(static_cast<int>(i), other, other->state & ~State(Selected));
            }
        }
    }
    const State previous = row->state;
    if (previous.testFlag(Selected) != state.testFlag(Selected)) {
        m_selectedCount += state.testFlag(Selected) ? 1 : -1;
    }
    if (state.testFlag(Focused)) {
        m_focused = row;
    } else if (m_focused == row) {
        m_focused = nullptr;
    }
    row->state = state;
    Q_EMIT ItemStateChanged(index, previous, state);
}

void ListControl::SetItemState(int row, State state, State mask)
{
    Row* item = At(row);
    if (item != nullptr) {
        ApplyState(row, item, (item->state & ~mask) | (state & mask));
    }
}

ListControl::State ListControl::ItemState(int row) const
{
    const Row* item = At(row);
    return item == nullptr ? State() : item->state;
}

void ListControl::SelectOnly(int row)
{
    Row* target = At(row);
    for (std::size_t i = 0; i < m_rows.size() && m_selectedCount > 0; ++i) {
        Row* other = m_rows[i].get();
        if (other != target && other->state.testFlag(Selected)) {
            ApplyState(static_cast<int>(i), other, other->state & ~State(Selected | Focused));
        }
    }
    if (m_focused != nullptr && m_focused != target) {
        Row* focused = m_focused;
        ApplyState(IndexOfRow(focused), focused, focused->state & ~State(Focused));
    }
    if (target != nullptr) {
        ApplyState(row, target, Selected | Focused);
    }
}

int ListControl::FirstSelected() const
{
    for (std::size_t i = 0; i < m_rows.size() && m_selectedCount > 0; ++i) {
        if (m_rows[i]->state.testFlag(Selected)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<int> ListControl::SelectedItems() const
{
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(m_selectedCount));
    for (std::size_t i = 0; i < m_rows.size() && rows.size() < rows.capacity(); ++i) {
        if (m_rows[i]->state.testFlag(Selected)) {
            rows.push_back(static_cast<int>(i));
        }
    }
    return rows;
}

int ListControl::FocusedItem() const { return m_focused == nullptr ? -1 : IndexOfRow(m_focused); }

void ListControl::SetSingleSelection(bool single)
{
    m_singleSelection = single;
    if (single && m_selectedCount > 1) {
        // Keeps the first selected row only.
        const std::vector<int> selected = SelectedItems();
        for (std::size_t i = 1; i < selected.size(); ++i) {
            SetItemState(selected[i], {}, Selected);
        }
    }
}

// --- Order and redraw ---------------------------------------------------------------

void ListControl::SortItems(const Comparison& compare, std::intptr_t value)
{
    if (!compare) {
        return;
    }
    FlushChangedRows();
    FlushPendingRows();
    if (m_rows.size() < 2) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::stable_sort(
        m_rows.begin(), m_rows.end(),
        [&compare, value](const std::unique_ptr<Row>& a, const std::unique_ptr<Row>& b) {
            return compare(a->data, b->data, value) < 0;
        });
    m_firstStale = 0;
    Renumber();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        Row* row = static_cast<Row*>(index.internalPointer());
        after.append(createIndex(static_cast<int>(row->index), index.column(), row));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListControl::SuspendRedraw() { ++m_suspended; }

void ListControl::ResumeRedraw()
{
    if (m_suspended == 0 || --m_suspended > 0) {
        return;
    }
    FlushChangedRows();
    FlushPendingRows();
}

void ListControl::RefreshAll()
{
    if (ShownCount() == 0) {
        return;
    }
    m_changedFirst = 0;
    m_changedLast = ShownCount() - 1;
    if (m_suspended == 0) {
        FlushChangedRows();
    }
}

// --- Model indexes ------------------------------------------------------------------

int ListControl::RowOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= ShownCount()) {
        return -1;
    }
    return index.row();
}

QModelIndex ListControl::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || row >= ShownCount() || column < 0 ||
        column >= ColumnCount()) {
        return {};
    }
    return createIndex(row, column, m_rows[static_cast<std::size_t>(row)].get());
}

QModelIndex ListControl::parent(const QModelIndex& /*child*/) const { return {}; }

int ListControl::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ShownCount();
}

int ListControl::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant ListControl::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this) {
        return {};
    }
    const Row* row = static_cast<const Row*>(index.internalPointer());
    const auto column = static_cast<std::size_t>(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return column < row->texts.size() ? row->texts[column] : QString();
        case Qt::DecorationRole:
            if (column != 0 || m_imageList == nullptr || row->image < 0) {
                return {};
            }
            return m_imageList->Icon(row->image);
        case Qt::TextAlignmentRole:
            return static_cast<int>(m_columns[column].alignment | Qt::AlignVCenter);
        case ItemDataRole:
            return QVariant::fromValue(reinterpret_cast<quintptr>(row->data));
        case ImageRole:
            return row->image;
        case StateImageRole:
            return row->stateImage;
        case ItemStateRole:
            return static_cast<int>(row->state);
        default:
            return {};
    }
}

QVariant ListControl::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) {
        return {};
    }
    const ListColumn& column = m_columns[static_cast<std::size_t>(section)];
    switch (role) {
        case Qt::DisplayRole:
            return column.text;
        case Qt::TextAlignmentRole:
            return static_cast<int>(column.alignment | Qt::AlignVCenter);
        default:
            return {};
    }
}

Qt::ItemFlags ListControl::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
