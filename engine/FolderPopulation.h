#pragma once

#include <functional>
#include <string>

#include "model/TreeControl.h"

class TreeAccess;

// Filling a folder tree from the shell namespace, on the UI thread, the way
// the tree views do when the user opens items: each enumeration runs at once
// (FindSubfoldersTask, directly, never queued).
class FolderPopulation {
public:
    // When the tree has no root record yet: makes the Desktop's root record
    // (CreateItemRecord(None), the Desktop folder, the empty identifier),
    // inserts the Desktop's children as top-level items (unsorted), and
    // expands and populates the first of them (Computer).
    static void BuildTopLevel(TreeAccess& tree);

    // Enumerates the subfolders of item now, in the directory form when its
    // record has a file-system path and in the shell form otherwise, then
    // has the tree sort the children. Nothing for an item without a record.
    static void PopulateChildren(TreeAccess& tree, TreeItem item);

    // Brings a real (canonical, absolute) folder path into the tree: builds
    // the top level if needed, populates Computer, takes the volume whose
    // mount point holds the path (or else Home or a desktop folder that
    // holds it), and populates each item from there down to the folder,
    // the folder's own children included, as expanding each would. Returns
    // the folder's item; None when the path cannot be reached (a component
    // is missing, unreadable, not a directory, or on a volume not listed).
    static TreeItem BringPathIntoTree(TreeAccess& tree, const std::string& path);

    // Empties the tree for good: cancels every queued task, waits until no
    // cancelled task still runs (handling the messages such a task sends
    // meanwhile), then, under the tree-data lock, calls beforeFree and
    // removes every top-level item with DeleteItemTree (..., true). Never
    // inside a modal loop.
    static void TearDown(TreeAccess& tree, const std::function<void()>& beforeFree);
};
