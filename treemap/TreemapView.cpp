#include "treemap/TreemapView.h"

#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStatusTipEvent>
#include <QTimer>

#include "engine/DupGroup.h"
#include "engine/FolderListDisplay.h"
#include "engine/FolderRecord.h"
#include "framework/MenuBuilder.h"
#include "framework/SizeTextSource.h"
#include "lists/FileLauncher.h"
#include "platform/DecodedName.h"
#include "platform/ModalScope.h"
#include "resources/CommandIds.h"
#include "resources/MenuResource.h"
#include "resources/StringTable.h"
#include "tree/DeletionChain.h"
#include "tree/DeletionHandler.h"
#include "tree/LarkspurBrowserView.h"

namespace {

using Kind = TreemapTile::Kind;

// One colour per file family, in the order of FolderFiles::Family.
constexpr std::array<QRgb, static_cast<std::size_t>(FolderFiles::Family::Count)> kFamilyColours = {
    qRgb(196, 178, 140),  // Other
    qRgb(232, 160, 48),   // Images
    qRgb(168, 48, 96),    // Video
    qRgb(148, 84, 204),   // Audio
    qRgb(140, 100, 60),   // Archives
    qRgb(64, 124, 212),   // Documents
    qRgb(72, 172, 92),    // Code
    qRgb(212, 88, 168),   // Executables
    qRgb(56, 172, 172),   // Packages
    qRgb(100, 104, 164),  // DiskImages
    qRgb(188, 188, 64),   // Fonts
};
const QColor kBackground(236, 236, 236);
const QColor kFrame(48, 48, 48);
const QColor kUnsizedFill(212, 212, 212);
const QColor kUnsizedHatch(128, 128, 128);
const QColor kSmallFill(150, 150, 150);
const QColor kCopyMark(255, 0, 0);

// The pane's background alone, size in logical pixels.
QImage BlankPicture(QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(kBackground);
    return image;
}

// Tiles narrower or lower than this get a flat fill: a gradient would not
// show and costs more than the fill.
constexpr double kShadeMinSide = 4.0;

}  // namespace

TreemapView::TreemapView(QWidget* parent) : QWidget(parent), m_refreshTimer(new QTimer(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(40);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(kRefreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] {
        m_stale = true;
        update();
    });
}

TreemapView::~TreemapView() = default;

void TreemapView::SetPanes(LarkspurBrowserView* tree, FolderListDisplay* fileList)
{
    if (m_tree != nullptr) {
        disconnect(m_tree, nullptr, this, nullptr);
        disconnect(&m_tree->Tree(), nullptr, this, nullptr);
    }
    DropTiles();
    m_tree = tree;
    m_fileList = fileList;
    m_shown = TreeItem::None;
    if (m_tree == nullptr) {
        return;
    }
    m_shown = m_tree->Tree().Selection();
    TreeControl& control = m_tree->Tree();
    connect(&control, &TreeControl::SelectionChanged, this,
            [this](TreeItem, TreeItem current) { OnSelectionChanged(current); });
    // Tiles point into records: none may outlive the items they show.
    connect(&control, &QAbstractItemModel::rowsAboutToBeRemoved, this, &TreemapView::DropTiles);
    connect(&control, &QAbstractItemModel::modelAboutToBeReset, this, &TreemapView::DropTiles);
    connect(m_tree, &LarkspurBrowserView::LabelsChanged, this, &TreemapView::RedrawSoon);
}

void TreemapView::SetActions(DeletionHandler* deletion, framework::CommandRouter* router)
{
    m_deletion = deletion;
    m_router = router;
}

void TreemapView::SetMarkDuplicates(bool on)
{
    if (on == m_markDuplicates) {
        return;
    }
    m_markDuplicates = on;
    m_stale = true;
    update();
    Q_EMIT MarkDuplicatesChanged(on);
}

const QImage& TreemapView::Picture()
{
    if (m_stale || m_image.size() != size() * devicePixelRatioF()) {
        Render();
    }
    return m_image;
}

