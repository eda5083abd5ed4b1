#include "model/TreeControl.h"

#include <algorithm>

#include "platform/ImageList.h"

struct TreeControl::Node {
    TreeItem handle = TreeItem::None;
    Node* parent = nullptr;
    std::vector<Node*> children;
    // Row of this node among its parent's children; valid while the parent's
    // rowsDirty is false.
    mutable int row = 0;
    mutable bool rowsDirty = false;
    void* data = nullptr;
    QString text;
    int image = -1;
    int selectedImage = -1;
    bool hasChildrenMark = false;
    bool textCallback = false;
    bool expanded = false;
    bool pending = false;  // inserted in an open batch, not yet in the model
};

TreeControl::TreeControl(QObject* parent) : QAbstractItemModel(parent), m_root(new Node)
{
    m_root->expanded = true;
}

TreeControl::~TreeControl() = default;

TreeControl::Node* TreeControl::Find(TreeItem item) const
{
    if (item == TreeItem::None) {
        return m_root.get();
    }
    auto found = m_nodes.find(item);
    return found == m_nodes.end() ? nullptr : found->second.get();
}

void TreeControl::Renumber(Node* parent) const
{
    int row = 0;
    for (Node* child : parent->children) {
        child->row = row++;
    }
    parent->rowsDirty = false;
}

int TreeControl::RowOf(const Node* node) const
{
    if (node->parent->rowsDirty) {
        Renumber(node->parent);
    }
    return node->row;
}

// --- Structure -------------------------------------------------------------

TreeItem TreeControl::InsertItem(TreeItem parent, const QString& text)
{
    Node* parentNode = Find(parent);
    if (parentNode == nullptr || parentNode->pending) {
        return TreeItem::None;
    }
    auto node = std::make_unique<Node>();
    node->handle = static_cast<TreeItem>(++m_lastHandle);
    node->parent = parentNode;
    node->text = text;
    Node* raw = node.get();
    m_nodes.emplace(raw->handle, std::move(node));

    if (m_batchParent == parentNode) {
        raw->pending = true;
        m_batch.push_back(raw);
        return raw->handle;
    }
    const int row = static_cast<int>(parentNode->children.size());
    beginInsertRows(IndexOf(parent), row, row);
    raw->row = row;
    parentNode->children.push_back(raw);
    endInsertRows();
    return raw->handle;
}

void TreeControl::BeginInsertBatch(TreeItem parent)
{
    EndInsertBatch();
    m_batchParent = Find(parent);
}

void TreeControl::EndInsertBatch()
{
    Node* parentNode = m_batchParent;
    m_batchParent = nullptr;
    if (parentNode == nullptr || m_batch.empty()) {
        m_batch.clear();
        return;
    }
    std::vector<Node*> batch;
    batch.swap(m_batch);
    const int first = static_cast<int>(parentNode->children.size());
    const int last = first + static_cast<int>(batch.size()) - 1;
    beginInsertRows(IndexOf(parentNode->handle), first, last);
    if (parentNode->rowsDirty) {
        Renumber(parentNode);
    }
    int row = first;
    for (Node* node : batch) {
        node->pending = false;
        node->row = row++;
        parentNode->children.push_back(node);
    }
    endInsertRows();
}

// Drops the handles of node's whole subtree (node included), deepest last
// visited first; the nodes themselves go with their map entries.
void TreeControl::ForgetSubtree(Node* node)
{
    std::vector<Node*> stack{node};
    std::vector<TreeItem> handles;
    while (!stack.empty()) {
        Node* current = stack.back();
        stack.pop_back();
        handles.push_back(current->handle);
        if (current == m_batchParent) {
            // The open batch loses its parent: its items go too.
            for (Node* pending : m_batch) {
                handles.push_back(pending->handle);
            }
            m_batch.clear();
            m_batchParent = nullptr;
        }
        for (Node* child : current->children) {
            stack.push_back(child);
        }
    }
    for (TreeItem handle : handles) {
        if (handle == m_selection) {
            m_selection = TreeItem::None;
        }
        m_nodes.erase(handle);
    }
}

