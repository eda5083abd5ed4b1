#pragma once

#include <array>

#include <QPixmap>
#include <QTreeView>

#include "framework/CommandTarget.h"
#include "model/ListControl.h"

namespace platform {
class ImageList;
}

namespace framework {

enum class ListSelection { Single, Multiple };

// A report-style list pane: a QTreeView over its own ListControl, with
// full-row selection shown even without focus, no expand decoration and
// uniform rows. The owner fills the control (columns, rows, texts, images)
// and derives from this class to fill the hooks, which do nothing here.
//
// Selection: the control's row states are the truth. What the user selects
// in the view is written to the rows (and announced by the control's
// ItemStateChanged); what the owner sets on the rows shows in the view.
// Multiple selection extends with Shift and Ctrl.
//
// Images: column 0 shows the row's state image (when state images are set,
// a 16x16 place is kept for it on every row) and then its icon from the
// small-image list.
//
// Commands: the view is a CommandTarget that claims nothing; a list
// overrides OnUpdateCommand/OnCommand to take commands while it has focus.
//
// UI thread only.
class DetailListView : public QTreeView, public CommandTarget {
    Q_OBJECT

public:
    // The keyboard context menu opens this far right of and below the
    // top-left corner of the list's client area (inside its frame).
    static constexpr QPoint kKeyboardMenuOffset{5, 5};

    explicit DetailListView(ListSelection selection, QWidget* parent = nullptr);
    ~DetailListView() override;

    // The rows and columns. A column inserted into the control gets its
    // defined width in the header.
    [[nodiscard]] ListControl& Control() { return *m_control; }
    [[nodiscard]] const ListControl& Control() const { return *m_control; }

    // The small-image list (shared, not owned, never freed here).
    void SetImageList(platform::ImageList* list);
    // The state-image list: first and second are state images 1 and 2.
    void SetStateImages(const QPixmap& first, const QPixmap& second);
    [[nodiscard]] bool HasStateImages() const { return !m_stateImages[0].isNull(); }
    // Null for index 0 or without state images.
    [[nodiscard]] QPixmap StateImage(int index) const;

    // The row becomes the only selected row and the focused row, and is
    // scrolled into view. A bad row clears the selection.
    void SelectOnly(int row);
    // Scrolls the row fully into view.
    void EnsureVisible(int row);
    // The row's rectangle over all columns in viewport coordinates; empty
    // for a bad row.
    [[nodiscard]] QRect ItemRect(int row) const;
    // The row at a point in viewport coordinates, or -1.
    [[nodiscard]] int RowAt(const QPoint& viewportPoint) const;
    // Where a keyboard-invoked context menu opens, in global coordinates.
    [[nodiscard]] QPoint KeyboardMenuPosition() const;

    // CommandTarget: claims nothing.
    bool OnUpdateCommand(int command, CommandState& state) override;
    void OnCommand(int command) override;

protected:
    // A click on a column header.
    virtual void OnColumnClick(int column);
    // A left click, after the selection has followed it; row -1 off the rows.
    virtual void OnClick(int row);
    // A left double click; row -1 off the rows.
    virtual void OnDoubleClick(int row);
    // Enter or Return.
    virtual void OnOpen();
    virtual void OnDeleteKey();
    virtual void OnEscapeKey();
    // A context menu asked for with the mouse (at the mouse) or from the
    // keyboard (at KeyboardMenuPosition): the Menu key, which Qt turns into
    // a keyboard context menu event, or Shift+F10, which it does not.
    virtual void OnContextMenu(const QPoint& globalPos, bool fromKeyboard);
    // After a row's state changed, by the user or by the owner.
    virtual void OnItemStateChanged(int row, ListControl::State previous,
                                    ListControl::State current);

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    class StateImageDelegate;
    enum class OwnKey { None, Delete, Escape, Open, Menu };

    [[nodiscard]] static OwnKey KeyOf(const QKeyEvent* event);
    void OnViewSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnViewCurrentChanged(const QModelIndex& current);
    void OnControlStateChanged(int row, ListControl::State previous, ListControl::State current);
    void ShowRowStates(int first, int last);

    ListControl* m_control;  // a child of this view
    std::array<QPixmap, 2> m_stateImages;
    // Set while one side of the selection is being brought to the other.
    bool m_syncing = false;
};

}  // namespace framework