const std::vector<TreemapTile>& TreemapView::Tiles()
{
    (void)Picture();
    return m_tiles;
}

const FolderRecord* TreemapView::ShownFolder() const
{
    if (m_tree == nullptr || m_shown == TreeItem::None) {
        return nullptr;
    }
    return AsFolder(m_tree->RecordOf(m_shown));
}

int TreemapView::TileAt(const QPointF& point) const
{
    for (std::size_t index = m_tiles.size(); index-- > 0;) {
        if (m_tiles[index].rect.contains(point)) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

// --- Keeping the picture up to date ------------------------------------------

void TreemapView::OnSelectionChanged(TreeItem current)
{
    if (m_selecting || current == m_shown) {
        return;
    }
    // A selected item that left the tree (a subfolder deleted from here)
    // leaves none selected: the picture stays on the folder it shows.
    if (current == TreeItem::None && m_tree != nullptr && m_tree->Tree().Contains(m_shown)) {
        return;
    }
    m_shown = current;
    ForgetHighlight();
    m_refreshTimer->stop();
    m_stale = true;
    update();
}

void TreemapView::SetHighlight(int index)
{
    m_highlight = index;
    m_highlightItem = TreeItem::None;
    m_highlightName.clear();
    if (index < 0 || index >= static_cast<int>(m_tiles.size()) || m_tree == nullptr) {
        return;
    }
    const TreemapTile& tile = m_tiles[static_cast<std::size_t>(index)];
    m_highlightItem = tile.folder->item;
    m_highlightKind = tile.kind;
    std::lock_guard lock(m_tree->DataLock());
    if (const FolderFiles::File* file = FileOf(tile)) {
        m_highlightName = std::string(tile.folder->files->NameOf(*file));
    }
}

void TreemapView::RememberHighlight() { m_highlight = -1; }

void TreemapView::ForgetHighlight()
{
    m_highlight = -1;
    m_highlightItem = TreeItem::None;
    m_highlightName.clear();
}

void TreemapView::DropTiles()
{
    RememberHighlight();
    m_hovered = -2;
    m_tiles.clear();
    m_stale = true;
    update();
}

void TreemapView::RedrawSoon()
{
    if (!isVisible()) {
        m_stale = true;  // made when the pane shows
        return;
    }
    if (!m_refreshTimer->isActive()) {
        m_refreshTimer->start();
    }
}

void TreemapView::Render()
{
    RememberHighlight();
    m_hovered = -2;
    m_stale = false;
    m_tiles.clear();
    const qreal ratio = devicePixelRatioF();
    const FolderRecord* root = nullptr;
    std::unique_lock<TreeDataLock> lock;
    if (m_tree != nullptr && m_shown != TreeItem::None) {
        lock = std::unique_lock(m_tree->DataLock());
        root = ShownFolder();
    }
    if (root == nullptr) {
        m_image = BlankPicture(size(), ratio);
        return;
    }
    m_image = Paint(*m_tree, *root, size(), ratio, m_markDuplicates, m_tiles);
    // The highlight stays on the same folder or file (by name: a folder's
    // files are listed anew by each scan), and goes when that is gone.
    for (std::size_t index = 0; index < m_tiles.size() && m_highlightItem != TreeItem::None;
         ++index) {
        const TreemapTile& tile = m_tiles[index];
        if (tile.folder->item != m_highlightItem || tile.kind != m_highlightKind) {
            continue;
        }
        const FolderFiles::File* file = FileOf(tile);
        if (tile.kind != Kind::File ||
            (file != nullptr && tile.folder->files->NameOf(*file) == m_highlightName)) {
            m_highlight = static_cast<int>(index);
            break;
        }
    }
    if (m_highlight < 0) {
        ForgetHighlight();
    }
}

QImage TreemapView::Paint(const TreeAccess& tree, const FolderRecord& root, QSize size, qreal ratio,
                          bool markDuplicates, std::vector<TreemapTile>& tiles)
{
    QImage image = BlankPicture(size, ratio);
    tiles.clear();
    if (size.isEmpty()) {
        return image;
    }
    tiles = TreemapLayout::Lay(tree, root, QRectF(QPointF(0, 0), QSizeF(size)), kMinimumArea);
    QPainter painter(&image);
    PaintTiles(painter, tiles, markDuplicates);
    return image;
}

void TreemapView::PaintTiles(QPainter& painter, const std::vector<TreemapTile>& tiles,
                             bool markDuplicates)
{
    painter.setPen(Qt::NoPen);
    for (const TreemapTile& tile : tiles) {
        const QRectF& rect = tile.rect;
        switch (tile.kind) {
            case Kind::Folder:
                painter.fillRect(rect, kBackground);
                break;
            case Kind::Unsized:
                painter.fillRect(rect, kUnsizedFill);
                painter.fillRect(rect, QBrush(kUnsizedHatch, Qt::BDiagPattern));
                break;
            case Kind::Small:
                painter.fillRect(rect, kSmallFill);
                break;
            case Kind::File: {
                const QColor colour(
                    kFamilyColours[static_cast<std::size_t>(tile.family) % kFamilyColours.size()]);
                if (rect.width() < kShadeMinSide || rect.height() < kShadeMinSide) {
                    painter.fillRect(rect, colour);
                    break;
                }
                // A cushion: light from the top left, falling off to the
                // bottom right.
                QLinearGradient shade(rect.topLeft(), rect.bottomRight());
                shade.setColorAt(0.0, colour.lighter(150));
                shade.setColorAt(0.45, colour);
                shade.setColorAt(1.0, colour.darker(140));
                painter.fillRect(rect, shade);
                break;
            }
        }
    }

    // Frames last, so that a folder's contents never cover them.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kFrame, 0));
    for (const TreemapTile& tile : tiles) {
        if ((tile.kind == Kind::Folder || tile.kind == Kind::Unsized) && tile.rect.width() >= 3 &&
            tile.rect.height() >= 3) {
            painter.drawRect(tile.rect.adjusted(0, 0, -1, -1));
        }
    }
    if (!markDuplicates) {
        return;
    }
    // Names of each folder's files that have a copy, from its duplicate
    // members (a group of two or more).
    std::unordered_map<const FolderRecord*, std::unordered_set<std::string_view>> copies;
    painter.setPen(QPen(kCopyMark, 2));
    for (const TreemapTile& tile : tiles) {
        const FolderFiles::File* file = FileOf(tile);
        if (file == nullptr || tile.folder->duplicates == nullptr) {
            continue;
        }
        auto [found, added] = copies.try_emplace(tile.folder);
        if (added) {
            for (const DupMember* member = tile.folder->duplicates; member != nullptr;
                 member = member->nextInFolder) {
                // Two members or more, without counting them all.
                const DupGroup* group = member->group;
                if (group != nullptr && !group->IsEmpty() && !group->IsSingle()) {
                    found->second.insert(std::string(member->Name()));
                }
            }
        }
        if (found->second.contains(tile.folder->files->NameOf(*file))) {
            painter.drawRect(tile.rect.adjusted(1, 1, -1, -1));
        }
    }
}

void TreemapView::paintEvent(QPaintEvent*)
{
    const QImage& picture = Picture();
    QPainter painter(this);
    painter.drawImage(0, 0, picture);
    if (m_highlight >= 0 && m_highlight < static_cast<int>(m_tiles.size())) {
        const QRectF rect = m_tiles[static_cast<std::size_t>(m_highlight)].rect;
        painter.setPen(QPen(Qt::white, 3));
        painter.drawRect(rect.adjusted(1, 1, -2, -2));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(rect.adjusted(1, 1, -2, -2));
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TreemapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_stale = true;
}

void TreemapView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_stale = true;
}

void TreemapView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    ShowStatus(-1);
}

// --- Tiles and what they stand for -------------------------------------------

FolderRecord* TreemapView::Container(const TreemapTile& tile) const
{
    auto* folder = const_cast<FolderRecord*>(tile.folder);
    if (tile.kind == Kind::File || tile.kind == Kind::Small) {
        return folder;
    }
    return AsFolder(folder->parent);
}

const FolderFiles::File* TreemapView::FileOf(const TreemapTile& tile)
{
    if (tile.kind != Kind::File || tile.folder->files == nullptr || tile.file < 0) {
        return nullptr;
    }
    const std::span<const FolderFiles::File> files = tile.folder->files->Files();
    return static_cast<std::size_t>(tile.file) < files.size()
               ? &files[static_cast<std::size_t>(tile.file)]
               : nullptr;
}

void TreemapView::ShowStatus(int index)
{
    QString text;
    if (m_tree != nullptr && index >= 0 && index < static_cast<int>(m_tiles.size())) {
        std::lock_guard lock(m_tree->DataLock());
        const TreemapTile& tile = m_tiles[static_cast<std::size_t>(index)];
        const QString folderPath = platform::DecodedName(FullPathOf(*tile.folder));
        if (const FolderFiles::File* file = FileOf(tile)) {
            const QString path = platform::DecodedName(DirectoryPathOf(*tile.folder)) +
                                 platform::DecodedName(tile.folder->files->NameOf(*file));
            text = resources::StringTable::Format(
                resources::IDS_TREEMAP_TILE_STATUS,
                {path, framework::SizeTextSource::CurrentText(file->diskSpace),
                 framework::SizeTextSource::CurrentText(file->size)});
        } else if (tile.kind == Kind::Small) {
            text =
                resources::StringTable::Format(resources::IDS_TREEMAP_SMALL_STATUS, {folderPath});
        } else if (tile.folder->Has(FolderRecord::TreeSizeKnown)) {
            text = resources::StringTable::Format(
                resources::IDS_TREEMAP_TILE_STATUS,
                {folderPath, framework::SizeTextSource::CurrentText(tile.folder->treeDiskSpace),
                 framework::SizeTextSource::CurrentText(tile.folder->treeSize)});
        } else {
            text = folderPath;
        }
    }
    QStatusTipEvent tip(text);
    QApplication::sendEvent(this, &tip);
}

// --- Mouse and keys ----------------------------------------------------------

void TreemapView::mouseMoveEvent(QMouseEvent* event)
{
    (void)Picture();
    // The text changes only with the tile under the pointer.
    if (const int tile = TileAt(event->position()); tile != m_hovered) {
        m_hovered = tile;
        ShowStatus(tile);
    }
    QWidget::mouseMoveEvent(event);
}

void TreemapView::leaveEvent(QEvent* event)
{
    m_hovered = -1;
    ShowStatus(-1);
    QWidget::leaveEvent(event);
}

void TreemapView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();  // the focus frame
}

