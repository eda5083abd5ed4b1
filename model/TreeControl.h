#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include <QAbstractItemModel>
#include <QtGlobal>

namespace platform {
class ImageList;
}

// Handle of one item of a TreeControl. Handles are never reused within a
// control, so a handle kept after its item was deleted simply names nothing
// (every query on it answers "none"). TreeItem::None is the invisible root:
// its children are the top-level items.
enum class TreeItem : quint64 { None = 0 };

enum class ExpandAction { Collapse = 1, Expand = 2, Toggle = 3 };

// The folder tree's item model: items with handles, one data pointer each
// (the record behind the item, not owned), a closed and an open image index,
// a has-children mark and a text that the owner supplies on demand. A
// QTreeView draws it; everything here runs without a display (QtCore only).
//
// UI thread only. Every lookup by handle is O(1); the row of an item is kept
// on the item and renumbered lazily after a deletion or sort of its siblings.
//
// Text: an item is inserted with a text, but once SetTextCallback was called
// on it the model shows only what the text provider returns. Inserting a
// batch of children (BeginInsertBatch/EndInsertBatch) keeps them out of the
// model until they are complete, so a placeholder text is never seen.
//
// Deleting an item removes it and its whole subtree from the model before the
// call returns; the data pointers are not touched, so the owner frees its
// records only after the items are gone.
class TreeControl : public QAbstractItemModel {
    Q_OBJECT

public:
    // Raw values in roles of their own, for views and tests.
    enum Role {
        ItemHandleRole = Qt::UserRole + 1,  // quint64 handle
        ImageRole,                          // int: image index
        SelectedImageRole,                  // int: selected image index
        HasChildrenMarkRole,                // bool
    };

    // Answers the label of an item whose text is supplied on demand.
    using TextProvider = std::function<QString(TreeItem item)>;
    // Orders two siblings by their data pointers: < 0, 0 or > 0.
    using Comparison = std::function<int(void* first, void* second)>;

    explicit TreeControl(QObject* parent = nullptr);
    ~TreeControl() override;

    // --- Structure -------------------------------------------------------
    // Appends a child after the last child of parent (None: a top-level
    // item). No image (-1), no data, no has-children mark. Returns None when
    // parent does not exist.
    TreeItem InsertItem(TreeItem parent, const QString& text);
    // Removes the item and its subtree. Item data are not freed.
    void DeleteItem(TreeItem item);
    void DeleteAllItems();

    // While a batch is open, items inserted under parent are kept aside and
    // enter the model together, in insertion order, at EndInsertBatch (one
    // rowsInserted). They can be given data, images and text meanwhile and
    // answer Parent(), but are not yet listed by FirstChild/NextSibling.
    // Batches do not nest.
    void BeginInsertBatch(TreeItem parent);
    void EndInsertBatch();

    [[nodiscard]] bool Contains(TreeItem item) const;
    // None for a top-level item and for an item that does not exist.
    [[nodiscard]] TreeItem Parent(TreeItem item) const;
    // First child of item; of None: the first top-level item.
    [[nodiscard]] TreeItem FirstChild(TreeItem item) const;
    [[nodiscard]] TreeItem NextSibling(TreeItem item) const;
    [[nodiscard]] int ChildCount(TreeItem item) const;
    // The item data of item's children in order (those FirstChild and
    // NextSibling list), replacing out's contents: one lookup for the whole
    // walk instead of two per child.
    void ChildData(TreeItem item, std::vector<void*>& out) const;
    // Number of items in the model, the invisible root not counted.
    [[nodiscard]] int Count() const;

    // --- Attributes --------------------------------------------------------
    [[nodiscard]] void* ItemData(TreeItem item) const;
    void SetItemData(TreeItem item, void* data);
    [[nodiscard]] int Image(TreeItem item) const;
    [[nodiscard]] int SelectedImage(TreeItem item) const;
    void SetImages(TreeItem item, int image, int selectedImage);
    // The expand button: shown when the mark is set or the item has children.
    [[nodiscard]] bool HasChildrenMark(TreeItem item) const;
    void SetHasChildren(TreeItem item, bool hasChildren);
    // Stores a text shown as it stands (and ends text on demand).
    void SetText(TreeItem item, const QString& text);
    // From now on the item's label comes from the text provider; called again
    // on an item, it tells the views to ask for the label anew.
    void SetTextCallback(TreeItem item);
    // The label as a view shows it.
    [[nodiscard]] QString ItemText(TreeItem item) const;
    void SetTextProvider(TextProvider provider);

    // The image list that turns image indexes into icons (not owned; lives
    // as long as the process). Without one the items have no icon.
    void SetImageList(platform::ImageList* list);
    [[nodiscard]] platform::ImageList* ImageList() const { return m_imageList; }

    // Views: every label may have changed (size format, flags of a subtree).
    void RefreshAll();

    // --- Order, selection, expansion -------------------------------------
    // Sorts the children of parent by compare, stably; the selection and
    // every persistent index stay with their items.
    void SortChildren(TreeItem parent, const Comparison& compare);

    // Makes item the selected item (None: no selection). Collapsed ancestors
    // are expanded first, each announced by ItemExpanding. False when the
    // item does not exist.
    bool SelectItem(TreeItem item);
    [[nodiscard]] TreeItem Selection() const { return m_selection; }

    // Programmatic expansion: changes the state without ItemExpanding.
    void Expand(TreeItem item, ExpandAction action);
    // Expansion asked for by the user: ItemExpanding, then the change.
    void RequestExpand(TreeItem item, ExpandAction action);
    [[nodiscard]] bool IsExpanded(TreeItem item) const;

    // --- Model indexes ---------------------------------------------------
    [[nodiscard]] QModelIndex IndexOf(TreeItem item) const;
    [[nodiscard]] TreeItem ItemAt(const QModelIndex& index) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // Before an item is expanded or collapsed by the user or by SelectItem;
    // the owner may fill in the children now.
    void ItemExpanding(TreeItem item, ExpandAction action);
    void ExpansionChanged(TreeItem item, bool expanded);
    void SelectionChanged(TreeItem previous, TreeItem current);

private:
    struct Node;

    Node* Find(TreeItem item) const;
    int RowOf(const Node* node) const;
    void Renumber(Node* parent) const;
    void ForgetSubtree(Node* node);
    void EmitChanged(Node* node);

    std::unique_ptr<Node> m_root;
    std::unordered_map<TreeItem, std::unique_ptr<Node>> m_nodes;
    std::uint64_t m_lastHandle = 0;
    TreeItem m_selection = TreeItem::None;
    TextProvider m_textProvider;
    platform::ImageList* m_imageList = nullptr;
    Node* m_batchParent = nullptr;
    std::vector<Node*> m_batch;
};
