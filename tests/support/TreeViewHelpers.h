#pragma once

#include <QCoreApplication>
#include <QPoint>

#include "tree/FileBrowserView.h"

namespace testsupport {

// Points on a tree view's rows. Header-only: the support library does not
// link the tree.

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

}  // namespace testsupport
