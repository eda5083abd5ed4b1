#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include <QAbstractItemModel>
#include <QString>
#include <QtGlobal>

namespace platform {
class ImageList;
}

// One column of a report list: header text, initial width in pixels and the
// alignment of the column's cells and header.
struct ListColumn {
    QString text;
    int width = 100;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The item model of a report-style list: a flat sequence of rows, each with
// a data pointer (the record behind the row, not owned), one text per
// column as the owner sets it, an image index into the small-image list, a
// state image (0 none, 1 or 2: the first or second image of the view's
// state-image list) and a selected and a focused state. Cells show only
// what the owner set, so drawing never reaches through a row's pointer. A
// DetailListView draws it; everything here runs without a display (QtCore
// only).
//
// UI thread only. Rows are addressed by index, 0 to ItemCount() - 1, in
// display order. FindItem by data pointer is O(1) (null data: a scan).
//
// Selection and focus are states of the rows themselves: they stay with
// their row when the rows are sorted, inserted or deleted around it. At most
// one row is focused; with single selection at most one row is selected.
// Every state change is announced by ItemStateChanged.
//
// Redraw suspension (SuspendRedraw/ResumeRedraw, nesting) batches what the
// views see: rows appended meanwhile enter the model together at the end in
// one rowsInserted, and text and image changes of rows already shown become
// one dataChanged. The rows can be addressed and changed by index all along.
class ListControl : public QAbstractItemModel {
    Q_OBJECT

public:
    // Raw values in roles of their own, for views and tests.
    enum Role {
        ItemDataRole = Qt::UserRole + 1,  // quintptr: the data pointer
        ImageRole,                        // int: image index, -1 none
        StateImageRole,                   // int: 0 none, 1 or 2
        ItemStateRole,                    // int: the State flags
    };

    enum StateFlag { Focused = 0x1, Selected = 0x2 };
    Q_DECLARE_FLAGS(State, StateFlag)

    // Orders the rows with data first and second: < 0 when first goes
    // before second, 0 when they are equal, > 0 after. value is what the
    // caller gave SortItems (the lists pass their ascending flag).
    using Comparison = std::function<int(void* first, void* second, std::intptr_t value)>;

    explicit ListControl(QObject* parent = nullptr);
    ~ListControl() override;

    // --- Columns ------------------------------------------------------------
    // Inserts a column before column (clamped to the end); rows get an
    // empty cell in it. Returns the column's index.
    int InsertColumn(int column, const ListColumn& definition);
    [[nodiscard]] int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    // The column's definition; a default one for a bad index.
    [[nodiscard]] ListColumn Column(int column) const;

    // --- Rows ---------------------------------------------------------------
    // Inserts a row before row (clamped to 0 .. ItemCount()) with text in
    // column 0 and no other texts, not selected or focused. Returns the
    // row's index.
    int InsertItem(int row, const QString& text, int image = -1, int stateImage = 0,
                   void* data = nullptr);
    // Removes the row. The data pointer is not touched. False for a bad row.
    bool DeleteItem(int row);
    void DeleteAllItems();
    // Room for count rows, before a fill.
    void SetItemCountHint(int count);
    [[nodiscard]] int ItemCount() const { return static_cast<int>(m_rows.size()); }

    // --- Cells and attributes ---------------------------------------------
    // Setters ignore a bad row or column; getters answer empty, -1, 0 or
    // null for one.
    void SetItemText(int row, int column, const QString& text);
    [[nodiscard]] QString ItemText(int row, int column) const;
    void SetItemImage(int row, int image);
    [[nodiscard]] int ItemImage(int row) const;
    // index: 0 none, 1 or 2; anything else counts as 0.
    void SetItemStateImage(int row, int index);
    [[nodiscard]] int ItemStateImage(int row) const;
    void SetItemData(int row, void* data);
    [[nodiscard]] void* ItemData(int row) const;
    // The lowest row whose data pointer is data; -1 when there is none.
    [[nodiscard]] int FindItem(const void* data) const;

    // The small-image list that turns image indexes into icons (not owned,
    // never freed by the control; it must outlive the control or be
    // replaced). Null: no icons.
    void SetImageList(platform::ImageList* list);
    [[nodiscard]] platform::ImageList* ImageList() const { return m_imageList; }

    // --- Selection and focus ---------------------------------------------
    // Sets the bits of mask in the row's state to those of state. Focusing a
    // row takes the focus from the row that had it; with single selection,
    // selecting a row deselects the others.
    void SetItemState(int row, State state, State mask);
    [[nodiscard]] State ItemState(int row) const;
    // Deselects every row and unfocuses the focused row, then selects and
    // focuses row (none for a bad row).
    void SelectOnly(int row);
    [[nodiscard]] int SelectedCount() const { return m_selectedCount; }
    // The lowest selected row, or -1.
    [[nodiscard]] int FirstSelected() const;
    // The selected rows in row order.
    [[nodiscard]] std::vector<int> SelectedItems() const;
    [[nodiscard]] int FocusedItem() const;
    void SetSingleSelection(bool single);
    [[nodiscard]] bool SingleSelection() const { return m_singleSelection; }

    // --- Order and redraw -------------------------------------------------
    // Sorts the rows by compare(data of one row, data of another, value),
    // stably: rows that compare equal keep their order. One layout change;
    // states and persistent indexes stay with their rows.
    void SortItems(const Comparison& compare, std::intptr_t value);

    void SuspendRedraw();
    // At the outermost resume the views see the batched changes.
    void ResumeRedraw();
    [[nodiscard]] bool RedrawSuspended() const { return m_suspended > 0; }
    // Views: every cell may have changed.
    void RefreshAll();

    // --- Model indexes ------------------------------------------------------
    // Row of an index of this model, or -1.
    [[nodiscard]] int RowOf(const QModelIndex& index) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // After the state of row changed, by the owner or by a view on the
    // user's behalf.
    void ItemStateChanged(int row, ListControl::State previous, ListControl::State current);

private:
    struct Row;

    [[nodiscard]] Row* At(int row) const;
    [[nodiscard]] int IndexOfRow(const Row* row) const;
    [[nodiscard]] int ShownCount() const;
    void Renumber() const;
    void Forget(Row* row);
    void Unindex(Row* row);
    void ApplyState(int index, Row* row, State state);
    void RowChanged(int index, int firstColumn, int lastColumn);
    void FlushPendingRows();
    void FlushChangedRows();

    std::vector<ListColumn> m_columns;
    std::vector<std::unique_ptr<Row>> m_rows;
    // Rows from this index on may carry stale row numbers.
    mutable std::size_t m_firstStale = 0;
    std::unordered_multimap<const void*, Row*> m_byData;
    platform::ImageList* m_imageList = nullptr;
    int m_selectedCount = 0;
    Row* m_focused = nullptr;
    bool m_singleSelection = false;

    int m_suspended = 0;
    // While suspended: the last m_pendingRows rows are not yet in the model,
    // and rows m_changedFirst .. m_changedLast of the shown ones changed.
    std::size_t m_pendingRows = 0;
    int m_changedFirst = -1;
    int m_changedLast = -1;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ListControl::State)
