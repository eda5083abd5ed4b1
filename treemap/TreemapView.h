#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "engine/TreemapLayout.h"
#include "framework/CommandTarget.h"
#include "model/TreeControl.h"

class QTimer;
class DeletionHandler;
class FolderListDisplay;
class TreeAccess;
class LarkspurBrowserView;

namespace framework {
class CommandRouter;
}

// The treemap pane: the subtree of the folder selected in the tree as nested
// rectangles whose areas follow disk space (TreemapLayout). Files are filled
// with their family's colour and a soft cushion shade, folders framed,
// folders not yet sized hatched, and what is too small to draw one by one a
// plain grey. With Mark Duplicates on, files that have a copy elsewhere are
// outlined.
//
// The picture is laid out and painted into a cached image, under the
// tree-data lock, only when something changed: at once after the tree's
// selection changed or the pane was resized, and at most every
// kRefreshMs while the tree's labels change (a scan delivering); a hidden
// pane does nothing until it shows. The number of tiles is bounded by the
// pane's area (kMinimumArea), so one picture costs the same on any tree.
//
// The pane follows the tree's selection, except where the selection came
// from a click in the pane itself: a click on a tile selects its folder in
// the tree (and a file's row in the file list) while the picture stays;
// a double click on a folder, Enter on a highlighted folder and Backspace
// (to the parent) select the folder and show it. Hovering shows a tile's
// path and sizes in the status bar. Arrows move the highlight among the
// siblings of the highlighted tile.
//
// The highlighted tile (the one last clicked or moved to) is what the
// commands act on while the pane has the focus, and the context menu's: for
// a file, Open, Explore (its folder) and Delete, which goes to the deletion
// handler as the file list's does; for a folder (or the small rest of one),
// the tree's folder commands, run by the tree on the folder, which is
// selected there first; and Mark Duplicates. Sizes are shown in the size format of the
// moment (framework::SizeTextSource).
//
// Tiles point into the tree's records: they are dropped before any item
// leaves the tree, and every record is reached by its item otherwise.
//
// Wiring, by the main view once the panes exist: SetPanes (the tree whose
// selection is shown and whose lock guards the records, the file list),
// SetActions (where deletions go, the router of the context menus). None is
// owned; each must outlive the pane or be handed in again as null.
// UI thread only.
class TreemapView : public QWidget, public framework::CommandTarget {
    Q_OBJECT

public:
    // Tiles smaller than this, in square pixels, are merged into their
    // folder's Small tile.
    static constexpr double kMinimumArea = 2.0;
    // While a scan changes the tree, the picture is made again at most this
    // often.
    static constexpr int kRefreshMs = 250;

    explicit TreemapView(QWidget* parent = nullptr);
    ~TreemapView() override;

    void SetPanes(LarkspurBrowserView* tree, FolderListDisplay* fileList);
    void SetActions(DeletionHandler* deletion, framework::CommandRouter* router);

    // Outlines files that have copies; emits MarkDuplicatesChanged.
    void SetMarkDuplicates(bool on);
    [[nodiscard]] bool MarkDuplicates() const { return m_markDuplicates; }

    // A whole picture of root's subtree in tree: its tiles (TreemapLayout,
    // kMinimumArea) into tiles, painted into an image of size logical
    // pixels at ratio device pixels each. What the pane does for every
    // picture; call under the tree-data lock.
    static QImage Paint(const TreeAccess& tree, const FolderRecord& root, QSize size, qreal ratio,
                        bool markDuplicates, std::vector<TreemapTile>& tiles);

    // The picture as it stands, laid out and painted now if it is stale.
    const QImage& Picture();
    // The tiles of the picture (valid until the tree changes).
    const std::vector<TreemapTile>& Tiles();
    // The folder the picture shows; null when none.
    [[nodiscard]] const FolderRecord* ShownFolder() const;
    // The index into Tiles() of the last tile containing point; -1 when none.
    [[nodiscard]] int TileAt(const QPointF& point) const;
    // The highlighted tile's index; -1 when none.
    [[nodiscard]] int Highlighted() const { return m_highlight; }

    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

Q_SIGNALS:
    void MarkDuplicatesChanged(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The status bar leaves a hidden pane's tile.
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnSelectionChanged(TreeItem current);
    void DropTiles();
    // The highlight is kept across pictures by what it shows: its tile's
    // folder item, file and kind, taken before the tiles go.
    void RememberHighlight();
    // Highlights the tile at index (-1: none) and notes what it shows.
    void SetHighlight(int index);
    void ForgetHighlight();
    // The scan changed something: a new picture within kRefreshMs.
    void RedrawSoon();
    void Render();
    static void PaintTiles(QPainter& painter, const std::vector<TreemapTile>& tiles,
                           bool markDuplicates);
    void ShowStatus(int tile);
    // Selects the tile's folder in the tree without showing it here, and a
    // file's row in the file list.
    void SelectTile(int tile);
    // Selects folder in the tree (populated) and shows it.
    void ShowFolder(FolderRecord* folder);
    void MoveHighlight(int key);
    [[nodiscard]] FolderRecord* Container(const TreemapTile& tile) const;
    // The file of a File tile; null when the folder's files changed.
    [[nodiscard]] static const FolderFiles::File* FileOf(const TreemapTile& tile);

    LarkspurBrowserView* m_tree = nullptr;
    FolderListDisplay* m_fileList = nullptr;
    DeletionHandler* m_deletion = nullptr;
    framework::CommandRouter* m_router = nullptr;
    TreeItem m_shown = TreeItem::None;
    // The selection being made by this pane: the picture keeps its folder.
    bool m_selecting = false;
    bool m_stale = true;
    bool m_markDuplicates = false;
    QImage m_image;
    std::vector<TreemapTile> m_tiles;
    int m_highlight = -1;
    // The tile whose text the status bar shows; -2: none asked for since
    // the tiles were made.
    int m_hovered = -2;
    TreeItem m_highlightItem = TreeItem::None;
    std::string m_highlightName;  // a File tile's file
    TreemapTile::Kind m_highlightKind = TreemapTile::Kind::Folder;
    QTimer* m_refreshTimer = nullptr;
};