void TreemapView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void TreemapView::mousePressEvent(QMouseEvent* event)
{
    (void)Picture();
    const int tile = TileAt(event->position());
    if (tile < 0 || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)) {
        QWidget::mousePressEvent(event);
        return;
    }
    SetHighlight(tile);
    SelectTile(tile);
    update();
    event->accept();
}

void TreemapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    (void)Picture();
    const int index = TileAt(event->position());
    if (event->button() != Qt::LeftButton || index < 0) {
        return;
    }
    // A folder's tile shows that folder; a file or the small rest, the
    // folder that holds it.
    ShowFolder(const_cast<FolderRecord*>(m_tiles[static_cast<std::size_t>(index)].folder));
}

void TreemapView::SelectTile(int index)
{
    if (m_tree == nullptr || index < 0 || index >= static_cast<int>(m_tiles.size())) {
        return;
    }
    const TreemapTile tile = m_tiles[static_cast<std::size_t>(index)];
    auto* folder = const_cast<FolderRecord*>(tile.folder);
    std::string name;
    {
        std::lock_guard lock(m_tree->DataLock());
        if (const FolderFiles::File* file = FileOf(tile)) {
            name = std::string(folder->files->NameOf(*file));
        }
    }
    // Records are freed only on this thread: the folder stays while the
    // file list reads the disk, which it does without the lock.
    {
        const QScopedValueRollback selecting(m_selecting, true);
        m_tree->SelectItemQuietly(folder->item);
    }
    if (m_fileList != nullptr) {
        m_fileList->SetFolder(folder);
        if (!name.empty()) {
            m_fileList->SelectFileByName(name);
        }
    }
}