void TreeControl::DeleteItem(TreeItem item)
{
    Node* node = Find(item);
    if (node == nullptr || node == m_root.get()) {
        return;
    }
    const TreeItem selection = m_selection;
    Node* parentNode = node->parent;
    if (node->pending) {
        m_batch.erase(std::remove(m_batch.begin(), m_batch.end(), node), m_batch.end());
        ForgetSubtree(node);
    } else {
        const int row = RowOf(node);
        beginRemoveRows(IndexOf(parentNode->handle), row, row);
        parentNode->children.erase(parentNode->children.begin() + row);
        if (row < static_cast<int>(parentNode->children.size())) {
            parentNode->rowsDirty = true;
        }
        ForgetSubtree(node);
        endRemoveRows();
    }
    if (selection != m_selection) {
        Q_EMIT SelectionChanged(selection, m_selection);
    }
}

void TreeControl::DeleteAllItems()
{
    const TreeItem selection = m_selection;
    beginResetModel();
    m_batch.clear();
    m_batchParent = nullptr;
    m_nodes.clear();
    m_root->children.clear();
    m_root->rowsDirty = false;
    m_selection = TreeItem::None;
    endResetModel();
    if (selection != TreeItem::None) {
        Q_EMIT SelectionChanged(selection, TreeItem::None);
    }
}

bool TreeControl::Contains(TreeItem item) const
{
    return item != TreeItem::None && m_nodes.count(item) != 0;
}

TreeItem TreeControl::Parent(TreeItem item) const
{
    const Node* node = Find(item);
    if (node == nullptr || node->parent == nullptr) {
        return TreeItem::None;
    }
    return node->parent->handle;
}

TreeItem TreeControl::FirstChild(TreeItem item) const
{
    const Node* node = Find(item);
    if (node == nullptr || node->children.empty()) {
        return TreeItem::None;
    }
    return node->children.front()->handle;
}

TreeItem TreeControl::NextSibling(TreeItem item) const
{
    const Node* node = Find(item);
    if (node == nullptr || node->parent == nullptr || node->pending) {
        return TreeItem::None;
    }
    const auto& siblings = node->parent->children;
    const std::size_t next = static_cast<std::size_t>(RowOf(node)) + 1;
    return next < siblings.size() ? siblings[next]->handle : TreeItem::None;
}

void TreeControl::ChildData(TreeItem item, std::vector<void*>& out) const
{
    out.clear();
    if (const Node* node = Find(item); node != nullptr) {
        for (const Node* child : node->children) {
            out.push_back(child->data);
        }
    }
}

int TreeControl::ChildCount(TreeItem item) const
{
    const Node* node = Find(item);
    return node == nullptr ? 0 : static_cast<int>(node->children.size());
}

int TreeControl::Count() const { return static_cast<int>(m_nodes.size() - m_batch.size()); }

// --- Attributes ------------------------------------------------------------

void TreeControl::EmitChanged(Node* node)
{
    if (node == nullptr || node == m_root.get() || node->pending) {
        return;
    }
    const QModelIndex index = IndexOf(node->handle);
    Q_EMIT dataChanged(index, index);
}

void* TreeControl::ItemData(TreeItem item) const
{
    const Node* node = Find(item);
    return node == nullptr || node == m_root.get() ? nullptr : node->data;
}

void TreeControl::SetItemData(TreeItem item, void* data)
{
    Node* node = Find(item);
    if (node != nullptr && node != m_root.get()) {
        node->data = data;
        EmitChanged(node);
    }
}

int TreeControl::Image(TreeItem item) const
{
    const Node* node = Find(item);
    return node == nullptr ? -1 : node->image;
}

int TreeControl::SelectedImage(TreeItem item) const
{
    const Node* node = Find(item);
    return node == nullptr ? -1 : node->selectedImage;
}

void TreeControl::SetImages(TreeItem item, int image, int selectedImage)
{
    Node* node = Find(item);
    if (node != nullptr && node != m_root.get()) {
        node->image = image;
        node->selectedImage = selectedImage;
        EmitChanged(node);
    }
}

