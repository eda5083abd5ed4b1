#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QString>

#include "engine/FileSize.h"

class FolderRecord;

// The record behind one row of the file list: a subfolder of the listed
// folder (folder set) or one of its files (folder null). The list owns its
// items from one fill to the next; a row's data pointer is its item.
// UI thread only.
struct FileListItem {
    // A size that is still being worked out: the largest value, so that
    // pending rows sort as the largest. Shown as an empty cell.
    static constexpr FileSize kPendingSize = FileSize::Largest();

    // Mark: the state image of the row.
    enum Mark : int { NoMark = 0, HasCopies = 1, NoCopy = 2 };

    // The subfolder the row stands for; null for a file row. Not owned.
    FolderRecord* folder = nullptr;
    // Raw bytes: a subfolder's display name, or a file's name without path.
    std::string name;
    // name decoded for display, and its case-folded form for ordering.
    QString displayName;
    QString foldedName;
    // File: its length and the space it occupies. Subfolder: its subtree
    // totals, or kPendingSize while they are not known.
    FileSize diskSpace;
    FileSize fileSize;
    // Last write time in whole seconds since 1970-01-01 UTC; absent when it
    // could not be read.
    std::optional<std::int64_t> modified;
    int icon = -1;  // index into the small-image list; -1 none
    int mark = NoMark;

    [[nodiscard]] bool IsFolder() const { return folder != nullptr; }
    // Sets name, displayName and foldedName.
    void SetName(std::string rawName);

    // --- Orderings, by column ----------------------------------------------
    // Each answers < 0, 0 or > 0 as first goes before, with or after second
    // with the given direction. Ties are broken so that every column is a
    // consistent order.
    enum Column : int { NameColumn = 0, DiskSpaceColumn, FileSizeColumn, ModifiedColumn };
    // Subfolders before files, then names without regard to case; all
    // reversed when descending.
    [[nodiscard]] static int CompareByName(const FileListItem& first, const FileListItem& second,
                                           bool ascending);
    // Disk space (equal: by file size in the same direction).
    [[nodiscard]] static int CompareByDiskSpace(const FileListItem& first,
                                                const FileListItem& second, bool ascending);
    // File size (equal: by name ascending, whatever the direction).
    [[nodiscard]] static int CompareByFileSize(const FileListItem& first,
                                               const FileListItem& second, bool ascending);
    // Modification time, an absent one before any present one (both absent
    // or equal: by name ascending, without the subfolders-first rule).
    [[nodiscard]] static int CompareByModified(const FileListItem& first,
                                               const FileListItem& second, bool ascending);
    // The ordering of a column; 0 for a column that is not one of the four.
    [[nodiscard]] static int Compare(int column, const FileListItem& first,
                                     const FileListItem& second, bool ascending);

    // --- Cell texts ------------------------------------------------------------
    // Empty for a negative or pending size; otherwise the size in the current
    // display format (plain bytes with thousands separators when the
    // application has set no format).
    [[nodiscard]] static QString SizeText(FileSize size);
    // Empty when absent; otherwise the local time as strftime's "%c" gives
    // it in the current locale.
    [[nodiscard]] static QString ModifiedText(const std::optional<std::int64_t>& modified);
};
