#pragma once

#include <cstdint>

#include "platform/MessageWindow.h"

// The program's own window messages.
//
// UM_TASK_DONE: posted by the worker when a task ends and no queued task is
//   left (once per batch; see TaskManager), to the task queue's notify window
//   (the main view); wParam 0, lParam 0. The receiver drains every finished
//   task.
// UM_CLEAR_FOLDER_DUPS: sent by the duplicate search at the start of its run
//   (the worker waits until it is handled); wParam points at the task's
//   FolderRecordRef; the receiver clears that folder's duplicate members
//   under the tree-data lock, if the reference is not null
//   (DupGroupOwner::ClearFolderDuplicates), and returns 0.
// UM_STATUS_TEXT: posted with text (MessageQueue::PostText) to the main
//   frame; the text goes into the status bar's message pane.
// UM_FILE_DUP_STATE: posted with text, a file's name (raw bytes), to the
//   file list's DupStateWindow when a file of the shown folder joins a
//   duplicate group (and for the group's earlier member when it gains its
//   second). lParam = (generation << 1) | single: single is 1 if the file is
//   its group's only member, 0 otherwise; generation is the file list's fill
//   generation (DupFileList) read when the mark was made. The list drops a
//   mark whose generation is not its current fill's: it was meant for rows
//   that have gone. Build and read lParam with the functions below.
inline constexpr platform::MessageId UM_TASK_DONE = platform::WM_USER + 0;
inline constexpr platform::MessageId UM_CLEAR_FOLDER_DUPS = platform::WM_USER + 1;
inline constexpr platform::MessageId UM_STATUS_TEXT = platform::WM_USER + 2;
inline constexpr platform::MessageId UM_FILE_DUP_STATE = platform::WM_USER + 3;

static_assert(sizeof(platform::LParam) >= 8, "a generation and a flag fit in lParam");

[[nodiscard]] constexpr platform::LParam DupStateLParam(std::uint32_t generation, bool single)
{
    return static_cast<platform::LParam>((std::uint64_t{generation} << 1) | (single ? 1u : 0u));
}
[[nodiscard]] constexpr std::uint32_t DupStateGeneration(platform::LParam lParam)
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(lParam) >> 1);
}
[[nodiscard]] constexpr bool DupStateIsSingle(platform::LParam lParam) { return (lParam & 1) != 0; }