void TreemapView::ShowFolder(FolderRecord* folder)
{
    if (m_tree == nullptr || folder == nullptr || folder->item == TreeItem::None) {
        return;
    }
    const TreeItem item = folder->item;
    m_shown = item;
    ForgetHighlight();
    m_stale = true;
    update();
    m_tree->PopulateAndSelect(*folder);
    // Populating keeps the folder's own record; it is looked up again all
    // the same, as the list does after entering a folder.
    if (TreeItemRecord* record = m_tree->RecordOf(item); record != nullptr && m_fileList) {
        m_fileList->SetFolder(AsFolder(record));
    }
}

void TreemapView::keyPressEvent(QKeyEvent* event)
{
    (void)Picture();
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            MoveHighlight(event->key());
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_highlight >= 0) {
                const TreemapTile& tile = m_tiles[static_cast<std::size_t>(m_highlight)];
                if (tile.kind == Kind::Folder || tile.kind == Kind::Unsized) {
                    ShowFolder(const_cast<FolderRecord*>(tile.folder));
                }
            }
            break;
        case Qt::Key_Backspace:
            if (const FolderRecord* shown = ShownFolder(); shown != nullptr) {
                if (FolderRecord* parent = AsFolder(shown->parent);
                    parent != nullptr && parent->item != TreeItem::None) {
                    ShowFolder(parent);
                }
            }
            break;
        case Qt::Key_Escape:
            if (m_tree != nullptr) {
                m_tree->StopScanning();
            }
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void TreemapView::MoveHighlight(int key)
{
    if (m_tiles.empty()) {
        return;
    }
    if (m_highlight < 0) {
        // The first tile inside the shown folder, or the folder itself.
        SetHighlight(m_tiles.size() > 1 ? 1 : 0);
    } else {
        const TreemapTile& from = m_tiles[static_cast<std::size_t>(m_highlight)];
        // The shown folder's own tile has no siblings.
        const auto isRoot = [this](const TreemapTile& tile) {
            return tile.kind != Kind::File && tile.kind != Kind::Small &&
                   tile.folder->item == m_shown;
        };
        const FolderRecord* parent = isRoot(from) ? nullptr : Container(from);
        const QPointF centre = from.rect.center();
        double best = std::numeric_limits<double>::infinity();
        int chosen = -1;
        for (std::size_t index = 0; index < m_tiles.size() && parent != nullptr; ++index) {
            const TreemapTile& tile = m_tiles[index];
            if (static_cast<int>(index) == m_highlight || isRoot(tile) ||
                Container(tile) != parent) {
                continue;
            }
            const QPointF offset = tile.rect.center() - centre;
            // Along the key's direction, and how far off to the side.
            double along = 0;
            double aside = 0;
            switch (key) {
                case Qt::Key_Left:
                    along = -offset.x(), aside = offset.y();
                    break;
                case Qt::Key_Right:
                    along = offset.x(), aside = offset.y();
                    break;
                case Qt::Key_Up:
                    along = -offset.y(), aside = offset.x();
                    break;
                default:
                    along = offset.y(), aside = offset.x();
                    break;
            }
            if (along <= 0.5) {
                continue;
            }
            const double score = along + 2 * std::abs(aside);
            if (score < best) {
                best = score;
                chosen = static_cast<int>(index);
            }
        }
        if (chosen < 0) {
            return;
        }
        SetHighlight(chosen);
    }
    ShowStatus(m_highlight);
    update();
}

