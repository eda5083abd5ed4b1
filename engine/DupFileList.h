#pragma once

#include <cstdint>
#include <mutex>

#include "platform/MessageWindow.h"

class FolderRecord;

// The file list as the duplicate search sees it: which folder it shows, the
// window that takes the duplicate marks of that folder's files
// (UM_FILE_DUP_STATE), and the end of a folder's search. The file list
// derives from it.
//
// The shown folder comes with a fill generation that changes with every
// fill of the list; the search reads both on the worker thread and carries
// the generation in each UM_FILE_DUP_STATE, so that the list drops marks
// meant for an earlier fill (IsCurrentFill).
class DupFileList {
public:
    struct Shown {
        const FolderRecord* folder = nullptr;  // null: no folder shown
        std::uint32_t generation = 0;
    };

    // Any thread; the duplicate search asks under the tree-data lock.
    [[nodiscard]] Shown ShownFolder() const;
    // UI thread: whether a mark posted with generation belongs to the
    // current fill.
    [[nodiscard]] bool IsCurrentFill(std::uint32_t generation) const;

    // Any thread; the same window for the list's whole life.
    [[nodiscard]] virtual platform::WindowHandle DupStateWindow() const = 0;
    // UI thread, under the tree-data lock, from the search's delivery: the
    // duplicate search of folder is done.
    virtual void MarkFolderSearched(FolderRecord& folder) = 0;

protected:
    DupFileList() = default;
    ~DupFileList() = default;
    DupFileList(const DupFileList&) = delete;
    DupFileList& operator=(const DupFileList&) = delete;

    // UI thread: the list now shows folder (null: none) and fills its rows
    // anew; returns the new generation. Call it under the tree-data lock,
    // before the fill reads the folder's duplicate members, and in the same
    // hold: a mark the search posts before that hold is then older than the
    // fill and dropped, one it posts after carries the new generation. Also
    // call it with null before the shown folder's record is freed.
    std::uint32_t BeginFill(const FolderRecord* folder);

private:
    mutable std::mutex m_lock;
    Shown m_shown;
};