bool TreeControl::HasChildrenMark(TreeItem item) const
{
    const Node* node = Find(item);
    return node != nullptr && node->hasChildrenMark;
}

void TreeControl::SetHasChildren(TreeItem item, bool hasChildren)
{
    Node* node = Find(item);
    if (node != nullptr && node != m_root.get() && node->hasChildrenMark != hasChildren) {
        node->hasChildrenMark = hasChildren;
        EmitChanged(node);
    }
}

void TreeControl::SetText(TreeItem item, const QString& text)
{
    Node* node = Find(item);
    if (node != nullptr && node != m_root.get()) {
        node->text = text;
        node->textCallback = false;
        EmitChanged(node);
    }
}

void TreeControl::SetTextCallback(TreeItem item)
{
    Node* node = Find(item);
    if (node != nullptr && node != m_root.get()) {
        node->textCallback = true;
        node->text.clear();
        EmitChanged(node);
    }
}

QString TreeControl::ItemText(TreeItem item) const
{
    const Node* node = Find(item);
    if (node == nullptr || node == m_root.get()) {
        return {};
    }
    if (node->textCallback) {
        return m_textProvider ? m_textProvider(item) : QString();
    }
    return node->text;
}

void TreeControl::SetTextProvider(TextProvider provider) { m_textProvider = std::move(provider); }

void TreeControl::SetImageList(platform::ImageList* list)
{
    m_imageList = list;
    RefreshAll();
}

void TreeControl::RefreshAll()
{
    // One signal per level with children is enough for the views; a full
    // walk keeps every visible row's decoration and label fresh.
    std::vector<Node*> stack{m_root.get()};
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        if (node->children.empty()) {
            continue;
        }
        const QModelIndex parentIndex = IndexOf(node->handle);
        Q_EMIT dataChanged(index(0, 0, parentIndex),
                           index(static_cast<int>(node->children.size()) - 1, 0, parentIndex));
        for (Node* child : node->children) {
            stack.push_back(child);
        }
    }
}

// --- Order, selection, expansion -------------------------------------------

void TreeControl::SortChildren(TreeItem parent, const Comparison& compare)
{
    Node* parentNode = Find(parent);
    if (parentNode == nullptr || parentNode->children.size() < 2 || !compare) {
        return;
    }
    const auto precedes = [&compare](Node* a, Node* b) { return compare(a->data, b->data) < 0; };
    // A scan sorts the children of every folder above each folder it
    // finishes, and mostly finds them in order: then nothing moves and the
    // views need not lay the rows out again.
    if (std::is_sorted(parentNode->children.begin(), parentNode->children.end(), precedes)) {
        return;
    }
    const QModelIndex parentIndex = IndexOf(parent);
    Q_EMIT layoutAboutToBeChanged({QPersistentModelIndex(parentIndex)},
                                  QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<QModelIndex, Node*>> moved;
    for (const QModelIndex& index : before) {
        Node* node = static_cast<Node*>(index.internalPointer());
        if (node != nullptr && node->parent == parentNode) {
            moved.emplace_back(index, node);
        }
    }
    std::stable_sort(parentNode->children.begin(), parentNode->children.end(), precedes);
    Renumber(parentNode);
    QModelIndexList from;
    QModelIndexList to;
    for (const auto& [index, node] : moved) {
        from.append(index);
        to.append(createIndex(node->row, index.column(), node));
    }
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({QPersistentModelIndex(parentIndex)},
                         QAbstractItemModel::VerticalSortHint);
}

bool TreeControl::SelectItem(TreeItem item)
{
    Node* node = Find(item);
    if (node == nullptr || node->pending) {
        return false;
    }
    if (item != TreeItem::None) {
        // Make the item visible: expand its collapsed ancestors, outermost first.
        std::vector<Node*> ancestors;
        for (Node* up = node->parent; up != nullptr && up != m_root.get(); up = up->parent) {
            ancestors.push_back(up);
        }
        for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
            const TreeItem ancestor = (*it)->handle;
            if (!IsExpanded(ancestor)) {
                RequestExpand(ancestor, ExpandAction::Expand);
            }
        }
        if (!Contains(item)) {
            return false;  // an expansion handler deleted it
        }
    }
    const TreeItem previous = m_selection;
    if (previous != item) {
        m_selection = item;
        EmitChanged(Find(previous));
        EmitChanged(Find(item));
        Q_EMIT SelectionChanged(previous, item);
    }
    return true;
}