// --- Context menu and commands -------------------------------------------------

void TreemapView::contextMenuEvent(QContextMenuEvent* event)
{
    (void)Picture();
    int tile = m_highlight;
    if (event->reason() != QContextMenuEvent::Keyboard) {
        tile = TileAt(event->pos());
        SetHighlight(tile);
        SelectTile(tile);
    }
    if (tile < 0 || m_router == nullptr) {
        return;
    }
    const bool file = m_tiles[static_cast<std::size_t>(tile)].kind == Kind::File;
    const std::unique_ptr<QMenu> menu = framework::MenuBuilder::CreatePopup(
        resources::IDR_CONTEXT_MENUS,
        file ? resources::kTreemapFileMenu : resources::kTreemapFolderMenu, *m_router, this);
    if (menu == nullptr) {
        return;
    }
    const QPoint at =
        event->reason() == QContextMenuEvent::Keyboard
            ? mapToGlobal(m_tiles[static_cast<std::size_t>(tile)].rect.center().toPoint())
            : event->globalPos();
    const platform::ModalScope modal;
    menu->exec(at);
    event->accept();
}

bool TreemapView::OnUpdateCommand(int command, framework::CommandState& state)
{
    using namespace resources;
    if (command == ID_TREEMAP_MARK_DUPLICATES) {
        state.checked = m_markDuplicates;
        return true;
    }
    const bool valid = m_highlight >= 0 && m_highlight < static_cast<int>(m_tiles.size());
    const Kind kind = valid ? m_tiles[static_cast<std::size_t>(m_highlight)].kind : Kind::Small;
    const bool file = valid && kind == Kind::File;
    // The small rest of a folder is no one thing: nothing acts on it but
    // Explore (of its folder).
    const bool folder = valid && kind != Kind::File && kind != Kind::Small;
    switch (command) {
        case ID_OPEN:
            state.enabled = file && !m_highlightName.empty();
            return true;
        case ID_EXPLORE:
            state.enabled = valid;
            return true;
        case ID_DELETE:
            state.enabled = folder || (file && !m_highlightName.empty());
            return true;
        case ID_DELETE_DUPLICATES:
        case ID_CLEAR_FOLDER_DATA:
            state.enabled = folder;
            return true;
        default:
            return false;
    }
}

