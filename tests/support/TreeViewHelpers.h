#pragma once

#include <string>

#include <QCoreApplication>
#include <QPoint>

#include "engine/FolderRecord.h"
#include "tree/FileBrowserView.h"

namespace testsupport {

// Steps through folder trees for the tests of the views over them.
// Header-only: the support library does not link the tree.

// A point dx right of where the item's row begins in the view (on its icon;
// negative: on the expand button), once the item is scrolled into sight.
inline QPoint PointOnRow(FileBrowserView& view, TreeItem item, int dx)
{
    const QModelIndex index = view.Tree().IndexOf(item);
    // Scrolling opens the ancestors, which lays the tree out anew: scroll
    // once more then.
    view.scrollTo(index);
    QCoreApplication::processEvents();
    view.scrollTo(index);
    const QRect row = view.visualRect(index);
    return {row.left() + dx, row.center().y()};
}

// A point on the item's label, right of its icon.
inline QPoint LabelPoint(FileBrowserView& view, TreeItem item)
{
    return PointOnRow(view, item, view.iconSize().width() + 10);
}

// The folder record at relative below top ("a/b"; "" is top itself), found
// through the tree's items; null when the tree does not hold it.
inline FolderRecord* RecordBelow(TreeAccess& tree, TreeItemRecord* top, const std::string& relative)
{
    TreeItemRecord* record = top;
    for (std::size_t start = 0; record != nullptr && start < relative.size();) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        const std::string name = relative.substr(start, end - start);
        record = tree.FirstChildRecord(*record);
        while (record != nullptr && record->name != name) record = tree.NextSiblingRecord(*record);
        start = end + 1;
    }
    return static_cast<FolderRecord*>(record);
}

}  // namespace testsupport