void TreeControl::Expand(TreeItem item, ExpandAction action)
{
    Node* node = Find(item);
    if (node == nullptr || node == m_root.get()) {
        return;
    }
    const bool expand =
        action == ExpandAction::Expand || (action == ExpandAction::Toggle && !node->expanded);
    if (node->expanded != expand) {
        node->expanded = expand;
        Q_EMIT ExpansionChanged(item, expand);
    }
}

void TreeControl::RequestExpand(TreeItem item, ExpandAction action)
{
    if (!Contains(item)) {
        return;
    }
    Q_EMIT ItemExpanding(item, action);
    Expand(item, action);
}

bool TreeControl::IsExpanded(TreeItem item) const
{
    const Node* node = Find(item);
    return node != nullptr && node->expanded;
}

// --- Model indexes ---------------------------------------------------------

QModelIndex TreeControl::IndexOf(TreeItem item) const
{
    const Node* node = Find(item);
    if (node == nullptr || node == m_root.get() || node->pending) {
        return {};
    }
    return createIndex(RowOf(node), 0, const_cast<Node*>(node));
}

TreeItem TreeControl::ItemAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this) {
        return TreeItem::None;
    }
    return static_cast<const Node*>(index.internalPointer())->handle;
}

QModelIndex TreeControl::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0) {
        return {};
    }
    const Node* parentNode =
        parent.isValid() ? static_cast<const Node*>(parent.internalPointer()) : m_root.get();
    if (parent.isValid() && parent.column() != 0) {
        return {};
    }
    if (row >= static_cast<int>(parentNode->children.size())) {
        return {};
    }
    return createIndex(row, 0, parentNode->children[static_cast<std::size_t>(row)]);
}

QModelIndex TreeControl::parent(const QModelIndex& child) const
{
    if (!child.isValid()) {
        return {};
    }
    const Node* node = static_cast<const Node*>(child.internalPointer());
    const Node* parentNode = node->parent;
    if (parentNode == nullptr || parentNode == m_root.get()) {
        return {};
    }
    return createIndex(RowOf(parentNode), 0, const_cast<Node*>(parentNode));
}

int TreeControl::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return static_cast<int>(m_root->children.size());
    }
    if (parent.column() != 0) {
        return 0;
    }
    return static_cast<int>(static_cast<const Node*>(parent.internalPointer())->children.size());
}

int TreeControl::columnCount(const QModelIndex& /*parent*/) const { return 1; }

bool TreeControl::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return !m_root->children.empty();
    }
    if (parent.column() != 0) {
        return false;
    }
    const Node* node = static_cast<const Node*>(parent.internalPointer());
    return node->hasChildrenMark || !node->children.empty();
}

QVariant TreeControl::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) {
        return {};
    }
    const Node* node = static_cast<const Node*>(index.internalPointer());
    switch (role) {
        case Qt::DisplayRole:
            return ItemText(node->handle);
        case Qt::DecorationRole: {
            if (m_imageList == nullptr) {
                return {};
            }
            const bool selected = node->handle == m_selection;
            return m_imageList->Icon(selected ? node->selectedImage : node->image);
        }
        case ItemHandleRole:
            return QVariant::fromValue(static_cast<quint64>(node->handle));
        case ImageRole:
            return node->image;
        case SelectedImageRole:
            return node->selectedImage;
        case HasChildrenMarkRole:
            return node->hasChildrenMark;
        default:
            return {};
    }
}

Qt::ItemFlags TreeControl::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