void TreemapView::OnCommand(int command)
{
    using namespace resources;
    if (command == ID_TREEMAP_MARK_DUPLICATES) {
        SetMarkDuplicates(!m_markDuplicates);
        return;
    }
    if (m_tree == nullptr || m_highlight < 0 || m_highlight >= static_cast<int>(m_tiles.size())) {
        return;
    }
    std::unique_lock lock(m_tree->DataLock());
    const TreemapTile tile = m_tiles[static_cast<std::size_t>(m_highlight)];
    auto* folder = const_cast<FolderRecord*>(tile.folder);
    if (tile.kind == Kind::Small && command != ID_EXPLORE) {
        return;
    }
    if (tile.kind != Kind::File) {
        // A folder's commands are the tree's, on its selected item.
        {
            const QScopedValueRollback selecting(m_selecting, true);
            m_tree->SelectItemQuietly(folder->item);
        }
        lock.unlock();
        m_tree->OnCommand(command);
        return;
    }
    // The file the user highlighted, by its name: the folder's list may have
    // been made anew since the picture.
    const std::string name = m_highlightName;
    if (name.empty()) {
        return;
    }
    switch (command) {
        case ID_OPEN:
            FileLauncher::OpenFile(this, *folder, name);
            break;
        case ID_EXPLORE:
            m_tree->ExploreFolder(*folder);
            break;
        case ID_DELETE: {
            DeletionChain chain;
            chain.Append(folder, name, folder->DuplicateNamed(name));
            if (m_deletion != nullptr) {
                m_deletion->DeleteRequests(chain.Take());
            }
            break;
        }
        default:
            break;
    }
}
